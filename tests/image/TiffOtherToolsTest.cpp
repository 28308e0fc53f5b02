// TIFF pages as other tools lay them out: small uncompressed tiles, the
// file's own strips, and the progress of reading and writing.
//
// The data/tiffcp-tiled* files are `tiffcp -t -w 32|48 -l 32|48 -c none` of
// pattern pages written by TTiffGraphic (the orientation-3 file has had its
// Orientation tag set to 3 with tiffset).
#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image/PdfGraphic.h"
#include "image/TiffGraphic.h"
#include "support/TestSupport.h"

namespace {

std::string DataFile(const std::string& name) {
  return (std::filesystem::path(__FILE__).parent_path() / "data" / name).string();
}

bool PatternBlack(int x, int y, int seed) { return (x * 7 + y * 13 + seed) % 11 < 3; }

// Pixels of a 1-bit page that differ from the pattern, read through
// position (the page may be turned).
template <typename Position>
long Differences(const TDibGraphic& page, int seed, Position position) {
  long differences = 0;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) {
      const auto [px, py] = position(x, y);
      differences += (page.GetPixelIndex(x, y) == 0) != PatternBlack(px, py, seed);
    }
  return differences;
}

TEST(TiffOtherTools, SmallUncompressedTilesAreReadTileByTile) {
  auto same = [](int x, int y) { return std::pair{x, y}; };
  TTiffGraphic page;
  page.LoadFromFile(DataFile("tiffcp-tiled32-uncompressed-1bit-miniswhite.tif"));
  ASSERT_EQ(page.ImageFormat(), ifBlackWhite);
  ASSERT_EQ(page.Width(), 40);
  EXPECT_EQ(Differences(page, 0, same), 0) << "white-is-zero tiles";
  EXPECT_EQ(page.XDotsPerInch(), 300);

  page.LoadFromFile(DataFile("tiffcp-tiled48-uncompressed-1bit.tif"));
  ASSERT_EQ(page.Width(), 100);
  ASSERT_EQ(page.Height(), 70);
  EXPECT_EQ(Differences(page, 5, same), 0) << "black-is-zero tiles, partial at the right and bottom";

  page.LoadFromFile(DataFile("tiffcp-tiled48-uncompressed-1bit-orientation3.tif"));
  EXPECT_EQ(Differences(page, 5, [](int x, int y) { return std::pair{99 - x, 69 - y}; }), 0) << "stored upside down";

  page.LoadFromFile(DataFile("tiffcp-tiled32-uncompressed-grey.tif"));
  ASSERT_EQ(page.ImageFormat(), ifGray256);
  long greyDifferences = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 50; ++x) greyDifferences += page.GetPixelIndex(x, y) != ((x * 5 + y * 3) & 255);
  EXPECT_EQ(greyDifferences, 0);
}

TEST(TiffOtherTools, AOneStripPageIsSavedBackAsOneStrip) {
  TTiffGraphic page;
  page.NewImage(2000, 700, ifBlackWhite, nullptr, 300, 300);
  page.SetCompression(tcNone);
  const std::string first = TestTempDir() + "/one-strip.tif";
  const std::string second = TestTempDir() + "/one-strip-again.tif";
  page.SaveToFile(first);
  TTiffGraphic back;
  back.LoadFromFile(first);
  EXPECT_EQ(back.RowsPerStrip, TTiffGraphic::DefaultRowsPerStrip);
  back.SaveToFile(second);
  TIFF* tif = TIFFOpen(second.c_str(), "rc");
  ASSERT_NE(tif, nullptr);
  EXPECT_EQ(TIFFNumberOfStrips(tif), 1u);
  TIFFClose(tif);
}

// Percents reported by a reader or writer: 0 first, 100 last, each once.
void ExpectEachPercentOnce(const std::vector<int>& percents, const std::string& what) {
  ASSERT_FALSE(percents.empty()) << what;
  EXPECT_EQ(percents.front(), 0) << what;
  EXPECT_EQ(percents.back(), 100) << what;
  for (std::size_t i = 1; i < percents.size(); ++i) EXPECT_LT(percents[i - 1], percents[i]) << what << " at " << i;
}

TEST(TiffOtherTools, ProgressReportsEachPercentOnceFromZeroToHundred) {
  std::vector<int> percents;
  auto record = [&percents](TDibGraphic*, std::uint8_t percent) { percents.push_back(percent); };
  TTiffGraphic page;
  page.OnProgress = record;
  for (const char* name : {"tiffcp-tiled48-uncompressed-1bit.tif", "tiffcp-tiled32-uncompressed-grey.tif"}) {
    percents.clear();
    page.LoadFromFile(DataFile(name));
    ExpectEachPercentOnce(percents, name);
  }
  for (TTiffCompression compression : {tcCCITT4, tcLZW}) {
    page.NewImage(37, compression == tcLZW ? 1 : 300, ifBlackWhite, nullptr, 300, 300);
    page.SetCompression(compression);
    const std::string file = TestTempDir() + "/progress.tif";
    percents.clear();
    page.SaveToFile(file);
    ExpectEachPercentOnce(percents, std::string("writing ") + TiffCompressionText(compression));
    percents.clear();
    page.LoadFromFile(file);
    ExpectEachPercentOnce(percents, std::string("reading ") + TiffCompressionText(compression));
  }
  TPdfGraphic pdf;
  pdf.OnProgress = record;
  pdf.NewImage(16, 16, ifBlackWhite, nullptr, 300, 300);
  const std::string file = TestTempDir() + "/progress.pdf";
  percents.clear();
  pdf.SaveFramesToPdfFile(file);
  ExpectEachPercentOnce(percents, "writing a PDF");
  percents.clear();
  pdf.LoadFromFile(file);
  ExpectEachPercentOnce(percents, "reading a PDF");
}

}  // namespace
