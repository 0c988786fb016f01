// The server client of the Windows program: the database vendor's client object, created
// through COM by its programmatic identifier and called late-bound by dispatch id. COM must be
// initialised on the calling thread (ComApartment) while clients and objects live.
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
  // not registered or its library is missing; otherwise the system's reason.
  std::unique_ptr<platform::ServerClient> Create() override;

 private:
  std::u16string progId_;
};

}  // namespace quorel::win32
