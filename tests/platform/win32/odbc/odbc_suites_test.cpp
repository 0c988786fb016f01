// The ODBC client of the Windows program, through Windows' driver manager: under Wine that
// hands the calls on to the host's unixODBC, so the shared server-client suites run here on
// SQLite's ODBC driver against a database the test fixture made.
#include "platform/sql/odbc_client.h"
#include "row_count.h"
#include "tests/platform/sql/engine_suites.h"

namespace quorel::sql::testing {
namespace {

constexpr char16_t kConnection[] =
    u"Driver=Quorel SQLite;Database=" QUOREL_ODBC_DATABASE u";NoCreat=1";

struct WindowsOdbcEngine {
  static constexpr char kNoSuchTable[] = "no such table";

  void SetUp() {}
  platform::ServerClientFactory& Factory() { return *factory; }
  std::u16string Port() { return u"1972"; }
  // The user records, counted aside the program through the driver manager itself.
  long RowCount() { return CountRows(kConnection, u"SELECT COUNT(*) FROM \"MX.ParPersEdv\""); }

  std::unique_ptr<platform::ServerClientFactory> factory = MakeOdbcFactory(kConnection);
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(WindowsOdbcClient, Client, WindowsOdbcEngine);
INSTANTIATE_TYPED_TEST_SUITE_P(WindowsOdbcLogin, Login, WindowsOdbcEngine);

}  // namespace quorel::sql::testing
