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
#include <set>
#include <thread>
#include <utility>

#include "batch/Progress.h"
#include "pagework/CorrectionRecipes.h"
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
  std::set<int> Blank;  // pages dropped as blank (their Ready entry is empty)
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
  TOutputPage WaitForPage(int f, int p, TStepContext& ctx, std::string& verbose, bool& blank) {
    std::unique_lock lock(mutex_);
    for (;;) {
      TFileState& s = states_[f];
      if (s.Failed) throw EFileFailed{};
      auto it = s.Ready.find(p);
      if (it != s.Ready.end()) {
        TOutputPage page = std::move(it->second);
        s.Ready.erase(it);
        blank = s.Blank.erase(p) > 0;
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
    ctx.MinConfidence = config_.MinConfidence;
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
    s.Blank.clear();
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
    bool blank = false;
    try {
      page = LoadPage(source, task.Page);
      for (TStep step : config_.Steps) {
        std::string measured = RunStep(step, *page.Owned, ctx);
        if (config_.Verbose)
          verbose += source + "\t" + std::to_string(task.Page + 1) + "\t" + StepName(step) + "\t" + measured + "\n";
      }
      if (config_.DropBlankPercent >= 0) {
        const double share = RunDarkShare(*page.Owned, config_.Settings);
        blank = share <= config_.DropBlankPercent;
        if (blank) {
          page = TOutputPage{};
          if (config_.Verbose) {
            char text[64];
            std::snprintf(text, sizeof text, "dark=%.4f%%", share);
            verbose += source + "\t" + std::to_string(task.Page + 1) + "\tdropped\t" + text + "\n";
          }
        }
      }
      if (!blank) PreparePageForWriting(page, source, SaveOptionsOf(config_.Settings));
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
      if (blank) s.Blank.insert(task.Page);
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
      auto takePage = [&](int p, bool& blank) {
        std::string verbose;
        TOutputPage page = scheduler.WaitForPage(f, p, ctx, verbose, blank);
        if (!verbose.empty()) {
          std::fputs(verbose.c_str(), stderr);
          std::fflush(stderr);
        }
        progress.PageDone();
        return page;
      };
      // With blank pages dropped, the number of pages to write is known
      // only when every page of the file is corrected: the kept pages wait
      // here until then.
      std::vector<TOutputPage> kept;
      if (config.DropBlankPercent >= 0) {
        for (int p = 0; p < count; ++p) {
          bool blank = false;
          TOutputPage page = takePage(p, blank);
          if (!blank) kept.push_back(std::move(page));
        }
        if (kept.empty()) {
          // Not a failure: there is nothing to write, and a source is never
          // deleted.
          std::fprintf(stderr, "pagemend: %s: every page is blank; nothing written\n", file.Source.c_str());
          std::fflush(stderr);
          ++summary.BlankFiles;
          progress.FileDone(file.Source, 0, true);
          reportCommits(committer.TakeResults());
          continue;
        }
      }
      std::error_code ec;
      const auto folder = std::filesystem::path(file.Output).parent_path();
      if (!folder.empty()) std::filesystem::create_directories(folder, ec);
      auto output = std::make_unique<TSafeFile>(file.Output);
      const bool dropping = config.DropBlankPercent >= 0;
      const int pages = dropping ? static_cast<int>(kept.size()) : count;
      TOutputPage current;
      WritePagesTo(output->TempPath(), file.Source, pages, SaveOptionsOf(config.Settings), [&](int p) -> TOutputPage& {
        ++written;
        if (dropping) {
          if (p > 0) kept[static_cast<std::size_t>(p - 1)] = TOutputPage{};  // written: freed
          return kept[static_cast<std::size_t>(p)];
        }
        bool blank = false;
        current = TOutputPage{};  // free the previous page first
        current = takePage(p, blank);
        return current;
      });
      current = TOutputPage{};
      kept.clear();
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
