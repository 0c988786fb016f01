// The Windows headers as the window backend uses them. <windows.h> turns CreateWindow and
// MessageBox into macros, which would rename the backend's own methods of those names; the
// backend calls the wide functions by their full names instead.
#pragma once

#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>

#undef CreateWindow
#undef MessageBox
