// The stand-in's client object: connect (dispatch id 1) makes a real TCP connection to the
// address and port of "cn_iptcp:HOST[PORT]:NAMESPACE" (read as the program's SQL clients read
// it), passed by reference; is-connected (10)
// is true while that connection is up and the peer has not closed it; disconnect (2) closes it;
// open (7, class name and id) gives the record of the users file, an empty handle when the
// class has no such id, and raises an error for a class the file does not have or when not
// connected.
#pragma once

#include <winsock2.h>

#include "dispatch_object.h"

namespace standin {

inline constexpr IID kClientIid = {
    0xA98252EA, 0x17D9, 0x11D1, {0xA1, 0x81, 0x00, 0x00, 0xF8, 0x77, 0x3C, 0xDC}};

class ClientObject final : public DispatchObject {
 public:
  ClientObject();
  ~ClientObject() override;

 protected:
  HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& parameters, VARIANT* result,
               UINT* badArgument) override;

 private:
  bool Connect(const std::wstring& connectString);
  bool IsConnected();
  void Disconnect();
  void Open(const std::wstring& className, const std::wstring& id, VARIANT* result);

  bool winsock_ = false;
  SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace standin
