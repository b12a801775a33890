// Errors, named parameters and their translation to libpq's positional form.
#include "db.h"

#include "db_internal.h"

#include <algorithm>
#include <charconv>

namespace db {

Error::Error(const std::string& message, std::string sqlstate)
    : std::runtime_error(message), sqlstate_(std::move(sqlstate)) {}

Error::Error(const std::string& message, std::string sqlstate, std::string detail, std::string hint)
    : std::runtime_error(message),
      sqlstate_(std::move(sqlstate)),
      detail_(std::move(detail)),
      hint_(std::move(hint)) {}

namespace detail {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

}  // namespace detail

namespace {

using detail::asciiLower;

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9');
}

// Characters that may continue an SQL identifier or keyword (the server also
// takes "$" and every byte of a multi-byte character).
bool isIdentChar(char c) {
    return isNameChar(c) || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// Length of the dollar-quote opener at sql[i] ("$$", "$body$"), 0 when there
// is none there. A tag is an identifier without "$"; "$1" is not an opener.
size_t dollarTagLength(std::string_view sql, size_t i) {
    size_t j = i + 1;
    if (j < sql.size() && sql[j] == '$') return 2;
    if (j >= sql.size() || !(isNameStart(sql[j]) || static_cast<unsigned char>(sql[j]) >= 0x80))
        return 0;
    while (j < sql.size() && (isNameChar(sql[j]) || static_cast<unsigned char>(sql[j]) >= 0x80)) ++j;
    if (j < sql.size() && sql[j] == '$') return j - i + 1;
    return 0;
}

}  // namespace

TranslatedSql translateNamedParameters(std::string_view sql) {
    TranslatedSql out;
    out.sql.reserve(sql.size() + 8);
    std::vector<std::string> lowered;
    const size_t n = sql.size();
    size_t i = 0;
    auto copyUntil = [&](size_t end) {
        out.sql.append(sql.substr(i, end - i));
        i = end;
    };
    while (i < n) {
        const char c = sql[i];
        if (c == '\'') {
            // A string literal. An E'' string also escapes with backslashes.
            const bool escapes = i > 0 && (sql[i - 1] == 'E' || sql[i - 1] == 'e') &&
                                 (i < 2 || !isIdentChar(sql[i - 2]));
            size_t j = i + 1;
            while (j < n) {
                if (escapes && sql[j] == '\\') {
                    j += 2;
                } else if (sql[j] == '\'') {
                    if (j + 1 < n && sql[j + 1] == '\'') {
                        j += 2;
                    } else {
                        ++j;
                        break;
                    }
                } else {
                    ++j;
                }
            }
            copyUntil(std::min(j, n));
        } else if (c == '"') {
            size_t j = i + 1;
            while (j < n) {
                if (sql[j] == '"') {
                    if (j + 1 < n && sql[j + 1] == '"') {
                        j += 2;
                    } else {
                        ++j;
                        break;
                    }
                } else {
                    ++j;
                }
            }
            copyUntil(std::min(j, n));
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            size_t j = sql.find('\n', i);
            copyUntil(j == std::string_view::npos ? n : j);
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            int depth = 1;
            size_t j = i + 2;
            while (j < n && depth > 0) {
                if (sql[j] == '/' && j + 1 < n && sql[j + 1] == '*') {
                    ++depth;
                    j += 2;
                } else if (sql[j] == '*' && j + 1 < n && sql[j + 1] == '/') {
                    --depth;
                    j += 2;
                } else {
                    ++j;
                }
            }
            copyUntil(j);
        } else if (c == '$' && (i == 0 || !isIdentChar(sql[i - 1])) && dollarTagLength(sql, i) > 0) {
            const size_t tagLen = dollarTagLength(sql, i);
            const std::string_view tag = sql.substr(i, tagLen);
            const size_t close = sql.find(tag, i + tagLen);
            copyUntil(close == std::string_view::npos ? n : close + tagLen);
        } else if (c == ':' && i + 1 < n && sql[i + 1] == ':') {
            copyUntil(i + 2);
        } else if (c == ':' && i + 1 < n && isNameStart(sql[i + 1])) {
            size_t j = i + 1;
            while (j < n && isNameChar(sql[j])) ++j;
            const std::string_view name = sql.substr(i + 1, j - i - 1);
            std::string lower(name);
            std::transform(lower.begin(), lower.end(), lower.begin(), asciiLower);
            auto it = std::find(lowered.begin(), lowered.end(), lower);
            size_t index = static_cast<size_t>(it - lowered.begin());
            if (it == lowered.end()) {
                lowered.push_back(std::move(lower));
                out.names.emplace_back(name);
            }
            char digits[24];
            auto [end, ec] = std::to_chars(digits, digits + sizeof digits, index + 1);
            (void)ec;
            out.sql.push_back('$');
            out.sql.append(digits, end);
            i = j;
        } else {
            out.sql.push_back(c);
            ++i;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------

void Param::setText(std::string value) {
    value_ = std::move(value);
}

void Param::setDate(std::chrono::year_month_day value) {
    kind_ = ParamKind::Date;
    value_ = detail::formatDate(detail::daysFromCivil(value));
}

void Param::setNull() {
    value_.reset();
}

Params::Params(const std::vector<std::string>& names) {
    list_.reserve(names.size());
    for (const auto& name : names) list_.emplace_back(name, ParamKind::Text);
}

Param* Params::find(std::string_view name) {
    for (auto& p : list_)
        if (detail::equalsIgnoreCase(p.name(), name)) return &p;
    return nullptr;
}

Param& Params::byName(std::string_view name) {
    if (Param* p = find(name)) return *p;
    throw Error("Parameter '" + std::string(name) + "' not found");
}

const Param& Params::byName(std::string_view name) const {
    for (const auto& p : list_)
        if (detail::equalsIgnoreCase(p.name(), name)) return p;
    throw Error("Parameter '" + std::string(name) + "' not found");
}

void Params::setKind(std::string_view name, ParamKind kind) {
    Param& p = byName(name);
    std::optional<std::string> value = p.value();
    p = Param(p.name(), kind);
    if (value) p.setText(std::move(*value));
}

}  // namespace db
