#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "image/TiffGraphic.h"
#include "pagework/PageWriter.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string Bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

}  // namespace

// A file is replaced only when every page was written: a page that fails
// half-way leaves the old file byte for byte and no temporary file behind.
TEST(PageWriter, AFailingPageLeavesTheTargetAsItWas) {
  const std::string dir = TestTempDir();
  const std::string target = dir + "/out.tif";
  fs::copy_file(SharedFile("testdata/tiff/gen-feyn-g4-200dpi.tif"), target);
  const std::string before = Bytes(target);

  TDibGraphic white;
  MakeWhitePage(white, 64, 64);
  TOutputPage page;
  page.Borrowed = &white;
  EXPECT_THROW(WritePages(target, 3, TSaveOptions{},
                          [&](int i) -> TOutputPage& {
                            if (i == 2) throw std::runtime_error("page 3 unreadable");
                            return page;
                          }),
               std::runtime_error);
  EXPECT_EQ(Bytes(target), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
}

// The save choice reaches every page of a multi-page TIFF whose format
// allows it, the compression of the source for 10, and a page handed in
// is written as a copy, never changed itself.
TEST(PageWriter, SaveChoiceByPageAndSource) {
  const std::string dir = TestTempDir();
  TTiffGraphic bilevel;
  MakeWhitePage(bilevel, 64, 64);
  bilevel.SetPixelIndex(3, 3, 0);
  bilevel.SetCompression(tcLZW);
  TDibGraphic colour;
  colour.NewImage(16, 16, ifTrueColor);
  TTiffGraphic plain;
  plain.Assign(colour);
  const TTiffCompression colourDefault = plain.Compression();
  ASSERT_NE(colourDefault, tcLZW);

  struct TCase {
    int choice;
    int sourceCompression;
    TTiffCompression first, second;
  } cases[] = {
      {10, -1, tcLZW, colourDefault},           // each page's own (a plain page: the writer's default)
      {10, tcCCITT4, tcCCITT4, colourDefault},  // the source's, where the page's format allows it
      {30, -1, tcCCITT4, colourDefault},        // Group 4 cannot hold colour: that page keeps its own
      {70, -1, tcLZW, tcLZW},
  };
  for (const TCase& c : cases) {
    const std::string target = dir + "/choice" + std::to_string(c.choice) + ".tif";
    TOutputPage pages[2];
    pages[0].Borrowed = &bilevel;
    pages[1].Borrowed = &colour;
    for (TOutputPage& p : pages) p.SourceCompression = c.sourceCompression;
    WritePages(target, 2, TSaveOptions{c.choice, 80}, [&](int i) -> TOutputPage& { return pages[i]; });
    for (int k = 1; k <= 2; ++k) {
      TTiffGraphic back;
      back.ImageToLoad = k;
      back.LoadFromFile(target);
      EXPECT_EQ(int{back.Compression()}, int{k == 1 ? c.first : c.second}) << c.choice << " page " << k;
      EXPECT_TRUE(SamePixels(back, k == 1 ? static_cast<const TDibGraphic&>(bilevel) : colour)) << c.choice;
    }
  }
  EXPECT_EQ(bilevel.Compression(), tcLZW) << "the page handed in is not changed";

  // A single page refuses a compression its format cannot hold.
  TOutputPage single;
  single.Borrowed = &colour;
  EXPECT_THROW(WritePages(dir + "/colour.tif", 1, TSaveOptions{30, 80}, [&](int) -> TOutputPage& { return single; }),
               EImagingError);
  EXPECT_FALSE(fs::exists(dir + "/colour.tif"));
}
