#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTabBar>
#include <QTemporaryDir>

#include "WindowFixture.h"
#include "app/AppMessage.h"
#include "app/DocumentList.h"
#include "app/F_ViewTrans.h"
#include "app/WorkingList.h"
#include "image/TiffGraphic.h"
#include "support/TestSupport.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"

namespace {

struct WorkingListFixture : WindowFixture {
  TImageScrollBox* Source() { return window->SourceView(); }
};

}  // namespace

TEST_F(WorkingListFixture, StepsThroughPagesAndEntriesWithTheEdgeMessages) {
  const QString a = Copy("testdata/tiff/gen-multipage-3p-g4.tif", "a.tif");
  const QString b = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "b.tif");
  const QString c = Copy("testdata/tiff/gen-multipage-4p-mixed.tif", "c.tif");
  work->OpenFiles({c, a, b});
  EXPECT_EQ(window->OpenMode(), 1);
  EXPECT_FALSE(window->Action(TCommand::OpenFolder)->isEnabled());
  EXPECT_EQ(work->List()->Current(), 0);
  EXPECT_EQ(Source()->FrameCount(), 3);
  EXPECT_EQ(Source()->CurrentFrame(), 1);

  work->Navigate(-1);
  EXPECT_EQ(messages, QStringList{QString::fromUtf8("처음 이미지입니다.")});
  EXPECT_EQ(work->List()->Current(), 0);

  work->Navigate(1);
  work->Navigate(1);
  EXPECT_EQ(Source()->CurrentFrame(), 3);
  work->Navigate(1);
  EXPECT_EQ(work->List()->Current(), 1) << "past the last page comes the next entry";
  EXPECT_EQ(Source()->FrameCount(), 0) << "a one-page file has no frames";
  work->Navigate(-1);
  EXPECT_EQ(work->List()->Current(), 0);
  EXPECT_EQ(Source()->CurrentFrame(), 3) << "back to the last page of the entry before";

  work->Navigate(9);
  EXPECT_EQ(work->List()->Current(), 2);
  for (int i = 1; i < Source()->FrameCount(); ++i) work->Navigate(1);
  messages.clear();
  const int lastFrame = Source()->CurrentFrame();
  work->Navigate(1);
  EXPECT_EQ(messages, QStringList{QString::fromUtf8("마지막 이미지입니다.")});
  EXPECT_EQ(Source()->CurrentFrame(), lastFrame);
  EXPECT_GE(Source()->Graphic().XDotsPerInch(), 72);
}

TEST_F(WorkingListFixture, AFolderWithoutImagesLeavesTheListEmptyButRemembersIt) {
  QDir(dir.path()).mkpath("empty/sub");
  QFile note(QDir(dir.path()).filePath("empty/readme.txt"));
  ASSERT_TRUE(note.open(QIODevice::WriteOnly));
  note.close();
  const QString folder = QDir(dir.path()).filePath("empty") + "/";
  work->AskFolder = [&] { return folder; };
  window->Execute(TCommand::OpenFolder);
  EXPECT_EQ(work->List()->Count(), 0);
  EXPECT_EQ(window->OpenMode(), 0);
  EXPECT_TRUE(window->Action(TCommand::OpenFiles)->isEnabled());
  EXPECT_TRUE(window->Action(TCommand::OpenFolder)->isEnabled());
  EXPECT_EQ(OpenFolder(), folder);
}

TEST_F(WorkingListFixture, AnOutputWithAnotherPageCountIsReplacedByTheSource) {
  const QString src = Copy("testdata/tiff/gen-multipage-3p-g4.tif", "in/a.tif");
  QDir(dir.path()).mkpath("out");
  // A stale one-page output of the same name.
  QFile::copy(QString::fromStdString(SharedFile("testdata/tiff/real-phototest-none-1bit-200dpi.tif")),
              QDir(dir.path()).filePath("out/a.tif"));
  SetSaveFolder(QDir(dir.path()).filePath("out") + "/");
  work->OpenFiles({src});
  EXPECT_EQ(window->ResultView()->FrameCount(), 3);
  TTiffGraphic counter;
  TFileStream s(QDir(dir.path()).filePath("out/a.tif").toStdString(), TFileMode::fmOpenRead);
  EXPECT_EQ(counter.GetImageCount(s), 3);
}

TEST_F(WorkingListFixture, ALoadErrorShowsBothNamesAndKeepsTheList) {
  const QString good = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "a.tif");
  const QString bad = QDir(dir.path()).filePath("b.tif");
  QFile f(bad);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("II*\0garbage", 11);
  f.close();
  work->OpenFiles({good, bad});
  messages.clear();
  work->Navigate(1);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0],
            QString::fromUtf8("파일 열기중 문제가 발생했습니다. 아래 파일을 확인하세요.") + "\n\n" + bad + "\n" + bad);
  EXPECT_EQ(work->List()->Count(), 2);
  EXPECT_FALSE(TWorkingList::Busy());
}

TEST_F(WorkingListFixture, RemovingAndResetting) {
  const QString a = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "a.tif");
  const QString b = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "b.tif");
  work->OpenFiles({a, b});
  SetSaveFolder("/somewhere/");
  window->Execute(TCommand::RemoveOdd);
  EXPECT_EQ(work->List()->Entries(), QStringList{b});
  EXPECT_EQ(SaveFolder(), "/somewhere/") << "what is left keeps the save folder";
  EXPECT_EQ(window->OpenMode(), 1);
  window->Execute(TCommand::RemoveAll);
  EXPECT_EQ(work->List()->Count(), 0);
  EXPECT_EQ(window->OpenMode(), 0);
  EXPECT_TRUE(SaveFolder().isEmpty());
  EXPECT_TRUE(Source()->Graphic().Empty());
}

TEST_F(WorkingListFixture, ThumbnailStripDrawsEveryEntryAndAClickLoadsIt) {
  const QString a = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "a.tif");
  const QString b = Copy("testdata/tiff/gen-multipage-3p-g4.tif", "b.tif");
  work->OpenFiles({a, b});
  window->resize(1270, 854);
  window->show();
  window->ListTabs()->setCurrentIndex(1);
  EXPECT_EQ(work->ThumbnailState(), 1);
  const TDibGraphic& strip = work->Thumbnails()->Graphic();
  ASSERT_FALSE(strip.Empty());
  const int w = strip.Width();
  EXPECT_EQ(strip.Height(), 2 * w + 18);
  EXPECT_EQ(strip.GetPixel(2, 2), 0u) << "the strip is black";
  EXPECT_NE(strip.GetPixel(9 + 5, w + 18 + 5), 0u) << "the second thumbnail is drawn at W + 18";
  window->ListTabs()->setCurrentIndex(2);
  EXPECT_EQ(work->ThumbnailState(), 1) << "no save folder, no result thumbnails";
  window->ListTabs()->setCurrentIndex(0);
}
