// The program on Windows: native windows, the settings in the user's registry area, the local
// clock, the database vendor's client object (or a server's ODBC driver, chosen by
// MIRLOX_SERVER=odbc:CONNECTION) and the Windows system.

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "app/end_process.h"
#include "app/program.h"
#include "forms/exit_status.h"
#include "platform/desktop/form_desktop.h"
#include "platform/sql/odbc_client.h"
#include "platform/text.h"
#include "platform/win32/com_apartment.h"
#include "platform/win32/com_server_client.h"
#include "platform/win32/command_line.h"
#include "platform/win32/fatal_error.h"
#include "platform/win32/local_clock.h"
#include "platform/win32/registry_settings_store.h"
#include "platform/win32/win32_backend.h"  // brings <windows.h>
#include "platform/win32/win32_system.h"

namespace {

using namespace quorel;

// Tells the user why the program cannot go on.
int Fail(const std::string& cause) {
  win32::ShowFatalError(u"Quorel",
                        u"Quorel kann nicht ausgeführt werden:\n" + text::FromUtf8(cause));
  return forms::kExitFailure;
}

// The vendor's client object, unless MIRLOX_SERVER names a server's ODBC driver.
std::unique_ptr<platform::ServerClientFactory> ServerClients() {
  constexpr std::u16string_view kOdbc = u"odbc:";
  const wchar_t* value = _wgetenv(L"MIRLOX_SERVER");
  const std::u16string setting =
      value ? std::u16string(reinterpret_cast<const char16_t*>(value)) : std::u16string();
  if (setting.empty()) return std::make_unique<win32::ComServerClientFactory>();
  if (setting.starts_with(kOdbc) && setting.size() > kOdbc.size())
    return sql::MakeOdbcFactory(setting.substr(kOdbc.size()));
  throw std::runtime_error("Die Umgebungsvariable MIRLOX_SERVER hat den ungültigen Wert »" +
                           text::ToUtf8(setting) +
                           "«. Erlaubt sind: nicht gesetzt (der Datenbank-Client "
                           "\"CacheObject.Factory\") und odbc:VERBINDUNG (ein Server über "
                           "seinen ODBC-Treiber).");
}

// Runs the program and returns its exit status.
int RunProgram() {
  try {
    // COM and the windows are never torn down: the process ends without them (EndProcess).
    static win32::ComApartment com;
    static win32::Win32Backend backend;
    platform::desktop::FormDesktop desktop(backend, u"Quorel");
    win32::RegistrySettingsStore store;
    win32::LocalClock clock;
    const std::unique_ptr<platform::ServerClientFactory> server = ServerClients();
    win32::Win32System system(win32::ProcessArgumentText());
    cacheapi::Platform platform{desktop, store, clock, *server, system};
    // The program, and with it every client object, goes before the factory.
    return app::Program(platform).Run();
  } catch (const std::exception& error) {
    return Fail(error.what());
  } catch (...) {
    return Fail("unbekannter Fehler");
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  app::EndProcess(RunProgram());
}
