// A TCP listener on 127.0.0.1 standing in for the database server: it takes every connection
// and keeps it open, sends nothing, and can drop them all.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quorel::win32::testing {

class TestListener {
 public:
  TestListener();
  ~TestListener();
  TestListener(const TestListener&) = delete;
  TestListener& operator=(const TestListener&) = delete;

  std::u16string Port() const;
  // Waits, bounded, until exactly `count` connections are open, none closed by the client;
  // true when that happened.
  bool WaitOpenConnections(int count, std::chrono::milliseconds bound = std::chrono::seconds(3));
  // Ends every connection from the server's side.
  void DropAll();

 private:
  using Socket = std::uintptr_t;  // a Winsock SOCKET

  int OpenConnections();

  Socket socket_;
  int port_ = 0;
  std::vector<Socket> peers_;
};

// A port on 127.0.0.1 that nothing listens on at the time of the call.
std::u16string ClosedPort();

}  // namespace quorel::win32::testing
