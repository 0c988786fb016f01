// The whole program on the real Qt windows, as the screenshots show it: forms, window semantics
// and Qt backend as shipped, with the settings in memory, the scripted server and the wall clock.
#pragma once

#include <string>

#include "app/program.h"
#include "gui_user.h"
#include "platform/desktop/form_desktop.h"
#include "platform/headless/diagnostics_log.h"
#include "platform/headless/memory_store.h"
#include "platform/headless/scripted_server.h"
#include "platform/posix/local_clock.h"
#include "platform/posix/posix_system.h"
#include "platform/qt/qt_backend.h"

namespace quorel::testing {

struct GuiProgram {
  explicit GuiProgram(std::u16string commandLine = {})
      : system(std::move(commandLine), "/nonexistent/quorel/registry") {}

  int Run() {
    return user.Drive([this] { return program.Run(); });
  }
  void AddUser(const std::u16string& id, const std::u16string& password,
               const std::u16string& name) {
    server.AddRecord(id, {{u"PASSWORT", password}, {u"AKTIV", u"J"}, {u"PNAME", name}});
  }

  platform::headless::EventLog log;
  platform::headless::ScriptedServer server{log};
  platform::headless::MemoryStore store;
  posix::LocalClock clock;
  posix::PosixSystem system;
  qt::QtBackend backend;
  platform::desktop::FormDesktop desktop{backend, u"Quorel"};
  platform::headless::DiagnosticsLog diagnostics{log};
  cacheapi::Platform platform{desktop, store, clock, server, system, diagnostics};
  app::Program program{platform};
  GuiUser user{backend};
};

}  // namespace quorel::testing
