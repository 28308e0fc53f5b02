#include <gtest/gtest.h>

#include <random>
#include <string>

#include "image/GraphicRegistry.h"
#include "image/PpmGraphic.h"
#include "support/TestSupport.h"

namespace {

TMemoryStream StreamOf(const std::string& bytes) {
  return TMemoryStream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

std::string BytesOf(const TMemoryStream& s) { return std::string(s.Bytes().begin(), s.Bytes().end()); }

void Load(TPpmGraphic& g, const std::string& bytes) {
  TMemoryStream s = StreamOf(bytes);
  g.LoadFromStream(s);
}

std::string Save(TDibGraphic& g) {
  TPpmGraphic out;
  out.Assign(g);
  TMemoryStream s;
  out.SaveToStream(s);
  return BytesOf(s);
}

void Randomize(TDibGraphic& g, std::uint32_t seed) {
  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < g.ImageSize(); ++i) g.Bits()[i] = static_cast<std::uint8_t>(rng());
}

}  // namespace

TEST(PpmGraphic, RoundTripsOfBitmapGreymapAndPixmapAtOddWidths) {
  const struct {
    TImageFormat Format;
    const char* Magic;
  } cases[] = {{ifBlackWhite, "P4"}, {ifGray256, "P5"}, {ifTrueColor, "P6"}};
  for (const auto& c : cases)
    for (int width : {1, 7, 33}) {
      TDibGraphic original;
      original.NewImage(width, 5, c.Format);
      Randomize(original, static_cast<std::uint32_t>(width));
      const std::string bytes = Save(original);
      EXPECT_EQ(bytes.substr(0, 2), c.Magic);
      TPpmGraphic loaded;
      Load(loaded, bytes);
      EXPECT_TRUE(SamePixels(loaded, original)) << c.Magic << " width " << width;
    }
}

TEST(PpmGraphic, BitmapWritesOneForBlackWithZeroPadding) {
  TDibGraphic g;
  MakePageFromText(g, {"#..", ".##"});
  EXPECT_EQ(Save(g), std::string("P4\n3 2\n") + '\x80' + '\x60');
  // A palette with white first still writes black as 1.
  const TPalette inverted{{255, 255, 255, 0}, {0, 0, 0, 0}};
  TDibGraphic h;
  h.NewImage(3, 1, ifBlackWhite, &inverted);
  h.SetPixelIndex(1, 0, 1);
  EXPECT_EQ(Save(h), std::string("P4\n3 1\n") + '\x40');
}

TEST(PpmGraphic, PaletteFormatsWriteTheirColours) {
  for (TImageFormat f : {ifGray16, ifColor16, ifColor256}) {
    TDibGraphic g;
    g.NewImage(9, 4, f);
    Randomize(g, 3);
    TPpmGraphic loaded;
    Load(loaded, Save(g));
    ASSERT_EQ(loaded.ImageFormat(), f == ifGray16 ? ifGray256 : ifTrueColor);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 9; ++x) ASSERT_EQ(loaded.GetPixel(x, y), g.GetPixel(x, y)) << x << "," << y;
  }
}

TEST(PpmGraphic, ReadsPlainFormatsWithCommentsAndScalesMaxval) {
  TPpmGraphic g;
  Load(g, "P1\n# a comment\n3 2\n1 0 1\n011");
  ASSERT_EQ(g.ImageFormat(), ifBlackWhite);
  EXPECT_EQ(g.GetPixelIndex(0, 0), 0);  // 1 in the file is black
  EXPECT_EQ(g.GetPixelIndex(1, 0), 1);
  EXPECT_EQ(g.GetPixelIndex(0, 1), 1);
  EXPECT_EQ(g.GetPixelIndex(2, 1), 0);

  Load(g, "P2 2 1 #size\n15\n0 15");
  ASSERT_EQ(g.ImageFormat(), ifGray256);
  EXPECT_EQ(g.GetPixelIndex(0, 0), 0);
  EXPECT_EQ(g.GetPixelIndex(1, 0), 255);

  Load(g, "P3\n1 1\n1000\n1000 500 0\n");
  ASSERT_EQ(g.ImageFormat(), ifTrueColor);
  EXPECT_EQ(g.GetPixel(0, 0), RgbColor(255, 128, 0));

  // Two bytes per sample above maxval 255, most significant first.
  Load(g, std::string("P5\n2 1\n65535\n") + '\xFF' + '\xFF' + '\x80' + '\x00');
  EXPECT_EQ(g.GetPixelIndex(0, 0), 255);
  EXPECT_EQ(g.GetPixelIndex(1, 0), 128);
  Load(g, std::string("P6 1 1 300\n") + '\x01' + '\x2C' + '\x00' + '\x96' + '\x00' + '\x00');
  EXPECT_EQ(g.GetPixel(0, 0), RgbColor(255, 128, 0));
}

TEST(PpmGraphic, DamagedInputsRaiseTheFormatError) {
  const std::string sample3 = std::string("\x10\x20\x30", 3);
  const struct {
    const char* Name;
    std::string Bytes;
  } damaged[] = {
      {"empty", ""},
      {"wrong magic", "P7\n1 1\n255\n" + sample3},
      {"magic only", "P4"},
      {"no height", "P4\n8"},
      {"zero width", "P4\n0 1\n\x00"},
      {"negative height", "P2\n1 -1\n255\n0"},
      {"number overflow", "P4\n99999999999 1\n"},
      {"huge size tiny data", "P6\n60000 60000\n255\n" + sample3},
      {"maxval zero", "P5\n1 1\n0\n\x00"},
      {"maxval above 65535", "P5\n1 1\n65536\n\x00\x00"},
      {"no space after maxval", "P6\n1 1\n255" + sample3},
      {"truncated binary", "P6\n2 1\n255\n" + sample3},
      {"truncated bitmap", "P4\n9 2\n\xFF\xFF\xFF"},
      {"truncated plain", "P2\n2 2\n255\n1 2 3"},
      {"sample above maxval", "P2\n1 1\n10\n11"},
      {"binary sample above maxval", "P5\n1 1\n100\n\xC8"},
      {"bad plain bit", "P1\n2 1\n1 2"},
      {"letters in header", "P3\nab 1\n255\n1 2 3"},
      {"magic glued to number", "P21 1 255 0"},
  };
  TDibGraphic page;
  MakePageFromText(page, {"#.#", "..#"});
  for (const auto& d : damaged) {
    TPpmGraphic g;
    g.Assign(page);
    TMemoryStream s = StreamOf(d.Bytes);
    try {
      g.LoadFromStream(s);
      ADD_FAILURE() << d.Name << ": loaded";
    } catch (const EImagingError& e) {
      EXPECT_STREQ(e.what(), "Not a valid PPM file") << d.Name;
    }
    EXPECT_TRUE(SamePixels(g, page)) << d.Name << ": the image loaded before is kept";
  }
}

TEST(PpmGraphic, SignatureCheckRestoresThePosition) {
  TPpmGraphic g;
  for (char k = '1'; k <= '6'; ++k) {
    TMemoryStream s = StreamOf(std::string("xP") + k + "\n");
    s.SetPosition(1);
    EXPECT_TRUE(g.IsValidFormat(s));
    EXPECT_EQ(s.Position(), 1);
  }
  for (const char* bad : {"P7", "P0", "BM", "P", ""}) {
    TMemoryStream s = StreamOf(bad);
    EXPECT_FALSE(g.IsValidFormat(s)) << bad;
  }
}

TEST(PpmGraphic, SeveralImagesInOneStreamArePages) {
  const std::string first = std::string("P5 1 1 255\n") + '\x11';
  const std::string second = std::string("P6 2 1 255\n") + "\x01\x02\x03\x04\x05\x06";
  TMemoryStream s = StreamOf(first + "\n" + second + "\n\n");
  TPpmGraphic g;
  EXPECT_EQ(g.GetImageCount(s), 2);
  EXPECT_EQ(s.Position(), 0);
  g.ImageToLoad = 2;
  g.LoadFromStream(s);
  EXPECT_EQ(g.Width(), 2);
  EXPECT_EQ(g.GetPixel(1, 0), RgbColor(4, 5, 6));

  TMemoryStream all = StreamOf(first + second + "trailing junk");
  TPpmGraphic frames;
  frames.LoadAllFrames = true;
  frames.LoadFromStream(all);
  EXPECT_EQ(frames.FrameCount(), 2);

  TMemoryStream one = StreamOf(first);
  g.ImageToLoad = 2;
  EXPECT_THROW(g.LoadFromStream(one), EImagingError);
}

TEST(PpmGraphic, RegisteredForItsThreeExtensions) {
  const TGraphicClass* cls = GraphicClassForExtension("a.pbm");
  ASSERT_NE(cls, nullptr);
  EXPECT_STREQ(cls->Name, "TPpmGraphic");
  EXPECT_EQ(GraphicClassForExtension("PGM"), cls);
  EXPECT_EQ(GraphicClassForExtension("B.PPM"), cls);
  EXPECT_EQ(FileFormatDescription("PPM"), "Portable Pixelmap");
  EXPECT_EQ(FileFormatDescription("PGM"), "Portable Greymap");
  EXPECT_EQ(FileFormatDescription("PBM"), "Portable Bitmap");

  // Through a file and the registry, with progress from 0 to 100.
  TDibGraphic page;
  MakePageFromText(page, {"#.#.#", ".#.#."});
  const std::string file = TestTempDir() + "/page.pbm";
  auto writer = CreateGraphicForFile(file);
  writer->Assign(page);
  writer->SaveToFile(file);
  auto reader = CreateGraphicForFile(file);
  EXPECT_STREQ(reader->ClassName(), "TPpmGraphic");
  std::vector<int> percents;
  reader->OnProgress = [&](TDibGraphic*, std::uint8_t p) { percents.push_back(p); };
  reader->LoadFromFile(file);
  EXPECT_TRUE(SamePixels(*reader, page));
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.front(), 0);
  EXPECT_EQ(percents.back(), 100);
}

TEST(PpmGraphic, SavingAnEmptyImageFails) {
  TPpmGraphic g;
  TMemoryStream s;
  EXPECT_THROW(g.SaveToStream(s), EImagingError);
}
