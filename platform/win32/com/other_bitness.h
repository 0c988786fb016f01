// A COM class registered for programs of the other bitness only.
//
// On 64-bit Windows the classes of 32-bit and of 64-bit programs live in two views of
// HKEY_CLASSES_ROOT; an in-process server of the other view cannot be loaded, but the system
// can run it out of process in a DLL surrogate when the class's AppID asks for one.
//
// - OtherBitnessClass looks a programmatic identifier (or a class id already known) up in the
//   other view and says what is registered there: the class id, the library and whether an
//   AppID with a DllSurrogate value belongs to it.
// - The views are chosen by KEY_WOW64_32KEY and KEY_WOW64_64KEY. Nothing is found on 32-bit
//   Windows, which has one view, nor for a class that also has a library of this program's
//   bitness (its failure to load is this program's own).
#pragma once

#include <guiddef.h>

#include <optional>
#include <string>
#include <string_view>

namespace quorel::win32 {

// The bitness of this program and of the other view.
inline constexpr int kOwnBits = sizeof(void*) == 8 ? 64 : 32;
inline constexpr int kOtherBits = kOwnBits == 64 ? 32 : 64;

struct OtherBitnessRegistration {
  CLSID classId{};
  std::u16string classIdText;  // "{…}"
  std::u16string library;      // InprocServer32 of the other view, as registered
  bool surrogate = false;      // its AppID names a DLL surrogate
};

// What the other view holds for the class: by the class id when known (the programmatic
// identifier may be shared between the views), otherwise by the programmatic identifier.
// Nothing when the other view has no in-process server for it.
std::optional<OtherBitnessRegistration> OtherBitnessClass(std::u16string_view progId,
                                                          const CLSID* known);

}  // namespace quorel::win32
