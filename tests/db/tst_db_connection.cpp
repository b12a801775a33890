// Connections against the throwaway clusters: SSL modes, failed connects,
// disconnected mode seen from pg_stat_activity, the Use guard, target changes,
// a session the server ended, and a failed statement never run twice.
#include "qtest_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using testdb::Cluster;

namespace {

// Backends of the account vek connected to the database, as the server sees
// them. A closed connection's backend leaves shortly after the client; wait
// for the expected count a while before reporting what is there.
long vekBackends(const testdb::CompanyDatabase& company, long expected) {
    testdb::Connection su = company.superuser();
    long count = -1;
    for (int i = 0; i < 200; ++i) {
        count = std::stol(su.scalar("select count(*) from pg_stat_activity where usename = 'vek' and datname = $1",
                                    {company.name()})
                              .value());
        if (count == expected) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return count;
}

std::string backendPid(db::Connection& c) {
    db::StoredFunction f("pid", c, "select pg_backend_pid()");
    f.execute();
    return f.resultValue(0, 0);
}

// A TCP port of 127.0.0.1 that nothing listens on: one just given out by the
// system and released.
int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (fd >= 0) ::close(fd);
    return port;
}

void waitUntilGone(testdb::Connection& su, const std::string& pid) {
    for (int i = 0; i < 200; ++i) {
        if (su.scalar("select count(*) from pg_stat_activity where pid = $1::int", {pid}).value() == "0") return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    QFAIL("the terminated backend did not go away");
}

}  // namespace

class TestConnection : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void sslModes_data();
    void sslModes();
    void connectFailures_data();
    void connectFailures();
    void disconnectedMode_data();
    void disconnectedMode();
    void useGuardHoldsServer();
    void targetChanges_data();
    void targetChanges();
    void reconnectsAfterServerEndedSession_data();
    void reconnectsAfterServerEndedSession();
    void failedStatementNotRunAgain();

private:
    std::unique_ptr<testdb::CompanyDatabase> company_;
    std::unique_ptr<testdb::CompanyDatabase> companyNoSsl_;
};

void TestConnection::initTestCase() {
    company_ = std::make_unique<testdb::CompanyDatabase>("dbconn");
    companyNoSsl_ = std::make_unique<testdb::CompanyDatabase>("dbconn_nossl", Cluster::NoSsl);
}

void TestConnection::cleanupTestCase() {
    company_.reset();
    companyNoSsl_.reset();
}

void TestConnection::sslModes_data() {
    QTest::addColumn<bool>("sslServer");
    QTest::addColumn<bool>("require");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<QByteArray>("locale");
    QTest::newRow("require, server with SSL") << true << true << "" << true << QByteArray();
    QTest::newRow("prefer, server with SSL") << true << false << "" << true << QByteArray();
    QTest::newRow("require, server without SSL")
        << false << true << "SSL connection is not allowed" << false << QByteArray();
    QTest::newRow("prefer, server without SSL") << false << false << "" << false << QByteArray();
    // libpq words its refusal in the user's language where it has a translation.
    QTest::newRow("require, server without SSL, libpq speaking German")
        << false << true << "SSL connection is not allowed" << false << QByteArray("de_DE.UTF-8");
}

void TestConnection::sslModes() {
    QFETCH(bool, sslServer);
    QFETCH(bool, require);
    QFETCH(QString, error);
    QFETCH(bool, encrypted);
    QFETCH(QByteArray, locale);
    std::optional<dbtest::LocaleScope> scope;
    if (!locale.isEmpty()) {
        scope.emplace(locale.constData());
        if (!scope->valid()) QSKIP("locale not installed on this machine");
    }
    const testdb::CompanyDatabase& company = sslServer ? *company_ : *companyNoSsl_;
    db::Connection c("conVekMob");
    dbtest::configure(c, company.name(), company.cluster(), require ? db::SslMode::Require : db::SslMode::Prefer);
    db::Query q("dsSsl", c, "select ssl from pg_stat_ssl where pid = pg_backend_pid()",
                {{"ssl", db::FieldKind::Boolean}});
    // The open connects on demand and raises the same failure as connect().
    QCOMPARE(QString::fromStdString(dbtest::errorOf([&] { q.open(); })), error);
    QCOMPARE(QString::fromStdString(dbtest::errorOf([&] { c.connect(); })), error);
    if (!error.isEmpty()) {
        QVERIFY(!q.active());
        QVERIFY(!c.connected());
        QCOMPARE(c.connectCount(), 0L);
        return;
    }
    QCOMPARE(q.recordCount(), size_t{1});
    QCOMPARE(q.asString("ssl"), std::string(encrypted ? "True" : "False"));
}

void TestConnection::connectFailures_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("expected");
    QTest::newRow("wrong password") << "password" << "password authentication failed for user \"vek\"";
    QTest::newRow("database missing") << "database" << "database \"wpv_no_such_db\" does not exist";
    QTest::newRow("nothing listens on the port") << "port" << "Connection refused";
}

void TestConnection::connectFailures() {
    QFETCH(QString, what);
    QFETCH(QString, expected);
    db::Connection c("conVek");
    dbtest::configure(c, company_->name());
    if (what == "password") c.setPassword(site::databasePassword() + "x");
    if (what == "database") c.setDatabase("wpv_no_such_db");
    if (what == "port") c.setPort(unusedPort());
    std::string message;
    std::string sqlstate = "unset";
    try {
        c.connect();
    } catch (const db::Error& e) {
        message = e.what();
        sqlstate = e.sqlstate();
    }
    QVERIFY2(message.find(expected.toStdString()) != std::string::npos, message.c_str());
    QVERIFY2(message.back() != '\n' && message.back() != ' ', "libpq's trailing newline is trimmed");
    QCOMPARE(sqlstate, std::string());
    QVERIFY(!c.connected());
    QCOMPARE(c.connectCount(), 0L);
}

void TestConnection::disconnectedMode_data() {
    QTest::addColumn<bool>("disconnected");
    QTest::addColumn<long>("backendsAfter");
    QTest::addColumn<long>("connects");
    QTest::newRow("disconnected mode releases the server") << true << 0L << 3L;
    QTest::newRow("otherwise the connection stays") << false << 1L << 1L;
}

void TestConnection::disconnectedMode() {
    QFETCH(bool, disconnected);
    QFETCH(long, backendsAfter);
    QFETCH(long, connects);
    db::Connection c("conVek");
    dbtest::configure(c, company_->name());
    c.setDisconnectedMode(disconnected);
    QVERIFY(!c.connected());

    db::Query q("dsSeries", c, "select g as n, 'row ' || g as t from generate_series(1, :pCount) g",
                {{"n", db::FieldKind::Integer}, {"t", db::FieldKind::LongText}});
    q.paramByName("pcount").setText("5");
    q.open();
    QCOMPARE(c.connected(), !disconnected);
    QCOMPARE(vekBackends(*company_, backendsAfter), backendsAfter);
    // The rows stay readable while the server is released.
    QCOMPARE(q.recordCount(), size_t{5});
    q.setRecNo(4);
    QCOMPARE(q.asString("t"), std::string("row 5"));

    db::StoredFunction f("f", c, "select :pX::int + 1");
    f.paramByName("px").setText("41");
    f.execute();
    QCOMPARE(f.resultValue(0, 0), std::string("42"));
    QCOMPARE(vekBackends(*company_, backendsAfter), backendsAfter);

    q.refresh();
    QCOMPARE(q.recordCount(), size_t{5});
    QCOMPARE(c.connectCount(), connects);
    QCOMPARE(vekBackends(*company_, backendsAfter), backendsAfter);
}

void TestConnection::useGuardHoldsServer() {
    db::Connection c("conVek");
    dbtest::configure(c, company_->name());
    c.setDisconnectedMode(true);
    db::Query q("dsOne", c, "select 1 as n", {{"n", db::FieldKind::Integer}});
    std::string pid1, pid2;
    {
        db::Connection::Use held(c);
        QVERIFY(c.connected());
        QCOMPARE(vekBackends(*company_, 1), 1L);
        pid1 = backendPid(c);
        q.open();
        pid2 = backendPid(c);
        QVERIFY(c.connected());
        QCOMPARE(vekBackends(*company_, 1), 1L);
    }
    QCOMPARE(pid1, pid2);
    QCOMPARE(c.connectCount(), 1L);
    QVERIFY(!c.connected());
    QCOMPARE(vekBackends(*company_, 0), 0L);
    QCOMPARE(q.recordCount(), size_t{1});

    // An explicit connect in disconnected mode lasts until a statement ends.
    c.connect();
    QVERIFY(c.connected());
    backendPid(c);
    QVERIFY(!c.connected());
    QCOMPARE(c.connectCount(), 2L);
}

void TestConnection::targetChanges_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("sameValue");
    QTest::newRow("same server") << "server" << true;
    QTest::newRow("other server") << "server" << false;
    QTest::newRow("same port") << "port" << true;
    QTest::newRow("other port") << "port" << false;
    QTest::newRow("same database") << "database" << true;
    QTest::newRow("other database") << "database" << false;
}

void TestConnection::targetChanges() {
    QFETCH(QString, setting);
    QFETCH(bool, sameValue);
    db::Connection c("conVekMob");
    dbtest::configure(c, company_->name());
    c.connect();
    const std::string pid = backendPid(c);
    if (setting == "server") c.setServer(sameValue ? c.server() : std::string("localhost"));
    if (setting == "port") c.setPort(sameValue ? c.port() : testdb::env().portNoSsl);
    if (setting == "database") c.setDatabase(sameValue ? c.database() : std::string("vek_mob"));
    QCOMPARE(c.connected(), sameValue);
    if (sameValue) {
        QCOMPARE(backendPid(c), pid);
        QCOMPARE(c.connectCount(), 1L);
        // Account and SSL settings wait for the next connect.
        c.setUsername("nobody");
        c.setPassword("wrong");
        c.setSslMode(db::SslMode::Require);
        QVERIFY(c.connected());
        QCOMPARE(backendPid(c), pid);
    } else {
        QCOMPARE(vekBackends(*company_, 0), 0L);
    }
}

void TestConnection::reconnectsAfterServerEndedSession_data() {
    QTest::addColumn<bool>("heldByUse");
    QTest::newRow("idle connection") << false;
    QTest::newRow("between statements of a held Use") << true;
}

void TestConnection::reconnectsAfterServerEndedSession() {
    QFETCH(bool, heldByUse);
    db::Connection c("conVekMob");
    dbtest::configure(c, company_->name());
    std::optional<db::Connection::Use> held;
    if (heldByUse) held.emplace(c);
    const std::string pid = backendPid(c);
    testdb::Connection su = company_->superuser();
    su.exec("select pg_terminate_backend(" + pid + ")");
    waitUntilGone(su, pid);
    // The next statement finds the connection dead before sending anything,
    // connects again and runs.
    std::string newPid;
    const std::string error = dbtest::errorOf([&] { newPid = backendPid(c); });
    QCOMPARE(error, std::string());
    QVERIFY(newPid != pid);
    QCOMPARE(c.connectCount(), 2L);
}

void TestConnection::failedStatementNotRunAgain() {
    testdb::Connection su = company_->superuser();
    su.exec("create sequence wpv_runs; grant usage on sequence wpv_runs to vek");
    db::Connection c("conVekMob");
    dbtest::configure(c, company_->name());
    c.connect();
    const std::string pid = backendPid(c);

    std::atomic<bool> terminated{false};
    std::thread killer([&] {
        testdb::Connection other = company_->superuser();
        for (int i = 0; i < 400 && !terminated; ++i) {
            const auto state = other.scalar("select count(*) from pg_stat_activity where pid = $1::int "
                                            "and state = 'active' and query like '%pg_sleep%'",
                                            {pid});
            if (state.value() == "1") {
                other.exec("select pg_terminate_backend(" + pid + ")");
                terminated = true;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            }
        }
    });
    db::StoredFunction f("f", c, "select nextval('wpv_runs'), pg_sleep(60)");
    db::Error failure("none");
    try {
        f.execute();
    } catch (const db::Error& e) {
        failure = e;
    }
    killer.join();
    QVERIFY(terminated);
    // Over SSL the server's farewell may be lost with the connection; either
    // way the statement failed.
    const std::string message = failure.what();
    QVERIFY2(message.find("terminating connection") != std::string::npos ||
                 message.find("closed unexpectedly") != std::string::npos,
             message.c_str());
    QVERIFY(!f.hasResult());
    QCOMPARE(su.scalar("select last_value from wpv_runs").value(), std::string("1"));
    // The connection is made again for the next statement.
    QVERIFY(backendPid(c) != pid);
    QCOMPARE(su.scalar("select last_value from wpv_runs").value(), std::string("1"));
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_db_connection.moc"
