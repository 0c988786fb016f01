// An environment variable set (with nothing: unset) for the lifetime of the object, and put
// back as it was afterwards. Names and values are UTF-8. On Windows the variable is changed
// for the C runtime and the system alike, so that getenv, GetEnvironmentVariable and the
// processes a test starts all see it; an empty value there unsets it, as the runtime does.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quorel::testing {

class ScopedEnv {
#ifdef _WIN32
  using String = std::wstring;
#else
  using String = std::string;
#endif

 public:
  ScopedEnv(const std::string& name, const std::optional<std::string>& value)
      : name_(Native(name)) {
    Replace(value ? std::optional(Native(*value)) : std::nullopt);
  }
#ifdef _WIN32
  // The same in the system's own wide characters.
  ScopedEnv(std::wstring name, const std::optional<std::wstring>& value) : name_(std::move(name)) {
    Replace(value);
  }
#endif
  ~ScopedEnv() {
    Set(old_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Replace(const std::optional<String>& value) {
    if (const auto* old = Get(name_.c_str())) old_ = old;
    Set(value);
  }

#ifdef _WIN32
  static String Native(const std::string& utf8) {
    const int size = static_cast<int>(utf8.size());
    String wide(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
  }
  static const wchar_t* Get(const wchar_t* name) {
    return _wgetenv(name);
  }
  void Set(const std::optional<String>& value) {
    _wputenv_s(name_.c_str(), value ? value->c_str() : L"");
  }
#else
  static String Native(const std::string& utf8) {
    return utf8;
  }
  static const char* Get(const char* name) {
    return std::getenv(name);
  }
  void Set(const std::optional<String>& value) {
    if (value)
      setenv(name_.c_str(), value->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
#endif

  String name_;
  std::optional<String> old_;
};

}  // namespace quorel::testing
