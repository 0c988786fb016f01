// The server client of the Windows program: the database vendor's client object, through COM.
//
// - It implements platform::ServerClientFactory: every Create makes a new client object by its
//   programmatic identifier, in process or as a local server, and asks it for the vendor's
//   client interface.
// - A client object registered only for programs of the other bitness (other_bitness.h) is
//   used out of process when its AppID names a DLL surrogate. Without the vendor's type library
//   the vendor's interfaces cannot cross the process boundary; the client and the objects it
//   opens are then called through their plain dispatch interface, by the same dispatch ids.
//   Without a surrogate the message names what is registered and the build to use instead.
// - The client's members are called late-bound by their fixed dispatch ids (Connect with the
//   connect string by reference, Disconnect, OpenId, IsConnected), an opened object's
//   properties and methods by name (dispatch_call.h). A result is taken as late binding takes
//   it, from a method or a property alike.
// - Property values become text as Automation converts them for the user's locale; an error the
//   object raises reaches the message in the object's own words.
// - Failures are ServerErrors with German messages naming the class and id; an unknown property
//   is a PropertyNotFoundError, an empty handle from OpenId an ObjectNotFoundError, and a failed
//   open of a client that says it is not connected a NotConnectedError.
//
// Limits: COM must be initialised on the calling thread (ComApartment) while clients and
// objects live; every call waits on that thread for the object, with no time-out of its own.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/server_client.h"

namespace quorel::win32 {

inline constexpr std::u16string_view kClientProgId = u"CacheObject.Factory";

class ComServerClientFactory final : public platform::ServerClientFactory {
 public:
  explicit ComServerClientFactory(std::u16string progId = std::u16string(kClientProgId));

  // A new client object. When none can be created, ServerError with a German message naming
  // the programmatic identifier: that the database client is not installed, when the class is
  // not registered or its library is missing; that it is registered only for programs of the
  // other bitness, with its class id and library, when it is so; otherwise the system's
  // reason.
  std::unique_ptr<platform::ServerClient> Create() override;

 private:
  std::u16string progId_;
};

}  // namespace quorel::win32
