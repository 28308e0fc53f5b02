// The Group 4 decoder against libtiff: every Group 4 page of the shared test
// data, synthetic pages encoded by libtiff, and damaged data.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "Group4TestSupport.h"
#include "image/Group4Decoder.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

// One independently coded piece of a page (a strip or a tile) with the rows
// libtiff decodes from it (1 = coded black).
struct CodedBlock {
  std::vector<std::uint8_t> Data;
  int Width = 0;
  int Rows = 0;
  std::vector<std::uint8_t> Expected;  // Rows rows of (Width + 7) / 8 bytes
};

// The coded blocks of the current page of `tif`, with libtiff's rows.
std::vector<CodedBlock> PageBlocks(TIFF* tif) {
  std::vector<CodedBlock> blocks;
  std::uint32_t width = 0, height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  if (TIFFIsTiled(tif)) {
    std::uint32_t tileWidth = 0, tileLength = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(tif)));
    for (std::uint32_t t = 0; t < TIFFNumberOfTiles(tif); ++t) {
      CodedBlock block;
      block.Data = RawBytes(tif, t, true);
      block.Width = static_cast<int>(tileWidth);
      block.Rows = static_cast<int>(tileLength);
      EXPECT_GT(TIFFReadEncodedTile(tif, t, tile.data(), static_cast<tmsize_t>(tile.size())), 0);
      block.Expected = tile;
      blocks.push_back(std::move(block));
    }
    return blocks;
  }
  std::uint32_t rowsPerStrip = height;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  rowsPerStrip = std::min(rowsPerStrip, height);
  const int bytes = RowBytes(static_cast<int>(width));
  std::vector<std::uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tif)));
  for (std::uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s) {
    CodedBlock block;
    block.Data = RawBytes(tif, s, false);
    block.Width = static_cast<int>(width);
    const std::uint32_t first = s * rowsPerStrip;
    block.Rows = static_cast<int>(std::min(rowsPerStrip, height - first));
    block.Expected.resize(static_cast<std::size_t>(block.Rows) * bytes);
    for (int y = 0; y < block.Rows; ++y) {
      EXPECT_EQ(TIFFReadScanline(tif, line.data(), first + static_cast<std::uint32_t>(y)), 1);
      std::copy(line.begin(), line.begin() + bytes, block.Expected.begin() + static_cast<std::ptrdiff_t>(y) * bytes);
    }
    blocks.push_back(std::move(block));
  }
  return blocks;
}

// Every Group 4 page of every TIFF file in a shared folder.
std::vector<std::pair<std::string, std::vector<CodedBlock>>> Group4PagesIn(const std::string& folder) {
  std::vector<std::pair<std::string, std::vector<CodedBlock>>> pages;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(SharedFile(folder))) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".tif" || ext == ".tiff") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    TiffPtr tif(TIFFOpen(file.c_str(), "r"));
    if (!tif) continue;
    int page = 0;
    do {
      std::uint16_t compression = 0, bits = 1;
      TIFFGetField(tif.get(), TIFFTAG_COMPRESSION, &compression);
      TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
      if (compression == COMPRESSION_CCITTFAX4 && bits == 1)
        pages.emplace_back(file.filename().string() + " page " + std::to_string(page + 1), PageBlocks(tif.get()));
      ++page;
    } while (TIFFReadDirectory(tif.get()));
  }
  return pages;
}

// Decodes a block with both polarities; true when both match libtiff.
::testing::AssertionResult DecodesLikeLibtiff(const CodedBlock& block) {
  const std::size_t bytes = static_cast<std::size_t>(RowBytes(block.Width));
  std::vector<std::uint8_t> rows(bytes * static_cast<std::size_t>(block.Rows), 0x5A);
  if (!DecodeGroup4(block.Data.data(), block.Data.size(), block.Width, block.Rows, rows.data(),
                    static_cast<std::ptrdiff_t>(bytes), true))
    return ::testing::AssertionFailure() << "decoder refused the data";
  if (int y = FirstDifferentRow(rows.data(), block.Expected.data(), block.Width, block.Rows); y >= 0)
    return ::testing::AssertionFailure() << "row " << y << " differs (black = 1)";
  // White = 1, written bottom-up through a negative row step.
  std::vector<std::uint8_t> inverted(rows.size(), 0xA5);
  std::uint8_t* last = inverted.data() + bytes * static_cast<std::size_t>(block.Rows - 1);
  if (!DecodeGroup4(block.Data.data(), block.Data.size(), block.Width, block.Rows, last,
                    -static_cast<std::ptrdiff_t>(bytes), false))
    return ::testing::AssertionFailure() << "decoder refused the data (black = 0)";
  for (int y = 0; y < block.Rows; ++y) {
    const std::uint8_t* got = inverted.data() + bytes * static_cast<std::size_t>(block.Rows - 1 - y);
    const std::uint8_t* want = rows.data() + bytes * static_cast<std::size_t>(y);
    for (std::size_t i = 0; i < bytes; ++i)
      if (got[i] != static_cast<std::uint8_t>(~want[i]))
        return ::testing::AssertionFailure() << "row " << y << " differs (black = 0, or its padding is not white)";
  }
  // Padding bits are white.
  if (block.Width % 8)
    for (int y = 0; y < block.Rows; ++y)
      if (rows[bytes * static_cast<std::size_t>(y) + bytes - 1] & (0xFF >> (block.Width % 8)))
        return ::testing::AssertionFailure() << "padding of row " << y << " is not white";
  return ::testing::AssertionSuccess();
}

// --- synthetic pages -------------------------------------------------------------

void SetBlack(std::uint8_t* row, int start, int end) {
  for (int x = start; x < end; ++x) row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
}

// Rows of several kinds: random runs (short and very long), rows that follow
// the row above with small edge shifts (vertical modes), all black, all
// white, checkerboards and single pixels at both edges.
std::vector<std::uint8_t> SyntheticPage(std::mt19937& rng, int width, int height) {
  const int bytes = RowBytes(width);
  std::vector<std::uint8_t> page(static_cast<std::size_t>(bytes) * height, 0);
  std::vector<int> edges;  // black runs of the row above as start, end pairs
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = page.data() + static_cast<std::ptrdiff_t>(y) * bytes;
    const int kind = static_cast<int>(rng() % 10);
    if (kind <= 3 && !edges.empty()) {  // follow the row above
      std::vector<int> next;
      for (int e : edges) next.push_back(std::clamp(e + static_cast<int>(rng() % 9) - 4, 0, width));
      std::sort(next.begin(), next.end());
      if (rng() % 4 == 0) {  // a new black run
        const int s = static_cast<int>(rng() % static_cast<unsigned>(width));
        next.push_back(s);
        next.push_back(std::min(width, s + 1 + static_cast<int>(rng() % 6)));
        std::sort(next.begin(), next.end());
      }
      edges = next;
    } else if (kind <= 6) {  // random runs, some of them longer than 2560
      edges.clear();
      int x = 0;
      bool black = rng() % 2;
      while (x < width) {
        const unsigned scale = rng() % 8 == 0 ? 6000 : rng() % 3 == 0 ? 200 : 8;
        const int run = 1 + static_cast<int>(rng() % scale);
        if (black) {
          edges.push_back(x);
          edges.push_back(std::min(width, x + run));
        }
        x += run;
        black = !black;
      }
    } else if (kind == 7) {
      edges = {0, width};
    } else if (kind == 8) {
      edges.clear();
      if (rng() % 2) {
        for (int x = static_cast<int>(y % 2); x < width; x += 2) edges.insert(edges.end(), {x, x + 1});
      } else {
        edges = {0, 1, width - 1, width};
      }
    } else {
      edges.clear();
    }
    for (std::size_t i = 0; i + 1 < edges.size(); i += 2) SetBlack(row, edges[i], edges[i + 1]);
  }
  return page;
}

// Guard bytes around and between rows must survive any input.
struct GuardedRows {
  static constexpr int kGuard = 16;
  int Width, Rows, Step;
  std::vector<std::uint8_t> Buffer;
  GuardedRows(int width, int rows)
      : Width(width),
        Rows(rows),
        Step(RowBytes(width) + kGuard),
        Buffer(static_cast<std::size_t>(Step) * rows + 2 * kGuard, 0xC3) {}
  std::uint8_t* First() { return Buffer.data() + kGuard; }
  bool GuardsIntact() const {
    for (std::size_t i = 0; i < Buffer.size(); ++i) {
      const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(i) - kGuard;
      const bool inRow = offset >= 0 && offset / Step < Rows && offset % Step < RowBytes(Width);
      if (!inRow && Buffer[i] != 0xC3) return false;
    }
    return true;
  }
};

// Bits written as text ("1 001 ...", spaces ignored), MSB first.
std::vector<std::uint8_t> BitString(const std::string& text) {
  std::vector<std::uint8_t> out;
  int n = 0;
  for (char c : text) {
    if (c != '0' && c != '1') continue;
    if (n % 8 == 0) out.push_back(0);
    if (c == '1') out.back() |= static_cast<std::uint8_t>(0x80 >> (n % 8));
    ++n;
  }
  return out;
}

}  // namespace

// --- real pages ----------------------------------------------------------------------

TEST(Group4Decoder, DecodesEveryGroup4PageOfTheTestDataLikeLibtiff) {
  TIFFSetWarningHandler(nullptr);
  int pages = 0, blocks = 0;
  for (const char* folder : {"testdata/tiff", "testdata/bench", "scans"}) {
    for (const auto& [name, pageBlocks] : Group4PagesIn(folder)) {
      ++pages;
      for (std::size_t b = 0; b < pageBlocks.size(); ++b) {
        ++blocks;
        EXPECT_TRUE(DecodesLikeLibtiff(pageBlocks[b])) << folder << "/" << name << ", block " << b;
      }
    }
  }
  RecordProperty("pages", pages);
  RecordProperty("blocks", blocks);
  // The corpus holds dozens of Group 4 pages, among them multi-strip,
  // tiled, FillOrder 2, Photometric 1 and multi-page files.
  EXPECT_GE(pages, 30);
  EXPECT_GE(blocks, 200);
}

TEST(Group4Decoder, EndOfDataRightAfterTheLastRowOrTrailingZerosAreFine) {
  TiffPtr tif(TIFFOpen(SharedFile("testdata/tiff/real-fax-form-g4-300dpi.tif").c_str(), "r"));
  ASSERT_TRUE(tif);
  CodedBlock block = PageBlocks(tif.get()).at(0);
  // The strip ends with the end-of-facsimile block (two 12-bit EOL codes)
  // and padding, so its last two bytes hold no row data.
  block.Data.resize(block.Data.size() - 2);
  EXPECT_TRUE(DecodesLikeLibtiff(block));
  block.Data.resize(block.Data.size() + 64, 0);
  EXPECT_TRUE(DecodesLikeLibtiff(block));
}

// --- synthetic pages ---------------------------------------------------------------

TEST(Group4Decoder, DecodesSyntheticPagesOfEveryNarrowWidth) {
  std::mt19937 rng(20261209);
  for (int width = 1; width <= 130; ++width) {
    const int height = 24;
    const std::vector<std::uint8_t> page = SyntheticPage(rng, width, height);
    CodedBlock block{EncodeWithLibtiff(page, width, height), width, height, page};
    EXPECT_TRUE(DecodesLikeLibtiff(block)) << "width " << width;
  }
}

TEST(Group4Decoder, DecodesWidePagesWithRunsBeyondTheLongestMakeUpCode) {
  std::mt19937 rng(7);
  for (int width : {2560, 2561, 2623, 4096, 5200, 9000, 17000}) {
    const int height = 40;
    const std::vector<std::uint8_t> page = SyntheticPage(rng, width, height);
    CodedBlock block{EncodeWithLibtiff(page, width, height), width, height, page};
    EXPECT_TRUE(DecodesLikeLibtiff(block)) << "width " << width;
  }
}

TEST(Group4Decoder, KeepsEmptyRunsAsLibtiffDoes) {
  // Some encoders write empty runs: a horizontal step of two empty runs at
  // a row start, or a vertical step that ends the current run where it
  // starts. They change no pixel of their own row, but the next row sees
  // them on its reference line.
  const struct {
    const char* Bits;
    int Width, Rows;
  } cases[] = {
      {"001 00110101 0000110111 1  1 1", 8, 2},       // H(0,0) at the start; next row V0 V0
      {"001 0111 0000110111 1  1 1", 8, 2},           // an empty black run inside a row
      {"001 1011 011 1  0000011 010 1  1 1", 12, 3},  // VR3 then VL1 back onto a0
      {"001 0111 11 1  010 1 1", 8, 2},               // plain VL1 for contrast
      // Empty runs after b2 of a pass at the row start: b1 stays on a0.
      {"001 1100 10 001 00110101 0000110111 001 1011 011  0001 1 1", 16, 2},
  };
  for (const auto& c : cases) {
    const std::vector<std::uint8_t> data = BitString(c.Bits);
    const std::vector<std::uint8_t> expected = DecodeWithLibtiff(data, c.Width, c.Rows);
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(RowBytes(c.Width)) * c.Rows);
    const bool ours = DecodeGroup4(data.data(), data.size(), c.Width, c.Rows, rows.data(), RowBytes(c.Width), true);
    ASSERT_FALSE(expected.empty()) << c.Bits;
    ASSERT_TRUE(ours) << c.Bits;
    EXPECT_EQ(FirstDifferentRow(rows.data(), expected.data(), c.Width, c.Rows), -1) << c.Bits;
  }
}

// Inputs the fuzz target found, in its layout: width - 1 and rows - 1 as
// 16-bit little-endian numbers (taken modulo 4096 and 512), a flags byte
// (bit 0: black is one), then the coded data. Whatever we accept must
// decode as libtiff decodes it.
TEST(Group4Decoder, FuzzFindingsDecodeLikeLibtiff) {
  const fs::path folder = fs::path(__FILE__).parent_path() / "data";
  int found = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("g4-fuzz-", 0) != 0) continue;
    ++found;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 5u);
    const int width = 1 + (bytes[0] | bytes[1] << 8) % 4096;
    const int rows = 1 + (bytes[2] | bytes[3] << 8) % 512;
    const std::vector<std::uint8_t> data(bytes.begin() + 5, bytes.end());
    const std::vector<std::uint8_t> expected = DecodeWithLibtiff(data, width, rows);
    std::vector<std::uint8_t> got(static_cast<std::size_t>(RowBytes(width)) * rows);
    if (!DecodeGroup4(data.data(), data.size(), width, rows, got.data(), RowBytes(width), true)) continue;
    if (expected.empty()) continue;
    EXPECT_EQ(FirstDifferentRow(got.data(), expected.data(), width, rows), -1) << entry.path().filename();
  }
  EXPECT_GE(found, 1);
}

// --- malformed data ----------------------------------------------------------------

TEST(Group4Decoder, RefusesCodesItDoesNotDecode) {
  std::uint8_t row = 0;
  auto decode = [&](const std::string& bits, int width, int rows = 1) {
    const std::vector<std::uint8_t> data = BitString(bits);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(RowBytes(width) * rows));
    return DecodeGroup4(data.data(), data.size(), width, rows, out.data(), RowBytes(width), true);
  };
  // Sanity: V0 on an all-white reference line ends an all-white row.
  EXPECT_TRUE(decode("1", 8));
  EXPECT_TRUE(decode("001 0111 10 1", 8));    // H: white 2, black 3, then V0 to the end
  EXPECT_FALSE(decode("0000001 111", 8));     // uncompressed-mode extension
  EXPECT_FALSE(decode("000000000001 1", 8));  // EOL where a row should start
  EXPECT_FALSE(decode("1 1", 8, 3));          // data ends before the last row
  EXPECT_FALSE(decode("001 1011 11", 3));     // H: white 4 on a row of 3
  EXPECT_FALSE(decode("011", 8));             // VR1 past the row end
  EXPECT_FALSE(decode("0001", 8));            // pass with b2 at the row end
  EXPECT_FALSE(decode("010", 8, 1));          // VL1 from b1 at 0: before the row start
  EXPECT_FALSE(DecodeGroup4(nullptr, 0, 8, 1, &row, 1, true));
  EXPECT_FALSE(DecodeGroup4(&row, 1, 0, 1, &row, 1, true));
  EXPECT_TRUE(DecodeGroup4(nullptr, 0, 8, 0, nullptr, 1, true));
}

TEST(Group4Decoder, SurvivesTruncatedFlippedAndRandomData) {
  TiffPtr tif(TIFFOpen(SharedFile("testdata/tiff/real-pageseg1-magazine-g4-300dpi.tif").c_str(), "r"));
  ASSERT_TRUE(tif);
  const CodedBlock page = PageBlocks(tif.get()).at(0);
  std::mt19937 rng(99);
  // Decoding only the first rows keeps this test quick; damage sits in them.
  const int rows = 600;
  GuardedRows out(page.Width, rows);
  auto run = [&](const std::vector<std::uint8_t>& data, int width, int height) {
    GuardedRows target(width, height);
    DecodeGroup4(data.data(), data.size(), width, height, target.First(), target.Step, rng() % 2);
    return target.GuardsIntact();
  };
  // Truncated strips fail: the data ends before the last row.
  for (std::size_t length :
       {std::size_t{0}, std::size_t{1}, std::size_t{17}, page.Data.size() / 3, page.Data.size() - 5}) {
    const std::vector<std::uint8_t> cut(page.Data.begin(), page.Data.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(DecodeGroup4(cut.data(), cut.size(), page.Width, page.Rows, out.First(), 0, true)) << length;
  }
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<std::uint8_t> data(
        page.Data.begin(),
        page.Data.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(page.Data.size(), 20000)));
    for (int flips = 1 + static_cast<int>(rng() % 4); flips > 0; --flips)
      data[rng() % data.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
    ASSERT_TRUE(run(data, page.Width, rows)) << "flipped bytes, trial " << trial;
  }
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<std::uint8_t> data(rng() % 400);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng() % 4 ? rng() : 0x80);  // V0 codes keep it going
    ASSERT_TRUE(run(data, 1 + static_cast<int>(rng() % 300), 1 + static_cast<int>(rng() % 40)))
        << "random, trial " << trial;
  }
}
