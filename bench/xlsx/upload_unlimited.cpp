// xlsx-upload-unlimited FILE: what xlsx-upload does (the same load, courier
// sheet, header check and upload text), with the reader's size limits for
// hostile files lifted, so that the benchmark can time a million-row report,
// whose worksheet part is far beyond the 64 MiB the program accepts.
// For measuring only; the program and xlsx-upload keep their limits.
#include <clocale>
#include <cstdio>
#include <exception>
#include <string>

#include "collections_upload.h"
#include "regional.h"
#include "workbook.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc != 2) {
        std::fputs("Usage: xlsx-upload-unlimited FILE\n", stderr);
        return 2;
    }
    try {
        xlsx::Limits limits;
        limits.maxPartBytes = 16ull << 30;
        limits.maxTotalBytes = 64ull << 30;
        limits.maxCells = size_t{1} << 30;
        const std::string path = argv[1];
        report::checkExtension(path);
        const auto workbook = xlsx::Workbook::load(path, limits);
        const std::string upload = report::collectionsUpload(report::courierSheet(*workbook), path,
                                                             regional::current());
        if (std::fwrite(upload.data(), 1, upload.size(), stdout) != upload.size()) return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
