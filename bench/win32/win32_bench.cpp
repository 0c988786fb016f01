// Start-up of the Windows program under Wine:
//   quorel_win32_bench QUOREL.EXE MINIMAL.EXE MINIMAL_MANIFEST.EXE LOGIN_FLOOR.EXE
//                      LOGIN_FLOOR_CONTROLS.EXE USERS_FILE [RUNS]
// launch to the main window shown (command-line login against the stand-in of the vendor's
// client object, which must be registered, and a listening port), median of RUNS, against the
// minimal Win32 program showing one empty window with a menu, once plain and once with the
// program's application manifest (common controls 6, DPI awareness), which Wine takes a while
// to apply at start, and against the floor of a login: the latter with COM initialised and the
// client object created before its window shows, and that floor with the common controls of
// version 6 loaded, of which the program's dialogs are made.
#include <windows.h>
#include <winsock2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "end_to_end/program_run.h"
#include "tests/support/scoped_env.h"

namespace {

using quorel::win32::testing::ProgramRun;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Milliseconds from the launch to its window with a caption starting with prefix, which is
// then closed by its close box.
double StartOnce(const std::wstring& program, const std::wstring& arguments,
                 const std::wstring& prefix) {
  const auto start = Clock::now();
  ProgramRun run(program, arguments);
  const HWND window = run.WaitForWindow(
      [&](const std::wstring& caption) { return caption.starts_with(prefix); }, 30s);
  const auto shown = Clock::now();
  if (window == nullptr) throw std::runtime_error("no window from the program");
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  if (run.WaitForExit(15s) != 0u) throw std::runtime_error("the program did not end with 0");
  return std::chrono::duration<double, std::milli>(shown - start).count();
}

// A listening port on 127.0.0.1 for the stand-in to connect to.
int Listen() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
      listen(s, SOMAXCONN) != 0)
    throw std::runtime_error("no listening port");
  return ntohs(address.sin_port);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 7) {
    std::fprintf(stderr,
                 "usage: quorel_win32_bench QUOREL.EXE MINIMAL.EXE MINIMAL_MANIFEST.EXE "
                 "LOGIN_FLOOR.EXE LOGIN_FLOOR_CONTROLS.EXE USERS_FILE [RUNS]\n");
    return 2;
  }
  const std::wstring quorel = argv[1], minimal = argv[2], manifested = argv[3], floor = argv[4],
                     controls = argv[5];
  const int runs = argc > 7 ? std::max(1, _wtoi(argv[7])) : 15;
  try {
    const quorel::testing::ScopedEnv users(L"QUOREL_STANDIN_USERS", argv[6]);
    const std::wstring login = L"1 0 ABC pw 127.0.0.1 " + std::to_wstring(Listen());
    // One start of each first, so that both find their files in the cache.
    StartOnce(minimal, L"", L"Minimal");
    StartOnce(manifested, L"", L"Minimal");
    StartOnce(floor, L"", L"Minimal");
    StartOnce(controls, L"", L"Minimal");
    StartOnce(quorel, login, L"MIRLOX Quorel");
    std::vector<double> tm, tmm, tf, tc, tq;
    for (int i = 0; i < runs; ++i) {
      tm.push_back(StartOnce(minimal, L"", L"Minimal"));
      tmm.push_back(StartOnce(manifested, L"", L"Minimal"));
      tf.push_back(StartOnce(floor, L"", L"Minimal"));
      tc.push_back(StartOnce(controls, L"", L"Minimal"));
      tq.push_back(StartOnce(quorel, login, L"MIRLOX Quorel"));
    }
    std::printf("start-up to the main window under Wine, median of %d runs:\n", runs);
    std::printf("  minimal Win32 program                %7.1f ms\n", Median(tm));
    std::printf("  minimal Win32 program with manifest  %7.1f ms\n", Median(tmm));
    std::printf("  login floor (manifest, COM, client)  %7.1f ms\n", Median(tf));
    std::printf("  login floor with common controls 6   %7.1f ms\n", Median(tc));
    std::printf("  quorel.exe                           %7.1f ms\n", Median(tq));
    std::printf(
        "  ratio %.2f to the minimal program, %.2f to it with manifest, %.2f to the login "
        "floor (target <= 1.05), %.2f to it with the common controls\n",
        Median(tq) / Median(tm), Median(tq) / Median(tmm), Median(tq) / Median(tf),
        Median(tq) / Median(tc));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench: %s\n", e.what());
    return 1;
  }
}
