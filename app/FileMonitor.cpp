#include "app/FileMonitor.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QToolButton>
#include <algorithm>
#include <cerrno>

#include "app/AppMessage.h"
#include "app/DesktopModules.h"
#include "app/DocumentList.h"
#include "app/F_ViewTrans.h"
#include "app/SelectDir.h"
#include "app/ViewTransMessage.h"
#include "app/WorkingList.h"
#include "image/ImagingHooks.h"
#include "utils/Utils.h"

// --- the thread ------------------------------------------------------------------

TFileMonitor::TFileMonitor() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TFileMonitor::~TFileMonitor() {
  Stop();
  wait();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void TFileMonitor::Stop() {
  stop_ = true;
  if (wakeFd_ >= 0) {
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
  }
}

QStringList TFileMonitor::TakeArrivedNames(bool* overflow) {
  QMutexLocker lock(&mutex_);
  if (overflow) *overflow = overflow_;
  overflow_ = false;
  QStringList names;
  names.swap(arrived_);
  return names;
}

void TFileMonitor::Post(int code) {
  if (Receiver) PostViewTransMessage(Receiver, code, Generation);
}

void TFileMonitor::run() {
  const QByteArray path = QFile::encodeName(Folder);
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  // Closed after writing, or renamed into the folder: a file that is
  // complete. Sub-folders are not watched.
  if (fd < 0 || ::inotify_add_watch(fd, path.constData(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR) < 0) {
    if (fd >= 0) ::close(fd);
    Post(900);
    return;
  }
  Post(100);
  alignas(inotify_event) char buffer[64 * 1024];
  bool watching = true;
  while (watching && !stop_) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    const int ready = ::poll(fds, wakeFd_ >= 0 ? 2 : 1, WaitMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    if (ready == 0 || stop_) continue;  // time-out: look at the stop flag again
    if (!(fds[0].revents & POLLIN)) break;
    bool changed = false;
    for (;;) {
      const ssize_t length = ::read(fd, buffer, sizeof buffer);
      if (length <= 0) break;  // drained (EAGAIN) or failed
      for (const char* p = buffer; p < buffer + length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(p);
        p += sizeof(inotify_event) + event->len;
        QMutexLocker lock(&mutex_);
        if (event->mask & IN_Q_OVERFLOW) {
          overflow_ = changed = true;
        } else if (event->mask & IN_IGNORED) {
          watching = false;  // the folder went away
        } else if (!(event->mask & IN_ISDIR) && event->len > 0) {
          arrived_ << QFile::decodeName(event->name);
          changed = true;
        }
      }
    }
    if (changed) Post(200);
  }
  ::close(fd);
}

QStringList FolderFileNames(const QString& folder) {
  QStringList names;
  DIR* dir = ::opendir(QFile::encodeName(folder).constData());
  if (!dir) return names;
  const int dirFd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    bool isFolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st {};
      isFolder = ::fstatat(dirFd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    if (!isFolder) names << QFile::decodeName(name);
  }
  ::closedir(dir);
  return names;
}

// --- the main window's side ----------------------------------------------------

TFolderWatch::TFolderWatch(TFViewTrans& window, TWorkingList& list) : QObject(&window), window_(window), list_(list) {
  AskWatchFolder = [this] { return SelectDir(QString::fromUtf8("감시할 폴더 선택"), ::OpenFolder(), &window_); };
  window.SetCommandHandler(TCommand::FolderWatch, [this] { Toggle(); });
  window.SetMessageHandler(100, [this](long long generation) { Snapshot(generation); });
  window.SetMessageHandler(200, [this](long long generation) { TakeNewFiles(generation); });
  window.SetMessageHandler(900, [this](long long generation) { WatchFailed(generation); });
}

TFolderWatch::~TFolderWatch() { StopMonitor(); }

void TFolderWatch::SetState(bool on) {
  on_ = on;
  if (QToolButton* b = window_.ToolButton(TCommand::FolderWatch)) b->setChecked(on);
  if (QAction* a = window_.Action(TCommand::FolderWatch)) a->setChecked(on);
}

void TFolderWatch::StopMonitor() {
  if (!monitor_) return;
  TBusyCursor busy;
  monitor_.reset();  // stops the thread and waits for it
}

bool TFolderWatch::IsCurrent(long long generation) const { return monitor_ && generation == generation_; }

// Every trigger flips the one state: the button and the menu item have
// already flipped their own check, the key has not; both are set to match.
void TFolderWatch::Toggle() {
  SetState(!on_);
  known_.clear();
  StopMonitor();
  if (!on_) return;
  const QString folder = AskWatchFolder ? AskWatchFolder() : QString();
  window_.Execute(TCommand::ChooseSaveFolder);
  // A cancelled choice leaves the button pressed with no thread; the next
  // press switches the state off.
  if (folder.isEmpty()) return;
  folder_ = WithTrailingSeparator(folder);
  monitor_ = std::make_unique<TFileMonitor>();
  monitor_->Folder = folder_;
  monitor_->Filter = 16;
  monitor_->Receiver = &window_;
  monitor_->Generation = ++generation_;
  monitor_->start();
}

void TFolderWatch::Snapshot(long long generation) {
  if (!IsCurrent(generation)) return;
  const QStringList names = FolderFileNames(folder_);
  known_.reserve(names.size());
  for (const QString& name : names) known_.insert(name);
}

// Every new file that arrived since the last message is taken, in name
// order; a name is recorded as known even when it is not an image the list
// takes (PDF files are recorded and not added), so it is not offered again.
void TFolderWatch::TakeNewFiles(long long generation) {
  if (!IsCurrent(generation)) return;
  bool overflow = false;
  QStringList names = monitor_->TakeArrivedNames(&overflow);
  // The kernel dropped events: only the whole folder tells what is new.
  if (overflow) names = FolderFileNames(folder_);
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
  });
  names.erase(std::unique(names.begin(), names.end()), names.end());
  QStringList added;
  for (const QString& name : names) {
    if (known_.contains(name)) continue;
    const QString path = folder_ + name;
    // Gone again, or a folder moved in under a file's name: not a file.
    if (!QFileInfo(path).isFile()) continue;
    known_.insert(name);
    if (IsTiffFile(name) || IsJpegFile(name)) added << path;
  }
  // The list keeps its current entry; the views and the open mode stay.
  if (!added.isEmpty()) list_.List()->AddFiles(added);
}

void TFolderWatch::WatchFailed(long long generation) {
  if (!IsCurrent(generation)) return;
  ShowAppMessage(QString::fromUtf8("폴더 감시를 시작할 수 없습니다."), amInformation);
  monitor_.reset();
  SetState(false);
}

TFolderWatch* InstallFolderWatch(TFViewTrans& window, TWorkingList& list) { return new TFolderWatch(window, list); }
