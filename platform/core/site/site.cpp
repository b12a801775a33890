#include "site.h"

#include <cstdint>

#include "site_config.h"

namespace site {

std::string directoryHost() { return WPV_SITE_DIRECTORY_HOST; }
int directoryPort() { return WPV_SITE_DIRECTORY_PORT; }
std::string databaseUser() { return "vek"; }
std::string databasePassword() { return unscramble(WPV_SITE_DB_PASSWORD_SCRAMBLED); }

std::string unscramble(std::string_view hex) {
    if (hex.size() % 2 != 0) return {};
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(hex.size() / 2);
    uint32_t state = 0x9E3779B9u;
    for (size_t i = 0; i < hex.size() / 2; ++i) {
        int hi = nibble(hex[2 * i]);
        int lo = nibble(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return {};
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        auto b = static_cast<uint32_t>((hi << 4) | lo);
        b ^= (state & 0xFFu) ^ ((static_cast<uint32_t>(i) * 31u) & 0xFFu);
        out.push_back(static_cast<char>(b));
    }
    return out;
}

}  // namespace site
