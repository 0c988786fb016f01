// A database server in memory, for tests: user records by class and id, scripted answers to
// connect and is-connected, and every call written to the event log.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>

#include "platform/headless/event_log.h"
#include "platform/server_client.h"

namespace quorel::platform::headless {

class ScriptedServer final : public platform::ServerClientFactory {
 public:
  using Record = std::map<std::u16string, std::u16string>;
  struct Answer {
    bool connect = true;
    bool isConnected = true;
  };

  explicit ScriptedServer(EventLog& log) : log_(log) {}

  // A record of class "MX.ParPersEdv" (or another class) with its properties.
  void AddRecord(std::u16string id, Record properties, std::u16string className = u"MX.ParPersEdv");
  // The answers of the next connection attempts, in order; when none are left, connects succeed.
  void QueueAnswers(std::initializer_list<Answer> answers);
  void RefuseAlways() { refuseAlways_ = true; }
  // The server drops every connection by itself.
  void DropConnections();
  void FailSysClose() { failSysClose_ = true; }

  std::unique_ptr<platform::ServerClient> Create() override;

  int Created() const { return created_; }
  // Connection strings of the connect calls, in order.
  const std::vector<std::u16string>& ConnectStrings() const { return connectStrings_; }
  int OpenConnections() const { return open_; }

 private:
  friend class ScriptedClient;
  friend class ScriptedObject;

  EventLog& log_;
  std::map<std::pair<std::u16string, std::u16string>, Record> records_;
  std::deque<Answer> answers_;
  bool refuseAlways_ = false;
  bool failSysClose_ = false;
  unsigned epoch_ = 0;  // raised when the server drops its connections
  int created_ = 0;
  int open_ = 0;
  std::vector<std::u16string> connectStrings_;
};

}  // namespace quorel::platform::headless
