#include "correction/Borders.h"

#include <algorithm>

#include "correction/NoiseData.h"
#include "image/ImagingErrors.h"
#include "image/RasterRows.h"
#include "image/transforms/CropTransform.h"

void EraseOutsideRect(TDibGraphic& image, const TRect& rect) {
  if (image.Empty()) return;
  if (std::int64_t{rect.Right} - rect.Left < 1 || std::int64_t{rect.Bottom} - rect.Top < 1) return;
  const int w = image.Width(), h = image.Height();
  const std::uint8_t white = rows::WhitePattern(image);
  rows::FillWhite(image, TRect{0, 0, w, rect.Top}, white);
  rows::FillWhite(image, TRect{0, 0, rect.Left, h}, white);
  rows::FillWhite(image, TRect{0, rect.Bottom, w, h}, white);
  rows::FillWhite(image, TRect{rect.Right, 0, w, h}, white);
}

void CropToRect(TDibGraphic& image, const TRect& rect) {
  if (image.Empty()) return;
  if (std::int64_t{rect.Right} - rect.Left < 1 || std::int64_t{rect.Bottom} - rect.Top < 1) return;
  TDibGraphic result;
  CropGraphic(image, rect, result);
  // Wholly outside the page: the crop transform's own error.
  if (result.Empty()) throw EImagingError("Invalid crop parameters");
  image.Assign(result);
}

void ExtendLines(TDibGraphic& image, int threshold) {
  if (image.Empty()) return;
  TNoiseData noise(image, threshold);
  noise.FindComponents();
  // LargestComponent gives (0, 0, 0, 0) both for "no group" and for a
  // one-pixel group in the corner, so ask the list itself.
  if (noise.Finished().empty()) return;
  const TRect box = noise.LargestComponent();
  const int w = image.Width(), h = image.Height();
  const std::int64_t bpp = image.BitCount();

  TDibGraphic strip;
  if (h < w) {
    const int stripWidth = box.Right - box.Left + 1;
    strip.NewImage(stripWidth, h, image.ImageFormat(), &image.Palette());
    rows::CopyRect(strip, 0, 0, image, TRect{box.Left, 0, box.Right + 1, h});
    for (int y = 0; y < h; ++y) {
      std::uint8_t* line = image.ScanLine(y);
      const std::uint8_t* band = strip.ScanLine(y);
      for (int x = 0; x < w; x += stripWidth) rows::CopyBits(line, x * bpp, band, 0, std::min(stripWidth, w - x) * bpp);
    }
  } else {
    const int stripHeight = box.Bottom - box.Top + 1;
    strip.NewImage(w, stripHeight, image.ImageFormat(), &image.Palette());
    rows::CopyRect(strip, 0, 0, image, TRect{0, box.Top, w, box.Bottom + 1});
    const std::int64_t rowBits = w * bpp;
    for (int y = 0; y < h; ++y) rows::CopyBits(image.ScanLine(y), 0, strip.ScanLine(y % stripHeight), 0, rowBits);
  }
}
