#include "batch/Progress.h"

#include <algorithm>
#include <cstdio>

namespace {
std::string Clock(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char buffer[32];
  if (s >= 3600)
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
  return buffer;
}
}  // namespace

TProgress::TProgress(Mode mode, int files)
    : mode_(mode), files_(files), start_(std::chrono::steady_clock::now()), lastDraw_(start_) {}

void TProgress::PageDone() {
  ++pages_;
  Draw(false);
}

void TProgress::FileDone(const std::string& file, int pages, bool ok) {
  ++filesDone_;
  if (mode_ == Mode::Lines) {
    if (ok)
      std::fprintf(stderr, "[%d/%d] %s: %d page%s\n", filesDone_, files_, file.c_str(), pages, pages == 1 ? "" : "s");
    else
      std::fprintf(stderr, "[%d/%d] %s: failed\n", filesDone_, files_, file.c_str());
    std::fflush(stderr);
  }
  Draw(false);
}

void TProgress::Draw(bool force) {
  if (mode_ != Mode::Bar) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && drawn_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  drawn_ = true;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const double rate = elapsed > 0 ? pages_ / elapsed : 0;
  // Progress by pages when their total is estimated, by files otherwise.
  double fraction = files_ > 0 ? static_cast<double>(filesDone_) / files_ : 1;
  if (estimate_ > 0) fraction = std::max(fraction, std::min(1.0, static_cast<double>(pages_) / estimate_));
  constexpr int width = 30;
  const int filled = static_cast<int>(fraction * width);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(width - filled), '.');
  std::string left = "--:--";
  if (fraction > 0 && fraction < 1)
    left = Clock(elapsed * (1 - fraction) / fraction);
  else if (fraction >= 1)
    left = "0:00";
  std::fprintf(stderr, "\r[%s] %ld pages  %d/%d files  %.1f pages/s  %s left \x1b[K", bar.c_str(), pages_, filesDone_,
               files_, rate, left.c_str());
  std::fflush(stderr);
}

void TProgress::Finish() {
  if (mode_ == Mode::Bar && drawn_) {
    Draw(true);
    std::fputc('\n', stderr);
    std::fflush(stderr);
  }
}
