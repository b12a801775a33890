// What the program needs from the operating system: its own executable path,
// the application title derived from it, the user's roaming application-data
// folder and Unicode lower-casing. Plain C++; text is UTF-8.
//
// os.cpp holds the rules that are the same everywhere; os_posix.cpp (here) or
// os_windows.cpp (a Windows build) supplies the platform half declared below
// under "Platform".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace os {

// ---------------------------------------------------------------------------
// Platform

// The running executable's full path as the system reports it, read into a
// buffer of 256 characters, so at most the first 255 characters of the path.
// "" when the system does not say.
std::string executablePath();

// The characters that separate folders in executablePath(): "/" here, "\\" on
// Windows.
std::u32string_view pathSeparators();

// The separator put between a folder and a file name: '/' here, '\\' on Windows.
char32_t preferredSeparator();

// The user's roaming application-data folder: $XDG_CONFIG_HOME when it names
// an absolute folder, else $HOME/.config (the Windows build: CSIDL_APPDATA).
// "" when the system names none.
std::string roamingAppDataFolder();

// The system's Unicode lower case of one character (a character without a
// lower case is returned as it is).
char32_t toLower(char32_t c);

// ---------------------------------------------------------------------------
// Rules

// The most characters of the executable's path that the title is derived from.
inline constexpr std::size_t kMaxPathChars = 255;

// UTF-8 <-> code points. Bytes that are not well-formed UTF-8 are carried
// through as U+DC80..U+DCFF and written back as the same bytes.
std::u32string decodeUtf8(std::string_view text);
std::string encodeUtf8(std::u32string_view text);

// Unicode lower case of every character of the text.
std::string toLowerUnicode(std::string_view utf8);

// The application title of an executable path: the first maxChars characters
// of the path; of those, what follows the last of the separators; that cut
// before its first full stop; every character after the first lower-cased.
std::string applicationTitleFromPath(std::string_view utf8Path, std::u32string_view separators,
                                     std::size_t maxChars = kMaxPathChars);

// applicationTitleFromPath(executablePath(), pathSeparators()).
std::string applicationTitle();

// A folder and a file name joined by one separator (none added when the folder
// already ends in one of the separators); the bare name when the folder is "".
std::string joinPath(std::string_view folder, std::string_view name,
                     std::u32string_view separators, char32_t separator);

// joinPath with this platform's separators.
std::string joinPath(std::string_view folder, std::string_view name);

}  // namespace os
