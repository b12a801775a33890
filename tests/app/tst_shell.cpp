// The application shell: the application title, the roaming folder, the
// default error display (text, full stop, caption, icon, owner), the handler
// guard, the information box, the open-file dialog and the busy cursor.
#include "os.h"
#include "ui.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// Records the boxes instead of showing them.
struct BoxRecorder {
    std::vector<ui::MessageBox> boxes;
    ui::MessagePresenter previous;
    BoxRecorder() {
        previous = ui::setMessagePresenter([this](const ui::MessageBox& b) { boxes.push_back(b); });
    }
    ~BoxRecorder() { ui::setMessagePresenter(previous); }
};

// Throws the messages as a chain: the first outermost, the last innermost.
[[noreturn]] void throwChain(const QStringList& messages, qsizetype i = 0) {
    if (i + 1 == messages.size()) throw std::runtime_error(messages[i].toStdString());
    try {
        throwChain(messages, i + 1);
    } catch (...) {
        std::throw_with_nested(std::runtime_error(messages[i].toStdString()));
    }
}

class Environment {
public:
    explicit Environment(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) saved_ = std::string(v);
    }
    ~Environment() {
        if (saved_)
            qputenv(name_, QByteArray::fromStdString(*saved_));
        else
            qunsetenv(name_);
    }
    void set(const QString& value, bool present) {
        if (present)
            qputenv(name_, value.toUtf8());
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

// Runs fn once the next modal window is up (the modal loop is running).
void whenModal(std::function<void(QWidget*)> fn) {
    QTimer::singleShot(0, [fn = std::move(fn)]() mutable {
        QWidget* w = QApplication::activeModalWidget();
        if (w == nullptr) {
            whenModal(std::move(fn));
            return;
        }
        fn(w);
    });
}

}  // namespace

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void title_data();
    void title();
    void titleOfThisProgram();
    void windowsSeparator();
    void lowerCase_data();
    void lowerCase();
    void joinPath_data();
    void joinPath();
    void roamingFolder_data();
    void roamingFolder();
    void fullStop_data();
    void fullStop();
    void innermostMessage_data();
    void innermostMessage();
    void guardShowsErrorAndStops();
    void guardShowsUnknownException();
    void applicationCatchesUnguardedHandler();
    void ownerIsActiveWindowElseMainWindow();
    void realErrorBox();
    void informationBox_data();
    void informationBox();
    void realOpenFileDialog();
    void busyCursorRestoresOnEveryPath();
};

void TestShell::title_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    const QString longDir(250, QLatin1Char('d'));
    QTest::newRow("wParvolen.exe") << "/usr/bin/wParvolen.exe" << "wparvolen";
    QTest::newRow("upper case") << "/usr/bin/WPARVOLEN.EXE" << "Wparvolen";
    QTest::newRow("cut at the first full stop") << "/usr/bin/w.Parvolen.exe" << "w";
    QTest::newRow("no full stop") << "/opt/wParvolen" << "wparvolen";
    QTest::newRow("full stops in folders") << "/home/a.b/c.d/wParvolen" << "wparvolen";
    QTest::newRow("non-ASCII") << "/opt/ÎNCASĂRI.exe" << "Încasări";
    QTest::newRow("Greek, each letter alone") << "/opt/ΣΟΦΙΑΣ.exe" << "Σοφιασ";
    QTest::newRow("first character keeps its case") << "/opt/élan.exe" << "élan";
    QTest::newRow("leading full stop") << "/opt/.hidden" << "";
    QTest::newRow("no folder") << "wParvolen.exe" << "wparvolen";
    QTest::newRow("empty") << "" << "";
    // 1 + 250 + 1 characters of folders, then 3 of the file name make 255.
    QTest::newRow("path longer than 255 characters") << "/" + longDir + "/wParvolen.exe" << "wpa";
    QTest::newRow("255 characters cut inside a folder")
        << "/" + QString(300, QLatin1Char('A')) + "/x.exe" << "A" + QString(253, QLatin1Char('a'));
    // 1 + 240 + 1 + 13 = 255 characters, far more bytes: characters count.
    QTest::newRow("255 characters, not bytes") << "/" + QString(240, QChar(0x103)) + "/wParvolen.exe"
                                               << "wparvolen";
}

void TestShell::title() {
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(q(os::applicationTitleFromPath(path.toStdString(), U"/")), title);
}

void TestShell::titleOfThisProgram() {
    // This executable is tst_shell: the title the error boxes carry.
    QCOMPARE(q(os::applicationTitle()), QStringLiteral("tst_shell"));
    QCOMPARE(ui::applicationTitle(), QStringLiteral("tst_shell"));
    QVERIFY(q(os::executablePath()).endsWith(QLatin1String("/tst_shell")));
}

void TestShell::windowsSeparator() {
    const std::string path = "C:\\Program Files\\wParvolen\\wParvolen.exe";
    QCOMPARE(q(os::applicationTitleFromPath(path, U"\\")), QStringLiteral("wparvolen"));
    // With "/" alone the backslashes are part of the name.
    QCOMPARE(q(os::applicationTitleFromPath(path, U"/")), QStringLiteral("C:\\program files\\wparvolen\\wparvolen"));
}

void TestShell::lowerCase_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lower");
    QTest::newRow("ASCII") << "WParVolen 42" << "wparvolen 42";
    QTest::newRow("Romanian") << "ÎNCASĂRI ȘI ȚĂRI" << "încasări și țări";
    QTest::newRow("dotted capital I") << "İ" << "i";
    QTest::newRow("title-case digraph") << "ǅ" << "ǆ";
    QTest::newRow("outside the BMP") << "𐐀" << "𐐨";
    QTest::newRow("no case") << "123 -_. €" << "123 -_. €";
}

void TestShell::lowerCase() {
    QFETCH(QString, text);
    QFETCH(QString, lower);
    QCOMPARE(q(os::toLowerUnicode(text.toStdString())), lower);
}

void TestShell::joinPath_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("separators");
    QTest::addColumn<QString>("expected");
    QTest::newRow("posix") << "/home/ana/.config" << "/" << "/home/ana/.config/VekLurev.json";
    QTest::newRow("posix, folder ends in separator") << "/home/ana/.config/" << "/"
                                                     << "/home/ana/.config/VekLurev.json";
    QTest::newRow("windows") << "C:\\Users\\ana\\AppData\\Roaming" << "\\"
                             << "C:\\Users\\ana\\AppData\\Roaming\\VekLurev.json";
    QTest::newRow("windows, root") << "C:\\" << "\\" << "C:\\VekLurev.json";
    QTest::newRow("no folder") << "" << "/" << "VekLurev.json";
}

void TestShell::joinPath() {
    QFETCH(QString, folder);
    QFETCH(QString, separators);
    QFETCH(QString, expected);
    const std::u32string seps = separators.toStdU32String();
    QCOMPARE(q(os::joinPath(folder.toStdString(), "VekLurev.json", seps, seps.front())), expected);
}

void TestShell::roamingFolder_data() {
    QTest::addColumn<bool>("hasXdg");
    QTest::addColumn<QString>("xdg");
    QTest::addColumn<bool>("hasHome");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("expected");
    QTest::newRow("XDG_CONFIG_HOME") << true << "/tmp/cfg" << true << "/home/ana" << "/tmp/cfg";
    QTest::newRow("home") << false << "" << true << "/home/ana" << "/home/ana/.config";
    QTest::newRow("empty XDG_CONFIG_HOME") << true << "" << true << "/home/ana" << "/home/ana/.config";
    QTest::newRow("relative XDG_CONFIG_HOME") << true << "cfg" << true << "/home/ana" << "/home/ana/.config";
    QTest::newRow("none") << false << "" << false << "" << "";
}

void TestShell::roamingFolder() {
    QFETCH(bool, hasXdg);
    QFETCH(QString, xdg);
    QFETCH(bool, hasHome);
    QFETCH(QString, home);
    QFETCH(QString, expected);
    Environment xdgVar("XDG_CONFIG_HOME");
    Environment homeVar("HOME");
    xdgVar.set(xdg, hasXdg);
    homeVar.set(home, hasHome);
    QCOMPARE(q(os::roamingAppDataFolder()), expected);
}

void TestShell::fullStop_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Companie inexistenta" << "Companie inexistenta.";
    QTest::newRow("digit") << "Eroare 42" << "Eroare 42.";
    QTest::newRow("slash, code 47") << "a/" << "a/.";
    QTest::newRow("full stop") << "Gata." << "Gata.";
    QTest::newRow("exclamation") << "Atentie!" << "Atentie!";
    QTest::newRow("parenthesis") << "Eroare (x)" << "Eroare (x)";
    QTest::newRow("space") << "user-ul ana " << "user-ul ana ";
    QTest::newRow("hyphen, code 45") << "a-" << "a-";
    QTest::newRow("comma") << "a," << "a,";
    QTest::newRow("non-ASCII") << "țară" << "țară.";
    QTest::newRow("outside the BMP") << "ok 😀" << "ok 😀.";
    QTest::newRow("empty") << "" << "";
}

void TestShell::fullStop() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(ui::withFullStop(text), shown);
}

void TestShell::innermostMessage_data() {
    QTest::addColumn<QStringList>("chain");  // outermost first
    QTest::addColumn<QString>("shown");
    QTest::newRow("single") << QStringList{"Companie inexistenta"} << "Companie inexistenta.";
    QTest::newRow("inner wins") << QStringList{"Outer", "Inner"} << "Inner.";
    QTest::newRow("empty inner skipped") << QStringList{"Outer", ""} << "Outer.";
    QTest::newRow("empty outer") << QStringList{"", "Inner"} << "Inner.";
    QTest::newRow("three levels, empty innermost") << QStringList{"a", "b", ""} << "b.";
    QTest::newRow("three levels") << QStringList{"a", "b", "c"} << "c.";
    QTest::newRow("all empty") << QStringList{"", ""} << "";
}

void TestShell::innermostMessage() {
    QFETCH(QStringList, chain);
    QFETCH(QString, shown);
    try {
        throwChain(chain);
    } catch (const std::exception& e) {
        QCOMPARE(ui::errorText(e), shown);
        BoxRecorder rec;
        ui::showError(e);
        QCOMPARE(rec.boxes.size(), size_t{1});
        QCOMPARE(rec.boxes[0].text, shown);
    }
}

void TestShell::guardShowsErrorAndStops() {
    BoxRecorder rec;
    bool after = false;
    const bool ran = ui::guarded([&] {
        throw std::runtime_error("User, Password eronate");
        after = true;  // never reached
    });
    QVERIFY(!ran);
    QVERIFY(!after);
    QCOMPARE(rec.boxes.size(), size_t{1});
    QCOMPARE(rec.boxes[0].kind, ui::MessageBox::Kind::Error);
    QCOMPARE(rec.boxes[0].caption, QStringLiteral("tst_shell"));
    QCOMPARE(rec.boxes[0].text, QStringLiteral("User, Password eronate."));

    QVERIFY(ui::guarded([] {}));
    QCOMPARE(rec.boxes.size(), size_t{1});
}

void TestShell::guardShowsUnknownException() {
    BoxRecorder rec;
    QVERIFY(!ui::guarded([] { throw 42; }));
    QCOMPARE(rec.boxes.size(), size_t{1});
    QCOMPARE(rec.boxes[0].text, QStringLiteral("Exceptie necunoscuta."));
}

namespace {
class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::runtime_error("Din handler");
        return QObject::event(e);
    }
};
}  // namespace

void TestShell::applicationCatchesUnguardedHandler() {
    BoxRecorder rec;
    Thrower t;
    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(&t, &e);
    QCOMPARE(rec.boxes.size(), size_t{1});
    QCOMPARE(rec.boxes[0].text, QStringLiteral("Din handler."));
}

void TestShell::ownerIsActiveWindowElseMainWindow() {
    BoxRecorder rec;
    QWidget main;
    ui::setMainWindow(&main);
    ui::showError(std::runtime_error("x"));
    QCOMPARE(rec.boxes.back().owner.data(), &main);

    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    ui::showError(std::runtime_error("y"));
    QCOMPARE(rec.boxes.back().owner.data(), &other);
    ui::setMainWindow(nullptr);
}

void TestShell::realErrorBox() {
    QWidget main;
    main.show();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    bool seen = false;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        seen = true;
        QVERIFY(box != nullptr);
        QCOMPARE(box->windowTitle(), QStringLiteral("tst_shell"));
        QCOMPARE(box->text(), QStringLiteral("Companie inexistenta."));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->parentWidget(), &main);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        box->button(QMessageBox::Ok)->click();
    });
    ui::showError(std::runtime_error("Companie inexistenta"));
    QVERIFY(seen);
}

void TestShell::informationBox_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("take-over done") << "Fisierul Excel a fost preluat.";
    QTest::newRow("no full stop added") << "Gata";
}

void TestShell::informationBox() {
    QFETCH(QString, text);
    {
        BoxRecorder rec;
        ui::showInfo(text);
        QCOMPARE(rec.boxes.size(), size_t{1});
        QCOMPARE(rec.boxes[0].kind, ui::MessageBox::Kind::Information);
        QCOMPARE(rec.boxes[0].text, text);
        QCOMPARE(rec.boxes[0].caption, QStringLiteral("tst_shell"));
    }
    bool seen = false;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        seen = true;
        QVERIFY(box != nullptr);
        QCOMPARE(box->text(), text);
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        box->button(QMessageBox::Ok)->click();
    });
    ui::showInfo(text);
    QVERIFY(seen);
}

void TestShell::realOpenFileDialog() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("raport.xlsx"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();

    QWidget parent;
    // Cancelled: nothing chosen.
    whenModal([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        QVERIFY(d != nullptr);
        QCOMPARE(d->parentWidget(), &parent);
        QCOMPARE(d->fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(d->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(d->defaultSuffix(), QString());
        QCOMPARE(d->nameFilters(), QStringList{QStringLiteral("All Files (*)")});
        QVERIFY(d->isSizeGripEnabled());
        d->reject();
    });
    QCOMPARE(ui::chooseOpenFile(&parent), std::optional<QString>());

    // A file chosen: its full path.
    whenModal([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        QVERIFY(d != nullptr);
        d->setDirectory(dir.path());
        d->selectFile(file);
        static_cast<QDialog*>(d)->accept();
    });
    QCOMPARE(ui::chooseOpenFile(&parent), std::optional<QString>(file));

    // The seam answers instead of the dialog.
    QWidget* asked = nullptr;
    const auto previous = ui::setOpenFileChooser([&](QWidget* p) {
        asked = p;
        return std::optional<QString>(QStringLiteral("/x/y.xlsx"));
    });
    QCOMPARE(ui::chooseOpenFile(&parent), std::optional<QString>(QStringLiteral("/x/y.xlsx")));
    QCOMPARE(asked, &parent);
    ui::setOpenFileChooser(previous);
}

void TestShell::busyCursorRestoresOnEveryPath() {
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    {
        ui::BusyCursor busy;
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    BoxRecorder rec;
    ui::guarded([] {
        ui::BusyCursor busy;
        throw std::runtime_error("x");
    });
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(rec.boxes.size(), size_t{1});
}

int main(int argc, char** argv) {
    ui::Application app(argc, argv);
    TestShell t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_shell.moc"
