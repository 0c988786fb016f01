// The operating system as the program sees it on POSIX: the registry comes from a file, paths
// written with backslashes are taken with slashes.
#pragma once

#include <string>
#include <string_view>

#include "platform/posix/registry_file.h"
#include "platform/system.h"

namespace quorel::posix {

// $QUOREL_REGISTRY when set and not empty, else /etc/quorel/registry.
std::string DefaultRegistryPath();

class PosixSystem : public platform::System {
 public:
  // diagnostics: where a registry file that cannot be read is reported (registry_file.h).
  PosixSystem(std::u16string commandLine, std::string registryPath,
              platform::Diagnostics* diagnostics = nullptr);

  std::u16string CommandLine() override;
  std::u16string AppTitle() override;
  platform::Version AppVersion() override;

  long RegOpenKeyExA(platform::HKEY root, std::string_view subKey, std::uint32_t options,
                     std::uint32_t samDesired, platform::HKEY* result) override;
  long RegQueryValueExA(platform::HKEY key, std::string_view valueName, std::uint32_t* type,
                        std::uint8_t* data, std::uint32_t* dataSize) override;
  long RegCloseKey(platform::HKEY key) override;

  // A regular file whose name does not start with '.' (such files count as hidden).
  bool FileExists(std::u16string_view path) override;
  // Starts the program without a shell and without waiting; a helper thread reaps it.
  void StartProcess(std::u16string_view path) override;

 private:
  std::u16string commandLine_;
  RegistryFile registry_;
};

}  // namespace quorel::posix
