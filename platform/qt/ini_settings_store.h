// The settings store of the Qt build: one INI file per application, "<directory>/<app>.ini", a
// section per INI group and one line per key (the format of ini_file.h).
//
// Writes are deferred: SaveSetting only records the value (GetSetting sees it at once), and
// Flush writes everything recorded for a file in one atomic replacement of that file, so the
// values saved together land together or not at all, also against another process saving the
// same file at the same time. The destructor flushes what is still unsaved and reports a
// failure on standard error, since it cannot throw; values whose failed Flush has already been
// reported by an exception are not tried again there.
//
// The file is written readable and writable by its owner only (it holds the scrambled
// password), also when it was readable by others before. A missing directory is created for
// the owner only. A file that is a symbolic link stays one: a save replaces the file at the end
// of its links, in that file's folder, and keeps its lock and copies there. A line that cannot be
// read (malformed, not UTF-8, control bytes) costs that line alone: every other key reads as
// written. A save keeps everything else the file holds and leaves such lines out, after copying the
// file as it was to
// "<app>.ini.damaged-<yyyyMMdd-HHmmss>"; it writes nothing that would not read back whole.
//
// Every text round-trips. Not for use from several threads.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "platform/settings_store.h"

namespace quorel::qt {

// ${XDG_CONFIG_HOME:-$HOME/.config}
std::string DefaultConfigDirectory();

class IniSettingsStore : public platform::SettingsStore {
 public:
  explicit IniSettingsStore(std::string directory = DefaultConfigDirectory());
  ~IniSettingsStore() override;
  IniSettingsStore(const IniSettingsStore&) = delete;
  IniSettingsStore& operator=(const IniSettingsStore&) = delete;

  // A file that is there but cannot be read reads as empty, as a missing one does; the first
  // time that happens to a file, the store tells what OnUnreadableFile gave it (standard error
  // when nothing), with the file and the reason, so that the user learns it before typing a
  // login that could not be saved.
  std::u16string GetSetting(std::u16string_view app, std::u16string_view section,
                            std::u16string_view key, std::u16string_view defaultValue) override;
  void SaveSetting(std::u16string_view app, std::u16string_view section, std::u16string_view key,
                   std::u16string_view value) override;
  // Throws std::runtime_error with a German message naming the file and the cause. What could
  // not be written stays recorded, so a later Flush tries again.
  void Flush() override;

  // The file that holds the settings of app.
  std::string FilePath(std::u16string_view app) const;

  // Where a file that cannot be read is reported: a German message naming the file, the
  // reason and what follows from it.
  void OnUnreadableFile(std::function<void(std::u16string_view message)> tell);

 private:
  using Values = std::map<std::pair<std::u16string, std::u16string>, std::u16string>;

  void Write(std::u16string_view app, const Values& values) const;
  void TellUnreadable(const std::string& file, int error);

  std::string directory_;
  std::map<std::u16string, Values, std::less<>> unsaved_;  // by application
  bool flushFailed_ = false;  // the last Flush threw, and nothing was saved since
  std::function<void(std::u16string_view)> tellUnreadable_;
  std::set<std::string> toldUnreadable_;
};

}  // namespace quorel::qt
