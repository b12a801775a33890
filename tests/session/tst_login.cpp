// The login window against the reference databases: its design, the
// remembered login, the fourteen steps with their messages, what a failed
// attempt leaves behind and what a successful one fills in.
#include "login_fixture.h"
#include "u_dmCon.h"
#include "u_frmLogin.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using fixture::BoxRecorder;
using fixture::Company;
using fixture::DirectoryRow;

Q_DECLARE_METATYPE(std::optional<std::string>)

namespace {

const QString kTitle = QStringLiteral("tst_login");

// One run of the program's login: a data module pointed at the test
// directory, and the login window on it.
struct Login {
    TdmCon dm;
    TfrmLogin form{dm};

    Login() { fixture::pointAtTestDirectory(dm); }

    void show() {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCoreApplication::processEvents();
    }
    static void type(QLineEdit* box, const QString& text) { fixture::retype(box, text); }
    void enter(const QString& company, const QString& user, const QString& password) {
        type(form.Edit1, company);
        type(form.Edit2, user);
        type(form.Edit3, password);
    }
    void press() { QTest::mouseClick(form.Button1, Qt::LeftButton); }

    QStringList boxes() const { return {form.Edit1->text(), form.Edit2->text(), form.Edit3->text()}; }
};

std::optional<LoginTable::Record> fileRecord(const QString& path) {
    LoginTable t;
    t.loadFromFile(path);
    return t.record();
}

}  // namespace

class TestLogin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void design_data();
    void design();
    void passwordShownAsStars();
    void tabOrderAndFocus();
    void enterPressesLogin_data();
    void enterPressesLogin();
    void closingGivesCancel();

    void messages_data();
    void messages();
    void failedAttemptLeavesBehind_data();
    void failedAttemptLeavesBehind();
    void successfulLogin_data();
    void successfulLogin();
    void passwordValue_data();
    void passwordValue();
    void hashedPasswords_data();
    void hashedPasswords();
    void firstDirectoryRowUsed_data();
    void firstDirectoryRowUsed();
    void companyNameAsTyped_data();
    void companyNameAsTyped();
    void jasProtocol_data();
    void jasProtocol();
    void directoryWithoutEncryptionRefused();
    void companyWithoutEncryptionReached();

    void firstShowingWithoutFile_data();
    void firstShowingWithoutFile();
    void rememberedAcrossRuns();
    void passwordKeptAfterFailedAttempt();
    void typingChangesRecord();
    void unreadableFileAtShowing_data();
    void unreadableFileAtShowing();
    void unwritableFileStopsLogin();

private:
    std::unique_ptr<Company> hashed_;    // HashSHA2: ana, dan, "ion ", " Maria Ionescu "
    std::unique_ptr<Company> plain_;     // plain passwords: ana
    std::unique_ptr<Company> inactive_;  // the application row inactive
    std::unique_ptr<Company> noApp_;     // no application row for this program
    std::unique_ptr<Company> noColumn_;  // emitent without web_theme
    std::unique_ptr<fixture::ConfigHome> config_;
};

void TestLogin::initTestCase() {
    QCOMPARE(ui::applicationTitle(), kTitle);
    try {
        hashed_ = std::make_unique<Company>("login_hash");
        hashed_->addUser("ana", "ana123", true, true, "SEDIU CLUJ", "operator");
        hashed_->addUser("dan", "dan123", true, false);
        hashed_->addUser("ion ", "ion123", true, false);
        hashed_->addUser(" Maria Ionescu ", "m", true, true, "DEPOZIT", "sef");
        plain_ = std::make_unique<Company>("login_plain", std::nullopt);
        plain_->addUser("ana", "ana123", false, true, "PUNCT 2", "operator");
        inactive_ = std::make_unique<Company>("login_inactive");
        inactive_->addUser("ana", "ana123", true);
        inactive_->superuser().exec("update aplicatie_mob set activ = false where aplicatie_mob = $1",
                                    {fixture::title()});
        noApp_ = std::make_unique<Company>("login_noapp");
        noApp_->addUser("ana", "ana123", true);
        noApp_->superuser().exec("delete from aplicatie_mob where aplicatie_mob = $1", {fixture::title()});
        noColumn_ = std::make_unique<Company>("login_nocolumn");
        noColumn_->addUser("ana", "ana123", true);
        noColumn_->superuser().exec("alter table emitent drop column web_theme");
    } catch (const std::exception& e) {
        QFAIL(e.what());
    }
}

void TestLogin::cleanupTestCase() {
    noColumn_.reset();
    noApp_.reset();
    inactive_.reset();
    plain_.reset();
    hashed_.reset();
}

void TestLogin::init() { config_ = std::make_unique<fixture::ConfigHome>(); }

void TestLogin::cleanup() { config_.reset(); }

// ---------------------------------------------------------------------------
// Design

void TestLogin::design_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fontPixels");
    QTest::newRow("Label1") << "Label1" << QRect(16, 24, 50, 14) << "Company" << 12;
    QTest::newRow("Label2") << "Label2" << QRect(16, 56, 55, 14) << "UserName" << 12;
    QTest::newRow("Label3") << "Label3" << QRect(16, 88, 51, 14) << "Password" << 12;
    QTest::newRow("Edit1") << "Edit1" << QRect(77, 22, 268, 21) << "" << 11;
    QTest::newRow("Edit2") << "Edit2" << QRect(77, 54, 268, 21) << "" << 11;
    QTest::newRow("Edit3") << "Edit3" << QRect(77, 86, 268, 21) << "" << 11;
    QTest::newRow("Button1") << "Button1" << QRect(77, 120, 75, 30) << "Login" << 11;
}

void TestLogin::design() {
    QFETCH(QString, control);
    QFETCH(QRect, place);
    QFETCH(QString, text);
    QFETCH(int, fontPixels);
    Login l;
    l.show();
    QCOMPARE(l.form.windowTitle(), QStringLiteral("frmLogin"));
    QCOMPARE(l.form.size(), QSize(362, 158));
    auto* w = l.form.findChild<QWidget*>(control);
    QVERIFY(w != nullptr);
    QCOMPARE(w->pos(), place.topLeft());
    if (qobject_cast<QLabel*>(w) != nullptr)
        QCOMPARE(w->size(), w->sizeHint());  // sized to the caption
    else
        QCOMPARE(w->size(), place.size());
    QCOMPARE(w->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(w->font().pixelSize(), fontPixels);
    if (auto* label = qobject_cast<QLabel*>(w)) QCOMPARE(label->text(), text);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        QCOMPARE(edit->text(), text);
        QCOMPARE(edit->maxLength(), 32767);  // no limit of its own
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        QCOMPARE(button->text(), text);
        QVERIFY(button->isDefault());
    }
    // Login is the only button: there is no cancel button.
    QCOMPARE(l.form.findChildren<QPushButton*>().size(), 1);
}

void TestLogin::passwordShownAsStars() {
    Login l;
    l.show();
    fixture::typeText(l.form.Edit3, QStringLiteral("pa ă1"));
    QCOMPARE(l.form.Edit3->text(), QStringLiteral("pa ă1"));
    QCOMPARE(l.form.Edit3->displayText(), QStringLiteral("*****"));
    QCOMPARE(l.form.Edit1->echoMode(), QLineEdit::Normal);
}

void TestLogin::tabOrderAndFocus() {
    Login l;
    l.show();
    l.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&l.form));
    QCOMPARE(QApplication::focusWidget(), l.form.Edit3);
    const QList<QWidget*> order{l.form.Button1, l.form.Edit1, l.form.Edit2, l.form.Edit3};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestLogin::enterPressesLogin_data() {
    QTest::addColumn<QString>("box");
    QTest::newRow("company box") << "Edit1";
    QTest::newRow("user-name box") << "Edit2";
    QTest::newRow("password box") << "Edit3";
}

void TestLogin::enterPressesLogin() {
    QFETCH(QString, box);
    BoxRecorder rec;
    Login l;
    l.show();
    l.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&l.form));
    l.enter(QStringLiteral("Nu exista nicaieri"), QStringLiteral("ana"), QStringLiteral("x"));
    auto* edit = l.form.findChild<QLineEdit*>(box);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(rec.texts(), QStringList{QStringLiteral("Companie inexistenta.")});
    QVERIFY(QFileInfo::exists(config_->file()));
}

void TestLogin::closingGivesCancel() {
    BoxRecorder rec;
    Login l;
    bool escapeKept = false;
    fixture::whenModal([&](QWidget* w) {
        QTest::keyClick(w, Qt::Key_Escape);  // no cancel button: Escape does nothing
        escapeKept = w->isVisible();
        w->close();
    });
    QCOMPARE(l.form.ShowModal(), int(TfrmLogin::mrCancel));
    QVERIFY(escapeKept);
    QVERIFY(!l.form.isVisible());
    QVERIFY(rec.boxes.empty());
    QVERIFY(l.dm.glNumeFirma.isEmpty());
}

// ---------------------------------------------------------------------------
// The login's messages and results

void TestLogin::messages_data() {
    QTest::addColumn<QString>("company");  // key of the company, or a name not in the directory
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");  // as shown; "~text" when the shown text contains text
    QTest::newRow("no such company") << "Nu exista" << "ana" << "ana123" << "Companie inexistenta.";
    QTest::newRow("wrong password") << "hashed" << "ana" << "ana124" << "User, Password eronate.";
    QTest::newRow("user in another case") << "hashed" << "Ana" << "ana123" << "User, Password eronate.";
    QTest::newRow("digest typed as password") << "hashed" << "ana"
                                              << QString::fromLatin1(QCryptographicHash::hash(
                                                     "ana123", QCryptographicHash::Sha256).toHex())
                                              << "User, Password eronate.";
    QTest::newRow("application inactive") << "inactive" << "ana" << "ana123"
                                          << "Aplicatia tst_login nu este disponibila.";
    QTest::newRow("application missing") << "noApp" << "ana" << "ana123"
                                         << "Aplicatia tst_login nu este disponibila.";
    QTest::newRow("not granted") << "hashed" << "dan" << "dan123"
                                 << "Aplicatia tst_login nu este disponibila pentru user-ul dan.";
    // The user name stands verbatim at the end; a trailing space gets no full stop.
    QTest::newRow("not granted, trailing space") << "hashed" << "ion " << "ion123"
                                                 << "Aplicatia tst_login nu este disponibila pentru user-ul ion ";
    QTest::newRow("declared column missing") << "noColumn" << "ana" << "ana123"
                                             << "dsEmitent: Field 'web_theme' not found.";
}

void TestLogin::messages() {
    QFETCH(QString, company);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    const std::map<QString, Company*> companies{{"hashed", hashed_.get()},
                                                {"inactive", inactive_.get()},
                                                {"noApp", noApp_.get()},
                                                {"noColumn", noColumn_.get()}};
    const QString typedCompany = companies.count(company) ? companies.at(company)->qname() : company;
    BoxRecorder rec;
    Login l;
    l.show();
    l.enter(typedCompany, user, password);
    l.press();
    QCOMPARE(rec.texts(), QStringList{message});
    QCOMPARE(rec.boxes[0].caption, kTitle);
    QCOMPARE(rec.boxes[0].kind, ui::MessageBox::Kind::Error);
    // The window stays open with the three boxes as they were.
    QVERIFY(l.form.isVisible());
    QCOMPARE(l.form.result(), 0);
    QCOMPARE(l.boxes(), (QStringList{typedCompany, user, password}));
}

void TestLogin::failedAttemptLeavesBehind_data() {
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("companyFound");
    QTest::addColumn<bool>("grantQueryOpen");
    QTest::newRow("no such company") << "Nu exista" << "ana" << false << false;
    QTest::newRow("wrong password") << "hashed" << "ana" << true << false;
    QTest::newRow("not granted") << "hashed" << "dan" << true << true;
}

void TestLogin::failedAttemptLeavesBehind() {
    QFETCH(QString, company);
    QFETCH(QString, user);
    QFETCH(bool, companyFound);
    QFETCH(bool, grantQueryOpen);
    const QString typedCompany = company == QLatin1String("hashed") ? hashed_->qname() : company;
    const QString password = user == QLatin1String("dan") ? QStringLiteral("dan123") : QStringLiteral("gresit");
    BoxRecorder rec;
    Login l;
    l.show();
    l.enter(typedCompany, user, password);
    l.press();
    QCOMPARE(rec.boxes.size(), size_t{1});

    // The file already holds this attempt's company and user name.
    QCOMPARE(fileRecord(config_->file()), std::optional(LoginTable::Record{typedCompany, user}));
    // glNumeFirma is set; the other fields are untouched.
    QCOMPARE(l.dm.glNumeFirma, typedCompany);
    for (const QString* f : {&l.dm.glUser, &l.dm.glUserPass, &l.dm.glDataBase, &l.dm.glUserRol, &l.dm.glEuPL,
                             &l.dm.glJasIP, &l.dm.glJasProtocol})
        QVERIFY(f->isEmpty());
    // conVek points at the company once it was found.
    if (companyFound) {
        QCOMPARE(l.dm.conVek.server(), testdb::env().host);
        QCOMPARE(l.dm.conVek.port(), testdb::env().port);
        QCOMPARE(l.dm.conVek.database(), hashed_->database());
        QCOMPARE(l.dm.conVek.sslMode(), db::SslMode::Prefer);
    } else {
        QCOMPARE(l.dm.conVek.server(), std::string());
        QCOMPARE(l.dm.conVek.database(), std::string("vek1"));
        QCOMPARE(l.dm.conVek.sslMode(), db::SslMode::Require);
    }
    QVERIFY(!l.form.dsVekMobil.active());
    QVERIFY(!l.dm.dsEmitent.active());
    QVERIFY(!l.dm.dsAplicatieMob.active());
    QVERIFY(!l.dm.dsEu.active());
    QCOMPARE(l.dm.dsAplicatieMobEmitent.active(), grantQueryOpen);
    if (grantQueryOpen) QCOMPARE(l.dm.dsAplicatieMobEmitent.recordCount(), size_t{0});
    QCOMPARE(l.dm.conVekMob.sslMode(), db::SslMode::Require);
    QCOMPARE(l.form.Edit3->text(), password);
}

void TestLogin::successfulLogin_data() {
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("workPoint");
    QTest::addColumn<QString>("role");
    QTest::newRow("hashed passwords") << "hashed" << "ana" << "ana123" << "SEDIU CLUJ" << "operator";
    QTest::newRow("plain passwords") << "plain" << "ana" << "ana123" << "PUNCT 2" << "operator";
    QTest::newRow("user name with spaces") << "hashed" << " Maria Ionescu " << "m" << "DEPOZIT" << "sef";
}

void TestLogin::successfulLogin() {
    QFETCH(QString, company);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, workPoint);
    QFETCH(QString, role);
    const Company& c = company == QLatin1String("plain") ? *plain_ : *hashed_;
    BoxRecorder rec;
    Login l;
    fixture::whenModal([&](QWidget*) {
        l.enter(c.qname(), user, password);
        l.press();
    });
    QCOMPARE(l.form.ShowModal(), int(TfrmLogin::mrOk));
    QVERIFY(rec.boxes.empty());
    QVERIFY(!l.form.isVisible());
    QCOMPARE(l.form.Edit3->text(), QString());

    QCOMPARE(l.dm.glNumeFirma, c.qname());
    QCOMPARE(l.dm.glUser, user);
    QCOMPARE(l.dm.glUserPass, password);
    QCOMPARE(l.dm.glDataBase, c.qdatabase());
    QCOMPARE(l.dm.glUserRol, role);
    QCOMPARE(l.dm.glEuPL, workPoint);
    QCOMPARE(l.dm.glJasIP, QStringLiteral("rapoarte.exemplu.ro"));  // the template's company record
    QCOMPARE(l.dm.glJasProtocol, QStringLiteral("https"));

    QVERIFY(l.dm.dsEu.active());
    QVERIFY(l.dm.dsAplicatieMobEmitent.active());
    QVERIFY(!l.dm.dsEmitent.active());
    QVERIFY(!l.dm.dsAplicatieMob.active());
    QVERIFY(!l.form.dsVekMobil.active());
    QCOMPARE(l.dm.conVek.sslMode(), db::SslMode::Prefer);
    QCOMPARE(l.dm.conVekMob.sslMode(), db::SslMode::Require);
    QVERIFY(l.dm.conVekMob.connected());  // the directory stays connected
    QVERIFY(!l.dm.conVek.connected());    // the company connection is released when idle

    // The password is never written.
    QFile f(config_->file());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(!bytes.contains(password.toUtf8()) || password.size() < 2);
    QVERIFY(!bytes.contains(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256).toHex()));
}

void TestLogin::passwordValue_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("hashType");
    QTest::addColumn<QString>("value");
    // FIPS 180-4 example vectors.
    QTest::newRow("abc") << "abc" << "HashSHA2" << "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    QTest::newRow("empty password") << "" << "HashSHA2"
                                    << "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    QTest::newRow("another case") << "abc" << "hashsha2" << "abc";
    QTest::newRow("trailing space") << "abc" << "HashSHA2 " << "abc";
    QTest::newRow("empty type") << "abc" << "" << "abc";
    QTest::newRow("other type, spaces kept") << " a b " << "MD5" << " a b ";
}

void TestLogin::passwordValue() {
    QFETCH(QString, password);
    QFETCH(QString, hashType);
    QFETCH(QString, value);
    QCOMPARE(TfrmLogin::passwordValue(password, hashType), value);
}

void TestLogin::hashedPasswords_data() {
    QTest::addColumn<std::optional<std::string>>("hashType");
    QTest::addColumn<bool>("storedHashed");
    QTest::addColumn<QString>("password");  // stored (or its digest) and typed
    QTest::addColumn<bool>("succeeds");
    using H = std::optional<std::string>;
    QTest::newRow("HashSHA2, non-ASCII") << H("HashSHA2") << true << "Parolă€ș 𝄞" << true;
    QTest::newRow("HashSHA2, empty password") << H("HashSHA2") << true << "" << true;
    QTest::newRow("HashSHA2, stored plain") << H("HashSHA2") << false << "Secret1" << false;
    QTest::newRow("hashsha2 sends as typed") << H("hashsha2") << false << "Secret1" << true;
    QTest::newRow("hashsha2 does not hash") << H("hashsha2") << true << "Secret1" << false;
    QTest::newRow("trailing space sends as typed") << H("HashSHA2 ") << false << "Secret1" << true;
    QTest::newRow("empty type sends as typed") << H("") << false << "Secret1" << true;
    QTest::newRow("NULL type sends as typed") << H() << false << "Secret1" << true;
}

void TestLogin::hashedPasswords() {
    QFETCH(std::optional<std::string>, hashType);
    QFETCH(bool, storedHashed);
    QFETCH(QString, password);
    QFETCH(bool, succeeds);
    // One user and one directory row per case, on the hashed company's database.
    const std::string user = std::string("user ") + QTest::currentDataTag();
    hashed_->addUser(user, password.toStdString(), storedHashed);
    DirectoryRow row(hashed_->name() + " / " + QTest::currentDataTag(), hashed_->database(), hashType);

    BoxRecorder rec;
    Login l;
    l.show();
    l.enter(row.qname(), QString::fromStdString(user), password);
    l.press();
    if (succeeds) {
        QCOMPARE(rec.texts(), QStringList());
        QCOMPARE(l.form.result(), int(QDialog::Accepted));
        QCOMPARE(l.dm.glUserPass, password);  // as typed, never the digest
    } else {
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("User, Password eronate.")});
    }
}

void TestLogin::firstDirectoryRowUsed_data() {
    QTest::addColumn<bool>("goodFirst");
    QTest::newRow("good row first") << true;
    QTest::newRow("missing database first") << false;
}

void TestLogin::firstDirectoryRowUsed() {
    QFETCH(bool, goodFirst);
    const std::string name = hashed_->name() + (goodFirst ? " twice A" : " twice B");
    const std::string missing = "nu_exista_" + hashed_->database();
    std::optional<DirectoryRow> first, second;
    first.emplace(name, goodFirst ? hashed_->database() : missing, std::string("HashSHA2"));
    second.emplace(name, goodFirst ? missing : hashed_->database(), std::string("HashSHA2"));

    BoxRecorder rec;
    Login l;
    l.show();
    l.enter(QString::fromStdString(name), QStringLiteral("ana"), QStringLiteral("ana123"));
    l.press();
    if (goodFirst) {
        QCOMPARE(rec.texts(), QStringList());
        QCOMPARE(l.dm.glDataBase, hashed_->qdatabase());
    } else {
        QCOMPARE(rec.boxes.size(), size_t{1});
        QVERIFY2(rec.boxes[0].text.contains(QString::fromStdString(missing)) &&
                     rec.boxes[0].text.contains(QLatin1String("does not exist")),
                 qPrintable(rec.boxes[0].text));
        QCOMPARE(l.dm.conVek.database(), missing);
    }
}

void TestLogin::companyNameAsTyped_data() {
    QTest::addColumn<QString>("typed");   // %1 stands for the directory's name
    QTest::addColumn<bool>("found");
    QTest::newRow("exact") << "%1" << true;
    QTest::newRow("lower case") << "lower" << false;
    QTest::newRow("leading space") << " %1" << false;
    QTest::newRow("trailing space") << "%1 " << false;
}

void TestLogin::companyNameAsTyped() {
    QFETCH(QString, typed);
    QFETCH(bool, found);
    const QString name = hashed_->qname();
    const QString company = typed == QLatin1String("lower") ? name.toLower() : typed.arg(name);
    BoxRecorder rec;
    Login l;
    l.show();
    l.enter(company, QStringLiteral("ana"), QStringLiteral("ana123"));
    l.press();
    QCOMPARE(rec.texts(), found ? QStringList() : QStringList{QStringLiteral("Companie inexistenta.")});
    QCOMPARE(l.dm.glNumeFirma, company);
}

void TestLogin::jasProtocol_data() {
    QTest::addColumn<std::optional<std::string>>("jasIp");
    QTest::addColumn<QString>("protocol");
    using J = std::optional<std::string>;
    QTest::newRow("port 8080") << J("rapoarte.firma.ro:8080/jasperserver") << "http";
    QTest::newRow("8080 inside a longer number") << J("10.0.0.5:18080") << "http";
    QTest::newRow("8080 at the start") << J("8080.firma.ro") << "http";
    QTest::newRow("port 8443") << J("rapoarte.firma.ro:8443") << "https";
    QTest::newRow("808 and 080") << J("808.080.ro") << "https";
    QTest::newRow("empty") << J("") << "https";
    QTest::newRow("NULL") << J() << "https";
}

void TestLogin::jasProtocol() {
    QFETCH(std::optional<std::string>, jasIp);
    QFETCH(QString, protocol);
    Company company("login_jas");
    company.addUser("ana", "ana123", true);
    company.superuser().exec("update eu set jas_ip = $1", {jasIp});
    BoxRecorder rec;
    Login l;
    l.show();
    l.enter(company.qname(), QStringLiteral("ana"), QStringLiteral("ana123"));
    l.press();
    QCOMPARE(rec.texts(), QStringList());
    QCOMPARE(l.dm.glJasIP, QString::fromStdString(jasIp.value_or("")));
    QCOMPARE(l.dm.glJasProtocol, protocol);
}

void TestLogin::directoryWithoutEncryptionRefused() {
    BoxRecorder rec;
    Login l;
    fixture::pointAtTestDirectory(l.dm, testdb::Cluster::NoSsl);
    l.show();
    l.enter(hashed_->qname(), QStringLiteral("ana"), QStringLiteral("ana123"));
    l.press();
    QCOMPARE(rec.texts(), QStringList{QStringLiteral("SSL connection is not allowed.")});
    QCOMPARE(l.dm.glNumeFirma, hashed_->qname());
    QVERIFY(!l.dm.conVekMob.connected());
    QCOMPARE(l.dm.conVek.database(), std::string("vek1"));
}

void TestLogin::companyWithoutEncryptionReached() {
    Company company("login_nossl", std::string("HashSHA2"), testdb::Cluster::NoSsl);
    company.addUser("ana", "ana123", true);
    BoxRecorder rec;
    Login l;
    l.show();
    l.enter(company.qname(), QStringLiteral("ana"), QStringLiteral("ana123"));
    l.press();
    QCOMPARE(rec.texts(), QStringList());
    QCOMPARE(l.dm.glDataBase, company.qdatabase());
    QCOMPARE(l.dm.conVek.port(), testdb::env().portNoSsl);
}

// ---------------------------------------------------------------------------
// The remembered login

void TestLogin::firstShowingWithoutFile_data() {
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("record");
    QTest::newRow("nothing typed") << "" << "" << false;
    QTest::newRow("company typed") << "Nu exista" << "" << true;
    QTest::newRow("user typed") << "" << "ana" << true;
    QTest::newRow("both typed") << "Nu exista" << "ana" << true;
}

void TestLogin::firstShowingWithoutFile() {
    QFETCH(QString, company);
    QFETCH(QString, user);
    QFETCH(bool, record);
    BoxRecorder rec;
    Login l;
    l.show();
    QVERIFY(l.form.dsLogin.active());
    QCOMPARE(l.boxes(), (QStringList{"", "", ""}));
    QVERIFY(!QFileInfo::exists(config_->file()));
    fixture::typeText(l.form.Edit1, company);
    fixture::typeText(l.form.Edit2, user);
    l.press();
    QCOMPARE(rec.texts(), QStringList{QStringLiteral("Companie inexistenta.")});
    const auto saved = fileRecord(config_->file());
    QCOMPARE(saved.has_value(), record);
    if (record) QCOMPARE(*saved, (LoginTable::Record{company, user}));
}

void TestLogin::rememberedAcrossRuns() {
    {
        BoxRecorder rec;
        Login first;
        first.show();
        first.enter(QStringLiteral("Nu exista SRL"), QStringLiteral("ana"), QStringLiteral("secret"));
        first.press();
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("Companie inexistenta.")});
    }
    BoxRecorder rec;
    Login later;
    later.show();
    later.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&later.form));
    QCOMPARE(later.boxes(), (QStringList{"Nu exista SRL", "ana", ""}));
    QCOMPARE(QApplication::focusWidget(), later.form.Edit3);
    QVERIFY(rec.boxes.empty());
}

void TestLogin::passwordKeptAfterFailedAttempt() {
    BoxRecorder rec;
    Login l;
    l.show();
    l.enter(hashed_->qname(), QStringLiteral("ana"), QStringLiteral("gresit"));
    l.press();
    QCOMPARE(rec.boxes.size(), size_t{1});
    l.form.close();
    QVERIFY(!l.form.isVisible());
    // Something else wrote the file meanwhile: the next showing reloads it.
    LoginTable other;
    other.open();
    other.setValue(LoginTable::Field::Company, QStringLiteral("Alta"));
    other.setValue(LoginTable::Field::Username, QStringLiteral("dan"));
    other.saveToFile(config_->file());
    l.show();
    QCOMPARE(l.boxes(), (QStringList{"Alta", "dan", "gresit"}));
}

void TestLogin::typingChangesRecord() {
    Login l;
    l.show();
    QVERIFY(!l.form.dsLogin.record());
    fixture::typeText(l.form.Edit2, QStringLiteral("an"));
    QCOMPARE(l.form.dsLogin.record(), std::optional(LoginTable::Record{QString(), QStringLiteral("an")}));
    fixture::typeText(l.form.Edit1, QStringLiteral("Ț"));
    QCOMPARE(l.form.dsLogin.record(), std::optional(LoginTable::Record{QStringLiteral("Ț"), QStringLiteral("an")}));
    QTest::keyClick(l.form.Edit2, Qt::Key_Backspace);
    QCOMPARE(l.form.dsLogin.value(LoginTable::Field::Username), QStringLiteral("a"));
    // The password box is not bound.
    fixture::typeText(l.form.Edit3, QStringLiteral("pw"));
    QCOMPARE(l.form.dsLogin.record(), std::optional(LoginTable::Record{QStringLiteral("Ț"), QStringLiteral("a")}));
}

void TestLogin::unreadableFileAtShowing_data() {
    QTest::addColumn<QByteArray>("content");  // empty: a folder stands where the file should be
    QTest::newRow("not JSON") << QByteArray("{\"fields\": [ oops");
    QTest::newRow("wrong layout") << QByteArray("{\"tabela\": 1}");
    QTest::newRow("unreadable") << QByteArray();
}

void TestLogin::unreadableFileAtShowing() {
    QFETCH(QByteArray, content);
    if (content.isEmpty()) {
        QVERIFY(QDir().mkpath(config_->file()));
    } else {
        QFile f(config_->file());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    BoxRecorder rec;
    Login l;
    l.form.Edit1->setText(QStringLiteral("inainte"));
    l.show();
    QTRY_COMPARE(rec.boxes.size(), size_t{1});  // shown once the window is up
    QVERIFY(rec.boxes[0].text.contains(config_->file()));
    QCOMPARE(rec.boxes[0].kind, ui::MessageBox::Kind::Error);
    QVERIFY(l.form.isVisible());
    QVERIFY(!l.form.dsLogin.active());
    QCOMPARE(l.boxes(), (QStringList{"", "", ""}));

    if (content.isEmpty()) QVERIFY(QDir().rmdir(config_->file()));
    // The next press of Login writes a good file with what the boxes show.
    l.enter(QStringLiteral("Nu exista"), QStringLiteral("ana"), QStringLiteral("x"));
    l.press();
    QCOMPARE(rec.boxes.size(), size_t{2});
    QCOMPARE(rec.boxes[1].text, QStringLiteral("Companie inexistenta."));
    QCOMPARE(fileRecord(config_->file()), std::optional(LoginTable::Record{"Nu exista", "ana"}));
    QCOMPARE(l.boxes(), (QStringList{"Nu exista", "ana", "x"}));
}

void TestLogin::unwritableFileStopsLogin() {
    // The roaming folder is a file: nothing can be written below it.
    const QString notAFolder = config_->path() + QStringLiteral("/plain-file");
    {
        QFile f(notAFolder);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    config_->pointAt(notAFolder);
    BoxRecorder rec;
    Login l;
    l.show();
    QVERIFY(rec.boxes.empty());  // no file to load is no error
    l.enter(hashed_->qname(), QStringLiteral("ana"), QStringLiteral("ana123"));
    l.press();
    QCOMPARE(rec.boxes.size(), size_t{1});
    QVERIFY2(rec.boxes[0].text.contains(QLatin1String("Not a directory")), qPrintable(rec.boxes[0].text));
    // Nothing else happened.
    QCOMPARE(l.dm.glNumeFirma, QString());
    QCOMPARE(l.dm.conVekMob.connectCount(), 0L);
    QCOMPARE(l.dm.conVek.database(), std::string("vek1"));
    QCOMPARE(l.form.result(), 0);
    QCOMPARE(l.boxes(), (QStringList{hashed_->qname(), "ana", "ana123"}));
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
