// Rotation of the reference A4 page (2480 x 3508, 1 bit, 300 dpi): a
// deskew-sized free turn and the quarter turns, beside Leptonica's
// nearest-neighbour, shear and quarter-turn rotations when it is installed.
#include <benchmark/benchmark.h>

#include <numbers>
#include <stdexcept>
#include <string>

#include "image/TiffGraphic.h"
#include "image/transforms/RotateTransform.h"

#ifdef VELTRAX_HAVE_LEPTONICA
#include <leptonica/allheaders.h>
#endif

namespace {

const std::string kPagePath = std::string(VELTRAX_SHARED_DIR) + "/testdata/bench/a4-feyn.tif";

const TDibGraphic& Page() {
  static TTiffGraphic page;
  if (page.Empty()) page.LoadFromFile(kPagePath);
  if (page.ImageFormat() != ifBlackWhite) throw std::runtime_error("the reference page is not 1-bit");
  return page;
}

void BM_RotateBilevel_2_3_KeepSize(benchmark::State& state) {
  const TDibGraphic& page = Page();
  TDibGraphic out;
  for (auto _ : state) {
    RotateBilevel(page, out, false, 2.3);
    benchmark::DoNotOptimize(out.Bits());
  }
}
BENCHMARK(BM_RotateBilevel_2_3_KeepSize)->Unit(benchmark::kMillisecond);

void BM_RotateBilevel_0_37_Grow(benchmark::State& state) {
  const TDibGraphic& page = Page();
  TDibGraphic out;
  for (auto _ : state) {
    RotateBilevel(page, out, true, 0.37);
    benchmark::DoNotOptimize(out.Bits());
  }
}
BENCHMARK(BM_RotateBilevel_0_37_Grow)->Unit(benchmark::kMillisecond);

void BM_RotateBilevel_33_KeepSize(benchmark::State& state) {
  const TDibGraphic& page = Page();
  TDibGraphic out;
  for (auto _ : state) {
    RotateBilevel(page, out, false, 33);
    benchmark::DoNotOptimize(out.Bits());
  }
}
BENCHMARK(BM_RotateBilevel_33_KeepSize)->Unit(benchmark::kMillisecond);

void BM_QuarterTurn(benchmark::State& state) {
  const TDibGraphic& page = Page();
  TNBRotateTransform t;
  t.Angle = static_cast<double>(state.range(0));
  TDibGraphic out;
  for (auto _ : state) {
    t.ApplyOnDest(page, out);
    benchmark::DoNotOptimize(out.Bits());
  }
}
BENCHMARK(BM_QuarterTurn)->Arg(90)->Arg(180)->Arg(270)->Unit(benchmark::kMillisecond);

#ifdef VELTRAX_HAVE_LEPTONICA
PIX* LeptPage() {
  static PIX* pix = pixRead(kPagePath.c_str());
  if (!pix) throw std::runtime_error("Leptonica cannot read " + kPagePath);
  return pix;
}

constexpr float kRadians2_3 = static_cast<float>(2.3 * std::numbers::pi / 180.0);

void BM_Leptonica_RotateBySampling_2_3(benchmark::State& state) {
  PIX* pix = LeptPage();
  for (auto _ : state) {
    PIX* out = pixRotateBySampling(pix, pixGetWidth(pix) / 2, pixGetHeight(pix) / 2, kRadians2_3, L_BRING_IN_WHITE);
    benchmark::DoNotOptimize(out);
    pixDestroy(&out);
  }
}
BENCHMARK(BM_Leptonica_RotateBySampling_2_3)->Unit(benchmark::kMillisecond);

void BM_Leptonica_RotateShear_2_3(benchmark::State& state) {
  PIX* pix = LeptPage();
  for (auto _ : state) {
    PIX* out = pixRotate(pix, kRadians2_3, L_ROTATE_SHEAR, L_BRING_IN_WHITE, 0, 0);
    benchmark::DoNotOptimize(out);
    pixDestroy(&out);
  }
}
BENCHMARK(BM_Leptonica_RotateShear_2_3)->Unit(benchmark::kMillisecond);

void BM_Leptonica_Rotate90(benchmark::State& state) {
  PIX* pix = LeptPage();
  for (auto _ : state) {
    PIX* out = pixRotate90(pix, 1);
    benchmark::DoNotOptimize(out);
    pixDestroy(&out);
  }
}
BENCHMARK(BM_Leptonica_Rotate90)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
