#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "image/transforms/AntiAliasTransform.h"
#include "image/transforms/ConvertToGrayTransform.h"
#include "image/transforms/CropTransform.h"
#include "image/transforms/ImageFormatTransform.h"
#include "image/transforms/NegativeTransform.h"
#include "image/transforms/ResizeTransform.h"
#include "support/TestSupport.h"

namespace {

const TImageFormat kAllFormats[] = {ifBlackWhite, ifGray16, ifGray256, ifColor16, ifColor256, ifTrueColor};

void MakeRandom(TDibGraphic& image, int w, int h, TImageFormat format, unsigned seed) {
  image.NewImage(w, h, format, nullptr, 300, 200);
  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < image.ImageSize(); ++i) image.Bits()[i] = static_cast<std::uint8_t>(rng());
}

// Records the reports of a transform.
struct ProgressLog {
  std::vector<int> Reports;
  void Attach(TImageTransform& t) {
    t.OnProgress = [this](TImageTransform*, int percent) { Reports.push_back(percent); };
  }
  bool FromZeroToHundred() const {
    return Reports.size() >= 2 && Reports.front() == 0 && Reports.back() == 100 &&
           std::is_sorted(Reports.begin(), Reports.end());
  }
};

// Plain per-pixel anti-alias with the same boxes.
void ReferenceAntiAlias(const TDibGraphic& src, TDibGraphic& dst, int dw, int dh) {
  const int sw = src.Width(), sh = src.Height();
  auto edge = [](long i, long size, long count) {
    return static_cast<int>(std::nearbyint(static_cast<double>(i * size) / static_cast<double>(count)));
  };
  dst.NewImage(dw, dh, ifGray256, nullptr, 300, 300);
  for (int j = 0; j < dh; ++j) {
    const int r0 = std::min(edge(j, sh, dh), sh - 1);
    const int r1 = std::max(j + 1 < dh ? std::min(edge(j + 1, sh, dh), sh - 1) : sh - 1, r0);
    for (int i = 0; i < dw; ++i) {
      const int c0 = std::min(edge(i, sw, dw), sw - 1);
      const int c1 = std::clamp(i + 1 < dw ? edge(i + 1, sw, dw) : sw, c0 + 1, sw);
      long total = 0, ink = 0;
      for (int y = r0; y <= r1; ++y)
        for (int x = c0; x < c1; ++x) {
          ++total;
          ink += src.GetPixelIndex(x, y) == 0;
        }
      const long white = total - ink;
      int v;
      if (ink == 0)
        v = 255;
      else if (ink == total)
        v = 0;
      else if (white < total / 8)
        v = 0;
      else if (ink < total / 8)
        v = 255;
      else
        v = static_cast<int>(white * 255 / total);
      dst.SetPixelIndex(i, j, v);
    }
  }
}

// Plain Floyd-Steinberg in sixteenths over three channels, through the
// image's own nearest-colour choice.
void ReferenceDither(const TDibGraphic& src, TDibGraphic& dst, TImageFormat format) {
  const int w = src.Width(), h = src.Height();
  dst.NewImage(w, h, format, nullptr, 300, 300);
  std::vector<int> err(static_cast<std::size_t>(w * h * 3), 0);
  auto at = [&](int x, int y, int c) -> int& { return err[static_cast<std::size_t>((y * w + x) * 3 + c)]; };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TColor32 colour = src.GetPixel(x, y);
      const int orig[3] = {RedOf(colour), GreenOf(colour), BlueOf(colour)};
      int v[3];
      for (int c = 0; c < 3; ++c) v[c] = std::clamp(orig[c] + at(x, y, c) / 16, 0, 255);
      const int index = dst.NearestPaletteIndex(RgbColor(v[0], v[1], v[2]));
      dst.SetPixelIndex(x, y, index);
      const TPaletteEntry& e = dst.Palette()[static_cast<std::size_t>(index)];
      const int chosen[3] = {e.Red, e.Green, e.Blue};
      for (int c = 0; c < 3; ++c) {
        const int d = v[c] - chosen[c];
        if (x + 1 < w) at(x + 1, y, c) += 7 * d;
        if (y + 1 < h) {
          if (x > 0) at(x - 1, y + 1, c) += 3 * d;
          at(x, y + 1, c) += 5 * d;
          if (x + 1 < w) at(x + 1, y + 1, c) += d;
        }
      }
    }
}

}  // namespace

// --- negative ----------------------------------------------------------------

TEST(NegativeTransform, TwiceRestoresEveryFormat) {
  unsigned seed = 1;
  for (TImageFormat format : kAllFormats) {
    TDibGraphic original, image;
    MakeRandom(original, 37, 11, format, seed++);
    image.Assign(original);
    TNegativeTransform t;
    t.Apply(image);
    EXPECT_FALSE(SamePixels(image, original)) << ImageFormatText(format);
    t.Apply(image);
    EXPECT_TRUE(SamePixels(image, original)) << ImageFormatText(format);
    EXPECT_EQ(image.XDotsPerInch(), 300);
  }
}

TEST(NegativeTransform, InvertsColoursOfEveryFormat) {
  unsigned seed = 10;
  for (TImageFormat format : kAllFormats) {
    TDibGraphic src, dst;
    MakeRandom(src, 9, 5, format, seed++);
    TNegativeTransform t;
    ProgressLog log;
    log.Attach(t);
    t.ApplyOnDest(src, dst);
    EXPECT_TRUE(log.FromZeroToHundred());
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 9; ++x) {
        const TColor32 a = src.GetPixel(x, y), b = dst.GetPixel(x, y);
        ASSERT_EQ(b, RgbColor(255 - RedOf(a), 255 - GreenOf(a), 255 - BlueOf(a))) << ImageFormatText(format);
      }
  }
  // 16-grey pixels become 15 - value.
  TDibGraphic grey;
  grey.NewImage(2, 1, ifGray16, nullptr, 300, 300);
  grey.SetPixelIndex(0, 0, 3);
  grey.SetPixelIndex(1, 0, 15);
  TNegativeTransform().Apply(grey);
  EXPECT_EQ(grey.GetPixelIndex(0, 0), 12);
  EXPECT_EQ(grey.GetPixelIndex(1, 0), 0);
}

// --- crop ----------------------------------------------------------------------

TEST(CropTransform, MarginsAbsoluteAndClippingInEveryFormat) {
  unsigned seed = 20;
  for (TImageFormat format : kAllFormats) {
    TDibGraphic src;
    MakeRandom(src, 71, 23, format, seed++);
    struct Case {
      int left, top, right, bottom;
      bool absolute;
      int x0, y0, w, h;
    } cases[] = {
        {3, 2, 5, 4, false, 3, 2, 63, 17},       // margins
        {7, 1, 40, 20, true, 7, 1, 33, 19},      // absolute rectangle
        {13, 5, 500, 400, true, 13, 5, 58, 18},  // past the page: the part inside
        {-4, -2, 10, 6, true, 0, 0, 10, 6},      // before the page: the part inside
        {1, 0, -9, -9, false, 1, 0, 70, 23},     // negative margins reach past the page
    };
    for (const Case& c : cases) {
      TCropTransform t;
      t.Left = c.left, t.Top = c.top, t.Right = c.right, t.Bottom = c.bottom, t.Absolute = c.absolute;
      TDibGraphic dst;
      t.ApplyOnDest(src, dst);
      ASSERT_EQ(dst.Width(), c.w) << ImageFormatText(format) << " left " << c.left;
      ASSERT_EQ(dst.Height(), c.h);
      EXPECT_EQ(dst.ImageFormat(), format);
      EXPECT_EQ(dst.Palette(), src.Palette());
      EXPECT_EQ(dst.YDotsPerInch(), 200);
      for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x)
          ASSERT_EQ(dst.GetPixel(x, y), src.GetPixel(c.x0 + x, c.y0 + y)) << ImageFormatText(format);
    }
  }
}

TEST(CropTransform, InvalidRectanglesRaiseAndLeaveTheDestination) {
  TDibGraphic src, dst;
  MakeRandom(src, 20, 10, ifGray256, 5);
  MakeWhitePage(dst, 3, 3);
  auto message = [&](int left, int top, int right, int bottom, bool absolute) {
    TCropTransform t;
    t.Left = left, t.Top = top, t.Right = right, t.Bottom = bottom, t.Absolute = absolute;
    try {
      t.ApplyOnDest(src, dst);
    } catch (const EImagingError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message(5, 5, 5, 9, true), "Invalid crop parameters");      // zero width
  EXPECT_EQ(message(0, 6, 10, 6, true), "Invalid crop parameters");     // zero height
  EXPECT_EQ(message(12, 0, 8, 0, false), "Invalid crop parameters");    // margins overlap
  EXPECT_EQ(message(30, 0, 40, 5, true), "Invalid crop parameters");    // wholly right of the page
  EXPECT_EQ(message(-9, -9, -2, -1, true), "Invalid crop parameters");  // wholly before it
  EXPECT_EQ(dst.Width(), 3);
}

// --- grey ----------------------------------------------------------------------

TEST(ConvertToGrayTransform, WeightsAndFormats) {
  TDibGraphic src;
  src.NewImage(4, 1, ifTrueColor, nullptr, 300, 300);
  src.SetPixel(0, 0, RgbColor(255, 255, 255));
  src.SetPixel(1, 0, RgbColor(255, 0, 0));
  src.SetPixel(2, 0, RgbColor(0, 255, 0));
  src.SetPixel(3, 0, RgbColor(10, 20, 250));
  TConvertToGrayTransform t;
  ProgressLog log;
  log.Attach(t);
  TDibGraphic dst;
  t.ApplyOnDest(src, dst);
  EXPECT_TRUE(log.FromZeroToHundred());
  ASSERT_EQ(dst.ImageFormat(), ifTrueColor);
  EXPECT_EQ(dst.GetPixel(0, 0), RgbColor(255, 255, 255));
  EXPECT_EQ(dst.GetPixel(1, 0), RgbColor(76, 76, 76));
  EXPECT_EQ(dst.GetPixel(2, 0), RgbColor(149, 149, 149));
  EXPECT_EQ(dst.GetPixel(3, 0), RgbColor(43, 43, 43));  // (2990 + 11740 + 28500) div 1000

  t.Format = ifGray256;
  t.ApplyOnDest(src, dst);
  EXPECT_EQ(dst.GetPixelIndex(1, 0), 76);

  // Palette sources go through their colours; the page stays in place.
  TDibGraphic vga;
  vga.NewImage(2, 1, ifColor16, nullptr, 300, 300);
  vga.SetPixelIndex(0, 0, 4);   // AA0000
  vga.SetPixelIndex(1, 0, 15);  // FFFFFF
  t.Format = ifTrueColor;
  t.Apply(vga);
  EXPECT_EQ(vga.ImageFormat(), ifTrueColor);
  EXPECT_EQ(vga.GetPixel(0, 0), RgbColor(50, 50, 50));  // 170 * 299 div 1000
  EXPECT_EQ(vga.GetPixel(1, 0), RgbColor(255, 255, 255));
}

// --- anti-alias -------------------------------------------------------------------

TEST(AntiAliasTransform, ThresholdsOfAnEightByEightBox) {
  // 16 x 16 to 2 x 2: box (1, 1) covers columns 8..15 and rows 8..15.
  auto boxValue = [](int inkPixels) {
    TDibGraphic page, grey;
    MakeWhitePage(page, 16, 16);
    for (int k = 0; k < inkPixels; ++k) page.SetPixelIndex(8 + k % 8, 8 + k / 8, 0);
    TAntiAliasTransform t;
    t.Width = 2;
    t.Height = 2;
    t.ApplyOnDest(page, grey);
    return grey.GetPixelIndex(1, 1);
  };
  EXPECT_EQ(boxValue(0), 255);
  EXPECT_EQ(boxValue(1), 255);  // black below one eighth
  EXPECT_EQ(boxValue(7), 255);
  EXPECT_EQ(boxValue(8), 223);  // 56 * 255 div 64
  EXPECT_EQ(boxValue(32), 127);
  EXPECT_EQ(boxValue(56), 31);  // 8 * 255 div 64
  EXPECT_EQ(boxValue(57), 0);   // white below one eighth
  EXPECT_EQ(boxValue(64), 0);
}

TEST(AntiAliasTransform, EqualsPerPixelCountingAndKeepsTheLastColumn) {
  unsigned seed = 40;
  for (auto [sw, sh] : {std::pair{100, 70}, std::pair{64, 64}, std::pair{131, 9}, std::pair{7, 3}, std::pair{1, 1}}) {
    TDibGraphic src;
    MakeRandom(src, sw, sh, ifBlackWhite, seed++);
    for (auto [dw, dh] : {std::pair{0, 0}, std::pair{sw / 3 + 1, sh / 4 + 1}, std::pair{sw * 2, sh + 5},
                          std::pair{1, 1}, std::pair{sw - 1 > 0 ? sw - 1 : 1, 2}}) {
      TAntiAliasTransform t;
      t.Width = dw;
      t.Height = dh;
      TDibGraphic fast, ref;
      t.ApplyOnDest(src, fast);
      ReferenceAntiAlias(src, ref, dw ? dw : sw, dh ? dh : sh);
      ASSERT_TRUE(SamePixels(fast, ref)) << sw << "x" << sh << " to " << dw << "x" << dh;
    }
  }
  // At the source's size the last column shows its ink.
  TDibGraphic page, grey;
  MakeWhitePage(page, 10, 4);
  for (int y = 0; y < 4; ++y) page.SetPixelIndex(9, y, 0);
  TAntiAliasTransform t;
  t.ApplyOnDest(page, grey);
  ASSERT_EQ(grey.Width(), 10);
  EXPECT_EQ(grey.GetPixelIndex(9, 1), 0);
  EXPECT_EQ(grey.GetPixelIndex(8, 1), 255);
}

TEST(AntiAliasTransform, WhitePageAndOtherFormats) {
  TDibGraphic page, grey;
  MakeWhitePage(page, 300, 200, 150);
  TAntiAliasTransform t;
  t.Width = 75;
  t.Height = 50;
  t.ApplyOnDest(page, grey);
  ASSERT_EQ(grey.ImageFormat(), ifGray256);
  EXPECT_EQ(grey.XDotsPerInch(), 150);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 75; ++x) ASSERT_EQ(grey.GetPixelIndex(x, y), 255);

  TDibGraphic colour, untouched;
  MakeRandom(colour, 10, 10, ifTrueColor, 3);
  untouched.Assign(colour);
  t.Apply(colour);
  EXPECT_TRUE(SamePixels(colour, untouched));
  t.ApplyOnDest(colour, grey);
  EXPECT_EQ(grey.Width(), 75);
}

// --- format conversion ----------------------------------------------------------

TEST(ImageFormatTransform, NearestColourWithoutDither) {
  unsigned seed = 60;
  for (TImageFormat from : kAllFormats) {
    TDibGraphic src;
    MakeRandom(src, 29, 7, from, seed++);
    for (TImageFormat to : kAllFormats) {
      TImageFormatTransform t;
      t.Format = to;
      t.Dither = false;
      t.OptimalPalette = false;
      TDibGraphic dst, expected;
      t.ApplyOnDest(src, dst);
      ASSERT_EQ(dst.ImageFormat(), to);
      EXPECT_EQ(dst.YDotsPerInch(), 200);
      expected.NewImage(29, 7, to, nullptr, 300, 300);
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 29; ++x) expected.SetPixel(x, y, src.GetPixel(x, y));
      ASSERT_TRUE(SamePixels(dst, expected)) << ImageFormatText(from) << " to " << ImageFormatText(to);
    }
  }
  // Black or white: the sum of the components decides at 382 / 383.
  TDibGraphic src, dst;
  src.NewImage(2, 1, ifTrueColor, nullptr, 300, 300);
  src.SetPixel(0, 0, RgbColor(190, 190, 2));
  src.SetPixel(1, 0, RgbColor(128, 128, 127));
  TImageFormatTransform t;
  t.Format = ifBlackWhite;
  t.Dither = false;
  t.ApplyOnDest(src, dst);
  EXPECT_EQ(dst.GetPixelIndex(0, 0), 0);
  EXPECT_EQ(dst.GetPixelIndex(1, 0), 1);
}

TEST(ImageFormatTransform, DitherEqualsPlainErrorDiffusion) {
  unsigned seed = 80;
  for (TImageFormat from : {ifGray256, ifTrueColor, ifColor256, ifGray16}) {
    TDibGraphic src;
    MakeRandom(src, 33, 17, from, seed++);
    for (TImageFormat to : {ifBlackWhite, ifGray16, ifGray256, ifColor16}) {
      TImageFormatTransform t;
      t.Format = to;
      ProgressLog log;
      log.Attach(t);
      TDibGraphic fast, ref;
      t.ApplyOnDest(src, fast);
      ReferenceDither(src, ref, to);
      ASSERT_TRUE(SamePixels(fast, ref)) << ImageFormatText(from) << " to " << ImageFormatText(to);
      EXPECT_TRUE(log.FromZeroToHundred());
    }
  }
}

TEST(ImageFormatTransform, DitheredGreyKeepsItsShade) {
  TDibGraphic grey, bilevel;
  grey.NewImage(64, 64, ifGray256, nullptr, 300, 300);
  std::fill(grey.Bits(), grey.Bits() + grey.ImageSize(), 128);
  TImageFormatTransform t;
  t.Format = ifBlackWhite;
  t.ApplyOnDest(grey, bilevel);
  int white = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) white += bilevel.GetPixelIndex(x, y);
  EXPECT_NEAR(white, 64 * 64 / 2, 64 * 64 / 20);

  // Pure black and white stay as they are.
  std::fill(grey.Bits(), grey.Bits() + grey.ImageSize(), 0);
  grey.SetPixelIndex(5, 5, 255);
  t.ApplyOnDest(grey, bilevel);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(bilevel.GetPixelIndex(x, y), (x == 5 && y == 5) ? 1 : 0);
}

TEST(ImageFormatTransform, EmptySourceAndInPlace) {
  TDibGraphic empty, dst;
  MakeWhitePage(dst, 4, 4);
  TImageFormatTransform t;
  t.ApplyOnDest(empty, dst);
  EXPECT_TRUE(dst.Empty());

  TDibGraphic page;
  MakeRandom(page, 13, 3, ifBlackWhite, 9);
  TDibGraphic original;
  original.Assign(page);
  t.Apply(page);
  ASSERT_EQ(page.ImageFormat(), ifTrueColor);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 13; ++x) ASSERT_EQ(page.GetPixel(x, y), original.GetPixel(x, y));
}

// --- resize ----------------------------------------------------------------------

TEST(ResizeTransform, StretchModesFormatsAndResolution) {
  // Palette source: pixels are repeated, never blended.
  TDibGraphic grey;
  grey.NewImage(4, 2, ifGray256, nullptr, 300, 150);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) grey.SetPixelIndex(x, y, 10 * x + 100 * y);
  TResizeTransform t;
  ProgressLog log;
  log.Attach(t);
  t.Width = 8;
  t.Height = 4;
  TDibGraphic out;
  t.ApplyOnDest(grey, out);
  EXPECT_TRUE(log.FromZeroToHundred());
  ASSERT_EQ(out.ImageFormat(), ifGray256);
  EXPECT_EQ(out.YDotsPerInch(), 150);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(out.GetPixelIndex(x, y), 10 * (x / 2) + 100 * (y / 2));

  // True colour: below 1025 pixels samples, from 1025 on averages.
  auto stripes = [](TDibGraphic& page, int w, int h) {
    page.NewImage(w, h, ifTrueColor, nullptr, 300, 300);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) page.SetPixel(x, y, (x & 1) ? 0xFFFFFF : 0);
  };
  auto hasMidGrey = [](const TDibGraphic& image) {
    for (int y = 0; y < image.Height(); ++y)
      for (int x = 0; x < image.Width(); ++x) {
        const int v = RedOf(image.GetPixel(x, y));
        if (v > 40 && v < 215) return true;
      }
    return false;
  };
  t.Width = 11;
  t.Height = 16;
  TDibGraphic small, large;
  stripes(small, 32, 32);
  stripes(large, 33, 32);
  t.ApplyOnDest(small, out);
  EXPECT_FALSE(hasMidGrey(out));
  t.ApplyOnDest(large, out);
  EXPECT_TRUE(hasMidGrey(out));

  t.ChangeFormat = true;
  t.NewFormat = ifGray256;
  t.ApplyOnDest(large, out);
  EXPECT_EQ(out.ImageFormat(), ifGray256);
  EXPECT_EQ(out.Width(), 11);
}
