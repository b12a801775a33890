#include "date_edit.h"

#include <QCalendarWidget>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "regional.h"

namespace dateedit {

namespace {

enum class Field { Day, Month, MonthName, Year4, Year2 };

// The day, month and year fields of a regional date pattern, in order.
std::vector<Field> fieldsOf(const std::string& pattern) {
    std::vector<Field> out;
    for (size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != '%') continue;
        char f = pattern[++i];
        while ((f == '-' || f == '_' || f == '0' || f == 'E' || f == 'O') && i + 1 < pattern.size())
            f = pattern[++i];
        switch (f) {
        case 'd':
        case 'e': out.push_back(Field::Day); break;
        case 'm': out.push_back(Field::Month); break;
        case 'b':
        case 'B':
        case 'h': out.push_back(Field::MonthName); break;
        case 'Y': out.push_back(Field::Year4); break;
        case 'y': out.push_back(Field::Year2); break;
        case 'D':
            out.insert(out.end(), {Field::Month, Field::Day, Field::Year2});
            break;
        case 'F':
            out.insert(out.end(), {Field::Year4, Field::Month, Field::Day});
            break;
        default: break;
        }
    }
    return out;
}

int monthFromName(const QString& word, const regional::Settings& s) {
    const QString w = word.toLower();
    if (w.size() < 3) return 0;
    for (int m = 1; m <= 12; ++m) {
        const std::chrono::year_month_day ymd{std::chrono::year{2000},
                                              std::chrono::month{static_cast<unsigned>(m)},
                                              std::chrono::day{1}};
        const QString full = QString::fromStdString(regional::formatPattern("%B", ymd, 0, 0, 0, s)).toLower();
        if (full.startsWith(w) || w.startsWith(full.left(3))) return m;
    }
    return 0;
}

}  // namespace

QDate DateEdit::parse(const QString& text, bool* ok) {
    if (ok) *ok = false;
    const QString t = text.trimmed();
    if (t.isEmpty()) return {};
    const regional::Settings s = regional::current();
    const std::vector<Field> fields = fieldsOf(s.shortDateFormat);
    // The text in runs of digits and runs of letters.
    QStringList numbers;
    QStringList words;
    std::vector<bool> isWord;
    QString run;
    int kind = 0;   // 1 digits, 2 letters
    auto flush = [&] {
        if (run.isEmpty()) return;
        if (kind == 1) numbers << run; else words << run;
        isWord.push_back(kind == 2);
        run.clear();
    };
    for (QChar ch : t) {
        const int k = ch.isDigit() ? 1 : ch.isLetter() ? 2 : 0;
        if (k != kind) flush();
        kind = k;
        if (k != 0) run += ch;
    }
    flush();
    int day = 0, month = 0, year = 0;
    bool yearShort = false;
    const size_t numericFields = static_cast<size_t>(std::count_if(
        fields.begin(), fields.end(), [](Field f) { return f != Field::MonthName; }));
    if (words.isEmpty() && numbers.size() == 1 && fields.size() == 3 && numericFields == 3) {
        // Digits without separators, in the pattern's widths.
        const QString digits = numbers.front();
        int total = 0;
        for (Field f : fields) total += f == Field::Year4 ? 4 : 2;
        if (digits.size() != total) return {};
        int pos = 0;
        numbers.clear();
        for (Field f : fields) {
            const int w = f == Field::Year4 ? 4 : 2;
            numbers << digits.mid(pos, w);
            pos += w;
        }
    }
    qsizetype ni = 0, wi = 0;
    for (Field f : fields) {
        if (f == Field::MonthName) {
            if (wi < words.size()) {
                month = monthFromName(words[wi++], s);
            } else if (ni < numbers.size()) {
                month = numbers[ni++].toInt();
            } else {
                return {};
            }
            continue;
        }
        if (ni >= numbers.size()) return {};
        const QString& n = numbers[ni++];
        if (n.size() > (f == Field::Year4 ? 4 : 2)) return {};
        switch (f) {
        case Field::Day: day = n.toInt(); break;
        case Field::Month: month = n.toInt(); break;
        case Field::Year4:
        case Field::Year2:
            year = n.toInt();
            yearShort = n.size() <= 2;
            break;
        case Field::MonthName: break;
        }
    }
    if (ni != numbers.size() || wi != words.size() || fields.empty()) return {};
    if (yearShort) year += 2000;
    const QDate d(year, month, day);
    if (!d.isValid()) return {};
    if (ok) *ok = true;
    return d;
}

QString DateEdit::format(const QDate& date) {
    if (!date.isValid()) return {};
    const std::chrono::year_month_day ymd{std::chrono::year{date.year()},
                                          std::chrono::month{static_cast<unsigned>(date.month())},
                                          std::chrono::day{static_cast<unsigned>(date.day())}};
    return QString::fromStdString(regional::formatDate(ymd, regional::current()));
}

DateEdit::DateEdit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("dateText"));
    button_ = new QToolButton(this);
    button_->setObjectName(QStringLiteral("dateButton"));
    button_->setArrowType(Qt::DownArrow);
    button_->setFocusPolicy(Qt::NoFocus);
    button_->setToolTip(QStringLiteral("Calendar"));
    layout->addWidget(edit_, 1);
    layout->addWidget(button_);
    setFocusProxy(edit_);
    setFocusPolicy(Qt::StrongFocus);

    popup_ = new QFrame(this, Qt::Popup);
    popup_->setObjectName(QStringLiteral("datePopup"));
    popup_->setFrameShape(QFrame::StyledPanel);
    auto* pl = new QVBoxLayout(popup_);
    pl->setContentsMargins(2, 2, 2, 2);
    calendar_ = new QCalendarWidget(popup_);
    calendar_->setObjectName(QStringLiteral("calendar"));
    calendar_->setGridVisible(true);
    calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar_->setFirstDayOfWeek(Qt::Monday);
    pl->addWidget(calendar_);
    auto* buttons = new QHBoxLayout;
    auto* today = new QPushButton(QStringLiteral("Azi"), popup_);
    today->setObjectName(QStringLiteral("dateToday"));
    auto* clearButton = new QPushButton(QStringLiteral("Sterge"), popup_);
    clearButton->setObjectName(QStringLiteral("dateClear"));
    buttons->addStretch(1);
    buttons->addWidget(today);
    buttons->addWidget(clearButton);
    pl->addLayout(buttons);

    connect(button_, &QToolButton::clicked, this, [this] { showPopup(); });
    connect(edit_, &QLineEdit::editingFinished, this, [this] { commitText(); });
    connect(calendar_, &QCalendarWidget::clicked, this, [this](QDate d) {
        hidePopup();
        setDate(d);
    });
    connect(calendar_, &QCalendarWidget::activated, this, [this](QDate d) {
        hidePopup();
        setDate(d);
    });
    connect(today, &QPushButton::clicked, this, [this] {
        hidePopup();
        setDate(QDate::currentDate());
    });
    connect(clearButton, &QPushButton::clicked, this, [this] {
        hidePopup();
        setDate(QDate());
    });
    edit_->installEventFilter(this);
}

DateEdit::~DateEdit() = default;

QDate DateEdit::date() const {
    const QString t = edit_->text();
    if (t.trimmed().isEmpty()) return {};
    bool ok = false;
    const QDate typed = parse(t, &ok);
    return ok ? typed : date_;
}

void DateEdit::setDate(const QDate& date) {
    const QDate d = date.isValid() ? date : QDate();
    const bool changed = d != date_;
    date_ = d;
    showDate();
    if (changed) emit dateChanged(date_);
}

QString DateEdit::text() const { return edit_->text(); }

void DateEdit::regionalSettingsChanged() { showDate(); }

void DateEdit::showDate() {
    const QString t = format(date_);
    if (edit_->text() != t) edit_->setText(t);
}

void DateEdit::commitText() {
    const QString t = edit_->text();
    if (t.trimmed().isEmpty()) {
        setDate(QDate());
        return;
    }
    bool ok = false;
    const QDate d = parse(t, &ok);
    if (ok)
        setDate(d);
    else
        showDate();   // not a date: the editor keeps its date
}

void DateEdit::showPopup() {
    commitText();
    calendar_->setSelectedDate(date_.isValid() ? date_ : QDate::currentDate());
    popup_->adjustSize();
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* screen = this->screen()) {
        const QRect avail = screen->availableGeometry();
        if (at.y() + popup_->height() > avail.bottom()) at.setY(mapToGlobal(QPoint(0, 0)).y() - popup_->height());
        if (at.x() + popup_->width() > avail.right()) at.setX(avail.right() - popup_->width());
    }
    popup_->move(at);
    popup_->show();
    calendar_->setFocus(Qt::PopupFocusReason);
}

void DateEdit::hidePopup() { popup_->hide(); }

bool DateEdit::isPopupVisible() const { return popup_->isVisible(); }

QSize DateEdit::sizeHint() const {
    const QSize e = edit_->sizeHint();
    return QSize(e.width() + button_->sizeHint().width(), e.height());
}

bool DateEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_F4 || (k->key() == Qt::Key_Down && (k->modifiers() & Qt::AltModifier))) {
            showPopup();
            return true;
        }
        if (k->key() == Qt::Key_Escape && edit_->text() != format(date_)) {
            showDate();   // drops what was typed
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace dateedit
