// quorel.exe as a user starts it, under Wine with its own X server, against the stand-in of
// the vendor's client object and a listening server port: the main window with its exact
// caption and the close box; a wrong password with its message and exit status 1; an unknown
// MIRLOX_SERVER with its message and exit status 3.
// QUOREL_END_TO_END_PROGRAM names another quorel.exe to start (an installed one) instead of
// the one of this build.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "com/test_listener.h"
#include "program_run.h"
#include "support/scoped_env.h"

namespace quorel::win32::testing {
namespace {

using namespace std::chrono_literals;

std::wstring Program() {
  const wchar_t* other = _wgetenv(L"QUOREL_END_TO_END_PROGRAM");
  return other != nullptr && *other != L'\0' ? other : QUOREL_PROGRAM;
}

class EndToEnd : public ::testing::Test {
 protected:
  std::wstring Arguments(const std::wstring& password) {
    const auto port = listener_.Port();
    return L"1 0 ABC " + password + L" 127.0.0.1 " + std::wstring(port.begin(), port.end());
  }

  const quorel::testing::ScopedEnv users_{L"QUOREL_STANDIN_USERS", QUOREL_STANDIN_USERS_FILE};
  TestListener listener_;
};

TEST_F(EndToEnd, LogsInShowsTheMainWindowAndEndsWithTheCloseBox) {
  ProgramRun run(Program(), Arguments(L"pw"));
  const HWND main = run.WaitForWindow(
      [](const std::wstring& caption) { return caption.starts_with(L"MIRLOX Quorel"); }, 30s);
  ASSERT_NE(main, nullptr) << "no main window";
  EXPECT_EQ(
      ProgramRun::Caption(main),
      L"MIRLOX Quorel              Firma: 1     Filiale: 0     Benutzer: ABC | Jürgen Müller");
  PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(run.WaitForExit(10s), 0u);
}

TEST_F(EndToEnd, WrongPasswordIsRefusedWithoutTheMainWindow) {
  ProgramRun run(Program(), Arguments(L"falsch"));
  bool mainShown = false;
  const HWND box = run.WaitForWindow(
      [&](const std::wstring& caption) {
        mainShown = mainShown || caption.starts_with(L"MIRLOX Quorel");
        return caption == L"Anmeldung an Caché";
      },
      30s);
  ASSERT_NE(box, nullptr) << "no message box";
  wchar_t prompt[256] = {};
  GetDlgItemTextW(box, 0xFFFF, prompt, 256);  // the message text of a standard message box
  EXPECT_STREQ(prompt, L"Passwort Falsch oder Benutzer nicht Aktiv");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(run.WaitForExit(10s), 1u);
  EXPECT_FALSE(mainShown);
}

TEST_F(EndToEnd, AnUnknownServerChoiceIsShownAndEndsTheProgram) {
  const quorel::testing::ScopedEnv server(L"MIRLOX_SERVER", L"oracle");
  ProgramRun run(Program(), Arguments(L"pw"));
  const HWND box =
      run.WaitForWindow([](const std::wstring& caption) { return caption == L"Quorel"; }, 30s);
  ASSERT_NE(box, nullptr) << "no message box";
  std::wstring prompt(1024, L'\0');
  prompt.resize(GetDlgItemTextW(box, 0xFFFF, prompt.data(), static_cast<int>(prompt.size())));
  for (const wchar_t* part :
       {L"MIRLOX_SERVER hat den ungültigen Wert »oracle«",
        L"nicht gesetzt (der Datenbank-Client \"CacheObject.Factory\")", L"odbc:VERBINDUNG"})
    EXPECT_NE(prompt.find(part), std::wstring::npos) << part;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(run.WaitForExit(10s), 3u);
}

}  // namespace
}  // namespace quorel::win32::testing
