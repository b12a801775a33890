#include "u_frmLogin.h"

#include "os.h"
#include "u_dmCon.h"
#include "ui.h"

#include <QCryptographicHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QFileInfo>
#include <QShowEvent>
#include <QTimer>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

QFont tahoma(int pixels) {
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(pixels);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

std::string utf8(const QString& s) { return s.toStdString(); }

[[noreturn]] void fail(const QString& message) { throw std::runtime_error(message.toStdString()); }

std::vector<db::FieldDef> vekMobilColumns() {
    using db::FieldKind;
    return {
        {"nume_firma", FieldKind::Text, 200, true, false},
        {"ip", FieldKind::LongText, 0, false, false},
        {"port", FieldKind::Integer, 0, false, false},
        {"db_name", FieldKind::LongText, 0, false, false},
        {"activ", FieldKind::Boolean, 0, false, false},
        {"m_site", FieldKind::Boolean, 0, true, false},
        {"pw_hash_type", FieldKind::Text, 23, false, false},
    };
}

}  // namespace

TfrmLogin::TfrmLogin(TdmCon& dm, QWidget* parent)
    : QDialog(parent),
      Label1(new QLabel(QStringLiteral("Company"), this)),
      Label2(new QLabel(QStringLiteral("UserName"), this)),
      Label3(new QLabel(QStringLiteral("Password"), this)),
      Edit1(new QLineEdit(this)),
      Edit2(new QLineEdit(this)),
      Edit3(new QLineEdit(this)),
      Button1(new QPushButton(QStringLiteral("Login"), this)),
      dsVekMobil("dsVekMobil", dm.conVekMob,
                 "select *\nfrom m_firma\nwhere nume_firma = :pNumeFirma\n;", vekMobilColumns()),
      dm_(dm) {
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("frmLogin"));
    setFont(tahoma(11));
    resize(362, 158);

    Label1->setObjectName(QStringLiteral("Label1"));
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3->setObjectName(QStringLiteral("Label3"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Button1->setObjectName(QStringLiteral("Button1"));

    // The labels size themselves to their captions (50, 55 and 51 × 14 in
    // Tahoma; a substitute font may need a little more or less).
    Label1->move(16, 24);
    Label2->move(16, 56);
    Label3->move(16, 88);
    for (QLabel* l : {Label1, Label2, Label3}) {
        l->setFont(tahoma(12));
        l->adjustSize();
    }
    Edit1->setGeometry(77, 22, 268, 21);
    Edit2->setGeometry(77, 54, 268, 21);
    Edit3->setGeometry(77, 86, 268, 21);
    Button1->setGeometry(77, 120, 75, 30);

    // Every character of the password is shown as "*".
    Edit3->setEchoMode(QLineEdit::Password);
    Edit3->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));

    Button1->setDefault(true);
    Button1->setAutoDefault(true);

    // Tab order: password, Login, company, user name.
    setTabOrder(Edit3, Button1);
    setTabOrder(Button1, Edit1);
    setTabOrder(Edit1, Edit2);

    // Two-way bindings of Edit1/Edit2 to dsLogin: what is typed goes into the
    // record at once; a table that opens or changes shows its record.
    connect(Edit1, &QLineEdit::textEdited, this,
            ui::handler([this](const QString& text) { dsLogin.setValue(LoginTable::Field::Company, text); }));
    connect(Edit2, &QLineEdit::textEdited, this,
            ui::handler([this](const QString& text) { dsLogin.setValue(LoginTable::Field::Username, text); }));
    dsLogin.onReset = [this] { showLoginRecord(); };

    connect(Button1, &QPushButton::clicked, this, ui::handler([this] { Button1Click(); }));
}

TfrmLogin::~TfrmLogin() { dsLogin.onReset = nullptr; }

int TfrmLogin::ShowModal() {
    setResult(0);
    return exec() == QDialog::Accepted ? mrOk : mrCancel;
}

QString TfrmLogin::rememberedLoginFile() {
    return QString::fromStdString(os::joinPath(os::roamingAppDataFolder(), "VekLurev.json"));
}

QString TfrmLogin::passwordValue(const QString& password, const QString& pwHashType) {
    if (pwHashType == QLatin1String("HashSHA2"))
        return QString::fromLatin1(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256).toHex());
    return password;
}

void TfrmLogin::showLoginRecord() {
    Edit1->setText(dsLogin.value(LoginTable::Field::Company));
    Edit2->setText(dsLogin.value(LoginTable::Field::Username));
}

void TfrmLogin::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    Edit3->setFocus(Qt::OtherFocusReason);
    try {
        FormShow();
    } catch (...) {
        // The window still opens; the error is shown over it once it is up.
        QTimer::singleShot(0, this, [error = std::current_exception()] { ui::guarded([&] { ui::showError(error); }); });
    }
}

void TfrmLogin::keyPressEvent(QKeyEvent* event) {
    // There is no cancel button: Escape does not close the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmLogin::FormShow() {
    const QString file = rememberedLoginFile();
    if (QFileInfo::exists(file)) dsLogin.loadFromFile(file);
    dsLogin.open();
}

void TfrmLogin::postBoxesToLoginTable() {
    if (dsLogin.active()) return;  // the bindings already carried every change
    // The table could not be loaded at this showing: start it from the boxes.
    const QString company = Edit1->text();
    const QString username = Edit2->text();
    dsLogin.open();
    Edit1->setText(company);
    Edit2->setText(username);
    if (!company.isEmpty() || !username.isEmpty()) {
        dsLogin.setValue(LoginTable::Field::Company, company);
        dsLogin.setValue(LoginTable::Field::Username, username);
    }
}

void TfrmLogin::closeLoginQueries() noexcept {
    for (db::Query* q : {&dm_.dsAplicatieMob, &dm_.dsEmitent, &dsVekMobil}) {
        try {
            if (q->active()) q->close();
        } catch (...) {
            // Closing discards rows; nothing left to report.
        }
    }
}

void TfrmLogin::Button1Click() {
    // 1. Remember the company and user name, whatever the outcome.
    postBoxesToLoginTable();
    dsLogin.saveToFile(rememberedLoginFile());

    // 2.
    dm_.glNumeFirma = Edit1->text();

    // 3.
    dm_.conVekMob.setSslMode(db::SslMode::Require);

    // 4. Directory lookup; from here on the lookup queries are closed at the end.
    dsVekMobil.close();
    dsVekMobil.paramByName("pNumeFirma").setText(utf8(Edit1->text()));
    dsVekMobil.open();
    struct ClosingRule {
        TfrmLogin& form;
        ~ClosingRule() { form.closeLoginQueries(); }
    } closingRule{*this};

    // 5.
    if (dsVekMobil.isEmpty()) fail(QStringLiteral("Companie inexistenta"));
    const QString pwHashType = QString::fromStdString(dsVekMobil.asString("pw_hash_type"));
    const QString dataBase = QString::fromStdString(dsVekMobil.asString("db_name"));

    // 6. Point the company connection at the company database.
    const long row = dsVekMobil.recNo();
    const db::Column& port = dsVekMobil.column("port");
    dm_.conVek.setServer(dsVekMobil.asString("ip"));
    dm_.conVek.setPort(port.isNull(static_cast<size_t>(row)) ? 0 : port.integer(static_cast<size_t>(row)));
    dm_.conVek.setDatabase(utf8(dataBase));
    dm_.conVek.setSslMode(db::SslMode::Prefer);

    const QString user = Edit2->text();
    const QString title = ui::applicationTitle();

    // 7. User and password.
    dm_.dsEmitent.close();
    dm_.dsEmitent.paramByName("pEmitent").setText(utf8(user));
    dm_.dsEmitent.paramByName("pP").setText(utf8(passwordValue(Edit3->text(), pwHashType)));
    dm_.dsEmitent.open();
    if (dm_.dsEmitent.isEmpty()) fail(QStringLiteral("User, Password eronate"));

    // 8. The application is known and active.
    dm_.dsAplicatieMob.close();
    dm_.dsAplicatieMob.paramByName("pAplicatieMob").setText(utf8(title));
    dm_.dsAplicatieMob.open();
    if (dm_.dsAplicatieMob.isEmpty()) fail(QStringLiteral("Aplicatia ") + title + QStringLiteral(" nu este disponibila"));

    // 9. The application is granted to the user.
    dm_.dsAplicatieMobEmitent.close();
    dm_.dsAplicatieMobEmitent.paramByName("pEmitent").setText(utf8(user));
    dm_.dsAplicatieMobEmitent.paramByName("pAplicatieMob").setText(utf8(title));
    dm_.dsAplicatieMobEmitent.open();
    if (dm_.dsAplicatieMobEmitent.isEmpty())
        fail(QStringLiteral("Aplicatia ") + title + QStringLiteral(" nu este disponibila pentru user-ul ") + user);

    // 10. Session state.
    dm_.glUser = user;
    dm_.glUserPass = Edit3->text();
    dm_.glDataBase = dataBase;
    dm_.glUserRol = QString::fromStdString(dm_.dsAplicatieMobEmitent.asString("rol"));
    dm_.glEuPL = QString::fromStdString(dm_.dsEmitent.asString("eu_punct_lucru"));

    // 11. The company's own record.
    if (dm_.dsEu.active())
        dm_.dsEu.refresh();
    else
        dm_.dsEu.open();
    dm_.glJasIP = dm_.dsEu.isEmpty() ? QString() : QString::fromStdString(dm_.dsEu.asString("jas_ip"));

    // 12.
    dm_.glJasProtocol = dm_.glJasIP.contains(QLatin1String("8080")) ? QStringLiteral("http") : QStringLiteral("https");

    // 13.
    Edit3->clear();
    done(QDialog::Accepted);
}
