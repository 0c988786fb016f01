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
#include "platform/server_choice.h"
#include "platform/sql/odbc_client.h"
#include "platform/text.h"
#include "platform/win32/com/com_apartment.h"
#include "platform/win32/com/com_server_client.h"
#include "platform/win32/desktop/win32_backend.h"  // brings <windows.h>
#include "platform/win32/system/standard_error.h"
#include "platform/win32/system/command_line.h"
#include "platform/win32/system/local_clock.h"
#include "platform/win32/system/registry_settings_store.h"
#include "platform/win32/system/win32_system.h"
#include "platform/win32/system_error.h"

namespace {

using namespace quorel;

// Tells the user why the program cannot go on, and standard error too.
int Fail(const std::string& cause) {
  const std::u16string text = u"Quorel kann nicht ausgeführt werden:\n" + text::FromUtf8(cause);
  win32::StandardError().Line(text);
  win32::ShowFatalError(u"Quorel", text);
  return forms::kExitFailure;
}

// The vendor's client object, unless MIRLOX_SERVER names a server's ODBC driver.
std::unique_ptr<platform::ServerClientFactory> ServerClients() {
  const platform::ServerChoice choices[] = {
      {.description = u"der Datenbank-Client \"" + std::u16string(win32::kClientProgId) + u"\"",
       .byDefault = true,
       .make = [](std::string_view) { return std::make_unique<win32::ComServerClientFactory>(); }},
      sql::OdbcServerChoice(),
  };
  const wchar_t* value = _wgetenv(L"MIRLOX_SERVER");
  if (!value) return platform::ChooseServer(choices, std::nullopt);
  return platform::ChooseServer(choices, text::ToUtf8(reinterpret_cast<const char16_t*>(value)));
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
    win32::StandardError diagnostics;
    cacheapi::Platform platform{desktop, store, clock, *server, system, diagnostics};
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
