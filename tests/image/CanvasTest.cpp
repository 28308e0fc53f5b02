#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <sstream>

#include "image/Canvas.h"
#include "image/DibGraphic.h"
#include "image/ImagingHooks.h"
#include "support/TestSupport.h"

namespace {

// ---------------------------------------------------------------------------
// Plain per-pixel definitions of what the canvas draws. The canvas works on
// whole rows and bytes; these go pixel by pixel through GetPixel/SetPixel so
// that both can be compared on every format.

std::uint32_t Raw(const TDibGraphic& g, int x, int y) {
  return g.ImageFormat() == ifTrueColor ? g.GetPixel(x, y) : static_cast<std::uint32_t>(g.GetPixelIndex(x, y));
}

std::uint32_t DestValue(TDibGraphic& g, TColor32 c) {
  return g.ImageFormat() == ifTrueColor ? c : static_cast<std::uint32_t>(g.NearestPaletteIndex(c));
}

void PutCombined(TDibGraphic& g, int x, int y, std::uint32_t value, TCopyMode mode) {
  const std::uint32_t old = Raw(g, x, y);
  std::uint32_t v = value;
  if (mode == TCopyMode::cmAnd) v = old & value;
  if (mode == TCopyMode::cmOr) v = old | value;
  if (g.ImageFormat() == ifTrueColor)
    g.SetPixel(x, y, v);
  else
    g.SetPixelIndex(x, y, static_cast<int>(v));
}

void RefFillRect(TDibGraphic& g, const TRect& r, TColor32 brush, TCopyMode mode) {
  const std::uint32_t v = DestValue(g, brush);
  for (int y = 0; y < g.Height(); ++y)
    for (int x = 0; x < g.Width(); ++x)
      if (r.Contains(x, y)) PutCombined(g, x, y, v, mode);
}

void RefStretch(TDibGraphic& dest, const TRect& dr, const TDibGraphic& src, const TRect& sr, TStretchMode mode,
                TCopyMode copyMode) {
  const std::int64_t dw = dr.Width(), dh = dr.Height(), sw = sr.Width(), sh = sr.Height();
  if (dw == sw && dh == sh) mode = TStretchMode::smColorOnColor;  // unscaled: a plain copy
  for (int y = 0; y < dest.Height(); ++y) {
    for (int x = 0; x < dest.Width(); ++x) {
      if (!dr.Contains(x, y)) continue;
      const std::int64_t i = x - dr.Left, j = y - dr.Top;
      TColor32 c = 0;
      if (mode == TStretchMode::smColorOnColor) {
        const std::int64_t sx = sr.Left + (2 * i + 1) * sw / (2 * dw);
        const std::int64_t sy = sr.Top + (2 * j + 1) * sh / (2 * dh);
        if (sx < 0 || sy < 0 || sx >= src.Width() || sy >= src.Height()) continue;
        if (src.ImageFormat() == dest.ImageFormat() && src.ImageFormat() != ifTrueColor &&
            src.Palette() == dest.Palette()) {
          // Same palette: the index itself, even where the palette repeats a colour.
          PutCombined(dest, x, y,
                      static_cast<std::uint32_t>(src.GetPixelIndex(static_cast<int>(sx), static_cast<int>(sy))),
                      copyMode);
          continue;
        }
        c = src.GetPixel(static_cast<int>(sx), static_cast<int>(sy));
      } else if (mode == TStretchMode::smBlackOnWhite) {
        std::int64_t x0 = i * sw / dw, x1 = std::max((i + 1) * sw / dw, x0 + 1);
        std::int64_t y0 = j * sh / dh, y1 = std::max((j + 1) * sh / dh, y0 + 1);
        x0 = std::max<std::int64_t>(x0 + sr.Left, 0);
        x1 = std::min<std::int64_t>(x1 + sr.Left, src.Width());
        y0 = std::max<std::int64_t>(y0 + sr.Top, 0);
        y1 = std::min<std::int64_t>(y1 + sr.Top, src.Height());
        if (x0 >= x1 || y0 >= y1) continue;
        c = 0xFFFFFF;
        for (std::int64_t sy = y0; sy < y1; ++sy)
          for (std::int64_t sx = x0; sx < x1; ++sx) c &= src.GetPixel(static_cast<int>(sx), static_cast<int>(sy));
      } else {
        // Area of destination pixel (i, j) in source units scaled by dw, dh.
        std::uint64_t r = 0, g = 0, b = 0, total = 0;
        for (int sy = 0; sy < src.Height(); ++sy) {
          const std::int64_t ky = sy - sr.Top;
          const std::int64_t oy = std::min((j + 1) * sh, (ky + 1) * dh) - std::max(j * sh, ky * dh);
          if (oy <= 0) continue;
          for (int sx = 0; sx < src.Width(); ++sx) {
            const std::int64_t kx = sx - sr.Left;
            const std::int64_t ox = std::min((i + 1) * sw, (kx + 1) * dw) - std::max(i * sw, kx * dw);
            if (ox <= 0) continue;
            const auto w = static_cast<std::uint64_t>(ox * oy);
            const TColor32 p = src.GetPixel(sx, sy);
            r += w * static_cast<std::uint64_t>(RedOf(p));
            g += w * static_cast<std::uint64_t>(GreenOf(p));
            b += w * static_cast<std::uint64_t>(BlueOf(p));
            total += w;
          }
        }
        if (total == 0) continue;
        c = RgbColor(static_cast<int>((r + total / 2) / total), static_cast<int>((g + total / 2) / total),
                     static_cast<int>((b + total / 2) / total));
      }
      PutCombined(dest, x, y, DestValue(dest, c), copyMode);
    }
  }
}

// Even-odd fill: a pixel is inside when an odd number of edges cross the
// horizontal ray from its centre to the right.
void RefFillPolygon(TDibGraphic& g, const std::vector<TPoint>& pts, TColor32 brush) {
  const std::uint32_t v = DestValue(g, brush);
  for (int y = 0; y < g.Height(); ++y)
    for (int x = 0; x < g.Width(); ++x) {
      int crossings = 0;
      for (std::size_t k = 0; k < pts.size(); ++k) {
        TPoint a = pts[k], b = pts[(k + 1) % pts.size()];
        if ((a.Y <= y) == (b.Y <= y)) continue;
        if (a.Y > b.Y) std::swap(a, b);
        // Crossing x = a.X + (y + 0.5 - a.Y) * (b.X - a.X) / (b.Y - a.Y) > x + 0.5, times 2 (b.Y - a.Y).
        const std::int64_t dy = b.Y - a.Y;
        const std::int64_t lhs = 2 * std::int64_t{a.X} * dy + (2 * std::int64_t{y} + 1 - 2 * a.Y) * (b.X - a.X);
        if (lhs > (2 * std::int64_t{x} + 1) * dy) ++crossings;
      }
      if (crossings % 2) PutCombined(g, x, y, v, TCopyMode::cmCopy);
    }
}

// ---------------------------------------------------------------------------

struct TFormatCase {
  TImageFormat Format;
  const char* Name;
  TPalette Palette;  // empty: the default
};

std::vector<TFormatCase> AllFormats() {
  TPalette inverted{{255, 255, 255, 0}, {0, 0, 0, 0}};
  TPalette redGreen{{200, 0, 0, 0}, {0, 200, 0, 0}};
  return {{ifBlackWhite, "bw", {}},
          {ifBlackWhite, "bw-inverted", inverted},
          {ifBlackWhite, "bw-redgreen", redGreen},
          {ifGray16, "gray16", {}},
          {ifGray256, "gray256", {}},
          {ifColor16, "color16", {}},
          {ifColor256, "color256", {}},
          {ifTrueColor, "true", {}}};
}

// Random pixels; 1-bit images mostly white so that thin features exist.
void MakeRandom(TDibGraphic& g, const TFormatCase& f, int w, int h, std::uint32_t seed) {
  g.NewImage(w, h, f.Format, f.Palette.empty() ? nullptr : &f.Palette, 300, 300);
  std::mt19937 rng(seed);
  const int entries = static_cast<int>(g.Palette().size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (f.Format == ifTrueColor) {
        // Few distinct values per channel, so that ANDs and averages vary.
        const int pick[4] = {0, 0x5A, 0xC3, 0xFF};
        g.SetPixel(x, y, RgbColor(pick[rng() % 4], pick[rng() % 4], pick[rng() % 4]));
      } else if (f.Format == ifBlackWhite) {
        g.SetPixelIndex(x, y, (rng() % 5 == 0) ? 0 : 1);
      } else {
        g.SetPixelIndex(x, y, static_cast<int>(rng() % static_cast<std::uint32_t>(entries)));
      }
    }
}

std::string FirstDifference(const TDibGraphic& a, const TDibGraphic& b) {
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (Raw(a, x, y) != Raw(b, x, y)) {
        std::ostringstream s;
        s << "first difference at (" << x << "," << y << "): canvas " << std::hex << Raw(a, x, y) << ", reference "
          << Raw(b, x, y);
        return s.str();
      }
  return {};
}

const char* ModeName(TStretchMode m) {
  return m == TStretchMode::smColorOnColor ? "coc" : m == TStretchMode::smBlackOnWhite ? "bow" : "halftone";
}
const char* CopyName(TCopyMode m) { return m == TCopyMode::cmCopy ? "copy" : m == TCopyMode::cmAnd ? "and" : "or"; }

constexpr TStretchMode kStretchModes[] = {TStretchMode::smColorOnColor, TStretchMode::smBlackOnWhite,
                                          TStretchMode::smHalftone};
constexpr TCopyMode kCopyModes[] = {TCopyMode::cmCopy, TCopyMode::cmAnd, TCopyMode::cmOr};

}  // namespace

TEST(Canvas, FreshCanvasPaintsWhiteAndShrinksBlackOnWhite) {
  TDibGraphic g;
  g.NewImage(9, 3, ifGray256);
  EXPECT_EQ(g.Canvas().BrushColor, 0xFFFFFFu);
  EXPECT_EQ(g.Canvas().StretchMode, TStretchMode::smBlackOnWhite);
  g.Canvas().FillRect(Rect(0, 0, 9, 3));
  for (int x = 0; x < 9; ++x) EXPECT_EQ(g.GetPixelIndex(x, 2), 255);
}

TEST(Canvas, FillRectMatchesReferenceOnEveryFormatWidthAndEdge) {
  int seed = 1;
  for (const TFormatCase& f : AllFormats())
    for (int width : {1, 7, 33})
      for (TCopyMode cm : kCopyModes)
        for (const TRect& r : {Rect(0, 0, width, 5), Rect(-4, -3, 3, 2), Rect(width - 2, 3, width + 9, 12),
                               Rect(1, 1, width - 1, 4), Rect(5, 2, 5, 4), Rect(-20, -20, -10, -10)})
          for (TColor32 brush : {0xFFFFFFu, 0x000000u, 0x33AA66u}) {
            TDibGraphic g, expected;
            MakeRandom(g, f, width, 6, static_cast<std::uint32_t>(seed++));
            expected.Assign(g);
            g.Canvas().BrushColor = brush;
            g.Canvas().CopyMode = cm;
            g.Canvas().FillRect(r);
            RefFillRect(expected, r, brush, cm);
            ASSERT_EQ(FirstDifference(g, expected), "")
                << f.Name << " width " << width << " " << CopyName(cm) << " rect " << r.Left << "," << r.Top << ","
                << r.Right << "," << r.Bottom << " brush " << std::hex << brush;
          }
}

// Every source format onto every destination format, in every stretch and
// copy mode, shrinking, enlarging and unscaled, clipped on each edge.
TEST(Canvas, StretchDrawMatchesReferenceForAllFormatsAndModes) {
  struct Placement {
    const char* Name;
    int SrcW, SrcH;
    TRect Src;   // in the source
    TRect Dest;  // relative to a 33 x 21 destination
  };
  const Placement placements[] = {
      {"shrink", 33, 20, Rect(0, 0, 33, 20), Rect(3, 2, 16, 11)},
      {"shrink-odd", 33, 21, Rect(2, 1, 31, 20), Rect(0, 0, 7, 21)},
      {"enlarge", 7, 5, Rect(0, 0, 7, 5), Rect(1, 1, 31, 18)},
      {"mixed", 33, 4, Rect(0, 0, 33, 4), Rect(2, 0, 13, 19)},
      {"unscaled", 7, 9, Rect(0, 0, 7, 9), Rect(5, 4, 12, 13)},
      {"width-one", 1, 9, Rect(0, 0, 1, 9), Rect(4, 3, 11, 6)},
      {"clip-left-top", 20, 15, Rect(0, 0, 20, 15), Rect(-7, -5, 11, 9)},
      {"clip-right-bottom", 20, 15, Rect(0, 0, 20, 15), Rect(25, 14, 47, 30)},
      {"clip-all-edges", 40, 30, Rect(0, 0, 40, 30), Rect(-6, -4, 39, 26)},
      {"source-outside", 12, 10, Rect(-3, -2, 15, 13), Rect(0, 0, 33, 21)},
      {"off-image", 12, 10, Rect(0, 0, 12, 10), Rect(40, 0, 60, 10)},
      {"one-column-left", 2, 3, Rect(0, 0, 2, 3), Rect(-2, -1, 1, 4)},
      {"one-column-right", 3, 5, Rect(0, 0, 3, 5), Rect(32, 19, 34, 23)},
  };
  std::uint32_t seed = 100;
  for (const TFormatCase& sf : AllFormats())
    for (const TFormatCase& df : AllFormats())
      for (const Placement& p : placements)
        for (TStretchMode mode : kStretchModes)
          for (TCopyMode cm : kCopyModes) {
            if (cm != TCopyMode::cmCopy && (std::string(p.Name) != "shrink" && std::string(p.Name) != "enlarge"))
              continue;
            TDibGraphic src, g, expected;
            MakeRandom(src, sf, p.SrcW, p.SrcH, seed++);
            MakeRandom(g, df, 33, 21, seed++);
            expected.Assign(g);
            g.Canvas().StretchMode = mode;
            g.Canvas().CopyMode = cm;
            g.Canvas().StretchDraw(p.Dest, src, p.Src);
            RefStretch(expected, p.Dest, src, p.Src, mode, cm);
            ASSERT_EQ(FirstDifference(g, expected), "")
                << sf.Name << " onto " << df.Name << ", " << p.Name << ", " << ModeName(mode) << ", " << CopyName(cm);
          }
}

TEST(Canvas, DrawIsAnUnscaledClippedCopyWithFormatConversion) {
  std::uint32_t seed = 9000;
  for (const TFormatCase& sf : AllFormats())
    for (const TFormatCase& df : AllFormats())
      for (int width : {1, 7, 33})
        for (TPoint at : {TPoint{0, 0}, TPoint{-5, -2}, TPoint{3, 1}, TPoint{width - 2, 4}, TPoint{-40, 0}})
          for (TCopyMode cm : kCopyModes) {
            TDibGraphic src, g, expected;
            MakeRandom(src, sf, 13, 5, seed++);
            MakeRandom(g, df, width, 7, seed++);
            expected.Assign(g);
            g.Canvas().CopyMode = cm;
            g.Canvas().StretchMode = TStretchMode::smHalftone;  // must not matter
            g.Canvas().Draw(at.X, at.Y, src);
            RefStretch(expected, Rect(at.X, at.Y, at.X + 13, at.Y + 5), src, Rect(0, 0, 13, 5),
                       TStretchMode::smColorOnColor, cm);
            ASSERT_EQ(FirstDifference(g, expected), "") << sf.Name << " onto " << df.Name << " width " << width
                                                        << " at " << at.X << "," << at.Y << " " << CopyName(cm);
          }
}

// Bit-shifted row copies on pages wider than a machine word, at every bit offset.
TEST(Canvas, BilevelDrawAtEveryBitOffsetOnWidePage) {
  TFormatCase bw{ifBlackWhite, "bw", {}};
  TDibGraphic src;
  MakeRandom(src, bw, 150, 6, 77);
  for (int x = -9; x <= 9; ++x) {
    TDibGraphic g, expected;
    MakeRandom(g, bw, 161, 8, 78);
    expected.Assign(g);
    g.Canvas().Draw(x, 1, src);
    RefStretch(expected, Rect(x, 1, x + 150, 7), src, Rect(0, 0, 150, 6), TStretchMode::smColorOnColor,
               TCopyMode::cmCopy);
    ASSERT_EQ(FirstDifference(g, expected), "") << "at x " << x;
  }
}

TEST(Canvas, BlackOnWhiteShrinkKeepsThinLinesOnBilevelPage) {
  TDibGraphic page, small;
  MakeWhitePage(page, 300, 200);
  for (int y = 0; y < 200; ++y) page.SetPixelIndex(151, y, 0);  // one-pixel vertical line
  for (int x = 0; x < 300; ++x) page.SetPixelIndex(x, 77, 0);   // one-pixel horizontal line
  MakeWhitePage(small, 97, 61);
  small.Canvas().StretchMode = TStretchMode::smBlackOnWhite;
  small.Canvas().StretchDraw(Rect(0, 0, 97, 61), page);
  int blackColumns = 0, blackRows = 0;
  for (int x = 0; x < 97; ++x) {
    bool all = true;
    for (int y = 0; y < 61; ++y) all = all && small.GetPixelIndex(x, y) == 0;
    blackColumns += all;
  }
  for (int y = 0; y < 61; ++y) {
    bool all = true;
    for (int x = 0; x < 97; ++x) all = all && small.GetPixelIndex(x, y) == 0;
    blackRows += all;
  }
  EXPECT_EQ(blackColumns, 1);
  EXPECT_EQ(blackRows, 1);
}

TEST(Canvas, CopiesBetweenEqualPalettesKeepRepeatedColoursApart) {
  // The 256-colour palette holds black several times (0, 16, 248..255).
  TDibGraphic src, g;
  src.NewImage(4, 1, ifColor256);
  g.NewImage(4, 1, ifColor256);
  const int indices[4] = {0, 16, 250, 255};
  for (int x = 0; x < 4; ++x) src.SetPixelIndex(x, 0, indices[x]);
  g.Canvas().Draw(0, 0, src);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(g.GetPixelIndex(x, 0), indices[x]);
}

TEST(Canvas, DrawingAnImageOntoItselfReadsTheOriginal) {
  TFormatCase bw{ifBlackWhite, "bw", {}};
  TDibGraphic g, expected, copy;
  MakeRandom(g, bw, 40, 30, 5);
  expected.Assign(g);
  copy.Assign(g);
  g.Canvas().Draw(3, 2, g);
  expected.Canvas().Draw(3, 2, copy);
  EXPECT_EQ(FirstDifference(g, expected), "");
}

TEST(Canvas, PolygonFillMatchesEvenOddReference) {
  const std::vector<std::vector<TPoint>> shapes = {
      {{2, 1}, {30, 5}, {10, 19}},                     // triangle
      {{16, 0}, {21, 20}, {3, 7}, {29, 7}, {11, 20}},  // pentagram: centre stays empty
      {{-10, -5}, {45, 3}, {20, 40}},                  // clipped on every side
      {{5, 5}, {5, 5}, {12, 5}, {12, 15}, {5, 15}},    // repeated vertex, axis-aligned
      {{0, 0}, {33, 21}, {33, 0}, {0, 21}},            // bow tie
  };
  for (const TFormatCase& f : AllFormats())
    for (const auto& shape : shapes) {
      TDibGraphic g, expected;
      MakeRandom(g, f, 33, 21, 11);
      expected.Assign(g);
      g.Canvas().BrushColor = 0x000000;
      g.Canvas().FillPolygon(shape);
      RefFillPolygon(expected, shape, 0x000000);
      ASSERT_EQ(FirstDifference(g, expected), "") << f.Name << " shape of " << shape.size() << " points";
    }
  TDibGraphic star;
  MakeWhitePage(star, 33, 21);
  star.Canvas().BrushColor = 0;
  star.Canvas().FillPolygon(shapes[1]);
  EXPECT_EQ(star.GetPixelIndex(16, 10), 1);  // inside the pentagon: crossed twice
  EXPECT_EQ(star.GetPixelIndex(16, 3), 0);   // a point of the star
}

TEST(Canvas, PolygonOutlineTouchesEveryVertex) {
  TDibGraphic g;
  MakeWhitePage(g, 20, 20);
  g.Canvas().BrushColor = 0xFFFFFF;
  g.Canvas().PenColor = 0;
  const std::vector<TPoint> pts = {{2, 2}, {15, 4}, {9, 17}};
  g.Canvas().Polygon(pts);
  for (const TPoint& p : pts) EXPECT_EQ(g.GetPixelIndex(p.X, p.Y), 0);
  EXPECT_EQ(g.GetPixelIndex(9, 8), 1);  // the inside is brushed white
}

TEST(Canvas, LinesExcludeTheEndPointAndClip) {
  TDibGraphic g;
  MakeWhitePage(g, 10, 10);
  TCanvas& c = g.Canvas();
  c.PenColor = 0;
  c.MoveTo(1, 1);
  c.LineTo(6, 1);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(g.GetPixelIndex(x, 1), (x >= 1 && x < 6) ? 0 : 1) << x;
  EXPECT_EQ(c.PenPos(), (TPoint{6, 1}));
  c.LineTo(6, 6);
  for (int y = 1; y < 10; ++y) EXPECT_EQ(g.GetPixelIndex(6, y), (y >= 1 && y < 6) ? 0 : 1) << y;
  c.MoveTo(0, 9);
  c.LineTo(4, 5);  // diagonal: one pixel per step
  for (int i = 0; i < 4; ++i) EXPECT_EQ(g.GetPixelIndex(i, 9 - i), 0);
  EXPECT_EQ(g.GetPixelIndex(4, 5), 1);

  // A wide pen stamps a square centred on each pixel of the line.
  TDibGraphic wide;
  MakeWhitePage(wide, 10, 12);
  wide.Canvas().PenColor = 0;
  wide.Canvas().PenWidth = 3;
  wide.Canvas().MoveTo(2, 8);
  wide.Canvas().LineTo(5, 8);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(wide.GetPixelIndex(x, y), (x >= 1 && x <= 5 && y >= 7 && y <= 9) ? 0 : 1) << x << "," << y;

  // A long line reaching far outside draws exactly the part that a big
  // enough image would show.
  TDibGraphic big, clipped;
  MakeWhitePage(big, 4000, 3000);
  MakeWhitePage(clipped, 37, 23);
  big.Canvas().PenColor = 0;
  clipped.Canvas().PenColor = 0;
  big.Canvas().MoveTo(0, 2900);
  big.Canvas().LineTo(3999, 11);
  clipped.Canvas().MoveTo(-1800, 2900 - 1500);
  clipped.Canvas().LineTo(3999 - 1800, 11 - 1500);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x)
      ASSERT_EQ(clipped.GetPixelIndex(x, y), big.GetPixelIndex(x + 1800, y + 1500)) << x << "," << y;
  // Absurd coordinates are ignored rather than walked.
  clipped.Canvas().MoveTo(INT_MIN, INT_MIN);
  clipped.Canvas().LineTo(INT_MAX, INT_MAX);
  clipped.Canvas().FillRect(Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX));
  clipped.Canvas().FillPolygon({{INT_MIN, 0}, {INT_MAX, 0}, {0, INT_MAX}});
}

TEST(Canvas, FrameRectAndPolylineOnTrueColour) {
  TDibGraphic g;
  g.NewImage(8, 6, ifTrueColor);
  g.Canvas().PenColor = 0x123456;
  g.Canvas().FrameRect(Rect(1, 1, 7, 5));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool edge = (x == 1 || x == 6 || y == 1 || y == 4) && x >= 1 && x <= 6 && y >= 1 && y <= 4;
      EXPECT_EQ(g.GetPixel(x, y), edge ? 0x123456u : 0u) << x << "," << y;
    }
  g.Canvas().PenColor = 0xFFFFFF;
  g.Canvas().Polyline({{0, 0}, {3, 0}, {3, 3}});
  EXPECT_EQ(g.GetPixel(2, 0), 0xFFFFFFu);
  EXPECT_EQ(g.GetPixel(3, 2), 0xFFFFFFu);
  EXPECT_EQ(g.GetPixel(3, 3), 0u);
}

namespace {

// A renderer with a fixed mask: a 6 x 3 block of coverage 0, 127, 128, 255.
class TFakeRenderer : public TTextRenderer {
 public:
  int LastDpi = 0;
  TGlyphMask Render(const TFontSpec&, const std::string&, int dpi) override {
    LastDpi = dpi;
    TGlyphMask m;
    m.Width = 6;
    m.Height = 3;
    m.Coverage = {0, 127, 128, 255, 0, 200, 255, 255, 0, 0, 130, 1, 10, 128, 128, 128, 126, 255};
    return m;
  }
  TSize Extent(const TFontSpec&, const std::string& text, int dpi) override {
    LastDpi = dpi;
    return TSize{static_cast<int>(text.size()) * 2, 3};
  }
};

struct TRendererScope {
  explicit TRendererScope(std::shared_ptr<TTextRenderer> r) { ImagingHooks().TextRenderer = std::move(r); }
  ~TRendererScope() { ImagingHooks().TextRenderer.reset(); }
};

}  // namespace

TEST(Canvas, TextPaintsCoveredPixelsInThePenColourAndClips) {
  auto renderer = std::make_shared<TFakeRenderer>();
  TRendererScope scope(renderer);
  const int dpiBefore = ImagingHooks().ScreenDpiY;
  ImagingHooks().ScreenDpiY = 120;
  for (const TFormatCase& f : AllFormats())
    for (TPoint at : {TPoint{2, 1}, TPoint{-2, -1}, TPoint{5, 3}}) {
      TDibGraphic g, expected;
      MakeRandom(g, f, 9, 5, 21);
      expected.Assign(g);
      g.Canvas().PenColor = 0x000000;
      g.Canvas().TextOut(at.X, at.Y, "x");
      const std::uint32_t ink = DestValue(expected, 0x000000);
      for (int my = 0; my < 3; ++my)
        for (int mx = 0; mx < 6; ++mx) {
          const int x = at.X + mx, y = at.Y + my;
          if (x >= 0 && y >= 0 && x < 9 && y < 5 && renderer->Render({}, "", 0).Coverage[my * 6 + mx] >= 128)
            PutCombined(expected, x, y, ink, TCopyMode::cmCopy);
        }
      ASSERT_EQ(FirstDifference(g, expected), "") << f.Name << " at " << at.X << "," << at.Y;
    }
  TDibGraphic g;
  MakeWhitePage(g, 4, 4);
  EXPECT_EQ(g.Canvas().TextExtent("abc"), (TSize{6, 3}));
  EXPECT_EQ(renderer->LastDpi, 120);
  ImagingHooks().ScreenDpiY = dpiBefore;
}

TEST(Canvas, TextWithoutRendererDoesNothing) {
  ImagingHooks().TextRenderer.reset();
  TDibGraphic g, before;
  MakeWhitePage(g, 10, 10);
  before.Assign(g);
  g.Canvas().TextOut(0, 0, "text");
  EXPECT_TRUE(SamePixels(g, before));
  EXPECT_EQ(g.Canvas().TextExtent("text"), (TSize{0, 0}));
}

TEST(Canvas, EmptyImagesAreLeftAlone) {
  TDibGraphic empty, page;
  MakeWhitePage(page, 5, 5);
  empty.Canvas().FillRect(Rect(0, 0, 5, 5));
  empty.Canvas().Draw(0, 0, page);
  page.Canvas().Draw(0, 0, empty);
  page.Canvas().StretchDraw(Rect(0, 0, 5, 5), empty);
  page.Canvas().StretchDraw(Rect(5, 5, 0, 0), page);  // inverted rectangle: nothing
  EXPECT_TRUE(empty.Empty());
  EXPECT_EQ(page.GetPixelIndex(0, 0), 1);
}
