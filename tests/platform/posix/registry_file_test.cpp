#include "platform/posix/registry_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "platform/headless/diagnostics_log.h"
#include "support/temp_dir.h"
#include "support/unprivileged_user.h"

namespace quorel::posix {
namespace {

using namespace platform;
using Bytes = std::vector<std::uint8_t>;

constexpr char kKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

class RegistryFileTest : public ::testing::Test {
 protected:
  void Write(const std::string& content) { std::ofstream(path_, std::ios::binary) << content; }

  struct Result {
    long rc = -1;
    std::uint32_t type = 99;
    std::uint32_t size = 0;
    Bytes data;
  };
  // Opens kKey for reading, queries one value into a buffer of bufferSize bytes, closes.
  Result Read(const char* name, std::uint32_t bufferSize = 64) {
    RegistryFile registry(path_);
    HKEY key = 0;
    Result r;
    r.rc = registry.Open(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key);
    if (r.rc != ERROR_SUCCESS) return r;
    r.data.assign(bufferSize, 0xEE);
    r.size = bufferSize;
    r.rc = registry.Query(key, name, &r.type, r.data.data(), &r.size);
    if (r.rc == ERROR_SUCCESS) r.data.resize(r.size);
    EXPECT_EQ(registry.Close(key), ERROR_SUCCESS);
    return r;
  }

  quorel::testing::TempDir dir_{"registry_test"};
  std::filesystem::path path_ = dir_ / "registry";
};

TEST_F(RegistryFileTest, MissingFileHasNoKeys) {
  RegistryFile registry(path_);
  HKEY key = 0;
  EXPECT_EQ(registry.Open(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Read("PATH").rc, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFileTest, OpensKeysByPathIgnoringCase) {
  Write(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n"
      "[hkey_local_machine\\software\\B\xC3\xBCro]\n");
  const struct {
    HKEY root;
    const char* subKey;
    long rc;
  } cases[] = {
      {HKEY_LOCAL_MACHINE, kKey, ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, "software\\MICROSOFT\\shared tools\\msinfo", ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft", ERROR_SUCCESS},  // parent of a listed key
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\B\xFCro", ERROR_SUCCESS},    // code page bytes
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Micro", ERROR_FILE_NOT_FOUND},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO\\More", ERROR_FILE_NOT_FOUND},
      {0x80000001u, kKey, ERROR_FILE_NOT_FOUND},
  };
  RegistryFile registry(path_);
  for (const auto& c : cases) {
    HKEY key = 0;
    EXPECT_EQ(registry.Open(c.root, c.subKey, 0, KEY_READ, &key), c.rc) << c.subKey;
    EXPECT_EQ(key != 0, c.rc == ERROR_SUCCESS) << c.subKey;
  }
}

TEST_F(RegistryFileTest, StoresEachKindOfData) {
  Write(
      "; comment\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\r\n"
      "\"PATH\"=sz:/usr/bin/a b\r\n"
      "\"Name\"=sz:M\xC3\xBCller \xE2\x82\xAC\xCE\xA9 \n"
      "\"Count\"=dword:0000002a\n"
      "\"Raw\"=hex(3):01,02,ff\n"
      "\"Odd\"=hex(1):41,42\n"
      "\"Empty\"=hex(1):\n"
      "\"Wide\"=hex(b):01\n"
      "\"Bin\"=hex:7f\n"
      "@=sz:default\n"
      "\"Twice\"=sz:old\n"
      "\"TWICE\"=dword:00000001\n");
  const struct {
    const char* name;
    std::uint32_t type;
    Bytes data;
  } cases[] = {
      {"PATH", REG_SZ, {'/', 'u', 's', 'r', '/', 'b', 'i', 'n', '/', 'a', ' ', 'b', 0}},
      {"path", REG_SZ, {'/', 'u', 's', 'r', '/', 'b', 'i', 'n', '/', 'a', ' ', 'b', 0}},
      // Trailing blank kept; the euro sign has a code, the omega becomes '?'.
      {"Name", REG_SZ, {'M', 0xFC, 'l', 'l', 'e', 'r', ' ', 0x80, '?', ' ', 0}},
      {"Count", REG_DWORD, {0x2a, 0, 0, 0}},
      {"Raw", REG_BINARY, {1, 2, 0xff}},
      {"Odd", REG_SZ, {'A', 'B'}},
      {"Empty", REG_SZ, {}},
      {"Wide", 11, {1}},
      {"Bin", REG_BINARY, {0x7f}},
      {"", REG_SZ, {'d', 'e', 'f', 'a', 'u', 'l', 't', 0}},
      {"Twice", REG_DWORD, {1, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    const auto r = Read(c.name);
    ASSERT_EQ(r.rc, ERROR_SUCCESS) << c.name;
    EXPECT_EQ(r.type, c.type) << c.name;
    EXPECT_EQ(r.data, c.data) << c.name;
  }
  EXPECT_EQ(Read("Missing").rc, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFileTest, SizeProtocol) {
  Write("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n\"V\"=sz:abcd\n");
  RegistryFile registry(path_);
  HKEY key = 0;
  ASSERT_EQ(registry.Open(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);

  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(registry.Query(key, "V", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, REG_SZ);

  Bytes buffer(4, 0xEE);
  size = 4;
  EXPECT_EQ(registry.Query(key, "V", &type, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(buffer, Bytes(4, 0xEE));

  buffer.assign(5, 0xEE);
  EXPECT_EQ(registry.Query(key, "V", &type, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(buffer, (Bytes{'a', 'b', 'c', 'd', 0}));
  EXPECT_EQ(registry.Close(key), ERROR_SUCCESS);
}

TEST_F(RegistryFileTest, HandlesAreDistinctAndCloseOnce) {
  Write("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n\"V\"=sz:x\n");
  RegistryFile registry(path_);
  HKEY first = 0, second = 0;
  ASSERT_EQ(registry.Open(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &first), ERROR_SUCCESS);
  ASSERT_EQ(registry.Open(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &second), ERROR_SUCCESS);
  EXPECT_NE(first, 0u);
  EXPECT_NE(first, second);
  EXPECT_EQ(registry.Close(first), ERROR_SUCCESS);
  EXPECT_EQ(registry.Close(first), ERROR_INVALID_HANDLE);
  std::uint32_t size = 0;
  EXPECT_EQ(registry.Query(first, "V", nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(registry.Query(second, "V", nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(registry.Close(HKEY_LOCAL_MACHINE), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryFileTest, WriteRightsNeedAWritableFile) {
  if (quorel::testing::RunsAsRoot()) return quorel::testing::RerunAsUnprivilegedUser();
  Write("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n");
  RegistryFile registry(path_);
  HKEY key = 0;
  ASSERT_EQ(registry.Open(HKEY_LOCAL_MACHINE, kKey, 0, 0x2003F, &key), ERROR_SUCCESS);
  ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
  for (std::uint32_t mask : {0x2003Fu, KEY_SET_VALUE, KEY_CREATE_SUB_KEY, KEY_CREATE_LINK,
                             0x40000000u, KEY_QUERY_VALUE | KEY_SET_VALUE})
    EXPECT_EQ(registry.Open(HKEY_LOCAL_MACHINE, kKey, 0, mask, &key), ERROR_ACCESS_DENIED)
        << std::hex << mask;
  EXPECT_EQ(registry.Open(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST_F(RegistryFileTest, AFileThatCannotBeReadOpensNoKeyAndSaysWhyOnce) {
  if (quorel::testing::RunsAsRoot()) return quorel::testing::RerunAsUnprivilegedUser();
  const struct {
    const char* what;
    std::function<void(const std::filesystem::path& path)> prepare;
    long rc;
    const char* reason;
  } cases[] = {
      {"no right to read",
       [](const std::filesystem::path& path) {
         std::ofstream(path) << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n";
         chmod(path.c_str(), 0200);
       },
       ERROR_ACCESS_DENIED, "keine Berechtigung"},
      {"a folder",
       [](const std::filesystem::path& path) { std::filesystem::create_directory(path); },
       ERROR_FILE_NOT_FOUND, "es ist ein Ordner, keine Datei"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = dir_ / c.what;
    c.prepare(path);
    platform::headless::EventLog log;
    platform::headless::DiagnosticsLog diagnostics(log);
    RegistryFile registry(path, &diagnostics);
    for (int i = 0; i < 2; ++i) {
      HKEY key = 0;
      EXPECT_EQ(registry.Open(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), c.rc);
      EXPECT_EQ(key, 0u);
    }
    EXPECT_EQ(log.Entries(),
              std::vector<std::string>{"stderr: Die Registrierungsdatei \u201E" + path.string() +
                                       "\u201C ist nicht lesbar (" + c.reason + ")"});
  }
}

TEST_F(RegistryFileTest, IgnoresMalformedLines) {
  Write(
      "\"Before\"=sz:no key yet\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n"
      "\"NoEquals\"sz:x\n"
      "\"Unclosed=sz:x\n"
      "\"Short\"=dword:2a\n"
      "\"NotHex\"=dword:0000002g\n"
      "\"OneDigit\"=hex(1):1,2\n"
      "\"Gap\"=hex(1):01,,02\n"
      "\"Trailing\"=hex(1):01,\n"
      "\"BadType\"=hex(zz):01\n"
      "\"NoType\"=text:x\n"
      "\"Undecodable\"=sz:\xC3\n"
      "\"Good\"=sz:yes\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO\n"
      "\"Orphan\"=sz:x\n");
  for (const char* name : {"Before", "NoEquals", "Unclosed", "Short", "NotHex", "OneDigit", "Gap",
                           "Trailing", "BadType", "NoType", "Orphan"})
    EXPECT_EQ(Read(name).rc, ERROR_FILE_NOT_FOUND) << name;
  EXPECT_EQ(Read("Good").data, (Bytes{'y', 'e', 's', 0}));
  EXPECT_EQ(Read("Undecodable").data, (Bytes{'?', 0}));
}

}  // namespace
}  // namespace quorel::posix
