#include <gtest/gtest.h>

#include <random>

#include "correction/Borders.h"
#include "correction/StrokeWeight.h"
#include "image/TiffGraphic.h"
#include "support/TestSupport.h"

namespace {

const std::vector<TRect> kNoRegions;

// The plain definition: three row buffers of palette indices; darken writes
// only to the page, lighten also updates the current-row buffer.
void ReferenceStrokes(TDibGraphic& image, bool darken, int level, const std::vector<TRect>& regions, bool inside) {
  const int w = image.Width(), h = image.Height();
  std::vector<TRect> rects;
  if (regions.empty() || !inside)
    rects.push_back(TRect{0, 0, w, h});
  else
    for (const TRect& r : regions)
      rects.push_back(TRect{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, w), std::min(r.Bottom, h)});
  const bool skip = !regions.empty() && !inside;
  for (const TRect& rc : rects) {
    if (rc.Right - rc.Left < 3 || rc.Bottom - rc.Top < 3) continue;
    auto read = [&](std::vector<int>& buf, int y) {
      for (int x = 0; x < w; ++x) buf[static_cast<std::size_t>(x)] = image.GetPixelIndex(x, y);
    };
    std::vector<int> prev(static_cast<std::size_t>(w)), cur(prev), next(prev);
    read(prev, rc.Top);
    read(cur, rc.Top + 1);
    for (int y = rc.Top + 1; y <= rc.Bottom - 2; ++y) {
      read(next, y + 1);
      for (int x = rc.Left + 1; x <= rc.Right - 2; ++x) {
        if (skip) {
          bool in = false;
          for (const TRect& r : regions) in = in || r.Contains(x, y);
          if (in) continue;
        }
        auto at = [&](const std::vector<int>& b, int i) { return b[static_cast<std::size_t>(i)]; };
        const int sum = at(prev, x - 1) + at(prev, x) + at(prev, x + 1) + at(cur, x - 1) + at(cur, x + 1) +
                        at(next, x - 1) + at(next, x) + at(next, x + 1);
        if (darken) {
          if (at(cur, x) == 1 && sum <= level) image.SetPixelIndex(x, y, 0);
        } else if (at(cur, x) == 0 && sum == 0) {
          image.SetPixelIndex(x, y, 1);
          cur[static_cast<std::size_t>(x)] = 1;
        }
      }
      prev.swap(cur);
      cur.swap(next);
    }
  }
}

}  // namespace

TEST(StrokeWeight, FastPathsMatchPlainReference) {
  std::mt19937 rng(11);
  const std::vector<TRect> regions = {TRect{3, 2, 70, 20}, TRect{60, 10, 140, 44}, TRect{-5, 30, 9, 60},
                                      TRect{20, 25, 22, 40}};
  for (int w : {3, 5, 63, 64, 65, 129, 200}) {
    for (double density : {0.3, 0.7, 0.95}) {
      for (int regionCase = 0; regionCase < 3; ++regionCase) {
        const std::vector<TRect>& r = regionCase == 0 ? kNoRegions : regions;
        const bool inside = regionCase == 2;
        TDibGraphic page;
        RandomPage(page, w, 47, density, rng);
        for (int level : {-1, 0, 3, 7, 8}) {
          TDibGraphic fast, slow;
          fast.Assign(page);
          slow.Assign(page);
          DarkenStrokes(fast, level, r, inside);
          ReferenceStrokes(slow, true, level, r, inside);
          ASSERT_TRUE(SamePixels(fast, slow))
              << "darken w=" << w << " density=" << density << " regions=" << regionCase << " level=" << level;
        }
        TDibGraphic fast, slow;
        fast.Assign(page);
        slow.Assign(page);
        LightenStrokes(fast, r, inside);
        ReferenceStrokes(slow, false, 0, r, inside);
        ASSERT_TRUE(SamePixels(fast, slow)) << "lighten w=" << w << " density=" << density << " regions=" << regionCase;
      }
    }
  }
}

TEST(StrokeWeight, RealPageMatchesPlainReference) {
  TTiffGraphic page;
  page.LoadFromFile(SharedFile("testdata/bench/a4-feyn.tif"));
  CropToRect(page, TRect{301, 500, 901, 820});
  const std::vector<TRect> regions = {TRect{40, 30, 300, 200}};
  for (int level : {0, 4}) {
    TDibGraphic fast, slow;
    fast.Assign(page);
    slow.Assign(page);
    DarkenStrokes(fast, level, regions, false);
    ReferenceStrokes(slow, true, level, regions, false);
    EXPECT_TRUE(SamePixels(fast, slow)) << "darken " << level;
    if (level == 4) {
      EXPECT_FALSE(SamePixels(fast, page)) << "the crop holds text";
    }
  }
  TDibGraphic fast, slow;
  fast.Assign(page);
  slow.Assign(page);
  LightenStrokes(fast, kNoRegions, false);
  ReferenceStrokes(slow, false, 0, kNoRegions, false);
  EXPECT_TRUE(SamePixels(fast, slow));
}

TEST(StrokeWeight, LightenLeavesRegularLatticeAndKeepsFrame) {
  TDibGraphic image;
  BlackPage(image, 9, 8);
  LightenStrokes(image, kNoRegions, false);
  // Odd interior rows lose every second pixel; the rows between keep all.
  const std::vector<std::string> expected = {"#########", "#.#.#.#.#", "#########", "#.#.#.#.#",
                                             "#########", "#.#.#.#.#", "#########", "#########"};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 9; ++x)
      EXPECT_EQ(image.GetPixelIndex(x, y),
                expected[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#' ? 0 : 1)
          << x << "," << y;
}

TEST(StrokeWeight, WhitePagesAndThinLinesStay) {
  TDibGraphic white, original;
  MakeWhitePage(white, 40, 30);
  original.Assign(white);
  DarkenStrokes(white, 7, kNoRegions, false);
  LightenStrokes(white, kNoRegions, false);
  EXPECT_TRUE(SamePixels(white, original));

  TDibGraphic line;
  MakePageFromText(line, {"..........", "..........", ".########.", "..........", ".........."});
  original.Assign(line);
  LightenStrokes(line, kNoRegions, false);
  EXPECT_TRUE(SamePixels(line, original));
}

TEST(StrokeWeight, DarkenFillsEnclosedHoleAtEveryLevelAndDecidesFromOriginal) {
  for (int level = 0; level <= 8; ++level) {
    TDibGraphic image;
    MakePageFromText(image, {"#####", "#####", "##.##", "#####", "#####"});
    DarkenStrokes(image, level, kNoRegions, false);
    EXPECT_EQ(image.GetPixelIndex(2, 2), 0) << level;
  }
  // Two white pixels side by side each have one white neighbour: level 0
  // fills neither (a sequential scan would fill the second after the first).
  TDibGraphic pair, original;
  MakePageFromText(pair, {"######", "######", "##..##", "######", "######"});
  original.Assign(pair);
  DarkenStrokes(pair, 0, kNoRegions, false);
  EXPECT_TRUE(SamePixels(pair, original));
  DarkenStrokes(pair, 1, kNoRegions, false);
  EXPECT_EQ(pair.GetPixelIndex(2, 2), 0);
  EXPECT_EQ(pair.GetPixelIndex(3, 2), 0);
}

TEST(StrokeWeight, LevelEightBlackensInteriorButNeverTheFrame) {
  TDibGraphic image;
  MakeWhitePage(image, 70, 5);
  DarkenStrokes(image, 8, kNoRegions, false);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 70; ++x) {
      const bool frame = x == 0 || y == 0 || x == 69 || y == 4;
      EXPECT_EQ(image.GetPixelIndex(x, y), frame ? 1 : 0) << x << "," << y;
    }
}

TEST(StrokeWeight, SkippedRegionsStayButStillCountAsNeighbours) {
  TDibGraphic image;
  BlackPage(image, 12, 7);
  const std::vector<TRect> regions = {TRect{0, 0, 6, 7}};
  LightenStrokes(image, regions, false);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(image.GetPixelIndex(x, y), 0) << x << "," << y;
  // Pixel 6 of row 1 sees the protected black pixels to its left and turns.
  EXPECT_EQ(image.GetPixelIndex(6, 1), 1);
  EXPECT_EQ(image.GetPixelIndex(7, 1), 0);
  EXPECT_EQ(image.GetPixelIndex(8, 1), 1);

  // Inside regions: only the region's interior changes.
  TDibGraphic inside;
  BlackPage(inside, 12, 7);
  LightenStrokes(inside, std::vector<TRect>{TRect{4, 1, 9, 6}}, true);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool hole = (y == 2 || y == 4) && (x == 5 || x == 7);
      EXPECT_EQ(inside.GetPixelIndex(x, y), hole ? 1 : 0) << x << "," << y;
    }
}

TEST(StrokeWeight, TrueColourShiftsLightnessOfDarkPixelsOnly) {
  TDibGraphic image;
  image.NewImage(5, 3, ifTrueColor, nullptr, 300, 300);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) image.SetPixel(x, y, 0x000000);
  image.SetPixel(2, 1, RgbColor(240, 240, 240));  // light: untouched
  image.SetPixel(3, 1, RgbColor(200, 0, 0));      // grey 60: dark
  LightenStrokes(image, 50, 216, false, kNoRegions);
  EXPECT_EQ(image.GetPixel(1, 1), RgbColor(128, 128, 128));
  EXPECT_EQ(image.GetPixel(2, 1), RgbColor(240, 240, 240));
  // Lightness 0.39 -> 0.89 at full saturation: a pale red.
  const TColor32 red = image.GetPixel(3, 1);
  EXPECT_EQ(RedOf(red), 255);
  EXPECT_NEAR(GreenOf(red), 200, 1);
  EXPECT_NEAR(BlueOf(red), 200, 1);
  // The frame stays black.
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(image.GetPixel(x, 0), 0u);
    EXPECT_EQ(image.GetPixel(x, 2), 0u);
  }
  EXPECT_EQ(image.GetPixel(0, 1), 0u);
  EXPECT_EQ(image.GetPixel(4, 1), 0u);

  image.SetPixel(1, 1, RgbColor(200, 0, 0));
  DarkenStrokes(image, 10, 216, false, kNoRegions);
  const TColor32 darker = image.GetPixel(1, 1);
  EXPECT_NEAR(RedOf(darker), 149, 1);
  EXPECT_EQ(GreenOf(darker), 0);
  EXPECT_EQ(BlueOf(darker), 0);
}

TEST(StrokeWeight, RegionsOffThePageOrInsideOutChangeNothing) {
  TDibGraphic image, original;
  BlackPage(image, 20, 20);
  original.Assign(image);
  const std::vector<TRect> odd = {TRect{5, 5, INT32_MIN, 10}, TRect{30, 30, 50, 50},
                                  TRect{INT32_MIN, INT32_MIN, INT32_MIN + 2, 3}, TRect{9, 9, 4, 4}};
  LightenStrokes(image, odd, true);
  DarkenStrokes(image, 8, odd, true);
  EXPECT_TRUE(SamePixels(image, original));
}

TEST(StrokeWeight, GreyPagesAreLeftUnchanged) {
  TDibGraphic image, original;
  image.NewImage(6, 6, ifGray256, nullptr, 300, 300);
  original.Assign(image);
  DarkenStrokes(image, 4, 216, false, kNoRegions);
  LightenStrokes(image, 4, 216, false, kNoRegions);
  EXPECT_TRUE(SamePixels(image, original));
}
