// PostgreSQL access over libpq: connections, named-parameter statements,
// queries with declared result columns held in memory as a column store, and
// server-function calls. Plain C++; no Qt.
//
// Every failure is a db::Error carrying the message text the user will read.
#pragma once

#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

typedef struct pg_conn PGconn;

namespace db {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, std::string sqlstate = {});
    // A server error: what() is the server's primary message alone (the text
    // of RAISE EXCEPTION, say); detail and hint are kept beside it.
    Error(const std::string& message, std::string sqlstate, std::string detail, std::string hint);
    // Five-character SQLSTATE of a server error; empty for client-side failures.
    const std::string& sqlstate() const noexcept { return sqlstate_; }
    // The server's DETAIL and HINT lines, empty when it sent none.
    const std::string& detail() const noexcept { return detail_; }
    const std::string& hint() const noexcept { return hint_; }

private:
    std::string sqlstate_;
    std::string detail_;
    std::string hint_;
};

// ---------------------------------------------------------------------------
// Named parameters

// A statement text with ":name" parameters turned into libpq's "$n".
// A colon inside a string literal, quoted identifier, comment or dollar-quoted
// body is not a parameter, nor is "::"; names are letters, digits and "_",
// beginning with a letter or "_" (so the slice "a[1:2]" has none).
// Names are matched without regard to (ASCII) case: ":pA" and ":pa" are the
// same parameter and get the same $n. names[i] is the spelling of $i+1 at its
// first occurrence.
struct TranslatedSql {
    std::string sql;
    std::vector<std::string> names;
};
TranslatedSql translateNamedParameters(std::string_view sql);

// Values travel apart from the statement text, never pasted into it. A Text
// value goes with its type left to the server, which infers it as for a
// quoted literal (text, varchar, json, a date...); where nothing tells it
// ("select :p"), the statement needs a cast. A Date value goes as a date.
enum class ParamKind { Text, Date };

class Param {
public:
    Param(std::string name, ParamKind kind) : name_(std::move(name)), kind_(kind) {}
    const std::string& name() const { return name_; }
    ParamKind kind() const { return kind_; }
    void setText(std::string value);                  // keeps the kind
    void setDate(std::chrono::year_month_day value);  // makes the kind Date; throws on an invalid date
    void setNull();
    bool isNull() const { return !value_.has_value(); }
    // The value as sent to the server (a date as YYYY-MM-DD); "" when null.
    std::string asText() const { return value_.value_or(std::string{}); }
    const std::optional<std::string>& value() const { return value_; }

private:
    std::string name_;
    ParamKind kind_;
    std::optional<std::string> value_;
};

// The parameters of one statement, in order of first use in its text.
class Params {
public:
    Params() = default;
    // Builds the list from the statement's names; kinds default to Text.
    explicit Params(const std::vector<std::string>& names);
    // Case-insensitive; throws db::Error "Parameter '<name>' not found".
    Param& byName(std::string_view name);
    const Param& byName(std::string_view name) const;
    Param* find(std::string_view name);
    void setKind(std::string_view name, ParamKind kind);   // keeps the value
    size_t size() const { return list_.size(); }
    Param& operator[](size_t i) { return list_[i]; }
    const Param& operator[](size_t i) const { return list_[i]; }

private:
    std::vector<Param> list_;
};

// ---------------------------------------------------------------------------
// Connections

enum class SslMode { Require, Prefer };

class Connection {
public:
    explicit Connection(std::string name);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& name() const { return name_; }

    // Server, port and database: assigning a different value closes an open
    // connection first; assigning the value it already has does nothing.
    void setServer(const std::string& server);
    void setPort(int port);
    void setDatabase(const std::string& database);
    // Account, SSL mode and time-out take effect at the next connect.
    void setUsername(const std::string& user);
    void setPassword(const std::string& password);
    void setSslMode(SslMode mode);          // default Require
    void setConnectTimeout(int seconds);    // default 15
    // Default off. Switched on while no Use holds the connection, it closes it.
    void setDisconnectedMode(bool on);
    const std::string& server() const { return server_; }
    int port() const { return port_; }
    const std::string& database() const { return database_; }
    const std::string& username() const { return user_; }
    SslMode sslMode() const { return sslMode_; }
    int connectTimeout() const { return connectTimeout_; }
    bool disconnectedMode() const { return disconnected_; }

    bool connected() const;
    // Opens the connection; no-op when connected. Throws db::Error with
    // libpq's text, or "SSL connection is not allowed" when SSL is required and
    // the server declines it. Settings: client encoding UTF8, application name
    // wParvolen, the password given explicitly (libpq never prompts), ISO date
    // output. A connection opened here in disconnected mode is released when
    // the next Use ends.
    void connect();
    void disconnect();    // no-op when not connected
    // How many times a server connection was made (tests and benchmarks).
    long connectCount() const { return connectCount_; }

    // Holds the server for as long as it lives: connects if needed, and in
    // disconnected mode the connection is released when the last Use ends.
    // Every statement runs under one; a posting run keeps one for its length.
    // A connection found dead when a Use begins (the server restarted or ended
    // the session while it was idle) is closed and made again, once; a
    // statement that failed is never run again.
    class Use {
    public:
        explicit Use(Connection& c);
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        PGconn* native() const;

    private:
        Connection& c_;
    };

private:
    friend class Use;
    void release();
    void acquire();
    bool alive();

    std::string name_;
    std::string server_;
    int port_ = 5432;
    std::string database_;
    std::string user_;
    std::string password_;
    SslMode sslMode_ = SslMode::Require;
    int connectTimeout_ = 15;
    bool disconnected_ = false;
    int uses_ = 0;
    long connectCount_ = 0;
    // Set by the notice receiver when the server announced, while the
    // connection was idle, that it is ending the session.
    bool sessionEnding_ = false;
    struct ConnDeleter {
        void operator()(PGconn* c) const noexcept;
    };
    std::unique_ptr<PGconn, ConnDeleter> conn_;
};

// ---------------------------------------------------------------------------
// Declared result columns and the in-memory rows

enum class FieldKind { Text, LongText, Boolean, Integer, Double, Date, DateTime };
// The kind's name as the column-check messages print it: "Text", "LongText",
// "Boolean", "Integer", "Double", "Date", "DateTime".
std::string_view kindName(FieldKind kind);

// The PostgreSQL types each declared kind accepts (domains count as their base
// type, enums as text):
//   Text, LongText  text, varchar, bpchar (padding kept as the server sends
//                   it), name, "char", json, jsonb, uuid, xml, citext, enums
//   Boolean         bool
//   Integer         int2, int4, int8 (a value outside 32 bits fails the open)
//   Double          float4, float8, numeric, int2, int4, int8
//   Date            date
//   DateTime        timestamp, timestamptz (the wall clock of the session's
//                   time zone, the offset dropped)
// Any other pairing fails the open with "Type mismatch". The actual kind in
// that message is the kind the column's type maps to (varchar and bpchar to
// Text, text to LongText, numeric and the floats to Double, int8 to Integer),
// or the server's name of the type when it maps to none ("bytea").

struct FieldDef {
    std::string name;
    FieldKind kind = FieldKind::Text;
    int width = 0;           // characters, for Text; not checked against the server
    bool required = false;   // design flag only
    bool readOnly = false;   // design flag only
};

// One column of a result, stored by kind. Rows are indexed from 0.
// Date: days since 1970-01-01. DateTime: microseconds since 1970-01-01 00:00
// of the wall clock the server reported (no time zone arithmetic). The
// server's infinity and -infinity are the largest and smallest values of the
// type (kDateInfinity...). Reading a value with the accessor of another kind
// is a programming error.
class Column {
public:
    static constexpr int32_t kDateInfinity = INT32_MAX;
    static constexpr int32_t kDateMinusInfinity = INT32_MIN;
    static constexpr int64_t kDateTimeInfinity = INT64_MAX;
    static constexpr int64_t kDateTimeMinusInfinity = INT64_MIN;

    FieldKind kind() const { return kind_; }
    size_t size() const { return rows_; }
    bool isNull(size_t row) const { return ((nulls_[row >> 6] >> (row & 63)) & 1u) != 0; }
    std::string_view text(size_t row) const;       // Text, LongText; "" for NULL
    bool boolean(size_t row) const { return small_[row] != 0; }
    int32_t integer(size_t row) const { return small_[row]; }
    double number(size_t row) const { return doubles_[row]; }
    int32_t date(size_t row) const { return small_[row]; }
    int64_t dateTime(size_t row) const { return large_[row]; }
    // Canonical text of a value, independent of any locale: text as is, "True"
    // or "False", integers in decimal, doubles in the shortest form that reads
    // back the same with "." (std::to_chars: "12.5", "1e+20", "nan", "inf"),
    // dates YYYY-MM-DD, date-times YYYY-MM-DD HH:MM:SS (with .ffffff when there
    // are microseconds), "infinity" and "-infinity"; "" for NULL.
    std::string asString(size_t row) const;
    // Bytes of memory that the stored values take (allocated capacity).
    size_t memoryBytes() const;

private:
    friend class Query;
    friend class ColumnBuilder;
    FieldKind kind_ = FieldKind::Text;
    size_t rows_ = 0;
    std::vector<uint64_t> nulls_;      // one bit per row
    std::vector<int32_t> small_;       // Boolean, Integer, Date
    std::vector<int64_t> large_;       // DateTime
    std::vector<double> doubles_;      // Double
    std::string chars_;                // Text, LongText: all values back to back
    // Text, LongText: size()+1 offsets into chars_; 32-bit while the column's
    // text stays under 4 GiB, 64-bit (offsets64_ non-empty) beyond.
    std::vector<uint32_t> offsets32_;
    std::vector<uint64_t> offsets64_;
};

// A read-only query with declared result columns. open() fetches every row
// into memory; the connection is not held afterwards. Key fields are declared
// field names; an entry may also list several separated by ";"
// ("data_awb; awb;"). A key field that is not declared throws db::Error from
// the constructor ("<name>: Field '<col>' not found").
class Query {
public:
    Query(std::string name, Connection& connection, std::string sql, std::vector<FieldDef> fields,
          std::vector<std::string> keyFields = {});
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    const std::string& name() const { return name_; }
    const std::string& sql() const { return sql_; }
    Connection& connection() const { return connection_; }
    const std::vector<FieldDef>& fields() const { return fields_; }
    const std::vector<std::string>& keyFields() const { return keyFields_; }
    Params& params() { return params_; }
    Param& paramByName(std::string_view name) { return params_.byName(name); }

    // Connects if needed, executes with the parameters bound now, checks the
    // declared columns, fetches all rows, makes the first row current.
    // Errors: the server's or libpq's text; "<name>: Field '<col>' not found";
    // "<name>: Type mismatch for field '<col>', expecting: <kind> actual: <kind>".
    // A failed open leaves the query closed. Opening an open query does nothing.
    void open();
    void close();   // discards the rows; no-op when closed
    // Executes again with the current parameters; makes current the row whose
    // key fields equal those of the row current before (compared by value,
    // NULL equal to NULL), else the first row. A failed refresh leaves the
    // query open with the rows it had. Throws db::Error on a closed query.
    void refresh();
    bool active() const { return active_; }

    size_t recordCount() const { return rows_; }
    bool isEmpty() const { return rows_ == 0; }
    // Index of the current record, or -1 when there is none.
    long recNo() const { return current_; }
    void setRecNo(long row);   // clamped to the rows; notifies CurrentChanged
    void first();
    void next();
    bool eof() const { return current_ < 0 || static_cast<size_t>(current_) + 1 >= rows_; }

    // Column access (declared fields only, in declaration order).
    int fieldIndex(std::string_view name) const;   // -1 when not declared
    const Column& column(size_t fieldIndex) const { return columns_[fieldIndex]; }
    const Column& column(std::string_view name) const;  // throws db::Error when not declared
    // Values of the current record; an open query without rows reads every
    // field as NULL (""). Throw db::Error when the query is closed
    // ("<name>: Query is not open") or the field is not declared
    // ("<name>: Field '<col>' not found").
    bool isNull(std::string_view field) const;
    std::string asString(std::string_view field) const;
    // Bytes the stored rows take (all columns).
    size_t memoryBytes() const;

    enum class Event { Opened, Closed, Refreshed, CurrentChanged };
    // Listeners run synchronously after the change, on the caller's thread.
    int addListener(std::function<void(Event)> listener);
    void removeListener(int id);

private:
    void execute(std::vector<Column>& columns, size_t& rows);
    void notify(Event e);
    const Column& currentColumn(std::string_view field, size_t& row, bool& hasRow) const;

    std::string name_;
    Connection& connection_;
    std::string sql_;
    TranslatedSql translated_;
    std::vector<FieldDef> fields_;
    std::vector<std::string> keyFields_;
    std::vector<size_t> keyIndexes_;
    Params params_;
    bool active_ = false;
    std::vector<Column> columns_;
    size_t rows_ = 0;
    long current_ = -1;
    std::vector<std::pair<int, std::function<void(Event)>>> listeners_;
    int nextListener_ = 1;
};

// A server-function call such as "SELECT * FROM f(:p)". execute() closes the
// previous result first, then runs the statement and holds its result rows.
class StoredFunction {
public:
    StoredFunction(std::string name, Connection& connection, std::string sql);
    ~StoredFunction();
    StoredFunction(const StoredFunction&) = delete;
    StoredFunction& operator=(const StoredFunction&) = delete;

    const std::string& name() const { return name_; }
    const std::string& sql() const { return sql_; }
    Params& params() { return params_; }
    Param& paramByName(std::string_view name) { return params_.byName(name); }
    Connection& connection() const { return connection_; }
    // Runs the statement with the parameters bound now under a Connection::Use.
    // Throws db::Error with the server's text (and SQLSTATE) when it fails; the
    // previous result is gone either way.
    void execute();
    void closeResult();
    bool hasResult() const;
    size_t resultRows() const;      // 0 without a result
    size_t resultColumns() const;   // 0 without a result
    // Text of a result value; "" for NULL. Throws db::Error when there is no
    // such value.
    std::string resultValue(size_t row, size_t column) const;

private:
    std::string name_;
    Connection& connection_;
    std::string sql_;
    TranslatedSql translated_;
    Params params_;
    struct Result;
    std::unique_ptr<Result> result_;
};

}  // namespace db
