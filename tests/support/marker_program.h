// A program for tests of process start: run, it leaves the file "<its own path>.started".
#pragma once

#include <filesystem>

namespace quorel::testing {

// Puts the program at path (creating its folder).
void InstallMarkerProgram(const std::filesystem::path& path);
// Whether the program at path has run, waiting up to two seconds for it.
bool MarkerProgramStarted(const std::filesystem::path& path);

}  // namespace quorel::testing
