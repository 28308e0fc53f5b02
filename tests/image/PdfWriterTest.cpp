// The PDF writer's layout, byte for byte, and the documents it writes as
// other programs see them (qpdf, poppler).
#include <gtest/gtest.h>

#include <clocale>
#include <regex>

#include "PdfTestSupport.h"
#include "image/PdfGraphic.h"
#include "image/TiffDecoder.h"
#include "support/TestSupport.h"

namespace {

std::string Text(const TMemoryStream& s) { return std::string(s.Bytes().begin(), s.Bytes().end()); }

TPdfPageImage FakePage(int width, int height, int pageWidth, int pageHeight, const std::string& data) {
  TPdfPageImage page;
  page.Width = width;
  page.Height = height;
  page.PageWidth = pageWidth;
  page.PageHeight = pageHeight;
  page.Ccitt = true;
  page.Data.assign(data.begin(), data.end());
  return page;
}

// Every xref entry must point at the first digit of "N 0 obj".
void ExpectXrefOffsets(const std::string& pdf, int expectedSize) {
  const std::size_t startxref = pdf.rfind("startxref\r\n");
  ASSERT_NE(startxref, std::string::npos);
  const std::size_t xref = std::stoul(pdf.substr(startxref + 11));
  ASSERT_EQ(pdf.compare(xref, 6, "xref\r\n"), 0);
  const std::string head = "0 " + std::to_string(expectedSize) + "\r\n";
  ASSERT_EQ(pdf.compare(xref + 6, head.size(), head), 0);
  std::size_t p = xref + 6 + head.size();
  EXPECT_EQ(pdf.substr(p, 20), std::string("0000000000 65535 f\r\n"));
  for (int n = 1; n < expectedSize; ++n) {
    const std::string entry = pdf.substr(p + 20 * static_cast<std::size_t>(n), 20);
    ASSERT_EQ(entry.size(), 20u);
    EXPECT_EQ(entry.substr(10), " 00000 n\r\n");
    const std::size_t offset = std::stoul(entry.substr(0, 10));
    const std::string obj = std::to_string(n) + " 0 obj\r\n";
    EXPECT_EQ(pdf.compare(offset, obj.size(), obj), 0) << "object " << n;
  }
  EXPECT_EQ(pdf.compare(p + 20 * static_cast<std::size_t>(expectedSize), 9, "trailer\r\n"), 0);
}

TEST(PdfWriter, NumbersAndStrings) {
  EXPECT_EQ(FormatPdfNumber(612), "612");
  EXPECT_EQ(FormatPdfNumber(0), "0");
  EXPECT_EQ(FormatPdfNumber(0.5), "0.5");
  EXPECT_EQ(FormatPdfNumber(1.23456), "1.2346");
  EXPECT_EQ(FormatPdfNumber(100.1), "100.1");
  EXPECT_EQ(FormatPdfNumber(1234567.00001), "1234567");
  EXPECT_EQ(FormatPdfNumber(-2.25), "-2.25");
  // The separator stays "." whatever the locale.
  if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
    EXPECT_EQ(FormatPdfNumber(0.25), "0.25");
    std::setlocale(LC_ALL, "C");
  }
  EXPECT_EQ(EscapePdfString("D:20260102030405"), "D:20260102030405");
  EXPECT_EQ(EscapePdfString("a(b)c\\d\re\n"), "a\\(b\\)c\\\\d\\re\n");
  EXPECT_EQ(PdfPoints(2550, 300), 612);
  EXPECT_EQ(PdfPoints(3300, 300), 792);
  EXPECT_DOUBLE_EQ(PdfPoints(1, 300), 0.24) << "real points, not whole ones";
}

TEST(PdfWriter, OnePageLayoutByteForByte) {
  TMemoryStream s;
  TPdfDocumentWriter w(s, 1, true);
  w.CreationDate = "20260102030405";
  w.Begin();
  w.AddPage(FakePage(2550, 3300, 612, 792, "G4DATA"));
  w.Finish();
  const std::string expected =
      "%PDF-1.3\xFF\xFE\xFD\r\n"
      "1 0 obj\r\n<</Creator (TPdfGraphic)\r\n/CreationDate (D:20260102030405)\r\n/Producer (Orvane Veltrax)\r\n"
      "/Author ()\r\n/Title ()\r\n/Subject ()\r\n/Keywords ()\r\n>>\r\nendobj\r\n"
      "2 0 obj\r\n<</Type /Pages\r\n/Kids [\r\n3 0 R\r\n]\r\n/Count 1\r\n>>\r\nendobj\r\n"
      "3 0 obj\r\n<</Type /Page\r\n/Parent 2 0 R\r\n/Resources 4 0 R\r\n/Contents [6 0 R]\r\n"
      "/MediaBox [0 0 612 792]\r\n>>\r\nendobj\r\n"
      "4 0 obj\r\n<< /XObject << /Im7 7 0 R >>\r\n/Font << >>\r\n>>\r\nendobj\r\n"
      "7 0 obj\r\n<</Type /XObject\r\n/Subtype /Image\r\n/Name /Im7\r\n/Width 2550\r\n/Height 3300\r\n"
      "/BitsPerComponent 1\r\n/ColorSpace /DeviceGray\r\n/Length 6\r\n"
      "/Filter [/CCITTFaxDecode] /DecodeParms[<< /Columns 2550 /Rows 3300 /K -1 >>]\r\n>>\r\n"
      "stream\r\nG4DATA\r\nendstream\r\nendobj\r\n"
      "6 0 obj\r\n<</Length 51\r\n>>\r\nstream\r\nq\r\n1 0 0 1 0 0 cm\r\n612 0 0 792 0 0 cm\r\n/Im7 Do\r\nQ\r\n"
      "\r\nendstream\r\nendobj\r\n"
      "5 0 obj\r\n<</Type /Catalog\r\n/Pages 2 0 R\r\n/PageLayout /SinglePage\r\n/PageMode /UseNone\r\n>>\r\n"
      "endobj\r\n";
  const std::string pdf = Text(s);
  ASSERT_GE(pdf.size(), expected.size());
  EXPECT_EQ(pdf.substr(0, expected.size()), expected);
  const std::string tail = pdf.substr(expected.size());
  const std::string xrefAt = std::to_string(expected.size());
  EXPECT_NE(tail.find("trailer\r\n<<\r\n/Size 8\r\n/Root 5 0 R\r\n/Info 1 0 R\r\n>>\r\nstartxref\r\n" + xrefAt +
                      "\r\n%%EOF\r\n"),
            std::string::npos);
  EXPECT_EQ(pdf.substr(pdf.size() - 7), "%%EOF\r\n");
  ExpectXrefOffsets(pdf, 8);
  EXPECT_EQ(w.BytesWritten(), static_cast<std::int64_t>(pdf.size()));
}

TEST(PdfWriter, MultiPageLayoutNumbersFourObjectsPerPage) {
  TMemoryStream s;
  s.Write("junk", 4);  // offsets count from where the document starts
  TPdfDocumentWriter w(s, 2, false);
  w.CreationDate = "2026(01)";
  w.Begin();
  w.AddPage(FakePage(10, 20, 7, 14, "AAAA"));
  TPdfPageImage jpeg = FakePage(30, 40, 21, 28, "JJ");
  jpeg.Ccitt = false;
  w.AddPage(jpeg);
  EXPECT_THROW(w.AddPage(jpeg), EImagingError);
  w.Finish();
  const std::string pdf = Text(s).substr(4);
  EXPECT_NE(pdf.find("/CreationDate (D:2026\\(01\\))"), std::string::npos);
  EXPECT_NE(pdf.find("/Kids [\r\n4 0 R\r\n8 0 R\r\n]\r\n/Count 2"), std::string::npos);
  EXPECT_NE(pdf.find("4 0 obj\r\n<</Type /Page\r\n/Parent 2 0 R\r\n/Resources 6 0 R\r\n/Contents [5 0 R]\r\n"
                     "/MediaBox [0 0 7 14]"),
            std::string::npos);
  EXPECT_NE(pdf.find("10 0 obj\r\n<< /XObject << /Im11 11 0 R >>"), std::string::npos);
  EXPECT_NE(pdf.find("/ColorSpace /DeviceRGB\r\n/Length 2\r\n/Filter /DCTDecode\r\n>>\r\nstream\r\nJJ\r\nendstream"),
            std::string::npos);
  EXPECT_NE(pdf.find("/Size 12\r\n/Root 3 0 R\r\n/Info 1 0 R"), std::string::npos);
  // Writing order: 1, 2, then page, resources, content, image per page, catalog last.
  std::vector<int> order;
  std::regex obj("(\\d+) 0 obj\\r\\n");
  for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), obj); it != std::sregex_iterator(); ++it)
    order.push_back(std::stoi((*it)[1]));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 4, 6, 5, 7, 8, 10, 9, 11, 3}));
  ExpectXrefOffsets(pdf, 12);

  TPDFParser parser;
  ASSERT_TRUE(parser.ParseBytes(std::vector<std::uint8_t>(pdf.begin(), pdf.end())));
  EXPECT_EQ(parser.PageCount(), 2);
  const auto* second = parser.Page(1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Compression, TPDFParser::pcJpeg);
  EXPECT_EQ(second->BitsPerPixel, 24);
  EXPECT_EQ(second->Width, 30);
  EXPECT_EQ(second->Length, 2);
  EXPECT_EQ(pdf.substr(static_cast<std::size_t>(second->DataAddress) - 4 /* junk */ + 4, 2), "JJ");
}

TEST(PdfWriter, FinishRefusesMissingPages) {
  TMemoryStream s;
  TPdfDocumentWriter w(s, 2, false);
  w.Begin();
  w.AddPage(FakePage(1, 1, 1, 1, "x"));
  EXPECT_THROW(w.Finish(), EImagingError);
}

// A real Group 4 page through the writer: qpdf accepts the file, poppler
// lists the image as written and renders exactly our pixels, also from data
// that codes black as 1 and says so.
TEST(PdfWriter, OtherProgramsReadOurGroup4Page) {
  TDibGraphic page;
  MakeWhitePage(page, 203, 97, 72);
  for (int y = 0; y < 97; ++y)
    for (int x = 0; x < 203; ++x)
      if ((x / 9 + y / 5) % 3 == 0 || x == y) page.SetPixelIndex(x, y, 0);
  const std::string dir = TestTempDir();
  TDibGraphic negative;
  negative.Assign(page);
  for (int y = 0; y < 97; ++y)
    for (int x = 0; x < 203; ++x) negative.SetPixelIndex(x, y, 1 - negative.GetPixelIndex(x, y));
  for (bool blackIs1 : {false, true}) {
    const std::vector<std::uint8_t> tiff = pdftest::Group4Tiff(blackIs1 ? negative : page, dir + "/p.tif");
    TTiffDecoder d(tiff.data(), tiff.size());
    d.ReadDirectory(0);
    TPdfPageImage image;
    image.Width = 203;
    image.Height = 97;
    image.PageWidth = PdfPoints(203, 72);
    image.PageHeight = PdfPoints(97, 72);
    image.Ccitt = true;
    image.BlackIs1 = blackIs1;
    image.Data.assign(tiff.begin() + d.TagValue(273), tiff.begin() + d.TagValue(273) + d.TagValue(279));
    for (bool onePage : {true, false}) {
      TMemoryStream s;
      TPdfDocumentWriter w(s, onePage ? 1 : 2, onePage);
      w.Begin();
      w.AddPage(image);
      if (!onePage) w.AddPage(image);
      w.Finish();
      const std::string pdf = dir + (onePage ? "/one.pdf" : "/two.pdf");
      s.SaveToFile(pdf);
      EXPECT_EQ(pdftest::Run("qpdf --check '" + pdf + "' > '" + dir + "/qpdf.txt' 2>&1"), 0)
          << pdftest::ReadText(dir + "/qpdf.txt");
      ASSERT_EQ(pdftest::Run("pdfimages -list '" + pdf + "' > '" + dir + "/list.txt' 2>&1"), 0);
      const std::string list = pdftest::ReadText(dir + "/list.txt");
      EXPECT_TRUE(std::regex_search(list, std::regex("image +203 +97 +gray +1 +1 +ccitt"))) << list;
      // Four device pixels per image pixel; the grey output is thresholded
      // (the mono output dithers anti-aliased edges).
      ASSERT_EQ(pdftest::Run("pdftoppm -gray -r 288 -f 1 -l 1 '" + pdf + "' '" + dir + "/render'"), 0);
      const std::string rendered = dir + "/render-1.pgm";
      EXPECT_EQ(pdftest::PgmDifferences(pdftest::ReadNetpbm(rendered), page), 0) << blackIs1;
      std::remove(rendered.c_str());
    }
  }
}

}  // namespace
