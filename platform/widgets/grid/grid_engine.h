// The data grid's row engine: what the grid shows of a db::Query, without any
// widget. It never copies the rows; it reads the query's column store and keeps
// only indexes over it:
//   - order: the records sorted by the group columns and the sort column (none
//     when the view is neither sorted nor grouped: the query's own order);
//   - visible: the records that pass the filter, in the order shown;
//   - per filtered column, the folded display text of the column (built once,
//     on the first filter of that column) and a bitmap of the records whose text
//     contains the filter; a filter that extends the previous one only tests the
//     records that passed before;
//   - when grouped, the group tree over `visible` and the rows of the view
//     (group rows and the data rows of expanded groups).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db.h"
#include "grid_text.h"
#include "regional.h"

namespace grid {

enum class SortOrder { Ascending, Descending };

struct EngineColumn {
    std::string field;
    DisplayFormat format;   // for date and date-time fields; empty: the regional short date
};

class Engine {
public:
    static constexpr uint32_t kGroupFlag = 0x80000000u;

    struct Group {
        uint32_t level = 0;
        uint32_t first = 0;   // index in visible()
        uint32_t count = 0;   // data rows in the group
        uint32_t end = 0;     // index in groups() after this group's subtree
        bool expanded = false;
        std::string path;     // identifies the group across reloads
    };

    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Columns by logical index; fields are looked up in the query (again at
    // every reload). Adding a column keeps the sort, filter and grouping.
    size_t addColumn(EngineColumn column);
    size_t columnCount() const { return columns_.size(); }
    const EngineColumn& column(size_t c) const { return columns_[c]; }
    // Field index of column c in the query, -1 when the query lacks it.
    int fieldIndex(size_t c) const { return c < fieldIndex_.size() ? fieldIndex_[c] : -1; }
    std::optional<db::FieldKind> kind(size_t c) const;

    // The rows: a query (not owned) whose rows are read until the next reload.
    // reload() re-reads them (after an open or refresh) and re-applies the
    // sort, the filter and the grouping; clear() forgets them.
    void reload(const db::Query* query);
    void clear();
    size_t recordCount() const { return rows_; }

    // Display text of a record's value in column c (UTF-8); "" for NULL.
    std::string displayText(size_t c, uint32_t record) const;
    bool isNull(size_t c, uint32_t record) const;
    bool isNumeric(size_t c) const;
    double number(size_t c, uint32_t record) const;   // 0 for NULL or non-numbers

    // Filter: per column, the records whose display text contains `text`
    // without regard to case; the columns' filters AND together.
    // Returns true when the visible rows changed.
    bool setFilter(size_t c, std::string_view text);
    const std::string& filterText(size_t c) const;
    bool hasFilter() const;
    bool clearFilters();

    // Sort by one column (stable; NULLs first ascending, last descending).
    void setSort(std::optional<size_t> c, SortOrder order);
    std::optional<size_t> sortColumn() const { return sortColumn_; }
    SortOrder sortOrder() const { return sortOrder_; }

    // Grouping: the group columns, outermost first, each with its order.
    struct GroupLevel {
        size_t column;
        SortOrder order = SortOrder::Ascending;
    };
    void setGrouping(std::vector<GroupLevel> levels);
    const std::vector<GroupLevel>& grouping() const { return levels_; }
    bool grouped() const { return !levels_.empty(); }

    // The records that pass the filter, in the order shown.
    const std::vector<uint32_t>& visible() const { return visible_; }

    // Rows of the view: data rows, and group rows when grouped.
    size_t viewRowCount() const { return grouped() ? viewRows_.size() : visible_.size(); }
    // kGroupFlag | group index for a group row, else the index in visible().
    uint32_t viewEntry(size_t viewRow) const {
        return grouped() ? viewRows_[viewRow] : static_cast<uint32_t>(viewRow);
    }
    bool isGroupRow(size_t viewRow) const { return (viewEntry(viewRow) & kGroupFlag) != 0; }
    // Record of a view row; -1 for a group row or out of range.
    long recordAt(size_t viewRow) const;
    const std::vector<Group>& groups() const { return groups_; }
    void setExpanded(uint32_t group, bool expanded);
    void setAllExpanded(bool expanded);
    // The view row showing visible()[index], expanding the groups around it.
    size_t revealVisible(size_t index);
    // The index in visible() of a record; nullopt when filtered out.
    std::optional<size_t> visibleIndexOf(uint32_t record) const;

    // The first index in visible(), from `start` on and then from the top,
    // whose display text in column c starts with `prefix` ignoring case.
    std::optional<size_t> findPrefix(size_t c, std::string_view prefix, size_t start);

    // Sum of a numeric column over the visible records.
    double visibleSum(size_t c) const;

    // Bytes of the engine's own structures (indexes, bitmaps, folded texts).
    size_t memoryBytes() const;

private:
    struct Haystack;   // folded display text of one column
    struct Filter {
        std::string text;     // as given
        std::string needle;   // folded
        std::vector<uint64_t> bits;
        size_t count = 0;
        // The last texts' results, so that deleting what was typed costs no
        // search (a bit per record each).
        struct Earlier {
            std::string needle;
            std::vector<uint64_t> bits;
            size_t count = 0;
        };
        std::vector<Earlier> earlier;
    };
    // Whole hundredths of a double column, when all its values are such:
    // the footer sums them as integers.
    struct Cents {
        bool exact = false;
        std::vector<int32_t> values;
    };

    const Haystack& haystack(size_t c);
    void appendDisplay(size_t c, uint32_t record, std::string& out) const;
    void appendFoldedValue(size_t c, uint32_t record, std::string& out) const;
    void matchAll(const Haystack& h, std::string_view needle, std::vector<uint64_t>& bits,
                  size_t& count) const;
    void rebuildVisible();
    void remember(Filter& f);
    const Cents& cents(size_t c) const;
    void rebuildOrder();
    void sortByColumn(std::vector<uint32_t>& order, size_t c, SortOrder so) const;
    void sortTextRange(uint32_t* begin, uint32_t* end, size_t c, SortOrder so,
                       size_t chunk) const;
    bool sameGroupValue(size_t c, uint32_t a, uint32_t b) const;
    void rebuildGroups();
    void rebuildViewRows();
    const std::string& dateText(int32_t days) const;

    std::vector<EngineColumn> columns_;
    std::vector<int> fieldIndex_;
    const db::Query* query_ = nullptr;
    size_t rows_ = 0;
    regional::Settings regional_;
    mutable std::unordered_map<int32_t, std::string> dateCache_;

    std::vector<std::unique_ptr<Haystack>> hay_;
    mutable std::vector<std::unique_ptr<Cents>> cents_;
    std::vector<Filter> filters_;
    std::optional<size_t> sortColumn_;
    SortOrder sortOrder_ = SortOrder::Ascending;
    std::vector<GroupLevel> levels_;
    std::vector<std::vector<uint32_t>> groupRank_;   // per level: rank of each record's value

    std::vector<uint32_t> order_;     // empty: the query's order
    std::vector<uint32_t> visible_;
    std::vector<Group> groups_;
    std::vector<uint32_t> viewRows_;
    std::set<std::string> expandedPaths_;
};

}  // namespace grid
