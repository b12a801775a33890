// Program start and the main window: the four program-wide objects in their
// order, a failing start, the main window's design, the login switching the
// panels, one collections window, and closing the main window ending the run.
#include "login_fixture.h"
#include "program.h"
#include "program_objects.h"
#include "u_dmCon.h"
#include "u_fImportIncasariSameday.h"
#include "u_fMenuParvolen.h"
#include "u_frmLogin.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using fixture::BoxRecorder;

namespace {

struct Event {
    QString what;
    bool menu, dm, login, collections;  // which variables were set at that moment
};

ProgramObserver recorder(QList<Event>& events, const QString& failAt = {}) {
    return [&events, failAt](std::string_view event, std::string_view name) {
        const QString what = QString::fromLatin1(event.data(), qsizetype(event.size())) + ' ' +
                             QString::fromLatin1(name.data(), qsizetype(name.size()));
        events.push_back({what, fMenuParvolen != nullptr, dmCon != nullptr, frmLogin != nullptr,
                          fImportIncasariSameday != nullptr});
        if (what == "created " + failAt) throw std::runtime_error("Nu s-a putut crea " + failAt.toStdString());
    };
}

QStringList whats(const QList<Event>& events) {
    QStringList w;
    for (const auto& e : events) w << e.what;
    return w;
}

bool noProgramObjects() {
    return fMenuParvolen == nullptr && dmCon == nullptr && frmLogin == nullptr && fImportIncasariSameday == nullptr;
}

// Counts the times a widget passes from hidden to visible.
class ShowCounter : public QObject {
public:
    int shows = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show && !e->spontaneous()) ++shows;
        return false;
    }
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void objectsCreatedInOrder();
    void failureWhileCreating_data();
    void failureWhileCreating();
    void startShowsMainWindowAndClosingItEnds();
    void design_data();
    void design();
    void versionLabelsAnchoredRight();
    void loginOkSwitchesPanels_data();
    void loginOkSwitchesPanels();
    void otherResultsChangeNothing_data();
    void otherResultsChangeNothing();
    void oneCollectionsWindow();

private:
    std::unique_ptr<fixture::Company> company_;
    std::unique_ptr<fixture::ConfigHome> config_;
};

void TestMainWindow::initTestCase() {
    QCOMPARE(ui::applicationTitle(), QStringLiteral("tst_mainwindow"));
    try {
        company_ = std::make_unique<fixture::Company>("mainwindow");
        company_->addUser("ana", "ana123", true);
        company_->addUser(" Ana Maria ", "am", true);
    } catch (const std::exception& e) {
        QFAIL(e.what());
    }
}

void TestMainWindow::cleanupTestCase() { company_.reset(); }

void TestMainWindow::init() { config_ = std::make_unique<fixture::ConfigHome>(); }

void TestMainWindow::cleanup() {
    config_.reset();
    QVERIFY(noProgramObjects());
}

void TestMainWindow::objectsCreatedInOrder() {
    QList<Event> events;
    QVERIFY(noProgramObjects());
    {
        ProgramObjects objects(recorder(events));
        QCOMPARE(whats(events), (QStringList{"created fMenuParvolen", "created dmCon", "created frmLogin",
                                             "created fImportIncasariSameday"}));
        // Each exists when the next is made (the login and collections windows
        // are bound to the data module).
        QVERIFY(events[0].menu && !events[0].dm);
        QVERIFY(events[1].dm && !events[1].login);
        QVERIFY(events[2].login && !events[2].collections);
        QVERIFY(events[3].collections);

        QCOMPARE(ui::mainWindow(), static_cast<QWidget*>(fMenuParvolen));
        QCOMPARE(frmLogin->parentWidget(), fMenuParvolen);
        QCOMPARE(fImportIncasariSameday->parentWidget(), fMenuParvolen);
        QVERIFY(frmLogin->isWindow() && fImportIncasariSameday->isWindow());
        QVERIFY(!frmLogin->isVisible() && !fImportIncasariSameday->isVisible());
        QCOMPARE(fImportIncasariSameday->windowTitle(), QStringLiteral("fImportIncasariSameday"));
        QCOMPARE(fImportIncasariSameday->size(), QSize(1234, 711));
        // No connection is opened at start.
        QCOMPARE(dmCon->conVekMob.connectCount() + dmCon->conVek.connectCount(), 0L);
        events.clear();
    }
    QCOMPARE(whats(events), (QStringList{"destroyed fImportIncasariSameday", "destroyed frmLogin", "destroyed dmCon",
                                         "destroyed fMenuParvolen"}));
    // Each variable is cleared before its object goes; the earlier ones still stand.
    QVERIFY(!events[0].collections && events[0].login);
    QVERIFY(!events[1].login && events[1].dm);
    QVERIFY(!events[2].dm && events[2].menu);
    QVERIFY(noProgramObjects());
    QCOMPARE(ui::mainWindow(), nullptr);
}

void TestMainWindow::failureWhileCreating_data() {
    QTest::addColumn<QString>("failAt");
    QTest::addColumn<QStringList>("destroyed");
    QTest::newRow("fMenuParvolen") << "fMenuParvolen" << QStringList{"destroyed fMenuParvolen"};
    QTest::newRow("dmCon") << "dmCon" << QStringList{"destroyed dmCon", "destroyed fMenuParvolen"};
    QTest::newRow("frmLogin") << "frmLogin"
                              << QStringList{"destroyed frmLogin", "destroyed dmCon", "destroyed fMenuParvolen"};
    QTest::newRow("fImportIncasariSameday")
        << "fImportIncasariSameday"
        << QStringList{"destroyed fImportIncasariSameday", "destroyed frmLogin", "destroyed dmCon",
                       "destroyed fMenuParvolen"};
}

void TestMainWindow::failureWhileCreating() {
    QFETCH(QString, failAt);
    QFETCH(QStringList, destroyed);
    {
        QList<Event> events;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, ProgramObjects(recorder(events, failAt)));
        const QStringList all = whats(events);
        QCOMPARE(all.mid(all.indexOf("created " + failAt) + 1), destroyed);
        QVERIFY(noProgramObjects());
    }
    // The start shows the failure and ends with a non-zero exit code; the
    // message loop never runs.
    BoxRecorder rec;
    QList<Event> events;
    QTimer neverRuns;
    bool loopRan = false;
    connect(&neverRuns, &QTimer::timeout, [&] {
        loopRan = true;
        QCoreApplication::exit(99);
    });
    neverRuns.start(0);
    QCOMPARE(runProgram(recorder(events, failAt)), 1);
    QVERIFY(!loopRan);
    QCOMPARE(rec.texts(), QStringList{"Nu s-a putut crea " + failAt + "."});
    QCOMPARE(rec.boxes[0].caption, QStringLiteral("tst_mainwindow"));
    QVERIFY(noProgramObjects());
}

void TestMainWindow::startShowsMainWindowAndClosingItEnds() {
    QList<Event> events;
    bool checked = false;
    QTimer safety;  // ends a run that would otherwise never end, so the test fails instead of hanging
    connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    safety.start(120000);
    QTimer::singleShot(0, [&] {
        checked = true;
        QVERIFY(fMenuParvolen->isVisible());
        QVERIFY(!frmLogin->isVisible());
        QVERIFY(!fImportIncasariSameday->isVisible());
        QVERIFY(fMenuParvolen->PanelLogin->isVisible());
        QVERIFY(!fMenuParvolen->PanelMenu->isVisible());
        // The collections window open does not keep the program alive.
        fMenuParvolen->ButtonImportSamedayClick();
        QVERIFY(fImportIncasariSameday->isVisible());
        fMenuParvolen->close();
    });
    QCOMPARE(runProgram(recorder(events)), 0);
    QVERIFY(checked);
    QCOMPARE(whats(events).last(), QStringLiteral("destroyed fMenuParvolen"));
}

void TestMainWindow::design_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QPoint>("place");
    QTest::addColumn<QSize>("size");  // empty: sized by its caption
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("maroonBold");
    QTest::newRow("PanelLogin") << "PanelLogin" << QPoint(0, 0) << QSize(408, 49) << "" << false;
    QTest::newRow("Label1") << "Label1" << QPoint(197, 0) << QSize() << "wParvolen v. 2025.09.29" << true;
    QTest::newRow("ButtonLogin") << "ButtonLogin" << QPoint(16, 8) << QSize(75, 30) << "Login" << false;
    QTest::newRow("Label2") << "Label2" << QPoint(197, 2) << QSize() << "wParvolen v. 2025.09.29" << true;
    QTest::newRow("LabelDataBase") << "LabelDataBase" << QPoint(6, 2) << QSize() << "LabelDataBase" << true;
    QTest::newRow("LabelUser") << "LabelUser" << QPoint(6, 23) << QSize() << "LabelUser" << true;
    QTest::newRow("ButtonImportSameday") << "ButtonImportSameday" << QPoint(16, 56) << QSize(129, 25)
                                         << "Import Sameday" << false;
}

void TestMainWindow::design() {
    QFETCH(QString, control);
    QFETCH(QPoint, place);
    QFETCH(QSize, size);
    QFETCH(QString, text);
    QFETCH(bool, maroonBold);
    ProgramObjects objects;
    TfMenuParvolen& m = *fMenuParvolen;
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    QCOMPARE(m.windowTitle(), QStringLiteral("fMenuParvolen"));
    QCOMPARE(m.size(), QSize(408, 278));
    QCOMPARE(m.font().family(), QStringLiteral("Segoe UI"));
    QCOMPARE(m.font().pointSize(), 9);
    QVERIFY(m.PanelLogin->isVisible());
    QVERIFY(!m.PanelMenu->isVisible());  // FormCreate

    auto* w = m.findChild<QWidget*>(control);
    QVERIFY(w != nullptr);
    QCOMPARE(w->pos(), place);
    if (size.isValid()) QCOMPARE(w->size(), size);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        QCOMPARE(label->text(), text);
        if (label->wordWrap())  // wraps left of the version label, as high as its text
            QCOMPARE(label->x() + label->width(), 197 - 6);
        else
            QCOMPARE(label->size(), label->sizeHint());  // automatic size
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) QCOMPARE(button->text(), text);
    if (maroonBold) {
        QCOMPARE(w->palette().color(QPalette::WindowText), QColor(0x80, 0x00, 0x00));
        QVERIFY(w->font().bold());
        QCOMPARE(w->font().pointSize(), 9);
    }
}

void TestMainWindow::versionLabelsAnchoredRight() {
    ProgramObjects objects;
    TfMenuParvolen& m = *fMenuParvolen;
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    const int gap1 = m.PanelLogin->width() - m.Label1->geometry().right();
    m.resize(600, 400);
    QTRY_COMPARE(m.PanelLogin->width(), 600);
    QCOMPARE(m.PanelLogin->width() - m.Label1->geometry().right(), gap1);
    QCOMPARE(m.Label1->x(), 197 + 192);
    QCOMPARE(m.ButtonLogin->pos(), QPoint(16, 8));  // the rest keeps to the top left
    QCOMPARE(m.PanelLogin->height(), 49);
    // The menu panel's label follows its own panel.
    m.PanelMenu->show();
    QTRY_COMPARE(m.PanelMenu->width(), 600);
    QCOMPARE(m.Label2->x(), 197 + 192);
    QCOMPARE(m.LabelUser->pos(), QPoint(6, 23));
}

void TestMainWindow::loginOkSwitchesPanels_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("ana") << "ana" << "ana123";
    QTest::newRow("user name with spaces") << " Ana Maria " << "am";
}

void TestMainWindow::loginOkSwitchesPanels() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    BoxRecorder rec;
    ProgramObjects objects;
    fixture::pointAtTestDirectory(*dmCon);
    TfMenuParvolen& m = *fMenuParvolen;
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    fixture::whenModal([&](QWidget* w) {
        QCOMPARE(w, static_cast<QWidget*>(frmLogin));
        fixture::retype(frmLogin->Edit1, company_->qname());
        fixture::retype(frmLogin->Edit2, user);
        fixture::retype(frmLogin->Edit3, password);
        QTest::mouseClick(frmLogin->Button1, Qt::LeftButton);
    });
    QTest::mouseClick(m.ButtonLogin, Qt::LeftButton);
    QCOMPARE(rec.texts(), QStringList());
    QVERIFY(!frmLogin->isVisible());
    QVERIFY(!m.PanelLogin->isVisible());
    QVERIFY(m.PanelMenu->isVisible());
    QTRY_COMPARE(m.PanelMenu->geometry(), m.rect());  // the whole client area
    QCOMPARE(m.LabelDataBase->text(), company_->qdatabase());
    QCOMPARE(m.LabelUser->text(), "User " + user);
    QCOMPARE(m.LabelUser->size(), m.LabelUser->sizeHint());
    QVERIFY(m.LabelDataBase->height() >= m.LabelDataBase->heightForWidth(m.LabelDataBase->width()));
}

void TestMainWindow::otherResultsChangeNothing_data() {
    QTest::addColumn<bool>("failFirst");
    QTest::newRow("closed") << false;
    QTest::newRow("failed, then closed") << true;
}

void TestMainWindow::otherResultsChangeNothing() {
    QFETCH(bool, failFirst);
    BoxRecorder rec;
    ProgramObjects objects;
    fixture::pointAtTestDirectory(*dmCon);
    TfMenuParvolen& m = *fMenuParvolen;
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    for (int attempt = 0; attempt < 2; ++attempt) {  // the Login button works again
        fixture::whenModal([&](QWidget* w) {
            if (failFirst) {
                fixture::retype(frmLogin->Edit1, company_->qname());
                fixture::retype(frmLogin->Edit2, QStringLiteral("ana"));
                fixture::retype(frmLogin->Edit3, QStringLiteral("gresit"));
                QTest::mouseClick(frmLogin->Button1, Qt::LeftButton);
                QVERIFY(w->isVisible());
            }
            w->close();
        });
        QTest::mouseClick(m.ButtonLogin, Qt::LeftButton);
        QVERIFY(!frmLogin->isVisible());
        QVERIFY(m.PanelLogin->isVisible());
        QVERIFY(!m.PanelMenu->isVisible());
        QCOMPARE(m.LabelDataBase->text(), QStringLiteral("LabelDataBase"));
        QCOMPARE(m.LabelUser->text(), QStringLiteral("LabelUser"));
    }
    QCOMPARE(rec.texts(), failFirst ? QStringList(2, QStringLiteral("User, Password eronate.")) : QStringList());
    for (const auto& b : rec.boxes) QCOMPARE(b.owner.data(), static_cast<QWidget*>(frmLogin));
}

void TestMainWindow::oneCollectionsWindow() {
    ProgramObjects objects;
    TfMenuParvolen& m = *fMenuParvolen;
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    m.PanelLogin->hide();
    m.PanelMenu->show();
    ShowCounter counter;
    fImportIncasariSameday->installEventFilter(&counter);
    const QPointer<QWidget> window = fImportIncasariSameday;

    auto collectionsWindows = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TfImportIncasariSameday*>(w) != nullptr && w->isVisible()) ++n;
        return n;
    };
    for (int i = 0; i < 3; ++i) QTest::mouseClick(m.ButtonImportSameday, Qt::LeftButton);
    QCOMPARE(collectionsWindows(), 1);
    QCOMPARE(counter.shows, 1);
    QVERIFY(QTest::qWaitForWindowActive(window));

    // Minimised: the next click restores it.
    window->showMinimized();
    QTRY_VERIFY(window->isMinimized());
    QTest::mouseClick(m.ButtonImportSameday, Qt::LeftButton);
    QVERIFY(!window->isMinimized());
    QCOMPARE(collectionsWindows(), 1);

    // Closing only hides it; the next click shows the same window again.
    window->close();
    QVERIFY(!window.isNull());
    QVERIFY(!window->isVisible());
    QVERIFY(m.isVisible());
    const int showsBefore = counter.shows;
    QTest::mouseClick(m.ButtonImportSameday, Qt::LeftButton);
    QCOMPARE(static_cast<QWidget*>(fImportIncasariSameday), window.data());
    QVERIFY(window->isVisible());
    QCOMPARE(counter.shows, showsBefore + 1);
    QCOMPARE(collectionsWindows(), 1);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
