// Regional settings of the workstation: the one source for every date, time and
// number that the program turns into text.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace regional {

// Formats use strftime-like directives, interpreted by this library (never by
// the C library): %d %m %Y %y %e %H %I %M %S %p %T %R %r %D %F %b %B %a %A %%.
// Any other character is copied as it is.
struct Settings {
    std::string decimalSeparator = ".";
    std::string shortDateFormat = "%Y-%m-%d";
    std::string longTimeFormat = "%H:%M:%S";
    std::string amText = "AM";
    std::string pmText = "PM";

    bool operator==(const Settings&) const = default;
};

// The workstation's settings (on this platform: the process locale, LC_NUMERIC
// and LC_TIME; the C and POSIX locales give year-month-day, 24-hour time and
// "."), unless a test has put settings in place with setOverride.
Settings current();

// Reads the settings of a named locale ("ro_RO.UTF-8"); nullopt when the
// machine does not have it. Exposed for tests of the platform reading itself.
std::optional<Settings> fromLocale(const char* localeName);

// What the platform itself reports (regional_posix.cpp here; a Windows build
// puts the user's regional settings behind the same function).
Settings platformSettings();

// Replaces what current() returns until reset with std::nullopt.
void setOverride(std::optional<Settings> settings);

// Calendar helpers.
std::string formatDate(std::chrono::year_month_day date, const Settings& s);
std::string formatTime(int hour, int minute, int second, const Settings& s);
// Date followed, when the time is not midnight, by a space and the long time.
std::string formatDateTime(std::chrono::year_month_day date, int hour, int minute, int second,
                           const Settings& s);

// The general number form: rounded to `significantDigits` significant digits;
// "0" for zero; a leading "-" for negatives; no grouping; trailing zeros and a
// bare separator dropped; fixed notation when the rounded value has at most 15
// digits before the separator and a magnitude of at least 0.0001, otherwise
// scientific ("1E20", "1E-5", "1,5E-7"). NaN and infinities are not numbers a
// workbook or the database delivers; they come out as "NaN", "INF", "-INF".
std::string formatGeneralNumber(double value, const Settings& s, int significantDigits = 15);

// Formats with an explicit pattern, same directives as above.
std::string formatPattern(std::string_view pattern, std::chrono::year_month_day date, int hour,
                          int minute, int second, const Settings& s);

}  // namespace regional
