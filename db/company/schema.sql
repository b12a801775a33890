-- Company (ERP) database: the tables the program reads and the collection
-- functions write. Loaded into vek_template; company databases are clones of
-- it. Every column the program's queries declare is here with a compatible
-- type: text of a width as varchar(n), long text as text, yes/no as boolean,
-- whole numbers as integer, fractions as double precision (amounts as
-- numeric), dates as date, date-times as timestamp.

\set ON_ERROR_STOP on

-- Users. The login selects the row whose emitent equals the user name and
-- whose operator_parola equals the password as typed, or its lower-case hex
-- SHA-256 when the directory row says 'HashSHA2'.
create table emitent (
    emitent                          varchar(100) primary key,
    emitent_corect                   varchar(100),
    operator_parola                  varchar(256),
    cod_casier_pos                   varchar(10),
    banca_eu_default                 varchar(100),
    cont_banca_eu_default            varchar(28),
    casa                             varchar(50),
    moneda                           varchar(3),
    magazie_sursa_default            varchar(5),
    magazie_dest_default             varchar(5),
    functie                          varchar(30),
    eu_punct_lucru                   varchar(50),
    com_int                          varchar(25),
    loc                              varchar(25),
    nr_obiect                        varchar(20),
    ci_nume                          varchar(30),
    ci_serie                         varchar(3),
    ci_nr                            varchar(25),
    ci_elib                          varchar(25),
    cnp                              varchar(25),
    transport_mijloc                 varchar(25),
    transport_nr                     varchar(25),
    em_email_adr                     varchar(50),
    tel_fix                          varchar(30),
    tel_mobil                        varchar(30),
    em_outgoing_email_server         varchar(50),
    em_outgoing_email_user           varchar(50),
    em_outgoing_email_psw            varchar(50),
    lang                             varchar(15),
    rol_web                          varchar(25),
    rol_win                          varchar(25),
    web_theme                        varchar(25),
    este_emitent                     boolean not null default false,
    este_operator                    boolean not null default false,
    este_comisionar                  boolean not null default false,
    este_sofer                       boolean not null default false,
    da_nu_schimbare_pl               boolean not null default false,
    da_nu_adaugare_partener          boolean not null default false,
    da_nu_adaugare_articol           boolean not null default false,
    da_nu_acces_la_politica_pret     boolean not null default false,
    da_nu_modif_data_listare         boolean not null default false,
    da_nu_acces_limita_creditare     boolean not null default false,
    prez_of_stoc_fact_cl             boolean not null default false,
    prez_of_stoc_av_exp              boolean not null default false,
    prez_of_stoc_bte                 boolean not null default false,
    prez_of_stoc_bc                  boolean not null default false,
    pret_fact_cl_cu_tva              boolean not null default false,
    da_nu_fact_pe_calc               boolean not null default false,
    da_nu_modif_nr_fact_pe_calc      boolean not null default false,
    da_nu_fact_autocopy              boolean not null default false,
    da_nu_aviz_autocopy              boolean not null default false,
    da_nu_modif_data_livrare         boolean not null default false,
    da_nu_fact_ci_rosu               boolean not null default false,
    em_outgoing_email_secure         boolean not null default false,
    em_outlook                       boolean not null default false,
    discontinued                     boolean not null default false,
    vede_pret_stoc                   boolean not null default false,
    da_nu_generare_op                boolean not null default false,
    nr_zile_prezentare_doc           integer,
    em_outgoing_email_port           integer,
    proc_comisionar                  double precision,
    ci_data_elib                     date,
    data_ins                         date,
    data_export                      timestamp,
    data_import                      timestamp
);

-- Applications enabled for the company; the login requires an active row
-- whose name equals the program's title without regard to case.
create table aplicatie_mob (
    aplicatie_mob  varchar(100) primary key,
    obs            text,
    activ          boolean not null default true
);
create unique index aplicatie_mob_lower on aplicatie_mob (lower(aplicatie_mob));

-- Which user may run which application, and in which role.
create table aplicatie_mob_emitent (
    aplicatie_mob  varchar(100) not null,
    emitent        varchar(100) not null references emitent on update cascade on delete cascade,
    rol            text,
    primary key (aplicatie_mob, emitent)
);
create index aplicatie_mob_emitent_user on aplicatie_mob_emitent (emitent, lower(aplicatie_mob));

-- The company's own record; the program reads jas_ip (report server) of the
-- first row.
create table eu (
    id_eu                            integer generated always as identity primary key,
    cod_cci                          varchar(20),
    atribut_fiscal                   varchar(3),
    tip_societate                    varchar(20),
    reg_comert_jud                   varchar(5),
    reg_comert_nr                    varchar(7),
    reg_comert_jud_suc               varchar(5),
    reg_comert_nr_suc                varchar(7),
    cnp_a                            varchar(13),
    eu                               varchar(100),
    eu_sediu                         varchar(30),
    trezoreria                       varchar(100),
    trezoreria_cont                  varchar(28),
    tara                             varchar(3),
    localit                          varchar(30),
    adresa                           varchar(100),
    telefon                          varchar(50),
    fax                              varchar(50),
    email_adr                        varchar(50),
    web_adr                          varchar(50),
    nr_insp_munca                    varchar(15),
    formula_calcul_co                varchar(30),
    formula_calcul_avans_q           varchar(30),
    nr_autorizatie_alcool            varchar(30),
    metoda_stoc                      varchar(4),
    tip_contabilitate                varchar(20),
    strada                           varchar(50),
    nr_strada                        varchar(10),
    bloc                             varchar(10),
    scara                            varchar(5),
    etaj                             varchar(5),
    apt                              varchar(5),
    sector                           varchar(1),
    cod_postal_adresa                varchar(6),
    sup_eu_denumire                  varchar(100),
    sup_eu_cui                       varchar(13),
    eu_cui                           varchar(13),
    eu_cif                           varchar(13),
    eu_reprezentant_legal            varchar(100),
    cod_caen                         varchar(6),
    tip_administrare_soc             varchar(50),
    capital_social                   varchar(100),
    casa_asig_sanatate               varchar(2),
    nr_licenta_turism                varchar(20),
    mod_plata_tva                    varchar(20),
    gln                              varchar(13),
    reges_cod_tip_angajator          varchar(20),
    reges_cod_forma_organizare       varchar(70),
    reges_cod_forma_juridica         varchar(48),
    reges_cod_tip_societate          varchar(30),
    reges_cod_forma_proprietate      varchar(8),
    reges_cod_act_id_pf              varchar(25),
    jas_ip                           text,
    jas_ip_ext                       text,
    da_nu_modif_ore_prez             boolean not null default false,
    da_nu_dimin_avans_cu_ret         boolean not null default false,
    da_nu_scadere_stoc_in_viitor     boolean not null default false,
    da_nu_impozit_profit             boolean not null default false,
    da_nu_nevoi_firma                boolean not null default false,
    da_nu_platitor_tva_in_vama       boolean not null default false,
    prez_of_stoc_fact_cl             boolean not null default false,
    da_nu_postcalcul                 boolean not null default false,
    prez_of_stoc_av_exp              boolean not null default false,
    prez_of_stoc_bte                 boolean not null default false,
    prez_of_stoc_bc                  boolean not null default false,
    pret_fact_cl_cu_tva              boolean not null default false,
    pret_nir_cu_tva                  boolean not null default false,
    pret_cmd_client_cu_tva           boolean not null default false,
    da_nu_tva_neexigibil             boolean not null default false,
    da_nu_list_fact_pr_ctl           boolean not null default false,
    da_nu_list_fact_neop_stoc        boolean not null default false,
    da_nu_bon_pe_calc                boolean not null default false,
    da_nu_cmd_pe_extrasb             boolean not null default false,
    da_nu_fact_pe_calc               boolean not null default false,
    da_nu_fact_autocopy              boolean not null default false,
    da_nu_aviz_autocopy              boolean not null default false,
    da_nu_nir_in_mag_dest            boolean not null default false,
    da_nu_politica_pret_punct_lucru  boolean not null default false,
    da_nu_nota_c_fara_restrictie     boolean not null default false,
    da_nu_mon_cont_tip_doc           boolean not null default false,
    da_nu_balanta_pe_obiective       boolean not null default false,
    da_nu_rezervare_stoc             boolean not null default false,
    da_nu_contare_avz_c              boolean not null default false,
    da_nu_contare_nirad              boolean not null default false,
    da_nu_autoinchidere_cmd_client   boolean not null default false,
    da_nu_autoinchidere_cmd_furn     boolean not null default false,
    da_nu_institutie_publica         boolean not null default false,
    da_nu_balanta_pe_subunitati      boolean not null default false,
    da_nu_b_casa_stoc                boolean not null default false,
    da_nu_b_casa_articol             boolean not null default false,
    da_nu_salarii_in_postcalcul      boolean not null default false,
    da_nu_turism_in_comision         boolean not null default false,
    da_nu_confirmare_comanda         boolean not null default false,
    da_nu_micro_intreprindere        boolean not null default false,
    da_nu_tva_nededus_cont_separat   boolean not null default false,
    formula_calcul_penalitati        integer,
    rotunjire_avans                  integer,
    rotunjire_lichidare              integer,
    nr_pers_hand_suta_ang            double precision,
    proc_avans_co                    double precision,
    proc_avans                       double precision,
    proc_diminuare_bugetari          double precision,
    proc_impozit_profit              double precision,
    proc_deductibilitate             double precision,
    norma                            double precision,
    val_limita_casa_lei              double precision,
    proc_penaliz_intirziere          double precision,
    cod_forma_proprietate            double precision,
    cod_forma_organizare             double precision,
    cod_tip_societate                double precision,
    cod_siruta                       double precision,
    reg_comert_data                  date,
    reg_comert_data_suc              date,
    data_incep_activitate            date,
    data_gen_fact                    date,
    data_denominare                  date,
    data_avans                       date,
    data_lichidare                   date
);

-- Documents: invoices, receipts, ... keyed by date, type and number.
-- A Sameday receipt is tip_doc 'Ch_INC' dated on its AWB date and numbered
-- with the last 15 characters of the AWB; client invoices are tip_doc 'Fact_CL'.
create table doc (
    data_doc   date not null,
    tip_doc    varchar(7) not null,
    nr_doc     varchar(15) not null,
    val_mon    numeric(15,2) not null default 0,
    moneda     varchar(3) not null default 'RON',
    partener   varchar(100),
    emitent    varchar(100),             -- who made the document
    obs        text,
    data_ins   timestamp not null default localtimestamp,
    primary key (data_doc, tip_doc, nr_doc)
);
create index doc_tip_nr on doc (tip_doc, nr_doc, data_doc desc);

-- Allocations of a financial document (a receipt) to a commercial one (an
-- invoice), on a date. A receipt may be allocated several times; the log view
-- shows the latest allocation (latest data_repartizare, NULL counting as
-- latest; then latest data_doc_com, first tip_doc_com, last nr_doc_com).
create table doc_fin (
    data_doc_fin      date not null,
    tip_doc_fin       varchar(7) not null,
    nr_doc_fin        varchar(15) not null,
    data_doc_com      date not null,
    tip_doc_com       varchar(7) not null,
    nr_doc_com        varchar(15) not null,
    data_repartizare  date,
    suma              numeric(15,2) not null default 0,
    primary key (data_doc_fin, tip_doc_fin, nr_doc_fin, data_doc_com, tip_doc_com, nr_doc_com),
    foreign key (data_doc_fin, tip_doc_fin, nr_doc_fin) references doc on update cascade on delete cascade,
    foreign key (data_doc_com, tip_doc_com, nr_doc_com) references doc on update cascade
);
-- In the order of the log view's "distinct on", so that the latest allocation
-- of every receipt comes from an index scan without a sort.
create index doc_fin_latest on doc_fin (data_doc_fin, tip_doc_fin, nr_doc_fin,
                                        data_repartizare desc, data_doc_com desc,
                                        tip_doc_com, nr_doc_com desc);
create index doc_fin_com on doc_fin (data_doc_com, tip_doc_com, nr_doc_com);

-- The log of Sameday collections, written by o_sameday_log_ins: one row per
-- collection (AWB and AWB date), each member of the courier's report in the
-- column of the same words; err_ins_vek holds what the function had to say
-- about the row. A value it could not convert is left NULL.
create table log_sameday_incasari (
    data_log                timestamp not null default localtimestamp,
    awb                     text,
    nume_destinatar         text,
    judet_destinatar        text,
    oras_destinatar         text,
    adresa_destinatar       text,
    adresa_ridicare         text,
    referinta_client        text,
    suma_ramburs            numeric,
    data_awb                date,
    data_colectare_ramburs  date,
    numar_colete_livrate    text,
    nume_fisier             text,
    err_ins_vek             text,
    -- One row per collection, also when the date could not be read; in this
    -- order it serves the log view's date range and its order by.
    constraint log_sameday_incasari_awb unique nulls not distinct (data_awb, awb)
);
