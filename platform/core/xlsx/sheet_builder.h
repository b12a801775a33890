// Turns the element events of a worksheet part into cells. Both worksheet
// parsers (expat, and the scanner made for the cell stream) feed the same
// builder, so they can differ only in how they read XML, never in what a
// cell means.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sheet_model.h"
#include "workbook.h"

namespace xlsx::detail {

// The worksheet elements the builder looks at, all in the SpreadsheetML
// namespace (transitional or strict). Anything else is Other.
enum class Elem : uint8_t { Other, Worksheet, SheetViews, SheetView, SheetData, Row, C, V, F, Is, T, R, RPh };
Elem elementFromLocalName(std::string_view local);

// An attribute without a namespace prefix, its value already decoded.
struct Attr {
    std::string_view name;
    std::string_view value;
};

struct BuildContext {
    const StringPool* sharedStrings;
    const std::vector<FormatClass>* styles;  // by cellXfs index
    Limits limits;
};

class SheetBuilder {
public:
    SheetBuilder(SheetData& sheet, const BuildContext& context);
    void start(Elem element, std::span<const Attr> attrs);
    void end();
    void text(std::string_view text) {
        if (capture_ == nullptr || stack_.size() != captureDepth_) return;
        capture_->append(text);
        // Escapes shrink a text at most sevenfold: past that it is too long
        // whatever it decodes to, and need not be kept whole to know it.
        if (capture_->size() > maxCaptureBytes_ &&
            (capture_ != &value_ || cellType_ == Type::Str || cellType_ == Type::Inline))
            textTooLong();
    }
    // Called once the part has been read: orders the cells.
    void finish();

    // Whether the next <c> would be a cell of the current row (what the
    // scanner checks before it takes a cell in one piece).
    bool inRow() const {
        return capture_ == nullptr && stack_.size() == 3 && stack_[1] == Elem::SheetData &&
               stack_[2] == Elem::Row;
    }
    // A whole <c> element in one call, for a cell with no attributes but r, s
    // and t (null when absent) and either nothing inside, a <v> (value), or
    // an <is> with one <t> (inlineText): exactly what its events would do.
    void simpleCell(const std::string_view* r, const std::string_view* s, const std::string_view* t,
                    const std::string_view* value, const std::string_view* inlineText);

private:
    enum class Type : uint8_t { Number, Shared, Str, Inline, Bool, Error, Date };
    void beginRow(std::span<const Attr> attrs);
    void beginCell(std::span<const Attr> attrs);
    void beginCell(const std::string_view* r, const std::string_view* s, const std::string_view* t);
    void endCell(std::string_view value);
    void endText();
    void store(Cell& cell);
    uint32_t addText(std::string_view text);
    double number(std::string_view text);
    [[noreturn]] void failReference(std::string_view ref);
    [[noreturn]] void textTooLong();
    std::string here() const;

    SheetData& sheet_;
    BuildContext ctx_;
    size_t maxCaptureBytes_;
    std::vector<Elem> stack_;
    std::string* capture_ = nullptr;
    size_t captureDepth_ = 0;
    size_t segmentStart_ = 0;
    bool seenRoot_ = false;
    bool sheetViewSeen_ = false;
    bool sorted_ = true;
    uint64_t lastKey_ = 0;
    bool anyCell_ = false;

    int64_t row_ = -1;      // current row element
    int64_t column_ = -1;   // last cell's column in the row
    // The cell being read.
    uint32_t cellRow_ = 0;
    uint16_t cellColumn_ = 0;
    FormatClass cellFormat_ = FormatClass::Number;
    Type cellType_ = Type::Number;
    bool hasValue_ = false, hasFormula_ = false, hasInline_ = false;
    bool formulaShared_ = false;
    bool hasGroup_ = false;
    uint32_t formulaGroup_ = 0;
    std::string value_, formula_, inline_;
};

}  // namespace xlsx::detail
