// The platform half of os.h on Windows: GetModuleFileNameW, CharLowerW and
// SHGetFolderPathW. A Windows build compiles this file instead of os_posix.cpp.
#include "os.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shlobj.h>

#include <array>

namespace os {

namespace {

std::string fromWide(const wchar_t* text, int length) {
    if (length <= 0) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::string executablePath() {
    std::array<wchar_t, 256> buf{};
    const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    return fromWide(buf.data(), static_cast<int>(n));
}

std::u32string_view pathSeparators() { return U"\\"; }

char32_t preferredSeparator() { return U'\\'; }

std::string roamingAppDataFolder() {
    std::array<wchar_t, MAX_PATH> buf{};
    if (::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, buf.data()) != S_OK) return {};
    return fromWide(buf.data(), static_cast<int>(::wcslen(buf.data())));
}

char32_t toLower(char32_t c) {
    std::array<wchar_t, 3> units{};
    if (c < 0x10000) {
        units[0] = static_cast<wchar_t>(c);
    } else {
        const char32_t v = c - 0x10000;
        units[0] = static_cast<wchar_t>(0xD800 + (v >> 10));
        units[1] = static_cast<wchar_t>(0xDC00 + (v & 0x3FF));
    }
    ::CharLowerW(units.data());
    if (units[1] == 0) return units[0];
    return 0x10000 + ((static_cast<char32_t>(units[0]) - 0xD800) << 10) + (static_cast<char32_t>(units[1]) - 0xDC00);
}

}  // namespace os
