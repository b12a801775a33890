// Small helpers the benchmark programs share: wall time and shell commands.
#pragma once

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Runs a shell command; throws when it fails. Returns its wall time.
inline double run(const std::string& command) {
    const auto t0 = Clock::now();
    const int rc = std::system(command.c_str());
    const double s = secondsSince(t0);
    if (rc != 0) throw std::runtime_error("failed (" + std::to_string(rc) + "): " + command);
    return s;
}

// The text as one single-quoted shell word.
inline std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

}  // namespace bench
