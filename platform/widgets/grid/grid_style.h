// The look of a data grid: one optional style per grid element. A style sets
// only what it names; the rest comes from the grid's defaults and its font.
// Sizes are for 96 dpi (a font's pixel size scales with the display).
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>

namespace grid {

struct Style {
    QString name;                      // e.g. "cxStyle2"
    std::optional<QColor> background;
    std::optional<QColor> textColor;
    std::optional<QFont> font;
};

struct StyleSheet {
    QString name;      // e.g. "GridTableViewStyleSheetDevExpress"
    QString caption;   // e.g. "DevExpress"
    std::optional<Style> background;    // empty area of the view
    std::optional<Style> content;
    std::optional<Style> contentEven;   // rows at even positions (0, 2, ...)
    std::optional<Style> contentOdd;
    std::optional<Style> filterBox;
    std::optional<Style> incSearch;
    std::optional<Style> footer;
    std::optional<Style> group;
    std::optional<Style> groupByBox;
    std::optional<Style> header;
    std::optional<Style> inactive;      // selection while the grid has no focus
    std::optional<Style> indicator;
    std::optional<Style> preview;
    std::optional<Style> selection;     // selection while the grid has the focus
};

}  // namespace grid
