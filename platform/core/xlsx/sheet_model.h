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

// Texts stored back to back in blocks, each found by its index. Blocks are
// never moved or grown: adding texts copies nothing already stored, so the
// peak memory is what the texts need plus one block.
//
// Every text lies whole inside one block. Offsets count in a virtual space in
// which each block takes as many slices of kBlockBytes as its size; a text's
// end offset is kept, and its start is the previous text's end, or the start
// of its block when it did not fit behind that one.
class StringPool {
public:
    static constexpr size_t kBlockBytes = size_t{1} << 20;

    uint32_t add(std::string_view text);
    std::string_view get(uint32_t index) const {
        const uint64_t end = endAt(index);
        const uint64_t prev = index == 0 ? 0 : endAt(index - 1);
        if (end == prev) return {};
        const Slice& slice = slices_[(end - 1) / kBlockBytes];
        const uint64_t start = prev >= slice.blockStart ? prev : slice.blockStart;
        return std::string_view(slice.block + (start - slice.blockStart), end - start);
    }
    size_t size() const { return count_; }
    void shrink() {}  // nothing to give back: blocks are filled in turn

private:
    static constexpr size_t kEndsBits = 15;
    struct Slice {
        const char* block;    // the block holding this slice
        uint64_t blockStart;  // the block's first virtual offset
    };
    uint64_t endAt(uint32_t i) const { return ends_[i >> kEndsBits][i & ((1u << kEndsBits) - 1)]; }

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<Slice> slices_;
    std::vector<std::unique_ptr<uint32_t[]>> ends_;
    uint64_t used_ = 0;      // virtual offset of the next free byte
    uint64_t blockEnd_ = 0;  // virtual end of the current block
    char* free_ = nullptr;   // where the next byte goes in the current block
    size_t count_ = 0;
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
