// The machine-registry file on any bytes: never a crash, and the answers of the registry
// functions agree with each other: a value's size is what its data takes, a buffer too small gets
// ERROR_MORE_DATA and the size needed, a handle closes once.
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/properties.h"
#include "platform/posix/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quorel::fuzz::Require;
  namespace platform = quorel::platform;
  // The file lives in memory and is rewritten for each input.
  static const int fd = memfd_create("registry", MFD_CLOEXEC);
  Require(fd >= 0, "a file in memory");
  Require(ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == static_cast<ssize_t>(size),
          "the input written");
  quorel::posix::RegistryFile registry("/proc/self/fd/" + std::to_string(fd));

  static const std::array<const char*, 4> kKeys = {"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO",
                                                   "SOFTWARE\\Microsoft\\Shared Tools Location",
                                                   "SOFTWARE", ""};
  static const std::array<const char*, 4> kValues = {"PATH", "MSINFO", "", "Wert"};
  for (const char* key : kKeys) {
    platform::HKEY handle = 0;
    if (registry.Open(platform::HKEY_LOCAL_MACHINE, key, 0, platform::KEY_READ, &handle) !=
        platform::ERROR_SUCCESS)
      continue;
    for (const char* name : kValues) {
      std::uint32_t type = 0xFFFF, needed = 0;
      const long found = registry.Query(handle, name, &type, nullptr, &needed);
      std::vector<std::uint8_t> buffer(1024, 0xAA);
      std::uint32_t got = 1024, typeAgain = 0xFFFF;
      const long read = registry.Query(handle, name, &typeAgain, buffer.data(), &got);
      Require(found == read || (found == platform::ERROR_SUCCESS && needed > 1024 &&
                                read == platform::ERROR_MORE_DATA),
              "asking for the size and for the data agree");
      if (found != platform::ERROR_SUCCESS) continue;
      Require(type == typeAgain, "the same type both times");
      Require(got == needed, "the size is what the data takes");
      if (needed > 0) {
        std::uint32_t small = needed - 1;
        std::vector<std::uint8_t> tight(small + 1, 0);
        Require(registry.Query(handle, name, nullptr, tight.data(), &small) ==
                        platform::ERROR_MORE_DATA &&
                    small == needed,
                "a buffer too small gets the size needed");
      }
    }
    Require(registry.Close(handle) == platform::ERROR_SUCCESS, "an open handle closes");
    Require(registry.Close(handle) == platform::ERROR_INVALID_HANDLE, "and only once");
  }
  return 0;
}
