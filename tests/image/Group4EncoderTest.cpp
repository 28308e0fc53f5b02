// Group 4 coding checked against libtiff: libtiff must decode our code to
// the source pixels, and our code must be the very bytes libtiff's own
// coder writes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Group4TestSupport.h"
#include "image/Group4Encoder.h"
#include "image/TiffGraphic.h"
#include "support/TestSupport.h"

namespace {

// Rows (1 = black) one after another, (width + 7) / 8 bytes each.
struct TPage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Rows;

  TPage(int width, int height)
      : Width(width), Height(height), Rows(static_cast<std::size_t>(RowBytes(width)) * height) {}
  std::uint8_t* Row(int y) { return Rows.data() + static_cast<std::size_t>(y) * RowBytes(Width); }
  bool Black(int x, int y) const {
    return (Rows[static_cast<std::size_t>(y) * RowBytes(Width) + x / 8] >> (7 - x % 8)) & 1;
  }
  void SetBlack(int x, int y) { Row(y)[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8)); }
};

std::vector<std::uint8_t> Encode(const TPage& page, bool blackIsOne = true) {
  // Rows a few bytes longer than needed, so the coder must keep to the width.
  const int bytes = RowBytes(page.Width) + 3;
  std::vector<std::uint8_t> block(static_cast<std::size_t>(page.Height) * bytes, 0);
  for (int y = 0; y < page.Height; ++y)
    for (int i = 0; i < RowBytes(page.Width); ++i) {
      const std::uint8_t v = page.Rows[static_cast<std::size_t>(y) * RowBytes(page.Width) + i];
      block[static_cast<std::size_t>(y) * bytes + i] = blackIsOne ? v : static_cast<std::uint8_t>(~v);
    }
  std::vector<std::uint8_t> out;
  EncodeGroup4(block.data(), bytes, page.Width, page.Height, blackIsOne, out);
  return out;
}

// Our code decodes to the page with libtiff and equals libtiff's code.
void ExpectLikeLibtiff(const TPage& page, const std::string& what) {
  const std::vector<std::uint8_t> code = Encode(page);
  const std::vector<std::uint8_t> decoded = DecodeWithLibtiff(code, page.Width, page.Height);
  ASSERT_EQ(decoded.size(), page.Rows.size()) << what << ": libtiff cannot decode it";
  EXPECT_EQ(FirstDifferentRow(decoded.data(), page.Rows.data(), page.Width, page.Height), -1) << what;
  EXPECT_EQ(code, EncodeWithLibtiff(page.Rows, page.Width, page.Height)) << what;
}

TPage RandomPage(std::mt19937& random, int width, int height, int meanRun) {
  TPage page(width, height);
  std::uniform_int_distribution<int> run(1, 2 * meanRun);
  std::bernoulli_distribution copyAbove(0.5);
  for (int y = 0; y < height; ++y) {
    if (y > 0 && copyAbove(random)) {
      // Rows like the one above, shifted a little, give the vertical and
      // pass modes their work.
      const int shift = std::uniform_int_distribution<int>(-4, 4)(random);
      for (int x = 0; x < width; ++x)
        if (x - shift >= 0 && x - shift < width && page.Black(x - shift, y - 1)) page.SetBlack(x, y);
      continue;
    }
    bool black = random() & 1;
    for (int x = 0; x < width;) {
      const int len = std::min(run(random), width - x);
      if (black)
        for (int i = x; i < x + len; ++i) page.SetBlack(i, y);
      x += len;
      black = !black;
    }
  }
  return page;
}

}  // namespace

TEST(Group4Encoder, RandomPagesOfEveryNarrowWidthMatchLibtiff) {
  std::mt19937 random(4);
  for (int width = 1; width <= 130; ++width)
    ExpectLikeLibtiff(RandomPage(random, width, 12, 1 + width % 9), "width " + std::to_string(width));
}

TEST(Group4Encoder, EveryRunLengthOfBothColoursUpToBeyondTheLongestMakeUp) {
  // Each coded row is a white run of n and a black run of n + 1 on a wide
  // row below a white row, so both runs are coded horizontally.
  const int width = 6000;
  std::vector<int> lengths;
  for (int n = 0; n <= 2700; n += (n < 200 ? 1 : 7)) lengths.push_back(n);
  TPage page(width, static_cast<int>(2 * lengths.size() + 4));
  int y = 0;
  for (int n : lengths) {
    for (int x = n; x < 2 * n + 1; ++x) page.SetBlack(x, y);
    y += 2;
  }
  // Black reaching the right edge after a long white run, and rows of
  // nothing but black.
  for (int x = 5300; x < width; ++x) page.SetBlack(x, y);
  for (int x = 0; x < width; ++x) page.SetBlack(x, y + 1), page.SetBlack(x, y + 2);
  ExpectLikeLibtiff(page, "runs");
}

TEST(Group4Encoder, PatternsAtTheEdgesAndWhiteIsOneInput) {
  TPage page(67, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 67; ++x)
      if ((y < 10 && (x + y) % 2 == 0)                   // checkerboard
          || (y >= 10 && y < 20 && (x == 0 || x == 66))  // edge pixels
          || (y >= 20 && x >= y - 20 && x < y - 10))     // a diagonal bar
        page.SetBlack(x, y);
  // White-is-one input (the bilevel image's own sense) codes the same.
  EXPECT_EQ(Encode(page, true), Encode(page, false));
  ExpectLikeLibtiff(page, "patterns");
}

TEST(Group4Encoder, RealPagesGiveLibtiffsOwnBytes) {
  for (const char* file : {"testdata/bench/a4-feyn.tif", "testdata/bench/a4-feyn-skew.tif"}) {
    TTiffGraphic image;
    image.LoadFromFile(SharedFile(file));
    ASSERT_EQ(image.ImageFormat(), ifBlackWhite);
    TPage page(image.Width(), image.Height());
    for (int y = 0; y < page.Height; ++y)
      for (int i = 0; i < RowBytes(page.Width); ++i) page.Row(y)[i] = static_cast<std::uint8_t>(~image.ScanLine(y)[i]);
    std::vector<std::uint8_t> ours;
    const std::ptrdiff_t step = image.ScanLine(1) - image.ScanLine(0);
    EncodeGroup4(image.ScanLine(0), step, image.Width(), image.Height(), false, ours);
    EXPECT_EQ(ours, EncodeWithLibtiff(page.Rows, page.Width, page.Height)) << file;
  }
}

TEST(Group4Encoder, EmptyPageIsOnlyTheEndMark) {
  std::vector<std::uint8_t> out{0xAA};
  EncodeGroup4(nullptr, 0, 0, 0, true, out);
  // The byte already there stays; two end-of-line codes follow.
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0xAA, 0x00, 0x10, 0x01}));
}
