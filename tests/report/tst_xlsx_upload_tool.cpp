// The tool xlsx-upload, run as a separate process on workbooks that openpyxl
// wrote (make_fixtures.py): its standard output must be the upload, byte for
// byte; a failure must give exit code 1 and the take-over's message.
#include <QtTest>

#include <optional>
#include <string>
#include <vector>

#include "collections_upload.h"
#include "qtest_std_string.h"
#include "workbook.h"

namespace {

const QString tool = QStringLiteral(XLSX_UPLOAD_TOOL);
const QString fixtures = QStringLiteral(REPORT_FIXTURES);

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome runTool(const QStringList& arguments, const QString& locale = QStringLiteral("C")) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANG", "LANGUAGE", "LC_NUMERIC", "LC_TIME", "LC_CTYPE"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("LC_ALL"), locale);
    process.setProcessEnvironment(environment);
    process.start(tool, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    Outcome outcome;
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

QString fixture(const char* name) { return fixtures + QLatin1Char('/') + QString::fromUtf8(name); }

// One upload object from the eleven cell texts as they appear inside JSON
// strings (already escaped) and the file name.
std::string object(const std::vector<std::string>& cells, const std::string& file) {
    static const char* const members[] = {
        "awb",          "numeDestinatar", "judetDestinatar", "orasDestinatar",
        "adresaDestinatar", "adresaRidicare", "referintaClient", "sumaRamburs",
        "dataAwb",      "dataColectareRamburs", "numarColeteLivrate"};
    std::string text = "{";
    for (size_t i = 0; i < 11; ++i)
        text += std::string("\"") + members[i] + "\":\"" + cells.at(i) + "\",";
    return text + "\"numeFisier\":\"" + file + "\"}";
}

// The error box's full-stop rule on a message the reader raised.
std::string shown(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return message;
}

std::string loadMessage(const QString& path) {
    try {
        xlsx::Workbook::load(path.toStdString());
    } catch (const xlsx::LoadError& error) {
        return error.what();
    }
    return {};
}

}  // namespace

class XlsxUploadToolTest : public QObject {
    Q_OBJECT

private slots:
    void wholeReport_data();
    void wholeReport();
    void secondWorksheet_data();
    void secondWorksheet();
    void headerOnly();
    void failures_data();
    void failures();
    void loadFailures_data();
    void loadFailures();
    void usage();
};

void XlsxUploadToolTest::wholeReport_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("amount");     // 1234.5 under #,##0.00
    QTest::addColumn<QString>("date");       // 15 March 2024 under dd.mm.yyyy
    QTest::addColumn<QString>("dateTime");   // the same day at 14:30
    QTest::newRow("C locale") << "C" << "Sameday iunie.xlsx" << "1234.5" << "2024-03-15"
                              << "2024-03-15 14:30:00";
    QTest::newRow("C locale, upper-case extension")
        << "C" << "INCASARI.XLSX" << "1234.5" << "2024-03-15" << "2024-03-15 14:30:00";
    QTest::newRow("Romanian locale") << "ro_RO.UTF-8" << "Sameday iunie.xlsx" << "1234,5"
                                     << "15.03.2024" << "15.03.2024 14:30:00";
}

void XlsxUploadToolTest::wholeReport() {
    QFETCH(QString, locale);
    QFETCH(QString, file);
    QFETCH(QString, amount);
    QFETCH(QString, date);
    QFETCH(QString, dateTime);
    if (locale != QLatin1String("C") && !regional::fromLocale(locale.toUtf8().constData()))
        QSKIP("this machine lacks the locale");

    const std::string name = file.toStdString();
    const std::string expected =
        "[" +
        object({"1EMGLN000000001", "Ana \\\"Ani\\\" Pop", "Iași", "Brașov",
                "Str. Lungă 5\\nbl. A", "Depozit\\\\Hala 2", "REF/2024/001", amount.toStdString(),
                date.toStdString(), dateTime.toStdString(), "2"},
               name) +
        "," +
        object({"1EMGLN000000002", "Ștefan Țurcanu", "Cluj\\tNapoca", "Dej", "",
                "\xF0\x9F\x93\xA6 Depozit", "TRUE", "0", "#N/A", "12:00:00", "-3"},
               name) +
        "," + object(std::vector<std::string>(11), name) + "," +
        object({"1EMGLN000000005", "", "", "", "", "", "", "", "", "", "1"}, name) + "]";

    const Outcome outcome = runTool({fixtures + QLatin1Char('/') + file}, locale);
    QCOMPARE(outcome.err.toStdString(), std::string());
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out.toStdString(), expected);
}

void XlsxUploadToolTest::secondWorksheet_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("awb");
    QTest::addColumn<QString>("name");
    QTest::newRow("chart sheet first") << "chart-sheet-first.xlsx" << "1EMGLN000000009" << "Ion";
    QTest::newRow("first worksheet hidden") << "hidden-first.xlsx" << "1EMGLN000000007" << "Maria";
}

void XlsxUploadToolTest::secondWorksheet() {
    QFETCH(QString, file);
    QFETCH(QString, awb);
    QFETCH(QString, name);
    std::vector<std::string> cells(11);
    cells[0] = awb.toStdString();
    cells[1] = name.toStdString();
    const Outcome outcome = runTool({fixtures + QLatin1Char('/') + file});
    QCOMPARE(outcome.err.toStdString(), std::string());
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out.toStdString(), "[" + object(cells, file.toStdString()) + "]");
}

void XlsxUploadToolTest::headerOnly() {
    const Outcome outcome = runTool({fixture("header-only.xlsx")});
    QCOMPARE(outcome.err.toStdString(), std::string());
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out.toStdString(), std::string("[]"));
}

void XlsxUploadToolTest::failures_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    const QString columnA = "Err -  Coloana A din fisier trebuie sa se numeasca \"AWB\"";
    QTest::newRow("Nr. AWB") << "nr-awb.xlsx" << columnA;
    QTest::newRow("AWB and a space") << "awb-space.xlsx" << columnA;
    QTest::newRow("Data AWB in I")
        << "data-awb.xlsx" << "Err -  Coloana I din fisier trebuie sa se numeasca \"Data\"";
    QTest::newRow("other table on the second sheet")
        << "first-sheet.xlsx" << columnA;
    QTest::newRow("one sheet") << "one-sheet.xlsx"
                               << "Fisierul Excel nu are foaia a doua (foaia cu incasarile).";
    QTest::newRow("xls") << "incasari.xls" << "Extensia fisier trebuie sa fie \"xlsx\"";
    QTest::newRow("xlsx.bak") << "incasari.xlsx.bak" << "Extensia fisier trebuie sa fie \"xlsx\"";
    // The extension is tested before the file is touched.
    QTest::newRow("missing file without extension")
        << "no-such-file" << "Extensia fisier trebuie sa fie \"xlsx\"";
}

void XlsxUploadToolTest::failures() {
    QFETCH(QString, file);
    QFETCH(QString, message);
    const Outcome outcome = runTool({fixtures + QLatin1Char('/') + file});
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.out.toStdString(), std::string());
    QCOMPARE(outcome.err.toStdString(), message.toStdString() + "\n");
}

void XlsxUploadToolTest::loadFailures_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("not a ZIP file") << "not-a-zip.xlsx";
    QTest::newRow("cut off half-way") << "truncated.xlsx";
    QTest::newRow("missing file") << "no-such-file.xlsx";
}

void XlsxUploadToolTest::loadFailures() {
    // The reader's own message, as the take-over shows it: no "Err - ".
    QFETCH(QString, file);
    const QString path = fixtures + QLatin1Char('/') + file;
    const std::string message = loadMessage(path);
    QVERIFY2(!message.empty(), "the reader must refuse this file");
    const Outcome outcome = runTool({path});
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.out.toStdString(), std::string());
    QCOMPARE(outcome.err.toStdString(), shown(message) + "\n");
}

void XlsxUploadToolTest::usage() {
    const Outcome none = runTool({});
    QCOMPARE(none.exitCode, 2);
    QVERIFY(none.out.isEmpty());
    QVERIFY(none.err.startsWith("Usage: xlsx-upload FILE\n"));

    const Outcome two = runTool({fixture("header-only.xlsx"), fixture("header-only.xlsx")});
    QCOMPARE(two.exitCode, 2);
    QVERIFY(two.out.isEmpty());

    const Outcome help = runTool({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith("Usage: xlsx-upload FILE\n"));
}

QTEST_GUILESS_MAIN(XlsxUploadToolTest)
#include "tst_xlsx_upload_tool.moc"
