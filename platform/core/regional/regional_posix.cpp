// Regional settings on POSIX systems: read from the process locale.
#include "regional.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <locale.h>

namespace regional {
namespace {

bool isPlainC(const char* name) {
    return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
           std::strncmp(name, "C.", 2) == 0;
}

Settings read(locale_t numeric, locale_t time, bool numericIsC, bool timeIsC) {
    Settings s;
    if (!numericIsC) {
        const char* radix = nl_langinfo_l(RADIXCHAR, numeric);
        if (radix != nullptr && *radix != '\0') s.decimalSeparator = radix;
    }
    if (!timeIsC) {
        const char* d = nl_langinfo_l(D_FMT, time);
        const char* t = nl_langinfo_l(T_FMT, time);
        const char* am = nl_langinfo_l(AM_STR, time);
        const char* pm = nl_langinfo_l(PM_STR, time);
        if (d != nullptr && *d != '\0') s.shortDateFormat = d;
        if (t != nullptr && *t != '\0') s.longTimeFormat = t;
        if (am != nullptr && *am != '\0') s.amText = am;
        if (pm != nullptr && *pm != '\0') s.pmText = pm;
    }
    return s;
}

}  // namespace

std::optional<Settings> fromLocale(const char* localeName) {
    if (isPlainC(localeName)) return Settings{};
    locale_t loc = newlocale(LC_NUMERIC_MASK | LC_TIME_MASK, localeName, static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return std::nullopt;
    Settings s = read(loc, loc, false, false);
    freelocale(loc);
    return s;
}

Settings platformSettings() {
    const char* numericName = std::setlocale(LC_NUMERIC, nullptr);
    const char* timeName = std::setlocale(LC_TIME, nullptr);
    std::string numeric = numericName ? numericName : "C";
    std::string time = timeName ? timeName : "C";
    locale_t n = isPlainC(numeric.c_str())
                     ? static_cast<locale_t>(nullptr)
                     : newlocale(LC_NUMERIC_MASK, numeric.c_str(), static_cast<locale_t>(nullptr));
    locale_t t = isPlainC(time.c_str())
                     ? static_cast<locale_t>(nullptr)
                     : newlocale(LC_TIME_MASK, time.c_str(), static_cast<locale_t>(nullptr));
    Settings s = read(n, t, n == static_cast<locale_t>(nullptr), t == static_cast<locale_t>(nullptr));
    if (n != static_cast<locale_t>(nullptr)) freelocale(n);
    if (t != static_cast<locale_t>(nullptr)) freelocale(t);
    return s;
}

}  // namespace regional
