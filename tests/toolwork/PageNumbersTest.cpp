// Page-number stamping with a renderer of known boxes: every character is a
// solid cell of 10 x 20 pixels at the canvas resolution, so where the ink
// lands is known to the pixel.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "image/DibGraphic.h"
#include "image/ImagingHooks.h"
#include "image/TiffGraphic.h"
#include "pagework/PageWriter.h"
#include "support/TestSupport.h"
#include "tools/work/PageNumbers.h"

namespace {

constexpr int kCellW = 10, kCellH = 20;

// Counts code points; records every text it was asked to draw.
class TBoxRenderer : public TTextRenderer {
 public:
  std::vector<std::string> Drawn;
  std::vector<double> Sizes;
  static int Chars(const std::string& s) {
    int n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
  }
  TGlyphMask Render(const TFontSpec& font, const std::string& text, int) override {
    Drawn.push_back(text);
    Sizes.push_back(font.SizePt);
    TGlyphMask m;
    m.Width = Chars(text) * kCellW;
    m.Height = kCellH;
    m.Coverage.assign(static_cast<std::size_t>(m.Width) * m.Height, 255);
    return m;
  }
  TSize Extent(const TFontSpec&, const std::string& text, int) override { return {Chars(text) * kCellW, kCellH}; }
};

class PageNumbersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    renderer_ = std::make_shared<TBoxRenderer>();
    ImagingHooks().TextRenderer = renderer_;
    dir_ = TestTempDir();
  }
  void TearDown() override { ImagingHooks().TextRenderer.reset(); }

  std::string WritePage(const std::string& name, int pages = 1) {
    const std::string path = dir_ + "/" + name;
    std::vector<std::unique_ptr<TDibGraphic>> images;
    for (int i = 0; i < pages; ++i) {
      images.push_back(std::make_unique<TTiffGraphic>());
      MakeWhitePage(*images.back(), 300, 200, 300);
    }
    WritePages(path, pages, TSaveOptions{}, [&](int i) -> TOutputPage& {
      static TOutputPage p;
      p = TOutputPage{};
      p.Borrowed = images[static_cast<std::size_t>(i)].get();
      return p;
    });
    return path;
  }

  std::shared_ptr<TBoxRenderer> renderer_;
  std::string dir_;
};

TEST_F(PageNumbersTest, StampTextReplacesTheFirstPlaceOnlyAndIsNoFormat) {
  struct Case {
    const char* text;
    long long n;
    const char* want;
  } cases[] = {
      {"- {P} -", 7, "- 7 -"}, {"쪽 {P} / {P}", 12, "쪽 12 / {P}"}, {"100% - {P} %s %d %n", 3, "100% - 3 %s %d %n"},
      {"{P}", -4, "-4"},       {"no place", 1, "no place"},
  };
  for (const Case& c : cases) EXPECT_EQ(StampText(c.text, c.n), c.want) << c.text;
  EXPECT_FALSE(HasNumberPlace("{p}"));
  EXPECT_TRUE(HasNumberPlace("a{P}b"));
}

TEST_F(PageNumbersTest, StoredValueKeepsItsFormatAndReadsCommasBack) {
  TPageNumberSettings s;
  EXPECT_EQ(PageNumberValue(s), "굴림체,10,U,U,U,U,U,D,U,U,D,50,90,- {P} -,1,1,0");
  s.FontName = "NanumGothic";
  s.Bold = s.StrikeOut = true;
  s.Left = true, s.Centre = false;
  s.Top = true, s.Bottom = false;
  s.XText = "10", s.YText = "10";
  s.DisplayText = "Page {P}, of 3,,";
  s.StartText = "5", s.StepText = "2", s.StartImage = 1;
  EXPECT_EQ(ParsePageNumberValue(PageNumberValue(s)), s);
  // Short and odd values: what is there is read, the rest stays default.
  const TPageNumberSettings shortValue = ParsePageNumberValue("Dotum,12");
  EXPECT_EQ(shortValue.FontName, "Dotum");
  EXPECT_EQ(shortValue.SizeText, "12");
  EXPECT_EQ(shortValue.DisplayText, "- {P} -");
  EXPECT_EQ(ParsePageNumberValue("a,b,D,D,D,D,D,D,D,D,D,x,y,t,s,i,junk").StartImage, 0);
}

TEST_F(PageNumbersTest, NumbersAndFontSize) {
  EXPECT_EQ(WholeNumberOr(" 12 ", 1), 12);
  EXPECT_EQ(WholeNumberOr("1x", 50), 50);
  EXPECT_EQ(WholeNumberOr("", 16), 16);
  TPageNumberSettings s;
  EXPECT_EQ(StampFont(s, 300).SizePt, 100);
  EXPECT_EQ(StampFont(s, 200).SizePt, 70);
  s.SizeText = "큰";
  EXPECT_EQ(StampFont(s, 300).SizePt, 160);
  EXPECT_EQ(StampFaceFor("굴림체", [](const std::string&) { return false; }), "NanumGothicCoding");
  EXPECT_EQ(StampFaceFor("굴림체", [](const std::string&) { return true; }), "굴림체");
  EXPECT_EQ(StampFaceFor("Dotum", nullptr), "Dotum");
}

TEST_F(PageNumbersTest, PlacementOnAnA4Page) {
  // Centred on x 1240 with the bottom at y 3157.
  const TRect r = StampRect(2480, 3508, 50, 90, {101, 40}, THorzAlign::Centre, TVertAlign::Bottom);
  EXPECT_EQ(r.Left, 1240 - 50);
  EXPECT_EQ(r.Right, 1240 - 50 + 101);
  EXPECT_EQ(r.Bottom, 3157);
  EXPECT_EQ(r.Top, 3157 - 40);
  EXPECT_EQ(StampRect(2480, 3508, 10, 10, {30, 20}, THorzAlign::Left, TVertAlign::Top).Left, 248);
  EXPECT_EQ(StampRect(2480, 3508, 90, 10, {30, 20}, THorzAlign::Right, TVertAlign::Top).Right, 2232);
  EXPECT_EQ(StampRect(2480, 3508, 10, 10, {30, 20}, THorzAlign::Left, TVertAlign::Top).Top, 350);

  // Drawn on a real 1-bit A4 page: the ink is exactly the box.
  TDibGraphic page;
  MakeWhitePage(page, 2480, 3508);
  TPageNumberSettings s;
  DrawStamp(page, StampFont(s, 300), s, 7);  // "- 7 -": 5 cells
  EXPECT_EQ(InkBounds(page), (TRect{1240 - 25, 3157 - kCellH, 1240 + 25, 3157}));
  EXPECT_EQ(page.BitCount(), 1);
}

TEST_F(PageNumbersTest, NumbersRunOnAcrossFilesAndPages) {
  const std::string a = WritePage("a.tif", 3), b = WritePage("b.tif"), c = WritePage("c.tif");
  const std::string out = dir_ + "/out";
  std::filesystem::create_directory(out);
  TPageNumberRun run;
  run.Files = {a, b, c};
  run.SaveFolder = out;
  run.Settings.DisplayText = "쪽 {P} 끝";
  run.Settings.StartText = "5";
  run.Settings.StepText = "2";
  std::vector<std::pair<int, int>> progress;
  EXPECT_EQ(StampPageNumbers(run, [&](int p, int m) { return progress.emplace_back(p, m), true; }), 15);
  EXPECT_EQ(renderer_->Drawn, (std::vector<std::string>{"쪽 5 끝", "쪽 7 끝", "쪽 9 끝", "쪽 11 끝", "쪽 13 끝"}));
  EXPECT_EQ(progress.back(), std::make_pair(5, 5));
  EXPECT_EQ(CountPages(out + "/a.tif"), 3);
  for (int i = 0; i < 3; ++i) EXPECT_NE(InkBounds(*LoadPage(out + "/a.tif", i).Page()).Right, 0);
  // The originals are untouched.
  EXPECT_EQ(InkBounds(*LoadPage(a, 0).Page()).Right, 0);

  // A second run stamps the outputs already there, not the entries.
  renderer_->Drawn.clear();
  run.Files = {c};
  run.Settings.XText = "10";
  run.Settings.StartText = "1";
  StampPageNumbers(run);
  const TRect twice = InkBounds(*LoadPage(out + "/c.tif", 0).Page());
  EXPECT_EQ(twice.Left, 30 - 25);
  EXPECT_EQ(twice.Right, 150 + 30);  // the first stamp is still there
}

TEST_F(PageNumbersTest, NumbersStopAtTheEndOfTheirRange) {
  TPageNumberRun run;
  run.Files = {WritePage("x.tif", 2)};
  run.SaveFolder = dir_ + "/range";
  std::filesystem::create_directory(run.SaveFolder);
  run.Settings.StartText = "9223372036854775807";
  StampPageNumbers(run);
  EXPECT_EQ(renderer_->Drawn, (std::vector<std::string>(2, "- 9223372036854775807 -")));
}

TEST_F(PageNumbersTest, ChosenCompressionReachesEveryPage) {
  const std::string a = WritePage("m.tif", 2);
  TPageNumberRun run;
  run.Files = {a};
  run.SaveFolder = dir_ + "/lzw";
  std::filesystem::create_directory(run.SaveFolder);
  run.Save.Compression = 70;
  StampPageNumbers(run);
  for (int i = 0; i < 2; ++i) {
    auto page = LoadPage(run.SaveFolder + "/m.tif", i);
    EXPECT_EQ(static_cast<TTiffGraphic*>(page.Owned.get())->Compression(), TTiffCompression::tcLZW) << i;
  }
}

TEST_F(PageNumbersTest, FailuresLeaveTargetsWhole) {
  const std::string out = dir_ + "/fail";
  std::filesystem::create_directory(out);
  const std::string bad = dir_ + "/bad.tif";
  std::ofstream(bad) << "II*\0garbage";
  const std::string good = WritePage("g.tif");
  TPageNumberRun run;
  run.Files = {good, bad};
  run.SaveFolder = out;
  EXPECT_THROW(StampPageNumbers(run), std::exception);
  EXPECT_TRUE(std::filesystem::exists(out + "/g.tif"));  // written before the failure
  EXPECT_FALSE(std::filesystem::exists(out + "/bad.tif"));
  run.Settings.DisplayText = "no place";
  EXPECT_THROW(StampPageNumbers(run), std::runtime_error);
}

}  // namespace
