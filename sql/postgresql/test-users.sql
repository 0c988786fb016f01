-- The users the tests log in with; the same rows for both engines.
INSERT INTO "MX"."ParPersEdv" ("ID", "FIRMA", "KUERZEL", "PASSWORT", "AKTIV", "PNAME", "PERSNR") VALUES
  ('1||ABC',          1, 'ABC',          'pw',   'J',  'Jürgen Müller',          4711),
  ('2||ABC',          2, 'ABC',          'zwei', 'J',  'Anna Zweig',             -12),
  ('1||INAKTIVJ',     1, 'INAKTIVJ',     'pw',   'j',  'Inga Klein',             NULL),
  ('1||INAKTIVLEER',  1, 'INAKTIVLEER',  'pw',   '',   'Ida Leer',               NULL),
  ('1||INAKTIVNULL',  1, 'INAKTIVNULL',  'pw',   NULL, 'Ines Null',              NULL),
  ('1||LEER',         1, 'LEER',         '',     'J',  'Lea Ohnewort',           NULL),
  ('1||OHNEPW',       1, 'OHNEPW',       NULL,   'J',  'Olaf Nullwort',          NULL),
  ('1||NOTE',         1, 'NOTE',         'pw',   'J',  'Zoë 𝄞 Ærø 😀',           7),
  ('1||O''BRIEN',     1, 'O''BRIEN',     'pw',   'J',  'Seán O''Brien',          NULL);
