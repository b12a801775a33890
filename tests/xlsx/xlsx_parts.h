// Small .xlsx packages made in memory from hand-written parts, for the tests
// and the fuzz targets: the cases no spreadsheet program writes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace xlsxtest {

struct Part {
    std::string name;
    std::string data;
};

// A ZIP package of the parts, in the order given: deflated, or stored as
// they are (quicker to make, for the fuzz targets).
std::string zipParts(const std::vector<Part>& parts, bool stored = false);
// The same with every entry encrypted (AES-256) under the password.
std::string zipPartsEncrypted(const std::vector<Part>& parts, const char* password);

inline const char* const kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// A worksheet part around the given sheetData content.
std::string sheetXml(const std::string& rows, const std::string& beforeData = {});

// Styles with these cellXfs, by index:
//  0 General, 1 "dd.mm.yyyy", 2 "hh:mm", 3 built-in 14, 4 built-in 46
//  ([h]:mm:ss), 5 "[Red]#,##0.00", 6 "\"Data: \"0", 7 built-in 22,
//  8 "#,##0.00", 9 built-in 49 (text)
std::string standardStyles();

// A shared-strings part around the given <si> items.
std::string sharedStringsXml(const std::string& items);

struct Book {
    std::vector<std::pair<std::string, std::string>> sheets;  // name, worksheet part
    std::string sharedStrings;                                  // part, or none
    std::string styles = standardStyles();                      // part, or none
    std::string workbookPr;                                     // e.g. <workbookPr date1904="1"/>
};

// A book of one sheet, "Foaie1", with the given worksheet part.
inline Book bookOf(std::string worksheet) {
    Book b;
    b.sheets.push_back({"Foaie1", std::move(worksheet)});
    return b;
}

// The package of a book: content types, relationships, workbook, sheets.
std::string makeXlsx(const Book& book, bool stored = false);
std::vector<Part> bookParts(const Book& book);

}  // namespace xlsxtest
