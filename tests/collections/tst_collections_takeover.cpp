// The take-over of a courier workbook through the collections window, on the
// offscreen platform, over a company database cloned from the reference
// template. In the clone, o_sameday_log_ins is wrapped by a function that
// first keeps the text it was given (test_upload_calls), so the tests see
// exactly what reached the database and how often.
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "collections_upload.h"
#include "data_grid.h"
#include "spreadsheet_view.h"
#include "window_fixture.h"
#include "workbook.h"

using coltest::Fixture;
using coltest::insertLog;
using coltest::Screen;

namespace {

const QString kWorkbooks = QStringLiteral(COLLECTIONS_WORKBOOKS);

QString workbook(const char* name) { return kWorkbooks + QLatin1Char('/') + QLatin1String(name); }

const char* const kWrapper = R"(
create or replace function o_sameday_log_ins(pjsonincasramburs text) returns integer
language plpgsql volatile security definer
set search_path = pg_catalog, public, pg_temp
as $$
begin
    insert into test_upload_calls (body) values (pjsonincasramburs);
    return o_sameday_log_ins_real(pjsonincasramburs);
end
$$;
grant execute on function o_sameday_log_ins(text) to vek;
)";

const QString kOk = QStringLiteral("I: Fisierul Excel a fost preluat.");

}  // namespace

class TestCollectionsTakeover : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void goodReport();
    void headerOnlySendsEmptyArray();
    void headerFailure_data();
    void headerFailure();
    void databaseError_data();
    void databaseError();
    void refreshFailureAfterTheCall();
    void queryNotOpen();
    void dialogCancelled();
    void extension_data();
    void extension();
    void unreadableWorkbook();
    void oneSheetWorkbook();
    void fileNameOfAPathInAFolder();
    void sameFileTwice();
    void panelAcrossFailureThenSuccess();
    void inchideAndClear();
    void noInputWhileBusy();

private:
    TfImportIncasariSameday& window() { return *f_->window; }
    // Opens the log from 2024-01-01 with one collection already in it.
    void searched();
    void takeOver(const QString& path);
    std::vector<std::string> uploads();
    long long logRows() { return f_->scalarInt("select count(*) from log_sameday_incasari"); }

    std::unique_ptr<Fixture> f_;
    std::unique_ptr<Screen> screen_;
};

void TestCollectionsTakeover::initTestCase() {
    f_ = std::make_unique<Fixture>("coltakeover");
    f_->su.exec("create table test_upload_calls (n serial primary key, body text);"
                "grant usage on schema public to vek;"
                "alter function o_sameday_log_ins(text) rename to o_sameday_log_ins_real;");
    f_->su.exec(kWrapper);
}

void TestCollectionsTakeover::init() {
    f_->su.exec(kWrapper);
    f_->su.exec("truncate test_upload_calls; truncate log_sameday_incasari;");
    screen_ = std::make_unique<Screen>();
    f_->newWindow();
}

void TestCollectionsTakeover::cleanup() {
    f_->window.reset();
    screen_.reset();
}

void TestCollectionsTakeover::cleanupTestCase() { f_.reset(); }

void TestCollectionsTakeover::searched() {
    insertLog(f_->su, {"1ONB230000000001", "2024-02-01", "Cluj", 5});
    window().show();
    window().cxDateEditDataIncep->setDate(QDate(2024, 1, 1));
    QTest::mouseClick(window().ButtonCauta, Qt::LeftButton);
    QVERIFY(window().dsLogSamedayIncasari.active());
    QCOMPARE(window().cxGrid1->viewRowCount(), 1);
}

void TestCollectionsTakeover::takeOver(const QString& path) {
    screen_->answer = path;
    QTest::mouseClick(window().ButtonAlegeFisier, Qt::LeftButton);
}

std::vector<std::string> TestCollectionsTakeover::uploads() {
    std::vector<std::string> out;
    for (const testdb::Row& r : f_->su.exec("select body from test_upload_calls order by n")) out.push_back(*r[0]);
    return out;
}

// ---------------------------------------------------------------------------

void TestCollectionsTakeover::goodReport() {
    searched();
    const QString path = workbook("good.xlsx");
    takeOver(path);
    QCOMPARE(screen_->texts(), QStringList({kOk}));
    QCOMPARE(screen_->dialogs, 1);

    // One call, with exactly what the report library makes of the sheet.
    const auto sent = uploads();
    QCOMPARE(sent.size(), size_t{1});
    const auto book = xlsx::Workbook::load(path.toStdString());
    QCOMPARE(sent[0], report::collectionsUpload(book->sheet(1), path.toStdString(), coltest::romanianSettings()));
    QVERIFY(sent[0].find("\"dataAwb\":\"15.03.2024\"") != std::string::npos);
    QVERIFY(sent[0].find("\"sumaRamburs\":\"1234,5\"") != std::string::npos);

    // What the log holds now.
    const testdb::Rows rows = f_->su.exec(
        "select awb, nume_destinatar, judet_destinatar, adresa_destinatar, suma_ramburs::text, data_awb::text, "
        "data_colectare_ramburs::text, numar_colete_livrate, nume_fisier, err_ins_vek "
        "from log_sameday_incasari where awb like '1ONB24%' order by awb");
    const testdb::Rows expected = {
        {"1ONB240000000101", "Ana Pop", "ALBA", "Str. Unirii 1", "1234.5", "2024-03-15", "2024-03-18", "1",
         "good.xlsx", std::nullopt},
        {"1ONB240000000102", "Ștefan Țăran", "Cluj", "Str. Lungă 5\nbl. A", "99.99", "2024-03-16", "2024-03-19",
         "2", "good.xlsx", std::nullopt},
        {"1ONB240000000103", "Ion \"Nelu\" Rus", "Bihor", "Piata Unirii\\3", "10", "2024-03-16", "2024-03-20", "1",
         "good.xlsx", std::nullopt},
    };
    QCOMPARE(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) QVERIFY2(rows[i] == expected[i], rows[i][0]->c_str());

    // The grid was refreshed; the panel stays hidden; the sheet is shown.
    QCOMPARE(window().cxGrid1->viewRowCount(), 4);
    QCOMPARE(window().dsLogSamedayIncasari.recordCount(), size_t{4});
    QVERIFY(!window().Panel1->isVisible());
    QVERIFY(window().dxSpreadSheet1->workbook() != nullptr);
    QCOMPARE(window().dxSpreadSheet1->activeSheet(), size_t{1});
    QCOMPARE(window().dxSpreadSheet1->activeSheetPtr()->name(), std::string("Incasari"));
}

void TestCollectionsTakeover::headerOnlySendsEmptyArray() {
    searched();
    takeOver(workbook("header_only.xlsx"));
    QCOMPARE(screen_->texts(), QStringList({kOk}));
    QCOMPARE(uploads(), std::vector<std::string>({"[]"}));
    QCOMPARE(logRows(), 1LL);
    QCOMPARE(window().cxGrid1->viewRowCount(), 1);
    QVERIFY(!window().Panel1->isVisible());
}

void TestCollectionsTakeover::headerFailure_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    QTest::newRow("A: AWB and a space")
        << "bad_header_a.xlsx" << "Err -  Coloana A din fisier trebuie sa se numeasca \"AWB\"";
    QTest::newRow("B and C wrong: B reported")
        << "bad_header_b.xlsx" << "Err -  Coloana B din fisier trebuie sa se numeasca \"Nume destinatar\"";
    QTest::newRow("I: Data AWB") << "bad_header_i.xlsx" << "Err -  Coloana I din fisier trebuie sa se numeasca \"Data\"";
}

void TestCollectionsTakeover::headerFailure() {
    QFETCH(QString, file);
    QFETCH(QString, message);
    searched();
    int refreshes = 0;
    window().dsLogSamedayIncasari.addListener([&](db::Query::Event e) { refreshes += e == db::Query::Event::Refreshed; });
    takeOver(kWorkbooks + QLatin1Char('/') + file);
    QCOMPARE(screen_->texts(), QStringList({"E: " + message}));
    QVERIFY(window().Panel1->isVisible());
    // Nothing was sent, nothing re-read; the workbook is there to look at.
    QVERIFY(uploads().empty());
    QCOMPARE(logRows(), 1LL);
    QCOMPARE(refreshes, 0);
    QVERIFY(window().dxSpreadSheet1->workbook() != nullptr);
    QCOMPARE(window().dxSpreadSheet1->activeSheet(), size_t{1});
}

void TestCollectionsTakeover::databaseError_data() {
    QTest::addColumn<QString>("breakIt");
    QTest::addColumn<QString>("message");
    QTest::newRow("the function raises")
        << "create or replace function o_sameday_log_ins(pjsonincasramburs text) returns integer "
           "language plpgsql security definer as $$ begin "
           "perform o_sameday_log_ins_real(pjsonincasramburs); "
           "raise exception 'Raportul nu a putut fi inregistrat: %', 'cod 7'; end $$"
        << "Err - Raportul nu a putut fi inregistrat: cod 7.";
    QTest::newRow("no right to run it")
        << "revoke execute on function o_sameday_log_ins(text) from vek, public"
        << "Err - permission denied for function o_sameday_log_ins.";
}

void TestCollectionsTakeover::databaseError() {
    QFETCH(QString, breakIt);
    QFETCH(QString, message);
    searched();
    f_->su.exec(breakIt.toStdString());
    auto& g = *window().cxGrid1;
    g.setFocusedViewRow(0);
    int refreshes = 0;
    window().dsLogSamedayIncasari.addListener([&](db::Query::Event e) { refreshes += e == db::Query::Event::Refreshed; });
    takeOver(workbook("good.xlsx"));
    QCOMPARE(screen_->texts(), QStringList({"E: " + message}));
    QVERIFY(window().Panel1->isVisible());
    QVERIFY(window().dxSpreadSheet1->workbook() != nullptr);
    // The report was refused whole; the grid is as it was.
    QCOMPARE(logRows(), 1LL);
    QCOMPARE(refreshes, 0);
    QCOMPARE(g.viewRowCount(), 1);
    QCOMPARE(g.cellText(0, g.columnIndex(QStringLiteral("awb"))), QStringLiteral("1ONB230000000001"));
    QCOMPARE(g.focusedViewRow(), 0);
}

void TestCollectionsTakeover::refreshFailureAfterTheCall() {
    searched();
    // The function records the report, then the log loses a column the
    // window declares: the refresh that follows fails.
    f_->su.exec("create or replace function o_sameday_log_ins(pjsonincasramburs text) returns integer "
                "language plpgsql security definer set search_path = pg_catalog, public as $$ "
                "declare n integer; begin "
                "n := o_sameday_log_ins_real(pjsonincasramburs); "
                "alter table log_sameday_incasari rename column nume_fisier to nume_fisier_vechi; "
                "return n; end $$");
    takeOver(workbook("good.xlsx"));
    const long long recorded = f_->scalarInt("select count(*) from log_sameday_incasari");
    f_->su.exec("alter table log_sameday_incasari rename column nume_fisier_vechi to nume_fisier");
    QCOMPARE(screen_->texts(), QStringList({"E: dsLogSamedayIncasari: Field 'nume_fisier' not found."}));
    QCOMPARE(recorded, 4LL);
    QVERIFY(!window().Panel1->isVisible());
    // The refresh failed: the log query keeps what it had.
    QVERIFY(window().dsLogSamedayIncasari.active());
    QCOMPARE(window().cxGrid1->viewRowCount(), 1);
}

void TestCollectionsTakeover::queryNotOpen() {
    window().show();
    takeOver(workbook("good.xlsx"));
    QCOMPARE(screen_->texts(), QStringList({"E: Apasati butonul \"Cauta\""}));
    QCOMPARE(screen_->dialogs, 0);
    QVERIFY(uploads().empty());
    QVERIFY(!window().dsLogSamedayIncasari.active());
    QVERIFY(window().dxSpreadSheet1->workbook() == nullptr);
    QVERIFY(!window().Panel1->isVisible());
}

void TestCollectionsTakeover::dialogCancelled() {
    searched();
    takeOver(workbook("other.xlsx"));
    QCOMPARE(screen_->texts(), QStringList({kOk}));
    const xlsx::Workbook* before = window().dxSpreadSheet1->workbook();
    QVERIFY(before != nullptr);
    screen_->answer.reset();
    QTest::mouseClick(window().ButtonAlegeFisier, Qt::LeftButton);
    QCOMPARE(screen_->texts(), QStringList({kOk, "E: Nu s-a ales nici un fisier..."}));
    QCOMPARE(screen_->dialogs, 2);
    QCOMPARE(uploads().size(), size_t{1});
    QCOMPARE(window().dxSpreadSheet1->workbook(), before);
    QVERIFY(!window().Panel1->isVisible());
}

void TestCollectionsTakeover::extension_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("Incasari.XLSX") << "Incasari.XLSX" << true;
    QTest::newRow("incasari.Xlsx") << "incasari.Xlsx" << true;
    QTest::newRow("incasari.xls") << "incasari.xls" << false;
    QTest::newRow("incasari.csv") << "incasari.csv" << false;
    QTest::newRow("incasari.xlsx.bak") << "incasari.xlsx.bak" << false;
    QTest::newRow("no full stop") << "incasari" << false;
    QTest::newRow("full stop only in the folder") << "arhiva.xlsx/incasari" << false;
    QTest::newRow("ends in a full stop") << "incasari.xlsx." << false;
}

void TestCollectionsTakeover::extension() {
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    searched();
    // The spreadsheet holds a workbook before.
    takeOver(workbook("other.xlsx"));
    QCOMPARE(screen_->texts(), QStringList({kOk}));
    const xlsx::Workbook* before = window().dxSpreadSheet1->workbook();

    // The same good workbook under the name of the row.
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QVERIFY(QFile::copy(workbook("good.xlsx"), path));
    takeOver(path);
    if (accepted) {
        QCOMPARE(screen_->texts(), QStringList({kOk, kOk}));
        QCOMPARE(uploads().size(), size_t{2});
        QCOMPARE(logRows(), 1LL + 2 + 3);
        QCOMPARE(window().dxSpreadSheet1->activeSheetPtr()->name(), std::string("Incasari"));
        QCOMPARE(window().dxSpreadSheet1->workbook()->sheet(0).name(), std::string("Sumar"));
    } else {
        QCOMPARE(screen_->texts(), QStringList({kOk, "E: Extensia fisier trebuie sa fie \"xlsx\""}));
        QCOMPARE(uploads().size(), size_t{1});
        QCOMPARE(window().dxSpreadSheet1->workbook(), before);
        QCOMPARE(window().dxSpreadSheet1->workbook()->sheet(0).name(), std::string("Rezumat aprilie"));
        QCOMPARE(window().dxSpreadSheet1->activeSheet(), size_t{1});
        QVERIFY(!window().Panel1->isVisible());
    }
}

void TestCollectionsTakeover::unreadableWorkbook() {
    searched();
    takeOver(workbook("other.xlsx"));
    window().Panel1->show();
    std::string readerMessage;
    try {
        xlsx::Workbook::load(workbook("not_a_workbook.xlsx").toStdString());
    } catch (const xlsx::LoadError& e) {
        readerMessage = e.what();
    }
    QVERIFY(!readerMessage.empty());
    takeOver(workbook("not_a_workbook.xlsx"));
    QCOMPARE(screen_->texts(), QStringList({kOk, "E: " + ui::withFullStop(QString::fromStdString(readerMessage))}));
    QVERIFY(!screen_->texts().last().contains(QStringLiteral("Err - ")));
    // The previous workbook is gone; the panel is as it was; nothing sent.
    QVERIFY(window().dxSpreadSheet1->workbook() == nullptr);
    QVERIFY(window().Panel1->isVisible());
    QCOMPARE(uploads().size(), size_t{1});

    // A missing file: the reader's message too, and the program goes on.
    window().Panel1->hide();
    takeOver(kWorkbooks + QStringLiteral("/no such file.xlsx"));
    QCOMPARE(screen_->boxes.size(), size_t{3});
    QVERIFY(!screen_->texts().last().contains(QStringLiteral("Err - ")));
    QVERIFY(!window().Panel1->isVisible());
    takeOver(workbook("good.xlsx"));
    QCOMPARE(screen_->texts().last(), kOk);
}

void TestCollectionsTakeover::oneSheetWorkbook() {
    searched();
    takeOver(workbook("one_sheet.xlsx"));
    QCOMPARE(screen_->texts(), QStringList({"E: " + QString::fromUtf8(report::noSecondSheetMessage.data(),
                                                                      static_cast<int>(report::noSecondSheetMessage.size()))}));
    QVERIFY(!window().Panel1->isVisible());
    QVERIFY(uploads().empty());
    // The workbook got past its loading: it stays in the spreadsheet.
    QVERIFY(window().dxSpreadSheet1->workbook() != nullptr);
    QCOMPARE(window().dxSpreadSheet1->workbook()->sheetCount(), size_t{1});
}

void TestCollectionsTakeover::fileNameOfAPathInAFolder() {
    searched();
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Rapoarte")));
    const QString path = dir.filePath(QStringLiteral("Rapoarte/Sameday iunie.xlsx"));
    QVERIFY(QFile::copy(workbook("good.xlsx"), path));
    takeOver(path);
    QCOMPARE(screen_->texts(), QStringList({kOk}));
    const auto sent = uploads();
    QCOMPARE(sent.size(), size_t{1});
    size_t members = 0;
    for (size_t at = 0; (at = sent[0].find("\"numeFisier\":\"Sameday iunie.xlsx\"", at)) != std::string::npos; ++at)
        ++members;
    QCOMPARE(members, size_t{3});
    QVERIFY(sent[0].find("Rapoarte") == std::string::npos);
    QCOMPARE(f_->su.exec("select distinct nume_fisier from log_sameday_incasari where awb like '1ONB24%'"),
             testdb::Rows({{"Sameday iunie.xlsx"}}));
}

void TestCollectionsTakeover::sameFileTwice() {
    searched();
    takeOver(workbook("good.xlsx"));
    takeOver(workbook("good.xlsx"));
    QCOMPARE(screen_->texts(), QStringList({kOk, kOk}));
    const auto sent = uploads();
    QCOMPARE(sent.size(), size_t{2});
    QCOMPARE(sent[0], sent[1]);
    // The database keeps one row per collection.
    QCOMPARE(logRows(), 4LL);
    QCOMPARE(window().cxGrid1->viewRowCount(), 4);
}

void TestCollectionsTakeover::panelAcrossFailureThenSuccess() {
    searched();
    takeOver(workbook("bad_header_b.xlsx"));
    QVERIFY(window().Panel1->isVisible());
    QCOMPARE(window().dxSpreadSheet1->workbook()->sheet(1).text(0, 1, coltest::romanianSettings()),
             std::string("Nume"));

    // A success afterwards leaves the panel visible, with the new workbook.
    takeOver(workbook("other.xlsx"));
    QCOMPARE(screen_->texts().last(), kOk);
    QVERIFY(window().Panel1->isVisible());
    QCOMPARE(window().dxSpreadSheet1->workbook()->sheet(0).name(), std::string("Rezumat aprilie"));
    QCOMPARE(window().dxSpreadSheet1->activeSheet(), size_t{1});
    QCOMPARE(window().cxGrid1->viewRowCount(), 3);

    // And a later success with the panel closed keeps it closed.
    QTest::mouseClick(window().ButtonInchide, Qt::LeftButton);
    takeOver(workbook("good.xlsx"));
    QCOMPARE(screen_->texts().last(), kOk);
    QVERIFY(!window().Panel1->isVisible());
}

void TestCollectionsTakeover::inchideAndClear() {
    searched();
    takeOver(workbook("bad_header_a.xlsx"));
    QVERIFY(window().Panel1->isVisible());
    const xlsx::Workbook* loaded = window().dxSpreadSheet1->workbook();
    QVERIFY(loaded != nullptr);

    // "Inchide" hides the panel; the workbook stays.
    QTest::mouseClick(window().ButtonInchide, Qt::LeftButton);
    QVERIFY(!window().Panel1->isVisible());
    QCOMPARE(window().dxSpreadSheet1->workbook(), loaded);

    // "Clear" empties the spreadsheet and leaves the panel as it is.
    window().Panel1->show();
    QTest::mouseClick(window().Button1, Qt::LeftButton);
    QVERIFY(window().dxSpreadSheet1->workbook() == nullptr);
    QVERIFY(window().dxSpreadSheet1->activeSheetPtr() == nullptr);
    QVERIFY(window().Panel1->isVisible());
    QCOMPARE(screen_->boxes.size(), size_t{1});
}

void TestCollectionsTakeover::noInputWhileBusy() {
    searched();
    int clears = 0;
    connect(window().Button1, &QPushButton::clicked, this, [&] { ++clears; });
    bool busyAtRefresh = false;
    bool waitCursorAtRefresh = false;
    window().dsLogSamedayIncasari.addListener([&](db::Query::Event e) {
        if (e != db::Query::Event::Refreshed) return;
        busyAtRefresh = window().busy();
        waitCursorAtRefresh =
            QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    // The user clicks "Clear" once the file is chosen, while the workbook
    // loads: the click is not acted on, then or later.
    window().Panel1->show();
    screen_->onDialog = [this] { coltest::postClick(window().Button1); };
    takeOver(workbook("good.xlsx"));
    QCOMPARE(screen_->texts(), QStringList({kOk}));
    QVERIFY(busyAtRefresh);
    QVERIFY(waitCursorAtRefresh);
    QCoreApplication::processEvents();
    QCOMPARE(clears, 0);
    QVERIFY(window().dxSpreadSheet1->workbook() != nullptr);
    QVERIFY(!window().busy());
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // After the take-over the button works.
    coltest::postClick(window().Button1);
    QCoreApplication::processEvents();
    QCOMPARE(clears, 1);
    QVERIFY(window().dxSpreadSheet1->workbook() == nullptr);
}

QTEST_MAIN(TestCollectionsTakeover)
#include "tst_collections_takeover.moc"
