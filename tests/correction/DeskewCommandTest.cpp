// Measuring pages and parts of pages, the deskew command and the per-region
// deskew: work, undo and scratch images, formats, sizes and moved corners.
#include <gtest/gtest.h>

#include <cstring>

#include "DeskewReference.h"
#include "correction/DeskewTransform.h"
#include "image/ImagingHooks.h"
#include "image/transforms/RotateTransform.h"
#include "support/TestSupport.h"

namespace {

// The part r of an image, pixel by pixel.
void PlainCrop(const TDibGraphic& src, const TRect& r, TDibGraphic& out) {
  out.NewImage(r.Width(), r.Height(), src.ImageFormat(), &src.Palette(), src.XDotsPerInch(), src.YDotsPerInch());
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x)
      if (src.ImageFormat() == ifTrueColor)
        out.SetPixel(x, y, src.GetPixel(r.Left + x, r.Top + y));
      else
        out.SetPixelIndex(x, y, src.GetPixelIndex(r.Left + x, r.Top + y));
}

// src pasted onto dst at (x, y), clipped, pixel by pixel.
void PlainPaste(TDibGraphic& dst, const TDibGraphic& src, int x0, int y0) {
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x) {
      const int dx = x0 + x, dy = y0 + y;
      if (dx < 0 || dy < 0 || dx >= dst.Width() || dy >= dst.Height()) continue;
      if (src.ImageFormat() == ifTrueColor)
        dst.SetPixel(dx, dy, src.GetPixel(x, y));
      else
        dst.SetPixelIndex(dx, dy, src.GetPixelIndex(x, y));
    }
}

// A copy of a bilevel page in another format: ink dark blue, paper light
// yellow (nearest black and white respectively).
void Recolour(const TDibGraphic& bilevel, TImageFormat format, TDibGraphic& out) {
  out.NewImage(bilevel.Width(), bilevel.Height(), format, nullptr, bilevel.XDotsPerInch(), bilevel.YDotsPerInch());
  const int ink = format == ifTrueColor ? 0 : out.NearestPaletteIndex(0x202060);
  const int paper = format == ifTrueColor ? 0 : out.NearestPaletteIndex(0xF0F0C0);
  for (int y = 0; y < bilevel.Height(); ++y)
    for (int x = 0; x < bilevel.Width(); ++x) {
      const bool black = ((bilevel.ScanLine(y)[x / 8] >> (7 - x % 8)) & 1) == 0;
      if (format == ifTrueColor)
        out.SetPixel(x, y, black ? 0x202060 : 0xF0F0C0);
      else
        out.SetPixelIndex(x, y, black ? ink : paper);
    }
}

// A white page with a skewed text block at `block`.
void PageWithSkewedBlock(TDibGraphic& page, int w, int h, const TRect& block, double drift) {
  MakeWhitePage(page, w, h);
  TDibGraphic text;
  MakeSkewedTextPage(text, block.Width(), block.Height(), drift, 300, 7);
  PlainPaste(page, text, block.Left, block.Top);
}

}  // namespace

TEST(DeskewDetect, PageCopyAndScratch) {
  TDibGraphic page, scratch;
  EXPECT_EQ(DetectSkewAngle(page, &scratch), 0.0f);  // empty page
  MakeSkewedTextPage(page, 1200, 1400, 40.0);
  EXPECT_EQ(DetectSkewAngle(page, nullptr), 0.0f);  // no scratch
  TDibGraphic before;
  before.Assign(page);

  int on = 0, off = 0;
  ImagingHooks().BusyCursorOn = [&] { ++on; };
  ImagingHooks().BusyCursorOff = [&] { ++off; };
  const float angle = DetectSkewAngle(page, &scratch);
  ImagingHooks().BusyCursorOn = nullptr;
  ImagingHooks().BusyCursorOff = nullptr;
  EXPECT_EQ(on, 1);
  EXPECT_EQ(off, 1);
  EXPECT_EQ(BusyCursorDepth(), 0);

  TDeskewTransform t;
  EXPECT_EQ(angle, static_cast<float>(t.FindSkewAngle(page)));
  EXPECT_LT(angle, 0.0f);
  EXPECT_TRUE(SamePixels(scratch, page));  // scratch holds the measured copy
  EXPECT_TRUE(SamePixels(page, before));   // the page is untouched
  // Measuring a page into itself is harmless.
  EXPECT_EQ(DetectSkewAngle(page, &page), angle);
}

TEST(DeskewDetect, ColourAndGreyPagesMeasuredOnBilevelCopy) {
  TDibGraphic page, scratch;
  MakeSkewedTextPage(page, 1100, 1300, -35.0);
  const float want = DetectSkewAngle(page, &scratch);
  for (TImageFormat format : {ifTrueColor, ifGray256, ifColor256, ifGray16}) {
    TDibGraphic coloured;
    Recolour(page, format, coloured);
    EXPECT_EQ(DetectSkewAngle(coloured, &scratch), want) << ImageFormatText(format);
    EXPECT_EQ(scratch.ImageFormat(), ifBlackWhite);
    EXPECT_EQ(coloured.ImageFormat(), format);
  }
}

TEST(DeskewDetect, RegionTurnedAndSmallRegionsEnlarged) {
  // Vertical text columns: turned, they measure like rows.
  TDibGraphic rows, columns, scratch;
  MakeSkewedTextPage(rows, 1000, 1200, 36.0);
  TNBRotateTransform quarter;
  quarter.Angle = 90.0;
  quarter.ApplyOnDest(rows, columns);
  TDibGraphic work;
  work.Assign(columns);
  const float turned = DetectRegionSkew(work, &scratch, true);
  EXPECT_EQ(work.Width(), columns.Height());  // work keeps the turned image
  EXPECT_LT(turned, 0.0f);
  EXPECT_NEAR(turned, DetectSkewAngle(rows, &scratch), 0.2);

  // Fewer than 100 rows: measured at the top-left of a page 150 pixels
  // wider and higher, white elsewhere.
  TDibGraphic strip;
  MakeSkewedTextPage(strip, 900, 90, 6.0, 300, 3);
  work.Assign(strip);
  work.SetXPelsPerMeter(11000);
  DetectRegionSkew(work, &scratch, false);
  ASSERT_EQ(work.Width(), 1050);
  ASSERT_EQ(work.Height(), 240);
  EXPECT_EQ(work.XPelsPerMeter(), 11000);
  TDibGraphic corner, rest;
  PlainCrop(work, Rect(0, 0, 900, 90), corner);
  EXPECT_TRUE(SamePixels(corner, strip));
  for (int y = 0; y < 240; ++y)
    for (int x = y < 90 ? 900 : 0; x < 1050; ++x) ASSERT_EQ(work.GetPixelIndex(x, y), 1) << x << "," << y;
  // A small colour part is enlarged in its own format.
  TDibGraphic colourStrip;
  Recolour(strip, ifTrueColor, colourStrip);
  work.Assign(colourStrip);
  DetectRegionSkew(work, &scratch, false);
  EXPECT_EQ(work.ImageFormat(), ifTrueColor);
  EXPECT_EQ(work.GetPixel(1000, 200), 0xFFFFFFu);
  // Nothing to measure.
  work.Clear();
  EXPECT_EQ(DetectRegionSkew(work, &scratch, true), 0.0f);
}

TEST(DeskewCommand, LevelPageUntouchedWithUndoCopy) {
  TDibGraphic page, work, undo, before;
  MakeSkewedTextPage(page, 1000, 1200, 0.0);
  before.Assign(page);
  EXPECT_EQ(DeskewPage(page, work, undo, false, false), 0.0f);
  EXPECT_TRUE(SamePixels(page, before));
  EXPECT_TRUE(SamePixels(undo, before));
  EXPECT_TRUE(work.Empty());
  // An empty page does nothing.
  TDibGraphic empty;
  EXPECT_EQ(DeskewPage(empty, work, undo, false, false), 0.0f);
  EXPECT_TRUE(empty.Empty());
}

TEST(DeskewCommand, BilevelPageKeepsOrGrowsSize) {
  TDibGraphic original, scratch;
  MakeSkewedTextPage(original, 1300, 1500, 45.0);
  const float angle = DetectSkewAngle(original, &scratch);
  ASSERT_NE(angle, 0.0f);
  for (bool grow : {false, true}) {
    TDibGraphic page, work, undo, want;
    page.Assign(original);
    EXPECT_EQ(DeskewPage(page, work, undo, grow, false), angle);
    RotateBilevel(original, want, grow, angle);
    EXPECT_TRUE(SamePixels(page, want)) << "grow " << grow;
    EXPECT_TRUE(SamePixels(undo, original));
    EXPECT_TRUE(work.Empty());
    EXPECT_EQ(page.Width() == 1300 && page.Height() == 1500, !grow);
    // Measured again, the page is level to within a step.
    EXPECT_NEAR(DetectSkewAngle(page, &scratch), 0.0, 0.1);
  }
}

TEST(DeskewCommand, ColourPageKeepsItsFormat) {
  TDibGraphic bilevel, original, scratch;
  MakeSkewedTextPage(bilevel, 900, 1100, -30.0);
  Recolour(bilevel, ifTrueColor, original);
  const float angle = DetectSkewAngle(bilevel, &scratch);
  for (bool grow : {false, true}) {
    TDibGraphic page, work, undo, want;
    page.Assign(original);
    EXPECT_EQ(DeskewPage(page, work, undo, grow, false), angle);
    want.Assign(original);
    RotateImageKeep(want, nullptr, !grow, angle);
    EXPECT_EQ(page.ImageFormat(), ifTrueColor);
    EXPECT_TRUE(SamePixels(page, want)) << "grow " << grow;
    EXPECT_TRUE(SamePixels(undo, original));
  }
}

TEST(DeskewCommand, VerticalWritingKeepsTheSignConvention) {
  // Rows tilted by some angle, turned into columns: the columns are tilted
  // alike, and rotating by the measured angle levels them.
  TDibGraphic rows, page, work, undo, scratch;
  for (double drift : {-50.0, 50.0}) {
    MakeSkewedTextPage(rows, 1200, 1000, drift);
    const float rowAngle = DetectSkewAngle(rows, &scratch);
    TNBRotateTransform quarter;
    quarter.Angle = 90.0;
    quarter.ApplyOnDest(rows, page);
    const float angle = DeskewPage(page, work, undo, false, true);
    EXPECT_GT(angle * rowAngle, 0.0f) << drift;
    EXPECT_NEAR(angle, rowAngle, 0.2) << drift;
    EXPECT_EQ(page.Width(), 1000);
    EXPECT_TRUE(work.Empty());
  }
}

TEST(DeskewCommand, SelectionAngleAppliesToWholePage) {
  TDibGraphic original, scratch;
  PageWithSkewedBlock(original, 1600, 1400, Rect(101, 150, 1301, 1050), 40.0);
  for (const TRect sel : {Rect(101, 150, 1301, 1050), Rect(1301, 1050, 101, 150),  // reversed corners
                          Rect(301, 100, 801, 1300)}) {                            // taller than wide
    TDibGraphic page, work, undo, part;
    page.Assign(original);
    PlainCrop(original, NormalizeRect(sel), part);
    const bool turn = part.Height() > part.Width();
    const float want = DetectRegionSkew(part, &scratch, turn);
    const float got = DeskewPage(page, work, undo, false, false, &sel);
    EXPECT_EQ(got, want);
    TDibGraphic expected;
    if (got != 0.0f)
      RotateBilevel(original, expected, false, got);
    else
      expected.Assign(original);
    EXPECT_TRUE(SamePixels(page, expected));
    EXPECT_TRUE(work.Empty());
    EXPECT_TRUE(SamePixels(undo, original));
  }
  // A selection outside the page measures nothing and changes nothing.
  TDibGraphic page, work, undo;
  page.Assign(original);
  const TRect outside = Rect(2000, 2000, 2100, 2100);
  EXPECT_EQ(DeskewPage(page, work, undo, false, false, &outside), 0.0f);
  EXPECT_TRUE(SamePixels(page, original));
}

TEST(DeskewRegions, BilevelRegionsGrowAndMoveTheirCorner) {
  TDibGraphic original;
  PageWithSkewedBlock(original, 1700, 1500, Rect(203, 301, 1003, 701), 30.0);
  std::vector<TRect> regions{Rect(203, 301, 1003, 701), Rect(1205, 900, 1600, 1400),
                             Rect(1500, 1400, 1900, 1600)};  // blank, the last partly outside
  TDibGraphic page, scratch;
  page.Assign(original);
  // Expected result, pixel by pixel, from the first region only (the other
  // two are blank and measure 0).
  TDibGraphic part, rotated, expected;
  PlainCrop(original, regions[0], part);
  TDibGraphic measured;
  measured.Assign(part);
  const float angle = DetectRegionSkew(measured, &scratch, false);
  ASSERT_NE(angle, 0.0f);
  RotateBilevel(part, rotated, true, angle);
  const int left = 203 - (rotated.Width() - 800) / 2;
  const int top = 301 - (rotated.Height() - 400) / 2;
  expected.Assign(original);
  PlainPaste(expected, rotated, left, top);

  const std::vector<TRect> before = regions;
  DeskewRegions(page, scratch, regions);
  EXPECT_TRUE(SamePixels(page, expected));
  EXPECT_EQ(regions[0], Rect(left, top, 1003, 701));
  EXPECT_EQ(regions[1], before[1]);
  EXPECT_EQ(regions[2], before[2]);
  EXPECT_TRUE(scratch.Empty());
}

TEST(DeskewRegions, SmallAndTallRegionsRotateOnlyThemselves) {
  // A 90-row strip is measured on an enlarged page and a tall part turned;
  // what gets rotated and pasted back is the part itself, so nothing
  // beyond the rotated part's box changes.
  TDibGraphic original;
  PageWithSkewedBlock(original, 1500, 1500, Rect(100, 100, 1100, 190), 8.0);
  TDibGraphic tall;
  MakeSkewedTextPage(tall, 700, 300, 20.0, 300, 5);
  TNBRotateTransform quarter;
  quarter.Angle = 270.0;
  TDibGraphic tallTurned;
  quarter.ApplyOnDest(tall, tallTurned);  // 300 x 700, text in columns
  PlainPaste(original, tallTurned, 1150, 400);
  // Ink right of and below the two regions, inside the 150-pixel margin.
  for (int y = 195; y < 330; ++y)
    for (int x = 1110; x < 1140; ++x) original.SetPixelIndex(x, y, 0);

  std::vector<TRect> regions{Rect(100, 100, 1100, 190), Rect(1150, 400, 1450, 1100)};
  const std::vector<TRect> before = regions;
  TDibGraphic page, scratch;
  page.Assign(original);
  DeskewRegions(page, scratch, regions);
  EXPECT_FALSE(SamePixels(page, original));
  // Pixels outside the rotated parts' boxes are untouched. A part of w x h
  // turned by at most 5 degrees grows by at most h sin 5 + 1 in width and
  // w sin 5 + 1 in height, half of it on each side.
  std::vector<TRect> boxes;
  for (std::size_t i = 0; i < regions.size(); ++i) {
    const int w = before[i].Width(), h = before[i].Height();
    EXPECT_LE(regions[i].Left, before[i].Left);
    EXPECT_LE(regions[i].Top, before[i].Top);
    boxes.push_back(Rect(regions[i].Left, regions[i].Top, before[i].Right + static_cast<int>(h * 0.0872 / 2) + 2,
                         before[i].Bottom + static_cast<int>(w * 0.0872 / 2) + 2));
  }
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) {
      if (boxes[0].Contains(x, y) || boxes[1].Contains(x, y)) continue;
      ASSERT_EQ(page.GetPixelIndex(x, y), original.GetPixelIndex(x, y)) << x << "," << y;
    }
  for (int y = 195; y < 330; ++y)
    for (int x = 1110; x < 1140; ++x) ASSERT_EQ(page.GetPixelIndex(x, y), 0);
}

TEST(DeskewRegions, OtherFormatsRotateInPlaceKeepingSize) {
  TDibGraphic bilevel;
  PageWithSkewedBlock(bilevel, 1201, 900, Rect(101, 101, 901, 601), -25.0);
  for (TImageFormat format : {ifTrueColor, ifGray16, ifGray256}) {
    TDibGraphic original, page, scratch, part, measured;
    Recolour(bilevel, format, original);
    page.Assign(original);
    const TRect r = Rect(101, 101, 901, 601);
    PlainCrop(original, r, part);
    measured.Assign(part);
    const float angle = DetectRegionSkew(measured, &scratch, false);
    ASSERT_NE(angle, 0.0f);
    RotateImageKeep(part, nullptr, true, angle);
    TDibGraphic expected;
    expected.Assign(original);
    PlainPaste(expected, part, r.Left, r.Top);
    std::vector<TRect> regions{r};
    DeskewRegions(page, scratch, regions);
    EXPECT_EQ(page.ImageFormat(), format);
    EXPECT_TRUE(SamePixels(page, expected)) << ImageFormatText(format);
    EXPECT_EQ(regions[0], r);
  }
}
