// The collections window and its log view, on the offscreen platform, over a
// company database cloned from the reference template: the design, the
// proposed start date, the log query's statement against the reference
// schema (receipts, invoices, date range, declared columns), the search and
// its refresh, the grid's filter, sort and grouping.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "data_grid.h"
#include "date_edit.h"
#include "spreadsheet_view.h"
#include "window_fixture.h"
#include "log_statement.h"

using coltest::Fixture;
using coltest::insertAllocation;
using coltest::insertDoc;
using coltest::insertLog;
using coltest::LogRow;
using coltest::Screen;

namespace {

int scaledFor(const QWidget& w, int designPixels) { return qRound(designPixels * w.logicalDpiX() / 96.0); }

QRect scaledRect(const QWidget& w, QRect r) {
    return QRect(scaledFor(w, r.x()), scaledFor(w, r.y()), scaledFor(w, r.width()), scaledFor(w, r.height()));
}

// The awb of every row the grid shows, top to bottom (group rows skipped).
QStringList shownAwbs(const grid::DataGrid& g) {
    QStringList out;
    const int col = g.columnIndex(QStringLiteral("awb"));
    for (int r = 0; r < g.viewRowCount(); ++r)
        if (!g.isGroupRow(r)) out << g.cellText(r, col);
    return out;
}

}  // namespace

class TestCollectionsWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void windowDesign();
    void controlPlaces_data();
    void controlPlaces();
    void anchoredToAllSides();
    void tabOrder();

    void proposedDate_data();
    void proposedDate();
    void showDoesNothingElse();
    void closingHidesAndKeepsState();

    void logQueryDesign();
    void declaredColumns_data();
    void declaredColumns();
    void gridColumns();
    void cellTexts();
    void footerSums();

    void receiptByLast15Characters();
    void invoiceChoice_data();
    void invoiceChoice();
    void dateRange_data();
    void dateRange();
    void columnMismatchFailsTheOpen_data();
    void columnMismatchFailsTheOpen();
    void emptyStartDateRunsNothing();
    void searchRefreshKeepsCurrent_data();
    void searchRefreshKeepsCurrent();
    void busyWhileSearching();

    void filterIgnoresCase_data();
    void filterIgnoresCase();
    void currentFollowsFocusAfterSort();
    void grouping();

private:
    // Rows used by the search, filter and sort tests.
    void seedThree();
    void search(QDate start);

    std::unique_ptr<Fixture> f_;
    std::unique_ptr<Screen> screen_;
};

void TestCollectionsWindow::initTestCase() { f_ = std::make_unique<Fixture>("colwin"); }

void TestCollectionsWindow::init() {
    f_->clearLog();
    screen_ = std::make_unique<Screen>();
    f_->newWindow();
}

void TestCollectionsWindow::cleanup() {
    f_->window.reset();
    screen_.reset();
}

void TestCollectionsWindow::cleanupTestCase() { f_.reset(); }

void TestCollectionsWindow::seedThree() {
    insertLog(f_->su, {"1ONB000000000001", "2024-03-01", "ALBA", 300, "Ana Pop"});
    insertLog(f_->su, {"1ONB000000000002", "2024-03-02", "Cluj", 100, "Ion Rus"});
    insertLog(f_->su, {"1ONB000000000003", "2024-03-03", "Bihor", 200, "Dan Ene"});
}

void TestCollectionsWindow::search(QDate start) {
    auto& w = *f_->window;
    w.cxDateEditDataIncep->setDate(start);
    QTest::mouseClick(w.ButtonCauta, Qt::LeftButton);
}

// ---------------------------------------------------------------------------
// Design

void TestCollectionsWindow::windowDesign() {
    auto& w = *f_->window;
    QVERIFY(!w.isVisible());
    QCOMPARE(w.windowTitle(), QStringLiteral("fImportIncasariSameday"));
    QCOMPARE(w.size(), QSize(scaledFor(w, 1234), scaledFor(w, 711)));
    QCOMPARE(w.font().family(), QStringLiteral("Segoe UI"));
    QCOMPARE(w.font().pointSize(), 9);
    QCOMPARE(w.Label3->font().pointSize(), 12);
    QVERIFY(w.Label3->font().bold());
    QCOMPARE(w.Label3->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(w.Label3->text(), QStringLiteral("Incasari AWB Sameday (din fisiere Excel)"));
    QCOMPARE(w.GroupBox1->title(), QStringLiteral("Vizualizare incasari AWB"));
    QCOMPARE(w.Label7->text(), QStringLiteral("Incepand cu data awb"));
    QCOMPARE(w.ButtonAlegeFisier->text(), QStringLiteral("Preluare fisier Excel cu incasari"));
    QCOMPARE(w.ButtonCauta->text(), QStringLiteral("Cauta"));
    QCOMPARE(w.ButtonImportaIncasarea->text(), QStringLiteral("Importa incasarea in VEK"));
    QCOMPARE(w.ButtonImportaToateIncasarile->text(), QStringLiteral("Importa toate incasarile in VEK"));
    QCOMPARE(w.ButtonInchide->text(), QStringLiteral("Inchide"));
    QCOMPARE(w.Button1->text(), QStringLiteral("Clear"));
    // The query is closed at start, and the grid shows nothing.
    QVERIFY(!w.dsLogSamedayIncasari.active());
    QCOMPARE(w.cxGrid1->viewRowCount(), 0);
    QCOMPARE(w.dsouLogSamedayIncasari, &w.dsLogSamedayIncasari);
    QCOMPARE(w.cxGrid1->query(), &w.dsLogSamedayIncasari);

    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Panel1 hidden: Panel2 takes the whole window.
    QVERIFY(!w.Panel1->isVisible());
    QVERIFY(!w.LabelProgres->isVisible());
    QVERIFY(!w.ButtonOpreste->isVisible());
    QCOMPARE(w.Panel2->geometry(), QRect(0, 0, w.width(), w.height()));
    w.Panel1->show();
    QTRY_COMPARE(w.Panel1->geometry(),
                 QRect(0, w.height() - scaledFor(w, 271), w.width(), scaledFor(w, 271)));
    QCOMPARE(w.Panel2->geometry(), QRect(0, 0, w.width(), w.height() - scaledFor(w, 271)));
}

void TestCollectionsWindow::controlPlaces_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("place");
    QTest::newRow("Label3") << "Label3" << "Panel2" << QRect(8, 4, 309, 21);
    QTest::newRow("ButtonAlegeFisier") << "ButtonAlegeFisier" << "Panel2" << QRect(428, 8, 201, 25);
    QTest::newRow("GroupBox1") << "GroupBox1" << "Panel2" << QRect(8, 31, 309, 45);
    QTest::newRow("Label7") << "Label7" << "GroupBox1" << QRect(7, 19, 116, 15);
    QTest::newRow("ButtonCauta") << "ButtonCauta" << "GroupBox1" << QRect(222, 15, 75, 25);
    QTest::newRow("ButtonImportaIncasarea") << "ButtonImportaIncasarea" << "Panel2" << QRect(331, 46, 161, 25);
    QTest::newRow("ButtonImportaToateIncasarile")
        << "ButtonImportaToateIncasarile" << "Panel2" << QRect(498, 46, 185, 25);
    QTest::newRow("ButtonInchide") << "ButtonInchide" << "Panel1" << QRect(8, 6, 75, 25);
    QTest::newRow("Button1") << "Button1" << "Panel1" << QRect(105, 6, 75, 25);
}

void TestCollectionsWindow::controlPlaces() {
    QFETCH(QString, control);
    QFETCH(QString, parent);
    QFETCH(QRect, place);
    auto& w = *f_->window;
    auto* c = w.findChild<QWidget*>(control);
    QVERIFY2(c, qPrintable(control));
    QCOMPARE(c->parentWidget()->objectName(), parent);
    if (auto* label = qobject_cast<QLabel*>(c)) {
        // A label keeps its place and is never narrower than its caption.
        QCOMPARE(label->pos(), scaledRect(w, place).topLeft());
        QVERIFY(label->width() >= scaledRect(w, place).width());
        QVERIFY(label->height() >= scaledRect(w, place).height());
        QVERIFY(label->width() >= label->sizeHint().width());
        return;
    }
    QCOMPARE(c->geometry(), scaledRect(w, place));
}

void TestCollectionsWindow::anchoredToAllSides() {
    auto& w = *f_->window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // The date edit: left, top and width as designed.
    QCOMPARE(w.cxDateEditDataIncep->parentWidget(), static_cast<QWidget*>(w.GroupBox1));
    QCOMPARE(w.cxDateEditDataIncep->pos(), QPoint(scaledFor(w, 127), scaledFor(w, 16)));
    QCOMPARE(w.cxDateEditDataIncep->width(), scaledFor(w, 89));

    // As designed, with Panel1 shown: the grid at 8, 82, 1218 x 343, the
    // spreadsheet at 8, 39, 1218 x 226.
    w.Panel1->show();
    QTRY_COMPARE(w.cxGrid1->geometry(), scaledRect(w, QRect(8, 82, 1218, 343)));
    QTRY_COMPARE(w.dxSpreadSheet1->geometry(), scaledRect(w, QRect(8, 39, 1218, 226)));

    // Panel1 hidden: the grid grows down to 15 pixels above the bottom edge.
    w.Panel1->hide();
    QTRY_COMPARE(w.cxGrid1->geometry(),
                 QRect(scaledFor(w, 8), scaledFor(w, 82), w.width() - scaledFor(w, 16),
                       w.height() - scaledFor(w, 82) - scaledFor(w, 15)));

    // A larger window: both keep their gaps to all four sides.
    w.resize(scaledFor(w, 1500), scaledFor(w, 900));
    w.Panel1->show();
    QTRY_COMPARE(w.cxGrid1->geometry(),
                 QRect(scaledFor(w, 8), scaledFor(w, 82), scaledFor(w, 1500) - scaledFor(w, 16),
                       scaledFor(w, 900) - scaledFor(w, 271) - scaledFor(w, 82) - scaledFor(w, 15)));
    QTRY_COMPARE(w.dxSpreadSheet1->geometry(),
                 QRect(scaledFor(w, 8), scaledFor(w, 39), scaledFor(w, 1500) - scaledFor(w, 16),
                       scaledFor(w, 271) - scaledFor(w, 39) - scaledFor(w, 6)));
    // The buttons keep their places.
    QCOMPARE(w.ButtonAlegeFisier->geometry(), scaledRect(w, QRect(428, 8, 201, 25)));
}

void TestCollectionsWindow::tabOrder() {
    auto& w = *f_->window;
    const QList<QWidget*> named = {w.ButtonAlegeFisier, w.ButtonImportaIncasarea, w.ButtonImportaToateIncasarile,
                                   w.cxDateEditDataIncep, w.ButtonCauta, w.cxGrid1, w.Button1,
                                   w.dxSpreadSheet1, w.ButtonInchide};
    // Walk the focus chain once round from the first button; every widget
    // that takes the focus by Tab counts as the named control it belongs to.
    QStringList order;
    QWidget* x = w.ButtonAlegeFisier;
    do {
        if (x->focusPolicy() & Qt::TabFocus) {
            for (QWidget* n : named) {
                if (x == n || n->isAncestorOf(x)) {
                    if (order.isEmpty() || order.last() != n->objectName()) order << n->objectName();
                    break;
                }
            }
        }
        x = x->nextInFocusChain();
    } while (x != w.ButtonAlegeFisier);
    QCOMPARE(order, QStringList({"ButtonAlegeFisier", "ButtonImportaIncasarea", "ButtonImportaToateIncasarile",
                                 "cxDateEditDataIncep", "ButtonCauta", "cxGrid1", "Button1", "dxSpreadSheet1",
                                 "ButtonInchide"}));
}

// ---------------------------------------------------------------------------
// The proposed start date

void TestCollectionsWindow::proposedDate_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("proposed");
    QTest::newRow("2024-03-01 (leap February)") << QDate(2024, 3, 1) << QDate(2024, 1, 31);
    QTest::newRow("2025-03-30 (short February)") << QDate(2025, 3, 30) << QDate(2025, 2, 28);
    QTest::newRow("2024-03-30 (leap day)") << QDate(2024, 3, 30) << QDate(2024, 2, 29);
    QTest::newRow("2024-01-15 (year before)") << QDate(2024, 1, 15) << QDate(2023, 12, 16);
    QTest::newRow("2024-12-31") << QDate(2024, 12, 31) << QDate(2024, 12, 1);
}

void TestCollectionsWindow::proposedDate() {
    QFETCH(QDate, today);
    QFETCH(QDate, proposed);
    auto& w = *f_->window;
    QDate clock(2020, 6, 15);
    w.setClock([&clock] { return clock; });
    w.show();
    QCOMPARE(w.cxDateEditDataIncep->date(), QDate(2020, 5, 16));

    // The user changes the date; the window is closed and shown again on
    // another day: the date is proposed afresh.
    w.cxDateEditDataIncep->setDate(QDate(2019, 1, 1));
    w.close();
    clock = today;
    QCOMPARE(w.cxDateEditDataIncep->date(), QDate(2019, 1, 1));
    w.show();
    QCOMPARE(w.cxDateEditDataIncep->date(), proposed);
    // Showing a shown window is no transition.
    w.cxDateEditDataIncep->setDate(QDate(2019, 1, 1));
    w.show();
    QCOMPARE(w.cxDateEditDataIncep->date(), QDate(2019, 1, 1));
    QVERIFY(screen_->boxes.empty());
}

void TestCollectionsWindow::showDoesNothingElse() {
    seedThree();
    auto& w = *f_->window;
    const long connects = f_->dm.conVek.connectCount();
    w.show();
    QVERIFY(!w.dsLogSamedayIncasari.active());
    QCOMPARE(f_->dm.conVek.connectCount(), connects);

    // After a search, showing again neither refreshes nor closes the log.
    search(QDate(2024, 3, 2));
    QCOMPARE(w.dsLogSamedayIncasari.recordCount(), size_t{2});
    insertLog(f_->su, {"1ONB000000000004", "2024-03-04"});
    w.hide();
    w.show();
    QVERIFY(w.dsLogSamedayIncasari.active());
    QCOMPARE(w.dsLogSamedayIncasari.recordCount(), size_t{2});
    QCOMPARE(w.cxGrid1->viewRowCount(), 2);
}

void TestCollectionsWindow::closingHidesAndKeepsState() {
    seedThree();
    auto& w = *f_->window;
    w.show();
    search(QDate(2024, 1, 1));
    const int county = w.cxGrid1->columnIndex(QStringLiteral("judet_destinatar"));
    const int amount = w.cxGrid1->columnIndex(QStringLiteral("suma_ramburs"));
    w.cxGrid1->sortByColumn(amount, Qt::DescendingOrder);
    w.cxGrid1->setColumnFilter(county, QStringLiteral("l"));   // ALBA and Cluj, not Bihor
    w.cxDateEditDataIncep->setDate(QDate(2024, 2, 2));

    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
    QVERIFY(w.dsLogSamedayIncasari.active());
    QCOMPARE(w.cxGrid1->sortColumn(), amount);
    QCOMPARE(w.cxGrid1->sortOrder(), Qt::DescendingOrder);
    QCOMPARE(w.cxGrid1->columnFilter(county), QStringLiteral("l"));
    QCOMPARE(shownAwbs(*w.cxGrid1), QStringList({"1ONB000000000001", "1ONB000000000002"}));
    QCOMPARE(w.cxDateEditDataIncep->date(), QDate(2024, 2, 2));

    // Shown again: rows, filter and sort as they were; only the date is new.
    w.show();
    QCOMPARE(shownAwbs(*w.cxGrid1), QStringList({"1ONB000000000001", "1ONB000000000002"}));
    QCOMPARE(w.cxDateEditDataIncep->date(), QDate(2024, 4, 10));
}

// ---------------------------------------------------------------------------
// The log query

void TestCollectionsWindow::logQueryDesign() {
    auto& q = f_->window->dsLogSamedayIncasari;
    QCOMPARE(q.name(), std::string("dsLogSamedayIncasari"));
    QCOMPARE(&q.connection(), &f_->dm.conVek);
    const std::string expected = testdb::kLogStatement;
    QCOMPARE(q.sql(), expected);
    QCOMPARE(q.keyFields(), std::vector<std::string>({"data_awb", "awb"}));
    QCOMPARE(q.params().size(), size_t{1});
    QCOMPARE(q.params()[0].name(), std::string("pDataIncep"));
    QVERIFY(q.params()[0].kind() == db::ParamKind::Date);

    // The two server functions of the window.
    auto& log = f_->window->o_sameday_log_ins;
    QCOMPARE(log.name(), std::string("o_sameday_log_ins"));
    QCOMPARE(log.sql(), std::string("SELECT * FROM o_sameday_log_ins(:pjsonincasramburs)"));
    QCOMPARE(&log.connection(), &f_->dm.conVek);
    QCOMPARE(&log.paramByName("pJsonIncasRamburs"), &log.params()[0]);
    auto& post = f_->window->o_generare_incasare_awb_sameday;
    QCOMPARE(post.sql(),
             std::string("SELECT * FROM o_generare_incasare_awb_sameday(:pemitent, :pawb, :pdataawb)"));
    QCOMPARE(&post.connection(), &f_->dm.conVek);
    QVERIFY(post.paramByName("pEmitent").kind() == db::ParamKind::Text);
    QVERIFY(post.paramByName("pAwb").kind() == db::ParamKind::Text);
    QVERIFY(post.paramByName("pDataAwb").kind() == db::ParamKind::Date);
}

void TestCollectionsWindow::declaredColumns_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("required");
    QTest::addColumn<bool>("readOnly");
    const int T = static_cast<int>(db::FieldKind::Text);
    const int D = static_cast<int>(db::FieldKind::Date);
    const int DT = static_cast<int>(db::FieldKind::DateTime);
    const int R = static_cast<int>(db::FieldKind::Double);
    struct Row {
        const char* name;
        int kind;
        int width;
        bool required;
        bool readOnly;
    };
    const Row rows[] = {
        {"data_log", DT, 0, true, false},        {"awb", T, 0, false, false},
        {"nume_destinatar", T, 0, false, false}, {"judet_destinatar", T, 0, false, false},
        {"oras_destinatar", T, 0, false, false}, {"adresa_destinatar", T, 0, false, false},
        {"adresa_ridicare", T, 0, false, false}, {"referinta_client", T, 0, false, false},
        {"suma_ramburs", R, 0, false, false},    {"data_awb", D, 0, false, false},
        {"data_colectare_ramburs", D, 0, false, false}, {"numar_colete_livrate", T, 0, false, false},
        {"nume_fisier", T, 0, false, false},     {"err_ins_vek", T, 0, false, false},
        {"data_ch", D, 0, true, true},           {"tip_ch", T, 7, true, true},
        {"nr_ch", T, 15, true, true},            {"val_mon_ch", R, 0, false, true},
        {"moneda_ch", T, 3, true, true},         {"partener", T, 100, false, true},
        {"data_fact", D, 0, false, true},        {"tip_fact", T, 7, false, true},
        {"nr_fact", T, 15, false, true},
    };
    int i = 0;
    for (const Row& r : rows) {
        QTest::newRow(r.name) << i << r.name << r.kind << r.width << r.required << r.readOnly;
        ++i;
    }
}

void TestCollectionsWindow::declaredColumns() {
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(int, kind);
    QFETCH(int, width);
    QFETCH(bool, required);
    QFETCH(bool, readOnly);
    const auto& fields = f_->window->dsLogSamedayIncasari.fields();
    QCOMPARE(fields.size(), size_t{23});
    const db::FieldDef& d = fields[static_cast<size_t>(index)];
    QCOMPARE(QString::fromStdString(d.name), name);
    QCOMPARE(static_cast<int>(d.kind), kind);
    QCOMPARE(d.width, width);
    QCOMPARE(d.required, required);
    QCOMPARE(d.readOnly, readOnly);
}

void TestCollectionsWindow::gridColumns() {
    auto& g = *f_->window->cxGrid1DBTableView1;
    QCOMPARE(f_->window->cxGrid1, &g);
    struct Col {
        const char* field;
        const char* header;
        int width;
    };
    const Col expected[] = {
        {"data_awb", "dataAWB", 70},       {"awb", "awb", 110},
        {"data_colectare_ramburs", "dataRamburs", 82}, {"nume_destinatar", "nume_destinatar", 110},
        {"referinta_client", "referinta_client", 110}, {"suma_ramburs", "suma_ramburs", 87},
        {"err_ins_vek", "err_ins_vek", 110}, {"data_ch", "data_ch", 70},
        {"tip_ch", "tip_ch", 50},           {"nr_ch", "nr_ch", 100},
        {"val_mon_ch", "val_mon_ch", 74},   {"moneda_ch", "moneda_ch", 71},
        {"partener", "partener", 219},      {"data_fact", "data_fact", 70},
        {"tip_fact", "tip_fact", 50},       {"nr_fact", "nr_fact", 100},
        {"judet_destinatar", "judet_destinatar", 110}, {"oras_destinatar", "oras_destinatar", 110},
        {"adresa_destinatar", "adresa_destinatar", 110}, {"adresa_ridicare", "adresa_ridicare", 110},
        {"numar_colete_livrate", "numar_colete_livrate", 110}, {"nume_fisier", "nume_fisier", 86},
        {"data_log", "data_log", 110},
    };
    QCOMPARE(g.columnCount(), 23);
    for (int c = 0; c < 23; ++c) {
        const Col& e = expected[c];
        QCOMPARE(g.columnField(c), QString::fromLatin1(e.field));
        QCOMPARE(g.model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString::fromLatin1(e.header));
        QCOMPARE(g.columnWidth(c), scaledFor(g, e.width));
    }
    QCOMPARE(g.visualOrder().size(), 23);
    // The style sheet is the data module's.
    QCOMPARE(g.gridStyleSheet().name, QStringLiteral("GridTableViewStyleSheetDevExpress"));
    QCOMPARE(g.gridStyleSheet().header->background,
             f_->dm.cxStyleRepository1.GridTableViewStyleSheetDevExpress.header->background);
}

void TestCollectionsWindow::cellTexts() {
    f_->su.exec("insert into log_sameday_incasari (data_log, awb, suma_ramburs, data_awb, data_colectare_ramburs) "
                "values ('2024-03-05 07:08:09', 'A1', 1234.5, '2024-03-05', '2024-03-06'), "
                "       ('2024-03-06 00:00:00', 'A2', 0.1, '2024-03-06', null)");
    insertDoc(f_->su, "2024-03-05", "Ch_INC", "A1", 1234.5, "Client SRL");
    auto& w = *f_->window;
    search(QDate(2024, 3, 1));
    auto& g = *w.cxGrid1;
    QCOMPARE(g.viewRowCount(), 2);
    auto cell = [&](int row, const char* field) { return g.cellText(row, g.columnIndex(QLatin1String(field))); };
    QCOMPARE(cell(0, "data_log"), QStringLiteral("2024-03-05 07:08:09"));
    QCOMPARE(cell(1, "data_log"), QStringLiteral("2024-03-06 00:00:00"));
    QCOMPARE(cell(0, "data_awb"), QStringLiteral("05.03.2024"));
    QCOMPARE(cell(0, "data_colectare_ramburs"), QStringLiteral("06.03.2024"));
    QCOMPARE(cell(1, "data_colectare_ramburs"), QString());
    QCOMPARE(cell(0, "suma_ramburs"), QStringLiteral("1234,5"));
    QCOMPARE(cell(1, "suma_ramburs"), QStringLiteral("0,1"));
    QCOMPARE(cell(0, "val_mon_ch"), QStringLiteral("1234,5"));
    QCOMPARE(cell(0, "partener"), QStringLiteral("Client SRL"));
    QCOMPARE(cell(0, "data_ch"), QStringLiteral("05.03.2024"));
    QCOMPARE(cell(1, "nr_ch"), QString());
}

void TestCollectionsWindow::footerSums() {
    seedThree();
    insertDoc(f_->su, "2024-03-01", "Ch_INC", "ONB000000000001", 300.25);
    insertDoc(f_->su, "2024-03-03", "Ch_INC", "ONB000000000003", 199.5);
    auto& w = *f_->window;
    search(QDate(2024, 1, 1));
    auto& g = *w.cxGrid1;
    const int amount = g.columnIndex(QStringLiteral("suma_ramburs"));
    const int receipt = g.columnIndex(QStringLiteral("val_mon_ch"));
    QCOMPARE(g.footerCount(), 3LL);
    QCOMPARE(g.footerSum(amount), 600.0);
    QCOMPARE(g.footerSum(receipt), 499.75);
    // Only the rows that pass the filter count.
    g.setColumnFilter(QStringLiteral("judet_destinatar"), QStringLiteral("bihor"));
    QCOMPARE(g.footerCount(), 1LL);
    QCOMPARE(g.footerSum(amount), 200.0);
    QCOMPARE(g.footerSum(receipt), 199.5);
}

// ---------------------------------------------------------------------------
// What the statement gives

void TestCollectionsWindow::receiptByLast15Characters() {
    auto& su = f_->su;
    // Two AWBs of one date ending in the same 15 characters, one of another
    // date with the same ending, and one short AWB matched whole.
    insertLog(su, {"XYZ123456789012345", "2024-03-10"});
    insertLog(su, {"ABC123456789012345", "2024-03-10"});
    insertLog(su, {"QQQ123456789012345", "2024-03-11"});
    insertLog(su, {"SHORT7", "2024-03-10"});
    insertLog(su, {"123456789012345", "2024-03-12"});
    insertDoc(su, "2024-03-10", "Ch_INC", "123456789012345", 10, "Receipt Ten");
    insertDoc(su, "2024-03-10", "Ch_INC", "SHORT7", 7, "Receipt Short");
    // Same number and date but another kind of document: not a receipt.
    insertDoc(su, "2024-03-11", "Fact_CL", "123456789012345", 11, "An invoice");
    insertDoc(su, "2024-03-12", "Ch_INC", "123456789012345", 12, "Receipt Twelve");

    auto& w = *f_->window;
    search(QDate(2024, 3, 1));
    auto& q = w.dsLogSamedayIncasari;
    QCOMPARE(q.recordCount(), size_t{5});
    std::map<std::string, std::pair<std::string, std::string>> got;   // awb -> (nr_ch, partener)
    for (size_t r = 0; r < q.recordCount(); ++r) {
        q.setRecNo(static_cast<long>(r));
        got[q.asString("awb")] = {q.asString("nr_ch"), q.asString("partener")};
    }
    using P = std::pair<std::string, std::string>;
    QCOMPARE(got["XYZ123456789012345"], P("123456789012345", "Receipt Ten"));
    QCOMPARE(got["ABC123456789012345"], P("123456789012345", "Receipt Ten"));
    QCOMPARE(got["QQQ123456789012345"], P("", ""));
    QCOMPARE(got["SHORT7"], P("SHORT7", "Receipt Short"));
    QCOMPARE(got["123456789012345"], P("123456789012345", "Receipt Twelve"));
    // Ordered by data_awb, then awb.
    q.first();
    QCOMPARE(q.asString("awb"), std::string("ABC123456789012345"));
    q.setRecNo(2);
    QCOMPARE(q.asString("awb"), std::string("XYZ123456789012345"));
    QVERIFY(q.isNull("tip_fact"));
}

void TestCollectionsWindow::invoiceChoice_data() {
    // Allocations of one receipt, "date_com|type|number|repartizare" ('-' for
    // NULL), and the invoice the log shows.
    QTest::addColumn<QStringList>("allocations");
    QTest::addColumn<QString>("invoice");
    QTest::newRow("none") << QStringList() << QString();
    QTest::newRow("one") << QStringList({"2024-02-01|Fact_CL|F1|2024-03-05"}) << "2024-02-01 Fact_CL F1";
    QTest::newRow("latest repartizare")
        << QStringList({"2024-02-05|Fact_CL|F1|2024-03-05", "2024-02-01|Fact_CL|F2|2024-03-07",
                        "2024-02-03|Fact_CL|F3|2024-03-06"})
        << "2024-02-01 Fact_CL F2";
    QTest::newRow("null repartizare counts as latest")
        << QStringList({"2024-02-05|Fact_CL|F1|2024-03-09", "2024-02-01|Fact_CL|F2|-"}) << "2024-02-01 Fact_CL F2";
    QTest::newRow("tie: latest invoice date")
        << QStringList({"2024-02-01|Fact_CL|F1|2024-03-05", "2024-02-03|Fact_CL|F2|2024-03-05",
                        "2024-02-02|Fact_CL|F3|2024-03-05"})
        << "2024-02-03 Fact_CL F2";
    QTest::newRow("tie: first invoice type")
        << QStringList({"2024-02-01|Fact_CL|F1|2024-03-05", "2024-02-01|Avans|F1|2024-03-05"})
        << "2024-02-01 Avans F1";
    QTest::newRow("tie: last invoice number")
        << QStringList({"2024-02-01|Fact_CL|F10|2024-03-05", "2024-02-01|Fact_CL|F9|2024-03-05",
                        "2024-02-01|Fact_CL|F11|2024-03-05"})
        << "2024-02-01 Fact_CL F9";
}

void TestCollectionsWindow::invoiceChoice() {
    QFETCH(QStringList, allocations);
    QFETCH(QString, invoice);
    auto& su = f_->su;
    insertLog(su, {"1ONB00000000777", "2024-03-04"});
    insertDoc(su, "2024-03-04", "Ch_INC", "1ONB00000000777", 50);
    for (const QString& a : allocations) {
        const QStringList p = a.split(QLatin1Char('|'));
        const std::string invDate = p[0].toStdString(), type = p[1].toStdString(), nr = p[2].toStdString();
        if (f_->scalarInt("select count(*) from doc where data_doc = '" + invDate + "' and tip_doc = '" + type +
                          "' and nr_doc = '" + nr + "'") == 0)
            insertDoc(su, invDate, type, nr, 50);
        insertAllocation(su, "2024-03-04", "1ONB00000000777", invDate, type, nr,
                         p[3] == QLatin1String("-") ? std::nullopt : std::optional<std::string>(p[3].toStdString()));
    }
    auto& w = *f_->window;
    search(QDate(2024, 3, 1));
    auto& q = w.dsLogSamedayIncasari;
    QCOMPARE(q.recordCount(), size_t{1});
    QCOMPARE(QString::fromStdString(q.asString("nr_ch")), QStringLiteral("1ONB00000000777"));
    const QString shown = q.isNull("nr_fact") ? QString()
                                               : QString::fromStdString(q.asString("data_fact") + " " +
                                                                        q.asString("tip_fact") + " " +
                                                                        q.asString("nr_fact"));
    QCOMPARE(shown, invoice);
}

void TestCollectionsWindow::dateRange_data() {
    // Start date as days from the server's current date; the rows dated
    // -40, -10, 0 and +1 days from it; the rows shown.
    QTest::addColumn<int>("start");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("from 40 days back") << -40 << QStringList({"M40", "M10", "D0"});
    QTest::newRow("start on a row's date") << -10 << QStringList({"M10", "D0"});
    QTest::newRow("start a day after it") << -9 << QStringList({"D0"});
    QTest::newRow("start today") << 0 << QStringList({"D0"});
    QTest::newRow("start tomorrow") << 1 << QStringList();
    QTest::newRow("start after the server's date") << 30 << QStringList();
}

void TestCollectionsWindow::dateRange() {
    QFETCH(int, start);
    QFETCH(QStringList, shown);
    auto& su = f_->su;
    su.exec("insert into log_sameday_incasari (awb, data_awb) values "
            "('M40', current_date - 40), ('M10', current_date - 10), ('D0', current_date), "
            "('P1', current_date + 1)");
    const QDate today = QDate::fromString(QString::fromStdString(*su.scalar("select current_date::text")),
                                          Qt::ISODate);
    auto& w = *f_->window;
    search(today.addDays(start));
    QVERIFY2(screen_->boxes.empty(), qPrintable(screen_->texts().join(QLatin1Char('\n'))));
    QVERIFY(w.dsLogSamedayIncasari.active());
    QCOMPARE(shownAwbs(*w.cxGrid1), shown);
    QCOMPARE(w.dsLogSamedayIncasari.recordCount(), static_cast<size_t>(shown.size()));
}

void TestCollectionsWindow::columnMismatchFailsTheOpen_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::newRow("a column renamed")
        << "alter table log_sameday_incasari rename column numar_colete_livrate to nr_colete"
        << "dsLogSamedayIncasari: Field 'numar_colete_livrate' not found.";
    QTest::newRow("a text column made a number")
        << "alter table log_sameday_incasari alter column nume_fisier type integer using 0"
        << "dsLogSamedayIncasari: Type mismatch for field 'nume_fisier', expecting: Text actual: Integer.";
    QTest::newRow("an amount made text")
        << "alter table log_sameday_incasari alter column suma_ramburs type text"
        << "dsLogSamedayIncasari: Type mismatch for field 'suma_ramburs', expecting: Double actual: LongText.";
    QTest::newRow("a date made a timestamp")
        << "alter table log_sameday_incasari alter column data_colectare_ramburs type timestamp"
        << "dsLogSamedayIncasari: Type mismatch for field 'data_colectare_ramburs', expecting: Date actual: "
           "DateTime.";
}

void TestCollectionsWindow::columnMismatchFailsTheOpen() {
    QFETCH(QString, change);
    QFETCH(QString, message);
    // A company database of its own, changed for this row.
    Fixture own("colwin_mismatch");
    insertLog(own.su, {"1ONB000000000001", "2024-03-01"});
    own.su.exec(change.toStdString());
    auto& w = own.newWindow();
    w.cxDateEditDataIncep->setDate(QDate(2024, 1, 1));
    QTest::mouseClick(w.ButtonCauta, Qt::LeftButton);
    QCOMPARE(screen_->texts(), QStringList({"E: " + message}));
    QVERIFY(!w.dsLogSamedayIncasari.active());
    QCOMPARE(w.cxGrid1->viewRowCount(), 0);
    own.window.reset();
}

void TestCollectionsWindow::emptyStartDateRunsNothing() {
    seedThree();
    auto& w = *f_->window;
    w.show();
    // Before the first search: nothing opens.
    w.cxDateEditDataIncep->clear();
    QVERIFY(!w.cxDateEditDataIncep->date().isValid());
    QTest::mouseClick(w.ButtonCauta, Qt::LeftButton);
    QCOMPARE(screen_->texts(), QStringList({"E: Alegeti data de inceput a cautarii."}));
    QVERIFY(!w.dsLogSamedayIncasari.active());

    // After a search: nothing is refreshed; the rows stay.
    search(QDate(2024, 3, 2));
    QCOMPARE(w.cxGrid1->viewRowCount(), 2);
    insertLog(f_->su, {"1ONB000000000004", "2024-03-04"});
    w.cxDateEditDataIncep->clear();
    QTest::mouseClick(w.ButtonCauta, Qt::LeftButton);
    QCOMPARE(screen_->boxes.size(), size_t{2});
    QCOMPARE(screen_->boxes.back().text, QStringLiteral("Alegeti data de inceput a cautarii."));
    QCOMPARE(w.dsLogSamedayIncasari.recordCount(), size_t{2});
    QCOMPARE(w.dsLogSamedayIncasari.paramByName("pDataIncep").asText(), std::string("2024-03-02"));
}

void TestCollectionsWindow::searchRefreshKeepsCurrent_data() {
    // The collection made current, the new start date, the current one after
    // "Cauta" again.
    QTest::addColumn<int>("focused");
    QTest::addColumn<QDate>("newStart");
    QTest::addColumn<QString>("current");
    QTest::newRow("still in range, more rows") << 1 << QDate(2024, 2, 1) << "1ONB000000000003";
    QTest::newRow("still in range, fewer rows") << 1 << QDate(2024, 3, 3) << "1ONB000000000003";
    QTest::newRow("out of range: the first row") << 0 << QDate(2024, 3, 3) << "1ONB000000000003";
    QTest::newRow("the last row stays") << 2 << QDate(2024, 3, 1) << "1ONB000000000004";
}

void TestCollectionsWindow::searchRefreshKeepsCurrent() {
    QFETCH(int, focused);
    QFETCH(QDate, newStart);
    QFETCH(QString, current);
    seedThree();
    insertLog(f_->su, {"1ONB000000000004", "2024-03-04"});
    auto& w = *f_->window;
    w.show();
    search(QDate(2024, 3, 2));   // rows 2, 3, 4
    QCOMPARE(w.dsLogSamedayIncasari.recNo(), 0L);
    w.cxGrid1->setFocusedViewRow(focused);
    // The query's current record follows the grid's focus.
    QCOMPARE(QString::fromStdString(w.dsLogSamedayIncasari.asString("awb")),
             shownAwbs(*w.cxGrid1).at(focused));
    insertLog(f_->su, {"1ONB000000000000", "2024-02-15"});
    search(newStart);
    QVERIFY(screen_->boxes.empty());
    QCOMPARE(QString::fromStdString(w.dsLogSamedayIncasari.asString("awb")), current);
    QCOMPARE(w.cxGrid1->cellText(w.cxGrid1->focusedViewRow(), w.cxGrid1->columnIndex(QStringLiteral("awb"))),
             current);
    QCOMPARE(w.dsLogSamedayIncasari.paramByName("pDataIncep").asText(),
             newStart.toString(Qt::ISODate).toStdString());
}

void TestCollectionsWindow::busyWhileSearching() {
    seedThree();
    auto& w = *f_->window;
    w.show();
    bool sawBusy = false;
    bool sawWait = false;
    const int id = w.dsLogSamedayIncasari.addListener([&](db::Query::Event e) {
        if (e != db::Query::Event::Opened && e != db::Query::Event::Refreshed) return;
        sawBusy = w.busy();
        sawWait = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        // A click on Clear made while the database works.
        coltest::postClick(w.Button1);
    });
    int clears = 0;
    connect(w.Button1, &QPushButton::clicked, this, [&] { ++clears; });
    search(QDate(2024, 1, 1));
    QVERIFY(sawBusy);
    QVERIFY(sawWait);
    QCoreApplication::processEvents();
    QCOMPARE(clears, 0);
    QVERIFY(!w.busy());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(w.cxGrid1->viewRowCount(), 3);
    // Input works again once the search is over.
    w.dsLogSamedayIncasari.removeListener(id);
    coltest::postClick(w.Button1);
    QCoreApplication::processEvents();
    QCOMPARE(clears, 1);
}

// ---------------------------------------------------------------------------
// The grid over the log

void TestCollectionsWindow::filterIgnoresCase_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("alba") << "alba" << QStringList({"1ONB000000000001"});
    QTest::newRow("ALBA") << "ALBA" << QStringList({"1ONB000000000001"});
    QTest::newRow("part of a word") << "ih" << QStringList({"1ONB000000000003"});
    QTest::newRow("in several") << "l" << QStringList({"1ONB000000000001", "1ONB000000000002"});
    QTest::newRow("nothing") << "albaa" << QStringList();
}

void TestCollectionsWindow::filterIgnoresCase() {
    QFETCH(QString, typed);
    QFETCH(QStringList, shown);
    seedThree();
    auto& w = *f_->window;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    search(QDate(2024, 1, 1));
    auto* editor = w.cxGrid1->findChild<QLineEdit*>(QStringLiteral("filter_judet_destinatar"));
    QVERIFY(editor);
    // Every keystroke applies at once: after the first letter already.
    QTest::keyClick(editor, typed.at(0).toLatin1());
    QVERIFY(w.cxGrid1->filteredRecordCount() < 3 || typed.at(0).toLower() == QLatin1Char('l'));
    QTest::keyClicks(editor, typed.mid(1));
    QCOMPARE(shownAwbs(*w.cxGrid1), shown);
    QCOMPARE(w.cxGrid1->filteredRecordCount(), static_cast<long long>(shown.size()));
    if (!shown.isEmpty()) {
        QCOMPARE(w.cxGrid1->cellText(0, w.cxGrid1->columnIndex(QStringLiteral("awb"))), shown.first());
        // The shown row is the query's current one.
        QCOMPARE(QString::fromStdString(w.dsLogSamedayIncasari.asString("awb")), shown.first());
    }
    // Deleting what was typed shows every row again.
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    QCOMPARE(w.cxGrid1->filteredRecordCount(), 3LL);
}

void TestCollectionsWindow::currentFollowsFocusAfterSort() {
    seedThree();
    auto& w = *f_->window;
    w.show();
    search(QDate(2024, 1, 1));
    auto& g = *w.cxGrid1;
    auto& q = w.dsLogSamedayIncasari;
    g.sortByColumn(g.columnIndex(QStringLiteral("suma_ramburs")), Qt::DescendingOrder);
    QCOMPARE(shownAwbs(g), QStringList({"1ONB000000000001", "1ONB000000000003", "1ONB000000000002"}));
    QVERIFY(g.focusFirstRow());
    QCOMPARE(q.asString("awb"), std::string("1ONB000000000001"));
    QVERIFY(g.focusNextRow());
    QCOMPARE(q.asString("awb"), std::string("1ONB000000000003"));
    QVERIFY(g.focusNextRow());
    QCOMPARE(q.asString("awb"), std::string("1ONB000000000002"));
    QVERIFY(!g.focusNextRow());
    // And the other way: the query's current record moves the focus.
    q.setRecNo(0);   // 1ONB...01 in the query's own order
    QCOMPARE(g.focusedViewRow(), 0);
    q.setRecNo(2);   // 1ONB...03
    QCOMPARE(g.focusedViewRow(), 1);

    // A search keeps the sort and the current collection.
    search(QDate(2024, 1, 1));
    QCOMPARE(shownAwbs(g), QStringList({"1ONB000000000001", "1ONB000000000003", "1ONB000000000002"}));
    QCOMPARE(q.asString("awb"), std::string("1ONB000000000003"));
    QCOMPARE(g.focusedViewRow(), 1);
}

void TestCollectionsWindow::grouping() {
    seedThree();
    insertLog(f_->su, {"1ONB000000000004", "2024-03-04", "Cluj", 50});
    auto& w = *f_->window;
    w.show();
    search(QDate(2024, 1, 1));
    auto& g = *w.cxGrid1;
    const int county = g.columnIndex(QStringLiteral("judet_destinatar"));
    g.groupByColumn(county);
    QCOMPARE(g.groupColumns(), QList<int>({county}));
    // Three groups, collapsed: ALBA, Bihor, Cluj (ordered as the grid sorts them).
    QCOMPARE(g.viewRowCount(), 3);
    for (int r = 0; r < 3; ++r) QVERIFY(g.isGroupRow(r));
    QCOMPARE(g.filteredRecordCount(), 4LL);
    g.expandAll();
    QCOMPARE(g.viewRowCount(), 7);
    QCOMPARE(shownAwbs(g).size(), 4);
    // Walking the rows skips the group rows, and the query follows.
    QVERIFY(g.focusFirstRow());
    QVERIFY(!g.isGroupRow(g.focusedViewRow()));
    QStringList walked;
    do {
        walked << QString::fromStdString(w.dsLogSamedayIncasari.asString("awb"));
    } while (g.focusNextRow());
    QCOMPARE(walked.size(), 4);
    QCOMPARE(QSet<QString>(walked.begin(), walked.end()).size(), 4);
    // The Cluj group holds two collections.
    bool found = false;
    for (int r = 0; r < g.viewRowCount(); ++r) {
        if (g.isGroupRow(r) && g.model()->data(g.model()->index(r, 0), grid::GroupCountRole).toLongLong() == 2) {
            found = true;
            QVERIFY(g.cellText(r, 0).contains(QStringLiteral("Cluj")));
        }
    }
    QVERIFY(found);
    g.ungroup();
    QCOMPARE(g.viewRowCount(), 4);
}

QTEST_MAIN(TestCollectionsWindow)
#include "tst_collections_window.moc"
