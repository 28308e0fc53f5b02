#include "app/HandOff.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>

#include "app/SafeWrite.h"

QString HandOffListFilePath() {
  return QDir(QDir::tempPath()).filePath(QString::fromLatin1(HandOffListFileName));
}

QByteArray HandOffListBytes(const THandOffList& list) {
  QByteArray bytes;
  auto line = [&bytes](const QString& text) {
    bytes += text.toUtf8();
    bytes += "\r\n";
  };
  for (const QString& f : list.Files) line(f);
  line(list.SaveFolder);
  line(list.OpenFolder);
  line(QString::number(list.OpenMode));
  return bytes;
}

void WriteHandOffList(const THandOffList& list, const QString& path) {
  const QByteArray bytes = HandOffListBytes(list);
  SafeWriteFile(QFile::encodeName(path).toStdString(), [&bytes](const std::string& temp) {
    QFile file(QFile::decodeName(temp.c_str()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() ||
        !file.flush())
      throw ESafeWriteError("Cannot write \"" + temp + "\": " + file.errorString().toStdString());
  });
}

std::optional<THandOffList> ReadHandOffList(const QString& path, QString* error) {
  auto fail = [error](const QString& text) -> std::optional<THandOffList> {
    if (error) *error = text;
    return std::nullopt;
  };
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
  // A list file holds a few thousand paths at most; anything far larger is
  // not one of ours.
  if (file.size() > 64 * 1024 * 1024) return fail(QStringLiteral("%1 is too large for a list file").arg(path));
  QString text = QString::fromUtf8(file.readAll());
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QStringList lines = text.split(QLatin1Char('\n'));
  // Every line ends with a line break, so the split leaves one empty tail.
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  if (lines.size() < 3) return fail(QStringLiteral("%1 is not a list file (fewer than three lines)").arg(path));
  bool ok = false;
  const int mode = lines.last().trimmed().toInt(&ok);
  if (!ok || mode < 0 || mode > 2)
    return fail(QStringLiteral("%1: the open mode \"%2\" is not 0, 1 or 2").arg(path, lines.last()));
  THandOffList list;
  list.OpenMode = mode;
  list.OpenFolder = lines[lines.size() - 2];
  list.SaveFolder = lines[lines.size() - 3];
  for (int i = 0; i < lines.size() - 3; ++i)
    if (!lines[i].isEmpty()) list.Files.append(lines[i]);
  return list;
}

namespace {
QString LockPath() { return QDir(QDir::tempPath()).filePath(QString::fromLatin1(HandOffLockName)); }
}  // namespace

THandOffLock::THandOffLock() : lock_(std::make_unique<QLockFile>(LockPath())) {
  // The lock lives as long as the batch run, however long that is; only a
  // dead holder makes it stale.
  lock_->setStaleLockTime(0);
}

THandOffLock::~THandOffLock() = default;

bool THandOffLock::TryLock() { return lock_->isLocked() || lock_->tryLock(0); }

void THandOffLock::Unlock() { lock_->unlock(); }

bool THandOffLock::IsLocked() const { return lock_->isLocked(); }

bool IsBatchProgramRunning() {
  QLockFile probe(LockPath());
  probe.setStaleLockTime(0);
  if (probe.tryLock(0)) {
    probe.unlock();
    return false;
  }
  return probe.error() == QLockFile::LockFailedError;
}

QByteArray HandOffMessage(const QString& openFolder, const QString& saveFolder) {
  return (openFolder + QLatin1Char('|') + saveFolder).toUtf8();
}

bool ParseHandOffMessage(const QByteArray& bytes, QString& openFolder, QString& saveFolder) {
  QByteArray data = bytes;
  const int zero = data.indexOf('\0');
  if (zero >= 0) data.truncate(zero);
  const QString text = QString::fromUtf8(data);
  const int bar = text.indexOf(QLatin1Char('|'));
  if (bar < 0) return false;
  openFolder = text.left(bar);
  saveFolder = text.mid(bar + 1);
  return true;
}

QString HandOffSocketName() {
#ifdef Q_OS_LINUX
  return QDir(QDir::tempPath()).filePath(QString::fromLatin1(HandOffServerName));
#else
  return QString::fromLatin1(HandOffServerName);
#endif
}

bool ListenForHandOffMessages(QLocalServer& server, const QString& socketName) {
#ifdef Q_OS_LINUX
  server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
#else
  QLocalServer::removeServer(socketName);
#endif
  return server.listen(socketName);
}

bool SendHandOffMessage(const QString& openFolder, const QString& saveFolder, const QString& socketName,
                        int timeoutMs) {
  QLocalSocket socket;
#ifdef Q_OS_LINUX
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
#endif
  socket.connectToServer(socketName, QIODevice::WriteOnly);
  if (!socket.waitForConnected(timeoutMs)) return false;
  const QByteArray bytes = HandOffMessage(openFolder, saveFolder);
  if (socket.write(bytes) != bytes.size()) return false;
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return true;
}
