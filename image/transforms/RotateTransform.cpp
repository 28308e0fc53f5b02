#include "image/transforms/RotateTransform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "image/ImagingHooks.h"
#include "image/transforms/BitRows.h"

namespace {

// Round half to even. Adding 1.5 * 2^52 leaves no fraction bits, so the
// addition itself rounds to the nearest integer, ties to even; exact for
// |v| < 2^51 and much cheaper than nearbyint on baseline x86-64.
constexpr double kRoundMagic = 6755399441055744.0;
inline int RoundEven(double v) { return static_cast<int>((v + kRoundMagic) - kRoundMagic); }

// Re-creates dst with the size given and src's format, palette and
// resolution (swapped for quarter turns).
void MakeLike(const TDibGraphic& src, TDibGraphic& dst, int width, int height, bool swapResolution) {
  dst.NewImage(width, height, src.ImageFormat(), &src.Palette(), 0, 0);
  dst.SetXPelsPerMeter(swapResolution ? src.YPelsPerMeter() : src.XPelsPerMeter());
  dst.SetYPelsPerMeter(swapResolution ? src.XPelsPerMeter() : src.YPelsPerMeter());
}

// ---------------------------------------------------------------------------
// Free-angle geometry.
//
// For destination row y the inverse turn is
//   sx = Round(dx*cos + dy*sin + cx),  sy = Round(-dx*sin + dy*cos + cy)
// with dx = x - W' div 2, dy = y - H' div 2, each product and sum rounded to
// double in that order. The per-column products are computed once, so every
// pixel costs two additions and a rounding per coordinate and gives the same
// doubles as the expression written out.
//
// For angles near 0 (|sin| < 0.5, cos > 0) a row falls into straight runs on
// which sy and sx - x are constant. Both are monotone in x (rounding is
// monotone), and sx steps by at most one column while the computed
// increment of the argument stays below 1, so a run can be found by
// predicting its end and checking the exact values at the end only.
struct TPlan {
  int W = 0, H = 0;    // source size
  int DW = 0, DH = 0;  // destination size
  int Hx = 0, Hy = 0;  // destination centre
  double Cos = 0, Sin = 0, OneMinusCos = 0;
  double Cx = 0, Cy = 0;  // source centre
  std::vector<double> ColCos;     // (x - Hx) * cos
  std::vector<double> ColNegSin;  // -(x - Hx) * sin
  bool Runs = false;
};

TPlan MakePlan(int w, int h, double angle, bool keepSize) {
  TPlan p;
  p.W = w;
  p.H = h;
  const double theta = std::numbers::pi * angle / 180.0;
  p.Cos = std::cos(theta);
  p.Sin = std::sin(theta);
  p.OneMinusCos = 1.0 - p.Cos;
  const int cx = w / 2, cy = h / 2;
  p.Cx = cx;
  p.Cy = cy;
  if (keepSize) {
    p.DW = w;
    p.DH = h;
  } else {
    const int cornerX[4] = {0, 0, w - 1, w - 1};
    const int cornerY[4] = {0, h - 1, h - 1, 0};
    int minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (int i = 0; i < 4; ++i) {
      const double dx = cornerX[i] - cx, dy = cornerY[i] - cy;
      const int xr = static_cast<int>(std::nearbyint(dx * p.Cos - dy * p.Sin + p.Cx));
      const int yr = static_cast<int>(std::nearbyint(dx * p.Sin + dy * p.Cos + p.Cy));
      if (i == 0 || xr < minX) minX = xr;
      if (i == 0 || xr > maxX) maxX = xr;
      if (i == 0 || yr < minY) minY = yr;
      if (i == 0 || yr > maxY) maxY = yr;
    }
    p.DW = maxX - minX + 1;
    p.DH = maxY - minY + 1;
  }
  p.Hx = p.DW / 2;
  p.Hy = p.DH / 2;
  p.ColCos.resize(static_cast<std::size_t>(p.DW));
  p.ColNegSin.resize(static_cast<std::size_t>(p.DW));
  for (int x = 0; x < p.DW; ++x) {
    const double dx = x - p.Hx;
    p.ColCos[static_cast<std::size_t>(x)] = dx * p.Cos;
    p.ColNegSin[static_cast<std::size_t>(x)] = -dx * p.Sin;
  }
  // Rounding errors of the arguments stay far below this margin, so while
  // cos + margin < 1 the computed sx advances by at most one per column.
  const double magnitude = 4.0 * (static_cast<double>(w) + h + p.DW + p.DH);
  const double margin = magnitude * std::ldexp(1.0, -48);
  const bool exactCopy = p.Cos == 1.0 && p.Sin == 0.0;
  p.Runs = p.Cos > 0 && std::fabs(p.Sin) < 0.5 && (p.OneMinusCos > margin || exactCopy);
  return p;
}

// Maps destination row y onto the source and hands every covered piece to
// the sink: Run(dstX, len, sy, sx) for len pixels copied from source row sy
// starting at column sx, Pixel(dstX, sy, sx) for one pixel. Pixels with no
// source are left alone (the sink pre-fills its row).
template <class Sink>
void MapRow(const TPlan& p, int y, Sink& sink) {
  const double dy = y - p.Hy;
  const double qs = dy * p.Sin;
  const double qc = dy * p.Cos;
  const double* colCos = p.ColCos.data();
  const double* colNegSin = p.ColNegSin.data();
  const int w = p.W, h = p.H;

  if (!p.Runs) {
    for (int x = 0; x < p.DW; ++x) {
      int sx = RoundEven((colCos[x] + qs) + p.Cx);
      int sy = RoundEven((colNegSin[x] + qc) + p.Cy);
      if (sx == w) sx = w - 1;
      if (sy == h) sy = h - 1;
      if (static_cast<unsigned>(sx) < static_cast<unsigned>(w) &&
          static_cast<unsigned>(sy) < static_cast<unsigned>(h))
        sink.Pixel(x, sy, sx);
    }
    return;
  }

  auto argX = [&](int x) { return (colCos[x] + qs) + p.Cx; };
  auto argY = [&](int x) { return (colNegSin[x] + qc) + p.Cy; };
  auto emit = [&](int x0, int x1, int sy, int off) {
    if (sy == h) sy = h - 1;
    if (sy < 0 || sy >= h) return;
    const int a = x0 + off, b = x1 + off;  // source columns [a, b)
    const int lo = std::max(a, 0), hi = std::min(b, w);
    if (lo < hi) sink.Run(lo - off, hi - lo, sy, lo);
    if (a <= w && w < b) sink.Pixel(w - off, sy, w - 1);  // sx = W reads column W - 1
  };

  int x = 0;
  int sx = RoundEven(argX(0));
  int sy = RoundEven(argY(0));
  for (;;) {
    const int off = sx - x;
    // Predicted number of further columns that keep sy and the offset.
    double steps = p.DW - x;
    if (p.Sin > 0)
      steps = std::min(steps, (argY(x) - (sy - 0.5)) / p.Sin);
    else if (p.Sin < 0)
      steps = std::min(steps, ((sy + 0.5) - argY(x)) / -p.Sin);
    if (p.OneMinusCos > 0) steps = std::min(steps, ((argX(x) - x) - (off - 0.5)) / p.OneMinusCos);
    int e = x + 1 + static_cast<int>(std::max(0.0, steps));
    e = std::clamp(e, x + 1, p.DW);

    int esx = 0, esy = 0;
    auto same = [&](int t) {
      esx = RoundEven(argX(t));
      esy = RoundEven(argY(t));
      return esy == sy && esx - t == off;
    };
    if (e - 1 > x && !same(e - 1)) {
      // Overshot: the first column that differs lies in (x, e - 1].
      int lo = x, hi = e - 1;
      while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (same(mid))
          lo = mid;
        else
          hi = mid;
      }
      e = hi;
      same(e);
    } else {
      while (e < p.DW && same(e)) ++e;
    }
    emit(x, e, sy, off);
    if (e >= p.DW) break;
    x = e;
    sx = esx;
    sy = esy;
  }
}

// --- sinks: one destination row each -----------------------------------------

struct TBilevelSink {
  const TDibGraphic& Src;
  int Stride;
  std::uint64_t* Words;  // destination row, bit 63 of word 0 = pixel 0

  void Run(int dstX, int len, int sy, int sx) {
    bitrows::CopyBits(Words, dstX, Src.ScanLine(sy), sx, len, Stride);
  }
  void Pixel(int dstX, int sy, int sx) {
    const std::uint64_t bit = (Src.ScanLine(sy)[sx >> 3] >> (7 - (sx & 7))) & 1u;
    const int shift = 63 - (dstX & 63);
    std::uint64_t& word = Words[dstX >> 6];
    word = (word & ~(std::uint64_t{1} << shift)) | (bit << shift);
  }
};

struct TNibbleSink {
  const TDibGraphic& Src;
  std::uint8_t* Row;

  void Pixel(int dstX, int sy, int sx) {
    const std::uint8_t s = Src.ScanLine(sy)[sx >> 1];
    const int v = (sx & 1) ? (s & 0x0F) : (s >> 4);
    std::uint8_t& d = Row[dstX >> 1];
    d = (dstX & 1) ? static_cast<std::uint8_t>((d & 0xF0) | v) : static_cast<std::uint8_t>((d & 0x0F) | (v << 4));
  }
  void Run(int dstX, int len, int sy, int sx) {
    for (int i = 0; i < len; ++i) Pixel(dstX + i, sy, sx + i);
  }
};

template <int BytesPerPixel>
struct TByteSink {
  const TDibGraphic& Src;
  std::uint8_t* Row;

  void Run(int dstX, int len, int sy, int sx) {
    std::memcpy(Row + BytesPerPixel * dstX, Src.ScanLine(sy) + BytesPerPixel * sx,
                static_cast<std::size_t>(BytesPerPixel) * static_cast<std::size_t>(len));
  }
  void Pixel(int dstX, int sy, int sx) {
    const std::uint8_t* s = Src.ScanLine(sy) + BytesPerPixel * sx;
    std::uint8_t* d = Row + BytesPerPixel * dstX;
    for (int i = 0; i < BytesPerPixel; ++i) d[i] = s[i];
  }
};

// Free-angle rotation of a 1-bit page; fill is the word pattern of
// uncovered pixels (all ones or all zeros).
template <class ProgressFn>
void BilevelFree(const TDibGraphic& src, TDibGraphic& dst, const TPlan& plan, std::uint64_t fill,
                 ProgressFn&& progress) {
  const int dstStride = dst.BytesPerScanLine();
  std::vector<std::uint64_t> words(static_cast<std::size_t>(plan.DW / 64 + 2));
  TBilevelSink sink{src, src.BytesPerScanLine(), words.data()};
  for (int y = 0; y < plan.DH; ++y) {
    std::fill(words.begin(), words.end(), fill);
    MapRow(plan, y, sink);
    bitrows::StoreRow(dst.ScanLine(y), dstStride, plan.DW, words.data());
    progress(y, plan.DH);
  }
}

// Free-angle rotation of any format. fill is the palette index (or the
// colour for true colour) of uncovered pixels; progress is called per row.
template <class ProgressFn>
void RotateFreeImpl(const TDibGraphic& src, TDibGraphic& dst, bool keepSize, double angle, TColor32 color,
                    ProgressFn&& progress) {
  const TPlan plan = MakePlan(src.Width(), src.Height(), angle, keepSize);
  MakeLike(src, dst, plan.DW, plan.DH, false);
  const TImageFormat format = src.ImageFormat();
  const int dstStride = dst.BytesPerScanLine();

  if (format == ifBlackWhite) {
    const int index = dst.NearestPaletteIndex(color);
    BilevelFree(src, dst, plan, (index & 1) ? ~std::uint64_t{0} : 0, progress);
    return;
  }

  std::vector<std::uint8_t> fillRow(static_cast<std::size_t>(dstStride));
  if (format == ifTrueColor) {
    for (int x = 0; x < plan.DW; ++x) {
      fillRow[static_cast<std::size_t>(3 * x)] = static_cast<std::uint8_t>(BlueOf(color));
      fillRow[static_cast<std::size_t>(3 * x + 1)] = static_cast<std::uint8_t>(GreenOf(color));
      fillRow[static_cast<std::size_t>(3 * x + 2)] = static_cast<std::uint8_t>(RedOf(color));
    }
  } else {
    const int index = dst.NearestPaletteIndex(color);
    const int value = src.BitCount() == 4 ? ((index & 0x0F) << 4) | (index & 0x0F) : index;
    std::fill(fillRow.begin(), fillRow.end(), static_cast<std::uint8_t>(value));
  }
  for (int y = 0; y < plan.DH; ++y) {
    std::uint8_t* row = dst.ScanLine(y);
    std::memcpy(row, fillRow.data(), fillRow.size());
    if (format == ifTrueColor) {
      TByteSink<3> sink{src, row};
      MapRow(plan, y, sink);
    } else if (src.BitCount() == 8) {
      TByteSink<1> sink{src, row};
      MapRow(plan, y, sink);
    } else {
      TNibbleSink sink{src, row};
      MapRow(plan, y, sink);
    }
    progress(y, plan.DH);
  }
}

// ---------------------------------------------------------------------------
// Quarter turns.

enum class TQuarter { q90, q180, q270 };

// Source pixel of destination (x, y) for a W x H source.
inline void QuarterSource(TQuarter q, int w, int h, int x, int y, int& sx, int& sy) {
  switch (q) {
    case TQuarter::q90: sx = y; sy = h - 1 - x; return;
    case TQuarter::q270: sx = w - 1 - y; sy = x; return;
    case TQuarter::q180: sx = w - 1 - x; sy = h - 1 - y; return;
  }
}

template <int Bits>
inline std::uint32_t GetPx(const std::uint8_t* row, int x) {
  if constexpr (Bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1u;
  if constexpr (Bits == 4) return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
  if constexpr (Bits == 8) return row[x];
  if constexpr (Bits == 24) {
    const std::uint8_t* p = row + 3 * x;
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16);
  }
}

template <int Bits>
inline void SetPx(std::uint8_t* row, int x, std::uint32_t v) {
  if constexpr (Bits == 1) {
    const auto mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
    row[x >> 3] = v ? static_cast<std::uint8_t>(row[x >> 3] | mask) : static_cast<std::uint8_t>(row[x >> 3] & ~mask);
  }
  if constexpr (Bits == 4) {
    std::uint8_t& d = row[x >> 1];
    d = (x & 1) ? static_cast<std::uint8_t>((d & 0xF0) | v) : static_cast<std::uint8_t>((d & 0x0F) | (v << 4));
  }
  if constexpr (Bits == 8) row[x] = static_cast<std::uint8_t>(v);
  if constexpr (Bits == 24) {
    std::uint8_t* p = row + 3 * x;
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
  }
}

// Pixel-wise quarter turn, in 32 x 32 tiles to stay in cache.
template <int Bits>
void QuarterPixels(const TDibGraphic& src, TDibGraphic& dst, TQuarter q) {
  const int w = src.Width(), h = src.Height();
  const int dw = dst.Width(), dh = dst.Height();
  constexpr int tile = 32;
  for (int ty = 0; ty < dh; ty += tile) {
    const int yEnd = std::min(ty + tile, dh);
    for (int tx = 0; tx < dw; tx += tile) {
      const int xEnd = std::min(tx + tile, dw);
      for (int y = ty; y < yEnd; ++y) {
        std::uint8_t* row = dst.ScanLine(y);
        for (int x = tx; x < xEnd; ++x) {
          int sx = 0, sy = 0;
          QuarterSource(q, w, h, x, y, sx, sy);
          SetPx<Bits>(row, x, GetPx<Bits>(src.ScanLine(sy), sx));
        }
      }
    }
  }
}

void QuarterTurn(const TDibGraphic& src, TDibGraphic& dst, TQuarter q) {
  const bool across = q != TQuarter::q180;
  MakeLike(src, dst, across ? src.Height() : src.Width(), across ? src.Width() : src.Height(), across);
  switch (src.BitCount()) {
    case 1: QuarterPixels<1>(src, dst, q); break;
    case 4: QuarterPixels<4>(src, dst, q); break;
    case 8: QuarterPixels<8>(src, dst, q); break;
    default: QuarterPixels<24>(src, dst, q); break;
  }
}

// 1-bit quarter turns: 64 source rows x 64 source columns at a time are
// loaded as words, transposed, and stored as 64 destination row pieces.
// For the clockwise turn the source rows are taken bottom-up so that the
// destination columns come out left to right.
void BilevelQuarter(const TDibGraphic& src, TDibGraphic& dst, bool clockwise) {
  const int w = src.Width(), h = src.Height();
  MakeLike(src, dst, h, w, true);
  const int srcStride = src.BytesPerScanLine();
  const int dstStride = dst.BytesPerScanLine();
  std::uint64_t a[64];
  for (int x0 = 0; x0 < h; x0 += 64) {  // destination column block
    for (int c0 = 0; c0 < w; c0 += 64) {  // source column block
      for (int k = 0; k < 64; ++k) {
        const int sr = clockwise ? h - 1 - x0 - k : x0 + k;
        a[k] = (sr >= 0 && sr < h) ? bitrows::LoadWord(src.ScanLine(sr), c0 >> 3, srcStride) : 0;
      }
      bitrows::Transpose64(a);
      const int count = std::min(64, w - c0);
      for (int j = 0; j < count; ++j) {
        const int dy = clockwise ? c0 + j : w - 1 - c0 - j;
        bitrows::StoreWord(dst.ScanLine(dy), x0 >> 3, dstStride, a[j]);
      }
    }
  }
}

void BilevelHalfTurn(const TDibGraphic& src, TDibGraphic& dst) {
  const int w = src.Width(), h = src.Height();
  MakeLike(src, dst, w, h, false);
  const int srcStride = src.BytesPerScanLine();
  const int dstStride = dst.BytesPerScanLine();
  const int words = (w + 63) / 64;
  const int shift = words * 64 - w;
  std::vector<std::uint64_t> in(static_cast<std::size_t>(words)), out(static_cast<std::size_t>(words) + 1);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* s = src.ScanLine(h - 1 - y);
    for (int k = 0; k < words; ++k) in[static_cast<std::size_t>(k)] = bitrows::LoadWord(s, 8 * k, srcStride);
    // Reversed, the row's last pixel lands at bit position `shift`.
    for (int k = 0; k < words; ++k) {
      const std::uint64_t r = bitrows::ReverseBits(in[static_cast<std::size_t>(words - 1 - k)]);
      const std::uint64_t next =
          k + 1 < words ? bitrows::ReverseBits(in[static_cast<std::size_t>(words - 2 - k)]) : 0;
      out[static_cast<std::size_t>(k)] = shift ? (r << shift) | (next >> (64 - shift)) : r;
    }
    bitrows::StoreRow(dst.ScanLine(y), dstStride, w, out.data());
  }
}

}  // namespace

// --- TRotateTransform -----------------------------------------------------------

int TRotateTransform::WholeAngle(double angle) {
  const double whole = std::nearbyint(angle);
  const double threeDecimals = std::nearbyint(angle * 1000.0) / 1000.0;
  if (!(std::fabs(whole - threeDecimals) < 0.005)) return -1;
  double a = std::fmod(whole, 360.0);
  if (a < 0) a += 360.0;
  return static_cast<int>(a);
}

void TRotateTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
  if (&source == &destination) {
    TDibGraphic temporary;
    ApplyOnDest(source, temporary);
    destination.Assign(temporary);
    return;
  }
  Progress(0, 0, 100);
  if (source.Empty()) {
    destination.Clear();
  } else {
    if (!std::isfinite(Angle)) throw EImagingError("Invalid rotation angle");
    switch (WholeAngle(Angle)) {
      case 0: destination.Assign(source); break;
      case 90: Rotate90(source, destination); break;
      case 180: Rotate180(source, destination); break;
      case 270: Rotate270(source, destination); break;
      default: RotateAny(source, destination); break;
    }
  }
  Progress(100, 0, 100);
}

void TRotateTransform::Rotate90(const TDibGraphic& source, TDibGraphic& destination) {
  QuarterTurn(source, destination, TQuarter::q90);
}

void TRotateTransform::Rotate180(const TDibGraphic& source, TDibGraphic& destination) {
  QuarterTurn(source, destination, TQuarter::q180);
}

void TRotateTransform::Rotate270(const TDibGraphic& source, TDibGraphic& destination) {
  QuarterTurn(source, destination, TQuarter::q270);
}

void TRotateTransform::RotateAny(const TDibGraphic& source, TDibGraphic& destination) {
  RotateFree(source, destination, false);
}

void TRotateTransform::RotateFree(const TDibGraphic& source, TDibGraphic& destination, bool keepSize) {
  RotateFreeImpl(source, destination, keepSize, Angle, Color,
                 [this](int row, int rows) { Progress(row, 0, rows); });
}

void TRotateTransform2::RotateAny(const TDibGraphic& source, TDibGraphic& destination) {
  RotateFree(source, destination, KeepSize);
}

void TNBRotateTransform::Rotate90(const TDibGraphic& source, TDibGraphic& destination) {
  if (source.ImageFormat() != ifBlackWhite) return TRotateTransform::Rotate90(source, destination);
  BilevelQuarter(source, destination, true);
}

void TNBRotateTransform::Rotate180(const TDibGraphic& source, TDibGraphic& destination) {
  if (source.ImageFormat() != ifBlackWhite) return TRotateTransform::Rotate180(source, destination);
  BilevelHalfTurn(source, destination);
}

void TNBRotateTransform::Rotate270(const TDibGraphic& source, TDibGraphic& destination) {
  if (source.ImageFormat() != ifBlackWhite) return TRotateTransform::Rotate270(source, destination);
  BilevelQuarter(source, destination, false);
}

// --- free functions -----------------------------------------------------------

void RotateImageKeep(TDibGraphic& image, TDibGraphic* undo, bool keep, float angle) {
  if (image.Empty() || angle == 0.0f) return;
  TBusyCursor busy;
  if (undo) undo->Assign(image);
  TRotateTransform2 transform;
  transform.Angle = angle;
  transform.Color = RgbColor(255, 255, 255);
  transform.KeepSize = keep;
  transform.Apply(image);
}

void RotateBilevel(const TDibGraphic& source, TDibGraphic& destination, bool grow, double angle) {
  if (source.Empty() || source.ImageFormat() != ifBlackWhite) return;
  if (!std::isfinite(angle)) throw EImagingError("Invalid rotation angle");
  if (&source == &destination) {
    TDibGraphic temporary;
    RotateBilevel(source, temporary, grow, angle);
    destination.Assign(temporary);
    return;
  }
  // Uncovered pixels get bit 1 whatever colour the palette gives it.
  const TPlan plan = MakePlan(source.Width(), source.Height(), angle, !grow);
  MakeLike(source, destination, plan.DW, plan.DH, false);
  BilevelFree(source, destination, plan, ~std::uint64_t{0}, [](int, int) {});
}
