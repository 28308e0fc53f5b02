#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include "app/F_ViewTrans.h"
#include "app/KeyboardMap.h"
#include "app/KoreanTranslation.h"
#include "app/NumberField.h"
#include "app/SingleInstance.h"
#include "app/StatusLine.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// Every menu item as "menu/submenu/caption", in menu order.
QStringList MenuPaths(QMenu* menu, const QString& prefix) {
  QStringList paths;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) continue;
    if (a->menu()) {
      paths << prefix + a->text() + "/";
      paths += MenuPaths(a->menu(), prefix + a->text() + "/");
    } else {
      paths << prefix + a->text();
    }
  }
  return paths;
}

struct WindowFixture : ::testing::Test {
  std::unique_ptr<TFViewTrans> window;
  std::vector<TCommand> ran;
  void SetUp() override {
    window = std::make_unique<TFViewTrans>();
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  void Record(std::initializer_list<TCommand> commands) {
    for (TCommand c : commands) window->SetCommandHandler(c, [this, c] { ran.push_back(c); });
  }
};

}  // namespace

TEST(MainWindowMenus, CaptionsAreExactlyTheProgramsTexts) {
  TFViewTrans window;
  QStringList all;
  for (QAction* top : window.menuBar()->actions()) all += MenuPaths(top->menu(), top->text() + "/");
  const QStringList expected = {U("파 일/파일 열기(O)"),
                                U("파 일/폴더 열기(Ctrl + O)"),
                                U("파 일/파일 자동 인식(Ctrl + R)"),
                                U("파 일/저장 경로 지정(P)"),
                                U("파 일/목록에서 전체파일 선택(J)"),
                                U("파 일/목록에서 같은 폴더  파일 선택(Ctrl + J)"),
                                U("파 일/목록에서 파일 선택 해제(Shift + Esc)"),
                                U("파 일/목록에서 파일 제거(K)"),
                                U("파 일/목록에서 선택 파일 제거(Shift + K)"),
                                U("파 일/목록에서 홀수 순서 파일 제거"),
                                U("파 일/목록에서 짝수 순서 파일 제거"),
                                U("파 일/목록에서 전체 파일 제거(Ctrl + K)"),
                                U("파 일/이전 이미지(↑)"),
                                U("파 일/다음 이미지(↓)"),
                                U("파 일/하나의 파일(TIF,PDF)로 만들기(U)"),
                                U("파 일/여러개의 파일(TIF,PDF)로 분리하기(Ctrl + U)"),
                                U("파 일/멀티TIF <-> PDF 변환하기"),
                                U("파 일/두 이미지를 좌우로 붙여 하나로 만들기(Ctrl + I)"),
                                U("파 일/인 쇄(Ctrl + P)"),
                                U("파 일/저 장(스페이스바)/"),
                                U("파 일/저 장(스페이스바)/원본과 같은 압축"),
                                U("파 일/저 장(스페이스바)/CCITT3"),
                                U("파 일/저 장(스페이스바)/CCITT4"),
                                U("파 일/저 장(스페이스바)/Deflate"),
                                U("파 일/저 장(스페이스바)/JPEG"),
                                U("파 일/저 장(스페이스바)/PackBits"),
                                U("파 일/저 장(스페이스바)/LZW"),
                                U("파 일/저 장(스페이스바)/더블클릭시 저장"),
                                U("파 일/환경 설정(H)"),
                                U("파 일/종 료(Ctrl + F4)"),
                                U("편 집/복사하기(Ctrl + C)"),
                                U("편 집/붙여넣기(Ctrl + V)/"),
                                U("편 집/붙여넣기(Ctrl + V)/투명하게"),
                                U("편 집/붙여넣기(Ctrl + V)/불투명하게"),
                                U("편 집/전체 선택(Ctrl + A)"),
                                U("편 집/자르기(Enter)"),
                                U("편 집/내부지우기(Ctrl + X)"),
                                U("편 집/외부지우기(Ctrl + Z)"),
                                U("작업창/자동 보정(I)"),
                                U("작업창/반자동 보정(Ctrl + I)"),
                                U("작업창/확대 창(Ctrl + B)"),
                                U("작업창/전체 화면 1(M)"),
                                U("작업창/전체화면 2(Ctrl + M)"),
                                U("작업창/페이지 번호 넣기"),
                                U("이미지보정/기울기 보정(Z)/"),
                                U("이미지보정/기울기 보정(Z)/이미지 크기 고정"),
                                U("이미지보정/기울기 보정(Z)/이미지 크기 증가"),
                                U("이미지보정/기울기 보정(Z)/가로 쓰기 문서 이미지"),
                                U("이미지보정/기울기 보정(Z)/세로 쓰기 문서 이미지"),
                                U("이미지보정/잡티 제거(X)"),
                                U("이미지보정/진하게 하기(F)"),
                                U("이미지보정/연하게 하기(L)"),
                                U("이미지보정/가운데 정렬(C)"),
                                U("이미지보정/테두리 지우기(V)"),
                                U("이미지보정/테두리 잘라내기(Enter)"),
                                U("이미지보정/여백에 맞추기(G)"),
                                U("이미지보정/라인확장(C)"),
                                U("이미지보정/컬러 -> 회색 변환(/)"),
                                U("이미지보정/문서 크기(T)/"),
                                U("이미지보정/문서 크기(T)/A4"),
                                U("이미지보정/문서 크기(T)/A5"),
                                U("이미지보정/문서 크기(T)/B4"),
                                U("이미지보정/문서 크기(T)/B5"),
                                U("이미지보정/문서 크기(T)/사용자 정의"),
                                U("이미지보정/이미지크기/"),
                                U("이미지보정/이미지크기/크게(B)"),
                                U("이미지보정/이미지크기/작게(N)"),
                                U("이미지보정/회 전/"),
                                U("이미지보정/회 전/시계 방향(R)"),
                                U("이미지보정/회 전/반시계 방향(E)"),
                                U("이미지보정/회 전/반시계방향 90°(1)"),
                                U("이미지보정/회 전/시계방향 90°(2)"),
                                U("이미지보정/회 전/180°(3)"),
                                U("이미지보정/이 동/"),
                                U("이미지보정/이 동/위쪽(W)"),
                                U("이미지보정/이 동/아래쪽(S)"),
                                U("이미지보정/이 동/왼쪽(A)"),
                                U("이미지보정/이 동/오른쪽(D)"),
                                U("이미지보정/고정영역/"),
                                U("이미지보정/고정영역/영역 설정(일반선택+Y)"),
                                U("이미지보정/고정영역/영역 내부 이미지 지우기(Y)"),
                                U("이미지보정/고정영역/설정 영역 목록 제거(Ctrl+Y)"),
                                U("이미지보정/고정영역/영역을 마우스 일반선택 하기(4 또는 5)"),
                                U("이미지보정/이미지 변환/"),
                                U("마우스모드(Alt)/일반 선택"),
                                U("마우스모드(Alt)/외부영역 제거"),
                                U("마우스모드(Alt)/내부영역 제거"),
                                U("보 기(Q)/페이지 적합"),
                                U("보 기(Q)/가로(넓이)"),
                                U("보 기(Q)/세로(높이)"),
                                U("보 기(Q)/원래 크기(100%)"),
                                U("보 기(Q)/반전된 이미지로 보기"),
                                U("보 기(Q)/부드럽게 보기(AntiAliased)"),
                                U("보 기(Q)/십자선 보기"),
                                U("보 기(Q)/격자(그리드) 보기"),
                                U("보 기(Q)/테두리선 보기"),
                                U("보 기(Q)/고정영역 보이기"),
                                U("도움말/프로그램 정보"),
                                U("도움말/도움말")};
  EXPECT_EQ(all, expected);
}

TEST(MainWindowMenus, ToolbarHintsAndChoiceButtons) {
  TFViewTrans window;
  EXPECT_EQ(window.ToolButton(TCommand::OpenFolder)->toolTip(), U("폴더의 모든파일 열기(Ctrl + O) "));
  EXPECT_EQ(window.ToolButton(TCommand::Specks)->toolTip(), U("설정한 높이, 넓이값에 따라 잡티를 제거(X)"));
  EXPECT_EQ(window.ToolButton(TCommand::MouseOuter)->toolTip(), U("마우스모드 - 선택 외부영역 제거"));
  TSettingsRecord s;
  s.F = 30;
  EXPECT_EQ(TFViewTrans::ChoiceHint(TCommand::Save, s), U("저장(스페이스바) - CCITT4"));
  s.K = 20;
  s.D = 200;
  EXPECT_EQ(TFViewTrans::ChoiceHint(TCommand::Deskew, s), U("기울기 보정(Z) - 이미지 크기 증가:세로 쓰기 문서 이미지"));
  s.A = 40;
  EXPECT_EQ(TFViewTrans::ChoiceHint(TCommand::PaperSize, s), U("문서크기(T) - B5"));
  s.Z = 10;
  EXPECT_EQ(TFViewTrans::ChoiceHint(TCommand::ZoomCycle, s), U("확대/축소 - 페이지 적합"));

  window.Execute(TCommand::DeskewGrow);
  EXPECT_EQ(window.Settings().K, 20);
  EXPECT_TRUE(window.ToolButton(TCommand::Deskew)->toolTip().contains(U("이미지 크기 증가")));
  window.Execute(TCommand::PaperB4);
  EXPECT_EQ(window.Settings().A, 30);
  EXPECT_EQ(window.ToolButton(TCommand::PaperSize)->toolTip(), U("문서크기(T) - B4"));
  EXPECT_EQ(window.ToolButton(TCommand::PaperSize)->property("tag").toInt(), 30);
  EXPECT_FALSE(window.Action(TCommand::SemiAuto)->isVisible());
}

TEST(MainWindowMenus, CommandsWithoutWorkAreDisabled) {
  TFViewTrans window;
  EXPECT_FALSE(window.Action(TCommand::Merge)->isEnabled());
  window.SetCommandHandler(TCommand::Merge, [] {});
  EXPECT_TRUE(window.Action(TCommand::Merge)->isEnabled());
  EXPECT_TRUE(window.Action(TCommand::ZoomWidth)->isEnabled());
}

TEST(KeyMap, EveryKeyWithAndWithoutCtrl) {
  using C = TCommand;
  struct Row {
    int key;
    C plain;
    C ctrl;
  };
  const Row rows[] = {
      {Qt::Key_A, C::ShiftLeft, C::SelectAll},
      {Qt::Key_B, C::Enlarge, C::Magnifier},
      {Qt::Key_C, C::Centre, C::Copy},
      {Qt::Key_D, C::ShiftRight, C::ShiftRight},
      {Qt::Key_E, C::RotateCounterClockwise, C::RotateCounterClockwise},
      {Qt::Key_F, C::Darken, C::Darken},
      {Qt::Key_G, C::FitMargins, C::FitMargins},
      {Qt::Key_H, C::Options, C::Options},
      {Qt::Key_I, C::AutoCorrect, C::TwoInOne},
      {Qt::Key_J, C::CheckAll, C::CheckFolder},
      {Qt::Key_K, C::RemoveAll, C::RemovePopup},
      {Qt::Key_L, C::Lighten, C::Lighten},
      {Qt::Key_M, C::FullScreen1, C::FullScreen2},
      {Qt::Key_N, C::Reduce, C::Reduce},
      {Qt::Key_O, C::OpenFiles, C::OpenFolder},
      {Qt::Key_P, C::ChooseSaveFolder, C::Print},
      {Qt::Key_Q, C::ZoomCycle, C::ZoomCycle},
      {Qt::Key_R, C::RotateClockwise, C::FolderWatch},
      {Qt::Key_S, C::ShiftDown, C::ShiftDown},
      {Qt::Key_T, C::PaperSize, C::PaperSize},
      {Qt::Key_U, C::Merge, C::Split},
      {Qt::Key_V, C::BorderRemoval, C::Paste},
      {Qt::Key_W, C::ShiftUp, C::ShiftUp},
      {Qt::Key_X, C::Specks, C::EraseInside},
      {Qt::Key_Y, C::AddFixedOrErase, C::FixedClear},
      {Qt::Key_Z, C::Deskew, C::EraseOutside},
      {Qt::Key_1, C::Turn270, C::Turn270},
      {Qt::Key_2, C::Turn90, C::Turn90},
      {Qt::Key_3, C::Turn180, C::Turn180},
      {Qt::Key_4, C::FixedNext, C::FixedNext},
      {Qt::Key_5, C::FixedPrevious, C::FixedPrevious},
      {Qt::Key_Return, C::Crop, C::Crop},
      {Qt::Key_Backspace, C::EraseInside, C::EraseInside},
      {Qt::Key_Delete, C::EraseInside, C::EraseInside},
      {Qt::Key_Space, C::Save, C::Save},
      {Qt::Key_Home, C::First, C::First},
      {Qt::Key_End, C::Last, C::Last},
      {Qt::Key_Up, C::Previous, C::Previous},
      {Qt::Key_Down, C::Next, C::Next},
      {Qt::Key_Escape, C::Escape, C::Escape},
      {Qt::Key_Slash, C::GreyConvert, C::GreyConvert},
      {Qt::Key_F4, C::None, C::CloseOrEditor},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(KeyCommand(r.key, false, false), r.plain) << r.key;
    EXPECT_EQ(KeyCommand(r.key, true, false), r.ctrl) << r.key;
  }
  EXPECT_EQ(KeyCommand(Qt::Key_K, false, true), C::RemoveChecked);
  EXPECT_EQ(KeyCommand(Qt::Key_Escape, false, true), C::UncheckAll);
  EXPECT_TRUE(KeyIsConsumed(Qt::Key_X));
  EXPECT_TRUE(KeyIsConsumed(Qt::Key_Space));
  for (int k : {Qt::Key_2, Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_F4, Qt::Key_Slash})
    EXPECT_FALSE(KeyIsConsumed(k)) << k;
}

TEST_F(WindowFixture, KeysReachCommandsButNotInsideNumberFields) {
  Record({TCommand::Specks, TCommand::Turn90, TCommand::Deskew});
  window->setFocus();
  QTest::keyClick(window.get(), Qt::Key_X);
  QTest::keyClick(window.get(), Qt::Key_Z);
  EXPECT_EQ(ran, (std::vector<TCommand>{TCommand::Specks, TCommand::Deskew}));

  ran.clear();
  TNumberField* width = window->Field(1);
  width->setFocus();
  width->SetTextQuietly("9");
  width->setCursorPosition(1);
  QTest::keyClick(width, Qt::Key_X, Qt::NoModifier);
  EXPECT_TRUE(ran.empty()) << "X typed into a number field removes no specks";
  EXPECT_EQ(width->text(), "9") << "and the field drops the letter";
  QTest::keyClick(width, Qt::Key_2);
  EXPECT_TRUE(ran.empty()) << "2 in a text field turns nothing";
  EXPECT_EQ(width->text(), "92");
}

TEST_F(WindowFixture, ADigitActsAndStillReachesTheFocusedControl) {
  Record({TCommand::Turn90});
  QWidget* button = window->ListTabs();
  int presses = 0;
  struct Counter : QObject {
    int* n;
    explicit Counter(int* c) : n(c) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::KeyPress) ++*n;
      return false;
    }
  } counter(&presses);
  button->setFocusPolicy(Qt::StrongFocus);
  button->setFocus();
  button->installEventFilter(&counter);
  QTest::keyClick(button, Qt::Key_2);
  EXPECT_EQ(ran, (std::vector<TCommand>{TCommand::Turn90}));
  EXPECT_GE(presses, 1) << "the digit is not consumed";
  presses = 0;
  QTest::keyClick(button, Qt::Key_Q);
  EXPECT_EQ(presses, 0) << "letters are consumed";
}

TEST_F(WindowFixture, MouseModeCycleAndButtons) {
  EXPECT_EQ(window->MouseMode(), 10);
  window->Execute(TCommand::MouseCycle);
  EXPECT_EQ(window->MouseMode(), 20);
  EXPECT_TRUE(window->ToolButton(TCommand::MouseOuter)->isChecked());
  EXPECT_TRUE(window->Action(TCommand::MouseOuter)->isChecked());
  window->Execute(TCommand::MouseCycle);
  EXPECT_EQ(window->MouseMode(), 30);
  window->Execute(TCommand::MouseCycle);
  EXPECT_EQ(window->MouseMode(), 10);
  EXPECT_FALSE(window->ToolButton(TCommand::MouseInner)->isChecked());
  window->setFocus();
  QTest::keyClick(window.get(), Qt::Key_Alt);
  EXPECT_EQ(window->MouseMode(), 20) << "Alt alone advances the mode";
}

TEST_F(WindowFixture, ZoomCycleAndToggles) {
  window->Execute(TCommand::ZoomPage);
  window->Execute(TCommand::ZoomCycle);
  EXPECT_EQ(window->ZoomMode(), 20);
  window->Execute(TCommand::ZoomActual);
  window->Execute(TCommand::ZoomCycle);
  EXPECT_EQ(window->ZoomMode(), 10);
  QAction* grid = window->Action(TCommand::ToggleGrid);
  const int before = window->Settings().GS;
  grid->trigger();
  EXPECT_EQ(window->Settings().GS, 1 - before);
}

TEST_F(WindowFixture, CaptionPressActivatesAView) {
  window->resize(1270, 854);
  QApplication::processEvents();
  EXPECT_NEAR(window->SourceView()->width(), window->ViewSplitter()->width() / 2 - 2, 2)
      << "the source view takes half of the right area less 2 px";
  EXPECT_EQ(window->ResultCaption()->width(), window->SourceView()->width() - 2);
  EXPECT_EQ(window->ActiveView(), TActiveView::Source);
  EXPECT_EQ(window->ResultCaption()->palette().color(QPalette::Window), window->palette().color(QPalette::Button));
  EXPECT_EQ(window->SourceCaption()->palette().color(QPalette::Window), window->palette().color(QPalette::Highlight));
  EXPECT_LT(window->SourceCaption()->width(), window->width() / 2 + 50);
  QTest::mouseClick(window->ResultCaption(), Qt::LeftButton);
  EXPECT_EQ(window->ActiveView(), TActiveView::Result);
  EXPECT_EQ(window->ResultCaption()->palette().color(QPalette::Window), window->palette().color(QPalette::Highlight));
}

TEST(MainWindowSettings, SavedAtExitAndRestoredAtStart) {
  {
    TFViewTrans window;
    window.Field(1)->setText("17");
    window.Field(3)->setText("0");
    window.Field(7)->setText("2.5");
    window.Execute(TCommand::SaveCcitt4);
    window.move(123, 77);
  }
  EXPECT_EQ(LoadSettings().W, 17);
  EXPECT_EQ(LoadSettings().P1, 1) << "margins are raised to 1";
  EXPECT_FLOAT_EQ(LoadSettings().R, 2.5f);
  EXPECT_EQ(LoadSettings().F, 30);
  EXPECT_EQ(LoadWindowPosition("FViewTrans"), QPoint(123, 77));
  TFViewTrans again;
  EXPECT_EQ(again.Field(1)->text(), "17");
  EXPECT_EQ(again.Field(7)->text(), "2.50");
  EXPECT_EQ(again.pos(), QPoint(123, 77));
  EXPECT_TRUE(again.Action(TCommand::SaveCcitt4)->isChecked());
}

TEST(MainWindowSettings, APositionWithLeftZeroIsIgnored) {
  SaveWindowPosition("FViewTrans", 0, 300);
  TFViewTrans window;
  EXPECT_NE(window.pos(), QPoint(0, 300));
}

TEST(StatusLine, ElevenFields) {
  TDibGraphic page;
  page.NewImage(2480, 3508, ifBlackWhite, nullptr, 300, 300);
  TStatusLineData d;
  d.X = 1181;
  d.Y = 118;
  d.FileName = "/scans/box 3/page.tif";
  d.Frame = 2;
  d.FrameCount = 5;
  d.EntryPosition = 3;
  d.EntryCount = 40;
  EXPECT_EQ(FormatStatusLine(page, d), U("(X:99 Y:9)mm (X:1181 Y:118)px page.tif(2/5, 3/40) 크기: 209 x 297"));
  TDibGraphic empty;
  EXPECT_TRUE(FormatStatusLine(empty, d).isEmpty());
  page.SetXPelsPerMeter(0);
  EXPECT_EQ(PixelsToMmTruncated(100, 0), 0);
}

TEST(SingleInstance, ASecondProcessFindsTheLock) {
  TSingleInstance first;
  ASSERT_TRUE(first.Acquired());
  QProcess second;
  second.start(QString::fromUtf8(VELTRAX_BINARY_DIR "/app/veltrax"), {});
  ASSERT_TRUE(second.waitForFinished(10000)) << "a second start ends at once";
  EXPECT_EQ(second.exitCode(), 0);
}

TEST(KoreanTexts, StandardButtonsReadInKorean) {
  ASSERT_TRUE(InstallKoreanTranslation());
  QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes | QMessageBox::No);
  EXPECT_TRUE(box.button(QMessageBox::Yes)->text().contains(QString::fromUtf8("예")))
      << box.button(QMessageBox::Yes)->text().toStdString();
}
