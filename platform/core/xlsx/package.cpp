#include "package.h"

#include <zip.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <vector>

#include "messages.h"

namespace xlsx::detail {
namespace {

constexpr std::array<unsigned char, 8> kCompoundFileSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                                  0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kChunkBytes = 256 * 1024;

bool isCompoundFile(std::string_view head) {
    return head.size() >= kCompoundFileSignature.size() &&
           std::equal(kCompoundFileSignature.begin(), kCompoundFileSignature.end(), head.begin(),
                      [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); });
}

// zip_error_t must be finalised on every path.
struct ZipError {
    zip_error_t error;
    ZipError() { zip_error_init(&error); }
    ~ZipError() { zip_error_fini(&error); }
    ZipError(const ZipError&) = delete;
    ZipError& operator=(const ZipError&) = delete;
};

struct SourceFree {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};
using SourcePtr = std::unique_ptr<zip_source_t, SourceFree>;

struct FileClose {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using FilePtr = std::unique_ptr<zip_file_t, FileClose>;

zip* openSource(SourcePtr source) {
    ZipError err;
    zip* z = zip_open_from_source(source.get(), ZIP_RDONLY, &err.error);
    if (z == nullptr) {
        // The source stays ours when the open fails; the unique_ptr frees it.
        switch (zip_error_code_zip(&err.error)) {
            case ZIP_ER_NOZIP: throw LoadError(msg::notZip());
            case ZIP_ER_MEMORY: throw LoadError(msg::outOfMemory());
            default: throw LoadError(msg::damagedZip());
        }
    }
    (void)source.release();  // now owned by the archive
    return z;
}

bool exceedsRatio(uint64_t produced, uint64_t compressed, uint64_t ratio) {
    if (compressed > UINT64_MAX / std::max<uint64_t>(ratio, 1)) return false;
    return produced > compressed * ratio;
}

}  // namespace

std::string normalizePartName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == '\\') c = '/';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        out.push_back(c);
    }
    size_t lead = 0;
    while (lead < out.size() && out[lead] == '/') ++lead;
    out.erase(0, lead);
    return out;
}

void Package::ZipCloser::operator()(zip* z) const { zip_discard(z); }

Package::Package(zip* z, const Limits& limits) : zip_(z), limits_(limits) {}
Package::~Package() = default;

std::unique_ptr<Package> Package::openFile(const std::string& path, const Limits& limits) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw LoadError(msg::cannotOpen(path));
    std::ifstream in(path, std::ios::binary);
    if (!in) throw LoadError(msg::cannotOpen(path));
    char head[8] = {};
    in.read(head, sizeof head);
    const auto got = static_cast<size_t>(in.gcount());
    in.close();
    if (got == 0) throw LoadError(msg::emptyFile());
    if (isCompoundFile(std::string_view(head, got))) throw LoadError(msg::compoundFile());

    ZipError err;
    SourcePtr source(zip_source_file_create(path.c_str(), 0, -1, &err.error));
    if (!source) throw LoadError(msg::cannotOpen(path));
    std::unique_ptr<Package> p(new Package(openSource(std::move(source)), limits));
    p->indexEntries();
    return p;
}

std::unique_ptr<Package> Package::openMemory(std::string_view bytes, const Limits& limits) {
    if (bytes.empty()) throw LoadError(msg::emptyFile());
    if (isCompoundFile(bytes)) throw LoadError(msg::compoundFile());
    ZipError err;
    SourcePtr source(zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err.error));
    if (!source) throw LoadError(msg::outOfMemory());
    std::unique_ptr<Package> p(new Package(openSource(std::move(source)), limits));
    p->indexEntries();
    return p;
}

void Package::indexEntries() {
    const zip_int64_t count = zip_get_num_entries(zip_.get(), 0);
    if (count < 0) throw LoadError(msg::damagedZip());
    if (static_cast<uint64_t>(count) > limits_.maxEntries)
        throw LoadError(msg::tooManyEntries(limits_.maxEntries));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* raw = zip_get_name(zip_.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (raw == nullptr) throw LoadError(msg::damagedZip());
        std::string name = normalizePartName(raw);
        if (name.empty() || name.back() == '/') continue;  // folders hold no part
        if (!entries_.emplace(name, static_cast<uint64_t>(i)).second)
            throw LoadError(msg::duplicatePart(raw));
    }
}

bool Package::has(std::string_view partName) const {
    return entries_.count(normalizePartName(partName)) != 0;
}

void Package::read(std::string_view partName, const ChunkSink& sink) {
    const std::string name = normalizePartName(partName);
    auto it = entries_.find(name);
    if (it == entries_.end()) throw LoadError(msg::missingPart(name));
    const zip_uint64_t index = it->second;

    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip_.get(), index, 0, &st) != 0) throw LoadError(msg::unreadablePart(name, "no entry"));
    const uint64_t compressed =
        (st.valid & ZIP_STAT_COMP_SIZE) != 0 ? std::max<uint64_t>(st.comp_size, 1) : 1;

    FilePtr file(zip_fopen_index(zip_.get(), index, 0));
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(zip_.get()));
        if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP)
            throw LoadError(msg::zipEncrypted());
        if (code == ZIP_ER_COMPNOTSUPP) throw LoadError(msg::unsupportedCompression(name));
        throw LoadError(msg::unreadablePart(name, zip_strerror(zip_.get())));
    }

    std::vector<char> buffer(kChunkBytes);
    uint64_t produced = 0;
    lastReadBytes_ = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), buffer.data(), buffer.size());
        if (n < 0) {
            zip_error_t* e = zip_file_get_error(file.get());
            if (zip_error_code_zip(e) == ZIP_ER_CRC) throw LoadError(msg::badChecksum(name));
            throw LoadError(msg::unreadablePart(name, zip_error_strerror(e)));
        }
        if (n == 0) break;
        const auto got = static_cast<uint64_t>(n);
        produced += got;
        totalBytes_ += got;
        lastReadBytes_ += got;
        if (produced > limits_.maxPartBytes) throw LoadError(msg::partTooLarge(name, limits_.maxPartBytes));
        if (totalBytes_ > limits_.maxTotalBytes) throw LoadError(msg::totalTooLarge(limits_.maxTotalBytes));
        if (produced > limits_.ratioFreeBytes && exceedsRatio(produced, compressed, limits_.maxRatio))
            throw LoadError(msg::ratioTooHigh(name, limits_.maxRatio));
        sink(buffer.data(), static_cast<size_t>(got));
    }
}

std::string Package::readAll(std::string_view partName) {
    std::string out;
    read(partName, [&](const char* data, size_t size) { out.append(data, size); });
    return out;
}

}  // namespace xlsx::detail
