// The about box's GetKeyValue over any answers of the registry: every size (none, within the
// buffer, beyond it), every type, strings with and without their terminator, failures of the
// open and of the query. Never a crash and never a read beyond the data; false means an empty
// KeyVal; a text of the code page for a string, "&h" and hexadecimal digits for a double word,
// KeyVal unchanged for other types; an empty or oversized value is the error the caller traps;
// an opened key is closed once, whatever happened.
//
// Input: open result, query result, type, claimed size (2 bytes), then the data.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "forms/frmAbout.h"
#include "fuzz/properties.h"
#include "platform/desktop/form_desktop.h"
#include "platform/headless/diagnostics_log.h"
#include "platform/headless/event_log.h"
#include "platform/headless/headless_backend.h"
#include "platform/headless/virtual_clock.h"
#include "platform/text.h"

namespace {

namespace platform = quorel::platform;

// A registry that answers what the input says, as the system's functions would shape it.
class AnsweringSystem final : public platform::System {
 public:
  long openResult = platform::ERROR_SUCCESS, queryResult = platform::ERROR_SUCCESS;
  std::uint32_t type = platform::REG_SZ, claimedSize = 0;
  std::vector<std::uint8_t> value;
  int opened = 0, closed = 0;

  std::u16string CommandLine() override { return {}; }
  std::u16string AppTitle() override { return u"Quorel"; }
  platform::Version AppVersion() override { return {1, 0, 0}; }
  long RegOpenKeyExA(platform::HKEY, std::string_view, std::uint32_t, std::uint32_t,
                     platform::HKEY* result) override {
    if (openResult != platform::ERROR_SUCCESS) return openResult;
    *result = 7;
    ++opened;
    return platform::ERROR_SUCCESS;
  }
  long RegQueryValueExA(platform::HKEY key, std::string_view, std::uint32_t* typeOut,
                        std::uint8_t* data, std::uint32_t* dataSize) override {
    quorel::fuzz::Require(key == 7 && data && dataSize, "queried through the opened key");
    if (queryResult != platform::ERROR_SUCCESS) return queryResult;
    *typeOut = type;
    // The data never goes beyond the buffer; the size reported may say anything.
    if (!value.empty())
      std::memcpy(data, value.data(), std::min<std::size_t>(value.size(), *dataSize));
    *dataSize = claimedSize;
    return platform::ERROR_SUCCESS;
  }
  long RegCloseKey(platform::HKEY key) override {
    quorel::fuzz::Require(key == 7, "the opened key is closed");
    ++closed;
    return platform::ERROR_SUCCESS;
  }
  bool FileExists(std::u16string_view) override { return false; }
  void StartProcess(std::u16string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quorel::fuzz::Require;
  if (size < 5) return 0;
  static platform::headless::EventLog log;
  static platform::headless::VirtualClock clock;
  static platform::headless::HeadlessBackend backend(clock, log);
  static platform::desktop::FormDesktop desktop(backend, u"Quorel");

  AnsweringSystem system;
  system.openResult = data[0] % 4 == 0 ? platform::ERROR_FILE_NOT_FOUND : platform::ERROR_SUCCESS;
  system.queryResult = data[1] % 4 == 0   ? platform::ERROR_MORE_DATA
                       : data[1] % 4 == 1 ? platform::ERROR_FILE_NOT_FOUND
                                          : platform::ERROR_SUCCESS;
  system.type = data[2] % 8;
  system.claimedSize = static_cast<std::uint32_t>(data[3] | data[4] << 8);
  system.value.assign(data + 5, data + size);
  // A registry that keeps to its word reports the size of the data it wrote.
  if (system.claimedSize % 2 == 0)
    system.claimedSize = static_cast<std::uint32_t>(std::min<std::size_t>(size - 5, 1024));

  static platform::headless::DiagnosticsLog diagnostics(log);
  quorel::forms::frmAbout about(desktop, system, diagnostics);
  const std::u16string before = u"vorher";
  std::u16string keyVal = before;
  bool result = false, error = false;
  try {
    result = about.GetKeyValue(platform::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Schl\u00FCssel", u"PATH",
                               keyVal);
  } catch (const std::runtime_error&) {
    error = true;
  }
  Require(system.closed == system.opened, "an opened key is closed once");
  const bool readable =
      system.openResult == platform::ERROR_SUCCESS && system.queryResult == platform::ERROR_SUCCESS;
  if (!readable) {
    Require(!error && !result && keyVal.empty(), "false and an empty KeyVal");
    return 0;
  }
  const std::uint32_t n = system.claimedSize;
  Require(error == (n == 0 || n > 1024), "an empty or oversized value is an error");
  if (error) return 0;
  Require(result, "true once the value was read");
  std::vector<std::uint8_t> buffer(1024, 0);
  std::copy_n(system.value.begin(), std::min<std::size_t>(system.value.size(), 1024),
              buffer.begin());
  const std::uint32_t kept = buffer[n - 1] == 0 ? n - 1 : n;
  if (system.type == platform::REG_SZ) {
    Require(keyVal.size() == kept, "a string without its terminator");
    for (std::uint32_t i = 0; i < kept; ++i)
      Require(keyVal[i] == quorel::text::CharFromCode(buffer[i]), "in the code page");
  } else if (system.type == platform::REG_DWORD) {
    Require(keyVal.starts_with(u"&h" + before), "\"&h\", what was passed, then the digits");
    for (std::size_t i = 2 + before.size(); i < keyVal.size(); ++i)
      Require((keyVal[i] >= u'0' && keyVal[i] <= u'9') || (keyVal[i] >= u'A' && keyVal[i] <= u'F'),
              "hexadecimal digits");
  } else {
    Require(keyVal == before, "other types leave KeyVal as it was");
  }
  return 0;
}
