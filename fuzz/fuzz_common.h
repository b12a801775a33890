// What both fuzz targets check: a workbook loaded with the worksheet scanner
// and with expat alone must give the same texts, or the same message.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "loader.h"
#include "regional.h"
#include "workbook.h"

namespace fuzzxlsx {

// Every text of every sheet, with its place, as one string; the row and
// single-cell paths are read too.
inline std::string allTexts(const xlsx::Workbook& wb, const regional::Settings& s) {
    std::string out;
    std::vector<std::string> row;
    for (size_t i = 0; i < wb.sheetCount(); ++i) {
        const xlsx::Sheet& sheet = wb.sheet(i);
        out += sheet.name();
        out += '|' + std::to_string(sheet.lastRow()) + '|' + std::to_string(sheet.lastColumn()) + '|' +
               std::to_string(sheet.cellCount()) + '\n';
        sheet.forEachCell(0, sheet.lastRow(), s, [&](int r, int c, const std::string& text) {
            out += std::to_string(r) + ',' + std::to_string(c) + '=' + text + '\n';
            if (sheet.text(r, c, s) != text || !sheet.hasCell(r, c)) {
                std::fprintf(stderr, "text(%d,%d) differs from the walk\n", r, c);
                std::abort();
            }
        });
        if (sheet.lastRow() >= 0) {
            sheet.rowTexts(sheet.lastRow(), 0, 10, s, row);
            if (row.size() != 11) std::abort();
        }
    }
    return out;
}

struct Outcome {
    bool loaded = false;
    std::string texts;  // or the message
};

inline Outcome run(std::string_view bytes, xlsx::detail::SheetReader reader) {
    regional::Settings s;
    s.decimalSeparator = ",";
    s.shortDateFormat = "%d.%m.%Y";
    xlsx::detail::LoadOptions options;
    options.sheetReader = reader;
    Outcome o;
    try {
        auto wb = xlsx::detail::loadMemory(bytes, xlsx::Limits{}, options);
        o.texts = allTexts(*wb, s);
        o.loaded = true;
    } catch (const xlsx::LoadError& e) {
        o.texts = e.what();
    }
    return o;
}

inline void compareReaders(std::string_view bytes) {
    const Outcome scanned = run(bytes, xlsx::detail::SheetReader::Scanner);
    const Outcome reference = run(bytes, xlsx::detail::SheetReader::Expat);
    if (scanned.loaded != reference.loaded || scanned.texts != reference.texts) {
        std::fprintf(stderr,
                     "scanner and expat disagree\n--- scanner (%s):\n%.2000s\n--- expat (%s):\n%.2000s\n",
                     scanned.loaded ? "loaded" : "refused", scanned.texts.c_str(),
                     reference.loaded ? "loaded" : "refused", reference.texts.c_str());
        std::abort();
    }
}

}  // namespace fuzzxlsx
