// The correction commands pressed from their keys in the real main window;
// each page is compared with the routine's result on a copy.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QToolButton>

#include "app/AppMessage.h"
#include "app/CorrectionCommands.h"
#include "app/F_ViewTrans.h"
#include "app/NumberField.h"
#include "correction/Borders.h"
#include "correction/DeskewTransform.h"
#include "correction/NoiseData.h"
#include "correction/NoiseRemoval.h"
#include "correction/PagePlacement.h"
#include "correction/StrokeWeight.h"
#include "image/Canvas.h"
#include "image/transforms/ConvertToGrayTransform.h"
#include "image/transforms/CropTransform.h"
#include "image/transforms/RotateTransform.h"
#include "tests/support/TestSupport.h"
#include "view/DisplayBitmap.h"
#include "view/ImageScrollBox.h"
#include "view/RubberbandMouseHandler.h"

namespace {

// A bilevel page with text-like bars, a frame near the edges and scattered
// specks of one to three pixels.
void MakeScanPage(TDibGraphic& page) {
  MakeWhitePage(page, 600, 450, 100);
  auto black = [&](int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) page.SetPixelIndex(x, y, 0);
  };
  for (int line = 0; line < 8; ++line) black(150, 120 + line * 22, 430 - line * 9, 130 + line * 22);
  black(5, 5, 595, 8);
  black(5, 5, 8, 445);
  unsigned seed = 12345;
  for (int i = 0; i < 300; ++i) {
    seed = seed * 1103515245u + 12345u;
    const int x = static_cast<int>((seed >> 8) % 590);
    seed = seed * 1103515245u + 12345u;
    const int y = static_cast<int>((seed >> 8) % 440);
    const int size = 1 + static_cast<int>(seed % 3);
    black(x, y, x + size, y + size);
  }
}

// A true-colour page: a colour wash with dark blocks.
void MakeColourPage(TDibGraphic& page) {
  page.NewImage(320, 240, ifTrueColor, nullptr, 100, 100);
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) {
      TColor32 c = (static_cast<TColor32>(200 + x % 56) << 16) | (static_cast<TColor32>(180 + y % 70) << 8) | 230;
      if (x > 60 && x < 250 && (y / 12) % 3 == 0 && y > 40 && y < 200) c = 0x102030;
      page.SetPixel(x, y, c);
    }
}

struct CorrectionFixture : ::testing::Test {
  std::unique_ptr<TFViewTrans> window;
  std::vector<int> navigations;

  void SetUp() override {
    window = std::make_unique<TFViewTrans>();
    InstallCorrectionCommands(*window);
    window->Navigate = [this](int step) { navigations.push_back(step); };
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->setFocus();
  }
  void TearDown() override {
    // Leave no modifier behind for the next test.
    QTest::keyRelease(window->windowHandle(), Qt::Key_Shift);
  }

  TImageScrollBox* Source() { return window->SourceView(); }
  TDibGraphic& Page() { return Source()->Graphic(); }
  TRubberbandMouseHandler& Band() { return window->Band(Source()); }
  void Load(void (*make)(TDibGraphic&)) {
    TDibGraphic page;
    make(page);
    Source()->AssignGraphic(page);
    Source()->Redraw(true);
  }
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    // Keys go where the window system sends them: the focused control.
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : window.get(), key, modifiers);
  }
  // Holds Shift the way the window system reports it.
  void HoldShift() { QTest::keyPress(window->windowHandle(), Qt::Key_Shift, Qt::ShiftModifier); }
  // A selection over display pixels; returns it in image pixels with
  // right and bottom one past.
  TRect Select(const TRect& display) {
    Band().SetSelection(display);
    const TRect r = Band().SelectedImageRect();
    return TRect{r.Left, r.Top, r.Right + 1, r.Bottom + 1};
  }
  void Copy(TDibGraphic& to) { to.Assign(Page()); }
};

// --- speck removal and the marked regions ------------------------------------

TEST_F(CorrectionFixture, SpeckRemovalMatchesTheRoutineAndEscRestores) {
  Load(MakeScanPage);
  TDibGraphic before, expected;
  Copy(before);
  Copy(expected);
  const TSettingsRecord& s = window->Settings();
  RemoveSpecks(expected, s.W, s.H, false, {}, s.J);
  Press(Qt::Key_X);
  EXPECT_TRUE(SamePixels(Page(), expected));
  EXPECT_FALSE(SamePixels(Page(), before));
  Press(Qt::Key_Escape);
  EXPECT_TRUE(SamePixels(Page(), before));
  EXPECT_TRUE(window->UndoImage().Empty());
}

TEST_F(CorrectionFixture, SpeckRemovalWithShiftAndNoRegionSetsTheInsideFlag) {
  Load(MakeScanPage);
  window->Field(1)->setText("2");
  window->Field(2)->setText("2");
  TDibGraphic expected;
  Copy(expected);
  RemoveSpecks(expected, 2, 2, true, {}, window->Settings().J);
  HoldShift();
  ASSERT_TRUE(QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier));
  Press(Qt::Key_X, Qt::ShiftModifier);
  EXPECT_TRUE(SamePixels(Page(), expected));
}

TEST_F(CorrectionFixture, MarkedRegionsAreUsedOnceThenCleared) {
  Load(MakeScanPage);
  // Shift alone hands the selection to the region list.
  Select(TRect{0, 0, 80, 80});
  HoldShift();
  QTest::keyRelease(window->windowHandle(), Qt::Key_Shift);
  ASSERT_FALSE(Band().BandPresent());
  ASSERT_EQ(Band().MarkedRegions().size(), 1u);
  // A second region comes from the selection present when X is pressed.
  const std::vector<TRect> first = Band().MarkedRegionsInImagePixels();
  Select(TRect{100, 100, 200, 160});
  Band().AddSelectionToRegions();
  const std::vector<TRect> regions = Band().MarkedRegionsInImagePixels();
  ASSERT_EQ(regions.size(), 2u);
  Band().ClearMarkedRegions();
  Band().SetSelection(TRect{0, 0, 80, 80});
  Band().AddSelectionToRegions();
  Band().SetSelection(TRect{100, 100, 200, 160});

  TDibGraphic expected;
  Copy(expected);
  RemoveSpecks(expected, window->Settings().W, window->Settings().H, false, regions, window->Settings().J);
  Press(Qt::Key_X);
  EXPECT_TRUE(SamePixels(Page(), expected));
  EXPECT_TRUE(Band().MarkedRegions().empty());
  EXPECT_FALSE(Band().BandPresent());
  EXPECT_EQ(first.front(), regions.front());
}

// --- border removal, crop, fit ------------------------------------------------

TEST_F(CorrectionFixture, BorderRemovalWithASelectionTakesItsMarginsAndKeepsTheUndoStep) {
  Load(MakeScanPage);
  TDibGraphic before;
  Copy(before);
  Press(Qt::Key_X);  // a command that takes a copy
  TDibGraphic afterSpecks, expected;
  Copy(afterSpecks);
  Copy(expected);
  const TRect sel = Select(TRect{40, 30, 200, 150});
  EraseOutsideRect(expected, sel);
  Press(Qt::Key_V);
  EXPECT_TRUE(SamePixels(Page(), expected));
  EXPECT_FALSE(Band().BandPresent());
  const TDibGraphic& p = Page();
  const int want[4] = {PixelsToMm(p, sel.Left), PixelsToMm(p, sel.Top), PixelsToMm(p, p.Width() - sel.Right),
                       PixelsToMm(p, p.Height() - sel.Bottom)};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(window->Field(3 + i)->text().toInt(), std::max(1, want[i])) << i;
  const TSettingsRecord& s = window->Settings();
  EXPECT_EQ(s.P1, std::max(1, want[0]));
  EXPECT_EQ(s.P4, std::max(1, want[3]));
  for (TImageScrollBox* v : {window->SourceView(), window->ResultView()}) {
    EXPECT_EQ(v->OutlineLeft(), s.P1);
    EXPECT_EQ(v->OutlineTop(), s.P2);
    EXPECT_EQ(v->OutlineRight(), s.P3);
    EXPECT_EQ(v->OutlineBottom(), s.P4);
  }
  // Border removal takes no copy: Esc goes back past the speck removal.
  Press(Qt::Key_Escape);
  EXPECT_TRUE(SamePixels(Page(), before));
}

TEST_F(CorrectionFixture, BorderRemovalWithoutASelectionUsesTheMarginFields) {
  Load(MakeScanPage);
  window->Field(3)->setText("10");
  window->Field(4)->setText("12");
  window->Field(5)->setText("14");
  window->Field(6)->setText("16");
  TDibGraphic expected;
  Copy(expected);
  TRect r;
  MarginsToRect(expected, 12, 16, r, 14, 10);
  EraseOutsideRect(expected, r);
  Press(Qt::Key_V);
  EXPECT_TRUE(SamePixels(Page(), expected));
}

TEST_F(CorrectionFixture, EscAfterCropRestoresAndTheSecondEscReloads) {
  Load(MakeScanPage);
  TDibGraphic before, expected;
  Copy(before);
  Copy(expected);
  TRect r;
  const TSettingsRecord& s = window->Settings();
  MarginsToRect(expected, s.P2, s.P4, r, s.P3, s.P1);
  CropToRect(expected, r);
  Press(Qt::Key_Return);
  EXPECT_TRUE(SamePixels(Page(), expected));
  Press(Qt::Key_Escape);
  EXPECT_TRUE(SamePixels(Page(), before));
  EXPECT_TRUE(navigations.empty());
  Press(Qt::Key_Escape);
  EXPECT_EQ(navigations, std::vector<int>{0});

  // With a selection the view crops to it.
  const TRect sel = Select(TRect{20, 20, 120, 90});
  CropGraphic(before, sel, expected);
  Press(Qt::Key_Return);
  EXPECT_TRUE(SamePixels(Page(), expected));
  // Not in the erase modes.
  window->SetMouseMode(20);
  Press(Qt::Key_Return);
  EXPECT_TRUE(SamePixels(Page(), expected));
}

TEST_F(CorrectionFixture, EscRemovesTheSelectionBeforeUndoing) {
  Load(MakeScanPage);
  Press(Qt::Key_X);
  TDibGraphic afterSpecks;
  Copy(afterSpecks);
  Select(TRect{10, 10, 60, 60});
  Press(Qt::Key_Escape);
  EXPECT_FALSE(Band().BandPresent());
  EXPECT_FALSE(window->UndoImage().Empty());
  EXPECT_TRUE(SamePixels(Page(), afterSpecks));
}

TEST_F(CorrectionFixture, FitToMarginsPassesTheContentBoxOnePast) {
  Load(MakeScanPage);
  TDibGraphic expected, undo;
  Copy(expected);
  const TSettingsRecord& s = window->Settings();
  TRect content = FindContentBounds(expected, s.aH, s.aV, s.J);
  content.Right += 1;
  content.Bottom += 1;
  TRect target;
  MarginsToRect(expected, s.P2, s.P4, target, s.P3, s.P1);
  FitToMargins(expected, &undo, content, target);
  Press(Qt::Key_G);
  EXPECT_TRUE(SamePixels(Page(), expected));
}

// --- paper, rotation, shift, grey ------------------------------------------------

TEST_F(CorrectionFixture, B5FromThePaperMenuThenTFitsTo182By257Millimetres) {
  Load(MakeScanPage);
  window->Action(TCommand::PaperB5)->trigger();
  const TSettingsRecord& s = window->Settings();
  EXPECT_EQ(s.A, 40);
  EXPECT_EQ(s.pW, 182);
  EXPECT_EQ(s.pH, 257);
  EXPECT_TRUE(window->Action(TCommand::PaperB5)->isChecked());
  EXPECT_EQ(window->ToolButton(TCommand::PaperSize)->toolTip(), TFViewTrans::ChoiceHint(TCommand::PaperSize, s));
  EXPECT_TRUE(window->ToolButton(TCommand::PaperSize)->toolTip().endsWith("B5"));
  TDibGraphic expected, undo;
  Copy(expected);
  FitToPaper(expected, &undo, 182, 257, false, s.pS == 1);
  Press(Qt::Key_T);
  EXPECT_TRUE(SamePixels(Page(), expected));
  // 182 x 257 mm at 100 dpi.
  EXPECT_EQ(Page().Width(), 717);
  EXPECT_EQ(Page().Height(), 1012);
}

TEST_F(CorrectionFixture, CustomPaperKeepsTheStoredSize) {
  Load(MakeScanPage);
  window->Settings().pW = 100;
  window->Settings().pH = 120;
  window->Action(TCommand::PaperUser)->trigger();
  EXPECT_EQ(window->Settings().A, 50);
  EXPECT_EQ(window->Settings().pW, 100);
  Press(Qt::Key_T);
  EXPECT_EQ(Page().Width(), 394);
  EXPECT_EQ(Page().Height(), 472);
}

TEST_F(CorrectionFixture, CounterClockwiseTurnsByMinusRAndLeavesRPositive) {
  Load(MakeColourPage);
  window->Field(7)->setText("1.5");
  TDibGraphic expected;
  Copy(expected);
  RotateImageKeep(expected, nullptr, false, -1.5f);
  Press(Qt::Key_E);
  EXPECT_TRUE(SamePixels(Page(), expected));
  EXPECT_FLOAT_EQ(window->Settings().R, 1.5f);
  EXPECT_EQ(window->Field(7)->text(), "1.5");
  // A true-colour page grows, a bilevel page keeps its size.
  EXPECT_GT(Page().Width(), 320);
}

TEST_F(CorrectionFixture, BilevelRotationKeepsItsSize) {
  Load(MakeScanPage);
  window->Field(7)->setText("2");
  TDibGraphic before, expected;
  Copy(before);
  RotateBilevel(before, expected, false, 2.0);
  Press(Qt::Key_R);
  EXPECT_EQ(Page().Width(), 600);
  EXPECT_EQ(Page().Height(), 450);
  EXPECT_TRUE(SamePixels(Page(), expected));
  Press(Qt::Key_Escape);
  EXPECT_TRUE(SamePixels(Page(), before));
}

TEST_F(CorrectionFixture, RotationOfARegionTurnsOnlyThatPart) {
  Load(MakeScanPage);
  window->Field(7)->setText("3");
  Select(TRect{50, 60, 200, 160});
  Band().AddSelectionToRegions();
  const TRect r = Band().MarkedRegionsInImagePixels().front();
  TDibGraphic expected, part, turned;
  Copy(expected);
  CropGraphic(expected, r, part);
  RotateBilevel(part, turned, true, 3.0);
  expected.Canvas().Draw(r.Left - (turned.Width() - part.Width()) / 2, r.Top - (turned.Height() - part.Height()) / 2,
                         turned);
  Press(Qt::Key_R);
  EXPECT_TRUE(SamePixels(Page(), expected));
  EXPECT_TRUE(Band().MarkedRegions().empty());
  EXPECT_TRUE(window->ScratchImage().Empty());
}

TEST_F(CorrectionFixture, QuarterTurnsUseTheFixedAngles) {
  Load(MakeScanPage);
  TDibGraphic before, expected;
  Copy(before);
  TNBRotateTransform turn;
  turn.Angle = 90.0;
  turn.ApplyOnDest(before, expected);
  Press(Qt::Key_2);
  EXPECT_TRUE(SamePixels(Page(), expected));
  // The view lays the turned page out anew: it is shown upright, not
  // squeezed into the old display.
  const TSize shown = Source()->DisplaySize();
  EXPECT_LT(shown.Width, shown.Height);
  Press(Qt::Key_1);  // 270 back
  EXPECT_TRUE(SamePixels(Page(), before));
  turn.Angle = 180.0;
  turn.ApplyOnDest(before, expected);
  Press(Qt::Key_3);
  EXPECT_TRUE(SamePixels(Page(), expected));
}

TEST_F(CorrectionFixture, ShiftKeysMoveByTheDistanceInMillimetres) {
  Load(MakeScanPage);
  window->Field(8)->setText("5");
  TDibGraphic expected, undo;
  Copy(expected);
  const TPoint d = MmToPixels(expected, TPoint{5, 5});
  ShiftImage(expected, &undo, -2, d.Y);
  ShiftImage(expected, &undo, 1, d.X);
  Press(Qt::Key_W);
  Press(Qt::Key_D);
  EXPECT_TRUE(SamePixels(Page(), expected));
}

TEST_F(CorrectionFixture, CentreAndResizeMatchTheirRoutines) {
  Load(MakeScanPage);
  TDibGraphic expected, undo;
  Copy(expected);
  const TSettingsRecord& s = window->Settings();
  CenterContent(expected, &undo, s.Wopt, s.J, s.aV, s.aH, s.Hside, s.Hopt, s.Wside);
  Press(Qt::Key_C);
  EXPECT_TRUE(SamePixels(Page(), expected));
  ResizeContent(expected, &undo, s.B, true);
  Press(Qt::Key_B);
  EXPECT_TRUE(SamePixels(Page(), expected));
  ResizeContent(expected, &undo, s.B, false);
  Press(Qt::Key_N);
  EXPECT_TRUE(SamePixels(Page(), expected));
  // Each passes the undo image: Esc undoes the last one only.
  TDibGraphic enlarged;
  enlarged.Assign(undo);
  Press(Qt::Key_Escape);
  EXPECT_TRUE(SamePixels(Page(), enlarged));
}

TEST_F(CorrectionFixture, GreyConversionOnlyForTrueColour) {
  Load(MakeColourPage);
  TDibGraphic expected;
  Copy(expected);
  TConvertToGrayTransform grey;
  grey.Apply(expected);
  Press(Qt::Key_Slash);
  EXPECT_TRUE(SamePixels(Page(), expected));

  Load(MakeScanPage);
  Copy(expected);
  Press(Qt::Key_Slash);
  EXPECT_TRUE(SamePixels(Page(), expected));
}

// --- erase, copy, paste --------------------------------------------------------------

TEST_F(CorrectionFixture, EraseInsideKeysActOnlyInNormalMode) {
  Load(MakeScanPage);
  TDibGraphic expected;
  Copy(expected);
  const TRect sel = Select(TRect{60, 40, 160, 120});
  expected.Canvas().FillRect(sel);
  Press(Qt::Key_Delete);
  EXPECT_TRUE(SamePixels(Page(), expected));
  EXPECT_FALSE(Band().BandPresent());

  window->SetMouseMode(30);
  Band().SetSelection(TRect{0, 0, 50, 50});
  Copy(expected);
  Press(Qt::Key_X, Qt::ControlModifier);
  EXPECT_TRUE(SamePixels(Page(), expected));
}

TEST_F(CorrectionFixture, ReleaseInTheEraseModesErasesAtOnce) {
  Load(MakeScanPage);
  // Mode 30: inside.
  window->SetMouseMode(30);
  TDibGraphic expected, undo;
  Copy(expected);
  TRect sel = Select(TRect{60, 40, 160, 120});
  expected.Canvas().FillRect(sel);
  Source()->OnImageMouseUp(Source(), Qt::LeftButton, Qt::NoModifier, 160, 120);
  EXPECT_TRUE(SamePixels(Page(), expected));
  EXPECT_FALSE(Band().BandPresent());
  // Mode 20: outside, the kept part moved to the middle.
  window->SetMouseMode(20);
  Copy(expected);
  sel = Select(TRect{100, 50, 200, 150});
  KeepRectCentred(expected, &undo, sel);
  Source()->OnImageMouseUp(Source(), Qt::LeftButton, Qt::NoModifier, 200, 150);
  EXPECT_TRUE(SamePixels(Page(), expected));
  // The right button still advances the mouse mode.
  Source()->OnImageMouseUp(Source(), Qt::RightButton, Qt::NoModifier, 0, 0);
  EXPECT_EQ(window->MouseMode(), 30);
}

TEST_F(CorrectionFixture, LineExtensionIsEnabledBySelectionsInNormalMode) {
  Load(MakeScanPage);
  QAction* item = window->Action(TCommand::LineExtension);
  EXPECT_FALSE(item->isEnabled());
  Select(TRect{10, 10, 100, 100});
  Source()->OnImageMouseUp(Source(), Qt::LeftButton, Qt::NoModifier, 100, 100);
  EXPECT_TRUE(item->isEnabled());
  EXPECT_TRUE(window->ToolButton(TCommand::LineExtension)->isEnabled());
  Band().RemoveSelection();
  Source()->OnImageMouseUp(Source(), Qt::LeftButton, Qt::NoModifier, 100, 100);
  EXPECT_FALSE(item->isEnabled());
}

TEST_F(CorrectionFixture, CentreWithASelectionPastesTheExtendedLinesFloating) {
  Load(MakeScanPage);
  const TRect sel = Select(TRect{60, 60, 200, 140});
  TDibGraphic part;
  CropGraphic(Page(), sel, part);
  ExtendLines(part, window->Settings().J);
  Press(Qt::Key_C);
  ASSERT_TRUE(Band().HasFloatingImage());
  EXPECT_TRUE(SamePixels(*Band().FloatingImage(), part));
  EXPECT_FALSE(window->UndoImage().Empty());
  EXPECT_TRUE(window->ScratchImage().Empty());
}

TEST_F(CorrectionFixture, CopyEmptiesTheUndoImageSoEscReloads) {
  Load(MakeScanPage);
  Press(Qt::Key_X);
  ASSERT_FALSE(window->UndoImage().Empty());
  const TRect sel = Select(TRect{10, 20, 110, 70});
  Press(Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(window->UndoImage().Empty());
  const QImage copied = QGuiApplication::clipboard()->image();
  EXPECT_EQ(copied.width(), sel.Width());
  EXPECT_EQ(copied.height(), sel.Height());
  Press(Qt::Key_Escape);  // removes the selection
  Press(Qt::Key_Escape);
  EXPECT_EQ(navigations, std::vector<int>{0});
}

TEST_F(CorrectionFixture, PasteTakesTheClipboardAsAFloatingImage) {
  Load(MakeScanPage);
  QImage bitmap(40, 30, QImage::Format_RGB32);
  bitmap.fill(Qt::black);
  QGuiApplication::clipboard()->setImage(bitmap);
  window->Action(TCommand::PasteOpaque)->trigger();
  EXPECT_EQ(window->Settings().PT, 20);
  ASSERT_TRUE(Band().HasFloatingImage());
  EXPECT_FALSE(Band().TransparentPaste);
  EXPECT_EQ(Band().FloatingImage()->Width(), 40);
  EXPECT_FALSE(window->UndoImage().Empty());
  EXPECT_TRUE(window->ScratchImage().Empty());
}

// --- fixed areas ---------------------------------------------------------------------

TEST_F(CorrectionFixture, FixedAreasAddSelectWrapAndClear) {
  Load(MakeScanPage);
  Source()->ClearFixedAreas();
  window->ResultView()->ClearFixedAreas();
  const TRect a = Select(TRect{10, 10, 50, 50});
  Press(Qt::Key_Y);
  const TRect b = Select(TRect{100, 100, 150, 140});
  Press(Qt::Key_Y);
  ASSERT_EQ(Source()->FixedAreas().size(), 2u);
  EXPECT_EQ(Source()->FixedAreas()[0], a);
  EXPECT_EQ(window->ResultView()->FixedAreas().size(), 2u);
  EXPECT_FALSE(Band().BandPresent());

  window->SetMouseMode(20);
  Press(Qt::Key_4);
  EXPECT_EQ(window->MouseMode(), 10);
  const TRect firstSel = Band().SelectedImageRect();
  Press(Qt::Key_4);
  const TRect secondSel = Band().SelectedImageRect();
  Press(Qt::Key_4);  // wraps to the first
  EXPECT_EQ(Band().SelectedImageRect(), firstSel);
  Press(Qt::Key_5);  // back wraps to the last
  EXPECT_EQ(Band().SelectedImageRect(), secondSel);
  EXPECT_NEAR(secondSel.Left, b.Left, 2);

  Press(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_TRUE(Source()->FixedAreas().empty());
  EXPECT_TRUE(window->ResultView()->FixedAreas().empty());
}

TEST_F(CorrectionFixture, CommandsOnAnEmptyViewDoNothing) {
  for (Qt::Key key : {Qt::Key_X, Qt::Key_Z, Qt::Key_F, Qt::Key_C, Qt::Key_V, Qt::Key_G, Qt::Key_T, Qt::Key_R, Qt::Key_1,
                      Qt::Key_W, Qt::Key_B, Qt::Key_Return, Qt::Key_Slash, Qt::Key_Y, Qt::Key_4})
    Press(key);
  EXPECT_TRUE(Page().Empty());
  EXPECT_TRUE(window->UndoImage().Empty());
}

// --- deskew, darken, lighten ------------------------------------------------------------

TEST_F(CorrectionFixture, DeskewFollowsTheSizeRuleAndPerRegionWithShift) {
  Load(MakeScanPage);
  window->Action(TCommand::DeskewGrow)->trigger();
  TDibGraphic before, expected, work, undo;
  Copy(before);
  // A skewed page: the bars turned by 2 degrees.
  RotateBilevel(before, expected, false, 2.0);
  Source()->AssignGraphic(expected);
  Copy(before);
  Copy(expected);
  DeskewPage(expected, work, undo, true, false);
  Press(Qt::Key_Z);
  EXPECT_TRUE(SamePixels(Page(), expected));
  EXPECT_NE(Page().Width(), 600);  // grown
  Press(Qt::Key_Escape);
  EXPECT_TRUE(SamePixels(Page(), before));

  // Shift with fixed areas: each area on its own; the stored areas stay.
  const std::vector<TRect> areas{TRect{100, 100, 450, 300}};
  Source()->ClearFixedAreas();
  Source()->AddFixedAreas(areas);
  std::vector<TRect> moved = areas;
  Copy(expected);
  DeskewRegions(expected, work, moved);
  HoldShift();
  Press(Qt::Key_Z, Qt::ShiftModifier);
  EXPECT_TRUE(SamePixels(Page(), expected));
  EXPECT_EQ(Source()->FixedAreas(), areas);
  Source()->ClearFixedAreas();
}

TEST_F(CorrectionFixture, DarkenAndLightenPickTheRoutineByPageFormat) {
  Load(MakeScanPage);
  TDibGraphic expected;
  Copy(expected);
  DarkenStrokes(expected, window->Settings().Bo, std::vector<TRect>{}, false);
  Press(Qt::Key_F);
  EXPECT_TRUE(SamePixels(Page(), expected));
  LightenStrokes(expected, std::vector<TRect>{}, false);
  Press(Qt::Key_L);
  EXPECT_TRUE(SamePixels(Page(), expected));

  Load(MakeColourPage);
  Copy(expected);
  const TSettingsRecord& s = window->Settings();
  LightenStrokes(expected, s.Bo, s.J, false, {});
  Press(Qt::Key_L);
  EXPECT_TRUE(SamePixels(Page(), expected));
}

// --- free-form outlines -------------------------------------------------------------------

struct OutlineFixture : CorrectionFixture {
  // Clicks a closed square outline over display pixels (40, 40)-(140, 120).
  void DrawSquare() {
    const QPoint o = Source()->PageOrigin();
    for (QPoint p : {QPoint(40, 40), QPoint(140, 40), QPoint(140, 120), QPoint(40, 120), QPoint(41, 41)})
      QTest::mouseClick(Source()->viewport(), Qt::LeftButton, Qt::NoModifier, p + o);
  }
  // Image pixel of a display pixel.
  TPoint ImagePoint(int x, int y) {
    const TSize d = Source()->DisplaySize();
    return TPoint{x * Page().Width() / d.Width, y * Page().Height() / d.Height};
  }
  int WhiteIndex() { return Page().Palette()[0].Red == 0 ? 1 : 0; }
};

TEST_F(OutlineFixture, OutsideModeKeepsOnlyTheInside) {
  Load(MakeScanPage);
  TDibGraphic before;
  Copy(before);
  window->SetMouseMode(20);
  DrawSquare();
  ASSERT_FALSE(window->UndoImage().Empty());
  EXPECT_TRUE(SamePixels(window->UndoImage(), before));
  const TPoint a = ImagePoint(42, 42), b = ImagePoint(138, 118);
  for (int y = 0; y < Page().Height(); y += 3)
    for (int x = 0; x < Page().Width(); x += 3) {
      const bool inside = x > a.X + 1 && x < b.X - 1 && y > a.Y + 1 && y < b.Y - 1;
      const bool outside = x < a.X - 4 || x > b.X + 4 || y < a.Y - 4 || y > b.Y + 4;
      if (inside) {
        ASSERT_EQ(Page().GetPixelIndex(x, y), before.GetPixelIndex(x, y)) << x << "," << y;
      }
      if (outside) {
        ASSERT_EQ(Page().GetPixelIndex(x, y), WhiteIndex()) << x << "," << y;
      }
    }
}

TEST_F(OutlineFixture, NormalModeWhitensTheInsideAndEscEndsAnOutline) {
  Load(MakeScanPage);
  TDibGraphic before;
  Copy(before);
  DrawSquare();
  const TPoint a = ImagePoint(40, 40), b = ImagePoint(140, 120);
  for (int y = 0; y < Page().Height(); y += 3)
    for (int x = 0; x < Page().Width(); x += 3) {
      const bool inside = x >= a.X && x <= b.X && y >= a.Y && y <= b.Y;
      const bool outside = x < a.X - 4 || x > b.X + 4 || y < a.Y - 4 || y > b.Y + 4;
      if (inside) {
        ASSERT_EQ(Page().GetPixelIndex(x, y), WhiteIndex()) << x << "," << y;
      }
      if (outside) {
        ASSERT_EQ(Page().GetPixelIndex(x, y), before.GetPixelIndex(x, y)) << x << "," << y;
      }
    }

  // A click starts an outline; Esc ends it and touches nothing else.
  Copy(before);
  const QPoint o = Source()->PageOrigin();
  QTest::mouseClick(Source()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 150) + o);
  ASSERT_TRUE(Band().OutlineInProgress());
  Press(Qt::Key_Escape);
  EXPECT_FALSE(Band().OutlineInProgress());
  EXPECT_TRUE(SamePixels(Page(), before));
  EXPECT_FALSE(window->UndoImage().Empty());
}

}  // namespace

// A routine that fails does not vanish: the operator is told why, the page
// is as it was before the key, and the window goes on working.
TEST_F(CorrectionFixture, AFailingCommandIsReportedAndKeepsThePage) {
  QStringList messages;
  SetAppMessageHook([&](const QString& text, int) {
    messages << text;
    return 0;
  });
  Load(MakeColourPage);
  TDibGraphic before;
  Copy(before);
  // A paper of a billion pixels a side is more than any page can be.
  window->Settings().A = 60;
  window->Settings().pW = 1000000000;
  window->Settings().pH = 1000000000;
  Press(Qt::Key_T);
  SetAppMessageHook(nullptr);
  EXPECT_EQ(messages, QStringList{"Out of resources"});
  EXPECT_TRUE(SamePixels(Page(), before));
  Press(Qt::Key_B);  // the next command still runs
  EXPECT_FALSE(SamePixels(Page(), before));
}
