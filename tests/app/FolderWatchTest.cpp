#include <QAction>
#include <QElapsedTimer>
#include <QToolButton>

#include "DesktopFixture.h"
#include "app/DesktopModules.h"
#include "app/FileMonitor.h"
#include "view/ImageScrollBox.h"

namespace {

struct FolderWatchFixture : DesktopFixture {
  TFolderWatch* watch = nullptr;
  QString watched;
  QString answer;

  void SetUp() override {
    DesktopFixture::SetUp();
    watched = Path("scans");
    QDir().mkpath(watched);
    watch = InstallFolderWatch(*window, *work);
    watch->AskWatchFolder = [this] { return answer; };
    Activate();
  }
  QToolButton* Button() const { return window->ToolButton(TCommand::FolderWatch); }
  QAction* MenuItem() const { return window->Action(TCommand::FolderWatch); }
  // Switches the watch on for the folder (which holds at least one file)
  // and waits for its snapshot.
  void Start() {
    answer = watched;
    QTest::mouseClick(Button(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return watch->KnownNameCount() > 0; }, 5000));
  }
  static void Write(const QString& file, const QByteArray& bytes = "page") {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QString In(const QString& name) const { return QDir(watched).filePath(name); }
  int Occurrences(const QString& file) const { return static_cast<int>(List()->Entries().count(file)); }
};

}  // namespace

TEST_F(FolderWatchFixture, ButtonMenuItemAndCtrlRShareOneStateAndACancelledChoiceLeavesItPressed) {
  answer.clear();  // the folder choice is cancelled
  Press(Qt::Key_R, Qt::ControlModifier);
  EXPECT_TRUE(Button()->isChecked());
  EXPECT_TRUE(MenuItem()->isChecked());
  EXPECT_FALSE(watch->IsRunning()) << "no folder, no thread";
  QTest::mouseClick(Button(), Qt::LeftButton);  // pressing it again switches it off
  EXPECT_FALSE(Button()->isChecked());
  EXPECT_FALSE(MenuItem()->isChecked());
  MenuItem()->trigger();
  EXPECT_TRUE(Button()->isChecked()) << "the button follows the menu item";
  EXPECT_TRUE(watch->IsOn());
}

TEST_F(FolderWatchFixture, FilesClosedAtOnceAllArriveWithoutMovingTheCurrentEntry) {
  const QString open = Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", "open/page.tif");
  work->OpenFiles({open});
  ASSERT_EQ(List()->Current(), 0);
  const std::string shownBefore = window->SourceView()->FileName();
  Write(In("old.tif"));  // present when the watch starts
  Start();
  ASSERT_EQ(watch->KnownNameCount(), 1);

  // Several files closed within one notification, a PDF, and the old name
  // written again.
  for (const char* name : {"c.tif", "a.TIFF", "b.jpg", "e.jpeg", "d.pdf", "notes.txt"}) Write(In(name));
  Write(In("old.tif"), "rewritten");
  const QStringList expected = {In("a.TIFF"), In("b.jpg"), In("c.tif"), In("e.jpeg")};
  ASSERT_TRUE(QTest::qWaitFor([&] { return List()->Count() == 1 + expected.size(); }, 5000)) << List()->Count();
  QTest::qWait(200);  // nothing more arrives later
  for (const QString& f : expected) EXPECT_EQ(Occurrences(f), 1) << f.toStdString();
  EXPECT_EQ(Occurrences(In("old.tif")), 0) << "a name present at the start is never added";
  EXPECT_EQ(Occurrences(In("d.pdf")), 0) << "PDF files are recorded, not added";
  EXPECT_EQ(List()->Count(), 5);
  QStringList sorted = List()->Entries();
  std::sort(sorted.begin(), sorted.end(),
            [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
  EXPECT_EQ(List()->Entries(), sorted) << "the list keeps its order";
  EXPECT_EQ(watch->KnownNameCount(), 7) << "the PDF and the text file are known now";

  EXPECT_EQ(List()->CurrentEntry(), open) << "the current entry stays";
  EXPECT_EQ(window->SourceView()->FileName(), shownBefore) << "the views stay";
  EXPECT_EQ(window->OpenMode(), 1) << "the open mode stays";
}

TEST_F(FolderWatchFixture, AFileArrivesOnceWhenClosedAfterWritingOrRenamedIn) {
  Write(In("marker.pdf"));
  Start();
  QFile slow(In("slow.tif"));
  ASSERT_TRUE(slow.open(QIODevice::WriteOnly));
  for (int i = 0; i < 5; ++i) {  // a scanner writing its page bit by bit
    slow.write(QByteArray(4096, 'x'));
    slow.flush();
    QTest::qWait(60);
  }
  EXPECT_EQ(List()->Count(), 0) << "not while it is being written";
  slow.close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return List()->Count() == 1; }, 5000));
  EXPECT_EQ(List()->Entry(0), In("slow.tif"));
  EXPECT_EQ(List()->Current(), -1) << "an arrival makes no entry current";
  EXPECT_TRUE(window->SourceView()->FileName().empty()) << "nor loads a page";

  // Written elsewhere, then renamed into the folder.
  Write(Path("elsewhere.jpg"));
  ASSERT_TRUE(QFile::rename(Path("elsewhere.jpg"), In("moved.jpg")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return List()->Count() == 2; }, 5000));
  EXPECT_EQ(Occurrences(In("moved.jpg")), 1);
  // Opening and closing it again adds nothing.
  Write(In("slow.tif"), "again");
  QTest::qWait(300);
  EXPECT_EQ(Occurrences(In("slow.tif")), 1);
}

TEST_F(FolderWatchFixture, StoppingTakesLessThanOneWaitPeriod) {
  Write(In("marker.pdf"));
  Start();
  ASSERT_TRUE(watch->IsRunning());
  QElapsedTimer timer;
  timer.start();
  Press(Qt::Key_R, Qt::ControlModifier);
  EXPECT_LT(timer.elapsed(), TFileMonitor::WaitMs);
  EXPECT_FALSE(watch->IsRunning());
  EXPECT_FALSE(Button()->isChecked());
  Write(In("late.tif"));
  QTest::qWait(200);
  EXPECT_EQ(List()->Count(), 0) << "nothing arrives after the watch is off";
}

TEST_F(FolderWatchFixture, AFolderThatCannotBeWatchedSwitchesTheWatchOff) {
  answer = Path("no-such-folder");
  QTest::mouseClick(Button(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.isEmpty(); }, 5000));
  EXPECT_EQ(messages.value(0), QString::fromUtf8("폴더 감시를 시작할 수 없습니다."));
  EXPECT_FALSE(watch->IsRunning());
  EXPECT_FALSE(Button()->isChecked());
  EXPECT_FALSE(MenuItem()->isChecked());
}
