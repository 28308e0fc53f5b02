#include "view/DisplayBitmap.h"

#include <algorithm>
#include <cstring>

#include "image/transforms/AntiAliasTransform.h"
#include "image/transforms/CropTransform.h"
#include "image/transforms/NegativeTransform.h"
#include "image/transforms/ResizeTransform.h"

namespace {

int GreyOf(const TPaletteEntry& e) { return (e.Red * 299 + e.Green * 587 + e.Blue * 114 + 500) / 1000; }

}  // namespace

void BuildDisplayBitmap(const TDibGraphic& page, TDibGraphic& display, int width, int height, bool antiAlias,
                        bool invert) {
  if (page.Empty()) {
    display.Clear();
    return;
  }
  width = std::max(1, width);
  height = std::max(1, height);
  if (antiAlias && page.ImageFormat() == ifBlackWhite && width <= page.Width() && height <= page.Height()) {
    // Smoothing produces the display size directly; the resize that would
    // follow is a copy of the same size and is left out.
    TAntiAliasTransform smooth;
    smooth.Width = width;
    smooth.Height = height;
    smooth.ApplyOnDest(page, display);
  } else {
    TResizeTransform resize;
    resize.Width = width;
    resize.Height = height;
    switch (page.ImageFormat()) {
      case ifGray256:
      case ifTrueColor:
        break;
      case ifBlackWhite:
        resize.ChangeFormat = true;
        resize.NewFormat = ifGray256;
        break;
      default:
        resize.ChangeFormat = true;
        resize.NewFormat = ifTrueColor;
        break;
    }
    resize.ApplyOnDest(page, display);
  }
  if (invert) TNegativeTransform().Apply(display);
}

QImage DisplayToQImage(const TDibGraphic& display) {
  if (display.Empty()) return {};
  const int w = display.Width(), h = display.Height();
  if (display.ImageFormat() == ifGray256) {
    QImage img(w, h, QImage::Format_Grayscale8);
    std::uint8_t lut[256];
    const TPalette& pal = display.Palette();
    for (int i = 0; i < 256; ++i)
      lut[i] = i < static_cast<int>(pal.size()) ? static_cast<std::uint8_t>(GreyOf(pal[i])) : 0;
    bool identity = true;
    for (int i = 0; i < 256 && identity; ++i) identity = lut[i] == i;
    for (int y = 0; y < h; ++y) {
      uchar* out = img.scanLine(y);
      const std::uint8_t* src = display.ScanLine(y);
      if (identity)
        std::memcpy(out, src, static_cast<std::size_t>(w));
      else
        for (int x = 0; x < w; ++x) out[x] = lut[src[x]];
    }
    return img;
  }
  QImage img(w, h, QImage::Format_BGR888);
  if (display.ImageFormat() == ifTrueColor) {
    for (int y = 0; y < h; ++y) std::memcpy(img.scanLine(y), display.ScanLine(y), static_cast<std::size_t>(w) * 3);
  } else {
    for (int y = 0; y < h; ++y) {
      uchar* out = img.scanLine(y);
      for (int x = 0; x < w; ++x) {
        const TColor32 c = display.GetPixel(x, y);
        out[3 * x] = static_cast<uchar>(BlueOf(c));
        out[3 * x + 1] = static_cast<uchar>(GreenOf(c));
        out[3 * x + 2] = static_cast<uchar>(RedOf(c));
      }
    }
  }
  return img;
}
