// The folder watch: a thread that sleeps on the kernel's change
// notification for one folder (inotify) and tells the main window by posted
// messages, and the main window's side that decides which files are new and
// appends them to the working list.
//
// Messages to the main window (code in the first parameter):
//   100  the watch has started: take a snapshot of the folder
//   200  files arrived: look for new files
//   900  the change notification could not be set up
//
// A file counts as arrived when it has been closed after writing or renamed
// into the folder, never at its first byte: a scanner writing a page over a
// second or more would otherwise hand over a file that cannot be read yet.
#pragma once

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

class TFViewTrans;
class TWorkingList;

class TFileMonitor : public QThread {
  Q_OBJECT
 public:
  // Folder with a trailing separator; Filter is kept as the watch's filter
  // code (16: a file's content was written); Receiver gets the messages.
  QString Folder;
  unsigned Filter = 16;
  QObject* Receiver = nullptr;
  // Sent as the messages' second parameter, so the window can tell a late
  // message of a thread it has already stopped.
  long long Generation = 0;

  // Longest sleep between two looks at the stop flag.
  static constexpr int WaitMs = 5000;

  TFileMonitor();
  ~TFileMonitor() override;

  // Asks the thread to end; it ends at once (a wake-up descriptor breaks the
  // wait), and in any case within one wait period.
  void Stop();

  // Names (without folder) that were closed after writing or moved in since
  // the last call. *overflow is set when the kernel dropped events, so the
  // caller must look at the whole folder.
  QStringList TakeArrivedNames(bool* overflow);

 protected:
  void run() override;

 private:
  void Post(int code);

  int wakeFd_ = -1;
  std::atomic<bool> stop_{false};
  QMutex mutex_;
  QStringList arrived_;
  bool overflow_ = false;
};

// Every name in the folder that is not a folder ("." and ".." excluded),
// hidden ones included. Uses the directory entry's type where the file
// system gives it, so a large folder costs no call per file.
QStringList FolderFileNames(const QString& folder);

// The main window's watch state: the toggle, the thread, the watched folder
// and the known names.
class TFolderWatch : public QObject {
  Q_OBJECT
 public:
  TFolderWatch(TFViewTrans& window, TWorkingList& list);
  ~TFolderWatch() override;

  // The toggle button, the menu item and Ctrl+R all come here.
  void Toggle();
  bool IsOn() const { return on_; }
  bool IsRunning() const { return monitor_ != nullptr; }
  QString WatchedFolder() const { return folder_; }
  int KnownNameCount() const { return static_cast<int>(known_.size()); }
  // The running thread's number, carried by its messages.
  long long Generation() const { return generation_; }

  // Handles one message of the thread (100, 200, 900).
  void Snapshot(long long generation);
  void TakeNewFiles(long long generation);
  void WatchFailed(long long generation);

  // Folder chooser, replaced by tests.
  std::function<QString()> AskWatchFolder;

 private:
  void SetState(bool on);
  void StopMonitor();

  bool IsCurrent(long long generation) const;

  TFViewTrans& window_;
  TWorkingList& list_;
  bool on_ = false;
  long long generation_ = 0;
  QString folder_;
  QSet<QString> known_;
  std::unique_ptr<TFileMonitor> monitor_;
};
