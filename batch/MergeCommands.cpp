// pagemend merge, split, convert and join: the document tools of the
// desktop program on files and folders named on the command line, with the
// same output names (a folder given, or a file's own folder, is the open
// folder; --out is the save folder).
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "batch/Progress.h"
#include "batch/ToolCommand.h"
#include "pagework/FileTypes.h"
#include "pagework/PageWriter.h"
#include "tools/work/DocumentFiles.h"
#include "tools/work/JoinPages.h"
#include "utils/Utils.h"

namespace {

constexpr int ExitOk = 0, ExitFailures = 1, ExitUsage = 2;

struct TCommandLine {
  std::vector<std::string> Inputs;
  std::string Out;
  std::string Type = "pdf";
  std::string Trim;
  bool Help = false;
  std::string Error;
};

// Options known to the command: "--out", and the extra one it takes.
TCommandLine Parse(const std::vector<std::string>& args, const std::vector<std::string>& options) {
  TCommandLine line;
  const auto takes = [&](const std::string& name) {
    return name == "--out" || std::find(options.begin(), options.end(), name) != options.end();
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      line.Help = true;
    } else if (a.rfind("--", 0) == 0 && a.size() > 2) {
      std::string name = a, value;
      const std::size_t eq = a.find('=');
      if (eq != std::string::npos) {
        name = a.substr(0, eq);
        value = a.substr(eq + 1);
      }
      if (!takes(name)) {
        line.Error = "unknown option " + name;
        return line;
      }
      if (eq == std::string::npos) {
        if (i + 1 >= args.size()) {
          line.Error = name + " needs a value";
          return line;
        }
        value = args[++i];
      }
      if (name == "--out") line.Out = value;
      if (name == "--type") line.Type = value;
      if (name == "--trim") line.Trim = value;
    } else {
      line.Inputs.push_back(a);
    }
  }
  return line;
}

int Usage(const char* usage, const std::string& error) {
  std::fprintf(stderr, "pagemend: %s\nUsage: %s\n", error.c_str(), usage);
  return ExitUsage;
}

void Failure(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "pagemend: %s: %s\n", file.c_str(), reason.c_str());
  std::fflush(stderr);
}

// The entries of the inputs; unusable inputs are reported and counted.
std::vector<TToolEntry> Entries(const std::vector<std::string>& inputs, int& failures) {
  std::vector<TToolEntry> entries;
  for (const std::string& input : inputs) {
    const QFileInfo info(QString::fromStdString(input));
    if (info.isDir()) {
      const QString folder = WithTrailingSeparator(info.absoluteFilePath());
      for (const QString& file : FindImageFiles(folder))
        entries.push_back(TToolEntry{file.toStdString(), folder.toStdString(), 2});
    } else if (info.isFile()) {
      if (!IsImageFile(input)) {
        Failure(input, "not a TIFF, PDF or JPEG file");
        ++failures;
        continue;
      }
      entries.push_back(TToolEntry{info.absoluteFilePath().toStdString(),
                                   WithTrailingSeparator(info.absolutePath()).toStdString(), 1});
    } else {
      Failure(input, "no such file or folder");
      ++failures;
    }
  }
  return entries;
}

// Runs one tool over the inputs with pagemend's progress and error lines.
int RunTool(const char* usage, const TCommandLine& line, bool needsOut,
            const std::function<void(const std::vector<TToolEntry>&, TToolRun&)>& work) {
  if (!line.Error.empty()) return Usage(usage, line.Error);
  if (line.Inputs.empty()) return Usage(usage, "no files or folders given");
  if (needsOut && line.Out.empty()) return Usage(usage, "--out DIR is required");
  std::string out;
  if (!line.Out.empty()) {
    const QFileInfo info(QString::fromStdString(line.Out));
    if (!info.isDir()) return Usage(usage, "--out " + line.Out + ": no such folder");
    out = info.absoluteFilePath().toStdString();
  }
  int failures = 0;
  const std::vector<TToolEntry> entries = Entries(line.Inputs, failures);
  TProgress progress(::isatty(STDERR_FILENO) ? TProgress::Mode::Bar : TProgress::Mode::Lines,
                     static_cast<int>(entries.size()));
  TToolRun run;
  run.SaveFolder = out;
  int lastPosition = 0;
  std::string showing;
  std::size_t written = 0;
  const auto outputDone = [&] {
    for (; written < run.Written.size(); ++written) {
      int pages = 0;
      try {
        pages = CountPages(run.Written[written]);
      } catch (const std::exception&) {
      }
      progress.FileDone(run.Written[written], pages, true);
    }
  };
  run.Showing = [&](const std::string& output) {
    outputDone();
    showing = output;
  };
  run.Progress = [&](int position, int) {
    outputDone();
    for (; lastPosition < position; ++lastPosition) progress.PageDone();
    return true;
  };
  run.Failed = [&](const EToolFileError& error) {
    Failure(error.File, error.Reason);
    ++failures;
    return true;
  };
  try {
    work(entries, run);
  } catch (const std::exception& e) {
    Failure(showing.empty() ? "pagemend" : showing, e.what());
    ++failures;
  }
  outputDone();
  progress.Finish();
  return failures == 0 ? ExitOk : ExitFailures;
}

int Help(const char* usage, const char* text) {
  std::printf("Usage: %s\n\n%s", usage, text);
  return ExitOk;
}

const char* const MergeUsage = "pagemend merge   [--type pdf|tif] [--out DIR] FILE|FOLDER...";
const char* const SplitUsage = "pagemend split   [--out DIR] FILE|FOLDER...";
const char* const ConvertUsage = "pagemend convert [--out DIR] FILE|FOLDER...";
const char* const JoinUsage = "pagemend join    [--trim LEFT,RIGHT] --out DIR FILE|FOLDER...";

int Merge(const std::vector<std::string>& args) {
  const TCommandLine line = Parse(args, {"--type"});
  if (line.Help)
    return Help(MergeUsage,
                "Merges all pages of the files of each folder into one file named after the folder\n"
                "(/scan/2023/ gives _scan_2023.pdf) in DIR, or in the folder given or the files' own folder.\n"
                "A PDF is written anew; a TIFF receives the pages after those it holds.\n");
  if (line.Type != "pdf" && line.Type != "tif") return Usage(MergeUsage, "--type must be pdf or tif");
  return RunTool(MergeUsage, line, false, [&](const std::vector<TToolEntry>& entries, TToolRun& run) {
    const std::string location = run.SaveFolder;
    MergeFiles(entries, line.Type == "pdf", location, run);
  });
}

int Split(const std::vector<std::string>& args) {
  const TCommandLine line = Parse(args, {});
  if (line.Help)
    return Help(SplitUsage,
                "Writes every page of every TIFF and PDF file into a file of its own: a.tif gives\n"
                "a_00001.tif, a_00002.tif, ... beside it, or under DIR with the path below the folder given.\n");
  return RunTool(SplitUsage, line, false, SplitFiles);
}

int Convert(const std::vector<std::string>& args) {
  const TCommandLine line = Parse(args, {});
  if (line.Help)
    return Help(ConvertUsage,
                "Converts every TIFF file into a PDF file and every PDF file into a TIFF file of the same\n"
                "name; an existing TIFF receives the pages after those it holds.\n");
  return RunTool(ConvertUsage, line, false, ConvertFiles);
}

int Join(const std::vector<std::string>& args) {
  const TCommandLine line = Parse(args, {"--trim"});
  if (line.Help)
    return Help(JoinUsage,
                "Joins the images of each folder two by two side by side (the pages of a multi-page file\n"
                "among themselves), cutting LEFT columns off the left image's right edge and RIGHT columns\n"
                "off the right image's left edge. Each page is named after its right-hand file, under DIR.\n");
  int left = 0, right = 0;
  if (!line.Trim.empty()) {
    const std::size_t comma = line.Trim.find(',');
    if (comma == std::string::npos) return Usage(JoinUsage, "--trim takes LEFT,RIGHT");
    left = ParseTrim(line.Trim.substr(0, comma));
    right = ParseTrim(line.Trim.substr(comma + 1));
  }
  return RunTool(JoinUsage, line, true,
                 [&](const std::vector<TToolEntry>& entries, TToolRun& run) { JoinFiles(entries, left, right, run); });
}

const TToolCommand MergeCommand("merge", MergeUsage, Merge);
const TToolCommand SplitCommand("split", SplitUsage, Split);
const TToolCommand ConvertCommand("convert", ConvertUsage, Convert);
const TToolCommand JoinCommand("join", JoinUsage, Join);

}  // namespace
