// The loader end to end: cells as workbooks store them (hand-written parts,
// zipped here), the last row, cells left out, row and walk access, sheets
// shown with formulas, namespaces and package paths, and workbooks made by
// real producers (libxlsxwriter, openpyxl; see fixtures/make_fixtures.py).
// Every hand-written case is read with both worksheet readers.
#include <QtTest>

#include <map>

#include "cell_text.h"
#include "xlsx_parts.h"
#include "xlsx_test_util.h"

using namespace xlsxtest;
using xlsx::detail::SheetReader;

namespace {

const SheetReader kReaders[] = {SheetReader::Scanner, SheetReader::Expat};
const char* readerName(SheetReader r) { return r == SheetReader::Scanner ? "scanner" : "expat"; }

std::string oneSheet(const std::string& rows, const std::string& sst = {}, const std::string& workbookPr = {},
                     const std::string& beforeData = {}) {
    Book b;
    b.sheets.push_back({"Foaie1", sheetXml(rows, beforeData)});
    if (!sst.empty()) b.sharedStrings = sharedStringsXml(sst);
    b.workbookPr = workbookPr;
    return makeXlsx(b);
}

QString row1(const QString& cells) { return "<row r=\"1\">" + cells + "</row>"; }

}  // namespace

class TestWorkbook : public QObject {
    Q_OBJECT
private slots:
    void cells_data();
    void cells();
    void lastRow_data();
    void lastRow();
    void missingCells();
    void rowTexts();
    void forEachCell();
    void lookupsInAnyOrder();
    void showFormulas_data();
    void showFormulas();
    void namespaces_data();
    void namespaces();
    void sheetsAndPaths();
    void producedByLibxlsxwriter_data();
    void producedByLibxlsxwriter();
    void producedByOpenpyxl_data();
    void producedByOpenpyxl();
    void readersAgreeAcrossPieces();
};

void TestWorkbook::cells_data() {
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("sst");
    QTest::addColumn<QString>("workbookPr");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("expected");
    const QString none;
    const QString d1904 = "<workbookPr date1904=\"1\"/>";
    auto c = [](const char* attrs, const char* inner) {
        return QString("<row r=\"1\"><c r=\"A1\"%1>%2</c></row>").arg(attrs, inner);
    };
    // Shared strings.
    QTest::newRow("shared text") << c(" t=\"s\"", "<v>0</v>") << "<si><t>Ab</t></si>" << none << "A1" << "Ab";
    QTest::newRow("rich text runs joined")
        << c(" t=\"s\"", "<v>0</v>") << "<si><r><rPr><b/></rPr><t>Ion </t></r><r><t>Popescu</t></r></si>" << none << "A1" << "Ion Popescu";
    QTest::newRow("phonetic run skipped")
        << c(" t=\"s\"", "<v>0</v>") << "<si><t>\u6771\u4eac</t><rPh sb=\"0\" eb=\"2\"><t>\u30c8\u30a6</t></rPh><phoneticPr fontId=\"1\"/></si>" << none << "A1" << "\u6771\u4eac";
    QTest::newRow("space preserved")
        << c(" t=\"s\"", "<v>0</v>") << "<si><t xml:space=\"preserve\">  AWB  </t></si>" << none << "A1" << "  AWB  ";
    QTest::newRow("carriage return escape") << c(" t=\"s\"", "<v>0</v>") << "<si><t>a_x000D_b</t></si>" << none << "A1" << "a\rb";
    QTest::newRow("escape in one run only")
        << c(" t=\"s\"", "<v>0</v>") << "<si><r><t>_x00</t></r><r><t>41_</t></r></si>" << none << "A1" << "_x0041_";
    QTest::newRow("empty item still counts")
        << "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c><c r=\"B1\" t=\"s\"><v>0</v></c></row>" << "<si/><si><t>doi</t></si>" << none << "A1" << "doi";
    QTest::newRow("empty item reads empty")
        << "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>" << "<si/><si><t>doi</t></si>" << none << "A1" << "";
    QTest::newRow("entities in shared text")
        << c(" t=\"s\"", "<v>0</v>") << "<si><t>a &amp; b &lt;c&gt; &#x103;&#351;</t></si>" << none << "A1" << "a & b <c> \u0103\u015f";
    QTest::newRow("line ends in shared text") << c(" t=\"s\"", "<v>0</v>") << "<si><t>a\r\nb\rc</t></si>" << none << "A1" << "a\nb\nc";
    // Inline strings and other texts.
    QTest::newRow("inline string") << c(" t=\"inlineStr\"", "<is><t>AWB</t></is>") << none << none << "A1" << "AWB";
    QTest::newRow("inline rich text") << c(" t=\"inlineStr\"", "<is><r><t>A</t></r><r><rPr/><t>WB</t></r></is>") << none << none << "A1" << "AWB";
    QTest::newRow("inline phonetic run skipped") << c(" t=\"inlineStr\"", "<is><t>x</t><rPh><t>y</t></rPh></is>") << none << none << "A1" << "x";
    QTest::newRow("inline escape") << c(" t=\"inlineStr\"", "<is><t>_x0009_tab</t></is>") << none << none << "A1" << "\ttab";
    QTest::newRow("inline Romanian letters and entity") << c(" t=\"inlineStr\"", "<is><t>\u0219 &amp; \u021b</t></is>") << none << none << "A1" << "\u0219 & \u021b";
    QTest::newRow("inline CDATA") << c(" t=\"inlineStr\"", "<is><t><![CDATA[<b>&]]></t></is>") << none << none << "A1" << "<b>&";
    QTest::newRow("inline line ends") << c(" t=\"inlineStr\"", "<is><t>a\r\nb&#13;c</t></is>") << none << none << "A1" << "a\nb\rc";
    QTest::newRow("inline text kept as it is") << c(" t=\"inlineStr\"", "<is><t xml:space=\"preserve\"> Nr. AWB </t></is>") << none << none << "A1" << " Nr. AWB ";
    QTest::newRow("inline string given as a value") << c(" t=\"inlineStr\"", "<v>valoare</v>") << none << none << "A1" << "valoare";
    QTest::newRow("text cell t=str") << c(" t=\"str\"", "<v>text</v>") << none << none << "A1" << "text";
    // Truth values and errors.
    QTest::newRow("truth TRUE") << c(" t=\"b\"", "<v>1</v>") << none << none << "A1" << "TRUE";
    QTest::newRow("truth FALSE") << c(" t=\"b\"", "<v>0</v>") << none << none << "A1" << "FALSE";
    QTest::newRow("truth written as a word") << c(" t=\"b\"", "<v>true</v>") << none << none << "A1" << "TRUE";
    QTest::newRow("error #N/A") << c(" t=\"e\"", "<v>#N/A</v>") << none << none << "A1" << "#N/A";
    QTest::newRow("error #DIV/0!") << c(" t=\"e\"", "<v>#DIV/0!</v>") << none << none << "A1" << "#DIV/0!";
    QTest::newRow("error in another case") << c(" t=\"e\"", "<v>#null!</v>") << none << none << "A1" << "#NULL!";
    // ISO dates.
    QTest::newRow("ISO date") << c(" t=\"d\"", "<v>2024-03-15</v>") << none << none << "A1" << "15.03.2024";
    QTest::newRow("ISO date and time") << c(" t=\"d\"", "<v>2024-03-15T14:30:00</v>") << none << none << "A1" << "15.03.2024 14:30:00";
    QTest::newRow("ISO time alone") << c(" t=\"d\"", "<v>14:30:00</v>") << none << none << "A1" << "14:30:00";
    QTest::newRow("ISO date ignores 1904") << c(" t=\"d\"", "<v>2024-03-15</v>") << none << d1904 << "A1" << "15.03.2024";
    QTest::newRow("ISO date that is no date") << c(" t=\"d\"", "<v>curand</v>") << none << none << "A1" << "curand";
    // Numbers and their formats (styles: see xlsx_parts.h).
    QTest::newRow("1234.5 under #,##0.00") << c(" s=\"8\"", "<v>1234.5</v>") << none << none << "A1" << "1234,5";
    QTest::newRow("date format") << c(" s=\"1\"", "<v>45366</v>") << none << none << "A1" << "15.03.2024";
    QTest::newRow("date format with a time") << c(" s=\"1\"", "<v>45366.604166666664</v>") << none << none << "A1" << "15.03.2024 14:30:00";
    QTest::newRow("built-in date 14") << c(" s=\"3\"", "<v>45366</v>") << none << none << "A1" << "15.03.2024";
    QTest::newRow("built-in date and time 22") << c(" s=\"7\"", "<v>45366.5</v>") << none << none << "A1" << "15.03.2024 12:00:00";
    QTest::newRow("0.5 under hh:mm") << c(" s=\"2\"", "<v>0.5</v>") << none << none << "A1" << "12:00:00";
    QTest::newRow("elapsed [h]:mm:ss: time of day") << c(" s=\"4\"", "<v>1.5</v>") << none << none << "A1" << "12:00:00";
    QTest::newRow("[Red] format: general form") << c(" s=\"5\"", "<v>-1234.5</v>") << none << none << "A1" << "-1234,5";
    QTest::newRow("quoted letters: general form") << c(" s=\"6\"", "<v>7</v>") << none << none << "A1" << "7";
    QTest::newRow("text format: general form") << c(" s=\"9\"", "<v>0.1</v>") << none << none << "A1" << "0,1";
    QTest::newRow("negative under dd.mm.yyyy") << c(" s=\"1\"", "<v>-5</v>") << none << none << "A1" << "-5";
    QTest::newRow("1904: 43904 is 15 March 2024") << c(" s=\"1\"", "<v>43904</v>") << none << d1904 << "A1" << "15.03.2024";
    QTest::newRow("1904 written true") << c(" s=\"1\"", "<v>43904</v>") << none << "<workbookPr date1904=\"true\"/>" << "A1" << "15.03.2024";
    QTest::newRow("1904 off") << c(" s=\"1\"", "<v>43904</v>") << none << "<workbookPr date1904=\"0\"/>" << "A1" << "14.03.2020";
    QTest::newRow("style past the table: general") << c(" s=\"99\"", "<v>45366</v>") << none << none << "A1" << "45366";
    QTest::newRow("type n written") << c(" t=\"n\"", "<v>12</v>") << none << none << "A1" << "12";
    QTest::newRow("white space around a number") << c("", "<v> 42 </v>") << none << none << "A1" << "42";
    QTest::newRow("underflow reads 0") << c("", "<v>1e-400</v>") << none << none << "A1" << "0";
    QTest::newRow("1E20") << c("", "<v>1E+20</v>") << none << none << "A1" << "1E20";
    QTest::newRow("1,5E-7") << c("", "<v>1.5E-07</v>") << none << none << "A1" << "1,5E-7";
    // Formulas: their cached results.
    QTest::newRow("formula 0.1+0.2") << c("", "<f>0.1+0.2</f><v>0.30000000000000004</v>") << none << none << "A1" << "0,3";
    QTest::newRow("formula under a date format: general") << c(" s=\"1\"", "<f>B1+1</f><v>45366</v>") << none << none << "A1" << "45366";
    QTest::newRow("formula truth True") << c(" t=\"b\"", "<f>1=1</f><v>1</v>") << none << none << "A1" << "True";
    QTest::newRow("formula truth False") << c(" t=\"b\"", "<f>1=2</f><v>0</v>") << none << none << "A1" << "False";
    QTest::newRow("formula error") << c(" t=\"e\"", "<f>NA()</f><v>#N/A</v>") << none << none << "A1" << "#N/A";
    QTest::newRow("formula text") << c(" t=\"str\"", "<f>\"a\"&amp;\"b\"</f><v>ab</v>") << none << none << "A1" << "ab";
    QTest::newRow("formula empty text") << c(" t=\"str\"", "<f>\"\"</f><v></v>") << none << none << "A1" << "";
    QTest::newRow("formula shared-string result") << c(" t=\"s\"", "<f>B1</f><v>0</v>") << "<si><t>din tabel</t></si>" << none << "A1" << "din tabel";
    QTest::newRow("formula without result") << c("", "<f>B1</f>") << none << none << "A1" << "0";
    QTest::newRow("text formula without result") << c(" t=\"str\"", "<f>B1</f>") << none << none << "A1" << "0";
    QTest::newRow("formula date result") << c(" t=\"d\"", "<f>TODAY()</f><v>2024-03-15</v>") << none << none << "A1" << "15.03.2024";
    QTest::newRow("shared formula follower: its result")
        << "<row r=\"1\"><c r=\"A1\"><f t=\"shared\" ref=\"A1:A2\" si=\"0\">1+1</f><v>2</v></c></row><row r=\"2\"><c r=\"A2\"><f t=\"shared\" si=\"0\"/><v>4</v></c></row>"
        << none << none << "A2" << "4";
    // Places.
    QTest::newRow("stored blank cell") << c(" s=\"1\"", "") << none << none << "A1" << "";
    QTest::newRow("cell without r follows the last") << row1("<c r=\"C1\"><v>1</v></c><c><v>2</v></c>") << none << none << "D1" << "2";
    QTest::newRow("first cell without r is A")
        << "<row r=\"2\"><c><v>7</v></c></row>" << none << none << "A2" << "7";
    QTest::newRow("row without r follows the last")
        << "<row r=\"3\"><c><v>1</v></c></row><row><c><v>2</v></c></row>" << none << none << "A4" << "2";
    QTest::newRow("cells out of order") << row1("<c r=\"B1\"><v>2</v></c><c r=\"A1\"><v>1</v></c>") << none << none << "A1" << "1";
    QTest::newRow("a place given twice: the later wins") << row1("<c r=\"A1\"><v>1</v></c><c r=\"A1\"><v>2</v></c>") << none << none << "A1" << "2";
    QTest::newRow("rows out of order")
        << "<row r=\"5\"><c r=\"A5\"><v>5</v></c></row><row r=\"2\"><c r=\"A2\"><v>2</v></c></row>" << none << none << "A2" << "2";
    QTest::newRow("lower-case reference") << row1("<c r=\"b1\"><v>3</v></c>") << none << none << "B1" << "3";
    QTest::newRow("the last place of the grid")
        << "<row r=\"1048576\"><c r=\"XFD1048576\"><v>1</v></c></row>" << none << none << "XFD1048576" << "1";
    QTest::newRow("unknown elements inside a cell ignored")
        << c("", "<extLst><ext><v>9</v></ext></extLst><v>1</v>") << none << none << "A1" << "1";
}

void TestWorkbook::cells() {
    QFETCH(QString, rows);
    QFETCH(QString, sst);
    QFETCH(QString, workbookPr);
    QFETCH(QString, cell);
    QFETCH(QString, expected);
    const std::string bytes = oneSheet(rows.toStdString(), sst.toStdString(), workbookPr.toStdString());
    int row = 0, column = 0;
    place(cell, row, column);
    for (SheetReader reader : kReaders) {
        auto wb = load(bytes, reader);
        QCOMPARE(wb->sheetCount(), size_t{1});
        const auto& sheet = wb->sheet(0);
        QVERIFY2(sheet.hasCell(row, column), readerName(reader));
        QCOMPARE(q(sheet.text(row, column, romanian())), expected);
    }
}

void TestWorkbook::lastRow_data() {
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("lastRow");
    QTest::addColumn<int>("lastColumn");
    QTest::addColumn<int>("cells");
    QString header = "<row r=\"1\">";
    for (char c = 'A'; c <= 'K'; ++c) header += QString("<c r=\"") + c + "1\" t=\"inlineStr\"><is><t>h</t></is></c>";
    header += "</row>";
    QTest::newRow("no rows") << "" << -1 << -1 << 0;
    QTest::newRow("header only") << header << 0 << 10 << 11;
    QTest::newRow("a stored empty row counts") << header + "<row r=\"5\"/>" << 4 << 10 << 11;
    QTest::newRow("a row of blank cells counts") << header + "<row r=\"3\"><c r=\"A3\" s=\"1\"/></row>" << 2 << 10 << 12;
    QTest::newRow("rows without r count on") << "<row/><row/><row/>" << 2 << -1 << 0;
    QTest::newRow("a cell below its row") << "<row r=\"2\"><c r=\"C9\"><v>1</v></c></row>" << 8 << 2 << 1;
    QTest::newRow("the grid's corner") << "<row r=\"1048576\"><c r=\"XFD1048576\"><v>1</v></c></row>" << 1048575 << 16383 << 1;
}

void TestWorkbook::lastRow() {
    QFETCH(QString, rows);
    QFETCH(int, lastRow);
    QFETCH(int, lastColumn);
    QFETCH(int, cells);
    for (SheetReader reader : kReaders) {
        auto wb = load(oneSheet(rows.toStdString()), reader);
        QCOMPARE(wb->sheet(0).lastRow(), lastRow);
        QCOMPARE(wb->sheet(0).lastColumn(), lastColumn);
        QCOMPARE(static_cast<int>(wb->sheet(0).cellCount()), cells);
    }
}

void TestWorkbook::missingCells() {
    // Row 2 is left out, B1 is left out, C1 is stored blank.
    auto wb = load(oneSheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"C1\" s=\"1\"/></row>"
                            "<row r=\"3\"><c r=\"A3\"><v>3</v></c></row>"),
                   SheetReader::Scanner);
    const auto& s = wb->sheet(0);
    const auto r = romanian();
    QVERIFY(!s.hasCell(0, 1));
    QCOMPARE(q(s.text(0, 1, r)), QString());
    QVERIFY(s.hasCell(0, 2));
    QCOMPARE(q(s.text(0, 2, r)), QString());
    QVERIFY(!s.hasCell(1, 0));
    QCOMPARE(q(s.text(1, 0, r)), QString());
    QCOMPARE(q(s.text(2, 0, r)), QString("3"));
    QVERIFY(!s.hasCell(-1, 0));
    QCOMPARE(q(s.text(-1, -1, r)), QString());
    QCOMPARE(q(s.text(0, 70000, r)), QString());
    QCOMPARE(q(s.text(5000000, 0, r)), QString());
    QCOMPARE(s.lastRow(), 2);
}

void TestWorkbook::rowTexts() {
    auto wb = load(oneSheet(row1("<c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c>"
                                 "<c r=\"C1\" t=\"inlineStr\"><is><t>c</t></is></c>"
                                 "<c r=\"E1\" t=\"inlineStr\"><is><t>e</t></is></c>")
                                .toStdString() +
                            "<row r=\"2\"><c r=\"B2\"><v>2</v></c></row>"),
                   SheetReader::Scanner);
    const auto& s = wb->sheet(0);
    std::vector<std::string> out{"stale"};
    s.rowTexts(0, 0, 5, romanian(), out);
    QCOMPARE(out, (std::vector<std::string>{"a", "", "c", "", "e", ""}));
    s.rowTexts(0, 2, 3, romanian(), out);
    QCOMPARE(out, (std::vector<std::string>{"c", ""}));
    s.rowTexts(1, 0, 2, romanian(), out);
    QCOMPARE(out, (std::vector<std::string>{"", "2", ""}));
    s.rowTexts(7, 0, 1, romanian(), out);
    QCOMPARE(out, (std::vector<std::string>{"", ""}));
    s.rowTexts(0, 3, 2, romanian(), out);
    QVERIFY(out.empty());
}

void TestWorkbook::forEachCell() {
    auto wb = load(oneSheet("<row r=\"1\"><c r=\"B1\"><v>1</v></c><c r=\"A1\"><v>0</v></c></row>"
                            "<row r=\"4\"><c r=\"C4\"><v>4</v></c></row><row r=\"6\"><c r=\"A6\"><v>6</v></c></row>"),
                   SheetReader::Scanner);
    std::string seen;
    wb->sheet(0).forEachCell(0, 3, romanian(), [&](int r, int c, const std::string& t) {
        seen += std::to_string(r) + ":" + std::to_string(c) + "=" + t + " ";
    });
    QCOMPARE(q(seen), QString("0:0=0 0:1=1 3:2=4 "));
    seen.clear();
    wb->sheet(0).forEachCell(4, 100, romanian(), [&](int r, int c, const std::string& t) {
        seen += std::to_string(r) + ":" + std::to_string(c) + "=" + t + " ";
    });
    QCOMPARE(q(seen), QString("5:0=6 "));
}

void TestWorkbook::lookupsInAnyOrder() {
    // Cells at scattered places; every place of a 40 x 12 window is read in
    // several orders (forward, backward, by column, jumping) and each read
    // must find exactly what is stored there.
    std::map<std::pair<int, int>, std::string> stored;
    std::string rows;
    for (int r = 0; r < 40; ++r) {
        rows += "<row r=\"" + std::to_string(r + 1) + "\">";
        for (int c = 0; c < 12; ++c) {
            if ((r * 7 + c * 3) % 5 == 0 || (r % 9 == 0 && c < 3)) {
                const std::string t = std::to_string(r * 100 + c);
                stored[{r, c}] = t;
                rows += "<c r=\"" + xlsx::cellName(r, c) + "\"><v>" + t + "</v></c>";
            }
        }
        rows += "</row>";
    }
    auto wb = load(oneSheet(rows), SheetReader::Scanner);
    const auto& s = wb->sheet(0);
    auto check = [&](int r, int c) {
        const auto it = stored.find({r, c});
        QCOMPARE(s.hasCell(r, c), it != stored.end());
        QCOMPARE(q(s.text(r, c, romanian())), it == stored.end() ? QString() : q(it->second));
    };
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 12; ++c) check(r, c);
    for (int r = 39; r >= 0; --r)
        for (int c = 11; c >= 0; --c) check(r, c);
    for (int c = 0; c < 12; ++c)
        for (int r = 0; r < 40; ++r) check(r, c);
    for (int k = 0; k < 480; ++k) check((k * 37) % 40, (k * 5) % 12);
    std::vector<std::string> out;
    for (int r = 39; r >= 0; r -= 3) {
        s.rowTexts(r, 2, 7, romanian(), out);
        for (int c = 2; c <= 7; ++c) {
            const auto it = stored.find({r, c});
            QCOMPARE(q(out[static_cast<size_t>(c - 2)]), it == stored.end() ? QString() : q(it->second));
        }
    }
}

void TestWorkbook::showFormulas_data() {
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("expected");
    const QString shown = "<sheetViews><sheetView showFormulas=\"1\" workbookViewId=\"0\"/></sheetViews>";
    const QString hidden = "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>";
    QTest::newRow("value cell as it is") << shown << "A1" << "1";
    QTest::newRow("shared master") << shown << "B1" << "=A1*2+$A$1";
    QTest::newRow("follower before its master") << shown << "B2" << "=A2*2+$A$1";
    QTest::newRow("follower after its master") << shown << "B3" << "=A3*2+$A$1";
    QTest::newRow("follower to the right") << shown << "C3" << "=B3*2+$A$1";
    QTest::newRow("plain formula") << shown << "D1" << "=SUM(A1:A3)";
    QTest::newRow("follower without master: its result") << shown << "E1" << "5";
    QTest::newRow("formula without result") << shown << "F1" << "=B1";
    QTest::newRow("hidden: master's result") << hidden << "B1" << "2";
    QTest::newRow("hidden: follower's result") << hidden << "B2" << "4";
    QTest::newRow("hidden: plain formula's result") << hidden << "D1" << "6";
    QTest::newRow("hidden: no result") << hidden << "F1" << "0";
}

void TestWorkbook::showFormulas() {
    QFETCH(QString, view);
    QFETCH(QString, cell);
    QFETCH(QString, expected);
    const std::string rows =
        "<row r=\"1\"><c r=\"A1\"><v>1</v></c>"
        "<c r=\"B1\"><f t=\"shared\" ref=\"B1:C3\" si=\"0\">A1*2+$A$1</f><v>2</v></c>"
        "<c r=\"D1\"><f>SUM(A1:A3)</f><v>6</v></c>"
        "<c r=\"E1\"><f t=\"shared\" si=\"7\"/><v>5</v></c>"
        "<c r=\"F1\"><f>B1</f></c></row>"
        "<row r=\"3\"><c r=\"A3\"><v>3</v></c><c r=\"B3\"><f t=\"shared\" si=\"0\"/><v>6</v></c>"
        "<c r=\"C3\"><f t=\"shared\" si=\"0\"/><v>12</v></c></row>";
    // Row 2 stands first in the part: its follower is read before the master.
    const std::string before = "<row r=\"2\"><c r=\"A2\"><v>2</v></c><c r=\"B2\"><f t=\"shared\" si=\"0\"/><v>4</v></c></row>";
    int row = 0, column = 0;
    place(cell, row, column);
    for (SheetReader reader : kReaders) {
        auto wb = load(oneSheet(before + rows, {}, {}, view.toStdString()), reader);
        QCOMPARE(q(wb->sheet(0).text(row, column, romanian())), expected);
    }
}

void TestWorkbook::namespaces_data() {
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("rel");
    QTest::addColumn<QString>("prefix");
    const QString tMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const QString tRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const QString sMain = "http://purl.oclc.org/ooxml/spreadsheetml/main";
    const QString sRel = "http://purl.oclc.org/ooxml/officeDocument/relationships";
    QTest::newRow("transitional, no prefix") << tMain << tRel << "";
    QTest::newRow("transitional, x: prefix") << tMain << tRel << "x:";
    QTest::newRow("strict, no prefix") << sMain << sRel << "";
    QTest::newRow("strict, odd prefix") << sMain << sRel << "ss:";
}

void TestWorkbook::namespaces() {
    QFETCH(QString, main);
    QFETCH(QString, rel);
    QFETCH(QString, prefix);
    const std::string m = main.toStdString(), r = rel.toStdString(), p = prefix.toStdString();
    const std::string decl = p.empty() ? " xmlns=\"" + m + "\"" : " xmlns:" + p.substr(0, p.size() - 1) + "=\"" + m + "\"";
    const std::string pkg = "http://schemas.openxmlformats.org/package/2006/relationships";
    std::vector<Part> parts = {
        {"_rels/.rels", "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"a\" Type=\"" + r +
                            "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<" + p + "workbook" + decl + " xmlns:rr=\"" + r + "\"><" + p + "workbookPr date1904=\"1\"/><" + p +
                                "sheets><" + p + "sheet name=\"S\" sheetId=\"1\" rr:id=\"s1\"/></" + p + "sheets></" + p + "workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"s1\" Type=\"" + r +
             "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"t\" Type=\"" + r +
             "/sharedStrings\" Target=\"sharedStrings.xml\"/><Relationship Id=\"y\" Type=\"" + r +
             "/styles\" Target=\"styles.xml\"/></Relationships>"},
        {"xl/sharedStrings.xml", "<" + p + "sst" + decl + "><" + p + "si><" + p + "r><" + p + "t>AW</" + p + "t></" + p +
                                     "r><" + p + "r><" + p + "t>B</" + p + "t></" + p + "r></" + p + "si></" + p + "sst>"},
        {"xl/styles.xml", "<" + p + "styleSheet" + decl + "><" + p + "cellXfs><" + p + "xf numFmtId=\"0\"/><" + p +
                              "xf numFmtId=\"14\"/></" + p + "cellXfs></" + p + "styleSheet>"},
        {"xl/worksheets/sheet1.xml", "<" + p + "worksheet" + decl + "><" + p + "sheetData><" + p + "row r=\"1\"><" + p +
                                         "c r=\"A1\" t=\"s\"><" + p + "v>0</" + p + "v></" + p + "c><" + p +
                                         "c r=\"B1\" s=\"1\"><" + p + "v>43904</" + p + "v></" + p + "c><" + p +
                                         "c r=\"C1\" t=\"inlineStr\"><" + p + "is><" + p + "t>x</" + p + "t></" + p +
                                         "is></" + p + "c></" + p + "row></" + p + "sheetData></" + p + "worksheet>"},
    };
    const std::string bytes = zipParts(parts);
    for (SheetReader reader : kReaders) {
        auto wb = load(bytes, reader);
        QCOMPARE(wb->sheetCount(), size_t{1});
        QVERIFY(wb->date1904());
        QCOMPARE(q(wb->sheet(0).text(0, 0, romanian())), QString("AWB"));
        QCOMPARE(q(wb->sheet(0).text(0, 1, romanian())), QString("15.03.2024"));
        QCOMPARE(q(wb->sheet(0).text(0, 2, romanian())), QString("x"));
    }
}

void TestWorkbook::sheetsAndPaths() {
    // Names in the ZIP in other case and with backslashes; targets absolute,
    // relative with "..", and one sheet naming no relationship at all.
    const std::string pkg = "http://schemas.openxmlformats.org/package/2006/relationships";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    std::vector<Part> parts = {
        {"_rels\\.rels", "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"a\" Type=\"" + rel +
                             "/officeDocument\" Target=\"/Book/WB.xml\"/></Relationships>"},
        {"book/wb.xml", std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + rel +
                            "\"><sheets><sheet name=\"Unu\" sheetId=\"1\" r:id=\"r1\"/><sheet name=\"Fara\" sheetId=\"2\" r:id=\"\"/>"
                            "<sheet name=\"Grafic\" sheetId=\"3\" r:id=\"r3\"/><sheet name=\"Doi\" sheetId=\"4\" r:id=\"r2\" state=\"veryHidden\"/></sheets></workbook>"},
        {"BOOK/_RELS/WB.XML.RELS", "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"r1\" Type=\"" + rel +
                                       "/worksheet\" Target=\"/Data/One.xml\"/><Relationship Id=\"r2\" Type=\"" + rel +
                                       "/worksheet\" Target=\"..\\data\\two.xml\"/><Relationship Id=\"r3\" Type=\"" + rel +
                                       "/chartsheet\" Target=\"chart.xml\"/><Relationship Id=\"x\" Type=\"" + rel +
                                       "/hyperlink\" Target=\"http://example.com/\" TargetMode=\"External\"/></Relationships>"},
        {"data\\one.xml", sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")},
        {"Data/TWO.xml", sheetXml("<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>")},
        {"book/chart.xml", "<chartsheet xmlns=\"" + std::string(kMain) + "\"/>"},
    };
    const std::string bytes = zipParts(parts);
    for (SheetReader reader : kReaders) {
        auto wb = load(bytes, reader);
        QCOMPARE(wb->sheetCount(), size_t{2});
        QCOMPARE(q(wb->sheet(0).name()), QString("Unu"));
        QCOMPARE(q(wb->sheet(1).name()), QString("Doi"));
        QCOMPARE(q(wb->sheet(1).text(0, 0, romanian())), QString("2"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, wb->sheet(2));
    }
}

void TestWorkbook::producedByLibxlsxwriter_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("expected");
    QTest::newRow("header text") << "A1" << "amount";
    QTest::newRow("1234.5 under #,##0.00") << "A2" << "1234,5";
    QTest::newRow("formula 0.1+0.2") << "B2" << "0,3";
    QTest::newRow("15 March 2024") << "C2" << "15.03.2024";
    QTest::newRow("15 March 2024 14:30") << "D2" << "15.03.2024 14:30:00";
    QTest::newRow("0.5 under hh:mm") << "E2" << "12:00:00";
    QTest::newRow("negative under dd.mm.yyyy") << "F2" << "-5";
    QTest::newRow("truth TRUE") << "G2" << "TRUE";
    QTest::newRow("truth FALSE") << "H2" << "FALSE";
    QTest::newRow("1E20") << "I2" << "1E20";
    QTest::newRow("1E-5") << "J2" << "1E-5";
    QTest::newRow("1,5E-7") << "K2" << "1,5E-7";
    QTest::newRow("0,0001") << "L2" << "0,0001";
    QTest::newRow("18 digits") << "M2" << "1,23456789012346E17";
    QTest::newRow("integer") << "N2" << "12345";
    QTest::newRow("formula text") << "O2" << "ab";
    QTest::newRow("quotes, backslash, line feed, Romanian letters")
        << "P2" << "Ion \"Ionica\" \\ Iasi\nsector 2, \u0103\u00e2\u00ee\u0219\u021b";
    QTest::newRow("rounds to the next midnight") << "Q2" << "16.03.2024";
    QTest::newRow("past 9999") << "R2" << "2958466";
    QTest::newRow("last millisecond") << "S2" << "31.12.9999 23:59:59";
    QTest::newRow("built-in 14") << "T2" << "15.03.2024 06:00:00";
    QTest::newRow("percent: general form") << "U2" << "0,125";
    QTest::newRow("formula under a date format") << "V2" << "45367";
}

void TestWorkbook::producedByLibxlsxwriter() {
    QFETCH(QString, cell);
    QFETCH(QString, expected);
    const std::string bytes = readFile(fixture("xw_cells.xlsx"));
    int row = 0, column = 0;
    place(cell, row, column);
    for (SheetReader reader : kReaders) {
        auto wb = load(bytes, reader);
        QCOMPARE(wb->sheetCount(), size_t{2});
        QCOMPARE(q(wb->sheet(1).name()), QString("Incasari"));
        QCOMPARE(wb->sheet(1).lastRow(), 1);
        QCOMPARE(q(wb->sheet(1).text(row, column, romanian())), expected);
    }
}

void TestWorkbook::producedByOpenpyxl_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("43904 in the 1904 system") << "A1" << true << "15.03.2024";
    QTest::newRow("date and time in the 1904 system") << "A2" << true << "15.03.2024 14:30:00";
    QTest::newRow("negative under a date format") << "A3" << true << "-1";
    QTest::newRow("day 0 of 1904") << "A4" << true << "01.01.1904";
    QTest::newRow("time with AM/PM") << "A5" << true << "18:00:00";
    QTest::newRow("left out") << "A6" << false << "";
    QTest::newRow("text after the gap") << "A7" << true << "dupa un rand lipsa";
}

void TestWorkbook::producedByOpenpyxl() {
    QFETCH(QString, cell);
    QFETCH(bool, stored);
    QFETCH(QString, expected);
    const std::string bytes = readFile(fixture("op_sheets_1904.xlsx"));
    int row = 0, column = 0;
    place(cell, row, column);
    for (SheetReader reader : kReaders) {
        auto wb = load(bytes, reader);
        // Worksheets only: the chart sheet is skipped, the hidden one counts.
        QCOMPARE(wb->sheetCount(), size_t{3});
        QCOMPARE(q(wb->sheet(0).name()), QString("Vizibil"));
        QCOMPARE(q(wb->sheet(1).name()), QString("Ascuns"));
        QCOMPARE(q(wb->sheet(1).text(0, 0, romanian())), QString("ascuns"));
        QVERIFY(wb->date1904());
        const auto& data = wb->sheet(2);
        QCOMPARE(data.lastRow(), 6);
        QCOMPARE(data.hasCell(row, column), stored);
        QCOMPARE(q(data.text(row, column, romanian())), expected);
    }
}

void TestWorkbook::readersAgreeAcrossPieces() {
    // A sheet of some megabytes, so that the part reaches the scanner in many
    // pieces cut at every kind of place: inside tags, texts, references and
    // multi-byte characters.
    std::string rows;
    for (int r = 1; r <= 20000; ++r) {
        const std::string n = std::to_string(r);
        rows += "<row r=\"" + n + "\" spans=\"1:6\">";
        rows += "<c r=\"A" + n + "\" t=\"inlineStr\"><is><t>AWB" + n + " \u0219\u021b &amp; &#x103;</t></is></c>";
        rows += "<c r=\"B" + n + "\" s=\"1\"><v>" + std::to_string(45000 + r) + "." + std::to_string(r % 97) + "</v></c>";
        rows += "<c r=\"C" + n + "\" t=\"s\"><v>" + std::to_string(r % 3) + "</v></c>";
        rows += "<c r=\"D" + n + "\" t=\"inlineStr\"><is><r><t xml:space=\"preserve\">a\r\n</t></r><r><t>b_x000D_</t></r></is></c>";
        rows += "<c r=\"E" + n + "\"><f>D" + n + "*2</f><v>" + std::to_string(r * 1.25) + "</v></c>";
        rows += "<c r=\"F" + n + "\" t=\"b\"><v>" + std::to_string(r % 2) + "</v></c></row>";
    }
    const std::string bytes = oneSheet(rows, "<si><t>zero</t></si><si><t>unu</t></si><si/>");
    int fallbacks = 0;
    auto scanned = load(bytes, SheetReader::Scanner, {}, &fallbacks);
    auto reference = load(bytes, SheetReader::Expat);
    QCOMPARE(fallbacks, 0);
    QCOMPARE(scanned->sheet(0).cellCount(), size_t{120000});
    QCOMPARE(q(dump(*scanned)), q(dump(*reference)));
    QCOMPARE(q(scanned->sheet(0).text(19999, 0, romanian())), QString("AWB20000 \u0219\u021b & \u0103"));
    QCOMPARE(q(scanned->sheet(0).text(19999, 3, romanian())), QString("a\nb\r"));
}

QTEST_APPLESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
