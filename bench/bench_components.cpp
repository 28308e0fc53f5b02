// Connected-component boxes of the reference A4 page, beside Leptonica's
// pixConnCompBB on the same page.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchPages.h"
#include "correction/NoiseData.h"

#ifdef VELTRAX_HAVE_LEPTONICA
#include <leptonica/allheaders.h>
#endif

namespace {

const std::string kPage = BenchPagePath();

TDibGraphic& Page() { return BenchPage(); }

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
