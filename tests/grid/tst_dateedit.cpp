// The date editor: regional short date in and out, the calendar, the empty state.
#include <QCalendarWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "date_edit.h"
#include "regional.h"

namespace {

regional::Settings withShortDate(const char* pattern) {
    regional::Settings s;
    s.shortDateFormat = pattern;
    s.decimalSeparator = ",";
    return s;
}

}  // namespace

class TestDateEdit : public QObject {
    Q_OBJECT

private slots:
    void init() { regional::setOverride(withShortDate("%d.%m.%Y")); }
    void cleanupTestCase() { regional::setOverride(std::nullopt); }

    void parse_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected");   // null: not a date
        QTest::newRow("day.month.year") << "%d.%m.%Y" << "05.03.2024" << QDate(2024, 3, 5);
        QTest::newRow("without leading zeros") << "%d.%m.%Y" << "5.3.2024" << QDate(2024, 3, 5);
        QTest::newRow("digits only") << "%d.%m.%Y" << "05032024" << QDate(2024, 3, 5);
        QTest::newRow("two-digit year") << "%d.%m.%Y" << "5.3.24" << QDate(2024, 3, 5);
        QTest::newRow("other separators") << "%d.%m.%Y" << " 5/3-2024 " << QDate(2024, 3, 5);
        QTest::newRow("no such day") << "%d.%m.%Y" << "30.02.2024" << QDate();
        QTest::newRow("leap day") << "%d.%m.%Y" << "29.02.2024" << QDate(2024, 2, 29);
        QTest::newRow("a field missing") << "%d.%m.%Y" << "05.03" << QDate();
        QTest::newRow("a field too many") << "%d.%m.%Y" << "05.03.2024.1" << QDate();
        QTest::newRow("letters") << "%d.%m.%Y" << "azi" << QDate();
        QTest::newRow("wrong digit count") << "%d.%m.%Y" << "0503202" << QDate();
        QTest::newRow("year first") << "%Y-%m-%d" << "2024-03-05" << QDate(2024, 3, 5);
        QTest::newRow("month first") << "%m/%d/%Y" << "3/5/2024" << QDate(2024, 3, 5);
        QTest::newRow("month name") << "%d %b %Y" << "5 Mar 2024" << QDate(2024, 3, 5);
        QTest::newRow("ISO shorthand") << "%F" << "2024-12-31" << QDate(2024, 12, 31);
    }
    void parse() {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        regional::setOverride(withShortDate(pattern.toLatin1().constData()));
        bool ok = false;
        QCOMPARE(dateedit::DateEdit::parse(text, &ok), expected);
        QCOMPARE(ok, expected.isValid());
        if (expected.isValid()) {
            // What the editor shows reads back as the same date.
            QCOMPARE(dateedit::DateEdit::parse(dateedit::DateEdit::format(expected)), expected);
        }
    }

    void showsTheRegionalShortDate_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("shown");
        QTest::newRow("day first") << "%d.%m.%Y" << "01.02.2025";
        QTest::newRow("ISO") << "%Y-%m-%d" << "2025-02-01";
        QTest::newRow("month first, short year") << "%m/%d/%y" << "02/01/25";
    }
    void showsTheRegionalShortDate() {
        QFETCH(QString, pattern);
        QFETCH(QString, shown);
        regional::setOverride(withShortDate(pattern.toLatin1().constData()));
        dateedit::DateEdit e;
        e.setDate(QDate(2025, 2, 1));
        QCOMPARE(e.text(), shown);
        QCOMPARE(e.date(), QDate(2025, 2, 1));
        QVERIFY(!e.isEmpty());
    }

    void userEmptiesTheEditor() {
        dateedit::DateEdit e;
        e.setDate(QDate(2024, 1, 31));
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        QSignalSpy changed(&e, &dateedit::DateEdit::dateChanged);
        QLineEdit* line = e.lineEdit();
        line->setFocus();
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Backspace);
        // Already empty while typing, and after the editing ends.
        QVERIFY(e.date().isNull());
        QTest::keyClick(line, Qt::Key_Return);
        QVERIFY(e.isEmpty());
        QVERIFY(e.date().isNull());
        QCOMPARE(e.text(), QString());
        QCOMPARE(changed.count(), 1);
        QVERIFY(changed.first().first().toDate().isNull());
        // A date typed back in is taken.
        QTest::keyClicks(line, "2.2.2024");
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(e.date(), QDate(2024, 2, 2));
        QCOMPARE(e.text(), QStringLiteral("02.02.2024"));
        QCOMPARE(changed.count(), 2);
    }

    void textThatIsNoDateIsNotTaken() {
        dateedit::DateEdit e;
        e.setDate(QDate(2024, 1, 31));
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        QLineEdit* line = e.lineEdit();
        line->setFocus();
        line->selectAll();
        QTest::keyClicks(line, "31.13.2024");
        QCOMPARE(e.date(), QDate(2024, 1, 31));
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(e.text(), QStringLiteral("31.01.2024"));
        QCOMPARE(e.date(), QDate(2024, 1, 31));
        // Escape drops what was typed.
        line->selectAll();
        QTest::keyClicks(line, "1.1.2020");
        QTest::keyClick(line, Qt::Key_Escape);
        QCOMPARE(e.text(), QStringLiteral("31.01.2024"));
    }

    void setDateWithNullEmpties() {
        dateedit::DateEdit e;
        e.setDate(QDate(2024, 5, 6));
        QSignalSpy changed(&e, &dateedit::DateEdit::dateChanged);
        e.setDate(QDate());
        QVERIFY(e.isEmpty());
        QCOMPARE(e.text(), QString());
        e.setDate(QDate(2024, 13, 1));   // invalid: empty too
        QVERIFY(e.isEmpty());
        QCOMPARE(changed.count(), 1);
    }

    void calendarPopup() {
        dateedit::DateEdit e;
        e.setDate(QDate(2024, 3, 1));
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        auto* button = e.findChild<QToolButton*>(QStringLiteral("dateButton"));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(e.isPopupVisible());
        QCOMPARE(e.calendar()->selectedDate(), QDate(2024, 3, 1));
        // Picking a day takes it and closes the calendar.
        emit e.calendar()->clicked(QDate(2024, 3, 15));
        QVERIFY(!e.isPopupVisible());
        QCOMPARE(e.date(), QDate(2024, 3, 15));
        // "Sterge" empties, "Azi" gives today.
        e.showPopup();
        QTest::mouseClick(e.findChild<QPushButton*>(QStringLiteral("dateClear")), Qt::LeftButton);
        QVERIFY(e.isEmpty());
        QVERIFY(!e.isPopupVisible());
        e.showPopup();
        QCOMPARE(e.calendar()->selectedDate(), QDate::currentDate());
        QTest::mouseClick(e.findChild<QPushButton*>(QStringLiteral("dateToday")), Qt::LeftButton);
        QCOMPARE(e.date(), QDate::currentDate());
        // F4 opens it from the keyboard.
        e.lineEdit()->setFocus();
        QTest::keyClick(e.lineEdit(), Qt::Key_F4);
        QVERIFY(e.isPopupVisible());
        e.hidePopup();
    }
};

QTEST_MAIN(TestDateEdit)
#include "tst_dateedit.moc"
