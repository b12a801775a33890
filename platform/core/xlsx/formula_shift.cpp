#include "formula_shift.h"

namespace xlsx {
namespace {

constexpr int64_t kRows = 1048576;
constexpr int64_t kColumns = 16384;

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isWordChar(char c) {
    return isLetter(c) || isDigit(c) || c == '_' || c == '.' || c == '$' || c == '\\' || c == '?' ||
           static_cast<unsigned char>(c) >= 0x80;
}

struct Part {
    bool absolute = false;
    int64_t value = 0;  // 0-based
};

// [$]letters{1,3} at s[i..]: a column; advances i.
bool readColumn(std::string_view s, size_t& i, Part& out) {
    size_t k = i;
    out.absolute = k < s.size() && s[k] == '$';
    if (out.absolute) ++k;
    int64_t col = 0;
    size_t n = 0;
    while (k < s.size() && isLetter(s[k]) && n < 4) {
        char c = s[k];
        if (c >= 'a') c = static_cast<char>(c - 'a' + 'A');
        col = col * 26 + (c - 'A' + 1);
        ++k;
        ++n;
    }
    if (n == 0 || n > 3 || col > kColumns) return false;
    out.value = col - 1;
    i = k;
    return true;
}

// [$]digits{1,7} at s[i..]: a row; advances i.
bool readRow(std::string_view s, size_t& i, Part& out) {
    size_t k = i;
    out.absolute = k < s.size() && s[k] == '$';
    if (out.absolute) ++k;
    int64_t row = 0;
    size_t n = 0;
    while (k < s.size() && isDigit(s[k]) && n < 8) {
        row = row * 10 + (s[k] - '0');
        ++k;
        ++n;
    }
    if (n == 0 || n > 7 || row < 1 || row > kRows) return false;
    out.value = row - 1;
    i = k;
    return true;
}

bool shiftPart(Part& p, int64_t by, int64_t limit) {
    if (p.absolute) return true;
    p.value += by;
    return p.value >= 0 && p.value < limit;
}

void appendColumn(std::string& out, const Part& p) {
    if (p.absolute) out.push_back('$');
    std::string letters;
    for (int64_t c = p.value + 1; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    out += letters;
}

void appendRow(std::string& out, const Part& p) {
    if (p.absolute) out.push_back('$');
    out += std::to_string(p.value + 1);
}

}  // namespace

std::string shiftFormula(std::string_view s, int64_t rows, int64_t columns) {
    std::string out;
    out.reserve(s.size() + 8);
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"' || c == '\'') {
            // A quoted text or sheet name; a doubled quote stays inside.
            size_t k = i + 1;
            while (k < s.size()) {
                if (s[k] == c) {
                    if (k + 1 < s.size() && s[k + 1] == c) {
                        k += 2;
                        continue;
                    }
                    break;
                }
                ++k;
            }
            const size_t end = k < s.size() ? k + 1 : k;
            out.append(s.substr(i, end - i));
            i = end;
            continue;
        }
        if (c == '[') {
            size_t depth = 0, k = i;
            for (; k < s.size(); ++k) {
                if (s[k] == '[') ++depth;
                else if (s[k] == ']' && --depth == 0) break;
            }
            const size_t end = k < s.size() ? k + 1 : k;
            out.append(s.substr(i, end - i));
            i = end;
            continue;
        }
        if (!isWordChar(c)) {
            out.push_back(c);
            ++i;
            continue;
        }
        size_t wordEnd = i;
        while (wordEnd < s.size() && isWordChar(s[wordEnd])) ++wordEnd;
        const std::string_view word = s.substr(i, wordEnd - i);
        const char next = wordEnd < s.size() ? s[wordEnd] : '\0';
        if (next == '(' || next == '!') {
            out.append(word);
            i = wordEnd;
            continue;
        }
        // A cell: column then row, the whole word.
        {
            size_t k = i;
            Part col, row;
            if (readColumn(s, k, col) && readRow(s, k, row) && k == wordEnd) {
                if (shiftPart(col, columns, kColumns) && shiftPart(row, rows, kRows)) {
                    appendColumn(out, col);
                    appendRow(out, row);
                } else {
                    out += "#REF!";
                }
                i = wordEnd;
                continue;
            }
        }
        // Whole columns A:C or whole rows 1:3.
        if (next == ':') {
            size_t k = i;
            Part a, b;
            size_t second = wordEnd + 1;
            size_t secondEnd = second;
            while (secondEnd < s.size() && isWordChar(s[secondEnd])) ++secondEnd;
            if (readColumn(s, k, a) && k == wordEnd && readColumn(s, second, b) && second == secondEnd) {
                if (shiftPart(a, columns, kColumns) && shiftPart(b, columns, kColumns)) {
                    appendColumn(out, a);
                    out.push_back(':');
                    appendColumn(out, b);
                } else {
                    out += "#REF!";
                }
                i = secondEnd;
                continue;
            }
            k = i;
            second = wordEnd + 1;
            if (readRow(s, k, a) && k == wordEnd && readRow(s, second, b) && second == secondEnd) {
                if (shiftPart(a, rows, kRows) && shiftPart(b, rows, kRows)) {
                    appendRow(out, a);
                    out.push_back(':');
                    appendRow(out, b);
                } else {
                    out += "#REF!";
                }
                i = secondEnd;
                continue;
            }
        }
        out.append(word);
        i = wordEnd;
    }
    return out;
}

}  // namespace xlsx
