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
  // Flushes the temporary file, gives it the target's permissions (or the
  // usual ones for a new file), renames it over the target and flushes the
  // folder. Throws ESafeWriteError; the target is then unchanged.
  void Commit();
  // Removes the temporary file now (also done by the destructor).
  void Abort();

 private:
  std::string target_;
  std::string temp_;
  bool done_ = false;
};

// Runs writer(tempPath) and commits; an exception from the writer removes
// the temporary file and is passed on unchanged.
void SafeWriteFile(const std::string& target, const std::function<void(const std::string& tempPath)>& writer);
