#include "regional.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace regional {
namespace {

std::optional<Settings>& overrideSlot() {
    static std::optional<Settings> slot;
    return slot;
}

constexpr std::array<const char*, 12> kMonths = {"January", "February", "March",     "April",
                                                 "May",     "June",     "July",      "August",
                                                 "September", "October", "November", "December"};
constexpr std::array<const char*, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};

void two(std::string& out, int v) {
    out.push_back(static_cast<char>('0' + (v / 10) % 10));
    out.push_back(static_cast<char>('0' + v % 10));
}

void digits(std::string& out, int v, int width) {
    char buf[16];
    int n = 0;
    bool neg = v < 0;
    unsigned u = neg ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
    do {
        buf[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    while (n < width) buf[n++] = '0';
    if (neg) out.push_back('-');
    while (n > 0) out.push_back(buf[--n]);
}

}  // namespace

Settings current() {
    if (overrideSlot()) return *overrideSlot();
    return platformSettings();
}

void setOverride(std::optional<Settings> settings) { overrideSlot() = std::move(settings); }

std::string formatPattern(std::string_view pattern, std::chrono::year_month_day date, int hour,
                          int minute, int second, const Settings& s) {
    std::string out;
    out.reserve(pattern.size() + 8);
    const int y = static_cast<int>(date.year());
    const int m = static_cast<int>(static_cast<unsigned>(date.month()));
    const int d = static_cast<int>(static_cast<unsigned>(date.day()));
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c != '%' || i + 1 == pattern.size()) {
            out.push_back(c);
            continue;
        }
        char f = pattern[++i];
        // glibc flag characters that change padding; honour '-' (no padding).
        bool noPad = false;
        while ((f == '-' || f == '_' || f == '0' || f == 'E' || f == 'O') && i + 1 < pattern.size()) {
            if (f == '-') noPad = true;
            f = pattern[++i];
        }
        auto num2 = [&](int v) { noPad ? digits(out, v, 1) : two(out, v); };
        switch (f) {
            case 'd': num2(d); break;
            case 'e': if (!noPad && d < 10) out.push_back(' '); digits(out, d, 1); break;
            case 'm': num2(m); break;
            case 'Y': digits(out, y, 4); break;
            case 'y': two(out, ((y % 100) + 100) % 100); break;
            case 'C': two(out, y / 100); break;
            case 'H': num2(hour); break;
            case 'k': if (hour < 10) out.push_back(' '); digits(out, hour, 1); break;
            case 'I': num2(hour % 12 == 0 ? 12 : hour % 12); break;
            case 'l': { int h = hour % 12 == 0 ? 12 : hour % 12; if (h < 10) out.push_back(' '); digits(out, h, 1); break; }
            case 'M': num2(minute); break;
            case 'S': num2(second); break;
            case 'p': out += hour < 12 ? s.amText : s.pmText; break;
            case 'P': { std::string t = hour < 12 ? s.amText : s.pmText; for (auto& ch : t) if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a'); out += t; break; }
            case 'T': two(out, hour); out.push_back(':'); two(out, minute); out.push_back(':'); two(out, second); break;
            case 'R': two(out, hour); out.push_back(':'); two(out, minute); break;
            case 'r': two(out, hour % 12 == 0 ? 12 : hour % 12); out.push_back(':'); two(out, minute); out.push_back(':'); two(out, second); out.push_back(' '); out += hour < 12 ? s.amText : s.pmText; break;
            case 'D': two(out, m); out.push_back('/'); two(out, d); out.push_back('/'); two(out, ((y % 100) + 100) % 100); break;
            case 'F': digits(out, y, 4); out.push_back('-'); two(out, m); out.push_back('-'); two(out, d); break;
            case 'B': out += kMonths[static_cast<size_t>(m - 1)]; break;
            case 'b': case 'h': out.append(kMonths[static_cast<size_t>(m - 1)], 3); break;
            case 'A': case 'a': {
                auto wd = std::chrono::weekday(std::chrono::sys_days(date)).c_encoding();
                if (f == 'A') out += kDays[wd]; else out.append(kDays[wd], 3);
                break;
            }
            case 'n': out.push_back('\n'); break;
            case 't': out.push_back('\t'); break;
            case '%': out.push_back('%'); break;
            default: out.push_back('%'); out.push_back(f); break;
        }
    }
    return out;
}

std::string formatGeneralNumber(double value, const Settings& s, int significantDigits) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";
    if (significantDigits < 1) significantDigits = 1;
    if (significantDigits > 17) significantDigits = 17;
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific,
                           significantDigits - 1);
    std::string_view sci(buf, static_cast<size_t>(r.ptr - buf));
    bool negative = false;
    if (!sci.empty() && sci.front() == '-') {
        negative = true;
        sci.remove_prefix(1);
    }
    const size_t ePos = sci.find('e');
    std::string digitsOnly;
    for (char c : sci.substr(0, ePos))
        if (c >= '0' && c <= '9') digitsOnly.push_back(c);
    int exponent = 0;
    std::string_view expText = sci.substr(ePos + 1);
    if (!expText.empty() && expText.front() == '+') expText.remove_prefix(1);
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
    while (digitsOnly.size() > 1 && digitsOnly.back() == '0') digitsOnly.pop_back();
    if (digitsOnly == "0") return "0";

    std::string out;
    if (negative) out.push_back('-');
    if (exponent >= -4 && exponent <= 14) {
        if (exponent < 0) {
            out += "0";
            out += s.decimalSeparator;
            out.append(static_cast<size_t>(-exponent - 1), '0');
            out += digitsOnly;
        } else {
            const auto intDigits = static_cast<size_t>(exponent) + 1;
            if (digitsOnly.size() <= intDigits) {
                out += digitsOnly;
                out.append(intDigits - digitsOnly.size(), '0');
            } else {
                out.append(digitsOnly, 0, intDigits);
                out += s.decimalSeparator;
                out.append(digitsOnly, intDigits, std::string::npos);
            }
        }
        return out;
    }
    out.push_back(digitsOnly[0]);
    if (digitsOnly.size() > 1) {
        out += s.decimalSeparator;
        out.append(digitsOnly, 1, std::string::npos);
    }
    out.push_back('E');
    if (exponent < 0) out.push_back('-');
    out += std::to_string(exponent < 0 ? -exponent : exponent);
    return out;
}

std::string formatDate(std::chrono::year_month_day date, const Settings& s) {
    return formatPattern(s.shortDateFormat, date, 0, 0, 0, s);
}

std::string formatTime(int hour, int minute, int second, const Settings& s) {
    return formatPattern(s.longTimeFormat, std::chrono::year_month_day{std::chrono::year{2000},
                                                                        std::chrono::January,
                                                                        std::chrono::day{1}},
                         hour, minute, second, s);
}

std::string formatDateTime(std::chrono::year_month_day date, int hour, int minute, int second,
                           const Settings& s) {
    std::string out = formatDate(date, s);
    if (hour != 0 || minute != 0 || second != 0) {
        out.push_back(' ');
        out += formatTime(hour, minute, second, s);
    }
    return out;
}

}  // namespace regional
