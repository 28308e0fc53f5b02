// Merge, split and conversion on files written and read back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "image/JpegGraphic.h"
#include "image/PdfGraphic.h"
#include "image/TiffGraphic.h"
#include "pagework/FileTypes.h"
#include "support/TestSupport.h"
#include "tools/work/DocumentFiles.h"
#include "tools/work/PageSource.h"
#include "toolwork/ToolFiles.h"

namespace fs = std::filesystem;

namespace {

std::string Bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// Pages with a different random pattern each, kept for comparison.
struct TPages {
  std::vector<std::unique_ptr<TDibGraphic>> All;
  const TDibGraphic& Add(int width, int height, unsigned seed) {
    std::mt19937 rng(seed);
    All.push_back(std::make_unique<TDibGraphic>());
    RandomPage(*All.back(), width, height, 0.2, rng);
    return *All.back();
  }
};

void WritePdf(const std::string& path, const std::vector<const TDibGraphic*>& pages) {
  TOutputPage out;
  WritePages(path, static_cast<int>(pages.size()), TSaveOptions{}, [&](int i) -> TOutputPage& {
    out.Borrowed = pages[i];
    return out;
  });
}

TToolEntry Entry(const std::string& path, const std::string& openFolder) { return TToolEntry{path, openFolder, 2}; }

}  // namespace

TEST(DocumentFiles, NamesAndGroups) {
  EXPECT_EQ(FolderTag("/scan/2023/"), "_scan_2023");
  const std::vector<TToolEntry> list = {Entry("/a/1.tif", "/"), Entry("/a/2.tif", "/"), Entry("/b/3.tif", "/"),
                                        Entry("/a/4.tif", "/")};
  EXPECT_EQ(GroupsByFolder(list), (std::vector<std::vector<int>>{{0, 1}, {2}, {3}}));
  EXPECT_TRUE(GroupsByFolder({}).empty());
}

// One folder's files cut by another folder's file give two groups of one
// name: a TIFF receives the second group's pages after the first's, a PDF
// is replaced. A JPEG and a single-page TIFF count one page each; a
// single-page TIFF keeps its compression, other pages take Group 4.
TEST(DocumentFiles, MergeGroupsAppendForTiffAndReplaceForPdf) {
  const std::string dir = TestTempDir();
  fs::create_directories(dir + "/in/a");
  fs::create_directories(dir + "/in/b");
  fs::create_directories(dir + "/out");
  TPages pages;
  const TDibGraphic& p1 = pages.Add(120, 90, 1);
  const TDibGraphic& p2 = pages.Add(100, 80, 2);
  const TDibGraphic& p3 = pages.Add(100, 80, 3);
  const TDibGraphic& p4 = pages.Add(64, 48, 4);
  WriteTiff(dir + "/in/a/1.tif", {&p1}, tcLZW);
  WriteTiff(dir + "/in/a/2.tif", {&p2, &p3}, tcPackbits);
  WriteTiff(dir + "/in/b/x.tif", {&p4});
  WritePdf(dir + "/in/a/3.pdf", {&p4});
  TJpegGraphic jpeg;
  jpeg.NewImage(40, 30, ifTrueColor);
  jpeg.SaveToFile(dir + "/in/a/4.jpg");
  const std::string open = dir + "/in/";
  const std::vector<TToolEntry> list = {Entry(open + "a/1.tif", open), Entry(open + "a/2.tif", open),
                                        Entry(open + "b/x.tif", open), Entry(open + "a/3.pdf", open),
                                        Entry(open + "a/4.jpg", open), Entry(open + "a/notes.txt", open)};
  const std::string tag = FolderTag(dir + "/in/a/");
  TToolRun run;
  MergeFiles(list, false, dir + "/out", run);
  const std::string tif = dir + "/out/" + tag + ".tif";
  ASSERT_EQ(run.Written, (std::vector<std::string>{tif, dir + "/out/" + FolderTag(dir + "/in/b/") + ".tif", tif}));
  std::vector<TReadPage> got = ReadAll(tif);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_TRUE(SamePixels(*got[0].Image, p1));
  EXPECT_TRUE(SamePixels(*got[1].Image, p2));
  EXPECT_TRUE(SamePixels(*got[2].Image, p3));
  EXPECT_TRUE(SamePixels(*got[3].Image, p4));
  EXPECT_EQ(got[4].Image->Width(), 40);
  EXPECT_EQ(got[0].Compression, tcLZW);
  EXPECT_EQ(got[1].Compression, tcCCITT4);
  EXPECT_EQ(got[4].Compression, tcPackbits);
  EXPECT_TRUE(IndependentCheck(tif));

  TToolRun pdfRun;
  MergeFiles(list, true, dir + "/out", pdfRun);
  const std::string pdf = dir + "/out/" + tag + ".pdf";
  got = ReadAll(pdf);
  ASSERT_EQ(got.size(), 2u);  // the second group's pages only
  EXPECT_TRUE(SamePixels(*got[0].Image, p4));
  EXPECT_TRUE(IndependentCheck(pdf));
}

// A damaged file in a group ends that output: a TIFF that would have
// received pages is left byte for byte, no temporary file stays, and the
// run goes on with the next group when the caller says so.
TEST(DocumentFiles, AFailureLeavesExistingFilesAsTheyWere) {
  const std::string dir = TestTempDir();
  fs::create_directories(dir + "/a");
  fs::create_directories(dir + "/b");
  TPages pages;
  const TDibGraphic& p1 = pages.Add(80, 60, 5);
  WriteTiff(dir + "/a/1.tif", {&p1});
  std::ofstream(dir + "/a/2.tif") << "II*\0garbage";
  WriteTiff(dir + "/b/1.tif", {&p1});
  const std::string target = dir + "/" + FolderTag(dir + "/a/") + ".tif";
  WriteTiff(target, {&p1, &p1});
  const std::string before = Bytes(target);
  const std::vector<TToolEntry> list = {Entry(dir + "/a/1.tif", dir), Entry(dir + "/a/2.tif", dir),
                                        Entry(dir + "/b/1.tif", dir)};
  TToolRun stopping;
  EXPECT_THROW(MergeFiles(list, false, dir, stopping), EToolFileError);
  EXPECT_EQ(Bytes(target), before);

  TToolRun going;
  std::vector<std::string> failed;
  going.Failed = [&](const EToolFileError& e) {
    failed.push_back(e.File);
    return true;
  };
  MergeFiles(list, false, dir, going);
  EXPECT_EQ(failed, std::vector<std::string>{dir + "/a/2.tif"});
  EXPECT_EQ(Bytes(target), before);
  EXPECT_EQ(going.Written.size(), 1u);
  for (const auto& f : fs::directory_iterator(dir)) EXPECT_EQ(f.path().string().find(".tmp"), std::string::npos);

  // A folder below the save folder that does not exist is not created:
  // the run fails there and leaves nothing behind.
  fs::create_directories(dir + "/out");
  TToolRun run;
  run.SaveFolder = dir + "/out";
  EXPECT_THROW(SplitFiles({Entry(dir + "/b/1.tif", dir + "/")}, run), EToolFileError);
  EXPECT_TRUE(fs::is_empty(dir + "/out"));
}

// Split names pages _00001 on from the name without its last four
// characters (".tiff" leaves a "."); pages keep their compression.
TEST(DocumentFiles, SplitWritesOneFilePerPage) {
  const std::string dir = TestTempDir();
  TPages pages;
  const TDibGraphic& p1 = pages.Add(90, 70, 6);
  const TDibGraphic& p2 = pages.Add(90, 70, 7);
  const TDibGraphic& p3 = pages.Add(50, 70, 8);
  WriteTiff(dir + "/a.tif", {&p1, &p2, &p3}, tcLZW);
  WriteTiff(dir + "/b.tiff", {&p1, &p2});
  WritePdf(dir + "/c.pdf", {&p3, &p1});
  TToolRun run;
  SplitFiles({Entry(dir + "/a.tif", dir), Entry(dir + "/b.tiff", dir), Entry(dir + "/c.pdf", dir)}, run);
  EXPECT_EQ(run.Written, (std::vector<std::string>{dir + "/a_00001.tif", dir + "/a_00002.tif", dir + "/a_00003.tif",
                                                   dir + "/b._00001.tif", dir + "/b._00002.tif", dir + "/c_00001.pdf",
                                                   dir + "/c_00002.pdf"}));
  const std::vector<TReadPage> third = ReadAll(dir + "/a_00003.tif");
  ASSERT_EQ(third.size(), 1u);
  EXPECT_TRUE(SamePixels(*third[0].Image, p3));
  EXPECT_EQ(third[0].Compression, tcLZW);
  const std::vector<TReadPage> pdfPage = ReadAll(dir + "/c_00002.pdf");
  ASSERT_EQ(pdfPage.size(), 1u);
  EXPECT_TRUE(SamePixels(*pdfPage[0].Image, p1));
  EXPECT_TRUE(IndependentCheck(dir + "/c_00002.pdf"));
}

// Convert goes both ways; a PDF's pages are appended to an existing TIFF
// of the target's name, in Group 4.
TEST(DocumentFiles, ConvertBothWaysAppendingToAnExistingTiff) {
  const std::string dir = TestTempDir();
  fs::create_directories(dir + "/in/sub");
  fs::create_directories(dir + "/out/sub");
  TPages pages;
  const TDibGraphic& p1 = pages.Add(90, 70, 9);
  const TDibGraphic& p2 = pages.Add(60, 70, 10);
  WriteTiff(dir + "/in/sub/m.tif", {&p1, &p2}, tcPackbits);
  WritePdf(dir + "/in/sub/d.pdf", {&p2, &p1});
  WriteTiff(dir + "/out/sub/d.tif", {&p1}, tcLZW);
  TToolRun run;
  run.SaveFolder = dir + "/out";
  ConvertFiles({Entry(dir + "/in/sub/m.tif", dir + "/in"), Entry(dir + "/in/sub/d.pdf", dir + "/in")}, run);
  EXPECT_EQ(run.Written, (std::vector<std::string>{dir + "/out/sub/m.pdf", dir + "/out/sub/d.tif"}));
  std::vector<TReadPage> got = ReadAll(dir + "/out/sub/m.pdf");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_TRUE(SamePixels(*got[1].Image, p2));
  EXPECT_TRUE(IndependentCheck(dir + "/out/sub/m.pdf"));
  got = ReadAll(dir + "/out/sub/d.tif");
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].Compression, tcLZW);
  EXPECT_TRUE(SamePixels(*got[1].Image, p2));
  EXPECT_TRUE(SamePixels(*got[2].Image, p1));
  EXPECT_EQ(got[2].Compression, tcCCITT4);
  EXPECT_TRUE(IndependentCheck(dir + "/out/sub/d.tif"));
}
