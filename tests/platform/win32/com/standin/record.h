// A record opened by the stand-in: its properties read by name, and "sys_Close", after which
// reading raises an error.
#pragma once

#include "dispatch_object.h"
#include "users_file.h"

namespace standin {

// The interface of the objects the client object opens.
inline constexpr IID kRecordIid = {
    0x4FF34438, 0x4C87, 0x11D1, {0xA2, 0x04, 0x00, 0x00, 0xF8, 0x77, 0x3C, 0xDC}};

class Record final : public DispatchObject {
 public:
  explicit Record(UserRecord record) : DispatchObject(kRecordIid), record_(std::move(record)) {}

 protected:
  std::optional<DISPID> Lookup(std::wstring_view name) override;
  HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& parameters, VARIANT* result,
               UINT* badArgument) override;

 private:
  UserRecord record_;
  bool closed_ = false;
};

}  // namespace standin
