// The corpus of real workbooks (../shared/xlsx-corpus, MANIFEST.txt there
// says why each matters): each file either opens, with its sheet count, a
// sheet's last row and a few cell texts checked by hand against the file's
// XML, or is refused with the message a user should see.
#include <QtTest>

#include <vector>

#include "xlsx_test_util.h"

using namespace xlsxtest;

namespace {

struct Text {
    int sheet;
    const char* cell;
    const char* text;
};

struct Case {
    const char* file;
    const char* error;  // the message, or null when the file opens
    int sheets;
    int sheet;          // whose last row is checked
    int lastRow;
    std::vector<Text> texts;
};

const char* const kDtd =
    "The workbook is refused as unsafe: the part \"xl/sharedStrings.xml\" contains a document type declaration (DTD)";
const char* const kNotWorkbook = "The file is a ZIP package but not an .xlsx workbook (it holds no workbook part)";

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        // Refused.
        {"calamine__issue252.xlsx", "The workbook is damaged: the part \"xl/_rels/workbook.xml.rels\" is not valid XML (line 2: not well-formed (invalid token))", 0, 0, 0, {}},
        {"calamine__pass_protected.xlsx", "The file is protected with a password (encrypted) or is an old-format Excel file; only unprotected .xlsx workbooks can be read", 0, 0, 0, {}},
        {"edr__EmptyZipFile.xlsx", kNotWorkbook, 0, 0, 0, {}},
        {"xlnt__4_not-package.xlsx", kNotWorkbook, 0, 0, 0, {}},
        {"poi__54764.xlsx", kDtd, 0, 0, 0, {}},
        {"poi__poc-xmlbomb.xlsx", kDtd, 0, 0, 0, {}},
        {"poi__poc-xmlbomb-empty.xlsx", kDtd, 0, 0, 0, {}},
        {"poi__poc-shared-strings.xlsx", "The workbook cannot be read: the table of shared texts holds a text longer than 32767 characters", 0, 0, 0, {}},
        {"poi__xlsx-corrupted.xlsx", "The workbook is damaged: the part \"_rels/.rels\" is not valid XML (line 2: syntax error)", 0, 0, 0, {}},
        {"poi__duplicate-filename.xlsx", "The workbook is refused as ambiguous: it holds more than one part named \"xl/worksheets/sheet1.xml\"", 0, 0, 0, {}},
        {"poi__duplicate-filename-case-insensitive.xlsx", "The workbook is refused as ambiguous: it holds more than one part named \"xl/worksheets/Sheet1.xml\"", 0, 0, 0, {}},
        {"poi__clusterfuzz-testcase-minimized-XLSX2CSVFuzzer-5636439151607808.xlsx", "The file is not an .xlsx workbook (not a ZIP package)", 0, 0, 0, {}},
        {"poi__clusterfuzz-testcase-minimized-POIXSSFFuzzer-5937385319563264.xlsx", "The workbook is damaged: the sheet \"Exp8\" holds a cell or row reference that is not valid (\"231999999999940\")", 0, 0, 0, {}},

        // Opened.
        {"calamine__any_sheets.xlsx", nullptr, 3, 0, 4, {{0, "A1", "1"}, {0, "B3", "6"}, {0, "A5", "This workbook contains 4 sheets: Visible, Hidden, VeryHidden and Chart"}}},
        {"calamine__date.xlsx", nullptr, 1, 0, 2, {{0, "A1", "01.01.2021"}, {0, "B1", "15"}, {0, "A3", "15:10:10"}}},
        {"calamine__date_1904.xlsx", nullptr, 1, 0, 2, {{0, "A1", "01.01.2021"}, {0, "A2", "02.01.2021"}, {0, "A3", "15:10:10"}}},
        {"calamine__date_iso.xlsx", nullptr, 1, 0, 5, {{0, "A1", "01.01.2021"}, {0, "A2", "01.01.2021 10:10:10"}, {0, "A3", "10:10:10"}}},
        {"calamine__date_quoted_format.xlsx", nullptr, 1, 0, 3, {{0, "A1", "01.01.2021"}, {0, "A4", "01.01.2021"}}},
        {"calamine__empty_shared_string.xlsx", nullptr, 1, 0, 1, {{0, "A1", "abc"}, {0, "A2", ""}}},
        {"calamine__errors.xlsx", nullptr, 3, 0, 19, {{0, "A1", "#DIV/0!"}, {0, "A2", "#NAME?"}, {0, "A3", "#VALUE!"}, {0, "A4", "#NULL!"}, {0, "A5", "#REF!"}, {0, "A6", "#NUM!"}, {0, "A7", "#N/A"}}},
        {"calamine__has_x000D_.xlsx", nullptr, 1, 0, 0, {{0, "A1", "ABC\r\nDEF"}}},
        {"calamine__inlineStr_cdata.xlsx", nullptr, 1, 0, 1, {{0, "A1", "Hello CDATA"}, {0, "B1", "World"}, {0, "A2", "12345"}, {0, "B2", "NormalText"}}},
        {"calamine__inlineStr_with_value.xlsx", nullptr, 1, 0, 1, {{0, "A1", "NN"}, {0, "B1", "Hierarchy"}, {0, "D1", "Outline Number"}}},
        {"calamine__issue_174.xlsx", nullptr, 1, 0, 1048575, {{0, "A1", "Your Ref #"}, {0, "K2", "My Company?"}}},
        {"calamine__issue_261.xlsx", nullptr, 1, 0, 65, {{0, "A1", "String Value 32"}, {0, "B1", ""}}},
        {"calamine__minimal_package.xlsx", nullptr, 1, 0, 195, {{0, "A1", "ARREST BOOKINGS for 01/30/17"}, {0, "A3", "BKG_NUM"}, {0, "B3", "BKG_DT"}}},
        {"calamine__nonstandard-xml-ns-prefix.xlsx", nullptr, 1, 0, 2, {{0, "A1", "a"}, {0, "B1", "b"}, {0, "A2", "1"}, {0, "B3", "4"}}},
        {"calamine__richtext-namespaced.xlsx", nullptr, 3, 0, 2, {{0, "A1", "inline string\nLine 2\nLine 3"}, {0, "H1", "shared string\nLine 2\nLine 3"}}},
        {"calamine__shared_formula_reversed.xlsx", nullptr, 2, 0, 4, {{0, "A1", "1"}, {0, "B1", "1"}, {0, "B3", "3"}}},
        {"calamine__strict_iso_paths.xlsx", nullptr, 1, 0, 75, {{0, "A1", "Item"}, {0, "B1", "Thickness"}, {0, "R76", "15"}}},
        {"calamine__table_with_absolute_paths.xlsx", nullptr, 1, 0, 4, {{0, "A1", "Item"}, {0, "A2", "100"}, {0, "B2", "North"}, {0, "B3", "South"}}},
        {"edr__NoDimensionOrCellReferenceAttribute.xlsx", nullptr, 2, 0, 6, {{0, "A1", "Date"}, {0, "B1", "Name"}, {0, "G1", "Stocks"}}},
        {"edr__Test10x10000.xlsx", nullptr, 1, 0, 9999, {{0, "A1", "col1"}, {0, "J1", "col10"}, {0, "J10000", "1x10"}}},
        {"edr__TestDoublePrecision.xlsx", nullptr, 1, 0, 9, {{0, "B3", "3,14159265358979"}, {0, "B4", "-3,14159265358979"}, {0, "B5", "3,14159265358979E-300"}, {0, "B10", "-314159265358979"}}},
        {"edr__Test_Issue_12667_GoogleExport_MissingColumns.xlsx", nullptr, 1, 0, 19, {{0, "A1", "PK_Col1"}, {0, "F1", "Data_Col4"}}},
        {"edr__Test_Issue_7433_IllegalOleAutDate.xlsx", nullptr, 1, 0, 2, {{0, "A1", "3,10101195608231E17"}, {0, "A2", "B221055625"}, {0, "A3", "4,12721197309241E17"}}},
        {"edr__Test_Issue_DateFormatButNotDate.xlsx", nullptr, 3, 0, 2, {{0, "A1", "columna"}, {0, "A2", "1"}, {0, "B2", "2"}}},
        {"edr__Test_Issue_NoStyles_NoRAttribute.xlsx", nullptr, 1, 0, 38, {{0, "A1", "AddressLine1"}, {0, "C1", "Age"}}},
        {"edr__Test_git_issue_14_InvalidOADate.xlsx", nullptr, 1, 0, 0, {{0, "A1", "1000000000000"}}},
        {"edr__Test_git_issue_271_InvalidDimension.xlsx", nullptr, 3, 0, 8, {{0, "A3", "qweqwerqwerqwerqwer"}, {0, "C4", "col 3"}, {0, "B6", "3"}}},
        {"edr__Test_git_issue_301_IgnoreCase.xlsx", nullptr, 1, 0, 9, {{0, "A1", "col1"}, {0, "A2", "10x10"}, {0, "J2", "10x19"}}},
        {"edr__Test_git_issue_385_backslash.xlsx", nullptr, 1, 0, 9, {{0, "A1", "col1"}, {0, "I1", "col9"}, {0, "J2", "10x19"}}},
        {"edr__Test_git_issue_53_Cached_Formula_String_Type.xlsx", nullptr, 1, 0, 3, {{0, "A1", "Value 1"}, {0, "A2", "1"}, {0, "F4", "This is the case that needs to be handled"}}},
        {"edr__Test_git_issue_68_NullSheetPath.xlsm", nullptr, 1, 0, 0, {{0, "A1", "1"}, {0, "B1", "1"}}},
        {"edr__Test_googlesourced.xlsx", nullptr, 1, 0, 4, {{0, "A2", "9583638582"}, {0, "B2", "49,99"}, {0, "E2", "April 1st 2013"}}},
        {"poi__49609.xlsx", nullptr, 2, 0, 38, {{0, "B1", "Cycle"}, {0, "C1", "A1"}, {1, "CT39", "1992,58701547893"}}},
        {"poi__54084_-_Greek_-_beyond_BMP.xlsx", nullptr, 3, 0, 0, {}},
        {"poi__57893-many-merges.xlsx", nullptr, 1, 0, 49999, {{0, "A1", ""}}},
        {"poi__59746_NoRowNums.xlsx", nullptr, 1, 0, 70, {{0, "A1", "Checked"}, {0, "B1", "Ion"}, {0, "F1", "RT [min]"}}},
        {"poi__Booleans.xlsx", nullptr, 3, 0, 4, {{0, "A1", "True"}, {0, "A2", "TRUE"}, {0, "A4", "False"}, {0, "A5", "FALSE"}, {0, "C1", "true from f"}}},
        {"poi__DateFormatTests.xlsx", nullptr, 2, 1, 45, {{1, "C2", "11.10.1952 14:35:27"}, {1, "A2", "11-10-52"}, {1, "C21", "01.02.2003 04:05:06"}, {1, "C41", "01.01.2025"}}},
        {"poi__InlineStrings.xlsx", nullptr, 3, 0, 6, {{0, "A1", "Numbers"}, {0, "A2", "12"}, {0, "B2", "A"}, {0, "C2", "1st Inline String"}}},
        {"poi__MalformedSSTCount.xlsx", nullptr, 1, 0, 2, {{0, "A1", "sdgf"}, {0, "D1", "asdf"}, {0, "C2", "asdfXZc"}}},
        {"poi__SimpleStrict.xlsx", nullptr, 2, 0, 5, {{0, "A1", "test"}, {0, "C1", "1"}, {0, "A2", "test 2"}, {1, "C7", "3"}}},
        {"poi__bug60858.xlsx", nullptr, 1, 0, 14, {{0, "A1", "MA"}, {0, "B1", "Datum"}}},
        {"poi__chart_sheet.xlsx", nullptr, 3, 0, 1, {{0, "A1", "soap"}, {0, "B1", "1"}, {0, "A2", "shampoo"}}},
        {"poi__noSharedStringTable.xlsx", nullptr, 1, 0, 0, {{0, "A1", "12.04.2006"}, {0, "B1", "123"}}},
        {"poi__shared_formulas.xlsx", nullptr, 1, 0, 40, {{0, "A2", "ProductionOrderConfirmation"}, {0, "B2", "ProductionOrderConfirmation"}, {0, "B41", "Code"}}},
        {"poi__style-alternate-content.xlsx", nullptr, 1, 0, 1048575, {{0, "A4", "1. \uc13c\ud130\uba85"}}},
        {"poi__styles.xlsx", nullptr, 3, 0, 10, {{0, "A1", "Lorem"}, {0, "B1", "111"}, {0, "B3", "333"}}},
        {"sheetjs__1904_1900.xlsx", nullptr, 1, 0, 4, {{0, "B1", "31.12.1899"}, {0, "C1", "1900-01-01"}, {0, "B3", "20.04.1900"}, {0, "C3", "1900-04-20"}}},
        {"sheetjs__1904_1904.xlsx", nullptr, 1, 0, 4, {{0, "B1", "02.01.1904"}, {0, "C1", "1904-01-02"}, {0, "B3", "21.04.1904"}, {0, "C3", "1904-04-21"}}},
        {"sheetjs__ErrorTypes.xlsx", nullptr, 1, 0, 13, {{0, "A2", "#NULL!"}, {0, "B2", "#NULL!"}, {0, "A3", "#DIV/0!"}, {0, "A4", "#VALUE!"}}},
        {"sheetjs__LONumbers-2011.xlsx", nullptr, 1, 0, 37, {{0, "A1", "General"}, {0, "C1", "-1,2"}, {0, "J1", "12345,6789"}}},
        {"sheetjs__LONumbers.xlsx", nullptr, 1, 0, 37, {{0, "A1", "General"}, {0, "G1", "-123,456"}, {0, "I1", "-1234,5678"}}},
        {"sheetjs__crlf_crlf.xlsx", nullptr, 1, 0, 2, {{0, "A1", "Normal"}, {0, "B1", "abc\ndef"}, {0, "B2", "abc\r\ndef"}}},
        {"sheetjs__hyperlink_no_rels.xlsx", nullptr, 2, 0, 39, {{0, "A1", "23610"}}},
        {"sheetjs__large_strings.xlsx", nullptr, 3, 0, 9998, {{0, "A1", "a"}, {0, "I1", "b"}, {2, "B17619", "zwitterionic"}}},
        {"sheetjs__minimal_112.xlsx", nullptr, 1, 0, 2, {{0, "A1", "Sheet"}, {0, "B2", "1,23"}, {0, "A3", "TRUE"}, {0, "B3", "0,123"}}},
        {"sheetjs__rich_text_stress.xlsx", nullptr, 1, 0, 14, {{0, "B1", "this text is normal, sure enough"}, {0, "B2", "this text is bold, sure enough"}}},
        {"sheetjs__sushi.xlsx", nullptr, 1, 0, 0, {{0, "A1", "\U0001F363"}}},
        {"sheetjs__wps_fn.xlsx", nullptr, 1, 0, 2, {{0, "B2", "=EVALUATE(\"1+1\")"}, {0, "C2", "2"}, {0, "C3", "#VALUE!"}}},
        {"sheetjs__wtf_path.xlsx", nullptr, 2, 0, 5, {{0, "A1", "1"}, {0, "A2", "TRUE"}, {0, "D2", "sheetjs"}, {0, "A3", "foo    bar"}}},
        {"sheetjs__xlsx-stream-d-date-cell.xlsx", nullptr, 1, 0, 12, {{0, "B1", "\u3066\u3059\u3068"}, {0, "C1", "&'\";<>"}, {0, "D1", "&amp;"}, {0, "B5", "14.02.2014 08:27:48"}, {0, "B7", "12:00:00"}, {0, "B10", "12:00:00"}}},
        {"xlnt__10_default-libre-office.xlsx", nullptr, 1, 0, -1, {}},
        {"xlnt__11_default-numbers.xlsx", nullptr, 1, 0, 22, {{0, "A1", "Table 1"}}},
        {"xlnt__9_default-excel.xlsx", nullptr, 1, 0, -1, {}},
        {"xlnt__Issue445_inline_str.xlsx", nullptr, 1, 0, 1, {{0, "A1", "a"}, {0, "A2", "b"}}},
    };
    return all;
}

}  // namespace

class TestCorpus : public QObject {
    Q_OBJECT
private slots:
    void everyFileListed();
    void file_data();
    void file();
};

void TestCorpus::everyFileListed() {
    // The table covers the whole corpus: a file added there needs a row here.
    const QDir dir(XLSX_CORPUS);
    QVERIFY2(dir.exists(), XLSX_CORPUS);
    QStringList files = dir.entryList({"*.xlsx", "*.xlsm"}, QDir::Files, QDir::Name);
    QStringList listed;
    for (const Case& c : cases()) listed << c.file;
    listed.sort();
    QCOMPARE(listed, files);
}

void TestCorpus::file_data() {
    QTest::addColumn<int>("index");
    for (size_t i = 0; i < cases().size(); ++i) QTest::newRow(cases()[i].file) << static_cast<int>(i);
}

void TestCorpus::file() {
    QFETCH(int, index);
    const Case& c = cases()[static_cast<size_t>(index)];
    const std::string path = std::string(XLSX_CORPUS) + "/" + c.file;
    std::unique_ptr<xlsx::Workbook> wb;
    try {
        wb = xlsx::Workbook::load(path);
    } catch (const xlsx::LoadError& e) {
        QVERIFY2(c.error != nullptr, e.what());
        QCOMPARE(QString(e.what()), QString(c.error));
        return;
    }
    QVERIFY2(c.error == nullptr, "the file loaded");
    QCOMPARE(static_cast<int>(wb->sheetCount()), c.sheets);
    QCOMPARE(wb->sheet(static_cast<size_t>(c.sheet)).lastRow(), c.lastRow);
    for (const Text& t : c.texts) {
        int row = 0, column = 0;
        place(t.cell, row, column);
        QCOMPARE(q(wb->sheet(static_cast<size_t>(t.sheet)).text(row, column, romanian())), QString::fromUtf8(t.text));
    }
}

QTEST_APPLESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
