#include "platform/win32/com/dispatch_call.h"

#include <windows.h>

#include <new>

#include "platform/text.h"
#include "platform/win32/system_error.h"

namespace quorel::win32 {

namespace {

// Why a call failed: for an error the object raised, its own words from EXCEPINFO. Frees the
// strings of info whatever the code, so that none is left behind.
std::string FailureText(HRESULT code, EXCEPINFO& info) {
  const bool raised = code == DISP_E_EXCEPTION;
  if (raised && info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
  const std::u16string description = BstrText(info.bstrDescription);
  const HRESULT own = info.scode;
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrHelpFile);
  info = EXCEPINFO{};
  if (!raised) return HresultMessage(code);
  if (!description.empty()) return text::ToUtf8(description);
  // An error without words: its own code says more than DISP_E_EXCEPTION.
  return HresultMessage(own != 0 ? own : code);
}

}  // namespace

Bstr::Bstr(std::u16string_view text)
    : value_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                               static_cast<UINT>(text.size()))) {
  if (value_ == nullptr) throw std::bad_alloc();
}

std::u16string BstrText(BSTR value) {
  if (value == nullptr) return {};
  return {reinterpret_cast<const char16_t*>(value), SysStringLen(value)};
}

DispatchError::DispatchError(HRESULT code, EXCEPINFO& info)
    : DispatchError(code, FailureText(code, info)) {}

DispatchError::DispatchError(HRESULT code) : DispatchError(code, HresultMessage(code)) {}

DispatchError::DispatchError(HRESULT code, std::string reason)
    : std::runtime_error(reason), code_(code), reason_(std::move(reason)) {}

Variant Invoke(IDispatch& object, DISPID id, WORD flags, std::span<VARIANTARG> arguments) {
  DISPPARAMS parameters{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
  Variant result;
  EXCEPINFO info{};
  UINT badArgument = 0;
  const HRESULT status = object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                       result.get(), &info, &badArgument);
  if (FAILED(status)) throw DispatchError(status, info);
  return result;
}

std::optional<DISPID> DispatchId(IDispatch& object, std::u16string_view name) {
  // The name goes as a NUL-terminated string, which would cut a name at a NUL inside it.
  if (name.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  std::wstring terminated(name.begin(), name.end());
  LPOLESTR names[] = {terminated.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT status = object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (status == DISP_E_UNKNOWNNAME || status == DISP_E_MEMBERNOTFOUND) return std::nullopt;
  if (FAILED(status)) throw DispatchError(status);
  return id;
}

std::u16string VariantText(const VARIANT& value) {
  Variant plain;  // a value passed by reference, taken as the value it refers to
  if (const HRESULT status = VariantCopyInd(plain.get(), const_cast<VARIANT*>(&value));
      FAILED(status))
    throw DispatchError(status);
  if (V_VT(plain.get()) == VT_NULL) return {};
  if (V_VT(plain.get()) == VT_BSTR) return BstrText(V_BSTR(plain.get()));
  Variant converted;
  if (const HRESULT status = VariantChangeTypeEx(converted.get(), plain.get(), LOCALE_USER_DEFAULT,
                                                 VARIANT_ALPHABOOL, VT_BSTR);
      FAILED(status))
    throw DispatchError(status);
  return BstrText(V_BSTR(converted.get()));
}

bool VariantTruth(const VARIANT& value) {
  Variant converted;
  if (const HRESULT status = VariantChangeTypeEx(converted.get(), const_cast<VARIANT*>(&value),
                                                 LOCALE_USER_DEFAULT, 0, VT_BOOL);
      FAILED(status))
    throw DispatchError(status);
  return V_BOOL(converted.get()) != VARIANT_FALSE;
}

}  // namespace quorel::win32
