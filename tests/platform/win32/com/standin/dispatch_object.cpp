#include "dispatch_object.h"

#include <new>

namespace standin {

std::atomic<long> liveObjects{0};

DispatchObject::DispatchObject(const IID& own) : own_(own) {
  ++liveObjects;
}

DispatchObject::~DispatchObject() {
  --liveObjects;
}

HRESULT DispatchObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid != IID_IUnknown && iid != IID_IDispatch && iid != own_) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  *object = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG DispatchObject::AddRef() {
  return ++references_;
}

ULONG DispatchObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  HRESULT status = S_OK;
  for (UINT i = 0; i < count; ++i) {
    // Members only: named arguments are not supported.
    const auto id = i == 0 ? Lookup(names[i]) : std::nullopt;
    ids[i] = id.value_or(DISPID_UNKNOWN);
    if (!id) status = DISP_E_UNKNOWNNAME;
  }
  return status;
}

std::optional<DISPID> DispatchObject::Lookup(std::wstring_view) {
  return std::nullopt;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters,
                               VARIANT* result, EXCEPINFO* exception, UINT* badArgument) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (parameters == nullptr) return E_POINTER;
  if (parameters->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  VARIANT ignored;
  VariantInit(&ignored);
  if (result == nullptr) result = &ignored;
  try {
    const HRESULT status = Call(id, flags, *parameters, result, badArgument);
    VariantClear(&ignored);
    return status;
  } catch (const Raised& raised) {
    if (exception != nullptr) {
      *exception = EXCEPINFO{};
      exception->wCode = 1001;
      exception->bstrSource = SysAllocString(L"CacheObject.Factory");
      exception->bstrDescription =
          SysAllocStringLen(raised.text.data(), static_cast<UINT>(raised.text.size()));
    }
    return DISP_E_EXCEPTION;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

std::optional<std::wstring> TextArgument(const VARIANTARG& argument) {
  BSTR text = nullptr;
  if (V_VT(&argument) == VT_BSTR)
    text = V_BSTR(&argument);
  else if (V_VT(&argument) == (VT_BYREF | VT_BSTR) && V_BSTRREF(&argument) != nullptr)
    text = *V_BSTRREF(&argument);
  else
    return std::nullopt;
  return std::wstring(text == nullptr ? L"" : text, text == nullptr ? 0 : SysStringLen(text));
}

}  // namespace standin
