// dateedit::DateEdit: a date editor that shows the date in the regional short
// date, opens a calendar (the button, F4 or Alt+Down), and can be emptied.
//
// The empty state is no date at all: date() gives a null QDate. The user
// empties the editor by clearing its text (or with "Sterge" in the calendar);
// a text that is not a date is not taken, and the editor shows its date again
// when the editing ends. Typed dates follow the order of the regional short
// date's day, month and year; any non-digit separates them, and the digits may
// also be typed without separators in the pattern's widths ("05032024").
#pragma once

#include <QDate>
#include <QString>
#include <QWidget>

class QCalendarWidget;
class QFrame;
class QLineEdit;
class QToolButton;

namespace dateedit {

class DateEdit : public QWidget {
    Q_OBJECT

public:
    explicit DateEdit(QWidget* parent = nullptr);
    ~DateEdit() override;

    // The date; a null QDate while the editor is empty. Text being typed
    // counts once it reads as a date (or is empty).
    QDate date() const;
    bool isEmpty() const { return date().isNull(); }
    // A null or invalid date empties the editor.
    void setDate(const QDate& date);
    void clear() { setDate(QDate()); }

    // The text shown, and the date a text reads as (null when it is empty or
    // not a date), under the current regional settings.
    QString text() const;
    static QDate parse(const QString& text, bool* ok = nullptr);
    static QString format(const QDate& date);
    // Shows the date again in the current regional settings.
    void regionalSettingsChanged();

    void showPopup();
    void hidePopup();
    bool isPopupVisible() const;
    QCalendarWidget* calendar() const { return calendar_; }
    QLineEdit* lineEdit() const { return edit_; }

    QSize sizeHint() const override;

signals:
    void dateChanged(const QDate& date);   // null when emptied

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void commitText();
    void showDate();

    QLineEdit* edit_;
    QToolButton* button_;
    QFrame* popup_;
    QCalendarWidget* calendar_;
    QDate date_;
};

}  // namespace dateedit
