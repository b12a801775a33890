// The reference databases as loaded by db/load.sh: the columns the program's
// queries declare, what a new company database starts with, the demo logins
// and the demo log, and the limits of the account vek.
#include <QTest>

#include <algorithm>

#include "collections_fixture.h"
#include "log_view_sql.h"

using dbf::q;
using testdb::Connection;

namespace {

// The result columns that the program's queries declare, by table and kind:
// "name" or "name:width" for text of a width.
struct Declared {
    const char* table;
    const char* type;  // information_schema data_type
    int count;         // how many names the list holds
    const char* columns;
};

const Declared kDeclared[] = {
    {"emitent", "character varying", 32,
     "emitent:100 emitent_corect:100 operator_parola:256 cod_casier_pos:10 "
     "banca_eu_default:100 cont_banca_eu_default:28 casa:50 moneda:3 magazie_sursa_default:5 "
     "magazie_dest_default:5 functie:30 eu_punct_lucru:50 com_int:25 loc:25 nr_obiect:20 "
     "ci_nume:30 ci_serie:3 ci_nr:25 ci_elib:25 cnp:25 transport_mijloc:25 transport_nr:25 "
     "em_email_adr:50 tel_fix:30 tel_mobil:30 em_outgoing_email_server:50 "
     "em_outgoing_email_user:50 em_outgoing_email_psw:50 lang:15 rol_web:25 rol_win:25 "
     "web_theme:25"},
    {"emitent", "boolean", 26,
     "este_emitent este_operator este_comisionar este_sofer da_nu_schimbare_pl "
     "da_nu_adaugare_partener da_nu_adaugare_articol da_nu_acces_la_politica_pret "
     "da_nu_modif_data_listare da_nu_acces_limita_creditare prez_of_stoc_fact_cl "
     "prez_of_stoc_av_exp prez_of_stoc_bte prez_of_stoc_bc pret_fact_cl_cu_tva "
     "da_nu_fact_pe_calc da_nu_modif_nr_fact_pe_calc da_nu_fact_autocopy da_nu_aviz_autocopy "
     "da_nu_modif_data_livrare da_nu_fact_ci_rosu em_outgoing_email_secure em_outlook "
     "discontinued vede_pret_stoc da_nu_generare_op"},
    {"emitent", "integer", 2,
     "nr_zile_prezentare_doc em_outgoing_email_port"},
    {"emitent", "double precision", 1,
     "proc_comisionar"},
    {"emitent", "date", 2,
     "ci_data_elib data_ins"},
    {"emitent", "timestamp without time zone", 2,
     "data_export data_import"},
    {"aplicatie_mob", "character varying", 1,
     "aplicatie_mob:100"},
    {"aplicatie_mob", "text", 1,
     "obs"},
    {"aplicatie_mob", "boolean", 1,
     "activ"},
    {"aplicatie_mob_emitent", "character varying", 2,
     "aplicatie_mob:100 emitent:100"},
    {"aplicatie_mob_emitent", "text", 1,
     "rol"},
    {"eu", "character varying", 51,
     "cod_cci:20 atribut_fiscal:3 tip_societate:20 reg_comert_jud:5 reg_comert_nr:7 "
     "reg_comert_jud_suc:5 reg_comert_nr_suc:7 cnp_a:13 eu:100 eu_sediu:30 trezoreria:100 "
     "trezoreria_cont:28 tara:3 localit:30 adresa:100 telefon:50 fax:50 email_adr:50 "
     "web_adr:50 nr_insp_munca:15 formula_calcul_co:30 formula_calcul_avans_q:30 "
     "nr_autorizatie_alcool:30 metoda_stoc:4 tip_contabilitate:20 strada:50 nr_strada:10 "
     "bloc:10 scara:5 etaj:5 apt:5 sector:1 cod_postal_adresa:6 sup_eu_denumire:100 "
     "sup_eu_cui:13 eu_cui:13 eu_cif:13 eu_reprezentant_legal:100 cod_caen:6 "
     "tip_administrare_soc:50 capital_social:100 casa_asig_sanatate:2 nr_licenta_turism:20 "
     "mod_plata_tva:20 gln:13 reges_cod_tip_angajator:20 reges_cod_forma_organizare:70 "
     "reges_cod_forma_juridica:48 reges_cod_tip_societate:30 reges_cod_forma_proprietate:8 "
     "reges_cod_act_id_pf:25"},
    {"eu", "text", 2,
     "jas_ip jas_ip_ext"},
    {"eu", "boolean", 41,
     "da_nu_modif_ore_prez da_nu_dimin_avans_cu_ret da_nu_scadere_stoc_in_viitor "
     "da_nu_impozit_profit da_nu_nevoi_firma da_nu_platitor_tva_in_vama prez_of_stoc_fact_cl "
     "da_nu_postcalcul prez_of_stoc_av_exp prez_of_stoc_bte prez_of_stoc_bc "
     "pret_fact_cl_cu_tva pret_nir_cu_tva pret_cmd_client_cu_tva da_nu_tva_neexigibil "
     "da_nu_list_fact_pr_ctl da_nu_list_fact_neop_stoc da_nu_bon_pe_calc "
     "da_nu_cmd_pe_extrasb da_nu_fact_pe_calc da_nu_fact_autocopy da_nu_aviz_autocopy "
     "da_nu_nir_in_mag_dest da_nu_politica_pret_punct_lucru da_nu_nota_c_fara_restrictie "
     "da_nu_mon_cont_tip_doc da_nu_balanta_pe_obiective da_nu_rezervare_stoc "
     "da_nu_contare_avz_c da_nu_contare_nirad da_nu_autoinchidere_cmd_client "
     "da_nu_autoinchidere_cmd_furn da_nu_institutie_publica da_nu_balanta_pe_subunitati "
     "da_nu_b_casa_stoc da_nu_b_casa_articol da_nu_salarii_in_postcalcul "
     "da_nu_turism_in_comision da_nu_confirmare_comanda da_nu_micro_intreprindere "
     "da_nu_tva_nededus_cont_separat"},
    {"eu", "integer", 3,
     "formula_calcul_penalitati rotunjire_avans rotunjire_lichidare"},
    {"eu", "double precision", 13,
     "nr_pers_hand_suta_ang proc_avans_co proc_avans proc_diminuare_bugetari "
     "proc_impozit_profit proc_deductibilitate norma val_limita_casa_lei "
     "proc_penaliz_intirziere cod_forma_proprietate cod_forma_organizare cod_tip_societate "
     "cod_siruta"},
    {"eu", "date", 7,
     "reg_comert_data reg_comert_data_suc data_incep_activitate data_gen_fact "
     "data_denominare data_avans data_lichidare"},
};

// The directory columns of the company lookup.
const Declared kDirectory[] = {
    {"m_firma", "character varying", 2, "nume_firma:200 pw_hash_type:23"},
    {"m_firma", "text", 2, "ip db_name"},
    {"m_firma", "integer", 1, "port"},
    {"m_firma", "boolean", 2, "activ m_site"},
};

// Checks every column of the list against information_schema.
void checkDeclared(Connection& con, const char* table, const char* type, int count, const QString& columns) {
    const QStringList names = columns.split(' ', Qt::SkipEmptyParts);
    QCOMPARE(names.size(), count);
    for (const QString& entry : names) {
        const QString name = entry.section(':', 0, 0);
        const QString width = entry.section(':', 1, 1);
        const testdb::Rows rows = con.exec(
            "select data_type, character_maximum_length::text from information_schema.columns "
            "where table_schema = 'public' and table_name = $1 and column_name = $2",
            {std::string(table), name.toStdString()});
        QVERIFY2(rows.size() == 1, qPrintable(QString("%1.%2 is missing").arg(table, name)));
        QCOMPARE(q(rows[0][0]), QString(type));
        if (!width.isEmpty()) QCOMPARE(q(rows[0][1]), width);
    }
}

}  // namespace

class TestReferenceDb : public QObject {
    Q_OBJECT

    std::unique_ptr<testdb::CompanyDatabase> company_;

private slots:
    void initTestCase() { company_ = std::make_unique<testdb::CompanyDatabase>("refdb"); }
    void cleanupTestCase() { company_.reset(); }

    void declaredColumns_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("columns");
        for (const Declared& d : kDeclared) {
            QTest::addRow("%s %s", d.table, d.type) << d.table << d.type << d.count << d.columns;
        }
    }

    void declaredColumns() {
        QFETCH(QString, table);
        QFETCH(QString, type);
        QFETCH(int, count);
        QFETCH(QString, columns);
        Connection su = company_->superuser();
        checkDeclared(su, table.toUtf8().constData(), type.toUtf8().constData(), count, columns);
    }

    void declaredColumnCounts() {
        // 65, 3, 3 and 117 columns declared; the tables may hold more.
        std::map<std::string, int> total;
        for (const Declared& d : kDeclared) total[d.table] += d.count;
        QCOMPARE(total["emitent"], 65);
        QCOMPARE(total["aplicatie_mob"], 3);
        QCOMPARE(total["aplicatie_mob_emitent"], 3);
        QCOMPARE(total["eu"], 117);
    }

    void directoryColumns() {
        Connection su(testdb::superuser("vek_mob"));
        for (const Declared& d : kDirectory) checkDeclared(su, d.table, d.type, d.count, d.columns);
        QCOMPARE(q(su.scalar("select is_nullable from information_schema.columns "
                             "where table_name = 'm_firma' and column_name = 'm_site'")),
                 QString("NO"));
        QCOMPARE(q(su.scalar("select is_nullable from information_schema.columns "
                             "where table_name = 'm_firma' and column_name = 'nume_firma'")),
                 QString("NO"));
    }

    void aNewCompanyDatabase_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one eu row") << "select count(*) from eu" << "1";
        QTest::newRow("the application row, active")
            << "select count(*) from aplicatie_mob where lower(aplicatie_mob) = lower('wparvolen') and activ"
            << "1";
        QTest::newRow("no other application") << "select count(*) from aplicatie_mob" << "1";
        QTest::newRow("no users") << "select count(*) from emitent" << "0";
        QTest::newRow("no grants") << "select count(*) from aplicatie_mob_emitent" << "0";
        QTest::newRow("no documents") << "select count(*) from doc" << "0";
        QTest::newRow("no allocations") << "select count(*) from doc_fin" << "0";
        QTest::newRow("no collections") << "select count(*) from log_sameday_incasari" << "0";
    }

    void aNewCompanyDatabase() {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        Connection vek = company_->vek();
        QCOMPARE(q(vek.scalar(sql.toStdString())), expected);
    }

    void demoLogin_data() {
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("passwordValue");  // what the login sends as pP
        QTest::addColumn<bool>("userFound");
        QTest::addColumn<QString>("role");            // null: application not granted
        const QString anaHash = "e82827b00b2ca8620beb37f879778c082b292a52270390cff35b6fe3157f4e8b";
        const QString danHash = "838f0974a3779d71f57fda16dd41149a6043d29670dd67fee98338f4bfd3eb72";
        QTest::newRow("DEMO ana") << "DEMO" << "ana" << anaHash << true << "operator";
        QTest::newRow("DEMO dan") << "DEMO" << "dan" << danHash << true << QString();
        QTest::newRow("DEMO ana, password not hashed") << "DEMO" << "ana" << "ana123" << false << "operator";
        QTest::newRow("DEMO PLAIN ana") << "DEMO PLAIN" << "ana" << "ana123" << true << "operator";
        QTest::newRow("DEMO PLAIN dan") << "DEMO PLAIN" << "dan" << "dan123" << true << QString();
        QTest::newRow("DEMO PLAIN ana, hashed") << "DEMO PLAIN" << "ana" << anaHash << false << "operator";
        QTest::newRow("DEMO Ana") << "DEMO" << "Ana" << anaHash << false << QString();
    }

    void demoLogin() {
        // The login's statements, as vek, the way the program runs them.
        QFETCH(QString, company);
        QFETCH(QString, user);
        QFETCH(QString, passwordValue);
        QFETCH(bool, userFound);
        QFETCH(QString, role);
        Connection directory(testdb::vekAccount("vek_mob"));
        const testdb::Rows dir = directory.exec("select ip, port::text, db_name, pw_hash_type from m_firma "
                                                "where nume_firma = $1",
                                                {company.toStdString()});
        QCOMPARE(dir.size(), size_t{1});
        QCOMPARE(q(dir[0][0]), QString::fromStdString(testdb::env().host));
        QCOMPARE(q(dir[0][1]), QString::number(testdb::env().port));
        QCOMPARE(q(dir[0][3]).isNull(), company == "DEMO PLAIN");
        if (company == "DEMO") QCOMPARE(q(dir[0][3]), QString("HashSHA2"));

        testdb::ConnectionParams p = testdb::vekAccount(*dir[0][2]);
        p.host = *dir[0][0];
        p.port = std::stoi(*dir[0][1]);
        Connection vek(p);
        const auto emitent = vek.exec("select *\nfrom emitent\nwhere emitent = $1\n  and operator_parola = $2\n;",
                                      {user.toStdString(), passwordValue.toStdString()});
        QCOMPARE(emitent.size(), size_t{userFound ? 1u : 0u});
        const auto app = vek.exec("select *\nfrom aplicatie_mob\nwhere lower(aplicatie_mob) = lower($1)\n  and activ\n;",
                                  {std::string("wparvolen")});
        QCOMPARE(app.size(), size_t{1});
        const auto grant = vek.exec("select rol\nfrom aplicatie_mob_emitent\nwhere emitent = $1\n"
                                    "  and lower(aplicatie_mob) = lower($2)\n;",
                                    {user.toStdString(), std::string("wparvolen")});
        QCOMPARE(grant.size(), size_t{role.isNull() ? 0u : 1u});
        if (!role.isNull()) QCOMPARE(q(grant[0][0]), role);
        const auto eu = vek.exec("select jas_ip from eu");
        QCOMPARE(eu.size(), size_t{1});
        QVERIFY(q(eu[0][0]).contains("8080"));
    }

    void demoLogView() {
        Connection vek(testdb::vekAccount("vek_demo"));
        const std::string start = *vek.scalar("select (current_date - 30)::text");
        QStringList got;
        for (const auto& r : vek.exec(dbf::kLogViewSql, {start})) {
            // referinta_client, nr_ch, partener, nr_fact
            got << QString("%1 %2 %3 %4").arg(q(r[7]), q(r[16]).isNull() ? "-" : q(r[16]),
                                              q(r[19]).isNull() ? "-" : q(r[19]),
                                              q(r[22]).isNull() ? "-" : q(r[22]));
        }
        QCOMPARE(got, (QStringList{"FCL1001 1ONBLN318204561 POPESCU ION FCL1001",
                                   "FCL1002 1ONBLN318204562 IONESCU MARIA FCL1002",
                                   "FCL1003 GLN318204563001 STOICA ANDREI -",
                                   "FCL1004 - - -"}));
    }

    void vekMayNot_data() {
        QTest::addColumn<QString>("database");  // "company" or a name
        QTest::addColumn<QString>("sql");
        const QString co = "company";
        QTest::newRow("insert a document") << co << "insert into doc (data_doc, tip_doc, nr_doc) values "
                                                    "(current_date, 'Ch_INC', 'X')";
        QTest::newRow("change a document") << co << "update doc set val_mon = 0";
        QTest::newRow("read every document column") << co << "select * from doc";
        QTest::newRow("read who made a document") << co << "select emitent from doc";
        QTest::newRow("insert an allocation") << co << "insert into doc_fin select * from doc_fin";
        QTest::newRow("delete allocations") << co << "delete from doc_fin";
        QTest::newRow("read the allocated amount") << co << "select suma from doc_fin";
        QTest::newRow("write the log") << co << "insert into log_sameday_incasari (awb) values ('X')";
        QTest::newRow("change the log") << co << "update log_sameday_incasari set awb = 'X'";
        QTest::newRow("empty the log") << co << "truncate log_sameday_incasari";
        QTest::newRow("add a user") << co << "insert into emitent (emitent) values ('eva')";
        QTest::newRow("change a password") << co << "update emitent set operator_parola = 'x'";
        QTest::newRow("grant the application") << co << "insert into aplicatie_mob_emitent values ('wParvolen', 'ana', 'x')";
        QTest::newRow("change the company") << co << "update eu set jas_ip = 'x'";
        QTest::newRow("create a table") << co << "create table t (x integer)";
        QTest::newRow("create a temporary table") << co << "create temporary table t (x integer)";
        QTest::newRow("change a table") << co << "alter table doc add column x integer";
        QTest::newRow("call a helper function") << co << "select sameday_text_to_date('15.03.2024')";
        QTest::newRow("change the directory") << "vek_mob" << "update m_firma set ip = 'x'";
        QTest::newRow("add a company") << "vek_mob" << "insert into m_firma (nume_firma, m_site) values ('X', false)";
        QTest::newRow("create a table in the directory") << "vek_mob" << "create table t (x integer)";
    }

    void vekMayNot() {
        QFETCH(QString, database);
        QFETCH(QString, sql);
        Connection vek(testdb::vekAccount(database == "company" ? company_->name() : database.toStdString()));
        try {
            vek.exec(sql.toStdString());
            QFAIL("vek was allowed to");
        } catch (const testdb::Error& e) {
            QVERIFY2(e.sqlstate() == "42501", e.what());  // insufficient_privilege
        }
    }

    void vekCannotConnectToTheTemplate() {
        try {
            Connection vek(testdb::vekAccount("vek_template"));
            QFAIL("vek connected to vek_template");
        } catch (const testdb::Error& e) {
            QVERIFY2(QString(e.what()).contains("not currently accepting connections"), e.what());
        }
    }

    void vekCannotConnectToAnotherCompanyDatabase() {
        // A database made without the grant, as a site would make one for
        // another program.
        Connection su(testdb::superuser("postgres"));
        const std::string name = "other_" + company_->name();
        su.exec("create database " + testdb::quoteIdentifier(name) + " template vek_template");
        su.exec("revoke all on database " + testdb::quoteIdentifier(name) + " from public");
        QString error;
        try {
            Connection vek(testdb::vekAccount(name));
        } catch (const testdb::Error& e) {
            error = e.what();
        }
        testdb::dropDatabase(name);
        QVERIFY2(error.contains("permission denied for database"), qPrintable(error));
    }

    void roles_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("vek logs in, nothing more")
            << "select concat_ws(',', rolcanlogin, rolsuper, rolcreatedb, rolcreaterole, rolreplication, "
               "rolbypassrls) from pg_roles where rolname = 'vek'"
            << "t,f,f,f,f,f";
        QTest::newRow("vek is a member of no role")
            << "select count(*) from pg_auth_members m join pg_roles r on r.oid = m.member where r.rolname = 'vek'"
            << "0";
        QTest::newRow("the functions' owner cannot log in")
            << "select concat_ws(',', rolcanlogin, rolsuper) from pg_roles where rolname = 'vek_owner'"
            << "f,f";
        QTest::newRow("the two functions run as their owner with a fixed path")
            << "select string_agg(concat_ws(' ', proname, prosecdef, pg_get_userbyid(proowner), "
               "array_to_string(proconfig, ';')), ' | ' order by proname) from pg_proc "
               "where proname in ('o_sameday_log_ins', 'o_generare_incasare_awb_sameday')"
            << "o_generare_incasare_awb_sameday t vek_owner search_path=pg_catalog, public, pg_temp | "
               "o_sameday_log_ins t vek_owner search_path=pg_catalog, public, pg_temp";
        QTest::newRow("only vek may run them")
            << "select string_agg(proname || ' ' || array_to_string(proacl, ','), ' | ' order by proname) "
               "from pg_proc where proname in ('o_sameday_log_ins', 'o_generare_incasare_awb_sameday')"
            << "o_generare_incasare_awb_sameday vek_owner=X/vek_owner,vek=X/vek_owner | "
               "o_sameday_log_ins vek_owner=X/vek_owner,vek=X/vek_owner";
    }

    void roles() {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        Connection su = company_->superuser();
        QCOMPARE(q(su.scalar(sql.toStdString())), expected);
    }
};

QTEST_GUILESS_MAIN(TestReferenceDb)
#include "tst_reference_db.moc"
