-- Demo data of a company database (vek_demo, vek_demo_plain), loaded after
-- the template's content. psql variables:
--   pw_hash   'HashSHA2': passwords stored as lower-case hex SHA-256; else plain
--   eu_name   the company's name in its own record
--   invoices  the text of db/demo/invoices.csv (the same list the demo
--             workbook is made from)
-- Dates are relative to the day of loading.
--
-- Users (password): ana (ana123) may run wParvolen, role 'operator';
--                   dan (dan123) may not.
-- Invoices (Fact_CL) FCL0998 and FCL1001..FCL1024; collections of FCL1001 to
-- FCL1004 already logged: FCL1001 and FCL1002 with receipts allocated to their
-- invoices (FCL1002 twice, the latest to FCL1002), FCL1003 with a receipt not
-- allocated, FCL1004 without a receipt. The demo workbook pays FCL1005..FCL1024.

\set ON_ERROR_STOP on

update eu
   set eu = :'eu_name', localit = 'Cluj-Napoca', adresa = 'Str. Fabricii nr. 10',
       jas_ip = '127.0.0.1:8080/jasperserver', jas_ip_ext = 'rapoarte.demo.ro:8080';

insert into emitent (emitent, emitent_corect, operator_parola, eu_punct_lucru, functie, moneda, lang,
                     este_emitent, este_operator, casa)
select u.emitent, u.nume,
       case when :'pw_hash' = 'HashSHA2' then encode(sha256(convert_to(u.parola, 'UTF8')), 'hex')
            else u.parola end,
       u.punct_lucru, u.functie, 'RON', 'ro', true, true, 'CASA LEI'
  from (values ('ana', 'Ana Pop', 'ana123', 'SEDIU CLUJ', 'operator incasari'),
               ('dan', 'Dan Rus', 'dan123', 'DEPOZIT FLORESTI', 'gestionar')) as u(emitent, nume, parola, punct_lucru, functie);

insert into aplicatie_mob_emitent (aplicatie_mob, emitent, rol)
values ('wParvolen', 'ana', 'operator');

create temp table demo_factura as
select split_part(t.l, ';', 1)::varchar(15) as nr_doc,
       split_part(t.l, ';', 2)::integer      as zile,
       split_part(t.l, ';', 3)               as partener,
       split_part(t.l, ';', 4)               as judet,
       split_part(t.l, ';', 5)               as oras,
       split_part(t.l, ';', 6)               as adresa,
       split_part(t.l, ';', 7)::numeric      as valoare,
       split_part(t.l, ';', 8)               as awb,
       split_part(t.l, ';', 9)               as loc
  from regexp_split_to_table(:'invoices', E'\r?\n') with ordinality as t(l, n)
 where t.n > 1 and btrim(t.l) <> '';

insert into doc (data_doc, tip_doc, nr_doc, val_mon, moneda, partener, emitent, obs)
select current_date - f.zile, 'Fact_CL', f.nr_doc, f.valoare, 'RON', f.partener, 'dan', 'Factura client'
  from demo_factura f;

-- Collections logged last week, through the logging function, with the day
-- after the invoice as their AWB date.
select o_sameday_log_ins(jsonb_agg(jsonb_build_object(
           'awb', f.awb,
           'numeDestinatar', f.partener,
           'judetDestinatar', f.judet,
           'orasDestinatar', f.oras,
           'adresaDestinatar', f.adresa,
           'adresaRidicare', 'Str. Fabricii nr. 10, Cluj-Napoca',
           'referintaClient', f.nr_doc,
           'sumaRamburs', replace(f.valoare::text, '.', ','),
           'dataAwb', to_char(current_date - f.zile + 1, 'DD.MM.YYYY'),
           'dataColectareRamburs', to_char(least(current_date - f.zile + 3, current_date), 'DD.MM.YYYY'),
           'numarColeteLivrate', '1',
           'numeFisier', 'Sameday ramburs saptamana trecuta.xlsx') order by f.nr_doc)::text)
  from demo_factura f
 where f.loc = 'log';

-- Receipts of FCL1001..FCL1003, made as the program makes them.
select o_generare_incasare_awb_sameday('ana', f.awb, current_date - f.zile + 1)
  from demo_factura f
 where f.nr_doc in ('FCL1001', 'FCL1002', 'FCL1003')
 order by f.nr_doc;

-- Allocated some days after the collection, not on the day of loading.
update doc_fin d
   set data_repartizare = least(d.data_doc_fin + 3, current_date)
 where d.tip_doc_fin = 'Ch_INC';
-- FCL1002's receipt first paid part of the older FCL0998.
insert into doc_fin (data_doc_fin, tip_doc_fin, nr_doc_fin, data_doc_com, tip_doc_com, nr_doc_com,
                     data_repartizare, suma)
select d.data_doc_fin, d.tip_doc_fin, d.nr_doc_fin, o.data_doc, o.tip_doc, o.nr_doc,
       d.data_doc_fin + 1, 20.00
  from doc_fin d
  join doc o on o.tip_doc = 'Fact_CL' and o.nr_doc = 'FCL0998'
 where d.tip_doc_com = 'Fact_CL' and d.nr_doc_com = 'FCL1002';
-- FCL1003's receipt is not allocated yet.
delete from doc_fin d where d.tip_doc_com = 'Fact_CL' and d.nr_doc_com = 'FCL1003';
