// An environment variable set (with nothing: unset) for the lifetime of the object, and put
// back as it was afterwards. Names and values are the system's own strings: UTF-8 on POSIX,
// wide characters on Windows. On Windows the variable changes for the C runtime and the
// system alike, so that _wgetenv, GetEnvironmentVariable and the processes a test starts all
// see it; an empty value there unsets it, as the runtime does.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace quorel::testing {

#ifdef _WIN32
using EnvString = std::wstring;
#else
using EnvString = std::string;
#endif

class ScopedEnv {
 public:
  ScopedEnv(EnvString name, const std::optional<EnvString>& value) : name_(std::move(name)) {
    if (const auto* old = Get(name_.c_str())) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
#ifdef _WIN32
  static const wchar_t* Get(const wchar_t* name) {
    return _wgetenv(name);
  }
  void Set(const std::optional<EnvString>& value) {
    _wputenv((name_ + L"=" + value.value_or(L"")).c_str());  // the runtime keeps a copy
  }
#else
  static const char* Get(const char* name) {
    return std::getenv(name);
  }
  void Set(const std::optional<EnvString>& value) {
    if (value)
      setenv(name_.c_str(), value->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
#endif

  EnvString name_;
  std::optional<EnvString> old_;
};

}  // namespace quorel::testing
