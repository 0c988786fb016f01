// Figures of the program on an X server of its own:
//   quorel_qt_bench QUOREL MINIMAL SOURCE_DIR [RUNS]
// start-up: launch to the main window mapped (command-line login, embedded database), median
//   of RUNS against the minimal Qt program, with the peak memory of each;
// pause: CPU time against wall time of the program while it waits between connection attempts
//   (no database: the server dialog twice, a one-second pause after each, then the message).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "x11_session.h"

namespace {

using quorel::x11::milliseconds;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

struct Run {
  double seconds = 0;  // launch to the window mapped
  double maxRssMiB = 0;
};

// One start of a program: until its window with a title starting with prefix is mapped, then
// closed by its close box. Fails (exits) when anything takes longer than it may.
Run StartOnce(quorel::x11::Screen& screen, const std::vector<std::string>& argv,
              const std::map<std::string, std::string>& env, const std::string& prefix) {
  const auto start = Clock::now();
  quorel::x11::Process p(argv, env);
  const auto window = screen.WaitForWindow(
      [&](const std::string& t) { return t.starts_with(prefix); }, milliseconds(30000));
  const auto shown = Clock::now();
  if (!window) {
    std::fprintf(stderr, "no window \"%s...\" from %s\n", prefix.c_str(), argv[0].c_str());
    std::exit(1);
  }
  screen.Close(window);
  rusage usage{};
  const auto status = p.Wait(milliseconds(15000), &usage);
  if (status != 0) {
    std::fprintf(stderr, "%s did not end with status 0\n", argv[0].c_str());
    std::exit(1);
  }
  return {Seconds(shown - start), static_cast<double>(usage.ru_maxrss) / 1024.0};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s QUOREL MINIMAL SOURCE_DIR [RUNS]\n", argv[0]);
    return 2;
  }
  const std::string quorel = argv[1], minimal = argv[2], source = argv[3];
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 15;
  try {
    const quorel::testing::TempDir temp("quorel-bench");
    const fs::path& tmp = temp.path();
    const fs::path db = tmp / "MIRLOX.sqlite3";
    const std::string create = "timeout 20 sqlite3 -bail '" + db.string() + "' < '" + source +
                               "/sql/sqlite/schema.sql' && timeout 20 sqlite3 -bail '" +
                               db.string() + "' < '" + source + "/sql/sqlite/demo.sql'";
    if (std::system(create.c_str()) != 0) throw std::runtime_error("cannot create " + db.string());

    quorel::x11::Xvfb xvfb;
    quorel::x11::Screen screen(xvfb.Display());
    const std::map<std::string, std::string> env{{"DISPLAY", xvfb.Display()},
                                                 {"QT_QPA_PLATFORM", "xcb"},
                                                 {"XDG_CONFIG_HOME", (tmp / "config").string()},
                                                 {"XDG_RUNTIME_DIR", tmp.string()}};
    auto withServer = [&](const std::string& server) {
      auto e = env;
      e["MIRLOX_SERVER"] = server;
      return e;
    };
    const std::vector<std::string> login{quorel, "1",         "0",    "DEMO",
                                         "demo", "127.0.0.1", "1972", "MIRLOX"};
    // One start of each first, so that both find the libraries in the page cache.
    StartOnce(screen, {minimal}, env, "Minimal");
    StartOnce(screen, login, withServer("sqlite:" + db.string()), "MIRLOX Quorel");
    std::vector<double> tq, tm, rq, rm;
    for (int i = 0; i < runs; ++i) {
      const Run m = StartOnce(screen, {minimal}, env, "Minimal");
      const Run q = StartOnce(screen, login, withServer("sqlite:" + db.string()), "MIRLOX Quorel");
      tm.push_back(m.seconds);
      rm.push_back(m.maxRssMiB);
      tq.push_back(q.seconds);
      rq.push_back(q.maxRssMiB);
    }
    std::printf("start-up to the main window, median of %d runs:\n", runs);
    std::printf("  minimal Qt program  %7.1f ms   peak memory %6.1f MiB\n", Median(tm) * 1000,
                Median(rm));
    std::printf("  quorel              %7.1f ms   peak memory %6.1f MiB\n", Median(tq) * 1000,
                Median(rq));
    std::printf("  ratio %.2f (target <= 1.30), memory %+.1f MiB (target <= +10)\n",
                Median(tq) / Median(tm), Median(rq) - Median(rm));

    // The failure path: no database file, so every connection attempt fails.
    quorel::x11::Process p(login, withServer("sqlite:" + (tmp / "missing.sqlite3").string()));
    auto wait = [&](const std::string& title) {
      const auto w = screen.WaitForWindow([&](const std::string& t) { return t == title; },
                                          milliseconds(30000));
      if (!w) throw std::runtime_error("no window \"" + title + "\"");
      return w;
    };
    const auto first = wait("MIRLOX Server");
    const double cpu0 = p.CpuSeconds();
    const auto t0 = Clock::now();
    screen.Close(first);
    screen.Close(wait("MIRLOX Server"));
    const auto box = wait("Anmeldung an Caché");
    const double cpu1 = p.CpuSeconds();
    const auto t1 = Clock::now();
    screen.Close(box);
    const auto status = p.Wait(milliseconds(15000));
    const double wall = Seconds(t1 - t0);
    std::printf(
        "pauses between connection attempts: %.2f s CPU in %.2f s = %.1f %% of one core "
        "(target < 10 %%), exit status %d\n",
        cpu1 - cpu0, wall, 100.0 * (cpu1 - cpu0) / wall, status.value_or(-1));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench: %s\n", e.what());
    return 1;
  }
}
