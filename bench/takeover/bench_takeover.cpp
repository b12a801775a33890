// The take-over of a courier report through the collections window, against
// its parts done by other programs: xlsx-upload writing the upload of the same
// file, plus psql handing that text to o_sameday_log_ins. Prints the figures
// side by side; asserts nothing. Run it through bench/takeover/run.
//
//   bench_takeover --workbook FILE --xlsx-upload TOOL --fill SCRIPT
//                  [--collections N] [--repeat R]
//
// Under scripts/with-test-db. Builds a company database of its own on the SSL
// cluster and fills it with N collections (1,000,000 by default) with
// bench/data/fill-collections. Then, R times (3 by default), each side on the
// same log (the report's collections removed from it before each run):
//   window  the real window on the offscreen platform, searched from the
//           date it proposes (today minus 30 days), then ButtonAlegeFisierClick
//           with the file dialog answered: load, header check, upload text,
//           o_sameday_log_ins, the refresh of the log, the success box;
//   peers   xlsx-upload FILE > upload.json, then psql (as vek over TCP, with
//           SSL like the program) running
//               \set t `cat upload.json`
//               select * from o_sameday_log_ins(:'t');
// The best wall time of each counts. Beside them, the window's steps timed
// one by one in this process, to show where its time goes.
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "collections_upload.h"
#include "bench_util.h"
#include "db.h"
#include "regional.h"
#include "site.h"
#include "spreadsheet_view.h"
#include "testdb.h"
#include "u_dmCon.h"
#include "u_fImportIncasariSameday.h"
#include "ui.h"
#include "workbook.h"

namespace {

using bench::Clock;
using bench::run;
using bench::secondsSince;
using bench::shellQuote;

struct Options {
    std::string workbook;
    std::string xlsxUpload;
    std::string fill;
    long collections = 1000000;
    int repeat = 3;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error(a + " needs a value");
            return argv[++i];
        };
        if (a == "--workbook") o.workbook = value();
        else if (a == "--xlsx-upload") o.xlsxUpload = value();
        else if (a == "--fill") o.fill = value();
        else if (a == "--collections") o.collections = std::stol(value());
        else if (a == "--repeat") o.repeat = std::stoi(value());
        else throw std::runtime_error("unknown option " + a);
    }
    if (o.workbook.empty() || o.xlsxUpload.empty() || o.fill.empty())
        throw std::runtime_error("usage: bench_takeover --workbook FILE --xlsx-upload TOOL --fill SCRIPT "
                                 "[--collections N] [--repeat R]");
    return o;
}

// The report's collections out of the log again, so that every run inserts
// them afresh into a log of the same size.
void removeReport(testdb::Connection& su) {
    su.exec("delete from log_sameday_incasari where awb like '1EMGLN%'");
    su.exec("vacuum analyze log_sameday_incasari");
}

long long reportRows(testdb::Connection& su) {
    return std::stoll(*su.scalar("select count(*) from log_sameday_incasari where awb like '1EMGLN%'"));
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Options opt = parse(argc, argv);
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);

        const testdb::Env& env = testdb::env();
        std::printf("bench_takeover: filling a company database with %ld collections...\n", opt.collections);
        std::fflush(stdout);
        testdb::CompanyDatabase company("bench_takeover");
        run(shellQuote(opt.fill) + " " + company.name() + " " + std::to_string(opt.collections));
        testdb::Connection su = company.superuser();
        su.exec("vacuum analyze");
        const long long logged = std::stoll(*su.scalar("select count(*) from log_sameday_incasari"));

        // The window, as the program has it after a login.
        TdmCon dm;
        dm.conVek.setServer(env.host);
        dm.conVek.setPort(env.port);
        dm.conVek.setDatabase(company.name());
        TfImportIncasariSameday window(dm);
        std::vector<ui::MessageBox> boxes;
        ui::setMessagePresenter([&](const ui::MessageBox& b) { boxes.push_back(b); });
        const QString chosen = QString::fromStdString(opt.workbook);
        ui::setOpenFileChooser([&](QWidget*) -> std::optional<QString> { return chosen; });
        window.show();
        window.ButtonCautaClick();
        const std::string start = window.dsLogSamedayIncasari.paramByName("pDataIncep").asText();

        QTemporaryDir tmp;
        const std::string uploadFile = tmp.filePath(QStringLiteral("upload.json")).toStdString();
        const std::string script = tmp.filePath(QStringLiteral("log_ins.sql")).toStdString();
        {
            std::ofstream s(script);
            s << "\\set t `cat " << uploadFile << "`\n"
              << "select * from o_sameday_log_ins(:'t');\n";
        }
        const std::string psql = "PGPASSWORD=" + shellQuote(site::databasePassword()) +
                                 " PGSSLMODE=require psql -X -q -A -t -v ON_ERROR_STOP=1 -h " + env.host +
                                 " -p " + std::to_string(env.port) + " -U " + site::databaseUser() + " -d " +
                                 company.name() + " -f " + shellQuote(script) + " >/dev/null";

        // For comparison with the refresh: psql fetching the log query from the
        // same start date.
        const std::string logScript = tmp.filePath(QStringLiteral("log.sql")).toStdString();
        {
            std::string sql = window.dsLogSamedayIncasari.sql();
            const std::string param = ":pDataIncep";
            sql.replace(sql.find(param), param.size(), "'" + start + "'::date");
            std::ofstream s(logScript);
            s << sql << "\n";
        }
        const std::string psqlLog = "PGPASSWORD=" + shellQuote(site::databasePassword()) +
                                    " PGSSLMODE=require psql -X -q -A -t -v ON_ERROR_STOP=1 -h " + env.host +
                                    " -p " + std::to_string(env.port) + " -U " + site::databaseUser() + " -d " +
                                    company.name() + " -f " + shellQuote(logScript) + " >/dev/null";

        double bestWindow = 1e99, bestTool = 1e99, bestPsql = 1e99, bestRefresh = 1e99, bestPsqlLog = 1e99;
        long long windowRows = 0, peerRows = 0;
        size_t refreshed = 0;
        for (int r = 0; r < opt.repeat; ++r) {
            // The window.
            removeReport(su);
            boxes.clear();
            const auto t0 = Clock::now();
            ui::guarded([&] { window.ButtonAlegeFisierClick(); });
            const double w = secondsSince(t0);
            if (boxes.size() != 1 || boxes[0].kind != ui::MessageBox::Kind::Information)
                throw std::runtime_error("the take-over did not succeed: " +
                                         (boxes.empty() ? std::string("no box") : boxes.back().text.toStdString()));
            windowRows = reportRows(su);
            refreshed = window.dsLogSamedayIncasari.recordCount();
            bestWindow = std::min(bestWindow, w);
            // The refresh alone, on the log as the take-over left it.
            const auto t1 = Clock::now();
            window.dsLogSamedayIncasari.refresh();
            bestRefresh = std::min(bestRefresh, secondsSince(t1));
            bestPsqlLog = std::min(bestPsqlLog, run(psqlLog));

            // The peers.
            removeReport(su);
            bestTool = std::min(bestTool, run(shellQuote(opt.xlsxUpload) + " " + shellQuote(opt.workbook) + " > " +
                                              shellQuote(uploadFile)));
            bestPsql = std::min(bestPsql, run(psql));
            peerRows = reportRows(su);
        }

        // The window's steps one by one, in this process.
        removeReport(su);
        auto t = Clock::now();
        auto book = xlsx::Workbook::load(opt.workbook);
        const double load = secondsSince(t);
        spreadsheet::SpreadsheetView view;
        t = Clock::now();
        view.setWorkbook(std::move(book));
        view.setActiveSheet(report::courierSheetIndex);
        const double show = secondsSince(t);
        t = Clock::now();
        const std::string upload =
            report::collectionsUpload(*view.activeSheetPtr(), opt.workbook, regional::current());
        const double text = secondsSince(t);
        std::ifstream toolOut(uploadFile, std::ios::binary);
        const std::string toolText((std::istreambuf_iterator<char>(toolOut)), std::istreambuf_iterator<char>());
        t = Clock::now();
        window.o_sameday_log_ins.paramByName("pJsonIncasRamburs").setText(upload);
        window.o_sameday_log_ins.execute();
        const double call = secondsSince(t);

        const double peers = bestTool + bestPsql;
        const double ratio = bestWindow / peers;
        std::printf("\nTake-over of %s: %lld collections, upload %.1f MB%s\n", opt.workbook.c_str(), windowRows,
                    static_cast<double>(upload.size()) / 1048576.0,
                    upload == toolText ? ", the same text as xlsx-upload's" : ", DIFFERENT from xlsx-upload's");
        std::printf("into a log of %lld collections; search from %s (the proposed date), %zu rows after the "
                    "refresh; best of %d runs\n\n",
                    logged, start.c_str(), refreshed, opt.repeat);
        std::printf("  %-52s %8s\n", "", "wall s");
        std::printf("  %-52s %8.3f\n", "window: ButtonAlegeFisierClick, whole", bestWindow);
        std::printf("  %-52s %8.3f\n", "peer: xlsx-upload FILE > upload.json", bestTool);
        std::printf("  %-52s %8.3f\n", "peer: psql o_sameday_log_ins(upload.json)", bestPsql);
        std::printf("  %-52s %8.3f\n", "peer: sum", peers);
        std::printf("  %-52s %8.2f  (target <= 1.25: %s)\n", "window / peer sum", ratio,
                    ratio <= 1.25 ? "met" : "MISSED");
        std::printf("\n  The window's steps alone, in this process:\n");
        std::printf("  %-52s %8.3f\n", "load the workbook (xlsx::Workbook::load)", load);
        std::printf("  %-52s %8.3f\n", "show it, second sheet active (SpreadsheetView)", show);
        std::printf("  %-52s %8.3f\n", "header check + upload text (report library)", text);
        std::printf("  %-52s %8.3f\n", "o_sameday_log_ins (db::StoredFunction)", call);
        std::printf("  %-52s %8.3f\n", "refresh of the log query (best)", bestRefresh);
        std::printf("  %-52s %8.3f\n", "  psql fetching the same statement (best)", bestPsqlLog);
        std::printf("\n  rows of the report in the log: window %lld, peers %lld\n", windowRows, peerRows);
        window.close();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_takeover: %s\n", e.what());
        return 1;
    }
}
