// Text helpers of the data grid: case folding of UTF-8 text, the date-time
// display formats of grid columns ("yyyy-mm-dd hh:nn:ss"), and the fast forms
// of the regional number and date texts that the filter builds for a whole
// column at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "regional.h"

namespace grid {

// Appends the case-folded form of UTF-8 `text` to `out` (simple Unicode case
// folding, code point by code point; ASCII takes a fast path). Malformed bytes
// are copied as they are.
void appendFolded(std::string_view text, std::string& out);
std::string folded(std::string_view text);
// Writes the folded form of `text` to out[0, text.size()) when every code
// point folds to as many bytes as it had (ASCII always does, and nearly every
// other letter); returns false otherwise, out then being partly written.
bool foldSameLength(std::string_view text, char* out);
// True when every byte is ASCII (folding then keeps the length).
bool isAscii(std::string_view text);

// A display format for date and date-time values, in the pattern letters the
// grid's designs use: yyyy or yy (year), mm or m (month), dd or d (day), hh or
// h (hours 0-23), nn or n (minutes), ss or s (seconds); "mm" or "m" right after
// an hour counts as minutes. Text in double or single quotes and every other
// character are copied. Formatting needs no locale.
class DisplayFormat {
public:
    DisplayFormat() = default;
    explicit DisplayFormat(std::string_view pattern);
    const std::string& pattern() const { return pattern_; }
    bool empty() const { return tokens_.empty(); }
    void append(int year, int month, int day, int hour, int minute, int second,
                std::string& out) const;

private:
    enum class Tok : uint8_t { Literal, Year4, Year2, Month2, Month1, Day2, Day1, Hour2, Hour1,
                               Minute2, Minute1, Second2, Second1 };
    struct Token {
        Tok tok;
        std::string literal;
    };
    std::string pattern_;
    std::vector<Token> tokens_;
};

// Civil date of a count of days since 1970-01-01.
void civilFromDays(int64_t days, int& year, int& month, int& day);

// regional::formatGeneralNumber(value, s) computed without the general path for
// the values money columns hold (whole hundredths below 10^13); any other value
// goes to the general function. The result is always the same text.
void appendGeneralNumber(double value, const regional::Settings& s, std::string& out);

}  // namespace grid
