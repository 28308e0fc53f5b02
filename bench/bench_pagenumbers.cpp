// Page numbers on 100 real A4 Group 4 pages, read and written back; and the
// same 100 pages printed at true size into a PDF file through QPrinter.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <filesystem>

#include "BenchPages.h"
#include "image/ImagingHooks.h"
#include "pagework/PageWriter.h"
#include "tools/F_PrintRange.h"
#include "tools/PrintingCommands.h"
#include "tools/work/PageNumbers.h"
#include "view/QtTextRenderer.h"

namespace {

constexpr int kPages = 100;

const std::string& Folder() {
  static const std::string folder = [] {
    const auto dir = std::filesystem::temp_directory_path() / "veltrax-bench-pagenumbers";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "in");
    std::filesystem::create_directories(dir / "out");
    for (int i = 0; i < kPages; ++i)
      std::filesystem::copy_file(BenchPagePath(), dir / "in" / ("p" + std::to_string(1000 + i) + ".tif"));
    return dir.string();
  }();
  return folder;
}

std::vector<std::string> Inputs() {
  std::vector<std::string> files;
  for (int i = 0; i < kPages; ++i) files.push_back(Folder() + "/in/p" + std::to_string(1000 + i) + ".tif");
  return files;
}

void BM_StampHundredA4Pages(benchmark::State& state) {
  ImagingHooks().TextRenderer = std::make_shared<TQtTextRenderer>();
  TPageNumberRun run;
  run.Files = Inputs();
  run.Settings.FontName = kStampFaceStandIn;
  for (auto _ : state) {
    // A fresh output folder each time, so the entries are read, not outputs.
    run.SaveFolder = Folder() + "/out";
    std::filesystem::remove_all(run.SaveFolder);
    std::filesystem::create_directories(run.SaveFolder);
    benchmark::DoNotOptimize(StampPageNumbers(run));
  }
  state.counters["pages"] = kPages;
}
BENCHMARK(BM_StampHundredA4Pages)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_PrintHundredA4PagesToPdf(benchmark::State& state) {
  const std::vector<std::string> files = Inputs();
  const QString pdf = QString::fromStdString(Folder() + "/print.pdf");
  TDibGraphic active, undo;
  std::string activeFile;
  TPrintHost host;
  host.ActiveImage = [&] { return &active; };
  host.ActiveFile = [&] { return activeFile; };
  host.Count = [&] { return kPages; };
  host.IsChecked = [](int) { return true; };
  host.Entry = [&](int i) { return QString::fromStdString(files[static_cast<std::size_t>(i)]); };
  host.Current = [] { return 0; };
  host.LoadEntry = [&](int i) {
    activeFile = files[static_cast<std::size_t>(i)];
    active.Assign(*LoadPage(activeFile, 0).Page());
  };
  host.UndoImage = [&]() -> TDibGraphic& { return undo; };
  host.AskPrinter = [&](QPrinter& p) {
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(pdf);
    p.setPageSize(QPageSize(QPageSize::A4));
    return true;
  };
  host.AskRange = [] { return static_cast<int>(prAllFiles); };
  for (auto _ : state) {
    host.LoadEntry(0);
    QPrinter printer(QPrinter::HighResolution);
    benchmark::DoNotOptimize(RunPrintCommand(host, printer));
  }
  state.counters["spool_MB"] = static_cast<double>(QFileInfo(pdf).size()) / 1e6;
}
BENCHMARK(BM_PrintHundredA4PagesToPdf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(Folder());
  return 0;
}
