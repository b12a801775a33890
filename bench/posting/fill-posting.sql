-- Collections waiting to be posted, for bench/posting. psql variables:
--   n        number of collections without a receipt (the batch to post)
--   days     over how many days up to today their AWB dates spread
--   history  number of collections posted earlier, dated in the year before
--            those days, each with its receipt allocated to its invoice
-- Every collection of the batch names a client invoice (doc 'Fact_CL', dated
-- one to five days before the AWB) that exists, so posting it also allocates
-- the new receipt. One AWB in ten has 18 characters (its receipt is numbered
-- by the last 15). The batch's AWBs begin with 7EMGLN (the long ones end in
-- 007) and its invoices with FCP; the history's with 6EMGLN (006) and FCH.
-- A search from the first of the days shows the batch alone; the history
-- gives doc and doc_fin the size and the statistics of a database in use
-- (with them empty, the planner keeps taking doc_fin for empty after the
-- postings and reads the log in a nested loop). The user "ana" posts them.
-- Values depend on the row number only: every fill with the same variables
-- gives the same data.

\set ON_ERROR_STOP on

begin;
insert into emitent (emitent, operator_parola) values ('ana', 'ana123') on conflict do nothing;

insert into log_sameday_incasari
      (data_log, awb, nume_destinatar, judet_destinatar, oras_destinatar, adresa_destinatar,
       adresa_ridicare, referinta_client, suma_ramburs, data_awb, data_colectare_ramburs,
       numar_colete_livrate, nume_fisier)
select (current_date - d + 1)::timestamp + (g % 36000) * interval '1 second',
       p.awb || lpad(g::text, 9, '0') || case when g % 10 = 3 then p.tail else '' end,
       (array['POPESCU', 'IONESCU', 'POP', 'RADU', 'STOICA', 'DUMITRESCU', 'CONSTANTIN', 'GHEORGHE'])[1 + g % 8]
           || ' ' || (array['ION', 'MARIA', 'ANDREI', 'ELENA', 'MIHAI', 'IOANA', 'VASILE', 'ANA', 'DAN'])[1 + g % 9],
       (array['CLUJ', 'BIHOR', 'ALBA', 'TIMIS', 'IASI', 'BUCURESTI', 'CONSTANTA', 'BRASOV', 'SIBIU'])[1 + g % 9],
       (array['Cluj-Napoca', 'Oradea', 'Alba Iulia', 'Timisoara', 'Iasi', 'Sector 3', 'Constanta', 'Brasov',
              'Sibiu'])[1 + g % 9],
       'Str. ' || (array['Lunga', 'Horea', 'Republicii', 'Unirii', 'Victoriei', 'Mihai Viteazu'])[1 + g % 6]
           || ' nr. ' || (1 + g % 180) || ', bl. ' || (1 + g % 40) || ', ap. ' || (1 + g % 90),
       'Str. Fabricii nr. 10, Cluj-Napoca',
       p.invoice || lpad(g::text, 9, '0'),
       round((9.99 + (g * 7919 % 250000) / 100.0)::numeric, 2),
       current_date - d,
       current_date - d + least(1, d),
       (1 + g % 3)::text,
       'Sameday ramburs ' || to_char(current_date - d, 'YYYY-MM-DD') || '.xlsx'
  from (values ('7EMGLN', '007', 'FCP', :n::bigint, 0, :days),
               ('6EMGLN', '006', 'FCH', :history::bigint, :days, 365))
           as p (awb, tail, invoice, count, before, spread),
       lateral generate_series(1::bigint, p.count) as g,
       lateral (select p.before + (g * 104729 % p.spread)::integer as d) as day;

-- Every collection's invoice.
insert into doc (data_doc, tip_doc, nr_doc, val_mon, moneda, partener, emitent, obs, data_ins)
select l.data_awb - 1 - (substr(l.referinta_client, 4)::bigint % 5)::integer, 'Fact_CL', l.referinta_client,
       l.suma_ramburs, 'RON', l.nume_destinatar, 'ana', 'Factura client', l.data_log
  from log_sameday_incasari l
 where l.awb like '7EMGLN%' or l.awb like '6EMGLN%';

-- The history's receipts and their allocations, as the posting makes them.
insert into doc (data_doc, tip_doc, nr_doc, val_mon, moneda, partener, emitent, obs, data_ins)
select l.data_awb, 'Ch_INC', right(l.awb, 15), l.suma_ramburs, 'RON', l.nume_destinatar, 'ana',
       'Incasare ramburs Sameday AWB ' || l.awb, l.data_log
  from log_sameday_incasari l
 where l.awb like '6EMGLN%';
insert into doc_fin (data_doc_fin, tip_doc_fin, nr_doc_fin, data_doc_com, tip_doc_com, nr_doc_com,
                     data_repartizare, suma)
select l.data_awb, 'Ch_INC', right(l.awb, 15), f.data_doc, f.tip_doc, f.nr_doc, l.data_awb + 1, l.suma_ramburs
  from log_sameday_incasari l
  join doc f on f.tip_doc = 'Fact_CL' and f.nr_doc = l.referinta_client
 where l.awb like '6EMGLN%';
commit;

vacuum analyze log_sameday_incasari;
vacuum analyze doc;
vacuum analyze doc_fin;
