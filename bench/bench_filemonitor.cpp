// The folder watch in a scanner folder that already holds 10,000 files:
//  - the snapshot of the folder (taken when the watch starts, and again
//    after the kernel dropped events);
//  - the main window's handling of one notification (the new names looked
//    up among the known ones, the file added to the working list), with the
//    list empty and with the list holding the folder's 10,000 files;
//  - from a file being closed to its entry showing in the list.
// Goal: at most 20 ms per notification, within 1 s from close to list.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "app/AppMessage.h"
#include "app/DesktopModules.h"
#include "app/DocumentList.h"
#include "app/F_ViewTrans.h"
#include "app/FileMonitor.h"
#include "app/WorkingList.h"
#include "utils/Utils.h"

namespace {

constexpr int kFolderFiles = 10000;

QString FileName(int i) { return QStringLiteral("scan%1.tif").arg(i, 6, 10, QLatin1Char('0')); }

void Touch(const QString& file) {
  QFile f(file);
  if (f.open(QIODevice::WriteOnly)) f.write("page");
}

// A folder of 10,000 files, made once.
const QString& ScannerFolder() {
  static QTemporaryDir dir;
  static const bool made = [] {
    for (int i = 0; i < kFolderFiles; ++i) Touch(QDir(dir.path()).filePath(FileName(i)));
    return true;
  }();
  (void)made;
  static const QString path = WithTrailingSeparator(dir.path());
  return path;
}

// A main window watching the scanner folder; the new files are removed
// again at the end, so every run starts from the same folder.
struct TWatchedWindow {
  std::unique_ptr<TFViewTrans> window;
  TWorkingList* list = nullptr;
  TFolderWatch* watch = nullptr;
  int next = 0;

  explicit TWatchedWindow(bool listHoldsFolder) {
    window = std::make_unique<TFViewTrans>();
    list = new TWorkingList(*window);
    if (listHoldsFolder) {
      QStringList files;
      for (int i = 0; i < kFolderFiles; ++i) files << ScannerFolder() + FileName(i);
      list->List()->AddFiles(files);
      list->List()->SetCurrent(0);
    }
    watch = InstallFolderWatch(*window, *list);
    watch->AskWatchFolder = [] { return ScannerFolder(); };
    watch->Toggle();
    QElapsedTimer t;
    t.start();
    while (watch->KnownNameCount() < kFolderFiles && t.elapsed() < 10000) QApplication::processEvents();
  }
  ~TWatchedWindow() {
    watch->Toggle();
    window.reset();
    for (int i = 0; i < next; ++i) QFile::remove(ScannerFolder() + NewName(i));
  }
  static QString NewName(int i) { return QStringLiteral("new%1.tif").arg(i, 6, 10, QLatin1Char('0')); }
  QString WriteNext() {
    const QString file = ScannerFolder() + NewName(next++);
    Touch(file);
    return file;
  }
};

void BM_FolderSnapshot(benchmark::State& state) {
  const QString folder = ScannerFolder();
  for (auto _ : state) benchmark::DoNotOptimize(FolderFileNames(folder).size());
  state.counters["files"] = kFolderFiles;
}
BENCHMARK(BM_FolderSnapshot)->Unit(benchmark::kMillisecond);

// One notification's handling on the interface thread.
void BM_OneNotification(benchmark::State& state) {
  TWatchedWindow w(state.range(0) != 0);
  const int before = w.list->List()->Count();
  for (auto _ : state) {
    state.PauseTiming();
    w.WriteNext();
    // Long enough for the watch thread to have read the kernel's event.
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    state.ResumeTiming();
    w.watch->TakeNewFiles(w.watch->Generation());
  }
  state.counters["added"] = w.list->List()->Count() - before;
  state.counters["list"] = w.list->List()->Count();
}
BENCHMARK(BM_OneNotification)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("listHoldsFolder")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

// From close() to the entry in the list, through the thread and the event loop.
void BM_CloseToList(benchmark::State& state) {
  TWatchedWindow w(true);
  for (auto _ : state) {
    const int count = w.list->List()->Count();
    const auto start = std::chrono::steady_clock::now();
    w.WriteNext();
    while (w.list->List()->Count() == count) QApplication::processEvents(QEventLoop::AllEvents, 5);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}
BENCHMARK(BM_CloseToList)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QTemporaryDir store;
  SetSettingsStoreFile(QDir(store.path()).filePath("settings.ini"));
  SetAppMessageHook([](const QString&, int) { return 0; });
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
