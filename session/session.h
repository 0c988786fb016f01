// The session values of one run and the platform they are worked out on.
#pragma once

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/diagnostics.h"
#include "platform/server_client.h"
#include "platform/settings_store.h"
#include "platform/system.h"

namespace quorel::cacheapi {

struct Platform {
  platform::Desktop& desktop;
  platform::SettingsStore& store;
  platform::Clock& clock;
  platform::ServerClientFactory& server;
  platform::System& system;
  platform::Diagnostics& diagnostics;
};

// Everything the session layer keeps for the whole run.
struct Session {
  explicit Session(Platform& platform) : platform(platform) {}

  Platform& platform;
  std::u16string Firma;          // company number
  std::u16string Filiale;        // branch number
  std::u16string UserName;       // user code
  std::u16string Passwort;       // password, in clear
  std::u16string ServerIP;       // server address
  std::u16string ServerPort;     // server port
  std::u16string Namespace;      // shown in the server dialog; not part of ConnectString
  std::u16string ConnectString;  // for the client factory
  std::u16string Benutzer;       // display text of the logged-in user
  std::unique_ptr<platform::ServerClient> Factory;  // the client object, once created
};

// The windows, controls and texts the session layer works with.
inline constexpr std::u16string_view kLoginDialog = u"FMPass";
inline constexpr std::u16string_view kServerDialog = u"FMServer";
inline constexpr std::u16string_view kIdleTimer = u"Lock";
inline constexpr std::u16string_view kServerTitle = u"Anmeldung an Caché";

}  // namespace quorel::cacheapi
