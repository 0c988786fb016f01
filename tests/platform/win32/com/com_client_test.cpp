// The COM server client against the stand-in of the vendor's client object: connections that
// are real TCP connections, values converted to text, the object's own error texts, and
// client objects that cannot be created.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <vector>

#include "standin_engine.h"

namespace quorel::win32::testing {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

class ComClientTest : public ::testing::Test {
 protected:
  std::unique_ptr<platform::ServerClient> Connected() {
    auto client = engine.Factory().Create();
    EXPECT_TRUE(client->Connect(engine.ConnectString()));
    return client;
  }

  StandinEngine engine;
};

TEST_F(ComClientTest, ConnectIsARealConnectionToTheAddressAndPort) {
  struct Case {
    std::u16string connectString;
    bool connects;
  };
  const std::u16string port = engine.Port();
  const std::vector<Case> cases = {
      {u"cn_iptcp:127.0.0.1[" + port + u"]:MIRLOX", true},
      {u"cn_iptcp:localhost[" + port + u"]:ANDERS", true},
      {u"cn_iptcp:127.0.0.1[" + ClosedPort() + u"]:MIRLOX", false},
      {u"cn_iptcp:127.0.0.1[]:MIRLOX", false},
      {u"cn_iptcp:[" + port + u"]:MIRLOX", false},
      {u"cn_iptcp:127.0.0.1:" + port, false},
      {u"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.connectString));
    auto client = engine.Factory().Create();
    const auto start = Clock::now();
    EXPECT_EQ(client->Connect(c.connectString), c.connects);
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
    EXPECT_EQ(client->IsConnected(), c.connects);
    EXPECT_TRUE(engine.listener.WaitOpenConnections(c.connects ? 1 : 0));
    client.reset();  // releasing the object ends its connection
    EXPECT_TRUE(engine.listener.WaitOpenConnections(0));
  }
}

TEST_F(ComClientTest, AfterTheServerDroppedTheConnectionTheObjectSaysItIsNotConnected) {
  auto client = Connected();
  ASSERT_TRUE(engine.listener.WaitOpenConnections(1));
  EXPECT_EQ(U8(client->OpenId(u"MX.ParPersEdv", u"1||ABC")->Property(u"AKTIV")), "J");
  engine.listener.DropAll();
  bool connected = true;
  for (const auto deadline = Clock::now() + std::chrono::seconds(3);
       connected && Clock::now() < deadline; std::this_thread::sleep_for(milliseconds(5)))
    connected = client->IsConnected();
  EXPECT_FALSE(connected);
  EXPECT_THROW(client->OpenId(u"MX.ParPersEdv", u"1||ABC"), platform::NotConnectedError);
  client->Disconnect();  // harmless on a connection already gone
  EXPECT_TRUE(client->Connect(engine.ConnectString()));
  EXPECT_TRUE(engine.listener.WaitOpenConnections(1));
  client->Disconnect();
  EXPECT_TRUE(engine.listener.WaitOpenConnections(0));
  EXPECT_FALSE(client->IsConnected());
}

TEST_F(ComClientTest, ValuesBecomeTextAsTheUsersLocaleWritesThem) {
  wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
  GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
  if (std::wstring(locale) != L"de-DE") GTEST_SKIP() << "needs the German locale of with-wine";
  const std::vector<std::pair<std::u16string, std::string>> cases = {
      {u"GANZ", "-12"},
      {u"NULLZAHL", "0"},
      {u"GROSS", "2147483647"},
      {u"KOMMA", "1,5"},
      {u"WAHR", "True"},
      {u"FALSCH", "False"},
      {u"ZEIT", "24.12.2024 13:45:00"},
      {u"TAG", "24.12.2024"},
      {u"LEER", ""},
      {u"NICHTS", ""},
      {u"TEXT", " a b "},
      {u"NICHTLEER", "0"},
  };
  auto client = Connected();
  const auto record = client->OpenId(u"MX.Werte", u"1");
  for (const auto& [property, value] : cases) {
    SCOPED_TRACE(U8(property));
    EXPECT_EQ(U8(record->Property(property)), value);
  }
}

TEST_F(ComClientTest, AnErrorTheObjectRaisesReachesTheUserInItsOwnWords) {
  auto client = Connected();
  auto record = client->OpenId(u"MX.ParPersEdv", u"1||DEFEKT");
  EXPECT_EQ(U8(record->Property(u"PNAME")), "Dora Defekt");
  try {
    record->Property(u"PASSWORT");
    ADD_FAILURE() << "no error";
  } catch (const platform::PropertyNotFoundError& e) {
    ADD_FAILURE() << "taken for a missing property: " << e.what();
  } catch (const platform::ServerError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("<READ>ParPersEdv: Datensatz 1||DEFEKT gesperrt"), std::string::npos)
        << what;
    EXPECT_NE(what.find("„PASSWORT“"), std::string::npos) << what;
  }
  // The record stays usable, and closing it is silent.
  EXPECT_EQ(U8(record->Property(u"AKTIV")), "J");
  record->Call(u"sys_Close");
}

TEST_F(ComClientTest, AClientObjectThatCannotBeCreatedIsNamedWithTheReason) {
  // A class registered with a library that is not there, as after an incomplete removal.
  const std::wstring classId = L"{7C1D3B52-2A0E-4C54-9E61-8D7A3F0B5E11}";
  const std::wstring classKey = L"CLSID\\" + classId;
  const auto set = [](const std::wstring& key, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  };
  ASSERT_EQ(set(L"Quorel.Ohne.Bibliothek\\CLSID", classId), ERROR_SUCCESS);
  ASSERT_EQ(set(classKey + L"\\InprocServer32", L"C:\\fehlt\\nirgends.dll"), ERROR_SUCCESS);
  struct Case {
    std::u16string progId;
    std::string words;
  };
  const std::vector<Case> cases = {
      {u"Quorel.Nirgends.Factory", "Der Datenbank-Client ist nicht installiert"},
      {u"", "Der Datenbank-Client ist nicht installiert"},
      {u"Quorel.Ohne.Bibliothek", "Der Datenbank-Client ist nicht installiert"},
      // Registered, but another object: it lacks the client object's interface.
      {u"Scripting.Dictionary", "bietet die Schnittstelle des Datenbank-Clients nicht an"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.progId));
    ComServerClientFactory factory(c.progId);
    try {
      factory.Create();
      ADD_FAILURE() << "created";
    } catch (const platform::ServerError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(c.words), std::string::npos) << what;
      EXPECT_NE(what.find("„" + U8(c.progId) + "“"), std::string::npos) << what;
    }
  }
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Quorel.Ohne.Bibliothek");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str());
}

}  // namespace
}  // namespace quorel::win32::testing
