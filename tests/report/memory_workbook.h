// A workbook held in memory, cell texts given directly: lets the upload code be
// tested with texts no producer writes (control characters) and without files.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "workbook.h"

namespace testing {

class MemorySheet : public xlsx::Sheet {
public:
    explicit MemorySheet(std::string name = "Sheet") : name_(std::move(name)) {}

    // Stores the cell; a stored cell also stores its row.
    void set(int row, int column, std::string text) {
        cells_[{row, column}] = std::move(text);
        storeRow(row);
        if (column > lastColumn_) lastColumn_ = column;
    }
    // Stores a row without cells (a formatted but empty row, say).
    void storeRow(int row) {
        if (row > lastRow_) lastRow_ = row;
    }
    void setRow(int row, const std::vector<std::string>& texts) {
        for (size_t column = 0; column < texts.size(); ++column)
            set(row, static_cast<int>(column), texts[column]);
    }

    const std::string& name() const override { return name_; }
    int lastRow() const override { return lastRow_; }
    int lastColumn() const override { return lastColumn_; }
    bool hasCell(int row, int column) const override { return cells_.count({row, column}) != 0; }
    std::string text(int row, int column, const regional::Settings&) const override {
        ++cellsRead;
        return find(row, column);
    }
    void rowTexts(int row, int firstColumn, int lastColumn, const regional::Settings&,
                  std::vector<std::string>& out) const override {
        out.clear();
        for (int column = firstColumn; column <= lastColumn; ++column) {
            ++cellsRead;
            out.push_back(find(row, column));
        }
    }
    size_t cellCount() const override { return cells_.size(); }
    void forEachCell(int firstRow, int lastRow, const regional::Settings&,
                     const std::function<void(int, int, const std::string&)>& visit)
        const override {
        for (auto it = cells_.lower_bound({firstRow, 0});
             it != cells_.end() && it->first.first <= lastRow; ++it) {
            ++cellsRead;
            visit(it->first.first, it->first.second, it->second);
        }
    }

    // Cells whose text has been asked for, by text or rowTexts.
    mutable int cellsRead = 0;

private:
    std::string find(int row, int column) const {
        const auto found = cells_.find({row, column});
        return found == cells_.end() ? std::string() : found->second;
    }

    std::string name_;
    std::map<std::pair<int, int>, std::string> cells_;
    int lastRow_ = -1;
    int lastColumn_ = -1;
};

class MemoryWorkbook : public xlsx::Workbook {
public:
    MemorySheet& addSheet(std::string name) {
        sheets_.push_back(std::make_unique<MemorySheet>(std::move(name)));
        return *sheets_.back();
    }
    size_t sheetCount() const override { return sheets_.size(); }
    const xlsx::Sheet& sheet(size_t index) const override { return *sheets_.at(index); }
    bool date1904() const override { return false; }

private:
    std::vector<std::unique_ptr<MemorySheet>> sheets_;
};

// The courier report's header row as the courier writes it.
inline const std::vector<std::string>& courierHeader() {
    static const std::vector<std::string> header{
        "AWB",          "Nume destinatar", "Judet destinatar",       "Oras destinatar",
        "Adresa destinatar", "Adresa ridicare", "Referinta client", "Suma ramburs",
        "Data",         "Data colectare ramburs", "Numar colete livrate"};
    return header;
}

}  // namespace testing
