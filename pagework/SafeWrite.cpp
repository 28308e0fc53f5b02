#include "pagework/SafeWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ErrnoText(int err) { return std::strerror(err); }

// fsync of a file or folder by name.
bool SyncPath(const std::string& path, bool folder) {
  const int fd = ::open(path.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_RDWR) | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

TSafeFile::TSafeFile(std::string target) : target_(std::move(target)) {
  if (target_.empty()) throw ESafeWriteError("No file name given");
  // Replacing a link replaces the file it points to, not the link.
  struct stat lst {};
  if (::lstat(target_.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    if (char* real = ::realpath(target_.c_str(), nullptr)) {
      target_ = real;
      std::free(real);
    }
  }
  // Hidden name in the same folder, unique among parallel writers.
  std::string templ = FolderOf(target_) + "/." + NameOf(target_) + ".XXXXXX";
  std::vector<char> buffer(templ.begin(), templ.end());
  buffer.push_back('\0');
  const int fd = ::mkstemp(buffer.data());
  if (fd < 0) {
    const int err = errno;
    throw ESafeWriteError("Cannot create a temporary file in \"" + FolderOf(target_) + "\": " + ErrnoText(err));
  }
  ::close(fd);
  temp_ = buffer.data();
}

TSafeFile::~TSafeFile() { Abort(); }

void TSafeFile::Abort() {
  if (done_) return;
  done_ = true;
  ::unlink(temp_.c_str());
}

void TSafeFile::SetMode() {
  if (done_) throw ESafeWriteError("The file \"" + target_ + "\" was already written or abandoned");
  struct stat st {};
  const mode_t mode = ::stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (::chmod(temp_.c_str(), mode) != 0) Fail("Cannot write");
}

void TSafeFile::Flush() {
  if (!SyncPath(temp_, false)) Fail("Cannot write");
}

void TSafeFile::Rename() {
  if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail("Cannot replace");
  done_ = true;
  committed_ = true;
}

void TSafeFile::Fail(const char* what) {
  const int err = errno;
  Abort();
  throw ESafeWriteError(std::string(what) + " \"" + target_ + "\": " + ErrnoText(err));
}

void TSafeFile::Commit() {
  SetMode();
  Flush();
  Rename();
  // The rename itself is durable only once the folder is flushed; a failure
  // here does not undo a completed replacement.
  SyncPath(FolderOf(target_), true);
}

void CommitAll(const std::vector<TSafeFile*>& files) {
  if (files.empty()) return;
  for (TSafeFile* file : files) file->SetMode();
  // One flush of the whole file system holding the first file; files on
  // other file systems are flushed one by one.
  struct stat first {};
  bool flushed = ::stat(files.front()->temp_.c_str(), &first) == 0;
  const int fd = ::open(files.front()->temp_.c_str(), O_RDONLY | O_CLOEXEC);
  flushed = flushed && fd >= 0 && ::syncfs(fd) == 0;
  if (fd >= 0) ::close(fd);
  for (TSafeFile* file : files) {
    struct stat st {};
    if (!flushed || ::stat(file->temp_.c_str(), &st) != 0 || st.st_dev != first.st_dev) file->Flush();
  }
  std::vector<std::string> folders;
  for (TSafeFile* file : files) {
    file->Rename();
    const std::string folder = FolderOf(file->target_);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
  }
  for (const std::string& folder : folders) SyncPath(folder, true);
}

void SafeWriteFile(const std::string& target, const std::function<void(const std::string& tempPath)>& writer) {
  TSafeFile file(target);
  writer(file.TempPath());
  file.Commit();
}
