// The network addresses of a server's host name, looked up within a deadline while the caller's
// windows go on processing events.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace quorel::sql {

struct LookupResult {
  std::vector<std::string> addresses;  // numeric, in the order to try them
  std::string error;                   // why there are none, when the lookup failed
  bool timedOut = false;
};

// A numeric address is taken as it is. A name is looked up on a thread of its own: the
// resolver cannot be stopped, so at the deadline the caller gives up on it and the thread ends
// on its own later. Meanwhile whileWaiting (when set) runs about every 10 ms.
LookupResult LookUpHost(const std::string& host, std::chrono::steady_clock::time_point deadline,
                        const std::function<void()>& whileWaiting);

}  // namespace quorel::sql
