// Progress of a batch run on stderr: a bar redrawn in place on a terminal
// (pages done, pages per second, time left), one plain line per finished
// file otherwise, nothing when silent.
#pragma once

#include <chrono>
#include <string>

class TProgress {
 public:
  enum class Mode { Silent, Lines, Bar };
  TProgress(Mode mode, int files);
  void PageDone();
  void FileDone(const std::string& file, int pages, bool ok);
  // Estimated pages of the whole run (0: unknown).
  void SetEstimate(long pages) { estimate_ = pages; }
  void Finish();

 private:
  void Draw(bool force);

  Mode mode_;
  int files_;
  int filesDone_ = 0;
  long pages_ = 0;
  long estimate_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  bool drawn_ = false;
};
