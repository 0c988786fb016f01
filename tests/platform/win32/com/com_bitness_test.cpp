// A client object registered for programs of the other bitness only, and one that the system
// runs out of process in a DLL surrogate: the registrations written by hand into one view of
// HKEY_CLASSES_ROOT, as an administrator's registry script writes them.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: tlhelp32.h needs its types.
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

#include "platform/win32/com/other_bitness.h"
#include "standin_engine.h"

namespace quorel::win32::testing {
namespace {

// Keys below HKEY_CLASSES_ROOT in one view (reg add /reg:32 or /reg:64); the keys it created
// go with it.
class ClassesKeys {
 public:
  explicit ClassesKeys(REGSAM view) : view_(view) {}
  ~ClassesKeys() {
    // Deepest first: each key is empty of subkeys by the time it goes.
    for (auto key = created_.rbegin(); key != created_.rend(); ++key)
      RegDeleteKeyExW(HKEY_CLASSES_ROOT, key->c_str(), view_, 0);
  }
  ClassesKeys(const ClassesKeys&) = delete;
  ClassesKeys& operator=(const ClassesKeys&) = delete;

  void Set(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    for (std::size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
      const std::wstring key = path.substr(0, end);
      HKEY probe = nullptr;
      if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ | view_, &probe) ==
          ERROR_SUCCESS)
        RegCloseKey(probe);
      else
        created_.push_back(key);
      if (end == std::wstring::npos) break;
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view_,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

 private:
  REGSAM view_;
  std::vector<std::wstring> created_;  // in the order created
};

constexpr REGSAM kOwnView = kOwnBits == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = kOwnBits == 64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
// The stand-in's class id for registrations by hand (standin/module.cpp).
constexpr wchar_t kOtherClassId[] = L"{5E0C1A77-93B2-4D1E-A6F4-2C8B7D9E0F31}";
const std::wstring kClassKey = std::wstring(L"CLSID\\") + kOtherClassId;

// The class of a stand-in in the keys of one view, its programmatic identifier in those of
// progIdKeys: the same view, or, as the other bitness's regsvr32 leaves it, the shared one.
void RegisterStandin(ClassesKeys& keys, ClassesKeys& progIdKeys, const std::wstring& progId,
                     const std::wstring& library) {
  progIdKeys.Set(progId + L"\\CLSID", nullptr, kOtherClassId);
  keys.Set(kClassKey + L"\\InprocServer32", nullptr, library);
  keys.Set(kClassKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
}

TEST(ComOtherBitnessTest, AClientObjectOnlyForTheOtherBitnessNamesItAndTheBuildToUse) {
  const std::string own = std::to_string(kOwnBits), theirs = std::to_string(kOtherBits);
  const std::wstring library =
      L"C:\\Programme\\Hersteller\\cache" + std::to_wstring(kOtherBits) + L".dll";
  const std::vector<std::string> otherBitness = {
      "Der Datenbank-Client ist nur für " + theirs + "-Bit-Programme registriert",
      "„Quorel.Andere.Factory“ (Klasse {5E0C1A77-93B2-4D1E-A6F4-2C8B7D9E0F31}, Bibliothek "
      "„C:\\Programme\\Hersteller\\cache" +
          theirs + ".dll“) kann in diesem " + own + "-Bit-Programm nicht geladen werden",
      "Kein DLL-Surrogat ist für ihn eingerichtet", "Verwenden Sie das " + theirs + "-Bit-Quorel"};
  const struct {
    bool sharedProgId, ownLibraryToo;
    std::vector<std::string> words;
  } cases[] = {
      {false, false, otherBitness},
      {true, false, otherBitness},  // as the other bitness's regsvr32 leaves it
      // Also registered for this bitness, that library missing: not installed here.
      {true, true, {"Der Datenbank-Client ist nicht installiert"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.sharedProgId << c.ownLibraryToo);
    ClassesKeys other(kOtherView), ownView(kOwnView);
    RegisterStandin(other, c.sharedProgId ? ownView : other, L"Quorel.Andere.Factory", library);
    if (c.ownLibraryToo)
      ownView.Set(kClassKey + L"\\InprocServer32", nullptr, L"C:\\fehlt\\nirgends.dll");
    ComApartment com;
    try {
      ComServerClientFactory(u"Quorel.Andere.Factory").Create();
      ADD_FAILURE() << "created";
    } catch (const platform::ServerError& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.find(c.ownLibraryToo ? "nur für" : "nicht installiert"), std::string::npos)
          << what;
      for (const std::string& part : c.words)
        EXPECT_NE(what.find(part), std::string::npos) << what << "\nlacks: " << part;
    }
  }
}

// The surrogate processes now running.
std::vector<DWORD> Surrogates() {
  std::vector<DWORD> found;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, L"dllhost.exe") == 0) found.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return found;
}

// A login's calls on a client object that the system runs in a DLL surrogate, registered in
// one view with an AppID that asks for the surrogate (empty: the system's). The surrogates
// outlive their clients and hold this test's output: those it started end with it.
void LogInThroughASurrogate(REGSAM view, const std::wstring& library,
                            const std::wstring& surrogate) {
  const std::vector<DWORD> before = Surrogates();
  {
    ClassesKeys keys(view);
    RegisterStandin(keys, keys, L"Quorel.Surrogat.Factory", library);
    keys.Set(kClassKey, L"AppID", kOtherClassId);
    keys.Set(std::wstring(L"AppID\\") + kOtherClassId, L"DllSurrogate", surrogate);
    StandinEngine engine;
    auto client = ComServerClientFactory(u"Quorel.Surrogat.Factory").Create();
    EXPECT_TRUE(client->Connect(engine.ConnectString()));
    EXPECT_TRUE(client->IsConnected());
    EXPECT_TRUE(engine.listener.WaitOpenConnections(1));
    // The record comes back across the process boundary too, and is called by name.
    auto record = client->OpenId(u"MX.ParPersEdv", u"1||ABC");
    EXPECT_EQ(U8(record->Property(u"PNAME")), "Jürgen Müller");
    EXPECT_THROW(record->Property(u"GIBTSNICHT"), platform::PropertyNotFoundError);
    record->Call(u"sys_Close");
    EXPECT_THROW(client->OpenId(u"MX.Fehlt", u"1"), platform::ServerError);
    client->Disconnect();
    EXPECT_TRUE(engine.listener.WaitOpenConnections(0));
    EXPECT_FALSE(client->IsConnected());
  }
  const std::vector<DWORD> after = Surrogates();
  EXPECT_GT(after.size(), before.size()) << "the client object did not run in a surrogate";
  for (const DWORD id : after)
    if (std::find(before.begin(), before.end(), id) == before.end())
      if (const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id)) {
        TerminateProcess(process, 0);
        CloseHandle(process);
      }
}

// Out of process, without the vendor's type library: what reaches the program is the plain
// dispatch interface. The stand-in here refuses to be loaded in process. The surrogate is
// named: for an empty name Wine 8 starts the surrogate of the other bitness.
TEST(ComSurrogateTest, AClientObjectRunByADllSurrogateIsCalledThroughItsDispatchInterface) {
  wchar_t folder[MAX_PATH] = {};
  ASSERT_NE(GetSystemDirectoryW(folder, MAX_PATH), 0u);
  LogInThroughASurrogate(kOwnView, QUOREL_SURROGATE_STANDIN,
                         std::wstring(folder) + L"\\dllhost.exe");
}

#ifdef QUOREL_OTHER_STANDIN
// Needs the system programs of the other bitness, the surrogate among them: scripts/test runs
// it where they start (label "other_bitness").
TEST(ComSurrogateTest, AClientObjectOfTheOtherBitnessIsUsedThroughItsDllSurrogate) {
  LogInThroughASurrogate(kOtherView, QUOREL_OTHER_STANDIN, L"");
}
#endif

}  // namespace
}  // namespace quorel::win32::testing
