// The worksheet scanner against expat: every workbook of the corpus and of
// the fixtures is loaded both ways and must give the same cells, texts, last
// rows and columns, or the same message. The scanner must also really read
// them: it hands a worksheet to expat only where the file steps outside what
// it reads (here: CDATA), and the table says where.
#include <QtTest>

#include "xlsx_test_util.h"

using namespace xlsxtest;
using xlsx::detail::SheetReader;

class TestDifferential : public QObject {
    Q_OBJECT
private slots:
    void sameCells_data();
    void sameCells();
};

void TestDifferential::sameCells_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("fallbacks");
    // Worksheets the scanner hands to expat, by file.
    const QMap<QString, int> expected = {{"calamine__inlineStr_cdata.xlsx", 1}};
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

QTEST_APPLESS_MAIN(TestDifferential)
#include "tst_differential.moc"
