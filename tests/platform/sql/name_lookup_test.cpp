// A host name whose name server never answers. The test runs the connect in a child process with
// a network and a mount namespace of its own (in a user namespace of its own when not run as
// root): there the resolver configuration names a name server on the loopback interface that
// reads nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/sql/postgres_client.h"
#include "support/own_mounts.h"
#include "support/temp_dir.h"

namespace quorel::sql {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kBound{1500};

// Sets up the silent name server in new namespaces, its files in dir; an empty text when that
// worked.
std::string SilenceTheNameServer(const std::string& dir) {
  if (std::string failed = quorel::testing::EnterOwnMountNamespace(CLONE_NEWNET); !failed.empty())
    return failed;
  const std::string resolv = dir + "/resolv.conf";
  const std::string nsswitch = dir + "/nsswitch.conf";
  // Each query waits 30 s, far beyond the bound.
  std::ofstream(resolv) << "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n";
  std::ofstream(nsswitch) << "hosts: files dns\n";
  if (mount(resolv.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0 ||
      mount(nsswitch.c_str(), "/etc/nsswitch.conf", nullptr, MS_BIND, nullptr) != 0)
    return "bind mount";
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq lo{};
  std::strcpy(lo.ifr_name, "lo");
  if (ioctl(s, SIOCGIFFLAGS, &lo) != 0) return "SIOCGIFFLAGS";
  lo.ifr_flags = static_cast<short>(lo.ifr_flags | IFF_UP);
  if (ioctl(s, SIOCSIFFLAGS, &lo) != 0) return "SIOCSIFFLAGS";
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(53);
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) return "bind port 53";
  return {};  // the socket stays open, unread, for the life of the process
}

// In the child: one connect to a name only that server could answer. Reports
// "connected elapsed-ms longest-gap-ms calls" and the client's error on the next line.
std::string ConnectInSilence(const std::string& dir) {
  if (const std::string failed = SilenceTheNameServer(dir); !failed.empty())
    return "failed " + failed;
  PostgresClient client(PostgresOptions{kBound});
  auto last = Clock::now();
  milliseconds longest{0};
  int calls = 0;
  client.SetWhileWaiting([&] {
    const auto now = Clock::now();
    longest = std::max(longest, std::chrono::duration_cast<milliseconds>(now - last));
    last = now;
    ++calls;
  });
  const auto start = Clock::now();
  const bool connected = client.Connect(u"cn_iptcp:mirlox-db.test[5432]:MIRLOX");
  const auto elapsed = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
  longest = std::max(longest, std::chrono::duration_cast<milliseconds>(Clock::now() - last));
  return std::to_string(connected) + " " + std::to_string(elapsed.count()) + " " +
         std::to_string(longest.count()) + " " + std::to_string(calls) + "\n" + client.LastError();
}

TEST(PostgresNameLookup, ASilentNameServerCostsTheConnectBoundAndEventsGoOn) {
  const quorel::testing::TempDir dir("quorel-resolver");
  const std::string report =
      quorel::testing::InChildProcess([&] { return ConnectInSilence(dir.path().string()); });
  ASSERT_FALSE(report.starts_with("failed ")) << "no silent name server: " << report;

  std::istringstream in(report);
  int connected = -1, calls = 0;
  long long elapsedMs = -1, longestGapMs = -1;
  in >> connected >> elapsedMs >> longestGapMs >> calls;
  std::string error;
  std::getline(in >> std::ws, error);
  ASSERT_EQ(connected, 0) << report;
  // The lookup ends with the bound, not with the resolver's own timeout.
  EXPECT_GE(elapsedMs, kBound.count() - 50) << report;
  EXPECT_LT(elapsedMs, kBound.count() + 1000) << report;
  // Meanwhile events were processed every few milliseconds.
  EXPECT_LT(longestGapMs, 250) << report;
  EXPECT_GT(calls, 20) << report;
  EXPECT_NE(error.find("mirlox-db.test"), std::string::npos) << report;
}

}  // namespace
}  // namespace quorel::sql
