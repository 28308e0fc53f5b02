// Connected-component boxes of the reference A4 page, beside Leptonica's
// pixConnCompBB on the same page.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "correction/NoiseData.h"

#ifdef VELTRAX_HAVE_LEPTONICA
#include <leptonica/allheaders.h>
#endif

namespace {

const std::string kPage = std::string(VELTRAX_SHARED_DIR) + "/testdata/bench/a4-feyn.tif";

// The page read straight through libtiff, ink = bit 0.
TDibGraphic& Page() {
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
      TIFFReadScanline(tif, line.data(), y);
      uint8_t* row = page.ScanLine(static_cast<int>(y));
      for (std::size_t i = 0; i < line.size(); ++i)
        row[i] = photometric == PHOTOMETRIC_MINISWHITE ? static_cast<uint8_t>(~line[i]) : line[i];
    }
    TIFFClose(tif);
  }
  return page;
}

void BM_FindComponents(benchmark::State& state) {
  TDibGraphic& page = Page();
  std::size_t boxes = 0;
  for (auto _ : state) {
    TNoiseData data(page, 216);
    data.FindComponents();
    boxes = data.Finished().size();
    benchmark::DoNotOptimize(boxes);
  }
  state.counters["boxes"] = static_cast<double>(boxes);
}
BENCHMARK(BM_FindComponents)->Unit(benchmark::kMillisecond);

#ifdef VELTRAX_HAVE_LEPTONICA
void BM_LeptonicaConnCompBB8(benchmark::State& state) {
  setMsgSeverity(L_SEVERITY_NONE);
  PIX* pix = pixRead(kPage.c_str());
  if (!pix) {
    state.SkipWithError("pixRead failed");
    return;
  }
  l_int32 boxes = 0;
  for (auto _ : state) {
    BOXA* boxa = pixConnCompBB(pix, 8);
    boxes = boxaGetCount(boxa);
    boxaDestroy(&boxa);
  }
  state.counters["boxes"] = boxes;
  pixDestroy(&pix);
}
BENCHMARK(BM_LeptonicaConnCompBB8)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
