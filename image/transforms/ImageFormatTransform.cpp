#include "image/transforms/ImageFormatTransform.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/transforms/PixelRows.h"

namespace {

// Nearest entry of the destination's palette for any colour: a table on
// r + g + b for grey palettes, the image's cached converter otherwise.
class TNearest {
 public:
  explicit TNearest(TDibGraphic& target) : target_(target), grey_(pixelrows::IsGreyPalette(target.Palette())) {
    if (grey_) table_ = pixelrows::GreyNearestTable(target.Palette());
  }
  bool Grey() const { return grey_; }
  std::uint8_t operator()(int r, int g, int b) {
    if (grey_) return table_[static_cast<std::size_t>(r + g + b)];
    return Colour(r, g, b);
  }

 private:
#if defined(__GNUC__)
  __attribute__((noinline))
#endif
  std::uint8_t
  Colour(int r, int g, int b) {
    return static_cast<std::uint8_t>(target_.NearestPaletteIndex(RgbColor(r, g, b)));
  }
  TDibGraphic& target_;
  bool grey_;
  std::vector<std::uint8_t> table_;
};

void ToTrueColor(const TDibGraphic& src, TDibGraphic& dst, const std::function<void(int)>& progress) {
  const int w = src.Width();
  if (src.ImageFormat() == ifTrueColor) {
    for (int y = 0; y < src.Height(); ++y) {
      std::memcpy(dst.ScanLine(y), src.ScanLine(y), static_cast<std::size_t>(w) * 3);
      progress(y);
    }
    return;
  }
  const pixelrows::TPaletteColours colours(src.Palette());
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(w));
  for (int y = 0; y < src.Height(); ++y) {
    pixelrows::ReadIndexRow(src, y, indices.data());
    std::uint8_t* d = dst.ScanLine(y);
    for (int x = 0; x < w; ++x, d += 3) {
      const std::uint8_t i = indices[static_cast<std::size_t>(x)];
      d[0] = colours.Blue[i];
      d[1] = colours.Green[i];
      d[2] = colours.Red[i];
    }
    progress(y);
  }
}

// Nearest entry per pixel, no diffusion.
void ToPaletteNearest(const TDibGraphic& src, TDibGraphic& dst, const std::function<void(int)>& progress) {
  const int w = src.Width();
  TNearest nearest(dst);
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(w));
  if (src.ImageFormat() != ifTrueColor) {
    // One lookup per source index.
    const pixelrows::TPaletteColours colours(src.Palette());
    std::uint8_t map[256];
    for (int i = 0; i < 256; ++i) map[i] = nearest(colours.Red[i], colours.Green[i], colours.Blue[i]);
    for (int y = 0; y < src.Height(); ++y) {
      pixelrows::ReadIndexRow(src, y, indices.data());
      for (auto& i : indices) i = map[i];
      pixelrows::WriteIndexRow(dst, y, indices.data());
      progress(y);
    }
    return;
  }
  for (int y = 0; y < src.Height(); ++y) {
    const std::uint8_t* s = src.ScanLine(y);
    for (int x = 0; x < w; ++x, s += 3) indices[static_cast<std::size_t>(x)] = nearest(s[2], s[1], s[0]);
    pixelrows::WriteIndexRow(dst, y, indices.data());
    progress(y);
  }
}

// Floyd-Steinberg over Channels channels (1 when source and target are
// both grey: the three channels then stay equal). Errors are carried in
// sixteenths: `above` holds what each column of the current row received
// from the row above, the error for the right neighbour and the three
// pieces for the row below travel in registers.
template <int Channels>
void DitherRows(const TDibGraphic& src, TDibGraphic& dst, TNearest& nearest, const std::function<void(int)>& progress) {
  const int w = src.Width();
  const pixelrows::TPaletteColours target(dst.Palette());
  const std::unique_ptr<pixelrows::TPaletteColours> colours =
      src.ImageFormat() != ifTrueColor ? std::make_unique<pixelrows::TPaletteColours>(src.Palette()) : nullptr;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * 3), indices(static_cast<std::size_t>(w));
  std::vector<int> above(static_cast<std::size_t>(w) * Channels, 0), below(above.size(), 0);
  for (int y = 0; y < src.Height(); ++y) {
    pixelrows::ReadRgbRow(src, colours.get(), y, rgb.data());
    int right[Channels] = {};
    int belowLeft[Channels] = {};  // still to receive: column x - 1
    int belowHere[Channels] = {};  // column x
    const std::uint8_t* in = rgb.data();
    const int* fromAbove = above.data();
    int* toBelow = below.data();
    for (int x = 0; x < w; ++x, in += 3, fromAbove += Channels) {
      int value[3];
#pragma GCC unroll 3
      for (int c = 0; c < Channels; ++c) value[c] = std::clamp(in[c] + (fromAbove[c] + right[c]) / 16, 0, 255);
      if constexpr (Channels == 1) value[1] = value[2] = value[0];
      const std::uint8_t index = nearest(value[0], value[1], value[2]);
      indices[static_cast<std::size_t>(x)] = index;
      const int chosen[3] = {target.Red[index], target.Green[index], target.Blue[index]};
#pragma GCC unroll 3
      for (int c = 0; c < Channels; ++c) {
        const int error = value[c] - chosen[c];
        right[c] = 7 * error;
        if (x > 0) toBelow[Channels * (x - 1) + c] = belowLeft[c] + 3 * error;
        belowLeft[c] = belowHere[c] + 5 * error;
        belowHere[c] = error;
      }
    }
    for (int c = 0; c < Channels; ++c) below[static_cast<std::size_t>(Channels * (w - 1) + c)] = belowLeft[c];
    pixelrows::WriteIndexRow(dst, y, indices.data());
    std::swap(above, below);
    progress(y);
  }
}

void ToPaletteDithered(const TDibGraphic& src, TDibGraphic& dst, const std::function<void(int)>& progress) {
  TNearest nearest(dst);
  const bool greySource = src.ImageFormat() != ifTrueColor && pixelrows::IsGreyPalette(src.Palette());
  if (greySource && nearest.Grey())
    DitherRows<1>(src, dst, nearest, progress);
  else
    DitherRows<3>(src, dst, nearest, progress);
}

}  // namespace

void TImageFormatTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
  if (!BeginApplyOnDest(source, destination)) return;
  destination.NewImage(source.Width(), source.Height(), Format, nullptr, 0, 0);
  destination.SetXPelsPerMeter(source.XPelsPerMeter());
  destination.SetYPelsPerMeter(source.YPelsPerMeter());
  const int h = source.Height();
  const std::function<void(int)> progress = [this, h](int y) { Progress(y, 0, h); };
  if (Format == ifTrueColor)
    ToTrueColor(source, destination, progress);
  else if (Dither)
    ToPaletteDithered(source, destination, progress);
  else
    ToPaletteNearest(source, destination, progress);
  Progress(100, 0, 100);
}
