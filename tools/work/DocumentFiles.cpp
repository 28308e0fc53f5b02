#include "tools/work/DocumentFiles.h"

#include <QString>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "pagework/FileTypes.h"
#include "pagework/PageWriter.h"
#include "pagework/SafeWrite.h"
#include "tools/work/PageSource.h"
#include "utils/Utils.h"

namespace {

// Each page keeps the compression it was read with.
const TSaveOptions OwnCompression{10, 80};

// Runs the work of one output; a failure goes to the run's handler, which
// decides whether the run goes on. A stop passes through.
void OneOutput(TToolRun& run, const std::string& target, const std::function<void()>& work) {
  if (run.Showing) run.Showing(target);
  try {
    try {
      work();
    } catch (const EToolFileError&) {
      throw;
    } catch (const EToolStopped&) {
      throw;
    } catch (const std::exception& e) {
      throw EToolFileError(target, e.what());
    }
  } catch (const EToolFileError& error) {
    if (run.Failed && run.Failed(error)) return;
    throw;
  }
  run.Written.push_back(target);
}

struct TProgress {
  TToolRun& Run;
  int Position = 0;
  int Maximum = 0;
  void Step(int by = 1) {
    Position += by;
    if (Run.Progress && !Run.Progress(Position, std::max(Maximum, Position))) throw EToolStopped();
  }
};

// Commits the pages of a split written so far; they count as written. A
// failure goes to the run's handler like any other.
void CommitPages(std::vector<std::unique_ptr<TSafeFile>>& pages, TToolRun& run) {
  std::vector<TSafeFile*> files;
  for (const auto& page : pages) files.push_back(page.get());
  std::string failure;
  try {
    CommitAll(files);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  std::string failedTarget;
  for (const auto& page : pages) {
    if (page->Committed())
      run.Written.push_back(page->Target());
    else if (failedTarget.empty())
      failedTarget = page->Target();
  }
  pages.clear();
  if (failure.empty()) return;
  const EToolFileError error(failedTarget, failure);
  if (!run.Failed || !run.Failed(error)) throw error;
}

std::string WithoutLast(const std::string& text, std::size_t n) {
  return text.size() > n ? text.substr(0, text.size() - n) : std::string();
}

std::string PageName(const std::string& base, int page, const char* extension) {
  char number[16];
  std::snprintf(number, sizeof number, "_%05d", page);
  return base + number + extension;
}

// The name with the extension of its file name replaced.
std::string ReplaceExtension(const std::string& path, const char* extension) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + extension;
  return path.substr(0, dot) + extension;
}

}  // namespace

std::string FolderPart(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FolderTag(const std::string& folder) {
  std::string tag = folder;
  while (tag.size() > 1 && tag.back() == '/') tag.pop_back();
  std::replace(tag.begin(), tag.end(), '/', '_');
  return tag;
}

std::vector<std::vector<int>> GroupsByFolder(const std::vector<TToolEntry>& entries) {
  std::vector<std::vector<int>> groups;
  for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
    if (groups.empty() || FolderPart(entries[groups.back().back()].Path) != FolderPart(entries[i].Path))
      groups.emplace_back();
    groups.back().push_back(i);
  }
  return groups;
}

std::string OutputBase(const TToolEntry& entry, const std::string& saveFolder) {
  const QString name = OutputFileName(QString::fromStdString(entry.Path), QString::fromStdString(saveFolder),
                                      QString::fromStdString(entry.OpenFolder), entry.OpenMode);
  std::string base = name.toStdString();
  // The part below the save folder is at most 1024 characters long.
  if (base != entry.Path) {
    const std::size_t head = WithTrailingSeparator(QString::fromStdString(saveFolder)).toStdString().size();
    if (base.size() > head + 1024) base.resize(head + 1024);
  }
  return base;
}

void MergeFiles(const std::vector<TToolEntry>& entries, bool toPdf, const std::string& outputLocation, TToolRun& run) {
  for (const std::vector<int>& group : GroupsByFolder(entries)) {
    std::string location = outputLocation.empty() ? entries[group.front()].OpenFolder : outputLocation;
    location = WithTrailingSeparator(QString::fromStdString(location)).toStdString();
    const std::string target =
        location + FolderTag(FolderPart(entries[group.front()].Path)) + (toPdf ? ".pdf" : ".tif");

    std::vector<std::string> files;
    for (int i : group)
      if (IsImageFile(entries[i].Path)) files.push_back(entries[i].Path);
    if (files.empty()) continue;
    TProgress progress{run, 0, 2 * static_cast<int>(files.size())};
    OneOutput(run, target, [&] {
      // Counting pass: pages of every file, no page decoded.
      std::vector<int> counts;
      int total = 0;
      for (const std::string& file : files) {
        counts.push_back(TPageSource(file).Count());
        total += counts.back();
        progress.Maximum += counts.back() - 1;
        progress.Step();
      }
      progress.Maximum = progress.Position + total;
      // One document open at a time, one page of it held.
      std::unique_ptr<TPageSource> source;
      std::size_t file = 0;
      int first = 0;  // global index of the open file's first page
      const auto getPage = [&](int index) -> TOutputPage& {
        while (!source || index - first >= counts[file]) {
          if (source) first += counts[file++];
          source.reset();
          source = std::make_unique<TPageSource>(files[file]);
        }
        TOutputPage& page = source->LoadFor(index - first, target, OwnCompression);
        // A page of a multi-page file or of another type takes the default
        // compression of its format; a single-page TIFF keeps its own.
        if (counts[file] > 1 || !IsTiffFile(files[file])) page.SourceCompression = -1;
        return page;
      };
      const auto stepped = [&](int index) -> TOutputPage& {
        if (index > 0) progress.Step();
        return getPage(index);
      };
      if (toPdf)
        WritePages(target, total, OwnCompression, stepped);
      else
        WriteTiffPages(target, total, true, stepped);
      progress.Step();
    });
  }
}

void SplitFiles(const std::vector<TToolEntry>& entries, TToolRun& run) {
  TProgress progress{run, 0, static_cast<int>(entries.size())};
  for (const TToolEntry& entry : entries) {
    const bool tiff = IsTiffFile(entry.Path), pdf = IsPdfFile(entry.Path);
    if (!tiff && !pdf) {
      progress.Step();
      continue;
    }
    const std::string base = WithoutLast(OutputBase(entry, run.SaveFolder), 4);
    if (run.Showing) run.Showing(base);
    std::unique_ptr<TPageSource> source;
    try {
      source = std::make_unique<TPageSource>(entry.Path);
    } catch (const EToolFileError& error) {
      if (!run.Failed || !run.Failed(error)) throw;
      progress.Step();
      continue;
    }
    progress.Maximum += source->Count() - 1;
    // A file's pages are committed together when it is done, fails or the
    // run stops: one flush of the disk instead of one per page.
    std::vector<std::unique_ptr<TSafeFile>> pages;
    try {
      for (int k = 0; k < source->Count(); ++k) {
        const std::string target = PageName(base, k + 1, tiff ? ".tif" : ".pdf");
        if (run.Showing) run.Showing(target);
        std::optional<EToolFileError> failure;
        try {
          auto safe = std::make_unique<TSafeFile>(target);
          TOutputPage& page = source->LoadFor(k, target, OwnCompression);
          WritePagesTo(safe->TempPath(), target, 1, OwnCompression, [&](int) -> TOutputPage& { return page; });
          pages.push_back(std::move(safe));
        } catch (const EToolFileError& error) {
          failure = error;
        } catch (const std::exception& e) {
          failure = EToolFileError(target, e.what());
        }
        if (failure) {
          CommitPages(pages, run);
          if (run.Failed && run.Failed(*failure)) break;  // the file is damaged from here on
          throw *failure;
        }
        progress.Step();
      }
    } catch (const EToolStopped&) {
      CommitPages(pages, run);
      throw;
    }
    CommitPages(pages, run);
  }
}

void ConvertFiles(const std::vector<TToolEntry>& entries, TToolRun& run) {
  TProgress progress{run, 0, static_cast<int>(entries.size())};
  for (const TToolEntry& entry : entries) {
    const bool tiff = IsTiffFile(entry.Path), pdf = IsPdfFile(entry.Path);
    if (tiff || pdf) {
      const std::string target = ReplaceExtension(OutputBase(entry, run.SaveFolder), tiff ? ".pdf" : ".tif");
      OneOutput(run, target, [&] {
        TPageSource source(entry.Path);
        progress.Maximum += source.Count() - 1;
        const auto getPage = [&](int index) -> TOutputPage& {
          if (index > 0) progress.Step();
          TOutputPage& page = source.LoadFor(index, target, OwnCompression);
          if (pdf) page.SourceCompression = -1;
          return page;
        };
        if (tiff)
          WritePages(target, source.Count(), OwnCompression, getPage);
        else
          WriteTiffPages(target, source.Count(), true, getPage);
      });
    }
    progress.Step();
  }
}
