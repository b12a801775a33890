// Posting of collections through the collections window: one collection, or
// every collection the grid shows that has no receipt yet. Real widgets on
// the offscreen platform over a company database cloned from the reference
// template; the receipts are made by the database's own posting function.
#include "window_fixture.h"

#include <QSignalSpy>

using namespace coltest;

class TestCollectionsPosting : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void beforeTheFirstSearch_data();
    void beforeTheFirstSearch();
    void singlePostingMakesTheReceipt();
    void alreadyImportedSaysWhenAndWhich();
    void allWithReceiptsCallsNothing_data();
    void allWithReceiptsCallsNothing();
    void filterLimitsTheRun();
    void sortDecidesTheOrder();
    void failureStopsAtTheFailingRow();
    void groupedViewPostsEveryDataRow();
    void stopEndsTheRunBetweenPostings();
    void oneConnectionForTheRun();

private:
    void search(QDate start = QDate(2024, 3, 1));
    void seed(int count, const std::string& judetEvery3rd = "ALBA");
    long long receipts() { return f_->scalarInt("select count(*) from doc where tip_doc = 'Ch_INC'"); }
    QStringList postedOrder();
    void clickAll() { QTest::mouseClick(f_->window->ButtonImportaToateIncasarile, Qt::LeftButton); }
    void clickOne() { QTest::mouseClick(f_->window->ButtonImportaIncasarea, Qt::LeftButton); }

    std::unique_ptr<Fixture> f_;
    std::unique_ptr<Screen> screen_;
};

void TestCollectionsPosting::initTestCase() {
    f_ = std::make_unique<Fixture>("colpost");
    f_->su.exec("insert into emitent (emitent, operator_parola) values ('ana', 'x')");
    // The order in which receipts are made, and a way to make the posting of
    // one chosen AWB fail inside the database.
    f_->su.exec(
        "create table test_posted (n serial primary key, nr_doc text);"
        "create table test_fail_on (nr_doc text);"
        "create function test_doc_posted() returns trigger language plpgsql security definer as $$ begin"
        "  if exists (select 1 from test_fail_on where nr_doc = new.nr_doc) then"
        "    raise exception 'Eroare de test la AWB %', new.nr_doc; end if;"
        "  insert into test_posted (nr_doc) values (new.nr_doc); return new; end $$;"
        "create trigger test_doc_posted before insert on doc for each row"
        "  when (new.tip_doc = 'Ch_INC') execute function test_doc_posted();");
    f_->dm.glUser = QStringLiteral("ana");
}

void TestCollectionsPosting::init() {
    f_->clearLog();
    f_->su.exec("truncate test_posted, test_fail_on");
    screen_ = std::make_unique<Screen>();
    f_->newWindow();
    f_->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f_->window.get()));
}

void TestCollectionsPosting::cleanup() {
    f_->window.reset();
    screen_.reset();
}

void TestCollectionsPosting::cleanupTestCase() { f_.reset(); }

void TestCollectionsPosting::search(QDate start) {
    f_->window->cxDateEditDataIncep->setDate(start);
    QTest::mouseClick(f_->window->ButtonCauta, Qt::LeftButton);
    QVERIFY2(f_->window->dsLogSamedayIncasari.active(), qPrintable(screen_->texts().join('\n')));
}

// Collections AWB0001.. on consecutive days from 2024-03-01, amounts 10, 20,
// ...; every third one in the given county.
void TestCollectionsPosting::seed(int count, const std::string& judetEvery3rd) {
    for (int i = 1; i <= count; ++i) {
        char awb[32];
        std::snprintf(awb, sizeof awb, "AWB%04d", i);
        const QDate d = QDate(2024, 3, 1).addDays(i - 1);
        insertLog(f_->su, {awb, d.toString(Qt::ISODate).toStdString(), i % 3 == 0 ? judetEvery3rd : "Cluj",
                           10.0 * i, "Client"});
    }
}

QStringList TestCollectionsPosting::postedOrder() {
    QStringList out;
    for (const auto& row : f_->su.exec("select nr_doc from test_posted order by n")) out << QString::fromStdString(*row[0]);
    return out;
}

void TestCollectionsPosting::beforeTheFirstSearch_data() {
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("shown");
    QTest::newRow("single posting") << false << "E: Nu aveti inregistrari.";
    QTest::newRow("posting of all") << true << "E: Apasati butonul \"Cauta\"";
}

void TestCollectionsPosting::beforeTheFirstSearch() {
    QFETCH(bool, all);
    QFETCH(QString, shown);
    seed(2);
    all ? clickAll() : clickOne();
    QCOMPARE(screen_->texts(), QStringList{shown});
    QCOMPARE(receipts(), 0);
    QVERIFY(!f_->window->dsLogSamedayIncasari.active());
}

void TestCollectionsPosting::singlePostingMakesTheReceipt() {
    seed(3);
    search();
    auto& w = *f_->window;
    QVERIFY(w.cxGrid1->focusNextRow());   // the second collection
    QCOMPARE(current(w.dsLogSamedayIncasari, "awb"), std::string("AWB0002"));
    clickOne();
    QCOMPARE(screen_->texts(), QStringList{});
    QCOMPARE(postedOrder(), QStringList{"AWB0002"});
    // The refresh kept the collection current, and it shows its receipt.
    QCOMPARE(current(w.dsLogSamedayIncasari, "awb"), std::string("AWB0002"));
    QCOMPARE(current(w.dsLogSamedayIncasari, "nr_ch"), std::string("AWB0002"));
    QCOMPARE(current(w.dsLogSamedayIncasari, "data_ch"), std::string("2024-03-02"));
    // Pressing again refuses, with the receipt's date in the regional form.
    clickOne();
    QCOMPARE(screen_->texts(),
             QStringList{"E: Incasarea este deja importata. DataCh=02.03.2024, NrCh=AWB0002."});
    QCOMPARE(receipts(), 1);
}

void TestCollectionsPosting::alreadyImportedSaysWhenAndWhich() {
    insertLog(f_->su, {"A1B2C3", "2025-03-14", "Cluj", 12.5, "Client"});
    insertDoc(f_->su, "2025-03-14", "Ch_INC", "A1B2C3", 12.5);
    search(QDate(2025, 3, 1));
    auto& w = *f_->window;
    const long before = receipts();
    try {
        w.ButtonImportaIncasareaClick();
        QFAIL("an imported collection was posted again");
    } catch (const std::exception& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Incasarea este deja importata. DataCh=14.03.2025, NrCh=A1B2C3"));
    }
    QCOMPARE(receipts(), before);
}

void TestCollectionsPosting::allWithReceiptsCallsNothing_data() {
    QTest::addColumn<QString>("filter");
    QTest::newRow("every row has its receipt") << QString();
    QTest::newRow("the filter hides every row") << QStringLiteral("no such county");
}

void TestCollectionsPosting::allWithReceiptsCallsNothing() {
    QFETCH(QString, filter);
    seed(4);
    if (filter.isEmpty()) {
        for (int i = 1; i <= 4; ++i) {
            char awb[32];
            std::snprintf(awb, sizeof awb, "AWB%04d", i);
            insertDoc(f_->su, QDate(2024, 3, 1).addDays(i - 1).toString(Qt::ISODate).toStdString(), "Ch_INC", awb);
        }
    }
    search();
    auto& w = *f_->window;
    if (!filter.isEmpty()) w.cxGrid1->setColumnFilter(QStringLiteral("judet_destinatar"), filter);
    int refreshes = 0;
    const int id = w.dsLogSamedayIncasari.addListener([&](db::Query::Event e) {
        if (e == db::Query::Event::Refreshed) ++refreshes;
    });
    const long before = receipts();
    clickAll();
    w.dsLogSamedayIncasari.removeListener(id);
    QCOMPARE(screen_->texts(), QStringList{});
    QCOMPARE(receipts(), before);
    QCOMPARE(refreshes, 2);
}

void TestCollectionsPosting::filterLimitsTheRun() {
    seed(10);   // AWB0003, AWB0006 and AWB0009 are in ALBA
    search();
    auto& w = *f_->window;
    w.cxGrid1->setColumnFilter(QStringLiteral("judet_destinatar"), QStringLiteral("alba"));
    QCOMPARE(w.cxGrid1->filteredRecordCount(), 3);
    clickAll();
    QCOMPARE(screen_->texts(), QStringList{});
    QCOMPARE(postedOrder(), (QStringList{"AWB0003", "AWB0006", "AWB0009"}));
    QCOMPARE(receipts(), 3);
}

void TestCollectionsPosting::sortDecidesTheOrder() {
    seed(5);
    search();
    auto& w = *f_->window;
    w.cxGrid1->sortByColumn(w.cxGrid1->columnIndex(QStringLiteral("suma_ramburs")), Qt::DescendingOrder);
    clickAll();
    QCOMPARE(postedOrder(), (QStringList{"AWB0005", "AWB0004", "AWB0003", "AWB0002", "AWB0001"}));
}

void TestCollectionsPosting::failureStopsAtTheFailingRow() {
    seed(5);
    f_->su.exec("insert into test_fail_on values ('AWB0003')");
    search();
    auto& w = *f_->window;
    clickAll();
    QCOMPARE(screen_->texts(), QStringList{"E: Eroare de test la AWB AWB0003."});
    // The two before it stay posted; the grid still shows what the run read
    // first, with the focus on the failing collection.
    QCOMPARE(postedOrder(), (QStringList{"AWB0001", "AWB0002"}));
    QCOMPARE(current(w.dsLogSamedayIncasari, "awb"), std::string("AWB0003"));
    QCOMPARE(w.cxGrid1->focusedRecord(), w.dsLogSamedayIncasari.recNo());
    for (long r = 0; r < 2; ++r) QVERIFY(w.dsLogSamedayIncasari.column("nr_ch").isNull(static_cast<size_t>(r)));
    QVERIFY(w.ButtonImportaToateIncasarile->isEnabled());
    QVERIFY(w.ButtonOpreste->isHidden());
    // A search shows them with their receipts; a new run posts only the rest.
    search();
    QCOMPARE(w.dsLogSamedayIncasari.column("nr_ch").isNull(0), false);
    QCOMPARE(w.dsLogSamedayIncasari.column("nr_ch").isNull(2), true);
    f_->su.exec("truncate test_fail_on");
    clickAll();
    QCOMPARE(postedOrder(), (QStringList{"AWB0001", "AWB0002", "AWB0003", "AWB0004", "AWB0005"}));
    QCOMPARE(receipts(), 5);
}

void TestCollectionsPosting::groupedViewPostsEveryDataRow() {
    seed(6);   // AWB0003 and AWB0006 in ALBA, the rest in Cluj
    search();
    auto& w = *f_->window;
    w.cxGrid1->groupByColumn(w.cxGrid1->columnIndex(QStringLiteral("judet_destinatar")));
    QVERIFY(w.cxGrid1->viewRowCount() < 6 + 2);   // groups start collapsed
    clickAll();
    QCOMPARE(screen_->texts(), QStringList{});
    QCOMPARE(postedOrder(), (QStringList{"AWB0003", "AWB0006", "AWB0001", "AWB0002", "AWB0004", "AWB0005"}));
}

void TestCollectionsPosting::stopEndsTheRunBetweenPostings() {
    seed(5);
    search();
    auto& w = *f_->window;
    int moves = 0;
    bool heldDuringRun = false;
    QString progress;
    connect(w.cxGrid1, &grid::DataGrid::focusedRecordChanged, this, [&] {
        if (!w.ButtonOpreste->isVisible()) return;
        if (++moves != 2) return;
        heldDuringRun = !w.ButtonImportaToateIncasarile->isEnabled() && !w.ButtonCauta->isEnabled() &&
                        !w.cxGrid1->isEnabled() && w.ButtonOpreste->isEnabled();
        progress = w.LabelProgres->text();
        // A second run asked for while this one goes does nothing.
        w.ButtonImportaToateIncasarileClick();
        // "Opreste", pressed now, is handled after the next posting.
        postClick(w.ButtonOpreste);
    });
    clickAll();
    QVERIFY(heldDuringRun);
    QVERIFY2(progress.contains(QStringLiteral("din 5")), qPrintable(progress));
    QCOMPARE(screen_->texts(), QStringList{});
    QCOMPARE(postedOrder(), (QStringList{"AWB0001", "AWB0002", "AWB0003"}));
    // The run ended with its closing refresh, and the window is usable again.
    QCOMPARE(w.dsLogSamedayIncasari.column("nr_ch").isNull(2), false);
    QVERIFY(w.ButtonImportaToateIncasarile->isEnabled());
    QVERIFY(w.cxGrid1->isEnabled());
    QVERIFY(w.ButtonOpreste->isHidden());
    QVERIFY(w.LabelProgres->isHidden());
}

void TestCollectionsPosting::oneConnectionForTheRun() {
    seed(6);
    search();
    QVERIFY(!f_->dm.conVek.connected());   // disconnected mode: released after the search
    const long before = f_->dm.conVek.connectCount();
    clickAll();
    QCOMPARE(receipts(), 6);
    QCOMPARE(f_->dm.conVek.connectCount() - before, 1L);
    QVERIFY(!f_->dm.conVek.connected());
}

QTEST_MAIN(TestCollectionsPosting)
#include "tst_collections_posting.moc"
