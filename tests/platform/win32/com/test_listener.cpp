#include "test_listener.h"

#include <gtest/gtest.h>
#include <winsock2.h>

#include <thread>

namespace quorel::win32::testing {

namespace {

void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  EXPECT_TRUE(started) << "Winsock did not start";
}

// Binds s to 127.0.0.1 on a port the system picks; returns the port, 0 on failure.
int BindLoopback(SOCKET s) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 0;
  int size = sizeof address;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  return ntohs(address.sin_port);
}

bool Readable(SOCKET s) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval now{0, 0};
  return select(0, &set, nullptr, nullptr, &now) > 0;
}

std::u16string PortText(int port) {
  const std::string digits = std::to_string(port);
  return {digits.begin(), digits.end()};
}

}  // namespace

TestListener::TestListener() {
  StartWinsock();
  socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  port_ = socket_ == INVALID_SOCKET ? 0 : BindLoopback(socket_);
  if (port_ == 0 || listen(socket_, SOMAXCONN) != 0) port_ = 0;
  EXPECT_NE(port_, 0) << "no loopback listener";
}

TestListener::~TestListener() {
  DropAll();
  closesocket(socket_);
}

std::u16string TestListener::Port() const {
  return PortText(port_);
}

int TestListener::OpenConnections() {
  while (Readable(socket_)) {
    const SOCKET peer = accept(socket_, nullptr, nullptr);
    if (peer == INVALID_SOCKET) break;
    peers_.push_back(peer);
  }
  std::erase_if(peers_, [](Socket peer) {
    char byte = 0;
    // The client never sends: something to read is its end of the connection.
    if (!Readable(peer) || recv(peer, &byte, 1, MSG_PEEK) > 0) return false;
    closesocket(peer);
    return true;
  });
  return static_cast<int>(peers_.size());
}

bool TestListener::WaitOpenConnections(int count, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (OpenConnections() != count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void TestListener::DropAll() {
  OpenConnections();  // takes the connections not yet taken
  for (const Socket peer : peers_)
    closesocket(peer);
  peers_.clear();
}

std::u16string ClosedPort() {
  StartWinsock();
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  const int port = BindLoopback(s);
  closesocket(s);
  return PortText(port);
}

}  // namespace quorel::win32::testing
