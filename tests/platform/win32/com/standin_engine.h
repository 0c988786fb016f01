// The stand-in of the vendor's client object as an engine of the shared server-client suites:
// the COM client factory, a listener as the server, the records of users.tsv.
#pragma once

#include <fstream>
#include <string>

#include "platform/server_client.h"
#include "platform/text.h"
#include "platform/win32/com/com_apartment.h"
#include "platform/win32/com/com_server_client.h"
#include "support/scoped_env.h"
#include "test_listener.h"

namespace quorel::win32::testing {

inline std::string U8(std::u16string_view s) {
  return text::ToUtf8(s);
}

struct StandinEngine {
  static constexpr char kNoSuchTable[] = "existiert nicht";

  void SetUp() {}
  platform::ServerClientFactory& Factory() { return factory; }
  std::u16string Port() { return listener.Port(); }
  std::u16string ConnectString() { return u"cn_iptcp:127.0.0.1[" + Port() + u"]:MIRLOX"; }
  // The user records of the file, counted aside the program.
  long RowCount() {
    std::ifstream in(QUOREL_STANDIN_USERS_FILE);
    long rows = 0;
    for (std::string line; std::getline(in, line);)
      rows += line.starts_with("MX.ParPersEdv\t");
    return in.eof() ? rows : -1;
  }

  // The stand-in's records: users.tsv beside the tests.
  quorel::testing::ScopedEnv users{L"QUOREL_STANDIN_USERS", L"" QUOREL_STANDIN_USERS_FILE};
  ComApartment com;  // first in, last out: COM outlives every client
  TestListener listener;
  ComServerClientFactory factory;
};

}  // namespace quorel::win32::testing
