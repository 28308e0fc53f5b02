// The PDF parser on small documents built here and on PDFs from other
// producers (page counts, sizes, resolutions and filters of the test-data
// corpus).
#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cmath>
#include <map>
#include <string>

#include "image/PdfParser.h"
#include "support/TestSupport.h"

namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::string Deflate(const std::string& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  out.resize(size);
  return out;
}

// PNG "Up" prediction of rows of rowBytes bytes (each row gets filter byte 2).
std::string PredictUp(const std::string& raw, std::size_t rowBytes) {
  std::string out;
  std::string prior(rowBytes, '\0');
  for (std::size_t r = 0; r < raw.size(); r += rowBytes) {
    out += '\x02';
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const char c = raw[r + i];
      out += static_cast<char>(static_cast<unsigned char>(c) - static_cast<unsigned char>(prior[i]));
      prior[i] = c;
    }
  }
  return out;
}

// Builds a PDF from object bodies with a classic table; offsets exact.
struct PdfBuilder {
  std::string text = "%PDF-1.4\n";
  std::map<int, std::size_t> offsets;

  void Object(int number, const std::string& body) {
    offsets[number] = text.size();
    text += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
  }
  // Objects 0..max in one subsection; missing ones are free.
  std::size_t Table(const std::string& trailerExtra, const std::map<int, std::size_t>& entries) {
    const std::size_t xref = text.size();
    const int max = entries.empty() ? 0 : entries.rbegin()->first;
    text += "xref\n0 " + std::to_string(max + 1) + "\n";
    for (int i = 0; i <= max; ++i) {
      char line[32];
      auto it = entries.find(i);
      std::snprintf(line, sizeof line, "%010zu %05d %c \n", it == entries.end() ? 0 : it->second, i == 0 ? 65535 : 0,
                    it == entries.end() ? 'f' : 'n');
      text += line;
    }
    text += "trailer\n<< /Size " + std::to_string(max + 1) + " " + trailerExtra + " >>\n";
    return xref;
  }
  std::string Finish(const std::string& trailerExtra) {
    const std::size_t xref = Table(trailerExtra, offsets);
    text += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return text;
  }
};

// A one-page document: catalog 1, pages 2, page 3, image 4 (8 x 2 pixels).
std::string OnePage(const std::string& pageExtra = "", const std::string& imageDict = "",
                    const std::string& length = "4") {
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /XObject << /Im1 4 0 R >> >> " +
                  pageExtra + " >>");
  const std::string data = "\x0A\x20\xFF\x00";  // starts with bytes that look like white space
  b.Object(4, "<< /Type /XObject /Subtype /Image /Width 8 /Height 2 /BitsPerComponent 8 /Length " + length + " " +
                  imageDict + " >>\nstream\r\n" + data + "\nendstream");
  return b.Finish("/Root 1 0 R");
}

TEST(PdfParser, HeaderAndStartxrefDecideWhetherAFileIsRead) {
  TPDFParser p;
  EXPECT_TRUE(p.ParseBytes(Bytes(OnePage())));
  EXPECT_EQ(p.PageCount(), 1);
  EXPECT_FALSE(p.ParseBytes(Bytes("\n" + OnePage()))) << "leading garbage before the header";
  EXPECT_EQ(p.PageCount(), 0);
  std::string noStart = OnePage();
  noStart.replace(noStart.rfind("startxref"), 9, "startxreX");
  EXPECT_FALSE(p.ParseBytes(Bytes(noStart)));
  EXPECT_FALSE(p.ParseBytes({}));
  EXPECT_FALSE(p.ParseBytes(Bytes("%PDF-")));
  // Junk after %%EOF: the backward search still finds startxref.
  EXPECT_TRUE(p.ParseBytes(Bytes(OnePage() + std::string(5000, 'x'))));
}

TEST(PdfParser, PageRecordValuesFollowTheLexicalRules) {
  TPDFParser p;
  ASSERT_TRUE(p.ParseBytes(Bytes(OnePage("/Rotate -90", "/ColorSpace /DeviceRGB"))));
  const TPDFParser::TPageRecord* r = p.Page(0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Width, 8);
  EXPECT_EQ(r->Height, 2);
  EXPECT_EQ(r->BitsPerPixel, 24);
  EXPECT_EQ(r->Compression, TPDFParser::pcNone);
  EXPECT_EQ(r->Rotate, 270);
  EXPECT_EQ(r->MediaBox[2], 612);
  EXPECT_EQ(r->MediaBox[3], 792);
  // The data starts right after the keyword's line end, even when its
  // first bytes look like white space.
  EXPECT_EQ(r->Length, 4);
  EXPECT_EQ(p.Bytes()[static_cast<std::size_t>(r->DataAddress)], 0x0A);
  EXPECT_EQ(p.Bytes()[static_cast<std::size_t>(r->DataAddress) + 1], 0x20);
  EXPECT_EQ(p.Page(1), nullptr);
  EXPECT_EQ(p.Page(-1), nullptr);
}

TEST(PdfParser, ValuesAreIntegersAndTheMediaBoxKeepsItsRealNumbers) {
  // "16.9" as a value reads 16; the MediaBox keeps its fractions.
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<</Type/Pages/Kids[3 0 R]/Count 1>>");
  b.Object(3, "<</Type/Page/Parent 2 0 R/MediaBox[0 0 606.72 791.5]/Resources 5 0 R>>");
  b.Object(5, "<</XObject 6 0 R/ProcSet[/PDF/ImageB]>>");
  b.Object(6, "<</R7 4 0 R>>");
  b.Object(7, "10");
  b.Object(4,
           "<</Type/XObject/Subtype/Image/Width 16.9/Height 1/BitsPerComponent 1/Length 7 0 R"
           "/Filter/RunLengthDecode>>stream\n0123456789\nendstream");
  TPDFParser p;
  ASSERT_TRUE(p.ParseBytes(Bytes(b.Finish("/Root 1 0 R"))));
  const auto* r = p.Page(0);
  ASSERT_NE(r, nullptr) << "compact layout with an indirect XObject dictionary";
  EXPECT_EQ(r->Width, 16);
  EXPECT_DOUBLE_EQ(r->MediaBox[2], 606.72);
  EXPECT_DOUBLE_EQ(r->MediaBox[3], 791.5);
  EXPECT_EQ(r->Length, 10) << "indirect /Length";
  EXPECT_EQ(r->Compression, TPDFParser::pcPackBits);
}

TEST(PdfParser, FiltersChooseTheCompressionOrRefuseThePage) {
  struct Case {
    const char* Dict;
    int Compression;  // 0: the page is refused
  } cases[] = {
      {"/Filter /DCTDecode", TPDFParser::pcJpeg},
      {"/Filter [/FlateDecode]", TPDFParser::pcDeflate},
      {"/Filter /RunLengthDecode", TPDFParser::pcPackBits},
      {"/Filter [/CCITTFaxDecode] /DecodeParms [<< /K -1 /Columns 8 >>]", TPDFParser::pcGroup4},
      {"/Filter /CCITTFaxDecode /DecodeParms << /K 0 /EncodedByteAlign true >>", TPDFParser::pcCcittRle},
      {"/Filter /CCITTFaxDecode /DecodeParms << /K 0 >>", 0},  // no EOL codes in the data
      {"/Filter [/FlateDecode /DCTDecode]", 0},
      {"/Filter /JBIG2Decode", 0},
      {"/Filter /JPXDecode", 0},
      {"/Filter /LZWDecode", 0},
      {"/ColorSpace [/Indexed /DeviceRGB 1 <000000FFFFFF>]", 0},
      {"", TPDFParser::pcNone},
  };
  for (const Case& c : cases) {
    std::string dict = c.Dict;
    // CCITT images need one bit per sample.
    std::string doc = OnePage("", dict);
    if (dict.find("CCITT") != std::string::npos) {
      const auto pos = doc.find("/BitsPerComponent 8");
      doc.replace(pos, 19, "/BitsPerComponent 1");
    }
    TPDFParser p;
    ASSERT_TRUE(p.ParseBytes(Bytes(doc))) << dict;
    const auto* r = p.Page(0);
    if (c.Compression == 0) {
      EXPECT_EQ(r, nullptr) << dict;
    } else {
      ASSERT_NE(r, nullptr) << dict;
      EXPECT_EQ(r->Compression, c.Compression) << dict;
    }
  }
}

TEST(PdfParser, EncryptionThatCannotBeOpenedFailsTheParse) {
  std::string doc = OnePage();
  doc.replace(doc.find("/Root 1 0 R"), 11, "/Root 1 0 R /Encrypt 9 0 R");
  TPDFParser p;
  EXPECT_FALSE(p.ParseBytes(Bytes(doc)));
  EXPECT_EQ(p.Failure(), TPDFParser::pfUnsupportedEncryption) << "no encryption dictionary";
  doc = OnePage();
  doc.replace(doc.find("/Root 1 0 R"), 11, "/Root 1 0 R /Encrypt << /Filter /Adobe.PubSec /V 4 /R 4 /P -4 >>");
  EXPECT_FALSE(p.ParseBytes(Bytes(doc)));
  EXPECT_EQ(p.Failure(), TPDFParser::pfUnsupportedEncryption) << "a public-key handler";
}

TEST(PdfParser, PagesInheritMediaBoxRotateAndResourcesFromTheNearestAncestor) {
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2,
           "<< /Type /Pages /Kids [5 0 R] /Count 2 /MediaBox [0 0 612 792] /Rotate 90 "
           "/Resources << /XObject << /Other 9 0 R >> >> >>");
  b.Object(5,
           "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 7 0 R] /Count 2 /MediaBox [0 0 144 96.5] /Resources 6 0 R >>");
  b.Object(6, "<< /XObject << /Im1 4 0 R >> >>");
  b.Object(3, "<< /Type /Page /Parent 5 0 R >>");
  b.Object(7, "<< /Type /Page /Parent 5 0 R /MediaBox [0 0 72 72] /Rotate 0 >>");
  b.Object(4, "<< /Subtype /Image /Width 8 /Height 2 /BitsPerComponent 1 /Length 2 >>\nstream\nAB\nendstream");
  const std::string doc = b.Finish("/Root 1 0 R");
  TPDFParser p;
  ASSERT_TRUE(p.ParseBytes(Bytes(doc)));
  const auto* r = p.Page(0);
  ASSERT_NE(r, nullptr);
  EXPECT_DOUBLE_EQ(r->MediaBox[2], 144);
  EXPECT_DOUBLE_EQ(r->MediaBox[3], 96.5);
  EXPECT_EQ(r->Rotate, 90) << "from the root, the nearest node that has one";
  EXPECT_EQ(r->ImageObject, 4);
  const auto* own = p.Page(1);
  ASSERT_NE(own, nullptr);
  EXPECT_DOUBLE_EQ(own->MediaBox[2], 72) << "a page's own values win";
  EXPECT_EQ(own->Rotate, 0);

  // A page that names itself as its parent has nothing to inherit.
  std::string loop = doc;
  loop.replace(loop.find("/Type /Page /Parent 5 0 R"), 25, "/Type /Page /Parent 3 0 R");
  ASSERT_TRUE(p.ParseBytes(Bytes(loop)));
  EXPECT_EQ(p.Page(0), nullptr);
}

TEST(PdfParser, IncrementalUpdateUsesTheNewestEntry) {
  PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /MediaBox [0 0 612 792] /Resources << /XObject << /I 4 0 R >> >> >>");
  b.Object(4, "<< /Subtype /Image /Width 8 /Height 1 /BitsPerComponent 8 /Length 8 >>\nstream\n01234567\nendstream");
  const std::size_t firstTable = b.Table("/Root 1 0 R", b.offsets);
  // The update rewrites page 3 with /Rotate 90.
  std::map<int, std::size_t> update;
  update[3] = b.text.size();
  b.text +=
      "3 0 obj\n<< /Type /Page /Rotate 90 /MediaBox [0 0 612 792] /Resources << /XObject << /I 4 0 R >> >> "
      ">>\nendobj\n";
  const std::size_t second = b.text.size();
  b.text += "xref\n0 1\n0000000000 65535 f \n3 1\n" + [&] {
    char l[32];
    std::snprintf(l, sizeof l, "%010zu 00000 n \n", update[3]);
    return std::string(l);
  }();
  b.text += "trailer\n<< /Size 5 /Root 1 0 R /Prev " + std::to_string(firstTable) +
            " /Info << /Prev 999999 >> >>\nstartxref\n" + std::to_string(second) + "\n%%EOF\n";
  TPDFParser p;
  ASSERT_TRUE(p.ParseBytes(Bytes(b.text)));
  const auto* r = p.Page(0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Rotate, 90) << "the newer offset of object 3 wins; a nested /Prev does not count";

  // A /Prev that points back to its own table ends the chain instead of looping.
  std::string loop = b.text;
  loop.replace(loop.find("/Prev " + std::to_string(firstTable)), 6 + std::to_string(firstTable).size(),
               "/Prev " + std::to_string(second));
  EXPECT_TRUE(p.ParseBytes(Bytes(loop)) || p.PageCount() == 0);
}

// Cross-reference stream /W [1 2 1] with /Index [0 10 20 5] and /Predictor 12.
std::string XrefStreamDocument(bool predictor) {
  std::string text = "%PDF-1.5\n";
  std::map<int, std::size_t> at;
  auto obj = [&](int n, const std::string& body) {
    at[n] = text.size();
    text += std::to_string(n) + " 0 obj\n" + body + "\nendobj\n";
  };
  // Objects 1-4 live in object stream 20; image 5 is stored directly.
  const std::string o1 = "<< /Type /Catalog /Pages 2 0 R >>";
  const std::string o2 = "<< /Type /Pages /Kids [3 0 R] /Count 4 0 R >>";
  const std::string o3 = "<< /Type /Page /MediaBox [0 0 144 96] /Resources << /XObject << /X 5 0 R >> >> >>";
  const std::string o4 = "1";  // the page count, not a dictionary
  std::string objects, header;
  std::size_t off = 0;
  for (auto [n, s] : std::vector<std::pair<int, std::string>>{{1, o1}, {2, o2}, {4, o4}, {3, o3}}) {
    header += std::to_string(n) + " " + std::to_string(off) + " ";
    objects += s + " ";
    off += s.size() + 1;
  }
  const std::string body = header + objects;
  const std::string packed = Deflate(body);
  obj(5, "<< /Subtype /Image /Width 4 /Height 1 /BitsPerComponent 8 /Length 4 >>\nstream\nabcd\nendstream");
  obj(20, "<< /Type /ObjStm /N 4 /First " + std::to_string(header.size()) + " /Filter /FlateDecode /Length " +
              std::to_string(packed.size()) + " >>\nstream\n" + packed + "\nendstream");
  // Entries for objects 0-9 and 20-24.
  std::string rows;
  auto row = [&](int type, int f2, int f3) {
    rows += static_cast<char>(type);
    rows += static_cast<char>(f2 >> 8);
    rows += static_cast<char>(f2 & 0xFF);
    rows += static_cast<char>(f3);
  };
  row(0, 0, 0);
  row(2, 20, 0);  // 1
  row(2, 20, 1);  // 2
  row(2, 20, 3);  // 3
  row(2, 20, 2);  // 4
  row(1, static_cast<int>(at[5]), 0);
  for (int i = 6; i < 10; ++i) row(0, 0, 0);
  row(1, static_cast<int>(at[20]), 0);  // 20
  const std::size_t xrefAt = text.size();
  row(1, static_cast<int>(xrefAt), 0);  // 21: the xref stream itself
  for (int i = 22; i < 25; ++i) row(0, 0, 0);
  const std::string encoded = Deflate(predictor ? PredictUp(rows, 4) : rows);
  text +=
      "21 0 obj\n<< /Type /XRef /Size 25 /W [1 2 1] /Index [0 10 20 5] /Root 1 0 R /Filter /FlateDecode "
      "/DecodeParms << /Columns 4 /Predictor " +
      std::string(predictor ? "12" : "1") + " >> /Length " + std::to_string(encoded.size()) + " >>\nstream\n" +
      encoded + "\nendstream\nendobj\nstartxref\n" + std::to_string(xrefAt) + "\n%%EOF\n";
  return text;
}

TEST(PdfParser, CrossReferenceStreamWithIndexRangesAndObjectStream) {
  for (bool predictor : {false, true}) {
    TPDFParser p;
    ASSERT_TRUE(p.ParseBytes(Bytes(XrefStreamDocument(predictor)))) << predictor;
    std::vector<std::int64_t> numbers;
    for (const auto& e : p.XrefEntries()) numbers.push_back(e.ObjectNumber);
    EXPECT_EQ(numbers, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 20, 21})) << "type 0 entries are skipped";
    EXPECT_EQ(p.XrefEntries()[2].StreamNumber, 20);
    EXPECT_EQ(p.XrefEntries()[2].Offset, 3);
    EXPECT_EQ(p.PageCount(), 1) << "indirect /Count held in an object stream as a plain number";
    const auto* r = p.Page(0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Width, 4);
    EXPECT_EQ(r->MediaBox[2], 144);
    std::string text;
    ASSERT_TRUE(p.ObjectText(3, text));
    EXPECT_NE(text.find("/MediaBox"), std::string::npos);
  }
}

TEST(PdfParser, CrossReferenceStreamNeedsFlateAndConsistentRows) {
  std::string doc = XrefStreamDocument(true);
  std::string noParms = doc;
  noParms.replace(noParms.find("/DecodeParms"), 12, "/DecodeParmX");
  TPDFParser p;
  EXPECT_FALSE(p.ParseBytes(Bytes(noParms)));
  std::string badW = doc;
  badW.replace(badW.find("/W [1 2 1]"), 10, "/W [2 2 1]");
  EXPECT_FALSE(p.ParseBytes(Bytes(badW)));
  std::string wrongWidth = doc;
  wrongWidth.replace(wrongWidth.find("/W [1 2 1]"), 10, "/W [1 2 2]");
  EXPECT_FALSE(p.ParseBytes(Bytes(wrongWidth))) << "data length not a multiple of the entry size";
}

TEST(PdfParser, PngPredictorsIncludingPaethTieOrder) {
  // Two rows of 3 bytes; row 2 uses each filter in turn on known data.
  auto run = [](std::uint8_t filter, std::array<std::uint8_t, 3> second) {
    std::vector<std::uint8_t> d = {0, 10, 20, 30, filter, second[0], second[1], second[2]};
    EXPECT_TRUE(TPDFParser::UnpredictPng(d, 3, 1));
    return d;
  };
  EXPECT_EQ(run(0, {1, 2, 3}), (std::vector<std::uint8_t>{10, 20, 30, 1, 2, 3}));
  EXPECT_EQ(run(1, {1, 2, 3}), (std::vector<std::uint8_t>{10, 20, 30, 1, 3, 6}));
  EXPECT_EQ(run(2, {1, 2, 3}), (std::vector<std::uint8_t>{10, 20, 30, 11, 22, 33}));
  // Average: floor((left + above) / 2), left of the first byte is 0.
  EXPECT_EQ(run(3, {1, 2, 3}), (std::vector<std::uint8_t>{10, 20, 30, 6, 15, 25}));
  // Paeth: x0: a=0 b=10 c=0 -> p=10, pb=0 -> above (10) -> 11.
  // x1: a=11 b=20 c=10 -> p=21, pa=10 pb=1 pc=11 -> above -> 22.
  EXPECT_EQ(run(4, {1, 2, 3}), (std::vector<std::uint8_t>{10, 20, 30, 11, 22, 33}));
  // Paeth ties. Row 1 gives "above" and "upper-left"; the first byte of
  // row 2 decodes to 0, so the second byte sees left 0.
  // left 0, above 3, upper-left 2: p = 1, left and upper-left both 1 away -> left.
  std::vector<std::uint8_t> leftFirst = {0, 2, 3, 4, 254, 0};
  ASSERT_TRUE(TPDFParser::UnpredictPng(leftFirst, 2, 1));
  EXPECT_EQ(leftFirst, (std::vector<std::uint8_t>{2, 3, 0, 0}));
  // left 0, above 3, upper-left 1: p = 2, above and upper-left both 1 away -> above.
  std::vector<std::uint8_t> aboveFirst = {0, 1, 3, 4, 255, 0};
  ASSERT_TRUE(TPDFParser::UnpredictPng(aboveFirst, 2, 1));
  EXPECT_EQ(aboveFirst, (std::vector<std::uint8_t>{1, 3, 0, 3}));
  std::vector<std::uint8_t> bad = {5, 1, 2};
  EXPECT_FALSE(TPDFParser::UnpredictPng(bad, 2, 1));
}

TEST(PdfParser, PageTreeDescentAndItsLimits) {
  auto doc = [](const std::string& root, const std::string& extra) {
    PdfBuilder b;
    b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Object(2, root);
    for (int n : {5, 6, 7})
      b.Object(n, "<< /Type /Page /MediaBox [0 0 72 72] /Resources << /XObject << /I 9 0 R >> >> >>");
    b.Object(9, "<< /Subtype /Image /Width 1 /Height 1 /BitsPerComponent 8 /Length 1 >>\nstream\nz\nendstream");
    if (!extra.empty()) b.Object(3, extra);
    if (!extra.empty()) b.Object(4, "<< /Type /Pages /Kids [7 0 R] /Count 1 >>");
    return Bytes(b.Finish("/Root 1 0 R"));
  };
  TPDFParser p;
  EXPECT_TRUE(p.ParseBytes(doc("<< /Type /Pages /Kids [5 0 R 6 0 R 7 0 R] /Count 3 >>", "")));
  EXPECT_EQ(p.PageCount(), 3);
  EXPECT_TRUE(p.ParseBytes(
      doc("<< /Type /Pages /Kids [3 0 R] /Count 3 >>", "<< /Type /Pages /Kids [5 0 R 6 0 R 7 0 R] /Count 3 >>")));
  EXPECT_EQ(p.PageCount(), 3) << "one intermediate node";
  EXPECT_FALSE(p.ParseBytes(
      doc("<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 3 >>", "<< /Type /Pages /Kids [5 0 R 6 0 R] /Count 2 >>")))
      << "pages spread over two nodes are not supported";
  EXPECT_FALSE(p.ParseBytes(doc("<< /Type /Pages /Kids [2 0 R 5 0 R] /Count 6 >>", "")))
      << "a node that lists itself first must not loop";
  EXPECT_FALSE(
      p.ParseBytes(doc("<< /Type /Pages /Kids [3 0 R] /Count 2 >>", "<< /Type /Pages /Kids [2 0 R] /Count 2 >>")));
  EXPECT_FALSE(p.ParseBytes(doc("<< /Type /Pages /Kids [] /Count 0 >>", "")));
}

TEST(PdfParser, SameStreamIsParsedOnceWhileItsBytesStayTheSame) {
  TMemoryStream s(Bytes(OnePage()));
  TPDFParser p;
  ASSERT_TRUE(p.Parse(s));
  ASSERT_TRUE(p.Parse(s));
  EXPECT_EQ(p.ParseCount(), 1);
  EXPECT_EQ(s.Position(), 0);
  // The same stream object with new content is parsed again.
  s.Bytes()[s.Bytes().size() - 3] = 'X';
  p.Parse(s);
  EXPECT_EQ(p.ParseCount(), 2);
  TMemoryStream other(Bytes(OnePage()));
  ASSERT_TRUE(p.Parse(other));
  EXPECT_EQ(p.ParseCount(), 3);
}

TEST(PdfParser, DamagedDocumentsFailWithoutReadingOutside) {
  const std::string good = OnePage();
  // Every prefix and a few corruptions must be handled without a crash.
  for (std::size_t n = 0; n < good.size(); n += 7) {
    TPDFParser p;
    if (p.ParseBytes(Bytes(good.substr(0, n)))) p.Page(0);
  }
  const std::string longLength = OnePage("", "", "99999");
  TPDFParser p;
  ASSERT_TRUE(p.ParseBytes(Bytes(longLength)));
  EXPECT_EQ(p.Page(0), nullptr) << "stream data beyond the end of the file";
  std::string unclosed = good;
  unclosed.replace(unclosed.find(">> >> "), 6, "      ");
  if (p.ParseBytes(Bytes(unclosed))) {
    EXPECT_EQ(p.Page(0), nullptr);
  }
}

// --- documents from other producers ------------------------------------------

struct CorpusPage {
  int Width, Height, Dpi, Compression, Rotate;
};
struct CorpusFile {
  const char* Name;
  int Pages;                         // 0: the parse fails
  std::vector<CorpusPage> Expected;  // pages that must be located (first pages)
};

int DpiOf(const TPDFParser::TPageRecord& r) {
  return static_cast<int>(std::nearbyint(r.Width / ((r.MediaBox[2] - r.MediaBox[0]) / 72.0)));
}

TEST(PdfParser, CorpusFilesReportTheirPagesSizesAndResolutions) {
  constexpr int G4 = TPDFParser::pcGroup4, G3 = TPDFParser::pcGroup3, RLE = TPDFParser::pcCcittRle,
                JPG = TPDFParser::pcJpeg, ZIP = TPDFParser::pcDeflate, PB = TPDFParser::pcPackBits;
  const CorpusPage feyn{2528, 3300, 300, G4, 0}, seg{2560, 3300, 300, G4, 0}, shearer{2264, 2997, 300, G4, 0};
  const std::vector<CorpusFile> files = {
      {"gen-img2pdf-ccitt-k-1-3p.pdf", 3, {feyn, seg, shearer}},
      {"gen-exiftool-incremental-classic-3p.pdf", 3, {feyn, seg, shearer}},
      {"gen-pymupdf-incremental-page2-rotate90-3p.pdf", 3, {feyn, {2560, 3300, 300, G4, 90}, shearer}},
      {"gen-qpdf-linearized-classic-3p.pdf", 3, {feyn, seg, shearer}},
      {"gen-qpdf-objstm-xrefstream-3p.pdf", 3, {feyn, seg, shearer}},
      {"gen-qpdf-pagetree-one-intermediate-3p.pdf", 3, {feyn, seg, shearer}},
      {"gen-qpdf-pagetree-chain-two-intermediate-3p.pdf", 3, {feyn, seg, shearer}},
      {"gen-tiff2pdf-ccitt-g4-3p.pdf", 3, {feyn, seg, shearer}},
      {"gen-gs-ccitt-k-1.pdf", 1, {feyn}},
      {"gen-gs-ccitt-k0-bytealign.pdf", 1, {{2528, 3300, 300, RLE, 0}}},
      {"gen-gs-ccitt-k0-eol.pdf", 1, {{2528, 3300, 300, G3, 0}}},
      {"gen-gs-ccitt-k4-eol.pdf", 1, {{2528, 3300, 300, G3, 0}}},
      {"gen-gs-flate-predictor15-1bit.pdf", 1, {{2528, 3300, 300, ZIP, 0}}},
      {"gen-gs-runlength-1bit.pdf", 1, {{2528, 3300, 300, PB, 0}}},
      {"gen-qpdf-flate-nopredictor-1bit.pdf", 1, {{2528, 3300, 300, ZIP, 0}}},
      {"gen-img2pdf-ccitt-blackis1-true.pdf", 1, {feyn}},
      {"gen-img2pdf-ccitt-rotate90.pdf", 1, {{2528, 3300, 300, G4, 90}}},
      {"gen-img2pdf-dct-cmyk-decode-array.pdf", 1, {{827, 1170, 100, JPG, 0}}},
      {"gen-img2pdf-dct-colour-150dpi.pdf", 1, {{1052, 1524, 150, JPG, 0}}},
      {"gen-img2pdf-dct-grey-300dpi.pdf", 1, {{1065, 1879, 300, JPG, 0}}},
      {"gen-img2pdf-dct-progressive-grey.pdf", 1, {{1065, 1879, 300, JPG, 0}}},
      {"gen-img2pdf-flate-png-predictor15-grey.pdf", 1, {{1065, 1879, 300, ZIP, 0}}},
      {"gen-qpdf-objstm-w121-small-dct.pdf", 1, {{600, 400, 300, JPG, 0}}},
      {"gen-tiff2pdf-dct-rgb.pdf", 1, {{827, 1170, 100, JPG, 0}}},
      {"gen-tiff2pdf-flate-grey.pdf", 1, {{1065, 1879, 300, ZIP, 0}}},
      {"real-leptonica-ccitt-imagemask-5pages.pdf", 5, {{2550, 3301, 300, G4, 0}}},
      {"real-ricoh-ccitt-k0-rotate270.pdf", 1, {{2480, 1748, 300, G3, 270}}},
      {"real-ccitt-k-neg1-0-pos1-multi-image.pdf", 1, {{81, 26, 10, G4, 0}}},
      // Linearized with cross-reference streams (a /Prev chain of them), a
      // MediaBox on the page tree, and files that open with the empty user
      // password.
      {"gen-qpdf-linearized-objstm-3p.pdf", 3, {feyn, seg, shearer}},
      {"gen-qpdf-inherited-mediabox-1p.pdf", 1, {feyn}},
      {"gen-qpdf-encrypted-aes256-emptyuserpw.pdf", 3, {feyn, seg, shearer}},
      {"real-encrypted-rc4-jpeg.pdf", 2, {{555, 600, 65, JPG, 0}, {185, 200, 22, JPG, 0}}},
      // Unsupported: no pages, or pages whose image cannot be located.
      {"gen-leading-garbage-before-header.pdf", 0, {}},
      {"gen-exiftool-incremental-xrefstream-unfiltered-3p.pdf", 0, {}},
      {"gen-qpdf-pagetree-selfloop-malformed.pdf", 0, {}},
      {"gen-qpdf-pagetree-split-two-nodes-3p.pdf", 0, {}},
  };
  for (const CorpusFile& f : files) {
    TMemoryStream s;
    s.LoadFromFile(SharedFile(std::string("testdata/pdf/") + f.Name));
    TPDFParser p;
    EXPECT_EQ(p.Parse(s), f.Pages > 0) << f.Name;
    EXPECT_EQ(p.PageCount(), f.Pages) << f.Name;
    for (std::size_t i = 0; i < f.Expected.size(); ++i) {
      const auto* r = p.Page(static_cast<int>(i));
      ASSERT_NE(r, nullptr) << f.Name << " page " << i + 1;
      const CorpusPage& e = f.Expected[i];
      EXPECT_EQ(r->Width, e.Width) << f.Name;
      EXPECT_EQ(r->Height, e.Height) << f.Name;
      if (e.Dpi != 10) {
        EXPECT_EQ(DpiOf(*r), e.Dpi) << f.Name;
      }
      EXPECT_EQ(r->Compression, e.Compression) << f.Name;
      EXPECT_EQ(r->Rotate, e.Rotate) << f.Name;
    }
  }
}

TEST(PdfParser, CorpusFilesWhoseImagesCannotBeDecoded) {
  // Counted, but the page image is refused: chained filters, JBIG2, JPX,
  // Group 3 without EOL codes.
  const std::vector<std::pair<const char*, int>> files = {
      {"real-canon-scan-chained-flate-dct-trailing-garbage.pdf", 1},
      {"real-jbig2-scan-2pages.pdf", 2},
      {"real-jpx-img2pdf.pdf", 1},
      {"gen-img2pdf-jpx-grey.pdf", 1},
      {"gen-gs-ccitt-k0.pdf", 1},
      {"gen-gs-ccitt-k4.pdf", 1},
  };
  for (const auto& [name, pages] : files) {
    TMemoryStream s;
    s.LoadFromFile(SharedFile(std::string("testdata/pdf/") + name));
    TPDFParser p;
    p.Parse(s);
    EXPECT_EQ(p.PageCount(), pages) << name;
    for (int i = 0; i < p.PageCount(); ++i) EXPECT_EQ(p.Page(i), nullptr) << name;
  }
}

TEST(PdfParser, FlateImageWithPredictorIsUnpredictedIntoRows) {
  // Ghostscript: one predictor row of 2528 bytes spans 8 rows of the 1-bit image.
  TMemoryStream s;
  s.LoadFromFile(SharedFile("testdata/pdf/gen-gs-flate-predictor15-1bit.pdf"));
  TPDFParser p;
  ASSERT_TRUE(p.Parse(s));
  const auto* r = p.Page(0);
  ASSERT_NE(r, nullptr);
  EXPECT_GE(r->Predictor, 10);
  std::vector<std::uint8_t> data;
  int compression = 0;
  ASSERT_TRUE(p.PageImageData(*r, data, compression));
  EXPECT_EQ(compression, TPDFParser::pcNone);
  EXPECT_EQ(data.size(), std::size_t{316} * 3300);

  // The same page stored without a predictor inflates to the same rows.
  TMemoryStream plain;
  plain.LoadFromFile(SharedFile("testdata/pdf/gen-qpdf-flate-nopredictor-1bit.pdf"));
  TPDFParser q;
  ASSERT_TRUE(q.Parse(plain));
  const auto* rq = q.Page(0);
  ASSERT_NE(rq, nullptr);
  std::vector<std::uint8_t> raw;
  ASSERT_TRUE(q.PageImageData(*rq, raw, compression));
  EXPECT_EQ(compression, TPDFParser::pcNone);
  EXPECT_EQ(raw, data) << "the same rows; qpdf's padded last row is dropped";
}

}  // namespace
