// The yardsticks of the start-up benchmark: the least a Win32 program does to show one empty
// window with a menu bar; built with QUOREL_LOGIN_FLOOR, the least a login program does before
// that: initialise COM and create the database client object, as quorel.exe does.
#include <windows.h>
#ifdef QUOREL_COMMON_CONTROLS
#include <commctrl.h>
#endif

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
#ifdef QUOREL_LOGIN_FLOOR
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  CLSID classId{};
  IDispatch* client = nullptr;
  if (FAILED(CLSIDFromProgID(L"CacheObject.Factory", &classId)) ||
      FAILED(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, reinterpret_cast<void**>(&client))))
    return 1;
#endif
#ifdef QUOREL_COMMON_CONTROLS
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
  if (!InitCommonControlsEx(&controls)) return 1;
#endif
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // A system colour stands for its brush, as the API has it.
  windowClass.hbrBackground =
      reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);  // NOLINT(performance-no-int-to-ptr)
  windowClass.lpszClassName = L"Minimal";
  RegisterClassW(&windowClass);

  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, 1, L"&Beenden");
  HMENU bar = CreateMenu();
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&Datei");

  RECT area{0, 0, 628, 412};
  AdjustWindowRect(&area, WS_OVERLAPPEDWINDOW, TRUE);
  HWND window = CreateWindowW(L"Minimal", L"Minimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, area.right - area.left, area.bottom - area.top,
                              nullptr, bar, instance, nullptr);
  ShowWindow(window, show);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
#ifdef QUOREL_LOGIN_FLOOR
  client->Release();
  CoUninitialize();
#endif
  return 0;
}
