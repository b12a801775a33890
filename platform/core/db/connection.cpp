// Connections: settings, connect and release, the Use guard, and the texts of
// libpq's and the server's failures.
#include "db.h"
#include "db_internal.h"

#include <poll.h>

#include <charconv>
#include <cstring>

#if __has_include(<libintl.h>)
#include <libintl.h>
#define WPV_HAVE_LIBINTL 1
#endif

namespace db {

namespace detail {

std::string trimTrailing(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    return s;
}

std::string connectionMessage(const PGconn* conn) {
    if (conn == nullptr) return "Out of memory";
    return trimTrailing(PQerrorMessage(conn));
}

void throwResultError(const PGresult* res, const PGconn* conn) {
    auto field = [res](int code) {
        const char* v = res != nullptr ? PQresultErrorField(res, code) : nullptr;
        return v != nullptr ? std::string(v) : std::string();
    };
    std::string sqlstate = field(PG_DIAG_SQLSTATE);
    if (const char* primary = res != nullptr ? PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY) : nullptr)
        throw Error(primary, std::move(sqlstate), field(PG_DIAG_MESSAGE_DETAIL), field(PG_DIAG_MESSAGE_HINT));
    // libpq's own failures (the connection lost, say) carry only a message.
    std::string message = res != nullptr ? trimTrailing(PQresultErrorMessage(res)) : std::string();
    if (message.empty()) message = connectionMessage(conn);
    if (message.empty() && res != nullptr)
        message = std::string("Unexpected result: ") + PQresStatus(PQresultStatus(res));
    throw Error(message, std::move(sqlstate));
}

BoundParams::BoundParams(const Params& params) {
    values.reserve(params.size());
    types.reserve(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
        const auto& value = params[i].value();
        values.push_back(value ? value->c_str() : nullptr);
        constexpr Oid kDateOid = 1082;
        types.push_back(params[i].kind() == ParamKind::Date ? kDateOid : 0);
    }
}

}  // namespace detail

namespace {

// libpq's refusal when sslmode is require and the server has no SSL; libpq
// translates it when the process runs under a language it has messages for.
bool sslDeclined(const std::string& message) {
    static const char* const kDeclined = "server does not support SSL, but SSL was required";
    if (message.find(kDeclined) != std::string::npos) return true;
#ifdef WPV_HAVE_LIBINTL
    // The catalogue's key ends in a newline in some libpq versions.
    const std::string domain = "libpq5-" + std::to_string(PQlibVersion() / 10000);
    for (const std::string& key : {std::string(kDeclined), std::string(kDeclined) + "\n"}) {
        const char* found = dgettext(domain.c_str(), key.c_str());
        if (found == nullptr || key == found) continue;
        const std::string translated = detail::trimTrailing(found);
        if (!translated.empty() && message.find(translated) != std::string::npos) return true;
    }
#endif
    return false;
}

// Server notices (RAISE NOTICE and the like) are not shown; an error that
// arrives while the connection is idle is the server ending the session.
void receiveNotice(void* arg, const PGresult* res) {
    const char* severity = PQresultErrorField(res, PG_DIAG_SEVERITY_NONLOCALIZED);
    if (severity != nullptr && (std::strcmp(severity, "FATAL") == 0 || std::strcmp(severity, "PANIC") == 0))
        *static_cast<bool*>(arg) = true;
}

bool socketReadable(int fd) {
    if (fd < 0) return false;
    pollfd p{};
    p.fd = fd;
    p.events = POLLIN;
    return ::poll(&p, 1, 0) > 0;
}

}  // namespace

void Connection::ConnDeleter::operator()(PGconn* c) const noexcept {
    PQfinish(c);
}

Connection::Connection(std::string name) : name_(std::move(name)) {}

Connection::~Connection() = default;

void Connection::setServer(const std::string& server) {
    if (server == server_) return;
    disconnect();
    server_ = server;
}

void Connection::setPort(int port) {
    if (port == port_) return;
    disconnect();
    port_ = port;
}

void Connection::setDatabase(const std::string& database) {
    if (database == database_) return;
    disconnect();
    database_ = database;
}

void Connection::setUsername(const std::string& user) { user_ = user; }
void Connection::setPassword(const std::string& password) { password_ = password; }
void Connection::setSslMode(SslMode mode) { sslMode_ = mode; }
void Connection::setConnectTimeout(int seconds) { connectTimeout_ = seconds; }

void Connection::setDisconnectedMode(bool on) {
    disconnected_ = on;
    // Nothing holds the server now, so in disconnected mode it is let go.
    if (on && uses_ == 0) disconnect();
}

bool Connection::connected() const {
    return conn_ != nullptr && PQstatus(conn_.get()) == CONNECTION_OK;
}

void Connection::connect() {
    if (connected()) return;
    conn_.reset();
    sessionEnding_ = false;

    const std::string port = std::to_string(port_);
    const std::string timeout = std::to_string(connectTimeout_);
    const char* sslmode = sslMode_ == SslMode::Require ? "require" : "prefer";
    // ISO dates and exact floats in the text the rows arrive in, whatever the
    // server's own defaults.
    const char* options = "-c DateStyle=ISO,YMD -c extra_float_digits=3";
    const char* keys[] = {"host",           "port",    "dbname",          "user",
                          "password",       "sslmode", "connect_timeout", "client_encoding",
                          "application_name", "options", "gssencmode",    nullptr};
    const char* values[] = {server_.c_str(), port.c_str(),    database_.c_str(), user_.c_str(),
                            password_.c_str(), sslmode,       timeout.c_str(),   "UTF8",
                            "wParvolen",     options,         "disable",         nullptr};
    std::unique_ptr<PGconn, ConnDeleter> c(PQconnectdbParams(keys, values, 0));
    if (!c) throw Error("Out of memory");
    if (PQstatus(c.get()) != CONNECTION_OK) {
        std::string message = detail::connectionMessage(c.get());
        if (sslMode_ == SslMode::Require && sslDeclined(message)) throw Error("SSL connection is not allowed");
        throw Error(message);
    }
    PQsetNoticeReceiver(c.get(), receiveNotice, &sessionEnding_);
    conn_ = std::move(c);
    ++connectCount_;
}

void Connection::disconnect() {
    conn_.reset();
    sessionEnding_ = false;
}

// Whether an open connection still reaches its server. A server that restarted
// or ended the session sent its farewell and closed the socket while we were
// idle; reading what is waiting shows that without sending anything.
bool Connection::alive() {
    PGconn* c = conn_.get();
    if (c == nullptr || PQstatus(c) != CONNECTION_OK) return false;
    for (int i = 0; i < 4 && socketReadable(PQsocket(c)); ++i) {
        if (PQconsumeInput(c) == 0) return false;
        PQisBusy(c);   // parses what arrived; a farewell reaches receiveNotice
        if (PQstatus(c) != CONNECTION_OK) return false;
    }
    return !sessionEnding_ && PQstatus(c) == CONNECTION_OK;
}

void Connection::acquire() {
    // A dead connection is made again once, before the statement runs; a
    // statement that fails on the server or on the wire is never re-run.
    if (conn_ && !alive()) disconnect();
    connect();
    ++uses_;
}

void Connection::release() {
    if (uses_ > 0) --uses_;
    if (uses_ == 0 && disconnected_) disconnect();
}

Connection::Use::Use(Connection& c) : c_(c) {
    c_.acquire();
}

Connection::Use::~Use() {
    c_.release();
}

PGconn* Connection::Use::native() const {
    // The target may have changed while this Use lived; the statement then
    // goes to the new one.
    if (!c_.conn_) c_.connect();
    return c_.conn_.get();
}

}  // namespace db
