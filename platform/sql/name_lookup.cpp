#include "platform/sql/name_lookup.h"

#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/posix/error_text.h"

namespace quorel::sql {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kSlice{10};

// The German wording of getaddrinfo's error codes.
std::string LookupErrorText(int rc, int systemError) {
  switch (rc) {
    case EAI_NONAME:
      return "der Name ist unbekannt";
#ifdef EAI_NODATA
    case EAI_NODATA:
      return "zu dem Namen gibt es keine Adresse";
#endif
    case EAI_AGAIN:
      return "der Namensserver ist vorübergehend nicht erreichbar";
    case EAI_FAIL:
      return "der Namensserver meldet einen dauerhaften Fehler";
    case EAI_MEMORY:
      return "nicht genügend Arbeitsspeicher";
    case EAI_FAMILY:
    case EAI_SOCKTYPE:
    case EAI_SERVICE:
    case EAI_BADFLAGS:
      return "die Namensauflösung wurde falsch aufgerufen";
    case EAI_SYSTEM:
      return posix::ErrorText(systemError);
    default:
      return "Fehler Nr. " + std::to_string(rc) + " der Namensauflösung";
  }
}

struct FreeAddresses {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

// getaddrinfo for TCP, the addresses as numeric texts without repeats.
LookupResult Resolve(const std::string& host, int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = flags;
  addrinfo* list = nullptr;
  LookupResult result;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &list);
  std::unique_ptr<addrinfo, FreeAddresses> owned(list);
  if (rc != 0) {
    result.error = LookupErrorText(rc, errno);
    return result;
  }
  for (const addrinfo* a = list; a; a = a->ai_next) {
    char text[NI_MAXHOST];
    if (getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
      continue;
    if (std::find(result.addresses.begin(), result.addresses.end(), text) == result.addresses.end())
      result.addresses.emplace_back(text);
  }
  if (result.addresses.empty()) result.error = "keine Adresse";
  return result;
}

// What the lookup thread hands over; it outlives the caller when the caller gives up.
struct Pending {
  Pending() : ready(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~Pending() {
    if (ready >= 0) close(ready);
  }
  Pending(const Pending&) = delete;
  Pending& operator=(const Pending&) = delete;

  const int ready;  // readable once result is there
  std::mutex mutex;
  LookupResult result;
};

}  // namespace

LookupResult LookUpHost(const std::string& host, Clock::time_point deadline,
                        const std::function<void()>& whileWaiting) {
  LookupResult numeric = Resolve(host, AI_NUMERICHOST);
  if (!numeric.addresses.empty()) return numeric;

  auto pending = std::make_shared<Pending>();
  if (pending->ready < 0) return {{}, "kein Ereignis-Deskriptor", false};
  try {
    std::thread([pending, host] {
      LookupResult result = Resolve(host, 0);
      {
        const std::lock_guard lock(pending->mutex);
        pending->result = std::move(result);
      }
      const std::uint64_t one = 1;
      // Adding 1 to the event counter cannot fail but for a signal.
      while (write(pending->ready, &one, sizeof one) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error& error) {
    return {{}, posix::ErrorText(error.code().value()), false};
  }

  for (;;) {
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return {{}, {}, true};
    pollfd fd{pending->ready, POLLIN, 0};
    const milliseconds wait = whileWaiting ? std::min(left, kSlice) : left;
    const int rc = poll(&fd, 1, static_cast<int>(wait.count()));
    if (rc > 0) {
      const std::lock_guard lock(pending->mutex);
      return std::move(pending->result);
    }
    if (rc < 0 && errno != EINTR) return {{}, posix::ErrorText(errno), false};
    if (whileWaiting) whileWaiting();
  }
}

}  // namespace quorel::sql
