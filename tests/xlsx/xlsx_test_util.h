// Helpers shared by the xlsx tests.
#pragma once

#include <QString>

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "loader.h"
#include "regional.h"
#include "workbook.h"

namespace xlsxtest {

inline regional::Settings romanian() {
    regional::Settings s;
    s.decimalSeparator = ",";
    s.shortDateFormat = "%d.%m.%Y";
    s.longTimeFormat = "%H:%M:%S";
    return s;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string fixture(const char* name) { return std::string(XLSX_FIXTURES) + "/" + name; }

inline std::unique_ptr<xlsx::Workbook> load(const std::string& bytes, xlsx::detail::SheetReader reader,
                                            const xlsx::Limits& limits = {}, int* fallbacks = nullptr) {
    xlsx::detail::LoadOptions o;
    o.sheetReader = reader;
    o.fallbacks = fallbacks;
    return xlsx::detail::loadMemory(bytes, limits, o);
}

// The message of the load's failure, or "" when it loads.
inline std::string loadError(const std::string& bytes, xlsx::detail::SheetReader reader,
                             const xlsx::Limits& limits = {}) {
    try {
        load(bytes, reader, limits);
    } catch (const xlsx::LoadError& e) {
        return e.what();
    }
    return {};
}

// Every stored cell of every sheet with its text, one line each.
inline std::string dump(const xlsx::Workbook& wb, const regional::Settings& s = romanian()) {
    std::string out = "date1904=" + std::to_string(wb.date1904()) + "\n";
    for (size_t i = 0; i < wb.sheetCount(); ++i) {
        const auto& sh = wb.sheet(i);
        out += "[" + sh.name() + "] lastRow=" + std::to_string(sh.lastRow()) +
               " lastColumn=" + std::to_string(sh.lastColumn()) + " cells=" + std::to_string(sh.cellCount()) + "\n";
        sh.forEachCell(0, sh.lastRow(), s, [&](int r, int c, const std::string& text) {
            out += std::to_string(r) + "," + std::to_string(c) + "\t" + text + "\n";
        });
    }
    return out;
}

inline QString q(const std::string& s) { return QString::fromStdString(s); }

// "B7" -> row 6, column 1.
inline void place(const QString& ref, int& row, int& column) {
    column = 0;
    int i = 0;
    while (i < ref.size() && ref[i].isLetter()) column = column * 26 + (ref[i++].toUpper().unicode() - 'A' + 1);
    column -= 1;
    row = ref.mid(i).toInt() - 1;
}

}  // namespace xlsxtest
