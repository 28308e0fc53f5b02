#include "correction/PagePlacement.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "correction/NoiseData.h"
#include "image/Canvas.h"
#include "image/ImagingHooks.h"
#include "image/RasterRows.h"

namespace {

// --- dark-pixel counts ------------------------------------------------------

// Dark pixels of a bilevel row (index 0 bits among the first width bits).
int BilevelRowInk(const std::uint8_t* line, int width) {
  const int fullBytes = width / 8;
  int white = 0;
  int i = 0;
  for (; i + 8 <= fullBytes; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, line + i, sizeof w);
    white += std::popcount(w);
  }
  for (; i < fullBytes; ++i) white += std::popcount(static_cast<unsigned>(line[i]));
  const int rest = width % 8;
  if (rest) white += std::popcount(static_cast<unsigned>(line[fullBytes] & (0xFF00u >> rest) & 0xFF));
  return width - white;
}

// Byte b of a bilevel row spread into eight byte lanes, lane k = 1 when
// pixel k of the byte is dark.
struct TSpreadTable {
  std::array<std::uint64_t, 256> Lanes{};
  TSpreadTable() {
    for (int b = 0; b < 256; ++b) {
      std::uint64_t v = 0;
      for (int k = 0; k < 8; ++k)
        if (!((b >> (7 - k)) & 1)) v |= std::uint64_t{1} << (8 * k);
      Lanes[static_cast<std::size_t>(b)] = v;
    }
  }
};

// Dark pixels of every column of a bilevel page. Eight columns share one
// 64-bit word of byte counters, flushed before any lane can overflow.
std::vector<int> BilevelColumnInk(const TDibGraphic& image) {
  static const TSpreadTable spread;
  const int width = image.Width();
  const int bytes = (width + 7) / 8;
  const int rest = width % 8;
  // Padding bits of the last byte count as white.
  const auto padMask = static_cast<std::uint8_t>(rest ? (0xFFu >> rest) : 0);
  std::vector<int> counts(static_cast<std::size_t>(bytes) * 8, 0);
  std::vector<std::uint64_t> lanes(static_cast<std::size_t>(bytes), 0);
  auto flush = [&] {
    for (int j = 0; j < bytes; ++j) {
      std::uint64_t v = lanes[static_cast<std::size_t>(j)];
      if (!v) continue;
      for (int k = 0; k < 8; ++k) counts[static_cast<std::size_t>(8 * j + k)] += (v >> (8 * k)) & 0xFF;
      lanes[static_cast<std::size_t>(j)] = 0;
    }
  };
  int pending = 0;
  for (int y = 0; y < image.Height(); ++y) {
    const std::uint8_t* line = image.ScanLine(y);
    for (int j = 0; j < bytes - 1; ++j) lanes[static_cast<std::size_t>(j)] += spread.Lanes[line[j]];
    lanes[static_cast<std::size_t>(bytes - 1)] += spread.Lanes[static_cast<std::uint8_t>(line[bytes - 1] | padMask)];
    if (++pending == 255) {
      flush();
      pending = 0;
    }
  }
  flush();
  counts.resize(static_cast<std::size_t>(width));
  return counts;
}

// Row and column counts of dark pixels of a page in any other format.
void OtherInk(const TDibGraphic& image, int threshold, std::vector<int>& rowInk, std::vector<int>& colInk) {
  const int width = image.Width(), height = image.Height();
  rowInk.assign(static_cast<std::size_t>(height), 0);
  colInk.assign(static_cast<std::size_t>(width), 0);
  std::array<bool, 256> darkIndex{};
  const TPalette& palette = image.Palette();
  for (std::size_t i = 0; i < palette.size() && i < darkIndex.size(); ++i)
    darkIndex[i] = GreyOf(palette[i].Red, palette[i].Green, palette[i].Blue) < threshold;
  const int bpp = image.BitCount();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* line = image.ScanLine(y);
    int count = 0;
    for (int x = 0; x < width; ++x) {
      bool dark;
      if (bpp == 24) {
        const std::uint8_t* px = line + 3 * static_cast<std::ptrdiff_t>(x);
        dark = GreyOf(px[2], px[1], px[0]) < threshold;
      } else if (bpp == 8) {
        dark = darkIndex[line[x]];
      } else {
        const std::uint8_t b = line[x / 2];
        dark = darkIndex[(x & 1) ? (b & 0x0F) : (b >> 4)];
      }
      if (dark) {
        ++count;
        ++colInk[static_cast<std::size_t>(x)];
      }
    }
    rowInk[static_cast<std::size_t>(y)] = count;
  }
}

// --- the shared steps of every placement ------------------------------------

bool CanPlace(const TDibGraphic& image, const TDibGraphic* undo) { return !image.Empty() && undo && undo != &image; }

// Undo <- page; page <- white.
void SaveAndClear(TDibGraphic& image, TDibGraphic& undo) {
  undo.Assign(image);
  rows::FillWhite(image, TRect{0, 0, image.Width(), image.Height()});
}

// Stretches src of source onto dest of image with the black-on-white mode.
// Equal sizes are a plain copy.
void StretchBlackOnWhite(TDibGraphic& image, const TRect& dest, const TDibGraphic& source, const TRect& src) {
  if (dest.Width() < 1 || dest.Height() < 1 || src.Width() < 1 || src.Height() < 1) return;
  if (dest.Width() == src.Width() && dest.Height() == src.Height()) {
    rows::CopyRect(image, dest.Left, dest.Top, source, src);
    return;
  }
  TCanvas& canvas = image.Canvas();
  const TStretchMode oldMode = canvas.StretchMode;
  const TCopyMode oldCopy = canvas.CopyMode;
  canvas.StretchMode = TStretchMode::smBlackOnWhite;
  canvas.CopyMode = TCopyMode::cmCopy;
  canvas.StretchDraw(dest, source, src);
  canvas.StretchMode = oldMode;
  canvas.CopyMode = oldCopy;
}

// Displacement of the content along one axis for the centring modes.
std::int64_t Displacement(int mode, std::int64_t size, std::int64_t first, std::int64_t last, std::int64_t offset) {
  switch (mode) {
    case 0:
      return (size - last - first) / 2;
    case 1:
      return offset - first;
    case 2:
      return size - last - offset;
    default:
      return 0;
  }
}

// Round to nearest, halves to even, of value * percent / 100.
std::int64_t PercentOf(std::int64_t value, std::int64_t percent) {
  const std::int64_t p = value * percent;
  std::int64_t q = p / 100, r = p % 100;
  if (r < 0) {
    q -= 1;
    r += 100;
  }
  if (r > 50 || (r == 50 && (q & 1))) ++q;
  return q;
}

// First and last index whose count reaches the limit; first and last are
// left as they are when none does (the last is searched down to the first).
template <typename CountReaches>
void ContentSpan(int size, CountReaches reaches, int& first, int& last) {
  for (int i = 0; i < size; ++i)
    if (reaches(i)) {
      first = i;
      break;
    }
  for (int i = size - 1; i >= first; --i)
    if (reaches(i)) {
      last = i;
      break;
    }
}

}  // namespace

TRect FindContentBounds(const TDibGraphic& image, int rowInk, int colInk, int threshold) {
  if (image.Empty()) return TRect{};
  const int width = image.Width(), height = image.Height();
  if (image.ImageFormat() == ifBlackWhite) {
    TRect r{};
    ContentSpan(
        height, [&](int y) { return BilevelRowInk(image.ScanLine(y), width) >= rowInk; }, r.Top, r.Bottom);
    if (colInk <= 0) {
      r.Left = 0;
      r.Right = width - 1;
    } else {
      const std::vector<int> cols = BilevelColumnInk(image);
      ContentSpan(
          width, [&](int x) { return cols[static_cast<std::size_t>(x)] >= colInk; }, r.Left, r.Right);
    }
    return r;
  }

  std::vector<int> rows, cols;
  OtherInk(image, threshold, rows, cols);
  TRect r{0, 0, width, height};
  ContentSpan(
      height, [&](int y) { return rows[static_cast<std::size_t>(y)] >= rowInk; }, r.Top, r.Bottom);
  ContentSpan(
      width, [&](int x) { return cols[static_cast<std::size_t>(x)] >= colInk; }, r.Left, r.Right);
  return r;
}

void CenterContent(TDibGraphic& image, TDibGraphic* undo, int hMode, int threshold, int colInk, int rowInk, int vOffset,
                   int vMode, int hOffset) {
  if (!CanPlace(image, undo)) return;
  TBusyCursor busy;
  const TRect content = FindContentBounds(image, rowInk, colInk, threshold);
  const std::int64_t dx = Displacement(hMode, image.Width(), content.Left, content.Right, hOffset);
  const std::int64_t dy = Displacement(vMode, image.Height(), content.Top, content.Bottom, vOffset);
  undo->Assign(image);
  // Without a move, painting white and copying back would give the page
  // itself.
  if (dx == 0 && dy == 0) return;
  rows::FillWhite(image, TRect{0, 0, image.Width(), image.Height()});
  rows::CopyRect(image, dx, dy, *undo, TRect{0, 0, undo->Width(), undo->Height()});
}

void FitToMargins(TDibGraphic& image, TDibGraphic* undo, const TRect& content, const TRect& target) {
  if (!CanPlace(image, undo)) return;
  TBusyCursor busy;
  SaveAndClear(image, *undo);
  StretchBlackOnWhite(image, target, *undo, content);
}

void FitToPaper(TDibGraphic& image, TDibGraphic* undo, int paperWidth, int paperHeight, bool inPixels, bool stretch) {
  if (!CanPlace(image, undo)) return;
  std::int64_t w = paperWidth, h = paperHeight;
  if (!inPixels) {
    w = static_cast<std::int64_t>(std::trunc(paperWidth * static_cast<double>(image.XPelsPerMeter()) / 1000.0 + 0.5));
    h = static_cast<std::int64_t>(std::trunc(paperHeight * static_cast<double>(image.YPelsPerMeter()) / 1000.0 + 0.5));
  }
  if (w < 1 || h < 1 || w > INT32_MAX || h > INT32_MAX) return;
  TBusyCursor busy;
  // The new page is built aside, so a failure (no memory) keeps the page.
  TDibGraphic page;
  page.NewImage(static_cast<int>(w), static_cast<int>(h), image.ImageFormat(), &image.Palette());
  page.SetXPelsPerMeter(image.XPelsPerMeter());
  page.SetYPelsPerMeter(image.YPelsPerMeter());
  undo->Assign(image);
  const TRect whole{0, 0, undo->Width(), undo->Height()};
  if (stretch) {
    if (page.Width() == undo->Width() && page.Height() == undo->Height()) {
      rows::CopyRect(page, 0, 0, *undo, whole);
    } else {
      // The stretch covers the whole page; white first keeps the result
      // defined even where the drawing layer leaves a pixel untouched.
      rows::FillWhite(page, TRect{0, 0, page.Width(), page.Height()});
      StretchBlackOnWhite(page, TRect{0, 0, page.Width(), page.Height()}, *undo, whole);
    }
  } else {
    rows::FillWhite(page, TRect{0, 0, page.Width(), page.Height()});
    rows::CopyRect(page, (page.Width() - undo->Width()) / 2, (page.Height() - undo->Height()) / 2, *undo, whole);
  }
  image.Assign(page);
}

void ShiftImage(TDibGraphic& image, TDibGraphic* undo, int direction, int distance) {
  if (!CanPlace(image, undo) || distance < 1) return;
  std::int64_t dx = 0, dy = 0;
  switch (direction) {
    case -2:
      dy = -std::int64_t{distance};
      break;
    case 2:
      dy = distance;
      break;
    case -1:
      dx = -std::int64_t{distance};
      break;
    case 1:
      dx = distance;
      break;
    default:
      return;
  }
  TBusyCursor busy;
  SaveAndClear(image, *undo);
  rows::CopyRect(image, dx, dy, *undo, TRect{0, 0, undo->Width(), undo->Height()});
}

void ResizeContent(TDibGraphic& image, TDibGraphic* undo, int percent, bool enlarge) {
  if (!CanPlace(image, undo)) return;
  // The undo copy comes first, as for every other command: Esc must undo
  // this one even when it changes nothing.
  undo->Assign(image);
  if (percent < 0) return;
  const int width = image.Width(), height = image.Height();
  const auto dw = static_cast<int>(std::min<std::int64_t>(PercentOf(width, percent), INT32_MAX));
  const auto dh = static_cast<int>(std::min<std::int64_t>(PercentOf(height, percent), INT32_MAX));
  const TRect inner{dw / 2, dh / 2, dw / 2 + (width - dw), dh / 2 + (height - dh)};
  const TRect whole{0, 0, width, height};
  if (enlarge) {
    // Nothing is left to enlarge once the cut eats the whole page.
    if (inner.Width() < 1 || inner.Height() < 1) return;
    TBusyCursor busy;
    StretchBlackOnWhite(image, whole, *undo, inner);
  } else {
    TBusyCursor busy;
    rows::FillWhite(image, whole);
    StretchBlackOnWhite(image, inner, *undo, whole);
  }
}

void KeepRectCentred(TDibGraphic& image, TDibGraphic* undo, const TRect& rect) {
  if (!CanPlace(image, undo)) return;
  TBusyCursor busy;
  SaveAndClear(image, *undo);
  const std::int64_t x = (std::int64_t{image.Width()} + rect.Left - rect.Right) / 2;
  const std::int64_t y = (std::int64_t{image.Height()} + rect.Top - rect.Bottom) / 2;
  rows::CopyRect(image, x, y, *undo, rect);
}
