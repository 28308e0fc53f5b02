// The dark-pixel share that tells blank pages from pages with content.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "correction/BlankPage.h"
#include "correction/NoiseData.h"

namespace {

// A white A4 page at 300 dpi (bit 1 = white).
void WhitePage(TDibGraphic& page) {
  page.NewImage(2480, 3508, ifBlackWhite, nullptr, 300, 300);
  std::memset(page.Bits(), 0xFF, page.ImageSize());
}

void Black(TDibGraphic& page, int left, int top, int right, int bottom) {
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) page.ScanLine(y)[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
}

// The margin rectangle of the default margins (left 30, top 30, right 20,
// bottom 20 mm).
TRect Margins(const TDibGraphic& page) {
  TRect r;
  MarginsToRect(page, 30, 20, r, 20, 30);
  return r;
}

}  // namespace

TEST(BlankPage, ShareCountsDarkPixelsInsideTheRectangleOnly) {
  TDibGraphic page;
  WhitePage(page);
  const TRect inner = Margins(page);
  EXPECT_EQ(DarkPixelShare(page, inner, 9, 9, 216), 0.0);
  // A 100 x 50 block inside (3 bits off the byte grid) and a scanner edge outside.
  Black(page, inner.Left + 3, inner.Top + 10, inner.Left + 103, inner.Top + 60);
  Black(page, 0, 0, 40, page.Height());
  const double area = static_cast<double>(inner.Right - inner.Left) * (inner.Bottom - inner.Top);
  EXPECT_DOUBLE_EQ(DarkPixelShare(page, inner, 9, 9, 216), 100.0 * 5000 / area);
  // The whole page when the rectangle is empty; the page itself unchanged.
  EXPECT_DOUBLE_EQ(DarkPixelShare(page, TRect{}, 9, 9, 216), 100.0 * (5000 + 40 * 3508) / (2480.0 * 3508));
  EXPECT_EQ(page.ScanLine(100)[0], 0x00);
}

TEST(BlankPage, ScannedBlankBackIsBlankOneShortLineIsNot) {
  TDibGraphic back;
  WhitePage(back);
  // Specks of dust up to 4 x 4 pixels everywhere, a dark scanner edge along
  // the left and the bottom, inside the margin band.
  std::mt19937 rng(11);
  for (int i = 0; i < 2000; ++i) {
    const int x = std::uniform_int_distribution<int>(0, 2470)(rng);
    const int y = std::uniform_int_distribution<int>(0, 3500)(rng);
    const int size = std::uniform_int_distribution<int>(1, 4)(rng);
    Black(back, x, y, x + size, y + size);
  }
  Black(back, 0, 0, 120, 3508);
  Black(back, 0, 3400, 2480, 3508);
  const TRect inner = Margins(back);
  EXPECT_LE(DarkPixelShare(back, inner, 9, 9, 216), 0.05);

  // One short line: twelve letters of 24 x 34 pixels drawn with 3-pixel strokes.
  TDibGraphic line;
  WhitePage(line);
  for (int i = 0; i < 12; ++i) {
    const int x = 600 + i * 34;
    Black(line, x, 1000, x + 24, 1003);
    Black(line, x, 1031, x + 24, 1034);
    Black(line, x, 1000, x + 3, 1034);
    Black(line, x + 21, 1000, x + 24, 1034);
  }
  const double share = DarkPixelShare(line, inner, 9, 9, 216);
  EXPECT_GT(share, 0.05);
  EXPECT_LT(share, 0.1);
}

TEST(BlankPage, GreyPagesAreJudgedOnABilevelCopy) {
  TDibGraphic page;
  page.NewImage(400, 400, ifTrueColor, nullptr, 300, 300);
  std::memset(page.Bits(), 0xFF, page.ImageSize());
  for (int y = 100; y < 120; ++y) std::memset(page.ScanLine(y) + 3 * 100, 0x20, 3 * 50);
  EXPECT_DOUBLE_EQ(DarkPixelShare(page, Rect(0, 0, 400, 400), 9, 9, 216), 100.0 * 20 * 50 / (400.0 * 400));
}
