#include "platform/win32/com/other_bitness.h"

#include <objbase.h>
#include <windows.h>

#include "platform/win32/wide.h"

namespace quorel::win32 {

namespace {

constexpr REGSAM kOtherView = kOtherBits == 32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
constexpr REGSAM kOwnView = kOwnBits == 32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// A text value of a key below HKEY_CLASSES_ROOT in one view; nothing when the key or the value
// is not there or is no text. name: nullptr for the key's default value.
std::optional<std::wstring> ClassesText(const std::wstring& path, const wchar_t* name,
                                        REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::wstring text(MAX_PATH, L'\0');
  LSTATUS status = ERROR_MORE_DATA;
  for (int tries = 0; status == ERROR_MORE_DATA && tries < 4; ++tries) {
    auto size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                          nullptr, text.data(), &size);
    if (status == ERROR_SUCCESS)
      text.resize(size / sizeof(wchar_t) > 0 ? size / sizeof(wchar_t) - 1 : 0);
    else if (status == ERROR_MORE_DATA)
      text.resize(size / sizeof(wchar_t) + 1);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return text;
}

// Whether the system has a view of the other bitness: always for a 64-bit program, for a
// 32-bit one only on 64-bit Windows, where it runs under WoW64.
bool HasOtherView() {
  if (kOwnBits == 64) return true;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) != 0 && wow64 != FALSE;
}

}  // namespace

std::optional<OtherBitnessRegistration> OtherBitnessClass(std::u16string_view progId,
                                                          const CLSID* known) {
  if (!HasOtherView()) return std::nullopt;
  OtherBitnessRegistration found;
  if (known != nullptr) {
    found.classId = *known;
    wchar_t text[40] = {};
    if (StringFromGUID2(*known, text, 40) == 0) return std::nullopt;
    found.classIdText = FromWide(text);
  } else {
    if (progId.empty()) return std::nullopt;
    const auto text = ClassesText(ToWide(progId) + L"\\CLSID", nullptr, kOtherView);
    if (!text || FAILED(CLSIDFromString(text->c_str(), &found.classId))) return std::nullopt;
    found.classIdText = FromWide(*text);
  }
  const std::wstring classKey = L"CLSID\\" + ToWide(found.classIdText);
  // A class with a library of this program's bitness is this program's to load, whatever is
  // also registered for the other.
  if (ClassesText(classKey + L"\\InprocServer32", nullptr, kOwnView)) return std::nullopt;
  const auto library = ClassesText(classKey + L"\\InprocServer32", nullptr, kOtherView);
  if (!library) return std::nullopt;
  found.library = FromWide(*library);
  // The surrogate belongs to the class's AppID, which an administrator may have written in
  // either view.
  if (const auto appId = ClassesText(classKey, L"AppID", kOtherView)) {
    const std::wstring appKey = L"AppID\\" + *appId;
    found.surrogate = ClassesText(appKey, L"DllSurrogate", kOtherView).has_value() ||
                      ClassesText(appKey, L"DllSurrogate", kOwnView).has_value();
  }
  return found;
}

}  // namespace quorel::win32
