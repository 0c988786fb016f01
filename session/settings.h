// Session settings: where they come from (command line or settings store), the two text
// routines they rest on, and the connection string.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "session/session.h"

namespace quorel::cacheapi {

// The server address used when neither source names one.
inline constexpr std::u16string_view kDefaultServerIP = u"127.0.0.1";

// The settings store layout.
inline constexpr std::u16string_view kStoreApp = u"Cache Login";
inline constexpr std::u16string_view kStoreSection = u"Login";

// Raised when a text exceeds what the 8-bit position and field counters can address.
class OverflowError : public std::overflow_error {
 public:
  explicit OverflowError(const std::string& where)
      : std::overflow_error("Überlauf in " + where + " (Text zu lang)") {}
};

// Fills the session values and the dialog fields from the command line or the settings store,
// shows the login dialog when the store holds no password, and composes ConnectString.
void ReadSettings(Session& session);

// The fieldNumber-th field (from 1) of text split at delimiter, or defaultValue when that field
// is empty or missing.
std::u16string GetField(std::u16string_view text, std::u16string_view delimiter,
                        std::int16_t fieldNumber, std::u16string_view defaultValue = {});

// The symmetric scrambling of the stored password: applied twice it gives the text back.
std::u16string ScramblePassword(std::u16string_view text);

}  // namespace quorel::cacheapi
