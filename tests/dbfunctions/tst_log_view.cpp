// The collections log statement over the reference company database, run as
// the account vek: its columns, the receipt found by the last 15 characters of
// the AWB, the invoice of the latest allocation, the AWB date range.
#include <QTest>

#include "collections_fixture.h"
#include "log_view_sql.h"

using dbf::q;

namespace {

const std::string kLogInsert =
    "insert into log_sameday_incasari (awb, nume_destinatar, suma_ramburs, data_awb) "
    "values ($1, 'POPESCU ION', 10, current_date + $2::integer)";
const std::string kReceiptInsert =
    "insert into doc (data_doc, tip_doc, nr_doc, val_mon, moneda, partener) "
    "values (current_date + $1::integer, $2, $3, 10, 'RON', 'ALFA SRL')";

}  // namespace

class TestLogView : public QObject {
    Q_OBJECT

    std::unique_ptr<dbf::Company> company_;
    dbf::Company& c() { return *company_; }

    // The statement as vek with the start date current_date + startOffset.
    testdb::Rows view(int startOffset) {
        const std::string start = *c().su().scalar("select (current_date + $1::integer)::text",
                                                   {std::to_string(startOffset)});
        return c().vek().exec(dbf::kLogViewSql, {start});
    }

    // Column index by name in the log record.
    static size_t col(const char* name) {
        static const QStringList names = {
            "data_log", "awb", "nume_destinatar", "judet_destinatar", "oras_destinatar",
            "adresa_destinatar", "adresa_ridicare", "referinta_client", "suma_ramburs", "data_awb",
            "data_colectare_ramburs", "numar_colete_livrate", "nume_fisier", "err_ins_vek", "data_ch",
            "tip_ch", "nr_ch", "val_mon_ch", "moneda_ch", "partener", "data_fact", "tip_fact", "nr_fact"};
        const auto i = names.indexOf(QString::fromLatin1(name));
        if (i < 0) throw testdb::Error(std::string("no column ") + name);
        return static_cast<size_t>(i);
    }

    void logAt(const std::string& awb, int dayOffset) {
        c().su().exec(kLogInsert, {awb, std::to_string(dayOffset)});
    }

private slots:
    void initTestCase() { company_ = std::make_unique<dbf::Company>("logview"); }
    void cleanupTestCase() { company_.reset(); }
    void init() { c().reset(); }

    void columnsOfTheLogRecord() {
        logAt("A", 0);
        PGresult* res = PQexecParams(c().vek().native(), dbf::kLogViewSql, 1, nullptr,
                                     std::vector<const char*>{"2000-01-01"}.data(), nullptr, nullptr, 0);
        QStringList got;
        for (int i = 0; i < PQnfields(res); ++i) {
            const auto type = PQftype(res, i);
            const char* kind = type == 25     ? "text"
                               : type == 1043 ? "varchar"
                               : type == 1700 ? "numeric"
                               : type == 1082 ? "date"
                               : type == 1114 ? "timestamp"
                                              : "other";
            got << QString("%1 %2").arg(PQfname(res, i), kind);
        }
        const int rows = PQntuples(res);
        PQclear(res);
        QCOMPARE(rows, 1);
        const QStringList expected = {
            "data_log timestamp", "awb text", "nume_destinatar text", "judet_destinatar text",
            "oras_destinatar text", "adresa_destinatar text", "adresa_ridicare text",
            "referinta_client text", "suma_ramburs numeric", "data_awb date",
            "data_colectare_ramburs date", "numar_colete_livrate text", "nume_fisier text",
            "err_ins_vek text", "data_ch date", "tip_ch varchar", "nr_ch varchar", "val_mon_ch numeric",
            "moneda_ch varchar", "partener varchar", "data_fact date", "tip_fact varchar", "nr_fact varchar"};
        QCOMPARE(got, expected);
    }

    void receiptMatch_data() {
        QTest::addColumn<QString>("awb");
        QTest::addColumn<int>("receiptDay");   // offset of the receipt's date from the AWB's
        QTest::addColumn<QString>("receiptType");
        QTest::addColumn<QString>("receiptNr");
        QTest::addColumn<bool>("matches");
        QTest::newRow("AWB of 15 characters") << "1ONBLN100000001" << 0 << "Ch_INC" << "1ONBLN100000001" << true;
        QTest::newRow("longer AWB by its last 15") << "4EMGLN100000003001" << 0 << "Ch_INC" << "GLN100000003001"
                                                   << true;
        QTest::newRow("longer AWB, first 15 do not match") << "4EMGLN100000003001" << 0 << "Ch_INC"
                                                           << "4EMGLN100000003" << false;
        QTest::newRow("shorter AWB whole") << "AWB7" << 0 << "Ch_INC" << "AWB7" << true;
        QTest::newRow("receipt of another day") << "1ONBLN100000001" << -1 << "Ch_INC" << "1ONBLN100000001"
                                                << false;
        QTest::newRow("document of another type") << "1ONBLN100000001" << 0 << "Ch_PLA" << "1ONBLN100000001"
                                                  << false;
        QTest::newRow("number in another case") << "1ONBLN100000001" << 0 << "Ch_INC" << "1onbln100000001"
                                                << false;
    }

    void receiptMatch() {
        QFETCH(QString, awb);
        QFETCH(int, receiptDay);
        QFETCH(QString, receiptType);
        QFETCH(QString, receiptNr);
        QFETCH(bool, matches);
        logAt(awb.toStdString(), -3);
        c().su().exec(kReceiptInsert, {std::to_string(-3 + receiptDay), receiptType.toStdString(),
                                       receiptNr.toStdString()});
        const testdb::Rows rows = view(-30);
        QCOMPARE(rows.size(), size_t{1});
        const testdb::Row& r = rows[0];
        QCOMPARE(q(r[col("awb")]), awb);
        if (matches) {
            QCOMPARE(q(r[col("nr_ch")]), receiptNr);
            QCOMPARE(q(r[col("tip_ch")]), QString("Ch_INC"));
            QCOMPARE(q(r[col("data_ch")]), q(r[col("data_awb")]));
            QCOMPARE(q(r[col("val_mon_ch")]), QString("10.00"));
            QCOMPARE(q(r[col("moneda_ch")]), QString("RON"));
            QCOMPARE(q(r[col("partener")]), QString("ALFA SRL"));
        } else {
            for (const char* name : {"data_ch", "tip_ch", "nr_ch", "val_mon_ch", "moneda_ch", "partener"}) {
                QVERIFY2(!r[col(name)], name);
            }
        }
        // No allocation: no invoice.
        for (const char* name : {"data_fact", "tip_fact", "nr_fact"}) QVERIFY2(!r[col(name)], name);
    }

    void twoAwbsSharingTheirLast15Characters() {
        logAt("AAA123456789012345", -2);
        logAt("BBB123456789012345", -2);
        logAt("CCC123456789012345", -1);  // another day: no receipt
        c().su().exec(kReceiptInsert, {"-2", "Ch_INC", "123456789012345"});
        const testdb::Rows rows = view(-30);
        QCOMPARE(rows.size(), size_t{3});
        QCOMPARE(q(rows[0][col("awb")]), QString("AAA123456789012345"));
        QCOMPARE(q(rows[0][col("nr_ch")]), QString("123456789012345"));
        QCOMPARE(q(rows[1][col("awb")]), QString("BBB123456789012345"));
        QCOMPARE(q(rows[1][col("nr_ch")]), QString("123456789012345"));
        QCOMPARE(q(rows[2][col("awb")]), QString("CCC123456789012345"));
        QVERIFY(!rows[2][col("nr_ch")]);
    }

    void invoiceOfTheLatestAllocation_data() {
        // Allocations "data_repartizare,data_doc_com,tip_doc_com,nr_doc_com" (- for NULL)
        // of one receipt; the invoice the view shows.
        QTest::addColumn<QStringList>("allocations");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one allocation") << QStringList{"2024-03-20,2024-03-01,Fact_CL,F1"}
                                        << "2024-03-01 Fact_CL F1";
        QTest::newRow("latest allocation date") << QStringList{"2024-03-20,2024-03-05,Fact_CL,F1",
                                                               "2024-03-22,2024-03-01,Fact_CL,F2",
                                                               "2024-03-21,2024-03-09,Fact_CL,F3"}
                                                << "2024-03-01 Fact_CL F2";
        QTest::newRow("no allocation date counts as latest") << QStringList{"2024-03-22,2024-03-05,Fact_CL,F1",
                                                                            "-,2024-03-01,Fact_CL,F2"}
                                                             << "2024-03-01 Fact_CL F2";
        QTest::newRow("same day: latest invoice date") << QStringList{"2024-03-20,2024-03-01,Fact_CL,F9",
                                                                      "2024-03-20,2024-03-02,Fact_CL,F1"}
                                                       << "2024-03-02 Fact_CL F1";
        QTest::newRow("then the first invoice type") << QStringList{"2024-03-20,2024-03-02,Fact_Cl,F9",
                                                                    "2024-03-20,2024-03-02,Fact_AV,F1",
                                                                    "2024-03-20,2024-03-02,Fact_CL,F5"}
                                                     << "2024-03-02 Fact_AV F1";
        QTest::newRow("then the last invoice number") << QStringList{"2024-03-20,2024-03-02,Fact_CL,F10",
                                                                     "2024-03-20,2024-03-02,Fact_CL,F9",
                                                                     "2024-03-20,2024-03-02,Fact_CL,F1"}
                                                      << "2024-03-02 Fact_CL F9";
        QTest::newRow("two without date: latest invoice date") << QStringList{"-,2024-03-01,Fact_CL,F1",
                                                                              "-,2024-03-03,Fact_CL,F2",
                                                                              "2024-03-25,2024-03-09,Fact_CL,F3"}
                                                               << "2024-03-03 Fact_CL F2";
    }

    void invoiceOfTheLatestAllocation() {
        QFETCH(QStringList, allocations);
        QFETCH(QString, expected);
        logAt("1ONBLN100000001", -1);
        c().su().exec(kReceiptInsert, {"-1", "Ch_INC", "1ONBLN100000001"});
        // Another receipt's allocation, which must not count.
        logAt("1ONBLN100000002", -1);
        c().su().exec(kReceiptInsert, {"-1", "Ch_INC", "1ONBLN100000002"});
        c().su().exec("insert into doc (data_doc, tip_doc, nr_doc) values ('2024-03-28', 'Fact_CL', 'ALTA')");
        c().su().exec("insert into doc_fin values (current_date - 1, 'Ch_INC', '1ONBLN100000002', "
                      "'2024-03-28', 'Fact_CL', 'ALTA', null, 1)");
        for (const QString& a : allocations) {
            const QStringList f = a.split(',');
            const testdb::Value rep = f[0] == "-" ? testdb::Value() : f[0].toStdString();
            c().su().exec("insert into doc (data_doc, tip_doc, nr_doc) values ($1, $2, $3) on conflict do nothing",
                          {f[1].toStdString(), f[2].toStdString(), f[3].toStdString()});
            c().su().exec("insert into doc_fin values (current_date - 1, 'Ch_INC', '1ONBLN100000001', "
                          "$1, $2, $3, $4, 1)",
                          {f[1].toStdString(), f[2].toStdString(), f[3].toStdString(), rep});
        }
        const testdb::Rows rows = view(-30);
        QCOMPARE(rows.size(), size_t{2});
        QCOMPARE(q(rows[0][col("awb")]), QString("1ONBLN100000001"));
        QCOMPARE(QString("%1 %2 %3").arg(q(rows[0][col("data_fact")]), q(rows[0][col("tip_fact")]),
                                         q(rows[0][col("nr_fact")])),
                 expected);
        QCOMPARE(q(rows[1][col("nr_fact")]), QString("ALTA"));
    }

    void awbDateRange_data() {
        QTest::addColumn<int>("start");          // offset from today
        QTest::addColumn<QList<int>>("shown");   // offsets of the rows shown
        QTest::newRow("30 days back") << -30 << QList<int>{-30, -1, 0};
        QTest::newRow("start on a logged day") << -1 << QList<int>{-1, 0};
        QTest::newRow("today") << 0 << QList<int>{0};
        QTest::newRow("tomorrow") << 1 << QList<int>{};
        QTest::newRow("long ago") << -400 << QList<int>{-365, -31, -30, -1, 0};
    }

    void awbDateRange() {
        QFETCH(int, start);
        QFETCH(QList<int>, shown);
        for (int day : {1, 0, -1, -30, -31, -365, 40}) logAt("AWB" + std::to_string(day + 1000), day);
        QList<int> got;
        for (const auto& r : view(start)) got << QString::fromStdString(*r[col("awb")]).mid(3).toInt() - 1000;
        QCOMPARE(got, shown);
    }

    void orderedByAwbDateThenAwb() {
        logAt("B", -1);
        logAt("A", -1);
        logAt("C", -2);
        logAt("a", -1);
        QStringList got;
        for (const auto& r : view(-30)) got << q(r[col("awb")]);
        QCOMPARE(got, (QStringList{"C", "A", "B", "a"}));
    }

    void postedCollectionShowsItsReceiptAndInvoice() {
        // End to end through the two functions.
        dbf::Collection coll;
        coll.dataAwb = *c().su().scalar("select to_char(current_date - 2, 'DD.MM.YYYY')");
        coll.referintaClient = "FCL2";
        c().logReport(dbf::toJson(std::vector{coll}));
        c().post(std::string("ana"), coll.awb, *c().su().scalar("select (current_date - 2)::text"));
        const testdb::Rows rows = view(-30);
        QCOMPARE(rows.size(), size_t{1});
        const testdb::Row& r = rows[0];
        QCOMPARE(q(r[col("nr_ch")]), QString::fromStdString(coll.awb));
        QCOMPARE(q(r[col("val_mon_ch")]), QString("100.50"));
        QCOMPARE(q(r[col("partener")]), QString("BETA SRL"));
        QCOMPARE(q(r[col("data_fact")]), QString("2024-03-10"));
        QCOMPARE(q(r[col("tip_fact")]), QString("Fact_CL"));
        QCOMPARE(q(r[col("nr_fact")]), QString("FCL2"));
    }
};

QTEST_GUILESS_MAIN(TestLogView)
#include "tst_log_view.moc"
