#include "image/transforms/CropTransform.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/transforms/BitRows.h"

void TCropTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
  // An empty page is an invalid crop below, not an empty result.
  if (AppliedThroughTemporary(source, destination)) return;
  Progress(0, 0, 100);
  const int w = source.Width(), h = source.Height();
  const std::int64_t right = Absolute ? Right : std::int64_t{w} - Right;
  const std::int64_t bottom = Absolute ? Bottom : std::int64_t{h} - Bottom;
  if (bottom <= Top || Left >= right) throw EImagingError("Invalid crop parameters");
  // Keep to the part inside the page.
  const int left = std::max(Left, 0), top = std::max(Top, 0);
  const int cw = static_cast<int>(std::min<std::int64_t>(right, w) - left);
  const int ch = static_cast<int>(std::min<std::int64_t>(bottom, h) - top);
  if (cw <= 0 || ch <= 0) throw EImagingError("Invalid crop parameters");

  destination.NewImage(cw, ch, source.ImageFormat(), &source.Palette(), 0, 0);
  destination.SetXPelsPerMeter(source.XPelsPerMeter());
  destination.SetYPelsPerMeter(source.YPelsPerMeter());
  const int srcStride = source.BytesPerScanLine();
  const int dstStride = destination.BytesPerScanLine();
  std::vector<std::uint64_t> words;
  if (source.BitCount() == 1) words.resize(static_cast<std::size_t>(cw / 64 + 2));
  for (int y = 0; y < ch; ++y) {
    const std::uint8_t* s = source.ScanLine(top + y);
    std::uint8_t* d = destination.ScanLine(y);
    switch (source.BitCount()) {
      case 1:
        bitrows::CopyBits(words.data(), 0, s, left, cw, srcStride);
        bitrows::StoreRow(d, dstStride, cw, words.data());
        break;
      case 4:
        if ((left & 1) == 0) {
          std::memcpy(d, s + left / 2, static_cast<std::size_t>(cw + 1) / 2);
          if (cw & 1) d[cw / 2] &= 0xF0;
        } else {
          for (int x = 0; x < cw; ++x) {
            const int sx = left + x;
            const int v = (sx & 1) ? (s[sx >> 1] & 0x0F) : (s[sx >> 1] >> 4);
            d[x >> 1] = (x & 1) ? static_cast<std::uint8_t>((d[x >> 1] & 0xF0) | v)
                                : static_cast<std::uint8_t>((d[x >> 1] & 0x0F) | (v << 4));
          }
        }
        break;
      case 8:
        std::memcpy(d, s + left, static_cast<std::size_t>(cw));
        break;
      default:
        std::memcpy(d, s + 3 * static_cast<std::ptrdiff_t>(left), static_cast<std::size_t>(cw) * 3);
        break;
    }
    Progress(y, 0, ch);
  }
  Progress(100, 0, 100);
}

void CropGraphic(const TDibGraphic& source, const TRect& r, TDibGraphic& dest) {
  const TRect c = IntersectRect(r, TRect{0, 0, source.Width(), source.Height()});
  if (source.Empty() || c.IsEmpty()) {
    dest.Clear();
    return;
  }
  TCropTransform crop;
  crop.Absolute = true;
  crop.Left = c.Left;
  crop.Top = c.Top;
  crop.Right = c.Right;
  crop.Bottom = c.Bottom;
  crop.ApplyOnDest(source, dest);
}
