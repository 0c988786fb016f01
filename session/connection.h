// The program's one connection to the database server: connecting with retries, the bracket
// around every piece of server work (busy pointer, idle timer), the disconnect, and the wait
// that keeps the user interface alive.
#pragma once

#include <cstdint>

#include "session/session.h"

namespace quorel::cacheapi {

// Before a piece of server work: busy pointer when busy, connection ensured, idle timer off.
void OpenServer(Session& session, bool busy);
// After a piece of server work: default pointer when busy, idle timer restarted.
void ReleaseServer(Session& session, bool busy);
// Connects unless connected: up to three attempts, the server dialog and a pause between them.
void ConnectServer(Session& session);
// Idle timer off, and a disconnect when connected.
void DisconnectServer(Session& session);
// Waits hundredths of a second while processing events; elapsed receives the seconds waited.
void Pause(Session& session, std::int16_t hundredths, double* elapsed = nullptr);

}  // namespace quorel::cacheapi
