-- Cluster roles of the reference databases. Run once per cluster, as a
-- superuser, connected to any database, with the psql variable vek_verifier
-- set to the SCRAM verifier of the account's password (db/vek-account.verifier).
--
--   vek        the program's database account: it logs in, reads what the
--              program's queries read and runs the two collection functions;
--              nothing else (privileges.sql and directory.sql grant it).
--   vek_owner  owns the collection functions, which run with its rights
--              (SECURITY DEFINER); it cannot log in.

\set ON_ERROR_STOP on

select format('create role vek login password %L', :'vek_verifier')
 where not exists (select from pg_roles where rolname = 'vek')
\gexec
select format('alter role vek login password %L', :'vek_verifier')
\gexec
alter role vek nosuperuser nocreatedb nocreaterole noreplication nobypassrls inherit;
-- The program's statements are short and interactive. The log view joins a
-- month of collections to their receipts: with a random page cost fit for
-- SSDs the planner takes the receipts by their primary key instead of
-- hashing the whole document table, and JIT compilation would cost more than
-- it saves.
alter role vek set random_page_cost = 1.1;
alter role vek set jit = off;

select 'create role vek_owner nologin'
 where not exists (select from pg_roles where rolname = 'vek_owner')
\gexec
alter role vek_owner nologin nosuperuser nocreatedb nocreaterole noreplication nobypassrls;
