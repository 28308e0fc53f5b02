// Merge, split, conversion and joining on 100 real A4 300 dpi Group 4
// pages, beside the programs operators run for these jobs today (run as
// whole processes; skipped with a message when a program is missing).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/work/DocumentFiles.h"
#include "tools/work/JoinPages.h"
#include "tools/work/PageSource.h"

namespace fs = std::filesystem;

namespace {

const std::string Page = VELTRAX_SHARED_DIR "/testdata/tiff/real-fax-form-g4-300dpi.tif";

// The 100 single-page files, a 100-page TIFF and a 100-page PDF.
struct TBenchFiles {
  std::string Dir;
  std::vector<TToolEntry> Singles;
  TToolEntry MultiTiff, MultiPdf, PlainTiff;
  TBenchFiles() {
    Dir = (fs::temp_directory_path() / "veltrax-bench-tools").string();
    fs::remove_all(Dir);
    fs::create_directories(Dir + "/in");
    fs::create_directories(Dir + "/m");
    fs::create_directories(Dir + "/out");
    for (int i = 0; i < 100; ++i) {
      const std::string name = Dir + "/in/p" + std::to_string(1000 + i) + ".tif";
      fs::copy_file(Page, name);
      Singles.push_back(TToolEntry{name, Dir + "/in/", 2});
    }
    TToolRun run;
    MergeFiles(Singles, false, Dir + "/m", run);
    MergeFiles(Singles, true, Dir + "/m", run);
    fs::rename(run.Written[0], Dir + "/m/m.tif");
    fs::rename(run.Written[1], Dir + "/m/d.pdf");
    MultiTiff = TToolEntry{Dir + "/m/m.tif", Dir + "/m/", 2};
    MultiPdf = TToolEntry{Dir + "/m/d.pdf", Dir + "/m/", 2};
    // The reference page's coding has empty runs, which PDF viewers lose:
    // into a PDF it is always coded again. The same pages coded plainly
    // (as most scanners and this program code them) go in as they are.
    TPageSource page(Page);
    const TDibGraphic& decoded = *page.Load(0).Page();
    TOutputPage out;
    WriteTiffPages(Dir + "/m/plain.tif", 100, false, [&](int) -> TOutputPage& {
      out.Borrowed = &decoded;
      return out;
    });
    PlainTiff = TToolEntry{Dir + "/m/plain.tif", Dir + "/m/", 2};
  }
  void ClearOut() {
    fs::remove_all(Dir + "/out");
    fs::create_directories(Dir + "/out");
  }
};

TBenchFiles& Files() {
  static TBenchFiles files;
  return files;
}

template <typename Work>
void Timed(benchmark::State& state, Work work) {
  TBenchFiles& files = Files();
  for (auto _ : state) {
    state.PauseTiming();
    files.ClearOut();
    state.ResumeTiming();
    TToolRun run;
    run.SaveFolder = files.Dir + "/out";
    work(files, run);
  }
}

void BM_MergeToTiff(benchmark::State& state) {
  Timed(state, [](TBenchFiles& f, TToolRun& run) { MergeFiles(f.Singles, false, run.SaveFolder, run); });
}
void BM_MergeToPdf(benchmark::State& state) {
  Timed(state, [](TBenchFiles& f, TToolRun& run) { MergeFiles(f.Singles, true, run.SaveFolder, run); });
}
void BM_TiffToPdf(benchmark::State& state) {
  Timed(state, [](TBenchFiles& f, TToolRun& run) { ConvertFiles({f.MultiTiff}, run); });
}
void BM_PlainTiffToPdf(benchmark::State& state) {
  Timed(state, [](TBenchFiles& f, TToolRun& run) { ConvertFiles({f.PlainTiff}, run); });
}
void BM_PdfToTiff(benchmark::State& state) {
  Timed(state, [](TBenchFiles& f, TToolRun& run) { ConvertFiles({f.MultiPdf}, run); });
}
void BM_SplitTiff(benchmark::State& state) {
  Timed(state, [](TBenchFiles& f, TToolRun& run) { SplitFiles({f.MultiTiff}, run); });
}
void BM_SplitPdf(benchmark::State& state) {
  Timed(state, [](TBenchFiles& f, TToolRun& run) { SplitFiles({f.MultiPdf}, run); });
}
void BM_JoinPair(benchmark::State& state) {
  Timed(state, [](TBenchFiles& f, TToolRun& run) { JoinFiles({f.Singles[0], f.Singles[1]}, 10, 20, run); });
}

// Another program's run of the same job, as a whole process.
void External(benchmark::State& state, const char* program, const std::string& command) {
  if (std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) != 0) {
    state.SkipWithError((std::string(program) + " is not installed").c_str());
    return;
  }
  TBenchFiles& files = Files();
  for (auto _ : state) {
    state.PauseTiming();
    files.ClearOut();
    state.ResumeTiming();
    if (std::system(("cd '" + files.Dir + "' && " + command + " >/dev/null 2>&1").c_str()) != 0)
      state.SkipWithError(("failed: " + command).c_str());
  }
}

// The same jobs by pagemend, as whole processes.
// pagemend of this build (<build>/app beside <build>/bench); empty, with
// the benchmark skipped, when it is not built.
std::string PagemendProgram(benchmark::State& state) {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  const std::string program = (self.parent_path().parent_path() / "app" / "pagemend").string();
  if (fs::exists(program)) return program;
  state.SkipWithError("pagemend is not built");
  return {};
}

void Pagemend(benchmark::State& state, const std::string& arguments) {
  const std::string program = PagemendProgram(state);
  if (program.empty()) return;
  TBenchFiles& files = Files();
  for (auto _ : state) {
    state.PauseTiming();
    files.ClearOut();
    state.ResumeTiming();
    if (std::system(("cd '" + files.Dir + "' && '" + program + "' " + arguments + " >/dev/null 2>&1").c_str()) != 0)
      state.SkipWithError(("failed: pagemend " + arguments).c_str());
  }
}

// pagemend merging 1000 single-page files into one file, as a whole
// process; the counter is its peak memory (resident set, MB).
void Pagemend1000(benchmark::State& state, const std::string& type) {
  const std::string program = PagemendProgram(state);
  if (program.empty()) return;
  TBenchFiles& files = Files();
  const std::string in = files.Dir + "/in1000";
  if (!fs::exists(in)) {
    fs::create_directories(in);
    for (int i = 0; i < 1000; ++i) fs::copy_file(Page, in + "/p" + std::to_string(10000 + i) + ".tif");
  }
  long peakKb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    files.ClearOut();
    state.ResumeTiming();
    const pid_t child = fork();
    if (child == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execl(program.c_str(), "pagemend", "merge", "--type", type.c_str(), "--out", (files.Dir + "/out").c_str(),
            in.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("pagemend merge failed");
      return;
    }
    peakKb = std::max(peakKb, usage.ru_maxrss);
  }
  state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024.0;
}

}  // namespace

BENCHMARK(BM_MergeToTiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeToPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffToPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainTiffToPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PdfToTiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitTiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JoinPair)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pagemend, merge_tif, "merge --type tif --out out in")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pagemend, merge_pdf, "merge --type pdf --out out in")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pagemend, convert_tif, "convert --out out m/m.tif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pagemend, convert_plain_tif, "convert --out out m/plain.tif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pagemend, convert_pdf, "convert --out out m/d.pdf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pagemend, split_tif, "split --out out m/m.tif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pagemend, split_pdf, "split --out out m/d.pdf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pagemend, join, "join --trim 10,20 --out out in/p1000.tif in/p1001.tif")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pagemend1000, merge_1000_tif, "tif")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Pagemend1000, merge_1000_pdf, "pdf")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(External, tiffcp_merge, "tiffcp", "tiffcp in/*.tif out/x.tif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(External, img2pdf_merge, "img2pdf", "img2pdf -o out/x.pdf in/*.tif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(External, tiff2pdf, "tiff2pdf", "tiff2pdf -o out/x.pdf m/m.tif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(External, pdfimages_tiffcp, "pdfimages",
                  "pdfimages -tiff m/d.pdf out/p && tiffcp -c g4 out/p-*.tif out/x.tif")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(External, tiffsplit, "tiffsplit", "tiffsplit m/m.tif out/s")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(External, qpdf_split, "qpdf", "qpdf --split-pages m/d.pdf out/s.pdf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(External, convert_append, "convert", "convert in/p1000.tif in/p1001.tif +append out/j.tif")
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
