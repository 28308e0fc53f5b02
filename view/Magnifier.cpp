#include "view/Magnifier.h"

#include <algorithm>
#include <array>

TPoint MagnifierOrigin(int width, int height, int x, int y) { return TPoint{x - width / 2 + 1, y - height / 2 + 1}; }

namespace {

// Copies page row y, columns x0 .. x0 + count - 1 (all on the page), as
// 32-bit colours.
void CopyRow(const TDibGraphic& page, const std::array<QRgb, 256>& colours, int y, int x0, int count, QRgb* out) {
  const std::uint8_t* row = page.ScanLine(y);
  switch (page.BitCount()) {
    case 1: {
      const std::uint8_t* p = row + x0 / 8;
      int bit = 7 - x0 % 8;
      unsigned byte = *p;
      for (int i = 0; i < count; ++i) {
        out[i] = colours[(byte >> bit) & 1u];
        if (--bit < 0 && i + 1 < count) {
          bit = 7;
          byte = *++p;
        }
      }
      break;
    }
    case 4:
      for (int i = 0; i < count; ++i) {
        const int x = x0 + i;
        const std::uint8_t b = row[x / 2];
        out[i] = colours[(x & 1) ? (b & 0x0F) : (b >> 4)];
      }
      break;
    case 8:
      for (int i = 0; i < count; ++i) out[i] = colours[row[x0 + i]];
      break;
    default: {
      const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x0) * 3;
      for (int i = 0; i < count; ++i, p += 3) out[i] = qRgb(p[2], p[1], p[0]);
      break;
    }
  }
}

}  // namespace

void DrawMagnifier(const TDibGraphic& page, int x, int y, QImage& target) {
  if (target.isNull()) return;
  if (target.format() != QImage::Format_RGB32) target = target.convertToFormat(QImage::Format_RGB32);
  const int w = target.width(), h = target.height();
  target.fill(Qt::white);
  if (!page.Empty()) {
    std::array<QRgb, 256> colours{};
    if (page.ImageFormat() != ifTrueColor) {
      const TPalette& palette = page.Palette();
      for (std::size_t i = 0; i < palette.size() && i < colours.size(); ++i)
        colours[i] = qRgb(palette[i].Red, palette[i].Green, palette[i].Blue);
    }
    const TPoint origin = MagnifierOrigin(w, h, x, y);
    // The part of the block that lies on the page.
    const int left = std::max(origin.X, 0), right = std::min(origin.X + w, page.Width());
    const int top = std::max(origin.Y, 0), bottom = std::min(origin.Y + h, page.Height());
    for (int py = top; py < bottom && left < right; ++py) {
      auto* out = reinterpret_cast<QRgb*>(target.scanLine(py - origin.Y)) + (left - origin.X);
      CopyRow(page, colours, py, left, right - left, out);
    }
  }
  const int cx = w / 2 - 1, cy = h / 2 - 1;
  if (cx >= 0)
    for (int j = 0; j < h; ++j) reinterpret_cast<QRgb*>(target.scanLine(j))[cx] = kMagnifierPen;
  if (cy >= 0) std::fill_n(reinterpret_cast<QRgb*>(target.scanLine(cy)), w, kMagnifierPen);
}
