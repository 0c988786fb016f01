-- The demo user: company 1, user DEMO, password demo.
INSERT INTO "MX.ParPersEdv" ("ID", "FIRMA", "KUERZEL", "PASSWORT", "AKTIV", "PNAME", "PERSNR") VALUES
  ('1||DEMO', 1, 'DEMO', 'demo', 'J', 'Dörte Überall', 1);
