// The posting of collections through the collections window, against psql
// calling the posting function over one connection. Prints the figures side
// by side; asserts nothing. Run it through bench/posting/run.
//
//   bench_posting --fill-posting SQL [--collections N] [--days D]
//                 [--history H] [--repeat R] [--single S]
//
// Under scripts/with-test-db. Builds two company databases of their own on
// the SSL cluster, filled alike by bench/posting/fill-posting.sql: N
// collections (2,000 by default) without a receipt, their AWB dates over the
// last D days (20), each naming an existing client invoice, so that every
// posting makes a receipt and its allocation; and before those days H
// collections (20,000) posted earlier, receipts and allocations included.
//
// Then, R times (3 by default), the receipts of the previous run removed
// before each but the first:
//   (a) window  the real window on the offscreen platform, its conVek on the
//               first database as the data module sets it up (disconnected
//               mode, SSL required), searched from the first of the D days;
//               ButtonImportaToateIncasarileClick called directly and timed;
//               afterwards the receipts and allocations counted by SQL;
//   (b) psql    one file of N "select * from o_generare_incasare_awb_sameday
//               ('ana', AWB, date);" in the grid's order, run with psql -f as
//               vek over TCP with SSL, on the second database.
// The best wall time of each counts. Beside them, to show where the window's
// time goes: the processor time of this process during (a), the paint events
// it delivered, the server's own time in the function on either side
// (track_functions), R runs of (a) with the window hidden (nothing to paint),
// and the refresh of the log alone. Then, for contrast, on the first database
// with its receipts removed once more:
//   (c) S collections (200) posted one by one with ButtonImportaIncasareaClick
//       (the posting and the refresh of the log each make a connection in
//       disconnected mode), then S more through the posting component alone,
//       first without and then with a db::Connection::Use held around them.
// Every case prints the server connections it made (conVek's connectCount).
#include <sys/resource.h>

#include <QApplication>
#include <QDate>
#include <QEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "data_grid.h"
#include "date_edit.h"
#include "bench_util.h"
#include "db.h"
#include "site.h"
#include "testdb.h"
#include "u_dmCon.h"
#include "u_fImportIncasariSameday.h"
#include "ui.h"

namespace {

using bench::Clock;
using bench::run;
using bench::secondsSince;
using bench::shellQuote;

// Processor time of this process so far, user and system.
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

// Counts the paint events the application delivers, by widget class.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++byClass[watched->metaObject()->className()];
        return false;
    }
    long total() const {
        long n = 0;
        for (const auto& [name, count] : byClass) n += count;
        return n;
    }
    std::map<std::string, long> byClass;
};

struct Options {
    std::string fillPosting;
    long collections = 2000;
    int days = 20;
    long history = 20000;
    int repeat = 3;
    int single = 200;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error(a + " needs a value");
            return argv[++i];
        };
        if (a == "--fill-posting") o.fillPosting = value();
        else if (a == "--collections") o.collections = std::stol(value());
        else if (a == "--days") o.days = std::stoi(value());
        else if (a == "--history") o.history = std::stol(value());
        else if (a == "--repeat") o.repeat = std::stoi(value());
        else if (a == "--single") o.single = std::stoi(value());
        else throw std::runtime_error("unknown option " + a);
    }
    if (o.fillPosting.empty() || o.collections < 1 || o.days < 1 || o.history < 0 || o.repeat < 1 ||
        o.single < 1 || 3L * o.single > o.collections)
        throw std::runtime_error("usage: bench_posting --fill-posting SQL [--collections N] [--days D] "
                                 "[--history H] [--repeat R] [--single S] (3 S <= N)");
    return o;
}

// Fills a fresh clone as the header says, as the superuser over the socket.
double fill(const testdb::CompanyDatabase& company, const Options& o) {
    const testdb::Env& env = testdb::env();
    return run("PGHOST=" + shellQuote(env.socket) + " PGPORT=" + std::to_string(env.port) +
               " PGUSER=postgres psql -X -q -v ON_ERROR_STOP=1 -d " + company.name() +
               " -v n=" + std::to_string(o.collections) + " -v days=" + std::to_string(o.days) +
               " -v history=" + std::to_string(o.history) + " -f " + shellQuote(o.fillPosting) + " >/dev/null");
}

constexpr const char* kOurs = "l.awb like '7EMGLN%'";

long long receipts(testdb::Connection& su) {
    return std::stoll(*su.scalar(std::string("select count(*) from log_sameday_incasari l join doc d "
                                             "on d.data_doc = l.data_awb and d.tip_doc = 'Ch_INC' "
                                             "and d.nr_doc = right(l.awb, 15) where ") + kOurs));
}

long long allocations(testdb::Connection& su) {
    return std::stoll(*su.scalar(std::string("select count(*) from log_sameday_incasari l join doc_fin f "
                                             "on f.data_doc_fin = l.data_awb and f.tip_doc_fin = 'Ch_INC' "
                                             "and f.nr_doc_fin = right(l.awb, 15) "
                                             "and f.nr_doc_com = l.referinta_client where ") + kOurs));
}

// The receipts the postings made, and with them their allocations.
void removeReceipts(testdb::Connection& su) {
    su.exec(std::string("delete from doc d using log_sameday_incasari l where d.data_doc = l.data_awb "
                        "and d.tip_doc = 'Ch_INC' and d.nr_doc = right(l.awb, 15) and ") + kOurs);
    su.exec("vacuum analyze doc");
    su.exec("vacuum analyze doc_fin");
}

void expect(long long got, long long want, const std::string& what) {
    if (got != want)
        throw std::runtime_error(what + ": " + std::to_string(got) + " where " + std::to_string(want) +
                                 " were expected");
}

std::chrono::year_month_day dateOf(const db::Query& q, std::string_view field) {
    const auto days = q.column(field).date(static_cast<size_t>(q.recNo()));
    return std::chrono::year_month_day{std::chrono::sys_days{std::chrono::days{days}}};
}

// The posting component run on the current record, as the window binds it.
void postCurrent(TfImportIncasariSameday& w) {
    db::StoredFunction& f = w.o_generare_incasare_awb_sameday;
    const db::Query& q = w.dsLogSamedayIncasari;
    f.paramByName("pEmitent").setText(w.dm_.glUser.toStdString());
    f.paramByName("pAwb").setText(q.asString("awb"));
    f.paramByName("pDataAwb").setDate(dateOf(q, "data_awb"));
    f.execute();
}

// Calls of the posting function that the server counted in this database, and
// the time spent in them (track_functions).
struct FunctionTime {
    long long calls = 0;
    double ms = 0;
};

FunctionTime functionTime(testdb::Connection& su) {
    const testdb::Rows rows = su.exec("select calls, total_time from pg_stat_user_functions "
                                      "where funcname = 'o_generare_incasare_awb_sameday'");
    if (rows.empty() || !rows[0][0] || !rows[0][1]) return {};
    return {std::stoll(*rows[0][0]), std::stod(*rows[0][1])};
}

struct Timing {
    double seconds = 0;
    long connections = 0;
    double cpu = 0;   // this process's processor time
    long paints = 0;
};

std::string msPer(double seconds, long long count) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", seconds * 1000.0 / static_cast<double>(count));
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Options opt = parse(argc, argv);
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);

        const testdb::Env& env = testdb::env();
        std::printf("bench_posting: two company databases with %ld collections to post and %ld posted "
                    "before...\n", opt.collections, opt.history);
        std::fflush(stdout);
        testdb::CompanyDatabase windowDb("bench_posting_window");
        testdb::CompanyDatabase psqlDb("bench_posting_psql");
        const double filled = fill(windowDb, opt) + fill(psqlDb, opt);
        testdb::Connection suWindow = windowDb.superuser();
        testdb::Connection suPsql = psqlDb.superuser();
        // The server's own time in the posting function, for both sides.
        for (const testdb::CompanyDatabase* db : {&windowDb, &psqlDb})
            suWindow.exec("alter database " + db->name() + " set track_functions = 'pl'");
        const QDate start = QDate::currentDate().addDays(1 - opt.days);
        const std::string startText = start.toString(Qt::ISODate).toStdString();
        const long long inRange = std::stoll(*suWindow.scalar(
            "select count(*) from log_sameday_incasari where data_awb between '" + startText + "' and current_date"));
        const long long logged = std::stoll(*suWindow.scalar("select count(*) from log_sameday_incasari"));
        std::printf("bench_posting: filled in %.1f s\n", filled);

        // The window, as the program has it after a login of "ana".
        TdmCon dm;
        dm.conVek.setServer(env.host);
        dm.conVek.setPort(env.port);
        dm.conVek.setDatabase(windowDb.name());
        dm.glUser = QStringLiteral("ana");
        TfImportIncasariSameday window(dm);
        std::vector<ui::MessageBox> boxes;
        ui::setMessagePresenter([&](const ui::MessageBox& b) { boxes.push_back(b); });
        window.show();
        QApplication::processEvents();
        window.cxDateEditDataIncep->setDate(start);
        window.ButtonCautaClick();
        db::Query& q = window.dsLogSamedayIncasari;
        expect(static_cast<long long>(q.recordCount()), inRange, "rows shown after the search");

        // psql's file: the same calls in the order the grid shows the rows.
        QTemporaryDir tmp;
        const std::string script = tmp.filePath(QStringLiteral("postings.sql")).toStdString();
        {
            const testdb::Rows rows = suPsql.exec(
                std::string("select format('select * from o_generare_incasare_awb_sameday(%L, %L, %L);', "
                            "'ana', l.awb, l.data_awb) from log_sameday_incasari l where ") +
                kOurs + " order by l.data_awb, l.awb");
            std::ofstream s(script);
            for (const testdb::Row& r : rows) s << *r[0] << "\n";
            expect(static_cast<long long>(rows.size()), opt.collections, "calls in psql's file");
        }
        const std::string psqlAccount = "PGPASSWORD=" + shellQuote(site::databasePassword()) +
                                        " PGSSLMODE=require psql -X -q -A -t -v ON_ERROR_STOP=1 -h " + env.host +
                                        " -p " + std::to_string(env.port) + " -U " + site::databaseUser() + " -d ";
        const std::string psql = psqlAccount + psqlDb.name() + " -f " + shellQuote(script) + " >/dev/null";
        // psql reading the log query from the same start date, beside the
        // window's refresh.
        const std::string logScript = tmp.filePath(QStringLiteral("log.sql")).toStdString();
        {
            std::string sql = q.sql();
            const std::string param = ":pDataIncep";
            sql.replace(sql.find(param), param.size(), "'" + startText + "'::date");
            std::ofstream s(logScript);
            s << sql << "\n";
        }
        const std::string psqlLog = psqlAccount + windowDb.name() + " -f " + shellQuote(logScript) + " >/dev/null";

        PaintCounter paints;
        app.installEventFilter(&paints);
        // (a): the run, the receipts and allocations it made counted after.
        auto windowRun = [&] {
            expect(receipts(suWindow), 0, "receipts before the window's run");
            boxes.clear();
            paints.byClass.clear();
            const long c0 = dm.conVek.connectCount();
            const double cpu0 = cpuSeconds();
            const auto t0 = Clock::now();
            window.ButtonImportaToateIncasarileClick();
            const Timing t{secondsSince(t0), dm.conVek.connectCount() - c0, cpuSeconds() - cpu0, paints.total()};
            if (!boxes.empty()) throw std::runtime_error("the run showed: " + boxes.back().text.toStdString());
            expect(receipts(suWindow), opt.collections, "receipts after the window's run");
            expect(allocations(suWindow), opt.collections, "allocations after the window's run");
            return t;
        };

        std::vector<Timing> windowRuns, psqlRuns;
        std::vector<std::map<std::string, long>> paintsByClass;
        for (int r = 0; r < opt.repeat; ++r) {
            if (r > 0) {
                removeReceipts(suWindow);
                removeReceipts(suPsql);
            }
            windowRuns.push_back(windowRun());
            paintsByClass.push_back(paints.byClass);

            // (b) psql.
            expect(receipts(suPsql), 0, "receipts before psql's run");
            rusage c0{};
            getrusage(RUSAGE_CHILDREN, &c0);
            const double s = run(psql);
            rusage c1{};
            getrusage(RUSAGE_CHILDREN, &c1);
            auto secs = [](const timeval& a, const timeval& b) {
                return static_cast<double>(b.tv_sec - a.tv_sec) + static_cast<double>(b.tv_usec - a.tv_usec) / 1e6;
            };
            psqlRuns.push_back({s, 1, secs(c0.ru_utime, c1.ru_utime) + secs(c0.ru_stime, c1.ru_stime), 0});
            expect(receipts(suPsql), opt.collections, "receipts after psql's run");
            expect(allocations(suPsql), opt.collections, "allocations after psql's run");
        }

        const FunctionTime serverWindow = functionTime(suWindow), serverPsql = functionTime(suPsql);

        // (a) again with the window hidden: the same walk, nothing to paint.
        window.hide();
        std::vector<Timing> hiddenRuns;
        for (int r = 0; r < opt.repeat; ++r) {
            removeReceipts(suWindow);
            hiddenRuns.push_back(windowRun());
        }
        FunctionTime serverHidden = functionTime(suWindow);
        serverHidden.calls -= serverWindow.calls;
        serverHidden.ms -= serverWindow.ms;
        window.show();
        QApplication::processEvents();
        window.cxDateEditDataIncep->setDate(start);
        app.removeEventFilter(&paints);

        // The window's refresh alone, on the log as the run left it, under a
        // held connection as in the run; and psql reading the same.
        double refresh = 1e99, readLog = 1e99;
        {
            db::Connection::Use hold(dm.conVek);
            for (int i = 0; i < 3; ++i) {
                const auto t = Clock::now();
                q.refresh();
                refresh = std::min(refresh, secondsSince(t));
            }
        }
        for (int i = 0; i < 3; ++i) readLog = std::min(readLog, run(psqlLog));

        // (c) Without the connection held, for contrast.
        removeReceipts(suWindow);
        window.ButtonCautaClick();
        grid::DataGrid& view = *window.cxGrid1DBTableView1;
        view.focusFirstRow();
        auto skipPosted = [&] {
            while (!q.isNull("nr_ch") && view.focusNextRow()) {
            }
        };
        Timing single, bare, held;
        {
            const long c0 = dm.conVek.connectCount();
            const auto t0 = Clock::now();
            for (int i = 0; i < opt.single; ++i) {
                skipPosted();
                window.ButtonImportaIncasareaClick();
                view.focusNextRow();
            }
            single = {secondsSince(t0), dm.conVek.connectCount() - c0, 0, 0};
        }
        expect(receipts(suWindow), opt.single, "receipts after the single postings");
        {
            const long c0 = dm.conVek.connectCount();
            const auto t0 = Clock::now();
            for (int i = 0; i < opt.single; ++i) {
                skipPosted();
                postCurrent(window);
                view.focusNextRow();
            }
            bare = {secondsSince(t0), dm.conVek.connectCount() - c0, 0, 0};
        }
        {
            const long c0 = dm.conVek.connectCount();
            const auto t0 = Clock::now();
            db::Connection::Use hold(dm.conVek);
            for (int i = 0; i < opt.single; ++i) {
                skipPosted();
                postCurrent(window);
                view.focusNextRow();
            }
            held = {secondsSince(t0), dm.conVek.connectCount() - c0, 0, 0};
        }
        expect(receipts(suWindow), 3LL * opt.single, "receipts after the postings for contrast");
        if (!boxes.empty()) throw std::runtime_error("a message: " + boxes.back().text.toStdString());

        auto best = [](const std::vector<Timing>& v) {
            return static_cast<size_t>(std::min_element(v.begin(), v.end(), [](const Timing& a, const Timing& b) {
                                           return a.seconds < b.seconds;
                                       }) - v.begin());
        };
        const size_t bestWindow = best(windowRuns);
        const Timing bw = windowRuns[bestWindow], bp = psqlRuns[best(psqlRuns)];
        const Timing hidden = hiddenRuns[best(hiddenRuns)];
        const double ratio = bw.seconds / bp.seconds;
        const long long n = opt.collections;

        std::printf("\nPosting %lld collections, each with its invoice; a log of %lld collections, %lld shown by a "
                    "search from %s; conVek in disconnected mode, SSL required, 127.0.0.1:%d; best of %d runs\n\n",
                    n, logged, inRange, startText.c_str(), env.port, opt.repeat);
        std::printf("  %-56s %8s %9s %11s %11s\n", "", "wall s", "ms/post", "connections", "client cpu s");
        std::printf("  %-56s %8.3f %9s %11ld %11.3f\n", "(a) window: ButtonImportaToateIncasarileClick", bw.seconds,
                    msPer(bw.seconds, n).c_str(), bw.connections, bw.cpu);
        std::printf("  %-56s %8.3f %9s %11ld %11.3f\n", "(b) psql -f: the function called over one connection",
                    bp.seconds, msPer(bp.seconds, n).c_str(), bp.connections, bp.cpu);
        std::printf("  %-56s %8.2f  (target <= 1.3: %s)\n", "(a) / (b)", ratio, ratio <= 1.3 ? "met" : "MISSED");
        std::printf("\n  every run, s:  window");
        for (const Timing& t : windowRuns) std::printf(" %.3f", t.seconds);
        std::printf("   psql");
        for (const Timing& t : psqlRuns) std::printf(" %.3f", t.seconds);
        std::printf("   window hidden");
        for (const Timing& t : hiddenRuns) std::printf(" %.3f", t.seconds);
        std::printf("\n\n  Where the window's time goes:\n");
        std::printf("  %-56s %8.3f %9s %11ld %11.3f\n", "(a) with the window hidden (nothing painted)", hidden.seconds,
                    msPer(hidden.seconds, n).c_str(), hidden.connections, hidden.cpu);
        std::printf("  %-56s %8.2f\n", "  (a) hidden / (b)", hidden.seconds / bp.seconds);
        auto perCall = [](const FunctionTime& f) { return f.calls > 0 ? f.ms / static_cast<double>(f.calls) : 0.0; };
        std::printf("  %-56s %8.3f ms over %lld calls\n", "server time in the function, window's database",
                    perCall(serverWindow), serverWindow.calls);
        std::printf("  %-56s %8.3f ms over %lld calls\n", "  the same, runs with the window hidden",
                    perCall(serverHidden), serverHidden.calls);
        std::printf("  %-56s %8.3f ms over %lld calls\n", "server time in the function, psql's database",
                    perCall(serverPsql), serverPsql.calls);
        std::printf("  %-56s %8.3f\n", "refresh of the log, connection held (best of 3)", refresh);
        std::printf("  %-56s %8.3f\n", "  psql reading the same statement, with its connect", readLog);
        std::printf("  paint events delivered during the best run (a): %ld, %.1f per posting;\n    ", bw.paints,
                    static_cast<double>(bw.paints) / static_cast<double>(n));
        {
            std::vector<std::pair<long, std::string>> top;
            for (const auto& [name, count] : paintsByClass[bestWindow]) top.emplace_back(count, name);
            std::sort(top.rbegin(), top.rend());
            for (size_t i = 0; i < top.size() && i < 8; ++i)
                std::printf("%s%s %ld", i ? ", " : "", top[i].second.c_str(), top[i].first);
            std::printf("\n");
        }
        std::printf("\n  (c) For contrast, %d postings each, connection not held unless said:\n", opt.single);
        std::printf("  %-56s %8.3f %9s %11ld\n", "ButtonImportaIncasareaClick one by one (posting + refresh)",
                    single.seconds, msPer(single.seconds, opt.single).c_str(), single.connections);
        std::printf("  %-56s %8.3f %9s %11ld\n", "the posting component alone", bare.seconds,
                    msPer(bare.seconds, opt.single).c_str(), bare.connections);
        std::printf("  %-56s %8.3f %9s %11ld\n", "the posting component alone, a Use held around them",
                    held.seconds, msPer(held.seconds, opt.single).c_str(), held.connections);
        std::printf("\n  receipts and allocations checked by SQL after every run\n");
        window.close();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_posting: %s\n", e.what());
        return 1;
    }
}
