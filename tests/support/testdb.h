// Test support for the real PostgreSQL clusters that scripts/with-test-db
// starts: the environment it exports, superuser and "vek" connections, and
// throwaway company databases cloned from vek_template.
//
// Plain C++ over libpq; no Qt and no dependency on the program's own access
// layer, so the tests of that layer can use it too. Every failure throws
// testdb::Error with a message that says what went wrong.
//
// Typical use:
//   testdb::CompanyDatabase company("login");        // clone of vek_template
//   auto su = company.superuser();                    // postgres over the socket
//   su.exec("insert into emitent (emitent, operator_parola) values ('ana', 'x')");
//   testdb::addDirectoryRow("ACME " + company.name(), testdb::env().host,
//                           testdb::env().port, company.name(), "HashSHA2");
//   auto params = testdb::vekAccount(company.name()); // what the program uses
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

typedef struct pg_conn PGconn;

namespace testdb {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, std::string sqlstate = {});
    // SQLSTATE of a server error ("23505", "42501", ...); empty otherwise.
    const std::string& sqlstate() const noexcept { return sqlstate_; }

private:
    std::string sqlstate_;
};

// The two throwaway clusters: with SSL (the normal one) and without.
enum class Cluster { Ssl, NoSsl };

// WPV_TEST_PGHOST, WPV_TEST_PGPORT, WPV_TEST_PGPORT_NOSSL, WPV_TEST_PGSOCKET,
// WPV_TEST_PGSOCKET_NOSSL. Throws Error naming the missing or malformed
// variable (the test was not started under scripts/with-test-db).
struct Env {
    std::string host;        // TCP address of both clusters, 127.0.0.1
    int port = 0;            // TCP port of the SSL cluster
    int portNoSsl = 0;       // TCP port of the cluster without SSL
    std::string socket;      // Unix socket folder of the SSL cluster
    std::string socketNoSsl; // Unix socket folder of the other cluster

    int portOf(Cluster c) const { return c == Cluster::Ssl ? port : portNoSsl; }
    const std::string& socketOf(Cluster c) const { return c == Cluster::Ssl ? socket : socketNoSsl; }
};
const Env& env();

using Value = std::optional<std::string>;  // std::nullopt is SQL NULL
using Row = std::vector<Value>;
using Rows = std::vector<Row>;

// Everything needed to open a libpq connection.
struct ConnectionParams {
    std::string host;      // host name, address or socket folder
    int port = 0;
    std::string dbname;
    std::string user;
    std::string password;  // empty: none sent
    std::string sslmode;   // empty: libpq's default
    int connectTimeoutSeconds = 15;

    // A libpq keyword/value connection string with every value quoted.
    std::string conninfo() const;
};

// The superuser postgres over the cluster's Unix socket (no password).
ConnectionParams superuser(const std::string& dbname, Cluster cluster = Cluster::Ssl);
// The program's database account: "vek" over TCP with site::databasePassword(),
// sslmode prefer (Cluster::Ssl then gets SSL).
ConnectionParams vekAccount(const std::string& dbname, Cluster cluster = Cluster::Ssl);

// One open libpq connection. Statements run in autocommit.
class Connection {
public:
    explicit Connection(const ConnectionParams& params);
    ~Connection();
    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs the text (several statements separated by ';' allowed) and returns
    // the rows of the last one, every value as text. Throws Error carrying the
    // server's primary message (as "division by zero", without "ERROR:") and
    // its SQLSTATE when a statement fails.
    Rows exec(std::string_view sql);
    // One statement with $1..$n parameters passed as text of unspecified type
    // (the server infers each type, as for a literal).
    Rows exec(std::string_view sql, const std::vector<Value>& params);
    // The first column of the first row; throws Error when there is no row.
    Value scalar(std::string_view sql, const std::vector<Value>& params = {});

    PGconn* native() const noexcept { return conn_.get(); }

private:
    struct Close { void operator()(PGconn* c) const noexcept; };
    std::unique_ptr<PGconn, Close> conn_;
};

// A new company database, cloned from vek_template, with a name made of the
// prefix (lower-cased, other characters than a-z, 0-9 and _ turned into _)
// and a suffix unique across processes. The account vek may connect to it and
// nobody else but the superuser. Returns the name.
std::string createCompanyDatabase(std::string_view prefix, Cluster cluster = Cluster::Ssl);
// Drops a database if it exists, ending the sessions still connected to it.
void dropDatabase(const std::string& name, Cluster cluster = Cluster::Ssl);

// createCompanyDatabase() for the lifetime of the object; dropped at the end.
class CompanyDatabase {
public:
    explicit CompanyDatabase(std::string_view prefix, Cluster cluster = Cluster::Ssl);
    ~CompanyDatabase();
    CompanyDatabase(const CompanyDatabase&) = delete;
    CompanyDatabase& operator=(const CompanyDatabase&) = delete;

    const std::string& name() const noexcept { return name_; }
    Cluster cluster() const noexcept { return cluster_; }
    Connection superuser() const;   // postgres over the socket
    Connection vek() const;         // the program's account over TCP

private:
    std::string name_;
    Cluster cluster_;
};

// Adds a row to m_firma of the directory database vek_mob: company name, the
// company database's address, and pw_hash_type (std::nullopt gives NULL).
// activ is true and m_site false. Tests running in parallel share vek_mob, so
// use company names of your own (a CompanyDatabase's name is unique).
void addDirectoryRow(const std::string& company, const std::string& host, int port,
                     const std::string& dbname, const std::optional<std::string>& pwHashType,
                     Cluster cluster = Cluster::Ssl);
// Removes every directory row with this company name.
void removeDirectoryRows(const std::string& company, Cluster cluster = Cluster::Ssl);

// SQL quoting, for building statement texts in tests.
std::string quoteLiteral(std::string_view text);     // 'it''s'
std::string quoteIdentifier(std::string_view name);  // "Name"

}  // namespace testdb
