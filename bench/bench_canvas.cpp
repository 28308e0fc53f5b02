// Drawing-layer operations on the reference A4 page (2480 x 3508, 1 bit),
// beside the nearest Leptonica operations where it has one.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchPages.h"
#include "image/Canvas.h"
#include "image/DibGraphic.h"

#ifdef VELTRAX_HAVE_LEPTONICA
#include <leptonica/allheaders.h>
#endif

namespace {

const std::string kPage = BenchPagePath();

TDibGraphic& Page() { return BenchPage(); }

TDibGraphic& ColourPage() {
  static TDibGraphic page;
  if (page.Empty()) {
    page.NewImage(Page().Width(), Page().Height(), ifTrueColor, nullptr, 300, 300);
    page.Canvas().Draw(0, 0, Page());
  }
  return page;
}

void BM_FillRectBilevel(benchmark::State& state) {
  TDibGraphic page;
  page.Assign(Page());
  for (auto _ : state) page.Canvas().FillRect(TRect{3, 5, page.Width() - 7, page.Height() - 2});
}
BENCHMARK(BM_FillRectBilevel)->Unit(benchmark::kMillisecond);

// Shifting a page by a few pixels (the shift commands): paint white, draw back.
void BM_DrawShiftedBilevel(benchmark::State& state) {
  TDibGraphic page;
  page.Assign(Page());
  for (auto _ : state) {
    page.Canvas().FillRect(TRect{0, 0, page.Width(), page.Height()});
    page.Canvas().Draw(13, 7, Page());
  }
}
BENCHMARK(BM_DrawShiftedBilevel)->Unit(benchmark::kMillisecond);

// Fitting content to the margins: a 92 % black-on-white reduction.
void BM_StretchShrinkBlackOnWhite(benchmark::State& state) {
  TDibGraphic page;
  page.Assign(Page());
  const TDibGraphic& src = Page();
  for (auto _ : state) {
    page.Canvas().StretchMode = TStretchMode::smBlackOnWhite;
    page.Canvas().StretchDraw(TRect{99, 140, 99 + src.Width() * 92 / 100, 140 + src.Height() * 92 / 100}, src);
  }
}
BENCHMARK(BM_StretchShrinkBlackOnWhite)->Unit(benchmark::kMillisecond);

void BM_StretchEnlargeBlackOnWhite(benchmark::State& state) {
  TDibGraphic page;
  page.Assign(Page());
  const TDibGraphic& src = Page();
  for (auto _ : state) {
    page.Canvas().StretchMode = TStretchMode::smBlackOnWhite;
    page.Canvas().StretchDraw(TRect{0, 0, page.Width(), page.Height()}, src,
                              TRect{124, 175, src.Width() - 124, src.Height() - 175});
  }
}
BENCHMARK(BM_StretchEnlargeBlackOnWhite)->Unit(benchmark::kMillisecond);

void BM_StretchHalfColourOnColour(benchmark::State& state) {
  const TDibGraphic& src = Page();
  TDibGraphic half;
  half.NewImage(src.Width() / 2, src.Height() / 2, ifBlackWhite);
  for (auto _ : state) {
    half.Canvas().StretchMode = TStretchMode::smColorOnColor;
    half.Canvas().StretchDraw(TRect{0, 0, half.Width(), half.Height()}, src);
  }
}
BENCHMARK(BM_StretchHalfColourOnColour)->Unit(benchmark::kMillisecond);

void BM_StretchHalfHalftoneTrueColour(benchmark::State& state) {
  const TDibGraphic& src = ColourPage();
  TDibGraphic half;
  half.NewImage(src.Width() / 2, src.Height() / 2, ifTrueColor);
  for (auto _ : state) {
    half.Canvas().StretchMode = TStretchMode::smHalftone;
    half.Canvas().StretchDraw(TRect{0, 0, half.Width(), half.Height()}, src);
  }
}
BENCHMARK(BM_StretchHalfHalftoneTrueColour)->Unit(benchmark::kMillisecond);

// A smoothed display copy of a page at a quarter of its size.
void BM_StretchQuarterHalftoneBilevelToGrey(benchmark::State& state) {
  const TDibGraphic& src = Page();
  TDibGraphic view;
  view.NewImage(src.Width() / 4, src.Height() / 4, ifGray256);
  for (auto _ : state) {
    view.Canvas().StretchMode = TStretchMode::smHalftone;
    view.Canvas().StretchDraw(TRect{0, 0, view.Width(), view.Height()}, src);
  }
}
BENCHMARK(BM_StretchQuarterHalftoneBilevelToGrey)->Unit(benchmark::kMillisecond);

void BM_DrawShiftedTrueColour(benchmark::State& state) {
  const TDibGraphic& src = ColourPage();
  TDibGraphic page;
  page.Assign(src);
  for (auto _ : state) page.Canvas().Draw(13, 7, src);
}
BENCHMARK(BM_DrawShiftedTrueColour)->Unit(benchmark::kMillisecond);

#ifdef VELTRAX_HAVE_LEPTONICA
PIX* LeptPage() {
  static PIX* pix = [] {
    setMsgSeverity(L_SEVERITY_NONE);
    return pixRead(kPage.c_str());
  }();
  return pix;
}

void BM_LeptonicaClearRegion(benchmark::State& state) {
  PIX* pix = pixCopy(nullptr, LeptPage());
  for (auto _ : state) pixRasterop(pix, 3, 5, pixGetWidth(pix) - 10, pixGetHeight(pix) - 7, PIX_CLR, nullptr, 0, 0);
  pixDestroy(&pix);
}
BENCHMARK(BM_LeptonicaClearRegion)->Unit(benchmark::kMillisecond);

void BM_LeptonicaRasteropShifted(benchmark::State& state) {
  PIX* src = LeptPage();
  PIX* pix = pixCopy(nullptr, src);
  for (auto _ : state) {
    pixRasterop(pix, 0, 0, pixGetWidth(pix), pixGetHeight(pix), PIX_CLR, nullptr, 0, 0);
    pixRasterop(pix, 13, 7, pixGetWidth(pix), pixGetHeight(pix), PIX_SRC, src, 0, 0);
  }
  pixDestroy(&pix);
}
BENCHMARK(BM_LeptonicaRasteropShifted)->Unit(benchmark::kMillisecond);

void BM_LeptonicaScaleBinaryHalf(benchmark::State& state) {
  for (auto _ : state) {
    PIX* half = pixScaleBinary(LeptPage(), 0.5, 0.5);
    pixDestroy(&half);
  }
}
BENCHMARK(BM_LeptonicaScaleBinaryHalf)->Unit(benchmark::kMillisecond);

void BM_LeptonicaScaleBinary92(benchmark::State& state) {
  for (auto _ : state) {
    PIX* s = pixScaleBinary(LeptPage(), 0.92, 0.92);
    pixDestroy(&s);
  }
}
BENCHMARK(BM_LeptonicaScaleBinary92)->Unit(benchmark::kMillisecond);

void BM_LeptonicaScaleAreaMapHalfRgb(benchmark::State& state) {
  PIX* rgb = pixConvertTo32(LeptPage());
  for (auto _ : state) {
    PIX* half = pixScaleAreaMap(rgb, 0.5, 0.5);
    pixDestroy(&half);
  }
  pixDestroy(&rgb);
}
BENCHMARK(BM_LeptonicaScaleAreaMapHalfRgb)->Unit(benchmark::kMillisecond);

void BM_LeptonicaScaleToGray4(benchmark::State& state) {
  for (auto _ : state) {
    PIX* grey = pixScaleToGray4(LeptPage());
    pixDestroy(&grey);
  }
}
BENCHMARK(BM_LeptonicaScaleToGray4)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
