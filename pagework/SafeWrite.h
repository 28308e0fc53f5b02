// Safe replacement of an operator's file: the new content goes to a
// temporary file in the target's own folder, is flushed to the disk, and is
// renamed over the target only when complete. Until that rename the target
// is exactly as it was; on any failure the temporary file is removed and
// the target stays untouched. The rename within one folder is atomic, so a
// reader sees either the old file or the new one, never a mixture.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class ESafeWriteError : public std::runtime_error {
 public:
  explicit ESafeWriteError(const std::string& message) : std::runtime_error(message) {}
};

// One pending replacement. The temporary file exists (empty) from the
// constructor on; write it through TempPath(), then Commit(). Destroying
// an uncommitted object removes the temporary file.
class TSafeFile {
 public:
  // Throws ESafeWriteError when no temporary file can be created beside
  // the target (missing or read-only folder).
  explicit TSafeFile(std::string target);
  ~TSafeFile();
  TSafeFile(const TSafeFile&) = delete;
  TSafeFile& operator=(const TSafeFile&) = delete;

  const std::string& Target() const { return target_; }
  const std::string& TempPath() const { return temp_; }
  // The temporary file has replaced the target.
  bool Committed() const { return committed_; }
  // Flushes the temporary file, gives it the target's permissions (or the
  // usual ones for a new file), renames it over the target and flushes the
  // folder. Throws ESafeWriteError; the target is then unchanged.
  void Commit();
  friend void CommitAll(const std::vector<TSafeFile*>& files);
  // Removes the temporary file now (also done by the destructor).
  void Abort();

 private:
  // The steps of Commit; each removes the temporary file and throws on a
  // failure.
  void SetMode();
  void Flush();
  void Rename();
  [[noreturn]] void Fail(const char* what);

  std::string target_;
  std::string temp_;
  bool done_ = false;
  bool committed_ = false;
};

// Commits files written one after another (the pages of a split) with one
// flush of the file system for all of them instead of one each, then the
// renames in order. On a failure the files renamed before it stay and the
// rest are removed; the error names the file that failed.
void CommitAll(const std::vector<TSafeFile*>& files);

// Runs writer(tempPath) and commits; an exception from the writer removes
// the temporary file and is passed on unchanged.
void SafeWriteFile(const std::string& target, const std::function<void(const std::string& tempPath)>& writer);
