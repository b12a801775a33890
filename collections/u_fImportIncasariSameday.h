// The collections window: the log of Sameday collections, the take-over of a
// courier workbook and the posting of receipts. Created hidden at start and
// shown modelessly from the main window's menu; closing it only hides it.
//
// The log view: dsLogSamedayIncasari (the log joined with its receipt and the
// receipt's latest allocation), shown by the grid cxGrid1 from the start date
// in cxDateEditDataIncep. "Cauta" opens the query the first time and
// refreshes it afterwards; the take-over and the postings refresh it too.
//
// The take-over (ButtonAlegeFisierClick): the courier's workbook is loaded
// into dxSpreadSheet1 on the inspection panel Panel1, its second sheet is
// checked and turned into one JSON text, and o_sameday_log_ins records it.
//
// The postings (ButtonImportaIncasareaClick, ButtonImportaToateIncasarileClick)
// live in u_fImportIncasariSameday_posting.cpp.
#pragma once

#include "db.h"

#include <QDate>
#include <QWidget>

#include <functional>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class TdmCon;

namespace dateedit {
class DateEdit;
}
namespace grid {
class DataGrid;
}
namespace spreadsheet {
class SpreadsheetView;
}

class TfImportIncasariSameday : public QWidget {
    Q_OBJECT

public:
    // dm: the data module whose conVek runs this window's statements and whose
    // style sheet its grid takes. parent: the main window (the window stays
    // above it and has no taskbar button of its own); may be null.
    explicit TfImportIncasariSameday(TdmCon& dm, QWidget* parent = nullptr);
    ~TfImportIncasariSameday() override;

    // The workstation's date, as FormShow reads it. The default reads the
    // system clock; tests put a clock of their own.
    using Clock = std::function<QDate()>;
    void setClock(Clock clock);

    // ---------------------------------------------------------------------
    // Handlers. Each runs inside the handler guard when its control fires;
    // called directly they throw what they raise.

    // Each time the window passes from hidden to visible: the start date
    // becomes the workstation's date minus 30 days. Nothing else.
    void FormShow();
    // "Cauta": pDataIncep from the date edit; refresh when open, else open.
    void ButtonCautaClick();
    // "Preluare fisier Excel cu incasari": the take-over of a courier workbook.
    void ButtonAlegeFisierClick();
    // "Inchide": hides Panel1; the workbook stays loaded.
    void ButtonInchideClick();
    // "Clear": dxSpreadSheet1 shows no workbook any more.
    void Button1Click();
    // "Importa incasarea in VEK" and "Importa toate incasarile in VEK"
    // (u_fImportIncasariSameday_posting.cpp).
    void ButtonImportaIncasareaClick();
    void ButtonImportaToateIncasarileClick();

    // ---------------------------------------------------------------------
    // While a long step runs (loading a workbook, a statement on the
    // database) the window takes no input and the busy cursor shows. Input
    // that arrived meanwhile is dropped when the step ends, not delivered
    // late. Nested holds are allowed; the outermost one restores the window.
    class BusyHold {
    public:
        explicit BusyHold(TfImportIncasariSameday& window);
        ~BusyHold();
        BusyHold(const BusyHold&) = delete;
        BusyHold& operator=(const BusyHold&) = delete;

    private:
        TfImportIncasariSameday& window_;
    };
    bool busy() const { return busyDepth_ > 0; }

    // ---------------------------------------------------------------------
    // Design: the data module the window's components are bound to...
    TdmCon& dm_;

    // The log query (read-only; key fields data_awb, awb; parameter
    // pDataIncep, a date).
    db::Query dsLogSamedayIncasari;
    // The data source that feeds the grid: the grid view reads the query
    // through it.
    db::Query* const dsouLogSamedayIncasari;
    // The logging function of the take-over: one call per workbook with the
    // whole report as JSON text in pjsonincasramburs.
    db::StoredFunction o_sameday_log_ins;
    // The posting function: pemitent, pawb (text), pdataawb (date).
    db::StoredFunction o_generare_incasare_awb_sameday;

    // ...and the controls, in creation order. Panel2 takes the window but
    // for Panel1, which sits at the bottom and is hidden at start.
    QFrame* Panel2;
    QLabel* Label3;
    QPushButton* ButtonAlegeFisier;
    QPushButton* ButtonImportaIncasarea;
    QPushButton* ButtonImportaToateIncasarile;
    // The progress of a posting run: its text and the button that stops it,
    // right of the posting buttons; both hidden while no run goes on.
    QPushButton* ButtonOpreste;
    QLabel* LabelProgres;
    QGroupBox* GroupBox1;
    QLabel* Label7;
    dateedit::DateEdit* cxDateEditDataIncep;
    QPushButton* ButtonCauta;
    // The grid and its one table view (the same widget: the grid has one
    // level, showing this view).
    grid::DataGrid* cxGrid1;
    grid::DataGrid* cxGrid1DBTableView1;
    QFrame* Panel1;
    QPushButton* Button1;
    spreadsheet::SpreadsheetView* dxSpreadSheet1;
    QPushButton* ButtonInchide;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Design sizes are for 96 dpi; this gives them for the display.
    int scaled(int designPixels) const;
    void createGridColumns();

    Clock clock_;
    int busyDepth_ = 0;
};
