#include "utils/HandOff.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "pagework/SafeWrite.h"
#include "utils/Utils.h"

QString HandOffListFilePath() { return QDir(RuntimeFolder()).filePath(QString::fromLatin1(HandOffListFileName)); }

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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush())
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
QString LockPath() { return QDir(RuntimeFolder()).filePath(QString::fromLatin1(HandOffLockName)); }
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

QString HandOffSocketName() { return QDir(RuntimeFolder()).filePath(QString::fromLatin1(HandOffServerName)); }

bool SendHandOffMessage(const QString& openFolder, const QString& saveFolder, const QString& socketName,
                        int timeoutMs) {
  const QByteArray name = QFile::encodeName(socketName);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // A socket file in the user's runtime folder: only that user can reach it.
  if (name.isEmpty() || static_cast<std::size_t>(name.size()) + 1 > sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
  const QByteArray bytes = HandOffMessage(openFolder, saveFolder);
  for (qsizetype done = 0; sent && done < bytes.size();) {
    const ssize_t n = ::send(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      sent = false;
    else
      done += n;
  }
  ::close(fd);
  return sent;
}
