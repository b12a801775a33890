-- Fills a company database (a clone of vek_template) with Sameday collections,
-- their receipts and allocations, for benchmarks. psql variables:
--   n     number of collections (log rows)
--   days  over how many days up to today their AWB dates spread
-- Of the collections about 90% have a receipt (doc 'Ch_INC'), and about 90%
-- of the receipts are allocated to a client invoice (doc 'Fact_CL', one per
-- allocated receipt); one receipt in 20 has a second, older allocation. One
-- AWB in ten has 18 characters (receipt numbered by its last 15); one
-- collection in 50 carries a note in err_ins_vek. Values depend on the row
-- number only, so every fill with the same n and days gives the same data.
-- The tables should be empty; the foreign keys are checked at the end.

\set ON_ERROR_STOP on
set synchronous_commit = off;
set maintenance_work_mem = '256MB';

begin;
alter table doc_fin drop constraint doc_fin_data_doc_fin_tip_doc_fin_nr_doc_fin_fkey;
alter table doc_fin drop constraint doc_fin_data_doc_com_tip_doc_com_nr_doc_com_fkey;
drop index doc_fin_latest, doc_fin_com, doc_tip_nr;
alter table doc_fin drop constraint doc_fin_pkey;
alter table doc drop constraint doc_pkey;
alter table log_sameday_incasari drop constraint log_sameday_incasari_awb;

insert into log_sameday_incasari
      (data_log, awb, nume_destinatar, judet_destinatar, oras_destinatar, adresa_destinatar,
       adresa_ridicare, referinta_client, suma_ramburs, data_awb, data_colectare_ramburs,
       numar_colete_livrate, nume_fisier, err_ins_vek)
select (current_date - d + 3)::timestamp + (g % 36000) * interval '1 second',
       case when g % 10 = 3 then '4EMGLN' || lpad(g::text, 9, '0') || '001'
            else '1ONBLN' || lpad(g::text, 9, '0') end,
       (array['POPESCU', 'IONESCU', 'POP', 'RADU', 'STOICA', 'DUMITRESCU', 'CONSTANTIN', 'GHEORGHE'])[1 + g % 8]
           || ' ' || (array['ION', 'MARIA', 'ANDREI', 'ELENA', 'MIHAI', 'IOANA', 'VASILE', 'ANA', 'DAN'])[1 + g % 9],
       (array['CLUJ', 'BIHOR', 'ALBA', 'TIMIS', 'IASI', 'BUCURESTI', 'CONSTANTA', 'BRASOV', 'SIBIU'])[1 + g % 9],
       (array['Cluj-Napoca', 'Oradea', 'Alba Iulia', 'Timisoara', 'Iasi', 'Sector 3', 'Constanta', 'Brasov',
              'Sibiu'])[1 + g % 9],
       'Str. ' || (array['Lunga', 'Horea', 'Republicii', 'Unirii', 'Victoriei', 'Mihai Viteazu'])[1 + g % 6]
           || ' nr. ' || (1 + g % 180) || ', bl. ' || (1 + g % 40) || ', ap. ' || (1 + g % 90),
       'Str. Fabricii nr. 10, Cluj-Napoca',
       'FCL' || lpad(g::text, 9, '0'),
       round((9.99 + (g * 7919 % 250000) / 100.0)::numeric, 2),
       current_date - d,
       current_date - d + least(2, d),
       (1 + g % 3)::text,
       'Sameday ramburs ' || to_char(current_date - d, 'YYYY-MM-DD') || '.xlsx',
       case when g % 50 = 7 then 'Data colectare ramburs "ieri" nu este o data (zz.ll.aaaa sau aaaa-ll-zz)' end
  from generate_series(1::bigint, :n) as g,
       lateral (select (g * 104729 % :days)::integer as d) as day;

-- Client invoices, dated before their collection.
insert into doc (data_doc, tip_doc, nr_doc, val_mon, moneda, partener, emitent, obs, data_ins)
select l.data_awb - 1 - (g.g % 5)::integer, 'Fact_CL', l.referinta_client, l.suma_ramburs, 'RON', l.nume_destinatar,
       'ana', 'Factura client', l.data_log
  from log_sameday_incasari l,
       lateral (select substr(l.referinta_client, 4)::bigint as g) as g
 where g.g % 10 <> 0 and g.g % 100 <> 1;

-- Receipts, as the posting makes them.
insert into doc (data_doc, tip_doc, nr_doc, val_mon, moneda, partener, emitent, obs, data_ins)
select l.data_awb, 'Ch_INC', right(l.awb, 15), l.suma_ramburs, 'RON', l.nume_destinatar, 'ana',
       'Incasare ramburs Sameday AWB ' || l.awb, l.data_log
  from log_sameday_incasari l
 where substr(l.referinta_client, 4)::bigint % 10 <> 0;

-- Allocations of the receipts whose invoice exists.
insert into doc_fin (data_doc_fin, tip_doc_fin, nr_doc_fin, data_doc_com, tip_doc_com, nr_doc_com,
                     data_repartizare, suma)
select l.data_awb, 'Ch_INC', right(l.awb, 15), l.data_awb - 1 - (g.g % 5)::integer, 'Fact_CL', l.referinta_client,
       case when g.g % 37 = 0 then null else l.data_awb + (g.g % 4)::integer end, l.suma_ramburs
  from log_sameday_incasari l,
       lateral (select substr(l.referinta_client, 4)::bigint as g) as g
 where g.g % 10 <> 0 and g.g % 100 <> 1;

-- A second, older allocation of one receipt in 20, to the previous invoice.
insert into doc_fin (data_doc_fin, tip_doc_fin, nr_doc_fin, data_doc_com, tip_doc_com, nr_doc_com,
                     data_repartizare, suma)
select f.data_doc_fin, f.tip_doc_fin, f.nr_doc_fin, i.data_doc, i.tip_doc, i.nr_doc,
       f.data_doc_fin - 1, 1.00
  from doc_fin f
  join doc i on i.tip_doc = 'Fact_CL'
            and i.nr_doc = 'FCL' || lpad((substr(f.nr_doc_com, 4)::bigint - 1)::text, 9, '0')
 where substr(f.nr_doc_com, 4)::bigint % 20 = 5;

alter table log_sameday_incasari add constraint log_sameday_incasari_awb unique nulls not distinct (data_awb, awb);
alter table doc add primary key (data_doc, tip_doc, nr_doc);
create index doc_tip_nr on doc (tip_doc, nr_doc, data_doc desc);
alter table doc_fin add primary key (data_doc_fin, tip_doc_fin, nr_doc_fin, data_doc_com, tip_doc_com, nr_doc_com);
create index doc_fin_latest on doc_fin (data_doc_fin, tip_doc_fin, nr_doc_fin,
                                        data_repartizare desc, data_doc_com desc,
                                        tip_doc_com, nr_doc_com desc);
create index doc_fin_com on doc_fin (data_doc_com, tip_doc_com, nr_doc_com);
alter table doc_fin add foreign key (data_doc_fin, tip_doc_fin, nr_doc_fin) references doc
    on update cascade on delete cascade not valid;
alter table doc_fin add foreign key (data_doc_com, tip_doc_com, nr_doc_com) references doc on update cascade
    not valid;
commit;

vacuum analyze log_sameday_incasari;
vacuum analyze doc;
vacuum analyze doc_fin;
