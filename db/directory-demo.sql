-- Directory rows of the demo companies. psql variables: company_host and
-- company_port, the address of the server holding vek_demo and vek_demo_plain.

\set ON_ERROR_STOP on

insert into m_firma (nume_firma, ip, port, db_name, activ, m_site, pw_hash_type)
values ('DEMO', :'company_host', :'company_port'::integer, 'vek_demo', true, false, 'HashSHA2'),
       ('DEMO PLAIN', :'company_host', :'company_port'::integer, 'vek_demo_plain', true, false, null);
