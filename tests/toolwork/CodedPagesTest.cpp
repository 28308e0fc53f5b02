// Pages copied as their files code them. Every real bilevel TIFF and PDF of
// the test data goes through merging into both types and splitting; every page
// written reads back with the pixels and resolution of its source page,
// whether its data was copied or decoded and coded again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../image/PdfTestSupport.h"
#include "image/PdfGraphic.h"
#include "image/TiffGraphic.h"
#include "pagework/FileTypes.h"
#include "support/TestSupport.h"
#include "tools/work/DocumentFiles.h"
#include "tools/work/PageSource.h"
#include "toolwork/ToolFiles.h"

namespace fs = std::filesystem;

namespace {

bool AllBilevel(const std::vector<TReadPage>& pages) {
  for (const auto& page : pages)
    if (page.Image->ImageFormat() != ifBlackWhite) return false;
  return !pages.empty();
}

// The files whose every page is Group 4 in strips, upright: their pages
// must be copied, not decoded.
bool CopiedWhole(const std::string& name) {
  return (name.find("-g4") != std::string::npos || name.find("ccitt-g4") != std::string::npos ||
          name.find("ccitt-k-1") != std::string::npos || name.find("blackis1") != std::string::npos) &&
         name.find("tiled") == std::string::npos && name.find("orientation3") == std::string::npos &&
         name.find("mixed") == std::string::npos;
}

void ExpectSamePages(const std::string& output, const std::vector<TReadPage>& expected, std::size_t first,
                     const std::string& what) {
  const auto got = ReadAll(output);
  ASSERT_GE(got.size(), first + expected.size()) << what;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const TDibGraphic& a = *got[first + i].Image;
    const TDibGraphic& b = *expected[i].Image;
    EXPECT_TRUE(SamePixels(a, b)) << what << " page " << i + 1;
    EXPECT_EQ(a.XDotsPerInch(), b.XDotsPerInch()) << what << " page " << i + 1;
    EXPECT_EQ(a.YDotsPerInch(), b.YDotsPerInch()) << what << " page " << i + 1;
  }
  if (IsPdfFile(output)) {
    // Another reader decodes every image of the document alike, without a
    // complaint.
    const std::string prefix = output + "-img";
    ASSERT_EQ(pdftest::Run("pdfimages '" + output + "' '" + prefix + "' 2>'" + prefix + ".err'"), 0) << what;
    EXPECT_EQ(pdftest::ReadText(prefix + ".err"), "") << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      char suffix[32];
      std::snprintf(suffix, sizeof suffix, "-%03zu.pbm", first + i);
      const pdftest::Netpbm pbm = pdftest::ReadNetpbm(prefix + suffix);
      const TDibGraphic& page = *expected[i].Image;
      ASSERT_TRUE(pbm.Bitmap && pbm.Width == page.Width() && pbm.Height == page.Height()) << what;
      const std::size_t rowBytes = (static_cast<std::size_t>(page.Width()) + 7) / 8;
      long differentRows = 0;
      for (int y = 0; y < page.Height(); ++y) {
        const std::uint8_t* ours = page.ScanLine(y);
        const auto* theirs = reinterpret_cast<const std::uint8_t*>(pbm.Pixels.data()) + y * rowBytes;
        for (std::size_t b = 0; b < rowBytes; ++b) {
          const int used = b + 1 < rowBytes || page.Width() % 8 == 0 ? 8 : page.Width() % 8;
          if (((ours[b] ^ theirs[b] ^ 0xFF) & (0xFF00 >> used)) != 0) {
            ++differentRows;
            break;
          }
        }
      }
      EXPECT_EQ(differentRows, 0) << what << " page " << i + 1 << " as another reader decodes it";
    }
  }
  EXPECT_TRUE(IndependentCheck(output)) << what;
}

}  // namespace

TEST(CodedPages, EveryRealBilevelFileComesOutWithItsPixels) {
  std::vector<std::string> files;
  for (const char* folder : {"testdata/tiff", "testdata/pdf"})
    for (const auto& f : fs::directory_iterator(SharedFile(folder))) files.push_back(f.path().string());
  std::sort(files.begin(), files.end());
  int copiedFiles = 0;
  for (const std::string& file : files) {
    const std::string name = fs::path(file).filename().string();
    const bool pdf = IsPdfFile(file);
    if (!pdf && !IsTiffFile(file)) continue;
    std::vector<TReadPage> source;
    try {
      source = ReadAll(file);
    } catch (const EToolFileError&) {
      continue;  // files the reader refuses are the readers' tests' business
    }
    if (!AllBilevel(source)) continue;
    SCOPED_TRACE(name);

    // Which pages go out as they are coded.
    TPageSource pages(file);
    for (int i = 0; i < pages.Count(); ++i) {
      const TOutputPage& page = pages.LoadFor(i, pdf ? "x.pdf" : "x.tif", TSaveOptions{10, 0});
      EXPECT_TRUE(page.Coded || !CopiedWhole(name)) << "page " << i + 1;
      EXPECT_TRUE(page.Coded || page.Page());
    }
    copiedFiles += CopiedWhole(name);

    const std::string dir = TestTempDir();
    const std::string copy = dir + "/in/" + name;
    fs::create_directories(dir + "/in");
    fs::create_directories(dir + "/out");
    fs::copy_file(file, copy);
    const std::vector<TToolEntry> list = {TToolEntry{copy, dir + "/in/", 2}};
    // Merging one file is converting it, and copying it.
    for (bool toPdf : {false, true}) {
      TToolRun merge;
      MergeFiles(list, toPdf, dir + "/out", merge);
      ASSERT_EQ(merge.Written.size(), 1u);
      ExpectSamePages(merge.Written[0], source, 0, toPdf ? "merged into a PDF" : "merged into a TIFF");
    }
    TToolRun split;
    split.SaveFolder = dir + "/out";
    SplitFiles(list, split);
    ASSERT_EQ(split.Written.size(), source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
      std::vector<TReadPage> one;
      one.push_back(std::move(source[i]));
      ExpectSamePages(split.Written[i], one, 0, "split");
      source[i] = std::move(one[0]);
    }
  }
  // Group 4, fill order 2, several strips, black-is-zero, BigTIFF, PDF
  // black-is-1: the test data has them all.
  EXPECT_GE(copiedFiles, 25);
}

// Copied data is the source's own: the Group 4 strips a TIFF page is read
// with are the strips of the page written (fill order 2 data in the usual
// bit order), and the data of the PDF image written.
TEST(CodedPages, TheDataWrittenIsTheDataRead) {
  const std::string dir = TestTempDir();
  for (const char* name : {"testdata/tiff/gen-feyn-g4-fillorder2.tif", "testdata/tiff/gen-feyn-g4-64rows-per-strip.tif",
                           "testdata/pdf/gen-img2pdf-ccitt-blackis1-true.pdf"}) {
    SCOPED_TRACE(name);
    const std::string file = SharedFile(name);
    TPageSource source(file);
    const bool pdf = IsPdfFile(file);
    const TOutputPage& page = source.LoadFor(0, pdf ? "x.pdf" : "x.tif", TSaveOptions{10, 0});
    ASSERT_NE(page.Coded, nullptr);
    const TCodedPage read = *page.Coded;
    const std::string out = dir + "/out" + (pdf ? ".pdf" : ".tif");
    WritePages(out, 1, TSaveOptions{10, 0}, [&](int) -> TOutputPage& { return const_cast<TOutputPage&>(page); });
    TPageSource written(out);
    const TOutputPage& again = written.LoadFor(0, out, TSaveOptions{10, 0});
    ASSERT_NE(again.Coded, nullptr);
    EXPECT_EQ(again.Coded->Strips, read.Strips);
    EXPECT_EQ(again.Coded->StripRows, read.StripRows);
    EXPECT_EQ(again.Coded->BlackIs1, read.BlackIs1);
  }
}

// A JPEG that decodes cleanly goes into a PDF as the file is, and from one
// PDF into another as the image is: same pixels, same resolution, no loss
// of a second coding. Four components, 12 bits and arithmetic coding,
// which PDF readers do not take alike, are coded again.
TEST(CodedPages, JpegFilesGoIntoPdfAsTheyAre) {
  const std::string dir = TestTempDir();
  int copied = 0;
  for (const auto& f : fs::directory_iterator(SharedFile("testdata/jpeg"))) {
    const std::string file = f.path().string();
    const std::string name = f.path().filename().string();
    SCOPED_TRACE(name);
    std::vector<TReadPage> source;
    try {
      source = ReadAll(file);
    } catch (const EToolFileError&) {
      continue;
    }
    bool plain = true;
    for (const char* kind : {"cmyk", "ycck", "12bit", "arithmetic"})
      plain = plain && name.find(kind) == std::string::npos;
    TPageSource pages(file);
    EXPECT_EQ(pages.LoadFor(0, "x.pdf", TSaveOptions{10, 0}).Coded != nullptr, plain);
    if (!plain) continue;
    ++copied;
    const std::string folder = dir + "/" + name + "/";
    fs::create_directories(folder + "out");
    fs::copy_file(file, folder + name);
    TToolRun merge;
    MergeFiles({TToolEntry{folder + name, folder, 2}}, true, folder + "out", merge);
    ASSERT_EQ(merge.Written.size(), 1u);
    TToolRun split;
    SplitFiles({TToolEntry{merge.Written[0], folder + "out/", 2}}, split);
    ASSERT_EQ(split.Written.size(), 1u);
    const std::string bytes = [&] {
      std::ifstream in(file, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    for (const std::string& pdf : {merge.Written[0], split.Written[0]}) {
      TPageSource written(pdf);
      const TOutputPage& page = written.LoadFor(0, "x.pdf", TSaveOptions{10, 0});
      ASSERT_NE(page.Coded, nullptr);
      EXPECT_EQ(std::string(page.Coded->Strips[0].begin(), page.Coded->Strips[0].end()), bytes);
      const auto got = ReadAll(pdf);
      EXPECT_TRUE(SamePixels(*got[0].Image, *source[0].Image));
      EXPECT_EQ(got[0].Image->XDotsPerInch(), source[0].Image->XDotsPerInch());
      EXPECT_TRUE(IndependentCheck(pdf));
    }
  }
  EXPECT_GE(copied, 15);
}
