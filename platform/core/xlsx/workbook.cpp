#include "workbook.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "cell_text.h"
#include "formula_shift.h"
#include "loader.h"
#include "messages.h"
#include "number_format.h"
#include "package.h"
#include "sheet_builder.h"
#include "sheet_model.h"
#include "sheet_parsers.h"
#include "xml_reader.h"

// How the reader maps the cell-text rules onto SpreadsheetML, and what it
// does where the rules leave the choice to it:
// - Every number in an .xlsx is a double: there is no "whole number stored as
//   an integer" and no "currency amount" kind. Every number takes the rules
//   for numbers: the date text under a date format, the time under a time
//   format, the general number form (15 significant digits) otherwise. A whole
//   number thus reads as its digits (12345 -> "12345") up to 15 digits.
// - A cell the workbook leaves out reads as the empty text, like a stored
//   blank cell; hasCell tells them apart.
// - A formula's cached error reads as its error text; a cached date (t="d")
//   as the date text; a cached number in the general number form whatever
//   the cell's format; a cached text (t="str", or t="s" pointing into the
//   shared strings) unchanged. A formula with no cached value, or an empty
//   one where a number or truth value was due, reads "0"; an empty cached
//   text reads "".
// - On a sheet saved with showFormulas (its first sheetView says so), a cell
//   with a formula reads "=" and the formula. A follower of a shared formula
//   reads the master's formula with its relative references moved to the
//   follower's place; a follower whose master the sheet lacks reads its
//   cached result.
// - An ISO date cell (t="d") reads as the date text; one holding a time
//   alone reads as the long time; one whose text is not an ISO date reads as
//   that text.
// - An unknown cell type reads as a number; t="str" without a formula is a
//   text. An error value in another case (#n/a) reads as the table spells it.
// - Cells and rows out of order are put in order; of two cells at one place
//   the later wins. A cell's own reference wins over its row's.
// - A text may hold 32,767 characters counted as a spreadsheet counts them
//   (UTF-16 code units); a longer one, shared or not, refuses the workbook.
// - Sheets: worksheets in the workbook's order, hidden ones included; chart
//   sheets, dialog and macro sheets, and a sheet whose r:id names no
//   relationship are not loaded and do not count. Two sheets naming one part
//   refuse the workbook.
// - Load failures speak English; every message says what is wrong with the
//   file and, where it helps, which part, sheet or cell.

namespace xlsx {
namespace detail {
namespace {

// ---------------------------------------------------------------- relationships

struct Relationship {
    std::string id;
    std::string type;    // the last segment of the type URI: "worksheet", "styles" ...
    std::string target;  // resolved part name
};

// The relationship type URIs the reader knows, transitional and strict.
std::string_view relationshipKind(std::string_view type) {
    static constexpr std::string_view kPrefixes[] = {
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships/",
        "http://purl.oclc.org/ooxml/officeDocument/relationships/",
    };
    for (std::string_view p : kPrefixes)
        if (type.substr(0, p.size()) == p) return type.substr(p.size());
    return {};
}

class RelationshipsHandler : public XmlHandler {
public:
    RelationshipsHandler(std::string source, std::vector<Relationship>& out)
        : source_(std::move(source)), out_(out) {}
    void startElement(std::string_view uri, std::string_view local,
                      const XmlAttributes& atts) override {
        if (uri != ns::kPackageRels || local != "Relationship") return;
        const char* id = atts.get("Id");
        const char* type = atts.get("Type");
        const char* target = atts.get("Target");
        const char* mode = atts.get("TargetMode");
        if (id == nullptr || type == nullptr || target == nullptr) return;
        if (mode != nullptr && std::string_view(mode) == "External") return;
        out_.push_back({id, std::string(relationshipKind(type)), resolveTarget(source_, target)});
    }
    void endElement(std::string_view, std::string_view) override {}
    void characters(std::string_view) override {}

private:
    std::string source_;
    std::vector<Relationship>& out_;
};

std::vector<Relationship> readRelationships(Package& package, std::string_view part) {
    std::vector<Relationship> rels;
    const std::string relsPart = relationshipsPartOf(part);
    if (!package.has(relsPart)) return rels;
    RelationshipsHandler handler(std::string(part), rels);
    parsePart(package, relsPart, handler);
    return rels;
}

const Relationship* findByType(const std::vector<Relationship>& rels, std::string_view kind) {
    for (const auto& r : rels)
        if (r.type == kind) return &r;
    return nullptr;
}

// -------------------------------------------------------------------- workbook

struct SheetEntry {
    std::string name;
    std::string relId;
};

class WorkbookHandler : public XmlHandler {
public:
    bool date1904 = false;
    std::vector<SheetEntry> sheets;

    void startElement(std::string_view uri, std::string_view local,
                      const XmlAttributes& atts) override {
        const bool main = ns::isMain(uri);
        if (depth_++ == 0) {
            if (!main || local != "workbook") throw LoadError(msg::notWorkbook());
            return;
        }
        if (!main) return;
        if (local == "workbookPr" && depth_ == 2) {
            const char* d = atts.get("date1904");
            date1904 = d != nullptr && (std::string_view(d) == "1" || std::string_view(d) == "true");
        } else if (local == "sheets" && depth_ == 2) {
            inSheets_ = true;
        } else if (local == "sheet" && inSheets_ && depth_ == 3) {
            const char* name = atts.get("name");
            const char* id = atts.getNs(ns::isRel, "id");
            SheetEntry e{name != nullptr ? name : "", id != nullptr ? id : ""};
            decodeEscapes(e.name);
            sheets.push_back(std::move(e));
        }
    }
    void endElement(std::string_view, std::string_view local) override {
        if (--depth_ == 1 && local == "sheets") inSheets_ = false;
    }
    void characters(std::string_view) override {}

private:
    int depth_ = 0;
    bool inSheets_ = false;
};

// ---------------------------------------------------------------------- styles

// numFmts and cellXfs; markup-compatibility blocks take their Fallback (the
// reader understands no extension that a Choice may require).
class StylesHandler : public XmlHandler {
public:
    std::vector<FormatClass> resolve() const {
        // Each format code is classified once, however many styles use it.
        std::unordered_map<uint32_t, FormatClass> classes;
        for (const auto& [id, code] : customFormats_) classes.emplace(id, classifyFormatCode(code));
        std::vector<FormatClass> out;
        out.reserve(xfFormats_.size());
        for (uint32_t id : xfFormats_) {
            auto it = classes.find(id);
            out.push_back(it != classes.end() ? it->second : builtinFormatClass(id));
        }
        return out;
    }

    void startElement(std::string_view uri, std::string_view local,
                      const XmlAttributes& atts) override {
        if (skipDepth_ > 0) {
            ++skipDepth_;
            return;
        }
        if (uri == ns::kMarkupCompatibility) {
            if (local == "Choice") skipDepth_ = 1;
            return;  // AlternateContent and Fallback are transparent
        }
        const Node parent = path_.empty() ? Node::Other : path_.back();
        Node node = Node::Other;
        if (ns::isMain(uri)) {
            if (local == "numFmts") node = Node::NumFmts;
            else if (local == "cellXfs") node = Node::CellXfs;
            else if (local == "numFmt" && parent == Node::NumFmts && path_.size() == 2) {
                const char* id = atts.get("numFmtId");
                const char* code = atts.get("formatCode");
                uint32_t n = 0;
                if (id != nullptr && code != nullptr && parseId(id, n)) customFormats_.try_emplace(n, code);
            } else if (local == "xf" && parent == Node::CellXfs && path_.size() == 2) {
                const char* id = atts.get("numFmtId");
                uint32_t n = 0;
                if (id == nullptr || !parseId(id, n)) n = 0;
                xfFormats_.push_back(n);
            }
        }
        path_.push_back(node);
    }
    void endElement(std::string_view uri, std::string_view) override {
        if (skipDepth_ > 0) {
            --skipDepth_;
            return;
        }
        if (uri == ns::kMarkupCompatibility) return;
        path_.pop_back();
    }
    void characters(std::string_view) override {}

private:
    enum class Node : uint8_t { Other, NumFmts, CellXfs };
    static bool parseId(std::string_view s, uint32_t& out) {
        if (s.empty() || s.size() > 9) return false;
        uint32_t v = 0;
        for (char c : s) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + static_cast<uint32_t>(c - '0');
        }
        out = v;
        return true;
    }

    std::vector<Node> path_;
    size_t skipDepth_ = 0;
    std::unordered_map<uint32_t, std::string> customFormats_;
    std::vector<uint32_t> xfFormats_;
};

// -------------------------------------------------------------- shared strings

class SharedStringsHandler : public XmlHandler {
public:
    SharedStringsHandler(StringPool& pool, const Limits& limits) : pool_(pool), limits_(limits) {}

    void startElement(std::string_view uri, std::string_view local,
                      const XmlAttributes&) override {
        const size_t depth = stack_.size();
        Elem e = ns::isMain(uri) ? elementFromLocalName(local) : Elem::Other;
        if (ns::isMain(uri) && local == "si") e = Elem::Is;  // an item reads like an inline string
        if (e == Elem::Is && depth == 1) {
            inItem_ = true;
            item_.clear();
        } else if (e == Elem::T && inItem_ &&
                   (depth == 2 || (depth == 3 && stack_[2] == Elem::R))) {
            capturing_ = true;
            segmentStart_ = item_.size();
        }
        stack_.push_back(e);
    }
    void endElement(std::string_view, std::string_view) override {
        const Elem e = stack_.back();
        stack_.pop_back();
        if (e == Elem::T && capturing_) {
            capturing_ = false;
            if (item_.find("_x", segmentStart_) != std::string::npos) {
                std::string segment = item_.substr(segmentStart_);
                decodeEscapes(segment);
                item_.resize(segmentStart_);
                item_ += segment;
            }
        } else if (e == Elem::Is && stack_.size() == 1 && inItem_) {
            inItem_ = false;
            if (textLength(item_) > limits_.maxCellChars) tooLong();
            pool_.add(item_);
        }
    }
    void characters(std::string_view text) override {
        if (!capturing_) return;
        item_.append(text);
        // Escapes shrink a text at most sevenfold: past that, it is too long
        // whatever it decodes to.
        if (item_.size() > 7 * static_cast<uint64_t>(limits_.maxCellChars) + 7) tooLong();
    }

private:
    [[noreturn]] void tooLong() {
        throw LoadError(msg::textTooLong("the table of shared texts", limits_.maxCellChars));
    }
    StringPool& pool_;
    const Limits& limits_;
    std::vector<Elem> stack_;
    std::string item_;
    bool inItem_ = false;
    bool capturing_ = false;
    size_t segmentStart_ = 0;
};

// ---------------------------------------------------------------------- model

class WorkbookImpl;

class SheetImpl final : public Sheet {
public:
    SheetImpl(const WorkbookImpl& wb, SheetData data) : wb_(wb), d_(std::move(data)) {}
    const std::string& name() const override { return d_.name; }
    int lastRow() const override { return d_.lastRow; }
    int lastColumn() const override { return d_.lastColumn; }
    bool hasCell(int row, int column) const override { return find(row, column) != nullptr; }
    std::string text(int row, int column, const regional::Settings& s) const override {
        const Cell* c = find(row, column);
        return c == nullptr ? std::string() : cellText(*c, s);
    }
    void rowTexts(int row, int firstColumn, int lastColumn, const regional::Settings& s,
                  std::vector<std::string>& out) const override;
    size_t cellCount() const override { return d_.cells.size(); }
    void forEachCell(int firstRow, int lastRow, const regional::Settings& s,
                     const std::function<void(int, int, const std::string&)>& visit) const override {
        if (lastRow < 0 || lastRow < firstRow) return;
        const auto from = static_cast<uint32_t>(std::max(firstRow, 0));
        std::string text;
        for (size_t i = d_.cells.lowerBound(cellKey(from, 0)); i < d_.cells.size(); ++i) {
            const Cell& c = d_.cells[i];
            if (c.row > static_cast<uint32_t>(lastRow)) break;
            cellText(c, s, text);
            visit(static_cast<int>(c.row), c.column, text);
        }
    }

private:
    const Cell* find(int row, int column) const {
        if (row < 0 || column < 0 || column > 0xFFFF) return nullptr;
        const uint64_t key = cellKey(static_cast<uint32_t>(row), static_cast<uint32_t>(column));
        const size_t i = lowerBound(key);
        if (i == d_.cells.size() || d_.cells[i].key() != key) return nullptr;
        return &d_.cells[i];
    }
    // The first cell at or after key. Readers mostly go row after row, cell
    // after cell, or down a few columns: the search starts where the last
    // read ended and gallops from there, which spares a search over millions
    // of cells (and its cache misses) for every read.
    size_t lowerBound(uint64_t key) const {
        const size_t n = d_.cells.size();
        const size_t h = std::min(hint_.load(std::memory_order_relaxed), n);
        size_t lo = 0, hi = n;  // the answer lies in [lo, hi]
        if (h < n && d_.cells[h].key() < key) {
            lo = h + 1;
            for (size_t step = 1; lo < n; step *= 2) {
                const size_t probe = std::min(h + step, n - 1);
                if (d_.cells[probe].key() >= key) {
                    hi = probe;
                    break;
                }
                lo = probe + 1;
                if (probe == n - 1) break;
            }
        } else if (h > 0) {
            hi = h;
            for (size_t step = 1;; step *= 2) {
                const size_t probe = h > step ? h - step : 0;
                if (d_.cells[probe].key() < key) {
                    lo = probe + 1;
                    break;
                }
                hi = probe;
                if (probe == 0) break;
            }
        }
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (d_.cells[mid].key() < key) lo = mid + 1;
            else hi = mid;
        }
        if (lo < n) hint_.store(lo + (d_.cells[lo].key() == key ? 1 : 0), std::memory_order_relaxed);
        return lo;
    }
    std::string cellText(const Cell& c, const regional::Settings& s) const;
    // The same into out, whose storage is reused where the text fits.
    void cellText(const Cell& c, const regional::Settings& s, std::string& out) const;
    bool followerText(const Cell& c, std::string& out) const;

    const WorkbookImpl& wb_;
    SheetData d_;
    mutable std::atomic<size_t> hint_{0};  // where the next read probably starts
};

class WorkbookImpl final : public Workbook {
public:
    size_t sheetCount() const override { return sheets_.size(); }
    const Sheet& sheet(size_t index) const override {
        if (index >= sheets_.size()) throw std::out_of_range("xlsx::Workbook::sheet: no such sheet");
        return *sheets_[index];
    }
    bool date1904() const override { return date1904_; }

    bool date1904_ = false;
    StringPool sharedStrings_;
    std::vector<std::unique_ptr<SheetImpl>> sheets_;
};

bool SheetImpl::followerText(const Cell& c, std::string& out) const {
    const auto& fs = d_.sharedFollowers;
    auto it = std::upper_bound(fs.begin(), fs.end(), c.key(),
                               [](uint64_t k, const SharedFormulaFollower& f) { return k < f.key; });
    if (it == fs.begin() || (it - 1)->key != c.key()) return false;
    auto m = d_.sharedMasters.find((it - 1)->group);
    if (m == d_.sharedMasters.end()) return false;
    const std::string_view master = d_.texts.get(m->second.text);  // "=" and the formula
    out = "=" + shiftFormula(master.substr(1), static_cast<int64_t>(c.row) - m->second.row,
                             static_cast<int64_t>(c.column) - m->second.column);
    return true;
}

std::string SheetImpl::cellText(const Cell& c, const regional::Settings& s) const {
    std::string out;
    cellText(c, s, out);
    return out;
}

void SheetImpl::cellText(const Cell& c, const regional::Settings& s, std::string& out) const {
    if (!d_.sharedFollowers.empty() && followerText(c, out)) return;
    switch (c.kind) {
        case CellKind::Blank: out.clear(); return;
        case CellKind::Number:
            switch (c.format) {
                case FormatClass::Date: out = dateText(c.number(), wb_.date1904_, s); return;
                case FormatClass::Time: out = timeText(c.number(), wb_.date1904_, s); return;
                case FormatClass::Number: break;
            }
            out = generalNumberText(c.number(), s);
            return;
        case CellKind::SharedText: out.assign(wb_.sharedStrings_.get(c.index())); return;
        case CellKind::Text:
        case CellKind::Error:
        case CellKind::FormulaText:
        case CellKind::FormulaError:
        case CellKind::FormulaSource: out.assign(d_.texts.get(c.index())); return;
        case CellKind::Bool: out.assign(c.index() != 0 ? "TRUE" : "FALSE"); return;
        case CellKind::FormulaBool: out.assign(c.index() != 0 ? "True" : "False"); return;
        case CellKind::Date:
        case CellKind::FormulaDate:
            // An ISO date is a date of its own: no 1904 offset.
            out = c.format == FormatClass::Time ? timeText(c.number(), false, s)
                                                : dateText(c.number(), false, s);
            return;
        case CellKind::FormulaNumber: out = generalNumberText(c.number(), s); return;
        case CellKind::FormulaNoResult: out.assign("0"); return;
    }
    out.clear();
}

void SheetImpl::rowTexts(int row, int firstColumn, int lastColumn, const regional::Settings& s,
                         std::vector<std::string>& out) const {
    if (lastColumn < firstColumn) {
        out.clear();
        return;
    }
    // The strings already in out keep their storage for this row's texts.
    out.resize(static_cast<size_t>(lastColumn - firstColumn + 1));
    for (auto& t : out) t.clear();
    if (row < 0) return;
    const int from = std::max(firstColumn, 0);
    if (from > 0xFFFF) return;
    size_t i = lowerBound(cellKey(static_cast<uint32_t>(row), static_cast<uint32_t>(from)));
    for (; i < d_.cells.size(); ++i) {
        const Cell& c = d_.cells[i];
        if (c.row != static_cast<uint32_t>(row) || c.column > lastColumn) break;
        cellText(c, s, out[static_cast<size_t>(c.column - firstColumn)]);
    }
    hint_.store(i, std::memory_order_relaxed);  // most likely the next row's first cell
}

// --------------------------------------------------------------------- loader

std::unique_ptr<Workbook> loadPackage(Package& package, const Limits& limits,
                                      const LoadOptions& options) {
    const auto rootRels = readRelationships(package, "");
    const Relationship* office = findByType(rootRels, "officeDocument");
    if (office == nullptr) throw LoadError(msg::notWorkbook());
    const std::string workbookPart = office->target;
    if (!package.has(workbookPart)) throw LoadError(msg::notWorkbook());

    const auto rels = readRelationships(package, workbookPart);
    WorkbookHandler wbHandler;
    parsePart(package, workbookPart, wbHandler);

    auto wb = std::make_unique<WorkbookImpl>();
    wb->date1904_ = wbHandler.date1904;

    std::vector<FormatClass> styles;
    if (const Relationship* r = findByType(rels, "styles"); r != nullptr && package.has(r->target)) {
        StylesHandler h;
        parsePart(package, r->target, h);
        styles = h.resolve();
    }
    if (const Relationship* r = findByType(rels, "sharedStrings"); r != nullptr && package.has(r->target)) {
        SharedStringsHandler h(wb->sharedStrings_, limits);
        parsePart(package, r->target, h);
        wb->sharedStrings_.shrink();
    }

    std::unordered_map<std::string_view, const Relationship*> byId;
    for (const auto& r : rels) byId.try_emplace(r.id, &r);

    const BuildContext ctx{&wb->sharedStrings_, &styles, limits};
    std::unordered_map<std::string, bool> partsRead;
    for (const SheetEntry& entry : wbHandler.sheets) {
        auto found = byId.find(entry.relId);
        if (found == byId.end()) continue;  // a sheet that names no part
        const Relationship* rel = found->second;
        if (rel->type != "worksheet") continue;  // chart sheets and the like
        // Each sheet has a part of its own: a part named twice would be read
        // (and paid for) once per sheet that names it.
        if (!partsRead.emplace(normalizePartName(rel->target), true).second)
            throw LoadError(msg::sharedPart(rel->target));

        auto readWith = [&](SheetReader reader) {
            SheetData data;
            data.name = entry.name;
            data.part = rel->target;
            SheetBuilder builder(data, ctx);
            if (reader == SheetReader::Scanner) readSheetWithScanner(package, rel->target, builder);
            else readSheetWithExpat(package, rel->target, builder);
            return data;
        };
        SheetData data;
        if (options.sheetReader == SheetReader::Scanner) {
            try {
                data = readWith(SheetReader::Scanner);
            } catch (const ScannerFallback&) {
                // The part is read again from the start: its first reading
                // does not count against the workbook's total.
                package.forgetLastRead();
                if (options.fallbacks != nullptr) ++*options.fallbacks;
                data = readWith(SheetReader::Expat);
            }
        } else {
            data = readWith(SheetReader::Expat);
        }
        wb->sheets_.push_back(std::make_unique<SheetImpl>(*wb, std::move(data)));
    }
    return wb;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string resolveTarget(std::string_view source, std::string_view target) {
    std::string t;
    t.reserve(target.size());
    for (size_t i = 0; i < target.size(); ++i) {
        char c = target[i];
        if (c == '\\') c = '/';
        if (c == '%' && i + 2 < target.size() && hexDigit(target[i + 1]) >= 0 &&
            hexDigit(target[i + 2]) >= 0) {
            c = static_cast<char>(hexDigit(target[i + 1]) * 16 + hexDigit(target[i + 2]));
            i += 2;
        }
        if (c == '#') break;  // a fragment names no part
        t.push_back(c);
    }
    std::string joined;
    if (!t.empty() && t.front() == '/') {
        joined = t;
    } else {
        std::string_view src = source;
        while (!src.empty() && src.front() == '/') src.remove_prefix(1);
        const size_t slash = src.rfind('/');
        joined = slash == std::string_view::npos ? std::string() : std::string(src.substr(0, slash + 1));
        joined += t;
    }
    std::vector<std::string_view> segments;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view seg = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (seg.empty() || seg == ".") continue;
        if (seg == "..") {
            if (!segments.empty()) segments.pop_back();
            continue;
        }
        segments.push_back(seg);
    }
    std::string out;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) out.push_back('/');
        out += segments[i];
    }
    return out;
}

std::string relationshipsPartOf(std::string_view part) {
    const size_t slash = part.rfind('/');
    const std::string_view dir = slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
    const std::string_view file = slash == std::string_view::npos ? part : part.substr(slash + 1);
    return std::string(dir) + "_rels/" + std::string(file) + ".rels";
}

std::unique_ptr<Workbook> loadFile(const std::string& path, const Limits& limits,
                                   const LoadOptions& options) {
    auto package = Package::openFile(path, limits);
    return loadPackage(*package, limits, options);
}

std::unique_ptr<Workbook> loadMemory(std::string_view bytes, const Limits& limits,
                                     const LoadOptions& options) {
    auto package = Package::openMemory(bytes, limits);
    return loadPackage(*package, limits, options);
}

}  // namespace detail

std::unique_ptr<Workbook> Workbook::load(const std::string& path, const Limits& limits) {
    try {
        return detail::loadFile(path, limits, {});
    } catch (const std::bad_alloc&) {
        throw LoadError(detail::msg::outOfMemory());
    }
}

std::unique_ptr<Workbook> Workbook::loadFromMemory(std::string_view bytes, const Limits& limits) {
    try {
        return detail::loadMemory(bytes, limits, {});
    } catch (const std::bad_alloc&) {
        throw LoadError(detail::msg::outOfMemory());
    }
}

}  // namespace xlsx
