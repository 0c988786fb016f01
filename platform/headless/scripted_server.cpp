#include "platform/headless/scripted_server.h"

#include "platform/text.h"

namespace quorel::platform::headless {

class ScriptedObject final : public platform::ServerObject {
 public:
  ScriptedObject(ScriptedServer& server, ScriptedServer::Record record)
      : server_(server), record_(std::move(record)) {}
  ~ScriptedObject() override { server_.log_.Add("server release object"); }

  std::u16string Property(std::u16string_view name) override {
    server_.log_.Add("server property " + text::ToUtf8(name));
    auto it = record_.find(std::u16string(name));
    if (it == record_.end())
      throw PropertyNotFoundError("Eigenschaft nicht gefunden: " + text::ToUtf8(name));
    return it->second;
  }
  void Call(std::u16string_view method) override {
    server_.log_.Add("server call " + text::ToUtf8(method));
    if (method != u"sys_Close") throw ServerError("Unbekannte Methode: " + text::ToUtf8(method));
    if (server_.failSysClose_) throw ServerError("sys_Close fehlgeschlagen");
  }

 private:
  ScriptedServer& server_;
  ScriptedServer::Record record_;
};

class ScriptedClient final : public platform::ServerClient {
 public:
  ScriptedClient(ScriptedServer& server, int number) : server_(server), number_(number) {}
  ~ScriptedClient() override {
    if (connected_ && epoch_ == server_.epoch_) --server_.open_;
    server_.log_.Add("server release #" + std::to_string(number_));
  }

  bool Connect(std::u16string_view connectString) override {
    server_.connectStrings_.emplace_back(connectString);
    ScriptedServer::Answer answer;
    if (server_.refuseAlways_) {
      answer = {false, false};
    } else if (!server_.answers_.empty()) {
      answer = server_.answers_.front();
      server_.answers_.pop_front();
    }
    isConnectedAnswer_ = answer.isConnected;
    if (answer.connect && answer.isConnected && !Connected()) {
      connected_ = true;
      epoch_ = server_.epoch_;
      ++server_.open_;
    }
    lastError_ = answer.connect ? "" : "vom Testserver abgewiesen";
    server_.log_.Add("server connect #" + std::to_string(number_) + " " +
                     text::ToUtf8(connectString) + " -> " + (answer.connect ? "true" : "false"));
    return answer.connect;
  }
  bool IsConnected() override {
    const bool result = Connected() && isConnectedAnswer_;
    server_.log_.Add("server is-connected #" + std::to_string(number_) + " -> " +
                     (result ? "true" : "false"));
    return result;
  }
  std::string LastError() const override { return lastError_; }
  void Disconnect() override {
    server_.log_.Add("server disconnect #" + std::to_string(number_));
    if (Connected()) --server_.open_;
    connected_ = false;
  }
  std::unique_ptr<platform::ServerObject> OpenId(std::u16string_view className,
                                                 std::u16string_view id) override {
    server_.log_.Add("server open #" + std::to_string(number_) + " " + text::ToUtf8(className) +
                     " " + text::ToUtf8(id));
    if (!Connected()) throw NotConnectedError("Keine Verbindung zum Server");
    auto it = server_.records_.find({std::u16string(className), std::u16string(id)});
    if (it == server_.records_.end())
      throw ObjectNotFoundError("Objekt nicht gefunden: " + text::ToUtf8(id));
    return std::make_unique<ScriptedObject>(server_, it->second);
  }

 private:
  bool Connected() const { return connected_ && epoch_ == server_.epoch_; }

  ScriptedServer& server_;
  int number_;
  bool connected_ = false;
  bool isConnectedAnswer_ = true;
  unsigned epoch_ = 0;
  std::string lastError_;
};

void ScriptedServer::AddRecord(std::u16string id, Record properties, std::u16string className) {
  records_[{std::move(className), std::move(id)}] = std::move(properties);
}

void ScriptedServer::QueueAnswers(std::initializer_list<Answer> answers) {
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

void ScriptedServer::DropConnections() {
  ++epoch_;
  open_ = 0;
}

std::unique_ptr<platform::ServerClient> ScriptedServer::Create() {
  ++created_;
  log_.Add("server create #" + std::to_string(created_));
  return std::make_unique<ScriptedClient>(*this, created_);
}

}  // namespace quorel::platform::headless
