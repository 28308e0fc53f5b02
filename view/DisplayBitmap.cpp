#include "view/DisplayBitmap.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

int GreyOf(const TPaletteEntry& e) {
  return (e.Red * 299 + e.Green * 587 + e.Blue * 114 + 500) / 1000;
}

// Source column (or row) sampled for each destination column when rows and
// columns are dropped or repeated.
std::vector<int> NearestMap(int destSize, int sourceSize) {
  std::vector<int> map(static_cast<std::size_t>(destSize));
  for (int i = 0; i < destSize; ++i)
    map[i] = static_cast<int>(static_cast<long long>(i) * sourceSize / destSize);
  return map;
}

void NewGreyDisplay(const TDibGraphic& page, TDibGraphic& display, int width, int height) {
  display.NewImage(width, height, ifGray256, nullptr, page.XDotsPerInch(), page.YDotsPerInch());
}

// Decodes one page row into B, G, R bytes.
void DecodeRowBgr(const TDibGraphic& page, int y, std::uint8_t* out) {
  const std::uint8_t* src = page.ScanLine(y);
  const int w = page.Width();
  const TPalette& pal = page.Palette();
  auto put = [&](int x, int index) {
    const TPaletteEntry e = index < static_cast<int>(pal.size()) ? pal[index] : TPaletteEntry{};
    out[3 * x] = e.Blue;
    out[3 * x + 1] = e.Green;
    out[3 * x + 2] = e.Red;
  };
  switch (page.ImageFormat()) {
    case ifTrueColor:
      std::memcpy(out, src, static_cast<std::size_t>(w) * 3);
      break;
    case ifBlackWhite:
      for (int x = 0; x < w; ++x) put(x, (src[x >> 3] >> (7 - (x & 7))) & 1);
      break;
    case ifGray16:
    case ifColor16:
      for (int x = 0; x < w; ++x) put(x, (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4));
      break;
    case ifGray256:
    case ifColor256:
      for (int x = 0; x < w; ++x) put(x, src[x]);
      break;
  }
}

void ScaleBlackWhiteToGrey(const TDibGraphic& page, TDibGraphic& display) {
  const int w = display.Width(), h = display.Height();
  const std::vector<int> cols = NearestMap(w, page.Width());
  const std::vector<int> rows = NearestMap(h, page.Height());
  const TPalette& pal = page.Palette();
  const std::uint8_t grey0 = pal.size() > 0 ? static_cast<std::uint8_t>(GreyOf(pal[0])) : 0;
  const std::uint8_t grey1 = pal.size() > 1 ? static_cast<std::uint8_t>(GreyOf(pal[1])) : 255;
  std::vector<std::uint8_t> bitShift(cols.size());
  for (std::size_t i = 0; i < cols.size(); ++i) bitShift[i] = static_cast<std::uint8_t>(7 - (cols[i] & 7));
  int lastSource = -1;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* out = display.ScanLine(y);
    if (rows[y] == lastSource) {
      std::memcpy(out, display.ScanLine(y - 1), static_cast<std::size_t>(w));
      continue;
    }
    lastSource = rows[y];
    const std::uint8_t* src = page.ScanLine(rows[y]);
    for (int x = 0; x < w; ++x) out[x] = ((src[cols[x] >> 3] >> bitShift[x]) & 1) ? grey1 : grey0;
  }
}

void ScaleGreyNearest(const TDibGraphic& page, TDibGraphic& display) {
  const int w = display.Width(), h = display.Height();
  const std::vector<int> cols = NearestMap(w, page.Width());
  const std::vector<int> rows = NearestMap(h, page.Height());
  std::uint8_t lut[256];
  const TPalette& pal = page.Palette();
  for (int i = 0; i < 256; ++i)
    lut[i] = i < static_cast<int>(pal.size()) ? static_cast<std::uint8_t>(GreyOf(pal[i])) : 0;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* src = page.ScanLine(rows[y]);
    std::uint8_t* out = display.ScanLine(y);
    for (int x = 0; x < w; ++x) out[x] = lut[src[cols[x]]];
  }
}

void ScaleColourNearest(const TDibGraphic& page, TDibGraphic& display) {
  const int w = display.Width(), h = display.Height();
  const std::vector<int> cols = NearestMap(w, page.Width());
  const std::vector<int> rows = NearestMap(h, page.Height());
  std::vector<std::uint8_t> decoded(static_cast<std::size_t>(page.Width()) * 3);
  int lastSource = -1;
  for (int y = 0; y < h; ++y) {
    if (rows[y] != lastSource) {
      DecodeRowBgr(page, rows[y], decoded.data());
      lastSource = rows[y];
    }
    std::uint8_t* out = display.ScanLine(y);
    for (int x = 0; x < w; ++x) std::memcpy(out + 3 * x, decoded.data() + 3 * cols[x], 3);
  }
}

// Area average of a true-colour page being shrunk on both axes.
void ScaleColourAverage(const TDibGraphic& page, TDibGraphic& display) {
  const int w = display.Width(), h = display.Height();
  const int sw = page.Width(), sh = page.Height();
  std::vector<int> colOf(static_cast<std::size_t>(sw));
  std::vector<int> colCount(static_cast<std::size_t>(w), 0);
  for (int x = 0; x < sw; ++x) {
    colOf[x] = static_cast<int>(static_cast<long long>(x) * w / sw);
    ++colCount[colOf[x]];
  }
  std::vector<std::uint32_t> acc(static_cast<std::size_t>(w) * 3);
  int sy = 0;
  for (int y = 0; y < h; ++y) {
    std::fill(acc.begin(), acc.end(), 0u);
    int rowsInBox = 0;
    for (; sy < sh && static_cast<long long>(sy) * h / sh == y; ++sy, ++rowsInBox) {
      const std::uint8_t* src = page.ScanLine(sy);
      for (int x = 0; x < sw; ++x) {
        std::uint32_t* a = &acc[3 * static_cast<std::size_t>(colOf[x])];
        a[0] += src[3 * x];
        a[1] += src[3 * x + 1];
        a[2] += src[3 * x + 2];
      }
    }
    std::uint8_t* out = display.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t n = static_cast<std::uint32_t>(std::max(1, colCount[x] * rowsInBox));
      for (int c = 0; c < 3; ++c) out[3 * x + c] = static_cast<std::uint8_t>(acc[3 * x + c] / n);
    }
  }
}

void Invert(TDibGraphic& display) {
  const int bytes = display.ImageFormat() == ifTrueColor ? display.Width() * 3 : display.Width();
  for (int y = 0; y < display.Height(); ++y) {
    std::uint8_t* row = display.ScanLine(y);
    for (int x = 0; x < bytes; ++x) row[x] = static_cast<std::uint8_t>(~row[x]);
  }
}

}  // namespace

void AntiAliasToGray(const TDibGraphic& page, TDibGraphic& dest, int width, int height) {
  const int sw = page.Width(), sh = page.Height();
  if (width <= 0) width = sw;
  if (height <= 0) height = sh;
  NewGreyDisplay(page, dest, width, height);
  // Box boundaries: c(i) = round(i x sw / width) for i < width, c(width) =
  // sw - 1; rows likewise, and a box includes both of its boundary rows.
  std::vector<int> c(static_cast<std::size_t>(width) + 1), r(static_cast<std::size_t>(height) + 1);
  for (int i = 0; i < width; ++i)
    c[i] = static_cast<int>(std::nearbyint(static_cast<double>(i) * sw / width));
  c[width] = sw - 1;
  for (int j = 0; j < height; ++j)
    r[j] = static_cast<int>(std::nearbyint(static_cast<double>(j) * sh / height));
  r[height] = sh - 1;

  // White pixels of [c(i), c(i+1)) of one row come from a running count
  // at every boundary: whole bytes before the boundary (prefix of byte
  // popcounts) plus the leading bits of the boundary's own byte.
  static const auto leadingWhite = [] {
    std::array<std::array<std::uint8_t, 8>, 256> t{};
    for (int b = 0; b < 256; ++b)
      for (int k = 0; k < 8; ++k) t[b][k] = static_cast<std::uint8_t>(std::popcount(static_cast<unsigned>(b) >> (8 - k)));
    return t;
  }();
  const int rowBytes = (sw + 7) / 8;
  std::vector<int> bytePrefix(static_cast<std::size_t>(rowBytes) + 2, 0);
  std::vector<int> boundaryWhite(static_cast<std::size_t>(width) + 1);
  // White counts of one page row per box column; the boundary row shared by
  // two neighbouring boxes is counted once.
  std::vector<int> counts(static_cast<std::size_t>(width));
  std::vector<int> sharedCounts(static_cast<std::size_t>(width));
  std::vector<int> boxWhite(static_cast<std::size_t>(width));
  int sharedRow = -1;
  auto countRow = [&](int y, std::vector<int>& out) {
    const std::uint8_t* row = page.ScanLine(y);
    int running = 0;
    for (int k = 0; k < rowBytes; ++k) {
      bytePrefix[k] = running;
      running += std::popcount(static_cast<unsigned>(row[k]));
    }
    bytePrefix[rowBytes] = running;  // only reached with a whole last byte
    for (int i = 0; i <= width; ++i) {
      const int c0 = c[i];
      const int byte = c0 >> 3;
      boundaryWhite[i] = bytePrefix[byte] + ((c0 & 7) ? leadingWhite[row[byte]][c0 & 7] : 0);
    }
    for (int i = 0; i < width; ++i)
      out[i] = c[i + 1] > c[i] ? boundaryWhite[i + 1] - boundaryWhite[i] : 0;
  };

  for (int j = 0; j < height; ++j) {
    const int r0 = std::max(0, r[j]);
    const int r1 = std::min(sh - 1, r[j + 1]);
    std::fill(boxWhite.begin(), boxWhite.end(), 0);
    int rowsInBox = 0;
    for (int y = r0; y <= r1; ++y, ++rowsInBox) {
      if (y == sharedRow) {
        for (int i = 0; i < width; ++i) boxWhite[i] += sharedCounts[i];
        continue;
      }
      countRow(y, counts);
      for (int i = 0; i < width; ++i) boxWhite[i] += counts[i];
      if (y == r1) {
        sharedCounts.swap(counts);
        sharedRow = y;
      }
    }
    std::uint8_t* out = dest.ScanLine(j);
    for (int i = 0; i < width; ++i) {
      const int cols = std::max(0, c[i + 1] - c[i]);
      const int total = cols * rowsInBox;
      const int white = boxWhite[i];
      const int black = total - white;
      int v;
      if (black == 0)
        v = 255;
      else if (black == total)
        v = 0;
      else if (white < total / 8)
        v = 0;
      else if (black < total / 8)
        v = 255;
      else
        v = white * 255 / total;
      out[i] = static_cast<std::uint8_t>(v);
    }
  }
}

void BuildDisplayBitmap(const TDibGraphic& page, TDibGraphic& display, int width, int height,
                        bool antiAlias, bool invert) {
  if (page.Empty()) {
    display.Clear();
    return;
  }
  width = std::max(1, width);
  height = std::max(1, height);
  switch (page.ImageFormat()) {
    case ifBlackWhite:
      if (antiAlias && width <= page.Width() && height <= page.Height()) {
        AntiAliasToGray(page, display, width, height);
      } else {
        NewGreyDisplay(page, display, width, height);
        ScaleBlackWhiteToGrey(page, display);
      }
      break;
    case ifGray256:
      NewGreyDisplay(page, display, width, height);
      ScaleGreyNearest(page, display);
      break;
    default:
      display.NewImage(width, height, ifTrueColor, nullptr, page.XDotsPerInch(), page.YDotsPerInch());
      if (page.ImageFormat() == ifTrueColor && page.Width() * page.Height() > 1024 &&
          width <= page.Width() && height <= page.Height())
        ScaleColourAverage(page, display);
      else
        ScaleColourNearest(page, display);
      break;
  }
  if (invert) Invert(display);
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
    for (int y = 0; y < h; ++y)
      std::memcpy(img.scanLine(y), display.ScanLine(y), static_cast<std::size_t>(w) * 3);
  } else {
    for (int y = 0; y < h; ++y) DecodeRowBgr(display, y, img.scanLine(y));
  }
  return img;
}

void CropGraphic(const TDibGraphic& source, const TRect& r, TDibGraphic& dest) {
  const TRect c = IntersectRect(r, TRect{0, 0, source.Width(), source.Height()});
  if (source.Empty() || c.IsEmpty()) {
    dest.Clear();
    return;
  }
  const int w = c.Width(), h = c.Height();
  const TPalette& pal = source.Palette();
  dest.NewImage(w, h, source.ImageFormat(), pal.empty() ? nullptr : &pal, source.XDotsPerInch(),
                source.YDotsPerInch());
  dest.SetXPelsPerMeter(source.XPelsPerMeter());
  dest.SetYPelsPerMeter(source.YPelsPerMeter());
  const int bpp = source.BitCount();
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* src = source.ScanLine(c.Top + y);
    std::uint8_t* out = dest.ScanLine(y);
    if (bpp >= 8) {
      const int bytes = bpp / 8;
      std::memcpy(out, src + static_cast<std::ptrdiff_t>(c.Left) * bytes, static_cast<std::size_t>(w) * bytes);
    } else if (bpp == 1) {
      const int shift = c.Left & 7;
      const std::uint8_t* s = src + (c.Left >> 3);
      const int outBytes = (w + 7) / 8;
      const int srcBytes = (c.Left + w + 7) / 8 - (c.Left >> 3);
      for (int k = 0; k < outBytes; ++k) {
        const unsigned hi = s[k];
        const unsigned lo = k + 1 < srcBytes ? s[k + 1] : 0xFF;
        out[k] = static_cast<std::uint8_t>(shift ? ((hi << shift) | (lo >> (8 - shift))) : hi);
      }
    } else {
      for (int x = 0; x < w; ++x) {
        const int sx = c.Left + x;
        const int v = (sx & 1) ? (src[sx >> 1] & 0x0F) : (src[sx >> 1] >> 4);
        std::uint8_t& o = out[x >> 1];
        o = (x & 1) ? static_cast<std::uint8_t>((o & 0xF0) | v) : static_cast<std::uint8_t>((o & 0x0F) | (v << 4));
      }
    }
  }
}
