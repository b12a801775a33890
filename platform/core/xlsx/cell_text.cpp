#include "cell_text.h"

#include "utf8.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>

namespace xlsx {
namespace {

constexpr int64_t kNanoDay = 1'000'000'000;   // a day in units of 1e-9 day
constexpr int64_t kMsPerDay = 86'400'000;

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isXmlSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isXmlSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Whole days and milliseconds of the day of an in-range serial date, rounded
// to nine decimals first and then to the millisecond.
struct DayAndTime {
    int64_t days;
    int64_t ms;
};

bool inDateRange(double value, bool date1904, double& shifted) {
    if (!(value >= 0)) return false;  // negative, or NaN
    shifted = date1904 ? value + k1904Offset : value;
    return shifted <= kMaxSerialDate;
}

DayAndTime split(double serial) {
    const auto nano = static_cast<int64_t>(std::llround(serial * static_cast<double>(kNanoDay)));
    DayAndTime r{nano / kNanoDay, 0};
    const int64_t frac = nano % kNanoDay;
    r.ms = (frac * 864 + 5000) / 10000;  // frac * 86,400,000 / 1e9, rounded
    if (r.ms >= kMsPerDay) {
        ++r.days;
        r.ms -= kMsPerDay;
    }
    return r;
}

std::string timeOfDay(int64_t ms, const regional::Settings& s) {
    const auto secs = static_cast<int>(ms / 1000);
    return regional::formatTime(secs / 3600, secs / 60 % 60, secs % 60, s);
}

void appendUtf8(std::string& out, uint32_t cp) { text::appendUtf8(out, cp); }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "_xHHHH_" at text[i]: the code unit, or -1.
int32_t escapeAt(std::string_view text, size_t i) {
    if (text.size() - i < 7 || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') return -1;
    int32_t v = 0;
    for (size_t k = 2; k < 6; ++k) {
        const int h = hexValue(text[i + k]);
        if (h < 0) return -1;
        v = v * 16 + h;
    }
    return v;
}

bool readInt(std::string_view s, size_t& pos, size_t digits, int& out) {
    if (s.size() - pos < digits) return false;
    int v = 0;
    for (size_t k = 0; k < digits; ++k) {
        const char c = s[pos + k];
        if (!isDigit(c)) return false;
        v = v * 10 + (c - '0');
    }
    pos += digits;
    out = v;
    return true;
}

// hh:mm[:ss[.fff]] from pos; the seconds of the day with their fraction.
bool readTime(std::string_view s, size_t& pos, double& seconds) {
    int h = 0, m = 0, sec = 0;
    if (!readInt(s, pos, 2, h) || pos >= s.size() || s[pos] != ':') return false;
    ++pos;
    if (!readInt(s, pos, 2, m)) return false;
    double frac = 0;
    if (pos < s.size() && s[pos] == ':') {
        ++pos;
        if (!readInt(s, pos, 2, sec)) return false;
        if (pos < s.size() && (s[pos] == '.' || s[pos] == ',')) {
            ++pos;
            double scale = 0.1;
            const size_t start = pos;
            while (pos < s.size() && isDigit(s[pos])) {
                frac += (s[pos] - '0') * scale;
                scale /= 10;
                ++pos;
            }
            if (pos == start) return false;
        }
    }
    if (h > 23 || m > 59 || sec > 59) return false;
    seconds = h * 3600.0 + m * 60.0 + sec + frac;
    return true;
}

bool readZone(std::string_view s, size_t& pos) {
    if (pos == s.size()) return true;
    if (s[pos] == 'Z' || s[pos] == 'z') return ++pos == s.size();
    if (s[pos] != '+' && s[pos] != '-') return false;
    ++pos;
    int h = 0, m = 0;
    if (!readInt(s, pos, 2, h)) return false;
    if (pos < s.size() && s[pos] == ':') ++pos;
    if (pos < s.size() && !readInt(s, pos, 2, m)) return false;
    return pos == s.size() && h <= 23 && m <= 59;
}

}  // namespace

std::string generalNumberText(double value, const regional::Settings& settings) {
    return regional::formatGeneralNumber(value, settings, 15);
}

std::string dateText(double value, bool date1904, const regional::Settings& s) {
    double serial = 0;
    if (!inDateRange(value, date1904, serial)) return generalNumberText(value, s);
    const DayAndTime dt = split(serial);
    using namespace std::chrono;
    const year_month_day ymd{sys_days{year{1899} / December / 30} + days{dt.days}};
    std::string out = regional::formatDate(ymd, s);
    if (dt.ms != 0) {
        out.push_back(' ');
        out += timeOfDay(dt.ms, s);
    }
    return out;
}

std::string timeText(double value, bool date1904, const regional::Settings& s) {
    double serial = 0;
    if (!inDateRange(value, date1904, serial)) return generalNumberText(value, s);
    return timeOfDay(split(serial).ms, s);
}

NumberParse parseNumber(std::string_view text, double& value) {
    std::string_view s = trim(text);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s.front() == '-') return NumberParse::Invalid;
    }
    // The shape first: from_chars alone would take "inf", "nan" and hex.
    size_t i = 0;
    const bool negative = i < s.size() && s[i] == '-';
    if (negative) ++i;
    size_t mantissaDigits = 0;
    int64_t leadExponent = 0;  // decimal exponent of the first significant digit
    bool seenNonZero = false, seenPoint = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (isDigit(c)) {
            ++mantissaDigits;
            if (c != '0' && !seenNonZero) seenNonZero = true;
            if (seenNonZero && !seenPoint) ++leadExponent;
            if (!seenNonZero && seenPoint) --leadExponent;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) return NumberParse::Invalid;
    int64_t exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) expNegative = s[i++] == '-';
        const size_t start = i;
        for (; i < s.size() && isDigit(s[i]); ++i)
            if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');
        if (i == start) return NumberParse::Invalid;
        if (expNegative) exponent = -exponent;
    }
    if (i != s.size()) return NumberParse::Invalid;

    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        if (seenNonZero && leadExponent + exponent > 0) return NumberParse::TooLarge;
        value = negative ? -0.0 : 0.0;
        return NumberParse::Ok;
    }
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return NumberParse::Invalid;
    if (!std::isfinite(v)) return NumberParse::TooLarge;
    value = v;
    return NumberParse::Ok;
}

bool parseIsoDateTime(std::string_view text, double& serial, bool& timeOnly) {
    const std::string_view s = trim(text);
    size_t pos = 0;
    double seconds = 0;
    if (s.size() >= 3 && s[2] == ':') {
        if (!readTime(s, pos, seconds) || !readZone(s, pos)) return false;
        timeOnly = true;
        serial = seconds / 86400.0;
        return true;
    }
    int y = 0, mo = 0, d = 0;
    if (!readInt(s, pos, 4, y) || pos >= s.size() || s[pos++] != '-') return false;
    if (!readInt(s, pos, 2, mo) || pos >= s.size() || s[pos++] != '-') return false;
    if (!readInt(s, pos, 2, d)) return false;
    using namespace std::chrono;
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)},
                             day{static_cast<unsigned>(d)}};
    if (!ymd.ok()) return false;
    if (pos < s.size() && (s[pos] == 'T' || s[pos] == 't' || s[pos] == ' ')) {
        ++pos;
        if (!readTime(s, pos, seconds)) return false;
    }
    if (!readZone(s, pos)) return false;
    const auto dayNumber = (sys_days{ymd} - sys_days{year{1899} / December / 30}).count();
    timeOnly = false;
    serial = static_cast<double>(dayNumber) + seconds / 86400.0;
    return true;
}

void decodeEscapes(std::string& text) {
    size_t first = text.find("_x");
    if (first == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    out.append(text, 0, first);
    for (size_t i = first; i < text.size();) {
        const int32_t unit = escapeAt(text, i);
        if (unit < 0) {
            out.push_back(text[i++]);
            continue;
        }
        i += 7;
        uint32_t cp = static_cast<uint32_t>(unit);
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            const int32_t low = i < text.size() ? escapeAt(text, i) : -1;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint32_t>(low) - 0xDC00);
                i += 7;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    text = std::move(out);
}

size_t textLength(std::string_view utf8) {
    size_t n = 0;
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80) ++n;
        if (c >= 0xF0) ++n;  // a surrogate pair in UTF-16
    }
    return n;
}

std::string_view errorText(std::string_view stored) {
    static constexpr std::array<std::string_view, 7> kErrors = {
        "#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A"};
    for (std::string_view e : kErrors) {
        if (e.size() != stored.size()) continue;
        bool same = true;
        for (size_t i = 0; i < e.size() && same; ++i) {
            char c = stored[i];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            same = c == e[i];
        }
        if (same) return e;
    }
    return stored;
}

std::string cellName(int row, int column) {
    std::string letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

}  // namespace xlsx
