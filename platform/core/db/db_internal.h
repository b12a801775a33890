// Helpers shared by the access layer's sources; not part of its interface.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <libpq-fe.h>

#include "db.h"

namespace db::detail {

struct ResultDeleter {
    void operator()(PGresult* r) const noexcept { PQclear(r); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultDeleter>;

char asciiLower(char c);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// Proleptic Gregorian calendar; year 0 is 1 BC.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d);
int32_t daysFromCivil(std::chrono::year_month_day ymd);   // throws db::Error when !ok()
void civilFromDays(int64_t days, int64_t& y, unsigned& m, unsigned& d);

// The server's ISO output ("2024-03-15", "0044-03-15 BC", "infinity").
bool parseDate(std::string_view s, int32_t& days);
// "2024-03-15 14:30:00", with optional ".ffffff", an optional UTC offset
// ("+02", "-03:30", "+01:44:24", dropped) and an optional " BC".
bool parseDateTime(std::string_view s, int64_t& micros);
std::string formatDate(int32_t days);
std::string formatDateTime(int64_t micros);

// The message of a failed libpq call on the connection, trailing newlines and
// blanks removed.
std::string connectionMessage(const PGconn* conn);
// Throws db::Error for a result that is not a success: the server's primary
// message with its SQLSTATE, detail and hint, or libpq's own text.
[[noreturn]] void throwResultError(const PGresult* res, const PGconn* conn);
std::string trimTrailing(std::string s);

}  // namespace db::detail

#include <vector>

namespace db::detail {

// Parameter values and types as libpq takes them: text parameters with type
// 0 (the server infers the type as for a literal), date parameters as date.
struct BoundParams {
    explicit BoundParams(const Params& params);
    int count() const { return static_cast<int>(values.size()); }
    std::vector<const char*> values;
    std::vector<Oid> types;
};

}  // namespace db::detail
