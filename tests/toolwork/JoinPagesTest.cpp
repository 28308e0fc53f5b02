// Two pages side by side, on images built here and on files read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "image/TiffGraphic.h"
#include "pagework/PageWriter.h"
#include "support/TestSupport.h"
#include "tools/work/JoinPages.h"
#include "tools/work/PageSource.h"
#include "toolwork/ToolFiles.h"

namespace fs = std::filesystem;

namespace {

void Random(TDibGraphic& page, int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  RandomPage(page, width, height, 0.3, rng);
}

// The columns [x, x + width) of a page as a new page.
void Columns(const TDibGraphic& page, int x, int width, int height, TDibGraphic& out) {
  out.NewImage(width, height, page.ImageFormat(), &page.Palette());
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) out.SetPixelIndex(col, row, page.GetPixelIndex(x + col, row));
}

bool AllWhite(const TDibGraphic& page, int x0) {
  for (int y = 0; y < page.Height(); ++y)
    for (int x = x0; x < page.Width(); ++x)
      if (page.GetPixel(x, y) != 0xFFFFFF) return false;
  return true;
}

}  // namespace

TEST(JoinPages, TrimTextThatIsNoWholeNumberCountsZero) {
  for (const auto& [text, value] :
       std::vector<std::pair<std::string, int>>{{"10", 10}, {"", 0}, {"abc", 0}, {"1.5", 0}, {"12a", 0}, {"007", 7}})
    EXPECT_EQ(ParseTrim(text), value) << text;
}

// 1000 x 1400 pages with trims 10 and 20 give 1970 x 1400: the left page's
// columns 0-989, then the right page's columns 20-999. A taller right
// page is cut at the left page's height; a lone page is white beside it.
TEST(JoinPages, ColumnsComeFromTheRightPlaces) {
  TDibGraphic left, right, out, expected;
  Random(left, 1000, 1400, 1);
  Random(right, 1000, 1600, 2);
  left.SetXDotsPerInch(200);
  JoinPair(left, right, 10, 20, out);
  ASSERT_EQ(out.Width(), 1970);
  ASSERT_EQ(out.Height(), 1400);
  EXPECT_EQ(out.XDotsPerInch(), 200);
  TDibGraphic part;
  Columns(out, 0, 990, 1400, part);
  Columns(left, 0, 990, 1400, expected);
  EXPECT_TRUE(SamePixels(part, expected));
  Columns(out, 990, 980, 1400, part);
  Columns(right, 20, 980, 1400, expected);
  EXPECT_TRUE(SamePixels(part, expected));

  LonePage(left, 10, 2 * 1000 - 30, out);
  EXPECT_EQ(out.Width(), 1970);
  Columns(out, 0, 990, 1400, part);
  Columns(left, 0, 990, 1400, expected);
  EXPECT_TRUE(SamePixels(part, expected));
  EXPECT_TRUE(AllWhite(out, 990));
  EXPECT_THROW(JoinPair(left, right, 1000, 0, out), std::runtime_error);
}

// Three images of one folder: the first two joined under the second's name,
// the third alone; a five-page TIFF gives three pages, the last twice its
// width; images of alternating folders never pair; a single page whose
// partner has many pages gets a page of its own after the partner's file.
TEST(JoinPages, FilesPairWithinTheirFolder) {
  const std::string dir = TestTempDir();
  for (const char* sub : {"/in/a", "/in/b", "/out/a", "/out/b"}) fs::create_directories(dir + sub);
  std::vector<std::unique_ptr<TDibGraphic>> pages;
  for (unsigned i = 0; i < 5; ++i) {
    pages.push_back(std::make_unique<TDibGraphic>());
    Random(*pages.back(), 60 + 2 * static_cast<int>(i), 40, 10 + i);
  }
  const std::string in = dir + "/in/";
  WriteTiff(in + "a/1.tif", {pages[0].get()});
  WriteTiff(in + "a/2.tif", {pages[1].get()});
  WriteTiff(in + "a/3.tif", {pages[2].get()});
  WriteTiff(in + "b/4.tif", {pages[3].get()});
  WriteTiff(in + "a/5.tif", {pages[4].get()});
  WriteTiff(in + "a/m.tif", {pages[0].get(), pages[1].get(), pages[2].get(), pages[3].get(), pages[4].get()});
  TOutputPage pdfPage;
  WritePages(in + "b/m.pdf", 5, TSaveOptions{}, [&](int i) -> TOutputPage& {
    pdfPage.Borrowed = pages[i].get();
    return pdfPage;
  });
  std::vector<TToolEntry> list;
  for (const char* name : {"a/1.tif", "a/2.tif", "a/3.tif", "b/4.tif", "a/5.tif", "a/m.tif", "b/m.pdf"})
    list.push_back(TToolEntry{in + name, in, 2});
  TToolRun run;
  run.SaveFolder = dir + "/out";
  JoinFiles(list, 2, 3, run);
  const std::string out = dir + "/out/";
  EXPECT_EQ(run.Written, (std::vector<std::string>{out + "a/2.tif", out + "a/3.tif", out + "b/4.tif", out + "a/m.tif",
                                                   out + "a/5.tif", out + "b/m.pdf"}));
  auto got = ReadAll(out + "a/2.tif");
  ASSERT_EQ(got.size(), 1u);
  TDibGraphic expected;
  JoinPair(*pages[0], *pages[1], 2, 3, expected);
  EXPECT_TRUE(SamePixels(*got[0].Image, expected));
  got = ReadAll(out + "a/3.tif");
  EXPECT_EQ(got[0].Image->Width(), 2 * 64 - 5);
  got = ReadAll(out + "a/m.tif");
  ASSERT_EQ(got.size(), 3u);
  JoinPair(*pages[2], *pages[3], 2, 3, expected);
  EXPECT_TRUE(SamePixels(*got[1].Image, expected));
  EXPECT_EQ(got[2].Image->Width(), 2 * 68);
  EXPECT_TRUE(AllWhite(*got[2].Image, 66));
  got = ReadAll(out + "b/m.pdf");
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[2].Image->Width(), 2 * 68 - 5);
  EXPECT_TRUE(SamePixels(*got[0].Image, (JoinPair(*pages[0], *pages[1], 2, 3, expected), expected)));
}
