#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "image/ImagingHooks.h"
#include "image/transforms/RotateTransform.h"
#include "support/TestSupport.h"

namespace {

// Random pixels everywhere, the row padding included, so that reading a
// padding bit shows up as a difference.
void MakeRandom(TDibGraphic& image, int w, int h, TImageFormat format, unsigned seed) {
  image.NewImage(w, h, format, nullptr, 300, 200);
  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < image.ImageSize(); ++i) image.Bits()[i] = static_cast<std::uint8_t>(rng());
}

// Black blocks on white: long runs like a text page.
void MakeBlocks(TDibGraphic& image, int w, int h, unsigned seed) {
  MakeWhitePage(image, w, h);
  std::mt19937 rng(seed);
  for (int n = 0; n < w * h / 400; ++n) {
    const int x0 = static_cast<int>(rng() % w), y0 = static_cast<int>(rng() % h);
    const int bw = 1 + static_cast<int>(rng() % 40), bh = 1 + static_cast<int>(rng() % 12);
    for (int y = y0; y < std::min(h, y0 + bh); ++y)
      for (int x = x0; x < std::min(w, x0 + bw); ++x) image.SetPixelIndex(x, y, 0);
  }
}

// The plain per-pixel definition of a free-angle turn.
void ReferenceRotate(const TDibGraphic& src, TDibGraphic& dst, double angle, bool keep, TColor32 color) {
  const double theta = std::numbers::pi * angle / 180.0;
  const double c = std::cos(theta), s = std::sin(theta);
  const int w = src.Width(), h = src.Height(), cx = w / 2, cy = h / 2;
  int dw = w, dh = h;
  if (!keep) {
    const int xs[4] = {0, 0, w - 1, w - 1}, ys[4] = {0, h - 1, h - 1, 0};
    int minX = 1 << 30, maxX = -(1 << 30), minY = 1 << 30, maxY = -(1 << 30);
    for (int i = 0; i < 4; ++i) {
      const double x = xs[i] - cx, y = ys[i] - cy;
      const int xr = static_cast<int>(std::nearbyint(x * c - y * s + cx));
      const int yr = static_cast<int>(std::nearbyint(x * s + y * c + cy));
      minX = std::min(minX, xr), maxX = std::max(maxX, xr);
      minY = std::min(minY, yr), maxY = std::max(maxY, yr);
    }
    dw = maxX - minX + 1;
    dh = maxY - minY + 1;
  }
  dst.NewImage(dw, dh, src.ImageFormat(), &src.Palette(), src.XDotsPerInch(), src.YDotsPerInch());
  const bool trueColor = src.ImageFormat() == ifTrueColor;
  for (int y = 0; y < dh; ++y) {
    for (int x = 0; x < dw; ++x) {
      const double dx = x - dw / 2, dy = y - dh / 2;
      int sx = static_cast<int>(std::nearbyint(dx * c + dy * s + cx));
      int sy = static_cast<int>(std::nearbyint(-dx * s + dy * c + cy));
      if (sx == w) sx = w - 1;
      if (sy == h) sy = h - 1;
      if (sx >= 0 && sx < w && sy >= 0 && sy < h) {
        if (trueColor)
          dst.SetPixel(x, y, src.GetPixel(sx, sy));
        else
          dst.SetPixelIndex(x, y, src.GetPixelIndex(sx, sy));
      } else {
        dst.SetPixel(x, y, color);
      }
    }
  }
}

enum class Turn { q90, q180, q270 };

void ReferenceQuarter(const TDibGraphic& src, TDibGraphic& dst, Turn turn) {
  const int w = src.Width(), h = src.Height();
  const bool across = turn != Turn::q180;
  dst.NewImage(across ? h : w, across ? w : h, src.ImageFormat(), &src.Palette(), 300, 300);
  for (int y = 0; y < dst.Height(); ++y)
    for (int x = 0; x < dst.Width(); ++x) {
      int sx = 0, sy = 0;
      if (turn == Turn::q90) sx = y, sy = h - 1 - x;
      if (turn == Turn::q270) sx = w - 1 - y, sy = x;
      if (turn == Turn::q180) sx = w - 1 - x, sy = h - 1 - y;
      if (src.ImageFormat() == ifTrueColor)
        dst.SetPixel(x, y, src.GetPixel(sx, sy));
      else
        dst.SetPixelIndex(x, y, src.GetPixelIndex(sx, sy));
    }
}

// Lets the tests call the pixel-wise steps of the base class.
class TExposedRotate : public TRotateTransform {
 public:
  using TRotateTransform::Rotate180;
  using TRotateTransform::Rotate270;
  using TRotateTransform::Rotate90;
};

const std::vector<double> kAngles = {0.37, -0.37, -2.3, 2.3, 4.99, 0.001, 0.0001, 1e-7,    10,  29.9,  30.1, 33,
                                     45,   89.9,  90,   137, 180,  -91.5, 270,    -179.99, 360, 720.5, 0};
const std::vector<std::pair<int, int>> kSizes = {{1, 1}, {2, 1},  {1, 2},    {31, 33},   {33, 31},
                                                 {7, 5}, {65, 3}, {100, 77}, {129, 131}, {250, 61}};

}  // namespace

TEST(RotateBilevel, EqualsPerPixelMappingForManyAnglesAndSizes) {
  unsigned seed = 1;
  for (auto [w, h] : kSizes) {
    TDibGraphic src;
    MakeRandom(src, w, h, ifBlackWhite, seed++);
    for (double angle : kAngles) {
      for (bool grow : {false, true}) {
        TDibGraphic fast, ref;
        RotateBilevel(src, fast, grow, angle);
        ReferenceRotate(src, ref, angle, !grow, 0xFFFFFF);
        ASSERT_TRUE(SamePixels(fast, ref)) << w << "x" << h << " angle " << angle << " grow " << grow;
      }
    }
  }
}

TEST(RotateBilevel, EqualsPerPixelMappingOnWidePages) {
  // Wide enough for the horizontal offset of a small turn to change
  // several times along a row.
  TDibGraphic src;
  MakeBlocks(src, 3001, 90, 7);
  for (double angle : {0.37, -2.3, 2.3, 4.99, 0.05, -0.01}) {
    for (bool grow : {false, true}) {
      TDibGraphic fast, ref;
      RotateBilevel(src, fast, grow, angle);
      ReferenceRotate(src, ref, angle, !grow, 0xFFFFFF);
      ASSERT_TRUE(SamePixels(fast, ref)) << "angle " << angle << " grow " << grow;
    }
  }
}

TEST(RotateBilevel, EqualsPerPixelMappingWhereRunEndsFallOnTies) {
  // sin = 1/32 and cos = 1 - 1/1024 (nearly) put run ends of whole rows
  // exactly on pixel borders, where the rounding ties decide.
  const double degrees = 180.0 / std::numbers::pi;
  TDibGraphic src;
  MakeRandom(src, 2101, 64, ifBlackWhite, 77);
  for (double angle : {std::asin(1.0 / 32) * degrees, -std::asin(1.0 / 16) * degrees,
                       std::acos(1.0 - 1.0 / 1024) * degrees, -std::acos(1.0 - 1.0 / 256) * degrees}) {
    for (bool grow : {false, true}) {
      TDibGraphic fast, ref;
      RotateBilevel(src, fast, grow, angle);
      ReferenceRotate(src, ref, angle, !grow, 0xFFFFFF);
      ASSERT_TRUE(SamePixels(fast, ref)) << "angle " << angle << " grow " << grow;
    }
  }
}

TEST(RotateBilevel, LeavesOtherFormatsAndEmptyImagesAlone) {
  TDibGraphic grey, dst;
  MakeRandom(grey, 10, 10, ifGray256, 3);
  MakeWhitePage(dst, 5, 4);
  RotateBilevel(grey, dst, true, 10);
  EXPECT_EQ(dst.Width(), 5);
  EXPECT_EQ(dst.ImageFormat(), ifBlackWhite);
  TDibGraphic empty;
  RotateBilevel(empty, dst, true, 10);
  EXPECT_EQ(dst.Width(), 5);
}

TEST(RotateBilevel, WhiteFillEvenWithInvertedPalette) {
  // Uncovered pixels are bit 1 whatever colour the palette gives it.
  TDibGraphic src, dst;
  const TPalette inverted = {{255, 255, 255, 0}, {0, 0, 0, 0}};
  src.NewImage(40, 40, ifBlackWhite, &inverted, 300, 300);
  RotateBilevel(src, dst, true, 45);
  EXPECT_EQ(dst.Palette(), inverted);
  EXPECT_EQ(dst.GetPixelIndex(0, 0), 1);
}

TEST(RotateTransform, FreeAnglesEqualReferenceInEveryFormat) {
  unsigned seed = 100;
  const TColor32 fills[] = {0xFFFFFF, 0xC01010};
  for (TImageFormat format : {ifBlackWhite, ifGray16, ifGray256, ifColor16, ifColor256, ifTrueColor}) {
    for (auto [w, h] : {std::pair{31, 33}, std::pair{33, 31}, std::pair{1, 1}, std::pair{70, 9}}) {
      TDibGraphic src;
      MakeRandom(src, w, h, format, seed++);
      for (double angle : {0.37, -2.3, 33.0, 137.0, -91.5, 90.01}) {
        for (bool keep : {false, true}) {
          for (TColor32 fill : fills) {
            TRotateTransform2 t;
            t.Angle = angle;
            t.KeepSize = keep;
            t.Color = fill;
            TDibGraphic fast, ref;
            t.ApplyOnDest(src, fast);
            ReferenceRotate(src, ref, angle, keep, fill);
            ASSERT_TRUE(SamePixels(fast, ref))
                << ImageFormatText(format) << " " << w << "x" << h << " angle " << angle << " keep " << keep;
          }
        }
      }
    }
  }
}

TEST(RotateTransform, QuarterTurnsEqualThePixelwiseDefinition) {
  unsigned seed = 200;
  for (TImageFormat format : {ifBlackWhite, ifGray16, ifGray256, ifColor16, ifColor256, ifTrueColor}) {
    for (auto [w, h] : {std::pair{1, 1}, std::pair{63, 65}, std::pair{64, 64}, std::pair{65, 129}, std::pair{200, 3},
                        std::pair{3, 200}, std::pair{130, 70}}) {
      TDibGraphic src;
      MakeRandom(src, w, h, format, seed++);
      for (auto [angle, turn] :
           {std::pair{90.0, Turn::q90}, std::pair{180.0, Turn::q180}, std::pair{270.0, Turn::q270}}) {
        TDibGraphic ref;
        ReferenceQuarter(src, ref, turn);
        TRotateTransform plain;
        TNBRotateTransform bits;
        plain.Angle = bits.Angle = angle;
        TDibGraphic a, b;
        plain.ApplyOnDest(src, a);
        bits.ApplyOnDest(src, b);
        ASSERT_TRUE(SamePixels(a, ref)) << ImageFormatText(format) << " " << w << "x" << h << " " << angle;
        ASSERT_TRUE(SamePixels(b, ref)) << ImageFormatText(format) << " " << w << "x" << h << " " << angle;
      }
    }
  }
}

TEST(RotateTransform, ClockwiseQuarterTurnOfASmallPage) {
  TDibGraphic src, dst;
  MakePageFromText(src, {"#..", "..."});
  TNBRotateTransform t;
  t.Angle = 90;
  t.ApplyOnDest(src, dst);
  ASSERT_EQ(dst.Width(), 2);
  ASSERT_EQ(dst.Height(), 3);
  // The top-left ink moves to the top-right corner.
  EXPECT_EQ(dst.GetPixelIndex(1, 0), 0);
  EXPECT_EQ(dst.GetPixelIndex(0, 0), 1);
}

TEST(RotateTransform, QuarterTurnsSwapTheResolutions) {
  TDibGraphic src, dst;
  src.NewImage(20, 10, ifBlackWhite, nullptr, 204, 98);
  TNBRotateTransform t;
  t.Angle = 270;
  t.ApplyOnDest(src, dst);
  EXPECT_EQ(dst.XDotsPerInch(), 98);
  EXPECT_EQ(dst.YDotsPerInch(), 204);
  t.Angle = 180;
  t.ApplyOnDest(src, dst);
  EXPECT_EQ(dst.XDotsPerInch(), 204);
  TRotateTransform2 free;
  free.Angle = 3;
  free.ApplyOnDest(src, dst);
  EXPECT_EQ(dst.XDotsPerInch(), 204);
  EXPECT_EQ(dst.YDotsPerInch(), 98);
}

TEST(RotateTransform, AngleNormalisationUsesThreeDecimals) {
  EXPECT_EQ(TRotateTransform::WholeAngle(0), 0);
  EXPECT_EQ(TRotateTransform::WholeAngle(360), 0);
  EXPECT_EQ(TRotateTransform::WholeAngle(359.999), 0);
  EXPECT_EQ(TRotateTransform::WholeAngle(90.004), 90);
  EXPECT_EQ(TRotateTransform::WholeAngle(90.01), -1);
  EXPECT_EQ(TRotateTransform::WholeAngle(-90), 270);
  EXPECT_EQ(TRotateTransform::WholeAngle(-400), 320);
  EXPECT_EQ(TRotateTransform::WholeAngle(89.996), 90);
  EXPECT_EQ(TRotateTransform::WholeAngle(2.3), -1);

  // An even height: the free turn about the centres lands one row off the
  // quarter turn, so the two are told apart.
  TDibGraphic src;
  MakeRandom(src, 31, 34, ifBlackWhite, 9);
  TDibGraphic quarter, nearQuarter, free, ref;
  TNBRotateTransform t;
  t.Angle = 90;
  t.ApplyOnDest(src, quarter);
  t.Angle = 90.004;
  t.ApplyOnDest(src, nearQuarter);
  EXPECT_TRUE(SamePixels(quarter, nearQuarter));
  t.Angle = 90.01;
  t.ApplyOnDest(src, free);
  ReferenceRotate(src, ref, 90.01, false, 0xFFFFFF);
  EXPECT_TRUE(SamePixels(free, ref));
  EXPECT_FALSE(SamePixels(free, quarter));

  for (double whole : {0.0, 360.0, 359.999}) {
    TDibGraphic copy;
    t.Angle = whole;
    t.ApplyOnDest(src, copy);
    EXPECT_TRUE(SamePixels(copy, src)) << whole;
  }
}

TEST(RotateTransform, KeepSizeWhiteCornersAndGrowBoundingBox) {
  TDibGraphic black;
  black.NewImage(200, 100, ifBlackWhite, nullptr, 300, 300);  // all bit 0: black
  TRotateTransform2 t;
  t.Angle = 10;
  t.KeepSize = true;
  TDibGraphic kept;
  t.ApplyOnDest(black, kept);
  EXPECT_EQ(kept.Width(), 200);
  EXPECT_EQ(kept.Height(), 100);
  EXPECT_EQ(kept.GetPixelIndex(0, 0), 1);
  EXPECT_EQ(kept.GetPixelIndex(199, 99), 1);
  EXPECT_EQ(kept.GetPixelIndex(100, 50), 0);

  t.KeepSize = false;
  TDibGraphic grown;
  t.ApplyOnDest(black, grown);
  // cos 10 * 200 + sin 10 * 100 and sin 10 * 200 + cos 10 * 100, about.
  EXPECT_NEAR(grown.Width(), 214, 2);
  EXPECT_NEAR(grown.Height(), 133, 2);
  EXPECT_EQ(grown.GetPixelIndex(0, 0), 1);
  EXPECT_EQ(grown.GetPixelIndex(grown.Width() - 1, grown.Height() - 1), 1);
  EXPECT_EQ(grown.GetPixelIndex(grown.Width() / 2, grown.Height() / 2), 0);

  // A colour page keeps its size and format; its corners are white.
  TDibGraphic colour;
  colour.NewImage(60, 40, ifTrueColor, nullptr, 300, 300);
  TDibGraphic turned;
  t.KeepSize = true;
  t.ApplyOnDest(colour, turned);
  EXPECT_EQ(turned.ImageFormat(), ifTrueColor);
  EXPECT_EQ(turned.Width(), 60);
  EXPECT_EQ(turned.GetPixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(turned.GetPixel(30, 20), 0u);
}

TEST(RotateTransform, ProgressApplyInPlaceAndEmptySource) {
  TDibGraphic src;
  MakeRandom(src, 50, 40, ifGray256, 11);
  TRotateTransform t;
  t.Angle = 12.5;
  std::vector<int> reports;
  t.OnProgress = [&](TImageTransform*, int percent) { reports.push_back(percent); };
  TDibGraphic dst;
  t.ApplyOnDest(src, dst);
  ASSERT_GE(reports.size(), 2u);
  EXPECT_EQ(reports.front(), 0);
  EXPECT_EQ(reports.back(), 100);
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));

  TDibGraphic inPlace;
  inPlace.Assign(src);
  t.Apply(inPlace);
  EXPECT_TRUE(SamePixels(inPlace, dst));

  TDibGraphic empty, out;
  MakeWhitePage(out, 3, 3);
  t.ApplyOnDest(empty, out);
  EXPECT_TRUE(out.Empty());

  t.Angle = std::nan("");
  EXPECT_THROW(t.ApplyOnDest(src, dst), EImagingError);
}

TEST(RotateImageKeep, BusyCursorUndoAndNoOps) {
  int on = 0, off = 0;
  ImagingHooks().BusyCursorOn = [&] { ++on; };
  ImagingHooks().BusyCursorOff = [&] { ++off; };
  TDibGraphic image, undo;
  MakeRandom(image, 41, 23, ifBlackWhite, 12);
  TDibGraphic original;
  original.Assign(image);

  RotateImageKeep(image, &undo, true, 0.0f);
  EXPECT_TRUE(undo.Empty());
  EXPECT_EQ(on, 0);

  RotateImageKeep(image, &undo, true, 2.3f);
  EXPECT_TRUE(SamePixels(undo, original));
  EXPECT_EQ(image.Width(), 41);
  EXPECT_EQ(image.Height(), 23);
  TDibGraphic ref;
  ReferenceRotate(original, ref, static_cast<double>(2.3f), true, 0xFFFFFF);
  EXPECT_TRUE(SamePixels(image, ref));
  EXPECT_EQ(on, 1);
  EXPECT_EQ(off, 1);

  RotateImageKeep(image, nullptr, false, -4.99f);
  ReferenceRotate(ref, original, static_cast<double>(-4.99f), false, 0xFFFFFF);
  EXPECT_TRUE(SamePixels(image, original));

  TDibGraphic empty;
  RotateImageKeep(empty, &undo, true, 5.0f);
  EXPECT_TRUE(empty.Empty());
  ImagingHooks().BusyCursorOn = nullptr;
  ImagingHooks().BusyCursorOff = nullptr;
}

TEST(ImageTransform, BaseClassRefusesApplyOnDest) {
  TImageTransform t;
  TDibGraphic a, b;
  try {
    t.ApplyOnDest(a, b);
    FAIL();
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "Method \"ApplyOnDest\" not implemented for TImageTransform class");
  }
}
