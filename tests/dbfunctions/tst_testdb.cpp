// The test support library itself: database names, clones, queries and errors.
#include <QTest>

#include "testdb.h"

using testdb::Connection;

class TestTestDb : public QObject {
    Q_OBJECT

    static bool exists(const std::string& name) {
        Connection su(testdb::superuser("postgres"));
        return *su.scalar("select count(*) from pg_database where datname = $1", {name}) == "1";
    }

private slots:
    void cloneNames_data() {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("start");
        QTest::newRow("lower-cased, dash replaced") << "Login-Test" << "login_test_";
        QTest::newRow("starting with a digit") << "123" << "t_123_";
        QTest::newRow("empty") << "" << "t__";
        QTest::newRow("quote and space") << "a\"b c" << "a_b_c_";
        QTest::newRow("too long") << QString(100, 'x') << "xxxxxxxxxx";
    }

    void cloneNames() {
        QFETCH(QString, prefix);
        QFETCH(QString, start);
        testdb::CompanyDatabase a(prefix.toStdString());
        testdb::CompanyDatabase b(prefix.toStdString());
        QVERIFY2(QString::fromStdString(a.name()).startsWith(start), a.name().c_str());
        QVERIFY(a.name() != b.name());
        QVERIFY(a.name().size() <= 63);
        QVERIFY(exists(a.name()));
        // The account of the program reaches it; the clone has the template's tables.
        QCOMPARE(*a.vek().scalar("select count(*) from aplicatie_mob"), std::string("1"));
    }

    void clonesAreIndependentAndDropped() {
        std::string name;
        {
            testdb::CompanyDatabase a("indep");
            testdb::CompanyDatabase b("indep");
            name = a.name();
            a.superuser().exec("insert into emitent (emitent) values ('x')");
            QCOMPARE(*a.superuser().scalar("select count(*) from emitent"), std::string("1"));
            QCOMPARE(*b.superuser().scalar("select count(*) from emitent"), std::string("0"));
            // A session still open does not keep it from being dropped.
            Connection stays = a.vek();
            testdb::dropDatabase(a.name());
            QVERIFY(!exists(name));
        }
        QVERIFY(!exists(name));
    }

    void execResults() {
        Connection su(testdb::superuser("postgres"));
        const testdb::Rows rows = su.exec("select $1::text, null::text, 'ș' union all select 'b', 'c', ''",
                                          {std::string("a")});
        QCOMPARE(rows.size(), size_t{2});
        QCOMPARE(rows[0][0], testdb::Value("a"));
        QCOMPARE(rows[0][1], testdb::Value());
        QCOMPARE(rows[0][2], testdb::Value("ș"));
        QCOMPARE(rows[1][2], testdb::Value(""));
        QCOMPARE(su.exec("select 1; select 2, 3"), (testdb::Rows{{"2", "3"}}));
        QCOMPARE(su.exec("set application_name = 'x'"), testdb::Rows{});
    }

    void errors_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("sqlstate");
        QTest::newRow("division") << "select 1/0" << "division by zero" << "22012";
        QTest::newRow("unknown table") << "select * from nothing_here" << "relation \"nothing_here\" does not exist"
                                       << "42P01";
        QTest::newRow("raised") << "do $$ begin raise exception 'Mesaj %', 1; end $$" << "Mesaj 1" << "P0001";
        QTest::newRow("second of two fails") << "select 1; select 1/0" << "division by zero" << "22012";
    }

    void errors() {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        QFETCH(QString, sqlstate);
        Connection su(testdb::superuser("postgres"));
        try {
            su.exec(sql.toStdString());
            QFAIL("no error");
        } catch (const testdb::Error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), message);
            QCOMPARE(QString::fromStdString(e.sqlstate()), sqlstate);
        }
    }

    void connectionFailure() {
        testdb::ConnectionParams p = testdb::vekAccount("vek_mob");
        p.password = "not the password";
        try {
            Connection c(p);
            QFAIL("connected with a wrong password");
        } catch (const testdb::Error& e) {
            QVERIFY2(QString(e.what()).contains("password authentication failed"), e.what());
            QVERIFY(e.sqlstate().empty());
        }
    }

    void sslOnTheSslClusterOnly_data() {
        QTest::addColumn<bool>("ssl");
        QTest::newRow("SSL cluster") << true;
        QTest::newRow("cluster without SSL") << false;
    }

    void sslOnTheSslClusterOnly() {
        QFETCH(bool, ssl);
        Connection vek(testdb::vekAccount("vek_mob", ssl ? testdb::Cluster::Ssl : testdb::Cluster::NoSsl));
        QCOMPARE(*vek.scalar("select ssl::text from pg_stat_ssl where pid = pg_backend_pid()"),
                 std::string(ssl ? "true" : "false"));
    }

    void quoting() {
        Connection su(testdb::superuser("postgres"));
        QCOMPARE(*su.scalar("select " + testdb::quoteLiteral("it's \\ ok")), std::string("it's \\ ok"));
        QCOMPARE(*su.scalar("select 1 as " + testdb::quoteIdentifier("a \"b\"")), std::string("1"));
    }
};

QTEST_GUILESS_MAIN(TestTestDb)
#include "tst_testdb.moc"
