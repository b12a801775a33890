#include "number_format.h"

#include <vector>

namespace xlsx {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(std::string_view s, size_t at, std::string_view word) {
    if (s.size() - at < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (lower(s[at + i]) != lower(word[i])) return false;
    return true;
}

enum class Part : uint8_t { Day, Month, MonthOrMinute, Year, Era, Weekday, Hour, Minute, Second, SubSecond, AmPm };

bool isDatePart(Part p) {
    return p == Part::Day || p == Part::Month || p == Part::Year || p == Part::Era ||
           p == Part::Weekday;
}

// The first section: up to the first ";" that is not quoted, escaped or bracketed.
std::string_view firstSection(std::string_view code) {
    for (size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') {
            const size_t close = code.find('"', i + 1);
            if (close == std::string_view::npos) return code;
            i = close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            const size_t close = code.find(']', i + 1);
            if (close == std::string_view::npos) return code;
            i = close;
        } else if (c == ';') {
            return code.substr(0, i);
        }
    }
    return code;
}

// [h], [hh], [m], [mm], [s], [ss]: elapsed time.
bool elapsedPart(std::string_view inner, Part& part) {
    if (inner.empty()) return false;
    const char first = lower(inner[0]);
    if (first != 'h' && first != 'm' && first != 's') return false;
    for (char c : inner)
        if (lower(c) != first) return false;
    part = first == 'h' ? Part::Hour : first == 'm' ? Part::Minute : Part::Second;
    return true;
}

}  // namespace

FormatClass classifyFormatCode(std::string_view code) {
    const std::string_view s = firstSection(code);
    std::vector<Part> parts;
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        const char l = lower(c);
        if (c == '"') {
            const size_t close = s.find('"', i + 1);
            i = close == std::string_view::npos ? s.size() : close + 1;
            continue;
        }
        if (c == '\\' || c == '_' || c == '*') {
            i += 2;
            continue;
        }
        if (c == '[') {
            const size_t close = s.find(']', i + 1);
            if (close == std::string_view::npos) break;
            Part p{};
            if (elapsedPart(s.substr(i + 1, close - i - 1), p)) parts.push_back(p);
            i = close + 1;
            continue;
        }
        if (startsWithNoCase(s, i, "general")) {
            i += 7;
            continue;
        }
        if (startsWithNoCase(s, i, "am/pm")) {
            parts.push_back(Part::AmPm);
            i += 5;
            continue;
        }
        if (startsWithNoCase(s, i, "a/p")) {
            parts.push_back(Part::AmPm);
            i += 3;
            continue;
        }
        if (l == 'e' && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
            i += 2;  // a number's exponent
            continue;
        }
        size_t run = 1;
        while (i + run < s.size() && lower(s[i + run]) == l) ++run;
        switch (l) {
            case 'd': parts.push_back(Part::Day); break;
            case 'y': parts.push_back(Part::Year); break;
            case 'e': case 'g': case 'b': parts.push_back(Part::Era); break;
            case 'h': parts.push_back(Part::Hour); break;
            case 's': parts.push_back(Part::Second); break;
            case 'm': parts.push_back(Part::MonthOrMinute); break;
            case 'a':
                if (run >= 3) parts.push_back(Part::Weekday);
                break;
            case '.':
                // "ss.0", "ss.00": fractions of a second.
                if (!parts.empty() && parts.back() == Part::Second && i + run < s.size() &&
                    s[i + run] == '0') {
                    parts.push_back(Part::SubSecond);
                    while (i + run < s.size() && s[i + run] == '0') ++run;
                }
                break;
            default: break;
        }
        i += run;
    }
    if (parts.empty()) return FormatClass::Number;
    bool date = false;
    for (size_t k = 0; k < parts.size(); ++k) {
        Part p = parts[k];
        if (p == Part::MonthOrMinute) {
            const bool afterHour = k > 0 && parts[k - 1] == Part::Hour;
            const bool beforeSecond = k + 1 < parts.size() && parts[k + 1] == Part::Second;
            p = (afterHour || beforeSecond) ? Part::Minute : Part::Month;
        }
        if (isDatePart(p)) date = true;
    }
    return date ? FormatClass::Date : FormatClass::Time;
}

FormatClass builtinFormatClass(uint32_t id) {
    if ((id >= 14 && id <= 17) || id == 22) return FormatClass::Date;
    if ((id >= 18 && id <= 21) || (id >= 45 && id <= 47)) return FormatClass::Time;
    if (id == 32 || id == 33) return FormatClass::Time;
    if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58)) return FormatClass::Date;
    return FormatClass::Number;
}

}  // namespace xlsx
