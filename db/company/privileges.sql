-- Who may do what in a company database. The account vek can run the
-- program's statements and nothing more:
--   select * from emitent / aplicatie_mob / aplicatie_mob_emitent / eu
--   the log view over log_sameday_incasari, doc and doc_fin (only the columns
--   it reads of the last two)
--   select * from o_sameday_log_ins(...) / o_generare_incasare_awb_sameday(...)
-- It writes nothing directly: the two functions write, with the rights of
-- vek_owner, which has just what they need.
-- Database-level rights (CONNECT for vek only) are not copied with a
-- template: load.sh and the test support grant them on every company database.

\set ON_ERROR_STOP on

revoke all on schema public from public;
grant usage on schema public to vek, vek_owner;

grant select on emitent, aplicatie_mob, aplicatie_mob_emitent, eu, log_sameday_incasari to vek;
grant select (data_doc, tip_doc, nr_doc, val_mon, moneda, partener) on doc to vek;
grant select (data_doc_fin, tip_doc_fin, nr_doc_fin, data_doc_com, tip_doc_com, nr_doc_com,
              data_repartizare) on doc_fin to vek;

grant select on emitent to vek_owner;
grant select, insert, update on log_sameday_incasari to vek_owner;
grant select, insert on doc, doc_fin to vek_owner;

alter function sameday_text_to_amount(text) owner to vek_owner;
alter function sameday_text_to_date(text) owner to vek_owner;
alter function o_sameday_log_ins(text) owner to vek_owner;
alter function o_generare_incasare_awb_sameday(text, text, date) owner to vek_owner;
revoke all on function sameday_text_to_amount(text), sameday_text_to_date(text),
                       o_sameday_log_ins(text), o_generare_incasare_awb_sameday(text, text, date)
       from public;
grant execute on function o_sameday_log_ins(text), o_generare_incasare_awb_sameday(text, text, date) to vek;
