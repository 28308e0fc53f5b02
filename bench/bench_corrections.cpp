// Corrections on the reference A4 page at 300 dpi: speck removal (beside
// Leptonica's size selection and subtraction), stroke weight, content bounds,
// centring, border erase and the other placements.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "correction/Borders.h"
#include "correction/NoiseData.h"
#include "correction/PagePlacement.h"
#include "correction/SpeckRemoval.h"
#include "correction/StrokeWeight.h"

#ifdef VELTRAX_HAVE_LEPTONICA
#include <leptonica/allheaders.h>
#endif

namespace {

const std::string kPage = std::string(VELTRAX_SHARED_DIR) + "/testdata/bench/a4-feyn.tif";
const std::vector<TRect> kNoRegions;

// The page read straight through libtiff, ink = bit 0.
const TDibGraphic& Page() {
  static TDibGraphic page;
  if (page.Empty()) {
    TIFF* tif = TIFFOpen(kPage.c_str(), "r");
    if (!tif) throw std::runtime_error("cannot open " + kPage);
    uint32_t w = 0, h = 0;
    uint16_t photometric = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    page.NewImage(static_cast<int>(w), static_cast<int>(h), ifBlackWhite, nullptr, 300, 300);
    std::vector<uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tif)));
    for (uint32_t y = 0; y < h; ++y) {
      if (TIFFReadScanline(tif, line.data(), y) < 0) throw std::runtime_error("cannot read " + kPage);
      uint8_t* row = page.ScanLine(static_cast<int>(y));
      for (std::size_t i = 0; i < line.size(); ++i)
        row[i] = photometric == PHOTOMETRIC_MINISWHITE ? static_cast<uint8_t>(~line[i]) : line[i];
    }
    TIFFClose(tif);
  }
  return page;
}

// Runs op on a fresh copy of the page each iteration; the copy is not timed.
template <typename Op>
void OnFreshPage(benchmark::State& state, Op op) {
  TDibGraphic work;
  for (auto _ : state) {
    state.PauseTiming();
    work.Assign(Page());
    state.ResumeTiming();
    op(work);
    benchmark::ClobberMemory();
  }
}

// What the fresh copy and the paused timer cost by themselves.
void BM_FreshPageOnly(benchmark::State& state) {
  OnFreshPage(state, [](TDibGraphic& page) { benchmark::DoNotOptimize(page.Bits()); });
}
BENCHMARK(BM_FreshPageOnly)->Unit(benchmark::kMillisecond);

void BM_RemoveSpecks9x9(benchmark::State& state) {
  OnFreshPage(state, [](TDibGraphic& page) { RemoveSpecks(page, 9, 9, false, kNoRegions, 216); });
}
BENCHMARK(BM_RemoveSpecks9x9)->Unit(benchmark::kMillisecond);

#ifdef VELTRAX_HAVE_LEPTONICA
void BM_LeptonicaSpeckRemoval9x9(benchmark::State& state) {
  setMsgSeverity(L_SEVERITY_NONE);
  PIX* pix = pixRead(kPage.c_str());
  if (!pix) {
    state.SkipWithError("pixRead failed");
    return;
  }
  for (auto _ : state) {
    PIX* specks = pixSelectBySize(pix, 9, 9, 8, L_SELECT_IF_BOTH, L_SELECT_IF_LTE, nullptr);
    PIX* cleaned = pixSubtract(nullptr, pix, specks);
    benchmark::DoNotOptimize(cleaned);
    pixDestroy(&cleaned);
    pixDestroy(&specks);
  }
  pixDestroy(&pix);
}
BENCHMARK(BM_LeptonicaSpeckRemoval9x9)->Unit(benchmark::kMillisecond);
#endif

void BM_DarkenStrokes(benchmark::State& state) {
  OnFreshPage(state, [](TDibGraphic& page) { DarkenStrokes(page, 4, kNoRegions, false); });
}
BENCHMARK(BM_DarkenStrokes)->Unit(benchmark::kMillisecond);

void BM_LightenStrokes(benchmark::State& state) {
  OnFreshPage(state, [](TDibGraphic& page) { LightenStrokes(page, kNoRegions, false); });
}
BENCHMARK(BM_LightenStrokes)->Unit(benchmark::kMillisecond);

void BM_FindContentBounds(benchmark::State& state) {
  const TDibGraphic& page = Page();
  for (auto _ : state) benchmark::DoNotOptimize(FindContentBounds(page, 10, 10, 216));
}
BENCHMARK(BM_FindContentBounds)->Unit(benchmark::kMillisecond);

void BM_CenterContent(benchmark::State& state) {
  TDibGraphic undo;
  OnFreshPage(state, [&](TDibGraphic& page) { CenterContent(page, &undo, 0, 216, 10, 10, 0, 0, 0); });
}
BENCHMARK(BM_CenterContent)->Unit(benchmark::kMillisecond);

void BM_EraseOutsideRect10mm(benchmark::State& state) {
  OnFreshPage(state, [](TDibGraphic& page) {
    TRect r;
    MarginsToRect(page, 10, 10, r, 10, 10);
    EraseOutsideRect(page, r);
  });
}
BENCHMARK(BM_EraseOutsideRect10mm)->Unit(benchmark::kMillisecond);

void BM_ShiftImage(benchmark::State& state) {
  TDibGraphic undo;
  OnFreshPage(state, [&](TDibGraphic& page) { ShiftImage(page, &undo, 1, 237); });
}
BENCHMARK(BM_ShiftImage)->Unit(benchmark::kMillisecond);

void BM_KeepRectCentred(benchmark::State& state) {
  TDibGraphic undo;
  OnFreshPage(state, [&](TDibGraphic& page) { KeepRectCentred(page, &undo, TRect{301, 405, 1999, 3001}); });
}
BENCHMARK(BM_KeepRectCentred)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
