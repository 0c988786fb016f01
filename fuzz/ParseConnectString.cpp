// The PostgreSQL client's reading of a connection string, on any text: never a crash; what it
// accepts has a plain host name or address, a port from 1 to 65535 and a namespace, and the
// connection string made again from those reads the same.
//
// Input: the first byte chooses how the rest becomes text: even, UTF-8; odd, UTF-16 code units.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/properties.h"
#include "platform/sql/object_mapping.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quorel::fuzz::Require;
  namespace text = quorel::text;
  if (size < 1) return 0;
  const std::u16string connectString =
      data[0] % 2 == 0
          ? text::FromUtf8(std::string(reinterpret_cast<const char*>(data + 1), size - 1))
          : quorel::fuzz::Units(data + 1, size - 1);
  const auto address = quorel::sql::ParseConnectString(connectString);
  if (!address) return 0;
  Require(!address->host.empty() && address->host.size() <= 253, "a host of 1 to 253 bytes");
  Require(std::all_of(address->host.begin(), address->host.end(),
                      [](char c) {
                        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                               (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_' ||
                               c == ':' || c == '%';
                      }),
          "no list of hosts, no socket folder, nothing else");
  Require(!address->port.empty() && address->port.size() <= 5 &&
              std::all_of(address->port.begin(), address->port.end(),
                          [](char c) { return c >= '0' && c <= '9'; }),
          "a port of digits");
  const long port = std::stol(address->port);
  Require(port >= 1 && port <= 65535, "a port from 1 to 65535");
  Require(!address->database.empty() && address->database.find('\0') == std::string::npos,
          "a namespace without NUL");
  const std::u16string again =
      text::FromUtf8("cn_iptcp:" + address->host + "[" + address->port + "]:" + address->database);
  Require(quorel::sql::ParseConnectString(again) == address, "made again, it reads the same");
  return 0;
}
