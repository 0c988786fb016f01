#include "program_run.h"

#include <stdexcept>
#include <thread>
#include <vector>

namespace quorel::win32::testing {

ProgramRun::ProgramRun(const std::wstring& program, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process_))
    throw std::runtime_error("cannot start the program: error " + std::to_string(GetLastError()));
}

ProgramRun::~ProgramRun() {
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

std::wstring ProgramRun::Caption(HWND window) {
  std::wstring caption(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  caption.resize(static_cast<std::size_t>(
      GetWindowTextW(window, caption.data(), static_cast<int>(caption.size()))));
  return caption;
}

HWND ProgramRun::WaitForWindow(const std::function<bool(const std::wstring&)>& caption,
                               std::chrono::milliseconds bound) {
  struct Search {
    DWORD process;
    const std::function<bool(const std::wstring&)>* caption;
    HWND found;
  } search{process_.dwProcessId, &caption, nullptr};
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    EnumWindows(
        [](HWND window, LPARAM data) CALLBACK -> BOOL {
          auto& s = *reinterpret_cast<Search*>(data);
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          if (owner != s.process || !IsWindowVisible(window) || !(*s.caption)(Caption(window)))
            return TRUE;
          s.found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr || std::chrono::steady_clock::now() > deadline) return search.found;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

std::optional<DWORD> ProgramRun::WaitForExit(std::chrono::milliseconds bound) {
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD status = 0;
  GetExitCodeProcess(process_.hProcess, &status);
  return status;
}

}  // namespace quorel::win32::testing
