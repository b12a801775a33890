// The platform half of os.h on Linux and other POSIX systems.
#include "os.h"

#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <locale.h>
#include <unistd.h>

#include <array>

namespace os {

std::string executablePath() {
    // The same 256-character buffer as the Windows build: at most 255 characters.
    std::array<char, 4096> buf{};
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    std::u32string path = decodeUtf8(std::string_view(buf.data(), static_cast<std::size_t>(n)));
    if (path.size() > kMaxPathChars) path.resize(kMaxPathChars);
    return encodeUtf8(path);
}

std::u32string_view pathSeparators() { return U"/"; }

char32_t preferredSeparator() { return U'/'; }

std::string roamingAppDataFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return joinPath(home, ".config");
    return {};
}

namespace {

// A Unicode locale object of its own, so that the process locale (which Qt
// and the user may set to anything) does not change what lower-casing does.
// C.UTF-8 is part of every glibc installation.
locale_t unicodeLocale() {
    static const locale_t loc = [] {
        locale_t l = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (l == static_cast<locale_t>(nullptr))
            l = ::newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return loc;
}

}  // namespace

char32_t toLower(char32_t c) {
    if (c < 0x80) return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;  // stray bytes and lone surrogates stay
    const locale_t loc = unicodeLocale();
    if (loc == static_cast<locale_t>(nullptr)) return c;
    return static_cast<char32_t>(::towlower_l(static_cast<wint_t>(c), loc));
}

}  // namespace os
