#include "platform/qt/ini_settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QVariant>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>

namespace quorel::qt {

namespace {

// How long a save waits for another process saving the same file.
constexpr int kLockWaitMs = 10'000;
// A lock older than this whose holder is gone is taken over (a holder killed before writing its
// process id leaves an empty lock that only its age shows as stale). A living holder keeps its
// lock regardless: QLockFile removes a lock only when it can take the holder's flock.
constexpr int kStaleLockMs = 1'000;

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                                QFileDevice::WriteUser | QFileDevice::ExeUser;
constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                             QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                             QFileDevice::WriteOther | QFileDevice::ExeOther;

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

QString SettingsKey(const std::u16string& section, const std::u16string& key) {
  return ToQString(section) + u'/' + ToQString(key);
}

std::string Quoted(const std::string& path) {
  return "\u201E" + path + "\u201C";
}

// The German wording of a system error.
std::string Cause(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "keine Berechtigung";
    case EROFS:
      return "der Datenträger ist schreibgeschützt";
    case ENOSPC:
      return "der Datenträger ist voll";
    case EDQUOT:
      return "das Speicherkontingent ist erschöpft";
    case ENOENT:
      return "der Ordner ist nicht vorhanden";
    case ENOTDIR:
      return "ein Teil des Pfads ist kein Ordner";
    case EIO:
      return "Ein-/Ausgabefehler des Datenträgers";
    default:
      return "Systemfehler " + std::to_string(error) + " (" + std::strerror(error) + ")";
  }
}

[[noreturn]] void ThrowSaveError(const std::string& file, const std::string& cause) {
  throw std::runtime_error("Die Einstellungsdatei " + Quoted(file) +
                           " kann nicht gespeichert werden: " + cause + ".");
}

std::string NoFileInFolder(const std::string& directory, int error) {
  return "im Ordner " + Quoted(directory) + " kann keine Datei angelegt werden (" + Cause(error) +
         ")";
}

// What keeps an existing file from being read and replaced, if anything.
std::optional<std::string> ExistingFileProblem(const std::string& file) {
  if (access(file.c_str(), F_OK) != 0) return std::nullopt;
  if (access(file.c_str(), R_OK) != 0)
    return "die vorhandene Datei ist nicht lesbar (" + Cause(errno) + ")";
  if (access(file.c_str(), W_OK) != 0)
    return "die Datei ist schreibgeschützt (" + Cause(errno) + ")";
  return std::nullopt;
}

// The likely cause when QSettings reports that it could not write, as it gives none itself.
std::string DiagnoseFailedWrite(const std::string& directory, const std::string& file) {
  if (access(directory.c_str(), W_OK | X_OK) != 0) return NoFileInFolder(directory, errno);
  if (auto problem = ExistingFileProblem(file)) return *problem;
  struct statvfs fs {};
  if (statvfs(directory.c_str(), &fs) == 0 && fs.f_bavail == 0) return Cause(ENOSPC);
  return "das Schreiben der Datei ist fehlgeschlagen";
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
                             Cause(errno) + ")");
}

// Whether bytes read as an INI file: UTF-8 without control bytes but tab and line ends (QSettings
// writes every other control character escaped), and every line one QSettings accepts. QSettings
// reads past malformed lines and reports them only the first time a process reads the file, so
// the decision is taken here, on the bytes, splitting lines as QSettings does: blanks before a
// line skipped, a backslash escaping the byte after it, quotes spanning line ends, and ';'
// outside quotes starting a comment. A byte order mark counts as part of the first line, as it
// does for the QSettings of Qt 6.4.
bool IsReadableIni(const QByteArray& bytes) {
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 && u != '\t' && u != '\n' && u != '\r') return false;
  }
  QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  static_cast<void>(QString(decoder.decode(bytes)));
  if (decoder.hasError()) return false;

  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  const auto isLineEndPair = [](char a, char b) {
    return (a == '\n' && b == '\r') || (a == '\r' && b == '\n');
  };
  const qsizetype size = bytes.size();
  qsizetype i = 0;
  while (true) {
    while (i < size && isBlank(bytes[i]))
      ++i;
    if (i == size) return true;
    if (bytes[i] == ';') {
      while (i < size && bytes[i] != '\n' && bytes[i] != '\r')
        ++i;
      continue;
    }
    const qsizetype start = i;
    bool inQuotes = false, hasEquals = false;
    for (; i < size; ++i) {
      const char c = bytes[i];
      if (c == '\\') {
        if (i + 1 < size && ++i + 1 < size && isLineEndPair(bytes[i], bytes[i + 1])) ++i;
      } else if (c == '"') {
        inQuotes = !inQuotes;
      } else if (!inQuotes && c == '=') {
        hasEquals = true;
      } else if (!inQuotes && (c == '\n' || c == '\r' || c == ';')) {
        break;
      }
    }
    const QByteArray line = bytes.mid(start, i - start);
    if (line.front() == '[' ? !line.contains(']') : !hasEquals) return false;
  }
}

// Whether an existing file is damaged; a missing or unreadable one is not.
bool IsDamaged(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) && !IsReadableIni(file.readAll());
}

// Renames a damaged file to a free "<file>.damaged-<timestamp>[-n]".
void PutAside(const QString& path) {
  const QString stem = path + QStringLiteral(".damaged-") +
                       QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss");
  QString target = stem;
  for (int n = 2; QFileInfo::exists(target); ++n)
    target = stem + u'-' + QString::number(n);
  if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0)
    ThrowSaveError(PathFromQString(path), "die beschädigte Datei kann nicht nach " +
                                              Quoted(PathFromQString(target)) +
                                              " verschoben werden (" + Cause(errno) + ")");
}

// An existing file loses the rights of group and others; a missing one is created empty for
// the owner only, so that the atomic replacement (which keeps the rights of the file it
// replaces) never exposes the password, not even for a moment.
void RestrictToOwner(const QString& path) {
  const std::string file = PathFromQString(path);
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    close(fd);
    return;
  }
  if (errno != EEXIST)
    ThrowSaveError(file, "die Datei kann nicht angelegt werden (" + Cause(errno) + ")");
  const QFileDevice::Permissions permissions = QFile::permissions(path);
  if ((permissions & kOthers) != 0 && !QFile::setPermissions(path, permissions & kOwnerOnly))
    ThrowSaveError(file, "die Zugriffsrechte der Datei können nicht eingeschränkt werden");
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
                             Cause(error) + ")");
}

std::u16string TextOf(const QVariant& value) {
  // This store always writes texts; a list comes only from an unquoted comma written by hand.
  if (value.typeId() == QMetaType::QStringList)
    return value.toStringList().join(QStringLiteral(", ")).toStdU16String();
  return value.toString().toStdU16String();
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
  const QString path = PathToQString(FilePath(app));
  if (!QFileInfo::exists(path)) return std::u16string(defaultValue);
  if (IsDamaged(path)) return std::u16string(defaultValue);
  QSettings settings(path, QSettings::IniFormat);
  const QVariant value = settings.value(SettingsKey(std::u16string(section), std::u16string(key)));
  return value.isValid() ? TextOf(value) : std::u16string(defaultValue);
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
  const std::string file = FilePath(app);
  const std::filesystem::path parent = std::filesystem::path(file).parent_path();
  const std::string directory = parent.empty() ? "." : parent.string();
  const QString path = PathToQString(file);
  EnsureDirectory(directory, file);

  if (auto problem = ExistingFileProblem(file)) ThrowSaveError(file, *problem);
  const QString lockPath = path + QStringLiteral(".lock");
  // A lock left behind goes through QLockFile below, which takes it over after kStaleLockMs when
  // its holder is gone; QSettings itself would wait for half a minute on an empty one.
  const auto needsPreparing = [&] {
    return !QFileInfo::exists(path) || IsDamaged(path) ||
           (QFile::permissions(path) & kOthers) != 0 || QFileInfo::exists(lockPath);
  };
  // Prepared under the lock QSettings takes for its own writes, so that no other process sees
  // the damaged file put aside or the empty new file half made.
  if (needsPreparing()) {
    QLockFile lock(lockPath);
    lock.setStaleLockTime(kStaleLockMs);
    if (!lock.tryLock(kLockWaitMs)) {
      if (lock.error() == QLockFile::LockFailedError)
        ThrowSaveError(file, "ein anderes Programm speichert sie gerade (die Sperrdatei " +
                                 Quoted(file + ".lock") + " wurde nicht frei)");
      const int error = access(directory.c_str(), W_OK | X_OK) != 0 ? errno : EACCES;
      ThrowSaveError(file, NoFileInFolder(directory, error));
    }
    if (IsDamaged(path)) PutAside(path);
    RestrictToOwner(path);
  }

  QSettings settings(path, QSettings::IniFormat);
  // Never fall back to overwriting the file in place, where a crash would leave half a file.
  settings.setAtomicSyncRequired(true);
  for (const auto& [name, value] : values)
    settings.setValue(SettingsKey(name.first, name.second), ToQString(value));
  settings.sync();
  switch (settings.status()) {
    case QSettings::NoError:
      break;
    case QSettings::FormatError:
      ThrowSaveError(file, "die vorhandene Datei wurde während des Speicherns unlesbar");
    case QSettings::AccessError:
      ThrowSaveError(file, DiagnoseFailedWrite(directory, file));
  }
  // The file was new to QSettings if someone removed it since it was prepared.
  if ((QFile::permissions(path) & kOthers) != 0) RestrictToOwner(path);
  SyncDirectory(directory, file);
}

}  // namespace quorel::qt
