// The pieces of the cell texts, each against a table: the general number
// form, date and time texts, number-format classes, numbers and ISO dates as
// a worksheet stores them, text escapes, shared-formula references and part
// names.
#include <QtTest>

#include <cmath>
#include <limits>

#include "cell_text.h"
#include "formula_shift.h"
#include "loader.h"
#include "number_format.h"
#include "package.h"
#include "sheet_model.h"

using namespace xlsx;

Q_DECLARE_METATYPE(xlsx::FormatClass)
Q_DECLARE_METATYPE(xlsx::NumberParse)
Q_DECLARE_METATYPE(std::string)

namespace {

regional::Settings romanian() {
    regional::Settings s;
    s.decimalSeparator = ",";
    s.shortDateFormat = "%d.%m.%Y";
    s.longTimeFormat = "%H:%M:%S";
    return s;
}

regional::Settings american() {
    regional::Settings s;
    s.decimalSeparator = ".";
    s.shortDateFormat = "%m/%d/%Y";
    s.longTimeFormat = "%I:%M:%S %p";
    return s;
}

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

class TestCellText : public QObject {
    Q_OBJECT
private slots:
    void generalNumber_data();
    void generalNumber();
    void dateText_data();
    void dateText();
    void timeText_data();
    void timeText();
    void classify_data();
    void classify();
    void builtin_data();
    void builtin();
    void parseNumber_data();
    void parseNumber();
    void isoDate_data();
    void isoDate();
    void escapes_data();
    void escapes();
    void length_data();
    void length();
    void errorTexts_data();
    void errorTexts();
    void shift_data();
    void shift();
    void targets_data();
    void targets();
    void pool();
};

void TestCellText::generalNumber_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("comma");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << 0.0 << true << "0";
    QTest::newRow("negative zero") << -0.0 << true << "0";
    QTest::newRow("1234.5 decimal comma") << 1234.5 << true << "1234,5";
    QTest::newRow("1234.5 decimal point") << 1234.5 << false << "1234.5";
    QTest::newRow("0.1+0.2") << 0.1 + 0.2 << true << "0,3";
    QTest::newRow("1E20") << 1e20 << true << "1E20";
    QTest::newRow("1E-5") << 1e-5 << true << "1E-5";
    QTest::newRow("1,5E-7") << 1.5e-7 << true << "1,5E-7";
    QTest::newRow("0,0001 fixed") << 0.0001 << true << "0,0001";
    QTest::newRow("0,00012345 fixed") << 0.00012345 << true << "0,00012345";
    QTest::newRow("whole number") << 12345.0 << true << "12345";
    QTest::newRow("negative") << -2.5 << true << "-2,5";
    QTest::newRow("15 integer digits fixed") << 123456789012345.0 << true << "123456789012345";
    QTest::newRow("16 integer digits scientific") << 1234567890123456.0 << true << "1,23456789012346E15";
    QTest::newRow("rounds up to 16 digits") << 999999999999999.9 << true << "1E15";
    QTest::newRow("1E14 fixed") << 1e14 << true << "100000000000000";
    QTest::newRow("one third") << 1.0 / 3 << true << "0,333333333333333";
    QTest::newRow("two thirds rounded") << 2.0 / 3 << true << "0,666666666666667";
    QTest::newRow("huge") << 3.1415926535897931e300 << true << "3,14159265358979E300";
    QTest::newRow("tiny negative") << -3.1415926535897931e-300 << true << "-3,14159265358979E-300";
    QTest::newRow("amount") << 1956.29 << true << "1956,29";
}

void TestCellText::generalNumber() {
    QFETCH(double, value);
    QFETCH(bool, comma);
    QFETCH(QString, expected);
    QCOMPARE(q(generalNumberText(value, comma ? romanian() : american())), expected);
}

void TestCellText::dateText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<bool>("us");
    QTest::addColumn<QString>("expected");
    QTest::newRow("15 March 2024") << 45366.0 << false << false << "15.03.2024";
    QTest::newRow("15 March 2024 14:30") << 45366 + 14.5 / 24 << false << false << "15.03.2024 14:30:00";
    QTest::newRow("US settings") << 45366.75 << false << true << "03/15/2024 06:00:00 PM";
    QTest::newRow("day 0 is 30 December 1899") << 0.0 << false << false << "30.12.1899";
    QTest::newRow("day 1 is 31 December 1899") << 1.0 << false << false << "31.12.1899";
    QTest::newRow("day 60 is 28 February 1900") << 60.0 << false << false << "28.02.1900";
    QTest::newRow("day 61 is 1 March 1900") << 61.0 << false << false << "01.03.1900";
    QTest::newRow("1904: 43904 is 15 March 2024") << 43904.0 << true << false << "15.03.2024";
    QTest::newRow("1904: day 0 is 1 January 1904") << 0.0 << true << false << "01.01.1904";
    QTest::newRow("negative: general form") << -5.0 << false << false << "-5";
    QTest::newRow("negative fraction: general form") << -0.5 << false << false << "-0,5";
    QTest::newRow("1904 negative: general form") << -1.0 << true << false << "-1";
    QTest::newRow("last millisecond of 9999") << 2958465.9999999884 << false << false << "31.12.9999 23:59:59";
    QTest::newRow("past 9999: general form") << 2958466.0 << false << false << "2958466";
    QTest::newRow("1904 past 9999 once offset") << 2957004.0 << true << false << "2957004";
    QTest::newRow("1904 last day") << 2957003.0 << true << false << "31.12.9999";
    QTest::newRow("1E12: general form") << 1e12 << false << false << "1000000000000";
    QTest::newRow("rounds to the next midnight") << 45366.999999999 << false << false << "16.03.2024";
    QTest::newRow("below half a millisecond is midnight") << 45366.000000005 << false << false << "15.03.2024";
    QTest::newRow("half a millisecond is not midnight") << 45366.000000006 << false << false << "15.03.2024 00:00:00";
    QTest::newRow("nine decimals first") << 45366.0000000001 << false << false << "15.03.2024";
    QTest::newRow("one second") << 45366 + 1.0 / 86400 << false << false << "15.03.2024 00:00:01";
    QTest::newRow("seconds are not rounded up") << 45366 + 1.9994 / 86400 << false << false << "15.03.2024 00:00:01";
}

void TestCellText::dateText() {
    QFETCH(double, value);
    QFETCH(bool, date1904);
    QFETCH(bool, us);
    QFETCH(QString, expected);
    QCOMPARE(q(xlsx::dateText(value, date1904, us ? american() : romanian())), expected);
}

void TestCellText::timeText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("noon") << 0.5 << "12:00:00";
    QTest::newRow("midnight") << 0.0 << "00:00:00";
    QTest::newRow("fraction of a later day") << 1.75 << "18:00:00";
    QTest::newRow("date and time: the time") << 45366 + 14.5 / 24 << "14:30:00";
    QTest::newRow("rounds to midnight") << 0.999999999 << "00:00:00";
    QTest::newRow("one second") << 1.0 / 86400 << "00:00:01";
    QTest::newRow("negative: general form") << -0.25 << "-0,25";
    QTest::newRow("past 9999: general form") << 3e6 << "3000000";
}

void TestCellText::timeText() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(q(xlsx::timeText(value, false, romanian())), expected);
}

void TestCellText::classify_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<xlsx::FormatClass>("expected");
    const auto N = FormatClass::Number, D = FormatClass::Date, T = FormatClass::Time;
    QTest::newRow("General") << "General" << N;
    QTest::newRow("decimals") << "0.00" << N;
    QTest::newRow("grouping") << "#,##0.00" << N;
    QTest::newRow("scientific E+") << "0.00E+00" << N;
    QTest::newRow("scientific E-") << "0.0E-0" << N;
    QTest::newRow("text @") << "@" << N;
    QTest::newRow("percent") << "0.00%" << N;
    QTest::newRow("dd.mm.yyyy") << "dd.mm.yyyy" << D;
    QTest::newRow("date and time") << "dd.mm.yyyy hh:mm" << D;
    QTest::newRow("m/d/yy h:mm") << "m/d/yy h:mm" << D;
    QTest::newRow("mmm-yy") << "mmm-yy" << D;
    QTest::newRow("yy alone") << "yy" << D;
    QTest::newRow("dddd") << "dddd" << D;
    QTest::newRow("aaaa day of week") << "aaaa" << D;
    QTest::newRow("e era year") << "e" << D;
    QTest::newRow("mm alone is months") << "mm" << D;
    QTest::newRow("hh:mm") << "hh:mm" << T;
    QTest::newRow("h:mm after h is minutes") << "h:mm" << T;
    QTest::newRow("mm:ss before s is minutes") << "mm:ss" << T;
    QTest::newRow("AM/PM") << "h:mm:ss AM/PM" << T;
    QTest::newRow("A/P") << "h A/P" << T;
    QTest::newRow("elapsed [h]:mm") << "[h]:mm" << T;
    QTest::newRow("elapsed [h]:mm:ss") << "[h]:mm:ss" << T;
    QTest::newRow("elapsed [mm]:ss") << "[mm]:ss" << T;
    QTest::newRow("elapsed [ss] alone") << "[ss]" << T;
    QTest::newRow("fractions of a second") << "ss.000" << T;
    QTest::newRow("quoted text with letters") << "\"Data: \"0" << N;
    QTest::newRow("quoted yyyy") << "\"yyyy\"0.00" << N;
    QTest::newRow("quoted m") << "0\" m\"" << N;
    QTest::newRow("escaped d") << "0\\d" << N;
    QTest::newRow("escaped h and s") << "0\\h\\s" << N;
    QTest::newRow("fill character d") << "*d#,##0" << N;
    QTest::newRow("padding after underscore") << "_(* #,##0_);_(* (#,##0)" << N;
    QTest::newRow("[Red] number") << "[Red]#,##0.00" << N;
    QTest::newRow("[Red] date") << "[Red]dd.mm.yyyy" << D;
    QTest::newRow("[Color10] number") << "[Color10]0" << N;
    QTest::newRow("[$-409] time") << "[$-409]h:mm AM/PM" << T;
    QTest::newRow("[$-F800] system long date") << "[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy" << D;
    QTest::newRow("[$-F400] system time") << "[$-F400]h:mm:ss\\ AM/PM" << T;
    QTest::newRow("currency [$€-407]") << "[$\xE2\x82\xAC-407]#,##0.00" << N;
    QTest::newRow("condition [>100]") << "[>100]0;0" << N;
    QTest::newRow("first section only: number") << "0.00;[Red]dd.mm.yyyy" << N;
    QTest::newRow("first section only: date") << "yyyy;0" << D;
    QTest::newRow("quoted semicolon") << "\";\"dd" << D;
    QTest::newRow("time then text section") << "hh:mm;@" << T;
    QTest::newRow("General;General") << "General;General" << N;
    QTest::newRow("empty") << "" << N;
    QTest::newRow("unclosed quote") << "\"dd" << N;
    QTest::newRow("unclosed bracket") << "[h" << N;
}

void TestCellText::classify() {
    QFETCH(QString, code);
    QFETCH(xlsx::FormatClass, expected);
    QCOMPARE(classifyFormatCode(code.toStdString()), expected);
}

void TestCellText::builtin_data() {
    QTest::addColumn<uint>("id");
    QTest::addColumn<xlsx::FormatClass>("expected");
    const auto N = FormatClass::Number, D = FormatClass::Date, T = FormatClass::Time;
    for (uint id : {0u, 1u, 2u, 9u, 10u, 11u, 12u, 13u, 37u, 44u, 48u, 49u, 59u, 164u})
        QTest::newRow(qPrintable(QString("number %1").arg(id))) << id << N;
    for (uint id : {14u, 15u, 16u, 17u, 22u})
        QTest::newRow(qPrintable(QString("date %1").arg(id))) << id << D;
    for (uint id : {18u, 19u, 20u, 21u, 45u, 46u, 47u})
        QTest::newRow(qPrintable(QString("time %1").arg(id))) << id << T;
    for (uint id : {27u, 31u, 34u, 36u, 50u, 55u, 58u})
        QTest::newRow(qPrintable(QString("East Asian date %1").arg(id))) << id << D;
    for (uint id : {32u, 33u})
        QTest::newRow(qPrintable(QString("East Asian time %1").arg(id))) << id << T;
}

void TestCellText::builtin() {
    QFETCH(uint, id);
    QFETCH(xlsx::FormatClass, expected);
    QCOMPARE(builtinFormatClass(id), expected);
}

void TestCellText::parseNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<xlsx::NumberParse>("result");
    QTest::addColumn<double>("value");
    const auto ok = NumberParse::Ok, bad = NumberParse::Invalid, big = NumberParse::TooLarge;
    QTest::newRow("decimal") << "1234.5" << ok << 1234.5;
    QTest::newRow("white space around") << " \t12\r\n" << ok << 12.0;
    QTest::newRow("plus sign") << "+3" << ok << 3.0;
    QTest::newRow("minus") << "-0.25" << ok << -0.25;
    QTest::newRow("exponent E+") << "1E+20" << ok << 1e20;
    QTest::newRow("exponent e-") << "1.5e-07" << ok << 1.5e-7;
    QTest::newRow("leading point") << ".5" << ok << 0.5;
    QTest::newRow("trailing point") << "5." << ok << 5.0;
    QTest::newRow("largest double") << "1.7976931348623157e308" << ok << std::numeric_limits<double>::max();
    QTest::newRow("underflow reads as zero") << "1e-999" << ok << 0.0;
    QTest::newRow("underflow with many zeros") << "0.000000001e-400" << ok << 0.0;
    QTest::newRow("overflow") << "1e999" << big << 0.0;
    QTest::newRow("negative overflow") << "-1e999" << big << 0.0;
    QTest::newRow("overflow by digits") << QString("1") + QString(400, '0') << big << 0.0;
    QTest::newRow("just past the largest") << "1.7976931348623159e308" << big << 0.0;
    QTest::newRow("NaN") << "NaN" << bad << 0.0;
    QTest::newRow("nan") << "nan" << bad << 0.0;
    QTest::newRow("inf") << "inf" << bad << 0.0;
    QTest::newRow("INF") << "INF" << bad << 0.0;
    QTest::newRow("-inf") << "-inf" << bad << 0.0;
    QTest::newRow("Infinity") << "Infinity" << bad << 0.0;
    QTest::newRow("hex") << "0x10" << bad << 0.0;
    QTest::newRow("decimal comma") << "1,5" << bad << 0.0;
    QTest::newRow("empty") << "" << bad << 0.0;
    QTest::newRow("blank") << "  " << bad << 0.0;
    QTest::newRow("exponent without digits") << "1e" << bad << 0.0;
    QTest::newRow("exponent alone") << "e5" << bad << 0.0;
    QTest::newRow("two minus signs") << "--1" << bad << 0.0;
    QTest::newRow("plus then minus") << "+-1" << bad << 0.0;
    QTest::newRow("two points") << "1.2.3" << bad << 0.0;
    QTest::newRow("text after") << "12abc" << bad << 0.0;
}

void TestCellText::parseNumber() {
    QFETCH(QString, text);
    QFETCH(xlsx::NumberParse, result);
    QFETCH(double, value);
    double v = -123;
    QCOMPARE(xlsx::parseNumber(text.toStdString(), v), result);
    if (result == NumberParse::Ok) QCOMPARE(v, value);
}

void TestCellText::isoDate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("serial");
    QTest::addColumn<bool>("timeOnly");
    QTest::newRow("date") << "2024-03-15" << true << 45366.0 << false;
    QTest::newRow("date and time") << "2024-03-15T14:30:00" << true << 45366 + 14.5 / 24 << false;
    QTest::newRow("zone Z ignored") << "2024-03-15T14:30:00Z" << true << 45366 + 14.5 / 24 << false;
    QTest::newRow("offset ignored") << "2024-03-15T14:30:00+02:00" << true << 45366 + 14.5 / 24 << false;
    QTest::newRow("fraction of a second") << "2024-03-15T00:00:00.5" << true << 45366 + 0.5 / 86400 << false;
    QTest::newRow("minutes only") << "2024-03-15T14:30" << true << 45366 + 14.5 / 24 << false;
    QTest::newRow("time alone") << "10:10:10" << true << (10 * 3600 + 610) / 86400.0 << true;
    QTest::newRow("day 0") << "1899-12-30" << true << 0.0 << false;
    QTest::newRow("before day 0") << "1899-12-29" << true << -1.0 << false;
    QTest::newRow("30 February") << "2024-02-30" << false << 0.0 << false;
    QTest::newRow("month 13") << "2024-13-01" << false << 0.0 << false;
    QTest::newRow("one-digit month") << "2024-3-15" << false << 0.0 << false;
    QTest::newRow("hour 24") << "24:00:00" << false << 0.0 << false;
    QTest::newRow("hour 25") << "2024-03-15T25:00" << false << 0.0 << false;
    QTest::newRow("empty") << "" << false << 0.0 << false;
    QTest::newRow("text after") << "2024-03-15x" << false << 0.0 << false;
}

void TestCellText::isoDate() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, serial);
    QFETCH(bool, timeOnly);
    double s = 0;
    bool t = false;
    QCOMPARE(parseIsoDateTime(text.toStdString(), s, t), valid);
    if (!valid) return;
    QVERIFY2(std::abs(s - serial) < 1e-9, qPrintable(QString::number(s, 'g', 17)));
    QCOMPARE(t, timeOnly);
}

void TestCellText::escapes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("carriage return") << "a_x000D_b" << "a\rb";
    QTest::newRow("letter") << "_x0041_" << "A";
    QTest::newRow("lower-case hex") << "_x00e9_" << "\u00e9";
    QTest::newRow("escaped underscore keeps the rest") << "_x005F_x0041_" << "_x0041_";
    QTest::newRow("surrogate pair") << "_xD83C__xDF63_" << "\U0001F363";
    QTest::newRow("lone high surrogate") << "_xD83C_x" << "\uFFFDx";
    QTest::newRow("lone low surrogate") << "_xDF63_" << "\uFFFD";
    QTest::newRow("three digits: literal") << "_x041_" << "_x041_";
    QTest::newRow("capital X: literal") << "_X0041_" << "_X0041_";
    QTest::newRow("no closing underscore") << "_x0041" << "_x0041";
    QTest::newRow("no escape") << "AWB 123" << "AWB 123";
}

void TestCellText::escapes() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    std::string s = text.toStdString();
    decodeEscapes(s);
    QCOMPARE(q(s), expected);
}

void TestCellText::length_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("units");
    QTest::newRow("ASCII") << "abc" << 3;
    QTest::newRow("Romanian letters") << "\u0103\u00e2\u00ee\u0219\u021b" << 5;
    QTest::newRow("beyond the BMP counts twice") << "\U0001F363" << 2;
    QTest::newRow("empty") << "" << 0;
}

void TestCellText::length() {
    QFETCH(QString, text);
    QFETCH(int, units);
    QCOMPARE(static_cast<int>(textLength(text.toStdString())), units);
    QCOMPARE(static_cast<int>(textLength(text.toStdString())), static_cast<int>(text.size()));
}

void TestCellText::errorTexts_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("#N/A") << "#N/A" << "#N/A";
    QTest::newRow("#n/a spelled low") << "#n/a" << "#N/A";
    QTest::newRow("#DIV/0!") << "#DIV/0!" << "#DIV/0!";
    QTest::newRow("#name?") << "#name?" << "#NAME?";
    QTest::newRow("unknown error as written") << "#SPILL!" << "#SPILL!";
}

void TestCellText::errorTexts() {
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    QCOMPARE(q(std::string(errorText(stored.toStdString()))), expected);
}

void TestCellText::shift_data() {
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("expected");
    QTest::newRow("relative and absolute") << "A1*2+$A$1" << 1 << 0 << "A2*2+$A$1";
    QTest::newRow("range") << "SUM(A1:B2)" << 2 << 1 << "SUM(B3:C4)";
    QTest::newRow("mixed") << "$A1+A$1" << 1 << 1 << "$A2+B$1";
    QTest::newRow("text in quotes stays") << "\"A1\"&A1" << 1 << 0 << "\"A1\"&A2";
    QTest::newRow("quoted sheet name stays") << "'Sheet A1'!B2" << 1 << 0 << "'Sheet A1'!B3";
    QTest::newRow("sheet name stays") << "Foaie1!A1" << 0 << 1 << "Foaie1!B1";
    QTest::newRow("function name stays") << "LOG10(A1)" << 1 << 0 << "LOG10(A2)";
    QTest::newRow("whole columns") << "SUM(A:B)" << 5 << 1 << "SUM(B:C)";
    QTest::newRow("whole rows") << "SUM(1:3)" << 2 << 4 << "SUM(3:5)";
    QTest::newRow("absolute columns stay") << "$A:$A" << 0 << 3 << "$A:$A";
    QTest::newRow("off the top") << "A1" << -1 << 0 << "#REF!";
    QTest::newRow("off the right") << "XFD1" << 0 << 1 << "#REF!";
    QTest::newRow("structured reference stays") << "Table1[[#This Row],[A1]]" << 1 << 0 << "Table1[[#This Row],[A1]]";
    QTest::newRow("number with exponent") << "1.5E+3+A1" << 1 << 0 << "1.5E+3+A2";
    QTest::newRow("TRUE stays") << "TRUE" << 1 << 1 << "TRUE";
    QTest::newRow("R1C1-like name stays") << "R1C1" << 1 << 1 << "R1C1";
    QTest::newRow("four letters is a name") << "ABCD1" << 1 << 0 << "ABCD1";
    QTest::newRow("doubled quote inside text") << "\"a\"\"A1\"&B1" << 1 << 0 << "\"a\"\"A1\"&B2";
}

void TestCellText::shift() {
    QFETCH(QString, formula);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(QString, expected);
    QCOMPARE(q(shiftFormula(formula.toStdString(), rows, columns)), expected);
}

void TestCellText::targets_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");
    QTest::newRow("relative") << "xl/workbook.xml" << "worksheets/sheet1.xml" << "xl/worksheets/sheet1.xml";
    QTest::newRow("absolute") << "xl/workbook.xml" << "/xl/worksheets/sheet1.xml" << "xl/worksheets/sheet1.xml";
    QTest::newRow("backslashes and up") << "xl/workbook.xml" << "..\\sheet.xml" << "sheet.xml";
    QTest::newRow("from the package root") << "" << "xl/workbook.xml" << "xl/workbook.xml";
    QTest::newRow("percent escape") << "xl/workbook.xml" << "worksheets/sheet%201.xml" << "xl/worksheets/sheet 1.xml";
    QTest::newRow("dot segments") << "xl/workbook.xml" << "./a/../b.xml" << "xl/b.xml";
    QTest::newRow("above the root stays at the root") << "xl/workbook.xml" << "../../../x.xml" << "x.xml";
    QTest::newRow("fragment dropped") << "xl/workbook.xml" << "a.xml#part" << "xl/a.xml";
}

void TestCellText::targets() {
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(QString, expected);
    QCOMPARE(q(detail::resolveTarget(source.toStdString(), target.toStdString())), expected);
    QCOMPARE(q(detail::relationshipsPartOf("xl/workbook.xml")), QString("xl/_rels/workbook.xml.rels"));
    QCOMPARE(q(detail::relationshipsPartOf("")), QString("_rels/.rels"));
    QCOMPARE(q(detail::normalizePartName("\\XL\\WorkBook.xml")), QString("xl/workbook.xml"));
}

void TestCellText::pool() {
    // Texts around block ends: empty ones, one that no longer fits behind the
    // last, one larger than a block, and enough for several blocks of ends.
    using xlsx::detail::StringPool;
    StringPool pool;
    std::vector<std::string> texts = {"", "a", "", std::string(StringPool::kBlockBytes - 3, 'x'), "bcd", "",
                                      std::string(StringPool::kBlockBytes * 2 + 5, 'y'), "e",
                                      std::string(StringPool::kBlockBytes, 'z'), "f"};
    for (int i = 0; i < 70000; ++i) texts.push_back(std::to_string(i));
    for (size_t i = 0; i < texts.size(); ++i) QCOMPARE(pool.add(texts[i]), static_cast<uint32_t>(i));
    QCOMPARE(pool.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        QVERIFY2(pool.get(static_cast<uint32_t>(i)) == texts[i], qPrintable(QString::number(i)));
}

QTEST_APPLESS_MAIN(TestCellText)
#include "tst_cell_text.moc"
