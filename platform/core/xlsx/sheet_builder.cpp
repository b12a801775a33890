#include "sheet_builder.h"

#include <algorithm>

#include "cell_text.h"
#include "messages.h"

namespace xlsx::detail {
namespace {

constexpr uint32_t kMaxRows = 1048576;
constexpr uint32_t kMaxColumns = 16384;

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isXmlSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isXmlSpace(s.back())) s.remove_suffix(1);
    return s;
}

const std::string_view* find(std::span<const Attr> attrs, std::string_view name) {
    for (const Attr& a : attrs)
        if (a.name == name) return &a.value;
    return nullptr;
}

// Decimal digits only, at most `maxDigits` of them; false otherwise.
bool parseUnsigned(std::string_view s, uint32_t maxDigits, uint64_t& out) {
    if (s.empty() || s.size() > maxDigits) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    out = v;
    return true;
}

// "B7" -> row 6, column 1. Columns A..XFD, rows 1..1048576.
bool parseCellReference(std::string_view s, uint32_t& row, uint32_t& column) {
    size_t i = 0;
    uint32_t col = 0;
    while (i < s.size() && i < 4) {
        char c = s[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z') break;
        col = col * 26 + static_cast<uint32_t>(c - 'A' + 1);
        ++i;
    }
    if (i == 0 || i > 3 || col > kMaxColumns) return false;
    uint64_t r = 0;
    if (!parseUnsigned(s.substr(i), 7, r) || r == 0 || r > kMaxRows) return false;
    row = static_cast<uint32_t>(r - 1);
    column = col - 1;
    return true;
}

bool isTrue(std::string_view v) { return v == "1" || v == "true"; }

}  // namespace

Elem elementFromLocalName(std::string_view n) {
    switch (n.size()) {
        case 1:
            switch (n[0]) {
                case 'c': return Elem::C;
                case 'v': return Elem::V;
                case 'f': return Elem::F;
                case 't': return Elem::T;
                case 'r': return Elem::R;
                default: return Elem::Other;
            }
        case 2: return n == "is" ? Elem::Is : Elem::Other;
        case 3: return n == "row" ? Elem::Row : n == "rPh" ? Elem::RPh : Elem::Other;
        case 9:
            return n == "worksheet" ? Elem::Worksheet : n == "sheetData" ? Elem::SheetData : n == "sheetView" ? Elem::SheetView : Elem::Other;
        case 10: return n == "sheetViews" ? Elem::SheetViews : Elem::Other;
        default: return Elem::Other;
    }
}

SheetBuilder::SheetBuilder(SheetData& sheet, const BuildContext& context)
    : sheet_(sheet), ctx_(context), maxCaptureBytes_(7 * context.limits.maxCellChars + 7) {}

void SheetBuilder::textTooLong() {
    throw LoadError(msg::textTooLong("the sheet \"" + sheet_.name + "\", cell " + here(), ctx_.limits.maxCellChars));
}

std::string SheetBuilder::here() const { return cellName(static_cast<int>(cellRow_), cellColumn_); }

void SheetBuilder::failReference(std::string_view ref) {
    throw LoadError(msg::badReference(sheet_.name, ref));
}

void SheetBuilder::start(Elem e, std::span<const Attr> attrs) {
    if (!seenRoot_) {
        seenRoot_ = true;
        if (e != Elem::Worksheet) throw LoadError(msg::notWorksheet(sheet_.part));
    }
    // The places that matter: worksheet/sheetViews/sheetView,
    // worksheet/sheetData/row/c/(v|f|is/(t|r/t)).
    const size_t depth = stack_.size();
    const auto at = [&](size_t i, Elem x) { return depth > i && stack_[i] == x; };
    const bool inData = at(1, Elem::SheetData);
    switch (e) {
        case Elem::Row:
            if (depth == 2 && inData) beginRow(attrs);
            break;
        case Elem::C:
            if (depth == 3 && inData && at(2, Elem::Row)) beginCell(attrs);
            break;
        case Elem::V:
            if (depth == 4 && inData && at(2, Elem::Row) && at(3, Elem::C)) {
                hasValue_ = true;
                value_.clear();
                capture_ = &value_;
                captureDepth_ = depth + 1;
            }
            break;
        case Elem::F:
            if (depth == 4 && inData && at(2, Elem::Row) && at(3, Elem::C)) {
                hasFormula_ = true;
                const auto* t = find(attrs, "t");
                formulaShared_ = t != nullptr && trim(*t) == "shared";
                uint64_t group = 0;
                const auto* si = find(attrs, "si");
                hasGroup_ = si != nullptr && parseUnsigned(trim(*si), 9, group);
                formulaGroup_ = static_cast<uint32_t>(group);
                if (sheet_.showFormulas) {
                    formula_.clear();
                    capture_ = &formula_;
                    captureDepth_ = depth + 1;
                }
            }
            break;
        case Elem::Is:
            if (depth == 4 && inData && at(2, Elem::Row) && at(3, Elem::C)) {
                hasInline_ = true;
                inline_.clear();
            }
            break;
        case Elem::T:
            if (inData && at(2, Elem::Row) && at(3, Elem::C) && at(4, Elem::Is) &&
                (depth == 5 || (depth == 6 && at(5, Elem::R)))) {
                capture_ = &inline_;
                captureDepth_ = depth + 1;
                segmentStart_ = inline_.size();
            }
            break;
        case Elem::SheetView:
            if (depth == 2 && at(1, Elem::SheetViews) && !sheetViewSeen_) {
                sheetViewSeen_ = true;
                const auto* sf = find(attrs, "showFormulas");
                sheet_.showFormulas = sf != nullptr && isTrue(trim(*sf));
            }
            break;
        default: break;
    }
    stack_.push_back(e);
}

void SheetBuilder::end() {
    if (stack_.empty()) return;
    const Elem e = stack_.back();
    if (capture_ != nullptr && stack_.size() == captureDepth_) {
        if (e == Elem::T) endText();
        capture_ = nullptr;
    }
    stack_.pop_back();
    if (e == Elem::C && stack_.size() == 3 && stack_[1] == Elem::SheetData && stack_[2] == Elem::Row)
        endCell(value_);
}

void SheetBuilder::endText() {
    // Escapes are decoded per <t>: one never spans two runs.
    if (inline_.find("_x", segmentStart_) == std::string::npos) return;
    std::string segment = inline_.substr(segmentStart_);
    decodeEscapes(segment);
    inline_.resize(segmentStart_);
    inline_ += segment;
}

void SheetBuilder::beginRow(std::span<const Attr> attrs) {
    const auto* r = find(attrs, "r");
    std::string_view ref = r != nullptr ? trim(*r) : std::string_view();
    if (!ref.empty()) {
        uint64_t n = 0;
        if (!parseUnsigned(ref, 7, n) || n == 0 || n > kMaxRows) failReference(ref);
        row_ = static_cast<int64_t>(n) - 1;
    } else {
        if (row_ + 1 >= kMaxRows) throw LoadError(msg::outsideGrid(sheet_.name));
        ++row_;
    }
    column_ = -1;
    sheet_.lastRow = std::max(sheet_.lastRow, static_cast<int>(row_));
}

void SheetBuilder::beginCell(std::span<const Attr> attrs) {
    beginCell(find(attrs, "r"), find(attrs, "s"), find(attrs, "t"));
}

void SheetBuilder::simpleCell(const std::string_view* r, const std::string_view* s,
                              const std::string_view* t, const std::string_view* value,
                              const std::string_view* inlineText) {
    beginCell(r, s, t);
    if (inlineText != nullptr) {
        hasInline_ = true;
        inline_.assign(*inlineText);
        segmentStart_ = 0;
        endText();
    }
    hasValue_ = value != nullptr;
    endCell(value != nullptr ? *value : std::string_view());
}

void SheetBuilder::beginCell(const std::string_view* r, const std::string_view* s,
                             const std::string_view* t) {
    std::string_view ref = r != nullptr ? trim(*r) : std::string_view();
    uint32_t row = 0, column = 0;
    if (!ref.empty()) {
        if (!parseCellReference(ref, row, column)) failReference(ref);
    } else {
        if (column_ + 1 >= kMaxColumns) throw LoadError(msg::outsideGrid(sheet_.name));
        row = static_cast<uint32_t>(row_ < 0 ? 0 : row_);
        column = static_cast<uint32_t>(column_ + 1);
    }
    column_ = column;
    cellRow_ = row;
    cellColumn_ = static_cast<uint16_t>(column);

    cellFormat_ = FormatClass::Number;
    uint64_t style = 0;
    if (s != nullptr && !parseUnsigned(trim(*s), 9, style)) style = 0;
    if (style < ctx_.styles->size()) cellFormat_ = (*ctx_.styles)[style];

    cellType_ = Type::Number;
    if (t != nullptr) {
        const std::string_view v = trim(*t);
        if (v == "s") cellType_ = Type::Shared;
        else if (v == "str") cellType_ = Type::Str;
        else if (v == "inlineStr") cellType_ = Type::Inline;
        else if (v == "b") cellType_ = Type::Bool;
        else if (v == "e") cellType_ = Type::Error;
        else if (v == "d") cellType_ = Type::Date;
        // "n" and anything unknown: a number.
    }
    hasValue_ = hasFormula_ = hasInline_ = formulaShared_ = hasGroup_ = false;
}

uint32_t SheetBuilder::addText(std::string_view text) {
    if (textLength(text) > ctx_.limits.maxCellChars) textTooLong();
    return sheet_.texts.add(text);
}

double SheetBuilder::number(std::string_view text) {
    double v = 0;
    switch (parseNumber(text, v)) {
        case NumberParse::Ok: return v;
        case NumberParse::TooLarge: throw LoadError(msg::numberTooLarge(sheet_.name, here()));
        case NumberParse::Invalid: break;
    }
    throw LoadError(msg::badNumber(sheet_.name, here(), text));
}

void SheetBuilder::endCell(std::string_view v) {
    Cell cell{};
    cell.row = cellRow_;
    cell.column = cellColumn_;
    cell.format = cellFormat_;
    cell.kind = CellKind::Blank;

    if (sheet_.showFormulas && hasFormula_) {
        std::string_view f = formula_;
        if (!f.empty()) {
            std::string shown = "=";
            shown += f;
            cell.kind = CellKind::FormulaSource;
            cell.setIndex(addText(shown));
            if (formulaShared_ && hasGroup_)
                sheet_.sharedMasters.try_emplace(formulaGroup_,
                                                 SharedFormulaMaster{cell.index(), cellRow_, cellColumn_});
            store(cell);
            return;
        }
        if (formulaShared_ && hasGroup_)
            sheet_.sharedFollowers.push_back({cellKey(cellRow_, cellColumn_), formulaGroup_});
    }

    const bool formula = hasFormula_;
    if (!hasValue_) v = {};

    switch (cellType_) {
        case Type::Shared: {
            if (!hasValue_ || trim(v).empty()) break;
            uint64_t index = 0;
            if (!parseUnsigned(trim(v), 10, index) || index >= ctx_.sharedStrings->size())
                throw LoadError(msg::badSharedString(sheet_.name, here(), v));
            // A formula's text result reads like a text cell: the shared
            // text itself, never a copy.
            cell.kind = CellKind::SharedText;
            cell.setIndex(static_cast<uint32_t>(index));
            break;
        }
        case Type::Inline: {
            if (hasInline_) {
                cell.kind = formula ? CellKind::FormulaText : CellKind::Text;
                cell.setIndex(addText(inline_));
            } else if (hasValue_) {
                std::string t(v);
                decodeEscapes(t);
                cell.kind = formula ? CellKind::FormulaText : CellKind::Text;
                cell.setIndex(addText(t));
            }
            break;
        }
        case Type::Str: {
            if (!hasValue_) break;
            std::string t(v);
            decodeEscapes(t);
            cell.kind = formula ? CellKind::FormulaText : CellKind::Text;
            cell.setIndex(addText(t));
            break;
        }
        case Type::Bool: {
            if (!hasValue_) break;
            const std::string_view b = trim(v);
            bool truth = false;
            if (b == "1" || b == "true") truth = true;
            else if (b != "0" && b != "false") throw LoadError(msg::badBoolean(sheet_.name, here(), v));
            cell.kind = formula ? CellKind::FormulaBool : CellKind::Bool;
            cell.setIndex(truth ? 1 : 0);
            break;
        }
        case Type::Error: {
            if (!hasValue_ || trim(v).empty()) break;
            cell.kind = formula ? CellKind::FormulaError : CellKind::Error;
            cell.setIndex(addText(errorText(trim(v))));
            break;
        }
        case Type::Date: {
            if (!hasValue_ || trim(v).empty()) break;
            double serial = 0;
            bool timeOnly = false;
            if (parseIsoDateTime(v, serial, timeOnly)) {
                cell.kind = formula ? CellKind::FormulaDate : CellKind::Date;
                cell.format = timeOnly ? FormatClass::Time : FormatClass::Date;
                cell.setNumber(serial);
            } else {
                cell.kind = formula ? CellKind::FormulaText : CellKind::Text;
                cell.setIndex(addText(v));
            }
            break;
        }
        case Type::Number: {
            if (!hasValue_ || trim(v).empty()) break;
            cell.kind = formula ? CellKind::FormulaNumber : CellKind::Number;
            cell.setNumber(number(v));
            break;
        }
    }
    if (formula && cell.kind == CellKind::Blank) cell.kind = CellKind::FormulaNoResult;
    store(cell);
}

void SheetBuilder::store(Cell& cell) {
    if (sheet_.cells.size() >= ctx_.limits.maxCells) throw LoadError(msg::tooManyCells(ctx_.limits.maxCells));
    const uint64_t key = cell.key();
    if (anyCell_ && key <= lastKey_) sorted_ = false;
    anyCell_ = true;
    lastKey_ = key;
    sheet_.cells.push_back(cell);
    sheet_.lastRow = std::max(sheet_.lastRow, static_cast<int>(cell.row));
    sheet_.lastColumn = std::max(sheet_.lastColumn, static_cast<int>(cell.column));
}

void SheetBuilder::finish() {
    if (!sorted_) {
        // Rows or cells out of order, or a place given twice: order them by
        // place, the later of two cells at one place winning.
        std::vector<Cell> all;
        all.reserve(sheet_.cells.size());
        for (size_t i = 0; i < sheet_.cells.size(); ++i) all.push_back(sheet_.cells[i]);
        std::stable_sort(all.begin(), all.end(),
                         [](const Cell& a, const Cell& b) { return a.key() < b.key(); });
        sheet_.cells.clear();
        for (size_t i = 0; i < all.size(); ++i) {
            if (i + 1 < all.size() && all[i + 1].key() == all[i].key()) continue;
            sheet_.cells.push_back(all[i]);
        }
    }
    auto& followers = sheet_.sharedFollowers;
    std::stable_sort(followers.begin(), followers.end(),
                     [](const auto& a, const auto& b) { return a.key < b.key; });
    sheet_.texts.shrink();
}

}  // namespace xlsx::detail
