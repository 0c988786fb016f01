// The Windows program started as a user starts it, watched from outside through its windows:
// a child process with an argument text, whose top-level windows are found by caption.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace quorel::win32::testing {

class ProgramRun {
 public:
  // Starts program with the argument text (everything after the program name).
  ProgramRun(const std::wstring& program, const std::wstring& arguments);
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // The first visible top-level window of the process whose caption matches, waiting up to
  // bound; nullptr when none appeared.
  HWND WaitForWindow(const std::function<bool(const std::wstring&)>& caption,
                     std::chrono::milliseconds bound);
  // The exit status, waiting up to bound; nothing when the program still runs.
  std::optional<DWORD> WaitForExit(std::chrono::milliseconds bound);

  static std::wstring Caption(HWND window);

 private:
  PROCESS_INFORMATION process_{};
};

}  // namespace quorel::win32::testing
