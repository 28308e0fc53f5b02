#include "image/RasterRows.h"

#include <algorithm>
#include <cstring>

namespace rows {

namespace {

// Mask of the bits [from, to) of one byte, MSB first (0 <= from < to <= 8).
inline std::uint8_t ByteMask(int from, int to) {
  return static_cast<std::uint8_t>((0xFFu >> from) & (0xFFu << (8 - to)));
}

inline void Merge(std::uint8_t& dst, std::uint8_t value, std::uint8_t mask) {
  dst = static_cast<std::uint8_t>((dst & ~mask) | (value & mask));
}

// Eight source bits starting at bit s; reads the second byte only when the
// requested bits reach into it (so a read never passes the range's end).
inline std::uint8_t Bits8(const std::uint8_t* src, std::int64_t s, int needed) {
  const std::int64_t byte = s >> 3;
  const int shift = static_cast<int>(s & 7);
  unsigned v = static_cast<unsigned>(src[byte]) << 8;
  if (shift + needed > 8) v |= src[byte + 1];
  return static_cast<std::uint8_t>(v >> (8 - shift));
}

}  // namespace

void FillBits(std::uint8_t* row, std::int64_t bitStart, std::int64_t bitCount, std::uint8_t pattern) {
  if (bitCount <= 0) return;
  std::int64_t first = bitStart >> 3;
  const std::int64_t end = bitStart + bitCount;
  const std::int64_t last = (end - 1) >> 3;
  const int head = static_cast<int>(bitStart & 7);
  const int tail = static_cast<int>(((end - 1) & 7) + 1);
  if (first == last) {
    Merge(row[first], pattern, ByteMask(head, tail));
    return;
  }
  if (head != 0) {
    Merge(row[first], pattern, ByteMask(head, 8));
    ++first;
  }
  std::int64_t full = last - first + (tail == 8 ? 1 : 0);
  std::memset(row + first, pattern, static_cast<std::size_t>(full));
  if (tail != 8) Merge(row[last], pattern, ByteMask(0, tail));
}

void CopyBits(std::uint8_t* dst, std::int64_t dstBit, const std::uint8_t* src, std::int64_t srcBit,
              std::int64_t bitCount) {
  if (bitCount <= 0) return;
  const std::int64_t dstEnd = dstBit + bitCount;
  std::int64_t d = dstBit;
  std::int64_t s = srcBit;
  // Leading partial destination byte.
  if (d & 7) {
    const int from = static_cast<int>(d & 7);
    const int to = static_cast<int>(std::min<std::int64_t>(8, from + bitCount));
    const int n = to - from;
    const std::uint8_t v = static_cast<std::uint8_t>(Bits8(src, s, n) >> from);
    Merge(dst[d >> 3], v, ByteMask(from, to));
    d += n;
    s += n;
  }
  // Whole destination bytes.
  const std::int64_t wholeBytes = (dstEnd - d) >> 3;
  if (wholeBytes > 0) {
    std::uint8_t* out = dst + (d >> 3);
    const int shift = static_cast<int>(s & 7);
    const std::uint8_t* in = src + (s >> 3);
    if (shift == 0) {
      std::memcpy(out, in, static_cast<std::size_t>(wholeBytes));
    } else {
      // Every whole byte needs bits of two source bytes; the last one reads
      // in[wholeBytes], which still lies inside the source range.
      for (std::int64_t i = 0; i < wholeBytes; ++i)
        out[i] = static_cast<std::uint8_t>((in[i] << shift) | (in[i + 1] >> (8 - shift)));
    }
    d += wholeBytes * 8;
    s += wholeBytes * 8;
  }
  // Trailing partial destination byte.
  if (d < dstEnd) {
    const int n = static_cast<int>(dstEnd - d);
    Merge(dst[d >> 3], Bits8(src, s, n), ByteMask(0, n));
  }
}

std::uint8_t WhitePattern(TDibGraphic& image) {
  switch (image.ImageFormat()) {
    case ifTrueColor:
      return 0xFF;
    case ifBlackWhite: {
      const int index = image.NearestPaletteIndex(0xFFFFFF) & 1;
      return index ? 0xFF : 0x00;
    }
    case ifGray16:
    case ifColor16: {
      const int index = image.NearestPaletteIndex(0xFFFFFF) & 0x0F;
      return static_cast<std::uint8_t>(index * 0x11);
    }
    default:
      return static_cast<std::uint8_t>(image.NearestPaletteIndex(0xFFFFFF));
  }
}

void FillWhite(TDibGraphic& image, const TRect& r) {
  if (image.Empty()) return;
  FillWhite(image, r, WhitePattern(image));
}

void FillWhite(TDibGraphic& image, const TRect& r, std::uint8_t whitePattern) {
  if (image.Empty()) return;
  const int left = std::max(r.Left, 0);
  const int top = std::max(r.Top, 0);
  const int right = std::min(r.Right, image.Width());
  const int bottom = std::min(r.Bottom, image.Height());
  if (left >= right || top >= bottom) return;
  const std::int64_t bpp = image.BitCount();
  for (int y = top; y < bottom; ++y) FillBits(image.ScanLine(y), left * bpp, (right - left) * bpp, whitePattern);
}

void CopyRect(TDibGraphic& dest, std::int64_t x, std::int64_t y, const TDibGraphic& source, const TRect& srcRect) {
  if (dest.Empty() || source.Empty()) return;
  std::int64_t sx0 = srcRect.Left, sy0 = srcRect.Top;
  std::int64_t sx1 = srcRect.Right, sy1 = srcRect.Bottom;
  // Clip to the source, moving the target with the cut.
  if (sx0 < 0) {
    x -= sx0;
    sx0 = 0;
  }
  if (sy0 < 0) {
    y -= sy0;
    sy0 = 0;
  }
  sx1 = std::min<std::int64_t>(sx1, source.Width());
  sy1 = std::min<std::int64_t>(sy1, source.Height());
  // Clip to the destination.
  if (x < 0) {
    sx0 -= x;
    x = 0;
  }
  if (y < 0) {
    sy0 -= y;
    y = 0;
  }
  sx1 = std::min<std::int64_t>(sx1, sx0 + (dest.Width() - x));
  sy1 = std::min<std::int64_t>(sy1, sy0 + (dest.Height() - y));
  if (sx0 >= sx1 || sy0 >= sy1) return;
  const std::int64_t bpp = source.BitCount();
  for (std::int64_t sy = sy0; sy < sy1; ++sy)
    CopyBits(dest.ScanLine(static_cast<int>(y + sy - sy0)), x * bpp, source.ScanLine(static_cast<int>(sy)), sx0 * bpp,
             (sx1 - sx0) * bpp);
}

}  // namespace rows
