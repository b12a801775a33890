#include "u_dmCon.h"

#include "site.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace {

using db::FieldDef;
using db::FieldKind;

// Declared result columns, grouped by kind as the design lists them.
struct Columns {
    std::vector<FieldDef> defs;

    Columns& text(std::initializer_list<std::pair<const char*, int>> cols) {
        for (const auto& [name, width] : cols) defs.push_back({name, FieldKind::Text, width, false, false});
        return *this;
    }
    Columns& of(FieldKind kind, std::initializer_list<const char*> names) {
        for (const char* name : names) defs.push_back({name, kind, 0, false, false});
        return *this;
    }
};

std::string lines(std::initializer_list<const char*> text) {
    std::string sql;
    for (const char* line : text) {
        if (!sql.empty()) sql += '\n';
        sql += line;
    }
    return sql;
}

std::vector<FieldDef> emitentColumns() {
    return Columns{}
        .text({{"emitent", 100}, {"emitent_corect", 100}, {"operator_parola", 256}, {"cod_casier_pos", 10},
               {"banca_eu_default", 100}, {"cont_banca_eu_default", 28}, {"casa", 50}, {"moneda", 3},
               {"magazie_sursa_default", 5}, {"magazie_dest_default", 5}, {"functie", 30},
               {"eu_punct_lucru", 50}, {"com_int", 25}, {"loc", 25}, {"nr_obiect", 20}, {"ci_nume", 30},
               {"ci_serie", 3}, {"ci_nr", 25}, {"ci_elib", 25}, {"cnp", 25}, {"transport_mijloc", 25},
               {"transport_nr", 25}, {"em_email_adr", 50}, {"tel_fix", 30}, {"tel_mobil", 30},
               {"em_outgoing_email_server", 50}, {"em_outgoing_email_user", 50},
               {"em_outgoing_email_psw", 50}, {"lang", 15}, {"rol_web", 25}, {"rol_win", 25},
               {"web_theme", 25}})
        .of(FieldKind::Boolean,
            {"este_emitent", "este_operator", "este_comisionar", "este_sofer", "da_nu_schimbare_pl",
             "da_nu_adaugare_partener", "da_nu_adaugare_articol", "da_nu_acces_la_politica_pret",
             "da_nu_modif_data_listare", "da_nu_acces_limita_creditare", "prez_of_stoc_fact_cl",
             "prez_of_stoc_av_exp", "prez_of_stoc_bte", "prez_of_stoc_bc", "pret_fact_cl_cu_tva",
             "da_nu_fact_pe_calc", "da_nu_modif_nr_fact_pe_calc", "da_nu_fact_autocopy",
             "da_nu_aviz_autocopy", "da_nu_modif_data_livrare", "da_nu_fact_ci_rosu",
             "em_outgoing_email_secure", "em_outlook", "discontinued", "vede_pret_stoc",
             "da_nu_generare_op"})
        .of(FieldKind::Integer, {"nr_zile_prezentare_doc", "em_outgoing_email_port"})
        .of(FieldKind::Double, {"proc_comisionar"})
        .of(FieldKind::Date, {"ci_data_elib", "data_ins"})
        .of(FieldKind::DateTime, {"data_export", "data_import"})
        .defs;
}

std::vector<FieldDef> aplicatieMobColumns() {
    return Columns{}
        .text({{"aplicatie_mob", 100}})
        .of(FieldKind::LongText, {"obs"})
        .of(FieldKind::Boolean, {"activ"})
        .defs;
}

std::vector<FieldDef> aplicatieMobEmitentColumns() {
    return Columns{}.text({{"aplicatie_mob", 100}, {"emitent", 100}}).of(FieldKind::LongText, {"rol"}).defs;
}

std::vector<FieldDef> euColumns() {
    return Columns{}
        .text({{"cod_cci", 20}, {"atribut_fiscal", 3}, {"tip_societate", 20}, {"reg_comert_jud", 5},
               {"reg_comert_nr", 7}, {"reg_comert_jud_suc", 5}, {"reg_comert_nr_suc", 7}, {"cnp_a", 13},
               {"eu", 100}, {"eu_sediu", 30}, {"trezoreria", 100}, {"trezoreria_cont", 28}, {"tara", 3},
               {"localit", 30}, {"adresa", 100}, {"telefon", 50}, {"fax", 50}, {"email_adr", 50},
               {"web_adr", 50}, {"nr_insp_munca", 15}, {"formula_calcul_co", 30},
               {"formula_calcul_avans_q", 30}, {"nr_autorizatie_alcool", 30}, {"metoda_stoc", 4},
               {"tip_contabilitate", 20}, {"strada", 50}, {"nr_strada", 10}, {"bloc", 10}, {"scara", 5},
               {"etaj", 5}, {"apt", 5}, {"sector", 1}, {"cod_postal_adresa", 6}, {"sup_eu_denumire", 100},
               {"sup_eu_cui", 13}, {"eu_cui", 13}, {"eu_cif", 13}, {"eu_reprezentant_legal", 100},
               {"cod_caen", 6}, {"tip_administrare_soc", 50}, {"capital_social", 100},
               {"casa_asig_sanatate", 2}, {"nr_licenta_turism", 20}, {"mod_plata_tva", 20}, {"gln", 13},
               {"reges_cod_tip_angajator", 20}, {"reges_cod_forma_organizare", 70},
               {"reges_cod_forma_juridica", 48}, {"reges_cod_tip_societate", 30},
               {"reges_cod_forma_proprietate", 8}, {"reges_cod_act_id_pf", 25}})
        .of(FieldKind::LongText, {"jas_ip", "jas_ip_ext"})
        .of(FieldKind::Boolean,
            {"da_nu_modif_ore_prez", "da_nu_dimin_avans_cu_ret", "da_nu_scadere_stoc_in_viitor",
             "da_nu_impozit_profit", "da_nu_nevoi_firma", "da_nu_platitor_tva_in_vama", "prez_of_stoc_fact_cl",
             "da_nu_postcalcul", "prez_of_stoc_av_exp", "prez_of_stoc_bte", "prez_of_stoc_bc",
             "pret_fact_cl_cu_tva", "pret_nir_cu_tva", "pret_cmd_client_cu_tva", "da_nu_tva_neexigibil",
             "da_nu_list_fact_pr_ctl", "da_nu_list_fact_neop_stoc", "da_nu_bon_pe_calc",
             "da_nu_cmd_pe_extrasb", "da_nu_fact_pe_calc", "da_nu_fact_autocopy", "da_nu_aviz_autocopy",
             "da_nu_nir_in_mag_dest", "da_nu_politica_pret_punct_lucru", "da_nu_nota_c_fara_restrictie",
             "da_nu_mon_cont_tip_doc", "da_nu_balanta_pe_obiective", "da_nu_rezervare_stoc",
             "da_nu_contare_avz_c", "da_nu_contare_nirad", "da_nu_autoinchidere_cmd_client",
             "da_nu_autoinchidere_cmd_furn", "da_nu_institutie_publica", "da_nu_balanta_pe_subunitati",
             "da_nu_b_casa_stoc", "da_nu_b_casa_articol", "da_nu_salarii_in_postcalcul",
             "da_nu_turism_in_comision", "da_nu_confirmare_comanda", "da_nu_micro_intreprindere",
             "da_nu_tva_nededus_cont_separat"})
        .of(FieldKind::Integer, {"formula_calcul_penalitati", "rotunjire_avans", "rotunjire_lichidare"})
        .of(FieldKind::Double,
            {"nr_pers_hand_suta_ang", "proc_avans_co", "proc_avans", "proc_diminuare_bugetari",
             "proc_impozit_profit", "proc_deductibilitate", "norma", "val_limita_casa_lei",
             "proc_penaliz_intirziere", "cod_forma_proprietate", "cod_forma_organizare", "cod_tip_societate",
             "cod_siruta"})
        .of(FieldKind::Date,
            {"reg_comert_data", "reg_comert_data_suc", "data_incep_activitate", "data_gen_fact",
             "data_denominare", "data_avans", "data_lichidare"})
        .defs;
}

QColor rgb(unsigned value) { return QColor::fromRgb(static_cast<QRgb>(value)); }

// MS Sans Serif, 11 pixels (8 pt at 96 dpi); the platform substitutes a
// similar face where it is missing.
QFont msSansSerif(bool bold) {
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    f.setBold(bold);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

grid::Style style(const char* name, std::optional<QColor> background, std::optional<QColor> text = {},
                  std::optional<QFont> font = {}) {
    return grid::Style{QString::fromLatin1(name), background, text, font};
}

}  // namespace

TcxStyleRepository::TcxStyleRepository()
    : cxStyle1(style("cxStyle1", rgb(0xFFFBF0))),
      cxStyle2(style("cxStyle2", rgb(0xD9EAF7), QColor(Qt::black), msSansSerif(false))),
      cxStyle3(style("cxStyle3", rgb(0xD9EAF7), QColor(Qt::black))),
      cxStyle4(style("cxStyle4", rgb(0xEAF3FB), QColor(Qt::black))),
      cxStyle5(style("cxStyle5", rgb(0xFFFFE1), QColor(Qt::black))),
      cxStyle6(style("cxStyle6", rgb(0xFFFFE1), rgb(0x000080), msSansSerif(true))),
      cxStyle7(style("cxStyle7", rgb(0xF1EFE2))),
      cxStyle8(style("cxStyle8", rgb(0xFED547), QColor(Qt::black))),
      cxStyle9(style("cxStyle9", rgb(0x316AC5), QColor(Qt::white), msSansSerif(true))),
      cxStyle10(style("cxStyle10", rgb(0xA4C4EB))),
      cxStyle11(style("cxStyle11", rgb(0xFED547), QColor(Qt::black))),
      cxStyle12(style("cxStyle12", rgb(0xA4C4EB))),
      cxStyle13(style("cxStyle13", rgb(0xFFFFE1), rgb(0x000080), msSansSerif(true))),
      cxStyle14(style("cxStyle14", rgb(0x316AC5), QColor(Qt::white))) {
    auto& s = GridTableViewStyleSheetDevExpress;
    s.name = QStringLiteral("GridTableViewStyleSheetDevExpress");
    s.caption = QStringLiteral("DevExpress");
    s.background = cxStyle1;
    s.content = cxStyle2;
    s.contentEven = cxStyle3;
    s.contentOdd = cxStyle4;
    s.filterBox = cxStyle5;
    s.incSearch = cxStyle11;
    s.footer = cxStyle6;
    s.group = cxStyle7;
    s.groupByBox = cxStyle8;
    s.header = cxStyle9;
    s.inactive = cxStyle10;
    s.indicator = cxStyle12;
    s.preview = cxStyle13;
    s.selection = cxStyle14;
}

TdmCon::TdmCon()
    : dsEmitent("dsEmitent", conVek,
                lines({"select *", "from emitent", "where emitent = :pEmitent", "  and operator_parola = :pP", ";"}),
                emitentColumns()),
      dsAplicatieMob("dsAplicatieMob", conVek,
                     lines({"select *", "from aplicatie_mob", "where lower(aplicatie_mob) = lower(:pAplicatieMob)",
                            "  and activ", ";"}),
                     aplicatieMobColumns()),
      dsEu("dsEu", conVek, lines({"select *", "from eu", ";"}), euColumns()),
      dsAplicatieMobEmitent("dsAplicatieMobEmitent", conVek,
                            lines({"select *", "from aplicatie_mob_emitent", "where emitent = :pEmitent",
                                   "  and lower(aplicatie_mob) = lower(:pAplicatieMob)", ";"}),
                            aplicatieMobEmitentColumns()) {
    // The company database: its address comes from the directory at login.
    conVek.setDatabase("vek1");
    conVek.setUsername("vek");
    conVek.setPassword(site::databasePassword());
    conVek.setDisconnectedMode(true);
    conVek.setSslMode(db::SslMode::Require);
    conVek.setConnectTimeout(15);

    // The central directory.
    conVekMob.setServer(site::directoryHost());
    conVekMob.setPort(site::directoryPort());
    conVekMob.setDatabase("vek_mob");
    conVekMob.setUsername("vek");
    conVekMob.setPassword(site::databasePassword());
    conVekMob.setDisconnectedMode(false);
    conVekMob.setSslMode(db::SslMode::Require);
    conVekMob.setConnectTimeout(15);
}
