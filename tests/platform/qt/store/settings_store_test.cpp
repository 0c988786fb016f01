#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QSettings>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/qt/ini_file.h"
#include "platform/qt/ini_settings_store.h"
#include "platform/text.h"
#include "session/settings.h"
#include "tests/platform/qt/store/store_sets.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged_user.h"

namespace quorel::qt {
namespace {

namespace fs = std::filesystem;
using testing::kApp;
using testing::kSection;
using testing::ReadBytes;

constexpr std::u16string_view kAbsent = u"<fehlt>";

class IniSettingsStoreTest : public ::testing::Test {
 protected:
  fs::path File() const { return dir_ / "Cache Login.ini"; }

  // Read back through a store that has never seen the values.
  std::u16string ReadFresh(std::u16string_view key, const fs::path& dir) const {
    IniSettingsStore fresh(dir.string());
    return fresh.GetSetting(kApp, kSection, key, kAbsent);
  }
  std::u16string ReadFresh(std::u16string_view key) const { return ReadFresh(key, dir_); }

  static unsigned Mode(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
  }

  static void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  // A saved file reads back whole: no line of it is damaged.
  static void ExpectWhole(const fs::path& dir) {
    const std::string bytes = ReadBytes(dir / "Cache Login.ini");
    EXPECT_EQ(IniFile::Parse(bytes).DamagedLines(), std::vector<std::size_t>{}) << bytes;
  }

  // QSettings' own verdict on bytes, in a file of its own that no QSettings of this process has
  // read before.
  static bool QtReadsCleanly(const fs::path& probe, const std::string& bytes) {
    WriteBytes(probe, bytes);
    QSettings qt(QFile::decodeName(probe.c_str()), QSettings::IniFormat);
    static_cast<void>(qt.allKeys());
    return qt.status() == QSettings::NoError;
  }

  std::vector<fs::path> DamagedCopies(const fs::path& dir) const {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(dir))
      if (entry.path().filename().string().starts_with("Cache Login.ini.damaged-"))
        found.push_back(entry.path());
    return found;
  }

  quorel::testing::TempDir temp_{"ini_store_test"};
  fs::path dir_ = temp_.path();
};

TEST_F(IniSettingsStoreTest, EveryTextReadsBackExactly) {
  const std::vector<std::u16string> hostile = quorel::testing::HostileTexts();
  {
    IniSettingsStore store(dir_.string());
    for (std::size_t i = 0; i < hostile.size(); ++i)
      store.SaveSetting(kApp, kSection, u"K" + text::FromUtf8(std::to_string(i)), hostile[i]);
    store.Flush();
  }
  ExpectWhole(dir_);
  // The format is QSettings' own: it reads the same texts.
  ASSERT_TRUE(QtReadsCleanly(dir_ / "probe.ini", ReadBytes(File())));
  QSettings qt(QFile::decodeName((dir_ / "probe.ini").c_str()), QSettings::IniFormat);
  for (std::size_t i = 0; i < hostile.size(); ++i) {
    SCOPED_TRACE("text " + std::to_string(i) + ": " + text::ToUtf8(hostile[i]));
    EXPECT_EQ(ReadFresh(u"K" + text::FromUtf8(std::to_string(i))), hostile[i]);
    EXPECT_EQ(qt.value("Login/K" + QString::number(i)).toString().toStdU16String(), hostile[i]);
  }
}

// Files that QSettings wrote (as earlier versions of the program did) read the same.
TEST_F(IniSettingsStoreTest, FilesQSettingsWroteReadTheSame) {
  const std::vector<std::u16string> hostile = quorel::testing::HostileTexts();
  {
    QSettings qt(QFile::decodeName(File().c_str()), QSettings::IniFormat);
    for (std::size_t i = 0; i < hostile.size(); ++i)
      qt.setValue("Login/K" + QString::number(i), QString::fromStdU16String(hostile[i]));
  }
  for (std::size_t i = 0; i < hostile.size(); ++i) {
    SCOPED_TRACE("text " + std::to_string(i) + ": " + text::ToUtf8(hostile[i]));
    // QSettings writes a leading byte order mark as it is, and drops it when it reads.
    if (hostile[i].starts_with(u'\uFEFF')) continue;
    EXPECT_EQ(ReadFresh(u"K" + text::FromUtf8(std::to_string(i))), hostile[i]);
  }
}

TEST_F(IniSettingsStoreTest, StoredPasswordsReadBackAsTyped) {
  const std::u16string typed[] = {u"Geheim",
                                  u"geheim 2024!",
                                  testing::AllCodePageCharacters(0x20),  // all a user can type
                                  u"(7.6I9",                             // scrambles to =";#\,
                                  u"5x5",                                // to blanks at both ends
                                  u"\u201D\u02DC\u2026\u02C6",           // to C1 controls
                                  u"jJ",
                                  u"U@"};  // to DEL, and to a leading '@'
  for (const auto& password : typed) {
    SCOPED_TRACE(text::ToUtf8(password));
    {
      IniSettingsStore store(dir_.string());
      store.SaveSetting(kApp, kSection, u"Passwort", cacheapi::ScramblePassword(password));
      store.Flush();
    }
    EXPECT_EQ(cacheapi::ScramblePassword(ReadFresh(u"Passwort")), password);
  }
}

TEST_F(IniSettingsStoreTest, EmptyTextIsStoredWhileMissingKeysGiveTheDefault) {
  {
    IniSettingsStore store(dir_.string());
    store.SaveSetting(kApp, kSection, u"Name", u"");
    store.SaveSetting(kApp, u"Anderes", u"Firma", u"7");
    store.Flush();
  }
  EXPECT_EQ(ReadFresh(u"Name"), u"");
  EXPECT_EQ(ReadFresh(u"Firma"), kAbsent);                // same key in another section
  EXPECT_EQ(ReadFresh(u"Name", dir_ / "leer"), kAbsent);  // no file at all
  IniSettingsStore store(dir_.string());
  EXPECT_EQ(store.GetSetting(u"Andere Anwendung", kSection, u"Name", u"d"), u"d");
}

TEST_F(IniSettingsStoreTest, SavedValuesAreWrittenTogetherAtFlushOrByTheDestructor) {
  {
    IniSettingsStore store(dir_.string());
    store.SaveSetting(kApp, kSection, u"Firma", u"5");
    store.SaveSetting(kApp, kSection, u"Firma", u"6");
    EXPECT_EQ(store.GetSetting(kApp, kSection, u"Firma", kAbsent), u"6");
    EXPECT_FALSE(fs::exists(File()));  // nothing written before Flush
    store.Flush();
    EXPECT_EQ(ReadFresh(u"Firma"), u"6");
    store.SaveSetting(kApp, kSection, u"Name", u"Meier");
  }
  EXPECT_EQ(ReadFresh(u"Name"), u"Meier");  // the destructor saved what Flush had not
  EXPECT_EQ(ReadFresh(u"Firma"), u"6");
}

TEST_F(IniSettingsStoreTest, SavingKeepsEverythingElseTheFileHolds) {
  const std::string foreign =
      "; von Hand\n[Login]\nFirma=alt\nExtra=bleibt\n[Anderes]\nSchluessel=1, 2\nx\\ = 1\n"
      "k = \"a;b\" ; Kommentar\n%U00E4%2F=\\x41\\t\n[%General]\nGanz=\"  oben  \"\n";
  WriteBytes(File(), foreign);
  for (const char16_t* firma : {u"neu", u"neuer"}) {
    {
      IniSettingsStore store(dir_.string());
      store.SaveSetting(kApp, kSection, u"Firma", firma);
      store.SaveSetting(kApp, u"Neu", u"Name", u"x\\ =1;");
      store.Flush();
    }
    ExpectWhole(dir_);
    IniSettingsStore fresh(dir_.string());
    EXPECT_EQ(fresh.GetSetting(kApp, kSection, u"Firma", kAbsent), firma);
    EXPECT_EQ(fresh.GetSetting(kApp, kSection, u"Extra", kAbsent), u"bleibt");
    // An unquoted comma written by hand is read as the text it was.
    EXPECT_EQ(fresh.GetSetting(kApp, u"Anderes", u"Schluessel", kAbsent), u"1, 2");
    // A backslash in a key stands for '/', as in the files QSettings writes.
    EXPECT_EQ(fresh.GetSetting(kApp, u"Anderes", u"x/", kAbsent), u"1");
    EXPECT_EQ(fresh.GetSetting(kApp, u"Anderes", u"k", kAbsent), u"a;b");
    EXPECT_EQ(fresh.GetSetting(kApp, u"Anderes", u"\u00E4/", kAbsent), u"A\t");
    EXPECT_EQ(fresh.GetSetting(kApp, u"General", u"Ganz", kAbsent), u"  oben  ");
    EXPECT_EQ(fresh.GetSetting(kApp, u"Neu", u"Name", kAbsent), u"x\\ =1;");
  }
  // The lines the saves did not touch are as they were written.
  const std::string saved = ReadBytes(File());
  EXPECT_NE(saved.find("[Anderes]\nSchluessel=1, 2\nx\\ = 1\nk = \"a;b\" ; Kommentar\n"),
            std::string::npos)
      << saved;
  EXPECT_TRUE(DamagedCopies(dir_).empty());
}

TEST_F(IniSettingsStoreTest, FileIsForItsOwnerOnlyWhateverTheUmask) {
  const mode_t previous = umask(0);  // the rights must not depend on the umask
  const fs::path nested = dir_ / "neu" / "konfig";
  {
    IniSettingsStore store(nested.string());
    testing::SaveSet(store, u"eins");
  }
  EXPECT_EQ(Mode(dir_ / "neu"), 0700u);
  EXPECT_EQ(Mode(nested), 0700u);
  EXPECT_EQ(Mode(nested / "Cache Login.ini"), 0600u);
  {
    IniSettingsStore store(nested.string());
    testing::SaveSet(store, u"zwei");
  }
  EXPECT_EQ(Mode(nested / "Cache Login.ini"), 0600u);  // kept by the replacement

  // A file readable by others (written by something else) is narrowed by the next save.
  WriteBytes(File(), "[Login]\nFirma=alt\n");
  fs::permissions(File(), fs::perms(0644));
  {
    IniSettingsStore store(dir_.string());
    testing::SaveSet(store, u"drei");
  }
  umask(previous);
  EXPECT_EQ(Mode(File()), 0600u);
  IniSettingsStore fresh(nested.string());
  EXPECT_EQ(testing::CompleteSetTag(fresh), u"zwei");
}

// A line that cannot be read costs that line alone (and under a damaged header, its section):
// every other key keeps its value, and the save that leaves the lines out keeps a copy of the
// file as it was.
TEST_F(IniSettingsStoreTest, DamagedLinesCostOnlyThemselvesAndAreKeptAsideBySave) {
  std::mt19937 random(1);
  std::string garbage(2048, '\0');
  for (auto& byte : garbage)
    byte = static_cast<char>(random());
  const struct {
    const char* what;
    std::string bytes;
    std::u16string_view firma;  // as read before the save
  } cases[] = {
      {"line without '='", "[Login]\nFirma=alt\nkaputt\nExtra=bleibt\n", u"alt"},
      {"line without key", "[Login]\n=x\nFirma=alt\nExtra=bleibt\n", u"alt"},
      {"in another section", "[Anderes]\nkaputt\n[Login]\nFirma=alt\nExtra=bleibt\n", u"alt"},
      {"open quote", "[Login]\nName=\"zwei\nZeilen\"\nFirma=alt\nExtra=bleibt\n", u"alt"},
      {"backslash at the end", "[Login]\nName=a\\\nFirma=alt\nExtra=bleibt\n", u"alt"},
      {"invalid UTF-8 elsewhere", "[Login]\nName=\xFF\nFirma=alt\nExtra=bleibt\n", u"alt"},
      {"control byte elsewhere", "[Login]\nName=\x01\nFirma=alt\nExtra=bleibt\n", u"alt"},
      {"damaged header before", "[Anders\x01]\nFirma=x\n[Login]\nFirma=alt\nExtra=bleibt\n",
       u"alt"},
      {"damaged header", "[Login]\nExtra=bleibt\n[Login\xC0]\nFirma=x\n", kAbsent},
      {"invalid UTF-8", "[Login]\nFirma=alt\xFF\xFE\nExtra=bleibt\n", kAbsent},
      {"truncated UTF-8", "[Login]\nExtra=bleibt\nFirma=\xC3", kAbsent},
      {"NUL byte", std::string("[Login]\nFirma=a\0b\nExtra=bleibt\n", 31), kAbsent},
      {"zero-filled", std::string(4096, '\0'), kAbsent},
      {"random bytes", garbage, kAbsent},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path dir = dir_ / c.what;
    fs::create_directory(dir);
    WriteBytes(dir / "Cache Login.ini", c.bytes);
    EXPECT_EQ(ReadFresh(u"Firma", dir), c.firma);
    const std::u16string extra = ReadFresh(u"Extra", dir);
    if (c.bytes.find("Extra") != std::string::npos) {
      EXPECT_EQ(extra, u"bleibt");
    }
    {
      IniSettingsStore store(dir.string());
      testing::SaveSet(store, u"neu");
    }
    ExpectWhole(dir);
    IniSettingsStore fresh(dir.string());
    EXPECT_EQ(testing::CompleteSetTag(fresh), u"neu");
    EXPECT_EQ(ReadFresh(u"Extra", dir), extra);
    const auto copies = DamagedCopies(dir);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadBytes(copies[0]), c.bytes);
    EXPECT_EQ(Mode(copies[0]), 0600u);
    EXPECT_EQ(Mode(dir / "Cache Login.ini"), 0600u);
  }
}

TEST_F(IniSettingsStoreTest, HandWrittenFilesAreNotTakenForDamaged) {
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"comments", "; Kommentar\n[Login]\n  ; noch einer\n# auch\nFirma=alt ; dahinter\n"},
      {"header without ']'", "[Login\nFirma=alt\n"},
      {"byte order mark", "\xEF\xBB\xBF[Login]\nFirma=alt\n"},
      {"backslash key", "[Anderes]\nx\\ = 1\n[Login]\nFirma=alt\n"},
      {"CRLF", "[Login]\r\nFirma=alt\r\n"},
      {"blanks around '='", "[Login]\n  Firma =  alt\n\n"},
      {"UTF-8 and tabs", "[Login]\n\tName=J\xC3\xBCrgen\nFirma=alt\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path dir = dir_ / c.what;
    fs::create_directory(dir);
    WriteBytes(dir / "Cache Login.ini", c.bytes);
    EXPECT_EQ(ReadFresh(u"Firma", dir), u"alt");
    {
      IniSettingsStore store(dir.string());
      store.SaveSetting(kApp, kSection, u"Port", u"1972");
      store.Flush();
    }
    ExpectWhole(dir);
    EXPECT_EQ(ReadFresh(u"Firma", dir), u"alt");
    EXPECT_TRUE(DamagedCopies(dir).empty());
  }
}

// Files edited at random in the bytes INI syntax turns on: a save keeps every key that read
// before (in every section), writes a file that reads back whole, and keeps a copy aside
// exactly when lines could not be read.
TEST_F(IniSettingsStoreTest, RandomEditsCostOnlyTheEditedLinesAndSavesReadBackWhole) {
  {
    IniSettingsStore store(dir_.string());
    testing::SaveSet(store, u"Basis");
    store.SaveSetting(kApp, u"General", u"Liste", u"a, b");
    store.Flush();
  }
  const std::string base = "; von Hand\n" + ReadBytes(File()) + "[Mehr]\nk = \"x;y\" ; z\n";
  constexpr char kSyntax[] = "[]=;\"\\\n\r\t ,@#%x";
  std::mt19937 random(2024);
  int damaged = 0;
  constexpr int kFiles = 60;
  for (int n = 0; n < kFiles; ++n) {
    std::string bytes = base;
    for (auto edits = 1 + random() % 3; edits > 0; --edits) {
      // Only at ASCII bytes, so that the file stays UTF-8.
      std::size_t pos = 0;
      do {
        pos = random() % (bytes.size() + 1);
      } while (pos < bytes.size() && static_cast<unsigned char>(bytes[pos]) >= 0x80);
      const char c = kSyntax[random() % (sizeof kSyntax - 1)];
      if (random() % 2 == 0 || pos == bytes.size())
        bytes.insert(pos, 1, c);
      else
        bytes[pos] = c;
    }
    SCOPED_TRACE(bytes);
    const fs::path dir = dir_ / std::to_string(n);
    fs::create_directory(dir);
    WriteBytes(dir / "Cache Login.ini", bytes);
    const IniFile before = IniFile::Parse(bytes);
    auto expected = before.AllEntries();
    expected[{std::u16string(kSection), u"Port"}] = u"1972";

    IniSettingsStore store(dir.string());
    store.SaveSetting(kApp, kSection, u"Port", u"1972");
    ASSERT_NO_THROW(store.Flush());
    ExpectWhole(dir);
    EXPECT_EQ(IniFile::Parse(ReadBytes(dir / "Cache Login.ini")).AllEntries(), expected);
    EXPECT_EQ(ReadFresh(u"Port", dir), u"1972");
    EXPECT_EQ(DamagedCopies(dir).size(), before.DamagedLines().empty() ? 0u : 1u);
    damaged += !before.DamagedLines().empty();
  }
  // Both kinds of file occurred often enough to mean something.
  EXPECT_GT(damaged, kFiles / 10);
  EXPECT_LT(damaged, kFiles - kFiles / 10);
}

TEST_F(IniSettingsStoreTest, SecondDamageOnTheSameSecondGetsItsOwnCopy) {
  for (const char* bytes : {"kaputt 1", "kaputt 2"}) {
    WriteBytes(File(), bytes);
    IniSettingsStore store(dir_.string());
    testing::SaveSet(store, u"neu");
  }
  std::vector<std::string> kept;
  for (const auto& copy : DamagedCopies(dir_))
    kept.push_back(ReadBytes(copy));
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"kaputt 1", "kaputt 2"}));
}

// A settings file kept elsewhere behind a symbolic link: the save writes where the link leads,
// and the link stays, so that it goes on naming the settings.
TEST_F(IniSettingsStoreTest, ASaveThroughASymbolicLinkWritesItsTargetAndKeepsTheLink) {
  const struct {
    const char* what;
    std::function<void(const fs::path& konfig)> link;
    fs::path target;  // in echt/, written before when it is quorel.ini
  } cases[] = {
      {"relative",
       [](const fs::path& k) { fs::create_symlink("../echt/quorel.ini", k / "Cache Login.ini"); },
       "quorel.ini"},
      {"absolute",
       [](const fs::path& k) {
         fs::create_symlink(k.parent_path() / "echt/quorel.ini", k / "Cache Login.ini");
       },
       "quorel.ini"},
      {"a chain",
       [](const fs::path& k) {
         fs::create_symlink("zwischen.ini", k / "Cache Login.ini");
         fs::create_symlink("../echt/quorel.ini", k / "zwischen.ini");
       },
       "quorel.ini"},
      {"to a file not there yet",
       [](const fs::path& k) { fs::create_symlink("../echt/neu.ini", k / "Cache Login.ini"); },
       "neu.ini"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path konfig = dir_ / c.what / "konfig", echt = dir_ / c.what / "echt";
    fs::create_directories(konfig);
    fs::create_directories(echt);
    WriteBytes(echt / "quorel.ini", "[Login]\nExtra=bleibt\n");
    c.link(konfig);
    const auto before = std::distance(fs::directory_iterator(konfig), fs::directory_iterator());
    {
      IniSettingsStore store(konfig.string());
      testing::SaveSet(store, u"neu");
    }
    EXPECT_TRUE(fs::is_symlink(konfig / "Cache Login.ini"));
    EXPECT_EQ(Mode(echt / c.target), 0600u);
    IniSettingsStore fresh(konfig.string());
    EXPECT_EQ(testing::CompleteSetTag(fresh), u"neu");
    EXPECT_EQ(fresh.GetSetting(kApp, kSection, u"Extra", kAbsent),
              c.target == "quorel.ini" ? u"bleibt" : kAbsent);
    // Nothing else is left in either folder: the links, quorel.ini and the target.
    EXPECT_EQ(std::distance(fs::directory_iterator(konfig), fs::directory_iterator()), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(echt), fs::directory_iterator()),
              c.target == "quorel.ini" ? 1 : 2);
  }
}

// A file that is there but cannot be read reads as empty; the store says so once, before
// anything could be typed, and the save that follows is refused and leaves the file alone.
TEST_F(IniSettingsStoreTest, AnUnreadableFileIsToldOnceAtTheFirstReadAndStaysUntouched) {
  if (quorel::testing::RunsAsRoot()) return quorel::testing::RerunAsUnprivilegedUser();
  const struct {
    const char* what;
    std::function<void(const fs::path& file)> prepare;
    const char* reason;
  } cases[] = {
      {"no right to read",
       [](const fs::path& file) {
         WriteBytes(file, "[Login]\nFirma=7\n");
         fs::permissions(file, fs::perms::owner_write);
       },
       "keine Berechtigung"},
      {"a folder", [](const fs::path& file) { fs::create_directory(file); },
       "es ist ein Ordner, keine Datei"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path dir = dir_ / c.what, file = dir / "Cache Login.ini";
    fs::create_directory(dir);
    c.prepare(file);
    IniSettingsStore store(dir.string());
    std::vector<std::u16string> told;
    store.OnUnreadableFile([&](std::u16string_view message) { told.emplace_back(message); });
    for (int round = 0; round < 2; ++round)  // as at the start: read, and again after the dialog
      for (const auto key : testing::kKeys)
        EXPECT_EQ(store.GetSetting(kApp, kSection, key, kAbsent), kAbsent);
    EXPECT_EQ(told, std::vector<std::u16string>{
                        u"Die Einstellungsdatei \u201E" + text::FromUtf8(file.string()) +
                        u"\u201C ist nicht lesbar (" + text::FromUtf8(c.reason) +
                        u"). Die Anmeldung beginnt mit den Voreinstellungen; speichern l\u00E4sst "
                        u"sich erst wieder, wenn die Datei lesbar ist, und bis dahin bleibt sie "
                        u"unver\u00E4ndert."});
    try {
      testing::SaveSet(store, u"neu");
      ADD_FAILURE() << "saved";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "Die Einstellungsdatei \u201E" + file.string() +
                                           "\u201C kann nicht gespeichert werden: die vorhandene "
                                           "Datei ist nicht lesbar (" +
                                           c.reason + ").");
    }
    if (fs::is_regular_file(file)) {
      fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
      EXPECT_EQ(ReadBytes(file), "[Login]\nFirma=7\n");
    } else {
      EXPECT_TRUE(fs::is_empty(file));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  }
}

TEST(DefaultConfigDirectory, FollowsXdgConfigHomeElseHome) {
  const quorel::testing::ScopedEnv home("HOME", "/home/anna");
  const struct {
    std::optional<std::string> xdg;
    const char* expected{};
  } cases[] = {
      {"/srv/konfig", "/srv/konfig"},
      {std::nullopt, "/home/anna/.config"},
      {"", "/home/anna/.config"},
  };
  for (const auto& c : cases) {
    const quorel::testing::ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    EXPECT_EQ(DefaultConfigDirectory(), c.expected) << c.xdg.value_or("(unset)");
  }
}

}  // namespace
}  // namespace quorel::qt
