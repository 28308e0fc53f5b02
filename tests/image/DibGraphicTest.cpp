#include <gtest/gtest.h>

#include <filesystem>

#include "image/DibGraphic.h"
#include "image/GraphicRegistry.h"
#include "image/ImagingHooks.h"
#include "support/TestSupport.h"

namespace {

template <typename F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no exception)";
}

}  // namespace

TEST(DibGraphic, StrideAndBottomUpRows) {
  TDibGraphic g;
  g.NewImage(1, 1, ifBlackWhite);
  EXPECT_EQ(g.BytesPerScanLine(), 4);
  g.NewImage(33, 1, ifBlackWhite);
  EXPECT_EQ(g.BytesPerScanLine(), 8);
  g.NewImage(3, 2, ifTrueColor);
  EXPECT_EQ(g.BytesPerScanLine(), 12);
  g.NewImage(5, 2, ifGray16);
  EXPECT_EQ(g.BytesPerScanLine(), 4);

  g.NewImage(10, 5, ifGray256);
  EXPECT_EQ(g.ScanLine(4), g.Bits()) << "the bottom row is the buffer start";
  EXPECT_EQ(g.ScanLine(0), g.Bits() + 4 * g.BytesPerScanLine()) << "the top row is highest";
  EXPECT_EQ(g.ImageSize(), 5u * 12u);
}

TEST(DibGraphic, NewImageIsZeroFilledWithDefaultPalettes) {
  TDibGraphic g;
  g.NewImage(9, 3, ifBlackWhite);
  for (std::size_t i = 0; i < g.ImageSize(); ++i) ASSERT_EQ(g.Bits()[i], 0);
  ASSERT_EQ(g.Palette().size(), 2u);
  EXPECT_EQ(g.GetPixel(0, 0), 0x000000u);
  g.ScanLine(1)[0] = 0xFF;
  for (int x = 0; x < 8; ++x) EXPECT_EQ(g.GetPixel(x, 1), 0xFFFFFFu);
  EXPECT_EQ(g.GetPixel(8, 1), 0x000000u);

  EXPECT_EQ(DefaultPalette(ifGray16)[15], (TPaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(DefaultPalette(ifGray16)[1], (TPaletteEntry{17, 17, 17, 0}));
  EXPECT_EQ(DefaultPalette(ifColor16)[6], (TPaletteEntry{0xAA, 0x55, 0x00, 0}));
  const TPalette& vga = DefaultPalette(ifColor256);
  ASSERT_EQ(vga.size(), 256u);
  const int greys[16] = {0, 20, 32, 44, 56, 69, 81, 97, 113, 130, 146, 162, 182, 203, 227, 255};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(vga[16 + i].Red, greys[i]) << i;
  EXPECT_EQ(vga[32], (TPaletteEntry{0, 0, 255, 0}));   // blue
  EXPECT_EQ(vga[40], (TPaletteEntry{255, 0, 0, 0}));   // red
  EXPECT_EQ(vga[33], (TPaletteEntry{65, 0, 255, 0}));  // 16 widened
  EXPECT_EQ(vga[104], (TPaletteEntry{0, 0, 113, 0}));  // dark blue (28)
  EXPECT_EQ(vga[248], (TPaletteEntry{0, 0, 0, 0}));
  EXPECT_TRUE(DefaultPalette(ifTrueColor).empty());
}

TEST(DibGraphic, PixelAccessInEveryFormat) {
  for (TImageFormat f : {ifBlackWhite, ifGray16, ifGray256, ifColor16, ifColor256, ifTrueColor}) {
    TDibGraphic g;
    g.NewImage(13, 4, f);
    g.SetPixel(5, 2, 0xFFFFFF);
    EXPECT_EQ(g.GetPixel(5, 2), 0xFFFFFFu) << ImageFormatText(f);
    EXPECT_EQ(g.GetPixel(4, 2), 0x000000u) << ImageFormatText(f);
    EXPECT_EQ(g.GetPixel(6, 2), 0x000000u) << ImageFormatText(f);
  }
  TDibGraphic g;
  g.NewImage(4, 1, ifGray16);
  g.SetPixelIndex(0, 0, 3);
  g.SetPixelIndex(1, 0, 12);
  EXPECT_EQ(g.ScanLine(0)[0], 0x3C) << "even pixel in the high nibble";
  g.NewImage(2, 1, ifTrueColor);
  g.SetPixel(1, 0, RgbColor(1, 2, 3));
  EXPECT_EQ(g.ScanLine(0)[3], 3) << "blue first";
  EXPECT_EQ(g.ScanLine(0)[5], 1);
  EXPECT_EQ(MessageOf([&] { g.GetPixelIndex(0, 0); }), "The image does not have a palette");
  EXPECT_EQ(MessageOf([&] { g.SetPixelIndex(0, 0, 1); }), "The image does not have a palette");
}

TEST(DibGraphic, NearestPaletteTiesTakeTheLowerIndex) {
  TDibGraphic g;
  g.NewImage(2, 1, ifGray256);
  g.SetPixel(0, 0, RgbColor(10, 10, 10));
  EXPECT_EQ(g.GetPixelIndex(0, 0), 10);
  TPalette two = {{0, 0, 0, 0}, {100, 100, 100, 0}};
  g.NewImage(2, 1, ifColor256, &two);
  g.SetPixel(0, 0, RgbColor(50, 50, 50));  // exactly between
  EXPECT_EQ(g.GetPixelIndex(0, 0), 0);
  g.SetPixel(1, 0, RgbColor(51, 50, 50));
  EXPECT_EQ(g.GetPixelIndex(1, 0), 1);

  TRgbToPaletteConverter c(&two);
  EXPECT_EQ(c.PaletteIndex(0x646464), 1);
  EXPECT_EQ(c.PaletteIndex(0x646464), 1);
  EXPECT_EQ(c.Hits(), 1u);
  // 0x646464 + 1020 shares the slot and replaces it.
  EXPECT_EQ(c.PaletteIndex(0x646464 + 1020), 1);
  EXPECT_EQ(c.Misses(), 2u);
  TPalette none;
  TRgbToPaletteConverter empty(&none);
  EXPECT_EQ(empty.PaletteIndex(0x123456), 0);
}

TEST(DibGraphic, ResolutionRoundTripsThroughPixelsPerMetre) {
  TDibGraphic g;
  ImagingHooks().ScreenDpiX = 96;
  ImagingHooks().ScreenDpiY = 96;
  g.NewImage(2, 2, ifBlackWhite, nullptr, 0, 0);
  EXPECT_EQ(g.XDotsPerInch(), 96);
  g.SetXDotsPerInch(300);
  EXPECT_EQ(g.XPelsPerMeter(), 11811);
  EXPECT_EQ(g.XDotsPerInch(), 300);
  g.NewImage(2, 2, ifBlackWhite, nullptr, 200, 72);
  EXPECT_EQ(g.XDotsPerInch(), 200);
  EXPECT_EQ(g.YDotsPerInch(), 72);
}

TEST(DibGraphic, AssignCopiesEverythingButFrames) {
  TDibGraphic a;
  a.NewImage(7, 3, ifColor16, nullptr, 150, 300);
  a.SetPixelIndex(6, 2, 9);
  a.FrameDelay = 55;
  TDibGraphic b;
  b.Assign(a);
  EXPECT_TRUE(SamePixels(a, b));
  EXPECT_EQ(b.XDotsPerInch(), 150);
  EXPECT_EQ(b.YDotsPerInch(), 300);
  EXPECT_EQ(b.FrameDelay, 55);
  TDibGraphic empty;
  b.Assign(empty);
  EXPECT_TRUE(b.Empty());
}

TEST(DibGraphic, MessagesOfMisuse) {
  TDibGraphic g;
  EXPECT_EQ(MessageOf([&] { g.SetWidth(3); }), "Dimensions must be change with the NewImage method");
  EXPECT_EQ(MessageOf([&] { g.SetHeight(3); }), "Dimensions must be change with the NewImage method");
  EXPECT_EQ(MessageOf([&] { g.Frame(1); }), "Frame 1 does not exist");
  EXPECT_EQ(MessageOf([&] { g.SelectFrame(0); }), "Frame 0 does not exist");
  TMemoryStream s;
  EXPECT_EQ(MessageOf([&] { g.AppendToStream(s); }), "The TDibGraphic format does not support multiple images");
  EXPECT_EQ(MessageOf([] { ImageFormatText(static_cast<TImageFormat>(9)); }), "Internal error: Invalid image format");
  EXPECT_EQ(MessageOf([] { ImageFormatFromBitCount(2); }), "Unsupported bit count");
  EXPECT_EQ(ImageFormatFromBitCount(32), ifTrueColor);
  EXPECT_EQ(MessageOf([&] { g.NewImage(100000, 100000, ifTrueColor); }), "Out of resources");
  EXPECT_TRUE(g.Empty()) << "a failed NewImage leaves the image empty";
  g.NewImage(2, 2, ifBlackWhite);
  g.TransparentPixel = 5;
  EXPECT_EQ(MessageOf([&] { g.TransparentColorInUse(); }), "Invalid TransparentPixel");
}

TEST(DibGraphic, FormatTexts) {
  EXPECT_STREQ(ImageFormatText(ifBlackWhite), "Black and white");
  EXPECT_STREQ(ImageFormatText(ifGray16), "16 shades of gray");
  EXPECT_STREQ(ImageFormatText(ifGray256), "256 shades of gray");
  EXPECT_STREQ(ImageFormatText(ifColor16), "16 color");
  EXPECT_STREQ(ImageFormatText(ifColor256), "256 color");
  EXPECT_STREQ(ImageFormatText(ifTrueColor), "True color");
}

namespace {
// A three-page test format: each page is a 1x1 grey image whose value is
// the page number; counts come from the first byte of the stream.
class TCountingGraphic : public TDibGraphic {
 public:
  const char* ClassName() const override { return "TCountingGraphic"; }
  std::unique_ptr<TDibGraphic> NewInstance() const override { return std::make_unique<TCountingGraphic>(); }
  int GetImageCount(TStream& stream) override {
    std::uint8_t n = 0;
    stream.Read(&n, 1);
    return n;
  }
  void LoadImageFromStream(TStream&, int imageNumber) override {
    NewImage(1, 1, ifGray256);
    SetPixelIndex(0, 0, imageNumber);
  }
};
}  // namespace

TEST(DibGraphic, LoadAllFramesAndTheSinglePageRule) {
  TCountingGraphic g;
  g.LoadAllFrames = true;
  TMemoryStream three(std::vector<std::uint8_t>{3});
  g.LoadFromStream(three);
  ASSERT_EQ(g.FrameCount(), 3);
  EXPECT_EQ(g.CurrentFrame(), 1);
  EXPECT_EQ(g.GetPixelIndex(0, 0), 1);
  g.SelectFrame(3);
  EXPECT_EQ(g.GetPixelIndex(0, 0), 3);
  EXPECT_STREQ(g.Frame(2).ClassName(), "TCountingGraphic");

  TCountingGraphic single;
  single.LoadAllFrames = true;
  single.ImageToLoad = 1;
  TMemoryStream one(std::vector<std::uint8_t>{1});
  single.LoadFromStream(one);
  EXPECT_EQ(single.FrameCount(), 0);
  EXPECT_FALSE(single.LoadAllFrames) << "a one-page file switches frame loading off";
  EXPECT_EQ(single.GetPixelIndex(0, 0), 1);
}

TEST(DibGraphic, ProgressReportsOnlyChanges) {
  std::vector<int> seen;
  TImageProgressEvent ev = [&](TDibGraphic*, std::uint8_t p) { seen.push_back(p); };
  int last = -1;
  last = ReportProgress(nullptr, 0, 0, last, 200, ev);
  last = ReportProgress(nullptr, 1, 0, last, 200, ev);
  last = ReportProgress(nullptr, 100, 0, last, 200, ev);
  last = ReportProgress(nullptr, 500, 0, last, 200, ev);
  EXPECT_EQ(seen, (std::vector<int>{0, 50, 100}));
  EXPECT_EQ(ReportProgress(nullptr, 5, 10, -1, 10, ev), 0) << "max <= min gives 0";
  EXPECT_EQ(ReportProgress(nullptr, 5, 0, -1, 10, nullptr), 0) << "no event, nothing";
}

TEST(DibGraphic, BusyCursorNests) {
  int on = 0, off = 0;
  ImagingHooks().BusyCursorOn = [&] { ++on; };
  ImagingHooks().BusyCursorOff = [&] { ++off; };
  {
    TBusyCursor a;
    TBusyCursor b;
    EXPECT_EQ(BusyCursorDepth(), 2);
  }
  EXPECT_EQ(on, 1);
  EXPECT_EQ(off, 1);
  ImagingHooks().BusyCursorOn = nullptr;
  ImagingHooks().BusyCursorOff = nullptr;
}

TEST(DibGraphic, TempFileNamesCountUpFromZero) {
  const std::string dir = TestTempDir();
  ImagingHooks().TempFolder = dir;
  const std::string first = CreateTempFile("vt", "tif");
  EXPECT_EQ(first, dir + "/vt0.tif");
  TFileStream(first, TFileMode::fmCreate);
  EXPECT_EQ(CreateTempFile("vt", ".tif"), dir + "/vt1.tif") << "the dot is not doubled";
  ImagingHooks().TempFolder.clear();
}

TEST(GraphicRegistry, LookupsAndMessages) {
  TGraphicClass fake{"TFakeGraphic", [] { return std::make_unique<TDibGraphic>(); }};
  RegisterFileFormat("FAKE", "Fake file", &fake);
  EXPECT_EQ(GraphicClassForExtension("scan.fake"), &fake);
  EXPECT_EQ(GraphicClassForExtension("SCAN.FAKE"), &fake);
  EXPECT_EQ(GraphicClassForExtension("fake"), &fake);
  EXPECT_EQ(GraphicClassForExtension("/a.b/c"), nullptr);
  EXPECT_EQ(FileFormatDescription("FAKE"), "Fake file");
  EXPECT_EQ(MessageOf([] { CreateGraphicForFile("a.xyz"); }),
            "Graphic files of .xyz format are not supported or not registered");
}

TEST(Streams, MemoryAndFileBehaveAlike) {
  const std::string path = TestTempDir() + "/s.bin";
  {
    TFileStream f(path, TFileMode::fmCreate);
    f.Write("abcdef", 6);
    f.Seek(-2, TSeekOrigin::soEnd);
    f.Write("XY", 2);
    EXPECT_EQ(f.Size(), 6);
    f.SetSize(4);
  }
  TMemoryStream m;
  m.LoadFromFile(path);
  EXPECT_EQ(std::string(m.Bytes().begin(), m.Bytes().end()), "abcd");
  char buf[8] = {};
  m.SetPosition(2);
  EXPECT_EQ(m.Read(buf, 8), 2);
  EXPECT_THROW(m.ReadBuffer(buf, 1), EImagingError);
  EXPECT_THROW(TFileStream(path + ".missing", TFileMode::fmOpenRead), EImagingError);
}

TEST(PixelMemory, SmallAndPageSizedBlocksAreZeroAlignedAndWritable) {
  for (std::size_t size : {std::size_t{1}, std::size_t{4000}, std::size_t{3} << 20, (std::size_t{1} << 20) + 7}) {
    TPixelBuffer block = MakePixelBuffer(size);
    ASSERT_TRUE(block) << size;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.get()) % 64, 0u) << size;
    EXPECT_EQ(std::count(block.get(), block.get() + size, 0), static_cast<std::ptrdiff_t>(size)) << size;
    std::fill(block.get(), block.get() + size, 0xA5);
    EXPECT_EQ(block[size - 1], 0xA5);
  }
  // A page image reused for a new page starts white-of-zero again.
  TDibGraphic page;
  page.NewImage(2480, 3508, ifBlackWhite, nullptr, 300, 300);
  std::fill(page.Bits(), page.Bits() + page.ImageSize(), 0xFF);
  page.NewImage(2480, 3508, ifBlackWhite, nullptr, 300, 300);
  EXPECT_EQ(std::count(page.Bits(), page.Bits() + page.ImageSize(), 0), static_cast<std::ptrdiff_t>(page.ImageSize()));
}
