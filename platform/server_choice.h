// The choice of server client by the environment variable MIRLOX_SERVER. Each build lists the
// clients it has as a table of choices; the client and the message naming the accepted values
// both come from that table.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/server_client.h"

namespace quorel::platform {

// One accepted value. Values are bytes as the environment holds them (UTF-8), so that a file
// name passes on unchanged.
struct ServerChoice {
  // The value itself, or with a parameter the prefix that a non-empty rest follows ("odbc:").
  // Empty: the choice is only the default.
  std::string_view value{};
  // What the message calls the rest ("VERBINDUNG"); empty for a value without a rest.
  std::u16string_view parameter{};
  // What the choice gives, as the message describes it.
  std::u16string description{};
  // Also the choice when the variable is unset or empty.
  bool byDefault = false;
  // The factory, given the rest after the prefix (empty without a parameter).
  std::function<std::unique_ptr<ServerClientFactory>(std::string_view rest)> make{};
};

// The factory of the first choice that takes the setting (nothing: the variable is unset).
// When none takes it, or making the factory throws ServerError, the factory returned throws
// ServerError with the reason at every Create(), so that the program shows the mistake to the
// user like any other server failure.
std::unique_ptr<ServerClientFactory> ChooseServer(std::span<const ServerChoice> choices,
                                                  std::optional<std::string_view> setting);

}  // namespace quorel::platform
