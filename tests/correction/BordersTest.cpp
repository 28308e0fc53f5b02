#include <gtest/gtest.h>

#include <random>

#include "correction/Borders.h"
#include "correction/NoiseData.h"
#include "image/RasterRows.h"
#include "support/TestSupport.h"

namespace {

// A page of any format filled with pseudo-random palette indices or colours.
void RandomAnyPage(TDibGraphic& image, TImageFormat format, int w, int h, std::mt19937& rng) {
  image.NewImage(w, h, format, nullptr, 300, 300);
  std::uniform_int_distribution<int> value(0, 0xFFFFFF);
  const int entries = static_cast<int>(image.Palette().size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (format == ifTrueColor)
        image.SetPixel(x, y, static_cast<TColor32>(value(rng)));
      else
        image.SetPixelIndex(x, y, value(rng) % entries);
    }
}

TColor32 Colour(const TDibGraphic& image, int x, int y) { return image.GetPixel(x, y); }

}  // namespace

TEST(Borders, TenMillimetreTopMarginAt300DpiErasesRows0To117) {
  TDibGraphic image;
  BlackPage(image, 200, 300);
  TRect r;
  MarginsToRect(image, 10, 0, r, 0, 0);
  EraseOutsideRect(image, r);
  for (int y = 0; y < 300; ++y)
    for (int x : {0, 77, 199}) EXPECT_EQ(image.GetPixelIndex(x, y), y <= 117 ? 1 : 0) << x << "," << y;
}

TEST(Borders, EraseOutsideKeepsInsideAndSkipsDegenerateRects) {
  std::mt19937 rng(3);
  TDibGraphic page;
  RandomPage(page, 77, 41, 0.5, rng);
  // Zero margins and degenerate rectangles change nothing.
  for (TRect r : {TRect{0, 0, 77, 41}, TRect{5, 5, 5, 30}, TRect{5, 9, 40, 9}, TRect{30, 5, 10, 20}}) {
    TDibGraphic image;
    image.Assign(page);
    EraseOutsideRect(image, r);
    EXPECT_TRUE(SamePixels(image, page));
  }
  // Rectangles at odd bit positions, and ones reaching past the page.
  for (TRect r : {TRect{3, 2, 70, 39}, TRect{9, 0, 17, 41}, TRect{-4, -9, 12, 13}, TRect{60, 30, 500, 400},
                  TRect{100, 100, 200, 200}}) {
    TDibGraphic image;
    image.Assign(page);
    EraseOutsideRect(image, r);
    for (int y = 0; y < 41; ++y)
      for (int x = 0; x < 77; ++x) {
        const int expected = r.Contains(x, y) ? page.GetPixelIndex(x, y) : 1;
        ASSERT_EQ(image.GetPixelIndex(x, y), expected) << x << "," << y;
      }
  }
}

TEST(Borders, EraseOutsideWorksForEveryFormat) {
  std::mt19937 rng(5);
  for (TImageFormat format : {ifGray16, ifGray256, ifColor16, ifColor256, ifTrueColor}) {
    TDibGraphic page, image;
    RandomAnyPage(page, format, 23, 9, rng);
    image.Assign(page);
    const TRect r{3, 2, 18, 7};
    EraseOutsideRect(image, r);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 23; ++x)
        ASSERT_EQ(Colour(image, x, y), r.Contains(x, y) ? Colour(page, x, y) : 0xFFFFFFu)
            << "format " << format << " at " << x << "," << y;
  }
}

TEST(Borders, CopyBitsMatchesBitByBitCopy) {
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> byte(0, 255), offset(0, 40), length(0, 90);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint8_t> src(20), dst(20), expected;
    for (auto& b : src) b = static_cast<std::uint8_t>(byte(rng));
    for (auto& b : dst) b = static_cast<std::uint8_t>(byte(rng));
    const int s = offset(rng), d = offset(rng);
    const int n = std::min({length(rng), 160 - s, 160 - d});
    expected = dst;
    for (int i = 0; i < n; ++i) {
      const int bit = (src[static_cast<std::size_t>((s + i) / 8)] >> (7 - (s + i) % 8)) & 1;
      auto& e = expected[static_cast<std::size_t>((d + i) / 8)];
      e = static_cast<std::uint8_t>(bit ? (e | (0x80 >> ((d + i) % 8))) : (e & ~(0x80 >> ((d + i) % 8))));
    }
    rows::CopyBits(dst.data(), d, src.data(), s, n);
    ASSERT_EQ(dst, expected) << "src " << s << " dst " << d << " bits " << n;
  }
}

TEST(Borders, CropKeepsTheRectangleFormatAndResolution) {
  std::mt19937 rng(13);
  TDibGraphic page;
  RandomAnyPage(page, ifColor16, 31, 17, rng);
  page.SetXDotsPerInch(200);
  page.SetYDotsPerInch(150);
  TDibGraphic image;
  image.Assign(page);
  CropToRect(image, TRect{5, 3, 26, 12});
  ASSERT_EQ(image.Width(), 21);
  ASSERT_EQ(image.Height(), 9);
  EXPECT_EQ(image.ImageFormat(), ifColor16);
  EXPECT_EQ(image.Palette(), page.Palette());
  EXPECT_EQ(image.XDotsPerInch(), 200);
  EXPECT_EQ(image.YDotsPerInch(), 150);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 21; ++x) ASSERT_EQ(image.GetPixelIndex(x, y), page.GetPixelIndex(x + 5, y + 3));

  // Beyond the page the crop is cut at the page's edges.
  TDibGraphic wide;
  wide.Assign(page);
  CropToRect(wide, TRect{20, 10, 90, 90});
  EXPECT_EQ(wide.Width(), 11);
  EXPECT_EQ(wide.Height(), 7);

  // A rectangle wholly outside the page is an error and keeps the page.
  TDibGraphic outside;
  outside.Assign(page);
  try {
    CropToRect(outside, TRect{40, 0, 50, 10});
    ADD_FAILURE() << "no error";
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "Invalid crop parameters");
  }
  EXPECT_TRUE(SamePixels(outside, page));

  // Zero margins keep the page; a degenerate rectangle does nothing.
  for (TRect r : {TRect{0, 0, 31, 17}, TRect{4, 4, 4, 10}, TRect{4, 4, 10, 3}}) {
    TDibGraphic same;
    same.Assign(page);
    CropToRect(same, r);
    EXPECT_TRUE(SamePixels(same, page));
  }
}

namespace {

// Expected line extension: every pixel takes the pixel of the band at the
// same offset modulo the band's size.
void ReferenceExtend(const TDibGraphic& page, const TRect& box, TDibGraphic& out) {
  out.Assign(page);
  const int w = page.Width(), h = page.Height();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int sx = h < w ? box.Left + x % (box.Right - box.Left + 1) : x;
      const int sy = h < w ? y : box.Top + y % (box.Bottom - box.Top + 1);
      out.SetPixelIndex(x, y, page.GetPixelIndex(sx, sy));
    }
}

}  // namespace

TEST(Borders, ExtendLinesContinuesADashAcrossAWideSelection) {
  TDibGraphic image;
  MakePageFromText(image, {"....................", "......####..........", "......####..........",
                           "....................", "....#..............."});
  ExtendLines(image, 216);
  for (int x = 0; x < 20; ++x) {
    EXPECT_EQ(image.GetPixelIndex(x, 1), 0) << x;
    EXPECT_EQ(image.GetPixelIndex(x, 2), 0) << x;
    EXPECT_EQ(image.GetPixelIndex(x, 0), 1) << x;
    EXPECT_EQ(image.GetPixelIndex(x, 3), 1) << x;
  }
  // The lone pixel lay outside the band and is replaced by band copies.
  EXPECT_EQ(image.GetPixelIndex(4, 4), 1);
}

TEST(Borders, ExtendLinesOnTallAndSquareSelectionsRepeatsRows) {
  for (int w : {5, 9}) {  // 5 wide: tall; 9 wide: square
    TDibGraphic image;
    std::vector<std::string> rows(9, std::string(static_cast<std::size_t>(w), '.'));
    rows[3][2] = '#';
    rows[4][2] = '#';
    rows[5][2] = '#';
    rows[7][0] = '#';
    MakePageFromText(image, rows);
    ExtendLines(image, 216);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < w; ++x) EXPECT_EQ(image.GetPixelIndex(x, y), x == 2 ? 0 : 1) << w << ":" << x << "," << y;
  }
}

TEST(Borders, ExtendLinesMatchesReferenceAndLeavesBlankOrFullBandAlone) {
  std::mt19937 rng(17);
  for (int w : {13, 70, 97}) {
    for (int h : {11, 70, 120}) {
      TDibGraphic page, image, expected;
      RandomPage(page, w, h, 0.04, rng);
      TNoiseData noise(page, 216);
      noise.FindComponents();
      const TRect box = noise.LargestComponent();
      image.Assign(page);
      ExtendLines(image, 216);
      ReferenceExtend(page, box, expected);
      ASSERT_TRUE(SamePixels(image, expected)) << w << " x " << h;
    }
  }
  // No dark pixel at all: unchanged.
  TDibGraphic blank, original;
  MakeWhitePage(blank, 40, 10);
  original.Assign(blank);
  ExtendLines(blank, 216);
  EXPECT_TRUE(SamePixels(blank, original));
  // A band as wide as the selection: unchanged.
  TDibGraphic full;
  MakePageFromText(full, {"..........", "##########", "..#.......", ".........."});
  original.Assign(full);
  ExtendLines(full, 216);
  EXPECT_TRUE(SamePixels(full, original));
  // A single pixel at the corner is a group: its column is repeated.
  TDibGraphic corner;
  MakePageFromText(corner, {"#.....", "......", "......"});
  ExtendLines(corner, 216);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(corner.GetPixelIndex(x, 0), 0) << x;
}
