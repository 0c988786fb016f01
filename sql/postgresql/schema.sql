-- The user records of the MIRLOX login on a PostgreSQL server. The server class
-- MX.ParPersEdv is the table ParPersEdv in the schema MX.
CREATE SCHEMA IF NOT EXISTS "MX";

CREATE TABLE IF NOT EXISTS "MX"."ParPersEdv" (
  "ID"       text PRIMARY KEY,     -- FIRMA || '||' || KUERZEL, e.g. 1||ABC
  "FIRMA"    integer NOT NULL,     -- company number
  "KUERZEL"  text NOT NULL,        -- user code, upper case
  "PASSWORT" text,                 -- NULL counts as empty
  "AKTIV"    text,                 -- 'J' when the user may log in
  "PNAME"    text,                 -- the user's name, shown in the main window
  "PERSNR"   integer,              -- personnel number
  CHECK ("ID" = "FIRMA" || '||' || "KUERZEL")
);
