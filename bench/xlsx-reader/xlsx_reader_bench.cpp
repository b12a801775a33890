// Loads a workbook and turns every cell of every sheet into text, then prints
// the time each step took and the peak memory of the process.
//
//   xlsx-reader-bench [--expat] [--dump] [--limits-off] FILE
//
// --expat reads the worksheets with expat instead of the scanner; --dump
// prints every cell as "sheet!A1<TAB>text" (to compare readers); --limits-off
// lifts the size limits (a million-row sheet is larger than they allow).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cell_text.h"
#include "loader.h"
#include "regional.h"
#include "workbook.h"

namespace {

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

long peakRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// CPU time of the process so far (user and system): steadier than the wall
// clock on a machine that is busy with other work.
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    xlsx::detail::LoadOptions options;
    xlsx::Limits limits;
    bool dump = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--expat") == 0) options.sheetReader = xlsx::detail::SheetReader::Expat;
        else if (std::strcmp(argv[i], "--dump") == 0) dump = true;
        else if (std::strcmp(argv[i], "--limits-off") == 0) {
            limits.maxPartBytes = limits.maxTotalBytes = uint64_t{1} << 40;
            limits.maxCells = size_t{1} << 30;
        } else path = argv[i];
    }
    if (path == nullptr) {
        std::fprintf(stderr, "usage: xlsx-reader-bench [--expat] [--dump] [--limits-off] FILE\n");
        return 2;
    }
    regional::Settings settings;
    settings.decimalSeparator = ",";
    settings.shortDateFormat = "%d.%m.%Y";
    int fallbacks = 0;
    options.fallbacks = &fallbacks;

    const double c0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::unique_ptr<xlsx::Workbook> wb;
    try {
        wb = xlsx::detail::loadFile(path, limits, options);
    } catch (const xlsx::LoadError& e) {
        std::printf("error\t%s\n", e.what());
        return 1;
    }
    const auto t1 = std::chrono::steady_clock::now();
    const double c1 = cpuSeconds();
    size_t cells = 0, bytes = 0;
    std::vector<std::string> row;
    for (size_t s = 0; s < wb->sheetCount(); ++s) {
        const auto& sh = wb->sheet(s);
        if (dump) std::printf("sheet\t%zu\t%s\tlastRow=%d\tlastColumn=%d\tcells=%zu\n", s,
                              sh.name().c_str(), sh.lastRow(), sh.lastColumn(), sh.cellCount());
        if (dump) {
            sh.forEachCell(0, sh.lastRow(), settings, [&](int r, int c, const std::string& text) {
                std::printf("%zu!%s\t%s\n", s, xlsx::cellName(r, c).c_str(), text.c_str());
            });
            continue;
        }
        // The columns a report uses; a sheet reaching column XFD would cost
        // 16,384 texts a row otherwise.
        const int lastColumn = std::min(sh.lastColumn(), 63);
        for (int r = 0; r <= sh.lastRow(); ++r) {
            sh.rowTexts(r, 0, lastColumn, settings, row);
            for (const auto& text : row) {
                bytes += text.size();
                if (!text.empty()) ++cells;
            }
        }
    }
    const auto t2 = std::chrono::steady_clock::now();
    const double c2 = cpuSeconds();
    if (!dump)
        std::printf("load %.3f s (cpu %.3f)  texts %.3f s (cpu %.3f)  total %.3f s (cpu %.3f)  peak RSS %.1f MB  sheets %zu  non-empty cells %zu  text bytes %zu  fallbacks %d\n",
                    seconds(t0, t1), c1 - c0, seconds(t1, t2), c2 - c1, seconds(t0, t2), c2 - c0,
                    static_cast<double>(peakRssKiB()) / 1024.0,
                    wb->sheetCount(), cells, bytes, fallbacks);
    return 0;
}
