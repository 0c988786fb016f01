#include "record.h"

namespace standin {

namespace {

constexpr DISPID kClose = 0x1000;  // properties are numbered from 1

}  // namespace

std::optional<DISPID> Record::Lookup(std::wstring_view name) {
  if (name == L"sys_Close") return kClose;
  for (std::size_t i = 0; i < record_.cells.size(); ++i)
    if (record_.cells[i].name == name) return static_cast<DISPID>(i + 1);
  return std::nullopt;
}

HRESULT Record::Call(DISPID id, WORD flags, const DISPPARAMS& parameters, VARIANT* result, UINT*) {
  if (parameters.cArgs != 0) return DISP_E_BADPARAMCOUNT;
  if (id == kClose) {
    if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
    closed_ = true;
    return S_OK;
  }
  if (id < 1 || static_cast<std::size_t>(id) > record_.cells.size() ||
      (flags & DISPATCH_PROPERTYGET) == 0)
    return DISP_E_MEMBERNOTFOUND;
  if (closed_) throw Raised{L"Das Objekt " + record_.id + L" ist geschlossen."};
  CellValue(record_.cells[static_cast<std::size_t>(id - 1)], result);
  return S_OK;
}

}  // namespace standin
