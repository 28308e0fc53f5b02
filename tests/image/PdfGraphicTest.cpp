// TPdfGraphic: pages written and read back, appending, frames and page
// sequences, and the pages of PDFs written by other programs.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "PdfTestSupport.h"
#include "image/GraphicRegistry.h"
#include "image/JpegGraphic.h"
#include "image/PdfGraphic.h"
#include "image/TiffGraphic.h"
#include "support/TestSupport.h"

namespace {

std::string Text(const TMemoryStream& s) { return std::string(s.Bytes().begin(), s.Bytes().end()); }

void DrawPattern(TDibGraphic& page, int width, int height, int dpi, int seed = 0) {
  MakeWhitePage(page, width, height, dpi);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = page.ScanLine(y);
    for (int x = 0; x < width; ++x)
      if (((x + seed) / 7 + y / 3) % 4 == 0 || (x * 5 + y * 3 + seed) % 23 == 0)
        row[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
  }
}

void DrawColour(TDibGraphic& page, int width, int height, TImageFormat format, int dpi) {
  page.NewImage(width, height, format, nullptr, dpi, dpi);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int v = (x * 255) / std::max(1, width - 1);
      page.SetPixel(
          x, y, format == ifTrueColor ? RgbColor(v, 255 - v, (y * 255) / std::max(1, height - 1)) : RgbColor(v, v, v));
    }
}

// Mean absolute difference of the grey values of two pictures of the same size.
double MeanGreyDifference(const TDibGraphic& a, const TDibGraphic& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const TColor32 p = a.GetPixel(x, y), q = b.GetPixel(x, y);
      sum += std::abs((RedOf(p) + GreenOf(p) + BlueOf(p)) - (RedOf(q) + GreenOf(q) + BlueOf(q))) / 3.0;
    }
  return sum / (static_cast<double>(a.Width()) * a.Height());
}

std::unique_ptr<TTiffGraphic> LoadTiff(const std::string& relative) {
  auto tiff = std::make_unique<TTiffGraphic>();
  tiff->LoadFromFile(SharedFile(relative));
  return tiff;
}

TEST(PdfGraphic, RegisteredForThePdfExtension) {
  const TGraphicClass* cls = GraphicClassForExtension("scan.PDF");
  ASSERT_NE(cls, nullptr);
  EXPECT_STREQ(cls->Name, "TPdfGraphic");
  EXPECT_EQ(FileFormatDescription("PDF"), "PDF file");
  auto g = CreateGraphicForFile("a.pdf");
  EXPECT_STREQ(g->ClassName(), "TPdfGraphic");
  EXPECT_STREQ(g->NewInstance()->ClassName(), "TPdfGraphic");
  TMemoryStream pdf(std::vector<std::uint8_t>{'%', 'P', 'D', 'F', '-', '1'});
  TMemoryStream other(std::vector<std::uint8_t>{'%', 'P', 'D', 'X', '-', '1'});
  EXPECT_TRUE(g->IsValidFormat(pdf));
  EXPECT_FALSE(g->IsValidFormat(other));
  EXPECT_EQ(pdf.Position(), 0);
}

TEST(PdfGraphic, A4PageAt300DpiIs612By792Points) {
  TPdfGraphic page;
  DrawPattern(page, 2550, 3300, 300);
  TMemoryStream s;
  page.SaveToStream(s);
  const std::string pdf = Text(s);
  EXPECT_NE(pdf.find("/MediaBox [0 0 612 792]\r\n"), std::string::npos);
  EXPECT_NE(pdf.find("\r\n612 0 0 792 0 0 cm\r\n/Im7 Do\r\n"), std::string::npos);
  EXPECT_NE(pdf.find("7 0 obj\r\n<</Type /XObject\r\n/Subtype /Image\r\n/Name /Im7\r\n/Width 2550\r\n/Height 3300\r\n"),
            std::string::npos);
  EXPECT_NE(pdf.find("/Size 8\r\n/Root 5 0 R\r\n/Info 1 0 R\r\n"), std::string::npos);

  TPdfGraphic back;
  s.SetPosition(0);
  EXPECT_EQ(back.GetImageCount(s), 1);
  back.LoadImageFromStream(s, 1);
  EXPECT_TRUE(SamePixels(back, page));
  EXPECT_EQ(back.XDotsPerInch(), 300);
  EXPECT_EQ(back.YDotsPerInch(), 300);
}

TEST(PdfGraphic, OneBitPageIsTheGroup4StripOfTheTiffWriter) {
  TPdfGraphic page;
  DrawPattern(page, 333, 121, 200);
  const TPdfPageImage image = TPdfGraphic::EncodePage(page);
  EXPECT_TRUE(image.Ccitt);
  TTiffGraphic tiff;
  tiff.Assign(page);
  tiff.SetCompression(tcCCITT4);
  tiff.RowsPerStrip = 121;
  TMemoryStream ms;
  tiff.SaveToStream(ms);
  const std::string file = Text(ms);
  const std::string strip(image.Data.begin(), image.Data.end());
  EXPECT_NE(file.find(strip), std::string::npos);
  EXPECT_DOUBLE_EQ(image.PageWidth, 119.88);  // 333 * 72 / 200, not rounded
  EXPECT_DOUBLE_EQ(image.PageHeight, 43.56);
}

TEST(PdfGraphic, SavedAtAnOffsetCountsFromTheStartOfThePdf) {
  TPdfGraphic page;
  DrawPattern(page, 64, 40, 72);
  TMemoryStream s;
  s.Write("0123456789", 10);
  page.SaveToStream(s);
  const std::string pdf = Text(s).substr(10);
  const std::size_t startxref = pdf.rfind("startxref\r\n");
  const std::size_t xref = std::stoul(pdf.substr(startxref + 11));
  EXPECT_EQ(pdf.compare(xref, 4, "xref"), 0);
  s.SetPosition(10);
  TPdfGraphic back;
  back.LoadImageFromStream(s, 1);
  EXPECT_TRUE(SamePixels(back, page));
}

TEST(PdfGraphic, OtherFormatsAreWrittenAsJpeg) {
  struct Case {
    TImageFormat Format;
    const char* ColourSpace;
    const char* PdfImages;
  } cases[] = {{ifTrueColor, "/ColorSpace /DeviceRGB", "rgb +3 +8 +jpeg"},
               {ifGray256, "/ColorSpace /DeviceGray", "gray +1 +8 +jpeg"},
               {ifGray16, "/ColorSpace /DeviceGray", "gray +1 +8 +jpeg"},
               {ifColor16, "/ColorSpace /DeviceRGB", "rgb +3 +8 +jpeg"},
               {ifColor256, "/ColorSpace /DeviceRGB", "rgb +3 +8 +jpeg"}};
  const std::string dir = TestTempDir();
  for (const Case& c : cases) {
    TPdfGraphic page;
    DrawColour(page, 120, 80, c.Format, 96);
    const std::string path = dir + "/colour.pdf";
    page.SaveToFile(path);
    const std::string pdf = pdftest::ReadText(path);
    EXPECT_NE(pdf.find(std::string(c.ColourSpace) + "\r\n/Length "), std::string::npos);
    EXPECT_NE(pdf.find("/Filter /DCTDecode\r\n"), std::string::npos);
    EXPECT_EQ(pdftest::Run("qpdf --check '" + path + "' > /dev/null 2>&1"), 0);
    ASSERT_EQ(pdftest::Run("pdfimages -list '" + path + "' > '" + dir + "/list.txt' 2>&1"), 0);
    const std::string list = pdftest::ReadText(dir + "/list.txt");
    EXPECT_TRUE(std::regex_search(list, std::regex(std::string("image +120 +80 +") + c.PdfImages))) << list;

    TPdfGraphic back;
    back.LoadFromFile(path);
    ASSERT_EQ(back.Width(), 120);
    // 16-grey pages come back as 256 greys, palette pages as true colour.
    EXPECT_EQ(back.ImageFormat(), c.Format == ifGray16 || c.Format == ifGray256 ? ifGray256 : ifTrueColor);
    EXPECT_EQ(back.XDotsPerInch(), 96);
    EXPECT_LT(MeanGreyDifference(back, page), 3.0);
    EXPECT_EQ(page.ImageFormat(), c.Format) << "the page itself is not converted";

    // poppler renders close to our pixels
    ASSERT_EQ(pdftest::Run("pdftoppm -gray -r 96 '" + path + "' '" + dir + "/r'"), 0);
    const pdftest::Netpbm pgm = pdftest::ReadNetpbm(dir + "/r-1.pgm");
    ASSERT_EQ(pgm.Width, 120);
    ASSERT_EQ(pgm.Height, 80);
    double sum = 0;
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 120; ++x) {
        const TColor32 p = page.GetPixel(x, y);
        const double grey = 0.299 * RedOf(p) + 0.587 * GreenOf(p) + 0.114 * BlueOf(p);
        sum += std::abs(grey - static_cast<unsigned char>(pgm.Pixels[static_cast<std::size_t>(y) * 120 + x]));
      }
    EXPECT_LT(sum / (120 * 80), 6.0);
  }
}

TEST(PdfGraphic, OurOneBitPagesRenderExactlyInPoppler) {
  const std::string dir = TestTempDir();
  TPdfGraphic page;
  DrawPattern(page, 190, 130, 72, 3);
  const std::string path = dir + "/mono.pdf";
  page.SaveToFile(path);
  EXPECT_EQ(pdftest::Run("qpdf --check '" + path + "' > /dev/null 2>&1"), 0);
  ASSERT_EQ(pdftest::Run("pdfimages -list '" + path + "' > '" + dir + "/list.txt' 2>&1"), 0);
  EXPECT_TRUE(
      std::regex_search(pdftest::ReadText(dir + "/list.txt"), std::regex("image +190 +130 +gray +1 +1 +ccitt")));
  ASSERT_EQ(pdftest::Run("pdftoppm -gray -r 288 '" + path + "' '" + dir + "/r'"), 0);
  EXPECT_EQ(pdftest::PgmDifferences(pdftest::ReadNetpbm(dir + "/r-1.pgm"), page), 0);
}

TEST(PdfGraphic, AppendToEmptyAndToATwoPageFile) {
  TPdfGraphic first, second, third;
  DrawPattern(first, 100, 60, 100, 1);
  DrawPattern(second, 100, 90, 150, 2);
  DrawColour(third, 50, 40, ifTrueColor, 72);

  TMemoryStream s;
  first.AppendToStream(s);
  const std::string one = Text(s);
  EXPECT_NE(one.find("/Kids [\r\n4 0 R\r\n]\r\n/Count 1"), std::string::npos);
  EXPECT_NE(one.find("/Size 8\r\n/Root 3 0 R\r\n"), std::string::npos) << "multi-page layout";
  EXPECT_NE(one.find("7 0 obj\r\n<</Type /XObject"), std::string::npos);

  second.AppendToStream(s);
  std::vector<int> progress;
  third.OnProgress = [&](TDibGraphic*, std::uint8_t percent) { progress.push_back(percent); };
  s.Write("trailing bytes that must be cut off", 35);
  s.SetPosition(0);
  third.AppendToStream(s);
  const std::string three = Text(s);
  EXPECT_NE(three.find("/Count 3"), std::string::npos);
  EXPECT_NE(three.find("/Size 16\r\n/Root 3 0 R"), std::string::npos);
  EXPECT_EQ(three.substr(three.size() - 7), "%%EOF\r\n");
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 100);

  TPdfGraphic back;
  s.SetPosition(0);
  ASSERT_EQ(back.GetImageCount(s), 3);
  back.LoadImageFromStream(s, 1);
  EXPECT_TRUE(SamePixels(back, first));
  EXPECT_EQ(back.XDotsPerInch(), 100);
  back.LoadImageFromStream(s, 2);
  EXPECT_TRUE(SamePixels(back, second));
  EXPECT_EQ(back.XDotsPerInch(), 150);
  back.LoadImageFromStream(s, 3);
  EXPECT_EQ(back.ImageFormat(), ifTrueColor);
  EXPECT_EQ(back.Width(), 50);
  const std::string path = TestTempDir() + "/three.pdf";
  s.SaveToFile(path);
  EXPECT_EQ(pdftest::Run("qpdf --check '" + path + "' > /dev/null 2>&1"), 0);
}

TEST(PdfGraphic, AppendLeavesAnUnreadableFileAlone) {
  TPdfGraphic page;
  DrawPattern(page, 30, 30, 72);
  const std::string junk = "%PDF-1.4 this is not a document";
  TMemoryStream s(std::vector<std::uint8_t>(junk.begin(), junk.end()));
  EXPECT_THROW(page.AppendToStream(s), EImagingError);
  EXPECT_EQ(Text(s), junk);

  TPdfGraphic empty;
  TMemoryStream t;
  EXPECT_THROW(empty.AppendToStream(t), EImagingError);
  EXPECT_EQ(t.Size(), 0);

  // A file of another producer whose page image cannot be decoded.
  TMemoryStream jbig2;
  jbig2.LoadFromFile(SharedFile("testdata/pdf/real-jbig2-scan-2pages.pdf"));
  const auto before = jbig2.Bytes();
  EXPECT_THROW(page.AppendToStream(jbig2), EImagingError);
  EXPECT_EQ(jbig2.Bytes(), before);
}

TEST(PdfGraphic, FramesAndPageSequences) {
  const std::string dir = TestTempDir();
  TPdfGraphic multi;
  std::vector<std::unique_ptr<TDibGraphic>> pages;
  for (int k = 0; k < 3; ++k) {
    auto frame = std::make_unique<TDibGraphic>();
    DrawPattern(*frame, 40 + k * 10, 30, 72, k);
    pages.push_back(std::make_unique<TDibGraphic>());
    pages.back()->Assign(*frame);
    multi.AddFrame(std::move(frame));
  }
  multi.SelectFrame(2);
  multi.SaveFramesToPdfFile(dir + "/frames.pdf");
  EXPECT_EQ(multi.CurrentFrame(), 2);
  EXPECT_TRUE(SamePixels(multi, *pages[1]));

  TDibGraphic work;
  std::vector<int> asked;
  TPdfGraphic writer;
  writer.SavePagesToPdfFile(work, dir + "/pages.pdf", 3, [&](int i) {
    asked.push_back(i);
    return pages[static_cast<std::size_t>(i)].get();
  });
  EXPECT_EQ(asked, (std::vector<int>{0, 1, 2}));
  EXPECT_THROW(writer.SavePagesToPdfFile(work, dir + "/none.pdf", 2, [](int) { return nullptr; }), EImagingError);

  for (const char* name : {"/frames.pdf", "/pages.pdf"}) {
    TPdfGraphic back;
    back.LoadAllFrames = true;
    back.LoadFromFile(dir + name);
    ASSERT_EQ(back.FrameCount(), 3) << name;
    for (int k = 1; k <= 3; ++k)
      EXPECT_TRUE(SamePixels(back.Frame(k), *pages[static_cast<std::size_t>(k - 1)])) << name;
  }
  // The same bytes either way.
  std::string a = pdftest::ReadText(dir + "/frames.pdf"), b = pdftest::ReadText(dir + "/pages.pdf");
  const std::regex date("D:\\d{14}");
  EXPECT_EQ(std::regex_replace(a, date, "D"), std::regex_replace(b, date, "D"));

  // A single image without frames becomes one page.
  TPdfGraphic single;
  DrawPattern(single, 20, 20, 72);
  single.SaveFramesToPdfFile(dir + "/single.pdf");
  TPdfGraphic back;
  back.LoadFromFile(dir + "/single.pdf");
  EXPECT_TRUE(SamePixels(back, single));
}

TEST(PdfGraphic, PagesOutsideTheDocumentLeaveTheImageUnchanged) {
  TPdfGraphic written;
  DrawPattern(written, 33, 44, 72);
  TMemoryStream s;
  written.SaveToStream(s);
  s.SetPosition(0);
  TPdfGraphic image;
  DrawColour(image, 5, 6, ifGray256, 96);
  TDibGraphic before;
  before.Assign(image);
  image.LoadImageFromStream(s, 0);
  EXPECT_TRUE(SamePixels(image, before));
  image.LoadImageFromStream(s, 2);
  EXPECT_TRUE(SamePixels(image, before));
  TMemoryStream notPdf(std::vector<std::uint8_t>(100, 'x'));
  EXPECT_EQ(image.GetImageCount(notPdf), 0);
  image.LoadImageFromStream(notPdf, 1);
  EXPECT_TRUE(SamePixels(image, before));
  image.LoadAllFrames = true;
  image.LoadFromStream(notPdf);
  EXPECT_TRUE(SamePixels(image, before));
  EXPECT_EQ(image.FrameCount(), 0);
  image.LoadAllFrames = false;
  image.LoadImageFromStream(s, 1);
  EXPECT_TRUE(SamePixels(image, written));
}

// --- pages of other producers ------------------------------------------------

class PdfCorpus : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { feyn_ = LoadTiff("testdata/tiff/real-feyn-g4-300dpi-leftborder.tif"); }
  static void TearDownTestSuite() { feyn_.reset(); }
  static std::unique_ptr<TPdfGraphic> Load(const std::string& name, int page = 1) {
    auto g = std::make_unique<TPdfGraphic>();
    TFileStream f(SharedFile("testdata/pdf/" + name), TFileMode::fmOpenRead);
    g->LoadImageFromStream(f, page);
    return g;
  }
  static std::unique_ptr<TTiffGraphic> feyn_;
};
std::unique_ptr<TTiffGraphic> PdfCorpus::feyn_;

TEST_F(PdfCorpus, EveryWayOfStoringTheFeynPageGivesItsPixels) {
  for (const char* name :
       {"gen-img2pdf-ccitt-k-1-3p.pdf", "gen-gs-ccitt-k-1.pdf", "gen-gs-ccitt-k0-bytealign.pdf",
        "gen-gs-ccitt-k0-eol.pdf", "gen-gs-ccitt-k4-eol.pdf", "gen-gs-flate-predictor15-1bit.pdf",
        "gen-qpdf-flate-nopredictor-1bit.pdf", "gen-gs-runlength-1bit.pdf", "gen-img2pdf-ccitt-blackis1-true.pdf",
        "gen-tiff2pdf-ccitt-g4-3p.pdf", "gen-qpdf-objstm-xrefstream-3p.pdf", "gen-qpdf-linearized-classic-3p.pdf",
        "gen-exiftool-incremental-classic-3p.pdf", "gen-qpdf-pagetree-chain-two-intermediate-3p.pdf",
        "gen-qpdf-linearized-objstm-3p.pdf", "gen-qpdf-inherited-mediabox-1p.pdf",
        "gen-qpdf-encrypted-aes256-emptyuserpw.pdf"}) {
    const auto pageOwner = Load(name);
    const TPdfGraphic& page = *pageOwner;
    ASSERT_FALSE(page.Empty()) << name;
    EXPECT_EQ(page.ImageFormat(), ifBlackWhite) << name;
    EXPECT_TRUE(SamePixels(page, *feyn_)) << name;
    EXPECT_EQ(page.XDotsPerInch(), 300) << name;
    EXPECT_EQ(page.YDotsPerInch(), 300) << name;
  }
}

TEST_F(PdfCorpus, RotatedPagesComeOutUpright) {
  const auto turnedOwner = Load("gen-img2pdf-ccitt-rotate90.pdf");
  const TPdfGraphic& turned = *turnedOwner;
  ASSERT_EQ(turned.Width(), 3300);
  ASSERT_EQ(turned.Height(), 2528);
  // Clockwise: the top-left pixel of the page was the bottom-left one.
  EXPECT_EQ(turned.GetPixelIndex(0, 0), feyn_->GetPixelIndex(0, 3299));
  EXPECT_EQ(turned.GetPixelIndex(3299, 0), feyn_->GetPixelIndex(0, 0));
  const auto ricohOwner = Load("real-ricoh-ccitt-k0-rotate270.pdf");
  const TPdfGraphic& ricoh = *ricohOwner;
  EXPECT_EQ(ricoh.Width(), 1748);
  EXPECT_EQ(ricoh.Height(), 2480);
  EXPECT_EQ(ricoh.XDotsPerInch(), 300);
  const auto secondOwner = Load("gen-pymupdf-incremental-page2-rotate90-3p.pdf", 2);
  const TPdfGraphic& second = *secondOwner;
  EXPECT_EQ(second.Width(), 3300);
  EXPECT_EQ(second.Height(), 2560);
  EXPECT_EQ(Load("gen-pymupdf-incremental-page2-rotate90-3p.pdf", 3)->Width(), 2264);
}

TEST_F(PdfCorpus, GreyAndColourPagesLoadWithBlackAsBlack) {
  struct Case {
    const char* Name;
    int Width, Height, Dpi;
    TImageFormat Format;
  } cases[] = {{"gen-img2pdf-dct-grey-300dpi.pdf", 1065, 1879, 300, ifGray256},
               {"gen-img2pdf-dct-progressive-grey.pdf", 1065, 1879, 300, ifGray256},
               {"gen-img2pdf-flate-png-predictor15-grey.pdf", 1065, 1879, 300, ifGray256},
               {"gen-tiff2pdf-flate-grey.pdf", 1065, 1879, 300, ifGray256},
               {"gen-qpdf-objstm-w121-small-dct.pdf", 600, 400, 300, ifGray256},
               {"gen-img2pdf-dct-colour-150dpi.pdf", 1052, 1524, 150, ifTrueColor},
               {"gen-tiff2pdf-dct-rgb.pdf", 827, 1170, 100, ifTrueColor},
               {"gen-img2pdf-dct-cmyk-decode-array.pdf", 827, 1170, 100, ifTrueColor}};
  std::unique_ptr<TPdfGraphic> reference;
  for (const Case& c : cases) {
    const auto pageOwner = Load(c.Name);
    const TPdfGraphic& page = *pageOwner;
    ASSERT_FALSE(page.Empty()) << c.Name;
    EXPECT_EQ(page.Width(), c.Width) << c.Name;
    EXPECT_EQ(page.Height(), c.Height) << c.Name;
    EXPECT_EQ(page.XDotsPerInch(), c.Dpi) << c.Name;
    EXPECT_EQ(page.ImageFormat(), c.Format) << c.Name;
    // Book pages: mostly light paper.
    double sum = 0;
    for (int y = 0; y < page.Height(); y += 7)
      for (int x = 0; x < page.Width(); x += 7) sum += GreenOf(page.GetPixel(x, y));
    EXPECT_GT(sum / ((page.Height() / 7 + 1) * (page.Width() / 7 + 1)), 128) << c.Name;
    if (std::string(c.Name) == "gen-img2pdf-dct-grey-300dpi.pdf") {
      reference = std::make_unique<TPdfGraphic>();
      reference->Assign(page);
    }
  }
  // The predicted Flate page and the plain one carry the JPEG page's picture.
  ASSERT_TRUE(reference);
  EXPECT_LT(MeanGreyDifference(*Load("gen-img2pdf-flate-png-predictor15-grey.pdf"), *reference), 4.0);
  EXPECT_LT(MeanGreyDifference(*Load("gen-tiff2pdf-flate-grey.pdf"), *reference), 4.0);
}

TEST_F(PdfCorpus, UnsupportedFilesReportNoPagesOrLeaveTheImageUnchanged) {
  for (const char* name :
       {"real-canon-scan-chained-flate-dct-trailing-garbage.pdf", "real-jbig2-scan-2pages.pdf", "real-jpx-img2pdf.pdf",
        "gen-img2pdf-jpx-grey.pdf", "gen-leading-garbage-before-header.pdf",
        "gen-exiftool-incremental-xrefstream-unfiltered-3p.pdf", "gen-qpdf-pagetree-selfloop-malformed.pdf",
        "gen-qpdf-pagetree-split-two-nodes-3p.pdf", "gen-gs-ccitt-k0.pdf", "gen-gs-ccitt-k4.pdf"}) {
    TPdfGraphic page;
    DrawPattern(page, 9, 9, 72);
    TDibGraphic before;
    before.Assign(page);
    TFileStream f(SharedFile(std::string("testdata/pdf/") + name), TFileMode::fmOpenRead);
    const int count = page.GetImageCount(f);
    for (int k = 1; k <= std::max(count, 1); ++k) {
      page.LoadImageFromStream(f, k);
      EXPECT_TRUE(SamePixels(page, before)) << name << " page " << k;
    }
  }
}

TEST_F(PdfCorpus, FirstImageOfAPageAndImageMasks) {
  const auto smallOwner = Load("real-ccitt-k-neg1-0-pos1-multi-image.pdf");
  const TPdfGraphic& small = *smallOwner;
  EXPECT_EQ(small.Width(), 81);
  EXPECT_EQ(small.Height(), 26);
  EXPECT_EQ(small.ImageFormat(), ifBlackWhite);
  TPdfGraphic lept;
  TFileStream f(SharedFile("testdata/pdf/real-leptonica-ccitt-imagemask-5pages.pdf"), TFileMode::fmOpenRead);
  EXPECT_EQ(lept.GetImageCount(f), 5);
  lept.LoadImageFromStream(f, 5);
  EXPECT_EQ(lept.Width(), 2550);
  EXPECT_EQ(lept.Height(), 3301);
  EXPECT_EQ(lept.XDotsPerInch(), 300);
  // Mostly white paper (bit 1).
  long white = 0;
  for (int y = 0; y < lept.Height(); y += 10)
    for (int x = 0; x < lept.Width(); x += 10) white += lept.GetPixelIndex(x, y);
  EXPECT_GT(white, (lept.Height() / 10) * (lept.Width() / 10) * 8 / 10);
}

}  // namespace
