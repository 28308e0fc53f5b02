// Group 4 coding checked against libtiff: libtiff must decode our code to
// the source pixels, and for real pages our code must be the very bytes
// libtiff's own coder writes.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "image/Group4Encoder.h"
#include "image/Stream.h"
#include "image/TiffGraphic.h"
#include "tests/support/TestSupport.h"

namespace {

using TRows = std::vector<std::vector<std::uint8_t>>;  // 1 = black, MSB first

int RowBytes(int width) { return (width + 7) / 8; }

struct TTiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
using TTiffPtr = std::unique_ptr<TIFF, TTiffCloser>;

std::vector<std::uint8_t> Encode(const TRows& rows, int width, bool blackIsOne = true) {
  std::vector<std::uint8_t> out;
  // Rows of a vector<vector> are not evenly spaced: copy into one block.
  const int bytes = RowBytes(width) + 3;  // uneven padding on purpose
  std::vector<std::uint8_t> block(rows.size() * static_cast<std::size_t>(bytes), 0);
  for (std::size_t y = 0; y < rows.size(); ++y)
    for (int i = 0; i < RowBytes(width); ++i)
      block[y * bytes + i] = blackIsOne ? rows[y][i] : static_cast<std::uint8_t>(~rows[y][i]);
  EncodeGroup4(block.data(), bytes, width, static_cast<int>(rows.size()), blackIsOne, out);
  return out;
}

// libtiff's decode of a one-strip Group 4 TIFF holding `code`.
TRows DecodeWithLibtiff(const std::vector<std::uint8_t>& code, int width, int height) {
  const std::string path = TestTempDir() + "/g4.tif";
  {
    TTiffPtr tif(TIFFOpen(path.c_str(), "w"));
    EXPECT_TRUE(tif);
    TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, height);
    TIFFWriteRawStrip(tif.get(), 0, const_cast<std::uint8_t*>(code.data()), static_cast<tmsize_t>(code.size()));
  }
  TRows rows(height, std::vector<std::uint8_t>(RowBytes(width)));
  TTiffPtr tif(TIFFOpen(path.c_str(), "r"));
  EXPECT_TRUE(tif);
  for (int y = 0; y < height; ++y) EXPECT_GE(TIFFReadScanline(tif.get(), rows[y].data(), y, 0), 0) << "row " << y;
  return rows;
}

// libtiff's own Group 4 code of the rows.
std::vector<std::uint8_t> EncodeWithLibtiff(const TRows& rows, int width) {
  const std::string path = TestTempDir() + "/lib.tif";
  const int height = static_cast<int>(rows.size());
  {
    TTiffPtr tif(TIFFOpen(path.c_str(), "w"));
    TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, height);
    std::vector<std::uint8_t> row;
    for (int y = 0; y < height; ++y) {
      row = rows[y];
      TIFFWriteScanline(tif.get(), row.data(), y, 0);
    }
  }
  TTiffPtr tif(TIFFOpen(path.c_str(), "r"));
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(TIFFRawStripSize(tif.get(), 0)));
  TIFFReadRawStrip(tif.get(), 0, raw.data(), static_cast<tmsize_t>(raw.size()));
  return raw;
}

// Pixels only: padding bits of the last byte are cleared before comparing.
void ExpectSameRows(const TRows& expected, const TRows& actual, int width, const std::string& what) {
  ASSERT_EQ(expected.size(), actual.size()) << what;
  const int bytes = RowBytes(width);
  const std::uint8_t lastMask = static_cast<std::uint8_t>(0xFF << ((8 - width % 8) % 8));
  for (std::size_t y = 0; y < expected.size(); ++y) {
    std::vector<std::uint8_t> a = expected[y], b = actual[y];
    a[bytes - 1] &= lastMask;
    b[bytes - 1] &= lastMask;
    ASSERT_EQ(a, b) << what << ", row " << y;
  }
}

TRows RandomRows(std::mt19937& random, int width, int height, int meanRun) {
  TRows rows(height, std::vector<std::uint8_t>(RowBytes(width), 0));
  std::uniform_int_distribution<int> run(1, 2 * meanRun);
  std::bernoulli_distribution copyAbove(0.5);
  for (int y = 0; y < height; ++y) {
    if (y > 0 && copyAbove(random)) {
      // Rows like the one above, shifted a little, give the vertical and
      // pass modes their work.
      const int shift = std::uniform_int_distribution<int>(-4, 4)(random);
      for (int x = 0; x < width; ++x) {
        const int from = x - shift;
        if (from >= 0 && from < width && (rows[y - 1][from / 8] >> (7 - from % 8) & 1))
          rows[y][x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
      continue;
    }
    bool black = random() & 1;
    for (int x = 0; x < width;) {
      const int len = std::min(run(random), width - x);
      if (black)
        for (int i = x; i < x + len; ++i) rows[y][i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
      x += len;
      black = !black;
    }
  }
  return rows;
}

TRows RowsOfPage(const TDibGraphic& page) {
  TRows rows(page.Height(), std::vector<std::uint8_t>(RowBytes(page.Width())));
  for (int y = 0; y < page.Height(); ++y)
    for (int i = 0; i < RowBytes(page.Width()); ++i) rows[y][i] = static_cast<std::uint8_t>(~page.ScanLine(y)[i]);
  return rows;
}

}  // namespace

TEST(Group4Encoder, RandomPagesOfEveryNarrowWidthDecodeToTheirPixels) {
  std::mt19937 random(4);
  for (int width = 1; width <= 130; ++width) {
    const TRows rows = RandomRows(random, width, 12, 1 + width % 9);
    const std::vector<std::uint8_t> code = Encode(rows, width);
    ExpectSameRows(rows, DecodeWithLibtiff(code, width, 12), width, "width " + std::to_string(width));
    EXPECT_EQ(code, EncodeWithLibtiff(rows, width)) << "width " << width;
  }
}

TEST(Group4Encoder, EveryRunLengthOfBothColoursUpToBeyondTheLongestMakeUp) {
  // Each coded row is a run pair of lengths n (white) and n (black) on a
  // wide row, below a white row, so both runs are coded horizontally.
  const int width = 6000;
  TRows rows;
  for (int n = 0; n <= 2700; n += (n < 200 ? 1 : 7)) {
    std::vector<std::uint8_t> row(RowBytes(width), 0);
    for (int x = n; x < 2 * n + 1 && x < width; ++x) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    rows.push_back(row);
    rows.emplace_back(RowBytes(width), 0);
  }
  // Runs longer than one 2560 make-up, black reaching the right edge, and
  // a row of nothing but black.
  std::vector<std::uint8_t> row(RowBytes(width), 0);
  for (int x = 5300; x < width; ++x) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
  rows.push_back(row);
  rows.emplace_back(RowBytes(width), 0xFF);
  rows.emplace_back(RowBytes(width), 0xFF);
  rows.emplace_back(RowBytes(width), 0);
  const int height = static_cast<int>(rows.size());
  ExpectSameRows(rows, DecodeWithLibtiff(Encode(rows, width), width, height), width, "runs");
}

TEST(Group4Encoder, PatternsAtTheEdgesAndWhiteIsOneInput) {
  const int width = 67;
  TRows rows;
  for (int y = 0; y < 40; ++y) {
    std::vector<std::uint8_t> row(RowBytes(width), 0);
    for (int x = 0; x < width; ++x) {
      const bool black = (y < 10 && (x + y) % 2 == 0)          // checkerboard
                         || (y >= 10 && y < 20 && (x == 0 || x == width - 1))  // edge pixels
                         || (y >= 20 && y < 30 && x >= y - 20 && x < y - 10);  // a diagonal bar
      if (black) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    rows.push_back(row);
  }
  // White-is-one input (the bilevel image's own sense) codes the same.
  EXPECT_EQ(Encode(rows, width, true), Encode(rows, width, false));
  ExpectSameRows(rows, DecodeWithLibtiff(Encode(rows, width), width, 40), width, "patterns");
}

TEST(Group4Encoder, RealPagesGiveLibtiffsOwnBytes) {
  for (const char* file : {"testdata/bench/a4-feyn.tif", "testdata/bench/a4-feyn-skew.tif"}) {
    TTiffGraphic page;
    page.LoadFromFile(SharedFile(file));
    ASSERT_EQ(page.ImageFormat(), ifBlackWhite);
    const TRows rows = RowsOfPage(page);
    std::vector<std::uint8_t> ours;
    const std::ptrdiff_t step = page.Height() > 1 ? page.ScanLine(1) - page.ScanLine(0) : 0;
    EncodeGroup4(page.ScanLine(0), step, page.Width(), page.Height(), false, ours);
    EXPECT_EQ(ours, EncodeWithLibtiff(rows, page.Width())) << file;
  }
}

TEST(Group4Encoder, EmptyPageIsOnlyTheEndMark) {
  std::vector<std::uint8_t> out{0xAA};
  EncodeGroup4(nullptr, 0, 0, 0, true, out);
  // The byte already there stays; two end-of-line codes follow.
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0xAA, 0x00, 0x10, 0x01}));
}
