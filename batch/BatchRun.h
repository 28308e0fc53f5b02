// One batch run: a list of files, each corrected page by page by a pool of
// workers and written back in page order through a safe replacement.
//
// Pages are handed out in file order, page order; at most a small window
// of pages per worker is in memory between reading and writing, whatever
// the size of a file. One thread (the caller's) writes the files one after
// another and, while it waits for a page, corrects pages itself, so -j N
// keeps exactly N threads busy and -j 1 runs everything on one thread.
// Each page's result depends only on the page and the settings, and pages
// are written in order, so the files written do not depend on N.
#pragma once

#include <string>
#include <vector>

#include "batch/Steps.h"
#include "utils/Utils.h"

struct TBatchFile {
  std::string Source;
  std::string Output;       // where the result goes (may equal Source)
  std::string PresetError;  // a failure known before the run (missing file, ...)
};

struct TBatchConfig {
  TSettingsRecord Settings;
  std::vector<TRect> FixedAreas;
  std::vector<TStep> Steps;
  int Jobs = 1;
  bool Quiet = false;
  bool Verbose = false;
  // Pages whose share of dark pixels (RunDarkShare, percent) is at most
  // this are left out of the files written; below 0 every page is kept.
  // A file of only such pages is not written at all.
  double DropBlankPercent = -1.0;
  double MinConfidence = 0.0;  // see TStepContext
};

struct TBatchSummary {
  int Files = 0;
  int Pages = 0;
  int Failures = 0;
  int BlankFiles = 0;  // files not written because every page was blank
  double Seconds = 0;
  bool Interrupted = false;  // stopped by a signal; files after it were not done
};

// Runs the batch; failures are reported on stderr as they happen and do not
// stop the other files.
TBatchSummary RunBatch(const std::vector<TBatchFile>& files, const TBatchConfig& config);
