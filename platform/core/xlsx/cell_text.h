// The pieces of a cell's text: dates, times, numbers, and the decoding of
// the values a worksheet stores.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "regional.h"

namespace xlsx {

// The last millisecond of 31 December 9999, as a serial date.
inline constexpr double kMaxSerialDate = 2958465.9999999884;
// Day 0 of the 1904 date system (1 January 1904) is day 1462 of the 1900 one.
inline constexpr double k1904Offset = 1462.0;

// The date text of a serial date: the short date, and, when the time of day
// to the millisecond is not midnight, a space and the long time. With
// date1904 the 1904 offset is added first. A negative value, or one past
// kMaxSerialDate once offset, gets the general number form instead.
std::string dateText(double value, bool date1904, const regional::Settings& settings);

// The time of day of a serial date (its fraction of a day, rounded like the
// date text) in the long time format. Outside the range of dates (as
// dateText has it), the general number form.
std::string timeText(double value, bool date1904, const regional::Settings& settings);

// The general number form with 15 significant digits.
std::string generalNumberText(double value, const regional::Settings& settings);

enum class NumberParse { Ok, Invalid, TooLarge };

// A number as SpreadsheetML stores it: optional sign, digits, an optional
// decimal point and an optional exponent, with XML white space around it.
// No locale. NaN, infinities and anything else are Invalid; a magnitude past
// the largest double is TooLarge; one below the smallest reads as zero.
NumberParse parseNumber(std::string_view text, double& value);

// An ISO 8601 date, date and time, or time (the value of a cell of type "d")
// as a serial date of the 1900 system. A zone suffix (Z, +hh:mm) is ignored:
// the wall-clock time written is the time taken. timeOnly tells a time
// without a date.
bool parseIsoDateTime(std::string_view text, double& serial, bool& timeOnly);

// Decodes the _xHHHH_ escapes of SpreadsheetML text in place (_x000D_ is a
// carriage return; a pair of escaped surrogates is one character; an escaped
// lone surrogate becomes U+FFFD).
void decodeEscapes(std::string& text);

// Characters of a UTF-8 text as a spreadsheet counts them: UTF-16 code units.
size_t textLength(std::string_view utf8);

// An error value's text, spelled as the error table spells it when the
// workbook writes a known error in another case; otherwise as written.
std::string_view errorText(std::string_view stored);

// A1-style name of a cell, for messages: column 0 is A.
std::string cellName(int row, int column);

}  // namespace xlsx
