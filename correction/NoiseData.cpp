// Connected groups of dark pixels.
//
// The page is scanned top to bottom once. Each row is turned into runs of
// dark pixels (for 1-bit pages 64 pixels at a time: a run starts or ends
// wherever a pixel differs from its left neighbour, found with
// count-leading-zeros on the transition mask). A run joins every run of the
// previous row that it touches with 8-connectivity (x1 <= prevEnd + 1 and
// x2 >= prevStart - 1); joined runs share one label through a union-find
// forest whose roots carry the bounding box. Every root at the end is exactly
// one 8-connected group, so shapes that fork and merge again ("W", "m", "E",
// spirals) give one box.
#include "correction/NoiseData.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

struct Run {
  int Start;
  int End;  // inclusive
  int Label;
};

class ComponentBuilder {
 public:
  int NewLabel(int x1, int x2, int y) {
    parent_.push_back(static_cast<int>(parent_.size()));
    boxes_.push_back({x1, y, x2, y});
    return parent_.back();
  }

  int Find(int label) {
    while (parent_[label] != label) {
      parent_[label] = parent_[parent_[label]];
      label = parent_[label];
    }
    return label;
  }

  // Joins two groups; returns the surviving root (the older label).
  int Union(int a, int b) {
    a = Find(a);
    b = Find(b);
    if (a == b) return a;
    if (b < a) std::swap(a, b);
    parent_[b] = a;
    TComponentBox& ra = boxes_[a];
    const TComponentBox& rb = boxes_[b];
    ra.Left = std::min(ra.Left, rb.Left);
    ra.Top = std::min(ra.Top, rb.Top);
    ra.Right = std::max(ra.Right, rb.Right);
    ra.Bottom = std::max(ra.Bottom, rb.Bottom);
    return a;
  }

  void Extend(int root, int x1, int x2, int y) {
    TComponentBox& r = boxes_[root];
    r.Left = std::min(r.Left, x1);
    r.Right = std::max(r.Right, x2);
    r.Bottom = std::max(r.Bottom, y);
  }

  // Links the runs of row y (sorted by Start) to those of the previous row.
  void LinkRow(std::vector<Run>& current, const std::vector<Run>& previous, int y) {
    std::size_t j = 0;
    for (Run& run : current) {
      while (j < previous.size() && previous[j].End < run.Start - 1) ++j;
      int root = -1;
      for (std::size_t k = j; k < previous.size() && previous[k].Start <= run.End + 1; ++k)
        root = root < 0 ? Find(previous[k].Label) : Union(root, previous[k].Label);
      if (root < 0) {
        run.Label = NewLabel(run.Start, run.End, y);
      } else {
        run.Label = root;
        Extend(root, run.Start, run.End, y);
      }
    }
  }

  std::vector<TComponentBox> Roots() {
    std::vector<int> roots;
    for (int i = 0; i < static_cast<int>(parent_.size()); ++i)
      if (parent_[i] == i) roots.push_back(i);
    // The order in which a row-by-row scan finishes its groups: by last row;
    // groups ending on the same row from the newest to the oldest (a root
    // is its group's oldest label, so labels order groups by creation).
    std::sort(roots.begin(), roots.end(), [this](int a, int b) {
      return boxes_[a].Bottom != boxes_[b].Bottom ? boxes_[a].Bottom < boxes_[b].Bottom : a > b;
    });
    std::vector<TComponentBox> result;
    result.reserve(roots.size());
    for (int root : roots) result.push_back(boxes_[root]);
    return result;
  }

 private:
  std::vector<int> parent_;
  std::vector<TComponentBox> boxes_;
};

// Loads 8 row bytes as one word with the leftmost pixel in the top bit.
inline std::uint64_t LoadBigEndian(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}

// Runs of black (bit 0) pixels of a 1-bit row.
void BilevelRuns(const std::uint8_t* row, int width, std::vector<std::uint8_t>& scratch, std::vector<Run>& runs) {
  runs.clear();
  const int wordCount = (width + 63) / 64;
  const std::size_t bytes = static_cast<std::size_t>(wordCount) * 8;
  const std::size_t rowBytes = static_cast<std::size_t>((width + 7) / 8);
  scratch.resize(bytes);
  std::memcpy(scratch.data(), row, rowBytes);
  std::memset(scratch.data() + rowBytes, 0xFF, bytes - rowBytes);  // white beyond the row
  std::uint64_t previousBit = 0;                                   // ink state of the pixel left of the word
  int start = -1;
  for (int i = 0; i < wordCount; ++i) {
    std::uint64_t ink = ~LoadBigEndian(scratch.data() + static_cast<std::size_t>(i) * 8);
    const int base = i * 64;
    if (base + 64 > width) ink &= ~std::uint64_t{0} << (base + 64 - width);  // padding is white
    std::uint64_t transitions = ink ^ ((ink >> 1) | (previousBit << 63));
    previousBit = ink & 1;
    while (transitions) {
      const int bit = std::countl_zero(transitions);
      transitions &= ~(std::uint64_t{1} << (63 - bit));
      const int x = base + bit;
      if (start < 0) {
        start = x;
      } else {
        runs.push_back({start, x - 1, -1});
        start = -1;
      }
    }
  }
  if (start >= 0) runs.push_back({start, width - 1, -1});  // closed by the page edge
}

// Runs of dark pixels of a true-colour row; light pixels become white.
void TrueColorRuns(std::uint8_t* row, int width, int threshold, std::vector<Run>& runs) {
  runs.clear();
  int start = -1;
  for (int x = 0; x < width; ++x) {
    std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
    const bool dark = GreyOf(p[2], p[1], p[0]) < threshold;
    if (dark) {
      if (start < 0) start = x;
    } else {
      p[0] = p[1] = p[2] = 255;
      if (start >= 0) {
        runs.push_back({start, x - 1, -1});
        start = -1;
      }
    }
  }
  if (start >= 0) runs.push_back({start, width - 1, -1});
}

}  // namespace

int GreyOf(int r, int g, int b) { return static_cast<int>(std::nearbyint(0.299 * r + 0.587 * g + 0.114 * b)); }

void TNoiseData::FindComponents() {
  finished_.clear();
  const TImageFormat format = image_.ImageFormat();
  if (image_.Empty() || (format != ifBlackWhite && format != ifTrueColor)) return;
  ComponentBuilder builder;
  std::vector<Run> previous, current;
  std::vector<std::uint8_t> scratch;
  const int width = image_.Width();
  for (int y = 0; y < image_.Height(); ++y) {
    if (format == ifBlackWhite)
      BilevelRuns(image_.ScanLine(y), width, scratch, current);
    else
      TrueColorRuns(image_.ScanLine(y), width, threshold_, current);
    builder.LinkRow(current, previous, y);
    std::swap(previous, current);
  }
  finished_ = builder.Roots();
}

TRect TNoiseData::LargestComponent() const {
  const TComponentBox* best = nullptr;
  int bestSize = -1;
  for (const TComponentBox& b : finished_) {
    const int size = (b.Bottom - b.Top) + (b.Right - b.Left);
    if (size > bestSize) {
      bestSize = size;
      best = &b;
    }
  }
  if (!best) return TRect{};
  return TRect{best->Left, best->Top, best->Right, best->Bottom};
}

int PixelsToMm(const TDibGraphic& image, int pixels) {
  const int ppm = image.XPelsPerMeter();
  if (ppm <= 0) return 0;
  return static_cast<int>(static_cast<double>(pixels) * 1000.0 / ppm + 0.5);
}

TPoint MmToPixels(const TDibGraphic& image, TPoint mm) {
  return TPoint{static_cast<int>(mm.X * static_cast<double>(image.XPelsPerMeter()) / 1000.0 + 0.5),
                static_cast<int>(mm.Y * static_cast<double>(image.YPelsPerMeter()) / 1000.0 + 0.5)};
}

void MarginsToRect(const TDibGraphic& image, int topMm, int bottomMm, TRect& out, int rightMm, int leftMm) {
  const TPoint leftTop = MmToPixels(image, TPoint{leftMm, topMm});
  const TPoint rightBottom = MmToPixels(image, TPoint{rightMm, bottomMm});
  out = TRect{leftTop.X, leftTop.Y, image.Width() - rightBottom.X, image.Height() - rightBottom.Y};
}
