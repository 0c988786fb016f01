// What every automation object of the stand-in shares: reference counting, QueryInterface for
// IUnknown, IDispatch and the object's own interface, no type information, members found by
// name through Lookup, and errors raised to the caller with EXCEPINFO.
#pragma once

#include <oaidl.h>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace standin {

// Objects alive in this library, for DllCanUnloadNow.
extern std::atomic<long> liveObjects;

// Thrown by a member: the caller gets DISP_E_EXCEPTION with this text as the description.
struct Raised {
  std::wstring text;
};

class DispatchObject : public IDispatch {
 public:
  explicit DispatchObject(const IID& own);
  virtual ~DispatchObject();
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* badArgument) override;

 protected:
  // The dispatch id of a name, compared exactly; nothing for an unknown name.
  virtual std::optional<DISPID> Lookup(std::wstring_view name);
  // Runs a member; an HRESULT for a failure of the call itself, Raised for the object's own.
  virtual HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& parameters, VARIANT* result,
                       UINT* badArgument) = 0;

 private:
  const IID& own_;
  std::atomic<ULONG> references_{1};
};

// The text of a string argument, by value or by reference; nothing for any other type.
std::optional<std::wstring> TextArgument(const VARIANTARG& argument);

}  // namespace standin
