#include <gtest/gtest.h>

#include <random>

#include "image/ImagingHooks.h"
#include "support/TestSupport.h"
#include "view/DibQImage.h"

namespace {

void RandomPixels(TDibGraphic& g, std::uint32_t seed) {
  std::mt19937 rng(seed);
  const auto entries = static_cast<std::uint32_t>(g.Palette().size());
  for (int y = 0; y < g.Height(); ++y)
    for (int x = 0; x < g.Width(); ++x)
      if (g.ImageFormat() == ifTrueColor)
        g.SetPixel(x, y, rng() & 0xFFFFFF);
      else
        g.SetPixelIndex(x, y, static_cast<int>(rng() % entries));
}

}  // namespace

TEST(DibQImage, AllSixFormatsRoundTripWithColoursAndResolution) {
  const struct {
    TImageFormat Format;
    QImage::Format Expected;
  } cases[] = {{ifBlackWhite, QImage::Format_Mono},   {ifGray16, QImage::Format_Indexed8},
               {ifGray256, QImage::Format_Indexed8},  {ifColor16, QImage::Format_Indexed8},
               {ifColor256, QImage::Format_Indexed8}, {ifTrueColor, QImage::Format_RGB32}};
  for (const auto& c : cases)
    for (int width : {1, 7, 33}) {
      TDibGraphic dib;
      dib.NewImage(width, 5, c.Format, nullptr, 300, 200);
      RandomPixels(dib, static_cast<std::uint32_t>(width));
      const QImage q = DibToQImage(dib);
      ASSERT_EQ(q.format(), c.Expected) << ImageFormatText(c.Format);
      ASSERT_EQ(q.size(), QSize(width, 5));
      EXPECT_EQ(q.dotsPerMeterX(), dib.XPelsPerMeter());
      EXPECT_EQ(q.dotsPerMeterY(), dib.YPelsPerMeter());
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < width; ++x)
          ASSERT_EQ(q.pixel(x, y) & 0xFFFFFF, dib.GetPixel(x, y)) << ImageFormatText(c.Format) << " " << x << "," << y;

      TDibGraphic back;
      QImageToDib(q, back);
      EXPECT_TRUE(SamePixels(back, dib)) << ImageFormatText(c.Format) << " width " << width;
      EXPECT_EQ(back.XDotsPerInch(), 300);
      EXPECT_EQ(back.YDotsPerInch(), 200);
    }
}

TEST(DibQImage, TwoColourTablesBecomeBilevelWithThatPalette) {
  const QList<QRgb> table{qRgb(200, 0, 0), qRgb(0, 0, 150)};
  QImage indexed(10, 3, QImage::Format_Indexed8);
  indexed.setColorTable(table);
  indexed.fill(0);
  indexed.setPixel(3, 1, 1);
  QImage mono(10, 3, QImage::Format_MonoLSB);
  mono.setColorTable(table);
  mono.fill(0);
  mono.setPixel(3, 1, 1);
  for (const QImage& q : {indexed, mono}) {
    TDibGraphic dib;
    QImageToDib(q, dib);
    ASSERT_EQ(dib.ImageFormat(), ifBlackWhite);
    EXPECT_EQ(dib.Palette(), (TPalette{{200, 0, 0, 0}, {0, 0, 150, 0}}));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 10; ++x) EXPECT_EQ(dib.GetPixelIndex(x, y), (x == 3 && y == 1) ? 1 : 0);
  }
}

TEST(DibQImage, OtherFormatsBecomeTrueColourOverWhitePaper) {
  QImage rgb(3, 1, QImage::Format_RGB888);
  rgb.setPixel(0, 0, qRgb(10, 20, 30));
  rgb.setPixel(1, 0, qRgb(255, 0, 0));
  rgb.setPixel(2, 0, qRgb(0, 0, 255));
  TDibGraphic dib;
  QImageToDib(rgb, dib);
  ASSERT_EQ(dib.ImageFormat(), ifTrueColor);
  EXPECT_EQ(dib.GetPixel(0, 0), RgbColor(10, 20, 30));
  EXPECT_EQ(dib.GetPixel(1, 0), RgbColor(255, 0, 0));
  EXPECT_EQ(dib.GetPixel(2, 0), RgbColor(0, 0, 255));

  QImage argb(3, 1, QImage::Format_ARGB32);
  argb.setPixel(0, 0, qRgba(0, 0, 0, 0));    // transparent: paper
  argb.setPixel(1, 0, qRgba(0, 0, 0, 255));  // opaque black
  argb.setPixel(2, 0, qRgba(0, 0, 0, 128));  // half black
  QImageToDib(argb, dib);
  ASSERT_EQ(dib.ImageFormat(), ifTrueColor);
  EXPECT_EQ(dib.GetPixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(dib.GetPixel(1, 0), 0u);
  EXPECT_EQ(dib.GetPixel(2, 0), RgbColor(127, 127, 127));

  QImage grey(5, 2, QImage::Format_Grayscale8);
  grey.fill(77);
  QImageToDib(grey, dib);
  EXPECT_EQ(dib.ImageFormat(), ifGray256);
  EXPECT_EQ(dib.GetPixelIndex(4, 1), 77);
}

TEST(DibQImage, NullAndEmptyCorrespond) {
  TDibGraphic dib;
  EXPECT_TRUE(DibToQImage(dib).isNull());
  MakeWhitePage(dib, 4, 4);
  QImageToDib(QImage(), dib);
  EXPECT_TRUE(dib.Empty());
}

TEST(DibQImage, ImageWithoutResolutionTakesTheScreens) {
  QImage q(2, 2, QImage::Format_RGB32);
  q.setDotsPerMeterX(0);
  q.setDotsPerMeterY(0);
  TDibGraphic dib;
  QImageToDib(q, dib);
  EXPECT_EQ(dib.XDotsPerInch(), ImagingHooks().ScreenDpiX);
}
