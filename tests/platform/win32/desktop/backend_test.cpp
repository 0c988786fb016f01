// The Win32 backend on its own, on real windows under Wine's X server: the suites every backend
// passes, with a user whose keys and clicks go through SendInput (win32_driver.h), and what
// only Windows has: the layouts at the system's DPI and on screens of another, the access
// letters of message boxes, the program's resources.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "tests/platform/desktop/backend_input_suites.h"
#include "tests/platform/desktop/backend_suites.h"
// The Windows headers only after the layouts, which define some of their names themselves.
#include "win32_driver.h"

namespace quorel::testing {
namespace {

INSTANTIATE_TYPED_TEST_SUITE_P(Win32Backend, Core, Win32Driver);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32Backend, Windows, Win32Driver);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32Backend, Input, Win32Driver);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32Backend, Dialogs, Win32Driver);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32Backend, Accessible, Win32Driver);

// What only Windows has.
using Win32BackendTest = BackendTest<Win32Driver>;

TEST_F(Win32BackendTest, FormsAreLaidOutAtTheirDpiAndEveryLabelFits) {
  for (auto layout :
       {forms::FMStartLayout, forms::FMPassLayout, forms::FMServerLayout, forms::frmAboutLayout}) {
    const auto form = layout();
    SCOPED_TRACE(U8(form.name));
    Shown(form);
    ASSERT_EQ(int(backend().Dpi(form.name)), ExpectedDpi());
    for (const auto& l : form.controls) {
      if (l.kind != platform::ControlKind::Label) continue;
      HWND label = driver.H(form.name, l.name);
      const Rect box = driver.ControlBox(form.name, l.name);
      RECT text{0, 0, box.width, 0};
      HDC dc = GetDC(label);
      SelectObject(dc, HFONT(SendMessageW(label, WM_GETFONT, 0, 0)));  // NOLINT: the API
      DrawTextW(dc, TextOf(label).c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
      ReleaseDC(label, dc);
      EXPECT_TRUE(text.right <= box.width && text.bottom <= box.height) << U8(l.name);
    }
  }
  // Moved to a screen of another DPI, a form is laid out again for it.
  const int dpi = ExpectedDpi();
  RECT suggested{10, 20, 400, 200};
  SendMessageW(driver.H(u"FMPass"), WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi),
               LPARAM(&suggested));
  EXPECT_EQ(driver.Client(u"FMPass").width, 500 * dpi / 96);
  const Rect field = driver.ControlBox(u"FMPass", u"BUSER");
  EXPECT_EQ((std::vector<int>{field.width, field.height, field.left, field.top}),
            (std::vector<int>{194 * dpi / 96, 38 * dpi / 96, 288 * dpi / 96, 16 * dpi / 96}));
}

// The system reads the DPI setting when a process starts: second runs of this program check the
// layouts under others, one of them on a small screen (a virtual desktop of Wine's).
TEST_F(Win32BackendTest, AtOtherDpisEverythingScalesAndStaysOnTheScreen) {
  const struct {
    DWORD dpi;
    std::wstring program, filter;
  } runs[] = {
      {144, L"",
       L"*.FormsAreLaidOut*:*Windows*.DialogsAreCentred*:*Windows*.LabelsLinks*:"
       L"*Windows*.EveryWindowLies*"},
      {192, L"C:\\windows\\explorer.exe /desktop=QuorelSmall,1280x800",
       L"*Windows*.EveryWindowLies*"},
  };
  const wchar_t* key = L"Control Panel\\Desktop";
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  for (const auto& run : runs) {
    SCOPED_TRACE(run.dpi);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &run.dpi, 4), 0);
    const TempDir dir;
    const auto report = dir / "report.xml";
    {
      const ScopedEnv expected(L"QUOREL_EXPECTED_DPI", std::to_wstring(run.dpi));
      std::wstring line = (run.program.empty() ? L"" : run.program + L" ") + self +
                          L" --gtest_filter=" + run.filter + L" --gtest_output=xml:" +
                          report.wstring();
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION process{};
      ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process));
      WaitForSingleObject(process.hProcess, 60000);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels");
    std::ifstream in(report);
    const std::string xml{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(xml.find("<testsuites tests=\""), std::string::npos) << "no report";
    EXPECT_EQ(xml.find("<testsuites tests=\"0\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("failures=\"0\" disabled=\"0\" errors=\"0\""), std::string::npos) << xml;
  }
}

TEST_F(Win32BackendTest, MessageBoxButtonsAnswerTheirAccessLetters) {
  Shown(forms::FMPassLayout());
  for (const auto& [letter, answer] : {std::pair(u'J', platform::vbYes), {u'N', platform::vbNo}}) {
    BoxSeen seen;
    EXPECT_EQ(AnswerMessageBox(
                  [&] { return backend().MessageBox(u"Frage", platform::vbYesNo, u"Titel"); },
                  BoxAnswer::Access(letter), seen),
              answer);
  }
}

// Explorer, shortcuts and "Programs and Features" show the first icon of a program.
TEST(Win32Artwork, TheProgramsOwnIconIsTheFirst) {
  std::vector<std::wstring> icons;
  EnumResourceNamesW(
      nullptr, RT_GROUP_ICON,
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) CALLBACK -> BOOL {
        if (!IS_INTRESOURCE(name))
          reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(name);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&icons));
  ASSERT_FALSE(icons.empty());
  EXPECT_EQ(icons.front(), L"APPLICATION");
}

}  // namespace
}  // namespace quorel::testing
