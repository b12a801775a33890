-- The collection functions of the company database, and their helpers.
--
--   o_sameday_log_ins(pjsonincasramburs text)
--       records a whole Sameday report (a JSON array of objects) in
--       log_sameday_incasari, in one call.
--   o_generare_incasare_awb_sameday(pemitent text, pawb text, pdataawb date)
--       makes the VEK receipt (doc 'Ch_INC') of one logged collection and
--       allocates it to the invoice its client reference names.
--
-- Both run with the rights of the role vek_owner (SECURITY DEFINER) and a
-- fixed search_path; the account vek may only execute them. Messages are in
-- Romanian without diacritics, like the program's own.
-- The parameters are text and date: a value that the client sends with its
-- type left to the server resolves to them, as does a date sent as a date.

\set ON_ERROR_STOP on

-- An amount as the courier's report gives it, or NULL when it is none:
-- '1234,5', '1234.50', '-3', '1.234,50', '1,234.50', '1,5E-7', spaces around.
-- One separator alone is the decimal one (comma or point); with both, the
-- last is the decimal one and the other groups thousands.
create function sameday_text_to_amount(p text) returns numeric
language sql immutable parallel safe
return case
    when p ~ '^[\s\u00a0]*[+-]?(\d+([.,]\d*)?|[.,]\d+)([eE][+-]?\d{1,3})?[\s\u00a0]*$'
        then pg_catalog.replace(pg_catalog.btrim(p, E' \t\r\n\u00a0'), ',', '.')::numeric
    when p ~ '^[\s\u00a0]*[+-]?\d{1,3}(\.\d{3})+(,\d*)?[\s\u00a0]*$'
        then pg_catalog.replace(pg_catalog.replace(pg_catalog.btrim(p, E' \t\r\n\u00a0'), '.', ''), ',', '.')::numeric
    when p ~ '^[\s\u00a0]*[+-]?\d{1,3}(,\d{3})+(\.\d*)?[\s\u00a0]*$'
        then pg_catalog.replace(pg_catalog.btrim(p, E' \t\r\n\u00a0'), ',', '')::numeric
end;

-- A calendar date as the courier's report gives it, or NULL when it is none:
-- day.month.year ('15.03.2024', '5.3.2024') or year-month-day ('2024-03-15',
-- also with '/' or '.'), either optionally followed by a time of day
-- ('15.03.2024 14:30:00', '2024-03-15T14:30', '03.15.2024 2:30:00 PM'),
-- which is dropped. Day.month.year needs its full stops: 03/15/2024 is
-- ambiguous and is not taken.
create function sameday_text_to_date(p text) returns date
language plpgsql immutable strict parallel safe
as $$
-- (No SET search_path: it would cost more than the work itself on a large
-- report; every name used here is in pg_catalog, which is searched first.)
declare
    t text := translate(btrim(p, E' \t\r\n\u00a0'), E'\t\u00a0T', '   ');
    dp text := split_part(t, ' ', 1);
    tp text := btrim(substr(t, length(dp) + 1));
    y integer;
    m integer;
    d integer;
begin
    if dp ~ '^[0-9]{1,2}[.][0-9]{1,2}[.][0-9]{4}$' then
        d := split_part(dp, '.', 1);
        m := split_part(dp, '.', 2);
        y := split_part(dp, '.', 3);
    elsif dp ~ '^[0-9]{4}-[0-9]{1,2}-[0-9]{1,2}$' or dp ~ '^[0-9]{4}/[0-9]{1,2}/[0-9]{1,2}$'
          or dp ~ '^[0-9]{4}[.][0-9]{1,2}[.][0-9]{1,2}$' then
        dp := translate(dp, '/.', '--');
        y := split_part(dp, '-', 1);
        m := split_part(dp, '-', 2);
        d := split_part(dp, '-', 3);
    else
        return null;
    end if;
    if tp <> ''
       and tp !~ '^([01]?[0-9]|2[0-3]):[0-5][0-9](:[0-5][0-9]([.,][0-9]{1,9})?)? *([AaPp][.]?[Mm][.]?)?$' then
        return null;
    end if;
    if y < 1 or m < 1 or m > 12 or d < 1 or d > 31
       or d > extract(day from make_date(y, m, 1) + interval '1 month' - interval '1 day') then
        return null;
    end if;
    return make_date(y, m, d);
end
$$;

-- Records the courier's report: pjsonincasramburs is a JSON array of objects
-- with the string members awb, numeDestinatar, judetDestinatar,
-- orasDestinatar, adresaDestinatar, adresaRidicare, referintaClient,
-- sumaRamburs, dataAwb, dataColectareRamburs, numarColeteLivrate, numeFisier.
--
-- One log row per collection (awb, data_awb):
--   * a new collection is inserted; one already logged is updated with the
--     new values (taking the same report twice leaves one row each);
--   * one that already has its receipt keeps its logged values; when the new
--     values differ, err_ins_vek says how;
--   * an amount or date that cannot be converted is left NULL and the row is
--     still recorded, with the problem in err_ins_vek;
--   * an object whose members are all empty (a blank row of the workbook) is
--     passed over; when one report holds the same collection twice, the later
--     object counts.
-- A text that is not a JSON array of objects is refused with an error and
-- nothing is recorded; an empty array records nothing.
-- Returns the number of collections the report held.
create function o_sameday_log_ins(pjsonincasramburs text) returns integer
language plpgsql volatile security definer
set search_path = pg_catalog, public, pg_temp
as $$
declare
    report jsonb;
    bad bigint;
    bad_type text;
    n integer;
begin
    if pjsonincasramburs is null then
        raise exception 'Lista incasarilor lipseste (parametrul pjsonincasramburs este NULL)'
            using errcode = 'null_value_not_allowed';
    end if;
    begin
        report := pjsonincasramburs::jsonb;
    exception when others then
        raise exception 'Lista incasarilor nu este un text JSON valid: %', sqlerrm
            using errcode = 'invalid_text_representation';
    end;
    if jsonb_typeof(report) <> 'array' then
        raise exception 'Lista incasarilor trebuie sa fie un sir JSON de obiecte, nu %',
            jsonb_typeof(report)
            using errcode = 'invalid_parameter_value';
    end if;
    select e.ord, jsonb_typeof(e.v) into bad, bad_type
      from jsonb_array_elements(report) with ordinality as e(v, ord)
     where jsonb_typeof(e.v) <> 'object'
     order by e.ord
     limit 1;
    if bad is not null then
        raise exception 'Elementul % din lista incasarilor nu este un obiect JSON, ci %', bad, bad_type
            using errcode = 'invalid_parameter_value';
    end if;

    with raw as (
        select e.ord,
               e.v ->> 'awb'                  as awb,
               e.v ->> 'numeDestinatar'       as nume_destinatar,
               e.v ->> 'judetDestinatar'      as judet_destinatar,
               e.v ->> 'orasDestinatar'       as oras_destinatar,
               e.v ->> 'adresaDestinatar'     as adresa_destinatar,
               e.v ->> 'adresaRidicare'       as adresa_ridicare,
               e.v ->> 'referintaClient'      as referinta_client,
               e.v ->> 'sumaRamburs'          as t_suma,
               e.v ->> 'dataAwb'              as t_data_awb,
               e.v ->> 'dataColectareRamburs' as t_data_col,
               e.v ->> 'numarColeteLivrate'   as numar_colete_livrate,
               e.v ->> 'numeFisier'           as nume_fisier
          from jsonb_array_elements(report) with ordinality as e(v, ord)
    ),
    converted as (
        select r.*,
               sameday_text_to_amount(r.t_suma)   as suma_ramburs,
               sameday_text_to_date(r.t_data_awb) as data_awb,
               sameday_text_to_date(r.t_data_col) as data_colectare_ramburs
          from raw r
         where concat(r.awb, r.nume_destinatar, r.judet_destinatar, r.oras_destinatar,
                      r.adresa_destinatar, r.adresa_ridicare, r.referinta_client, r.t_suma,
                      r.t_data_awb, r.t_data_col, r.numar_colete_livrate) !~ '^[\s\u00a0]*$'
    ),
    src as (
        select distinct on (c.data_awb, c.awb)
               c.*,
               nullif(concat_ws('; ',
                   case when coalesce(btrim(c.awb), '') = '' then 'AWB lipsa' end,
                   case when coalesce(btrim(c.t_suma), '') = '' then 'Suma ramburs lipsa'
                        when c.suma_ramburs is null
                        then format('Suma ramburs "%s" nu este un numar', c.t_suma) end,
                   case when coalesce(btrim(c.t_data_awb), '') = '' then 'Data AWB lipsa'
                        when c.data_awb is null
                        then format('Data AWB "%s" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)', c.t_data_awb) end,
                   case when coalesce(btrim(c.t_data_col), '') <> '' and c.data_colectare_ramburs is null
                        then format('Data colectare ramburs "%s" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)',
                                    c.t_data_col) end
               ), '') as note
          from converted c
         order by c.data_awb, c.awb, c.ord desc
    ),
    -- Collections of this report that are logged and already have their receipt.
    posted as (
        select l.data_awb, l.awb,
               nullif(concat_ws('; ',
                   case when l.nume_destinatar is distinct from s.nume_destinatar
                        then format('Nume destinatar "%s" -> "%s"', l.nume_destinatar, s.nume_destinatar) end,
                   case when l.judet_destinatar is distinct from s.judet_destinatar
                        then format('Judet destinatar "%s" -> "%s"', l.judet_destinatar, s.judet_destinatar) end,
                   case when l.oras_destinatar is distinct from s.oras_destinatar
                        then format('Oras destinatar "%s" -> "%s"', l.oras_destinatar, s.oras_destinatar) end,
                   case when l.adresa_destinatar is distinct from s.adresa_destinatar
                        then format('Adresa destinatar "%s" -> "%s"', l.adresa_destinatar, s.adresa_destinatar) end,
                   case when l.adresa_ridicare is distinct from s.adresa_ridicare
                        then format('Adresa ridicare "%s" -> "%s"', l.adresa_ridicare, s.adresa_ridicare) end,
                   case when l.referinta_client is distinct from s.referinta_client
                        then format('Referinta client "%s" -> "%s"', l.referinta_client, s.referinta_client) end,
                   case when l.suma_ramburs is distinct from s.suma_ramburs
                        then format('Suma ramburs "%s" -> "%s"', l.suma_ramburs, s.t_suma) end,
                   case when l.data_colectare_ramburs is distinct from s.data_colectare_ramburs
                        then format('Data colectare ramburs "%s" -> "%s"',
                                    to_char(l.data_colectare_ramburs, 'DD.MM.YYYY'), s.t_data_col) end,
                   case when l.numar_colete_livrate is distinct from s.numar_colete_livrate
                        then format('Numar colete livrate "%s" -> "%s"', l.numar_colete_livrate, s.numar_colete_livrate) end
               ), '') as differences,
               s.nume_fisier
          from src s
          join log_sameday_incasari l on l.data_awb = s.data_awb and l.awb = s.awb
          join doc ch on ch.data_doc = l.data_awb and ch.tip_doc = 'Ch_INC' and ch.nr_doc = right(l.awb, 15)
    ),
    noted as (
        update log_sameday_incasari l
           set err_ins_vek = format('Incasarea are deja chitanta in VEK; valorile din log raman neschimbate. '
                                    'Diferente in fisierul "%s": %s', p.nume_fisier, p.differences)
          from posted p
         where l.data_awb = p.data_awb and l.awb = p.awb and p.differences is not null
        returning 1
    ),
    recorded as (
        insert into log_sameday_incasari as l
               (data_log, awb, nume_destinatar, judet_destinatar, oras_destinatar, adresa_destinatar,
                adresa_ridicare, referinta_client, suma_ramburs, data_awb, data_colectare_ramburs,
                numar_colete_livrate, nume_fisier, err_ins_vek)
        select localtimestamp, s.awb, s.nume_destinatar, s.judet_destinatar, s.oras_destinatar,
               s.adresa_destinatar, s.adresa_ridicare, s.referinta_client, s.suma_ramburs, s.data_awb,
               s.data_colectare_ramburs, s.numar_colete_livrate, s.nume_fisier, s.note
          from src s
         where not exists (select from posted p where p.data_awb = s.data_awb and p.awb = s.awb)
        on conflict (data_awb, awb) do update
           set data_log = excluded.data_log,
               nume_destinatar = excluded.nume_destinatar,
               judet_destinatar = excluded.judet_destinatar,
               oras_destinatar = excluded.oras_destinatar,
               adresa_destinatar = excluded.adresa_destinatar,
               adresa_ridicare = excluded.adresa_ridicare,
               referinta_client = excluded.referinta_client,
               suma_ramburs = excluded.suma_ramburs,
               data_colectare_ramburs = excluded.data_colectare_ramburs,
               numar_colete_livrate = excluded.numar_colete_livrate,
               nume_fisier = excluded.nume_fisier,
               err_ins_vek = excluded.err_ins_vek
        returning 1
    )
    -- (noted runs whether read or not, as every data-modifying WITH does)
    select (select count(*) from recorded) + (select count(*) from posted) into n;
    return n;
end
$$;

-- Makes the VEK receipt of one logged collection, as the user pemitent:
--   doc (pdataawb, 'Ch_INC', last 15 characters of pawb), the collection's
--   amount in RON, partner of the invoice the collection pays;
--   when referinta_client names a client invoice ('Fact_CL' numbered so; the
--   latest one if several), doc_fin allocates the receipt to it today.
-- All or nothing. Errors: pemitent is not a user; the collection is not in
-- the log; its receipt exists; it has no amount.
-- Returns the receipt's key.
create function o_generare_incasare_awb_sameday(pemitent text, pawb text, pdataawb date)
returns table (data_ch date, tip_ch varchar(7), nr_ch varchar(15))
language plpgsql volatile security definer
set search_path = pg_catalog, public, pg_temp
as $$
#variable_conflict use_column
declare
    v_nr varchar(15);
    v_suma numeric;
    v_ref text;
    f_data date;
    f_tip varchar(7);
    f_nr varchar(15);
    f_partener varchar(100);
begin
    if pemitent is null or not exists (select from emitent e where e.emitent = pemitent) then
        raise exception 'Utilizatorul "%" nu este definit in VEK', coalesce(pemitent, '')
            using errcode = 'invalid_authorization_specification';
    end if;
    if coalesce(pawb, '') = '' or pdataawb is null then
        raise exception 'Incasarea nu poate fi importata: AWB-ul si data AWB sunt obligatorii'
            using errcode = 'null_value_not_allowed';
    end if;
    -- The log row is locked, so that two postings of one collection queue up
    -- and the second sees the first one's receipt.
    select l.suma_ramburs, l.referinta_client into v_suma, v_ref
      from log_sameday_incasari l
     where l.awb = pawb and l.data_awb = pdataawb
       for update;
    if not found then
        raise exception 'Incasarea AWB % din % nu exista in log', pawb, to_char(pdataawb, 'DD.MM.YYYY')
            using errcode = 'no_data_found';
    end if;
    v_nr := right(pawb, 15);
    if exists (select from doc d where d.data_doc = pdataawb and d.tip_doc = 'Ch_INC' and d.nr_doc = v_nr) then
        raise exception 'Incasarea AWB % din % este deja importata: chitanta Ch_INC nr. %',
            pawb, to_char(pdataawb, 'DD.MM.YYYY'), v_nr
            using errcode = 'unique_violation';
    end if;
    if v_suma is null then
        raise exception 'Incasarea AWB % din % nu are suma ramburs', pawb, to_char(pdataawb, 'DD.MM.YYYY')
            using errcode = 'null_value_not_allowed';
    end if;
    if abs(v_suma) >= 10000000000000 then
        raise exception 'Suma ramburs % a incasarii AWB % este prea mare', v_suma, pawb
            using errcode = 'numeric_value_out_of_range';
    end if;

    select d.data_doc, d.tip_doc, d.nr_doc, d.partener into f_data, f_tip, f_nr, f_partener
      from doc d
     where d.tip_doc = 'Fact_CL' and d.nr_doc = btrim(v_ref)
     order by d.data_doc desc
     limit 1;

    insert into doc (data_doc, tip_doc, nr_doc, val_mon, moneda, partener, emitent, obs)
    values (pdataawb, 'Ch_INC', v_nr, round(v_suma, 2), 'RON', f_partener, pemitent,
            'Incasare ramburs Sameday AWB ' || pawb);
    if f_nr is not null then
        insert into doc_fin (data_doc_fin, tip_doc_fin, nr_doc_fin, data_doc_com, tip_doc_com, nr_doc_com,
                             data_repartizare, suma)
        values (pdataawb, 'Ch_INC', v_nr, f_data, f_tip, f_nr, current_date, round(v_suma, 2));
    end if;
    return query select pdataawb, 'Ch_INC'::varchar(7), v_nr;
end
$$;
