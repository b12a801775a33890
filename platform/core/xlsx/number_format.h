// What the cell texts need of a number format: whether it shows a date (with
// or without a time), a time of day only, or neither.
#pragma once

#include <cstdint>
#include <string_view>

namespace xlsx {

enum class FormatClass : uint8_t {
    Number,  // any other format: the general number form
    Date,    // shows a part of a date (and maybe a time): the date text
    Time,    // shows a part of a time of day and no part of a date: the long time
};

// Classifies a format code by its first section. Quoted text, characters
// escaped with a backslash, the character after "_" or "*", and bracketed
// parts ([Red], [Color10], [$-409], [$€-407], [>100]) are literal; the
// elapsed-time parts [h], [mm], [ss] count as time parts. "m" means minutes
// right after an hour part or right before a seconds part, months otherwise.
// Date parts: d, y, m (month), e, g (era), b (Buddhist year), aaa (day of
// week). Time parts: h, m (minutes), s, AM/PM, A/P, and 0 after "s." (tenths
// and further). "General" is a word of its own; E+ and E- are a number's
// exponent.
FormatClass classifyFormatCode(std::string_view code);

// The built-in formats that a workbook refers to by id alone. 14-17 and 22
// are dates, 18-21 and 45-47 times. The ids 27-36 and 50-58 are reserved for
// East Asian date formats, whose codes depend on the workstation's language;
// they are taken as dates, except 32 and 33, which are a time (hours and
// minutes, and seconds) in every one of those languages. Every other id not
// given by the workbook is a number format.
FormatClass builtinFormatClass(uint32_t id);

}  // namespace xlsx
