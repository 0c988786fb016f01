#include "client_object.h"

#include <ws2tcpip.h>

#include "platform/sql/object_mapping.h"
#include "platform/win32/wide.h"
#include "record.h"
#include "users_file.h"

namespace standin {

namespace {

constexpr DISPID kConnect = 1;
constexpr DISPID kDisconnect = 2;
constexpr DISPID kOpenId = 7;
constexpr DISPID kIsConnected = 10;

// How long a connect waits for a server that does not answer.
constexpr long kConnectTimeoutSeconds = 3;

bool WaitConnected(SOCKET s) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval timeout{kConnectTimeoutSeconds, 0};
  if (select(0, nullptr, &writable, &failed, &timeout) <= 0 || !FD_ISSET(s, &writable))
    return false;
  int error = 0;
  int size = sizeof error;
  return getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 &&
         error == 0;
}

VARIANT_BOOL Truth(bool value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

ClientObject::ClientObject() : DispatchObject(kClientIid) {
  WSADATA data;
  winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

ClientObject::~ClientObject() {
  Disconnect();
  if (winsock_) WSACleanup();
}

HRESULT ClientObject::Call(DISPID id, WORD flags, const DISPPARAMS& parameters, VARIANT* result,
                           UINT* badArgument) {
  const auto expect = [&](UINT count) { return parameters.cArgs == count; };
  switch (id) {
    case kConnect: {
      if (!expect(1)) return DISP_E_BADPARAMCOUNT;
      // The connection string comes by reference, as the client object's callers pass it.
      const VARIANTARG& argument = parameters.rgvarg[0];
      if (V_VT(&argument) != (VT_BYREF | VT_BSTR)) {
        if (badArgument != nullptr) *badArgument = 0;
        return DISP_E_TYPEMISMATCH;
      }
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = Truth(Connect(*TextArgument(argument)));
      return S_OK;
    }
    case kIsConnected:
      if (!expect(0)) return DISP_E_BADPARAMCOUNT;
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = Truth(IsConnected());
      return S_OK;
    case kDisconnect:
      if (!expect(0)) return DISP_E_BADPARAMCOUNT;
      if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
      Disconnect();
      return S_OK;
    case kOpenId: {
      if (!expect(2)) return DISP_E_BADPARAMCOUNT;
      const auto className = TextArgument(parameters.rgvarg[1]);  // arguments come last first
      const auto key = TextArgument(parameters.rgvarg[0]);
      if (!className || !key) {
        if (badArgument != nullptr) *badArgument = className ? 0 : 1;
        return DISP_E_TYPEMISMATCH;
      }
      Open(*className, *key, result);
      return S_OK;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

bool ClientObject::Connect(const std::wstring& connectString) {
  Disconnect();
  const auto address = quorel::sql::ParseConnectString(quorel::win32::FromWide(connectString));
  if (!winsock_ || !address) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (getaddrinfo(address->host.c_str(), address->port.c_str(), &hints, &found) != 0) return false;
  for (const addrinfo* a = found; a != nullptr && socket_ == INVALID_SOCKET; a = a->ai_next) {
    const SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == INVALID_SOCKET) continue;
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 ||
        (WSAGetLastError() == WSAEWOULDBLOCK && WaitConnected(s)))
      socket_ = s;
    else
      closesocket(s);
  }
  freeaddrinfo(found);
  return socket_ != INVALID_SOCKET;
}

bool ClientObject::IsConnected() {
  if (socket_ == INVALID_SOCKET) return false;
  // The server never sends; something to read is its end of the connection.
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket_, &readable);
  timeval now{0, 0};
  if (select(0, &readable, nullptr, nullptr, &now) == 0) return true;
  char byte = 0;
  const int got = recv(socket_, &byte, 1, MSG_PEEK);
  if (got > 0 || (got < 0 && WSAGetLastError() == WSAEWOULDBLOCK)) return true;
  Disconnect();
  return false;
}

void ClientObject::Disconnect() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
  socket_ = INVALID_SOCKET;
}

void ClientObject::Open(const std::wstring& className, const std::wstring& id, VARIANT* result) {
  if (!IsConnected()) throw Raised{L"Keine Verbindung zum Server."};
  bool classKnown = false;
  for (UserRecord& record : ReadUsersFile()) {
    if (record.className != className) continue;
    classKnown = true;
    if (record.id != id) continue;
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = new Record(std::move(record));
    return;
  }
  if (!classKnown) throw Raised{L"Die Klasse „" + className + L"“ existiert nicht."};
  V_VT(result) = VT_DISPATCH;  // an empty handle: no such id
  V_DISPATCH(result) = nullptr;
}

}  // namespace standin
