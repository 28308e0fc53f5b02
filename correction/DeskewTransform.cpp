// Skew search and deskew; see DeskewTransform.h for the method.
//
// Speed: a path segment is a run of columns on one row, so its white count
// is the difference of two prefix counts of that row. The search first turns
// the page into a table of 64-bit words (most significant bit = leftmost
// pixel) each paired with the number of white pixels before it on its row;
// a prefix count at any column is then one table entry plus one popcount of
// a masked word. The table is stored column of words by column of words, so
// the inner loop, which walks the path starts of one candidate down the page
// at a fixed column, reads memory at a short constant stride. Large drifts
// that share a segment width share their paths, so their profiles are built
// by extending one another. Groups of drifts are independent and can be
// scored on several threads that only read the table.
#include "correction/DeskewTransform.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <numbers>
#include <system_error>
#include <thread>

#include "image/ImagingHooks.h"
#include "image/PixelMemory.h"
#include "image/RasterRows.h"
#include "image/transforms/ImageFormatTransform.h"
#include "image/transforms/RotateTransform.h"

namespace {

// Nearest integer, halves to even.
double RoundHalfEven(double v) {
  const double f = std::floor(v);
  const double diff = v - f;
  if (diff > 0.5) return f + 1.0;
  if (diff < 0.5) return f;
  return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
}

// Clamps a rounded double into the int range (the plan's inputs are doubles
// that a caller may set to anything).
int ClampToInt(double v) {
  if (!(v == v)) return 0;
  if (v > 2147483647.0) return 2147483647;
  if (v < -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

struct TPrefixEntry {
  std::uint64_t Bits;    // 64 pixels, leftmost in the most significant bit; bits past the width are 0
  std::uint32_t Before;  // white pixels of the row left of this word
  std::uint32_t Unused;
};

// Mask of the leftmost (x mod 64) pixels of a word.
inline std::uint64_t LeftMask(int x) { return ~(~std::uint64_t{0} >> (x & 63)); }

// The prefix-count table of a bilevel image, words column-major:
// entry (word w, row y) at w * height + y, words 0 .. width / 64 (one more
// than needed when the width is a multiple of 64, so that a count up to the
// full width needs no special case).
class TPrefixTable {
 public:
  using TFillFn = void (*)(const TDibGraphic& image, TPrefixEntry* entries, int first, int last);

  TPrefixTable(const TDibGraphic& image, int threadCount, TFillFn fill) : height_(image.Height()) {
    const std::size_t words = static_cast<std::size_t>(image.Width() / 64 + 1);
    // Page-sized: taken from pixel memory, which faults in large steps.
    memory_ = MakePixelBuffer(words * static_cast<std::size_t>(height_) * sizeof(TPrefixEntry));
    if (!memory_) throw std::bad_alloc();
    entries_ = reinterpret_cast<TPrefixEntry*>(memory_.get());
    RunParallel(threadCount, height_, [&](int first, int last) { fill(image, entries_, first, last); });
  }

  int Height() const { return height_; }
  const TPrefixEntry* Column(int x) const {
    return entries_ + static_cast<std::size_t>(x >> 6) * static_cast<std::size_t>(height_);
  }

  // Runs body(first, last) over [0, count) split into up to threadCount parts.
  template <typename Body>
  static void RunParallel(int threadCount, int count, Body body) {
    const int parts = std::max(1, std::min(threadCount, count / 64));
    if (parts <= 1) {
      body(0, count);
      return;
    }
    auto bound = [&](int p) { return static_cast<int>(static_cast<std::int64_t>(count) * p / parts); };
    std::vector<std::jthread> threads;
    threads.reserve(static_cast<std::size_t>(parts - 1));
    int started = 1;
    for (; started < parts; ++started) {
      try {
        threads.emplace_back([=, &body] { body(bound(started), bound(started + 1)); });
      } catch (const std::system_error&) {
        break;  // no more threads: the calling thread does the rest
      }
    }
    body(0, bound(1));
    if (started < parts) body(bound(started), count);
  }

 private:
  int height_;
  TPixelBuffer memory_;
  TPrefixEntry* entries_ = nullptr;
};

// Fills rows [first, last) of the prefix table (layout as in TPrefixTable).
__attribute__((always_inline)) inline void FillRowsImpl(const TDibGraphic& image, TPrefixEntry* entries, int first,
                                                        int last) {
  const int width = image.Width();
  const int height = image.Height();
  const int words = width / 64 + 1;
  const int rowBytes = (width + 7) / 8;
  for (int y = first; y < last; ++y) {
    const std::uint8_t* row = image.ScanLine(y);
    std::uint32_t before = 0;
    TPrefixEntry* out = entries + y;
    for (int w = 0; w < words; ++w, out += height) {
      const int start = w * 8;
      std::uint64_t bits = 0;
      if (start + 8 <= rowBytes) {
        std::uint64_t raw;
        std::memcpy(&raw, row + start, 8);
        bits = std::endian::native == std::endian::little ? __builtin_bswap64(raw) : raw;
      } else {
        for (int b = start; b < rowBytes; ++b) bits |= static_cast<std::uint64_t>(row[b]) << (56 - 8 * (b - start));
      }
      // Pixels past the width (row padding) never count.
      const int valid = width - w * 64;
      if (valid < 64) bits &= valid <= 0 ? 0 : LeftMask(valid);
      out->Bits = bits;
      out->Before = before;
      out->Unused = 0;
      before += static_cast<std::uint32_t>(__builtin_popcountll(bits));
    }
  }
}

// White pixels of a row left of column x: the entry of x's word plus the
// popcount of that word's leftmost x mod 64 pixels. Inlined into the two
// kernels below, so the popcount becomes the hardware instruction where the
// kernel is compiled for it and the compiler's portable code elsewhere.
__attribute__((always_inline)) inline std::int32_t Prefix(const TPrefixEntry& entry, std::uint64_t mask) {
  return static_cast<std::int32_t>(entry.Before) + __builtin_popcountll(entry.Bits & mask);
}

// White pixels of one segment [x0, x1) of a row; when both ends lie in one
// word (chosen once per segment column, not per row) a single masked
// popcount does.
template <bool OneWord>
__attribute__((always_inline)) inline std::int32_t SegmentCount(const TPrefixEntry* c0, const TPrefixEntry* c1,
                                                                std::uint64_t m0, std::uint64_t m1, std::size_t off) {
  if constexpr (OneWord)
    return __builtin_popcountll(c0[off].Bits & m1 & ~m0);
  else
    return Prefix(c1[off], m1) - Prefix(c0[off], m0);
}

// One or two path segment columns at once (k and k + 1 when Two): the
// segment ends of each column are fixed for all paths of a candidate, so
// whether a segment lies inside one word is decided here, not per row.
struct TSegmentColumn {
  const TPrefixEntry* A0;
  const TPrefixEntry* A1;
  const TPrefixEntry* B0;
  const TPrefixEntry* B1;
  std::uint64_t MA0, MA1, MB0, MB1;
};

template <unsigned Shape, bool Two>
__attribute__((always_inline)) inline void AddSegments(const TSegmentColumn& s, const TSegmentColumn& t, int band,
                                                       int nb, std::int32_t* down, std::int32_t* up) {
  std::size_t off = 0;
  for (int i = 0; i < nb; ++i, off += static_cast<std::size_t>(band)) {
    std::int32_t dn = SegmentCount<(Shape & 1) != 0>(s.A0, s.A1, s.MA0, s.MA1, off);
    std::int32_t u = SegmentCount<(Shape & 2) != 0>(s.B0, s.B1, s.MB0, s.MB1, off);
    if constexpr (Two) {
      dn += SegmentCount<(Shape & 4) != 0>(t.A0, t.A1, t.MA0, t.MA1, off);
      u += SegmentCount<(Shape & 8) != 0>(t.B0, t.B1, t.MB0, t.MB1, off);
    }
    down[i] += dn;
    up[i] += u;
  }
}

template <unsigned Shape, bool Two>
__attribute__((always_inline)) inline void AddSegmentsDispatch(unsigned shape, const TSegmentColumn& s,
                                                               const TSegmentColumn& t, int band, int nb,
                                                               std::int32_t* down, std::int32_t* up) {
  if constexpr (Shape < (Two ? 16u : 4u)) {
    if (shape == Shape)
      AddSegments<Shape, Two>(s, t, band, nb, down, up);
    else
      AddSegmentsDispatch<Shape + 1, Two>(shape, s, t, band, nb, down, up);
  }
}

__attribute__((always_inline)) inline TSegmentColumn MakeColumn(const TPrefixTable& table, int width, int k, int seg,
                                                                unsigned& shape, int shift) {
  const int a0 = k * seg;
  const int a1 = a0 + seg;
  const int b0 = width - a1;
  const int b1 = width - a0;
  if ((a0 >> 6) == (a1 >> 6)) shape |= 1u << shift;
  if ((b0 >> 6) == (b1 >> 6)) shape |= 2u << shift;
  return {table.Column(a0) + k, table.Column(a1) + k, table.Column(b0) + k, table.Column(b1) + k,
          LeftMask(a0),         LeftMask(a1),         LeftMask(b0),         LeftMask(b1)};
}

// Adds the white counts of path segments k = kFirst .. kLast of every path
// to the two profiles (down: columns k*seg .. k*seg+seg-1 on row start+k;
// up: the mirrored columns), nb entries each.
__attribute__((always_inline)) inline void AccumulateProfilesImpl(const TPrefixTable& table, int width, int kFirst,
                                                                  int kLast, int seg, int band, int nb,
                                                                  std::int32_t* down, std::int32_t* up) {
  const int d = kLast;
  int k = kFirst;
  for (; k + 1 <= d; k += 2) {
    unsigned shape = 0;
    const TSegmentColumn s = MakeColumn(table, width, k, seg, shape, 0);
    const TSegmentColumn t = MakeColumn(table, width, k + 1, seg, shape, 2);
    AddSegmentsDispatch<0, true>(shape, s, t, band, nb, down, up);
  }
  if (k <= d) {
    unsigned shape = 0;
    const TSegmentColumn s = MakeColumn(table, width, k, seg, shape, 0);
    AddSegmentsDispatch<0, false>(shape, s, s, band, nb, down, up);
  }
}

// The kernels are compiled twice: for the popcount instruction, chosen at
// run time when the processor has it, and portably.
struct TKernels {
  TPrefixTable::TFillFn Fill;
  void (*Accumulate)(const TPrefixTable&, int, int, int, int, int, int, std::int32_t*, std::int32_t*);
};

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define VELTRAX_POPCNT_DISPATCH 1
__attribute__((target("popcnt"))) void FillRowsHw(const TDibGraphic& image, TPrefixEntry* entries, int first,
                                                  int last) {
  FillRowsImpl(image, entries, first, last);
}
__attribute__((target("popcnt"))) void AccumulateProfilesHw(const TPrefixTable& table, int width, int kFirst, int kLast,
                                                            int seg, int band, int nb, std::int32_t* down,
                                                            std::int32_t* up) {
  AccumulateProfilesImpl(table, width, kFirst, kLast, seg, band, nb, down, up);
}
#endif

void FillRowsPortable(const TDibGraphic& image, TPrefixEntry* entries, int first, int last) {
  FillRowsImpl(image, entries, first, last);
}
void AccumulateProfilesPortable(const TPrefixTable& table, int width, int kFirst, int kLast, int seg, int band, int nb,
                                std::int32_t* down, std::int32_t* up) {
  AccumulateProfilesImpl(table, width, kFirst, kLast, seg, band, nb, down, up);
}

TKernels ChooseKernels() {
#ifdef VELTRAX_POPCNT_DISPATCH
  __builtin_cpu_init();
  if (__builtin_cpu_supports("popcnt")) return {FillRowsHw, AccumulateProfilesHw};
#endif
  return {FillRowsPortable, AccumulateProfilesPortable};
}

// Sum of squared deviations from the integer mean of the first nb entries;
// with invert, each entry counts as width minus the entry (ink instead of
// paper).
std::int64_t ProfileScore(const std::int32_t* profile, int nb, bool invert, int width) {
  if (nb <= 0) return 0;
  auto entry = [&](int i) -> std::int64_t { return invert ? width - profile[i] : profile[i]; };
  std::int64_t sum = 0;
  for (int i = 0; i < nb; ++i) sum += entry(i);
  const std::int64_t mean = sum / nb;
  std::int64_t score = 0;
  for (int i = 0; i < nb; ++i) {
    const std::int64_t dev = entry(i) - mean;
    score += dev * dev;
  }
  return score;
}

int ResolveThreads(int threadCount) {
  if (threadCount > 0) return threadCount;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min(cores, 64u));
}

}  // namespace

TSkewSearchPlan TDeskewTransform::Plan(int width, int yDotsPerInch) const {
  TSkewSearchPlan plan;
  const double maxAngle = MaxAngle;
  if (!std::isfinite(maxAngle)) {
    plan.MaxShift = -1;  // nothing to search
  } else {
    const double a = std::numbers::pi * maxAngle / 180.0;
    plan.MaxShift = ClampToInt(RoundHalfEven(width * std::sin(a)));
    // A maximum below 0.05 degrees would give a divisor of 0: every drift
    // up to the limit is then a step of its own.
    const int divisor = ClampToInt(RoundHalfEven(maxAngle * 10.0));
    plan.Step = divisor != 0 ? plan.MaxShift / divisor : 0;
  }
  if (plan.Step < 1) plan.Step = 1;
  const double dpi = static_cast<std::uint16_t>(yDotsPerInch);
  plan.Band = std::max(2, ClampToInt(RoundHalfEven(dpi / 2.54 / 20.0)));
  return plan;
}

std::vector<TSkewCandidateScore> TDeskewTransform::ScoreCandidates(const TDibGraphic& bilevel) const {
  std::vector<TSkewCandidateScore> scores;
  if (bilevel.Empty() || bilevel.ImageFormat() != ifBlackWhite) return scores;
  const int width = bilevel.Width();
  const int height = bilevel.Height();
  const TSkewSearchPlan plan = Plan(width, bilevel.YDotsPerInch());
  for (std::int64_t d = 0; d <= plan.MaxShift; d += plan.Step) scores.push_back({static_cast<int>(d), 0, 0});
  if (scores.empty()) return scores;

  const TPalette& palette = bilevel.Palette();
  const bool invert = !palette.empty() && palette[0].Red == 0 && palette[0].Green == 0 && palette[0].Blue == 0;
  static const TKernels kernels = ChooseKernels();
  const int band = plan.Band;
  const int maxEntries = std::max(0, height / band);
  // Drifts with the same segment width follow the same paths, a larger
  // drift only going on for more segments (over fewer path starts): such a
  // group is scored by extending one pair of profiles from drift to drift.
  // The groups are contiguous; costs grow with the drift, so the groups of
  // the largest drifts are handed out first.
  const int count = static_cast<int>(scores.size());
  auto segmentWidth = [&](int n) {
    const std::int64_t d = scores[static_cast<std::size_t>(n)].Shift;
    return static_cast<int>(width / (d + 1));
  };
  std::vector<int> groupEnds;  // one past the last candidate of each group, last group first
  for (int end = count; end > 0;) {
    groupEnds.push_back(end);
    int first = end - 1;
    while (first > 0 && segmentWidth(first - 1) == segmentWidth(end - 1)) --first;
    end = first;
  }
  const int groups = static_cast<int>(groupEnds.size());
  const int threads = std::min(ResolveThreads(ThreadCount), groups);
  const TPrefixTable table(bilevel, threads, kernels.Fill);

  std::atomic<int> next{0};
  auto worker = [&](std::int32_t* down, std::int32_t* up) {
    for (int g = next.fetch_add(1, std::memory_order_relaxed); g < groups;
         g = next.fetch_add(1, std::memory_order_relaxed)) {
      const int end = groupEnds[static_cast<std::size_t>(g)];
      const int first = g + 1 < groups ? groupEnds[static_cast<std::size_t>(g + 1)] : 0;
      const int seg = segmentWidth(first);
      int done = -1;  // segments 0 .. done are in the profiles
      for (int n = first; n < end; ++n) {
        TSkewCandidateScore& candidate = scores[static_cast<std::size_t>(n)];
        const int d = candidate.Shift;
        // Paths need d + 1 rows from their start: entries = (height - d) div band.
        const int nb = height > d ? (height - d) / band : 0;
        if (nb <= 0) break;  // and so for every larger drift
        if (done < 0) {
          std::fill(down, down + nb, 0);
          std::fill(up, up + nb, 0);
        }
        kernels.Accumulate(table, width, done + 1, d, seg, band, nb, down, up);
        done = d;
        candidate.ScoreDown = ProfileScore(down, nb, invert, width);
        candidate.ScoreUp = ProfileScore(up, nb, invert, width);
      }
    }
  };
  // Profile buffers are made here so that no thread allocates.
  std::vector<std::int32_t> buffers(static_cast<std::size_t>(threads) * 2 *
                                    static_cast<std::size_t>(std::max(1, maxEntries)));
  const std::size_t span = static_cast<std::size_t>(std::max(1, maxEntries));
  {
    std::vector<std::jthread> pool;
    pool.reserve(static_cast<std::size_t>(threads - 1));
    for (int t = 1; t < threads; ++t) {
      std::int32_t* base = buffers.data() + static_cast<std::size_t>(t) * 2 * span;
      try {
        pool.emplace_back([&worker, base, span] { worker(base, base + span); });
      } catch (const std::system_error&) {
        break;  // fewer threads: the others take the remaining groups
      }
    }
    worker(buffers.data(), buffers.data() + span);
  }
  return scores;
}

int TDeskewTransform::BestShift(const std::vector<TSkewCandidateScore>& scores) {
  std::int64_t best = 0;
  int bestShift = 0;
  for (const TSkewCandidateScore& c : scores) {
    if (c.ScoreDown > best) {
      best = c.ScoreDown;
      bestShift = -c.Shift;
    }
    if (c.ScoreUp > best) {
      best = c.ScoreUp;
      bestShift = c.Shift;
    }
  }
  return bestShift;
}

double TDeskewTransform::ShiftToAngle(int shift, int width) {
  if (shift == 0 || width <= 0) return 0.0;
  const double t = static_cast<double>(shift) / width;
  return std::atan(t / std::sqrt(1.0 - t * t)) * 180.0 / std::numbers::pi;
}

double TDeskewTransform::FindSkewAngle(const TDibGraphic& bilevel) const {
  if (bilevel.Empty() || bilevel.ImageFormat() != ifBlackWhite) return 0.0;
  return ShiftToAngle(BestShift(ScoreCandidates(bilevel)), bilevel.Width());
}

double TDeskewTransform::Confidence(const std::vector<TSkewCandidateScore>& scores) {
  std::int64_t best = 0;
  std::int64_t lowest = 0;
  for (const TSkewCandidateScore& c : scores)
    for (const std::int64_t v : {c.ScoreDown, c.ScoreUp}) {
      best = std::max(best, v);
      // Candidates without profile entries score 0 and take no part.
      if (v > 0 && (lowest == 0 || v < lowest)) lowest = v;
    }
  return best > 0 ? static_cast<double>(best) / static_cast<double>(lowest) : 0.0;
}

TSkewMeasure TDeskewTransform::Measure(const TDibGraphic& bilevel) const {
  TSkewMeasure m;
  if (bilevel.Empty() || bilevel.ImageFormat() != ifBlackWhite) return m;
  const std::vector<TSkewCandidateScore> scores = ScoreCandidates(bilevel);
  const int width = bilevel.Width();
  m.Angle = ShiftToAngle(BestShift(scores), width);
  m.Confidence = Confidence(scores);
  if (Fine && m.Confidence > 0) {
    const TSkewSearchPlan plan = Plan(width, bilevel.YDotsPerInch());
    // One and a half steps either side; beyond the winner, also the
    // shortfall of a large drift, which shares its segment width (and so
    // its paths) with larger ones and is reported as the smallest of them
    // (up to W / (seg (seg + 1)) rows short).
    const int shift = BestShift(scores);
    const int seg = std::max(1, width / (std::abs(shift) + 1));
    const int shortfall = width / (seg * (seg + 1)) + 1;
    const double step = std::max(1.5 * ShiftToAngle(std::min(plan.Step, width), width), FineStep);
    const double beyond = shift != 0 ? ShiftToAngle(std::min(shortfall, width), width) : 0.0;
    if (std::isfinite(step) && std::isfinite(beyond))
      m.Angle = RefineAngle(bilevel, m.Angle, shift < 0 ? step + beyond : step, shift > 0 ? step + beyond : step);
  }
  return m;
}

// The fine search. The page is cut into strips kStrip columns wide, and each
// strip's set pixels are counted on every row. A path of slope t through
// the page then runs along each strip at the row offset the slope gives at
// the strip's centre, so its profile entry is a sum of one strip count per
// strip: every candidate slope costs (strips x rows) additions over arrays
// read in order, whatever the angle. A path covers every column exactly
// once, so counting paper instead of ink changes no score. The score here
// is the sum of squared differences between neighbouring profile entries:
// at full resolution it peaks more sharply than the spread about the mean,
// and a dark scanner border, which adds about the same to every entry,
// does not pull it.
namespace {
constexpr int kStrip = 64;  // columns of a strip of the fine search (a multiple of 32)
}  // namespace

double TDeskewTransform::RefineAngle(const TDibGraphic& bilevel, double coarseAngle, double below, double above) {
  if (bilevel.Empty() || bilevel.ImageFormat() != ifBlackWhite || !(below >= 0) || !(above >= 0) ||
      !std::isfinite(coarseAngle) || !std::isfinite(below + above))
    return coarseAngle;
  const int width = bilevel.Width();
  const int height = bilevel.Height();
  // Candidates are coarseAngle + i FineStep for i = first .. last. A peak
  // on the edge of that window moves the window on, up to MaxFollow
  // degrees beyond it (the search's winner can be further off than its
  // steps on pages whose borders or pictures pull its score).
  int first = -static_cast<int>(std::ceil(below / FineStep - 1e-9));
  int last = static_cast<int>(std::ceil(above / FineStep - 1e-9));
  const int follow = static_cast<int>(std::ceil(MaxFollow / FineStep));
  const int lowest = first - follow;
  const int highest = last + follow;
  auto slopeOf = [&](int i) { return std::tan((coarseAngle + i * FineStep) * std::numbers::pi / 180.0); };
  const double largest = std::max(std::abs(slopeOf(lowest)), std::abs(slopeOf(highest)));
  if (!(largest < 1.0)) return coarseAngle;
  const int reach =
      static_cast<int>(std::ceil(largest * (width / 2.0 + kStrip))) + 1;  // rows a path can leave its start
  const int entries = height - 2 * reach;
  if (entries < 2) return coarseAngle;

  const int strips = (width + kStrip - 1) / kStrip;
  const std::size_t rows = static_cast<std::size_t>(height);
  std::vector<std::uint16_t> counts(static_cast<std::size_t>(strips) * rows);
  const int wholeBytes = width / 8;
  // The last byte's pixels inside the width (none when the width is a
  // multiple of 8).
  const auto lastMask = static_cast<std::uint8_t>(0xFF00u >> (width % 8));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = bilevel.ScanLine(y);
    std::uint16_t* out = counts.data() + static_cast<std::size_t>(y);
    int b = 0;
    for (int j = 0; j < strips; ++j, out += rows) {
      const int end = std::min(wholeBytes, b + kStrip / 8);
      int n = 0;
      for (; b + 4 <= end; b += 4) {
        std::uint32_t word;
        std::memcpy(&word, row + b, 4);
        n += std::popcount(word);
      }
      for (; b < end; ++b) n += std::popcount(static_cast<unsigned>(row[b]));
      if (end == wholeBytes && lastMask != 0 && j == strips - 1)
        n += std::popcount(static_cast<unsigned>(row[b] & lastMask));
      *out = static_cast<std::uint16_t>(n);
    }
  }

  std::vector<std::int32_t> profile(static_cast<std::size_t>(entries));
  auto scoreOf = [&](int i) {
    const double slope = slopeOf(i);
    std::fill(profile.begin(), profile.end(), 0);
    for (int j = 0; j < strips; ++j) {
      const double centre = j * kStrip + std::min(kStrip, width - j * kStrip) / 2.0 - width / 2.0;
      const int offset = static_cast<int>(std::lround(-slope * centre));
      const std::uint16_t* __restrict column = counts.data() + static_cast<std::size_t>(j) * rows + (reach + offset);
      std::int32_t* __restrict p = profile.data();
      for (int r = 0; r < entries; ++r) p[r] += column[r];
    }
    // Sum of squared differences of neighbouring entries: a path along the
    // lines gives steep steps between text rows and the gaps between them.
    std::int64_t score = 0;
    for (int r = 1; r < entries; ++r) {
      const std::int64_t step = profile[static_cast<std::size_t>(r)] - profile[static_cast<std::size_t>(r - 1)];
      score += step * step;
    }
    return score;
  };
  // scores[i - lowest] for the candidates scored so far.
  std::vector<std::int64_t> scores(static_cast<std::size_t>(highest - lowest + 1), -1);
  auto at = [&](int i) -> std::int64_t& { return scores[static_cast<std::size_t>(i - lowest)]; };
  for (int i = first; i <= last; ++i) at(i) = scoreOf(i);
  int best = first;
  for (;;) {
    for (int i = first; i <= last; ++i)
      if (at(i) > at(best)) best = i;
    // The window moves on by a few steps while the peak sits on its edge.
    if (best == first && first > lowest) {
      const int to = std::max(lowest, first - 5);
      for (int i = to; i < first; ++i) at(i) = scoreOf(i);
      first = to;
      best = first;  // looked for again over the wider window
      continue;
    }
    if (best == last && last < highest) {
      const int to = std::min(highest, last + 5);
      for (int i = last + 1; i <= to; ++i) at(i) = scoreOf(i);
      last = to;
      best = first;
      continue;
    }
    break;
  }
  double offset = 0.0;
  if (best > first && best < last) {
    const double left = static_cast<double>(at(best - 1));
    const double mid = static_cast<double>(at(best));
    const double right = static_cast<double>(at(best + 1));
    const double curve = left - 2 * mid + right;
    if (curve < 0) offset = std::clamp(0.5 * (left - right) / curve, -0.5, 0.5);
  }
  return coarseAngle + (best + offset) * FineStep;
}

// ---------------------------------------------------------------------------
// Measuring pages and parts of pages, and the deskew command.

namespace {

// part <- the pixels of rect r of the page (r inside the page), with the
// page's format, palette and resolution.
void CopyPart(const TDibGraphic& page, const TRect& r, TDibGraphic& part) {
  part.NewImage(r.Width(), r.Height(), page.ImageFormat(), &page.Palette(), page.XDotsPerInch(), page.YDotsPerInch());
  part.SetXPelsPerMeter(page.XPelsPerMeter());
  part.SetYPelsPerMeter(page.YPelsPerMeter());
  rows::CopyRect(part, 0, 0, page, r);
}

// Copies source (whole) onto dest with its top-left at (x, y), clipped to
// dest; both images have the same pixel format.
void PasteImage(TDibGraphic& dest, const TDibGraphic& source, int x, int y) {
  rows::CopyRect(dest, x, y, source, Rect(0, 0, source.Width(), source.Height()));
}

TRect PageRect(const TDibGraphic& page) { return Rect(0, 0, page.Width(), page.Height()); }

}  // namespace

TSkewMeasure MeasureSkew(const TDibGraphic& page, TDibGraphic* scratch, const TDeskewOptions& options) {
  if (page.Empty() || scratch == nullptr) return {};
  TBusyCursor busy;
  if (scratch != &page) scratch->Assign(page);
  if (scratch->ImageFormat() != ifBlackWhite) {
    // A plain nearest-colour mapping to black or white.
    TImageFormatTransform toBilevel;
    toBilevel.Format = ifBlackWhite;
    toBilevel.OptimalPalette = false;
    toBilevel.Dither = false;
    toBilevel.Apply(*scratch);
  }
  TDeskewTransform search;
  search.ThreadCount = options.ThreadCount;
  search.Fine = options.Fine;
  return search.Measure(*scratch);
}

float DetectSkewAngle(const TDibGraphic& page, TDibGraphic* scratch, int threadCount) {
  TDeskewOptions options;
  options.ThreadCount = threadCount;
  return static_cast<float>(MeasureSkew(page, scratch, options).Angle);
}

namespace {

TSkewMeasure MeasureRegionSkew(TDibGraphic& work, TDibGraphic* scratch, bool turn, const TDeskewOptions& options) {
  if (work.Empty()) return {};
  if (turn) {
    TNBRotateTransform quarter;
    quarter.Angle = 90.0;
    quarter.Apply(work);
  }
  if (work.Height() < 100) {
    // Too few rows for a profile: measure it on a larger white page.
    TDibGraphic local;
    TDibGraphic& copy = scratch != nullptr && scratch != &work ? *scratch : local;
    copy.Assign(work);
    work.NewImage(copy.Width() + 150, copy.Height() + 150, copy.ImageFormat(), &copy.Palette(), copy.XDotsPerInch(),
                  copy.YDotsPerInch());
    work.SetXPelsPerMeter(copy.XPelsPerMeter());
    work.SetYPelsPerMeter(copy.YPelsPerMeter());
    rows::FillWhite(work, PageRect(work));
    PasteImage(work, copy, 0, 0);
  }
  return MeasureSkew(work, scratch, options);
}

}  // namespace

float DetectRegionSkew(TDibGraphic& work, TDibGraphic* scratch, bool turn) {
  return static_cast<float>(MeasureRegionSkew(work, scratch, turn, TDeskewOptions{}).Angle);
}

TDeskewResult DeskewPage(TDibGraphic& page, TDibGraphic& work, TDibGraphic& undo, bool growSize, bool verticalWriting,
                         const TRect* selection, const TDeskewOptions& options) {
  TDeskewResult result;
  if (page.Empty()) return result;
  TSkewMeasure measure;
  bool undoIsCopy = false;
  if (selection == nullptr && !verticalWriting && page.ImageFormat() == ifBlackWhite) {
    // A bilevel page is measured on the undo copy itself, which then
    // serves as the source of the rotation.
    measure = MeasureSkew(page, &undo, options);
    undoIsCopy = true;
  } else if (selection != nullptr) {
    const TRect r = IntersectRect(NormalizeRect(*selection), PageRect(page));
    if (r.IsEmpty())
      work.Clear();
    else
      CopyPart(page, r, work);
    measure = MeasureRegionSkew(work, &undo, work.Height() > work.Width(), options);
  } else if (!verticalWriting) {
    measure = MeasureSkew(page, &work, options);
  } else {
    work.Assign(page);
    measure = MeasureRegionSkew(work, &undo, true, options);
  }
  work.Clear();
  if (!undoIsCopy) undo.Assign(page);
  result.Angle = static_cast<float>(measure.Angle);
  result.Confidence = measure.Confidence;
  if (result.Angle != 0.0f && !(measure.Confidence < options.MinConfidence)) {
    if (page.ImageFormat() != ifBlackWhite)
      RotateImageKeep(page, &undo, !growSize, result.Angle);
    else
      RotateBilevel(undo, page, growSize, result.Angle);
    result.Rotated = true;
  }
  return result;
}

float DeskewPage(TDibGraphic& page, TDibGraphic& work, TDibGraphic& undo, bool growSize, bool verticalWriting,
                 const TRect* selection, int threadCount) {
  TDeskewOptions options;
  options.ThreadCount = threadCount;
  const TDeskewResult result = DeskewPage(page, work, undo, growSize, verticalWriting, selection, options);
  return result.Rotated ? result.Angle : 0.0f;
}

void DeskewRegions(TDibGraphic& page, TDibGraphic& scratch, std::vector<TRect>& regions) {
  if (page.Empty()) return;
  const bool bilevel = page.ImageFormat() == ifBlackWhite;
  TDibGraphic work;
  for (TRect& region : regions) {
    const TRect r = IntersectRect(NormalizeRect(region), PageRect(page));
    if (r.IsEmpty()) continue;
    CopyPart(page, r, work);
    const float angle = DetectRegionSkew(work, &scratch, work.Height() > work.Width());
    // The measurement may have turned the part or put it on a larger page:
    // rotate the part itself.
    if (work.Width() != r.Width() || work.Height() != r.Height()) CopyPart(page, r, work);
    if (angle == 0.0f) continue;
    if (!bilevel) {
      RotateImageKeep(work, &scratch, true, angle);
      PasteImage(page, work, r.Left, r.Top);
    } else {
      RotateBilevel(work, scratch, true, angle);
      region = NormalizeRect(region);
      region.Left = r.Left - (scratch.Width() - r.Width()) / 2;
      region.Top = r.Top - (scratch.Height() - r.Height()) / 2;
      PasteImage(page, scratch, region.Left, region.Top);
    }
  }
  scratch.Clear();
}
