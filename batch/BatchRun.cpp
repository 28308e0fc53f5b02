#include "batch/BatchRun.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "batch/Progress.h"
#include "pagework/PageWriter.h"
#include "pagework/SafeWrite.h"

namespace {

using TClock = std::chrono::steady_clock;

// The file failed; the writer stops writing it.
struct EFileFailed {};
// The run was interrupted (Ctrl+C, SIGTERM): the file being written is
// abandoned, its temporary file removed, the source left as it was.
struct EInterrupted {};

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int signalNumber) {
  if (interrupted.exchange(true)) {
    // A second signal: stop at once.
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
  }
}

struct TFileState {
  const TBatchFile* File = nullptr;
  int PageCount = -1;  // -1 not counted yet
  int Dispatched = 0;
  bool Failed = false;
  std::string Error;
  std::map<int, TOutputPage> Ready;
  std::map<int, std::string> Verbose;
};

struct TTask {
  int File = -1;
  int Page = -1;
};

class TScheduler {
 public:
  TScheduler(const std::vector<TBatchFile>& files, const TBatchConfig& config)
      : config_(config), window_(2 * std::max(1, config.Jobs) + 1) {
    states_.resize(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
      states_[i].File = &files[i];
      if (!files[i].PresetError.empty()) {
        states_[i].Failed = true;
        states_[i].Error = files[i].PresetError;
      }
    }
  }

  // Worker threads other than the writer.
  void HelperLoop() {
    TStepContext ctx;
    InitContext(ctx);
    std::unique_lock lock(mutex_);
    while (!stop_ && !interrupted) {
      TTask task;
      if (TakeTask(lock, task)) {
        RunTask(lock, task, ctx);
      } else if (AllDispatched()) {
        break;
      } else {
        changed_.wait_for(lock, std::chrono::milliseconds(100));
      }
    }
  }

  void Stop() {
    std::lock_guard lock(mutex_);
    stop_ = true;
    changed_.notify_all();
  }

  // The writer's side: the page count of file f (counting it when needed).
  int WaitForCount(int f, TStepContext& ctx) {
    std::unique_lock lock(mutex_);
    for (;;) {
      TFileState& s = states_[f];
      if (s.Failed) throw EFileFailed{};
      if (s.PageCount >= 0) return s.PageCount;
      if (interrupted) throw EInterrupted{};
      if (!HelpOnce(lock, ctx)) changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
  }

  // The writer's side: page p of file f, corrected.
  TOutputPage WaitForPage(int f, int p, TStepContext& ctx, std::string& verbose) {
    std::unique_lock lock(mutex_);
    for (;;) {
      TFileState& s = states_[f];
      if (s.Failed) throw EFileFailed{};
      auto it = s.Ready.find(p);
      if (it != s.Ready.end()) {
        TOutputPage page = std::move(it->second);
        s.Ready.erase(it);
        auto v = s.Verbose.find(p);
        if (v != s.Verbose.end()) {
          verbose = std::move(v->second);
          s.Verbose.erase(v);
        }
        --inFlight_;
        changed_.notify_all();
        return page;
      }
      if (interrupted) throw EInterrupted{};
      if (!HelpOnce(lock, ctx)) changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
  }

  void Fail(int f, const std::string& error) {
    std::lock_guard lock(mutex_);
    FailLocked(f, error);
  }

  std::string ErrorOf(int f) {
    std::lock_guard lock(mutex_);
    return states_[f].Error;
  }

  void InitContext(TStepContext& ctx) const {
    ctx.Settings = &config_.Settings;
    ctx.FixedAreas = &config_.FixedAreas;
    ctx.Measure = config_.Verbose;
  }

  // Pages counted so far and files counted so far (for the estimate of
  // the whole run's pages).
  std::pair<long, int> Counted() {
    std::lock_guard lock(mutex_);
    return {countedPages_, countedFiles_};
  }

 private:
  bool HelpOnce(std::unique_lock<std::mutex>& lock, TStepContext& ctx) {
    TTask task;
    if (!TakeTask(lock, task)) return false;
    RunTask(lock, task, ctx);
    return true;
  }

  bool AllDispatched() const { return next_ >= states_.size(); }

  void FailLocked(int f, const std::string& error) {
    TFileState& s = states_[f];
    if (!s.Failed) {
      s.Failed = true;
      s.Error = error;
    }
    inFlight_ -= static_cast<int>(s.Ready.size());
    s.Ready.clear();
    s.Verbose.clear();
    changed_.notify_all();
  }

  // Hands out the next page in file order while the window has room.
  // Counting a file's pages happens here, outside the lock.
  bool TakeTask(std::unique_lock<std::mutex>& lock, TTask& task) {
    while (next_ < states_.size()) {
      const int f = static_cast<int>(next_);
      TFileState& s = states_[f];
      if (s.Failed) {
        ++next_;
        continue;
      }
      if (s.PageCount < 0) {
        if (counting_) return false;  // another thread is counting this file
        counting_ = true;
        const std::string source = s.File->Source;
        lock.unlock();
        std::string error;
        int count = -1;
        try {
          count = CountPages(source);
          if (count < 1) error = "the file has no pages";
        } catch (const std::exception& e) {
          error = e.what();
        }
        lock.lock();
        counting_ = false;
        if (!error.empty()) {
          FailLocked(f, error);
        } else {
          s.PageCount = count;
          countedPages_ += count;
          ++countedFiles_;
        }
        changed_.notify_all();
        continue;
      }
      if (s.Dispatched >= s.PageCount) {
        ++next_;
        continue;
      }
      if (inFlight_ >= window_) return false;
      task = TTask{f, s.Dispatched++};
      ++inFlight_;
      return true;
    }
    return false;
  }

  void RunTask(std::unique_lock<std::mutex>& lock, const TTask& task, TStepContext& ctx) {
    const std::string source = states_[task.File].File->Source;
    lock.unlock();
    TOutputPage page;
    std::string verbose;
    std::string error;
    try {
      page = LoadPage(source, task.Page);
      for (TStep step : config_.Steps) {
        std::string measured = RunStep(step, *page.Owned, ctx);
        if (config_.Verbose)
          verbose += source + "\t" + std::to_string(task.Page + 1) + "\t" + StepName(step) + "\t" + measured + "\n";
      }
      PreparePageForWriting(page, source, SaveOptionsOf(config_.Settings));
    } catch (const std::exception& e) {
      error = "page " + std::to_string(task.Page + 1) + ": " + e.what();
    } catch (...) {
      error = "page " + std::to_string(task.Page + 1) + ": unknown error";
    }
    ctx.Undo.Clear();
    ctx.Work.Clear();
    lock.lock();
    TFileState& s = states_[task.File];
    if (s.Failed) {
      --inFlight_;
    } else if (!error.empty()) {
      --inFlight_;
      FailLocked(task.File, error);
    } else {
      s.Ready.emplace(task.Page, std::move(page));
      if (!verbose.empty()) s.Verbose.emplace(task.Page, std::move(verbose));
    }
    changed_.notify_all();
  }

  const TBatchConfig& config_;
  const int window_;
  std::vector<TFileState> states_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;
  int inFlight_ = 0;
  bool counting_ = false;
  bool stop_ = false;
  long countedPages_ = 0;
  int countedFiles_ = 0;
};

// Commits written files (flush to the disk, rename over the target) on a
// thread of its own, in file order, so that the writer goes on with the
// next file while the disk catches up.
class TCommitter {
 public:
  struct TResult {
    int File = -1;
    int Pages = 0;
    std::string Error;  // empty: committed
  };

  TCommitter() : thread_([this] { Loop(); }) {}
  ~TCommitter() { Finish(); }

  // Waits while many commits are pending, so the disk sets the pace.
  void Add(std::unique_ptr<TSafeFile> output, int file, int pages) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return pending_.size() < kMaxPending; });
    pending_.push_back(TPending{std::move(output), file, pages});
    changed_.notify_all();
  }

  // Results of the commits done since the last call.
  std::vector<TResult> TakeResults() {
    std::lock_guard lock(mutex_);
    return std::exchange(results_, {});
  }

  // Waits until every file handed over is committed.
  void Finish() {
    {
      std::lock_guard lock(mutex_);
      finishing_ = true;
      changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
  }

 private:
  struct TPending {
    std::unique_ptr<TSafeFile> Output;
    int File = -1;
    int Pages = 0;
  };
  static constexpr std::size_t kMaxPending = 8;

  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return !pending_.empty() || finishing_; });
      if (pending_.empty()) return;
      TPending item = std::move(pending_.front());
      lock.unlock();
      TResult result{item.File, item.Pages, {}};
      try {
        item.Output->Commit();
      } catch (const std::exception& e) {
        result.Error = e.what();
      }
      item.Output.reset();
      lock.lock();
      pending_.pop_front();
      results_.push_back(std::move(result));
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<TPending> pending_;
  std::vector<TResult> results_;
  bool finishing_ = false;
  std::thread thread_;  // last: starts once the rest is ready
};

void ReportFailure(const std::string& file, const std::string& error) {
  std::fprintf(stderr, "pagemend: %s: %s\n", file.c_str(), error.c_str());
  std::fflush(stderr);
}

}  // namespace

TBatchSummary RunBatch(const std::vector<TBatchFile>& files, const TBatchConfig& config) {
  const auto start = TClock::now();
  TBatchSummary summary;
  summary.Files = static_cast<int>(files.size());

  interrupted = false;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  TScheduler scheduler(files, config);
  std::vector<std::thread> helpers;
  for (int i = 1; i < config.Jobs; ++i) helpers.emplace_back([&scheduler] { scheduler.HelperLoop(); });

  // Verbose lines would tear a bar drawn in place, so they get plain lines.
  TProgress progress(config.Quiet                                   ? TProgress::Mode::Silent
                     : (::isatty(STDERR_FILENO) && !config.Verbose) ? TProgress::Mode::Bar
                                                                    : TProgress::Mode::Lines,
                     static_cast<int>(files.size()));
  TStepContext ctx;
  scheduler.InitContext(ctx);
  TCommitter committer;
  auto reportCommits = [&](std::vector<TCommitter::TResult> results) {
    for (const TCommitter::TResult& r : results) {
      const std::string& source = files[r.File].Source;
      if (r.Error.empty()) {
        summary.Pages += r.Pages;
        progress.FileDone(source, r.Pages, true);
      } else {
        ReportFailure(source, r.Error);
        ++summary.Failures;
        progress.FileDone(source, 0, false);
      }
    }
  };

  for (int f = 0; f < static_cast<int>(files.size()); ++f) {
    const TBatchFile& file = files[f];
    int written = 0;
    try {
      const int count = scheduler.WaitForCount(f, ctx);
      std::error_code ec;
      const auto folder = std::filesystem::path(file.Output).parent_path();
      if (!folder.empty()) std::filesystem::create_directories(folder, ec);
      auto output = std::make_unique<TSafeFile>(file.Output);
      TOutputPage current;
      WritePagesTo(output->TempPath(), file.Source, count, SaveOptionsOf(config.Settings), [&](int p) -> TOutputPage& {
        std::string verbose;
        current = TOutputPage{};  // free the previous page first
        current = scheduler.WaitForPage(f, p, ctx, verbose);
        if (!verbose.empty()) {
          std::fputs(verbose.c_str(), stderr);
          std::fflush(stderr);
        }
        ++written;
        progress.PageDone();
        return current;
      });
      current = TOutputPage{};
      committer.Add(std::move(output), f, written);
    } catch (const EInterrupted&) {
      summary.Interrupted = true;
      ++summary.Failures;
      ReportFailure(file.Source, "interrupted; left as it was");
      break;
    } catch (const EFileFailed&) {
      ReportFailure(file.Source, scheduler.ErrorOf(f));
      ++summary.Failures;
      progress.FileDone(file.Source, 0, false);
    } catch (const std::exception& e) {
      scheduler.Fail(f, e.what());
      ReportFailure(file.Source, scheduler.ErrorOf(f));
      ++summary.Failures;
      progress.FileDone(file.Source, 0, false);
    }
    reportCommits(committer.TakeResults());
    const auto [countedPages, countedFiles] = scheduler.Counted();
    progress.SetEstimate(countedFiles > 0 ? countedPages * static_cast<long>(files.size()) / countedFiles : 0);
  }

  scheduler.Stop();
  for (auto& t : helpers) t.join();
  committer.Finish();
  reportCommits(committer.TakeResults());
  progress.Finish();
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  summary.Seconds = std::chrono::duration<double>(TClock::now() - start).count();
  return summary;
}
