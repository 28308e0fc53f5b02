// TTiffGraphic on pages built in the test: compression rules, round trips
// of every allowed compression and format, what lands on disk, appending,
// page selection, tags and failure handling.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>

#include "image/GraphicRegistry.h"
#include "image/TiffGraphic.h"
#include "support/TestSupport.h"

namespace {

const TTiffCompression kAllCompressions[] = {tcNone,   tcPackbits, tcCCITT3_1D, tcCCITT3_2D,
                                             tcCCITT4, tcZLib,     tcJPEG,      tcLZW};
const TImageFormat kAllFormats[] = {ifBlackWhite, ifGray16, ifGray256, ifColor16, ifColor256, ifTrueColor};

// A page of the format with varied content (runs and noise) and, for the
// colour formats, a palette of our own.
void MakePage(TDibGraphic& g, TImageFormat format, int width, int height, unsigned seed = 1) {
  TPalette palette;
  if (format == ifColor16 || format == ifColor256) {
    const int n = format == ifColor16 ? 16 : 256;
    for (int i = 0; i < n; ++i)
      palette.push_back(
          {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 13), 0});
  }
  g.NewImage(width, height, format, palette.empty() ? nullptr : &palette, 300, 200);
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = g.ScanLine(y);
    for (int i = 0; i < g.BytesPerScanLine(); ++i)
      row[i] =
          (y / 4 + i / 8) % 3 == 0 ? static_cast<std::uint8_t>(rng()) : static_cast<std::uint8_t>(0xFF * ((y / 7) % 2));
  }
}

std::vector<std::uint8_t> SaveToBytes(TTiffGraphic& g) {
  TMemoryStream s;
  g.SaveToStream(s);
  return s.Bytes();
}

void LoadFromBytes(TTiffGraphic& g, const std::vector<std::uint8_t>& bytes, int page = 1) {
  TMemoryStream s(bytes);
  g.ImageToLoad = page;
  g.LoadFromStream(s);
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

// Little-endian directory surgery on a file we wrote: the entry of `tag`.
std::size_t FindEntry(const std::vector<std::uint8_t>& b, int tag) {
  const std::size_t ifd = b[4] | (b[5] << 8) | (b[6] << 16) | (static_cast<std::size_t>(b[7]) << 24);
  const int count = b[ifd] | (b[ifd + 1] << 8);
  for (int i = 0; i < count; ++i) {
    const std::size_t e = ifd + 2 + 12 * static_cast<std::size_t>(i);
    if ((b[e] | (b[e + 1] << 8)) == tag) return e;
  }
  return 0;
}
void SetShortValue(std::vector<std::uint8_t>& b, int tag, int value) {
  const std::size_t e = FindEntry(b, tag);
  ASSERT_NE(e, 0u) << tag;
  b[e + 8] = static_cast<std::uint8_t>(value);
  b[e + 9] = static_cast<std::uint8_t>(value >> 8);
}
void RenameTag(std::vector<std::uint8_t>& b, int tag, int newTag) {
  const std::size_t e = FindEntry(b, tag);
  ASSERT_NE(e, 0u) << tag;
  b[e] = static_cast<std::uint8_t>(newTag);
  b[e + 1] = static_cast<std::uint8_t>(newTag >> 8);
}

std::string WriteTempFile(const std::vector<std::uint8_t>& bytes, const std::string& name = "page.tif") {
  const std::string path = TestTempDir() + "/" + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// Collects what the process writes to stderr while `work` runs.
template <typename F>
std::string CapturedStderr(F work) {
  const std::string path = TestTempDir() + "/stderr.txt";
  std::fflush(stderr);
  const int saved = dup(2);
  FILE* f = std::fopen(path.c_str(), "w");
  dup2(fileno(f), 2);
  work();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::fclose(f);
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(TiffCompression, TextsTagsAndAllowedPairs) {
  EXPECT_STREQ(TiffCompressionText(tcNone), "None");
  EXPECT_STREQ(TiffCompressionText(tcPackbits), "Packbits");
  EXPECT_STREQ(TiffCompressionText(tcCCITT3_1D), "CCITT Group 3, 1D");
  EXPECT_STREQ(TiffCompressionText(tcCCITT3_2D), "CCITT Group 3, 2D");
  EXPECT_STREQ(TiffCompressionText(tcCCITT4), "CCITT Group 4");
  EXPECT_STREQ(TiffCompressionText(tcZLib), "ZLib");
  EXPECT_STREQ(TiffCompressionText(tcJPEG), "JPEG");
  EXPECT_STREQ(TiffCompressionText(tcLZW), "LZW");
  const int tags[] = {1, 32773, 3, 3, 4, 32946, 7, 5};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(TiffCompressionTag(kAllCompressions[i]), tags[i]);

  int allowed = 0;
  for (TImageFormat f : kAllFormats)
    for (TTiffCompression c : kAllCompressions) allowed += TiffCompressionAllowed(c, f);
  EXPECT_EQ(allowed, 7 + 4 * 3 + 5 * 2);
  EXPECT_FALSE(TiffCompressionAllowed(tcJPEG, ifBlackWhite));
  EXPECT_FALSE(TiffCompressionAllowed(tcCCITT4, ifGray256));
  EXPECT_FALSE(TiffCompressionAllowed(tcJPEG, ifColor256));
  EXPECT_TRUE(TiffCompressionAllowed(tcJPEG, ifTrueColor));
}

TEST(TiffCompression, ForbiddenPairsAreRefusedAndNotStored) {
  TTiffGraphic g;
  g.NewImage(8, 8, ifTrueColor);
  g.SetCompression(tcLZW);
  try {
    g.SetCompression(tcCCITT4);
    FAIL();
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "CCITT Group 4 compression not supported with True color images");
  }
  EXPECT_EQ(g.Compression(), tcLZW);
  g.NewImage(8, 8, ifBlackWhite);
  try {
    g.SetCompression(tcJPEG);
    FAIL();
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "JPEG compression not supported with Black and white images");
  }
  EXPECT_EQ(g.Compression(), tcCCITT4);
}

TEST(TiffGraphic, NewImageAndAssignSetTheDefaultCompression) {
  TTiffGraphic g;
  EXPECT_EQ(g.RowsPerStrip, 0x7FFFFFFFu);
  EXPECT_EQ(g.JpegQuality, 70);
  EXPECT_FALSE(g.FillOrderLsbFirst);
  g.NewImage(10, 10, ifBlackWhite);
  EXPECT_EQ(g.Compression(), tcCCITT4);
  g.NewImage(10, 10, ifGray256);
  EXPECT_EQ(g.Compression(), tcPackbits);

  TTiffGraphic lzw;
  MakePage(lzw, ifBlackWhite, 40, 30);
  lzw.SetCompression(tcLZW);
  lzw.RowsPerStrip = 16;
  TTiffGraphic copy;
  copy.NewImage(5, 5, ifTrueColor);
  copy.Assign(lzw);
  EXPECT_EQ(copy.Compression(), tcCCITT4);
  EXPECT_EQ(copy.RowsPerStrip, 16u);
  EXPECT_TRUE(SamePixels(copy, lzw));
  EXPECT_STREQ(copy.ClassName(), "TTiffGraphic");
  EXPECT_STREQ(copy.NewInstance()->ClassName(), "TTiffGraphic");
}

TEST(TiffGraphic, EveryAllowedCompressionAndFormatRoundTrips) {
  for (TImageFormat format : kAllFormats) {
    for (TTiffCompression compression : kAllCompressions) {
      if (!TiffCompressionAllowed(compression, format)) continue;
      SCOPED_TRACE(std::string(ImageFormatText(format)) + " / " + TiffCompressionText(compression));
      for (int width : {1, 33, 157}) {
        TTiffGraphic g;
        MakePage(g, format, width, 45, static_cast<unsigned>(width));
        g.SetCompression(compression);
        const auto bytes = SaveToBytes(g);
        TTiffGraphic back;
        TMemoryStream probe(bytes);
        EXPECT_TRUE(back.IsValidFormat(probe));
        EXPECT_EQ(back.GetImageCount(probe), 1);
        LoadFromBytes(back, bytes);
        ASSERT_EQ(back.Width(), width);
        ASSERT_EQ(back.Height(), 45);
        EXPECT_EQ(back.ImageFormat(), format);
        EXPECT_EQ(back.Compression(), compression);
        EXPECT_EQ(back.XDotsPerInch(), 300);
        EXPECT_EQ(back.YDotsPerInch(), 200);
        if (compression == tcJPEG)
          EXPECT_LT(MeanAbsDifference(g, back), 40.0);
        else
          EXPECT_TRUE(SamePixels(g, back));
      }
    }
  }
}

TEST(TiffGraphic, FaxPagesAreStoredWhiteIsZeroOthersBlackIsZero) {
  TTiffGraphic g;
  MakePageFromText(g, {"#.......#", "..###....", ".........", "########."});
  for (TTiffCompression c : {tcCCITT3_1D, tcCCITT3_2D, tcCCITT4, tcLZW, tcNone}) {
    g.SetCompression(c);
    const std::string path = WriteTempFile(SaveToBytes(g));
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    std::uint16_t photometric = 9, fill = 0;
    std::uint32_t subfile = 0;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tif, TIFFTAG_FILLORDER, &fill);
    TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &subfile);
    const bool fax = c != tcLZW && c != tcNone;
    EXPECT_EQ(photometric, fax ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK) << TiffCompressionText(c);
    EXPECT_EQ(fill, FILLORDER_MSB2LSB);
    EXPECT_EQ(subfile, static_cast<std::uint32_t>(FILETYPE_PAGE));
    if (c == tcCCITT3_1D || c == tcCCITT3_2D) {
      std::uint32_t t4 = 0;
      TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &t4);
      EXPECT_EQ(t4, c == tcCCITT3_2D ? 5u : 4u);
    }
    std::vector<std::uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tif)));
    for (int y = 0; y < g.Height(); ++y) {
      ASSERT_GE(TIFFReadScanline(tif, line.data(), static_cast<std::uint32_t>(y), 0), 0);
      // Black is 1 on disk for fax pages, 0 otherwise; the first 8 pixels.
      const std::uint8_t mem = g.ScanLine(y)[0];
      EXPECT_EQ(line[0], fax ? static_cast<std::uint8_t>(~mem) : mem) << y;
    }
    TIFFClose(tif);
  }
}

TEST(TiffGraphic, Group4PagesInStripsAndEitherFillOrderReadBackExactly) {
  TTiffGraphic g;
  MakePage(g, ifBlackWhite, 203, 61, 7);
  for (std::uint32_t stripRows : {TTiffGraphic::DefaultRowsPerStrip, 7u, 61u}) {
    for (bool lsbFirst : {false, true}) {
      g.SetCompression(tcCCITT4);
      g.RowsPerStrip = stripRows;
      g.FillOrderLsbFirst = lsbFirst;
      const std::string path = WriteTempFile(SaveToBytes(g));
      TIFF* tif = TIFFOpen(path.c_str(), "r");
      ASSERT_NE(tif, nullptr);
      std::uint32_t rows = 0;
      TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rows);
      EXPECT_EQ(rows, std::min<std::uint32_t>(stripRows, 61u));
      EXPECT_EQ(TIFFNumberOfStrips(tif), stripRows == 7u ? 9u : 1u);
      // libtiff's own decode: black is 1 on disk.
      std::vector<std::uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tif)));
      for (int y = 0; y < g.Height(); ++y) {
        ASSERT_GE(TIFFReadScanline(tif, line.data(), static_cast<std::uint32_t>(y), 0), 0);
        for (int x = 0; x < g.Width(); ++x)
          ASSERT_EQ((line[x / 8] >> (7 - x % 8)) & 1, g.GetPixelIndex(x, y) == 0 ? 1 : 0) << x << "," << y;
      }
      TIFFClose(tif);
      TTiffGraphic back;
      back.LoadFromFile(path);
      EXPECT_TRUE(SamePixels(g, back));
    }
  }
}

TEST(TiffGraphic, DamagedGroup4StripsReadAsLibtiffReadsThem) {
  // Whatever our own decoder refuses goes to libtiff's: a damaged strip
  // gives libtiff's rows when libtiff reads it, and the read error when not.
  TTiffGraphic g;
  MakePage(g, ifBlackWhite, 301, 120, 9);
  g.SetCompression(tcCCITT4);
  const std::vector<std::uint8_t> good = SaveToBytes(g);
  const std::size_t offsets = FindEntry(good, 273), counts = FindEntry(good, 279);
  ASSERT_NE(offsets, 0u);
  ASSERT_NE(counts, 0u);
  auto long32 = [](const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (b[at + 3] << 24));
  };
  const std::uint32_t start = long32(good, offsets + 8), length = long32(good, counts + 8);
  std::vector<std::vector<std::uint8_t>> damaged;
  for (std::uint32_t keep : {length / 2, length / 5, 3u}) {
    std::vector<std::uint8_t> b = good;
    for (int i = 0; i < 4; ++i) b[counts + 8 + i] = static_cast<std::uint8_t>(keep >> (8 * i));
    damaged.push_back(b);
  }
  for (std::uint32_t at : {length / 3, length / 2, length - 4}) {
    std::vector<std::uint8_t> b = good;
    b[start + at] ^= 0x5A;
    b[start + at + 1] = 0;
    damaged.push_back(b);
  }
  int readByLibtiff = 0, refusedByLibtiff = 0;
  for (std::size_t i = 0; i < damaged.size(); ++i) {
    const std::string path = WriteTempFile(damaged[i], "damaged" + std::to_string(i) + ".tif");
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    std::vector<std::vector<std::uint8_t>> rows(
        static_cast<std::size_t>(g.Height()),
        std::vector<std::uint8_t>(static_cast<std::size_t>(TIFFScanlineSize(tif))));
    bool libtiffReads = true;
    for (int y = 0; y < g.Height() && libtiffReads; ++y)
      libtiffReads = TIFFReadScanline(tif, rows[y].data(), static_cast<std::uint32_t>(y), 0) >= 0;
    TIFFClose(tif);
    TTiffGraphic back;
    if (!libtiffReads) {
      ++refusedByLibtiff;
      EXPECT_THROW(back.LoadFromFile(path), ETiffError) << i;
      continue;
    }
    ++readByLibtiff;
    ASSERT_NO_THROW(back.LoadFromFile(path)) << i;
    for (int y = 0; y < g.Height(); ++y)
      for (int x = 0; x < g.Width(); ++x)
        ASSERT_EQ(back.GetPixelIndex(x, y) == 0, ((rows[y][x / 8] >> (7 - x % 8)) & 1) == 1)
            << i << ": " << x << "," << y;
  }
  // Both outcomes occur, so both ways back are exercised.
  EXPECT_GT(readByLibtiff, 0);
  EXPECT_GT(refusedByLibtiff, 0);
}

TEST(TiffGraphic, StripsCodedAheadAreWrittenOnlyForTheLayoutTheyWereCodedFor) {
  TTiffGraphic g;
  MakePage(g, ifBlackWhite, 150, 40, 3);
  g.DateTime = "2026:01:01 00:00:00";
  const std::vector<std::uint8_t> plain = SaveToBytes(g);
  g.CodeStripsAhead();
  EXPECT_EQ(SaveToBytes(g), plain);
  // Coded for one fill order, then saved with the other: coded afresh.
  g.CodeStripsAhead();
  g.FillOrderLsbFirst = true;
  const std::vector<std::uint8_t> lsb = SaveToBytes(g);
  g.FillOrderLsbFirst = false;
  EXPECT_EQ(SaveToBytes(g), plain);
  TTiffGraphic back;
  LoadFromBytes(back, lsb);
  EXPECT_TRUE(SamePixels(g, back));
  // A new image drops strips coded for the old one.
  g.CodeStripsAhead();
  TTiffGraphic other;
  MakePage(other, ifBlackWhite, 150, 40, 4);
  g.Assign(other);
  g.DateTime = "2026:01:01 00:00:00";
  LoadFromBytes(back, SaveToBytes(g));
  EXPECT_TRUE(SamePixels(other, back));
}

TEST(TiffGraphic, WriterTagsTextAndDefaultDateTime) {
  TTiffGraphic g;
  MakePage(g, ifTrueColor, 20, 10);
  g.SetCompression(tcJPEG);
  g.JpegQuality = 90;
  g.FillOrderLsbFirst = true;
  g.RowsPerStrip = 3;
  g.DocumentName = "doc";
  g.PageName = "p1";
  g.Software = "Veltrax";
  g.HostComputer = "host";
  const std::string path = WriteTempFile(SaveToBytes(g));
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  std::uint32_t rows = 0;
  std::uint16_t fill = 0, photometric = 0;
  char* date = nullptr;
  TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rows);
  TIFFGetField(tif, TIFFTAG_FILLORDER, &fill);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_DATETIME, &date));
  EXPECT_EQ(rows, 8u);  // JPEG strips are 8 rows
  EXPECT_EQ(fill, FILLORDER_LSB2MSB);
  EXPECT_EQ(photometric, PHOTOMETRIC_RGB);
  EXPECT_TRUE(std::regex_match(date, std::regex(R"(\d{4}:\d\d:\d\d \d\d:\d\d:\d\d)"))) << date;
  TIFFClose(tif);

  TTiffGraphic back;
  back.LoadFromFile(path);
  EXPECT_EQ(back.DocumentName, "doc");
  EXPECT_EQ(back.PageName, "p1");
  EXPECT_EQ(back.Software, "Veltrax");
  EXPECT_EQ(back.HostComputer, "host");
  EXPECT_TRUE(back.Make.empty());

  g.SetCompression(tcLZW);
  g.DateTime = "2020:01:02 03:04:05";
  LoadFromBytes(back, SaveToBytes(g));
  EXPECT_EQ(back.DateTime, "2020:01:02 03:04:05");
  EXPECT_EQ(back.RowsPerStrip, 3u);
}

TEST(TiffGraphic, StreamsAwayFromTheStartGoThroughMemory) {
  TTiffGraphic g;
  MakePage(g, ifGray256, 31, 17);
  TMemoryStream s;
  s.Write("0123456789", 10);
  g.SaveToStream(s);
  s.SetPosition(10);
  TTiffGraphic back;
  EXPECT_TRUE(back.IsValidFormat(s));
  EXPECT_EQ(s.Position(), 10);
  EXPECT_EQ(back.GetImageCount(s), 1);
  EXPECT_EQ(s.Position(), 10);
  back.LoadFromStream(s);
  EXPECT_TRUE(SamePixels(g, back));
}

TEST(TiffGraphic, AppendToEmptyAndToThreePageFiles) {
  TTiffGraphic page;
  MakePage(page, ifBlackWhite, 100, 60);
  TMemoryStream empty;
  page.AppendToStream(empty);
  empty.SetPosition(0);
  TTiffGraphic back;
  EXPECT_EQ(back.GetImageCount(empty), 1);
  LoadFromBytes(back, empty.Bytes());
  EXPECT_TRUE(SamePixels(page, back));

  TMemoryStream three;
  three.LoadFromFile(SharedFile("testdata/tiff/gen-multipage-3p-g4.tif"));
  std::vector<std::unique_ptr<TTiffGraphic>> before;
  for (int p = 1; p <= 3; ++p) {
    before.push_back(std::make_unique<TTiffGraphic>());
    LoadFromBytes(*before.back(), three.Bytes(), p);
  }
  TTiffGraphic grey;
  MakePage(grey, ifGray256, 50, 40);
  grey.SetCompression(tcZLib);
  three.SetPosition(three.Size());
  grey.AppendToStream(three);
  three.SetPosition(0);
  EXPECT_EQ(back.GetImageCount(three), 4);
  for (int p = 1; p <= 3; ++p) {
    LoadFromBytes(back, three.Bytes(), p);
    EXPECT_TRUE(SamePixels(*before[static_cast<std::size_t>(p - 1)], back)) << p;
  }
  LoadFromBytes(back, three.Bytes(), 4);
  EXPECT_TRUE(SamePixels(grey, back));
  EXPECT_EQ(back.Compression(), tcZLib);

  // On disk: SaveToFile, then AppendToFile on the same name.
  const std::string path = TestTempDir() + "/multi.tif";
  page.SaveToFile(path);
  grey.AppendToFile(path);
  page.AppendToFile(path);
  TFileStream f(path, TFileMode::fmOpenRead);
  EXPECT_EQ(back.GetImageCount(f), 3);
}

TEST(TiffGraphic, PageBeyondTheLastIsAnError) {
  const std::string path = SharedFile("testdata/tiff/gen-multipage-3p-g4.tif");
  TTiffGraphic g;
  g.ImageToLoad = 3;
  g.LoadFromFile(path);
  EXPECT_EQ(g.Width(), 2264);
  for (int page : {4, 0, -1}) {
    g.ImageToLoad = page;
    try {
      g.LoadFromFile(path);
      ADD_FAILURE() << "page " << page << " loaded";
    } catch (const ETiffError& e) {
      EXPECT_STREQ(e.what(), "ETiffError TIFFSetDirectory");
    }
  }
}

TEST(TiffGraphic, PrivateTag40000IsReadOthersAreNot) {
  TTiffGraphic registrar;  // makes sure our tags are known to libtiff
  {
    TMemoryStream s;
    MakePage(registrar, ifBlackWhite, 8, 8);
    registrar.SaveToStream(s);
  }
  const std::string path = TestTempDir() + "/private.tif";
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  ASSERT_TRUE(TIFFSetField(tif, 40000, "note on page"));
  ASSERT_TRUE(TIFFSetField(tif, 40001, "not read"));
  std::uint8_t row[8] = {0, 10, 20, 30, 40, 50, 60, 70};
  ASSERT_GE(TIFFWriteScanline(tif, row, 0, 0), 0);
  TIFFClose(tif);

  TTiffGraphic g;
  EXPECT_TRUE(g.PrivateTags[0].ReadEnabled);
  EXPECT_FALSE(g.PrivateTags[1].ReadEnabled);
  g.LoadFromFile(path);
  EXPECT_EQ(g.PrivateTagText(40000), "note on page");
  EXPECT_EQ(g.PrivateTagText(40001), "");
  EXPECT_EQ(g.GetPixelIndex(7, 0), 70);

  // Private tags are not written.
  TTiffGraphic back;
  LoadFromBytes(back, SaveToBytes(g));
  EXPECT_EQ(back.PrivateTagText(40000), "");
}

TEST(TiffGraphic, OrientationThreeTurnsStripPagesOfEveryDepth) {
  for (TImageFormat format : kAllFormats) {
    for (int width : {1, 13, 64}) {
      TTiffGraphic g;
      MakePage(g, format, width, 9, 7);
      g.SetCompression(tcNone);
      auto bytes = SaveToBytes(g);
      SetShortValue(bytes, TIFFTAG_ORIENTATION, ORIENTATION_BOTRIGHT);
      TTiffGraphic back;
      LoadFromBytes(back, bytes);
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < width; ++x)
          ASSERT_EQ(back.GetPixel(x, y), g.GetPixel(width - 1 - x, 8 - y))
              << ImageFormatText(format) << " w" << width << " at " << x << "," << y;
    }
  }
}

TEST(TiffGraphic, WhiteIsZeroPagesOnTheRgbaRouteAreNotInvertedTwice) {
  // libtiff's RGBA reader already applies white-is-zero; the page must come
  // out as libtiff shows it, the negative of the stored samples.
  TTiffGraphic g;
  MakePage(g, ifGray256, 64, 32);
  for (TTiffCompression c : {tcJPEG, tcLZW}) {
    g.SetCompression(c);
    auto bytes = SaveToBytes(g);
    SetShortValue(bytes, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TTiffGraphic stored;
    LoadFromBytes(stored, SaveToBytes(g));
    TTiffGraphic back;
    LoadFromBytes(back, bytes);
    ASSERT_EQ(back.ImageFormat(), ifGray256);
    int far = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x) far += std::abs(back.GetPixelIndex(x, y) - (255 - stored.GetPixelIndex(x, y))) > 1;
    EXPECT_EQ(far, 0) << TiffCompressionText(c);
  }
}

TEST(TiffGraphic, MissingBitsPerSampleIsOnlyAcceptedForFaxPages) {
  TTiffGraphic g;
  MakePage(g, ifBlackWhite, 40, 20);
  g.SetCompression(tcLZW);
  auto bytes = SaveToBytes(g);
  RenameTag(bytes, TIFFTAG_BITSPERSAMPLE, 65000);
  TTiffGraphic back;
  try {
    LoadFromBytes(back, bytes);
    FAIL();
  } catch (const ETiffError& e) {
    EXPECT_STREQ(e.what(), "ETiffError Bits per sample not specified");
  }
  g.SetCompression(tcCCITT4);
  bytes = SaveToBytes(g);
  RenameTag(bytes, TIFFTAG_BITSPERSAMPLE, 65000);
  LoadFromBytes(back, bytes);
  EXPECT_TRUE(SamePixels(g, back));
}

TEST(TiffGraphic, LibraryMessagesNeverReachTheTerminal) {
  const std::string out = CapturedStderr([] {
    TTiffGraphic g;
    EXPECT_THROW(g.LoadFromFile(SharedFile("testdata/tiff/real-fax-g3-1d-noeol-damaged.tif")), ETiffError);
    g.LoadFromFile(SharedFile("testdata/tiff/real-jpegtiff-ycbcr-96dpi.tif"));  // warns, loads
    TMemoryStream junk(std::vector<std::uint8_t>{'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F});
    EXPECT_THROW(g.LoadFromStream(junk), ETiffError);
  });
  EXPECT_EQ(out, "");
}

TEST(TiffGraphic, GarbageAndTruncationRaiseTiffErrors) {
  TTiffGraphic g;
  TMemoryStream empty;
  try {
    g.LoadFromStream(empty);
    FAIL();
  } catch (const ETiffError& e) {
    EXPECT_STREQ(e.what(), "ETiffError TIFFOpen");
  }
  EXPECT_THROW(g.GetImageCount(empty), ETiffError);
  EXPECT_FALSE(g.IsValidFormat(empty));
  TMemoryStream wrongOrder(std::vector<std::uint8_t>{0x49, 0x49, 0x00, 0x2A, 0, 0, 0, 0});
  EXPECT_FALSE(g.IsValidFormat(wrongOrder));

  TTiffGraphic page;
  MakePage(page, ifGray256, 200, 200);
  page.SetCompression(tcLZW);
  const auto bytes = SaveToBytes(page);
  // The directory follows the strips, so a cut file has lost it.
  for (std::size_t cut : {std::size_t{9}, bytes.size() / 2, bytes.size() - 150}) {
    std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    TMemoryStream s(part);
    EXPECT_THROW(g.LoadFromStream(s), ETiffError) << cut;
  }
}

// A stream that refuses to grow beyond a limit.
class TFullDiskStream : public TMemoryStream {
 public:
  explicit TFullDiskStream(std::int64_t limit) : limit_(limit) {}
  void Write(const void* buffer, std::int64_t count) override {
    if (Position() + count > limit_) throw EImagingError("Stream write error");
    TMemoryStream::Write(buffer, count);
  }

 private:
  std::int64_t limit_;
};

TEST(TiffGraphic, WriteFailuresRaiseInsteadOfReportingSuccess) {
  TTiffGraphic g;
  MakePage(g, ifTrueColor, 300, 300);
  g.SetCompression(tcNone);
  g.RowsPerStrip = 1;
  for (std::int64_t limit : {0, 100, 50000}) {
    TFullDiskStream s(limit);
    try {
      g.SaveToStream(s);
      ADD_FAILURE() << limit;
    } catch (const ETiffError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("ETiffError ", 0), 0u) << e.what();
    }
  }
  TTiffGraphic empty;
  TMemoryStream s;
  EXPECT_THROW(empty.SaveToStream(s), EImagingError);
}

TEST(TiffGraphic, ProgressRunsFromZeroToHundred) {
  TTiffGraphic g;
  MakePage(g, ifBlackWhite, 64, 300);
  std::vector<int> seen;
  g.OnProgress = [&](TDibGraphic*, std::uint8_t p) { seen.push_back(p); };
  const auto bytes = SaveToBytes(g);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  seen.clear();
  LoadFromBytes(g, bytes);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen.front(), 0);
  EXPECT_EQ(seen.back(), 100);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST(TiffGraphic, RegisteredForTifAndTiff) {
  for (const char* name : {"a.tif", "B.TIFF", "TIF"}) {
    const TGraphicClass* cls = GraphicClassForExtension(name);
    ASSERT_NE(cls, nullptr) << name;
    EXPECT_STREQ(cls->Name, "TTiffGraphic");
    EXPECT_STREQ(cls->Create()->ClassName(), "TTiffGraphic");
  }
  EXPECT_EQ(FileFormatDescription("TIFF"), "TIFF file");
}

}  // namespace

namespace {

std::vector<std::string> DamagedFiles(const std::string& prefix) {
  const auto folder = std::filesystem::path(__FILE__).parent_path() / "data";
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().filename().string().rfind(prefix, 0) == 0) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// Each file is named after what it breaks; each fails with our own error or
// loads, never crashes.
TEST(TiffDamagedFiles, LoadOrFailCleanly) {
  const std::map<std::string, std::string> expected = {
      {"tiff-bilevel-three-samples.tif", ""},
      {"tiff-directory-cut.tif", "ETiffError TIFFOpen"},
      {"tiff-ifd-loop.tif", ""},
      {"tiff-palette-without-colormap.tif", "ETiffError TIFFOpen"},
      {"tiff-strip-offset-beyond-end.tif", "ETiffError TIFFReadEncodedStrip"},
      {"tiff-strip-short.tif", "ETiffError TIFFReadEncodedStrip"},
  };
  const auto files = DamagedFiles("tiff-");
  ASSERT_EQ(files.size(), expected.size());
  for (const std::string& path : files) {
    const std::string name = std::filesystem::path(path).filename().string();
    SCOPED_TRACE(name);
    TTiffGraphic g;
    TMemoryStream s;
    s.LoadFromFile(path);
    std::string outcome;
    try {
      EXPECT_EQ(g.GetImageCount(s), 1);  // a directory linking to itself counts once
      g.LoadFromStream(s);
    } catch (const ETiffError& e) {
      outcome = e.what();
    }
    EXPECT_EQ(outcome, expected.at(name));
  }
}

}  // namespace
