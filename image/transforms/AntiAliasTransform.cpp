#include "image/transforms/AntiAliasTransform.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

#include "image/transforms/BitRows.h"

namespace {

#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
#define VELTRAX_POPCOUNT_CLONES __attribute__((target_clones("popcnt", "default")))
#else
#define VELTRAX_POPCOUNT_CLONES
#endif

// Ink (bit 0) of one source row before each of the given column positions
// (ascending, at most the row width): inkBefore[k] = ink pixels in columns
// [0, positions[k]). words holds the row as 64-bit words, zeros is scratch
// for the running count before each word.
VELTRAX_POPCOUNT_CLONES
void CountRow(const std::uint64_t* words, int wordCount, std::uint32_t* zeros, const int* positions, int count,
              std::uint32_t* inkBefore) {
  std::uint32_t running = 0;
  for (int k = 0; k < wordCount; ++k) {
    zeros[k] = running;
    running += static_cast<std::uint32_t>(std::popcount(~words[k]));
  }
  zeros[wordCount] = running;
  for (int k = 0; k < count; ++k) {
    const int p = positions[k];
    const int w = p >> 6, r = p & 63;
    const std::uint32_t partial = r ? static_cast<std::uint32_t>(std::popcount(~words[w] & bitrows::TopMask(r))) : 0u;
    inkBefore[k] = zeros[w] + partial;
  }
}

// Round(i * size / count), halves to even, exactly.
int BoxEdge(std::int64_t i, std::int64_t size, std::int64_t count) {
  return static_cast<int>(std::nearbyint(static_cast<double>(i * size) / static_cast<double>(count)));
}

}  // namespace

void TAntiAliasTransform::Apply(TDibGraphic& image) {
  if (image.Empty() || image.ImageFormat() != ifBlackWhite) return;
  TImageTransform::Apply(image);
}

void TAntiAliasTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
  if (source.ImageFormat() != ifBlackWhite) return;
  if (!BeginApplyOnDest(source, destination)) return;
  const int sw = source.Width(), sh = source.Height();
  const int dw = Width ? Width : sw;
  const int dh = Height ? Height : sh;
  destination.NewImage(dw, dh, ifGray256, nullptr, 0, 0);
  destination.SetXPelsPerMeter(source.XPelsPerMeter());
  destination.SetYPelsPerMeter(source.YPelsPerMeter());

  // Column boxes [starts[i], ends[i]). Their edges are counted once per
  // source row: boxes of a reduction share them.
  std::vector<int> starts(static_cast<std::size_t>(dw)), ends(static_cast<std::size_t>(dw));
  for (int i = 0; i < dw; ++i) {
    const int first = std::min(BoxEdge(i, sw, dw), sw - 1);
    const int next = i + 1 < dw ? BoxEdge(i + 1, sw, dw) : sw;
    starts[static_cast<std::size_t>(i)] = first;
    ends[static_cast<std::size_t>(i)] = std::clamp(next, first + 1, sw);
  }
  std::vector<int> positions(starts);
  positions.insert(positions.end(), ends.begin(), ends.end());
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  std::vector<int> startAt(static_cast<std::size_t>(dw)), endAt(static_cast<std::size_t>(dw));
  for (int i = 0; i < dw; ++i) {
    const auto index = [&](int p) {
      return static_cast<int>(std::lower_bound(positions.begin(), positions.end(), p) - positions.begin());
    };
    startAt[static_cast<std::size_t>(i)] = index(starts[static_cast<std::size_t>(i)]);
    endAt[static_cast<std::size_t>(i)] = index(ends[static_cast<std::size_t>(i)]);
  }
  std::vector<std::uint32_t> inkBefore(positions.size());
  auto rowEdge = [&](int j) { return j < dh ? std::min(BoxEdge(j, sh, dh), sh - 1) : sh - 1; };

  const int wordCount = (sw + 63) / 64;
  const int stride = source.BytesPerScanLine();
  std::vector<std::uint64_t> words(static_cast<std::size_t>(wordCount) + 1, 0);
  std::vector<std::uint32_t> zeros(static_cast<std::size_t>(wordCount) + 1);
  std::vector<std::uint64_t> black(static_cast<std::size_t>(dw));
  for (int j = 0; j < dh; ++j) {
    const int r0 = rowEdge(j);
    const int r1 = std::max(rowEdge(j + 1), r0);
    std::fill(black.begin(), black.end(), 0);
    for (int r = r0; r <= r1; ++r) {
      const std::uint8_t* row = source.ScanLine(r);
      for (int k = 0; k < wordCount; ++k) words[static_cast<std::size_t>(k)] = bitrows::LoadWord(row, 8 * k, stride);
      CountRow(words.data(), wordCount, zeros.data(), positions.data(), static_cast<int>(positions.size()),
               inkBefore.data());
      for (int i = 0; i < dw; ++i)
        black[static_cast<std::size_t>(i)] += inkBefore[static_cast<std::size_t>(endAt[static_cast<std::size_t>(i)])] -
                                              inkBefore[static_cast<std::size_t>(startAt[static_cast<std::size_t>(i)])];
    }
    std::uint8_t* d = destination.ScanLine(j);
    const auto rows = static_cast<std::uint64_t>(r1 - r0 + 1);
    for (int i = 0; i < dw; ++i) {
      const std::uint64_t total =
          rows * static_cast<std::uint64_t>(ends[static_cast<std::size_t>(i)] - starts[static_cast<std::size_t>(i)]);
      const std::uint64_t ink = black[static_cast<std::size_t>(i)];
      const std::uint64_t white = total - ink;
      std::uint8_t v;
      if (ink == 0)
        v = 255;
      else if (ink == total)
        v = 0;
      else if (white < total / 8)
        v = 0;
      else if (ink < total / 8)
        v = 255;
      else
        v = static_cast<std::uint8_t>(white * 255 / total);
      d[i] = v;
    }
    Progress(j, 0, dh);
  }
  Progress(100, 0, 100);
}
