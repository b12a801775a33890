// The collections upload on in-memory sheets: header check, JSON text and
// escapes, file name and extension, the courier sheet.
#include <QtTest>

#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "collections_upload.h"
#include "memory_workbook.h"
#include "qtest_std_string.h"

using testing::MemorySheet;
using testing::MemoryWorkbook;

Q_DECLARE_METATYPE(std::string)

namespace {

const regional::Settings settings{};

std::string qs(const QString& text) { return text.toStdString(); }

// The message of the report::Error that `call` throws; "" when it throws none.
template <typename Call>
std::string errorOf(Call&& call) {
    try {
        call();
    } catch (const report::Error& error) {
        return error.what();
    }
    return {};
}

std::string objectText(const std::vector<std::string>& escapedTexts, const std::string& file) {
    std::string text = "{";
    for (size_t i = 0; i < report::columns.size(); ++i) {
        text += '"';
        text += report::columns[i].member;
        text += "\":\"";
        text += escapedTexts.at(i);
        text += "\",";
    }
    return text + "\"numeFisier\":\"" + file + "\"}";
}

}  // namespace

class CollectionsUploadTest : public QObject {
    Q_OBJECT

private slots:
    void headerCheck_data();
    void headerCheck();
    void headerCheckStopsAtFirstDifference();
    void jsonEscapes_data();
    void jsonEscapes();
    void uploadOfSmallReport();
    void headerOnlyGivesEmptyArray_data();
    void headerOnlyGivesEmptyArray();
    void storedRowsWithoutCells();
    void largeReportParsesBack();
    void badHeaderSendsNothing();
    void fileName_data();
    void fileName();
    void extension_data();
    void extension();
    void courierSheet_data();
    void courierSheet();
    void guardedMessage();
};

void CollectionsUploadTest::headerCheck_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("message");

    const QString a = " Coloana A din fisier trebuie sa se numeasca \"AWB\"";
    const QString b = " Coloana B din fisier trebuie sa se numeasca \"Nume destinatar\"";
    const QString i = " Coloana I din fisier trebuie sa se numeasca \"Data\"";
    const QString k = " Coloana K din fisier trebuie sa se numeasca \"Numar colete livrate\"";
    QTest::newRow("AWB") << 0 << "AWB" << "";
    QTest::newRow("awb") << 0 << "awb" << "";
    QTest::newRow("Awb") << 0 << "Awb" << "";
    QTest::newRow("B upper case") << 1 << "NUME DESTINATAR" << "";
    QTest::newRow("AWB and a space") << 0 << "AWB " << a;
    QTest::newRow("space and AWB") << 0 << " AWB" << a;
    QTest::newRow("Nr. AWB") << 0 << "Nr. AWB" << a;
    QTest::newRow("A empty") << 0 << "" << a;
    QTest::newRow("B two spaces") << 1 << "Nume  destinatar" << b;
    // Only A to Z are lower-cased: a dotted capital I stays as it is.
    QTest::newRow("B non-ASCII capital") << 1 << QString::fromUtf8("Nume Destİnatar") << b;
    QTest::newRow("B with diacritic") << 1 << QString::fromUtf8("Nume destinatară") << b;
    QTest::newRow("Data AWB in I") << 8 << "Data AWB" << i;
    QTest::newRow("DATA in I") << 8 << "DATA" << "";
    QTest::newRow("K wrong") << 10 << "Numar colete" << k;
    QTest::newRow("K with line feed") << 10 << "Numar colete\nlivrate" << k;
}

void CollectionsUploadTest::headerCheck() {
    QFETCH(int, column);
    QFETCH(QString, header);
    QFETCH(QString, message);

    MemorySheet sheet;
    sheet.setRow(0, testing::courierHeader());
    sheet.set(0, column, qs(header));
    sheet.set(0, 11, "Observatii");  // right of K: not looked at
    QCOMPARE(errorOf([&] { report::checkHeader(sheet, settings); }), qs(message));
}

void CollectionsUploadTest::headerCheckStopsAtFirstDifference() {
    // B and C both wrong: B is reported; a header cell left out reads empty.
    MemorySheet sheet;
    sheet.setRow(0, testing::courierHeader());
    sheet.set(0, 1, "Destinatar");
    sheet.set(0, 2, "Judet");
    QCOMPARE(errorOf([&] { report::checkHeader(sheet, settings); }),
             std::string(" Coloana B din fisier trebuie sa se numeasca \"Nume destinatar\""));

    MemorySheet missing;
    auto header = testing::courierHeader();
    header.resize(5);  // A to E stored; F to K left out
    missing.setRow(0, header);
    QCOMPARE(errorOf([&] { report::checkHeader(missing, settings); }),
             std::string(" Coloana F din fisier trebuie sa se numeasca \"Adresa ridicare\""));

    MemorySheet empty;
    QCOMPARE(errorOf([&] { report::checkHeader(empty, settings); }),
             std::string(" Coloana A din fisier trebuie sa se numeasca \"AWB\""));
}

void CollectionsUploadTest::jsonEscapes_data() {
    QTest::addColumn<std::string>("cell");
    QTest::addColumn<std::string>("json");

    QTest::newRow("quotation mark") << std::string("Ana \"Ani\"") << std::string("Ana \\\"Ani\\\"");
    QTest::newRow("backslash") << std::string("Hala\\2") << std::string("Hala\\\\2");
    QTest::newRow("line feed") << std::string("Str. 1\nbl. A") << std::string("Str. 1\\nbl. A");
    QTest::newRow("carriage return") << std::string("a\r\nb") << std::string("a\\r\\nb");
    QTest::newRow("tab") << std::string("a\tb") << std::string("a\\tb");
    QTest::newRow("backspace and form feed") << std::string("\b\f") << std::string("\\b\\f");
    QTest::newRow("U+0000") << std::string("a\0b", 3) << std::string("a\\u0000b");
    QTest::newRow("U+0001") << std::string("\x01") << std::string("\\u0001");
    QTest::newRow("U+000B") << std::string("\x0b") << std::string("\\u000B");
    QTest::newRow("U+001F") << std::string("\x1f") << std::string("\\u001F");
    QTest::newRow("U+0020 as itself") << std::string(" ") << std::string(" ");
    QTest::newRow("U+007F as itself") << std::string("\x7f") << std::string("\x7f");
    QTest::newRow("slash") << std::string("REF/2024/1") << std::string("REF/2024/1");
    QTest::newRow("Romanian letters") << std::string("ă â î ș ț Ă Â Î Ș Ț")
                                      << std::string("ă â î ș ț Ă Â Î Ș Ț");
    QTest::newRow("astral emoji") << std::string("colet \xF0\x9F\x93\xA6")
                                  << std::string("colet \xF0\x9F\x93\xA6");
    QTest::newRow("U+2028") << std::string("a\xE2\x80\xA8" "b") << std::string("a\xE2\x80\xA8" "b");
    QTest::newRow("empty") << std::string() << std::string();
}

void CollectionsUploadTest::jsonEscapes() {
    QFETCH(std::string, cell);
    QFETCH(std::string, json);

    // The text in every column and in the file name travels the same way.
    MemorySheet sheet;
    sheet.setRow(0, testing::courierHeader());
    for (int column = 0; column < 11; ++column) sheet.set(1, column, cell);
    const std::vector<std::string> escaped(11, json);
    QCOMPARE(report::uploadJson(sheet, cell, settings), "[" + objectText(escaped, json) + "]");
}

void CollectionsUploadTest::uploadOfSmallReport() {
    MemorySheet sheet;
    sheet.setRow(0, testing::courierHeader());
    sheet.setRow(1, {"1EMG1", "Ion Pop", "Iasi", "Iasi", "Str. Mare 1", "Depozit", "R1", "1234,5",
                     "15.03.2024", "16.03.2024 14:30:00", "2"});
    sheet.setRow(2, {"1EMG2", "Ana", "Cluj", "Dej", "", "Depozit", "", "10", "15.03.2024",
                     "", "1"});
    sheet.set(2, 11, "ignored: right of K");
    sheet.set(2, 12, "ignored too");

    const std::string expected =
        "[" +
        objectText({"1EMG1", "Ion Pop", "Iasi", "Iasi", "Str. Mare 1", "Depozit", "R1", "1234,5",
                    "15.03.2024", "16.03.2024 14:30:00", "2"},
                   "Sameday iunie.xlsx") +
        "," +
        objectText({"1EMG2", "Ana", "Cluj", "Dej", "", "Depozit", "", "10", "15.03.2024", "", "1"},
                   "Sameday iunie.xlsx") +
        "]";
    QCOMPARE(report::collectionsUpload(sheet, "C:\\Rapoarte\\Sameday iunie.xlsx", settings),
             expected);
    // Taken over twice, the same text.
    QCOMPARE(report::collectionsUpload(sheet, "C:\\Rapoarte\\Sameday iunie.xlsx", settings),
             expected);
}

void CollectionsUploadTest::headerOnlyGivesEmptyArray_data() {
    QTest::addColumn<int>("lastRow");
    QTest::newRow("header row only") << 0;
    QTest::newRow("nothing stored") << -1;
}

void CollectionsUploadTest::headerOnlyGivesEmptyArray() {
    QFETCH(int, lastRow);
    MemorySheet sheet;
    if (lastRow >= 0) sheet.setRow(0, testing::courierHeader());
    QCOMPARE(sheet.lastRow(), lastRow);
    QCOMPARE(report::uploadJson(sheet, "a.xlsx", settings), std::string("[]"));
    if (lastRow == 0) QCOMPARE(report::collectionsUpload(sheet, "a.xlsx", settings), std::string("[]"));
}

void CollectionsUploadTest::storedRowsWithoutCells() {
    // Row 2 is left out between stored rows, row 3 is stored without cells:
    // both still give an object, every member the empty string.
    MemorySheet sheet;
    sheet.setRow(0, testing::courierHeader());
    sheet.set(1, 0, "A1");
    sheet.storeRow(3);
    const std::vector<std::string> empty(11);
    std::vector<std::string> first(11);
    first[0] = "A1";
    const std::string expected = "[" + objectText(first, "r.xlsx") + "," +
                                 objectText(empty, "r.xlsx") + "," + objectText(empty, "r.xlsx") +
                                 "]";
    QCOMPARE(report::uploadJson(sheet, "r.xlsx", settings), expected);
}

void CollectionsUploadTest::largeReportParsesBack() {
    // Enough rows that the buffer is sized from a sample and then filled; the
    // text must still parse back to every row's cells, in order, and each
    // cell must have been read once.
    const int rows = 3000;
    MemorySheet sheet;
    sheet.setRow(0, testing::courierHeader());
    for (int row = 1; row <= rows; ++row) {
        for (int column = 0; column < 11; ++column) {
            // Later rows are longer than the sampled ones, so the buffer grows.
            std::string text = std::to_string(row) + ":" + std::to_string(column);
            if (row > 2000) text += std::string(static_cast<size_t>(row % 97), 'x');
            if (column == 4) text += "\"\\\n";
            sheet.set(row, column, text);
        }
    }
    sheet.cellsRead = 0;
    const std::string json = report::uploadJson(sheet, "big.xlsx", settings);
    QCOMPARE(sheet.cellsRead, rows * 11);

    rapidjson::Document document;
    document.Parse(json.data(), json.size());
    QVERIFY(!document.HasParseError());
    QVERIFY(document.IsArray());
    QCOMPARE(static_cast<int>(document.Size()), rows);
    for (int row = 1; row <= rows; ++row) {
        const auto& object = document[static_cast<rapidjson::SizeType>(row - 1)];
        QVERIFY(object.IsObject());
        QCOMPARE(static_cast<int>(object.MemberCount()), 12);
        int column = 0;
        for (auto member = object.MemberBegin(); member != object.MemberEnd(); ++member, ++column) {
            QVERIFY(member->value.IsString());
            const std::string value(member->value.GetString(), member->value.GetStringLength());
            if (column == 11) {
                QCOMPARE(std::string(member->name.GetString()), std::string("numeFisier"));
                QCOMPARE(value, std::string("big.xlsx"));
            } else {
                QCOMPARE(std::string(member->name.GetString()),
                         std::string(report::columns[static_cast<size_t>(column)].member));
                QCOMPARE(value, sheet.text(row, column, settings));
            }
        }
    }
    QVERIFY(json.find(' ') == std::string::npos);
    QVERIFY(json.find('\n') == std::string::npos);
}

void CollectionsUploadTest::badHeaderSendsNothing() {
    MemorySheet sheet;
    sheet.setRow(0, testing::courierHeader());
    sheet.set(0, 8, "Data AWB");
    sheet.setRow(1, testing::courierHeader());
    sheet.cellsRead = 0;
    QCOMPARE(errorOf([&] { report::collectionsUpload(sheet, "a.xlsx", settings); }),
             std::string(" Coloana I din fisier trebuie sa se numeasca \"Data\""));
    // Columns after the differing one are not looked at, nor any data row.
    QCOMPARE(sheet.cellsRead, 9);
}

void CollectionsUploadTest::fileName_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("Windows path") << "C:\\Rapoarte\\Sameday iunie.xlsx" << "Sameday iunie.xlsx";
    QTest::newRow("backslash at start") << "\\Rapoarte\\Sameday iunie.xlsx" << "Sameday iunie.xlsx";
    QTest::newRow("drive without folder") << "C:file.xlsx" << "file.xlsx";
    QTest::newRow("POSIX path") << "/home/x/a.xlsx" << "a.xlsx";
    QTest::newRow("mixed separators") << "C:\\a/b\\c/d.xlsx" << "d.xlsx";
    QTest::newRow("UNC path") << "\\\\server\\share\\r.xlsx" << "r.xlsx";
    QTest::newRow("bare name") << "raport.xlsx" << "raport.xlsx";
    QTest::newRow("ends in separator") << "/home/x/" << "";
    QTest::newRow("non-ASCII name") << QString::fromUtf8("/d/Încasări mai.xlsx")
                                    << QString::fromUtf8("Încasări mai.xlsx");
}

void CollectionsUploadTest::fileName() {
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(report::fileNameOf(qs(path)), qs(name));
}

void CollectionsUploadTest::extension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("xlsx") << "C:\\Rapoarte\\incasari.xlsx" << true;
    QTest::newRow("XLSX") << "C:\\Rapoarte\\Incasari.XLSX" << true;
    QTest::newRow("POSIX path") << "/home/x/r.xlsx" << true;
    QTest::newRow("two dots") << "/home/x/r.iunie.xlsx" << true;
    QTest::newRow("xls") << "incasari.xls" << false;
    QTest::newRow("csv") << "incasari.csv" << false;
    QTest::newRow("xlsx.bak") << "incasari.xlsx.bak" << false;
    QTest::newRow("no full stop") << "C:\\Rapoarte\\incasari" << false;
    QTest::newRow("dot in folder only") << "C:\\r.xlsx\\incasari" << false;
    QTest::newRow("dot before colon") << "a.xlsx:b" << false;
    QTest::newRow("dot in POSIX folder") << "/home/r.xlsx/incasari" << false;
    QTest::newRow("xlsx and a space") << "incasari.xlsx " << false;
    QTest::newRow("only the extension") << ".xlsx" << true;
}

void CollectionsUploadTest::extension() {
    QFETCH(QString, path);
    QFETCH(bool, accepted);
    QCOMPARE(errorOf([&] { report::checkExtension(qs(path)); }),
             accepted ? std::string() : std::string("Extensia fisier trebuie sa fie \"xlsx\""));
}

void CollectionsUploadTest::courierSheet_data() {
    QTest::addColumn<int>("sheets");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("two") << 2;
    QTest::newRow("three") << 3;
}

void CollectionsUploadTest::courierSheet() {
    QFETCH(int, sheets);
    MemoryWorkbook workbook;
    for (int i = 0; i < sheets; ++i) workbook.addSheet("Foaie" + std::to_string(i + 1));
    if (sheets < 2) {
        QCOMPARE(errorOf([&] { report::courierSheet(workbook); }),
                 std::string("Fisierul Excel nu are foaia a doua (foaia cu incasarile)."));
    } else {
        QCOMPARE(&report::courierSheet(workbook), &workbook.sheet(1));
        QCOMPARE(report::courierSheet(workbook).name(), std::string("Foaie2"));
    }
}

void CollectionsUploadTest::guardedMessage() {
    // The column messages begin with a space, so two spaces follow the dash.
    QCOMPARE(report::guardedMessage(report::columns[0].message),
             std::string("Err -  Coloana A din fisier trebuie sa se numeasca \"AWB\""));
    QCOMPARE(report::guardedMessage("ERROR: x"), std::string("Err - ERROR: x"));
}

QTEST_APPLESS_MAIN(CollectionsUploadTest)
#include "tst_collections_upload.moc"
