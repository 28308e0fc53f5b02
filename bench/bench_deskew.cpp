// Skew measurement and deskew of the reference A4 pages (level and skewed),
// beside Leptonica's skew search and deskew on the same pages.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "correction/DeskewTransform.h"

#ifdef VELTRAX_HAVE_LEPTONICA
#include <leptonica/allheaders.h>
#endif

namespace {

const char* const kPages[] = {"a4-feyn.tif", "a4-feyn-skew.tif"};

std::string PagePath(int index) {
  return std::string(VELTRAX_SHARED_DIR) + "/testdata/bench/" + kPages[index];
}

// The page read straight through libtiff, ink = bit 0.
const TDibGraphic& Page(int index) {
  static TDibGraphic pages[2];
  TDibGraphic& page = pages[index];
  if (page.Empty()) {
    const std::string path = PagePath(index);
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) throw std::runtime_error("cannot open " + path);
    uint32_t w = 0, h = 0;
    uint16_t photometric = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    page.NewImage(static_cast<int>(w), static_cast<int>(h), ifBlackWhite, nullptr, 300, 300);
    std::vector<uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tif)));
    for (uint32_t y = 0; y < h; ++y) {
      TIFFReadScanline(tif, line.data(), y);
      uint8_t* row = page.ScanLine(static_cast<int>(y));
      for (std::size_t i = 0; i < line.size(); ++i)
        row[i] = photometric == PHOTOMETRIC_MINISWHITE ? static_cast<uint8_t>(~line[i]) : line[i];
    }
    TIFFClose(tif);
  }
  return page;
}

// Args: page index, threads (0 = all cores).
void BM_DetectSkewAngle(benchmark::State& state) {
  const TDibGraphic& page = Page(static_cast<int>(state.range(0)));
  TDibGraphic scratch;
  float angle = 0;
  for (auto _ : state) {
    angle = DetectSkewAngle(page, &scratch, static_cast<int>(state.range(1)));
    benchmark::DoNotOptimize(angle);
  }
  state.counters["angle"] = angle;
}
BENCHMARK(BM_DetectSkewAngle)
    ->ArgNames({"page", "threads"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond);

// The search alone, without the scratch copy.
void BM_FindSkewAngle(benchmark::State& state) {
  const TDibGraphic& page = Page(static_cast<int>(state.range(0)));
  TDeskewTransform search;
  search.ThreadCount = static_cast<int>(state.range(1));
  double angle = 0;
  for (auto _ : state) {
    angle = search.FindSkewAngle(page);
    benchmark::DoNotOptimize(angle);
  }
  state.counters["angle"] = angle;
}
BENCHMARK(BM_FindSkewAngle)
    ->ArgNames({"page", "threads"})
    ->Args({1, 1})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond);

// The deskew command on the page: measure, then rotate back keeping the size.
void BM_DeskewPage(benchmark::State& state) {
  const TDibGraphic& source = Page(static_cast<int>(state.range(0)));
  TDibGraphic page, work, undo;
  float angle = 0;
  for (auto _ : state) {
    state.PauseTiming();
    page.Assign(source);
    state.ResumeTiming();
    angle = DeskewPage(page, work, undo, false, false);
    benchmark::DoNotOptimize(angle);
  }
  state.counters["angle"] = angle;
}
BENCHMARK(BM_DeskewPage)->ArgNames({"page"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

#ifdef VELTRAX_HAVE_LEPTONICA
PIX* LeptonicaPage(int index) {
  setMsgSeverity(L_SEVERITY_NONE);
  return pixRead(PagePath(index).c_str());
}

// Full-resolution sweep and binary search over +-5 degrees.
void BM_LeptonicaSweepAndSearch(benchmark::State& state) {
  PIX* pix = LeptonicaPage(static_cast<int>(state.range(0)));
  if (!pix) {
    state.SkipWithError("pixRead failed");
    return;
  }
  l_float32 angle = 0, conf = 0;
  for (auto _ : state) {
    pixFindSkewSweepAndSearch(pix, &angle, &conf, 1, 1, 5.0, 1.0, 0.01);
    benchmark::DoNotOptimize(angle);
  }
  state.counters["angle"] = angle;
  pixDestroy(&pix);
}
BENCHMARK(BM_LeptonicaSweepAndSearch)->ArgNames({"page"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The default reduced search.
void BM_LeptonicaFindSkew(benchmark::State& state) {
  PIX* pix = LeptonicaPage(static_cast<int>(state.range(0)));
  if (!pix) {
    state.SkipWithError("pixRead failed");
    return;
  }
  l_float32 angle = 0, conf = 0;
  for (auto _ : state) {
    pixFindSkew(pix, &angle, &conf);
    benchmark::DoNotOptimize(angle);
  }
  state.counters["angle"] = angle;
  pixDestroy(&pix);
}
BENCHMARK(BM_LeptonicaFindSkew)->ArgNames({"page"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Find and rotate back.
void BM_LeptonicaDeskew(benchmark::State& state) {
  PIX* pix = LeptonicaPage(static_cast<int>(state.range(0)));
  if (!pix) {
    state.SkipWithError("pixRead failed");
    return;
  }
  for (auto _ : state) {
    PIX* out = pixDeskew(pix, 0);
    benchmark::DoNotOptimize(out);
    pixDestroy(&out);
  }
  pixDestroy(&pix);
}
BENCHMARK(BM_LeptonicaDeskew)->ArgNames({"page"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
