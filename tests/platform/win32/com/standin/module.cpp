// The stand-in library: its class factory and its registration under HKEY_CLASSES_ROOT with
// the programmatic identifier "CacheObject.Factory" and a class id of its own.
#include <olectl.h>
#include <windows.h>

#include <new>
#include <string>
#include <string_view>

#include "client_object.h"

namespace standin {
namespace {

// {42F7D42B-4F72-4BF7-8D50-43C5B248F0C5}
constexpr CLSID kClassId = {
    0x42F7D42B, 0x4F72, 0x4BF7, {0x8D, 0x50, 0x43, 0xC5, 0xB2, 0x48, 0xF0, 0xC5}};
constexpr wchar_t kClassIdText[] = L"{42F7D42B-4F72-4BF7-8D50-43C5B248F0C5}";
// The class id under which the tests register the stand-in of the other bitness by hand, so
// that it is not mistaken for the registration of regsvr32.
// {5E0C1A77-93B2-4D1E-A6F4-2C8B7D9E0F31}
constexpr CLSID kOtherClassId = {
    0x5E0C1A77, 0x93B2, 0x4D1E, {0xA6, 0xF4, 0x2C, 0x8B, 0x7D, 0x9E, 0x0F, 0x31}};
constexpr wchar_t kProgId[] = L"CacheObject.Factory";
constexpr wchar_t kDescription[] = L"Quorel test stand-in of the database client object";

HMODULE module = nullptr;
std::atomic<long> locks{0};

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the library
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* client = new (std::nothrow) ClientObject();
    if (client == nullptr) return E_OUTOFMEMORY;
    const HRESULT status = client->QueryInterface(iid, object);
    client->Release();
    return status;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    locks += lock ? 1 : -1;
    return S_OK;
  }
};

ClassFactory factory;

LONG SetText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace
}  // namespace standin

using namespace standin;

// Built with QUOREL_STANDIN_SURROGATE_ONLY, the library loads only into a DLL surrogate.
static bool MayLoadHere() {
#ifdef QUOREL_STANDIN_SURROGATE_ONLY
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  constexpr std::wstring_view kSurrogate = L"\\dllhost.exe";
  const std::wstring_view host(path, length);
  return host.size() >= kSurrogate.size() &&
         _wcsicmp(host.substr(host.size() - kSurrogate.size()).data(), kSurrogate.data()) == 0;
#else
  return true;
#endif
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    if (!MayLoadHere()) return FALSE;
    module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (classId != kClassId && classId != kOtherClassId) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
  return liveObjects == 0 && locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(module, path.data(), MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
  path.resize(length);
  const std::wstring classKey = std::wstring(L"CLSID\\") + kClassIdText;
  const std::wstring progIdKey = kProgId;
  for (const LONG status :
       {SetText(progIdKey, nullptr, kDescription),
        SetText(progIdKey + L"\\CLSID", nullptr, kClassIdText),
        SetText(classKey, nullptr, kDescription), SetText(classKey + L"\\ProgID", nullptr, kProgId),
        SetText(classKey + L"\\InprocServer32", nullptr, path),
        SetText(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment")})
    if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
  return S_OK;
}

STDAPI DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClassIdText).c_str());
  return S_OK;
}
