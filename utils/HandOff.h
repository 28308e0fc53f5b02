// The pieces both programs use to hand a batch from the desktop program to
// the batch correction program pagemend:
//  - the list file "veltrax.tmp" (UTF-8, CR LF line ends): the files one per
//    line, then the save folder (possibly empty), the open folder and the
//    open mode (0, 1 or 2);
//  - the lock "TFAutoTrans", held by pagemend while it runs; the desktop
//    tests it and does nothing while it is held;
//  - the parameter text pagemend is started with;
//  - the message "open folder|save folder" pagemend sends at the end to the
//    desktop's local socket "Vel_Trax" (nothing happens when nobody
//    listens).
// All of them live in the user's runtime folder (see RuntimeFolder()), which
// only that user can enter: another user of the machine can neither see
// this user's batch nor send the desktop a message that redirects its saves.
#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

inline constexpr const char* HandOffParameter = "1, 2, 3";
inline constexpr const char* HandOffListFileName = "veltrax.tmp";
inline constexpr const char* HandOffLockName = "TFAutoTrans";
inline constexpr const char* HandOffServerName = "Vel_Trax";

struct THandOffList {
  QStringList Files;
  QString SaveFolder;
  QString OpenFolder;
  int OpenMode = 0;
};

// "veltrax.tmp" in the runtime folder.
QString HandOffListFilePath();

// Writes the list file, replacing it safely. Throws ESafeWriteError.
void WriteHandOffList(const THandOffList& list, const QString& path = HandOffListFilePath());
// The list file's bytes (exposed for tests and for the writer).
QByteArray HandOffListBytes(const THandOffList& list);
// Reads the list file. Returns nothing and sets *error when it is missing
// or malformed (fewer than three lines, an open mode other than 0..2).
std::optional<THandOffList> ReadHandOffList(const QString& path = HandOffListFilePath(), QString* error = nullptr);

// The "TFAutoTrans" lock. A lock left by a process that died is taken over.
class THandOffLock {
 public:
  THandOffLock();
  ~THandOffLock();
  THandOffLock(const THandOffLock&) = delete;
  THandOffLock& operator=(const THandOffLock&) = delete;
  // False when another running process holds it.
  bool TryLock();
  void Unlock();
  bool IsLocked() const;

 private:
  std::unique_ptr<QLockFile> lock_;
};

// True while a batch program holds the lock.
bool IsBatchProgramRunning();

// "open folder|save folder", and back (a trailing zero byte is tolerated).
QByteArray HandOffMessage(const QString& openFolder, const QString& saveFolder);
bool ParseHandOffMessage(const QByteArray& bytes, QString& openFolder, QString& saveFolder);
// The name both ends use for the local socket.
QString HandOffSocketName();
// Sends the message to the desktop's local socket. Returns false when no
// desktop listens (or it does not take the message within the timeout).
// Plain system sockets: the batch program starts without Qt's network
// library. The desktop's end is in HandOffListener.h.
bool SendHandOffMessage(const QString& openFolder, const QString& saveFolder,
                        const QString& socketName = HandOffSocketName(), int timeoutMs = 2000);
