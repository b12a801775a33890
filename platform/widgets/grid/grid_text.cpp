#include "grid_text.h"

#include "utf8.h"

#include <QChar>

#include <cmath>
#include <cstring>

namespace grid {

namespace {

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 when malformed.
size_t decodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    size_t len = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07u;
    } else {
        return 0;
    }
    if (i + len > text.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0u) != 0x80u) return 0;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

void encodeUtf8(char32_t cp, std::string& out) { text::appendUtf8(out, cp); }

void appendDigits(int value, int width, std::string& out) {
    char buf[16];
    int n = 0;
    unsigned v = value < 0 ? static_cast<unsigned>(-value) : static_cast<unsigned>(value);
    do {
        buf[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0) out.push_back('-');
    for (int k = n; k < width; ++k) out.push_back('0');
    while (n > 0) out.push_back(buf[--n]);
}

}  // namespace

void appendFolded(std::string_view text, std::string& out) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b));
            ++i;
            continue;
        }
        char32_t cp = 0;
        const size_t len = decodeUtf8(text, i, cp);
        if (len == 0) {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        encodeUtf8(QChar::toCaseFolded(cp), out);
        i += len;
    }
}

bool foldSameLength(std::string_view text, char* out) {
    const size_t n = text.size();
    const char* in = text.data();
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    size_t i = 0;
    while (i < n) {
        if (i + 8 <= n) {
            uint64_t w;
            std::memcpy(&w, in + i, 8);
            if ((w & kHigh) == 0) {
                // Eight ASCII bytes: set 0x20 on those from 'A' to 'Z'.
                const uint64_t geA = w + (0x80 - 'A') * kOnes;
                const uint64_t gtZ = w + (0x80 - 'Z' - 1) * kOnes;
                w |= ((geA ^ gtZ) & kHigh) >> 2;
                std::memcpy(out + i, &w, 8);
                i += 8;
                continue;
            }
        }
        const auto b = static_cast<unsigned char>(in[i]);
        if (b < 0x80) {
            out[i] = static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
            ++i;
            continue;
        }
        char32_t cp = 0;
        const size_t len = decodeUtf8(text, i, cp);
        if (len == 0) {
            out[i] = static_cast<char>(b);
            ++i;
            continue;
        }
        std::string enc;
        encodeUtf8(QChar::toCaseFolded(cp), enc);
        if (enc.size() != len) return false;
        std::memcpy(out + i, enc.data(), len);
        i += len;
    }
    return true;
}

std::string folded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendFolded(text, out);
    return out;
}

bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

DisplayFormat::DisplayFormat(std::string_view pattern) : pattern_(pattern) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    bool afterHour = false;
    size_t i = 0;
    auto literal = [&](std::string_view s) {
        if (!tokens_.empty() && tokens_.back().tok == Tok::Literal)
            tokens_.back().literal += s;
        else
            tokens_.push_back({Tok::Literal, std::string(s)});
    };
    while (i < pattern.size()) {
        const char c = lower(pattern[i]);
        size_t run = 1;
        while (i + run < pattern.size() && lower(pattern[i + run]) == c) ++run;
        if (c == '"' || c == '\'') {
            const size_t close = pattern.find(pattern[i], i + 1);
            const size_t end = close == std::string_view::npos ? pattern.size() : close;
            literal(pattern.substr(i + 1, end - i - 1));
            i = end == pattern.size() ? end : end + 1;
            continue;
        }
        switch (c) {
        case 'y':
            tokens_.push_back({run >= 3 ? Tok::Year4 : Tok::Year2, {}});
            break;
        case 'm':
            if (afterHour)
                tokens_.push_back({run >= 2 ? Tok::Minute2 : Tok::Minute1, {}});
            else
                tokens_.push_back({run >= 2 ? Tok::Month2 : Tok::Month1, {}});
            afterHour = false;
            break;
        case 'd':
            tokens_.push_back({run >= 2 ? Tok::Day2 : Tok::Day1, {}});
            break;
        case 'h':
            tokens_.push_back({run >= 2 ? Tok::Hour2 : Tok::Hour1, {}});
            afterHour = true;
            i += run;
            continue;
        case 'n':
            tokens_.push_back({run >= 2 ? Tok::Minute2 : Tok::Minute1, {}});
            break;
        case 's':
            tokens_.push_back({run >= 2 ? Tok::Second2 : Tok::Second1, {}});
            break;
        default:
            literal(pattern.substr(i, run));
            i += run;
            continue;  // a separator keeps "after hour"
        }
        if (c != 'm') afterHour = false;
        i += run;
    }
}

void DisplayFormat::append(int year, int month, int day, int hour, int minute, int second,
                           std::string& out) const {
    for (const Token& t : tokens_) {
        switch (t.tok) {
        case Tok::Literal: out += t.literal; break;
        case Tok::Year4: appendDigits(year, 4, out); break;
        case Tok::Year2: appendDigits(((year % 100) + 100) % 100, 2, out); break;
        case Tok::Month2: appendDigits(month, 2, out); break;
        case Tok::Month1: appendDigits(month, 1, out); break;
        case Tok::Day2: appendDigits(day, 2, out); break;
        case Tok::Day1: appendDigits(day, 1, out); break;
        case Tok::Hour2: appendDigits(hour, 2, out); break;
        case Tok::Hour1: appendDigits(hour, 1, out); break;
        case Tok::Minute2: appendDigits(minute, 2, out); break;
        case Tok::Minute1: appendDigits(minute, 1, out); break;
        case Tok::Second2: appendDigits(second, 2, out); break;
        case Tok::Second1: appendDigits(second, 1, out); break;
        }
    }
}

void civilFromDays(int64_t days, int& year, int& month, int& day) {
    // Howard Hinnant's days-to-civil algorithm.
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(y + (m <= 2 ? 1 : 0));
    month = static_cast<int>(m);
    day = static_cast<int>(d);
}

void appendGeneralNumber(double value, const regional::Settings& s, std::string& out) {
    // A value that is exactly k/100 for a whole k below 10^15 in magnitude has
    // at most 15 significant digits, so its general form is the decimal k/100.
    if (std::isfinite(value) && std::fabs(value) < 1e13) {
        const double k = std::nearbyint(value * 100.0);
        if (k / 100.0 == value) {
            if (k == 0) {
                out.push_back('0');
                return;
            }
            auto units = static_cast<uint64_t>(std::fabs(k));
            if (k < 0) out.push_back('-');
            const uint64_t whole = units / 100;
            const auto frac = static_cast<unsigned>(units % 100);
            char buf[24];
            int n = 0;
            uint64_t w = whole;
            do {
                buf[n++] = static_cast<char>('0' + w % 10);
                w /= 10;
            } while (w != 0);
            while (n > 0) out.push_back(buf[--n]);
            if (frac != 0) {
                out += s.decimalSeparator;
                out.push_back(static_cast<char>('0' + frac / 10));
                if (frac % 10 != 0) out.push_back(static_cast<char>('0' + frac % 10));
            }
            return;
        }
    }
    out += regional::formatGeneralNumber(value, s);
}

}  // namespace grid
