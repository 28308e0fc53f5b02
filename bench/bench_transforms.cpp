// Display and conversion transforms on the reference A4 page (2480 x 3508,
// 1 bit, 300 dpi): anti-aliased reduction for the screen, format
// conversions, negative and crop.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>

#include "image/TiffGraphic.h"
#include "image/transforms/AntiAliasTransform.h"
#include "image/transforms/CropTransform.h"
#include "image/transforms/ImageFormatTransform.h"
#include "image/transforms/NegativeTransform.h"

namespace {

const TDibGraphic& Page() {
  static TTiffGraphic page;
  if (page.Empty()) page.LoadFromFile(std::string(VELTRAX_SHARED_DIR) + "/testdata/bench/a4-feyn.tif");
  if (page.ImageFormat() != ifBlackWhite) throw std::runtime_error("the reference page is not 1-bit");
  return page;
}

// The page in the given format (colours kept).
const TDibGraphic& PageAs(TImageFormat format) {
  static TDibGraphic pages[6];
  TDibGraphic& page = pages[format];
  if (page.Empty()) {
    TImageFormatTransform t;
    t.Format = format;
    t.Dither = false;
    t.ApplyOnDest(Page(), page);
  }
  return page;
}

void BM_AntiAlias_Quarter(benchmark::State& state) {
  TAntiAliasTransform t;
  t.Width = Page().Width() / 4;
  t.Height = Page().Height() / 4;
  TDibGraphic out;
  for (auto _ : state) {
    t.ApplyOnDest(Page(), out);
    benchmark::DoNotOptimize(out.Bits());
  }
}
BENCHMARK(BM_AntiAlias_Quarter)->Unit(benchmark::kMillisecond);

void BM_Format_BilevelToTrueColor(benchmark::State& state) {
  TImageFormatTransform t;
  TDibGraphic out;
  for (auto _ : state) {
    t.ApplyOnDest(Page(), out);
    benchmark::DoNotOptimize(out.Bits());
  }
}
BENCHMARK(BM_Format_BilevelToTrueColor)->Unit(benchmark::kMillisecond);

void BM_Format_GreyToBilevelNearest(benchmark::State& state) {
  TImageFormatTransform t;
  t.Format = ifBlackWhite;
  t.Dither = false;
  t.OptimalPalette = false;
  const TDibGraphic& grey = PageAs(ifGray256);
  TDibGraphic out;
  for (auto _ : state) {
    t.ApplyOnDest(grey, out);
    benchmark::DoNotOptimize(out.Bits());
  }
}
BENCHMARK(BM_Format_GreyToBilevelNearest)->Unit(benchmark::kMillisecond);

void BM_Format_TrueColorToBilevelNearest(benchmark::State& state) {
  TImageFormatTransform t;
  t.Format = ifBlackWhite;
  t.Dither = false;
  t.OptimalPalette = false;
  const TDibGraphic& colour = PageAs(ifTrueColor);
  TDibGraphic out;
  for (auto _ : state) {
    t.ApplyOnDest(colour, out);
    benchmark::DoNotOptimize(out.Bits());
  }
}
BENCHMARK(BM_Format_TrueColorToBilevelNearest)->Unit(benchmark::kMillisecond);

void BM_Format_TrueColorToGreyDithered(benchmark::State& state) {
  TImageFormatTransform t;
  t.Format = ifGray256;
  const TDibGraphic& colour = PageAs(ifTrueColor);
  TDibGraphic out;
  for (auto _ : state) {
    t.ApplyOnDest(colour, out);
    benchmark::DoNotOptimize(out.Bits());
  }
}
BENCHMARK(BM_Format_TrueColorToGreyDithered)->Unit(benchmark::kMillisecond);

void BM_Negative_Bilevel(benchmark::State& state) {
  TDibGraphic page;
  page.Assign(Page());
  TNegativeTransform t;
  for (auto _ : state) {
    t.Apply(page);
    benchmark::DoNotOptimize(page.Bits());
  }
}
BENCHMARK(BM_Negative_Bilevel)->Unit(benchmark::kMillisecond);

void BM_Crop_BilevelOddLeft(benchmark::State& state) {
  TCropTransform t;
  t.Left = 101;
  t.Top = 150;
  t.Right = 99;
  t.Bottom = 150;
  TDibGraphic out;
  for (auto _ : state) {
    t.ApplyOnDest(Page(), out);
    benchmark::DoNotOptimize(out.Bits());
  }
}
BENCHMARK(BM_Crop_BilevelOddLeft)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
