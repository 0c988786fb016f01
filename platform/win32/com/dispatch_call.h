// Late-bound calls on automation objects: owned VARIANTs and BSTRs, IDispatch::Invoke by
// dispatch id, names to dispatch ids, and VARIANT values as text and truth values.
#pragma once

#include <oaidl.h>

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorel::win32 {

// A VARIANT that is cleared when it goes.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
  Variant& operator=(Variant&&) = delete;
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* get() { return &value_; }
  const VARIANT& operator*() const { return value_; }

 private:
  VARIANT value_{};
};

// A BSTR that is freed when it goes. Holds any text, NUL characters included.
class Bstr {
 public:
  explicit Bstr(std::u16string_view text);
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR get() const { return value_; }
  // For passing by reference: the callee may replace the string, which is then freed here.
  BSTR* address() { return &value_; }

 private:
  BSTR value_;
};

std::u16string BstrText(BSTR value);

// A failed call: its HRESULT and, when the object raised the error, the object's own words.
class DispatchError : public std::runtime_error {
 public:
  // Takes over the strings of info.
  DispatchError(HRESULT code, EXCEPINFO& info);
  explicit DispatchError(HRESULT code);

  HRESULT code() const { return code_; }
  // The object's description, or the system's text of the code.
  const std::string& reason() const { return reason_; }

 private:
  DispatchError(HRESULT code, std::string reason);

  HRESULT code_;
  std::string reason_;
};

// Calls the member id with the arguments (in the order IDispatch wants them: last first) and
// returns its result. Throws DispatchError.
Variant Invoke(IDispatch& object, DISPID id, WORD flags, std::span<VARIANTARG> arguments = {});

// The dispatch id of a name, or nothing when the object knows no such name (a name with a NUL
// character in it included). Throws DispatchError for any other failure.
std::optional<DISPID> DispatchId(IDispatch& object, std::u16string_view name);

// A value as text, converted as Automation converts it for the user's locale: numbers as
// decimal text, dates as the short date and the time, booleans as "True" and "False", EMPTY
// and NULL as empty text. Throws DispatchError for a value that has no text (an array, an
// error value, an object without a default value).
std::u16string VariantText(const VARIANT& value);

// A value as a truth value, as Automation converts it (EMPTY is false, any non-zero number
// true). Throws DispatchError for a value that has none (NULL, a text that is no number).
bool VariantTruth(const VARIANT& value);

}  // namespace quorel::win32
