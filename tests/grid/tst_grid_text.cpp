// The grid's text helpers: the fast general-number form against the regional
// one, date-time display formats, civil dates and case folding.
#include <QtTest>

#include <cmath>
#include <random>

#include "grid_text.h"
#include "regional.h"

class TestGridText : public QObject {
    Q_OBJECT

private slots:
    void generalNumber_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("expected");
        QTest::newRow("hundredths") << 1234.55 << "," << "1234,55";
        QTest::newRow("tenths") << 150.5 << "," << "150,5";
        QTest::newRow("whole") << 20.0 << "," << "20";
        QTest::newRow("zero") << 0.0 << "," << "0";
        QTest::newRow("negative zero") << -0.0 << "," << "0";
        QTest::newRow("negative") << -89.99 << "." << "-89.99";
        QTest::newRow("one hundredth") << 0.01 << "," << "0,01";
        QTest::newRow("trailing zero dropped") << 0.1 << "," << "0,1";
        QTest::newRow("inexact sum 0.1+0.2") << 0.1 + 0.2 << "," << "0,3";
        QTest::newRow("thousandths") << 1.005 << "," << "1,005";
        QTest::newRow("big") << 9999999999999.99 << "," << "9999999999999,99";
        QTest::newRow("beyond the fast form") << 12345678901234567.0 << "," << "1,23456789012346E16";
        QTest::newRow("tiny") << 0.00001 << "," << "1E-5";
        QTest::newRow("long separator") << 2.5 << " dec " << "2 dec 5";
    }
    void generalNumber() {
        QFETCH(double, value);
        QFETCH(QString, separator);
        QFETCH(QString, expected);
        regional::Settings s;
        s.decimalSeparator = separator.toStdString();
        std::string out = "x";
        grid::appendGeneralNumber(value, s, out);
        QCOMPARE(QString::fromStdString(out), QStringLiteral("x") + expected);
        QCOMPARE(QString::fromStdString(regional::formatGeneralNumber(value, s)), expected);
    }

    void generalNumberAgreesWithRegional_data() {
        QTest::addColumn<int>("scale");
        QTest::newRow("money, hundredths") << 100;
        QTest::newRow("tenths") << 10;
        QTest::newRow("thousandths") << 1000;
        QTest::newRow("millionths") << 1000000;
    }
    void generalNumberAgreesWithRegional() {
        QFETCH(int, scale);
        regional::Settings s;
        s.decimalSeparator.assign(1, ',');   // (GCC 12 warns wrongly on assigning a literal here)
        std::mt19937_64 rng(static_cast<uint64_t>(scale));
        std::uniform_int_distribution<long long> cents(-1000000000000LL, 1000000000000LL);
        int mismatches = 0;
        for (int i = 0; i < 200000; ++i) {
            const double v = static_cast<double>(cents(rng)) / scale;
            std::string fast;
            grid::appendGeneralNumber(v, s, fast);
            if (fast != regional::formatGeneralNumber(v, s) && ++mismatches < 5)
                qWarning("%s vs %s", fast.c_str(), regional::formatGeneralNumber(v, s).c_str());
        }
        QCOMPARE(mismatches, 0);
    }

    void displayFormat_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");   // for 2024-03-05 07:08:09
        QTest::newRow("log format") << "yyyy-mm-dd hh:nn:ss" << "2024-03-05 07:08:09";
        QTest::newRow("minutes as mm after hours") << "dd.mm.yyyy hh:mm" << "05.03.2024 07:08";
        QTest::newRow("short fields") << "d/m/yy h:n:s" << "5/3/24 7:8:9";
        QTest::newRow("upper case letters") << "YYYY-MM-DD" << "2024-03-05";
        QTest::newRow("quoted text") << "\"ziua\" d" << "ziua 5";
        QTest::newRow("single quotes") << "'ora' hh" << "ora 07";
        QTest::newRow("literals only") << "--" << "--";
    }
    void displayFormat() {
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        const grid::DisplayFormat f(pattern.toStdString());
        std::string out;
        f.append(2024, 3, 5, 7, 8, 9, out);
        QCOMPARE(QString::fromStdString(out), expected);
    }

    void civilDates_data() {
        QTest::addColumn<qint64>("days");
        QTest::addColumn<QDate>("date");
        QTest::newRow("epoch") << qint64(0) << QDate(1970, 1, 1);
        QTest::newRow("leap day 2024") << qint64(19782) << QDate(2024, 2, 29);
        QTest::newRow("before the epoch") << qint64(-1) << QDate(1969, 12, 31);
        QTest::newRow("year 2000") << qint64(10957) << QDate(2000, 1, 1);
    }
    void civilDates() {
        QFETCH(qint64, days);
        QFETCH(QDate, date);
        int y = 0, m = 0, d = 0;
        grid::civilFromDays(days, y, m, d);
        QCOMPARE(QDate(y, m, d), date);
        QCOMPARE(QDate(1970, 1, 1).daysTo(date), days);
    }

    void folding_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ASCII") << "ALBA Iulia" << "alba iulia";
        QTest::newRow("Romanian letters") << "ŞĂLAJ Țară" << "şălaj țară";
        QTest::newRow("Greek") << "ΑΘΗΝΑ" << "αθηνα";
        QTest::newRow("digits and signs kept") << "A-1,5%" << "a-1,5%";
        QTest::newRow("empty") << "" << "";
    }
    void folding() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(grid::folded(text.toStdString())), expected);
        QCOMPARE(grid::isAscii(text.toStdString()), text.toLatin1() == text.toUtf8() && !text.contains(QChar(0xFFFD)));
    }

    void foldingKeepsMalformedBytes() {
        const std::string bad("A\xff" "B\xc3");
        const std::string expected("a\xff" "b\xc3");
        QCOMPARE(grid::folded(bad), expected);
    }
};

QTEST_APPLESS_MAIN(TestGridText)
#include "tst_grid_text.moc"
