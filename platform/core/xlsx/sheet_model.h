// How a loaded worksheet keeps its cells: small fixed-size cells sorted by
// row and column, texts kept once in pools and referred to by index.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "number_format.h"

namespace xlsx::detail {

// Texts stored back to back, each found by its index.
class StringPool {
public:
    uint32_t add(std::string_view text);
    std::string_view get(uint32_t index) const {
        const uint32_t begin = index == 0 ? 0 : ends_[index - 1];
        return std::string_view(data_).substr(begin, ends_[index] - begin);
    }
    size_t size() const { return ends_.size(); }
    void shrink() {
        data_.shrink_to_fit();
        ends_.shrink_to_fit();
    }

private:
    std::string data_;
    std::vector<uint32_t> ends_;
};

enum class CellKind : uint8_t {
    Blank,            // stored, holds nothing
    Number,           // a number: text by its format class
    SharedText,       // index into the workbook's shared strings
    Text,             // index into the sheet's pool: inline or t="str" text
    Bool,             // "TRUE" / "FALSE"
    Error,            // index into the sheet's pool
    Date,             // t="d": a serial date (format Time for a time alone)
    FormulaNumber,    // cached number: the general number form
    FormulaText,      // cached text (pool)
    FormulaBool,      // cached truth value: "True" / "False"
    FormulaError,     // cached error (pool)
    FormulaDate,      // cached t="d" value
    FormulaNoResult,  // a formula without a cached value: "0"
    FormulaSource,    // the formula's own text, on a sheet shown with formulas (pool)
};

struct Cell {
    uint32_t row;
    uint16_t column;
    CellKind kind;
    FormatClass format;
    uint32_t payload[2];

    uint64_t key() const { return (uint64_t{row} << 16) | column; }
    double number() const {
        double v;
        std::memcpy(&v, payload, sizeof v);
        return v;
    }
    void setNumber(double v) { std::memcpy(payload, &v, sizeof v); }
    uint32_t index() const { return payload[0]; }
    void setIndex(uint32_t i) {
        payload[0] = i;
        payload[1] = 0;
    }
};
static_assert(sizeof(Cell) == 16, "cells stay small");

inline uint64_t cellKey(uint32_t row, uint32_t column) { return (uint64_t{row} << 16) | column; }

// Cells in blocks of a fixed size: growing never copies what is stored, so
// the peak memory is what the cells need plus one block.
class CellStore {
public:
    static constexpr size_t kBlockBits = 15;
    static constexpr size_t kBlockSize = size_t{1} << kBlockBits;

    size_t size() const { return size_; }
    const Cell& operator[](size_t i) const { return blocks_[i >> kBlockBits][i & (kBlockSize - 1)]; }
    Cell& operator[](size_t i) { return blocks_[i >> kBlockBits][i & (kBlockSize - 1)]; }
    void push_back(const Cell& c) {
        if ((size_ & (kBlockSize - 1)) == 0) blocks_.push_back(std::make_unique<Cell[]>(kBlockSize));
        blocks_.back()[size_ & (kBlockSize - 1)] = c;
        ++size_;
    }
    void clear() {
        blocks_.clear();
        size_ = 0;
    }
    // Index of the first cell whose key is not below `key` (cells sorted).
    size_t lowerBound(uint64_t key) const;

private:
    std::vector<std::unique_ptr<Cell[]>> blocks_;
    size_t size_ = 0;
};

// The master of a shared formula: its own text and place.
struct SharedFormulaMaster {
    uint32_t text;  // pool index of the formula without "="
    uint32_t row;
    uint16_t column;
};

// A cell that follows a shared formula: its place and the group.
struct SharedFormulaFollower {
    uint64_t key;
    uint32_t group;
};

struct SheetData {
    std::string name;
    std::string part;
    CellStore cells;    // sorted by (row, column), one cell per place
    StringPool texts;   // texts of this sheet's own cells
    int lastRow = -1;
    int lastColumn = -1;
    bool showFormulas = false;
    std::unordered_map<uint32_t, SharedFormulaMaster> sharedMasters;
    std::vector<SharedFormulaFollower> sharedFollowers;  // sorted by key
};

}  // namespace xlsx::detail
