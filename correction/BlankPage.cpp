#include "correction/BlankPage.h"

#include <bit>
#include <cstdint>

#include "correction/NoiseRemoval.h"
#include "image/transforms/ImageFormatTransform.h"

namespace {

int Lightness(const TPaletteEntry& e) { return 299 * e.Red + 587 * e.Green + 114 * e.Blue; }

}  // namespace

double DarkPixelShare(const TDibGraphic& page, const TRect& inner, int maxSpeckWidth, int maxSpeckHeight,
                      int threshold) {
  if (page.Empty()) return 0.0;
  TDibGraphic copy;
  copy.Assign(page);
  if (copy.ImageFormat() == ifTrueColor) {
    // Speck removal paints the light pixels white on the way.
    RemoveSpecks(copy, maxSpeckWidth, maxSpeckHeight, false, {}, threshold);
  }
  if (copy.ImageFormat() != ifBlackWhite) {
    TImageFormatTransform toBilevel;
    toBilevel.Format = ifBlackWhite;
    toBilevel.OptimalPalette = false;
    toBilevel.Dither = false;
    toBilevel.Apply(copy);
  }
  RemoveSpecks(copy, maxSpeckWidth, maxSpeckHeight, false, {}, threshold);

  TRect r = IntersectRect(NormalizeRect(inner), Rect(0, 0, copy.Width(), copy.Height()));
  if (r.IsEmpty()) r = Rect(0, 0, copy.Width(), copy.Height());
  const TPalette& palette = copy.Palette();
  // The bit value of dark pixels: the darker of the two palette entries.
  const bool darkIsOne = palette.size() >= 2 && Lightness(palette[1]) < Lightness(palette[0]);
  std::int64_t dark = 0;
  for (int y = r.Top; y < r.Bottom; ++y) {
    const std::uint8_t* row = copy.ScanLine(y);
    std::int64_t ones = 0;
    int x = r.Left;
    // Leading partial byte, whole bytes, trailing partial byte.
    for (; x < r.Right && (x & 7) != 0; ++x) ones += (row[x >> 3] >> (7 - (x & 7))) & 1;
    for (; x + 8 <= r.Right; x += 8) ones += std::popcount(static_cast<unsigned>(row[x >> 3]));
    for (; x < r.Right; ++x) ones += (row[x >> 3] >> (7 - (x & 7))) & 1;
    dark += darkIsOne ? ones : (r.Right - r.Left) - ones;
  }
  const double area = static_cast<double>(r.Right - r.Left) * static_cast<double>(r.Bottom - r.Top);
  return area > 0 ? 100.0 * static_cast<double>(dark) / area : 0.0;
}
