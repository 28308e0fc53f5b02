// The minimal TIFF directory reader and the one-strip wrapper, checked
// against what libtiff writes and reads.
#include <gtest/gtest.h>
#include <tiffio.h>

#include "PdfTestSupport.h"
#include "image/TiffDecoder.h"
#include "image/TiffEncoder.h"
#include "support/TestSupport.h"

namespace {

void DrawTestPattern(TDibGraphic& page, int width, int height) {
  MakeWhitePage(page, width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if ((x * 7 + y * 3) % 11 == 0 || (x > width / 3 && x < width / 2)) page.SetPixelIndex(x, y, 0);
}

TEST(TiffDecoder, FindsTheStripOfLibtiffFilesInBothByteOrders) {
  TDibGraphic page;
  DrawTestPattern(page, 301, 77);
  for (bool bigEndian : {false, true}) {
    const std::string path = TestTempDir() + "/g4.tif";
    const std::vector<std::uint8_t> file = pdftest::Group4Tiff(page, path, bigEndian);
    ASSERT_FALSE(file.empty());
    TTiffDecoder decoder(file.data(), file.size());
    decoder.ReadHeader();
    EXPECT_EQ(decoder.BigEndian(), bigEndian);
    decoder.ReadDirectory(0);
    EXPECT_EQ(decoder.TagValue(256), 301u);
    EXPECT_EQ(decoder.TagValue(257), 77u);
    EXPECT_EQ(decoder.TagValue(259), 4u) << "a SHORT value in either byte order";
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    std::uint64_t* offsets = nullptr;
    std::uint64_t* counts = nullptr;
    TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets);
    TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts);
    EXPECT_EQ(decoder.TagValue(273), offsets[0]);
    EXPECT_EQ(decoder.TagValue(279), counts[0]);
    TIFFClose(tif);
    EXPECT_THROW(decoder.ReadDirectory(1), EImagingError);
    EXPECT_THROW(decoder.TagValue(999), EImagingError);
  }
}

TEST(TiffDecoder, DamagedFilesRaiseInsteadOfReadingOutside) {
  // Two directories that point at each other: asking for a later one ends.
  std::vector<std::uint8_t> loop = {'I', 'I', 42, 0, 8, 0, 0, 0,
                                    // directory at 8: one entry, next = 26
                                    1, 0, 0, 1, 3, 0, 1, 0, 0, 0, 5, 0, 0, 0, 26, 0, 0, 0,
                                    // directory at 26: no entries, next = 8
                                    0, 0, 8, 0, 0, 0};
  TTiffDecoder d(loop.data(), loop.size());
  d.ReadDirectory(1);
  EXPECT_TRUE(d.Entries().empty());
  EXPECT_THROW(d.ReadDirectory(2), EImagingError);
  d.ReadDirectory(0);
  EXPECT_EQ(d.TagValue(256), 5u);

  std::vector<std::uint8_t> shortTable = {'I', 'I', 42, 0, 8, 0, 0, 0, 200, 0, 1, 2, 3};
  TTiffDecoder s(shortTable.data(), shortTable.size());
  EXPECT_THROW(s.ReadDirectory(0), EImagingError);
  std::vector<std::uint8_t> notTiff = {'I', 'X', 42, 0, 8, 0, 0, 0};
  TTiffDecoder n(notTiff.data(), notTiff.size());
  EXPECT_THROW(n.ReadHeader(), EImagingError);
  TTiffDecoder empty(nullptr, 0);
  EXPECT_THROW(empty.ReadDirectory(0), EImagingError);
  std::vector<std::uint8_t> far = {'M', 'M', 0, 42, 0x7F, 0xFF, 0xFF, 0xFF};
  TTiffDecoder f(far.data(), far.size());
  EXPECT_THROW(f.ReadDirectory(0), EImagingError);
}

TEST(TiffEncoder, WrapsDataSoThatLibtiffReadsItBack) {
  struct Case {
    int Bits, Compression, Photometric, Samples;
  } cases[] = {{1, 1, 1, 1}, {1, 4, 0, 1}, {4, 1, 1, 1}, {8, 32946, 1, 1}, {24, 1, 2, 3}, {1, 3, 0, 1}};
  for (const Case& c : cases) {
    const std::uint32_t width = 5, height = 3;
    const std::size_t rowBytes = (width * static_cast<std::uint32_t>(c.Bits) + 7) / 8;
    std::vector<std::uint8_t> data(rowBytes * height + 1);  // odd length: the directory is padded
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37);
    TTiffEncoder wrapper;
    wrapper.Width = width;
    wrapper.Height = height;
    wrapper.BitsPerPixel = c.Bits;
    wrapper.Compression = c.Compression;
    wrapper.T4Options = 1;
    TMemoryStream ms;
    wrapper.Encode(data.data(), static_cast<std::uint32_t>(data.size()), ms);

    TTiffDecoder d(ms.Memory(), static_cast<std::size_t>(ms.Size()));
    d.ReadDirectory(0);
    EXPECT_EQ(d.TagValue(273), 8u);
    EXPECT_EQ(d.TagValue(279), data.size());
    EXPECT_EQ(d.TagValue(262), static_cast<std::uint32_t>(c.Photometric)) << c.Bits << "/" << c.Compression;
    EXPECT_EQ(d.HasTag(292), c.Compression == 3);
    const std::uint8_t* head = ms.Memory();
    const std::uint32_t dir = head[4] | (head[5] << 8) | (head[6] << 16) | (head[7] << 24);
    EXPECT_EQ(dir % 2, 0u);

    const std::string path = TestTempDir() + "/wrap.tif";
    ms.SaveToFile(path);
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr) << c.Bits;
    std::uint16_t bps = 0, spp = 0, compression = 0;
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    EXPECT_EQ(bps, c.Bits == 24 ? 8 : c.Bits);
    EXPECT_EQ(spp, c.Samples);
    EXPECT_EQ(compression, c.Compression);
    if (c.Compression == 1) {
      std::vector<std::uint8_t> strip(rowBytes * height);
      ASSERT_EQ(TIFFReadEncodedStrip(tif, 0, strip.data(), static_cast<tmsize_t>(strip.size())),
                static_cast<tmsize_t>(strip.size()));
      EXPECT_TRUE(std::equal(strip.begin(), strip.end(), data.begin()));
    }
    TIFFClose(tif);
  }
  TTiffEncoder bad;
  bad.BitsPerPixel = 2;
  TMemoryStream ms;
  EXPECT_THROW(bad.Encode(nullptr, 0, ms), EImagingError);
}

}  // namespace
