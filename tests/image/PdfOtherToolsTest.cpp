// Our own PDFs as other tools rewrite them, and page sizes kept exactly.
//
// data/pdf-ours-3p.pdf was written by TPdfGraphic::SavePagesToPdfFile from
// the three pattern pages below; the pdf-ours-3p-qpdf-* files are qpdf's
// rewrites of it: `--linearize --object-streams=generate`, and
// `--encrypt "" owner 40|128|256` (RC4 with --allow-weak-crypto, AES-128
// with --use-aes=y, AES-256 revision 5 with --force-R5), some of them with
// object streams; -user-password was encrypted with the user password
// "user". data/pdf-img2pdf-40px-300dpi.pdf is img2pdf's page of a 40 x 40
// pixel TIFF at 300 dpi (pattern seed 0).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "image/ImagingErrors.h"
#include "image/PdfGraphic.h"
#include "image/Stream.h"

namespace {

std::string DataFile(const std::string& name) {
  return (std::filesystem::path(__FILE__).parent_path() / "data" / name).string();
}

struct PatternPage {
  int Width, Height, Dpi, Seed;
};
const PatternPage kPages[3] = {{64, 40, 300, 0}, {48, 56, 200, 1}, {40, 40, 300, 2}};

bool PatternBlack(int x, int y, int seed) { return (x * 7 + y * 13 + seed) % 11 < 3; }

// Pixels of a 1-bit page that differ from the pattern (-1: wrong size or format).
long PatternDifferences(const TDibGraphic& page, const PatternPage& expected) {
  if (page.ImageFormat() != ifBlackWhite || page.Width() != expected.Width || page.Height() != expected.Height)
    return -1;
  long differences = 0;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) {
      const bool black = ((page.ScanLine(y)[x / 8] >> (7 - x % 8)) & 1) == 0;
      differences += black != PatternBlack(x, y, expected.Seed);
    }
  return differences;
}

TEST(PdfOtherTools, RewritesOfOurFileLoadEveryPageWithItsPixelsAndResolution) {
  for (const char* name :
       {"pdf-ours-3p.pdf", "pdf-ours-3p-qpdf-linearized-objstm.pdf", "pdf-ours-3p-qpdf-rc4-40.pdf",
        "pdf-ours-3p-qpdf-rc4-128.pdf", "pdf-ours-3p-qpdf-rc4-128-objstm.pdf", "pdf-ours-3p-qpdf-aes128.pdf",
        "pdf-ours-3p-qpdf-aes128-lin-objstm.pdf", "pdf-ours-3p-qpdf-aes256-r5.pdf", "pdf-ours-3p-qpdf-aes256-r6.pdf",
        "pdf-ours-3p-qpdf-aes256-lin-objstm.pdf"}) {
    TMemoryStream stream;
    stream.LoadFromFile(DataFile(name));
    TPdfGraphic pdf;
    ASSERT_EQ(pdf.GetImageCount(stream), 3) << name;
    for (int k = 1; k <= 3; ++k) {
      TPdfGraphic page;
      page.LoadImageFromStream(stream, k);
      const PatternPage& expected = kPages[k - 1];
      EXPECT_EQ(PatternDifferences(page, expected), 0) << name << " page " << k;
      EXPECT_EQ(page.XDotsPerInch(), expected.Dpi) << name << " page " << k;
      EXPECT_EQ(page.YDotsPerInch(), expected.Dpi) << name << " page " << k;
    }
  }
}

TEST(PdfOtherTools, AFileThatNeedsAPasswordSaysSo) {
  TMemoryStream stream;
  stream.LoadFromFile(DataFile("pdf-ours-3p-qpdf-user-password.pdf"));
  TPdfGraphic pdf;
  EXPECT_EQ(pdf.GetImageCount(stream), 0);
  EXPECT_EQ(pdf.Parser().Failure(), TPDFParser::pfNeedsPassword);
  try {
    pdf.LoadImageFromStream(stream, 1);
    FAIL() << "no error";
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "The PDF file is protected by a password");
  }
  EXPECT_TRUE(pdf.Empty());
  pdf.LoadAllFrames = true;
  stream.SetPosition(0);
  EXPECT_THROW(pdf.LoadFromStream(stream), EImagingError);
}

// A one-page document of an 8 x 1 uncompressed grey image on the MediaBox
// [0 0 width height].
std::string PageOfPoints(int pixels, const std::string& width, const std::string& height) {
  std::string text = "%PDF-1.4\n";
  std::string offsets;
  auto object = [&](int n, const std::string& body) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", text.size());
    offsets += line;
    text += std::to_string(n) + " 0 obj\n" + body + "\nendobj\n";
  };
  const std::string data(static_cast<std::size_t>(pixels), '\x80');
  object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + width + " " + height +
                "] /Resources << /XObject << /I 4 0 R >> >> >>");
  object(4, "<< /Subtype /Image /Width " + std::to_string(pixels) + " /Height 1 /BitsPerComponent 8 /Length " +
                std::to_string(pixels) + " >>\nstream\n" + data + "\nendstream");
  const std::size_t xref = text.size();
  text += "xref\n0 5\n0000000000 65535 f \n" + offsets + "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" +
          std::to_string(xref) + "\n%%EOF\n";
  return text;
}

TEST(PdfOtherTools, ResolutionComesFromTheRealPageSize) {
  // Written and read back: a 40 x 40 page at 300 dpi is 9.6 points.
  TPdfGraphic page;
  page.NewImage(40, 40, ifBlackWhite, nullptr, 300, 300);
  TMemoryStream written;
  page.SaveToStream(written);
  const std::string text(reinterpret_cast<const char*>(written.Memory()), static_cast<std::size_t>(written.Size()));
  EXPECT_NE(text.find("/MediaBox [0 0 9.6 9.6]"), std::string::npos);
  EXPECT_NE(text.find("9.6 0 0 9.6 0 0 cm"), std::string::npos);
  TPdfGraphic back;
  written.SetPosition(0);
  back.LoadImageFromStream(written, 1);
  EXPECT_EQ(back.XDotsPerInch(), 300);
  EXPECT_EQ(back.YDotsPerInch(), 300);

  // img2pdf's page of the same size.
  TMemoryStream img2pdf;
  img2pdf.LoadFromFile(DataFile("pdf-img2pdf-40px-300dpi.pdf"));
  TPdfGraphic other;
  other.LoadImageFromStream(img2pdf, 1);
  EXPECT_EQ(PatternDifferences(other, {40, 40, 300, 0}), 0);
  EXPECT_EQ(other.XDotsPerInch(), 300);
  EXPECT_EQ(other.YDotsPerInch(), 300);

  // Within 0.5 % of a whole dpi: that dpi; otherwise the real resolution.
  struct Case {
    int Pixels;
    const char* Width;
    int PelsPerMeter;
  };
  const Case cases[] = {
      {301, "72.24", 11811},  // 300 dpi exactly (a whole-point reader made it 301)
      {302, "72.24", 11850},  // 301.0 dpi
      {30, "30.6", 2779},     // 70.59 dpi, 0.58 % from 71: kept
  };
  for (const Case& c : cases) {
    TMemoryStream stream;
    const std::string doc = PageOfPoints(c.Pixels, c.Width, "72");
    stream.Write(doc.data(), static_cast<std::int64_t>(doc.size()));
    stream.SetPosition(0);
    TPdfGraphic g;
    g.LoadImageFromStream(stream, 1);
    ASSERT_FALSE(g.Empty()) << c.Width;
    EXPECT_EQ(g.XPelsPerMeter(), c.PelsPerMeter) << c.Width;
  }

  // A page whose resolution is not a whole dpi keeps it through writing.
  TPdfGraphic odd;
  odd.NewImage(30, 30, ifBlackWhite);
  odd.SetXPelsPerMeter(2779);
  odd.SetYPelsPerMeter(2779);
  TMemoryStream oddStream;
  odd.SaveToStream(oddStream);
  oddStream.SetPosition(0);
  TPdfGraphic oddBack;
  oddBack.LoadImageFromStream(oddStream, 1);
  EXPECT_EQ(oddBack.XPelsPerMeter(), 2779);
}

}  // namespace
