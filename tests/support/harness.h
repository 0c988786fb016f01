// The whole program on the in-memory platform: scripted user, virtual clock, settings store in
// memory, scripted server, and the real forms with their handlers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/program.h"
#include "platform/desktop/form_desktop.h"
#include "platform/headless/diagnostics_log.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/memory_store.h"
#include "platform/headless/scripted_server.h"
#include "platform/text.h"
#include "support/test_system.h"

namespace quorel::testing {

using namespace std::chrono_literals;
namespace headless = platform::headless;

// The exit status Run reports when the script ended while the main loop waited for the user.
inline constexpr int kStillRunning = -100;
inline constexpr int kScriptFailed = -200;

class Harness {
 public:
  // serverClients replaces the scripted server, e.g. by a real database client.
  explicit Harness(std::u16string commandLine = {},
                   std::string registryPath = "/nonexistent/quorel/registry",
                   platform::ServerClientFactory* serverClients = nullptr)
      : system(std::move(commandLine), std::move(registryPath)),
        platform{desktop, store,      clock, serverClients ? *serverClients : server,
                 system,  diagnostics},
        program(std::make_unique<app::Program>(platform)) {}

  cacheapi::Session& session() { return program->session(); }

  // Runs the program to its end, or until the script is done while the main loop waits.
  int Run() {
    int status = kScriptFailed;
    Call([&] {
      try {
        status = program->Run();
      } catch (const headless::ScriptDone&) {
        status = kStillRunning;
      }
    });
    return status;
  }

  // Runs program code directly; a script error becomes a test failure.
  void Call(const std::function<void()>& code) {
    try {
      code();
    } catch (const headless::ScriptError& e) {
      ADD_FAILURE() << "script: " << e.message;
    }
  }

  // The user's record on the scripted server.
  void AddUser(const std::u16string& id, const std::u16string& password,
               const std::u16string& active, const std::u16string& name) {
    server.AddRecord(id, {{u"PASSWORT", password}, {u"AKTIV", active}, {u"PNAME", name}});
  }

  std::vector<std::string> Log(std::string_view prefix = {}) const { return log.Starting(prefix); }
  std::string Dump() const {
    std::string out;
    for (const auto& e : log.Entries())
      out += e + "\n";
    return out;
  }

  headless::EventLog log;
  headless::VirtualClock clock;
  headless::HeadlessBackend screen{clock, log};
  platform::desktop::FormDesktop desktop{screen, u"Quorel"};
  headless::MemoryStore store;
  headless::ScriptedServer server{log};
  TestSystem system;
  headless::DiagnosticsLog diagnostics{log};
  cacheapi::Platform platform;
  std::unique_ptr<app::Program> program;
};

inline std::string U8(std::u16string_view s) {
  return text::ToUtf8(s);
}

}  // namespace quorel::testing
