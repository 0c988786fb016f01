// The tests both engines must pass, against a real database with the test users of sql/:
// Client, the server client on its own, and Login, through the real session layer and forms
// on the in-memory desktop. Each engine's test program instantiates them with its Engine:
//   void SetUp();                                 test database ready (or the test fails/skips)
//   platform::ServerClientFactory& Factory();     the clients the program creates
//   std::u16string Port();                        what the program connects to, on kHost
//   long RowCount();                              rows of the user table, read aside the program
//   static constexpr char kNoSuchTable[];         the engine's words for a missing table
// Include in one source file per test program.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/exit_status.h"
#include "session/cacheapi.h"
#include "support/harness.h"

namespace quorel::sql::testing {

using quorel::testing::Harness;
using quorel::testing::U8;

inline constexpr char kRefusedBox[] =
    "msgbox style=64 title=Anmeldung an Caché: Passwort Falsch oder Benutzer nicht Aktiv";
inline const std::u16string kCaption = u"MIRLOX Quorel              Firma: ";
inline const std::u16string kHost = u"127.0.0.1";

// Counts the clients a factory creates.
class CountingFactory final : public platform::ServerClientFactory {
 public:
  explicit CountingFactory(platform::ServerClientFactory& inner) : inner_(inner) {}
  std::unique_ptr<platform::ServerClient> Create() override {
    ++created_;
    return inner_.Create();
  }
  int created() const { return created_; }

 private:
  platform::ServerClientFactory& inner_;
  int created_ = 0;
};

template <class Engine>
class Client : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.SetUp();
    if (this->IsSkipped() || this->HasFatalFailure()) return;
    client = engine.Factory().Create();
    ASSERT_TRUE(client->Connect(ConnectString()));
    ASSERT_TRUE(client->IsConnected());
  }
  std::u16string ConnectString() {
    return u"cn_iptcp:" + kHost + u"[" + engine.Port() + u"]:MIRLOX";
  }
  std::unique_ptr<platform::ServerObject> Open(std::u16string_view id) {
    return client->OpenId(u"MX.ParPersEdv", id);
  }

  Engine engine;
  std::unique_ptr<platform::ServerClient> client;
};

TYPED_TEST_SUITE_P(Client);

TYPED_TEST_P(Client, PropertiesAreTheColumnsOfTheRowAsText) {
  struct Case {
    std::u16string id, property, value;
  };
  const std::vector<Case> cases = {
      {u"1||ABC", u"PASSWORT", u"pw"},
      {u"1||ABC", u"AKTIV", u"J"},
      {u"1||ABC", u"PNAME", u"Jürgen Müller"},
      {u"1||ABC", u"ID", u"1||ABC"},
      {u"1||ABC", u"FIRMA", u"1"},
      {u"1||ABC", u"PERSNR", u"4711"},
      {u"2||ABC", u"PERSNR", u"-12"},
      {u"2||ABC", u"PASSWORT", u"zwei"},
      {u"1||INAKTIVNULL", u"AKTIV", u""},
      {u"1||INAKTIVNULL", u"PERSNR", u""},
      {u"1||OHNEPW", u"PASSWORT", u""},
      {u"1||NOTE", u"PNAME", u"Zo\u00EB \U0001D11E \u00C6r\u00F8 \U0001F600"},
      {u"1||O'BRIEN", u"PNAME", u"Seán O'Brien"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.id + u" " + c.property));
    auto object = this->Open(c.id);
    EXPECT_EQ(U8(object->Property(c.property)), U8(c.value));
  }
  // Property names are column names, exactly.
  auto object = this->Open(u"1||ABC");
  for (const std::u16string& name :
       std::vector<std::u16string>{u"passwort", u"PASSWORT ", u"", u"PASSWORT\" FROM x",
                                   u"\"PASSWORT\"", u"MX.ParPersEdv.PASSWORT"}) {
    SCOPED_TRACE(U8(name));
    EXPECT_THROW(object->Property(name), platform::PropertyNotFoundError);
  }
}

TYPED_TEST_P(Client, EachFailureHasItsOwnErrorType) {
  const auto kind = [](const std::function<void()>& action) -> std::string {
    try {
      action();
    } catch (const platform::ObjectNotFoundError&) {
      return "not found";
    } catch (const platform::PropertyNotFoundError&) {
      return "no property";
    } catch (const platform::NotConnectedError&) {
      return "not connected";
    } catch (const platform::ServerError&) {
      return "server";
    }
    return "none";
  };
  auto& client = *this->client;
  EXPECT_EQ(kind([&] { client.OpenId(u"MX.ParPersEdv", u"1||NIEMAND"); }), "not found");
  EXPECT_EQ(kind([&] { client.OpenId(u"MX.ParPersEdv", u""); }), "not found");
  EXPECT_EQ(kind([&] { this->Open(u"1||ABC")->Property(u"FEHLT"); }), "no property");
  EXPECT_EQ(kind([&] { this->Open(u"1||ABC")->Call(u"sys_Delete"); }), "server");
  for (const std::u16string& className :
       std::vector<std::u16string>{u"MX.Fehlt", u"", u".ParPersEdv", u"MX."}) {
    SCOPED_TRACE(U8(className));
    EXPECT_EQ(kind([&] { client.OpenId(className, u"1||ABC"); }), "server");
  }
  // An engine failure reaches the user in the engine's words.
  try {
    client.OpenId(u"MX.Fehlt", u"1||ABC");
  } catch (const platform::ServerError& e) {
    EXPECT_NE(std::string(e.what()).find(TypeParam::kNoSuchTable), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("MX.Fehlt"), std::string::npos) << e.what();
  }

  // Closing releases the row, also twice; what is read afterwards is an error, not stale data.
  auto object = this->Open(u"1||ABC");
  object->Call(u"sys_Close");
  object->Call(u"sys_Close");
  EXPECT_EQ(kind([&] { object->Property(u"PASSWORT"); }), "server");

  // Read rows outlive the connection; new opens do not.
  auto kept = this->Open(u"1||ABC");
  client.Disconnect();
  EXPECT_FALSE(client.IsConnected());
  EXPECT_EQ(U8(kept->Property(u"PNAME")), "Jürgen Müller");
  EXPECT_EQ(kind([&] { this->Open(u"1||ABC"); }), "not connected");
  auto fresh = this->engine.Factory().Create();
  EXPECT_EQ(kind([&] { fresh->OpenId(u"MX.ParPersEdv", u"1||ABC"); }), "not connected");
  client.Disconnect();  // twice is harmless
}

TYPED_TEST_P(Client, HostileClassNamesAndIdsFindNothingAndChangeNothing) {
  const long rows = this->engine.RowCount();
  for (const std::u16string& className : std::vector<std::u16string>{
           u"MX.ParPersEdv\" WHERE 1=1; --", u"MX\".\"ParPersEdv", u"MX.ParPersEdv; DROP TABLE x",
           u"MX.ParPersEdv\"; DROP TABLE \"MX.ParPersEdv\"; --",
           std::u16string(u"MX.Par\0PersEdv", 14)}) {
    SCOPED_TRACE(U8(className));
    EXPECT_THROW(this->client->OpenId(className, u"1||ABC"), platform::ServerError);
  }
  for (const std::u16string& id :
       std::vector<std::u16string>{u"1||ABC' OR '1'='1", u"' OR ''='",
                                   u"1||ABC'; DELETE FROM x; --", std::u16string(u"1||ABC\0", 7),
                                   std::u16string(300, u'\''), u"1||abc", u" 1||ABC", u"1||ABC "}) {
    SCOPED_TRACE(U8(id));
    EXPECT_THROW(this->Open(id), platform::ObjectNotFoundError);
  }
  EXPECT_TRUE(this->client->IsConnected());
  EXPECT_EQ(U8(this->Open(u"1||ABC")->Property(u"PASSWORT")), "pw");
  EXPECT_EQ(this->engine.RowCount(), rows);
}

REGISTER_TYPED_TEST_SUITE_P(Client, PropertiesAreTheColumnsOfTheRowAsText,
                            EachFailureHasItsOwnErrorType,
                            HostileClassNamesAndIdsFindNothingAndChangeNothing);

template <class Engine>
class Login : public ::testing::Test {
 protected:
  void SetUp() override { engine.SetUp(); }

  // The program with the command line "FIRMA FILIALE BENUTZER PASSWORT" and the engine's
  // server and port.
  std::unique_ptr<Harness> WithCommandLine(const std::u16string& login) {
    return std::make_unique<Harness>(login + u" " + kHost + u" " + engine.Port(),
                                     "/nonexistent/quorel/registry", &engine.Factory());
  }
  // The program with the login in its settings store, which takes any text.
  std::unique_ptr<Harness> WithStore(const std::u16string& firma, const std::u16string& name,
                                     const std::u16string& password) {
    auto h = std::make_unique<Harness>(std::u16string(), "/nonexistent/quorel/registry",
                                       &engine.Factory());
    h->store.Put(u"Firma", firma);
    h->store.Put(u"Filiale", u"0");
    h->store.Put(u"Name", name);
    h->store.Put(u"Passwort", cacheapi::ScramblePassword(password));
    h->store.Put(u"Server", kHost);
    h->store.Put(u"Port", engine.Port());
    return h;
  }

  Engine engine;
};

TYPED_TEST_SUITE_P(Login);

TYPED_TEST_P(Login, AcceptedUserSeesTheirNameInTheCaption) {
  struct Case {
    const char* what = nullptr;
    std::u16string login;
    std::u16string firma;
    std::u16string benutzer;
  };
  const std::vector<Case> cases = {
      {"umlauts", u"1 0 ABC pw", u"1", u"ABC | Jürgen Müller"},
      {"same code, other company", u"2 0 ABC zwei", u"2", u"ABC | Anna Zweig"},
      {"characters outside the BMP", u"1 0 NOTE pw", u"1", u"NOTE | Zoë 𝄞 Ærø 😀"},
      {"quote in the user code", u"1 0 O'BRIEN pw", u"1", u"O'BRIEN | Seán O'Brien"},
      {"empty password, empty PASSWORT", u"1 0 LEER ", u"1", u"LEER | Lea Ohnewort"},
      {"empty password, NULL PASSWORT", u"1 0 OHNEPW ", u"1", u"OHNEPW | Olaf Nullwort"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto h = this->WithCommandLine(c.login);
    h->screen.CloseBox(u"FMStart");
    ASSERT_EQ(h->Run(), forms::kExitNormal) << h->Dump();
    ASSERT_EQ(h->Log("caption FMStart").size(), 1u) << h->Dump();
    EXPECT_EQ(h->Log("caption FMStart")[0], U8(u"caption FMStart: " + kCaption + c.firma +
                                               u"     Filiale: 0     Benutzer: " + c.benutzer));
    EXPECT_TRUE(h->Log("msgbox").empty()) << h->Dump();
  }
}

TYPED_TEST_P(Login, RefusedUserIsToldAndTheProgramEnds) {
  struct Case {
    const char* what = nullptr;
    std::u16string login;
  };
  const std::vector<Case> cases = {
      {"wrong password", u"1 0 ABC falsch"},         {"password in other case", u"1 0 ABC PW"},
      {"other company's password", u"2 0 ABC pw"},   {"inactive j", u"1 0 INAKTIVJ pw"},
      {"inactive empty", u"1 0 INAKTIVLEER pw"},     {"inactive NULL", u"1 0 INAKTIVNULL pw"},
      {"unknown user", u"1 0 NIEMAND pw"},           {"unknown company", u"3 0 ABC pw"},
      {"empty password for a set one", u"1 0 ABC "}, {"password for an empty one", u"1 0 LEER x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto h = this->WithCommandLine(c.login);
    h->screen.Answer(platform::vbOK);
    EXPECT_EQ(h->Run(), forms::kExitRefused) << h->Dump();
    EXPECT_EQ(h->Log("msgbox"), std::vector<std::string>{kRefusedBox}) << h->Dump();
    EXPECT_EQ(h->log.IndexOf("show FMStart modeless"), -1);
    EXPECT_EQ(h->session().Benutzer, u"");
  }
}

TYPED_TEST_P(Login, HostileCompanyAndUserTextsAreRefusedAndTheTableStaysIntact) {
  const long rows = this->engine.RowCount();
  ASSERT_GT(rows, 0);
  struct Case {
    const char* what = nullptr;
    std::u16string firma;
    std::u16string name;
  };
  const std::vector<Case> cases = {
      {"or-true in the user code", u"1", u"ABC' OR '1'='1"},
      {"comment after the code", u"1", u"ABC'--"},
      {"or-true in the company", u"1' OR '1'='1", u"ABC"},
      {"drop table, SQLite name", u"1", u"'; DROP TABLE \"MX.ParPersEdv\"; --"},
      {"drop table, PostgreSQL name", u"1", u"x'); DROP TABLE \"MX\".\"ParPersEdv\"; --"},
      {"concatenation in the code", u"1", u"' || 'ABC"},
      {"separator in the company", u"1||ABC", u""},
      {"separator at the end of the code", u"1", u"ABC||"},
      {"whole id as the code", u"", u"1||ABC"},
      {"wildcards", u"1", u"AB%"},
      {"single-character wildcard", u"1", u"AB_"},
      {"backslash", u"1", u"ABC\\"},
      {"NUL at the end", u"1", std::u16string(u"ABC\0", 4)},
      {"NUL inside", u"1", std::u16string(u"ABC\0' OR '1'='1", 15)},
      {"254-character company", std::u16string(254, u'1'), u"ABC"},
      {"254-character code", u"1", std::u16string(254, u'A')},
      {"254 quotes", u"1", std::u16string(254, u'\'')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto h = this->WithStore(c.firma, c.name, u"pw");
    h->screen.Answer(platform::vbOK);
    EXPECT_EQ(h->Run(), forms::kExitRefused) << h->Dump();
    EXPECT_EQ(h->Log("msgbox"), std::vector<std::string>{kRefusedBox}) << h->Dump();
  }
  EXPECT_EQ(this->engine.RowCount(), rows);
  auto h = this->WithStore(u"1", u"ABC", u"pw");
  h->screen.CloseBox(u"FMStart");
  EXPECT_EQ(h->Run(), forms::kExitNormal) << h->Dump();
}

REGISTER_TYPED_TEST_SUITE_P(Login, AcceptedUserSeesTheirNameInTheCaption,
                            RefusedUserIsToldAndTheProgramEnds,
                            HostileCompanyAndUserTextsAreRefusedAndTheTableStaysIntact);

// Runs the program with the command line against clients that never connect, the user going
// back twice and confirming the message: two server dialogs, the message, exit status 2, three
// clients, and on standard error why each attempt failed, in the client's words. took: how long
// the run took.
inline void ExpectThreeFailedAttempts(platform::ServerClientFactory& clients,
                                      const std::u16string& commandLine, std::string_view reason,
                                      std::chrono::steady_clock::duration* took = nullptr) {
  CountingFactory factory(clients);
  Harness h(commandLine, "/nonexistent/quorel/registry", &factory);
  h.screen.Click(u"FMServer", u"BUZurück");
  h.screen.Click(u"FMServer", u"BUZurück");
  h.screen.Answer(platform::vbOK);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(h.Run(), forms::kExitNoConnection) << h.Dump();
  if (took != nullptr) *took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(factory.created(), 3);
  EXPECT_EQ(h.Log("show FMServer modal").size(), 2u) << h.Dump();
  EXPECT_EQ(h.Log("msgbox"),
            (std::vector<std::string>{"msgbox style=48 title=Anmeldung an Caché: Server nach 3 "
                                      "Versuchen nicht erreichbar!\r\nAbbruch"}));
  EXPECT_FALSE(h.screen.HasWindow(u"FMStart"));
  const auto lines = h.Log("stderr: ");
  ASSERT_EQ(lines.size(), 4u) << h.Dump();
  for (int attempt = 1; attempt <= 3; ++attempt) {
    const std::string& line = lines[static_cast<std::size_t>(attempt - 1)];
    EXPECT_TRUE(
        line.starts_with("stderr: Verbindungsversuch " + std::to_string(attempt) + " von 3"))
        << line;
    EXPECT_NE(line.find(reason), std::string::npos) << line;
  }
  EXPECT_EQ(lines[3], "stderr: Server nach 3 Versuchen nicht erreichbar! Abbruch");
}

}  // namespace quorel::sql::testing
