-- What every new company database starts with: the company's record and this
-- program's application row. No users, no documents, no collections.

\set ON_ERROR_STOP on

insert into eu (eu, eu_cui, eu_cif, tara, localit, adresa, jas_ip, metoda_stoc, tip_contabilitate)
values ('FIRMA EXEMPLU SRL', '12345678', 'RO12345678', 'RO', 'Cluj-Napoca', 'Str. Memorandumului 1',
        'rapoarte.exemplu.ro', 'CMP', 'partida dubla');

insert into aplicatie_mob (aplicatie_mob, obs, activ)
values ('wParvolen', 'Incasari ramburs Sameday', true);
