// TJpegGraphic: round trips, refusals, densities, colour spaces, damaged
// data, and real files compared with djpeg's decoding of the same file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "image/GraphicRegistry.h"
#include "image/JpegGraphic.h"
#include "support/TestSupport.h"

namespace {

std::string JpegFile(const std::string& name) { return SharedFile("testdata/jpeg/" + name); }

void MakeColourPage(TDibGraphic& g, TImageFormat format, int width, int height, int dpi = 300) {
  g.NewImage(width, height, format, nullptr, dpi, dpi);
  // Smooth ramps, with one dark bar: what scanned pages look like to JPEG.
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = g.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const bool bar = x >= width / 3 && x < width / 3 + 8;
      const int grey = bar ? 20 : (x + y) * 255 / (width + height);
      if (format == ifTrueColor) {
        row[3 * x] = static_cast<std::uint8_t>(bar ? 30 : x * 255 / width);
        row[3 * x + 1] = static_cast<std::uint8_t>(bar ? 30 : y * 255 / height);
        row[3 * x + 2] = static_cast<std::uint8_t>(grey);
      } else {
        row[x] = static_cast<std::uint8_t>(grey);
      }
    }
  }
}

double MeanAbsDifference(const TDibGraphic& a, const TDibGraphic& b) {
  double sum = 0;
  std::int64_t n = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x, ++n) {
      const TColor32 p = a.GetPixel(x, y), q = b.GetPixel(x, y);
      sum += std::abs(RedOf(p) - RedOf(q)) + std::abs(GreenOf(p) - GreenOf(q)) + std::abs(BlueOf(p) - BlueOf(q));
    }
  return sum / (3.0 * static_cast<double>(n));
}

// djpeg's decoding of a file as an image (PGM -> ifGray256, PPM -> ifTrueColor).
bool DjpegDecode(const std::string& path, TDibGraphic& out) {
  const std::string pnm = TestTempDir() + "/ref.pnm";
  const std::string command = "djpeg -outfile '" + pnm + "' '" + path + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return false;
  std::ifstream in(pnm, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  in >> magic >> w >> h >> maxval;
  in.get();
  const bool colour = magic == "P6";
  if ((!colour && magic != "P5") || maxval != 255) return false;
  out.NewImage(w, h, colour ? ifTrueColor : ifGray256);
  std::vector<char> row(static_cast<std::size_t>(w) * (colour ? 3 : 1));
  for (int y = 0; y < h; ++y) {
    in.read(row.data(), static_cast<std::streamsize>(row.size()));
    std::uint8_t* dst = out.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      if (colour) {
        dst[3 * x] = static_cast<std::uint8_t>(row[3 * x + 2]);
        dst[3 * x + 1] = static_cast<std::uint8_t>(row[3 * x + 1]);
        dst[3 * x + 2] = static_cast<std::uint8_t>(row[3 * x]);
      } else {
        dst[x] = static_cast<std::uint8_t>(row[x]);
      }
    }
  }
  return static_cast<bool>(in);
}

// A flat CMYK JPEG with an Adobe marker, stored bytes as given.
std::vector<std::uint8_t> FlatCmykJpeg(std::uint8_t c, std::uint8_t m, std::uint8_t y, std::uint8_t k) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = 16;
  cinfo.image_height = 16;
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, JCS_CMYK);
  jpeg_set_quality(&cinfo, 100, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(16 * 4);
  for (int x = 0; x < 16; ++x) {
    row[4 * x] = c;
    row[4 * x + 1] = m;
    row[4 * x + 2] = y;
    row[4 * x + 3] = k;
  }
  for (int i = 0; i < 16; ++i) {
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

std::vector<std::uint8_t> Saved(TJpegGraphic& g) {
  TMemoryStream s;
  g.SaveToStream(s);
  return s.Bytes();
}

TEST(JpegGraphic, GreyAndColourRoundTripWithDensityInDpi) {
  for (TImageFormat format : {ifGray256, ifTrueColor}) {
    TJpegGraphic g;
    EXPECT_EQ(g.JpegQuality, 80);
    EXPECT_FALSE(g.Progressive);
    EXPECT_FALSE(g.OptimizeCoding);
    MakeColourPage(g, format, 123, 77, 240);
    const auto bytes = Saved(g);
    TMemoryStream s(bytes);
    TJpegGraphic back;
    EXPECT_TRUE(back.IsValidFormat(s));
    back.LoadFromStream(s);
    EXPECT_EQ(back.ImageFormat(), format);
    EXPECT_EQ(back.Width(), 123);
    EXPECT_EQ(back.Height(), 77);
    EXPECT_EQ(back.XDotsPerInch(), 240);
    EXPECT_EQ(back.YDotsPerInch(), 240);
    EXPECT_LT(MeanAbsDifference(g, back), 4.0);
    // Density unit 1 (dots per inch) in the JFIF header.
    EXPECT_EQ(bytes[13], 1);
    EXPECT_EQ((bytes[14] << 8) | bytes[15], 240);
  }
}

TEST(JpegGraphic, QualityProgressiveAndOptimizedCoding) {
  TJpegGraphic g;
  MakeColourPage(g, ifTrueColor, 200, 150);
  g.JpegQuality = 20;
  const auto low = Saved(g);
  g.JpegQuality = 95;
  const auto high = Saved(g);
  EXPECT_LT(low.size(), high.size());
  g.OptimizeCoding = true;
  const auto optimized = Saved(g);
  EXPECT_LT(optimized.size(), high.size());
  g.OptimizeCoding = false;
  g.Progressive = true;
  const auto progressive = Saved(g);
  auto hasMarker = [](const std::vector<std::uint8_t>& b, std::uint8_t marker) {
    for (std::size_t i = 0; i + 1 < b.size(); ++i)
      if (b[i] == 0xFF && b[i + 1] == marker) return true;
    return false;
  };
  EXPECT_TRUE(hasMarker(progressive, 0xC2));
  EXPECT_FALSE(hasMarker(high, 0xC2));
  for (const auto* bytes : {&optimized, &progressive}) {
    TMemoryStream s(*bytes);
    TJpegGraphic back;
    back.LoadFromStream(s);
    EXPECT_LT(MeanAbsDifference(g, back), 3.0);
  }
}

TEST(JpegGraphic, OnlyGreyAndTrueColourCanBeWritten) {
  for (TImageFormat format : {ifBlackWhite, ifGray16, ifColor16, ifColor256}) {
    TJpegGraphic g;
    g.NewImage(8, 8, format);
    TMemoryStream s;
    try {
      g.SaveToStream(s);
      ADD_FAILURE() << ImageFormatText(format);
    } catch (const EJpegError& e) {
      EXPECT_STREQ(e.what(), "JPEG image must be gray scale or true color");
    }
    EXPECT_EQ(s.Size(), 0);
  }
}

TEST(JpegGraphic, SignatureIsAJfifApp0) {
  TJpegGraphic g;
  TFileStream jfif(JpegFile("real-colour-bookpage-jfif-150dpi.jpg"), TFileMode::fmOpenRead);
  EXPECT_TRUE(g.IsValidFormat(jfif));
  EXPECT_EQ(jfif.Position(), 0);
  TFileStream exifFirst(JpegFile("real-exif-first-ii-300dpi.jpg"), TFileMode::fmOpenRead);
  EXPECT_FALSE(g.IsValidFormat(exifFirst));
  TMemoryStream shortStream(std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0xE0});
  EXPECT_FALSE(g.IsValidFormat(shortStream));
}

struct RealJpeg {
  const char* Name;
  int Width;
  int Height;
  TImageFormat Format;
  int Dpi;
  bool CompareWithDjpeg;
};

const RealJpeg kRealJpegs[] = {
    {"real-colour-blackletter-darkborder.jpg", 944, 1472, ifTrueColor, 96, true},
    {"real-colour-bookpage-jfif-150dpi.jpg", 1052, 1524, ifTrueColor, 150, true},
    {"real-exif-first-ii-300dpi.jpg", 640, 480, ifTrueColor, 96, true},
    {"real-exif-first-mm-72dpi.jpg", 600, 450, ifTrueColor, 96, true},
    {"real-grey-bookpage-jfif-unit0.jpg", 1065, 1879, ifGray256, 96, true},
    {"real-grey-skewed-fragment.jpg", 844, 628, ifGray256, 96, true},
    {"real-ja-horizontal-bookspread-darkborder.jpg", 2048, 1446, ifTrueColor, 96, true},
    {"real-ja-vertical-page-jfif-unit0.jpg", 827, 1170, ifTrueColor, 96, true},
    {"real-jfif72-plus-exif300.jpg", 800, 600, ifTrueColor, 72, true},
    {"real-progressive-32px.jpg", 32, 32, ifTrueColor, 72, true},
    {"real-arithmetic-coded.jpg", 227, 149, ifTrueColor, 96, true},
    {"real-adobe-cmyk-256px.jpg", 256, 256, ifTrueColor, 72, false},
    {"real-adobe-ycck.jpg", 500, 333, ifTrueColor, 96, false},
    {"gen-ja-vertical-cmyk-adobe-pillow.jpg", 827, 1170, ifTrueColor, 100, false},
    {"gen-ja-vertical-colour-progressive.jpg", 827, 1170, ifTrueColor, 96, true},
    {"gen-ja-vertical-jfif-unit2-40dpcm-imagemagick.jpg", 827, 1170, ifTrueColor, 102, true},
    {"gen-ja-vertical-ycck-imagemagick.jpg", 827, 1170, ifTrueColor, 96, false},
    {"gen-lucasta-grey-200dpi-imagemagick.jpg", 710, 1253, ifGray256, 200, true},
    {"gen-lucasta-grey-cjpeg-restart-jfif-unit0.jpg", 1065, 1879, ifGray256, 96, true},
    {"gen-lucasta-grey-exif-only-ii-300dpi.jpg", 1065, 1879, ifGray256, 96, true},
    {"gen-lucasta-grey-exif-only-mm-72dpi.jpg", 1065, 1879, ifGray256, 96, true},
    {"gen-lucasta-grey-jfif-unit0-plus-exif-300dpi.jpg", 1065, 1879, ifGray256, 96, true},
    {"gen-lucasta-grey-jfif-unit1-300dpi.jpg", 1065, 1879, ifGray256, 300, true},
    {"gen-lucasta-grey-jfif-unit2-118dpcm.jpg", 1065, 1879, ifGray256, 300, true},
    {"gen-lucasta-grey-progressive.jpg", 1065, 1879, ifGray256, 96, true},
    {"gen-skew-ccw1.2-lucasta-grey-300dpi.jpg", 1107, 1903, ifGray256, 300, true},
};

class JpegRealFile : public testing::TestWithParam<RealJpeg> {};

TEST_P(JpegRealFile, LoadsLikeDjpegWithTheStatedFacts) {
  const RealJpeg& t = GetParam();
  const std::string path = JpegFile(t.Name);
  TJpegGraphic g;
  g.LoadFromFile(path);
  EXPECT_EQ(g.Width(), t.Width);
  EXPECT_EQ(g.Height(), t.Height);
  EXPECT_EQ(g.ImageFormat(), t.Format);
  EXPECT_EQ(g.XDotsPerInch(), t.Dpi);
  EXPECT_EQ(g.YDotsPerInch(), t.Dpi);
  if (t.CompareWithDjpeg) {
    TDibGraphic ref;
    ASSERT_TRUE(DjpegDecode(path, ref));
    EXPECT_TRUE(SamePixels(g, ref));
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, JpegRealFile, testing::ValuesIn(kRealJpegs),
                         [](const testing::TestParamInfo<RealJpeg>& info) {
                           std::string name = info.param.Name;
                           name = name.substr(0, name.size() - 4);
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(JpegGraphic, AdobeCmykAndYcckLookLikeTheRgbPage) {
  TJpegGraphic rgb;
  rgb.LoadFromFile(JpegFile("real-ja-vertical-page-jfif-unit0.jpg"));
  TJpegGraphic cmyk;
  cmyk.LoadFromFile(JpegFile("gen-ja-vertical-cmyk-adobe-pillow.jpg"));
  const TColor32 corner = cmyk.GetPixel(0, 0);
  EXPECT_NEAR(RedOf(corner), 240, 3);
  EXPECT_NEAR(GreenOf(corner), 236, 3);
  EXPECT_NEAR(BlueOf(corner), 225, 3);
  EXPECT_LT(MeanAbsDifference(rgb, cmyk), 8.0);
  TJpegGraphic ycck;
  ycck.LoadFromFile(JpegFile("gen-ja-vertical-ycck-imagemagick.jpg"));
  EXPECT_LT(MeanAbsDifference(rgb, ycck), 8.0);
}

TEST(JpegGraphic, CmykFollowsTheInvertedAdobeRule) {
  struct Case {
    std::uint8_t C, M, Y, K;
    int R, G, B;
  };
  // No ink at all is white; ink + black reaching 255 clips to 0.
  const Case cases[] = {{255, 255, 255, 255, 255, 255, 255},
                        {235, 205, 255, 245, 225, 195, 245},
                        {0, 100, 200, 255, 0, 100, 200},
                        {100, 250, 250, 100, 0, 95, 95}};
  for (const Case& c : cases) {
    TMemoryStream s(FlatCmykJpeg(c.C, c.M, c.Y, c.K));
    TJpegGraphic g;
    g.LoadFromStream(s);
    ASSERT_EQ(g.ImageFormat(), ifTrueColor);
    const TColor32 p = g.GetPixel(8, 8);
    EXPECT_NEAR(RedOf(p), c.R, 2);
    EXPECT_NEAR(GreenOf(p), c.G, 2);
    EXPECT_NEAR(BlueOf(p), c.B, 2);
  }
}

TEST(JpegGraphic, TwelveBitPrecisionIsRefused) {
  TJpegGraphic g;
  try {
    g.LoadFromFile(JpegFile("real-12bit-precision.jpg"));
    FAIL();
  } catch (const EJpegError& e) {
    EXPECT_STREQ(e.what(), "Unsupported JPEG data precision 12");
  }
}

TEST(JpegGraphic, DamagedDataNeverCrashesAndNeverPrints) {
  TMemoryStream original;
  original.LoadFromFile(JpegFile("real-grey-skewed-fragment.jpg"));
  const auto& bytes = original.Bytes();
  const std::string out = [&] {
    const std::string path = TestTempDir() + "/stderr.txt";
    std::fflush(stderr);
    const int saved = dup(2);
    FILE* f = std::fopen(path.c_str(), "w");
    dup2(fileno(f), 2);

    TJpegGraphic g;
    TMemoryStream empty;
    EXPECT_THROW(g.LoadFromStream(empty), EJpegError);
    TMemoryStream notJpeg(std::vector<std::uint8_t>(100, 0x42));
    EXPECT_THROW(g.LoadFromStream(notJpeg), EJpegError);
    // Cut short inside the image data: libjpeg finishes with grey and warns.
    TMemoryStream cut(
        std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2)));
    g.LoadFromStream(cut);
    EXPECT_EQ(g.Width(), 844);
    EXPECT_GT(g.LastWarningCount(), 0);
    // Cut inside the header.
    TMemoryStream header(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 300));
    EXPECT_THROW(g.LoadFromStream(header), EJpegError);
    // Scrambled entropy data.
    std::vector<std::uint8_t> scrambled = bytes;
    for (std::size_t i = 2000; i < scrambled.size(); i += 97) scrambled[i] ^= 0x5A;
    TMemoryStream s(scrambled);
    try {
      g.LoadFromStream(s);
    } catch (const EJpegError&) {
    }

    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::fclose(f);
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  EXPECT_EQ(out, "");
}

TEST(JpegGraphic, ReadingStopsBehindTheImage) {
  // Two images back to back in one stream, as inside a PDF file.
  TJpegGraphic a, b;
  MakeColourPage(a, ifGray256, 40, 30);
  MakeColourPage(b, ifTrueColor, 50, 20);
  TMemoryStream s;
  a.SaveToStream(s);
  const std::int64_t firstEnd = s.Position();
  b.SaveToStream(s);
  s.SetPosition(0);
  TJpegGraphic back;
  back.LoadFromStream(s);
  EXPECT_EQ(s.Position(), firstEnd);
  EXPECT_EQ(back.Width(), 40);
  back.LoadFromStream(s);
  EXPECT_EQ(back.Width(), 50);
  EXPECT_EQ(back.ImageFormat(), ifTrueColor);
}

TEST(JpegGraphic, WriteFailureRaises) {
  class TFullDisk : public TMemoryStream {
   public:
    void Write(const void* buffer, std::int64_t count) override {
      if (Position() + count > 1000) throw EImagingError("Stream write error");
      TMemoryStream::Write(buffer, count);
    }
  };
  TJpegGraphic g;
  MakeColourPage(g, ifTrueColor, 300, 300);
  TFullDisk s;
  EXPECT_THROW(g.SaveToStream(s), EJpegError);
}

TEST(JpegGraphic, RegisteredForJpgAndJpeg) {
  for (const char* name : {"a.jpg", "B.JPEG", "JPG"}) {
    const TGraphicClass* cls = GraphicClassForExtension(name);
    ASSERT_NE(cls, nullptr) << name;
    EXPECT_STREQ(cls->Create()->ClassName(), "TJpegGraphic");
  }
  EXPECT_EQ(FileFormatDescription("JPG"), "JPEG");
}

}  // namespace

namespace {

TEST(JpegDamagedFiles, LoadOrFailCleanly) {
  const auto folder = std::filesystem::path(__FILE__).parent_path() / "data";
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("jpeg-", 0) != 0 && name.rfind("exif-", 0) != 0) continue;
    ++count;
    TJpegGraphic g;
    try {
      g.LoadFromFile(entry.path().string());
    } catch (const EJpegError&) {
    }
  }
  EXPECT_GE(count, 2);
}

}  // namespace
