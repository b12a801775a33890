// Opening the collections log query over a large log, against psql fetching
// the same statement. Prints the figures; asserts nothing.
//
//   scripts/with-test-db build/bench/db/bench_db [rows] [repeats]
//
// Builds its own database on the SSL test cluster: a log of `rows` collections
// (1,000,000 by default), a receipt for every second one and an allocation for
// every fourth, with the column types of the reference schema. Both sides
// connect as vek over TCP with the same SSL mode and fetch every row of the
// log query (23 columns). psql runs "psql -X -A -t" with its output thrown
// away; its output is also counted, as the size of the rows in text.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "db.h"
#include "site.h"
#include "log_statement.h"
#include "testdb.h"

namespace {

const char* const kLogQuery = testdb::kLogStatement;

std::vector<db::FieldDef> logFields() {
    using K = db::FieldKind;
    return {{"data_log", K::DateTime},         {"awb", K::LongText},
            {"nume_destinatar", K::LongText},  {"judet_destinatar", K::LongText},
            {"oras_destinatar", K::LongText},  {"adresa_destinatar", K::LongText},
            {"adresa_ridicare", K::LongText},  {"referinta_client", K::LongText},
            {"suma_ramburs", K::Double},       {"data_awb", K::Date},
            {"data_colectare_ramburs", K::Date}, {"numar_colete_livrate", K::LongText},
            {"nume_fisier", K::LongText},      {"err_ins_vek", K::LongText},
            {"data_ch", K::Date},              {"tip_ch", K::Text, 7},
            {"nr_ch", K::Text, 15},            {"val_mon_ch", K::Double},
            {"moneda_ch", K::Text, 3},         {"partener", K::Text, 100},
            {"data_fact", K::Date},            {"tip_fact", K::Text, 7},
            {"nr_fact", K::Text, 15}};
}

void createData(const std::string& dbname, long rows) {
    testdb::Connection su(testdb::superuser(dbname));
    su.exec(R"(
create table doc (
    data_doc date not null, tip_doc varchar(7) not null, nr_doc varchar(15) not null,
    val_mon numeric(15,2) not null default 0, moneda varchar(3) not null default 'RON',
    partener varchar(100), primary key (data_doc, tip_doc, nr_doc));
create table doc_fin (
    data_doc_fin date not null, tip_doc_fin varchar(7) not null, nr_doc_fin varchar(15) not null,
    data_doc_com date not null, tip_doc_com varchar(7) not null, nr_doc_com varchar(15) not null,
    data_repartizare date,
    primary key (data_doc_fin, tip_doc_fin, nr_doc_fin, data_doc_com, tip_doc_com, nr_doc_com));
create index doc_fin_latest on doc_fin (data_doc_fin, tip_doc_fin, nr_doc_fin,
    data_repartizare desc, data_doc_com desc, tip_doc_com, nr_doc_com desc);
create table log_sameday_incasari (
    data_log timestamp not null default localtimestamp, awb text, nume_destinatar text,
    judet_destinatar text, oras_destinatar text, adresa_destinatar text, adresa_ridicare text,
    referinta_client text, suma_ramburs numeric, data_awb date, data_colectare_ramburs date,
    numar_colete_livrate text, nume_fisier text, err_ins_vek text,
    constraint log_sameday_incasari_awb unique (data_awb, awb));
grant select on doc, doc_fin, log_sameday_incasari to vek;
)");
    const std::string n = std::to_string(rows);
    su.exec("insert into log_sameday_incasari select"
            " localtimestamp - (g % 5000) * interval '17 minutes 3.25 seconds',"
            " '1EMGLIN' || lpad(g::text, 12, '0'),"
            " 'Destinatar Popescu ' || g,"
            " (array['Bucuresti','Cluj','Iasi','Timis','Constanta'])[1 + g % 5],"
            " 'Oras ' || (g % 300),"
            " 'Str. Lunga nr. ' || (g % 200) || ', bl. ' || (g % 40) || ', ap. ' || (g % 90),"
            " 'Depozit central, Sos. de centura 10',"
            " 'FCT' || lpad((g / 2)::text, 8, '0'),"
            " round((10 + (g % 100000) / 100.0)::numeric, 2),"
            " current_date - (g % 900),"
            " current_date - (g % 900) + 2,"
            " (1 + g % 3)::text,"
            " 'raport_sameday_' || (g % 60) || '.xlsx',"
            " case when g % 50 = 0 then 'Suma ramburs nu este un numar' end"
            " from generate_series(1, " + n + ") g");
    su.exec("insert into doc select data_awb, 'Ch_INC', right(awb, 15), suma_ramburs, 'RON',"
            " 'Partener SRL ' || (length(awb) + ascii(right(awb, 1)))"
            " from log_sameday_incasari where right(awb, 1) in ('0','2','4','6','8')");
    su.exec("insert into doc_fin select data_doc, tip_doc, nr_doc, data_doc - 10, 'FCT', 'F' || right(nr_doc, 14), data_doc"
            " from doc where right(nr_doc, 1) in ('0','4','8')");
    su.exec("analyze");
}

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Runs a shell command; the time it took, or a negative number on failure.
double timeCommand(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    const int rc = std::system(command.c_str());
    const auto took = seconds(std::chrono::steady_clock::now() - start);
    return (rc == 0) ? took : -1.0;
}

long maxRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    try {
        const testdb::Env& env = testdb::env();
        const std::string dbname = "wpv_bench_db_" + std::to_string(getpid());
        testdb::Connection admin(testdb::superuser("postgres"));
        admin.exec("create database " + dbname + " template template0 encoding 'UTF8'");
        struct Drop {
            std::string name;
            ~Drop() {
                try {
                    testdb::dropDatabase(name);
                } catch (...) {
                }
            }
        } drop{dbname};
        admin.exec("grant connect on database " + dbname + " to vek");
        std::printf("building %ld log rows...\n", rows);
        std::fflush(stdout);
        createData(dbname, rows);

        // psql runs the statement with the start date written in.
        std::string plain = kLogQuery;
        plain.replace(plain.find(":pDataIncep"), 11, "date '2000-01-01'");
        const std::string sqlFile = "/tmp/" + dbname + ".sql";
        std::ofstream(sqlFile) << plain << "\n";
        const std::string psql = "PGPASSWORD='" + site::databasePassword() + "' PGSSLMODE=prefer psql -X -A -t -h " +
                                 env.host + " -p " + std::to_string(env.port) + " -U vek -d " + dbname + " -f " +
                                 sqlFile;
        const std::string sizeFile = "/tmp/" + dbname + ".size";
        if (timeCommand(psql + " | wc -c > " + sizeFile) < 0) throw db::Error("psql failed");
        long textBytes = 0;
        std::ifstream(sizeFile) >> textBytes;

        db::Connection conn("conVek");
        conn.setServer(env.host);
        conn.setPort(env.port);
        conn.setDatabase(dbname);
        conn.setUsername(site::databaseUser());
        conn.setPassword(site::databasePassword());
        conn.setSslMode(db::SslMode::Prefer);
        conn.setDisconnectedMode(true);

        // The server's own share: the same statement counted, not sent.
        std::string counted = plain;
        counted.erase(counted.rfind(';'));
        const std::string countFile = "/tmp/" + dbname + ".count.sql";
        std::ofstream(countFile) << "select count(*) from (" << counted << ") rows;\n";
        std::string psqlCount = psql;
        psqlCount.replace(psqlCount.rfind(sqlFile), sqlFile.size(), countFile);

        std::vector<double> psqlTimes, openTimes, serverTimes;
        size_t memory = 0, count = 0;
        const long rssBefore = maxRssKb();
        for (int i = 0; i < repeats; ++i) {
            const double t = timeCommand(psql + " > /dev/null");
            if (t < 0) throw db::Error("psql failed");
            psqlTimes.push_back(t);
            const double s = timeCommand(psqlCount + " > /dev/null");
            if (s < 0) throw db::Error("psql failed");
            serverTimes.push_back(s);

            db::Query q("dsLogSamedayIncasari", conn, kLogQuery, logFields(), {"data_awb; awb;"});
            q.paramByName("pDataIncep").setDate(std::chrono::year{2000} / 1 / 1);
            const auto start = std::chrono::steady_clock::now();
            q.open();
            openTimes.push_back(seconds(std::chrono::steady_clock::now() - start));
            memory = q.memoryBytes();
            count = q.recordCount();
        }
        const long rssPeak = maxRssKb();

        const double psqlTime = median(psqlTimes), openTime = median(openTimes);
        std::printf("log query, %zu rows x 23 columns, %d runs each (median)\n", count, repeats);
        const double serverTime = median(serverTimes);
        std::printf("  psql -A -t to /dev/null     %8.3f s\n", psqlTime);
        std::printf("  Query::open                 %8.3f s   ratio %.2f (limit 2.00)\n", openTime,
                    openTime / psqlTime);
        std::printf("  server alone (count(*))     %8.3f s\n", serverTime);
        std::printf("  beyond the server: psql %.3f s, Query::open %.3f s\n", psqlTime - serverTime,
                    openTime - serverTime);
        std::printf("  psql unaligned text         %8.1f MB\n", static_cast<double>(textBytes) / 1e6);
        std::printf("  rows in memory              %8.1f MB   ratio %.2f (limit 1.50)\n",
                    static_cast<double>(memory) / 1e6, static_cast<double>(memory) / static_cast<double>(textBytes));
        std::printf("  peak RSS growth while open  %8.1f MB\n", static_cast<double>(rssPeak - rssBefore) / 1e3);

        std::remove(sqlFile.c_str());
        std::remove(sizeFile.c_str());
        std::remove(countFile.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_db: %s\n", e.what());
        return 1;
    }
    return 0;
}
