// The worksheet scanner against expat: every workbook of the corpus and of
// the fixtures is loaded both ways and must give the same cells, texts, last
// rows and columns, or the same message. The scanner must also really read
// them: it hands a worksheet to expat only where the file steps outside what
// it reads, and the tables say where.
#include <QtTest>

#include "xlsx_parts.h"
#include "xlsx_test_util.h"

using namespace xlsxtest;
using xlsx::detail::SheetReader;

class TestDifferential : public QObject {
    Q_OBJECT
private slots:
    void sameCells_data();
    void sameCells();
    void scannerSubset_data();
    void scannerSubset();
};

void TestDifferential::sameCells_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("fallbacks");
    // Worksheets the scanner hands to expat, by file: CDATA; 8 MiB of white
    // space in one piece (tokens past 1 MiB go to expat); a part whose
    // checksum fails while the scanner waits for the rest of a token.
    const QMap<QString, int> expected = {{"calamine__inlineStr_cdata.xlsx", 1},
                                         {"zip_ratio_bomb.xlsx", 1},
                                         {"fuzz_load_checksum_after_junk.xlsx", 1}};
    int files = 0;
    for (const char* dirName : {XLSX_CORPUS, XLSX_FIXTURES}) {
        const QDir dir(dirName);
        for (const QString& f : dir.entryList({"*.xlsx", "*.xlsm"}, QDir::Files, QDir::Name)) {
            QTest::newRow(qPrintable(f)) << dir.filePath(f) << expected.value(f, 0);
            ++files;
        }
    }
    QVERIFY2(files >= 78 + 13, "the corpus or the fixtures are missing");
}

void TestDifferential::sameCells() {
    QFETCH(QString, path);
    QFETCH(int, fallbacks);
    const std::string bytes = readFile(path.toStdString());
    std::string scanned, reference;
    int fellBack = 0;
    try {
        scanned = dump(*load(bytes, SheetReader::Scanner, {}, &fellBack));
    } catch (const xlsx::LoadError& e) {
        scanned = std::string("refused: ") + e.what();
    }
    try {
        reference = dump(*load(bytes, SheetReader::Expat));
    } catch (const xlsx::LoadError& e) {
        reference = std::string("refused: ") + e.what();
    }
    QCOMPARE(q(scanned), q(reference));
    QCOMPARE(fellBack, fallbacks);
}

void TestDifferential::scannerSubset_data() {
    // A worksheet part, whether the scanner reads it itself (0) or hands it
    // to expat (1), and the text of A1 either way.
    QTest::addColumn<QByteArray>("part");
    QTest::addColumn<int>("fallbacks");
    QTest::addColumn<QString>("a1");
    const QByteArray open = QByteArray("<worksheet xmlns=\"") + xlsxtest::kMain + "\"><sheetData><row r=\"1\">";
    const QByteArray close = "</row></sheetData></worksheet>";
    auto inl = [](const QByteArray& t) { return "<c r=\"A1\" t=\"inlineStr\"><is><t>" + t + "</t></is></c>"; };
    QTest::newRow("plain") << open + inl("AWB") + close << 0 << "AWB";
    QTest::newRow("declaration") << "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\r\n" + open + inl("x") + close << 0 << "x";
    QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + open + inl("x") + close << 0 << "x";
    QTest::newRow("predefined and numeric references") << open + inl("&lt;&amp;&gt;&quot;&apos;&#65;&#x103;") + close << 0 << "<&>\"'A\u0103";
    QTest::newRow("single quotes") << open + "<c r='A1' t='inlineStr'><is><t>q</t></is></c>" + close << 0 << "q";
    QTest::newRow("white space in tags") << open + "<c\n r = \"A1\"\tt=\"str\" ><v >w</v ></c >" + close << 0 << "w";
    QTest::newRow("prefixed elements")
        << QByteArray("<x:worksheet xmlns:x=\"") + xlsxtest::kMain + "\"><x:sheetData><x:row><x:c t=\"inlineStr\"><x:is><x:t>p</x:t></x:is></x:c></x:row></x:sheetData></x:worksheet>"
        << 0 << "p";
    QTest::newRow("foreign elements and attributes")
        << open + "<c r=\"A1\" xmlns:e=\"urn:e\" e:a=\"1\"><e:v>9</e:v><v>1</v></c>" + close << 0 << "1";
    QTest::newRow("CDATA") << open + inl("<![CDATA[<c>]]>") + close << 1 << "<c>";
    QTest::newRow("comment") << open + "<!-- note -->" + inl("x") + close << 1 << "x";
    QTest::newRow("processing instruction") << "<?xml-stylesheet href=\"a\"?>" + open + inl("x") + close << 1 << "x";
    QTest::newRow("another encoding") << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + open + inl("\xE2") + close << 1 << "\u00e2";
    QTest::newRow("UTF-16")
        << [&] {
               QByteArray u("\xFF\xFE");
               const QString text = QString::fromUtf8(open + inl("u") + close);
               u.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
               return u;
           }()
        << 1 << "u";
    QTest::newRow("non-ASCII element name") << open + "<\xC3\xA9/>" + inl("x") + close << 1 << "x";
    QTest::newRow("many attributes")
        << open + "<c r=\"A1\" t=\"str\"" + [] { QByteArray a; for (int i = 0; i < 40; ++i) a += " a" + QByteArray::number(i) + "=\"\""; return a; }() + "><v>m</v></c>" + close
        << 1 << "m";
    QTest::newRow("many namespace declarations")
        << QByteArray("<worksheet xmlns=\"") + xlsxtest::kMain + "\"" + [] { QByteArray a; for (int i = 0; i < 70; ++i) a += " xmlns:p" + QByteArray::number(i) + "=\"urn:" + QByteArray::number(i) + "\""; return a; }() +
               "><sheetData><row r=\"1\">" + inl("n") + close
        << 1 << "n";
    QTest::newRow("a text past 1 MiB")
        << open + "<c r=\"A1\" t=\"str\"><v>" + QByteArray(100, 'v') + "</v></c>" + QByteArray(2 << 20, ' ') + close << 1 << QString(100, 'v');
    QTest::newRow("XML 1.1 declaration") << "<?xml version=\"1.1\"?>" + open + inl("x") + close << 1 << "x";
}

void TestDifferential::scannerSubset() {
    QFETCH(QByteArray, part);
    QFETCH(int, fallbacks);
    QFETCH(QString, a1);
    const std::string bytes = xlsxtest::makeXlsx(xlsxtest::bookOf(part.toStdString()));
    int fellBack = 0;
    const auto scanned = load(bytes, SheetReader::Scanner, {}, &fellBack);
    const auto reference = load(bytes, SheetReader::Expat);
    QCOMPARE(fellBack, fallbacks);
    QCOMPARE(q(scanned->sheet(0).text(0, 0, romanian())), a1);
    QCOMPARE(q(dump(*scanned)), q(dump(*reference)));
}

QTEST_APPLESS_MAIN(TestDifferential)
#include "tst_differential.moc"
