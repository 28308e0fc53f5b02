// pagemend over a batch of real A4 300 dpi 1-bit pages (Group 4 in, Group 4
// out), beside the bare Group 4 decode + encode of a page and, when it is
// installed, unpaper with its comparable filters (deskew, noise filter,
// border) on the same pages.
//
// Figures: pages_per_s (wall clock of the whole run) and cpu_ms_per_page
// (user + system time of the child processes), so a busy machine can still
// be compared. The pagemend program is taken from the build tree
// (<build>/app/pagemend beside <build>/bench/).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/GraphicRegistry.h"
#include "image/Stream.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int BatchPages = 50;
constexpr int UnpaperPages = 4;  // about 3 s each: a few pages give its rate

const std::string SharedDir = VELTRAX_SHARED_DIR;

std::string PagemendPath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return (self.parent_path().parent_path() / "app" / "pagemend").string();
}

// 50 single-page files: the straight and the skewed, speckled reference page
// in turn.
struct TBatch {
  fs::path Root;
  fs::path In;
  std::vector<std::string> Files;
  TBatch() {
    std::string templ = (fs::temp_directory_path() / "pagemend-bench-XXXXXX").string();
    if (!mkdtemp(templ.data())) std::abort();
    Root = templ;
    In = Root / "in";
    fs::create_directories(In);
    const std::string pages[] = {SharedDir + "/testdata/bench/a4-feyn.tif",
                                 SharedDir + "/testdata/bench/a4-feyn-skew.tif"};
    for (int i = 0; i < BatchPages; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "p%02d.tif", i);
      fs::copy_file(pages[i % 2], In / name, fs::copy_options::overwrite_existing);
      Files.push_back((In / name).string());
    }
  }
  ~TBatch() {
    std::error_code ec;
    fs::remove_all(Root, ec);
  }
};

TBatch& Batch() {
  static TBatch batch;
  return batch;
}

double ChildCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// Runs a program with its output thrown away; false when it cannot start or
// does not end with status 0.
bool RunQuietly(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Report(benchmark::State& state, int pages, double wall, double cpu) {
  state.counters["pages_per_s"] = benchmark::Counter(pages / wall);
  state.counters["cpu_ms_per_page"] = benchmark::Counter(cpu * 1000.0 / pages);
  state.counters["wall_ms_per_page"] = benchmark::Counter(wall * 1000.0 / pages);
}

void BM_Pagemend(benchmark::State& state) {
  TBatch& batch = Batch();
  const std::string jobs = std::to_string(state.range(0));
  const std::string steps = state.range(1) ? "deskew,specks,borders" : "none";
  const std::string out = (batch.Root / ("out-" + jobs + steps)).string();
  double wall = 0, cpu = 0;
  int pages = 0;
  for (auto _ : state) {
    const double cpu0 = ChildCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    if (!RunQuietly({PagemendPath(), "--quiet", "--steps", steps, "-j", jobs, "--out", out, batch.In.string()})) {
      state.SkipWithError("pagemend failed");
      return;
    }
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    cpu += ChildCpuSeconds() - cpu0;
    pages += BatchPages;
  }
  Report(state, pages, wall, cpu);
}
// (jobs, chain: 1 = deskew,specks,borders, 0 = read and write only)
BENCHMARK(BM_Pagemend)
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({1, 0})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The bare file work of one page through our TIFF reader and writer.
void BM_G4DecodeEncode(benchmark::State& state) {
  const std::string file = SharedDir + "/testdata/bench/a4-feyn-skew.tif";
  for (auto _ : state) {
    auto page = CreateGraphicForFile(file);
    page->LoadFromFile(file);
    TMemoryStream out;
    page->SaveToStream(out);
    benchmark::DoNotOptimize(out.Size());
  }
}
BENCHMARK(BM_G4DecodeEncode)->Unit(benchmark::kMillisecond);

// libtiff's own Group 4 decode and encode of the page, the reference cost
// of the file work.
void BM_G4DecodeEncodeLibtiff(benchmark::State& state) {
  const std::string file = SharedDir + "/testdata/bench/a4-feyn-skew.tif";
  const std::string out = (Batch().Root / "libtiff-out.tif").string();
  for (auto _ : state) {
    TIFF* in = TIFFOpen(file.c_str(), "r");
    TIFF* o = TIFFOpen(out.c_str(), "w");
    std::uint32_t w = 0, h = 0;
    TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &h);
    TIFFSetField(o, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(o, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(o, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(o, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(o, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(o, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(o, TIFFTAG_ROWSPERSTRIP, h);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(in)));
    for (std::uint32_t y = 0; y < h; ++y) {
      TIFFReadScanline(in, row.data(), y, 0);
      TIFFWriteScanline(o, row.data(), y, 0);
    }
    TIFFClose(o);
    TIFFClose(in);
  }
}
BENCHMARK(BM_G4DecodeEncodeLibtiff)->Unit(benchmark::kMillisecond);

// The whole deskew of one page as a process: read the Group 4 page,
// measure, rotate back keeping the size, write Group 4; beside unpaper
// doing only its deskew (nearest-neighbour) on the same page.
constexpr int DeskewRuns = 20;

void TimeProcesses(benchmark::State& state, const std::vector<std::string>& args, int runs) {
  double wall = 0, cpu = 0;
  int count = 0;
  for (auto _ : state) {
    for (int i = 0; i < runs; ++i) {
      const double cpu0 = ChildCpuSeconds();
      const auto t0 = std::chrono::steady_clock::now();
      if (!RunQuietly(args)) {
        state.SkipWithError((args[0] + " failed").c_str());
        return;
      }
      wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      cpu += ChildCpuSeconds() - cpu0;
      ++count;
    }
  }
  state.counters["wall_ms_per_run"] = benchmark::Counter(wall * 1000.0 / count);
  state.counters["cpu_ms_per_run"] = benchmark::Counter(cpu * 1000.0 / count);
}

void BM_DeskewProcessPagemend(benchmark::State& state) {
  const std::string out = (Batch().Root / "deskew-one").string();
  TimeProcesses(state,
                {PagemendPath(), "--quiet", "--steps", "deskew", "-j", std::to_string(state.range(0)), "--out", out,
                 SharedDir + "/testdata/bench/a4-feyn-skew.tif"},
                DeskewRuns);
}
BENCHMARK(BM_DeskewProcessPagemend)
    ->ArgNames({"j"})
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DeskewProcessUnpaper(benchmark::State& state) {
  if (!RunQuietly({"unpaper", "--version"})) {
    state.SkipWithError("unpaper is not installed");
    return;
  }
  TimeProcesses(state,
                {"unpaper", "--overwrite", "--no-blackfilter", "--no-blurfilter", "--no-grayfilter", "--no-noisefilter",
                 "--no-mask-scan", "--no-mask-center", "--no-border-scan", "--no-border-align", "--interpolate",
                 "nearest", SharedDir + "/testdata/bench/a4-feyn-skew.tif", (Batch().Root / "deskew-one.pbm").string()},
                4);
}
BENCHMARK(BM_DeskewProcessUnpaper)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Unpaper(benchmark::State& state) {
  if (!RunQuietly({"unpaper", "--version"})) {
    state.SkipWithError("unpaper is not installed");
    return;
  }
  TBatch& batch = Batch();
  double wall = 0, cpu = 0;
  int pages = 0;
  for (auto _ : state) {
    for (int i = 0; i < UnpaperPages; ++i) {
      const std::string out = (batch.Root / ("unpaper-" + std::to_string(i) + ".pbm")).string();
      const double cpu0 = ChildCpuSeconds();
      const auto t0 = std::chrono::steady_clock::now();
      // Deskew, noise filter and border scan; the other filters off.
      if (!RunQuietly({"unpaper", "--overwrite", "--no-blackfilter", "--no-blurfilter", "--no-grayfilter",
                       "--no-mask-scan", "--no-mask-center", batch.Files[static_cast<std::size_t>(i)], out})) {
        state.SkipWithError("unpaper failed");
        return;
      }
      wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      cpu += ChildCpuSeconds() - cpu0;
      ++pages;
    }
  }
  Report(state, pages, wall, cpu);
}
BENCHMARK(BM_Unpaper)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
