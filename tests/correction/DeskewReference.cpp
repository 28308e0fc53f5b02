#include "DeskewReference.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

namespace {

double RoundEven(double v) {
  const double f = std::floor(v);
  if (v - f > 0.5) return f + 1;
  if (v - f < 0.5) return f;
  return std::fmod(f, 2.0) == 0.0 ? f : f + 1;
}

int Bit(const TDibGraphic& img, int x, int y) { return (img.ScanLine(y)[x / 8] >> (7 - x % 8)) & 1; }

void ClearBit(TDibGraphic& img, int x, int y) {
  img.ScanLine(y)[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
}

std::int64_t Score(std::vector<std::int64_t>& p, bool invert, int width) {
  const auto nb = static_cast<std::int64_t>(p.size());
  if (nb == 0) return 0;
  std::int64_t sum = 0;
  for (auto& e : p) {
    if (invert) e = width - e;
    sum += e;
  }
  const std::int64_t mean = sum / nb;
  std::int64_t score = 0;
  for (auto e : p) score += (e - mean) * (e - mean);
  return score;
}

}  // namespace

std::vector<TSkewCandidateScore> ReferenceScores(const TDibGraphic& img, double maxAngle) {
  std::vector<TSkewCandidateScore> out;
  const int w = img.Width(), h = img.Height();
  const double a = std::numbers::pi * maxAngle / 180.0;
  const int s = static_cast<int>(RoundEven(w * std::sin(a)));
  int step = s / static_cast<int>(RoundEven(maxAngle * 10));
  if (step == 0) step = 1;
  const int band = std::max(2, static_cast<int>(RoundEven(static_cast<std::uint16_t>(img.YDotsPerInch()) / 2.54 / 20)));
  const TPaletteEntry p0 = img.Palette()[0];
  const bool invert = p0.Red == 0 && p0.Green == 0 && p0.Blue == 0;
  for (int d = 0; d <= s; d += step) {
    const int seg = w / (d + 1);
    const int nb = std::max(0, (h - d) / band);
    std::vector<std::int64_t> p1(nb), p2(nb);
    for (int i = 0; i < nb; ++i) {
      const int r0 = i * band;
      for (int k = 0; k <= d; ++k) {
        for (int x = k * seg; x <= k * seg + seg - 1; ++x) p1[i] += Bit(img, x, r0 + k);
        for (int x = w - k * seg - seg; x <= w - k * seg - 1; ++x) p2[i] += Bit(img, x, r0 + k);
      }
    }
    out.push_back({d, Score(p1, invert, w), Score(p2, invert, w)});
  }
  return out;
}

double ReferenceSkewAngle(const TDibGraphic& img, double maxAngle) {
  double best = 0.0;
  int bestShift = 0;
  for (const auto& c : ReferenceScores(img, maxAngle)) {
    if (static_cast<double>(c.ScoreDown) > best) {
      best = static_cast<double>(c.ScoreDown);
      bestShift = -c.Shift;
    }
    if (static_cast<double>(c.ScoreUp) > best) {
      best = static_cast<double>(c.ScoreUp);
      bestShift = c.Shift;
    }
  }
  const double t = static_cast<double>(bestShift) / img.Width();
  return std::atan(t / std::sqrt(1 - t * t)) * 180 / std::numbers::pi;
}

void MakeSkewedTextPage(TDibGraphic& page, int width, int height, double drift, int dpi, unsigned seed) {
  page.NewImage(width, height, ifBlackWhite, nullptr, dpi, dpi);
  std::memset(page.Bits(), 0xFF, page.ImageSize());
  std::mt19937 rng(seed);
  const int lineHeight = std::max(2, dpi / 100);  // thin strokes keep the optimum sharp
  const int pitch = std::max(lineHeight + 3, dpi / 6);
  const int margin = width / 12;
  for (int top = pitch; top + lineHeight + static_cast<int>(std::abs(drift)) < height - pitch; top += pitch) {
    int x = margin;
    while (x < width - margin) {
      const int word = std::uniform_int_distribution<int>(dpi / 10, dpi / 2)(rng);
      for (int c = x; c < std::min(x + word, width - margin); ++c) {
        if (c % 11 == 0) continue;  // gaps between letters
        const int off = static_cast<int>(std::lround(drift * c / width));
        for (int r = 0; r < lineHeight; ++r) {
          const int y = top + off + r;
          if (y >= 0 && y < height) ClearBit(page, c, y);
        }
      }
      x += word + std::uniform_int_distribution<int>(dpi / 20, dpi / 8)(rng);
    }
  }
}

void MakeNoisePage(TDibGraphic& page, int width, int height, int blackPercent, int dpi, unsigned seed) {
  page.NewImage(width, height, ifBlackWhite, nullptr, dpi, dpi);
  std::mt19937 rng(seed);
  // Fill every byte, padding included, then set the pixels.
  for (std::size_t i = 0; i < page.ImageSize(); ++i) page.Bits()[i] = static_cast<std::uint8_t>(rng());
  std::uniform_int_distribution<int> pct(0, 99);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool black = pct(rng) < blackPercent;
      std::uint8_t& b = page.ScanLine(y)[x / 8];
      const auto m = static_cast<std::uint8_t>(0x80 >> (x % 8));
      b = black ? static_cast<std::uint8_t>(b & ~m) : static_cast<std::uint8_t>(b | m);
    }
}
