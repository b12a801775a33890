// o_generare_incasare_awb_sameday against a real company database, called as
// the account vek: the receipt and its allocation, the refusals, all or nothing.
#include <QTest>

#include "collections_fixture.h"

using dbf::Collection;
using dbf::q;
using dbf::v;

class TestSamedayPosting : public QObject {
    Q_OBJECT

    std::unique_ptr<dbf::Company> company_;
    dbf::Company& c() { return *company_; }

    void log(const Collection& col) { c().logReport(dbf::toJson(std::vector{col})); }

    // The Ch_INC rows as "data_doc|nr_doc|val_mon|moneda|partener|emitent".
    QStringList receipts() {
        QStringList out;
        for (const auto& r : c().su().exec(
                 "select concat_ws('|', data_doc, nr_doc, val_mon, moneda, coalesce(partener, '-'), emitent) "
                 "from doc where tip_doc = 'Ch_INC' order by data_doc, nr_doc")) {
            out << q(r[0]);
        }
        return out;
    }

    // The allocations as "receipt date|type|number -> invoice date|type|number|on|amount".
    QStringList allocations() {
        QStringList out;
        for (const auto& r : c().su().exec(
                 "select concat_ws('|', data_doc_fin, tip_doc_fin, nr_doc_fin) || ' -> ' || "
                 "concat_ws('|', data_doc_com, tip_doc_com, nr_doc_com, "
                 "          case when data_repartizare = current_date then 'today' else data_repartizare::text end, suma) "
                 "from doc_fin order by 1")) {
            out << q(r[0]);
        }
        return out;
    }

    QString postingError(const testdb::Value& user, const testdb::Value& awb, const testdb::Value& date) {
        try {
            c().post(user, awb, date);
        } catch (const testdb::Error& e) {
            return QString::fromUtf8(e.what());
        }
        return "<no error>";
    }

private slots:
    void initTestCase() { company_ = std::make_unique<dbf::Company>("samedaypost"); }
    void cleanupTestCase() { company_.reset(); }
    void init() { c().reset(); }

    void makesTheReceiptAndItsAllocation_data() {
        QTest::addColumn<QString>("awb");
        QTest::addColumn<QString>("referinta");
        QTest::addColumn<QString>("suma");
        QTest::addColumn<QString>("expReceipt");
        QTest::addColumn<QStringList>("expAllocations");

        QTest::newRow("invoice FCL1, the latest of that number")
            << "1ONBLN100000001" << "FCL1" << "100,50"
            << "2024-03-15|1ONBLN100000001|100.50|RON|ALFA SRL|ana"
            << QStringList{"2024-03-15|Ch_INC|1ONBLN100000001 -> 2024-03-10|Fact_CL|FCL1|today|100.50"};
        QTest::newRow("reference with spaces around")
            << "1ONBLN100000002" << " FCL2 " << "200"
            << "2024-03-15|1ONBLN100000002|200.00|RON|BETA SRL|ana"
            << QStringList{"2024-03-15|Ch_INC|1ONBLN100000002 -> 2024-03-10|Fact_CL|FCL2|today|200.00"};
        QTest::newRow("AWB longer than 15 characters")
            << "4EMGLN100000003001" << "FCL2" << "12,345"
            << "2024-03-15|GLN100000003001|12.35|RON|BETA SRL|ana"
            << QStringList{"2024-03-15|Ch_INC|GLN100000003001 -> 2024-03-10|Fact_CL|FCL2|today|12.35"};
        QTest::newRow("AWB shorter than 15 characters")
            << "AWB7" << "FCL1" << "5" << "2024-03-15|AWB7|5.00|RON|ALFA SRL|ana"
            << QStringList{"2024-03-15|Ch_INC|AWB7 -> 2024-03-10|Fact_CL|FCL1|today|5.00"};
        QTest::newRow("reference names no invoice")
            << "1ONBLN100000004" << "COMANDA 77" << "10" << "2024-03-15|1ONBLN100000004|10.00|RON|-|ana"
            << QStringList{};
        QTest::newRow("reference in another case")
            << "1ONBLN100000005" << "fcl1" << "10" << "2024-03-15|1ONBLN100000005|10.00|RON|-|ana" << QStringList{};
        QTest::newRow("no reference")
            << "1ONBLN100000006" << "" << "10" << "2024-03-15|1ONBLN100000006|10.00|RON|-|ana" << QStringList{};
    }

    void makesTheReceiptAndItsAllocation() {
        QFETCH(QString, awb);
        QFETCH(QString, referinta);
        QFETCH(QString, suma);
        QFETCH(QString, expReceipt);
        QFETCH(QStringList, expAllocations);
        Collection col;
        col.awb = awb.toStdString();
        col.referintaClient = referinta.toStdString();
        col.sumaRamburs = suma.toStdString();
        log(col);
        const testdb::Rows result = c().post(std::string("ana"), col.awb, std::string("2024-03-15"));
        QCOMPARE(result.size(), size_t{1});
        QCOMPARE(q(result[0][0]), QString("2024-03-15"));
        QCOMPARE(q(result[0][1]), QString("Ch_INC"));
        QCOMPARE(q(result[0][2]), awb.right(15));
        QCOMPARE(receipts(), QStringList{expReceipt});
        QCOMPARE(allocations(), expAllocations);
    }

    void secondPostingIsRefused() {
        Collection col;
        log(col);
        c().post(std::string("ana"), col.awb, std::string("2024-03-15"));
        QCOMPARE(postingError(std::string("dan"), col.awb, std::string("2024-03-15")),
                 QString("Incasarea AWB 1ONBLN100000001 din 15.03.2024 este deja importata: "
                         "chitanta Ch_INC nr. 1ONBLN100000001"));
        QCOMPARE(receipts(), QStringList{"2024-03-15|1ONBLN100000001|100.50|RON|ALFA SRL|ana"});
        QCOMPARE(allocations().size(), 1);
    }

    void twoAwbsWithTheSameLast15CharactersMakeOneReceipt() {
        Collection a;
        a.awb = "AAA123456789012345";
        Collection b = a;
        b.awb = "BBB123456789012345";
        b.sumaRamburs = "7";
        c().logReport(dbf::toJson(std::vector{a, b}));
        c().post(std::string("ana"), a.awb, std::string("2024-03-15"));
        QCOMPARE(postingError(std::string("ana"), b.awb, std::string("2024-03-15")),
                 QString("Incasarea AWB BBB123456789012345 din 15.03.2024 este deja importata: "
                         "chitanta Ch_INC nr. 123456789012345"));
        QCOMPARE(c().count("doc", "tip_doc = 'Ch_INC'"), 1L);
    }

    void refusals_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("awb");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("message");
        const QString awb = "1ONBLN100000001", date = "2024-03-15";
        QTest::newRow("unknown user") << "maria" << awb << date << "Utilizatorul \"maria\" nu este definit in VEK";
        QTest::newRow("user in another case") << "Ana" << awb << date << "Utilizatorul \"Ana\" nu este definit in VEK";
        QTest::newRow("user with a space") << "ana " << awb << date
                                           << "Utilizatorul \"ana \" nu este definit in VEK";
        QTest::newRow("empty user") << "" << awb << date << "Utilizatorul \"\" nu este definit in VEK";
        QTest::newRow("no user") << QString() << awb << date << "Utilizatorul \"\" nu este definit in VEK";
        QTest::newRow("AWB not logged") << "ana" << "1ONBLN999999999" << date
                                        << "Incasarea AWB 1ONBLN999999999 din 15.03.2024 nu exista in log";
        QTest::newRow("logged on another date") << "ana" << awb << "2024-03-16"
                                                << "Incasarea AWB 1ONBLN100000001 din 16.03.2024 nu exista in log";
        QTest::newRow("AWB in another case") << "ana" << awb.toLower() << date
                                             << "Incasarea AWB 1onbln100000001 din 15.03.2024 nu exista in log";
        QTest::newRow("no AWB") << "ana" << "" << date
                                << "Incasarea nu poate fi importata: AWB-ul si data AWB sunt obligatorii";
        QTest::newRow("no date") << "ana" << awb << QString()
                                 << "Incasarea nu poate fi importata: AWB-ul si data AWB sunt obligatorii";
        QTest::newRow("collection without amount") << "ana" << "FARA SUMA" << date
                                                   << "Incasarea AWB FARA SUMA din 15.03.2024 nu are suma ramburs";
        QTest::newRow("amount too large") << "ana" << "SUMA MARE" << date
                                          << "Suma ramburs 12345678901234.5 a incasarii AWB SUMA MARE este prea mare";
    }

    void refusals() {
        QFETCH(QString, user);
        QFETCH(QString, awb);
        QFETCH(QString, date);
        QFETCH(QString, message);
        Collection good;
        Collection noAmount;
        noAmount.awb = "FARA SUMA";
        noAmount.sumaRamburs = "";
        Collection tooLarge;
        tooLarge.awb = "SUMA MARE";
        tooLarge.sumaRamburs = "12345678901234,5";
        c().logReport(dbf::toJson(std::vector{good, noAmount, tooLarge}));
        QCOMPARE(postingError(v(user), v(awb), v(date)), message);
        QCOMPARE(c().count("doc", "tip_doc = 'Ch_INC'"), 0L);
        QCOMPARE(c().count("doc_fin"), 0L);
    }

    void allOrNothing() {
        // The allocation fails after the receipt was written: nothing stays.
        c().su().exec("create function refuse() returns trigger language plpgsql as "
                      "$$ begin raise exception 'alocare refuzata'; end $$; "
                      "create trigger refuse before insert on doc_fin for each row execute function refuse()");
        Collection col;
        log(col);
        const QString error = postingError(std::string("ana"), col.awb, std::string("2024-03-15"));
        c().su().exec("drop trigger refuse on doc_fin; drop function refuse()");
        QCOMPARE(error, QString("alocare refuzata"));
        QCOMPARE(c().count("doc", "tip_doc = 'Ch_INC'"), 0L);
        // The collection can be posted afterwards.
        c().post(std::string("ana"), col.awb, std::string("2024-03-15"));
        QCOMPARE(c().count("doc", "tip_doc = 'Ch_INC'"), 1L);
        QCOMPARE(c().count("doc_fin"), 1L);
    }

    void concurrentPostingsQueueUp() {
        // Two workstations post the same collection at once: the second waits
        // for the first and is then refused with the already-imported message.
        Collection col;
        log(col);
        testdb::Connection first = c().db().vek();
        testdb::Connection second = c().db().vek();
        first.exec("begin");
        first.exec("select * from o_generare_incasare_awb_sameday($1, $2, $3)",
                   {std::string("ana"), col.awb, std::string("2024-03-15")});
        const char* values[] = {"dan", col.awb.c_str(), "2024-03-15"};
        QVERIFY(PQsendQueryParams(second.native(), "select * from o_generare_incasare_awb_sameday($1, $2, $3)", 3,
                                  nullptr, values, nullptr, nullptr, 0) == 1);
        // The second one is blocked on the collection's row lock.
        QTRY_COMPARE_WITH_TIMEOUT(
            *c().su().scalar("select count(*) from pg_stat_activity where datname = current_database() "
                             "and wait_event_type = 'Lock' and query like '%o_generare_incasare_awb_sameday%'"),
            std::string("1"), 10000);
        first.exec("commit");
        std::string error;
        while (PGresult* res = PQgetResult(second.native())) {
            if (PQresultStatus(res) == PGRES_FATAL_ERROR) {
                const char* m = PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY);
                error = m ? m : "";
            }
            PQclear(res);
        }
        QCOMPARE(QString::fromStdString(error),
                 QString("Incasarea AWB 1ONBLN100000001 din 15.03.2024 este deja importata: "
                         "chitanta Ch_INC nr. 1ONBLN100000001"));
        QCOMPARE(receipts(), QStringList{"2024-03-15|1ONBLN100000001|100.50|RON|ALFA SRL|ana"});
    }

    void parameterTypes_data() {
        QTest::addColumn<unsigned int>("textType");
        QTest::addColumn<unsigned int>("dateType");
        QTest::newRow("all left to the server") << 0u << 0u;
        QTest::newRow("text and date") << 25u << 1082u;
        QTest::newRow("varchar and date") << 1043u << 1082u;
        QTest::newRow("text and unspecified date") << 25u << 0u;
    }

    void parameterTypes() {
        QFETCH(unsigned int, textType);
        QFETCH(unsigned int, dateType);
        Collection col;
        log(col);
        const char* values[] = {"ana", col.awb.c_str(), "2024-03-15"};
        const unsigned int types[] = {textType, textType, dateType};
        PGresult* res = PQexecParams(c().vek().native(),
                                     "SELECT * FROM o_generare_incasare_awb_sameday($1, $2, $3)", 3, types,
                                     values, nullptr, nullptr, 0);
        const auto status = PQresultStatus(res);
        const std::string error = PQresultErrorMessage(res);
        PQclear(res);
        QVERIFY2(status == PGRES_TUPLES_OK, error.c_str());
        QCOMPARE(c().count("doc", "tip_doc = 'Ch_INC'"), 1L);
    }
};

QTEST_GUILESS_MAIN(TestSamedayPosting)
#include "tst_sameday_posting.moc"
