// What the magnifier and the full-screen editors draw while the operator
// moves the mouse, on the reference A4 page (2480 x 3508, 1 bit): one
// magnifier update, opening an editor on the page, showing another tile and
// rebuilding the overview map.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cstdlib>

#include "bench/BenchPages.h"
#include "image/transforms/CropTransform.h"
#include "view/ImageScrollBox.h"
#include "view/Magnifier.h"
#include "view/TileGrid.h"

namespace {

TDibGraphic& Page() { return BenchPage(); }

// One magnifier update of the default window: block, cross, drawn.
void BM_MagnifierUpdate(benchmark::State& state) {
  QImage target(292, 273, QImage::Format_RGB32);
  int x = 1000;
  for (auto _ : state) {
    DrawMagnifier(Page(), x, 1500, target);
    x = x == 1000 ? 1003 : 1000;
    benchmark::DoNotOptimize(target.constBits());
  }
}
BENCHMARK(BM_MagnifierUpdate)->Unit(benchmark::kMicrosecond);

// The side-panel editor's magnifier box (about 394 x 500).
void BM_MagnifierBox(benchmark::State& state) {
  QImage target(394, 500, QImage::Format_RGB32);
  for (auto _ : state) {
    DrawMagnifier(Page(), 1240, 1754, target);
    benchmark::DoNotOptimize(target.constBits());
  }
}
BENCHMARK(BM_MagnifierBox)->Unit(benchmark::kMicrosecond);

// Opening an editor: the page copied into a screen-sized view and shown at
// its zoom (fit to page; fit to width).
void OpenEditor(benchmark::State& state, TZoomMode mode) {
  TImageScrollBox view;
  view.resize(1920 - 410, 1080);
  view.SetZoomMode(mode);
  view.show();
  for (auto _ : state) {
    view.AssignGraphic(Page());
    benchmark::DoNotOptimize(view.DisplayImage().constBits());
  }
}
void BM_OpenEditorFitPage(benchmark::State& state) { OpenEditor(state, zmFitToPage); }
void BM_OpenEditorFitWidth(benchmark::State& state) { OpenEditor(state, zmFitWidth); }
BENCHMARK(BM_OpenEditorFitPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenEditorFitWidth)->Unit(benchmark::kMillisecond);

// Showing another tile: cut from the page and shown in the tile view.
void ShowTile(benchmark::State& state, int mode) {
  TImageScrollBox view;
  view.resize(1920 - 410 - 28, 1080 - 28);
  view.SetZoomMode(zmFitToPage);
  view.show();
  const QSize client = view.viewport()->size();
  const TTileGrid grid =
      ComputeTileGrid(Page().Width(), Page().Height(), client.width(), client.height(), mode, 394, 500);
  TDibGraphic scratch;
  int index = 0;
  for (auto _ : state) {
    CropGraphic(Page(), TileRect(grid, index, Page().Width(), Page().Height()), scratch);
    view.AssignGraphic(scratch);
    scratch.Clear();
    index = (index + 1) % grid.Count();
  }
}
void BM_ShowTileOneToOne(benchmark::State& state) { ShowTile(state, tmOneToOne); }
void BM_ShowTileQuarter(benchmark::State& state) { ShowTile(state, tmQuarters); }
BENCHMARK(BM_ShowTileOneToOne)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowTileQuarter)->Unit(benchmark::kMillisecond);

void BM_RebuildOverview(benchmark::State& state) {
  const TTileGrid grid = ComputeTileGrid(Page().Width(), Page().Height(), 1482, 1052, tmOneToOne, 394, 500);
  QImage overview;
  for (auto _ : state) {
    BuildOverview(Page(), grid, overview);
    benchmark::DoNotOptimize(overview.constBits());
  }
}
BENCHMARK(BM_RebuildOverview)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
