#include "platform/sql/sqlite_error_text.h"

#include <sqlite3.h>

#include "platform/posix/error_text.h"

namespace quorel::sql {

namespace {

std::string PrimaryText(int primary) {
  switch (primary) {
    case SQLITE_ERROR:
      return "Fehler in der Abfrage oder im Aufbau der Datenbank";
    case SQLITE_INTERNAL:
      return "interner Fehler von SQLite";
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return "der Zugriff auf die Datenbank ist nicht erlaubt";
    case SQLITE_ABORT:
      return "die Abfrage wurde abgebrochen";
    case SQLITE_BUSY:
      return "die Datenbank ist von einem anderen Programm gesperrt";
    case SQLITE_LOCKED:
      return "eine Tabelle der Datenbank ist gesperrt";
    case SQLITE_NOMEM:
      return "nicht genügend Arbeitsspeicher";
    case SQLITE_READONLY:
      return "die Datenbank ist schreibgeschützt";
    case SQLITE_INTERRUPT:
      return "die Abfrage wurde unterbrochen";
    case SQLITE_IOERR:
      return "Ein-/Ausgabefehler beim Zugriff auf die Datenbankdatei";
    case SQLITE_CORRUPT:
      return "die Datenbankdatei ist beschädigt";
    case SQLITE_FULL:
      return "der Datenträger ist voll";
    case SQLITE_CANTOPEN:
      return "die Datei kann nicht geöffnet werden";
    case SQLITE_PROTOCOL:
      return "die Sperren der Datenbank sind durcheinander";
    case SQLITE_SCHEMA:
      return "der Aufbau der Datenbank hat sich während der Abfrage geändert";
    case SQLITE_TOOBIG:
      return "ein Text oder Wert ist zu groß";
    case SQLITE_CONSTRAINT:
      return "eine Bedingung der Datenbank ist verletzt";
    case SQLITE_MISMATCH:
      return "ein Wert hat den falschen Datentyp";
    case SQLITE_MISUSE:
      return "SQLite wurde falsch aufgerufen";
    case SQLITE_NOLFS:
      return "große Dateien werden nicht unterstützt";
    case SQLITE_RANGE:
      return "ein Parameter der Abfrage liegt außerhalb des Bereichs";
    case SQLITE_NOTADB:
      return "die Datei ist keine SQLite-Datenbank";
    default:
      return "SQLite-Fehler Nr. " + std::to_string(primary);
  }
}

std::string CodeText(int code) {
  switch (code) {
    case SQLITE_IOERR_READ:
    case SQLITE_IOERR_SHORT_READ:
      return "die Datei kann nicht gelesen werden";
    case SQLITE_CANTOPEN_ISDIR:
      return "die Datei ist ein Ordner";
    case SQLITE_CANTOPEN_FULLPATH:
      return "der vollständige Pfad der Datei ist nicht zu ermitteln";
    case SQLITE_CORRUPT_INDEX:
      return "ein Index der Datenbankdatei ist beschädigt";
    default:
      return PrimaryText(code & 0xff);
  }
}

}  // namespace

std::string SqliteErrorText(int code, int systemError) {
  std::string text = CodeText(code);
  const int primary = code & 0xff;
  if (systemError != 0 && code != SQLITE_CANTOPEN_ISDIR &&
      (primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR))
    text += " (" + posix::ErrorText(systemError) + ")";
  return text;
}

std::string SqliteReason(sqlite3* db) {
  const int code = sqlite3_extended_errcode(db);
  std::string reason = SqliteErrorText(code, sqlite3_system_errno(db));
  const std::string own = sqlite3_errmsg(db);
  if (own != sqlite3_errstr(code)) reason += " (" + own + ")";
  return reason;
}

}  // namespace quorel::sql
