#include "platform/posix/posix_system.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>  // environ

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "platform/posix/error_text.h"
#include "platform/text.h"

#if !defined(QUOREL_TITLE) || !defined(QUOREL_VERSION_MAJOR) || !defined(QUOREL_VERSION_MINOR) || \
    !defined(QUOREL_VERSION_PATCH)
#error "the build defines QUOREL_TITLE and QUOREL_VERSION_MAJOR/MINOR/PATCH"
#endif

namespace quorel::posix {

namespace {

std::string ToPosixPath(std::u16string_view path) {
  std::u16string slashed(path);
  for (auto& c : slashed)
    if (c == u'\\') c = u'/';
  return text::ToUtf8(slashed);
}

[[noreturn]] void ThrowStartError(std::u16string_view path, const std::string& reason) {
  throw std::runtime_error("Das Programm \"" + text::ToUtf8(path) +
                           "\" kann nicht gestartet werden: " + reason);
}

void ReapWhenDone(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::string DefaultRegistryPath() {
  const char* fromEnvironment = std::getenv("QUOREL_REGISTRY");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  return "/etc/quorel/registry";
}

PosixSystem::PosixSystem(std::u16string commandLine, std::string registryPath,
                         platform::Diagnostics* diagnostics)
    : commandLine_(std::move(commandLine)), registry_(std::move(registryPath), diagnostics) {}

std::u16string PosixSystem::CommandLine() {
  return commandLine_;
}

std::u16string PosixSystem::AppTitle() {
  return text::FromUtf8(QUOREL_TITLE);
}

platform::Version PosixSystem::AppVersion() {
  return {QUOREL_VERSION_MAJOR, QUOREL_VERSION_MINOR, QUOREL_VERSION_PATCH};
}

long PosixSystem::RegOpenKeyExA(platform::HKEY root, std::string_view subKey, std::uint32_t options,
                                std::uint32_t samDesired, platform::HKEY* result) {
  return registry_.Open(root, subKey, options, samDesired, result);
}

long PosixSystem::RegQueryValueExA(platform::HKEY key, std::string_view valueName,
                                   std::uint32_t* type, std::uint8_t* data,
                                   std::uint32_t* dataSize) {
  return registry_.Query(key, valueName, type, data, dataSize);
}

long PosixSystem::RegCloseKey(platform::HKEY key) {
  return registry_.Close(key);
}

bool PosixSystem::FileExists(std::u16string_view path) {
  try {
    const std::string posixPath = ToPosixPath(path);
    const auto slash = posixPath.rfind('/');
    const auto name = slash == std::string::npos ? posixPath : posixPath.substr(slash + 1);
    if (name.empty() || name.front() == '.') return false;
    struct stat info {};
    return stat(posixPath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  } catch (...) {
    return false;
  }
}

void PosixSystem::StartProcess(std::u16string_view path) {
  if (path.empty()) ThrowStartError(path, "kein Programm angegeben");
  std::string program = ToPosixPath(path);
  char* argv[] = {program.data(), nullptr};
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ);
  if (error != 0) ThrowStartError(path, ErrorText(error));
  try {
    std::thread(ReapWhenDone, pid).detach();
  } catch (const std::system_error&) {
    // The program runs; without a helper thread it stays a zombie until this program ends.
  }
}

}  // namespace quorel::posix
