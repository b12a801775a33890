// Queries with declared result columns: the column check, the fetch of every
// row into the column store, refresh with relocation, and the current record.
#include "db.h"
#include "db_internal.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>

namespace db {

std::string_view kindName(FieldKind kind) {
    switch (kind) {
        case FieldKind::Text: return "Text";
        case FieldKind::LongText: return "LongText";
        case FieldKind::Boolean: return "Boolean";
        case FieldKind::Integer: return "Integer";
        case FieldKind::Double: return "Double";
        case FieldKind::Date: return "Date";
        case FieldKind::DateTime: return "DateTime";
    }
    return "Unknown";
}

namespace {

// Type OIDs of the server's built-in types (pg_type.dat).
enum : Oid {
    kBool = 16, kBytea = 17, kChar = 18, kName = 19, kInt8 = 20, kInt2 = 21, kInt4 = 23,
    kText = 25, kOid = 26, kJson = 114, kXml = 142, kFloat4 = 700, kFloat8 = 701,
    kUnknown = 705, kMoney = 790, kBpchar = 1042, kVarchar = 1043, kDate = 1082, kTime = 1083,
    kTimestamp = 1114, kTimestamptz = 1184, kInterval = 1186, kTimetz = 1266, kBit = 1560,
    kVarbit = 1562, kNumeric = 1700, kUuid = 2950, kJsonb = 3802,
    // Types made in a database (enums, citext and other extensions) start here.
    kFirstNormalObjectId = 16384
};

// The kind a column of this type delivers, if any. Domains arrive as their
// base type; types made in the database have a text form and count as text.
std::optional<FieldKind> deliveredKind(Oid type) {
    switch (type) {
        case kBool: return FieldKind::Boolean;
        case kInt2: case kInt4: case kInt8: return FieldKind::Integer;
        case kFloat4: case kFloat8: case kNumeric: return FieldKind::Double;
        case kDate: return FieldKind::Date;
        case kTimestamp: case kTimestamptz: return FieldKind::DateTime;
        case kVarchar: case kBpchar: case kName: case kChar: return FieldKind::Text;
        case kText: case kJson: case kJsonb: case kXml: case kUuid: case kUnknown:
            return FieldKind::LongText;
        default: break;
    }
    if (type >= kFirstNormalObjectId) return FieldKind::LongText;
    return std::nullopt;
}

std::string typeName(Oid type) {
    if (auto kind = deliveredKind(type)) return std::string(kindName(*kind));
    switch (type) {
        case kBytea: return "bytea";
        case kOid: return "oid";
        case kMoney: return "money";
        case kTime: return "time";
        case kTimetz: return "timetz";
        case kInterval: return "interval";
        case kBit: return "bit";
        case kVarbit: return "varbit";
        default: break;
    }
    return "type " + std::to_string(type);
}

bool accepts(FieldKind declared, Oid type) {
    switch (declared) {
        case FieldKind::Text:
        case FieldKind::LongText: {
            auto k = deliveredKind(type);
            return k && (*k == FieldKind::Text || *k == FieldKind::LongText);
        }
        case FieldKind::Boolean: return type == kBool;
        case FieldKind::Integer: return type == kInt2 || type == kInt4 || type == kInt8;
        case FieldKind::Double:
            return type == kFloat4 || type == kFloat8 || type == kNumeric || type == kInt2 ||
                   type == kInt4 || type == kInt8;
        case FieldKind::Date: return type == kDate;
        case FieldKind::DateTime: return type == kTimestamp || type == kTimestamptz;
    }
    return false;
}

}  // namespace

// Appends the server's text values to one column, converting by kind.
class ColumnBuilder {
public:
    ColumnBuilder(Column& column, FieldKind kind, const std::string* queryName, const std::string* fieldName,
                  int resultIndex)
        : column_(&column), queryName_(queryName), fieldName_(fieldName), resultIndex_(resultIndex) {
        column.kind_ = kind;
        if (kind == FieldKind::Text || kind == FieldKind::LongText) column.offsets32_.push_back(0);
    }

    int resultIndex() const { return resultIndex_; }

    void append(const char* value, size_t len, bool null) {
        Column& c = *column_;
        const size_t row = c.rows_;
        if ((row & 63) == 0) c.nulls_.push_back(0);
        if (null) c.nulls_.back() |= uint64_t{1} << (row & 63);
        switch (c.kind_) {
            case FieldKind::Text:
            case FieldKind::LongText:
                if (!null) c.chars_.append(value, len);
                pushOffset(c);
                break;
            case FieldKind::Boolean:
                c.small_.push_back(null ? 0 : (len > 0 && value[0] == 't') ? 1 : 0);
                break;
            case FieldKind::Integer: {
                int64_t v = 0;
                if (!null) {
                    auto [end, ec] = std::from_chars(value, value + len, v);
                    if (ec != std::errc() || end != value + len || v < INT32_MIN || v > INT32_MAX)
                        invalid(value, len);
                }
                c.small_.push_back(static_cast<int32_t>(v));
                break;
            }
            case FieldKind::Double: {
                double v = 0;
                if (!null) {
                    auto [end, ec] = std::from_chars(value, value + len, v);
                    // A numeric beyond the double range reads as the nearest
                    // infinity or zero rather than failing the whole result.
                    if (ec == std::errc::result_out_of_range && end == value + len)
                        v = tooLarge(value, len) ? (value[0] == '-' ? -kInfinity : kInfinity) : 0.0;
                    else if (ec != std::errc() || end != value + len)
                        invalid(value, len);
                }
                c.doubles_.push_back(v);
                break;
            }
            case FieldKind::Date: {
                int32_t v = 0;
                if (!null && !detail::parseDate(std::string_view(value, len), v)) invalid(value, len);
                c.small_.push_back(v);
                break;
            }
            case FieldKind::DateTime: {
                int64_t v = 0;
                if (!null && !detail::parseDateTime(std::string_view(value, len), v)) invalid(value, len);
                c.large_.push_back(v);
                break;
            }
        }
        c.rows_ = row + 1;
    }

    static constexpr double kInfinity = std::numeric_limits<double>::infinity();

    // Gives back what growth left unused.
    void finish() {
        Column& c = *column_;
        shrink(c.nulls_);
        shrink(c.small_);
        shrink(c.large_);
        shrink(c.doubles_);
        shrink(c.offsets32_);
        shrink(c.offsets64_);
        if (c.chars_.capacity() > c.chars_.size() + c.chars_.size() / 16 + 64) c.chars_.shrink_to_fit();
    }

private:
    template <class V>
    static void shrink(V& v) {
        if (v.capacity() > v.size() + v.size() / 16 + 16) v.shrink_to_fit();
    }

    static void pushOffset(Column& c) {
        const uint64_t end = c.chars_.size();
        if (c.offsets64_.empty()) {
            if (end <= UINT32_MAX) {
                c.offsets32_.push_back(static_cast<uint32_t>(end));
                return;
            }
            c.offsets64_.assign(c.offsets32_.begin(), c.offsets32_.end());
            c.offsets32_ = {};
        }
        c.offsets64_.push_back(end);
    }

    // Whether an out-of-range number text is too large (rather than too small).
    static bool tooLarge(const char* value, size_t len) {
        std::string_view s(value, len);
        const size_t e = s.find_first_of("eE");
        if (e == std::string_view::npos) return true;   // plain digits only overflow
        return e + 1 < len && s[e + 1] != '-';
    }

    [[noreturn]] void invalid(const char* value, size_t len) const {
        throw Error(*queryName_ + ": Invalid value '" + std::string(value, len) + "' for field '" + *fieldName_ +
                    "'");
    }

    Column* column_;
    const std::string* queryName_;
    const std::string* fieldName_;
    int resultIndex_;
};

std::string_view Column::text(size_t row) const {
    if (!offsets64_.empty()) {
        const uint64_t b = offsets64_[row], e = offsets64_[row + 1];
        return std::string_view(chars_.data() + b, e - b);
    }
    const uint32_t b = offsets32_[row], e = offsets32_[row + 1];
    return std::string_view(chars_.data() + b, e - b);
}

std::string Column::asString(size_t row) const {
    if (isNull(row)) return {};
    switch (kind_) {
        case FieldKind::Text:
        case FieldKind::LongText: return std::string(text(row));
        case FieldKind::Boolean: return boolean(row) ? "True" : "False";
        case FieldKind::Integer: return std::to_string(integer(row));
        case FieldKind::Double: {
            char buf[64];
            auto [end, ec] = std::to_chars(buf, buf + sizeof buf, number(row));
            (void)ec;
            return std::string(buf, end);
        }
        case FieldKind::Date: return detail::formatDate(date(row));
        case FieldKind::DateTime: return detail::formatDateTime(dateTime(row));
    }
    return {};
}

size_t Column::memoryBytes() const {
    return nulls_.capacity() * sizeof(uint64_t) + small_.capacity() * sizeof(int32_t) +
           large_.capacity() * sizeof(int64_t) + doubles_.capacity() * sizeof(double) + chars_.capacity() +
           offsets32_.capacity() * sizeof(uint32_t) + offsets64_.capacity() * sizeof(uint64_t);
}

namespace {

// Asks the server to stop the statement running on the connection. A
// request that comes too late finds the session idle and is ignored there.
void cancelStatement(PGconn* pg) {
    struct CancelDeleter {
        void operator()(PGcancel* c) const noexcept { PQfreeCancel(c); }
    };
    std::unique_ptr<PGcancel, CancelDeleter> cancel(PQgetCancel(pg));
    char error[256];
    if (cancel) PQcancel(cancel.get(), error, static_cast<int>(sizeof error));
}

bool sameValue(const Column& a, size_t ra, const Column& b, size_t rb) {
    const bool na = a.isNull(ra), nb = b.isNull(rb);
    if (na || nb) return na == nb;
    switch (a.kind()) {
        case FieldKind::Text:
        case FieldKind::LongText: return a.text(ra) == b.text(rb);
        case FieldKind::Boolean: return a.boolean(ra) == b.boolean(rb);
        case FieldKind::Integer: return a.integer(ra) == b.integer(rb);
        case FieldKind::Double: return a.number(ra) == b.number(rb);
        case FieldKind::Date: return a.date(ra) == b.date(rb);
        case FieldKind::DateTime: return a.dateTime(ra) == b.dateTime(rb);
    }
    return false;
}

std::string trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

// ---------------------------------------------------------------------------

Query::Query(std::string name, Connection& connection, std::string sql, std::vector<FieldDef> fields,
             std::vector<std::string> keyFields)
    : name_(std::move(name)),
      connection_(connection),
      sql_(std::move(sql)),
      translated_(translateNamedParameters(sql_)),
      fields_(std::move(fields)),
      params_(translated_.names) {
    for (const auto& entry : keyFields) {
        size_t start = 0;
        while (start <= entry.size()) {
            size_t end = entry.find(';', start);
            if (end == std::string::npos) end = entry.size();
            std::string key = trimmed(std::string_view(entry).substr(start, end - start));
            if (!key.empty()) keyFields_.push_back(std::move(key));
            start = end + 1;
        }
    }
    for (const auto& key : keyFields_) {
        const int index = fieldIndex(key);
        if (index < 0) throw Error(name_ + ": Field '" + key + "' not found");
        keyIndexes_.push_back(static_cast<size_t>(index));
    }
}

Query::~Query() = default;

int Query::fieldIndex(std::string_view name) const {
    for (size_t i = 0; i < fields_.size(); ++i)
        if (detail::equalsIgnoreCase(fields_[i].name, name)) return static_cast<int>(i);
    return -1;
}

const Column& Query::column(std::string_view name) const {
    const int index = fieldIndex(name);
    if (index < 0) throw Error(name_ + ": Field '" + std::string(name) + "' not found");
    if (!active_) throw Error(name_ + ": Query is not open");
    return columns_[static_cast<size_t>(index)];
}

void Query::execute(std::vector<Column>& columns, size_t& rows) {
    columns.assign(fields_.size(), Column{});
    rows = 0;
    Connection::Use use(connection_);
    PGconn* pg = use.native();
    const detail::BoundParams bound(params_);
    if (PQsendQueryParams(pg, translated_.sql.c_str(), bound.count(), bound.types.data(), bound.values.data(),
                          nullptr, nullptr, 0) == 0)
        throw Error(detail::connectionMessage(pg));
    // Rows arrive one by one and go straight into the column store, so the
    // whole result never sits in memory twice.
    PQsetSingleRowMode(pg);

    std::vector<ColumnBuilder> builders;
    bool described = false;
    bool cancelled = false;
    std::optional<Error> failure;
    // Every result is read to the end, even after a failure, so that the
    // connection is ready for the next statement. When rows are still coming
    // after a failure of ours (a column check, a value out of range), the
    // server is asked to stop sending them.
    while (detail::ResultPtr res{PQgetResult(pg)}) {
        if (failure) {
            if (!cancelled && PQresultStatus(res.get()) == PGRES_SINGLE_TUPLE) {
                cancelled = true;
                cancelStatement(pg);
            }
            continue;
        }
        try {
            const ExecStatusType status = PQresultStatus(res.get());
            if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) {
                if (!described) {
                    described = true;
                    builders.reserve(fields_.size());
                    const int nfields = PQnfields(res.get());
                    for (size_t f = 0; f < fields_.size(); ++f) {
                        const FieldDef& def = fields_[f];
                        int found = -1;
                        for (int i = 0; i < nfields && found < 0; ++i)
                            if (detail::equalsIgnoreCase(PQfname(res.get(), i), def.name)) found = i;
                        if (found < 0) throw Error(name_ + ": Field '" + def.name + "' not found");
                        const Oid type = PQftype(res.get(), found);
                        if (!accepts(def.kind, type))
                            throw Error(name_ + ": Type mismatch for field '" + def.name +
                                        "', expecting: " + std::string(kindName(def.kind)) +
                                        " actual: " + typeName(type));
                        builders.emplace_back(columns[f], def.kind, &name_, &def.name, found);
                    }
                }
                const int ntuples = PQntuples(res.get());
                for (int t = 0; t < ntuples; ++t) {
                    for (auto& b : builders) {
                        const int i = b.resultIndex();
                        b.append(PQgetvalue(res.get(), t, i), static_cast<size_t>(PQgetlength(res.get(), t, i)),
                                 PQgetisnull(res.get(), t, i) != 0);
                    }
                    ++rows;
                }
            } else if (status == PGRES_COMMAND_OK || status == PGRES_EMPTY_QUERY) {
                // A statement without a result set delivers none of the fields.
                if (!described && !fields_.empty())
                    throw Error(name_ + ": Field '" + fields_.front().name + "' not found");
                described = true;
            } else {
                detail::throwResultError(res.get(), pg);
            }
        } catch (const Error& e) {
            failure.emplace(e);
        }
    }
    if (failure) throw *failure;
    if (!described) throw Error(detail::connectionMessage(pg));
    for (auto& b : builders) b.finish();
}

void Query::open() {
    if (active_) return;
    std::vector<Column> columns;
    size_t rows = 0;
    execute(columns, rows);
    columns_ = std::move(columns);
    rows_ = rows;
    current_ = rows_ > 0 ? 0 : -1;
    active_ = true;
    notify(Event::Opened);
}

void Query::close() {
    if (!active_) return;
    active_ = false;
    columns_.clear();
    columns_.shrink_to_fit();
    rows_ = 0;
    current_ = -1;
    notify(Event::Closed);
}

void Query::refresh() {
    if (!active_) throw Error(name_ + ": Query is not open");
    std::vector<Column> columns;
    size_t rows = 0;
    execute(columns, rows);
    long found = rows > 0 ? 0 : -1;
    if (current_ >= 0 && rows > 0 && !keyIndexes_.empty()) {
        const auto old = static_cast<size_t>(current_);
        for (size_t r = 0; r < rows; ++r) {
            bool same = true;
            for (size_t k : keyIndexes_) {
                if (!sameValue(columns_[k], old, columns[k], r)) {
                    same = false;
                    break;
                }
            }
            if (same) {
                found = static_cast<long>(r);
                break;
            }
        }
    }
    columns_ = std::move(columns);
    rows_ = rows;
    current_ = found;
    notify(Event::Refreshed);
}

void Query::setRecNo(long row) {
    if (rows_ == 0) return;
    const long last = static_cast<long>(rows_) - 1;
    row = std::clamp(row, 0L, last);
    if (row == current_) return;
    current_ = row;
    notify(Event::CurrentChanged);
}

void Query::first() {
    setRecNo(0);
}

void Query::next() {
    if (current_ >= 0 && static_cast<size_t>(current_) + 1 < rows_) setRecNo(current_ + 1);
}

const Column& Query::currentColumn(std::string_view field, size_t& row, bool& hasRow) const {
    const int index = fieldIndex(field);
    if (index < 0) throw Error(name_ + ": Field '" + std::string(field) + "' not found");
    if (!active_) throw Error(name_ + ": Query is not open");
    hasRow = current_ >= 0;
    row = hasRow ? static_cast<size_t>(current_) : 0;
    return columns_[static_cast<size_t>(index)];
}

bool Query::isNull(std::string_view field) const {
    size_t row = 0;
    bool hasRow = false;
    const Column& c = currentColumn(field, row, hasRow);
    return !hasRow || c.isNull(row);
}

std::string Query::asString(std::string_view field) const {
    size_t row = 0;
    bool hasRow = false;
    const Column& c = currentColumn(field, row, hasRow);
    return hasRow ? c.asString(row) : std::string();
}

size_t Query::memoryBytes() const {
    size_t total = 0;
    for (const auto& c : columns_) total += c.memoryBytes();
    return total;
}

int Query::addListener(std::function<void(Event)> listener) {
    const int id = nextListener_++;
    listeners_.emplace_back(id, std::move(listener));
    return id;
}

void Query::removeListener(int id) {
    std::erase_if(listeners_, [id](const auto& l) { return l.first == id; });
}

void Query::notify(Event e) {
    // A listener may add or remove listeners; each one present now and still
    // registered when its turn comes is called once.
    std::vector<int> ids;
    ids.reserve(listeners_.size());
    for (const auto& l : listeners_) ids.push_back(l.first);
    for (int id : ids) {
        auto it = std::find_if(listeners_.begin(), listeners_.end(), [id](const auto& l) { return l.first == id; });
        if (it == listeners_.end()) continue;
        auto listener = it->second;
        listener(e);
    }
}

}  // namespace db
