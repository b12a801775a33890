// Broken, hostile and unsupported workbooks: each is refused with its own
// message, by both worksheet readers alike, never with a crash, a hang or
// unbounded memory. ZIP-level tricks come from fixtures/make_fixtures.py;
// XML and cell faults are hand-written parts zipped here, one per fault.
// The fuzzers' finds are kept in fixtures/fuzz_* and loaded here too.
#include <QtTest>

#include "xlsx_parts.h"
#include "xlsx_test_util.h"

using namespace xlsxtest;
using xlsx::detail::SheetReader;

Q_DECLARE_METATYPE(xlsx::Limits)

namespace {

const SheetReader kReaders[] = {SheetReader::Scanner, SheetReader::Expat};

QByteArray bytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

QByteArray oneSheet(const std::string& rows, const std::string& sst = {}) {
    Book b;
    b.sheets.push_back({"Foaie1", sheetXml(rows)});
    if (!sst.empty()) b.sharedStrings = sharedStringsXml(sst);
    return bytes(makeXlsx(b));
}

QByteArray cell(const std::string& attrs, const std::string& inner) {
    return oneSheet("<row r=\"1\"><c r=\"A1\"" + attrs + ">" + inner + "</c></row>");
}

QByteArray fixtureBytes(const char* name) { return bytes(readFile(fixture(name))); }

const std::string kBomb =
    "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
    "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
    "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">]>";

const char* const kSheetPart = "The workbook is damaged: the part \"xl/worksheets/sheet1.xml\"";

QString inSheet(const char* rest) { return QString("The workbook is damaged: in the sheet \"Foaie1\", cell ") + rest; }

}  // namespace

class TestHostile : public QObject {
    Q_OBJECT
private slots:
    void refused_data();
    void refused();
    void accepted_data();
    void accepted();
    void sharedTextStoredOnce();
    void manyStylesOneLongFormat();
    void fuzzFinds_data();
    void fuzzFinds();
    void missingFile();
};

void TestHostile::refused_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<xlsx::Limits>("limits");
    QTest::addColumn<QString>("message");
    const xlsx::Limits defaults;

    // Not a workbook at all.
    QTest::newRow("empty file") << fixtureBytes("empty.xlsx") << defaults
                                << "The file is empty; it is not an .xlsx workbook";
    QTest::newRow("not a ZIP") << fixtureBytes("not_zip.xlsx") << defaults
                               << "The file is not an .xlsx workbook (not a ZIP package)";
    QTest::newRow("encrypted (compound file)")
        << fixtureBytes("compound_file.xlsx") << defaults
        << "The file is protected with a password (encrypted) or is an old-format Excel file; "
           "only unprotected .xlsx workbooks can be read";
    QTest::newRow("ZIP without a workbook") << fixtureBytes("zip_no_workbook.xlsx") << defaults
                                            << "The file is a ZIP package but not an .xlsx workbook (it holds no workbook part)";
    QTest::newRow("ZIP cut short") << fixtureBytes("xw_cells.xlsx").left(3000) << defaults
                                   << "The file is not an .xlsx workbook (not a ZIP package)";

    QTest::newRow("ZIP entries encrypted")
        << bytes(zipPartsEncrypted(bookParts(bookOf(sheetXml(""))), "parola")) << defaults
        << "The workbook is encrypted; only unprotected .xlsx workbooks can be read";

    // ZIP tricks.
    QTest::newRow("1,001 entries") << fixtureBytes("zip_too_many_entries.xlsx") << defaults
                                   << "The workbook is refused as unsafe: it holds more than 1000 ZIP entries";
    QTest::newRow("names differing in case")
        << fixtureBytes("zip_duplicate_case.xlsx") << defaults
        << "The workbook is refused as ambiguous: it holds more than one part named \"XL/Worksheets/Sheet1.xml\"";
    QTest::newRow("names differing in slashes")
        << fixtureBytes("zip_duplicate_backslash.xlsx") << defaults
        << "The workbook is refused as ambiguous: it holds more than one part named \"xl\\worksheets\\sheet1.xml\"";
    QTest::newRow("inflates more than 1000:1")
        << fixtureBytes("zip_ratio_bomb.xlsx") << defaults
        << QString(kSheetPart).replace("The workbook is damaged", "The workbook is refused as unsafe") +
               " inflates to more than 1000 times its compressed size";
    xlsx::Limits small;
    small.maxPartBytes = 1000;  // the styles (1,645 bytes) are the first part past it
    QTest::newRow("a part past the part limit")
        << fixtureBytes("xw_cells.xlsx") << small
        << "The workbook is refused as unsafe: the part \"xl/styles.xml\" inflates to more than 1000 bytes";
    xlsx::Limits total;
    total.maxTotalBytes = 2u << 10;
    QTest::newRow("parts past the total limit")
        << fixtureBytes("xw_cells.xlsx") << total
        << "The workbook is refused as unsafe: its parts inflate to more than 2048 bytes in all";
    xlsx::Limits entries;
    entries.maxEntries = 5;
    QTest::newRow("entries past a lower limit")
        << fixtureBytes("xw_cells.xlsx") << entries
        << "The workbook is refused as unsafe: it holds more than 5 ZIP entries";

    // XML.
    {
        Book b;
        b.sheets.push_back({"Foaie1", kBomb + "<worksheet xmlns=\"" + kMain + "\"><sheetData><row><c t=\"inlineStr\"><is><t>&lol3;</t></is></c></row></sheetData></worksheet>"});
        QTest::newRow("entity bomb in a worksheet")
            << bytes(makeXlsx(b)) << defaults
            << "The workbook is refused as unsafe: the part \"xl/worksheets/sheet1.xml\" contains a document type declaration (DTD)";
    }
    {
        Book b;
        b.sheets.push_back({"Foaie1", sheetXml("")});
        b.sharedStrings = kBomb + "<sst xmlns=\"" + kMain + "\"><si><t>&lol3;</t></si></sst>";
        QTest::newRow("entity bomb in the shared strings")
            << bytes(makeXlsx(b)) << defaults
            << "The workbook is refused as unsafe: the part \"xl/sharedStrings.xml\" contains a document type declaration (DTD)";
    }
    {
        Book b;
        b.sheets.push_back({"Foaie1", "<?xml version=\"1.0\"?><!DOCTYPE worksheet SYSTEM \"file:///etc/passwd\"><worksheet xmlns=\"" +
                                          std::string(kMain) + "\"/>"});
        QTest::newRow("external DTD")
            << bytes(makeXlsx(b)) << defaults
            << "The workbook is refused as unsafe: the part \"xl/worksheets/sheet1.xml\" contains a document type declaration (DTD)";
    }
    {
        Book b;
        b.sheets.push_back({"Foaie1", sheetXml("")});
        b.styles = kBomb + "<styleSheet xmlns=\"" + kMain + "\"/>";
        QTest::newRow("entity bomb in the styles")
            << bytes(makeXlsx(b)) << defaults
            << "The workbook is refused as unsafe: the part \"xl/styles.xml\" contains a document type declaration (DTD)";
    }
    QTest::newRow("undefined entity")
        << cell(" t=\"inlineStr\"", "<is><t>&nbsp;</t></is>") << defaults
        << QString(kSheetPart) + " is not valid XML (line 2: undefined entity)";
    QTest::newRow("mismatched tag")
        << oneSheet("<row r=\"1\"><c r=\"A1\"><v>1</c></row>") << defaults
        << QString(kSheetPart) + " is not valid XML (line 2: mismatched tag)";
    QTest::newRow("cut short")
        << bytes(makeXlsx(bookOf(sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>").substr(0, 150))))
        << defaults << QString(kSheetPart) + " is not valid XML (line 2: unclosed token)";
    QTest::newRow("invalid UTF-8")
        << cell(" t=\"inlineStr\"", "<is><t>\xC3\x28</t></is>") << defaults
        << QString(kSheetPart) + " is not valid XML (line 2: not well-formed (invalid token))";
    QTest::newRow("a control character")
        << cell(" t=\"inlineStr\"", "<is><t>a\x01</t></is>") << defaults
        << QString(kSheetPart) + " is not valid XML (line 2: not well-formed (invalid token))";
    QTest::newRow("undeclared prefix")
        << oneSheet("<row r=\"1\"><c r=\"A1\" q:x=\"1\"><v>1</v></c></row>") << defaults
        << QString(kSheetPart) + " is not valid XML (line 2: unbound prefix)";
    QTest::newRow("an attribute twice")
        << oneSheet("<row r=\"1\"><c r=\"A1\" r=\"B1\"><v>1</v></c></row>") << defaults
        << QString(kSheetPart) + " is not valid XML (line 2: duplicate attribute)";
    QTest::newRow("not a worksheet")
        << bytes(makeXlsx(bookOf("<foaie xmlns=\"" + std::string(kMain) + "\"/>"))) << defaults
        << QString(kSheetPart) + " is not a worksheet";

    // Cells.
    QTest::newRow("NaN") << cell("", "<v>NaN</v>") << defaults << inSheet("A1 holds \"NaN\", which is not a number");
    QTest::newRow("infinity") << cell("", "<v>INF</v>") << defaults << inSheet("A1 holds \"INF\", which is not a number");
    QTest::newRow("minus infinity") << cell("", "<v>-inf</v>") << defaults << inSheet("A1 holds \"-inf\", which is not a number");
    QTest::newRow("overflow")
        << cell("", "<v>1e999</v>") << defaults
        << "The workbook cannot be read: in the sheet \"Foaie1\", cell A1 holds a number too large for a spreadsheet";
    QTest::newRow("not a number") << cell(" s=\"1\"", "<v>15.03.2024</v>") << defaults
                                  << inSheet("A1 holds \"15.03.2024\", which is not a number");
    QTest::newRow("not a truth value") << cell(" t=\"b\"", "<v>2</v>") << defaults
                                       << inSheet("A1 holds \"2\", which is not a truth value");
    QTest::newRow("shared text past the table")
        << oneSheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>2</v></c></row>", "<si><t>a</t></si><si><t>b</t></si>") << defaults
        << inSheet("A1 refers to a shared text \"2\" that the workbook does not hold");
    QTest::newRow("shared text index not a number")
        << oneSheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>-1</v></c></row>", "<si><t>a</t></si>") << defaults
        << inSheet("A1 refers to a shared text \"-1\" that the workbook does not hold");
    const QString badRef = "The workbook is damaged: the sheet \"Foaie1\" holds a cell or row reference that is not valid (\"%1\")";
    QTest::newRow("column XFE") << oneSheet("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>") << defaults << badRef.arg("XFE1");
    QTest::newRow("row 1048577") << oneSheet("<row r=\"1\"><c r=\"A1048577\"><v>1</v></c></row>") << defaults << badRef.arg("A1048577");
    QTest::newRow("row 0") << oneSheet("<row r=\"1\"><c r=\"A0\"><v>1</v></c></row>") << defaults << badRef.arg("A0");
    QTest::newRow("row element past the grid") << oneSheet("<row r=\"1048577\"/>") << defaults << badRef.arg("1048577");
    QTest::newRow("row number that overflows")
        << oneSheet("<row r=\"99999999999999999999\"/>") << defaults << badRef.arg("99999999999999999999");
    QTest::newRow("cell number that overflows")
        << oneSheet("<row><c r=\"A99999999999999999999\"/></row>") << defaults << badRef.arg("A99999999999999999999");
    QTest::newRow("reference with letters after digits") << oneSheet("<row><c r=\"A1B\"/></row>") << defaults << badRef.arg("A1B");
    QTest::newRow("absolute reference") << oneSheet("<row><c r=\"$A$1\"/></row>") << defaults << badRef.arg("$A$1");
    const QString grid = "The workbook is damaged: the sheet \"Foaie1\" holds cells beyond row 1048576 or column XFD";
    QTest::newRow("row without r after the last row") << oneSheet("<row r=\"1048576\"/><row/>") << defaults << grid;
    {
        std::string rows = "<row r=\"1\"><c r=\"XFD1\"/><c/></row>";
        QTest::newRow("cell without r after column XFD") << oneSheet(rows) << defaults << grid;
    }
    {
        const std::string longText(32768, 'a');
        QTest::newRow("inline text of 32,768 characters")
            << cell(" t=\"inlineStr\"", "<is><t>" + longText + "</t></is>") << defaults
            << "The workbook cannot be read: the sheet \"Foaie1\", cell A1 holds a text longer than 32767 characters";
        QTest::newRow("shared text of 32,768 characters")
            << oneSheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>", "<si><t>" + longText + "</t></si>") << defaults
            << "The workbook cannot be read: the table of shared texts holds a text longer than 32767 characters";
        std::string emoji;
        for (int i = 0; i < 16384; ++i) emoji += "\U0001F363";
        QTest::newRow("16,384 characters beyond the BMP")
            << cell(" t=\"inlineStr\"", "<is><t>" + emoji + "</t></is>") << defaults
            << "The workbook cannot be read: the sheet \"Foaie1\", cell A1 holds a text longer than 32767 characters";
        QTest::newRow("formula text of 32,768 characters")
            << cell(" t=\"str\"", "<f>A2</f><v>" + longText + "</v>") << defaults
            << "The workbook cannot be read: the sheet \"Foaie1\", cell A1 holds a text longer than 32767 characters";
    }
    {
        std::string deep;
        for (int i = 0; i < 300; ++i) deep += "<x>";
        for (int i = 0; i < 300; ++i) deep += "</x>";
        Book b = bookOf("<worksheet xmlns=\"" + std::string(kMain) + "\"><sheetData>" + deep + "</sheetData></worksheet>");
        QTest::newRow("elements nested 300 deep")
            << bytes(makeXlsx(b)) << defaults
            << "The workbook is refused as unsafe: the part \"xl/worksheets/sheet1.xml\" nests its elements more than 256 deep";
        b.sharedStrings = sharedStringsXml("<si>" + deep + "</si>");
        b.sheets[0].second = sheetXml("");
        QTest::newRow("shared strings nested 300 deep")
            << bytes(makeXlsx(b)) << defaults
            << "The workbook is refused as unsafe: the part \"xl/sharedStrings.xml\" nests its elements more than 256 deep";
    }
    {
        std::string attrs;
        for (int i = 0; i < 100; ++i) attrs += " a" + std::to_string(i) + "=\"1\"";
        QTest::newRow("an attribute twice among a hundred")
            << oneSheet("<row r=\"1\"><c r=\"A1\"" + attrs + " a7=\"2\"><v>1</v></c></row>") << defaults
            << QString(kSheetPart) + " is not valid XML (line 2: duplicate attribute)";
    }
    {
        auto parts = bookParts(Book{});
        for (auto& p : parts) {
            if (p.name == "xl/workbook.xml")
                p.data = std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
                         "<sheet name=\"A\" sheetId=\"1\" r:id=\"s\"/><sheet name=\"B\" sheetId=\"2\" r:id=\"t\"/></sheets></workbook>";
            if (p.name == "xl/_rels/workbook.xml.rels")
                p.data = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                         "<Relationship Id=\"s\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                         "<Relationship Id=\"t\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"/XL/worksheets/Sheet1.xml\"/></Relationships>";
        }
        parts.push_back({"xl/worksheets/sheet1.xml", sheetXml("")});
        QTest::newRow("two sheets, one part")
            << bytes(zipParts(parts)) << defaults
            << "The workbook is damaged: more than one sheet refers to the part \"XL/worksheets/Sheet1.xml\"";
    }
    xlsx::Limits cells;
    cells.maxCells = 3;
    QTest::newRow("cells past a lower limit")
        << oneSheet("<row r=\"1\"><c/><c/><c/><c/></row>") << cells << "The workbook is refused: it holds more than 3 cells";

    // Parts that are missing or damaged.
    {
        auto parts = bookParts(bookOf(sheetXml("")));
        std::erase_if(parts, [](const Part& p) { return p.name == "xl/worksheets/sheet1.xml"; });
        QTest::newRow("worksheet part missing")
            << bytes(zipParts(parts)) << defaults << "The workbook is damaged: the part \"xl/worksheets/sheet1.xml\" is missing";
    }
    {
        auto parts = bookParts(bookOf(sheetXml("")));
        for (auto& p : parts)
            if (p.name == "_rels/.rels") p.data = "<?xml version=\"1.0\"?>\nCORRUPTED";
        QTest::newRow("package relationships not XML")
            << bytes(zipParts(parts)) << defaults
            << "The workbook is damaged: the part \"_rels/.rels\" is not valid XML (line 2: syntax error)";
    }
    {
        auto parts = bookParts(bookOf(sheetXml("")));
        for (auto& p : parts)
            if (p.name == "xl/workbook.xml") p.data = "<workbook xmlns=\"urn:other\"/>";
        QTest::newRow("workbook of another namespace")
            << bytes(zipParts(parts)) << defaults
            << "The file is a ZIP package but not an .xlsx workbook (it holds no workbook part)";
    }
}

void TestHostile::refused() {
    QFETCH(QByteArray, file);
    QFETCH(xlsx::Limits, limits);
    QFETCH(QString, message);
    const std::string b(file.constData(), static_cast<size_t>(file.size()));
    for (SheetReader reader : kReaders) QCOMPARE(q(loadError(b, reader, limits)), message);
}

void TestHostile::accepted_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("a1");
    QTest::newRow("exactly 1,000 entries") << fixtureBytes("zip_entries_at_limit.xlsx") << "AWB";
    QTest::newRow("entries stored, not deflated") << fixtureBytes("zip_stored.xlsx") << "AWB";
    QTest::newRow("names with backslashes, in capitals") << fixtureBytes("zip_backslash_names.xlsx") << "AWB";
    const std::string longText(32767, 'a');
    QTest::newRow("text of 32,767 characters")
        << cell(" t=\"inlineStr\"", "<is><t>" + longText + "</t></is>") << QString::fromStdString(longText);
    {
        std::string attrs;
        for (int i = 0; i < 100; ++i) attrs += " a" + std::to_string(i) + "=\"1\"";
        QTest::newRow("a hundred attributes") << cell(" t=\"inlineStr\"" + attrs, "<is><t>AWB</t></is>") << "AWB";
    }
    QTest::newRow("escapes make a long text short")
        << cell(" t=\"inlineStr\"", "<is><t>" + [] { std::string s; for (int i = 0; i < 10000; ++i) s += "_x0041_"; return s; }() + "</t></is>")
        << QString(10000, 'A');
}

void TestHostile::accepted() {
    QFETCH(QByteArray, file);
    QFETCH(QString, a1);
    const std::string b(file.constData(), static_cast<size_t>(file.size()));
    for (SheetReader reader : kReaders) {
        auto wb = load(b, reader);
        QCOMPARE(wb->sheetCount(), size_t{1});
        QCOMPARE(q(wb->sheet(0).text(0, 0, romanian())), a1);
    }
}

void TestHostile::sharedTextStoredOnce() {
    // One shared text of 30,000 characters used by 20,000 cells: cells keep
    // its index, so the workbook stays small while each text reads whole.
    const std::string big(30000, 'x');
    std::string rows;
    for (int r = 1; r <= 20000; ++r) rows += "<row r=\"" + std::to_string(r) + "\"><c t=\"s\"><v>0</v></c></row>";
    const auto wb = load(oneSheet(rows, "<si><t>" + big + "</t></si>").toStdString(), SheetReader::Scanner);
    QCOMPARE(wb->sheet(0).cellCount(), size_t{20000});
    QCOMPARE(wb->sheet(0).text(19999, 0, romanian()).size(), big.size());
    std::ifstream status("/proc/self/status");
    std::string line;
    long rssKiB = 0;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) rssKiB = std::stol(line.substr(6));
    // 20,000 copies would be 600 MB.
    QVERIFY2(rssKiB < 200 * 1024, qPrintable(QString("RSS %1 KiB").arg(rssKiB)));
}

void TestHostile::manyStylesOneLongFormat() {
    // 100,000 styles share one format code of 100,000 characters: the code is
    // classified once, not once a style (10^10 steps).
    const std::string code = std::string(100000, '0') + " dd";
    std::string xfs;
    for (int i = 0; i < 100000; ++i) xfs += "<xf numFmtId=\"164\"/>";
    Book b = bookOf(sheetXml("<row r=\"1\"><c r=\"A1\" s=\"99999\"><v>45366</v></c></row>"));
    b.styles = std::string("<styleSheet xmlns=\"") + kMain + "\"><numFmts><numFmt numFmtId=\"164\" formatCode=\"" + code +
               "\"/></numFmts><cellXfs>" + xfs + "</cellXfs></styleSheet>";
    const auto wb = load(makeXlsx(b), SheetReader::Scanner);
    QCOMPARE(q(wb->sheet(0).text(0, 0, romanian())), QString("15.03.2024"));
}

void TestHostile::fuzzFinds_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    // fuzz_sheet_*: a worksheet part as the sheet fuzzer gives it;
    // fuzz_load_*: a whole file.
    QTest::newRow("empty root element of another kind")
        << "fuzz_sheet_empty_root_of_another_kind.xml" << QString(kSheetPart) + " is not a worksheet";
    // Text after the root, then a checksum failure at the end of the part:
    // the scanner waited for the rest of that text, expat did not.
    QTest::newRow("junk after the root, then a bad checksum")
        << "fuzz_load_checksum_after_junk.xlsx"
        << "The workbook is damaged: the part \"xl/worksheets/sheet.xml\" is not valid XML (line 79: junk after document element)";
}

void TestHostile::fuzzFinds() {
    QFETCH(QString, file);
    QFETCH(QString, message);
    std::string input = readFile(fixture(file.toUtf8().constData()));
    QVERIFY(!input.empty());
    if (file.startsWith("fuzz_sheet_")) input = makeXlsx(bookOf(input));
    for (SheetReader reader : kReaders) QCOMPARE(q(loadError(input, reader)), message);
}

void TestHostile::missingFile() {
    try {
        xlsx::Workbook::load("/nonexistent/Sameday iunie.xlsx");
        QFAIL("loaded a file that does not exist");
    } catch (const xlsx::LoadError& e) {
        QCOMPARE(QString(e.what()), QString("The file \"/nonexistent/Sameday iunie.xlsx\" cannot be opened"));
    }
    try {
        xlsx::Workbook::load(XLSX_FIXTURES);
        QFAIL("loaded a folder");
    } catch (const xlsx::LoadError& e) {
        QCOMPARE(QString(e.what()), QString("The file \"%1\" cannot be opened").arg(XLSX_FIXTURES));
    }
    QCOMPARE(xlsx::Workbook::load(fixture("xw_cells.xlsx"))->sheetCount(), size_t{2});
}

QTEST_APPLESS_MAIN(TestHostile)
#include "tst_hostile.moc"
