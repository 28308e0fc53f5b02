// The two-in-one window: trims typed into its boxes, the save folder asked
// for before a run, the finished message.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "support/TestSupport.h"
#include "tools/F_TwoInOne.h"
#include "tools/work/PageSource.h"

namespace fs = std::filesystem;

TEST(TwoInOneWindow, JoinsWithTheTypedTrimsIntoTheSaveFolder) {
  const std::string dir = TestTempDir();
  fs::create_directories(dir + "/out");
  TDibGraphic page;
  MakeWhitePage(page, 100, 40);
  TOutputPage out;
  out.Borrowed = &page;
  for (const char* name : {"/a.tif", "/b.tif"})
    WriteTiffPages(dir + name, 1, false, [&](int) -> TOutputPage& { return out; });
  auto* window = new TFTwoInOne({{dir + "/a.tif", dir + "/", 2}, {dir + "/b.tif", dir + "/", 2}});
  QStringList messages;
  window->Message = [&](const QString& text, bool) { messages << text; };
  QString saveFolder;
  window->SaveFolder = [&] { return saveFolder; };
  window->show();
  window->LeftTrim()->clear();
  QTest::keyClicks(window->LeftTrim(), "1x0");  // the letter is refused
  EXPECT_EQ(window->LeftTrim()->text(), "10");
  window->RightTrim()->setText("abc");

  // No save folder chosen: nothing is done.
  QTest::mouseClick(window->StartButton(), Qt::LeftButton);
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 3);

  saveFolder = QString::fromStdString(dir + "/out");
  QTest::mouseClick(window->StartButton(), Qt::LeftButton);
  EXPECT_EQ(messages, QStringList{QString::fromUtf8("작업을 완료했습니다.")});
  TPageSource joined(dir + "/out/b.tif");
  EXPECT_EQ(joined.Load(0).Page()->Width(), 190);
  EXPECT_FALSE(fs::exists(dir + "/out/a.tif"));
  window->close();
}
