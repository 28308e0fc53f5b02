// Merge, split and TIFF <-> PDF conversion of lists of files, shared by the
// document-tool windows and pagemend. Every output goes through a temporary
// file beside it that replaces the target only when the output is complete
// (pages appended to an existing TIFF are appended to a copy of it), so a
// failure or a stop leaves every existing file as it was.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// One file of the list, with the folder it was opened from and the way it
// was opened (1 files, 2 a folder: see OutputFileName).
struct TToolEntry {
  std::string Path;
  std::string OpenFolder;
  int OpenMode = 2;
};

// A failure that names the file it concerns (a source or an output).
class EToolFileError : public std::runtime_error {
 public:
  EToolFileError(std::string file, const std::string& message)
      : std::runtime_error(file + ": " + message), File(std::move(file)), Reason(message) {}
  std::string File;
  std::string Reason;
};

// The run was stopped by its caller at a page boundary.
class EToolStopped : public std::runtime_error {
 public:
  EToolStopped() : std::runtime_error("stopped") {}
};

// How a run reports and is steered.
struct TToolRun {
  // The save folder; empty (or missing) writes beside the sources.
  std::string SaveFolder;
  // Position and maximum after every page and file; false stops the run
  // (EToolStopped) at that boundary.
  std::function<bool(int position, int maximum)> Progress;
  // The output being written, when work on it starts.
  std::function<void(const std::string& output)> Showing;
  // A file failed; true goes on with the next output, false (or no
  // handler) ends the run by throwing the error.
  std::function<bool(const EToolFileError& error)> Failed;
  // Every output completed, in order.
  std::vector<std::string> Written;
};

// The folder part of a path: up to and including the last separator.
std::string FolderPart(const std::string& path);
// The merge output's name part for a folder: the folder without its
// trailing separator, every separator replaced by "_" ("/scan/2023/" gives
// "_scan_2023").
std::string FolderTag(const std::string& folder);
// Maximal runs of consecutive entries of one folder (indexes into entries).
std::vector<std::vector<int>> GroupsByFolder(const std::vector<TToolEntry>& entries);
// Where an entry's output goes: the save folder with the entry's path below
// its open folder, else the entry itself.
std::string OutputBase(const TToolEntry& entry, const std::string& saveFolder);

// All pages of each group into outputLocation + tag + ".pdf" / ".tif"
// (outputLocation empty: the group's open folder). PDF outputs are written
// anew; TIFF outputs receive the pages after those already there.
void MergeFiles(const std::vector<TToolEntry>& entries, bool toPdf, const std::string& outputLocation, TToolRun& run);
// Every page of every TIFF and PDF file into base + "_00001.tif" and so on.
void SplitFiles(const std::vector<TToolEntry>& entries, TToolRun& run);
// Every TIFF file into a PDF and every PDF file into (the end of) a TIFF.
void ConvertFiles(const std::vector<TToolEntry>& entries, TToolRun& run);
