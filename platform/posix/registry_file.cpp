#include "platform/posix/registry_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sstream>

#include "platform/posix/error_text.h"
#include "platform/posix/whole_file.h"
#include "platform/text.h"

namespace quorel::posix {

namespace {

using platform::HKEY;
using text::IsBlank;
using text::Trim;

// Returned for a missing output pointer, as the system does.
constexpr long kErrorInvalidParameter = 87;

// Rights that change the registry; a read-only file grants none of them.
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kWriteRights = platform::KEY_SET_VALUE | platform::KEY_CREATE_SUB_KEY |
                                       platform::KEY_CREATE_LINK | kGenericWrite | kGenericAll;

constexpr std::u16string_view kRootName = u"HKEY_LOCAL_MACHINE";

std::u16string FoldCase(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return out;
}

std::optional<std::uint32_t> ParseHex(std::u16string_view digits, std::size_t maxDigits) {
  if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (char16_t c : digits) {
    std::uint32_t d = 0;
    if (c >= u'0' && c <= u'9')
      d = c - u'0';
    else if (c >= u'a' && c <= u'f')
      d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
      d = c - u'A' + 10;
    else
      return std::nullopt;
    value = value << 4 | d;
  }
  return value;
}

// "01,02,ff"; empty text gives no bytes.
std::optional<std::vector<std::uint8_t>> ParseByteList(std::u16string_view list) {
  std::vector<std::uint8_t> bytes;
  list = Trim(list);
  if (list.empty()) return bytes;
  while (true) {
    const auto comma = list.find(u',');
    const auto item = Trim(list.substr(0, comma));
    if (item.size() != 2) return std::nullopt;
    const auto byte = ParseHex(item, 2);
    if (!byte) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(*byte));
    if (comma == std::u16string_view::npos) return bytes;
    list.remove_prefix(comma + 1);
  }
}

// The part after '=': "sz:…", "dword:…", "hex:…" or "hex(T):…".
bool ParseData(std::u16string_view entry, std::uint32_t& type, std::vector<std::uint8_t>& data) {
  constexpr std::u16string_view kSz = u"sz:", kDword = u"dword:", kHex = u"hex:", kHexT = u"hex(";
  if (entry.starts_with(kSz)) {
    type = platform::REG_SZ;
    const auto bytes = text::ToCodePage(entry.substr(kSz.size()));
    data.assign(bytes.begin(), bytes.end());
    data.push_back(0);
    return true;
  }
  if (entry.starts_with(kDword)) {
    const auto digits = Trim(entry.substr(kDword.size()));
    const auto value = digits.size() == 8 ? ParseHex(digits, 8) : std::nullopt;
    if (!value) return false;
    type = platform::REG_DWORD;
    data = {static_cast<std::uint8_t>(*value), static_cast<std::uint8_t>(*value >> 8),
            static_cast<std::uint8_t>(*value >> 16), static_cast<std::uint8_t>(*value >> 24)};
    return true;
  }
  std::optional<std::uint32_t> hexType;
  std::u16string_view list;
  if (entry.starts_with(kHex)) {
    hexType = platform::REG_BINARY;
    list = entry.substr(kHex.size());
  } else if (entry.starts_with(kHexT)) {
    const auto close = entry.find(u"):");
    if (close == std::u16string_view::npos) return false;
    hexType = ParseHex(entry.substr(kHexT.size(), close - kHexT.size()), 8);
    list = entry.substr(close + 2);
  }
  if (!hexType) return false;
  auto bytes = ParseByteList(list);
  if (!bytes) return false;
  type = *hexType;
  data = std::move(*bytes);
  return true;
}

// A value line: "Name"=entry or @=entry.
std::optional<std::pair<std::u16string, std::u16string_view>> SplitValueLine(
    std::u16string_view line) {
  if (line.starts_with(u"@=")) return std::pair{std::u16string(), line.substr(2)};
  if (!line.starts_with(u'"')) return std::nullopt;
  const auto close = line.find(u'"', 1);
  if (close == std::u16string_view::npos || close + 1 >= line.size() || line[close + 1] != u'=')
    return std::nullopt;
  return std::pair{std::u16string(line.substr(1, close - 1)), line.substr(close + 2)};
}

}  // namespace

RegistryFile::RegistryFile(std::string path, platform::Diagnostics* diagnostics)
    : path_(std::move(path)), diagnostics_(diagnostics) {}

long RegistryFile::Open(HKEY root, std::string_view subKey, std::uint32_t /*options*/,
                        std::uint32_t samDesired, HKEY* result) {
  if (result == nullptr) return kErrorInvalidParameter;
  if (root != platform::HKEY_LOCAL_MACHINE) return platform::ERROR_FILE_NOT_FOUND;

  std::u16string wanted = FoldCase(kRootName);
  if (!subKey.empty()) wanted += u'\\' + FoldCase(text::FromCodePage(subKey));
  const std::u16string wantedParent = wanted + u'\\';

  bool found = subKey.empty();
  Values values;
  errno = 0;
  const std::optional<std::string> contents = ReadWholeFile(path_);
  if (!contents && errno != ENOENT && errno != ENOTDIR) {
    const int error = errno;
    const std::string reason = "Die Registrierungsdatei \u201E" + path_ +
                               "\u201C ist nicht lesbar (" + ErrorText(error) + ")";
    if (diagnostics_ && reason != lastReported_) diagnostics_->Line(text::FromUtf8(reason));
    lastReported_ = reason;
    return error == EACCES || error == EPERM ? platform::ERROR_ACCESS_DENIED
                                             : platform::ERROR_FILE_NOT_FOUND;
  }
  lastReported_.clear();
  std::istringstream in(contents.value_or(std::string()));
  std::string rawLine;
  bool inWanted = false;
  while (std::getline(in, rawLine)) {
    if (rawLine.ends_with('\r')) rawLine.pop_back();  // a CR LF line end
    const std::u16string decoded = text::FromUtf8(rawLine);
    const auto line = Trim(decoded);
    if (line.empty() || line.front() == u';') continue;
    if (line.front() == u'[') {
      // A malformed header also ends the previous key, so that its values go nowhere.
      inWanted = false;
      if (line.size() < 3 || line.back() != u']') continue;
      const auto path = FoldCase(line.substr(1, line.size() - 2));
      if (path == wanted) found = inWanted = true;
      if (path.starts_with(wantedParent)) found = true;
      continue;
    }
    if (!inWanted) continue;
    // The data of a value keeps its blanks at the end.
    std::u16string_view untrimmed = decoded;
    while (!untrimmed.empty() && IsBlank(untrimmed.front()))
      untrimmed.remove_prefix(1);
    const auto split = SplitValueLine(untrimmed);
    if (!split) continue;
    Value value{split->first, platform::REG_NONE, {}};
    if (!ParseData(split->second, value.type, value.data)) continue;
    const auto folded = FoldCase(value.name);
    const auto same = [&](const Value& v) { return FoldCase(v.name) == folded; };
    std::erase_if(values, same);  // a later line replaces an earlier one
    values.push_back(std::move(value));
  }
  if (!found) return platform::ERROR_FILE_NOT_FOUND;
  if ((samDesired & kWriteRights) != 0 && access(path_.c_str(), W_OK) != 0)
    return platform::ERROR_ACCESS_DENIED;

  const HKEY handle = nextHandle_++;
  open_[handle] = std::move(values);
  *result = handle;
  return platform::ERROR_SUCCESS;
}

long RegistryFile::Query(HKEY key, std::string_view valueName, std::uint32_t* type,
                         std::uint8_t* data, std::uint32_t* dataSize) {
  const auto open = open_.find(key);
  if (open == open_.end()) return platform::ERROR_INVALID_HANDLE;
  if (data != nullptr && dataSize == nullptr) return kErrorInvalidParameter;
  const auto folded = FoldCase(text::FromCodePage(valueName));
  const auto& values = open->second;
  const auto value = std::find_if(values.begin(), values.end(),
                                  [&](const Value& v) { return FoldCase(v.name) == folded; });
  if (value == values.end()) return platform::ERROR_FILE_NOT_FOUND;

  if (type != nullptr) *type = value->type;
  const auto needed = static_cast<std::uint32_t>(value->data.size());
  if (dataSize == nullptr) return platform::ERROR_SUCCESS;
  if (data != nullptr && needed > *dataSize) {
    *dataSize = needed;
    return platform::ERROR_MORE_DATA;
  }
  if (data != nullptr && needed > 0) std::memcpy(data, value->data.data(), needed);
  *dataSize = needed;
  return platform::ERROR_SUCCESS;
}

long RegistryFile::Close(HKEY key) {
  return open_.erase(key) == 1 ? platform::ERROR_SUCCESS : platform::ERROR_INVALID_HANDLE;
}

}  // namespace quorel::posix
