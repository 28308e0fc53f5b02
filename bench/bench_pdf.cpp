// PDF writing and reading on the reference A4 page (2480 x 3508, 300 dpi,
// 1 bit):
//  - a 100-page document with SavePagesToPdfFile, beside img2pdf making the
//    same document from the same Group 4 pages (a 100-page TIFF), when the
//    img2pdf program is installed;
//  - page 50 of that document read into a fresh TPdfGraphic, beside the
//    Group 4 decode of the page alone.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "image/PdfGraphic.h"
#include "image/TiffGraphic.h"

namespace {

namespace fs = std::filesystem;

const std::string kPage = std::string(VELTRAX_SHARED_DIR) + "/testdata/bench/a4-feyn.tif";
constexpr int kPages = 100;

std::string WorkDir() {
  static const std::string dir = [] {
    fs::path p = fs::temp_directory_path() / ("veltrax-bench-pdf-" + std::to_string(getpid()));
    fs::create_directories(p);
    return p.string();
  }();
  return dir;
}

TTiffGraphic& Page() {
  static TTiffGraphic page;
  if (page.Empty()) page.LoadFromFile(kPage);
  return page;
}

// The 100-page document, written once.
const std::string& Document() {
  static const std::string path = [] {
    const std::string p = WorkDir() + "/doc.pdf";
    TDibGraphic work;
    TPdfGraphic writer;
    writer.SavePagesToPdfFile(work, p, kPages, [](int) { return static_cast<TDibGraphic*>(&Page()); });
    return p;
  }();
  return path;
}

void BM_SavePagesToPdfFile100(benchmark::State& state) {
  const std::string path = WorkDir() + "/ours.pdf";
  TDibGraphic work;
  for (auto _ : state) {
    TPdfGraphic writer;
    writer.SavePagesToPdfFile(work, path, kPages, [](int) { return static_cast<TDibGraphic*>(&Page()); });
  }
  state.counters["bytes"] = static_cast<double>(fs::file_size(path));
}
BENCHMARK(BM_SavePagesToPdfFile100)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Img2pdf100(benchmark::State& state) {
  if (std::system("command -v img2pdf > /dev/null 2>&1") != 0) {
    state.SkipWithError("img2pdf is not installed");
    return;
  }
  // The same page 100 times as one Group 4 TIFF.
  const std::string tiff = WorkDir() + "/pages.tif";
  if (!fs::exists(tiff)) {
    Page().SaveToFile(tiff);
    for (int i = 1; i < kPages; ++i) Page().AppendToFile(tiff);
  }
  const std::string command = "img2pdf --engine internal -o '" + WorkDir() + "/img2pdf.pdf' '" + tiff + "'";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("img2pdf failed");
  state.counters["bytes"] = static_cast<double>(fs::file_size(WorkDir() + "/img2pdf.pdf"));
}
BENCHMARK(BM_Img2pdf100)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ReadPage50(benchmark::State& state) {
  const std::string& path = Document();
  for (auto _ : state) {
    TPdfGraphic page;
    TFileStream file(path, TFileMode::fmOpenRead);
    page.LoadImageFromStream(file, 50);
    benchmark::DoNotOptimize(page.Bits());
  }
}
BENCHMARK(BM_ReadPage50)->Unit(benchmark::kMillisecond);

// Parsing and locating page 50 alone, without decoding its image.
void BM_LocatePage50(benchmark::State& state) {
  const std::string& path = Document();
  for (auto _ : state) {
    TPDFParser parser;
    TFileStream file(path, TFileMode::fmOpenRead);
    parser.Parse(file);
    benchmark::DoNotOptimize(parser.Page(49));
  }
}
BENCHMARK(BM_LocatePage50)->Unit(benchmark::kMillisecond);

// The Group 4 decode of the page on its own, for comparison.
void BM_Group4DecodeOnly(benchmark::State& state) {
  for (auto _ : state) {
    TTiffGraphic page;
    page.LoadFromFile(kPage);
    benchmark::DoNotOptimize(page.Bits());
  }
}
BENCHMARK(BM_Group4DecodeOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
