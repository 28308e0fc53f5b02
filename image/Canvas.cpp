// TCanvas: fills, block copies, scaled copies, polygons, lines and text on a
// TDibGraphic, working on whole rows.
//
// Every drawing operation first prepares one row of destination-format pixels
// in a scratch buffer, laid out exactly like an image row (same stride, same
// bit positions), and then combines that row into the image over a pixel range
// with the copy mode. Edges of 1- and 4-bit rows are handled with byte masks,
// the middle with plain byte loops the compiler vectorises. Scaled copies
// precompute, per axis, which source pixels feed each destination pixel, and
// reuse a prepared row when consecutive destination rows read the same source
// rows (enlarging).
//
// 1-bit onto 1-bit copies never leave the bit domain: rows are shifted,
// ANDed/ORed and tested a byte or a 64-bit word at a time.

#include "image/Canvas.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <numeric>

#include "image/DibGraphic.h"
#include "image/ImagingHooks.h"

namespace {

constexpr std::int64_t kCoordLimit = std::int64_t{1} << 29;
constexpr int kMaxPenWidth = 256;
// Guard bytes around scratch rows, so that shifted and 64-bit reads near the
// ends of a row stay inside the buffer.
constexpr int kPad = 8;

bool SaneCoord(std::int64_t v) { return v >= -kCoordLimit && v <= kCoordLimit; }

bool SaneRect(const TRect& r) {
  return SaneCoord(r.Left) && SaneCoord(r.Top) && SaneCoord(r.Right) && SaneCoord(r.Bottom);
}

std::uint8_t CombineMasked(std::uint8_t d, std::uint8_t s, std::uint8_t mask, TCopyMode mode) {
  std::uint8_t v = s;
  if (mode == TCopyMode::cmAnd)
    v = static_cast<std::uint8_t>(d & s);
  else if (mode == TCopyMode::cmOr)
    v = static_cast<std::uint8_t>(d | s);
  return static_cast<std::uint8_t>((d & ~mask) | (v & mask));
}

void CombineBytes(std::uint8_t* d, const std::uint8_t* s, std::size_t n, TCopyMode mode) {
  switch (mode) {
    case TCopyMode::cmCopy:
      std::memcpy(d, s, n);
      break;
    case TCopyMode::cmAnd:
      for (std::size_t i = 0; i < n; ++i) d[i] &= s[i];
      break;
    case TCopyMode::cmOr:
      for (std::size_t i = 0; i < n; ++i) d[i] |= s[i];
      break;
  }
}

// Combines pixels [x0, x1) of the prepared row buf into the image row dst.
void CombineRow(int bpp, std::uint8_t* dst, const std::uint8_t* buf, int x0, int x1, TCopyMode mode) {
  if (x0 >= x1) return;
  int b0 = 0, b1 = 0;
  std::uint8_t m0 = 0xFF, m1 = 0xFF;
  switch (bpp) {
    case 1:
      b0 = x0 >> 3;
      b1 = (x1 - 1) >> 3;
      m0 = static_cast<std::uint8_t>(0xFF >> (x0 & 7));
      m1 = static_cast<std::uint8_t>(0xFF << (7 - ((x1 - 1) & 7)));
      break;
    case 4:
      b0 = x0 >> 1;
      b1 = (x1 - 1) >> 1;
      m0 = (x0 & 1) ? 0x0F : 0xFF;
      m1 = ((x1 - 1) & 1) ? 0xFF : 0xF0;
      break;
    case 8:
      CombineBytes(dst + x0, buf + x0, static_cast<std::size_t>(x1 - x0), mode);
      return;
    default:
      CombineBytes(dst + 3 * static_cast<std::ptrdiff_t>(x0), buf + 3 * static_cast<std::ptrdiff_t>(x0),
                   3 * static_cast<std::size_t>(x1 - x0), mode);
      return;
  }
  if (b0 == b1) {
    dst[b0] = CombineMasked(dst[b0], buf[b0], static_cast<std::uint8_t>(m0 & m1), mode);
    return;
  }
  dst[b0] = CombineMasked(dst[b0], buf[b0], m0, mode);
  CombineBytes(dst + b0 + 1, buf + b0 + 1, static_cast<std::size_t>(b1 - b0 - 1), mode);
  dst[b1] = CombineMasked(dst[b1], buf[b1], m1, mode);
}

// One row of destination-format pixels at their destination positions.
class TRowBuffer {
 public:
  TRowBuffer(int bpp, int stride) : bpp_(bpp), data_(static_cast<std::size_t>(stride) + 2 * kPad) {}

  std::uint8_t* Data() { return data_.data() + kPad; }

  // value: a palette index, or 0x00RRGGBB on true colour.
  void Put(int x, std::uint32_t value) {
    std::uint8_t* p = Data();
    switch (bpp_) {
      case 1: {
        const auto m = static_cast<std::uint8_t>(0x80 >> (x & 7));
        if (value & 1)
          p[x >> 3] |= m;
        else
          p[x >> 3] &= static_cast<std::uint8_t>(~m);
        break;
      }
      case 4: {
        std::uint8_t& b = p[x >> 1];
        b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (value & 0x0F))
                    : static_cast<std::uint8_t>((b & 0x0F) | ((value & 0x0F) << 4));
        break;
      }
      case 8:
        p[x] = static_cast<std::uint8_t>(value);
        break;
      default: {
        std::uint8_t* q = p + 3 * static_cast<std::ptrdiff_t>(x);
        q[0] = static_cast<std::uint8_t>(BlueOf(value));
        q[1] = static_cast<std::uint8_t>(GreenOf(value));
        q[2] = static_cast<std::uint8_t>(RedOf(value));
      }
    }
  }

  // Every pixel of the row takes value.
  void Fill(std::uint32_t value) {
    switch (bpp_) {
      case 1:
        std::fill(data_.begin(), data_.end(), (value & 1) ? 0xFF : 0x00);
        break;
      case 4:
        std::fill(data_.begin(), data_.end(), static_cast<std::uint8_t>((value & 0x0F) * 0x11));
        break;
      case 8:
        std::fill(data_.begin(), data_.end(), static_cast<std::uint8_t>(value));
        break;
      default:
        // Phase counted from the row start, which sits kPad bytes in.
        for (std::size_t i = 0; i < data_.size(); ++i) {
          const int phase = static_cast<int>((i + 3 * kPad - kPad) % 3);
          data_[i] = static_cast<std::uint8_t>(phase == 0 ? BlueOf(value) : phase == 1 ? GreenOf(value) : RedOf(value));
        }
    }
  }

 private:
  int bpp_;
  std::vector<std::uint8_t> data_;
};

int IndexAt(const std::uint8_t* row, int bpp, int x) {
  switch (bpp) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default:
      return row[x];
  }
}

// Colours of source row y, pixels [from, to).
void DecodeRow(const TDibGraphic& src, int y, const std::uint32_t* colorOf, int from, int to, std::uint32_t* out) {
  const std::uint8_t* row = src.ScanLine(y);
  const int bpp = src.BitCount();
  if (bpp == 24) {
    for (int x = from; x < to; ++x) {
      const std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
      out[x] = RgbColor(p[2], p[1], p[0]);
    }
    return;
  }
  for (int x = from; x < to; ++x) out[x] = colorOf[IndexAt(row, bpp, x)];
}

// Which source pixels feed each destination pixel along one axis.
struct TAxisMap {
  int First = 0;            // first destination coordinate drawn
  int Count = 0;            // number of destination pixels drawn
  std::vector<int> Lo, Hi;  // source pixels [Lo, Hi) of each destination pixel
  // Halftone: weight of each source pixel Lo..Hi-1, starting at WeightAt[i].
  std::vector<int> WeightAt;
  std::vector<std::int64_t> Weights;
  bool Identity = false;       // one source pixel each, consecutive
  int SrcMin = 0, SrcMax = 0;  // union of all source ranges
};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

TAxisMap MapAxis(std::int64_t destStart, std::int64_t destLen, std::int64_t srcStart, std::int64_t srcLen,
                 int destExtent, int srcExtent, TStretchMode mode) {
  TAxisMap m;
  const std::int64_t iFrom = std::max<std::int64_t>(0, -destStart);
  const std::int64_t iTo = std::min<std::int64_t>(destLen, destExtent - destStart);
  const std::int64_t g = std::gcd(srcLen, destLen);
  bool started = false;
  for (std::int64_t i = iFrom; i < iTo; ++i) {
    std::int64_t lo = 0, hi = 0;
    if (mode == TStretchMode::smColorOnColor) {
      lo = (2 * i + 1) * srcLen / (2 * destLen);
      hi = lo + 1;
    } else {
      lo = i * srcLen / destLen;
      if (mode == TStretchMode::smBlackOnWhite)
        hi = std::max((i + 1) * srcLen / destLen, lo + 1);
      else
        hi = -FloorDiv(-(i + 1) * srcLen, destLen);  // ceiling
    }
    lo += srcStart;
    hi += srcStart;
    const std::int64_t cLo = std::max<std::int64_t>(lo, 0);
    const std::int64_t cHi = std::min<std::int64_t>(hi, srcExtent);
    if (cLo >= cHi) {
      if (started) break;  // ranges only move forward: nothing further is inside
      continue;
    }
    if (!started) {
      started = true;
      m.First = static_cast<int>(destStart + i);
    }
    m.Lo.push_back(static_cast<int>(cLo));
    m.Hi.push_back(static_cast<int>(cHi));
    if (mode == TStretchMode::smHalftone) {
      m.WeightAt.push_back(static_cast<int>(m.Weights.size()));
      // Destination pixel i spans [i*srcLen, (i+1)*srcLen) and source pixel k
      // spans [k*destLen, (k+1)*destLen), both in units of 1/destLen source
      // pixels; the overlap is a multiple of g.
      for (std::int64_t s = cLo; s < cHi; ++s) {
        const std::int64_t k = s - srcStart;
        const std::int64_t a = std::max(i * srcLen, k * destLen);
        const std::int64_t b = std::min((i + 1) * srcLen, (k + 1) * destLen);
        m.Weights.push_back((b - a) / g);
      }
    }
  }
  m.Count = static_cast<int>(m.Lo.size());
  if (m.Count > 0) {
    m.SrcMin = m.Lo.front();
    m.SrcMax = m.Hi.back();
    m.Identity = m.SrcMax - m.SrcMin == m.Count;
    for (std::size_t k = 0; m.Identity && k < m.Lo.size(); ++k) m.Identity = m.Hi[k] - m.Lo[k] == 1;
  }
  return m;
}

std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return __builtin_bswap64(w);
}

void StoreBigEndian64(std::uint8_t* p, std::uint64_t w) {
  w = __builtin_bswap64(w);
  std::memcpy(p, &w, 8);
}

enum class TBitOp { None, And, Or };

// Destination bit x0 + i = source bit bit1[i] combined with bit bit2[i].
template <bool Or>
void GatherBits(const std::uint8_t* base, const std::size_t* bit1, const std::size_t* bit2, int count, int x0,
                std::uint8_t* out) {
  for (int i = 0; i < count; ++i) {
    const std::size_t a = bit1[i], b = bit2[i];
    const int va = (base[a >> 3] >> (7 - (a & 7))) & 1;
    const int vb = (base[b >> 3] >> (7 - (b & 7))) & 1;
    const int v = Or ? (va | vb) : (va & vb);
    const int x = x0 + i;
    out[x >> 3] |= static_cast<std::uint8_t>(v << (7 - (x & 7)));
  }
}

// 1-bit source onto a 1-bit image. t0/t1: destination bit of source bit 0/1.
void BlitBilevel(TDibGraphic& dest, const TDibGraphic& src, const TAxisMap& xm, const TAxisMap& ym, TBitOp op, int t0,
                 int t1, TCopyMode copyMode) {
  const int srcStride = src.BytesPerScanLine();
  TRowBuffer out(1, dest.BytesPerScanLine());
  std::uint8_t* o = out.Data();
  const int x0 = xm.First, x1 = xm.First + xm.Count;
  const int ob0 = x0 >> 3, ob1 = (x1 - 1) >> 3;

  // A range of n source bits is combined from two windows of 2^k bits,
  // 2^k <= n < 2^(k+1), one at each end of the range (AND and OR do not mind
  // the overlap). Level k of the combined row holds, at bit s, the
  // combination of bits s .. s + 2^k - 1; level 0 is the row itself.
  // All levels live in one buffer; bit1/bit2 address the two windows of
  // each destination pixel as bit offsets from its start.
  std::vector<int> levelOf;
  std::vector<std::size_t> bit1, bit2;
  int levels = 1;
  const std::size_t levelSize = static_cast<std::size_t>(srcStride) + 2 * kPad;
  if (!xm.Identity) {
    levelOf.resize(static_cast<std::size_t>(xm.Count));
    for (std::size_t i = 0; i < levelOf.size(); ++i) {
      const int n = xm.Hi[i] - xm.Lo[i];
      int k = 0;
      while ((2 << k) <= n) ++k;
      levelOf[i] = k;
      levels = std::max(levels, k + 1);
    }
    bit1.resize(levelOf.size());
    bit2.resize(levelOf.size());
    for (std::size_t i = 0; i < levelOf.size(); ++i) {
      const int k = levelOf[i];
      const std::size_t base = (static_cast<std::size_t>(k) * levelSize + kPad) * 8;
      bit1[i] = base + static_cast<std::size_t>(xm.Lo[i]);
      bit2[i] = base + static_cast<std::size_t>(xm.Hi[i] - (1 << k));
    }
  }
  std::vector<std::uint8_t> levelData(levelSize * static_cast<std::size_t>(levels));
  auto level = [&](int k) { return levelData.data() + static_cast<std::size_t>(k) * levelSize + kPad; };
  std::uint8_t* tmp = level(0);

  int lastLo = -1, lastHi = -1;
  for (int j = 0; j < ym.Count; ++j) {
    const int lo = ym.Lo[static_cast<std::size_t>(j)], hi = ym.Hi[static_cast<std::size_t>(j)];
    if (lo != lastLo || hi != lastHi) {
      lastLo = lo;
      lastHi = hi;
      std::memcpy(tmp, src.ScanLine(lo), static_cast<std::size_t>(srcStride));
      for (int r = lo + 1; r < hi; ++r) {
        const std::uint8_t* s = src.ScanLine(r);
        if (op == TBitOp::Or)
          for (int k = 0; k < srcStride; ++k) tmp[k] |= s[k];
        else
          for (int k = 0; k < srcStride; ++k) tmp[k] &= s[k];
      }
      if (xm.Identity) {
        // Shifted copy: destination bit p holds source bit p + d.
        // Eight destination bytes at a time; the few bytes written past
        // ob1 land in the row buffer's guard and are never combined.
        const int d = xm.SrcMin - x0;
        for (int b = ob0; b <= ob1; b += 8) {
          const int q = 8 * b + d;  // >= -7
          const int qb = (q + 64) / 8 - 8;
          const int sh = q - 8 * qb;
          std::uint64_t w = LoadBigEndian64(tmp + qb);
          if (sh) w = (w << sh) | (tmp[qb + 8] >> (8 - sh));
          StoreBigEndian64(o + b, w);
        }
      } else {
        for (int k = 1; k < levels; ++k) {
          // Level k at bit s: level k-1 at s combined with level k-1 at
          // s + 2^(k-1). Bytes whose window would leave the row are not
          // needed by any range and are skipped.
          const std::uint8_t* prev = level(k - 1);
          std::uint8_t* cur = level(k);
          const int shiftBytes = (1 << (k - 1)) >> 3, shiftBits = (1 << (k - 1)) & 7;
          for (int b = 0; b < srcStride; ++b) {
            const int qb = b + shiftBytes;
            if (qb + 1 >= srcStride + kPad) break;
            const auto shifted = static_cast<std::uint8_t>(
                shiftBits ? (prev[qb] << shiftBits) | (prev[qb + 1] >> (8 - shiftBits)) : prev[qb]);
            cur[b] = op == TBitOp::Or ? static_cast<std::uint8_t>(prev[b] | shifted)
                                      : static_cast<std::uint8_t>(prev[b] & shifted);
          }
        }
        std::memset(o + ob0, 0, static_cast<std::size_t>(ob1 - ob0 + 1));
        if (op == TBitOp::Or)
          GatherBits<true>(levelData.data(), bit1.data(), bit2.data(), xm.Count, x0, o);
        else
          GatherBits<false>(levelData.data(), bit1.data(), bit2.data(), xm.Count, x0, o);
      }
      if (t0 == 1 && t1 == 0) {
        for (int b = ob0; b <= ob1; ++b) o[b] = static_cast<std::uint8_t>(~o[b]);
      } else if (t0 == t1) {
        std::memset(o + ob0, t0 ? 0xFF : 0x00, static_cast<std::size_t>(ob1 - ob0 + 1));
      }
    }
    CombineRow(1, dest.ScanLine(ym.First + j), o, x0, x1, copyMode);
  }
}

}  // namespace

std::uint32_t TCanvas::ValueOf(TColor32 color) {
  color &= 0xFFFFFF;
  return image_.ImageFormat() == ifTrueColor ? color : static_cast<std::uint32_t>(image_.NearestPaletteIndex(color));
}

void TCanvas::FillRect(const TRect& r) {
  if (image_.Empty() || !SaneRect(r)) return;
  const TRect c = IntersectRect(r, TRect{0, 0, image_.Width(), image_.Height()});
  if (c.IsEmpty()) return;
  TRowBuffer pattern(image_.BitCount(), image_.BytesPerScanLine());
  pattern.Fill(ValueOf(BrushColor));
  for (int y = c.Top; y < c.Bottom; ++y)
    CombineRow(image_.BitCount(), image_.ScanLine(y), pattern.Data(), c.Left, c.Right, CopyMode);
}

void TCanvas::Draw(int x, int y, const TDibGraphic& source) {
  if (source.Empty() || !SaneCoord(x) || !SaneCoord(y)) return;
  Blit(TRect{x, y, x + source.Width(), y + source.Height()}, source, TRect{0, 0, source.Width(), source.Height()},
       TStretchMode::smColorOnColor);
}

void TCanvas::StretchDraw(const TRect& dest, const TDibGraphic& source, const TRect& srcRect) {
  Blit(dest, source, srcRect, StretchMode);
}

void TCanvas::StretchDraw(const TRect& dest, const TDibGraphic& source) {
  if (source.Empty()) return;
  Blit(dest, source, TRect{0, 0, source.Width(), source.Height()}, StretchMode);
}

void TCanvas::Blit(const TRect& dr, const TDibGraphic& source, const TRect& sr, TStretchMode mode) {
  if (image_.Empty() || source.Empty() || !SaneRect(dr) || !SaneRect(sr)) return;
  if (&source == &image_) {
    // Drawing an image onto itself: read from a copy so that rows already
    // written are not read again.
    TDibGraphic copy;
    copy.Assign(source);
    Blit(dr, copy, sr, mode);
    return;
  }
  const std::int64_t dw = std::int64_t{dr.Right} - dr.Left, dh = std::int64_t{dr.Bottom} - dr.Top;
  const std::int64_t sw = std::int64_t{sr.Right} - sr.Left, sh = std::int64_t{sr.Bottom} - sr.Top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  // Keeps the halftone sums inside 64 bits; no real page comes near this.
  if (mode == TStretchMode::smHalftone &&
      static_cast<std::uint64_t>(sw) * static_cast<std::uint64_t>(sh) > (std::uint64_t{1} << 55))
    mode = TStretchMode::smColorOnColor;

  TAxisMap xm = MapAxis(dr.Left, dw, sr.Left, sw, image_.Width(), source.Width(), mode);
  if (xm.Count == 0) return;
  TAxisMap ym = MapAxis(dr.Top, dh, sr.Top, sh, image_.Height(), source.Height(), mode);
  if (ym.Count == 0) return;
  if (dw == sw && dh == sh && mode != TStretchMode::smColorOnColor) {
    // Unscaled: every mode is a plain copy.
    mode = TStretchMode::smColorOnColor;
    xm = MapAxis(dr.Left, dw, sr.Left, sw, image_.Width(), source.Width(), mode);
    ym = MapAxis(dr.Top, dh, sr.Top, sh, image_.Height(), source.Height(), mode);
  }

  const int sbpp = source.BitCount(), dbpp = image_.BitCount();
  const bool srcPalette = source.ImageFormat() != ifTrueColor;
  const bool destTrue = image_.ImageFormat() == ifTrueColor;
  std::array<std::uint32_t, 256> colorOf{};  // source index -> colour
  std::array<std::uint32_t, 256> valueOf{};  // source index -> destination value
  if (srcPalette) {
    const TPalette& pal = source.Palette();
    for (std::size_t i = 0; i < pal.size() && i < 256; ++i)
      colorOf[i] = RgbColor(pal[i].Red, pal[i].Green, pal[i].Blue);
    // Between images with the same palette an index stays itself, even where
    // the palette repeats a colour.
    const bool samePalette = sbpp == dbpp && pal == image_.Palette();
    for (int i = 0; i < (1 << sbpp); ++i)
      valueOf[static_cast<std::size_t>(i)] =
          samePalette ? static_cast<std::uint32_t>(i) : ValueOf(colorOf[static_cast<std::size_t>(i)]);
  }

  if (sbpp == 1 && dbpp == 1 && mode != TStretchMode::smHalftone) {
    // AND of two colours is one of them exactly when one is the darker in
    // every channel; then the combination is a bit operation.
    TBitOp op = TBitOp::None;
    bool bitDomain = true;
    if (mode == TStretchMode::smBlackOnWhite) {
      const std::uint32_t both = colorOf[0] & colorOf[1];
      if (both == colorOf[0])
        op = TBitOp::And;
      else if (both == colorOf[1])
        op = TBitOp::Or;
      else
        bitDomain = false;
    }
    if (bitDomain) {
      BlitBilevel(image_, source, xm, ym, op, static_cast<int>(valueOf[0] & 1), static_cast<int>(valueOf[1] & 1),
                  CopyMode);
      return;
    }
  }

  if (mode == TStretchMode::smColorOnColor && xm.Identity && sbpp == dbpp && (dbpp == 8 || dbpp == 24)) {
    // Same byte layout and every value maps to itself: whole row bytes.
    bool same = true;
    for (int i = 0; srcPalette && same && i < 256; ++i)
      same = valueOf[static_cast<std::size_t>(i)] == static_cast<std::uint32_t>(i);
    if (same) {
      const std::size_t bytes = static_cast<std::size_t>(dbpp / 8);
      for (int j = 0; j < ym.Count; ++j)
        CombineBytes(image_.ScanLine(ym.First + j) + bytes * static_cast<std::size_t>(xm.First),
                     source.ScanLine(ym.Lo[static_cast<std::size_t>(j)]) + bytes * static_cast<std::size_t>(xm.SrcMin),
                     bytes * static_cast<std::size_t>(xm.Count), CopyMode);
      return;
    }
  }

  TRowBuffer out(dbpp, image_.BytesPerScanLine());
  const int x0 = xm.First, x1 = xm.First + xm.Count;

  if (srcPalette && mode == TStretchMode::smColorOnColor) {
    int lastRow = -1;
    for (int j = 0; j < ym.Count; ++j) {
      const int sy = ym.Lo[static_cast<std::size_t>(j)];
      if (sy != lastRow) {
        lastRow = sy;
        const std::uint8_t* srow = source.ScanLine(sy);
        for (int i = 0; i < xm.Count; ++i)
          out.Put(x0 + i, valueOf[static_cast<std::size_t>(IndexAt(srow, sbpp, xm.Lo[static_cast<std::size_t>(i)]))]);
      }
      CombineRow(dbpp, image_.ScanLine(ym.First + j), out.Data(), x0, x1, CopyMode);
    }
    return;
  }

  // Colour domain: nearest sample, AND, or weighted average of colours.
  const int cFrom = xm.SrcMin, cTo = xm.SrcMax;
  std::vector<std::uint32_t> acc(static_cast<std::size_t>(source.Width()));
  std::vector<std::uint32_t> row(static_cast<std::size_t>(source.Width()));
  auto put = [&](int x, std::uint32_t c) {
    out.Put(x, destTrue ? c : static_cast<std::uint32_t>(image_.NearestPaletteIndex(c)));
  };

  if (mode == TStretchMode::smHalftone && sbpp == 1) {
    // Two colours only: the weighted sum of a channel is c1 * (total - z) +
    // c0 * z, where z is the weight of the index-0 pixels. Those are the ink
    // of a page and few, so whole bytes of paper are skipped.
    const std::size_t n = static_cast<std::size_t>(source.Width());
    std::vector<std::uint64_t> zeros(n);
    const TColor32 c0 = colorOf[0], c1 = colorOf[1];
    for (int j = 0; j < ym.Count; ++j) {
      const int lo = ym.Lo[static_cast<std::size_t>(j)], hi = ym.Hi[static_cast<std::size_t>(j)];
      const std::int64_t* wy = &ym.Weights[static_cast<std::size_t>(ym.WeightAt[static_cast<std::size_t>(j)])];
      std::fill(zeros.begin() + cFrom, zeros.begin() + cTo, 0);
      std::uint64_t wyTotal = 0;
      for (int r = lo; r < hi; ++r) {
        const auto w = static_cast<std::uint64_t>(wy[r - lo]);
        wyTotal += w;
        const std::uint8_t* srow = source.ScanLine(r);
        for (int b = cFrom >> 3; b <= (cTo - 1) >> 3; ++b) {
          unsigned ink = static_cast<std::uint8_t>(~srow[b]);
          while (ink) {
            const int bit = __builtin_clz(ink) - 24;
            ink &= ~(0x80u >> bit);
            const int k = 8 * b + bit;
            if (k >= cFrom && k < cTo) zeros[static_cast<std::size_t>(k)] += w;
          }
        }
      }
      for (int i = 0; i < xm.Count; ++i) {
        const int xlo = xm.Lo[static_cast<std::size_t>(i)], xhi = xm.Hi[static_cast<std::size_t>(i)];
        const std::int64_t* wx = &xm.Weights[static_cast<std::size_t>(xm.WeightAt[static_cast<std::size_t>(i)])];
        std::uint64_t z = 0, wxTotal = 0;
        for (int k = xlo; k < xhi; ++k) {
          const auto w = static_cast<std::uint64_t>(wx[k - xlo]);
          wxTotal += w;
          z += w * zeros[static_cast<std::size_t>(k)];
        }
        const std::uint64_t total = wxTotal * wyTotal;
        auto channel = [&](int v0, int v1) {
          return static_cast<int>(
              (static_cast<std::uint64_t>(v1) * (total - z) + static_cast<std::uint64_t>(v0) * z + total / 2) / total);
        };
        put(x0 + i, RgbColor(channel(RedOf(c0), RedOf(c1)), channel(GreenOf(c0), GreenOf(c1)),
                             channel(BlueOf(c0), BlueOf(c1))));
      }
      CombineRow(dbpp, image_.ScanLine(ym.First + j), out.Data(), x0, x1, CopyMode);
    }
    return;
  }

  if (mode == TStretchMode::smHalftone) {
    const std::size_t n = static_cast<std::size_t>(source.Width());
    std::vector<std::uint64_t> sumR(n), sumG(n), sumB(n);
    for (int j = 0; j < ym.Count; ++j) {
      const int lo = ym.Lo[static_cast<std::size_t>(j)], hi = ym.Hi[static_cast<std::size_t>(j)];
      const std::int64_t* wy = &ym.Weights[static_cast<std::size_t>(ym.WeightAt[static_cast<std::size_t>(j)])];
      std::fill(sumR.begin() + cFrom, sumR.begin() + cTo, 0);
      std::fill(sumG.begin() + cFrom, sumG.begin() + cTo, 0);
      std::fill(sumB.begin() + cFrom, sumB.begin() + cTo, 0);
      std::uint64_t wyTotal = 0;
      for (int r = lo; r < hi; ++r) {
        const auto w = static_cast<std::uint64_t>(wy[r - lo]);
        wyTotal += w;
        DecodeRow(source, r, colorOf.data(), cFrom, cTo, row.data());
        for (int k = cFrom; k < cTo; ++k) {
          const std::uint32_t c = row[static_cast<std::size_t>(k)];
          sumR[static_cast<std::size_t>(k)] += w * static_cast<std::uint64_t>(RedOf(c));
          sumG[static_cast<std::size_t>(k)] += w * static_cast<std::uint64_t>(GreenOf(c));
          sumB[static_cast<std::size_t>(k)] += w * static_cast<std::uint64_t>(BlueOf(c));
        }
      }
      for (int i = 0; i < xm.Count; ++i) {
        const int xlo = xm.Lo[static_cast<std::size_t>(i)], xhi = xm.Hi[static_cast<std::size_t>(i)];
        const std::int64_t* wx = &xm.Weights[static_cast<std::size_t>(xm.WeightAt[static_cast<std::size_t>(i)])];
        std::uint64_t r = 0, g = 0, b = 0, wxTotal = 0;
        for (int k = xlo; k < xhi; ++k) {
          const auto w = static_cast<std::uint64_t>(wx[k - xlo]);
          wxTotal += w;
          r += w * sumR[static_cast<std::size_t>(k)];
          g += w * sumG[static_cast<std::size_t>(k)];
          b += w * sumB[static_cast<std::size_t>(k)];
        }
        const std::uint64_t total = wxTotal * wyTotal;
        put(x0 + i, RgbColor(static_cast<int>((r + total / 2) / total), static_cast<int>((g + total / 2) / total),
                             static_cast<int>((b + total / 2) / total)));
      }
      CombineRow(dbpp, image_.ScanLine(ym.First + j), out.Data(), x0, x1, CopyMode);
    }
    return;
  }

  int lastLo = -1, lastHi = -1;
  for (int j = 0; j < ym.Count; ++j) {
    const int lo = ym.Lo[static_cast<std::size_t>(j)], hi = ym.Hi[static_cast<std::size_t>(j)];
    if (lo != lastLo || hi != lastHi) {
      lastLo = lo;
      lastHi = hi;
      DecodeRow(source, lo, colorOf.data(), cFrom, cTo, acc.data());
      for (int r = lo + 1; r < hi; ++r) {
        DecodeRow(source, r, colorOf.data(), cFrom, cTo, row.data());
        for (int k = cFrom; k < cTo; ++k) acc[static_cast<std::size_t>(k)] &= row[static_cast<std::size_t>(k)];
      }
      for (int i = 0; i < xm.Count; ++i) {
        const int xlo = xm.Lo[static_cast<std::size_t>(i)], xhi = xm.Hi[static_cast<std::size_t>(i)];
        std::uint32_t c = acc[static_cast<std::size_t>(xlo)];
        for (int k = xlo + 1; k < xhi; ++k) c &= acc[static_cast<std::size_t>(k)];
        put(x0 + i, c);
      }
    }
    CombineRow(dbpp, image_.ScanLine(ym.First + j), out.Data(), x0, x1, CopyMode);
  }
}

void TCanvas::FillPolygon(const std::vector<TPoint>& points) {
  if (image_.Empty() || points.size() < 3) return;
  for (const TPoint& p : points)
    if (!SaneCoord(p.X) || !SaneCoord(p.Y)) return;
  int minY = INT_MAX, maxY = INT_MIN;
  for (const TPoint& p : points) {
    minY = std::min(minY, p.Y);
    maxY = std::max(maxY, p.Y);
  }
  minY = std::max(minY, 0);
  maxY = std::min(maxY, image_.Height());
  if (minY >= maxY) return;
  TRowBuffer pattern(image_.BitCount(), image_.BytesPerScanLine());
  pattern.Fill(ValueOf(BrushColor));
  const std::size_t n = points.size();
  std::vector<std::int64_t> starts;
  for (int y = minY; y < maxY; ++y) {
    starts.clear();
    for (std::size_t k = 0; k < n; ++k) {
      const TPoint& a = points[k];
      const TPoint& b = points[(k + 1) % n];
      // The edge crosses the row's centre line when exactly one end lies at
      // or above the row (ends are integers, centres half-integers).
      if ((a.Y <= y) == (b.Y <= y)) continue;
      // Crossing at X = N / (2 dy); the first pixel whose centre x + 1/2 is at
      // or right of it is ceil((N - dy) / (2 dy)).
      std::int64_t dy = std::int64_t{b.Y} - a.Y;
      std::int64_t num =
          2 * std::int64_t{a.X} * dy + (2 * std::int64_t{y} + 1 - 2 * std::int64_t{a.Y}) * (std::int64_t{b.X} - a.X);
      if (dy < 0) {
        dy = -dy;
        num = -num;
      }
      starts.push_back(-FloorDiv(-(num - dy), 2 * dy));
    }
    std::sort(starts.begin(), starts.end());
    // A pixel is inside when an odd number of crossings lie right of its
    // centre: between the 1st and 2nd start, the 3rd and 4th, ...
    std::uint8_t* rowPtr = image_.ScanLine(y);
    for (std::size_t k = 0; k + 1 < starts.size(); k += 2) {
      const auto from = static_cast<int>(std::clamp<std::int64_t>(starts[k], 0, image_.Width()));
      const auto to = static_cast<int>(std::clamp<std::int64_t>(starts[k + 1], 0, image_.Width()));
      CombineRow(image_.BitCount(), rowPtr, pattern.Data(), from, to, TCopyMode::cmCopy);
    }
  }
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
  if (image_.Empty() || points.empty()) return;
  FillPolygon(points);
  const std::uint32_t value = ValueOf(PenColor);
  for (std::size_t k = 0; k < points.size(); ++k) {
    const TPoint& a = points[k];
    const TPoint& b = points[(k + 1) % points.size()];
    Line(a.X, a.Y, b.X, b.Y, value);
  }
}

void TCanvas::MoveTo(int x, int y) { penPos_ = TPoint{x, y}; }

void TCanvas::LineTo(int x, int y) {
  if (!image_.Empty()) Line(penPos_.X, penPos_.Y, x, y, ValueOf(PenColor));
  penPos_ = TPoint{x, y};
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  if (points.empty()) return;
  MoveTo(points[0].X, points[0].Y);
  for (std::size_t k = 1; k < points.size(); ++k) LineTo(points[k].X, points[k].Y);
}

void TCanvas::FrameRect(const TRect& r) {
  if (image_.Empty() || r.IsEmpty() || !SaneRect(r)) return;
  const std::uint32_t value = ValueOf(PenColor);
  const int saved = PenWidth;
  PenWidth = 1;
  Line(r.Left, r.Top, r.Right, r.Top, value);
  Line(r.Left, r.Bottom - 1, r.Right, r.Bottom - 1, value);
  Line(r.Left, r.Top, r.Left, r.Bottom, value);
  Line(r.Right - 1, r.Top, r.Right - 1, r.Bottom, value);
  PenWidth = saved;
}

void TCanvas::Line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, std::uint32_t value) {
  if (!SaneCoord(x0) || !SaneCoord(y0) || !SaneCoord(x1) || !SaneCoord(y1)) return;
  const std::int64_t dx = x1 - x0, dy = y1 - y0;
  const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const std::int64_t n = std::max(adx, ady);
  if (n == 0) return;
  const bool xMajor = adx >= ady;
  const std::int64_t a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
  const std::int64_t sa = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const std::int64_t sb = (xMajor ? dy : dx) < 0 ? -1 : 1;
  const std::int64_t db = xMajor ? ady : adx;
  // Only steps whose major coordinate can reach the image (with the pen's
  // width) are walked.
  const std::int64_t margin = std::clamp(PenWidth, 1, kMaxPenWidth);
  const std::int64_t extent = xMajor ? image_.Width() : image_.Height();
  std::int64_t iFrom = 0, iTo = n;
  if (sa > 0) {
    iFrom = std::max(iFrom, -margin - a0);
    iTo = std::min(iTo, extent + margin - a0);
  } else {
    iFrom = std::max(iFrom, a0 - extent - margin);
    iTo = std::min(iTo, a0 + margin + 1);
  }
  TRowBuffer pattern(image_.BitCount(), image_.BytesPerScanLine());
  pattern.Fill(value);
  const int w = static_cast<int>(margin);
  auto dot = [&](std::int64_t x, std::int64_t y) {
    const std::int64_t left = x - (w - 1) / 2, top = y - (w - 1) / 2;
    const auto px0 = static_cast<int>(std::clamp<std::int64_t>(left, 0, image_.Width()));
    const auto px1 = static_cast<int>(std::clamp<std::int64_t>(left + w, 0, image_.Width()));
    const auto py0 = static_cast<int>(std::clamp<std::int64_t>(top, 0, image_.Height()));
    const auto py1 = static_cast<int>(std::clamp<std::int64_t>(top + w, 0, image_.Height()));
    for (int yy = py0; yy < py1; ++yy)
      CombineRow(image_.BitCount(), image_.ScanLine(yy), pattern.Data(), px0, px1, TCopyMode::cmCopy);
  };
  for (std::int64_t i = iFrom; i < iTo; ++i) {
    const std::int64_t a = a0 + sa * i;
    const std::int64_t b = b0 + sb * ((2 * i * db + n) / (2 * n));
    if (xMajor)
      dot(a, b);
    else
      dot(b, a);
  }
}

void TCanvas::TextOut(int x, int y, const std::string& utf8Text) {
  const auto& renderer = ImagingHooks().TextRenderer;
  if (!renderer || image_.Empty() || utf8Text.empty()) return;
  const TGlyphMask mask = renderer->Render(Font, utf8Text, ImagingHooks().ScreenDpiY);
  if (mask.Width <= 0 || mask.Height <= 0 ||
      mask.Coverage.size() < static_cast<std::size_t>(mask.Width) * static_cast<std::size_t>(mask.Height))
    return;
  TRowBuffer pattern(image_.BitCount(), image_.BytesPerScanLine());
  pattern.Fill(ValueOf(PenColor));
  const int width = image_.Width();
  for (int my = 0; my < mask.Height; ++my) {
    const std::int64_t yy = std::int64_t{y} + my;
    if (yy < 0 || yy >= image_.Height()) continue;
    const std::uint8_t* cov = &mask.Coverage[static_cast<std::size_t>(my) * static_cast<std::size_t>(mask.Width)];
    std::uint8_t* rowPtr = image_.ScanLine(static_cast<int>(yy));
    int mx = 0;
    while (mx < mask.Width) {
      while (mx < mask.Width && cov[mx] < 128) ++mx;
      const int runStart = mx;
      while (mx < mask.Width && cov[mx] >= 128) ++mx;
      if (runStart == mx) break;
      const auto from = static_cast<int>(std::clamp<std::int64_t>(std::int64_t{x} + runStart, 0, width));
      const auto to = static_cast<int>(std::clamp<std::int64_t>(std::int64_t{x} + mx, 0, width));
      CombineRow(image_.BitCount(), rowPtr, pattern.Data(), from, to, TCopyMode::cmCopy);
    }
  }
}

TSize TCanvas::TextExtent(const std::string& utf8Text) {
  const auto& renderer = ImagingHooks().TextRenderer;
  if (!renderer) return TSize{};
  return renderer->Extent(Font, utf8Text, ImagingHooks().ScreenDpiY);
}
