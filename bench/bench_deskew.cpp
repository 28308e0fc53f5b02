// Skew measurement and deskew of the reference A4 pages (level and skewed),
// beside Leptonica's skew search and deskew on the same pages.
#include <benchmark/benchmark.h>

#include <string>

#include "correction/DeskewTransform.h"
#include "image/Stream.h"
#include "image/TiffGraphic.h"

#ifdef VELTRAX_HAVE_LEPTONICA
#include <leptonica/allheaders.h>
#endif

namespace {

const char* const kPages[] = {"a4-feyn.tif", "a4-feyn-skew.tif"};

std::string PagePath(int index) { return std::string(VELTRAX_SHARED_DIR) + "/testdata/bench/" + kPages[index]; }

const TDibGraphic& Page(int index) {
  static TTiffGraphic pages[2];
  if (pages[index].Empty()) pages[index].LoadFromFile(PagePath(index));
  return pages[index];
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
BENCHMARK(BM_FindSkewAngle)->ArgNames({"page", "threads"})->Args({1, 1})->Args({1, 0})->Unit(benchmark::kMillisecond);

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

// The whole job on a file: read the G4 page, deskew keeping the size, write
// it as G4 (into memory).
void BM_DeskewG4File(benchmark::State& state) {
  const std::string path = PagePath(static_cast<int>(state.range(0)));
  float angle = 0;
  for (auto _ : state) {
    TTiffGraphic page;
    page.LoadFromFile(path);
    TDibGraphic work, undo;
    angle = DeskewPage(page, work, undo, false, false);
    page.SetCompression(tcCCITT4);
    TMemoryStream out;
    page.SaveToStream(out);
    benchmark::DoNotOptimize(out.Size());
  }
  state.counters["angle"] = angle;
}
BENCHMARK(BM_DeskewG4File)->ArgNames({"page"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

#ifdef VELTRAX_HAVE_LEPTONICA
PIX* LeptonicaPage(int index) {
  setMsgSeverity(L_SEVERITY_NONE);
  return pixRead(PagePath(index).c_str());
}

// Times one of Leptonica's skew finders on a page.
template <typename Find>
void TimeLeptonicaSkew(benchmark::State& state, Find find) {
  PIX* pix = LeptonicaPage(static_cast<int>(state.range(0)));
  if (!pix) {
    state.SkipWithError("pixRead failed");
    return;
  }
  l_float32 angle = 0, conf = 0;
  for (auto _ : state) {
    find(pix, &angle, &conf);
    benchmark::DoNotOptimize(angle);
  }
  state.counters["angle"] = angle;
  pixDestroy(&pix);
}

// Full-resolution sweep and binary search over +-5 degrees.
void BM_LeptonicaSweepAndSearch(benchmark::State& state) {
  TimeLeptonicaSkew(state, [](PIX* pix, l_float32* angle, l_float32* conf) {
    pixFindSkewSweepAndSearch(pix, angle, conf, 1, 1, 5.0, 1.0, 0.01);
  });
}
BENCHMARK(BM_LeptonicaSweepAndSearch)->ArgNames({"page"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The default reduced search.
void BM_LeptonicaFindSkew(benchmark::State& state) {
  TimeLeptonicaSkew(state, [](PIX* pix, l_float32* angle, l_float32* conf) { pixFindSkew(pix, angle, conf); });
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
