// The ZIP container of a workbook, read with libzip under the loader's limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "workbook.h"

struct zip;

namespace xlsx::detail {

// A part name as the package compares it: backslashes turned into slashes,
// no leading slash, ASCII letters lower-cased.
std::string normalizePartName(std::string_view name);

// Receives an inflated part in pieces, in order.
using ChunkSink = std::function<void(const char* data, size_t size)>;

class Package {
public:
    // Opens a package from a file or from bytes the caller keeps alive while
    // the Package lives. Throws LoadError.
    static std::unique_ptr<Package> openFile(const std::string& path, const Limits& limits);
    static std::unique_ptr<Package> openMemory(std::string_view bytes, const Limits& limits);
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Whether the package holds the part (name compared as normalizePartName does).
    bool has(std::string_view partName) const;
    // Inflates the part into the sink, chunk by chunk, counting its size
    // against the limits. Throws LoadError (also for a missing part).
    void read(std::string_view partName, const ChunkSink& sink);
    // Takes the bytes of the last read() off the workbook's total (a part
    // read a second time, by another reader, counts once).
    void forgetLastRead() {
        totalBytes_ -= lastReadBytes_;
        lastReadBytes_ = 0;
    }
    const Limits& limits() const { return limits_; }
    // The whole part as one string (small parts: relationships, workbook).
    std::string readAll(std::string_view partName);

private:
    struct ZipCloser {
        void operator()(zip* z) const;
    };
    Package(zip* z, const Limits& limits);
    void indexEntries();

    std::unique_ptr<zip, ZipCloser> zip_;
    Limits limits_;
    std::unordered_map<std::string, uint64_t> entries_;  // normalized name -> index
    uint64_t totalBytes_ = 0;
    uint64_t lastReadBytes_ = 0;
};

}  // namespace xlsx::detail
