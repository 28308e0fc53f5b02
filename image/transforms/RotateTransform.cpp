#include "image/transforms/RotateTransform.h"

#include <algorithm>
#include <bit>
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
// increment of the argument stays below 1, so the runs of a row follow from
// the straight lines of the arguments; only predictions that come close to a
// tie are checked against the exact values.
struct TPlan {
  int W = 0, H = 0;    // source size
  int DW = 0, DH = 0;  // destination size
  int Hx = 0, Hy = 0;  // destination centre
  double Cos = 0, Sin = 0, OneMinusCos = 0;
  double InvSin = 0, InvOneMinusCos = 0;
  // A predicted run end whose fractional part lies at least this far from
  // an integer is exact without checking (see TRowMapper::Crossings).
  double SafeY = 1, SafeX = 1;
  double Cx = 0, Cy = 0;          // source centre
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
  // delta bounds the rounding error of a computed argument (three roundings
  // of values below `magnitude`, with room to spare); predictions of run
  // ends carry an error of about delta / slope, so they are trusted only
  // when they lie far further than that from an integer.
  const double delta = magnitude * std::ldexp(1.0, -50);
  if (p.Sin != 0) {
    p.InvSin = 1.0 / p.Sin;
    p.SafeY = std::max(1e-4, 16.0 * delta / std::fabs(p.Sin));
  }
  if (p.OneMinusCos > 0) {
    p.InvOneMinusCos = 1.0 / p.OneMinusCos;
    p.SafeX = std::max(1e-4, 16.0 * delta / p.OneMinusCos);
  }
  return p;
}

// Maps destination rows onto the source. Map(y, sink) calls, left to right
// and covering the whole row exactly once,
//   sink.Copy(sy, sx, n): n pixels of source row sy from column sx on,
//   sink.Pixel(sy, sx): the same for one pixel,
//   sink.Fill(n): n pixels with no source.
class TRowMapper {
 public:
  explicit TRowMapper(const TPlan& plan)
      : p_(plan), boundY_(static_cast<std::size_t>(plan.DW) + 2), boundX_(static_cast<std::size_t>(plan.DW) + 2) {}

  template <class Sink>
  __attribute__((always_inline)) void Map(int y, Sink& sink) {
    const double dy = y - p_.Hy;
    qs_ = dy * p_.Sin;
    qc_ = dy * p_.Cos;
    // A local copy keeps the writer's state in registers: its stores into
    // the row could otherwise alias it.
    Sink local = sink;
    if (p_.Runs)
      MapRuns(local);
    else
      MapPixels(local);
    sink = local;
  }

 private:
  int SxAt(int x) const { return RoundEven((p_.ColCos[static_cast<std::size_t>(x)] + qs_) + p_.Cx); }
  int SyAt(int x) const { return RoundEven((p_.ColNegSin[static_cast<std::size_t>(x)] + qc_) + p_.Cy); }

  template <class Sink>
  __attribute__((always_inline)) void MapPixels(Sink& sink) {
    const double* colCos = p_.ColCos.data();
    const double* colNegSin = p_.ColNegSin.data();
    const int w = p_.W, h = p_.H;
    for (int x = 0; x < p_.DW; ++x) {
      int sx = RoundEven((colCos[x] + qs_) + p_.Cx);
      int sy = RoundEven((colNegSin[x] + qc_) + p_.Cy);
      if (sx == w) sx = w - 1;
      if (sy == h) sy = h - 1;
      if (static_cast<unsigned>(sx) < static_cast<unsigned>(w) && static_cast<unsigned>(sy) < static_cast<unsigned>(h))
        sink.Pixel(sy, sx);
      else
        sink.Fill(1);
    }
  }

  // Along a row the arguments are linear in x: argY = baseY - (x - Hx) *
  // sin and argX - x = baseX - (x - Hx) * (1 - cos). sy steps by one where
  // argY crosses a half-integer, the offset sx - x where argX - x does; both
  // are monotone. The crossings lie at first + k * step. They are stepped in
  // 32.32 fixed point (error below (k + 2) * 2^-32 pixel); a crossing whose
  // fractional part lies within `safe` of an integer is settled with the
  // exact values instead, and so is every crossing when the predictions
  // leave the row. Fills bounds[0..n-1] with the first column of each new
  // value and bounds[n], bounds[n + 1] with DW.
  template <class Reached>
  __attribute__((always_inline)) void Crossings(int* bounds, int n, double first, double step, double safe,
                                                Reached&& reached) {
    bounds[n] = bounds[n + 1] = p_.DW;
    if (n == 0) return;
    const int last = p_.DW - 1;
    auto settle = [&](int k, double predicted) {
      int e = static_cast<int>(std::clamp(predicted + 1.0, 1.0, static_cast<double>(last)));
      while (e > 1 && reached(k, e - 1)) --e;
      while (!reached(k, e)) ++e;
      bounds[k] = e;
    };
    const double lastPrediction = first + (n - 1) * step;
    if (!(first >= 0.0 && lastPrediction < last)) {
      for (int k = 0; k < n; ++k) settle(k, first + k * step);
      return;
    }
    // All predictions lie in [0, DW - 1): no overflow below.
    constexpr double kOne = 4294967296.0;  // 2^32
    const auto start = static_cast<std::int64_t>(std::nearbyint(first * kOne));
    const auto delta = static_cast<std::int64_t>(std::nearbyint(step * kOne));
    safe += (n + 2) / kOne + 1.0 / 1048576.0;  // the stepping error, with room
    const std::uint32_t lo = safe < 0.25 ? static_cast<std::uint32_t>(safe * kOne) : 0xFFFFFFFFu;
    const std::uint32_t span = safe < 0.25 ? 0xFFFFFFFFu - 2 * lo : 0;  // fractions in [lo, lo + span] are safe
    auto unsafe = [&](std::int64_t t) {
      return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint32_t>(t) - lo) > span);
    };
    int unsure = 0;
    std::int64_t t = start;
    for (int k = 0; k < n; ++k, t += delta) {
      bounds[k] = static_cast<int>(t >> 32) + 1;
      unsure |= unsafe(t);
    }
    if (!unsure) return;
    t = start;
    for (int k = 0; k < n; ++k, t += delta)
      if (unsafe(t)) settle(k, static_cast<double>(t >> 32));
  }

  template <class Sink>
  __attribute__((always_inline)) void MapRuns(Sink& sink) {
    const int last = p_.DW - 1;
    const int sy0 = SyAt(0), syLast = SyAt(last);
    const int off0 = SxAt(0), offLast = SxAt(last) - last;
    const int stepY = syLast < sy0 ? -1 : 1;
    const int countY = std::abs(syLast - sy0);
    const int countX = off0 - offLast;
    int* boundY = boundY_.data();
    int* boundX = boundX_.data();
    const double baseY = qc_ + p_.Cy;
    const double baseX = (qs_ + p_.Cx) - p_.Hx;
    Crossings(boundY, countY, p_.Hx + (baseY - (sy0 + 0.5 * stepY)) * p_.InvSin, std::fabs(p_.InvSin), p_.SafeY,
              [&](int k, int x) {
                const int target = sy0 + (k + 1) * stepY;
                return stepY < 0 ? SyAt(x) <= target : SyAt(x) >= target;
              });
    Crossings(boundX, countX, p_.Hx + (baseX - (off0 - 0.5)) * p_.InvOneMinusCos, p_.InvOneMinusCos, p_.SafeX,
              [&](int k, int x) { return SxAt(x) - x <= off0 - (k + 1); });

    // The offset changes rarely: walk its segments, and the runs of sy
    // inside each.
    int x = 0, sy = sy0, off = off0;
    for (;;) {
      const int segmentEnd = *boundX++;
      const unsigned rows = static_cast<unsigned>(p_.H);
      while (*boundY < segmentEnd) {
        const int e = *boundY++;
        if (static_cast<unsigned>(sy) < rows && x + off >= 0 && e + off <= p_.W)
          sink.Copy(sy, x + off, e - x);  // inside the page: the common case
        else
          Emit(sink, x, e, sy, off);
        sy += stepY;
        x = e;
      }
      Emit(sink, x, segmentEnd, sy, off);
      if (segmentEnd >= p_.DW) break;
      x = segmentEnd;
      --off;
      if (*boundY == segmentEnd) {
        ++boundY;
        sy += stepY;
      }
    }
  }

  // Destination columns [x0, x1) read source row sy at columns x + off.
  template <class Sink>
  void Emit(Sink& sink, int x0, int x1, int sy, int off) {
    const int w = p_.W, h = p_.H;
    if (sy == h) sy = h - 1;
    if (static_cast<unsigned>(sy) >= static_cast<unsigned>(h)) {
      sink.Fill(x1 - x0);
      return;
    }
    int a = x0 + off;
    const int b = x1 + off;
    if (a >= 0 && b <= w) {
      sink.Copy(sy, a, b - a);
      return;
    }
    if (a < 0) {
      const int n = std::min(b, 0) - a;
      sink.Fill(n);
      a += n;
    }
    if (a < b && a < w) {
      const int n = std::min(b, w) - a;
      sink.Copy(sy, a, n);
      a += n;
    }
    if (a < b && a == w) {  // sx = W reads column W - 1
      sink.Copy(sy, w - 1, 1);
      ++a;
    }
    if (a < b) sink.Fill(b - a);
  }

  const TPlan& p_;
  double qs_ = 0, qc_ = 0;
  std::vector<int> boundY_, boundX_;
};

// --- sinks: build one destination row, left to right -------------------------

// 1-bit rows are assembled in a register and written a word at a time.
class TBitWriter {
 public:
  TBitWriter(const TDibGraphic& src, std::uint64_t fill)
      : top_(src.ScanLine(0)), stride_(src.BytesPerScanLine()), fill_(fill) {}

  void Begin(std::uint64_t* out) {
    out_ = out;
    acc_ = 0;
    used_ = 0;
  }
  // Writes the bits still held in the register.
  void End() { *out_ = acc_; }
  __attribute__((always_inline)) void Pixel(int sy, int sx) {
    const std::uint8_t* row = top_ - sy * stride_;
    Append(static_cast<std::uint64_t>((row[sx >> 3] >> (7 - (sx & 7))) & 1u) << 63, 1);
  }
  __attribute__((always_inline)) void Copy(int sy, int sx, int n) {
    const std::uint8_t* row = top_ - sy * stride_;  // rows lie bottom-up
    const int rowBytes = static_cast<int>(stride_);
    if (n <= 56 && (sx >> 3) + 8 <= rowBytes) {
      std::uint64_t v;
      std::memcpy(&v, row + (sx >> 3), 8);
      if constexpr (std::endian::native == std::endian::little) v = bitrows::ByteSwap(v);
      Append((v << (sx & 7)) & (~std::uint64_t{0} << (64 - n)), n);
      return;
    }
    while (n > 56) {
      Append(bitrows::LoadBits(row, sx, rowBytes) & bitrows::TopMask(56), 56);
      sx += 56;
      n -= 56;
    }
    Append(bitrows::LoadBits(row, sx, rowBytes) & bitrows::TopMask(n), n);
  }
  void Fill(int n) {
    while (n > 64) {
      Append(fill_, 64);
      n -= 64;
    }
    Append(fill_ & bitrows::TopMask(n), n);
  }

 private:
  // v holds n bits (1..64) at the top, zeros below.
  __attribute__((always_inline)) void Append(std::uint64_t v, int n) {
    const std::uint64_t spill = (v << 1) << (63 - used_);  // the bits past this word
    acc_ |= v >> used_;
    *out_ = acc_;
    const int total = used_ + n;
    const int advance = total >> 6;
    out_ += advance;
    acc_ = advance ? spill : acc_;
    used_ = total & 63;
  }

  const std::uint8_t* top_;
  std::ptrdiff_t stride_;
  std::uint64_t fill_;
  std::uint64_t* out_ = nullptr;
  std::uint64_t acc_ = 0;
  int used_ = 0;
};

class TNibbleWriter {
 public:
  TNibbleWriter(const TDibGraphic& src, int fillIndex) : src_(&src), fill_(fillIndex & 0x0F) {}
  void Begin(std::uint8_t* row) {
    row_ = row;
    x_ = 0;
  }
  void Pixel(int sy, int sx) { Copy(sy, sx, 1); }
  void Copy(int sy, int sx, int n) {
    const std::uint8_t* s = src_->ScanLine(sy);
    for (int i = 0; i < n; ++i, ++sx) Put((sx & 1) ? (s[sx >> 1] & 0x0F) : (s[sx >> 1] >> 4));
  }
  void Fill(int n) {
    for (int i = 0; i < n; ++i) Put(fill_);
  }

 private:
  void Put(int v) {
    std::uint8_t& d = row_[x_ >> 1];
    d = (x_ & 1) ? static_cast<std::uint8_t>((d & 0xF0) | v) : static_cast<std::uint8_t>((d & 0x0F) | (v << 4));
    ++x_;
  }
  const TDibGraphic* src_;
  int fill_;
  std::uint8_t* row_ = nullptr;
  int x_ = 0;
};

template <int BytesPerPixel>
class TByteWriter {
 public:
  TByteWriter(const TDibGraphic& src, const std::uint8_t* fillPixel) : src_(&src) {
    std::memcpy(fill_, fillPixel, BytesPerPixel);
  }
  void Begin(std::uint8_t* row) { out_ = row; }
  void Pixel(int sy, int sx) {
    std::memcpy(out_, src_->ScanLine(sy) + BytesPerPixel * sx, BytesPerPixel);
    out_ += BytesPerPixel;
  }
  void Copy(int sy, int sx, int n) {
    const std::size_t bytes = static_cast<std::size_t>(BytesPerPixel) * static_cast<std::size_t>(n);
    std::memcpy(out_, src_->ScanLine(sy) + BytesPerPixel * sx, bytes);
    out_ += bytes;
  }
  void Fill(int n) {
    for (int i = 0; i < n; ++i, out_ += BytesPerPixel) std::memcpy(out_, fill_, BytesPerPixel);
  }

 private:
  const TDibGraphic* src_;
  std::uint8_t fill_[BytesPerPixel];
  std::uint8_t* out_ = nullptr;
};

// Rows [y0, y1) of a free-angle rotation of a 1-bit page; fill is the word
// pattern of uncovered pixels (all ones or all zeros). The row loop is
// built twice where the compiler can: with the newer x86 bit instructions
// (variable shifts without the count register, byte-swapping loads) and
// for any x86-64, picked at run time.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
__attribute__((target_clones("arch=haswell", "default")))
#endif
void BilevelFreeRows(TRowMapper& mapper, TBitWriter& writer, std::uint64_t* words, TDibGraphic& dst, int width,
                     int y0, int y1) {
  const int dstStride = dst.BytesPerScanLine();
  for (int y = y0; y < y1; ++y) {
    writer.Begin(words);
    mapper.Map(y, writer);
    writer.End();
    bitrows::StoreRow(dst.ScanLine(y), dstStride, width, words);
  }
}

template <class ProgressFn>
void BilevelFree(const TDibGraphic& src, TDibGraphic& dst, const TPlan& plan, std::uint64_t fill,
                 ProgressFn&& progress) {
  std::vector<std::uint64_t> words(static_cast<std::size_t>(plan.DW / 64 + 2));
  TRowMapper mapper(plan);
  TBitWriter writer(src, fill);
  constexpr int kRowsPerReport = 16;
  for (int y = 0; y < plan.DH; y += kRowsPerReport) {
    BilevelFreeRows(mapper, writer, words.data(), dst, plan.DW, y, std::min(y + kRowsPerReport, plan.DH));
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

  if (format == ifBlackWhite) {
    const int index = dst.NearestPaletteIndex(color);
    BilevelFree(src, dst, plan, (index & 1) ? ~std::uint64_t{0} : 0, progress);
    return;
  }

  TRowMapper mapper(plan);
  auto rows = [&](auto& writer) {
    for (int y = 0; y < plan.DH; ++y) {
      writer.Begin(dst.ScanLine(y));
      mapper.Map(y, writer);
      progress(y, plan.DH);
    }
  };
  if (format == ifTrueColor) {
    const std::uint8_t fill[3] = {static_cast<std::uint8_t>(BlueOf(color)), static_cast<std::uint8_t>(GreenOf(color)),
                                  static_cast<std::uint8_t>(RedOf(color))};
    TByteWriter<3> writer(src, fill);
    rows(writer);
  } else if (src.BitCount() == 8) {
    const auto fill = static_cast<std::uint8_t>(dst.NearestPaletteIndex(color));
    TByteWriter<1> writer(src, &fill);
    rows(writer);
  } else {
    TNibbleWriter writer(src, dst.NearestPaletteIndex(color));
    rows(writer);
  }
}

// ---------------------------------------------------------------------------
// Quarter turns.

enum class TQuarter { q90, q180, q270 };

// Source pixel of destination (x, y) for a W x H source.
inline void QuarterSource(TQuarter q, int w, int h, int x, int y, int& sx, int& sy) {
  switch (q) {
    case TQuarter::q90:
      sx = y;
      sy = h - 1 - x;
      return;
    case TQuarter::q270:
      sx = w - 1 - y;
      sy = x;
      return;
    case TQuarter::q180:
      sx = w - 1 - x;
      sy = h - 1 - y;
      return;
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
    case 1:
      QuarterPixels<1>(src, dst, q);
      break;
    case 4:
      QuarterPixels<4>(src, dst, q);
      break;
    case 8:
      QuarterPixels<8>(src, dst, q);
      break;
    default:
      QuarterPixels<24>(src, dst, q);
      break;
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
  for (int x0 = 0; x0 < h; x0 += 64) {    // destination column block
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
      const std::uint64_t next = k + 1 < words ? bitrows::ReverseBits(in[static_cast<std::size_t>(words - 2 - k)]) : 0;
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
  if (!BeginApplyOnDest(source, destination)) return;
  if (!std::isfinite(Angle)) throw EImagingError("Invalid rotation angle");
  switch (WholeAngle(Angle)) {
    case 0:
      destination.Assign(source);
      break;
    case 90:
      Rotate90(source, destination);
      break;
    case 180:
      Rotate180(source, destination);
      break;
    case 270:
      Rotate270(source, destination);
      break;
    default:
      RotateAny(source, destination);
      break;
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
  RotateFreeImpl(source, destination, keepSize, Angle, Color, [this](int row, int rows) { Progress(row, 0, rows); });
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
