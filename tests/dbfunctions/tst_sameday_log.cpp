// o_sameday_log_ins against a real company database, called as the account
// vek: conversion of amounts and dates, rows kept with err_ins_vek, refusal of
// texts that are not a JSON array of objects, updates of logged collections.
#include <QTest>

#include "collections_fixture.h"

using dbf::Collection;
using dbf::q;
using dbf::v;

class TestSamedayLog : public QObject {
    Q_OBJECT

    std::unique_ptr<dbf::Company> company_;
    dbf::Company& c() { return *company_; }

    // The logged row of one collection, as text.
    testdb::Row row(const std::string& awb) {
        auto rows = c().su().exec(
            "select awb, nume_destinatar, judet_destinatar, oras_destinatar, adresa_destinatar, "
            "adresa_ridicare, referinta_client, suma_ramburs::text, data_awb::text, "
            "data_colectare_ramburs::text, numar_colete_livrate, nume_fisier, err_ins_vek, "
            "(data_log between localtimestamp - interval '1 minute' and localtimestamp)::text "
            "from log_sameday_incasari where awb = $1",
            {awb});
        if (rows.size() != 1) {
            throw testdb::Error("expected one log row for " + awb + ", found " + std::to_string(rows.size()));
        }
        return rows.front();
    }

private slots:
    void initTestCase() { company_ = std::make_unique<dbf::Company>("samedaylog"); }
    void cleanupTestCase() { company_.reset(); }
    void init() { c().reset(); }

    void membersGoToTheirColumns() {
        Collection a;
        a.awb = "1ONBLN100000001";
        a.numeDestinatar = "MUREȘAN ANA \"Ani\"";
        a.judetDestinatar = "MURES";
        a.orasDestinatar = "Târgu Mureș";
        a.adresaDestinatar = "Str. Doja nr. 1\nap. 2";
        a.adresaRidicare = "Depozit\\Cluj";
        a.referintaClient = "FCL1";
        a.sumaRamburs = "1234,5";
        a.dataAwb = "15.03.2024";
        a.dataColectareRamburs = "2024-03-17";
        a.numarColeteLivrate = "2";
        a.numeFisier = "Sameday martie.xlsx";
        Collection b;
        b.awb = "4EMGLN100000002001";
        b.sumaRamburs = "7.25";
        QCOMPARE(c().logReport(dbf::toJson(std::vector{a, b})), std::string("2"));
        QCOMPARE(c().count("log_sameday_incasari"), 2L);

        const testdb::Row r = row(a.awb);
        const QStringList expected = {"1ONBLN100000001", "MUREȘAN ANA \"Ani\"", "MURES", "Târgu Mureș",
                                      "Str. Doja nr. 1\nap. 2", "Depozit\\Cluj", "FCL1", "1234.5",
                                      "2024-03-15", "2024-03-17", "2", "Sameday martie.xlsx"};
        for (int i = 0; i < expected.size(); ++i) QCOMPARE(q(r[static_cast<size_t>(i)]), expected[i]);
        QVERIFY2(!r[12], "a clean row has no err_ins_vek");
        QCOMPARE(q(r[13]), QString("true"));  // data_log set now
        QCOMPARE(q(row(b.awb)[7]), QString("7.25"));
    }

    void conversions_data() {
        QTest::addColumn<QString>("suma");
        QTest::addColumn<QString>("dataAwb");
        QTest::addColumn<QString>("dataColectare");
        QTest::addColumn<QString>("expSuma");      // null: column left NULL
        QTest::addColumn<QString>("expDataAwb");
        QTest::addColumn<QString>("expDataColectare");
        QTest::addColumn<QString>("expNote");      // null: no err_ins_vek

        const QString N;  // NULL
        const QString d1 = "15.03.2024", i1 = "2024-03-15";
        // Amounts.
        QTest::newRow("decimal comma") << "1234,5" << d1 << d1 << "1234.5" << i1 << i1 << N;
        QTest::newRow("decimal point") << "1234.50" << d1 << d1 << "1234.50" << i1 << i1 << N;
        QTest::newRow("whole number") << "250" << d1 << d1 << "250" << i1 << i1 << N;
        QTest::newRow("negative") << "-12,3" << d1 << d1 << "-12.3" << i1 << i1 << N;
        QTest::newRow("grouped with points") << "1.234,50" << d1 << d1 << "1234.50" << i1 << i1 << N;
        QTest::newRow("grouped with commas") << "1,234,567.5" << d1 << d1 << "1234567.5" << i1 << i1 << N;
        QTest::newRow("scientific") << "1,5E-7" << d1 << d1 << "0.00000015" << i1 << i1 << N;
        QTest::newRow("spaces around") << "  99,90 " << d1 << d1 << "99.90" << i1 << i1 << N;
        QTest::newRow("amount with letters") << "12 lei" << d1 << d1 << N << i1 << i1
                                             << "Suma ramburs \"12 lei\" nu este un numar";
        QTest::newRow("amount two commas") << "1,2,3" << d1 << d1 << N << i1 << i1
                                           << "Suma ramburs \"1,2,3\" nu este un numar";
        QTest::newRow("amount error value") << "#N/A" << d1 << d1 << N << i1 << i1
                                            << "Suma ramburs \"#N/A\" nu este un numar";
        QTest::newRow("amount empty") << "" << d1 << d1 << N << i1 << i1 << "Suma ramburs lipsa";
        // Dates.
        QTest::newRow("day.month.year short") << "1" << "5.3.2024" << "6.3.2024" << "1" << "2024-03-05"
                                              << "2024-03-06" << N;
        QTest::newRow("date with time") << "1" << "15.03.2024 14:30:00" << "16.03.2024 00:00" << "1" << i1
                                        << "2024-03-16" << N;
        QTest::newRow("date with 12-hour time") << "1" << "15.03.2024 2:30:00 PM" << d1 << "1" << i1 << i1 << N;
        QTest::newRow("year-month-day") << "1" << "2024-03-15" << "2024/03/16" << "1" << i1 << "2024-03-16" << N;
        QTest::newRow("year-month-day with time") << "1" << "2024-03-15 14:30:00" << "2024-03-15T08:00:00"
                                                  << "1" << i1 << i1 << N;
        QTest::newRow("leap day") << "1" << "29.02.2024" << d1 << "1" << "2024-02-29" << i1 << N;
        QTest::newRow("no 29 February 2023") << "1" << "29.02.2023" << d1 << "1" << N << i1
                                             << "Data AWB \"29.02.2023\" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)";
        QTest::newRow("day 32") << "1" << "32.01.2024" << d1 << "1" << N << i1
                                << "Data AWB \"32.01.2024\" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)";
        QTest::newRow("month 13") << "1" << "2024-13-01" << d1 << "1" << N << i1
                                  << "Data AWB \"2024-13-01\" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)";
        QTest::newRow("month/day/year is ambiguous") << "1" << "03/15/2024" << d1 << "1" << N << i1
                                                     << "Data AWB \"03/15/2024\" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)";
        QTest::newRow("two-digit year") << "1" << "15.03.24" << d1 << "1" << N << i1
                                        << "Data AWB \"15.03.24\" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)";
        QTest::newRow("hour 25") << "1" << "15.03.2024 25:00" << d1 << "1" << N << i1
                                 << "Data AWB \"15.03.2024 25:00\" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)";
        QTest::newRow("serial number") << "1" << "45366" << d1 << "1" << N << i1
                                       << "Data AWB \"45366\" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)";
        QTest::newRow("date empty") << "1" << "" << d1 << "1" << N << i1 << "Data AWB lipsa";
        QTest::newRow("collection date bad") << "1" << d1 << "ieri" << "1" << i1 << N
                                             << "Data colectare ramburs \"ieri\" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)";
        QTest::newRow("collection date empty is no fault") << "1" << d1 << "" << "1" << i1 << N << N;
        QTest::newRow("two faults in one row") << "x" << d1 << "0.0.2024" << N << i1 << N
                                               << "Suma ramburs \"x\" nu este un numar; Data colectare ramburs "
                                                  "\"0.0.2024\" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)";
    }

    void conversions() {
        QFETCH(QString, suma);
        QFETCH(QString, dataAwb);
        QFETCH(QString, dataColectare);
        QFETCH(QString, expSuma);
        QFETCH(QString, expDataAwb);
        QFETCH(QString, expDataColectare);
        QFETCH(QString, expNote);
        Collection col;
        col.sumaRamburs = suma.toStdString();
        col.dataAwb = dataAwb.toStdString();
        col.dataColectareRamburs = dataColectare.toStdString();
        QCOMPARE(c().logReport(dbf::toJson(std::vector{col})), std::string("1"));
        // The row is recorded whatever could not be converted.
        const testdb::Row r = row(col.awb);
        QCOMPARE(q(r[7]), expSuma);
        QCOMPARE(q(r[8]), expDataAwb);
        QCOMPARE(q(r[9]), expDataColectare);
        QCOMPARE(q(r[12]), expNote);
        QCOMPARE(q(r[1]), QString("POPESCU ION"));
    }

    void refusesWhatIsNotAnArrayOfObjects_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString good = QString::fromStdString(dbf::toJson(Collection{}));
        QTest::newRow("not JSON") << "Err" << "Lista incasarilor nu este un text JSON valid:";
        QTest::newRow("empty text") << "" << "Lista incasarilor nu este un text JSON valid:";
        QTest::newRow("cut short") << "[" + good.left(40) << "Lista incasarilor nu este un text JSON valid:";
        QTest::newRow("trailing comma") << "[" + good + ",]" << "Lista incasarilor nu este un text JSON valid:";
        QTest::newRow("object, not array") << good
                                           << "Lista incasarilor trebuie sa fie un sir JSON de obiecte, nu object";
        QTest::newRow("string") << "\"[]\"" << "Lista incasarilor trebuie sa fie un sir JSON de obiecte, nu string";
        QTest::newRow("JSON null") << "null" << "Lista incasarilor trebuie sa fie un sir JSON de obiecte, nu null";
        QTest::newRow("array of strings") << "[\"a\",\"b\"]"
                                          << "Elementul 1 din lista incasarilor nu este un obiect JSON, ci string";
        QTest::newRow("good object then a number") << "[" + good + ",5]"
                                                   << "Elementul 2 din lista incasarilor nu este un obiect JSON, ci number";
        QTest::newRow("nested array") << "[[" + good + "]]"
                                      << "Elementul 1 din lista incasarilor nu este un obiect JSON, ci array";
    }

    void refusesWhatIsNotAnArrayOfObjects() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        // A collection logged earlier stays as it was.
        Collection earlier;
        earlier.awb = "EARLIER";
        c().logReport(dbf::toJson(std::vector{earlier}));
        try {
            c().logReport(text.toStdString());
            QFAIL("the text was accepted");
        } catch (const testdb::Error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).startsWith(message), e.what());
        }
        QCOMPARE(c().count("log_sameday_incasari"), 1L);
        QCOMPARE(c().count("log_sameday_incasari", "awb = 'EARLIER'"), 1L);
    }

    void refusesNull() {
        try {
            c().vek().exec("select * from o_sameday_log_ins(null)");
            QFAIL("NULL was accepted");
        } catch (const testdb::Error& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QString("Lista incasarilor lipseste (parametrul pjsonincasramburs este NULL)"));
        }
    }

    void emptyArrayRecordsNothing() {
        QCOMPARE(c().logReport("[]"), std::string("0"));
        QCOMPARE(c().logReport(" [ ] "), std::string("0"));
        QCOMPARE(c().count("log_sameday_incasari"), 0L);
    }

    void blankObjectsArePassedOver() {
        Collection blank;
        blank.awb = blank.numeDestinatar = blank.judetDestinatar = blank.orasDestinatar = "";
        blank.adresaDestinatar = blank.adresaRidicare = blank.referintaClient = blank.sumaRamburs = "";
        blank.dataAwb = blank.dataColectareRamburs = blank.numarColeteLivrate = "";
        Collection spaces = blank;
        spaces.numeDestinatar = "   ";
        Collection good;
        QCOMPARE(c().logReport(dbf::toJson(std::vector{good, blank, spaces, blank})), std::string("1"));
        QCOMPARE(c().count("log_sameday_incasari"), 1L);
    }

    void aCollectionLoggedAgainIsUpdated_data() {
        QTest::addColumn<QString>("dataAwb");
        QTest::newRow("good date") << "15.03.2024";
        QTest::newRow("date that cannot be read") << "15.13.2024";
        QTest::newRow("no date") << "";
    }

    void aCollectionLoggedAgainIsUpdated() {
        QFETCH(QString, dataAwb);
        Collection first;
        first.dataAwb = dataAwb.toStdString();
        first.sumaRamburs = "abc";
        Collection other = first;
        other.awb = "OTHER";
        QCOMPARE(c().logReport(dbf::toJson(std::vector{first, other})), std::string("2"));
        Collection again = first;
        again.sumaRamburs = "150,00";
        again.numeDestinatar = "POPESCU I.";
        again.numeFisier = "corectat.xlsx";
        QCOMPARE(c().logReport(dbf::toJson(std::vector{again})), std::string("1"));
        QCOMPARE(c().count("log_sameday_incasari"), 2L);
        const testdb::Row r = row(first.awb);
        QCOMPARE(q(r[7]), QString("150.00"));
        QCOMPARE(q(r[1]), QString("POPESCU I."));
        QCOMPARE(q(r[11]), QString("corectat.xlsx"));
        // The amount's note is gone; only a date fault remains, if any.
        QVERIFY(!q(r[12]).contains("Suma ramburs"));
        QCOMPARE(q(r[12]).isNull(), dataAwb == "15.03.2024");
    }

    void theSameReportTwiceLeavesOneRowPerCollection() {
        std::vector<Collection> report;
        for (int i = 0; i < 5; ++i) {
            Collection col;
            col.awb = "1ONBLN20000000" + std::to_string(i);
            col.dataAwb = std::to_string(10 + i) + ".03.2024";
            report.push_back(col);
        }
        // The same AWB on another date is another collection.
        Collection sameAwbOtherDay = report[0];
        sameAwbOtherDay.dataAwb = "01.04.2024";
        report.push_back(sameAwbOtherDay);
        const std::string json = dbf::toJson(report);
        QCOMPARE(c().logReport(json), std::string("6"));
        QCOMPARE(c().logReport(json), std::string("6"));
        QCOMPARE(c().count("log_sameday_incasari"), 6L);
        QCOMPARE(c().count("log_sameday_incasari", "awb = '1ONBLN200000000'"), 2L);
    }

    void aCollectionTwiceInOneReportKeepsTheLater() {
        Collection a;
        a.sumaRamburs = "10";
        Collection b = a;
        b.sumaRamburs = "20";
        QCOMPARE(c().logReport(dbf::toJson(std::vector{a, b})), std::string("1"));
        QCOMPARE(q(row(a.awb)[7]), QString("20"));
    }

    void aCollectionWithItsReceiptKeepsItsValues_data() {
        QTest::addColumn<QString>("suma");
        QTest::addColumn<QString>("nume");
        QTest::addColumn<QString>("dataColectare");
        QTest::addColumn<QString>("expNote");  // null: err_ins_vek stays empty
        const QString prefix = "Incasarea are deja chitanta in VEK; valorile din log raman neschimbate. "
                               "Diferente in fisierul \"a doua oara.xlsx\": ";
        QTest::newRow("same values") << "100,50" << "POPESCU ION" << "17.03.2024" << QString();
        QTest::newRow("same amount written otherwise") << "100.5" << "POPESCU ION" << "2024-03-17" << QString();
        QTest::newRow("other amount") << "150" << "POPESCU ION" << "17.03.2024"
                                      << prefix + "Suma ramburs \"100.50\" -> \"150\"";
        QTest::newRow("other name and date") << "100,50" << "POPESCU IOAN" << "18.03.2024"
                                             << prefix + "Nume destinatar \"POPESCU ION\" -> \"POPESCU IOAN\"; "
                                                         "Data colectare ramburs \"17.03.2024\" -> \"18.03.2024\"";
        QTest::newRow("amount that cannot be read") << "o suta" << "POPESCU ION" << "17.03.2024"
                                                    << prefix + "Suma ramburs \"100.50\" -> \"o suta\"";
    }

    void aCollectionWithItsReceiptKeepsItsValues() {
        QFETCH(QString, suma);
        QFETCH(QString, nume);
        QFETCH(QString, dataColectare);
        QFETCH(QString, expNote);
        Collection col;
        c().logReport(dbf::toJson(std::vector{col}));
        const std::string loggedAt = *c().su().scalar("select data_log::text from log_sameday_incasari");
        c().post(std::string("ana"), col.awb, std::string("2024-03-15"));

        Collection again = col;
        again.sumaRamburs = suma.toStdString();
        again.numeDestinatar = nume.toStdString();
        again.dataColectareRamburs = dataColectare.toStdString();
        again.numeFisier = "a doua oara.xlsx";
        QCOMPARE(c().logReport(dbf::toJson(std::vector{again})), std::string("1"));
        const testdb::Row r = row(col.awb);
        QCOMPARE(q(r[1]), QString("POPESCU ION"));
        QCOMPARE(q(r[7]), QString("100.50"));
        QCOMPARE(q(r[9]), QString("2024-03-17"));
        QCOMPARE(q(r[11]), QString("Sameday martie.xlsx"));
        QCOMPARE(q(r[12]), expNote);
        QCOMPARE(*c().su().scalar("select data_log::text from log_sameday_incasari"), loggedAt);
        QCOMPARE(c().count("doc", "tip_doc = 'Ch_INC'"), 1L);
    }

    void parameterSentAsText() {
        // The parameter typed text (OID 25) resolves as well as an untyped one.
        Collection col;
        const std::string json = dbf::toJson(std::vector{col});
        const char* values[] = {json.c_str()};
        const unsigned int types[] = {25};
        PGresult* res = PQexecParams(c().vek().native(), "select * from o_sameday_log_ins($1)", 1, types,
                                     values, nullptr, nullptr, 0);
        const auto status = PQresultStatus(res);
        const std::string error = PQresultErrorMessage(res);
        PQclear(res);
        QVERIFY2(status == PGRES_TUPLES_OK, error.c_str());
        QCOMPARE(c().count("log_sameday_incasari"), 1L);
    }
};

QTEST_GUILESS_MAIN(TestSamedayLog)
#include "tst_sameday_log.moc"
