// Saves login sets into a settings directory from a process of its own:
//
//   settings_store_helper save DIR TAG         one set tagged TAG
//   settings_store_helper loop DIR NAME ROUNDS  sets NAME-0, NAME-1, ... (ROUNDS 0: until killed),
//                                               printing "ready" once the first one is saved
//
// A failed save prints the error on standard error and exits with status 3.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "platform/qt/ini_settings_store.h"
#include "tests/platform/qt/store/store_sets.h"

namespace {

std::u16string Widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

int Run(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "save" && argc == 4) {
    quorel::qt::IniSettingsStore store(argv[2]);
    quorel::qt::testing::SaveSet(store, Widen(argv[3]));
    return 0;
  }
  if (command == "loop" && argc == 5) {
    quorel::qt::IniSettingsStore store(argv[2]);
    const long rounds = std::strtol(argv[4], nullptr, 10);
    for (long round = 0; rounds == 0 || round < rounds; ++round) {
      quorel::qt::testing::SaveSet(store, Widen(argv[3] + ("-" + std::to_string(round))));
      if (round == 0) {
        std::puts("ready");
        std::fflush(stdout);
      }
    }
    return 0;
  }
  std::fputs("usage: settings_store_helper save DIR TAG | loop DIR NAME ROUNDS\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 3;
  }
}
