-- The company directory, database "vek_mob". The program looks a company up
-- by its exact name and connects to the company database this row names:
--   select * from m_firma where nume_firma = :pNumeFirma
-- pw_hash_type 'HashSHA2' tells it that the company stores its users'
-- passwords as the lower-case hex SHA-256 of their UTF-8 text; any other value
-- (NULL or '' included) means plain passwords.
-- Several rows may carry the same name: the program takes the first returned.

\set ON_ERROR_STOP on

create table m_firma (
    id_firma      integer generated always as identity primary key,
    nume_firma    varchar(200) not null,
    ip            text,                        -- company database server
    port          integer,                     -- its port
    db_name       text,                        -- company database name
    activ         boolean not null default true,
    m_site        boolean not null default false,
    pw_hash_type  varchar(23)                  -- 'HashSHA2' or empty
);
create index m_firma_nume_firma on m_firma (nume_firma);

-- The account vek reads the directory and nothing else.
revoke all on database vek_mob from public;
grant connect on database vek_mob to vek;
revoke all on schema public from public;
grant usage on schema public to vek;
grant select on m_firma to vek;
