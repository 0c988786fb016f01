// The German wording of SQLite's result codes, for the messages about the database file. SQLite
// words its own texts in English only.
#pragma once

#include <string>

struct sqlite3;

namespace quorel::sql {

// The reason a result code (primary or extended) stands for; where the system's error led to
// it (a file that cannot be opened or read), that error too: "die Datei kann nicht geöffnet
// werden (keine Berechtigung)". A code without a text of its own gives its number.
std::string SqliteErrorText(int code, int systemError = 0);

// Why the last call on db failed: the text of its extended result code and system error,
// followed by SQLite's own message in parentheses where that says more than its code (the
// name of a missing table, say).
std::string SqliteReason(sqlite3* db);

}  // namespace quorel::sql
