#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "pagework/CorrectionRecipes.h"
#include "support/TestSupport.h"

namespace {

// A white 300 dpi page with one black block.
void PageWithBlock(TDibGraphic& page, const TRect& block) {
  MakeWhitePage(page, 400, 300);
  for (int y = block.Top; y < block.Bottom; ++y)
    for (int x = block.Left; x < block.Right; ++x) page.SetPixelIndex(x, y, 0);
}

}  // namespace

// Each setting reaches its own argument of the routine: a block wide but
// low passes the row limit aH and the column limit aV only when neither is
// swapped, and the two offsets land on their own axes.
TEST(CorrectionRecipes, CentringTakesEachSettingInItsPlace) {
  TDibGraphic page, undo;
  PageWithBlock(page, TRect{100, 200, 120, 205});
  TSettingsRecord s;
  s.aH = 10;  // a row counts with 10 dark pixels: the block's rows have 20
  s.aV = 3;   // a column counts with 3: the block's columns have 5
  s.Wopt = 1;
  s.Wside = 30;
  s.Hopt = 1;
  s.Hside = 40;
  RunCentre(page, s, undo);
  EXPECT_EQ(InkBounds(page), (TRect{30, 40, 50, 45}));
  EXPECT_EQ(InkBounds(undo), (TRect{100, 200, 120, 205})) << "the undo copy holds the page as it was";
}

// Fit to margins moves the whole inked box, last row and column included,
// onto the margin rectangle.
TEST(CorrectionRecipes, FitToMarginsFillsTheMarginRectangleExactly) {
  TDibGraphic page, undo;
  PageWithBlock(page, TRect{100, 100, 140, 150});
  TSettingsRecord s;
  s.aH = s.aV = 1;
  s.P1 = 2;
  s.P2 = 3;
  s.P3 = 4;
  s.P4 = 5;
  const TRect target = MarginRect(page, s);
  EXPECT_EQ(RunFitToMargins(page, s, undo), (TRect{100, 100, 140, 150}));
  EXPECT_EQ(InkBounds(page), target);
}

TEST(CorrectionRecipes, EmptyPagesAreLeftAlone) {
  TDibGraphic page, undo, work;
  const TSettingsRecord s;
  RunDeskew(page, s, work, undo);
  RunSpeckRemoval(page, s, {}, false, &undo);
  RunStrokes(page, s, true, {}, false, &undo);
  RunCentre(page, s, undo);
  RunPaperSize(page, s, undo);
  RunBorderRemoval(page, s);
  EXPECT_TRUE(page.Empty());
  EXPECT_TRUE(undo.Empty());
}

// DF switches the refinement on; the page then turns by the refined angle.
TEST(CorrectionRecipes, DeskewRefinesWhenDfSaysSo) {
  TDibGraphic source;
  source.NewImage(1200, 1600, ifBlackWhite, nullptr, 300, 300);
  std::memset(source.Bits(), 0xFF, source.ImageSize());
  // Lines dropping 23 rows across the width: between the search's steps.
  for (int top = 100; top < 1400; top += 50)
    for (int x = 60; x < 1140; ++x)
      for (int dy = 0; dy < 3; ++dy) source.SetPixelIndex(x, top + x * 23 / 1200 + dy, 0);
  TSettingsRecord s;
  TDibGraphic page, work, undo;
  page.Assign(source);
  const TDeskewResult plain = RunDeskewMeasured(page, s, work, undo);
  s.DF = 1;
  EXPECT_TRUE(FineDeskew(s));
  page.Assign(source);
  const TDeskewResult fine = RunDeskewMeasured(page, s, work, undo);
  const double truth = -std::atan(23.0 / 1200) * 180 / 3.141592653589793;
  EXPECT_NEAR(fine.Angle, truth, 0.05);
  EXPECT_GT(std::abs(plain.Angle - truth), std::abs(fine.Angle - truth));
  // The limit holds the page back; RunDeskew then reports no turn.
  page.Assign(source);
  EXPECT_FALSE(RunDeskewMeasured(page, s, work, undo, nullptr, 0, 1e9).Rotated);
}

// The blank measure looks inside the margins P1..P4 only.
TEST(CorrectionRecipes, DarkShareIgnoresTheMarginBand) {
  TDibGraphic page;
  PageWithBlock(page, TRect{0, 0, 20, 300});  // a dark scanner edge 20 pixels wide
  TSettingsRecord s;
  s.P1 = 5;  // 59 pixels at 300 dpi
  s.P2 = s.P3 = s.P4 = 1;
  EXPECT_EQ(RunDarkShare(page, s), 0.0);
  s.P1 = 1;
  EXPECT_GT(RunDarkShare(page, s), 0.0);
}
