// Shared pieces of the grid tests and the grid benchmark: the collections log
// statement with its 23 declared columns, the grid's columns as the
// collections window lays them out, the grid style sheet of the data module,
// and a connection of the account vek to a test database.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <string>
#include <vector>

#include "data_grid.h"
#include "db.h"
#include "grid_style.h"
#include "site.h"
#include "log_statement.h"
#include "testdb.h"

namespace gridtest {

// The log statement of the collections window, line for line.
inline const char* const kLogStatement = testdb::kLogStatement;

inline std::vector<db::FieldDef> logFields() {
    using K = db::FieldKind;
    return {{"data_log", K::DateTime, 0, true},
            {"awb", K::LongText},
            {"nume_destinatar", K::LongText},
            {"judet_destinatar", K::LongText},
            {"oras_destinatar", K::LongText},
            {"adresa_destinatar", K::LongText},
            {"adresa_ridicare", K::LongText},
            {"referinta_client", K::LongText},
            {"suma_ramburs", K::Double},
            {"data_awb", K::Date},
            {"data_colectare_ramburs", K::Date},
            {"numar_colete_livrate", K::LongText},
            {"nume_fisier", K::LongText},
            {"err_ins_vek", K::LongText},
            {"data_ch", K::Date, 0, true, true},
            {"tip_ch", K::Text, 7, true, true},
            {"nr_ch", K::Text, 15, true, true},
            {"val_mon_ch", K::Double, 0, false, true},
            {"moneda_ch", K::Text, 3, true, true},
            {"partener", K::Text, 100, false, true},
            {"data_fact", K::Date, 0, false, true},
            {"tip_fact", K::Text, 7, false, true},
            {"nr_fact", K::Text, 15, false, true}};
}

// The collections grid's columns: field, header ("" shows the field), width.
struct ColumnSpec {
    const char* field;
    const char* header;
    int width;
};
inline const std::vector<ColumnSpec>& logColumns() {
    static const std::vector<ColumnSpec> cols = {
        {"data_awb", "dataAWB", 70},        {"awb", "", 110},
        {"data_colectare_ramburs", "dataRamburs", 82},
        {"nume_destinatar", "", 110},       {"referinta_client", "", 110},
        {"suma_ramburs", "", 87},           {"err_ins_vek", "", 110},
        {"data_ch", "", 70},                {"tip_ch", "", 50},
        {"nr_ch", "", 100},                 {"val_mon_ch", "", 74},
        {"moneda_ch", "", 71},              {"partener", "", 219},
        {"data_fact", "", 70},              {"tip_fact", "", 50},
        {"nr_fact", "", 100},               {"judet_destinatar", "", 110},
        {"oras_destinatar", "", 110},       {"adresa_destinatar", "", 110},
        {"adresa_ridicare", "", 110},       {"numar_colete_livrate", "", 110},
        {"nume_fisier", "", 86},            {"data_log", "", 110}};
    return cols;
}

inline void addLogColumns(grid::DataGrid& g) {
    for (const auto& c : logColumns())
        g.addColumn(QString::fromLatin1(c.field), QString::fromLatin1(c.header), c.width,
                    QString::fromLatin1(std::string_view(c.field) == "data_log" ? "yyyy-mm-dd hh:nn:ss" : ""));
}

// The data module's grid style sheet.
inline grid::StyleSheet devExpressSheet() {
    auto style = [](const char* name, std::optional<QColor> bg, std::optional<QColor> text,
                    std::optional<QFont> font = std::nullopt) {
        grid::Style s;
        s.name = QString::fromLatin1(name);
        s.background = bg;
        s.textColor = text;
        s.font = font;
        return s;
    };
    auto msSans = [](bool bold) {
        QFont f(QStringLiteral("MS Sans Serif"));
        f.setPixelSize(11);
        f.setBold(bold);
        return f;
    };
    const QColor black(Qt::black), white(Qt::white), navy(0x00, 0x00, 0x80);
    grid::StyleSheet sh;
    sh.name = QStringLiteral("GridTableViewStyleSheetDevExpress");
    sh.caption = QStringLiteral("DevExpress");
    sh.background = style("cxStyle1", QColor(0xFF, 0xFB, 0xF0), std::nullopt);
    sh.content = style("cxStyle2", QColor(0xD9, 0xEA, 0xF7), black, msSans(false));
    sh.contentEven = style("cxStyle3", QColor(0xD9, 0xEA, 0xF7), black);
    sh.contentOdd = style("cxStyle4", QColor(0xEA, 0xF3, 0xFB), black);
    sh.filterBox = style("cxStyle5", QColor(0xFF, 0xFF, 0xE1), black);
    sh.footer = style("cxStyle6", QColor(0xFF, 0xFF, 0xE1), navy, msSans(true));
    sh.group = style("cxStyle7", QColor(0xF1, 0xEF, 0xE2), std::nullopt);
    sh.groupByBox = style("cxStyle8", QColor(0xFE, 0xD5, 0x47), black);
    sh.header = style("cxStyle9", QColor(0x31, 0x6A, 0xC5), white, msSans(true));
    sh.inactive = style("cxStyle10", QColor(0xA4, 0xC4, 0xEB), std::nullopt);
    sh.incSearch = style("cxStyle11", QColor(0xFE, 0xD5, 0x47), black);
    sh.indicator = style("cxStyle12", QColor(0xA4, 0xC4, 0xEB), std::nullopt);
    sh.preview = style("cxStyle13", QColor(0xFF, 0xFF, 0xE1), navy, msSans(true));
    sh.selection = style("cxStyle14", QColor(0x31, 0x6A, 0xC5), white);
    return sh;
}

// The account vek's connection to a database of the SSL test cluster.
inline void configureVek(db::Connection& c, const std::string& database) {
    const testdb::Env& e = testdb::env();
    c.setServer(e.host);
    c.setPort(e.port);
    c.setDatabase(database);
    c.setUsername(site::databaseUser());
    c.setPassword(site::databasePassword());
    c.setSslMode(db::SslMode::Prefer);
    c.setDisconnectedMode(true);
}

}  // namespace gridtest
