#include <gtest/gtest.h>

#include <random>

#include "correction/NoiseData.h"
#include "correction/PagePlacement.h"
#include "image/ImagingHooks.h"
#include "support/TestSupport.h"

namespace {

// Clears the bits that pad every stored row, i.e. makes them "black".
void DarkenPadding(TDibGraphic& image) {
  for (int y = 0; y < image.Height(); ++y)
    for (int bit = image.Width(); bit < image.BytesPerScanLine() * 8; ++bit)
      image.ScanLine(y)[bit / 8] &= static_cast<std::uint8_t>(~(0x80 >> (bit % 8)));
}

bool IsDark(const TDibGraphic& image, int x, int y, int threshold) {
  if (image.ImageFormat() == ifBlackWhite) return image.GetPixelIndex(x, y) == 0;
  const TColor32 c = image.GetPixel(x, y);
  return GreyOf(RedOf(c), GreenOf(c), BlueOf(c)) < threshold;
}

// The plain definition of the content box.
TRect ReferenceBounds(const TDibGraphic& image, int rowInk, int colInk, int threshold) {
  const int w = image.Width(), h = image.Height();
  const bool bilevel = image.ImageFormat() == ifBlackWhite;
  TRect r = bilevel ? TRect{} : TRect{0, 0, w, h};
  auto rowCounts = [&](int y) {
    int n = 0;
    for (int x = 0; x < w; ++x) n += IsDark(image, x, y, threshold);
    return n >= rowInk;
  };
  auto colCounts = [&](int x) {
    int n = 0;
    for (int y = 0; y < h; ++y) n += IsDark(image, x, y, threshold);
    return n >= colInk;
  };
  for (int y = 0; y < h; ++y)
    if (rowCounts(y)) {
      r.Top = y;
      break;
    }
  for (int y = h - 1; y >= r.Top; --y)
    if (rowCounts(y)) {
      r.Bottom = y;
      break;
    }
  for (int x = 0; x < w; ++x)
    if (colCounts(x)) {
      r.Left = x;
      break;
    }
  for (int x = w - 1; x >= r.Left; --x)
    if (colCounts(x)) {
      r.Right = x;
      break;
    }
  return r;
}

// page moved by (dx, dy) on white.
void ReferenceMoved(const TDibGraphic& page, int dx, int dy, TDibGraphic& out) {
  MakeWhitePage(out, page.Width(), page.Height());
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) {
      const std::int64_t sx = std::int64_t{x} - dx, sy = std::int64_t{y} - dy;
      if (sx >= 0 && sy >= 0 && sx < page.Width() && sy < page.Height())
        out.SetPixelIndex(x, y, page.GetPixelIndex(static_cast<int>(sx), static_cast<int>(sy)));
    }
}

int CountBlack(const TDibGraphic& image, const TRect& r) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) n += image.GetPixelIndex(x, y) == 0;
  return n;
}

}  // namespace

TEST(PagePlacement, ContentBoundsMatchReferenceAndIgnorePadding) {
  std::mt19937 rng(21);
  for (int w : {1, 9, 64, 100, 333}) {
    for (double density : {0.0, 0.002, 0.03}) {
      TDibGraphic page;
      RandomPage(page, w, 300, density, rng);
      DarkenPadding(page);
      for (auto [rowInk, colInk] : {std::pair{1, 1}, std::pair{2, 3}, std::pair{0, 0}, std::pair{0, 2}}) {
        EXPECT_EQ(FindContentBounds(page, rowInk, colInk, 216), ReferenceBounds(page, rowInk, colInk, 216))
            << "w=" << w << " density=" << density << " ink " << rowInk << "/" << colInk;
      }
    }
  }
  // A page taller than 255 rows of one dark column (the column counters
  // are kept in bytes between flushes).
  TDibGraphic column;
  MakeWhitePage(column, 20, 1000);
  for (int y = 0; y < 1000; ++y) column.SetPixelIndex(13, y, 0);
  EXPECT_EQ(FindContentBounds(column, 1, 1000, 216), (TRect{13, 0, 13, 999}));
  EXPECT_EQ(FindContentBounds(column, 1, 1001, 216), (TRect{0, 0, 0, 999}));
}

TEST(PagePlacement, ContentBoundsOfEmptyAndOtherFormatPages) {
  TDibGraphic empty;
  MakeWhitePage(empty, 50, 40);
  EXPECT_EQ(FindContentBounds(empty, 1, 1, 216), (TRect{0, 0, 0, 0}));
  // With no ink required every row and column counts.
  EXPECT_EQ(FindContentBounds(empty, 0, 0, 216), (TRect{0, 0, 49, 39}));

  TDibGraphic grey;
  grey.NewImage(30, 20, ifGray256, nullptr, 300, 300);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) grey.SetPixelIndex(x, y, 255);
  EXPECT_EQ(FindContentBounds(grey, 1, 1, 216), (TRect{0, 0, 30, 20}));
  grey.SetPixelIndex(7, 4, 215);
  grey.SetPixelIndex(21, 15, 100);
  grey.SetPixelIndex(25, 18, 216);  // not below the threshold
  EXPECT_EQ(FindContentBounds(grey, 1, 1, 216), (TRect{7, 4, 21, 15}));

  std::mt19937 rng(23);
  for (TImageFormat format : {ifGray16, ifColor16, ifColor256, ifTrueColor}) {
    TDibGraphic page;
    page.NewImage(37, 29, format, nullptr, 300, 300);
    std::uniform_int_distribution<int> v(0, 0xFFFFFF);
    std::bernoulli_distribution ink(0.01);
    for (int y = 0; y < 29; ++y)
      for (int x = 0; x < 37; ++x) page.SetPixel(x, y, ink(rng) ? static_cast<TColor32>(v(rng)) : 0xFFFFFF);
    EXPECT_EQ(FindContentBounds(page, 1, 2, 150), ReferenceBounds(page, 1, 2, 150)) << format;
  }
}

TEST(PagePlacement, CenteringModesMoveTheContent) {
  TDibGraphic page;
  MakeWhitePage(page, 60, 40);
  for (int y = 10; y < 14; ++y)
    for (int x = 5; x < 12; ++x) page.SetPixelIndex(x, y, 0);  // content (5,10)-(11,13)
  struct Case {
    int hMode, hOffset, vMode, vOffset, dx, dy;
  };
  for (const Case& c : {Case{0, 0, 0, 0, (60 - 11 - 5) / 2, (40 - 13 - 10) / 2}, Case{1, 2, 1, 30, -3, 20},
                        Case{2, 4, 2, 1, 60 - 11 - 4, 40 - 13 - 1}, Case{3, 9, 3, 9, 0, 0}, Case{7, 0, 0, 0, 0, 8}}) {
    TDibGraphic image, undo, expected;
    image.Assign(page);
    CenterContent(image, &undo, c.hMode, 216, 1, 1, c.vOffset, c.vMode, c.hOffset);
    ReferenceMoved(page, c.dx, c.dy, expected);
    EXPECT_TRUE(SamePixels(image, expected)) << c.hMode << "/" << c.vMode;
    EXPECT_TRUE(SamePixels(undo, page));
  }
  // Offsets far beyond the page move the content off it.
  TDibGraphic image, undo, white;
  image.Assign(page);
  MakeWhitePage(white, 60, 40);
  CenterContent(image, &undo, 1, 216, 1, 1, INT32_MAX, 2, INT32_MIN);
  EXPECT_TRUE(SamePixels(image, white));
}

TEST(PagePlacement, CentredContentMovesAtMostOnePixelAndEmptyPageStaysWhite) {
  TDibGraphic page, undo;
  MakeWhitePage(page, 41, 30);
  for (int x = 15; x < 26; ++x) page.SetPixelIndex(x, 14, 0);  // 15..25 in 41: centred
  TDibGraphic image;
  image.Assign(page);
  CenterContent(image, &undo, 0, 216, 1, 1, 0, 0, 0);
  int moved = -1;
  for (int x = 0; x < 41; ++x)
    if (image.GetPixelIndex(x, 14) == 0 || image.GetPixelIndex(x, 15) == 0 || image.GetPixelIndex(x, 13) == 0) {
      moved = x - 15;
      break;
    }
  EXPECT_LE(std::abs(moved), 1);

  TDibGraphic empty, white;
  MakeWhitePage(empty, 31, 17);
  white.Assign(empty);
  CenterContent(empty, &undo, 0, 216, 1, 1, 0, 0, 0);
  EXPECT_TRUE(SamePixels(empty, white));
}

TEST(PagePlacement, ShiftMovesEveryDirectionAndLosesWhatLeaves) {
  std::mt19937 rng(29);
  TDibGraphic page;
  RandomPage(page, 45, 23, 0.4, rng);
  struct Case {
    int direction, n, dx, dy;
  };
  for (const Case& c : {Case{-2, 3, 0, -3}, Case{2, 5, 0, 5}, Case{-1, 9, -9, 0}, Case{1, 13, 13, 0},
                        Case{1, 45, 45, 0}, Case{2, 1000000, 0, 1000000}, Case{-1, 2147483647, -2147483647, 0}}) {
    TDibGraphic image, undo, expected;
    image.Assign(page);
    ShiftImage(image, &undo, c.direction, c.n);
    ReferenceMoved(page, c.dx, c.dy, expected);
    EXPECT_TRUE(SamePixels(image, expected)) << c.direction << " by " << c.n;
    EXPECT_TRUE(SamePixels(undo, page));
  }
  // Distances below 1 and unknown directions leave page and undo alone.
  for (auto [direction, n] : {std::pair{1, 0}, std::pair{2, -4}, std::pair{3, 5}}) {
    TDibGraphic image, undo;
    image.Assign(page);
    ShiftImage(image, &undo, direction, n);
    EXPECT_TRUE(SamePixels(image, page));
    EXPECT_TRUE(undo.Empty());
  }
}

TEST(PagePlacement, KeepRectCentredKeepsOnlyTheRectangle) {
  std::mt19937 rng(31);
  TDibGraphic page;
  RandomPage(page, 50, 40, 0.5, rng);
  for (TRect r : {TRect{3, 4, 20, 11}, TRect{30, 25, 50, 40}, TRect{-10, -5, 8, 6}}) {
    TDibGraphic image, undo, expected;
    image.Assign(page);
    KeepRectCentred(image, &undo, r);
    const int x0 = (50 + r.Left - r.Right) / 2, y0 = (40 + r.Top - r.Bottom) / 2;
    MakeWhitePage(expected, 50, 40);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 50; ++x) {
        const int sx = x - x0 + r.Left, sy = y - y0 + r.Top;
        if (r.Contains(sx, sy) && sx >= 0 && sy >= 0 && sx < 50 && sy < 40)
          expected.SetPixelIndex(x, y, page.GetPixelIndex(sx, sy));
      }
    EXPECT_TRUE(SamePixels(image, expected)) << r.Left << "," << r.Top;
  }
}

TEST(PagePlacement, FitToPaperSizesAndCentring) {
  // A4 in millimetres at 300 dpi.
  TDibGraphic image, undo;
  MakeWhitePage(image, 100, 80);
  FitToPaper(image, &undo, 210, 297, false, false);
  EXPECT_EQ(image.Width(), 2480);
  EXPECT_EQ(image.Height(), 3508);
  EXPECT_EQ(image.XPelsPerMeter(), 11811);
  EXPECT_EQ(undo.Width(), 100);

  std::mt19937 rng(37);
  TDibGraphic page;
  RandomPage(page, 41, 30, 0.5, rng);
  // The page's own size without stretching (and with): unchanged.
  for (bool stretch : {false, true}) {
    TDibGraphic same;
    same.Assign(page);
    FitToPaper(same, &undo, 41, 30, true, stretch);
    EXPECT_TRUE(SamePixels(same, page));
  }
  // Smaller in one direction, larger in the other: centred, cut and padded.
  TDibGraphic other;
  other.Assign(page);
  FitToPaper(other, &undo, 30, 35, true, false);
  ASSERT_EQ(other.Width(), 30);
  ASSERT_EQ(other.Height(), 35);
  const int dx = (30 - 41) / 2, dy = (35 - 30) / 2;  // -5, 2
  for (int y = 0; y < 35; ++y)
    for (int x = 0; x < 30; ++x) {
      const int sx = x - dx, sy = y - dy;
      const int expected = (sy >= 0 && sy < 30) ? page.GetPixelIndex(sx, sy) : 1;
      ASSERT_EQ(other.GetPixelIndex(x, y), expected) << x << "," << y;
    }
  // Stretched to twice the size: every pixel becomes a 2 x 2 block.
  TDibGraphic doubled;
  doubled.Assign(page);
  FitToPaper(doubled, &undo, 82, 60, true, true);
  ASSERT_EQ(doubled.Width(), 82);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 82; ++x)
      ASSERT_EQ(doubled.GetPixelIndex(x, y), page.GetPixelIndex(x / 2, y / 2)) << x << "," << y;
  // No size: nothing happens.
  TDibGraphic keep;
  keep.Assign(page);
  FitToPaper(keep, &undo, 0, 30, true, false);
  EXPECT_TRUE(SamePixels(keep, page));
}

TEST(PagePlacement, ResizeByZeroPercentLeavesThePage) {
  std::mt19937 rng(41);
  TDibGraphic page;
  RandomPage(page, 33, 21, 0.5, rng);
  for (bool enlarge : {true, false}) {
    TDibGraphic image, undo;
    image.Assign(page);
    ResizeContent(image, &undo, 0, enlarge);
    EXPECT_TRUE(SamePixels(image, page));
    EXPECT_TRUE(SamePixels(undo, page));
  }
}

TEST(PagePlacement, ResizeThatChangesNothingStillTakesTheUndoCopy) {
  // A negative percent, or enlarging by 100 % or more, leaves the page; the
  // undo image must still hold it, not the page of an earlier command.
  std::mt19937 rng(43);
  TDibGraphic page, earlier;
  RandomPage(page, 33, 21, 0.5, rng);
  RandomPage(earlier, 20, 20, 0.5, rng);
  for (auto [percent, enlarge] :
       {std::pair{-5, false}, std::pair{-5, true}, std::pair{100, true}, std::pair{150, true}}) {
    TDibGraphic image, undo;
    image.Assign(page);
    undo.Assign(earlier);
    ResizeContent(image, &undo, percent, enlarge);
    EXPECT_TRUE(SamePixels(image, page)) << percent;
    EXPECT_TRUE(SamePixels(undo, page)) << percent;
  }
}

TEST(PagePlacement, ResizeCutRoundsHalvesToEven) {
  // 250 x 1 % = 2.5 -> 2; 350 x 1 % = 3.5 -> 4. Reducing an all-black page
  // leaves white columns of dw div 2 on the left and dw - dw div 2 on the
  // right.
  for (auto [w, dw] : {std::pair{250, 2}, std::pair{350, 4}}) {
    TDibGraphic image, undo;
    BlackPage(image, w, 10);
    ResizeContent(image, &undo, 1, false);
    EXPECT_EQ(CountBlack(image, TRect{0, 0, dw / 2, 10}), 0) << w;
    EXPECT_EQ(image.GetPixelIndex(dw / 2, 5), 0) << w;
    EXPECT_EQ(image.GetPixelIndex(w - dw + dw / 2 - 1, 5), 0) << w;
    EXPECT_EQ(CountBlack(image, TRect{w - dw + dw / 2, 0, w, 10}), 0) << w;
  }
}

TEST(PagePlacement, FitToMarginsShrinksWithBlackWinning) {
  // Thin lines on odd columns and rows survive a shrink to half size.
  TDibGraphic page;
  MakeWhitePage(page, 40, 40);
  for (int i = 0; i < 16; ++i) {
    page.SetPixelIndex(11, 4 + i, 0);  // vertical line
    page.SetPixelIndex(4 + i, 17, 0);  // horizontal line
  }
  TDibGraphic image, undo;
  image.Assign(page);
  const TRect target{20, 20, 30, 30};
  FitToMargins(image, &undo, TRect{0, 0, 20, 20}, target);
  EXPECT_TRUE(SamePixels(undo, page));
  EXPECT_EQ(CountBlack(image, TRect{0, 0, 40, 40}), CountBlack(image, target));
  EXPECT_GE(CountBlack(image, target), 14);
  // Each line gives a run of black pixels across the target.
  EXPECT_GE(CountBlack(image, TRect{20, 22, 30, 30}), 1);
}

TEST(PagePlacement, NothingHappensWithoutUndoOrPixelsAndBusyCursorShows) {
  int shown = 0;
  ImagingHooks().BusyCursorOn = [&] { ++shown; };
  TDibGraphic page, image, undo;
  MakePageFromText(page, {"....", ".#..", "...."});
  image.Assign(page);
  CenterContent(image, nullptr, 0, 216, 1, 1, 0, 0, 0);
  ShiftImage(image, nullptr, 1, 1);
  KeepRectCentred(image, nullptr, TRect{0, 0, 2, 2});
  FitToPaper(image, nullptr, 10, 10, true, false);
  ResizeContent(image, nullptr, 10, true);
  FitToMargins(image, nullptr, TRect{0, 0, 2, 2}, TRect{0, 0, 4, 3});
  CenterContent(image, &image, 0, 216, 1, 1, 0, 0, 0);
  EXPECT_TRUE(SamePixels(image, page));
  EXPECT_EQ(shown, 0);

  TDibGraphic empty;
  ShiftImage(empty, &undo, 1, 1);
  EXPECT_TRUE(empty.Empty());
  EXPECT_TRUE(undo.Empty());

  ShiftImage(image, &undo, 1, 1);
  EXPECT_EQ(shown, 1);
  ImagingHooks().BusyCursorOn = nullptr;
}
