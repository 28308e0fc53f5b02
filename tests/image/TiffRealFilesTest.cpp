// Real TIFF files written by other programs: page counts, sizes, formats,
// resolutions and pixels. Pixels are compared with libtiff's own whole-page
// RGBA decoding (oriented top-left), which shares none of our routing,
// inversion or rotation code.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "image/TiffGraphic.h"
#include "support/TestSupport.h"

namespace {

std::string TiffFile(const std::string& name) { return SharedFile("testdata/tiff/" + name); }

// Top-left oriented RGBA of one page as libtiff decodes it.
std::vector<std::uint32_t> LibtiffRgba(const std::string& path, int page, std::uint32_t& w, std::uint32_t& h) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) throw std::runtime_error("reference open failed");
  if (page > 1 && !TIFFSetDirectory(tif, static_cast<tdir_t>(page - 1))) {
    TIFFClose(tif);
    throw std::runtime_error("reference page missing");
  }
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  std::vector<std::uint32_t> raster(static_cast<std::size_t>(w) * h);
  const int ok = TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 1);
  TIFFClose(tif);
  if (!ok) throw std::runtime_error("reference decode failed");
  return raster;
}

// Number of pixels whose colour differs by more than `tolerance` in any
// channel from the reference (complemented when `inverted`).
std::int64_t DifferingPixels(const TDibGraphic& image, const std::vector<std::uint32_t>& ref, bool inverted,
                             int tolerance) {
  std::int64_t differing = 0;
  const int w = image.Width();
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint32_t r = ref[static_cast<std::size_t>(y) * w + x];
      int rr = static_cast<int>(TIFFGetR(r)), rg = static_cast<int>(TIFFGetG(r)), rb = static_cast<int>(TIFFGetB(r));
      if (inverted) {
        rr = 255 - rr;
        rg = 255 - rg;
        rb = 255 - rb;
      }
      const TColor32 c = image.GetPixel(x, y);
      if (std::abs(RedOf(c) - rr) > tolerance || std::abs(GreenOf(c) - rg) > tolerance ||
          std::abs(BlueOf(c) - rb) > tolerance)
        ++differing;
    }
  }
  return differing;
}

double BlackShare(const TDibGraphic& image) {
  std::int64_t black = 0;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) black += image.GetPixelIndex(x, y) == 0;
  return static_cast<double>(black) / (static_cast<double>(image.Width()) * image.Height());
}

struct RealTiff {
  const char* Name;
  int Pages;
  int Page;  // page checked
  int Width;
  int Height;
  TImageFormat Format;
  int Dpi;
  TTiffCompression Compression;
  bool FaxSenseInverted;  // CCITT page marked Photometric 1: read as white-is-zero
  int Tolerance;          // per channel, against libtiff's RGBA
};

const RealTiff kRealTiffs[] = {
    {"real-eurotext-none-1bit-300dpi.tif", 1, 1, 1024, 800, ifBlackWhite, 300, tcNone, false, 0},
    {"real-fax-form-g4-300dpi.tif", 1, 1, 2453, 3369, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"real-feyn-g4-300dpi-leftborder.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"real-grey-alpha-planar2.tif", 1, 1, 64, 64, ifGray256, 300, tcPackbits, false, 0},
    {"real-grey16-minisblack-none.tif", 1, 1, 157, 151, ifGray256, 96, tcNone, false, 1},
    {"real-grey8-minisblack-none.tif", 1, 1, 157, 151, ifGray256, 96, tcNone, false, 0},
    {"real-jpegtiff-grey8-72dpi.tif", 1, 1, 640, 400, ifGray256, 72, tcJPEG, false, 0},
    {"real-jpegtiff-ycbcr-96dpi.tif", 1, 1, 659, 799, ifTrueColor, 96, tcJPEG, false, 0},
    {"real-lzw-1bit-400dpi-drawing.tif", 1, 1, 7795, 3122, ifBlackWhite, 400, tcLZW, false, 0},
    {"real-lzw-rgba-200dpi-rotated90.tif", 1, 1, 480, 640, ifTrueColor, 200, tcLZW, false, 0},
    {"real-pageseg1-magazine-g4-300dpi.tif", 1, 1, 2560, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"real-pair-g4-photometric0-miniswhite.tif", 1, 1, 100, 150, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"real-pair-g4-photometric1-minisblack.tif", 1, 1, 100, 150, ifBlackWhite, 300, tcCCITT4, true, 0},
    {"real-palette-1bit.tif", 1, 1, 157, 151, ifColor16, 96, tcNone, false, 0},
    {"real-palette-4bit.tif", 1, 1, 157, 151, ifColor16, 96, tcNone, false, 0},
    {"real-palette-8bit.tif", 1, 1, 157, 151, ifColor256, 96, tcNone, false, 0},
    {"real-phototest-none-1bit-200dpi.tif", 1, 1, 640, 480, ifBlackWhite, 200, tcNone, false, 0},
    {"real-rgb48-none.tif", 1, 1, 157, 151, ifTrueColor, 96, tcNone, false, 0},
    {"real-scots-newspaper-g4-300dpi.tif", 1, 1, 2900, 3200, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"real-shearer-g4-300dpi-darkborders.tif", 1, 1, 2264, 2997, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"real-tiled-jpeg-ycbcr.tif", 1, 1, 512, 384, ifTrueColor, 96, tcJPEG, false, 0},
    {"real-unlv-bigendian-g4-300dpi-nounit.tif", 1, 1, 3312, 2550, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"real-witten-g4-photometric1-res1200.tif", 1, 1, 2293, 3106, ifBlackWhite, 1200, tcCCITT4, true, 0},
    {"gen-darkborder-scots-g4.tif", 1, 1, 3020, 3245, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-feyn-ccittrle-comp2-gs.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT3_1D, false, 0},
    {"gen-feyn-ccittrle-comp2-photometric1-pillow.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT3_1D, true, 0},
    {"gen-feyn-deflate32946-1bit.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcZLib, false, 0},
    {"gen-feyn-g3-1d-t4absent.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT3_1D, false, 0},
    {"gen-feyn-g3-1d-t4opt4-gs.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT3_1D, false, 0},
    {"gen-feyn-g3-1d-t4opt4.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT3_1D, false, 0},
    {"gen-feyn-g3-2d-t4opt1.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT3_2D, false, 0},
    {"gen-feyn-g3-2d-t4opt5-fillorder2.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT3_2D, false, 0},
    {"gen-feyn-g3-2d-t4opt5-gs.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT3_2D, false, 0},
    {"gen-feyn-g4-200dpi.tif", 1, 1, 1685, 2200, ifBlackWhite, 200, tcCCITT4, false, 0},
    {"gen-feyn-g4-600dpi.tif", 1, 1, 5056, 6600, ifBlackWhite, 600, tcCCITT4, false, 0},
    {"gen-feyn-g4-64rows-per-strip.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-feyn-g4-bigtiff.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-feyn-g4-fillorder2.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-feyn-g4-nores.tif", 1, 1, 2528, 3300, ifBlackWhite, 96, tcCCITT4, false, 0},
    {"gen-feyn-g4-orientation3.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-feyn-g4-photometric1-pillow.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, true, 0},
    {"gen-feyn-g4-rescm-118.11.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-feyn-g4-resunit1.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-feyn-g4-rps-ffffffff.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-feyn-g4-tiled256-orientation3.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-feyn-g4-tiled256.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-feyn-lzw-1bit-25rows-gs.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcLZW, false, 0},
    {"gen-feyn-lzw-1bit.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcLZW, false, 0},
    {"gen-feyn-packbits-1bit.tif", 1, 1, 2528, 3300, ifBlackWhite, 300, tcPackbits, false, 0},
    {"gen-ja-bookspread-g4-darkborder.tif", 1, 1, 2048, 1446, ifBlackWhite, 200, tcCCITT4, false, 0},
    {"gen-ja-vertical-g4-300dpi.tif", 1, 1, 2481, 3510, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-ja-vertical-palette4-lzw.tif", 1, 1, 827, 1170, ifColor16, 100, tcLZW, false, 0},
    {"gen-ja-vertical-palette8-tiffmedian.tif", 1, 1, 827, 1170, ifColor256, 100, tcLZW, false, 0},
    {"gen-ja-vertical-rgb24-jpeg-rgb.tif", 1, 1, 827, 1170, ifTrueColor, 100, tcJPEG, false, 0},
    {"gen-ja-vertical-rgb24-jpeg-ycbcr-orientation3.tif", 1, 1, 827, 1170, ifTrueColor, 100, tcJPEG, false, 0},
    {"gen-ja-vertical-rgb24-jpeg-ycbcr.tif", 1, 1, 827, 1170, ifTrueColor, 100, tcJPEG, false, 0},
    {"gen-ja-vertical-rgb24-lzw-pred2.tif", 1, 1, 827, 1170, ifTrueColor, 100, tcLZW, false, 0},
    {"gen-ja-vertical-rgb24-planar2-lzw.tif", 1, 1, 827, 1170, ifTrueColor, 100, tcLZW, false, 0},
    {"gen-ja-vertical-rgb24-tiled256-lzw.tif", 1, 1, 827, 1170, ifTrueColor, 100, tcLZW, false, 0},
    {"gen-lucasta-grey2-lzw.tif", 1, 1, 1065, 1879, ifTrueColor, 300, tcLZW, false, 0},
    {"gen-lucasta-grey4-lzw.tif", 1, 1, 1065, 1879, ifGray16, 300, tcLZW, false, 0},
    {"gen-lucasta-grey8-jpeg-comp7.tif", 1, 1, 1065, 1879, ifGray256, 300, tcJPEG, false, 0},
    {"gen-lucasta-grey8-lzw-pred2.tif", 1, 1, 1065, 1879, ifGray256, 300, tcLZW, false, 0},
    {"gen-lucasta-grey8-miniswhite-lzw.tif", 1, 1, 1065, 1879, ifGray256, 300, tcLZW, false, 0},
    {"gen-lucasta-grey8-packbits-32rows.tif", 1, 1, 1065, 1879, ifGray256, 300, tcPackbits, false, 0},
    {"gen-lucasta-grey8-tiled128-lzw.tif", 1, 1, 1065, 1879, ifGray256, 300, tcLZW, false, 0},
    {"gen-multipage-3p-g4.tif", 3, 2, 2560, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-multipage-3p-g4.tif", 3, 3, 2264, 2997, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-multipage-4p-mixed.tif", 4, 1, 2528, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-multipage-4p-mixed.tif", 4, 2, 2560, 3300, ifBlackWhite, 300, tcCCITT3_2D, false, 0},
    {"gen-multipage-4p-mixed.tif", 4, 3, 2264, 2997, ifBlackWhite, 300, tcLZW, false, 0},
    {"gen-multipage-4p-mixed.tif", 4, 4, 533, 940, ifGray256, 150, tcPackbits, false, 0},
    {"gen-skew-ccw1.5-blackcorners-pageseg1-g4.tif", 1, 1, 2648, 3368, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-skew-ccw2.5-scots-g4.tif", 1, 1, 3038, 3326, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-skew-cw1.0-pageseg1-g4.tif", 1, 1, 2620, 3346, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-skew-cw2.0-ja-vertical-g4.tif", 1, 1, 2603, 3596, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-specks-pageseg1-g4.tif", 1, 1, 2560, 3300, ifBlackWhite, 300, tcCCITT4, false, 0},
    {"gen-unpaper-imgsrc001-g4-300dpi.tif", 1, 1, 2480, 3507, ifBlackWhite, 300, tcCCITT4, false, 0},
};

class TiffRealFile : public testing::TestWithParam<RealTiff> {};

TEST_P(TiffRealFile, LoadsLikeLibtiffWithTheStatedFacts) {
  const RealTiff& t = GetParam();
  const std::string path = TiffFile(t.Name);
  TTiffGraphic g;
  {
    TFileStream s(path, TFileMode::fmOpenRead);
    EXPECT_EQ(g.GetImageCount(s), t.Pages);
    EXPECT_EQ(s.Position(), 0);
  }
  g.ImageToLoad = t.Page;
  g.LoadFromFile(path);
  EXPECT_EQ(g.Width(), t.Width);
  EXPECT_EQ(g.Height(), t.Height);
  EXPECT_EQ(g.ImageFormat(), t.Format);
  EXPECT_EQ(g.XDotsPerInch(), t.Dpi);
  EXPECT_EQ(g.YDotsPerInch(), t.Dpi);
  EXPECT_EQ(g.Compression(), t.Compression);

  std::uint32_t w = 0, h = 0;
  const auto ref = LibtiffRgba(path, t.Page, w, h);
  ASSERT_EQ(static_cast<int>(w), g.Width());
  ASSERT_EQ(static_cast<int>(h), g.Height());
  EXPECT_EQ(DifferingPixels(g, ref, t.FaxSenseInverted, t.Tolerance), 0);
}

INSTANTIATE_TEST_SUITE_P(Corpus, TiffRealFile, testing::ValuesIn(kRealTiffs),
                         [](const testing::TestParamInfo<RealTiff>& info) {
                           std::string name = info.param.Name;
                           name = name.substr(0, name.size() - 4) + "_p" + std::to_string(info.param.Page);
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(TiffRealFiles, UnsupportedCompressionsAreRefusedByTag) {
  const std::pair<const char*, const char*> cases[] = {
      {"real-adobedeflate8-grey8.tif", "ETiffError Unsupported compression tag, 8"},
      {"real-adobedeflate8-rgba-rescm.tif", "ETiffError Unsupported compression tag, 8"},
      {"gen-feyn-adobedeflate8-1bit.tif", "ETiffError Unsupported compression tag, 8"},
      {"real-oldjpeg-compression6.tif", "ETiffError Unsupported compression tag, 6"},
  };
  for (const auto& [name, message] : cases) {
    TTiffGraphic g;
    try {
      g.LoadFromFile(TiffFile(name));
      ADD_FAILURE() << name << " loaded";
    } catch (const ETiffError& e) {
      EXPECT_STREQ(e.what(), message) << name;
    }
  }
}

TEST(TiffRealFiles, DamagedFaxStripFailsCleanly) {
  TTiffGraphic g;
  try {
    g.LoadFromFile(TiffFile("real-fax-g3-1d-noeol-damaged.tif"));
    ADD_FAILURE() << "damaged strip loaded as a whole page";
  } catch (const ETiffError& e) {
    EXPECT_STREQ(e.what(), "ETiffError TIFFReadScanline");
    // libtiff's complaint is kept on the object, not printed.
    EXPECT_NE(g.LastLibraryWarning().find("Premature EOL"), std::string::npos);
  }
}

TEST(TiffRealFiles, FaxPagesMarkedBlackIsZeroReadAsWhiteIsZero) {
  // The pair holds one picture coded both ways: the Photometric 1 page comes
  // out as the complement of the Photometric 0 page.
  TTiffGraphic zero, one;
  zero.LoadFromFile(TiffFile("real-pair-g4-photometric0-miniswhite.tif"));
  one.LoadFromFile(TiffFile("real-pair-g4-photometric1-minisblack.tif"));
  ASSERT_EQ(zero.Width(), one.Width());
  for (int y = 0; y < zero.Height(); ++y)
    for (int x = 0; x < zero.Width(); ++x)
      ASSERT_EQ(zero.GetPixelIndex(x, y), 1 - one.GetPixelIndex(x, y)) << x << "," << y;
  EXPECT_LT(BlackShare(zero), 0.5);
  EXPECT_GT(BlackShare(one), 0.5);

  TTiffGraphic witten;
  witten.LoadFromFile(TiffFile("real-witten-g4-photometric1-res1200.tif"));
  EXPECT_GT(BlackShare(witten), 0.85);  // libtiff: 89.8 % of the bits are 1 (white)
}

TEST(TiffRealFiles, OrientationThreePagesComeOutUpright) {
  TTiffGraphic feyn;
  feyn.LoadFromFile(TiffFile("real-feyn-g4-300dpi-leftborder.tif"));
  for (const char* name : {"gen-feyn-g4-orientation3.tif", "gen-feyn-g4-tiled256-orientation3.tif"}) {
    TTiffGraphic turned;
    turned.LoadFromFile(TiffFile(name));
    EXPECT_TRUE(SamePixels(feyn, turned)) << name;
  }
}

TEST(TiffRealFiles, BigTiffFailsTheSignatureButLoads) {
  const std::string path = TiffFile("gen-feyn-g4-bigtiff.tif");
  TTiffGraphic g;
  TFileStream s(path, TFileMode::fmOpenRead);
  EXPECT_FALSE(g.IsValidFormat(s));
  g.LoadFromStream(s);
  EXPECT_EQ(g.Width(), 2528);
  TTiffGraphic classic;
  TFileStream c(TiffFile("real-feyn-g4-300dpi-leftborder.tif"), TFileMode::fmOpenRead);
  EXPECT_TRUE(classic.IsValidFormat(c));
}

TEST(TiffRealFiles, StripSettingsAndTextTagsAreRead) {
  TTiffGraphic g;
  g.LoadFromFile(TiffFile("gen-feyn-g4-64rows-per-strip.tif"));
  EXPECT_EQ(g.RowsPerStrip, 64u);
  g.LoadFromFile(TiffFile("gen-feyn-g4-rps-ffffffff.tif"));
  EXPECT_EQ(g.RowsPerStrip, 3300u);
  g.LoadFromFile(TiffFile("gen-feyn-g4-tiled256.tif"));
  EXPECT_EQ(g.RowsPerStrip, TTiffGraphic::DefaultRowsPerStrip);
  g.LoadFromFile(TiffFile("real-grey-alpha-planar2.tif"));
  EXPECT_EQ(g.ImageDescription, "Close up of a ladder");
  EXPECT_EQ(g.Artist, "Stockdisc");
  EXPECT_EQ(g.DateTime, "2009:01:22 14:56:39");
  g.LoadFromFile(TiffFile("real-unlv-bigendian-g4-300dpi-nounit.tif"));
  EXPECT_FALSE(g.DocumentName.empty());
  EXPECT_FALSE(g.ImageDescription.empty());
  EXPECT_TRUE(g.Artist.empty());  // not kept from the previous page
}

TEST(TiffRealFiles, AllPagesAsFramesKeepTheirOwnSizes) {
  TTiffGraphic g;
  g.LoadAllFrames = true;
  g.LoadFromFile(TiffFile("gen-multipage-4p-mixed.tif"));
  ASSERT_EQ(g.FrameCount(), 4);
  EXPECT_EQ(g.Frame(1).Width(), 2528);
  EXPECT_EQ(g.Frame(2).Width(), 2560);
  EXPECT_EQ(g.Frame(3).Width(), 2264);
  EXPECT_EQ(g.Frame(4).ImageFormat(), ifGray256);
  EXPECT_EQ(g.Frame(4).XDotsPerInch(), 150);
}

}  // namespace
