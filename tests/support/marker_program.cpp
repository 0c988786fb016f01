#include "support/marker_program.h"

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quorel::testing {

namespace fs = std::filesystem;

namespace {

fs::path Marker(const fs::path& program) {
  fs::path marker = program;
  marker += ".started";
  return marker;
}

}  // namespace

void InstallMarkerProgram(const fs::path& path) {
  fs::create_directories(path.parent_path());
#ifdef _WIN32
  // test_marker.exe is built beside the test programs.
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (length == 0 || length == MAX_PATH) throw std::runtime_error("GetModuleFileNameW failed");
  fs::copy_file(fs::path(self).parent_path() / "test_marker.exe", path,
                fs::copy_options::overwrite_existing);
#else
  std::ofstream(path) << "#!/bin/sh\ntouch \"$0.started\"\n";
  fs::permissions(path, fs::perms::owner_all);
#endif
}

bool MarkerProgramStarted(const fs::path& path) {
  const auto marker = Marker(path);
  for (int i = 0; i < 200 && !fs::exists(marker); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return fs::exists(marker);
}

}  // namespace quorel::testing
