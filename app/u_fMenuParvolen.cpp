#include "u_fMenuParvolen.h"

#include "program.h"
#include "u_dmCon.h"
#include "u_fImportIncasariSameday.h"
#include "u_frmLogin.h"
#include "ui.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kVersion = QStringLiteral("wParvolen v. 2025.09.29");

QFont segoeUi(bool bold) {
    QFont f(QStringLiteral("Segoe UI"), 9);
    f.setStyleHint(QFont::SansSerif);
    f.setBold(bold);
    return f;
}

// The system's menu colour: what the platform paints menus with.
QColor menuColour() { return QApplication::palette("QMenu").color(QPalette::Window); }

QFrame* panel(QWidget* parent, const char* name) {
    auto* p = new QFrame(parent);
    p->setObjectName(QLatin1String(name));
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    p->setLineWidth(1);
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, menuColour());
    p->setPalette(pal);
    return p;
}

// Segoe UI 9 pt bold, maroon.
QLabel* label(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(segoeUi(true));
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
    l->setPalette(pal);
    l->move(left, top);
    l->adjustSize();
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, QRect place) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(place);
    b->setAutoDefault(false);
    return b;
}

constexpr int kDesignWidth = 408;
constexpr int kDesignHeight = 278;

}  // namespace

TfMenuParvolen::TfMenuParvolen(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fMenuParvolen"));
    setWindowTitle(QStringLiteral("fMenuParvolen"));
    setFont(segoeUi(false));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));  // the button-face colour
    setPalette(pal);
    resize(kDesignWidth, kDesignHeight);

    PanelLogin = panel(this, "PanelLogin");
    PanelLogin->setFixedHeight(49);
    PanelLogin->resize(kDesignWidth, 49);
    Label1 = label(PanelLogin, "Label1", kVersion, 197, 0);
    ButtonLogin = button(PanelLogin, "ButtonLogin", QStringLiteral("Login"), QRect(16, 8, 75, 30));

    PanelMenu = panel(this, "PanelMenu");
    PanelMenu->resize(kDesignWidth, kDesignHeight - 49);
    Label2 = label(PanelMenu, "Label2", kVersion, 197, 2);
    LabelDataBase = label(PanelMenu, "LabelDataBase", QStringLiteral("LabelDataBase"), 6, 2);
    // Wraps within the room left of the version label and grows downwards.
    LabelDataBase->setWordWrap(true);
    LabelDataBase->setFixedWidth(197 - 2 * 6);
    LabelDataBase->setFixedHeight(LabelDataBase->heightForWidth(LabelDataBase->width()));
    LabelUser = label(PanelMenu, "LabelUser", QStringLiteral("LabelUser"), 6, 23);
    ButtonImportSameday =
        button(PanelMenu, "ButtonImportSameday", QStringLiteral("Import Sameday"), QRect(16, 56, 129, 25));

    // The version labels keep their distance from the right edge.
    ui::anchorTopRight(Label1, kDesignWidth);
    ui::anchorTopRight(Label2, kDesignWidth);

    // PanelLogin along the top; PanelMenu takes the rest (all of it once
    // PanelLogin is hidden).
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PanelLogin, 0, Qt::AlignTop);
    layout->addWidget(PanelMenu, 1);

    connect(ButtonLogin, &QPushButton::clicked, this, ui::handler([this] { ButtonLoginClick(); }));
    connect(ButtonImportSameday, &QPushButton::clicked, this, ui::handler([this] { ButtonImportSamedayClick(); }));

    FormCreate();
}

void TfMenuParvolen::FormCreate() { PanelMenu->hide(); }

void TfMenuParvolen::ButtonLoginClick() {
    if (frmLogin->ShowModal() != TfrmLogin::mrOk) return;
    PanelLogin->hide();
    PanelMenu->show();
    LabelDataBase->setText(dmCon->glDataBase);
    LabelDataBase->setFixedHeight(LabelDataBase->heightForWidth(LabelDataBase->width()));
    LabelUser->setText(QStringLiteral("User ") + dmCon->glUser);
    LabelUser->adjustSize();
}

void TfMenuParvolen::ButtonImportSamedayClick() {
    QWidget* w = fImportIncasariSameday;
    if (w->isMinimized()) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
    w->activateWindow();
}

void TfMenuParvolen::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    // Closing the main window ends the program, whatever else is shown.
    if (event->isAccepted()) QCoreApplication::quit();
}
