// The operating-system rules that are the same on every platform.
#include "os.h"

#include "utf8.h"

#include <algorithm>

namespace os {

namespace {

constexpr char32_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF carry stray bytes 0x80..0xFF

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

std::u32string decodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        std::size_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((b0 & 0xE0) == 0xC0) {
            len = 2;
            cp = b0 & 0x1F;
            min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            len = 3;
            cp = b0 & 0x0F;
            min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            len = 4;
            cp = b0 & 0x07;
            min = 0x10000;
        }
        bool ok = len != 0 && i + len <= text.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if (!isContinuation(b)) {
                ok = false;
            } else {
                cp = (cp << 6) | (b & 0x3F);
            }
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (ok) {
            out.push_back(cp);
            i += len;
        } else {
            out.push_back(kEscapeBase + b0);
            ++i;
        }
    }
    return out;
}

std::string encodeUtf8(std::u32string_view codePoints) {
    std::string out;
    out.reserve(codePoints.size());
    for (const char32_t cp : codePoints) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
            out.push_back(static_cast<char>(cp - kEscapeBase));
        } else {
            text::appendUtf8(out, cp);
        }
    }
    return out;
}

std::string toLowerUnicode(std::string_view utf8) {
    std::u32string text = decodeUtf8(utf8);
    for (char32_t& c : text) c = toLower(c);
    return encodeUtf8(text);
}

std::string applicationTitleFromPath(std::string_view utf8Path, std::u32string_view separators,
                                     std::size_t maxChars) {
    std::u32string path = decodeUtf8(utf8Path);
    if (path.size() > maxChars) path.resize(maxChars);

    const auto lastSep = path.find_last_of(separators);
    std::u32string name = lastSep == std::u32string::npos ? path : path.substr(lastSep + 1);

    const auto dot = name.find(U'.');
    if (dot != std::u32string::npos) name.resize(dot);

    for (std::size_t i = 1; i < name.size(); ++i) name[i] = toLower(name[i]);
    return encodeUtf8(name);
}

std::string applicationTitle() { return applicationTitleFromPath(executablePath(), pathSeparators()); }

std::string joinPath(std::string_view folder, std::string_view name, std::u32string_view separators,
                     char32_t separator) {
    if (folder.empty()) return std::string(name);
    const std::u32string f = decodeUtf8(folder);
    std::string out(folder);
    if (separators.find(f.back()) == std::u32string_view::npos) out += encodeUtf8(std::u32string(1, separator));
    out += name;
    return out;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    return joinPath(folder, name, pathSeparators(), preferredSeparator());
}

}  // namespace os
