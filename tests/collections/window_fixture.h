// What the collections-window tests share: a company database cloned from
// the reference template, a data module whose conVek points at it, the
// window itself (real widgets on the offscreen platform), the message boxes
// it shows and the answers of its file dialog.
#pragma once

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QDate>
#include <QMouseEvent>
#include <QString>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data_grid.h"
#include "date_edit.h"
#include "db.h"
#include "spreadsheet_view.h"
#include "regional.h"
#include "site.h"
#include "testdb.h"
#include "u_dmCon.h"
#include "u_fImportIncasariSameday.h"
#include "ui.h"

namespace QTest {
template <>
inline char* toString(const std::string& text) {
    return QTest::toString(QByteArray::fromStdString(text));
}
}  // namespace QTest

namespace coltest {

// Day, month and four-digit year with full stops; a decimal comma.
inline regional::Settings romanianSettings() {
    regional::Settings s;
    s.decimalSeparator = ",";
    s.shortDateFormat = "%d.%m.%Y";
    s.longTimeFormat = "%H:%M:%S";
    return s;
}

// The boxes shown while it lives, instead of showing them; the regional
// settings of a Romanian workstation; a file dialog that answers what the
// test says (and counts how often it was opened).
class Screen {
public:
    Screen() {
        previousPresenter_ = ui::setMessagePresenter([this](const ui::MessageBox& b) { boxes.push_back(b); });
        previousChooser_ = ui::setOpenFileChooser([this](QWidget*) -> std::optional<QString> {
            ++dialogs;
            if (onDialog) onDialog();
            return answer;
        });
        regional::setOverride(romanianSettings());
    }
    ~Screen() {
        ui::setMessagePresenter(std::move(previousPresenter_));
        ui::setOpenFileChooser(std::move(previousChooser_));
        regional::setOverride(std::nullopt);
    }
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // The texts of the boxes shown so far, "E: " or "I: " before each.
    QStringList texts() const {
        QStringList out;
        for (const ui::MessageBox& b : boxes)
            out << (b.kind == ui::MessageBox::Kind::Error ? QStringLiteral("E: ") : QStringLiteral("I: ")) + b.text;
        return out;
    }

    std::vector<ui::MessageBox> boxes;
    std::optional<QString> answer;       // the dialog's choice; nullopt: cancelled
    std::function<void()> onDialog;      // runs while the dialog is "open"
    int dialogs = 0;

private:
    ui::MessagePresenter previousPresenter_;
    ui::OpenFileChooser previousChooser_;
};

// conVek of the program's account to a test database.
inline void pointAt(db::Connection& c, const std::string& database) {
    const testdb::Env& e = testdb::env();
    c.setServer(e.host);
    c.setPort(e.port);
    c.setDatabase(database);
    c.setUsername(site::databaseUser());
    c.setPassword(site::databasePassword());
    c.setSslMode(db::SslMode::Require);
}

// The window over a company database of its own: dm.conVek points at it.
struct Fixture {
    explicit Fixture(std::string_view prefix) : company(prefix), su(company.superuser()) {
        pointAt(dm.conVek, company.name());
    }

    // A new window, as program start creates it (hidden), with a clock.
    TfImportIncasariSameday& newWindow(QDate today = QDate(2024, 5, 10)) {
        window.reset();
        window = std::make_unique<TfImportIncasariSameday>(dm);
        window->setClock([today] { return today; });
        return *window;
    }

    // Empties what the tests write: the log, the receipts and allocations.
    void clearLog() { su.exec("truncate log_sameday_incasari; delete from doc_fin; delete from doc;"); }

    long long scalarInt(const std::string& sql) {
        const testdb::Value v = su.scalar(sql);
        return v ? std::stoll(*v) : -1;
    }

    testdb::CompanyDatabase company;
    testdb::Connection su;
    TdmCon dm;
    std::unique_ptr<TfImportIncasariSameday> window;
};

// One collection in the log, as o_sameday_log_ins would have left it.
struct LogRow {
    std::string awb;
    std::string dataAwb;   // yyyy-mm-dd
    std::string judet = "Cluj";
    double suma = 1;
    std::string numeDestinatar = "Ana Pop";
};

inline void insertLog(testdb::Connection& su, const LogRow& r) {
    su.exec("insert into log_sameday_incasari (data_log, awb, nume_destinatar, judet_destinatar, "
            "oras_destinatar, adresa_destinatar, adresa_ridicare, referinta_client, suma_ramburs, data_awb, "
            "data_colectare_ramburs, numar_colete_livrate, nume_fisier) "
            "values ('2024-03-20 07:08:09', $1, $2, $3, 'Oras', 'Adresa', 'Depozit', 'REF', $4::numeric, "
            "$5::date, $5::date + 1, '1', 'raport.xlsx')",
            {r.awb, r.numeDestinatar, r.judet, std::to_string(r.suma), r.dataAwb});
}

// A document (receipt "Ch_INC" or invoice "Fact_CL").
inline void insertDoc(testdb::Connection& su, const std::string& date, const std::string& type,
                      const std::string& number, double value = 0, const std::string& partner = "Partener") {
    su.exec("insert into doc (data_doc, tip_doc, nr_doc, val_mon, moneda, partener) "
            "values ($1::date, $2, $3, $4::numeric, 'RON', $5)",
            {date, type, number, std::to_string(value), partner});
}

// An allocation of a receipt to an invoice; repartizare nullopt is NULL.
inline void insertAllocation(testdb::Connection& su, const std::string& receiptDate, const std::string& receipt,
                             const std::string& invoiceDate, const std::string& invoiceType,
                             const std::string& invoice, const std::optional<std::string>& repartizare) {
    su.exec("insert into doc_fin (data_doc_fin, tip_doc_fin, nr_doc_fin, data_doc_com, tip_doc_com, nr_doc_com, "
            "data_repartizare) values ($1::date, 'Ch_INC', $2, $3::date, $4, $5, $6::date)",
            {receiptDate, receipt, invoiceDate, invoiceType, invoice, repartizare});
}

// A click of the left mouse button in the middle of the widget, queued as
// the window system would deliver it.
inline void postClick(QWidget* w) {
    const QPointF local = QRectF(w->rect()).center();
    const QPointF global = w->mapToGlobal(local);
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonPress, local, global, Qt::LeftButton,
                                                   Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseButtonRelease, local, global, Qt::LeftButton,
                                                   Qt::NoButton, Qt::NoModifier));
}

// The text of a field of the query's current record ("" when NULL).
inline std::string current(const db::Query& q, const char* field) { return q.asString(field); }

}  // namespace coltest
