// The program as a separate process on an X server of its own: starting Xvfb and the program,
// seeing its windows appear by title, closing them through the close box (WM_DELETE_WINDOW),
// and waiting for the process to end. Every wait has a timeout. Used by the end-to-end test
// and the start-up benchmark.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace quorel::x11 {

using std::chrono::milliseconds;

// A started process. The destructor kills it when it still runs.
class Process {
 public:
  // argv[0] is the program's path; env adds to (or replaces in) this process's environment.
  Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          int stdoutFd = -1);
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  pid_t pid() const { return pid_; }
  // The exit status (128 + signal when killed by one), or nothing when it still runs after
  // timeout. usage receives the process's resource use once it has ended.
  std::optional<int> Wait(milliseconds timeout, rusage* usage = nullptr);
  // CPU time (user and system) used so far, in seconds, from /proc.
  double CpuSeconds() const;

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
};

// Xvfb on a free display number, started and ready; ended by the destructor.
class Xvfb {
 public:
  Xvfb();
  std::string Display() const { return display_; }

 private:
  std::unique_ptr<Process> server_;
  std::string display_;
};

// A window manager (openbox) on a display, started and managing; ended by the destructor.
class WindowManager {
 public:
  explicit WindowManager(const std::string& display);

 private:
  std::unique_ptr<Process> manager_;
};

// Watches the top-level windows of a display.
class Screen {
 public:
  using Window = std::uint32_t;
  explicit Screen(const std::string& display);
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;
  ~Screen();

  // The first window mapped since the screen was made, and still mapped, whose title matches;
  // 0 on timeout. Made before the program starts, it sees every window of it.
  Window WaitForWindow(const std::function<bool(const std::string&)>& title, milliseconds timeout);
  std::string Title(Window window);
  // As the close box of the window's frame does it.
  void Close(Window window);

  // Under a window manager: the first of the windows it manages whose title matches; 0 on
  // timeout.
  Window WaitForClient(const std::function<bool(const std::string&)>& title, milliseconds timeout);
  // The names of the atoms a property of the window lists (_NET_WM_WINDOW_TYPE, _NET_WM_STATE).
  std::vector<std::string> AtomNames(Window window, const char* property);
  bool HasProperty(Window window, const char* property);
  // Asks the window manager to minimise the window, as a task bar or a key binding does, and
  // returns its map and unmap events ("map", "unmap") until it has been mapped again after an
  // unmap, or until the timeout.
  std::vector<std::string> IconifyAndWatch(Window window, milliseconds timeout);

 private:
  void Select(Window window);
  std::uint32_t Atom(const char* name);

  xcb_connection_t* connection_ = nullptr;
  Window root_ = 0;
  std::vector<Window> mapped_;  // mapped and not yet handed out, oldest first
};

}  // namespace quorel::x11
