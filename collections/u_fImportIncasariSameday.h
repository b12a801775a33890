// The collections window: the log of Sameday collections, the take-over of a
// courier workbook and the posting of receipts. Created hidden at start and
// shown modelessly from the main window's menu; closing it only hides it.
#pragma once

#include <QWidget>

class TdmCon;

class TfImportIncasariSameday : public QWidget {
    Q_OBJECT

public:
    // dm: the data module whose conVek runs this window's statements and whose
    // style sheet its grid takes. parent: the main window (the window stays
    // above it and has no taskbar button of its own); may be null.
    explicit TfImportIncasariSameday(TdmCon& dm, QWidget* parent = nullptr);

    // Runs each time the window passes from hidden to visible.
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

    TdmCon& dm_;
};
