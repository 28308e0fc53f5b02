#include <gtest/gtest.h>

#include <random>

#include "correction/Borders.h"
#include "correction/NoiseRemoval.h"
#include "image/TiffGraphic.h"
#include "support/TestSupport.h"

namespace {

struct Box {
  int Left, Top, Right, Bottom;  // inclusive
};

// Plain flood fill over 8-connected dark pixels.
std::vector<Box> ReferenceBoxes(const TDibGraphic& image) {
  const int w = image.Width(), h = image.Height();
  std::vector<char> seen(static_cast<std::size_t>(w) * h, 0);
  std::vector<Box> boxes;
  std::vector<std::pair<int, int>> stack;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (seen[static_cast<std::size_t>(y) * w + x] || image.GetPixelIndex(x, y) != 0) continue;
      Box b{x, y, x, y};
      stack.push_back({x, y});
      seen[static_cast<std::size_t>(y) * w + x] = 1;
      while (!stack.empty()) {
        auto [cx, cy] = stack.back();
        stack.pop_back();
        b.Left = std::min(b.Left, cx);
        b.Right = std::max(b.Right, cx);
        b.Top = std::min(b.Top, cy);
        b.Bottom = std::max(b.Bottom, cy);
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = cx + dx, ny = cy + dy;
            if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
            char& s = seen[static_cast<std::size_t>(ny) * w + nx];
            if (s || image.GetPixelIndex(nx, ny) != 0) continue;
            s = 1;
            stack.push_back({nx, ny});
          }
      }
      boxes.push_back(b);
    }
  return boxes;
}

void ReferenceRemoveSpecks(TDibGraphic& image, int maxW, int maxH, bool inside, const std::vector<TRect>& regions) {
  for (const Box& b : ReferenceBoxes(image)) {
    if (b.Right - b.Left + 1 > maxW || b.Bottom - b.Top + 1 > maxH) continue;
    const TRect r{b.Left, b.Top, b.Right + 1, b.Bottom + 1};
    bool contained = false;
    for (const TRect& g : regions)
      if (g.Left <= r.Left && g.Top <= r.Top && g.Right >= r.Right && g.Bottom >= r.Bottom) {
        contained = true;
        break;
      }
    if (!regions.empty() && contained != inside) continue;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) image.SetPixelIndex(x, y, 1);
  }
}

const std::vector<TRect> kNoRegions;

}  // namespace

TEST(SpeckRemoval, LimitsAreInclusiveInBothDirections) {
  // A 3 x 2 group.
  const std::vector<std::string> page = {"......", ".###..", ".#.#..", "......"};
  TDibGraphic a;
  MakePageFromText(a, page);
  RemoveSpecks(a, 3, 2, false, kNoRegions, 216);
  TDibGraphic white;
  MakePageFromText(white, {"......", "......", "......", "......"});
  EXPECT_TRUE(SamePixels(a, white));

  for (auto [w, h] : {std::pair{2, 2}, std::pair{3, 1}, std::pair{0, 0}}) {
    TDibGraphic b, original;
    MakePageFromText(b, page);
    MakePageFromText(original, page);
    RemoveSpecks(b, w, h, false, kNoRegions, 216);
    EXPECT_TRUE(SamePixels(b, original)) << w << " x " << h;
  }
}

TEST(SpeckRemoval, OneByOneLimitErasesIsolatedPixelsOnly) {
  TDibGraphic image, expected;
  MakePageFromText(image, {"#.....#", "...##..", "#......", "......#"});
  MakePageFromText(expected, {".......", "...##..", ".......", "......."});
  RemoveSpecks(image, 1, 1, false, kNoRegions, 216);
  EXPECT_TRUE(SamePixels(image, expected));
}

TEST(SpeckRemoval, WholeBoundingBoxIsErasedWithOtherGroupsInIt) {
  // An L-shaped speck; the long line on row 2 is its own group (two columns
  // away) but its first pixels lie inside the L's box.
  TDibGraphic image, expected;
  MakePageFromText(image, {"#.......", "#.......", "#.######", "#.......", "#####..."});
  MakePageFromText(expected, {"........", "........", ".....###", "........", "........"});
  RemoveSpecks(image, 5, 5, false, kNoRegions, 216);
  EXPECT_TRUE(SamePixels(image, expected));
}

TEST(SpeckRemoval, RegionsProtectOrConfine) {
  const std::vector<std::string> page = {"#.........", "..........", ".....#....", "..........", "........##"};
  // Region around the middle speck; a second region that holds only the
  // left half of the bottom-right speck (it straddles the region's border).
  const std::vector<TRect> regions = {TRect{4, 1, 7, 4}, TRect{8, 3, 9, 5}};

  TDibGraphic outside, outsideExpected;
  MakePageFromText(outside, page);
  RemoveSpecks(outside, 2, 2, false, regions, 216);
  MakePageFromText(outsideExpected, {"..........", "..........", ".....#....", "..........", ".........."});
  EXPECT_TRUE(SamePixels(outside, outsideExpected));

  TDibGraphic inside, insideExpected;
  MakePageFromText(inside, page);
  RemoveSpecks(inside, 2, 2, true, regions, 216);
  MakePageFromText(insideExpected, {"#.........", "..........", "..........", "..........", "........##"});
  EXPECT_TRUE(SamePixels(inside, insideExpected));

  // An empty list is the same as no regions, whatever insideRegions says.
  TDibGraphic none;
  MakePageFromText(none, page);
  RemoveSpecks(none, 2, 2, true, kNoRegions, 216);
  TDibGraphic white;
  MakeWhitePage(white, 10, 5);
  EXPECT_TRUE(SamePixels(none, white));
}

TEST(SpeckRemoval, RandomPagesMatchPlainReference) {
  std::mt19937 rng(7);
  const std::vector<TRect> regions = {TRect{5, 5, 40, 30}, TRect{-3, 20, 20, 80}, TRect{50, 0, 71, 15}};
  int page = 0;
  for (int w : {1, 7, 64, 71, 130}) {
    for (double density : {0.05, 0.2, 0.45}) {
      for (int regionCase = 0; regionCase < 3; ++regionCase) {
        TDibGraphic fast, slow;
        RandomPage(fast, w, 61, density, rng);
        slow.Assign(fast);
        const std::vector<TRect>& r = regionCase == 0 ? kNoRegions : regions;
        const bool inside = regionCase == 2;
        RemoveSpecks(fast, 4, 3, inside, r, 216);
        ReferenceRemoveSpecks(slow, 4, 3, inside, r);
        EXPECT_TRUE(SamePixels(fast, slow)) << "page " << page << " width " << w;
        ++page;
      }
    }
  }
}

TEST(SpeckRemoval, RealPageMatchesPlainReference) {
  TTiffGraphic page;
  page.LoadFromFile(SharedFile("testdata/bench/a4-feyn.tif"));
  CropToRect(page, TRect{301, 500, 901, 820});
  TDibGraphic fast, slow;
  fast.Assign(page);
  slow.Assign(page);
  RemoveSpecks(fast, 9, 9, false, kNoRegions, 216);
  ReferenceRemoveSpecks(slow, 9, 9, false, kNoRegions);
  EXPECT_TRUE(SamePixels(fast, slow));
  EXPECT_FALSE(SamePixels(fast, page)) << "the crop holds small groups";
}

TEST(SpeckRemoval, TrueColourBackgroundBecomesWhite) {
  TDibGraphic image;
  image.NewImage(6, 3, ifTrueColor, nullptr, 300, 300);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) image.SetPixel(x, y, RgbColor(230, 220, 200));  // grey 221
  // A dark line (not a speck at 2 x 2) and one dark pixel that is a speck.
  for (int x = 0; x < 4; ++x) image.SetPixel(x, 0, RgbColor(20, 30, 40));
  image.SetPixel(5, 2, RgbColor(10, 10, 10));
  RemoveSpecks(image, 2, 2, false, kNoRegions, 216);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) {
      const TColor32 expected = (y == 0 && x < 4) ? RgbColor(20, 30, 40) : 0xFFFFFF;
      EXPECT_EQ(image.GetPixel(x, y), expected) << x << "," << y;
    }
}

TEST(SpeckRemoval, GreyPagesAreLeftUnchanged) {
  TDibGraphic image, original;
  image.NewImage(5, 5, ifGray256, nullptr, 300, 300);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) image.SetPixelIndex(x, y, (x + y) % 2 ? 255 : 0);
  original.Assign(image);
  RemoveSpecks(image, 9, 9, false, kNoRegions, 216);
  EXPECT_TRUE(SamePixels(image, original));
}
