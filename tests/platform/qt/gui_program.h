// The whole program on the real Qt windows: forms, window semantics and Qt backend as shipped,
// with the settings in memory, the scripted server and the wall clock.
#pragma once

#include <QCursor>
#include <QGuiApplication>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "gui_user.h"
#include "platform/desktop/form_desktop.h"
#include "platform/headless/memory_store.h"
#include "platform/headless/scripted_server.h"
#include "platform/posix/local_clock.h"
#include "platform/posix/posix_system.h"
#include "platform/qt/qt_backend.h"

namespace quorel::testing {

// The mouse pointer as it is while a server call runs: "wait" or "normal".
inline std::string PointerNow() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor && cursor->shape() == Qt::WaitCursor ? "wait" : "normal";
}

// Passes every call on to the scripted server and notes the pointer during each one.
class PointerWatch final : public platform::ServerClientFactory {
 public:
  explicit PointerWatch(platform::ServerClientFactory& inner) : inner_(inner) {}

  std::unique_ptr<platform::ServerClient> Create() override {
    return std::make_unique<Client>(*this, inner_.Create());
  }
  // One entry per call: "connect wait", "open normal", ...
  std::vector<std::string> calls;

 private:
  class Client final : public platform::ServerClient {
   public:
    Client(PointerWatch& watch, std::unique_ptr<platform::ServerClient> inner)
        : watch_(watch), inner_(std::move(inner)) {}
    bool Connect(std::u16string_view connectString) override {
      watch_.calls.push_back("connect " + PointerNow());
      return inner_->Connect(connectString);
    }
    bool IsConnected() override { return inner_->IsConnected(); }
    void Disconnect() override { inner_->Disconnect(); }
    std::unique_ptr<platform::ServerObject> OpenId(std::u16string_view className,
                                                   std::u16string_view id) override {
      watch_.calls.push_back("open " + PointerNow());
      return inner_->OpenId(className, id);
    }

   private:
    PointerWatch& watch_;
    std::unique_ptr<platform::ServerClient> inner_;
  };

  platform::ServerClientFactory& inner_;
};

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
  PointerWatch watch{server};
  platform::headless::MemoryStore store;
  posix::LocalClock clock;
  posix::PosixSystem system;
  qt::QtBackend backend;
  platform::desktop::FormDesktop desktop{backend, u"Quorel"};
  cacheapi::Platform platform{desktop, store, clock, watch, system};
  app::Program program{platform};
  GuiUser user{backend};
};

}  // namespace quorel::testing
