-- The user records of the MIRLOX login in the embedded database. The server class
-- MX.ParPersEdv is this table; its name is one identifier, dot included.
CREATE TABLE IF NOT EXISTS "MX.ParPersEdv" (
  "ID"       TEXT PRIMARY KEY NOT NULL,  -- FIRMA || '||' || KUERZEL, e.g. 1||ABC
  "FIRMA"    INTEGER NOT NULL,           -- company number
  "KUERZEL"  TEXT NOT NULL,              -- user code, upper case
  "PASSWORT" TEXT,                       -- NULL counts as empty
  "AKTIV"    TEXT,                       -- 'J' when the user may log in
  "PNAME"    TEXT,                       -- the user's name, shown in the main window
  "PERSNR"   INTEGER,                    -- personnel number
  CHECK ("ID" = "FIRMA" || '||' || "KUERZEL")
);
