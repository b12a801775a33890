// Reading .xlsx workbooks (Office Open XML SpreadsheetML): libzip for the
// package, expat for the XML parts. Plain C++; no Qt.
//
// A workbook is untrusted input: every failure is an xlsx::LoadError with a
// message a user can read, never a crash, a hang or unbounded memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "regional.h"

namespace xlsx {

class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Limits that keep a hostile file in check. The defaults are the program's.
struct Limits {
    size_t maxEntries = 1000;                  // ZIP entries
    uint64_t maxPartBytes = 64ull << 20;       // one inflated part
    uint64_t maxTotalBytes = 256ull << 20;     // all inflated parts together
    uint64_t ratioFreeBytes = 1ull << 20;      // a part may give this much before...
    uint64_t maxRatio = 1000;                  // ...more than maxRatio x its compressed size is refused
    size_t maxCellChars = 32767;               // characters of one cell's text
    size_t maxCells = 4u << 20;                // stored cells of one sheet
    size_t maxDepth = 256;                     // nesting of XML elements in a part
};

class Workbook;

// One worksheet. Rows and columns are counted from 0 (A is column 0).
class Sheet {
public:
    virtual ~Sheet() = default;
    virtual const std::string& name() const = 0;
    // Index of the highest row the workbook stores for the sheet (a stored
    // row counts whatever it holds); -1 when it stores none.
    virtual int lastRow() const = 0;
    // Highest column index of any stored cell; -1 when none.
    virtual int lastColumn() const = 0;
    // Whether the workbook stores a cell there.
    virtual bool hasCell(int row, int column) const = 0;
    // The cell's text by the program's cell-text rules, with the given
    // regional settings. A cell the workbook leaves out reads as "".
    virtual std::string text(int row, int column, const regional::Settings& settings) const = 0;
    // The texts of one row from firstColumn to lastColumn (inclusive) into
    // out, "" where no cell is stored: one lookup for the whole row, the
    // fast way for a view showing a window of the sheet or for an export.
    virtual void rowTexts(int row, int firstColumn, int lastColumn,
                          const regional::Settings& settings,
                          std::vector<std::string>& out) const = 0;
    // How many cells the workbook stores for the sheet.
    virtual size_t cellCount() const = 0;
    // Calls visit(row, column, text) for every stored cell of the rows
    // firstRow to lastRow (inclusive), row by row, left to right: the way to
    // walk a sparse sheet without asking for the places it leaves out.
    virtual void forEachCell(
        int firstRow, int lastRow, const regional::Settings& settings,
        const std::function<void(int row, int column, const std::string& text)>& visit) const = 0;
};

class Workbook {
public:
    virtual ~Workbook() = default;
    // Loads the whole file. Throws LoadError.
    static std::unique_ptr<Workbook> load(const std::string& path, const Limits& limits = {});
    // Same, from bytes in memory (fuzzing, tests).
    static std::unique_ptr<Workbook> loadFromMemory(std::string_view bytes,
                                                    const Limits& limits = {});
    // Worksheets only, in the workbook's order (hidden ones included; chart
    // sheets and other kinds skipped).
    virtual size_t sheetCount() const = 0;
    virtual const Sheet& sheet(size_t index) const = 0;
    virtual bool date1904() const = 0;
};

}  // namespace xlsx
