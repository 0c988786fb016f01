#include "platform/qt/ini_settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "platform/posix/error_text.h"
#include "platform/posix/whole_file.h"
#include "platform/qt/ini_file.h"
#include "platform/text.h"

namespace quorel::qt {

namespace {

using posix::ErrorText;

// How long a save waits for another process saving the same file.
constexpr int kLockWaitMs = 10'000;
// A lock older than this whose holder is gone is taken over (a holder killed before writing its
// process id leaves an empty lock that only its age shows as stale). A living holder keeps its
// lock regardless: QLockFile removes a lock only when it can take the holder's flock.
constexpr int kStaleLockMs = 1'000;

// Not QString::fromUtf16, which would take a leading U+FEFF for a byte order mark and drop it.
QString ToQString(std::u16string_view text) {
  return QStringView(text.data(), static_cast<qsizetype>(text.size())).toString();
}

QString PathToQString(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string PathFromQString(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

std::string Quoted(const std::string& path) {
  return "\u201E" + path + "\u201C";
}

[[noreturn]] void ThrowSaveError(const std::string& file, const std::string& cause) {
  throw std::runtime_error("Die Einstellungsdatei " + Quoted(file) +
                           " kann nicht gespeichert werden: " + cause + ".");
}

std::string NoFileInFolder(const std::string& directory, const std::string& cause) {
  return "im Ordner " + Quoted(directory) + " kann keine Datei angelegt werden (" + cause + ")";
}

std::string NoFileInFolder(const std::string& directory, int error) {
  return NoFileInFolder(directory, ErrorText(error));
}

// What keeps an existing file from being read and replaced, if anything.
std::optional<std::string> ExistingFileProblem(const std::string& file) {
  if (access(file.c_str(), F_OK) != 0) return std::nullopt;
  if (access(file.c_str(), R_OK) != 0)
    return "die vorhandene Datei ist nicht lesbar (" + ErrorText(errno) + ")";
  if (access(file.c_str(), W_OK) != 0)
    return "die Datei ist schreibgeschützt (" + ErrorText(errno) + ")";
  return std::nullopt;
}

// The file that path leads to: the end of its chain of symbolic links, a relative link taken
// from the link's folder; path itself when it is no link. The end may not exist yet.
std::string FollowLinks(const std::string& path) {
  namespace fs = std::filesystem;
  constexpr int kMostLinks = 40;  // as the system follows them
  fs::path at = path;
  for (int link = 0; link < kMostLinks; ++link) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(at, error))) return at.string();
    const fs::path target = fs::read_symlink(at, error);
    if (error) return at.string();  // what reads or replaces it will say why
    at = target.is_absolute() ? target : at.parent_path() / target;
  }
  ThrowSaveError(path,
                 "die symbolische Verknüpfung führt zu keiner Datei (" + ErrorText(ELOOP) + ")");
}

// Creates the directory and every missing parent, for the owner only.
void EnsureDirectory(const std::filesystem::path& directory, const std::string& file) {
  if (directory.empty()) return;  // above the first component of a relative path
  struct stat st {};
  if (stat(directory.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) ThrowSaveError(file, Quoted(directory) + " ist kein Ordner");
    return;
  }
  const auto parent = directory.parent_path();
  if (parent != directory) EnsureDirectory(parent, file);
  if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST)
    ThrowSaveError(file, "der Ordner " + Quoted(directory) + " kann nicht angelegt werden (" +
                             ErrorText(errno) + ")");
}

// Writes bytes to a new file for the owner only; false with errno set when that fails.
bool WriteNew(const std::string& file, const std::string& bytes) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      close(fd);
      errno = error;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (fsync(fd) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return false;
  }
  return close(fd) == 0;
}

// Keeps a copy of a file with lines that cannot be read as a free
// "<real>.damaged-<timestamp>[-n]", since the save leaves those lines out.
void KeepDamagedCopy(const std::string& real, const std::string& file, const std::string& bytes) {
  const QString stem = PathToQString(real) + QStringLiteral(".damaged-") +
                       QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss");
  QString target = stem;
  for (int n = 2;; ++n) {
    if (WriteNew(PathFromQString(target), bytes)) return;
    if (errno != EEXIST)
      ThrowSaveError(file, "die beschädigte Datei kann nicht nach " +
                               Quoted(PathFromQString(target)) + " kopiert werden (" +
                               ErrorText(errno) + ")");
    target = stem + u'-' + QString::number(n);
  }
}

// Why QLockFile could not lay its lock file down: it reports only that it failed, not the
// system's reason (a full disk, an exhausted quota, no rights). Writing a file of that name and
// size as it does gives the reason; what the probe made, and only that, is removed again.
std::string LockFileCause(const std::string& directory, const std::string& lockFile) {
  if (access(directory.c_str(), W_OK | X_OK) != 0) return ErrorText(errno);
  const int fd = open(lockFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno != EEXIST) return ErrorText(errno);
  if (fd >= 0) {
    const std::string contents(64, '\n');  // a process id, a program and a host name
    const bool written =
        write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size()) &&
        fsync(fd) == 0;
    const int error = errno;
    const bool closed = close(fd) == 0;
    const int closeError = errno;
    unlink(lockFile.c_str());
    if (!written) return ErrorText(error);
    if (!closed) return ErrorText(closeError);
  }
  // The probe got through: the space ran out only for a moment, or has just been freed.
  struct statvfs fs {};
  if (statvfs(directory.c_str(), &fs) == 0 && (fs.f_bavail == 0 || fs.f_favail == 0))
    return ErrorText(ENOSPC);
  return "die Ursache ist nicht zu ermitteln";
}

// Makes the replacement of a file in the directory durable.
void SyncDirectory(const std::string& directory, const std::string& file) {
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) ThrowSaveError(file, NoFileInFolder(directory, errno));
  const int rc = fsync(fd);
  const int error = errno;
  close(fd);
  // Some file systems cannot sync directories; they do not need it either.
  if (rc != 0 && error != EINVAL)
    ThrowSaveError(file, "der Ordner kann nicht auf den Datenträger geschrieben werden (" +
                             ErrorText(error) + ")");
}

}  // namespace

std::string DefaultConfigDirectory() {
  return PathFromQString(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

IniSettingsStore::IniSettingsStore(std::string directory) : directory_(std::move(directory)) {}

IniSettingsStore::~IniSettingsStore() {
  // What a thrown Flush has already reported is not tried and reported once more.
  if (unsaved_.empty() || flushFailed_) return;
  try {
    Flush();
  } catch (const std::exception& error) {
    qWarning("%s", error.what());
  }
}

std::string IniSettingsStore::FilePath(std::u16string_view app) const {
  const std::string name = PathFromQString(ToQString(app) + QStringLiteral(".ini"));
  return directory_.empty() ? name : (std::filesystem::path(directory_) / name).string();
}

std::u16string IniSettingsStore::GetSetting(std::u16string_view app, std::u16string_view section,
                                            std::u16string_view key,
                                            std::u16string_view defaultValue) {
  if (const auto file = unsaved_.find(app); file != unsaved_.end()) {
    const auto value = file->second.find({std::u16string(section), std::u16string(key)});
    if (value != file->second.end()) return value->second;
  }
  const std::string path = FilePath(app);
  errno = 0;
  const auto bytes = posix::ReadWholeFile(path);
  if (!bytes) {
    if (errno != ENOENT) TellUnreadable(path, errno);
    return std::u16string(defaultValue);
  }
  return IniFile::Parse(*bytes).Get(section, key).value_or(std::u16string(defaultValue));
}

void IniSettingsStore::OnUnreadableFile(std::function<void(std::u16string_view)> tell) {
  tellUnreadable_ = std::move(tell);
}

void IniSettingsStore::TellUnreadable(const std::string& file, int error) {
  if (!toldUnreadable_.insert(file).second) return;
  const std::string message =
      "Die Einstellungsdatei " + Quoted(file) + " ist nicht lesbar (" + ErrorText(error) +
      "). Die Anmeldung beginnt mit den Voreinstellungen; speichern lässt sich erst wieder, "
      "wenn die Datei lesbar ist, und bis dahin bleibt sie unverändert.";
  if (tellUnreadable_)
    tellUnreadable_(text::FromUtf8(message));
  else
    qWarning("%s", message.c_str());
}

void IniSettingsStore::SaveSetting(std::u16string_view app, std::u16string_view section,
                                   std::u16string_view key, std::u16string_view value) {
  auto file = unsaved_.find(app);
  if (file == unsaved_.end()) file = unsaved_.emplace(std::u16string(app), Values{}).first;
  file->second[{std::u16string(section), std::u16string(key)}] = std::u16string(value);
  flushFailed_ = false;
}

void IniSettingsStore::Flush() {
  flushFailed_ = true;
  while (!unsaved_.empty()) {
    const auto file = unsaved_.begin();
    Write(file->first, file->second);
    unsaved_.erase(file);
  }
  flushFailed_ = false;
}

void IniSettingsStore::Write(std::u16string_view app, const Values& values) const {
  // Messages name the file as the user knows it; everything is done to the one it leads to.
  const std::string file = FilePath(app);
  const std::string real = FollowLinks(file);
  const std::filesystem::path parent = std::filesystem::path(real).parent_path();
  const std::string directory = parent.empty() ? "." : parent.string();
  EnsureDirectory(directory, file);
  if (auto problem = ExistingFileProblem(real)) ThrowSaveError(file, *problem);

  // One save at a time: another process saving the same file waits here, so that neither
  // loses what the other saved.
  QLockFile lock(PathToQString(real + ".lock"));
  lock.setStaleLockTime(kStaleLockMs);
  if (!lock.tryLock(kLockWaitMs)) {
    if (lock.error() == QLockFile::LockFailedError)
      ThrowSaveError(file, "ein anderes Programm speichert sie gerade (die Sperrdatei " +
                               Quoted(real + ".lock") + " wurde nicht frei)");
    ThrowSaveError(file, NoFileInFolder(directory, LockFileCause(directory, real + ".lock")));
  }

  errno = 0;
  const std::optional<std::string> old = posix::ReadWholeFile(real);
  if (!old && errno != ENOENT)
    ThrowSaveError(file, "die vorhandene Datei ist nicht lesbar (" + ErrorText(errno) + ")");
  IniFile contents = IniFile::Parse(old.value_or(std::string()));
  IniFile::Entries expected = contents.AllEntries();
  for (const auto& [name, value] : values) {
    contents.Set(name.first, name.second, value);
    expected[name] = value;
  }
  const std::string bytes = contents.Bytes();
  // Never a file that does not read back whole.
  const IniFile check = IniFile::Parse(bytes);
  if (!check.DamagedLines().empty() || check.AllEntries() != expected)
    ThrowSaveError(file, "der neue Inhalt ließe sich nicht vollständig zurücklesen");
  if (!contents.DamagedLines().empty()) KeepDamagedCopy(real, file, *old);

  // Written beside the file and renamed over it: the file is always whole, the old one or the
  // new one. The new one is the owner's only, whatever the old one was.
  const std::string fresh = real + ".new";
  if (unlink(fresh.c_str()) != 0 && errno != ENOENT)
    ThrowSaveError(file, NoFileInFolder(directory, errno));
  if (!WriteNew(fresh, bytes)) {
    const int error = errno;
    unlink(fresh.c_str());
    ThrowSaveError(file,
                   error == EACCES || error == EPERM || error == EROFS
                       ? NoFileInFolder(directory, error)
                       : "das Schreiben der Datei ist fehlgeschlagen (" + ErrorText(error) + ")");
  }
  if (std::rename(fresh.c_str(), real.c_str()) != 0) {
    const int error = errno;
    unlink(fresh.c_str());
    ThrowSaveError(file, "die Datei kann nicht ersetzt werden (" + ErrorText(error) + ")");
  }
  SyncDirectory(directory, file);
}

}  // namespace quorel::qt
