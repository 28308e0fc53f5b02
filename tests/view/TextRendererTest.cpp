#include <gtest/gtest.h>

#include "image/Canvas.h"
#include "image/ImagingHooks.h"
#include "support/TestSupport.h"
#include "view/QtTextRenderer.h"

// Text drawn onto a 1-bit page through the Qt renderer is black exactly
// where the renderer's glyph coverage is at least half, and nowhere else.
TEST(QtTextRenderer, TextOutPaintsBlackGlyphsOnBilevelPage) {
  auto renderer = std::make_shared<TQtTextRenderer>();
  ImagingHooks().TextRenderer = renderer;
  TDibGraphic page;
  MakeWhitePage(page, 420, 90);
  TCanvas& canvas = page.Canvas();
  canvas.Font.SizePt = 24;
  canvas.PenColor = 0x000000;
  const std::string text = "Veltrax 12 벨트랙스";
  const TSize extent = canvas.TextExtent(text);
  ASSERT_GT(extent.Width, 0);
  ASSERT_GT(extent.Height, 0);
  ASSERT_LT(extent.Width, 400);
  canvas.TextOut(7, 5, text);

  const TGlyphMask mask = renderer->Render(canvas.Font, text, ImagingHooks().ScreenDpiY);
  ASSERT_EQ(mask.Width, extent.Width);
  ASSERT_EQ(mask.Height, extent.Height);
  int black = 0;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) {
      const int mx = x - 7, my = y - 5;
      const bool glyph = mx >= 0 && my >= 0 && mx < mask.Width && my < mask.Height &&
                         mask.Coverage[static_cast<std::size_t>(my * mask.Width + mx)] >= 128;
      ASSERT_EQ(page.GetPixelIndex(x, y), glyph ? 0 : 1) << x << "," << y;
      black += glyph;
    }
  EXPECT_GT(black, 200);
  ImagingHooks().TextRenderer.reset();
}

TEST(QtTextRenderer, EmptyTextGivesAnEmptyMask) {
  TQtTextRenderer renderer;
  const TGlyphMask mask = renderer.Render(TFontSpec{}, "", 96);
  EXPECT_EQ(mask.Width, 0);
  EXPECT_TRUE(mask.Coverage.empty());
}
