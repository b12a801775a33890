#include "testdb.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "site.h"

namespace testdb {

Error::Error(const std::string& message, std::string sqlstate)
    : std::runtime_error(message), sqlstate_(std::move(sqlstate)) {}

namespace {

std::string requireVar(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0') {
        throw Error(std::string("testdb: the environment variable ") + name +
                    " is not set; run the tests under scripts/with-test-db (./test does)");
    }
    return v;
}

int requirePort(const char* name) {
    const std::string text = requireVar(name);
    int port = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (ec != std::errc() || end != text.data() + text.size() || port <= 0 || port > 65535) {
        throw Error(std::string("testdb: ") + name + "='" + text + "' is not a port number");
    }
    return port;
}

std::string quoteConnValue(const std::string& v) {
    std::string out = "'";
    for (char c : v) {
        if (c == '\'' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

struct ResultDeleter {
    void operator()(PGresult* r) const noexcept { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// Throws when the result is a failure; returns its rows otherwise.
Rows takeRows(PGconn* conn, const Result& res) {
    const ExecStatusType st = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK && st != PGRES_EMPTY_QUERY) {
        // The server's own text ("division by zero"), without "ERROR:  ".
        const char* primary = res ? PQresultErrorField(res.get(), PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        std::string message = primary ? primary : res ? PQresultErrorMessage(res.get()) : PQerrorMessage(conn);
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
        const char* state = res ? PQresultErrorField(res.get(), PG_DIAG_SQLSTATE) : nullptr;
        throw Error(message, state ? state : "");
    }
    Rows rows;
    if (st != PGRES_TUPLES_OK) return rows;
    const int n = PQntuples(res.get());
    const int cols = PQnfields(res.get());
    rows.reserve(static_cast<size_t>(n));
    for (int r = 0; r < n; ++r) {
        Row row;
        row.reserve(static_cast<size_t>(cols));
        for (int c = 0; c < cols; ++c) {
            if (PQgetisnull(res.get(), r, c)) {
                row.emplace_back(std::nullopt);
            } else {
                row.emplace_back(std::string(PQgetvalue(res.get(), r, c),
                                             static_cast<size_t>(PQgetlength(res.get(), r, c))));
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string sanitizePrefix(std::string_view prefix) {
    std::string out;
    for (char c : prefix) {
        if (c >= 'A' && c <= 'Z') out.push_back(static_cast<char>(c - 'A' + 'a'));
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') out.push_back(c);
        else out.push_back('_');
    }
    if (out.empty() || (out[0] >= '0' && out[0] <= '9')) out.insert(0, "t_");
    return out;
}

std::string uniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = [] {
        std::random_device rd;
        return rd() & 0xFFFFu;
    }();
    const auto n = counter.fetch_add(1);
    char hex[8];
    auto [end, ec] = std::to_chars(hex, hex + sizeof hex, salt, 16);
    (void)ec;
    return std::to_string(::getpid()) + "_" + std::string(hex, end) + "_" + std::to_string(n);
}

}  // namespace

const Env& env() {
    static const Env e = [] {
        Env v;
        v.host = requireVar("WPV_TEST_PGHOST");
        v.port = requirePort("WPV_TEST_PGPORT");
        v.portNoSsl = requirePort("WPV_TEST_PGPORT_NOSSL");
        v.socket = requireVar("WPV_TEST_PGSOCKET");
        v.socketNoSsl = requireVar("WPV_TEST_PGSOCKET_NOSSL");
        return v;
    }();
    return e;
}

std::string ConnectionParams::conninfo() const {
    std::string s = "host=" + quoteConnValue(host) + " port=" + std::to_string(port) +
                    " dbname=" + quoteConnValue(dbname) + " user=" + quoteConnValue(user) +
                    " connect_timeout=" + std::to_string(connectTimeoutSeconds) +
                    " client_encoding='UTF8'";
    if (!password.empty()) s += " password=" + quoteConnValue(password);
    if (!sslmode.empty()) s += " sslmode=" + quoteConnValue(sslmode);
    return s;
}

ConnectionParams superuser(const std::string& dbname, Cluster cluster) {
    const Env& e = env();
    ConnectionParams p;
    p.host = e.socketOf(cluster);
    p.port = e.portOf(cluster);
    p.dbname = dbname;
    p.user = "postgres";
    return p;
}

ConnectionParams vekAccount(const std::string& dbname, Cluster cluster) {
    const Env& e = env();
    ConnectionParams p;
    p.host = e.host;
    p.port = e.portOf(cluster);
    p.dbname = dbname;
    p.user = site::databaseUser();
    p.password = site::databasePassword();
    p.sslmode = "prefer";
    return p;
}

void Connection::Close::operator()(PGconn* c) const noexcept { PQfinish(c); }

Connection::Connection(const ConnectionParams& params) : conn_(PQconnectdb(params.conninfo().c_str())) {
    if (!conn_) throw Error("testdb: out of memory opening a connection");
    if (PQstatus(conn_.get()) != CONNECTION_OK) {
        std::string message = PQerrorMessage(conn_.get());
        while (!message.empty() && message.back() == '\n') message.pop_back();
        throw Error("testdb: cannot connect to " + params.dbname + " as " + params.user + " at " +
                    params.host + ":" + std::to_string(params.port) + ": " + message);
    }
}

Connection::~Connection() = default;
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;

Rows Connection::exec(std::string_view sql) {
    const std::string text(sql);
    // Several statements: PQexec returns only the last result, and stops at
    // the first failing one, whose error it reports.
    Result res(PQexec(conn_.get(), text.c_str()));
    return takeRows(conn_.get(), res);
}

Rows Connection::exec(std::string_view sql, const std::vector<Value>& params) {
    const std::string text(sql);
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
    Result res(PQexecParams(conn_.get(), text.c_str(), static_cast<int>(params.size()), nullptr,
                            values.data(), nullptr, nullptr, 0));
    return takeRows(conn_.get(), res);
}

Value Connection::scalar(std::string_view sql, const std::vector<Value>& params) {
    Rows rows = params.empty() ? exec(sql) : exec(sql, params);
    if (rows.empty() || rows.front().empty()) {
        throw Error("testdb: no row from: " + std::string(sql));
    }
    return rows.front().front();
}

std::string createCompanyDatabase(std::string_view prefix, Cluster cluster) {
    std::string name = sanitizePrefix(prefix);
    const std::string suffix = "_" + uniqueSuffix();
    if (name.size() + suffix.size() > 63) name.resize(63 - suffix.size());
    name += suffix;
    Connection su(superuser("postgres", cluster));
    const std::string create =
        "CREATE DATABASE " + quoteIdentifier(name) + " TEMPLATE vek_template";
    // CREATE DATABASE refuses while another session is connected to the
    // template; nothing should be, but give a stray session a moment.
    for (int attempt = 0;; ++attempt) {
        try {
            su.exec(create);
            break;
        } catch (const Error& e) {
            if (e.sqlstate() != "55006" || attempt >= 50) throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    su.exec("REVOKE ALL ON DATABASE " + quoteIdentifier(name) + " FROM PUBLIC; GRANT CONNECT ON DATABASE " +
            quoteIdentifier(name) + " TO vek");
    return name;
}

void dropDatabase(const std::string& name, Cluster cluster) {
    Connection su(superuser("postgres", cluster));
    su.exec("DROP DATABASE IF EXISTS " + quoteIdentifier(name) + " WITH (FORCE)");
}

CompanyDatabase::CompanyDatabase(std::string_view prefix, Cluster cluster)
    : name_(createCompanyDatabase(prefix, cluster)), cluster_(cluster) {}

CompanyDatabase::~CompanyDatabase() {
    try {
        dropDatabase(name_, cluster_);
    } catch (...) {
        // The cluster is thrown away after the run anyway.
    }
}

Connection CompanyDatabase::superuser() const { return Connection(testdb::superuser(name_, cluster_)); }
Connection CompanyDatabase::vek() const { return Connection(vekAccount(name_, cluster_)); }

void addDirectoryRow(const std::string& company, const std::string& host, int port,
                     const std::string& dbname, const std::optional<std::string>& pwHashType,
                     Cluster cluster) {
    Connection su(superuser("vek_mob", cluster));
    su.exec("insert into m_firma (nume_firma, ip, port, db_name, activ, m_site, pw_hash_type) "
            "values ($1, $2, $3::integer, $4, true, false, $5)",
            {company, host, std::to_string(port), dbname, pwHashType});
}

void removeDirectoryRows(const std::string& company, Cluster cluster) {
    Connection su(superuser("vek_mob", cluster));
    su.exec("delete from m_firma where nume_firma = $1", {company});
}

std::string quoteLiteral(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out.push_back('\'');
        out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

std::string quoteIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

}  // namespace testdb
