#include "u_fImportIncasariSameday.h"

#include "u_dmCon.h"
#include "ui.h"

#include <QShowEvent>

TfImportIncasariSameday::TfImportIncasariSameday(TdmCon& dm, QWidget* parent)
    : QWidget(parent, Qt::Window), dm_(dm) {
    setObjectName(QStringLiteral("fImportIncasariSameday"));
    setWindowTitle(QStringLiteral("fImportIncasariSameday"));
    resize(1234, 711);
    // Closing hides the window; the program does not end with it.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);
}

void TfImportIncasariSameday::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) ui::guarded([this] { FormShow(); });
}

void TfImportIncasariSameday::FormShow() {}
