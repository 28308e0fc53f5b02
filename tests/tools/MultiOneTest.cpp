// The merge / split / convert and two-in-one windows, driven by their
// buttons, checked on the files they write and the texts they show.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "image/TiffGraphic.h"
#include "support/TestSupport.h"
#include "tools/F_MultiOne.h"
#include "tools/F_TwoInOne.h"
#include "tools/work/PageSource.h"

namespace fs = std::filesystem;

namespace {

void WriteTiff(const std::string& path, const std::vector<const TDibGraphic*>& pages) {
  TOutputPage out;
  WriteTiffPages(path, static_cast<int>(pages.size()), false, [&](int i) -> TOutputPage& {
    out.Borrowed = pages[i];
    return out;
  });
}

int Pages(const std::string& path) { return TPageSource(path).Count(); }

}  // namespace

// Merge into TIF: the choice is taken, the pages land in the folder's file,
// and the window shows that it has finished.
TEST(MultiOneWindow, MergeIntoTifByTheStartButton) {
  const std::string dir = TestTempDir();
  fs::create_directories(dir + "/in");
  TDibGraphic page;
  MakeWhitePage(page, 64, 48);
  WriteTiff(dir + "/in/1.tif", {&page, &page});
  WriteTiff(dir + "/in/2.tif", {&page});
  const std::vector<TToolEntry> entries = {{dir + "/in/1.tif", dir + "/in/", 2}, {dir + "/in/2.tif", dir + "/in/", 2}};
  auto* window = new TFMultiOne(TMultiOneOperation::Merge, entries, QString::fromStdString(dir), QString());
  QStringList messages;
  window->Message = [&](const QString& text, bool) { messages << text; };
  window->show();
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("하나의 파일로 합치기"));
  EXPECT_EQ(window->TypeChoice()->currentText(), QString::fromUtf8("PDF 파일"));
  window->TypeChoice()->setCurrentIndex(1);
  QTest::mouseClick(window->StartButton(), Qt::LeftButton);
  EXPECT_EQ(Pages(dir + "/" + FolderTag(dir + "/in/") + ".tif"), 3);
  EXPECT_EQ(window->ProgressLabel()->text(), QString::fromUtf8("작업을 마쳤습니다."));
  EXPECT_TRUE(window->StartButton()->isEnabled());
  EXPECT_TRUE(messages.isEmpty());
  window->close();
}

// A damaged file: the error box, the window closes, nothing half written.
TEST(MultiOneWindow, AFailureShowsTheErrorAndCloses) {
  const std::string dir = TestTempDir();
  std::ofstream(dir + "/bad.tif") << "II*";
  QPointer<TFMultiOne> window = new TFMultiOne(TMultiOneOperation::Convert, {{dir + "/bad.tif", dir + "/", 2}},
                                               QString::fromStdString(dir), QString());
  EXPECT_FALSE(window->TypeChoice()->isVisibleTo(window));
  QStringList messages;
  window->Message = [&](const QString& text, bool error) {
    EXPECT_TRUE(error);
    messages << text;
  };
  window->show();
  QTest::mouseClick(window->StartButton(), Qt::LeftButton);
  EXPECT_EQ(messages, QStringList{QString::fromUtf8("변환중 오류가 발생했습니다.")});
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
  EXPECT_FALSE(fs::exists(dir + "/bad.pdf"));
}

// Closing during a run stops it at the next page and keeps no partial file.
TEST(MultiOneWindow, ClosingDuringARunStopsIt) {
  const std::string dir = TestTempDir();
  TDibGraphic page;
  MakeWhitePage(page, 64, 48);
  WriteTiff(dir + "/m.tif", {&page, &page, &page, &page});
  QPointer<TFMultiOne> window = new TFMultiOne(TMultiOneOperation::Convert, {{dir + "/m.tif", dir + "/", 2}},
                                               QString::fromStdString(dir), QString());
  window->show();
  QObject::connect(window->ProgressBar(), &QProgressBar::valueChanged, window, [&](int value) {
    if (value == 1) QMetaObject::invokeMethod(window.data(), &QWidget::close, Qt::QueuedConnection);
  });
  QTest::mouseClick(window->StartButton(), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
  EXPECT_FALSE(fs::exists(dir + "/m.pdf"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
}
