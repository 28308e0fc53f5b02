// Skew measurement and deskew of the reference A4 pages (level and skewed),
// beside Leptonica's skew search and deskew on the same pages.
#include <benchmark/benchmark.h>

#include <cstdint>
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

// The search with the fine refinement (Measure with Fine set) and without:
// the difference is the refinement's cost.
void BM_MeasureSkew(benchmark::State& state) {
  const TDibGraphic& page = Page(static_cast<int>(state.range(0)));
  TDeskewTransform search;
  search.ThreadCount = 1;
  search.Fine = state.range(1) != 0;
  TSkewMeasure m;
  for (auto _ : state) {
    m = search.Measure(page);
    benchmark::DoNotOptimize(m);
  }
  state.counters["angle"] = m.Angle;
  state.counters["confidence"] = m.Confidence;
}
BENCHMARK(BM_MeasureSkew)
    ->ArgNames({"page", "fine"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

// The refinement alone around the search's angle.
void BM_RefineAngle(benchmark::State& state) {
  const TDibGraphic& page = Page(static_cast<int>(state.range(0)));
  TDeskewTransform search;
  search.ThreadCount = 1;
  const double coarse = search.FindSkewAngle(page);
  const TSkewSearchPlan plan = search.Plan(page.Width(), page.YDotsPerInch());
  const double span = 1.5 * TDeskewTransform::ShiftToAngle(plan.Step, page.Width());
  double angle = 0;
  for (auto _ : state) {
    angle = TDeskewTransform::RefineAngle(page, coarse, span, span);
    benchmark::DoNotOptimize(angle);
  }
  state.counters["angle"] = angle;
}
BENCHMARK(BM_RefineAngle)->ArgNames({"page"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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

// Accuracy, side by side: real scans deskewed by the search alone, by the
// search with the refinement, and by Leptonica's own deskew; the residual
// tilt of each result is measured by Leptonica's pixFindSkew (and its
// full-resolution sweep and search). Counters in degrees; the timing is of
// one refined measurement.
const char* const kScans[] = {
    "tiff/real-shearer-g4-300dpi-darkborders.tif",
    "tiff/real-feyn-g4-300dpi-leftborder.tif",
    "tiff/real-eurotext-none-1bit-300dpi.tif",
    "tiff/real-fax-form-g4-300dpi.tif",
    "tiff/gen-skew-ccw2.5-scots-g4.tif",
    "tiff/gen-skew-cw1.0-pageseg1-g4.tif",
    "bench/a4-feyn-skew.tif",
};

// A Leptonica 1 bpp image (1 = black) of a bilevel page.
PIX* ToPix(const TDibGraphic& page) {
  PIX* pix = pixCreate(page.Width(), page.Height(), 1);
  const TPalette& palette = page.Palette();
  const bool zeroIsBlack = !palette.empty() && palette[0].Red == 0 && palette[0].Green == 0 && palette[0].Blue == 0;
  const int bytes = (page.Width() + 7) / 8;
  l_uint32* data = pixGetData(pix);
  const int wpl = pixGetWpl(pix);
  for (int y = 0; y < page.Height(); ++y) {
    auto* out = reinterpret_cast<std::uint8_t*>(data + static_cast<std::size_t>(y) * wpl);
    const std::uint8_t* in = page.ScanLine(y);
    for (int b = 0; b < bytes; ++b) out[b] = zeroIsBlack ? static_cast<std::uint8_t>(~in[b]) : in[b];
  }
  pixEndianByteSwap(pix);
  pixSetPadBits(pix, 0);
  return pix;
}

struct TResidual {
  float Find = 0;   // pixFindSkew
  float Sweep = 0;  // pixFindSkewSweepAndSearch at full resolution
};

TResidual Residual(PIX* pix) {
  TResidual r;
  l_float32 conf = 0;
  pixFindSkew(pix, &r.Find, &conf);
  pixFindSkewSweepAndSearch(pix, &r.Sweep, &conf, 1, 1, 1.0, 0.05, 0.005);
  return r;
}

void BM_DeskewResidual(benchmark::State& state) {
  setMsgSeverity(L_SEVERITY_NONE);
  const std::string path = std::string(VELTRAX_SHARED_DIR) + "/testdata/" + kScans[state.range(0)];
  TTiffGraphic source;
  source.LoadFromFile(path);
  TDeskewTransform search;
  search.ThreadCount = 1;
  search.Fine = true;
  TSkewMeasure m;
  for (auto _ : state) {
    m = search.Measure(source);
    benchmark::DoNotOptimize(m);
  }
  auto residualOf = [&](bool fine) {
    TDibGraphic page, work, undo;
    page.Assign(source);
    TDeskewOptions options;
    options.Fine = fine;
    DeskewPage(page, work, undo, false, false, nullptr, options);
    PIX* pix = ToPix(page);
    const TResidual r = Residual(pix);
    pixDestroy(&pix);
    return r;
  };
  const TResidual coarse = residualOf(false);
  const TResidual fine = residualOf(true);
  PIX* pix = ToPix(source);
  const TResidual measured = Residual(pix);
  PIX* theirs = pixDeskew(pix, 0);
  const TResidual lept = Residual(theirs);
  pixDestroy(&theirs);
  pixDestroy(&pix);
  state.SetLabel(kScans[state.range(0)]);
  state.counters["angle"] = m.Angle;
  state.counters["confidence"] = m.Confidence;
  state.counters["lept_angle"] = measured.Sweep;
  state.counters["res_search"] = coarse.Find;
  state.counters["res_fine"] = fine.Find;
  state.counters["res_lept"] = lept.Find;
  state.counters["sweep_search"] = coarse.Sweep;
  state.counters["sweep_fine"] = fine.Sweep;
  state.counters["sweep_lept"] = lept.Sweep;
}
BENCHMARK(BM_DeskewResidual)->ArgName("scan")->DenseRange(0, 6)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
