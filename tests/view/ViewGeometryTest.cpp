// Zoom and coordinate arithmetic, checked against worked numbers.
#include <gtest/gtest.h>

#include "image/ImagingErrors.h"
#include "view/ViewGeometry.h"

namespace {

TZoomInput Fit(TZoomMode mode, int w, int h, int cw, int ch) {
  TZoomInput in;
  in.Mode = mode;
  in.ImageWidth = w;
  in.ImageHeight = h;
  in.ClientWidth = cw;
  in.ClientHeight = ch;
  in.VScrollBarWidth = 17;
  in.HScrollBarHeight = 17;
  return in;
}

}  // namespace

TEST(ViewGeometry, ZoomPerMode) {
  struct Case {
    TZoomMode mode;
    int w, h, cw, ch;
    double zoom;
  } cases[] = {
      {zmFitToPage, 2480, 3508, 620, 877, 25.0},  // A4 page shrunk to a quarter
      {zmFitToPage, 100, 100, 620, 877, 100.0},   // never enlarged
      {zmFullPage, 100, 100, 620, 877, 620.0},    // enlarged to the narrower side
      {zmFullPage, 2480, 3508, 620, 877, 25.0},  {zmOriginalSize, 2480, 3508, 620, 877, 100.0},
      {zmFitWidth, 1000, 3000, 617, 500, 60.0},   // (617 - 17) / 1000 with no bar yet
      {zmFitHeight, 3000, 1000, 500, 517, 50.0},  // (517 - 17) / 1000
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " " << c.w << "x" << c.h);
    EXPECT_DOUBLE_EQ(ComputeZoom(Fit(c.mode, c.w, c.h, c.cw, c.ch)), c.zoom);
  }
  // A bar already shown leaves the client area as it is.
  TZoomInput in = Fit(zmFitWidth, 1000, 3000, 600, 500);
  in.VScrollBarShown = true;
  EXPECT_DOUBLE_EQ(ComputeZoom(in), 60.0);
  in = Fit(zmPercent, 10, 10, 100, 100);
  in.ZoomPercent = 37.5;
  EXPECT_DOUBLE_EQ(ComputeZoom(in), 37.5);
  EXPECT_DOUBLE_EQ(ComputeZoom(Fit(zmFitToPage, 0, 0, 100, 100)), 100.0);
}

TEST(ViewGeometry, DisplaySizeTruncatesAndKeepsOnePixel) {
  EXPECT_EQ(DisplaySize(2480, 3508, 25), (TSize{620, 877}));
  EXPECT_EQ(DisplaySize(100, 100, 620), (TSize{620, 620}));
  EXPECT_EQ(DisplaySize(2480, 3508, 100.0 * 900 / 2480), (TSize{900, 1273}));
  EXPECT_EQ(DisplaySize(3, 5, 10), (TSize{1, 1}));  // 0.3 x 0.5 pixels
  EXPECT_EQ(DisplaySize(1000, 1, 0.15), (TSize{1, 1}));
  EXPECT_EQ(DisplaySize(999, 999, 50), (TSize{499, 499}));
}

TEST(ViewGeometry, CentringAndClamping) {
  EXPECT_EQ(CenteredOffset(620, 100), 260);
  EXPECT_EQ(CenteredOffset(101, 100), 0);  // half a pixel truncates
  EXPECT_EQ(CenteredOffset(100, 620), 0);
  EXPECT_EQ(ClampInt(700, 0, 619), 619);
  EXPECT_EQ(ClampInt(-5, 0, 619), 0);
}

TEST(ViewGeometry, GridLinesAtEvenSpacing) {
  EXPECT_EQ(GridPositions(600, 5), (std::vector<int>{100, 200, 300, 400, 500}));
  // 9 rows over 877 pixels: step 87.
  const std::vector<int> rows = GridPositions(877, 9);
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows.front(), 87);
  EXPECT_EQ(rows.back(), 783);
  EXPECT_TRUE(GridPositions(600, 0).empty());
}

TEST(ViewGeometry, OutlineRectangleFromMillimetres) {
  // 300 dpi = 11811 pixels per metre; 10 mm = 118 pixels (118.11 rounded).
  const TSize image{2480, 3508};
  EXPECT_EQ(OutlineDisplayRect(10, 10, 10, 10, 11811, 11811, image, image), (TRect{118, 118, 2480 - 118, 3508 - 118}));
  // At 25 % every coordinate is scaled and truncated.
  EXPECT_EQ(OutlineDisplayRect(10, 20, 0, 5, 11811, 11811, image, TSize{620, 877}),
            (TRect{118 / 4, 236 / 4, 620, (3508 - 59) / 4}));
}

TEST(ViewGeometry, MarginFromMousePosition) {
  // 50 display pixels at 25 % are 200 image pixels; at 300 dpi that is 16.9 mm.
  EXPECT_EQ(MarginFromPosition(50, 4.0, 11811), 17);
  // Positions below 1 count as 1.
  EXPECT_EQ(MarginFromPosition(0, 4.0, 11811), MarginFromPosition(1, 4.0, 11811));
  EXPECT_EQ(MarginFromPosition(-30, 1.0, 11811), 0);
  EXPECT_EQ(MarginFromPosition(10, 1.0, 0), 0);
}

TEST(ViewGeometry, RulerAndShiftConversions) {
  EXPECT_EQ(RulerMillimetres(300, 300, 100), 25);
  EXPECT_EQ(RulerMillimetres(150, 300, 50), 25);
  EXPECT_EQ(DisplayDeltaToImage(50, 50), 100);
  EXPECT_EQ(DisplayDeltaToImage(-7, 33.0), -21);  // -21.2 truncates toward zero
}

TEST(ViewGeometry, BandToImagePixels) {
  // A 2000-pixel-wide page shown 1000 pixels wide.
  const TSize image{2000, 2000};
  const TSize display{1000, 1000};
  EXPECT_EQ(BandToImageRect(TRect{10, 10, 60, 60}, image, display), (TRect{20, 20, 120, 120}));
  // A band reaching the last display column ends on the last image column.
  EXPECT_EQ(BandToImageRect(TRect{0, 0, 999, 999}, image, display), (TRect{0, 0, 1999, 1999}));
  EXPECT_EQ(BandToImageRect(TRect{0, 0, 998, 998}, image, display), (TRect{0, 0, 1996, 1996}));
  // Rounding at a third: 1 x 3 / 1 = 3, 5 x 1/3 = 1.67 -> 2.
  EXPECT_EQ(BandToImageRect(TRect{5, 5, 7, 7}, TSize{10, 10}, TSize{30, 30}), (TRect{2, 2, 2, 2}));
  EXPECT_EQ(RegionToImageRect(TRect{10, 10, 60, 60}, image, display), (TRect{20, 20, 120, 120}));
}

TEST(ViewGeometry, RescaleOnZoomChange) {
  EXPECT_EQ(RescaleCoordinate(40, 2000, 1000), 80);  // 50 % -> 100 %
  EXPECT_EQ(RescaleCoordinate(41, 1000, 2000), 20);  // truncated
  EXPECT_EQ(RescaleCoordinate(-3, 1000, 2000), -1);  // toward zero
  EXPECT_EQ(RescaleCoordinate(40, 1000, 0), 0);
}

TEST(ViewGeometry, BandHitTestOrder) {
  const TBandCorners b{100, 100, 200, 150};
  struct Case {
    int x, y, code;
  } cases[] = {
      {201, 151, gcBottomRight}, {97, 103, gcTopLeft},  {203, 97, gcTopRight}, {100, 150, gcBottomLeft},
      {150, 102, gcTop},         {150, 148, gcBottom},  {98, 120, gcLeft},     {203, 120, gcRight},
      {150, 125, gcInside},      {104, 125, gcInside},  {96, 125, gcNothing},  {300, 300, gcNothing},
      {150, 96, gcNothing},      {150, 154, gcNothing},
  };
  for (const Case& c : cases) EXPECT_EQ(BandHitTest(b, c.x, c.y), c.code) << c.x << "," << c.y;
  // A tiny band: the bottom-right corner wins over every other part.
  EXPECT_EQ(BandHitTest(TBandCorners{10, 10, 12, 12}, 11, 11), gcBottomRight);
}

TEST(ViewGeometry, GrabCodesAndFlags) {
  const int movement[] = {0, 1, 0, 2, 0, 1, 0, 2, 3};
  for (int code = 0; code <= 8; ++code) EXPECT_EQ(GrabHandleToBandMovement(code), movement[code]);
  EXPECT_THROW(GrabHandleToBandMovement(9), EImagingError);
  try {
    GrabHandleToBandMovement(18);
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "Invalid GrabHandle, GrabHandleToBandMovement");
  }
  const int flags[] = {2, 8, 1, 4, 3, 6, 9, 12};
  for (int code = 9; code <= 16; ++code) EXPECT_EQ(OutlineGrabFlags(code), flags[code - 9]);
  EXPECT_EQ(OutlineGrabFlags(4), 0);

  const TRect o{50, 60, 250, 360};
  EXPECT_EQ(OutlineHitTest(o, 52, 58), gcOutlineTopLeft);
  EXPECT_EQ(OutlineHitTest(o, 248, 60), gcOutlineTopRight);
  EXPECT_EQ(OutlineHitTest(o, 50, 362), gcOutlineBottomLeft);
  EXPECT_EQ(OutlineHitTest(o, 252, 358), gcOutlineBottomRight);
  EXPECT_EQ(OutlineHitTest(o, 150, 62), gcOutlineTop);
  EXPECT_EQ(OutlineHitTest(o, 150, 359), gcOutlineBottom);
  EXPECT_EQ(OutlineHitTest(o, 48, 200), gcOutlineLeft);
  EXPECT_EQ(OutlineHitTest(o, 251, 200), gcOutlineRight);
  EXPECT_EQ(OutlineHitTest(o, 150, 200), gcNothing);
  EXPECT_EQ(OutlineHitTest(o, 150, 57), gcNothing);
  EXPECT_EQ(OutlineHitTest(o, 300, 61), gcNothing);  // beyond the line's span
}

TEST(ViewGeometry, FreeFormCrossingRules) {
  EXPECT_TRUE(SegmentsCross({0, 0}, {10, 10}, {0, 10}, {10, 0}));
  EXPECT_FALSE(SegmentsCross({0, 0}, {10, 0}, {0, 5}, {10, 5}));  // parallel
  EXPECT_FALSE(SegmentsCross({0, 0}, {4, 4}, {0, 10}, {10, 0}));  // would meet beyond the end
  EXPECT_TRUE(SegmentsCross({0, 0}, {5, 5}, {0, 10}, {10, 0}));   // touching counts

  // Square 0-1-2-3; a point that makes the new edge cut the first edge is refused.
  std::vector<TPoint> pts{{100, 100}, {200, 100}, {200, 200}, {100, 200}};
  EXPECT_FALSE(FreeFormPointAllowed(pts, {150, 50}));
  EXPECT_TRUE(FreeFormPointAllowed(pts, {50, 150}));
  // With two points nothing is tested.
  EXPECT_TRUE(FreeFormPointAllowed({{0, 0}, {10, 0}}, {5, -5}));

  // Closing a simple square is allowed; an outline whose closing edge cuts
  // a middle edge is not.
  EXPECT_TRUE(FreeFormClosingAllowed(pts));
  const std::vector<TPoint> crossing{{0, 50}, {100, 0}, {100, 100}, {150, 50}};
  EXPECT_TRUE(FreeFormPointAllowed({{0, 50}, {100, 0}, {100, 100}}, {150, 50}));
  EXPECT_FALSE(FreeFormClosingAllowed(crossing));
  // Three points are never tested.
  EXPECT_TRUE(FreeFormClosingAllowed({{0, 0}, {10, 0}, {5, 5}}));
}
