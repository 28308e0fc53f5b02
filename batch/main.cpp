// pagemend: the batch correction program. Corrects every page of the files
// and folders given (or of the list the desktop program hands over) with a
// chain of correction steps and writes the results safely.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "batch/BatchRun.h"
#include "batch/Steps.h"
#include "batch/ToolCommand.h"
#include "image/GraphicRegistry.h"
#include "pagework/PageWriter.h"
#include "utils/HandOff.h"
#include "utils/Utils.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailures = 1;
constexpr int ExitUsage = 2;

const char* const DefaultSteps = "deskew,specks,borders,centre";

void PrintHelp() {
  std::printf(
      "Usage: pagemend [OPTION]... FILE|FOLDER...\n"
      "Corrects every page of the given TIFF, PDF and JPEG files, and of those found\n"
      "in the given folders and their sub-folders, and writes the corrected files.\n"
      "\n"
      "  --steps LIST        correction steps, comma-separated, run in this order:\n"
      "                      deskew, specks, centre, borders, enlarge, reduce, paper,\n"
      "                      darken, lighten, fit; 'none' only reads and writes again\n"
      "                      (default: %s)\n"
      "  --set NAME=VALUE    overrides one value of the stored settings, e.g.\n"
      "                      --set W=12 --set D=200 (names as stored, case-sensitive)\n"
      "  --out DIR           writes the results under DIR, keeping the sub-folder path\n"
      "                      below each given folder; without it the results replace\n"
      "                      the sources (through a temporary file, renamed when complete)\n"
      "  --fine-deskew       refines each deskew angle to hundredths of a degree after\n"
      "                      the search (as the stored value DF=1 does)\n"
      "  --min-confidence X  leaves a page unrotated when the confidence of its skew\n"
      "                      angle (shown by --verbose) is below X; text pages score\n"
      "                      high, pictures and noise near 1 (default: no limit)\n"
      "  --drop-blank[=PERCENT]\n"
      "                      leaves out of the files written the pages whose dark\n"
      "                      pixels, after speck removal (W, H) and inside the margins\n"
      "                      (P1..P4), are at most PERCENT of the area (default 0.05);\n"
      "                      a file of only blank pages is not written and is named\n"
      "  -j, --jobs N        worker threads (default: the number of cores)\n"
      "  --shard K/N         takes only the K-th of N shares of the input files\n"
      "                      (for splitting one batch over several machines)\n"
      "  -q, --quiet         no progress and no summary\n"
      "  -v, --verbose       one line per page and step on stderr:\n"
      "                      file, page, step, what the step measured or did\n"
      "  -h, --help          shows this help\n"
      "\n"
      "Parameters come from the settings the desktop program stores. TIFF results use\n"
      "the stored save compression (F), JPEG results the stored quality (jQ).\n"
      "\n"
      "Exit status: 0 all files corrected, 1 some files failed (each named on stderr),\n"
      "2 bad usage, 130 interrupted (the file being written is left as it was).\n",
      DefaultSteps);
  const std::vector<const TToolCommand*> tools = ToolCommands();
  if (tools.empty()) return;
  std::printf("\nOther commands (each takes --help):\n");
  for (const TToolCommand* tool : tools) std::printf("  %s\n", tool->Usage);
}

[[noreturn]] void UsageError(const std::string& text) {
  std::fprintf(stderr, "pagemend: %s\nTry 'pagemend --help' for more information.\n", text.c_str());
  std::exit(ExitUsage);
}

struct TOptions {
  std::vector<std::string> Inputs;
  std::string Steps = DefaultSteps;
  std::vector<std::pair<std::string, std::string>> Sets;
  std::string OutDir;
  int Jobs = 0;
  int ShardK = 1;
  int ShardN = 1;
  bool Quiet = false;
  bool Verbose = false;
  bool FineDeskew = false;
  double MinConfidence = 0.0;
  double DropBlankPercent = -1.0;  // below 0: off
};

bool ParseInt(const std::string& text, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

bool ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || errno != 0 || !std::isfinite(v)) return false;
  value = v;
  return true;
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions o;
  bool onlyInputs = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (onlyInputs || arg.empty() || arg[0] != '-' || arg == "-") {
      o.Inputs.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyInputs = true;
      continue;
    }
    // "--name=value" and "--name value"; "-j4" and "-j 4".
    std::string name = arg;
    std::optional<std::string> inlineValue;
    if (arg.rfind("--", 0) == 0) {
      const auto eq = arg.find('=');
      if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        inlineValue = arg.substr(eq + 1);
      }
    } else if (arg.size() > 2 && arg[1] == 'j') {
      name = "-j";
      inlineValue = arg.substr(2);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= argc) UsageError("option '" + name + "' needs a value");
      return argv[++i];
    };
    if (name == "-h" || name == "--help") {
      PrintHelp();
      std::exit(ExitOk);
    } else if (name == "-q" || name == "--quiet") {
      o.Quiet = true;
    } else if (name == "-v" || name == "--verbose") {
      o.Verbose = true;
    } else if (name == "--fine-deskew") {
      if (inlineValue) UsageError("--fine-deskew takes no value");
      o.FineDeskew = true;
    } else if (name == "--min-confidence") {
      const std::string v = value();
      if (!ParseNumber(v, o.MinConfidence) || o.MinConfidence < 0)
        UsageError("the minimum confidence must be a number of at least 0, not '" + v + "'");
    } else if (name == "--drop-blank") {
      // The percentage only as --drop-blank=PERCENT, so that a file name
      // after the option is never taken for it.
      o.DropBlankPercent = 0.05;
      if (inlineValue &&
          (!ParseNumber(*inlineValue, o.DropBlankPercent) || o.DropBlankPercent < 0 || o.DropBlankPercent > 100))
        UsageError("--drop-blank needs a percentage from 0 to 100, not '" + *inlineValue + "'");
    } else if (name == "--steps") {
      o.Steps = value();
    } else if (name == "--set") {
      const std::string v = value();
      const auto eq = v.find('=');
      if (eq == std::string::npos || eq == 0) UsageError("--set needs NAME=VALUE, not '" + v + "'");
      o.Sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else if (name == "--out") {
      o.OutDir = value();
      if (o.OutDir.empty()) UsageError("--out needs a folder");
    } else if (name == "-j" || name == "--jobs") {
      const std::string v = value();
      if (!ParseInt(v, o.Jobs) || o.Jobs < 1)
        UsageError("the number of jobs must be a whole number of at least 1, not '" + v + "'");
    } else if (name == "--shard") {
      const std::string v = value();
      const auto slash = v.find('/');
      if (slash == std::string::npos || !ParseInt(v.substr(0, slash), o.ShardK) ||
          !ParseInt(v.substr(slash + 1), o.ShardN) || o.ShardN < 1 || o.ShardK < 1 || o.ShardK > o.ShardN)
        UsageError("--shard needs K/N with 1 <= K <= N, not '" + v + "'");
    } else {
      UsageError("unknown option '" + arg + "'");
    }
  }
  return o;
}

std::vector<TStep> ParseSteps(const std::string& list) {
  std::vector<TStep> steps;
  if (list == "none") return steps;
  std::size_t start = 0;
  while (start <= list.size()) {
    const auto comma = list.find(',', start);
    const std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const auto step = StepFromName(name);
    if (!step)
      UsageError("unknown step '" + name +
                 "' (steps: deskew, specks, centre, borders, enlarge, reduce, paper, darken, lighten, fit, or none)");
    steps.push_back(*step);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return steps;
}

int DefaultJobs() { return std::max(1u, std::thread::hardware_concurrency()); }

std::string Canonical(const std::string& path) {
  const QString c = QFileInfo(QString::fromStdString(path)).canonicalFilePath();
  return c.isEmpty() ? QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString() : c.toStdString();
}

// Two sources must not end in one output file: the later one would replace
// the earlier result. The later one fails instead.
void MarkOutputClashes(std::vector<TBatchFile>& files) {
  std::map<std::string, std::string> owner;
  for (TBatchFile& f : files) {
    if (!f.PresetError.empty()) continue;
    const std::string key = Canonical(f.Output);
    auto [it, fresh] = owner.emplace(key, f.Source);
    if (!fresh) f.PresetError = "its output " + f.Output + " is also the output of " + it->second;
  }
}

void CheckWritable(TBatchFile& f) {
  std::string reason;
  if (f.PresetError.empty() && !CanWriteFileType(f.Source, &reason)) f.PresetError = reason;
}

// Files given and files found in the folders given, in the order given
// (each folder's files sorted), without repeats.
std::vector<TBatchFile> CollectFiles(const TOptions& o) {
  std::vector<TBatchFile> files;
  std::set<std::string> seen;
  const QString out = o.OutDir.empty() ? QString() : QDir(QString::fromStdString(o.OutDir)).absolutePath();
  // Results of an earlier run in an output folder inside a given folder are
  // not corrected again.
  const QString outCanonical = out.isEmpty() ? QString() : WithTrailingSeparator(QFileInfo(out).canonicalFilePath());
  auto add = [&](const QString& source, const QString& relative) {
    TBatchFile f;
    f.Source = source.toStdString();
    if (!seen.insert(Canonical(f.Source)).second) return;
    f.Output = out.isEmpty() ? f.Source : QDir(out).filePath(relative).toStdString();
    files.push_back(std::move(f));
  };
  for (const std::string& input : o.Inputs) {
    const QString path = QString::fromStdString(input);
    const QFileInfo info(path);
    if (info.isDir()) {
      // Sub-folder paths are taken between absolute paths: with a relative
      // folder argument the found files' relative names would otherwise
      // carry the argument itself below the output folder.
      const QDir base(info.absoluteFilePath());
      for (const QString& file : FindImageFiles(path)) {
        if (outCanonical.size() > 1 && QFileInfo(file).canonicalFilePath().startsWith(outCanonical)) continue;
        add(file, base.relativeFilePath(QFileInfo(file).absoluteFilePath()));
      }
    } else if (info.exists()) {
      add(path, info.fileName());
    } else {
      TBatchFile f;
      f.Source = input;
      f.Output = input;
      f.PresetError = "no such file or folder";
      files.push_back(std::move(f));
    }
  }
  return files;
}

std::vector<TBatchFile> TakeShard(std::vector<TBatchFile> files, int k, int n) {
  if (n <= 1) return files;
  std::vector<TBatchFile> share;
  for (std::size_t i = 0; i < files.size(); ++i)
    if (static_cast<int>(i % static_cast<std::size_t>(n)) == k - 1) share.push_back(std::move(files[i]));
  return share;
}

void PrintSummary(const TBatchSummary& s) {
  const double rate = s.Seconds > 0 ? s.Pages / s.Seconds : 0;
  std::printf("pagemend: %d files, %d pages, %d failed, %.2f s, %.1f pages/s\n", s.Files, s.Pages, s.Failures,
              s.Seconds, rate);
  std::fflush(stdout);
}

TBatchConfig BaseConfig() {
  TBatchConfig config;
  config.Settings = LoadSettings();
  LoadFixedAreas(config.FixedAreas);
  return config;
}

// Started by the desktop program: the list file says what to do, the
// stored settings how; the lock tells the desktop we are running.
int RunHandOff() {
  THandOffLock lock;
  if (!lock.TryLock()) {
    std::fprintf(stderr, "pagemend: another batch correction is already running\n");
    return ExitFailures;
  }
  QString error;
  const auto list = ReadHandOffList(HandOffListFilePath(), &error);
  if (!list) {
    std::fprintf(stderr, "pagemend: %s\n", error.toLocal8Bit().constData());
    return ExitFailures;
  }
  TBatchConfig config = BaseConfig();
  config.Steps = ParseSteps(DefaultSteps);
  config.Jobs = DefaultJobs();
  // A save folder that is named but missing would make every output name
  // fall back to its source; it is created instead, so the sources are not
  // overwritten behind the operator's back.
  QString saveProblem;
  if (!list->SaveFolder.isEmpty() && !QFileInfo(list->SaveFolder).isDir() && !QDir().mkpath(list->SaveFolder))
    saveProblem = "cannot create the save folder " + list->SaveFolder;
  std::vector<TBatchFile> files;
  std::set<std::string> seen;
  for (const QString& source : list->Files) {
    TBatchFile f;
    f.Source = source.toStdString();
    if (!seen.insert(Canonical(f.Source)).second) continue;
    f.Output = OutputFileName(source, list->SaveFolder, list->OpenFolder, list->OpenMode).toStdString();
    if (!QFileInfo::exists(source))
      f.PresetError = "no such file";
    else if (!saveProblem.isEmpty())
      f.PresetError = saveProblem.toStdString();
    CheckWritable(f);
    files.push_back(std::move(f));
  }
  MarkOutputClashes(files);
  const TBatchSummary summary = RunBatch(files, config);
  PrintSummary(summary);
  SendHandOffMessage(list->OpenFolder, list->SaveFolder);
  return summary.Failures == 0 ? ExitOk : ExitFailures;
}

}  // namespace

int main(int argc, char** argv) {
  // Taken before Qt sees them: Qt may take options of its own from the
  // command line, and every argument here is the user's.
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  // Qt Core only, for a quick start: commands that draw text run in a
  // program of their own (see NumberCommand.cpp).
  const QCoreApplication app(argc, argv);
  RegisterStandardFormats();

  if (argc == 2 && std::strcmp(argv[1], HandOffParameter) == 0) return RunHandOff();
  if (!arguments.empty())
    if (const TToolCommand* tool = FindToolCommand(arguments[0]))
      return tool->Run(std::vector<std::string>(arguments.begin() + 1, arguments.end()));

  const TOptions options = ParseOptions(argc, argv);
  if (options.Inputs.empty()) UsageError("no files or folders given");

  TBatchConfig config = BaseConfig();
  for (const auto& [name, value] : options.Sets)
    if (!SetSettingsValue(config.Settings, name, value))
      UsageError("--set " + name + "=" + value + ": unknown setting or not a number");
  config.Settings.ClampMargins();
  if (options.FineDeskew) config.Settings.DF = 1;
  config.MinConfidence = options.MinConfidence;
  config.DropBlankPercent = options.DropBlankPercent;
  config.Steps = ParseSteps(options.Steps);
  config.Jobs = options.Jobs > 0 ? options.Jobs : DefaultJobs();
  config.Quiet = options.Quiet;
  config.Verbose = options.Verbose;

  std::vector<TBatchFile> files = TakeShard(CollectFiles(options), options.ShardK, options.ShardN);
  for (TBatchFile& f : files) CheckWritable(f);
  MarkOutputClashes(files);

  const TBatchSummary summary = RunBatch(files, config);
  if (!options.Quiet) PrintSummary(summary);
  if (summary.Interrupted) return 128 + SIGINT;
  return summary.Failures == 0 ? ExitOk : ExitFailures;
}
