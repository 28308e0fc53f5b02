#include <gtest/gtest.h>

#include "correction/PagePlacement.h"
#include "pagework/CorrectionRecipes.h"
#include "support/TestSupport.h"

namespace {

// A white 300 dpi page with one black block.
void PageWithBlock(TDibGraphic& page, const TRect& block) {
  MakeWhitePage(page, 400, 300);
  for (int y = block.Top; y < block.Bottom; ++y)
    for (int x = block.Left; x < block.Right; ++x) page.SetPixelIndex(x, y, 0);
}

TRect Ink(const TDibGraphic& page) {
  TRect r = FindContentBounds(page, 1, 1, 128);
  r.Right += 1;
  r.Bottom += 1;
  return r;
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
  EXPECT_EQ(Ink(page), (TRect{30, 40, 50, 45}));
  EXPECT_EQ(Ink(undo), (TRect{100, 200, 120, 205})) << "the undo copy holds the page as it was";
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
  EXPECT_EQ(Ink(page), target);
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
