// Corrections on the reference A4 page at 300 dpi: speck removal (beside
// Leptonica's size selection and subtraction), stroke weight, content bounds,
// centring, border erase and the other placements.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "correction/Borders.h"
#include "correction/NoiseData.h"
#include "correction/NoiseRemoval.h"
#include "correction/PagePlacement.h"
#include "correction/StrokeWeight.h"
#include "image/TiffGraphic.h"

#ifdef VELTRAX_HAVE_LEPTONICA
#include <leptonica/allheaders.h>
#endif

namespace {

const std::string kPage = std::string(VELTRAX_SHARED_DIR) + "/testdata/bench/a4-feyn.tif";
const std::vector<TRect> kNoRegions;

const TDibGraphic& Page() {
  static TTiffGraphic page;
  if (page.Empty()) page.LoadFromFile(kPage);
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
