// The magnifier block, the tile grid and the overview map, each checked
// against the plain definition pixel by pixel.
#include <gtest/gtest.h>

#include <random>

#include "image/Canvas.h"
#include "tests/support/TestSupport.h"
#include "view/DibQImage.h"
#include "view/Magnifier.h"
#include "view/TileGrid.h"

namespace {

// The colour the magnifier should show for page pixel (x, y).
QRgb PageColour(const TDibGraphic& page, int x, int y) {
  if (x < 0 || y < 0 || x >= page.Width() || y >= page.Height()) return qRgb(255, 255, 255);
  const TColor32 c = page.GetPixel(x, y);
  return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

// Every target pixel against the definition; returns the first mismatch.
std::string CheckMagnifier(const TDibGraphic& page, int x, int y, int w, int h) {
  QImage target(w, h, QImage::Format_RGB32);
  DrawMagnifier(page, x, y, target);
  const int left = x - w / 2 + 1, top = y - h / 2 + 1;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const QRgb expected = (i == w / 2 - 1 || j == h / 2 - 1) ? kMagnifierPen : PageColour(page, left + i, top + j);
      if (target.pixel(i, j) != expected)
        return "pixel " + std::to_string(i) + "," + std::to_string(j) + " for point " + std::to_string(x) + "," +
               std::to_string(y);
    }
  return {};
}

TEST(Magnifier, ShowsTheBlockAroundThePointWithTheCross) {
  std::mt19937 rng(7);
  TDibGraphic page;
  RandomPage(page, 2480, 3508, 0.3, rng);
  // The default window: point (1000, 1000) shows 855..1146 by 865..1137.
  EXPECT_EQ(MagnifierOrigin(292, 273, 1000, 1000).X, 855);
  EXPECT_EQ(MagnifierOrigin(292, 273, 1000, 1000).Y, 865);
  QImage target(292, 273, QImage::Format_RGB32);
  DrawMagnifier(page, 1000, 1000, target);
  EXPECT_EQ(target.pixel(145, 0), kMagnifierPen);
  EXPECT_EQ(target.pixel(0, 135), kMagnifierPen);
  EXPECT_EQ(target.pixel(291, 272), PageColour(page, 1146, 1137));
  // Near the corners and edges, part of the block is off the page (white);
  // odd bit offsets and sizes exercise the row copy.
  const int points[][2] = {{1000, 1000}, {0, 0}, {2479, 3507}, {2479, 0}, {0, 3507}, {5, 1700}, {2470, 9}, {-50, -50}};
  for (auto [x, y] : points) EXPECT_EQ(CheckMagnifier(page, x, y, 292, 273), "");
  EXPECT_EQ(CheckMagnifier(page, 1003, 777, 17, 9), "");
  EXPECT_EQ(CheckMagnifier(page, 1003, 777, 1, 1), "");
}

TEST(Magnifier, WorksOnGreyAndColourPages) {
  TDibGraphic grey, colour;
  grey.NewImage(300, 200, ifGray256);
  colour.NewImage(300, 200, ifTrueColor);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) {
      grey.SetPixelIndex(x, y, (x * 7 + y) & 0xFF);
      colour.SetPixel(x, y, RgbColor(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
    }
  for (const TDibGraphic* page : {&grey, &colour}) {
    EXPECT_EQ(CheckMagnifier(*page, 150, 100, 292, 273), "");
    EXPECT_EQ(CheckMagnifier(*page, 299, 3, 64, 40), "");
  }
  TDibGraphic empty;
  EXPECT_EQ(CheckMagnifier(empty, 10, 10, 20, 20), "");
}

TEST(TileGrid, OneToOneCutsThePageIntoClientSizedTiles) {
  const TTileGrid g = ComputeTileGrid(2480, 3508, 570, 690, tmOneToOne, 394, 500);
  EXPECT_EQ(g.Columns, 5);
  EXPECT_EQ(g.Rows, 6);
  EXPECT_EQ(g.Count(), 30);
  // A page higher than wide is scaled to the box height less 40.
  EXPECT_DOUBLE_EQ(g.Scale, 460.0 / 3508);
  EXPECT_EQ(g.OverviewHeight, 460);
  EXPECT_EQ(g.OverviewWidth, 325);  // 2480 x 0.13113 = 325.2
  EXPECT_EQ(g.CellWidth, 75);       // 570 x 0.13113 = 74.7
  EXPECT_EQ(g.CellHeight, 90);      // 690 x 0.13113 = 90.5
  const TRect second = TileRect(g, 6, 2480, 3508);
  EXPECT_EQ(second.Left, 570);
  EXPECT_EQ(second.Top, 690);
  EXPECT_EQ(second.Right, 1140);
  EXPECT_EQ(second.Bottom, 1380);
  // The last column and row reach the page's last pixel.
  const TRect last = TileRect(g, 29, 2480, 3508);
  EXPECT_EQ(last.Left, 2280);
  EXPECT_EQ(last.Right, 2480);
  EXPECT_EQ(last.Bottom, 3508);
  EXPECT_EQ(TileAtOverviewPoint(g, 0, 0), 0);
  EXPECT_EQ(TileAtOverviewPoint(g, 76, 91), 6);
  EXPECT_EQ(TileAtOverviewPoint(g, 75 * 5, 0), -1);
  EXPECT_EQ(TileAtOverviewPoint(g, -1, 4), -1);
  // A wide page is scaled to the box width less 40.
  EXPECT_DOUBLE_EQ(ComputeTileGrid(3508, 2480, 570, 690, tmOneToOne, 394, 500).Scale, 354.0 / 3508);
}

TEST(TileGrid, TilesCoverThePageExactlyOnce) {
  const int sizes[][4] = {{2480, 3508, 570, 690}, {2481, 3507, 570, 690}, {100, 100, 100, 100},
                          {101, 99, 7, 13},       {1, 1, 570, 690},       {5, 3, 1, 1}};
  for (auto [w, h, cw, ch] : sizes)
    for (int mode : {tmOneToOne, tmQuarters}) {
      const TTileGrid g = ComputeTileGrid(w, h, cw, ch, mode, 300, 300);
      if (mode == tmQuarters) {
        EXPECT_EQ(g.Count(), 4);
      }
      std::vector<int> covered(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
      for (int i = 0; i < g.Count(); ++i) {
        const TRect r = TileRect(g, i, w, h);
        ASSERT_TRUE(r.Left >= 0 && r.Top >= 0 && r.Right <= w && r.Bottom <= h);
        for (int y = r.Top; y < r.Bottom; ++y)
          for (int x = r.Left; x < r.Right; ++x) ++covered[static_cast<std::size_t>(y) * w + x];
      }
      EXPECT_TRUE(std::all_of(covered.begin(), covered.end(), [](int n) { return n == 1; }))
          << w << "x" << h << " mode " << mode;
    }
}

TEST(TileGrid, OverviewIsThePageBlackOnWhiteWithBlueCells) {
  std::mt19937 rng(3);
  TDibGraphic page;
  RandomPage(page, 1200, 1700, 0.01, rng);
  const TTileGrid g = ComputeTileGrid(1200, 1700, 400, 500, tmOneToOne, 300, 300);
  QImage overview;
  BuildOverview(page, g, overview);
  ASSERT_EQ(overview.width(), g.OverviewWidth);
  ASSERT_EQ(overview.height(), g.OverviewHeight);
  // The reference: the plain black-on-white reduction, then the frames.
  TDibGraphic scaled;
  scaled.NewImage(g.OverviewWidth, g.OverviewHeight, ifBlackWhite);
  scaled.Canvas().StretchMode = TStretchMode::smBlackOnWhite;
  scaled.Canvas().StretchDraw(TRect{0, 0, g.OverviewWidth, g.OverviewHeight}, page);
  QImage expected = DibToQImage(scaled).convertToFormat(QImage::Format_RGB32);
  for (int i = 0; i < g.Count(); ++i) FrameImageRect(expected, OverviewCell(g, i), kOverviewCellColour);
  FrameImageRect(expected, TRect{0, 0, g.OverviewWidth, g.OverviewHeight}, kOverviewCellColour);
  EXPECT_EQ(overview, expected);
  // The frames are where the cells are: cell 1 starts at column CellWidth.
  EXPECT_EQ(overview.pixel(g.CellWidth, 5), kOverviewCellColour);
  EXPECT_EQ(overview.pixel(5, g.CellHeight - 1), kOverviewCellColour);
  EXPECT_EQ(overview.pixel(g.OverviewWidth - 1, g.OverviewHeight / 2), kOverviewCellColour);
}

}  // namespace
