// Small value types shared by the imaging layer: points, rectangles, colours.
//
// Colours are exchanged as 32-bit integers 0x00RRGGBB (blue in bits 0-7,
// green in 8-15, red in 16-23). Rectangles follow the usual raster rule:
// Left/Top inclusive, Right/Bottom exclusive, unless a routine says otherwise.
#pragma once

#include <cstdint>

using TColor32 = std::uint32_t;

constexpr TColor32 RgbColor(int r, int g, int b) {
  return (static_cast<TColor32>(r & 0xFF) << 16) | (static_cast<TColor32>(g & 0xFF) << 8) |
         static_cast<TColor32>(b & 0xFF);
}
constexpr int RedOf(TColor32 c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr int GreenOf(TColor32 c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(TColor32 c) { return static_cast<int>(c & 0xFF); }

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }

// Intersection of two rectangles; empty (all zero) when they do not overlap.
TRect IntersectRect(const TRect& a, const TRect& b);

// Left <= Right and Top <= Bottom.
TRect NormalizeRect(const TRect& r);
