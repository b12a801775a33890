// Calendar arithmetic and the server's ISO date and time texts, without the C
// library's locale.
#include "db.h"
#include "db_internal.h"

#include <charconv>

namespace db::detail {

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = m > 2 ? m - 3 : m + 9;
    const int64_t doy = (153 * mp + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int32_t daysFromCivil(std::chrono::year_month_day ymd) {
    if (!ymd.ok()) throw Error("Invalid date");
    return static_cast<int32_t>(daysFromCivil(static_cast<int>(ymd.year()),
                                              static_cast<unsigned>(ymd.month()),
                                              static_cast<unsigned>(ymd.day())));
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

namespace {

constexpr int64_t kMicrosPerDay = 86400LL * 1000000LL;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Exactly `count` digits at s[pos].
bool fixedDigits(std::string_view s, size_t pos, size_t count, unsigned& value) {
    if (pos + count > s.size()) return false;
    unsigned v = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (!isDigit(s[i])) return false;
        v = v * 10 + static_cast<unsigned>(s[i] - '0');
    }
    value = v;
    return true;
}

// "YYYY-MM-DD" (a year of four digits or more) at the start of s; pos is left
// after it.
bool parseDatePart(std::string_view s, size_t& pos, int64_t& y, unsigned& m, unsigned& d) {
    size_t i = 0;
    while (i < s.size() && isDigit(s[i])) ++i;
    if (i < 4 || i > 9) return false;
    int64_t year = 0;
    std::from_chars(s.data(), s.data() + i, year);
    if (i >= s.size() || s[i] != '-') return false;
    if (!fixedDigits(s, i + 1, 2, m) || i + 3 >= s.size() || s[i + 3] != '-') return false;
    if (!fixedDigits(s, i + 4, 2, d)) return false;
    if (m < 1 || m > 12 || d < 1 || d > 31) return false;
    y = year;
    pos = i + 6;
    return true;
}

bool endsWithBc(std::string_view& s) {
    if (s.size() >= 3 && s.substr(s.size() - 3) == " BC") {
        s.remove_suffix(3);
        return true;
    }
    return false;
}

}  // namespace

bool parseDate(std::string_view s, int32_t& days) {
    if (s == "infinity") {
        days = Column::kDateInfinity;
        return true;
    }
    if (s == "-infinity") {
        days = Column::kDateMinusInfinity;
        return true;
    }
    const bool bc = endsWithBc(s);
    size_t pos = 0;
    int64_t y = 0;
    unsigned m = 0, d = 0;
    if (!parseDatePart(s, pos, y, m, d) || pos != s.size()) return false;
    if (bc) y = 1 - y;
    const int64_t v = daysFromCivil(y, m, d);
    if (v <= Column::kDateMinusInfinity || v >= Column::kDateInfinity) return false;
    days = static_cast<int32_t>(v);
    return true;
}

bool parseDateTime(std::string_view s, int64_t& micros) {
    if (s == "infinity") {
        micros = Column::kDateTimeInfinity;
        return true;
    }
    if (s == "-infinity") {
        micros = Column::kDateTimeMinusInfinity;
        return true;
    }
    const bool bc = endsWithBc(s);
    size_t pos = 0;
    int64_t y = 0;
    unsigned mo = 0, d = 0;
    if (!parseDatePart(s, pos, y, mo, d)) return false;
    unsigned hh = 0, mi = 0, ss = 0;
    if (pos >= s.size() || s[pos] != ' ') return false;
    if (!fixedDigits(s, pos + 1, 2, hh) || pos + 3 >= s.size() || s[pos + 3] != ':') return false;
    if (!fixedDigits(s, pos + 4, 2, mi) || pos + 6 >= s.size() || s[pos + 6] != ':') return false;
    if (!fixedDigits(s, pos + 7, 2, ss)) return false;
    if (hh > 24 || mi > 59 || ss > 60) return false;
    pos += 9;
    int64_t fraction = 0;
    if (pos < s.size() && s[pos] == '.') {
        ++pos;
        int digits = 0;
        while (pos < s.size() && isDigit(s[pos])) {
            if (digits < 6) {
                fraction = fraction * 10 + (s[pos] - '0');
                ++digits;
            }
            ++pos;
        }
        if (digits == 0) return false;
        for (; digits < 6; ++digits) fraction *= 10;
    }
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
        // The session's UTC offset: the wall clock is kept as the server wrote it.
        ++pos;
        unsigned part = 0;
        if (!fixedDigits(s, pos, 2, part)) return false;
        pos += 2;
        while (pos < s.size() && s[pos] == ':') {
            if (!fixedDigits(s, pos + 1, 2, part)) return false;
            pos += 3;
        }
    }
    if (pos != s.size()) return false;
    if (bc) y = 1 - y;
    const int64_t days = daysFromCivil(y, mo, d);
    // Beyond about 290,000 years the microseconds would not fit; the server's
    // range ends far earlier (year 294276).
    if (days > 106000000LL || days < -106000000LL) return false;
    micros = days * kMicrosPerDay + ((static_cast<int64_t>(hh) * 60 + mi) * 60 + ss) * 1000000LL + fraction;
    return true;
}

namespace {

void appendPadded(std::string& out, int64_t value, int width) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    for (auto len = static_cast<int>(end - buf); len < width; ++len) out.push_back('0');
    out.append(buf, end);
}

void appendDate(std::string& out, int64_t days) {
    int64_t y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(days, y, m, d);
    if (y < 0) {
        out.push_back('-');
        y = -y;
    }
    appendPadded(out, y, 4);
    out.push_back('-');
    appendPadded(out, m, 2);
    out.push_back('-');
    appendPadded(out, d, 2);
}

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

std::string formatDate(int32_t days) {
    if (days == Column::kDateInfinity) return "infinity";
    if (days == Column::kDateMinusInfinity) return "-infinity";
    std::string out;
    out.reserve(10);
    appendDate(out, days);
    return out;
}

std::string formatDateTime(int64_t micros) {
    if (micros == Column::kDateTimeInfinity) return "infinity";
    if (micros == Column::kDateTimeMinusInfinity) return "-infinity";
    const int64_t days = floorDiv(micros, kMicrosPerDay);
    int64_t rest = micros - days * kMicrosPerDay;
    std::string out;
    out.reserve(26);
    appendDate(out, days);
    const int64_t fraction = rest % 1000000;
    rest /= 1000000;
    out.push_back(' ');
    appendPadded(out, rest / 3600, 2);
    out.push_back(':');
    appendPadded(out, rest / 60 % 60, 2);
    out.push_back(':');
    appendPadded(out, rest % 60, 2);
    if (fraction != 0) {
        out.push_back('.');
        appendPadded(out, fraction, 6);
    }
    return out;
}

}  // namespace db::detail
