// The login check at program start: settings, connection, the user's record on the server.
#pragma once

#include <memory>

#include "platform/server_client.h"
#include "session/session.h"

namespace quorel::cacheapi {

inline constexpr std::u16string_view kUserClass = u"MX.ParPersEdv";

// True when the user's record has the password and is active; sets Benutzer then.
bool CheckLogin(Session& session);

// Closes a server object with "sys_Close" (a failure is ignored) and releases it.
void CloseObject(std::unique_ptr<platform::ServerObject>& object);

}  // namespace quorel::cacheapi
