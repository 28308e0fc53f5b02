#include "correction/StrokeWeight.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "correction/NoiseData.h"

// Bilevel rows are handled as arrays of 64-bit words in which pixel x of the
// row is bit 63 - x % 64 of word x / 64 (the row's bytes read big-endian), so
// the left neighbour of every pixel of a word is one shift right and the
// right neighbour one shift left. A word holds the palette-index bits
// (1 = white); a spare zero word at each end keeps the shifts in bounds.

namespace {

using Word = std::uint64_t;

inline Word LoadBigEndian(const std::uint8_t* p) {
  Word w;
  std::memcpy(&w, p, sizeof w);
  return __builtin_bswap64(w);
}

// The working rectangles of one call, clipped to the page.
std::vector<TRect> WorkingRects(const TDibGraphic& image, const std::vector<TRect>& regions, bool insideRegions) {
  const TRect page{0, 0, image.Width(), image.Height()};
  std::vector<TRect> rects;
  if (regions.empty() || !insideRegions) {
    rects.push_back(page);
  } else {
    for (const TRect& r : regions) {
      TRect c{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, page.Right), std::min(r.Bottom, page.Bottom)};
      rects.push_back(c);
    }
  }
  return rects;
}

// Rows of one working rectangle as word arrays, plus the mask of the pixels
// that may change on the current row.
class TRowWords {
 public:
  TRowWords(const TDibGraphic& image, const TRect& rect) : image_(image), rect_(rect) {
    words_ = (image.Width() + 63) / 64;
    // Words 0 and words_ + 1 stay zero: they are the neighbours beyond the
    // row's ends.
    for (auto& buffer : buffers_) buffer.assign(static_cast<std::size_t>(words_) + 2, 0);
    bytes_.assign(static_cast<std::size_t>(words_) * 8, 0);
    base_.assign(static_cast<std::size_t>(words_) + 2, 0);
    mask_.assign(static_cast<std::size_t>(words_) + 2, 0);
    SetBits(base_.data() + 1, rect.Left + 1, rect.Right - 1);
    firstWord_ = (rect.Left + 1) / 64;
    endWord_ = (rect.Right - 2) / 64 + 1;
  }

  int Words() const { return words_; }
  int FirstWord() const { return firstWord_; }
  int EndWord() const { return endWord_; }

  // buffer 0 = previous, 1 = current, 2 = next; word i of the row is [i + 1].
  Word* Row(int which) { return buffers_[static_cast<std::size_t>(which)].data() + 1; }
  const Word* Mask() const { return mask_.data() + 1; }

  void Load(int which, int y) {
    const std::uint8_t* line = image_.ScanLine(y);
    std::memcpy(bytes_.data(), line, static_cast<std::size_t>(std::min<int>(image_.BytesPerScanLine(), words_ * 8)));
    Word* row = Row(which);
    for (int i = 0; i < words_; ++i) row[i] = LoadBigEndian(bytes_.data() + 8 * i);
  }

  // previous <- current <- next; the old previous becomes the next buffer.
  void Shift() {
    std::swap(buffers_[0], buffers_[1]);
    std::swap(buffers_[1], buffers_[2]);
  }

  // Mask of the changeable pixels of row y: the rectangle's interior minus
  // the skipped regions that cover the row.
  void BuildMask(int y, const std::vector<TRect>* skipped) {
    mask_ = base_;
    if (!skipped) return;
    for (const TRect& r : *skipped)
      if (y >= r.Top && y < r.Bottom) ClearBits(mask_.data() + 1, r.Left, r.Right);
  }

 private:
  void SetBits(Word* w, int from, int to) const { ChangeBits(w, from, to, true); }
  void ClearBits(Word* w, int from, int to) const { ChangeBits(w, from, to, false); }
  void ChangeBits(Word* w, int from, int to, bool set) const {
    from = std::max(from, rect_.Left + 1);
    to = std::min(to, rect_.Right - 1);
    for (int x = from; x < to;) {
      const int i = x / 64;
      const int bit = x % 64;
      const int n = std::min(64 - bit, to - x);
      const Word m = (n == 64 ? ~Word{0} : ((Word{1} << n) - 1)) << (64 - bit - n);
      w[i] = set ? (w[i] | m) : (w[i] & ~m);
      x += n;
    }
  }

  const TDibGraphic& image_;
  TRect rect_;
  int words_ = 0;
  int firstWord_ = 0;
  int endWord_ = 0;
  std::array<std::vector<Word>, 3> buffers_;
  std::vector<std::uint8_t> bytes_;
  std::vector<Word> base_;
  std::vector<Word> mask_;
};

inline Word LeftOf(const Word* row, int i) { return (row[i] >> 1) | (row[i - 1] << 63); }
inline Word RightOf(const Word* row, int i) { return (row[i] << 1) | (row[i + 1] >> 63); }

// Applies a change mask (big-endian word i of the row) to the page row:
// set = true turns the masked pixels white, false black.
void ApplyToLine(std::uint8_t* line, int stride, int i, Word change, bool set) {
  if (!change) return;
  const int start = i * 8;
  if (start + 8 <= stride) {
    Word v;
    std::memcpy(&v, line + start, sizeof v);
    const Word m = __builtin_bswap64(change);  // back to the row's byte order
    v = set ? (v | m) : (v & ~m);
    std::memcpy(line + start, &v, sizeof v);
    return;
  }
  for (int k = 0; k < 8 && start + k < stride; ++k) {
    const auto b = static_cast<std::uint8_t>(change >> (56 - 8 * k));
    line[start + k] =
        set ? static_cast<std::uint8_t>(line[start + k] | b) : static_cast<std::uint8_t>(line[start + k] & ~b);
  }
}

// Mask of the pixels whose count of white neighbours (bit-sliced in
// b0..b3) is at most level.
Word CountAtMost(int level, Word b0, Word b1, Word b2, Word b3) {
  if (level < 0) return 0;
  if (level >= 8) return ~Word{0};
  // count > level, compared bit-slice by bit-slice from the top.
  const Word l0 = (level & 1) ? ~Word{0} : 0, l1 = (level & 2) ? ~Word{0} : 0, l2 = (level & 4) ? ~Word{0} : 0;
  const Word eq2 = ~(b2 ^ l2), eq1 = ~(b1 ^ l1);
  const Word greater = b3 | (b2 & ~l2) | (eq2 & ((b1 & ~l1) | (eq1 & b0 & ~l0)));
  return ~greater;
}

inline void FullAdd(Word a, Word b, Word c, Word& sum, Word& carry) {
  sum = a ^ b ^ c;
  carry = (a & b) | (c & (a ^ b));
}

void DarkenRect(TDibGraphic& image, const TRect& rect, int level, const std::vector<TRect>* skipped) {
  TRowWords rows(image, rect);
  const int stride = image.BytesPerScanLine();
  rows.Load(0, rect.Top);
  rows.Load(1, rect.Top + 1);
  for (int y = rect.Top + 1; y <= rect.Bottom - 2; ++y) {
    rows.Load(2, y + 1);
    rows.BuildMask(y, skipped);
    const Word* p = rows.Row(0);
    const Word* c = rows.Row(1);
    const Word* n = rows.Row(2);
    const Word* mask = rows.Mask();
    std::uint8_t* line = image.ScanLine(y);
    for (int i = rows.FirstWord(); i < rows.EndWord(); ++i) {
      const Word candidates = c[i] & mask[i];
      if (!candidates) continue;
      // Number of white neighbours, 64 pixels at once, as the bit slices
      // s0 + 2 b1 + 4 b2 + 8 b3 (a small tree of full adders).
      Word sa, ca, sb, cb, s0, cd, t, ce;
      FullAdd(LeftOf(p, i), p[i], RightOf(p, i), sa, ca);
      FullAdd(LeftOf(n, i), n[i], RightOf(n, i), sb, cb);
      const Word l = LeftOf(c, i), r = RightOf(c, i);
      const Word sc = l ^ r, cc = l & r;
      FullAdd(sa, sb, sc, s0, cd);
      FullAdd(ca, cb, cc, t, ce);
      const Word b1 = t ^ cd, cf = t & cd;
      const Word b2 = ce ^ cf, b3 = ce & cf;
      ApplyToLine(line, stride, i, candidates & CountAtMost(level, s0, b1, b2, b3), false);
    }
    rows.Shift();
  }
}

// For each byte of "may turn" bits and the state "the pixel before turned",
// the pixels that turn: inside every run of candidates the first, third,
// fifth ... pixel turns, since a turned pixel leaves its right neighbour
// with a white neighbour. Low byte: turned bits; bit 8: last pixel turned.
struct TAlternateTable {
  std::array<std::array<std::uint16_t, 256>, 2> Entry{};
  TAlternateTable() {
    for (int state = 0; state < 2; ++state)
      for (int b = 0; b < 256; ++b) {
        int before = state, out = 0;
        for (int k = 0; k < 8; ++k) {
          const int bit = (b >> (7 - k)) & 1;
          const int turned = bit && !before;
          out |= turned << (7 - k);
          before = turned;
        }
        Entry[static_cast<std::size_t>(state)][static_cast<std::size_t>(b)] =
            static_cast<std::uint16_t>(out | (before << 8));
      }
  }
};

void LightenRect(TDibGraphic& image, const TRect& rect, const std::vector<TRect>* skipped) {
  static const TAlternateTable table;
  TRowWords rows(image, rect);
  const int stride = image.BytesPerScanLine();
  rows.Load(0, rect.Top);
  rows.Load(1, rect.Top + 1);
  for (int y = rect.Top + 1; y <= rect.Bottom - 2; ++y) {
    rows.Load(2, y + 1);
    rows.BuildMask(y, skipped);
    const Word* p = rows.Row(0);
    Word* c = rows.Row(1);
    const Word* n = rows.Row(2);
    const Word* mask = rows.Mask();
    std::uint8_t* line = image.ScanLine(y);
    int state = 0;  // did the pixel left of the current word turn white?
    for (int i = rows.FirstWord(); i < rows.EndWord(); ++i) {
      // Candidates: black with eight black neighbours, the left neighbour
      // as read (whether it turned is settled by the alternation below).
      const Word allBlack = ~(p[i] | LeftOf(p, i) | RightOf(p, i) | n[i] | LeftOf(n, i) | RightOf(n, i) | c[i] |
                              LeftOf(c, i) | RightOf(c, i));
      const Word candidates = allBlack & mask[i];
      if (!candidates) {
        state = 0;
        continue;
      }
      Word turned = 0;
      for (int k = 0; k < 8; ++k) {
        const auto b = static_cast<std::size_t>((candidates >> (56 - 8 * k)) & 0xFF);
        const std::uint16_t e = table.Entry[static_cast<std::size_t>(state)][b];
        turned |= static_cast<Word>(e & 0xFF) << (56 - 8 * k);
        state = e >> 8;
      }
      c[i] |= turned;
      ApplyToLine(line, stride, i, turned, true);
    }
    rows.Shift();
  }
}

void ProcessBilevel(TDibGraphic& image, const std::vector<TRect>& regions, bool insideRegions, bool darken, int level) {
  if (image.Empty() || image.ImageFormat() != ifBlackWhite) return;
  const std::vector<TRect>* skipped = (!regions.empty() && !insideRegions) ? &regions : nullptr;
  for (const TRect& rect : WorkingRects(image, regions, insideRegions)) {
    if (std::int64_t{rect.Right} - rect.Left < 3 || std::int64_t{rect.Bottom} - rect.Top < 3) continue;
    if (darken)
      DarkenRect(image, rect, level, skipped);
    else
      LightenRect(image, rect, skipped);
  }
}

// --- true colour ----------------------------------------------------------

float HueToChannel(float m1, float m2, float h) {
  if (h < 0.0f) h += 1.0f;
  if (h > 1.0f) h -= 1.0f;
  if (6.0f * h < 1.0f) return m1 + (m2 - m1) * h * 6.0f;
  if (2.0f * h < 1.0f) return m2;
  if (3.0f * h < 2.0f) return m1 + (m2 - m1) * (2.0f / 3.0f - h) * 6.0f;
  return m1;
}

inline std::uint8_t ToByte(float v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v * 255.0f), 0L, 255L)); }

// Moves the HSL lightness of one B,G,R pixel by delta (clamped to 0..1).
void ShiftLightness(std::uint8_t* bgr, float delta) {
  const int r = bgr[2], g = bgr[1], b = bgr[0];
  const int mx = std::max({r, g, b});
  const int mn = std::min({r, g, b});
  const float l = static_cast<float>(mx + mn) / 510.0f;
  float h = 0.0f, s = 0.0f;
  if (mx != mn) {
    const float d = static_cast<float>(mx - mn) / 255.0f;
    const float sum = static_cast<float>(mx + mn) / 255.0f;
    s = l < 0.5f ? d / sum : d / (2.0f - sum);
    const float rf = r / 255.0f, gf = g / 255.0f, bf = b / 255.0f;
    if (mx == r)
      h = (gf - bf) / d;
    else if (mx == g)
      h = 2.0f + (bf - rf) / d;
    else
      h = 4.0f + (rf - gf) / d;
    h /= 6.0f;
    if (h < 0.0f) h += 1.0f;
  }
  const float nl = std::clamp(l + delta, 0.0f, 1.0f);
  if (s == 0.0f) {
    bgr[0] = bgr[1] = bgr[2] = ToByte(nl);
    return;
  }
  const float m2 = nl <= 0.5f ? nl * (1.0f + s) : nl + s - nl * s;
  const float m1 = 2.0f * nl - m2;
  bgr[2] = ToByte(HueToChannel(m1, m2, h + 1.0f / 3.0f));
  bgr[1] = ToByte(HueToChannel(m1, m2, h));
  bgr[0] = ToByte(HueToChannel(m1, m2, h - 1.0f / 3.0f));
}

bool InAnyRegion(const std::vector<TRect>& regions, int x, int y) {
  for (const TRect& r : regions)
    if (r.Contains(x, y)) return true;
  return false;
}

void ProcessTrueColor(TDibGraphic& image, int level, int threshold, bool insideRegions,
                      const std::vector<TRect>& regions, float sign) {
  const float delta = sign * static_cast<float>(level) / 100.0f;
  const bool skip = !regions.empty() && !insideRegions;
  for (const TRect& rect : WorkingRects(image, regions, insideRegions)) {
    if (std::int64_t{rect.Right} - rect.Left < 3 || std::int64_t{rect.Bottom} - rect.Top < 3) continue;
    for (int y = rect.Top + 1; y <= rect.Bottom - 2; ++y) {
      std::uint8_t* line = image.ScanLine(y);
      for (int x = rect.Left + 1; x <= rect.Right - 2; ++x) {
        std::uint8_t* px = line + 3 * static_cast<std::ptrdiff_t>(x);
        if (GreyOf(px[2], px[1], px[0]) >= threshold) continue;
        if (skip && InAnyRegion(regions, x, y)) continue;
        ShiftLightness(px, delta);
      }
    }
  }
}

}  // namespace

void DarkenStrokes(TDibGraphic& image, int level, const std::vector<TRect>& regions, bool insideRegions) {
  ProcessBilevel(image, regions, insideRegions, true, level);
}

void LightenStrokes(TDibGraphic& image, const std::vector<TRect>& regions, bool insideRegions) {
  ProcessBilevel(image, regions, insideRegions, false, 0);
}

void DarkenStrokes(TDibGraphic& image, int level, int threshold, bool insideRegions,
                   const std::vector<TRect>& regions) {
  if (image.Empty()) return;
  if (image.ImageFormat() == ifBlackWhite)
    ProcessBilevel(image, regions, insideRegions, true, level);
  else if (image.ImageFormat() == ifTrueColor)
    ProcessTrueColor(image, level, threshold, insideRegions, regions, -1.0f);
}

void LightenStrokes(TDibGraphic& image, int level, int threshold, bool insideRegions,
                    const std::vector<TRect>& regions) {
  if (image.Empty()) return;
  if (image.ImageFormat() == ifBlackWhite)
    ProcessBilevel(image, regions, insideRegions, false, 0);
  else if (image.ImageFormat() == ifTrueColor)
    ProcessTrueColor(image, level, threshold, insideRegions, regions, 1.0f);
}
