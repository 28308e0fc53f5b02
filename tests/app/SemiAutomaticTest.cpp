#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

#include "DesktopFixture.h"
#include "app/CorrectionCommands.h"
#include "app/DesktopModules.h"
#include "app/F_SemiTrans.h"
#include "app/NumberField.h"
#include "app/Saving.h"
#include "view/ImageScrollBox.h"

namespace {

struct SemiFixture : DesktopFixture {
  TSemiAutomatic* semi = nullptr;
  QString source;

  void SetUp() override {
    DesktopFixture::SetUp();
    InstallCorrectionCommands(*window);
    auto* saving = new TSaving(*window, *work);
    semi = InstallSemiAutomatic(*window);
    source = Copy("testdata/tiff/gen-feyn-g4-200dpi.tif", "in/a.tif");
    QDir().mkpath(Path("out"));
    saving->AskSaveFolder = [this] { return Path("out/"); };
    work->OpenFiles({source});
    Activate();
  }
  // Opens the window; the operator goes on in the main window (the test
  // platform makes every new window active, a desktop does not).
  void Open() {
    semi->Open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(semi->Window()));
    QTest::qWait(20);
    Activate();
  }
  TFSemiTrans& Semi() { return *semi->Window(); }
  void PressShift() { Press(Qt::Key_Shift); }
  TDibGraphic& Page() { return window->SourceView()->Graphic(); }
  QString Output() const { return Path("out/a.tif"); }
};

}  // namespace

TEST_F(SemiFixture, OnePressRunsUpToPaperSizeAndTheNextSaves) {
  // What the first press must do: the six checked steps before saving.
  for (TCommand c : {TCommand::Deskew, TCommand::Specks, TCommand::Centre, TCommand::BorderRemoval, TCommand::Enlarge,
                     TCommand::PaperSize})
    window->Execute(c);
  TDibGraphic expected;
  expected.Assign(Page());
  window->Navigate(10);  // the page again as on disk

  Open();
  ASSERT_TRUE(semi->Window());
  EXPECT_EQ(Semi().windowTitle(), QString::fromUtf8("벨트랙스(Veltrax) - 반자동 이미지 보정"));
  EXPECT_EQ(Semi().ArrowStep(), 10);
  PressShift();
  EXPECT_TRUE(SamePixels(Page(), expected));
  EXPECT_EQ(Semi().CurrentStep(), 100);
  EXPECT_EQ(Semi().ArrowStep(), 100);
  EXPECT_FALSE(QFileInfo::exists(Output())) << "stops before saving";

  PressShift();
  ASSERT_TRUE(QFileInfo::exists(Output())) << "the second press saves";
  EXPECT_EQ(Semi().CurrentStep(), 10);
  EXPECT_TRUE(messages.contains(QString::fromUtf8("마지막 이미지입니다."))) << "saving moved on";
}

TEST_F(SemiFixture, WithEveryBoxClearedShiftOnlyMovesTheArrow) {
  TDibGraphic before;
  before.Assign(Page());
  Open();
  for (int step = 10; step <= 100; step += 10) Semi().Step(step).Run->setChecked(false);
  PressShift();
  EXPECT_EQ(Semi().ArrowStep(), 100) << "up to the next waiting step";
  PressShift();
  EXPECT_EQ(Semi().ArrowStep(), 10);
  EXPECT_TRUE(SamePixels(Page(), before));
  EXPECT_FALSE(QFileInfo::exists(Output()));
}

TEST_F(SemiFixture, WithEveryChoiceGoOnOnePressStopsAfterOneRound) {
  Open();
  for (int step = 10; step <= 100; step += 10) {
    Semi().Step(step).Run->setChecked(false);
    Semi().Step(step).Go->setChecked(true);
  }
  Semi().Step(50).Run->setChecked(true);  // enlarge, run once per round
  window->Execute(TCommand::Enlarge);
  TDibGraphic once;
  once.Assign(Page());
  window->Navigate(10);
  PressShift();
  EXPECT_EQ(Semi().CurrentStep(), 10) << "stops before step 10";
  EXPECT_TRUE(SamePixels(Page(), once)) << "the enlarge step ran once";
}

TEST_F(SemiFixture, OpeningResetsTheStepsAndKeepsOneWindowAtItsStoredPlace) {
  SaveWindowPosition("FSemiTrans", 120, 130);
  Open();
  TFSemiTrans* first = semi->Window();
  EXPECT_EQ(first->pos(), QPoint(120, 130));
  first->Step(20).Wait->setChecked(true);
  first->Step(60).Run->setChecked(true);
  PressShift();
  Open();
  EXPECT_EQ(semi->Window(), first) << "a second request does nothing while open";
  first->move(200, 210);
  first->close();
  QTest::qWait(0);
  EXPECT_FALSE(semi->Window());
  EXPECT_EQ(LoadWindowPosition("FSemiTrans"), QPoint(200, 210));

  Open();
  TFSemiTrans& again = Semi();
  EXPECT_EQ(again.CurrentStep(), 10);
  EXPECT_EQ(again.ArrowStep(), 10);
  EXPECT_TRUE(again.Step(20).Go->isChecked());
  EXPECT_FALSE(again.Step(60).Run->isChecked());
  EXPECT_TRUE(again.Step(100).Wait->isChecked());
}

TEST_F(SemiFixture, ShiftDrivesStepsOnlyWhileTheWindowIsOpenAndNotInATextField) {
  TDibGraphic before;
  before.Assign(Page());
  PressShift();  // no window: Shift keeps its own meaning
  EXPECT_TRUE(SamePixels(Page(), before));
  Open();
  window->Field(1)->setFocus();
  PressShift();
  EXPECT_EQ(Semi().CurrentStep(), 10) << "typing in a field runs nothing";
  window->setFocus();
  PressShift();
  EXPECT_EQ(Semi().CurrentStep(), 100);
}
