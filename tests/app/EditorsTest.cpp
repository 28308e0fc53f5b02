// The magnifier and the two full-screen editors, opened from the main
// window's keys and buttons as the operator opens them; what is checked is
// what the windows show and what happens to the page.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <random>

#include "app/AppMessage.h"
#include "app/CorrectionCommands.h"
#include "app/EditorWindows.h"
#include "app/F_FullScreen.h"
#include "app/F_FullScrn.h"
#include "app/F_ViewTrans.h"
#include "app/F_ViewZoom.h"
#include "app/NumberField.h"
#include "correction/NoiseRemoval.h"
#include "image/transforms/CropTransform.h"
#include "tests/support/TestSupport.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"
#include "view/Magnifier.h"
#include "view/RubberbandMouseHandler.h"

namespace {

struct EditorsFixture : ::testing::Test {
  std::unique_ptr<TFViewTrans> window;
  QStringList messages;
  TDibGraphic page;

  void SetUp() override {
    SetAppMessageHook([this](const QString& text, int) {
      messages << text;
      return 0;
    });
    window = std::make_unique<TFViewTrans>();
    InstallCorrectionCommands(*window);
    InstallEditorWindows(*window);
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->setFocus();
    std::mt19937 rng(11);
    RandomPage(page, 1200, 1600, 0.02, rng);
  }
  void TearDown() override {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName().startsWith("TFFull")) w->close();
    window.reset();
    SetAppMessageHook(nullptr);
  }
  void LoadPage() { window->SourceView()->AssignGraphic(page); }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    // Keys go where the window system sends them: the focused control.
    QWidget* focus = QApplication::focusWidget();
    QWidget* target = focus ? focus : QApplication::activeWindow() ? QApplication::activeWindow() : window.get();
    QTest::keyClick(target, static_cast<Qt::Key>(key), mods);
    QApplication::processEvents();
  }
  template <class T>
  T* Open(int key, Qt::KeyboardModifiers mods) {
    Key(key, mods);
    auto* editor = window->findChild<T*>();
    if (editor) {
      QApplication::setActiveWindow(editor);
      EXPECT_TRUE(QTest::qWaitForWindowActive(editor));
      editor->setFocus();
      QApplication::processEvents();
    }
    return editor;
  }
  // The mouse moved over display point p of a view.
  static void Move(TImageScrollBox* view, QPoint p) {
    const QPointF at = view->PageOrigin() + p;
    QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QApplication::processEvents();
  }
  static void Wheel(QWidget* target, int delta) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
    QApplication::processEvents();
  }
  // A drag of the left button over a view, in display pixels.
  static void Drag(TImageScrollBox* view, QPoint from, QPoint to) {
    QWidget* vp = view->viewport();
    const QPoint o = view->PageOrigin();
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, o + from);
    QTest::mouseMove(vp, o + (from + to) / 2);
    QTest::mouseMove(vp, o + to);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, o + to);
    QApplication::processEvents();
  }
};

// --- magnifier ---------------------------------------------------------------------

TEST_F(EditorsFixture, MagnifierFollowsTheMouseOverTheView) {
  LoadPage();
  Key(Qt::Key_B, Qt::ControlModifier);
  auto* zoom = window->findChild<TFViewZoom*>();
  ASSERT_NE(zoom, nullptr);
  EXPECT_EQ(zoom->windowTitle(), QString::fromUtf8("벨트랙스(Veltrax) - 확대 보기"));
  EXPECT_EQ(zoom->size(), QSize(292, 273));
  EXPECT_TRUE(zoom->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  // The mouse over display point (100, 150) of the source view.
  TImageScrollBox* view = window->SourceView();
  Move(view, QPoint(100, 150));
  const TSize d = view->DisplaySize();
  const int x = 100 * page.Width() / d.Width, y = 150 * page.Height() / d.Height;
  QImage expected(292, 273, QImage::Format_RGB32);
  DrawMagnifier(page, x, y, expected);
  EXPECT_EQ(zoom->Surface(), expected);
  EXPECT_EQ(zoom->grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(145, 10), kMagnifierPen);
  // Opening again brings the same window forward.
  window->Action(TCommand::Magnifier)->trigger();
  EXPECT_EQ(window->findChildren<TFViewZoom*>().size(), 1);
}

TEST_F(EditorsFixture, MagnifierPositionIsStoredAndAZeroCoordinateIgnored) {
  SaveWindowPosition("FViewZoom", 0, 120);
  window->ToolButton(TCommand::Magnifier)->click();
  auto* zoom = window->findChild<TFViewZoom*>();
  ASSERT_NE(zoom, nullptr);
  EXPECT_NE(zoom->pos(), QPoint(0, 120));
  zoom->move(210, 160);
  zoom->close();
  QApplication::processEvents();
  EXPECT_EQ(window->findChild<TFViewZoom*>(), nullptr);
  EXPECT_EQ(LoadWindowPosition("FViewZoom"), QPoint(210, 160));
  window->ToolButton(TCommand::Magnifier)->click();
  ASSERT_NE(window->findChild<TFViewZoom*>(), nullptr);
  EXPECT_EQ(window->findChild<TFViewZoom*>()->pos(), QPoint(210, 160));
}

// --- opening -------------------------------------------------------------------------

TEST_F(EditorsFixture, AnEmptyPageOpensNoEditor) {
  Key(Qt::Key_M);
  Key(Qt::Key_M, Qt::ControlModifier);
  EXPECT_EQ(window->findChild<TFFullScreen*>(), nullptr);
  EXPECT_EQ(window->findChild<TFFullScrn*>(), nullptr);
  EXPECT_EQ(messages, QStringList({QString::fromUtf8("작업할 파일을 선택하세요."),
                                   QString::fromUtf8("작업할 파일을 선택하세요.")}));
}

// --- the editor with toolbars -----------------------------------------------------------

TEST_F(EditorsFixture, ToolbarEditorRunsCommandsOnItsPageAndHandsItBack) {
  LoadPage();
  auto* editor = Open<TFFullScrn>(Qt::Key_M, Qt::ControlModifier);
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->isModal());
  EXPECT_TRUE(editor->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(window->ActiveScrollBox(), editor->PageView());
  EXPECT_TRUE(SamePixels(editor->PageView()->Graphic(), page));
  EXPECT_TRUE(editor->Button("Btn4")->isChecked());
  EXPECT_EQ(editor->PageView()->ZoomMode(), zmFitWidth);
  // The speck button removes specks from the editor's page.
  window->Settings().W = 2;
  window->Settings().H = 2;
  window->ShowParameters();
  TDibGraphic expected;
  expected.Assign(page);
  RemoveSpecks(expected, 2, 2, false, {}, window->Settings().J);
  editor->Button("spotBtn")->click();
  EXPECT_TRUE(SamePixels(editor->PageView()->Graphic(), expected));
  EXPECT_FALSE(SamePixels(window->SourceView()->Graphic(), expected));
  // Closing hands the page back to the main window's view.
  editor->Button("ToolButton11")->click();
  QApplication::processEvents();
  QApplication::setActiveWindow(window.get());
  window->setFocus();
  EXPECT_EQ(window->findChild<TFFullScrn*>(), nullptr);
  EXPECT_EQ(window->ActiveScrollBox(), window->SourceView());
  EXPECT_TRUE(SamePixels(window->SourceView()->Graphic(), expected));
  // Esc in the main window takes the step back.
  Key(Qt::Key_Escape);
  EXPECT_TRUE(SamePixels(window->SourceView()->Graphic(), page));
}

TEST_F(EditorsFixture, ToolbarEditorRefusesAnEmptyResultView) {
  LoadPage();
  auto* editor = Open<TFFullScrn>(Qt::Key_M, Qt::ControlModifier);
  ASSERT_NE(editor, nullptr);
  editor->Button("Btn2")->click();
  EXPECT_TRUE(editor->Button("Btn1")->isChecked());
  EXPECT_FALSE(editor->Button("Btn2")->isChecked());
  EXPECT_EQ(window->ActiveView(), TActiveView::Source);
  // With a page there, the result view's page is shown instead.
  TDibGraphic other;
  BlackPage(other, 300, 200);
  window->ResultView()->AssignGraphic(other);
  editor->Button("Btn2")->click();
  EXPECT_FALSE(editor->Button("Btn1")->isChecked());
  EXPECT_EQ(window->ActiveView(), TActiveView::Result);
  EXPECT_TRUE(SamePixels(editor->PageView()->Graphic(), other));
}

TEST_F(EditorsFixture, ToolbarEditorWheelScrollsOnlyInFitWidth) {
  LoadPage();
  auto* editor = Open<TFFullScrn>(Qt::Key_M, Qt::ControlModifier);
  ASSERT_NE(editor, nullptr);
  QScrollBar* bar = editor->PageView()->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 200);
  Wheel(editor->PageView()->viewport(), -120);
  EXPECT_EQ(bar->value(), 6 * bar->singleStep());
  Wheel(editor->PageView()->viewport(), 120);
  EXPECT_EQ(bar->value(), 0);
  editor->Button("Btn3")->click();
  EXPECT_FALSE(editor->Button("Btn4")->isChecked());
  EXPECT_EQ(editor->PageView()->ZoomMode(), zmFitToPage);
  const int before = bar->value();
  Wheel(editor->PageView()->viewport(), -120);
  EXPECT_EQ(bar->value(), before);
  // Page Down scrolls a page wherever the focus is.
  editor->Button("Btn4")->click();
  Key(Qt::Key_PageDown);
  EXPECT_EQ(bar->value(), std::min(bar->maximum(), bar->pageStep()));
}

TEST_F(EditorsFixture, ToolbarEditorFieldsTakeDigitsAndTheAngleADecimalPoint) {
  LoadPage();
  auto* editor = Open<TFFullScrn>(Qt::Key_M, Qt::ControlModifier);
  ASSERT_NE(editor, nullptr);
  TNumberField* speck = editor->ParameterField(10);
  TNumberField* angle = editor->ParameterField(30);
  speck->setFocus();
  speck->clear();
  QTest::keyClicks(speck, "1.5x");
  EXPECT_EQ(speck->text(), "15");
  EXPECT_EQ(window->Settings().W, 15);
  angle->setFocus();
  angle->clear();
  QTest::keyClicks(angle, "1.5");
  EXPECT_EQ(angle->text(), "1.5");
  EXPECT_FLOAT_EQ(window->Settings().R, 1.5f);
}

// --- the editor with side panel and tiles ---------------------------------------------

TEST_F(EditorsFixture, SidePanelEditorCutsThePageIntoTiles) {
  BlackPage(page, 2480, 3508);
  std::mt19937 rng(5);
  RandomPage(page, 2480, 3508, 0.02, rng);
  LoadPage();
  auto* editor = Open<TFFullScreen>(Qt::Key_M, Qt::NoModifier);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(window->ActiveScrollBox(), editor->PageView());
  EXPECT_TRUE(SamePixels(editor->PageView()->Graphic(), page));
  editor->TileChoice(1)->click();
  QApplication::processEvents();
  EXPECT_EQ(window->MouseMode(), 30);
  EXPECT_TRUE(editor->TileView()->isVisible());
  const QSize client = editor->TileView()->viewport()->size();
  const TTileGrid& grid = editor->Grid();
  EXPECT_EQ(grid.Columns, (2480 + client.width() - 1) / client.width());
  EXPECT_EQ(grid.Rows, (3508 + client.height() - 1) / client.height());
  // The tile view shows the page's first tile, one to one.
  TDibGraphic tile;
  CropGraphic(page, TRect{0, 0, client.width(), client.height()}, tile);
  EXPECT_TRUE(SamePixels(editor->TileView()->Graphic(), tile));
  EXPECT_EQ(editor->TileView()->ZoomPercent(), 100.0f);
  // The wheel steps through the tiles and stops at both ends.
  for (int i = 0; i < grid.Count() + 3; ++i) Wheel(editor->TileView()->viewport(), -120);
  EXPECT_EQ(editor->TileIndex(), grid.Count() - 1);
  for (int i = 0; i < grid.Count() + 3; ++i) Wheel(editor->TileView()->viewport(), 120);
  EXPECT_EQ(editor->TileIndex(), 0);
  // D moves one tile on, S one row down.
  Key(Qt::Key_D);
  Key(Qt::Key_S);
  EXPECT_EQ(editor->TileIndex(), 1 + grid.Columns);
  EXPECT_TRUE(SamePixels(window->SourceView()->Graphic(), page));  // no shift ran
  // A click on the overview picks the tile under it; the overview shows the
  // current cell in red.
  const TRect cell = OverviewCell(grid, 2);
  QTest::mouseClick(editor->PaintBox(), Qt::LeftButton, Qt::NoModifier, QPoint(20 + cell.Left + 2, 20 + cell.Top + 2));
  EXPECT_EQ(editor->TileIndex(), 2);
  const QImage box = editor->PaintBoxImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(box.pixel(20 + cell.Left, 20 + cell.Top + cell.Height() / 2), kOverviewCurrentColour);
  EXPECT_EQ(box.pixel(5, 5), qRgb(0, 0, 0));
  // "4등분" always cuts four.
  editor->TileChoice(2)->click();
  QApplication::processEvents();
  EXPECT_EQ(editor->Grid().Count(), 4);
  for (int i = 0; i < 6; ++i) Wheel(editor->TileView()->viewport(), -120);
  EXPECT_EQ(editor->TileIndex(), 3);
  EXPECT_EQ(editor->TileRectangle().Left, 1240);
  EXPECT_EQ(editor->TileRectangle().Bottom, 3508);
}

TEST_F(EditorsFixture, SidePanelEditorClearsInsideATileWithUndo) {
  LoadPage();
  auto* editor = Open<TFFullScreen>(Qt::Key_M, Qt::NoModifier);
  ASSERT_NE(editor, nullptr);
  editor->TileChoice(2)->click();
  QApplication::processEvents();
  Key(Qt::Key_D);  // the top-right quarter
  ASSERT_EQ(editor->TileIndex(), 1);
  const TRect tile = editor->TileRectangle();
  ASSERT_EQ(tile.Left, 600);
  // Right-button releases alternate between normal selection and clearing.
  QWidget* vp = editor->TileView()->viewport();
  QTest::mouseClick(vp, Qt::RightButton, Qt::NoModifier, QPoint(30, 30));
  EXPECT_EQ(window->MouseMode(), 10);
  QTest::mouseClick(vp, Qt::RightButton, Qt::NoModifier, QPoint(30, 30));
  EXPECT_EQ(window->MouseMode(), 30);
  // A band dragged in mode 30 is cleared on release, in the tile and the page.
  TImageScrollBox* tileView = editor->TileView();
  Drag(tileView, QPoint(10, 20), QPoint(60, 90));
  const TSize d = tileView->DisplaySize();
  const TDibGraphic& cleared = editor->PageView()->Graphic();
  int black = 0;
  const int x0 = tile.Left + 10 * (tile.Width()) / d.Width + 2, x1 = tile.Left + 60 * tile.Width() / d.Width - 2;
  const int y0 = 20 * tile.Height() / d.Height + 2, y1 = 90 * tile.Height() / d.Height - 2;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) black += cleared.GetPixelIndex(x, y) == 0;
  EXPECT_EQ(black, 0);
  TDibGraphic reference;
  reference.Assign(page);
  int changed = 0;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) changed += cleared.GetPixelIndex(x, y) != page.GetPixelIndex(x, y);
  EXPECT_GT(changed, 0);
  // The tile shows the cleared page.
  TDibGraphic tileNow;
  CropGraphic(cleared, tile, tileNow);
  EXPECT_TRUE(SamePixels(tileView->Graphic(), tileNow));
  // Esc undoes it, in the page and the tile.
  Key(Qt::Key_Escape);
  EXPECT_TRUE(SamePixels(editor->PageView()->Graphic(), page));
  CropGraphic(page, tile, tileNow);
  EXPECT_TRUE(SamePixels(tileView->Graphic(), tileNow));
}

TEST_F(EditorsFixture, SidePanelEditorGridBoxTurnsOnTheMainGridOnly) {
  LoadPage();
  auto* editor = Open<TFFullScreen>(Qt::Key_M, Qt::NoModifier);
  ASSERT_NE(editor, nullptr);
  const bool cross = window->Action(TCommand::ToggleCrosshair)->isChecked();
  ASSERT_FALSE(editor->CheckBox(1)->isChecked());
  editor->CheckBox(1)->click();
  EXPECT_TRUE(window->Action(TCommand::ToggleGrid)->isChecked());
  EXPECT_TRUE(window->SourceView()->ShowGrid());
  EXPECT_TRUE(editor->PageView()->ShowGrid());
  EXPECT_EQ(window->Action(TCommand::ToggleCrosshair)->isChecked(), cross);
  EXPECT_EQ(editor->PageView()->ZoomMode(), zmFitToPage);
  // Ctrl+F4 closes the editor first.
  Key(Qt::Key_F4, Qt::ControlModifier);
  EXPECT_EQ(window->findChild<TFFullScreen*>(), nullptr);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(EditorsFixture, SidePanelEditorShowsAMagnifierInWholeMode) {
  LoadPage();
  auto* editor = Open<TFFullScreen>(Qt::Key_M, Qt::NoModifier);
  ASSERT_NE(editor, nullptr);
  TImageScrollBox* view = editor->PageView();
  Move(view, QPoint(40, 70));
  const QImage box = editor->PaintBoxImage().convertToFormat(QImage::Format_RGB32);
  const TSize d = view->DisplaySize();
  const int x = (40 * page.Width() * 2 + d.Width) / (2 * d.Width),
            y = (70 * page.Height() * 2 + d.Height) / (2 * d.Height);
  QImage expected(box.size(), QImage::Format_RGB32);
  DrawMagnifier(page, x, y, expected);
  ASSERT_EQ(box.size(), expected.size());
  for (int j = 0; j < box.height(); ++j)
    for (int i = 0; i < box.width(); ++i)
      if (box.pixel(i, j) != expected.pixel(i, j)) {
        ADD_FAILURE() << "pixel " << i << "," << j;
        i = box.width();
        j = box.height();
      }
  EXPECT_TRUE(editor->StatusText()->text().contains(QString("px")));
}

}  // namespace
