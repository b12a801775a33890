#include "u_fImportIncasariSameday.h"

#include "collections_upload.h"
#include "data_grid.h"
#include "date_edit.h"
#include "regional.h"
#include "spreadsheet_view.h"
#include "u_dmCon.h"
#include "ui.h"
#include "workbook.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The window's design: sizes in pixels at 96 dpi.
constexpr int kClientWidth = 1234;
constexpr int kClientHeight = 711;
constexpr int kPanel1Height = 271;
// Panel2 as designed, with Panel1 shown under it.
constexpr int kPanel2DesignHeight = kClientHeight - kPanel1Height;

// Controls anchored to all four sides keep these gaps to their panel's right
// and bottom edges: the grid in Panel2, the spreadsheet in Panel1.
constexpr QRect kGridPlace(8, 82, 1218, 343);
constexpr QRect kSpreadSheetPlace(8, 39, 1218, 226);

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

// The log view's statement, line for line.
std::string logStatement() {
    static constexpr const char* lines[] = {
        "select log_sameday_incasari.*,",
        "",
        "       ch.data_doc as data_ch,",
        "       ch.tip_doc  as tip_ch,",
        "       ch.nr_doc   as nr_ch,",
        "       ch.val_mon  as val_mon_ch,",
        "       ch.moneda   as moneda_ch,",
        "       ch.partener,",
        "",
        "       doc_fin.data_doc_com as data_fact,",
        "       doc_fin.tip_doc_com  as tip_fact,",
        "       doc_fin.nr_doc_com   as nr_fact",
        "",
        "from log_sameday_incasari left outer join doc as ch on log_sameday_incasari.data_awb = ch.data_doc",
        "                                                   and ch.tip_doc = 'Ch_INC'",
        "                                                   and right(log_sameday_incasari.awb, 15) = ch.nr_doc",
        "                          left outer join (",
        "                                           select distinct on (data_doc_fin,",
        "                                                               tip_doc_fin,",
        "                                                               nr_doc_fin",
        "                                                              )",
        "                                                  data_doc_fin,",
        "                                                  tip_doc_fin,",
        "                                                  nr_doc_fin,",
        "                                                  data_doc_com,",
        "                                                  tip_doc_com,",
        "                                                  nr_doc_com",
        "                                           from doc_fin",
        "                                           order by data_doc_fin,",
        "                                                    tip_doc_fin,",
        "                                                    nr_doc_fin,",
        "                                                    data_repartizare desc,",
        "                                                    data_doc_com desc,",
        "                                                    tip_doc_com,",
        "                                                    nr_doc_com desc",
        "                                          ) as doc_fin on ch.data_doc = doc_fin.data_doc_fin",
        "                                                      and ch.tip_doc  = doc_fin.tip_doc_fin",
        "                                                      and ch.nr_doc   = doc_fin.nr_doc_fin",
        "where log_sameday_incasari.data_awb between :pDataIncep and current_date",
        "order by data_awb,",
        "         awb",
        ";",
    };
    std::string sql;
    bool first = true;
    for (const char* line : lines) {
        if (!first) sql += '\n';
        sql += line;
        first = false;
    }
    return sql;
}

// The log record's declared columns, in the order of the result.
std::vector<db::FieldDef> logColumns() {
    using db::FieldKind;
    constexpr bool req = true;
    constexpr bool ro = true;
    return {
        {"data_log", FieldKind::DateTime, 0, req, false},
        {"awb", FieldKind::Text, 0, false, false},
        {"nume_destinatar", FieldKind::Text, 0, false, false},
        {"judet_destinatar", FieldKind::Text, 0, false, false},
        {"oras_destinatar", FieldKind::Text, 0, false, false},
        {"adresa_destinatar", FieldKind::Text, 0, false, false},
        {"adresa_ridicare", FieldKind::Text, 0, false, false},
        {"referinta_client", FieldKind::Text, 0, false, false},
        {"suma_ramburs", FieldKind::Double, 0, false, false},
        {"data_awb", FieldKind::Date, 0, false, false},
        {"data_colectare_ramburs", FieldKind::Date, 0, false, false},
        {"numar_colete_livrate", FieldKind::Text, 0, false, false},
        {"nume_fisier", FieldKind::Text, 0, false, false},
        {"err_ins_vek", FieldKind::Text, 0, false, false},
        {"data_ch", FieldKind::Date, 0, req, ro},
        {"tip_ch", FieldKind::Text, 7, req, ro},
        {"nr_ch", FieldKind::Text, 15, req, ro},
        {"val_mon_ch", FieldKind::Double, 0, false, ro},
        {"moneda_ch", FieldKind::Text, 3, req, ro},
        {"partener", FieldKind::Text, 100, false, ro},
        {"data_fact", FieldKind::Date, 0, false, ro},
        {"tip_fact", FieldKind::Text, 7, false, ro},
        {"nr_fact", FieldKind::Text, 15, false, ro},
    };
}

QFont segoeUi(int points, bool bold = false) {
    QFont f(QStringLiteral("Segoe UI"), points);
    // Where Segoe UI is missing, a face of about its widths before the
    // platform's default sans serif, so that the captions fit their places.
    f.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("Selawik"), QStringLiteral("Arial"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setBold(bold);
    return f;
}

QFrame* panel(QWidget* parent, const char* name) {
    auto* p = new QFrame(parent);
    p->setObjectName(QLatin1String(name));
    p->setFrameStyle(QFrame::NoFrame);  // no bevel
    return p;
}

// A label keeps its designed place and grows, right and down, when its
// caption needs more room in the font at hand.
void fitCaption(QLabel* label) {
    const QSize need = label->sizeHint();
    label->resize(std::max(label->width(), need.width()), std::max(label->height(), need.height()));
}

// User input: what a busy window does not take.
bool isInputEvent(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

std::chrono::year_month_day toYmd(QDate d) {
    return std::chrono::year_month_day{std::chrono::year{d.year()},
                                       std::chrono::month{static_cast<unsigned>(d.month())},
                                       std::chrono::day{static_cast<unsigned>(d.day())}};
}

}  // namespace

TfImportIncasariSameday::TfImportIncasariSameday(TdmCon& dm, QWidget* parent)
    : QWidget(parent, Qt::Window),
      dm_(dm),
      dsLogSamedayIncasari("dsLogSamedayIncasari", dm.conVek, logStatement(), logColumns(),
                           {"data_awb; awb;"}),
      dsouLogSamedayIncasari(&dsLogSamedayIncasari),
      o_sameday_log_ins("o_sameday_log_ins", dm.conVek,
                        "SELECT * FROM o_sameday_log_ins(:pjsonincasramburs)"),
      o_generare_incasare_awb_sameday("o_generare_incasare_awb_sameday", dm.conVek,
                                      "SELECT * FROM o_generare_incasare_awb_sameday(:pemitent, :pawb, :pdataawb)"),
      clock_([] { return QDate::currentDate(); }) {
    dsLogSamedayIncasari.params().setKind("pDataIncep", db::ParamKind::Date);
    o_sameday_log_ins.params().setKind("pjsonincasramburs", db::ParamKind::Text);
    o_generare_incasare_awb_sameday.params().setKind("pemitent", db::ParamKind::Text);
    o_generare_incasare_awb_sameday.params().setKind("pawb", db::ParamKind::Text);
    o_generare_incasare_awb_sameday.params().setKind("pdataawb", db::ParamKind::Date);

    setObjectName(QStringLiteral("fImportIncasariSameday"));
    setWindowTitle(QStringLiteral("fImportIncasariSameday"));
    setFont(segoeUi(9));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));  // the button-face colour
    setPalette(pal);
    resize(scaled(kClientWidth), scaled(kClientHeight));
    // Closing hides the window; the program does not end with it.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);

    auto place = [this](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(scaled(left), scaled(top), scaled(width), scaled(height));
    };
    auto button = [&](QWidget* parentWidget, const char* name, const QString& caption, QRect r) {
        auto* b = new QPushButton(caption, parentWidget);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        place(b, r.left(), r.top(), r.width(), r.height());
        return b;
    };

    // Panel2: the log view and its buttons.
    Panel2 = panel(this, "Panel2");
    Panel2->resize(scaled(kClientWidth), scaled(kPanel2DesignHeight));

    Label3 = new QLabel(QStringLiteral("Incasari AWB Sameday (din fisiere Excel)"), Panel2);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setFont(segoeUi(12, true));
    {
        QPalette red = Label3->palette();
        red.setColor(QPalette::WindowText, QColor(0xFF, 0x00, 0x00));
        Label3->setPalette(red);
    }
    place(Label3, 8, 4, 309, 21);
    fitCaption(Label3);

    ButtonAlegeFisier = button(Panel2, "ButtonAlegeFisier", QStringLiteral("Preluare fisier Excel cu incasari"),
                               QRect(428, 8, 201, 25));
    ButtonImportaIncasarea = button(Panel2, "ButtonImportaIncasarea", QStringLiteral("Importa incasarea in VEK"),
                                    QRect(331, 46, 161, 25));
    ButtonImportaToateIncasarile =
        button(Panel2, "ButtonImportaToateIncasarile", QStringLiteral("Importa toate incasarile in VEK"),
               QRect(498, 46, 185, 25));
    ButtonOpreste = button(Panel2, "ButtonOpreste", QStringLiteral("Opreste"), QRect(691, 46, 75, 25));
    ButtonOpreste->hide();
    LabelProgres = new QLabel(Panel2);
    LabelProgres->setObjectName(QStringLiteral("LabelProgres"));
    place(LabelProgres, 774, 50, 444, 17);
    LabelProgres->hide();

    GroupBox1 = new QGroupBox(QStringLiteral("Vizualizare incasari AWB"), Panel2);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    place(GroupBox1, 8, 31, 309, 45);
    Label7 = new QLabel(QStringLiteral("Incepand cu data awb"), GroupBox1);
    Label7->setObjectName(QStringLiteral("Label7"));
    place(Label7, 7, 19, 116, 15);
    fitCaption(Label7);
    cxDateEditDataIncep = new dateedit::DateEdit(GroupBox1);
    cxDateEditDataIncep->setObjectName(QStringLiteral("cxDateEditDataIncep"));
    place(cxDateEditDataIncep, 127, 16, 89, 23);
    ButtonCauta = button(GroupBox1, "ButtonCauta", QStringLiteral("Cauta"), QRect(222, 15, 75, 25));

    cxGrid1 = new grid::DataGrid(Panel2);
    cxGrid1->setObjectName(QStringLiteral("cxGrid1"));
    cxGrid1DBTableView1 = cxGrid1;
    place(cxGrid1, kGridPlace.left(), kGridPlace.top(), kGridPlace.width(), kGridPlace.height());
    createGridColumns();
    cxGrid1DBTableView1->setGridStyleSheet(dm.cxStyleRepository1.GridTableViewStyleSheetDevExpress);
    cxGrid1DBTableView1->setFooterSums({QStringLiteral("suma_ramburs"), QStringLiteral("val_mon_ch")});
    cxGrid1DBTableView1->setQuery(dsouLogSamedayIncasari);

    // Panel1: the inspection panel of the take-over, at the bottom.
    Panel1 = panel(this, "Panel1");
    Panel1->resize(scaled(kClientWidth), scaled(kPanel1Height));
    Panel1->setFixedHeight(scaled(kPanel1Height));
    Button1 = button(Panel1, "Button1", QStringLiteral("Clear"), QRect(105, 6, 75, 25));
    dxSpreadSheet1 = new spreadsheet::SpreadsheetView(Panel1);
    dxSpreadSheet1->setObjectName(QStringLiteral("dxSpreadSheet1"));
    place(dxSpreadSheet1, kSpreadSheetPlace.left(), kSpreadSheetPlace.top(), kSpreadSheetPlace.width(),
          kSpreadSheetPlace.height());
    ButtonInchide = button(Panel1, "ButtonInchide", QStringLiteral("Inchide"), QRect(8, 6, 75, 25));
    dxSpreadSheet1->setFocusProxy(dxSpreadSheet1->tableView());
    Panel1->hide();

    // Panel1 along the bottom; Panel2 takes the rest (all of it while Panel1
    // is hidden). The grid and the spreadsheet grow with their panels.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel2, 1);
    layout->addWidget(Panel1);
    Panel2->installEventFilter(this);
    Panel1->installEventFilter(this);

    // The tab order is the order of creation: in Panel2 the take-over, the
    // postings, the search (date, then "Cauta"), the grid; in Panel1 "Clear",
    // the spreadsheet, "Inchide".

    connect(ButtonCauta, &QPushButton::clicked, this, ui::handler([this] { ButtonCautaClick(); }));
    connect(ButtonAlegeFisier, &QPushButton::clicked, this, ui::handler([this] { ButtonAlegeFisierClick(); }));
    connect(ButtonInchide, &QPushButton::clicked, this, ui::handler([this] { ButtonInchideClick(); }));
    connect(Button1, &QPushButton::clicked, this, ui::handler([this] { Button1Click(); }));
#ifdef WPV_POSTING_HANDLERS
    connect(ButtonImportaIncasarea, &QPushButton::clicked, this,
            ui::handler([this] { ButtonImportaIncasareaClick(); }));
    connect(ButtonImportaToateIncasarile, &QPushButton::clicked, this,
            ui::handler([this] { ButtonImportaToateIncasarileClick(); }));
#endif
}

TfImportIncasariSameday::~TfImportIncasariSameday() {
    // The grid goes with the window's children, after the query would: let
    // go of the query first.
    cxGrid1->setQuery(nullptr);
    if (busyDepth_ > 0) qApp->removeEventFilter(this);
}

void TfImportIncasariSameday::setClock(Clock clock) {
    clock_ = clock ? std::move(clock) : Clock([] { return QDate::currentDate(); });
}

int TfImportIncasariSameday::scaled(int designPixels) const {
    return qRound(designPixels * logicalDpiX() / 96.0);
}

void TfImportIncasariSameday::createGridColumns() {
    struct Column {
        const char* field;
        const char* header;   // "": the field name
        int width;
        const char* format;   // "": the regional form of the field's kind
    };
    static constexpr Column columns[] = {
        {"data_awb", "dataAWB", 70, ""},
        {"awb", "", 110, ""},
        {"data_colectare_ramburs", "dataRamburs", 82, ""},
        {"nume_destinatar", "", 110, ""},
        {"referinta_client", "", 110, ""},
        {"suma_ramburs", "", 87, ""},
        {"err_ins_vek", "", 110, ""},
        {"data_ch", "", 70, ""},
        {"tip_ch", "", 50, ""},
        {"nr_ch", "", 100, ""},
        {"val_mon_ch", "", 74, ""},
        {"moneda_ch", "", 71, ""},
        {"partener", "", 219, ""},
        {"data_fact", "", 70, ""},
        {"tip_fact", "", 50, ""},
        {"nr_fact", "", 100, ""},
        {"judet_destinatar", "", 110, ""},
        {"oras_destinatar", "", 110, ""},
        {"adresa_destinatar", "", 110, ""},
        {"adresa_ridicare", "", 110, ""},
        {"numar_colete_livrate", "", 110, ""},
        {"nume_fisier", "", 86, ""},
        {"data_log", "", 110, "yyyy-mm-dd hh:nn:ss"},
    };
    for (const Column& c : columns)
        cxGrid1DBTableView1->addColumn(QLatin1String(c.field), QLatin1String(c.header), c.width,
                                       QLatin1String(c.format));
}

// ---------------------------------------------------------------------------
// Events

void TfImportIncasariSameday::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) ui::guarded([this] { FormShow(); });
}

bool TfImportIncasariSameday::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        // Anchored to all four sides: the gaps to the right and bottom edges
        // stay as designed.
        auto anchor = [this](QWidget* child, QRect design, QSize parentDesign, QSize parentNow) {
            const int rightGap = parentDesign.width() - (design.x() + design.width());
            const int bottomGap = parentDesign.height() - (design.y() + design.height());
            const int left = scaled(design.x());
            const int top = scaled(design.y());
            child->setGeometry(left, top, std::max(0, parentNow.width() - left - scaled(rightGap)),
                               std::max(0, parentNow.height() - top - scaled(bottomGap)));
        };
        if (watched == Panel2)
            anchor(cxGrid1, kGridPlace, QSize(kClientWidth, kPanel2DesignHeight), Panel2->size());
        else if (watched == Panel1)
            anchor(dxSpreadSheet1, kSpreadSheetPlace, QSize(kClientWidth, kPanel1Height), Panel1->size());
        return false;
    }
    // While busy: no input reaches this window or any control on it.
    if (busyDepth_ > 0 && isInputEvent(event->type()) && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w == this || isAncestorOf(w)) return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Busy hold

TfImportIncasariSameday::BusyHold::BusyHold(TfImportIncasariSameday& window) : window_(window) {
    if (window_.busyDepth_++ == 0) {
        qApp->installEventFilter(&window_);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

TfImportIncasariSameday::BusyHold::~BusyHold() {
    if (window_.busyDepth_ > 1) {
        --window_.busyDepth_;
        return;
    }
    // What the user did while the window was busy is dropped here, while the
    // filter still holds, rather than acted on afterwards.
    try {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    } catch (...) {
        // Input is dropped, not handled; nothing here should throw.
    }
    --window_.busyDepth_;
    qApp->removeEventFilter(&window_);
    QApplication::restoreOverrideCursor();
}

// ---------------------------------------------------------------------------
// Handlers

void TfImportIncasariSameday::FormShow() { cxDateEditDataIncep->setDate(clock_().addDays(-30)); }

void TfImportIncasariSameday::ButtonCautaClick() {
    const QDate start = cxDateEditDataIncep->date();
    if (!start.isValid()) fail("Alegeti data de inceput a cautarii");
    dsLogSamedayIncasari.paramByName("pDataIncep").setDate(toYmd(start));
    BusyHold busy(*this);
    if (dsLogSamedayIncasari.active())
        dsLogSamedayIncasari.refresh();
    else
        dsLogSamedayIncasari.open();
}

void TfImportIncasariSameday::ButtonAlegeFisierClick() {
    // 1. The log must be open: the take-over ends by refreshing it.
    if (!dsLogSamedayIncasari.active()) fail("Apasati butonul \"Cauta\"");

    // 2. The file.
    const std::optional<QString> chosen = ui::chooseOpenFile(this);
    if (!chosen) fail("Nu s-a ales nici un fisier...");
    const std::string path = chosen->toStdString();

    // 3. Only .xlsx, in any case.
    report::checkExtension(path);

    // 4. The previous workbook goes.
    dxSpreadSheet1->clear();

    // 5, 6. Load, and show the courier's sheet (the second one). Failures
    // here are shown with their own messages.
    const xlsx::Sheet* sheet = nullptr;
    {
        BusyHold busy(*this);
        dxSpreadSheet1->setWorkbook(xlsx::Workbook::load(path));
        report::courierSheet(*dxSpreadSheet1->workbook());
        dxSpreadSheet1->setActiveSheet(report::courierSheetIndex);
        sheet = dxSpreadSheet1->activeSheetPtr();
    }

    // 7-12. Header check, upload text and the logging call: a failure shows
    // the inspection panel and is reported as "Err - " and its message.
    try {
        BusyHold busy(*this);
        std::string upload = report::collectionsUpload(*sheet, path, regional::current());
        o_sameday_log_ins.paramByName("pJsonIncasRamburs").setText(std::move(upload));
        o_sameday_log_ins.execute();
    } catch (...) {
        const QString failure = ui::innermostMessage(std::current_exception());
        Panel1->show();
        throw std::runtime_error(report::guardedMessage(failure.toStdString()));
    }

    // 13. The log shows the new rows.
    {
        BusyHold busy(*this);
        if (dsLogSamedayIncasari.active())
            dsLogSamedayIncasari.refresh();
        else
            dsLogSamedayIncasari.open();
    }

    // 14.
    ui::showInfo(QStringLiteral("Fisierul Excel a fost preluat."));
}

void TfImportIncasariSameday::ButtonInchideClick() { Panel1->hide(); }

void TfImportIncasariSameday::Button1Click() { dxSpreadSheet1->clear(); }
