#include "utils/Utils.h"

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMutex>
#include <QSettings>
#include <QStandardPaths>
#include <cstring>
#include <memory>

namespace {

QMutex& StoreMutex() {
  static QMutex mutex;
  return mutex;
}

QString& StoreFileOverride() {
  static QString file;
  return file;
}

// Opens the store for one access. Null when it cannot be used (the caller
// then keeps its defaults or skips the write).
std::unique_ptr<QSettings> OpenStore() {
  std::unique_ptr<QSettings> store;
  const QString file = StoreFileOverride();
  if (file.isEmpty())
    store = std::make_unique<QSettings>(QStringLiteral("orvane"), QStringLiteral("Veltrax"));
  else
    store = std::make_unique<QSettings>(file, QSettings::IniFormat);
  if (store->status() != QSettings::NoError) return nullptr;
  return store;
}

bool CanWrite(QSettings& store) { return store.isWritable(); }

void Finish(QSettings& store) { store.sync(); }

// An integer value; anything that is not an integer leaves the default.
void ReadInt(QSettings& store, const char* name, int& value) {
  const QString key = QString::fromLatin1(name);
  if (!store.contains(key)) return;
  const QVariant v = store.value(key);
  bool ok = false;
  int result = 0;
  if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::UInt) {
    const qlonglong l = v.toLongLong(&ok);
    ok = ok && l >= INT32_MIN && l <= static_cast<qlonglong>(UINT32_MAX);
    // Colours and other unsigned 32-bit values come back as their bit pattern.
    result = static_cast<int>(static_cast<quint32>(l));
  } else if (v.typeId() == QMetaType::QString) {
    const QString text = v.toString().trimmed();
    const qlonglong l = text.toLongLong(&ok);
    ok = ok && l >= INT32_MIN && l <= static_cast<qlonglong>(UINT32_MAX);
    result = static_cast<int>(static_cast<quint32>(l));
  }
  if (ok) value = result;
}

QByteArray DoubleBytes(double value) {
  // Little-endian IEEE-754, as a binary registry value holds it.
  quint64 bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  QByteArray bytes(8, '\0');
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return bytes;
}

bool BytesToDouble(const QByteArray& bytes, double& value) {
  if (bytes.size() != 8) return false;
  quint64 bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<quint64>(static_cast<quint8>(bytes[i])) << (8 * i);
  std::memcpy(&value, &bits, sizeof value);
  return true;
}

QString FixedKey(int index) { return QStringLiteral("Fixed") + QString::number(index); }

struct TFolders {
  QString open;
  QString save;
  bool loaded = false;
};

TFolders& Folders() {
  static TFolders folders;
  if (!folders.loaded) {
    folders.open = DefaultOpenFolder();
    folders.save = DefaultSaveFolder();
    folders.loaded = true;
  }
  return folders;
}

QMutex& FolderMutex() {
  static QMutex mutex;
  return mutex;
}

}  // namespace

// --- the runtime folder ----------------------------------------------------------

QString RuntimeFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) {
    // Qt refuses a runtime folder it cannot make private; fall back to one
    // of our own with the same rights.
    folder = QDir::temp().filePath(QStringLiteral("veltrax-runtime-%1").arg(::getuid()));
  }
  QDir().mkpath(folder);
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return folder;
}

// --- the store -------------------------------------------------------------------

void SetSettingsStoreFile(const QString& iniFileName) {
  QMutexLocker lock(&StoreMutex());
  StoreFileOverride() = iniFileName;
}

TSettingsRecord LoadSettings() {
  TSettingsRecord record;
  QMutexLocker lock(&StoreMutex());
  if (auto store = OpenStore()) {
    for (const auto& f : SettingsIntFields()) ReadInt(*store, f.Name, record.*f.Field);
    if (store->contains(QStringLiteral("R"))) {
      const QVariant v = store->value(QStringLiteral("R"));
      double r = 0;
      if (v.typeId() == QMetaType::QByteArray && BytesToDouble(v.toByteArray(), r)) record.R = static_cast<float>(r);
    }
  }
  record.ClampMargins();
  return record;
}

void SaveSettings(const TSettingsRecord& record) {
  QMutexLocker lock(&StoreMutex());
  auto store = OpenStore();
  if (!store || !CanWrite(*store)) return;
  for (const auto& f : SettingsIntFields()) store->setValue(QString::fromLatin1(f.Name), record.*f.Field);
  store->setValue(QStringLiteral("R"), DoubleBytes(static_cast<double>(record.R)));
  Finish(*store);
}

QString DefaultOpenFolder() {
  QString dir;
  if (QCoreApplication::instance()) {
    dir = QCoreApplication::applicationDirPath();
  } else {
    dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    dir = dir.isEmpty() ? QDir::currentPath() : QFileInfo(dir).absolutePath();
  }
  return WithTrailingSeparator(QDir::toNativeSeparators(dir));
}

QString DefaultSaveFolder() { return WithTrailingSeparator(QDir::toNativeSeparators(QDir::homePath())); }

QString OpenFolder() {
  QMutexLocker lock(&FolderMutex());
  return Folders().open;
}

QString SaveFolder() {
  QMutexLocker lock(&FolderMutex());
  return Folders().save;
}

void SetOpenFolder(const QString& folder) {
  QMutexLocker lock(&FolderMutex());
  Folders().open = folder;
}

void SetSaveFolder(const QString& folder) {
  QMutexLocker lock(&FolderMutex());
  Folders().save = folder;
}

void LoadFolders() {
  QString open = DefaultOpenFolder();
  QString save = DefaultSaveFolder();
  {
    QMutexLocker lock(&StoreMutex());
    if (auto store = OpenStore()) {
      if (store->contains(QStringLiteral("open"))) open = store->value(QStringLiteral("open")).toString();
      if (store->contains(QStringLiteral("save"))) save = store->value(QStringLiteral("save")).toString();
    }
  }
  SetOpenFolder(open);
  SetSaveFolder(save);
}

void SaveFolders() {
  const QString open = OpenFolder();
  const QString save = SaveFolder();
  QMutexLocker lock(&StoreMutex());
  auto store = OpenStore();
  if (!store || !CanWrite(*store)) return;
  store->setValue(QStringLiteral("open"), open);
  store->setValue(QStringLiteral("save"), save);
  Finish(*store);
}

QPoint LoadWindowPosition(const QString& windowName) {
  int left = 0;
  int top = 0;
  QMutexLocker lock(&StoreMutex());
  if (auto store = OpenStore()) {
    ReadInt(*store, (windowName + QStringLiteral("_L")).toUtf8().constData(), left);
    ReadInt(*store, (windowName + QStringLiteral("_T")).toUtf8().constData(), top);
  }
  return QPoint(left, top);
}

void SaveWindowPosition(const QString& windowName, int left, int top) {
  QMutexLocker lock(&StoreMutex());
  auto store = OpenStore();
  if (!store || !CanWrite(*store)) return;
  store->setValue(windowName + QStringLiteral("_L"), left);
  store->setValue(windowName + QStringLiteral("_T"), top);
  Finish(*store);
}

bool IsStoredPositionUsable(const QPoint& position) { return position.x() != 0 && position.y() != 0; }

QString FixedAreaText(const TRect& area) {
  return QStringLiteral("%1,%2,%3,%4").arg(area.Left).arg(area.Top).arg(area.Right).arg(area.Bottom);
}

TRect ParseFixedArea(const QString& text) {
  const QStringList parts = text.split(QLatin1Char(','));
  int values[4] = {0, 0, 0, 0};
  for (int i = 0; i < 4 && i < parts.size(); ++i) {
    bool ok = false;
    const int v = parts[i].trimmed().toInt(&ok);
    values[i] = ok ? v : 0;
  }
  return TRect{values[0], values[1], values[2], values[3]};
}

void LoadFixedAreas(std::vector<TRect>& areas) {
  QMutexLocker lock(&StoreMutex());
  auto store = OpenStore();
  if (!store) return;
  for (int i = 0;; ++i) {
    const TRect area = ParseFixedArea(store->value(FixedKey(i)).toString());
    if (area.Right < 1 || area.Bottom < 1) break;
    areas.push_back(area);
  }
}

void SaveFixedAreas(const std::vector<TRect>& areas) {
  QMutexLocker lock(&StoreMutex());
  auto store = OpenStore();
  if (!store || !CanWrite(*store)) return;
  for (int i = 0; !store->value(FixedKey(i)).toString().isEmpty(); ++i) store->remove(FixedKey(i));
  for (std::size_t i = 0; i < areas.size(); ++i)
    store->setValue(FixedKey(static_cast<int>(i)), FixedAreaText(areas[i]));
  Finish(*store);
}

QString LoadPageNumberSettings() {
  QMutexLocker lock(&StoreMutex());
  auto store = OpenStore();
  if (!store) return QString();
  return store->value(QStringLiteral("ipn")).toString();
}

void SavePageNumberSettings(const QString& value) {
  QMutexLocker lock(&StoreMutex());
  auto store = OpenStore();
  if (!store || !CanWrite(*store)) return;
  store->setValue(QStringLiteral("ipn"), value);
  Finish(*store);
}

// --- files -------------------------------------------------------------------------

QStringList FindImageFiles(const QString& folder, bool recursive) {
  QStringList files;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                  recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
  while (it.hasNext()) {
    const QString path = it.next();
    if (IsImageFile(path)) files.append(path);
  }
  files.sort();
  return files;
}

QString WithTrailingSeparator(const QString& folder) {
  if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')) || folder.endsWith(QDir::separator())) return folder;
  return folder + QDir::separator();
}

QString OutputFileName(const QString& sourceFile, const QString& saveFolder, const QString& openFolder, int openMode) {
  if (saveFolder.isEmpty() || !QFileInfo(saveFolder).isDir()) return sourceFile;
  const QString save = WithTrailingSeparator(saveFolder);
  const QString open = WithTrailingSeparator(openFolder);
  switch (openMode) {
    case 1:
      return save + QFileInfo(sourceFile).fileName();
    case 2:
      // The path below the opened folder; a source outside it (which the
      // folder mode never produces) keeps at least its own name rather than
      // landing somewhere unrelated.
      if (!open.isEmpty() && sourceFile.startsWith(open)) return save + sourceFile.mid(open.size());
      return save + QFileInfo(sourceFile).fileName();
    default:
      return sourceFile;
  }
}
