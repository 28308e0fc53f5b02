#include "image/transforms/ConvertToGrayTransform.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "image/transforms/PixelRows.h"

void TConvertToGrayTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
  if (!BeginApplyOnDest(source, destination)) return;
  const long red = std::lround(RedWeight * 1000.0);
  const long green = std::lround(GreenWeight * 1000.0);
  const long blue = std::lround(BlueWeight * 1000.0);
  auto grey = [&](long r, long g, long b) {
    return static_cast<std::uint8_t>(std::clamp((r * red + g * green + b * blue) / 1000, 0L, 255L));
  };

  const int w = source.Width(), h = source.Height();
  destination.NewImage(w, h, Format, nullptr, 0, 0);
  destination.SetXPelsPerMeter(source.XPelsPerMeter());
  destination.SetYPelsPerMeter(source.YPelsPerMeter());

  // Grey of every source index, for palette sources.
  const bool paletteSource = source.ImageFormat() != ifTrueColor;
  std::uint8_t indexGrey[256] = {};
  if (paletteSource) {
    const pixelrows::TPaletteColours colours(source.Palette());
    for (int i = 0; i < 256; ++i) indexGrey[i] = grey(colours.Red[i], colours.Green[i], colours.Blue[i]);
  }
  // Destination index of every grey, for palette destinations.
  std::uint8_t greyIndex[256] = {};
  if (Format != ifTrueColor)
    for (int g = 0; g < 256; ++g)
      greyIndex[g] = static_cast<std::uint8_t>(destination.NearestPaletteIndex(RgbColor(g, g, g)));

  std::vector<std::uint8_t> greys(static_cast<std::size_t>(w)), indices(static_cast<std::size_t>(w));
  for (int y = 0; y < h; ++y) {
    if (paletteSource) {
      pixelrows::ReadIndexRow(source, y, indices.data());
      for (int x = 0; x < w; ++x) greys[static_cast<std::size_t>(x)] = indexGrey[indices[static_cast<std::size_t>(x)]];
    } else {
      const std::uint8_t* s = source.ScanLine(y);
      for (int x = 0; x < w; ++x, s += 3) greys[static_cast<std::size_t>(x)] = grey(s[2], s[1], s[0]);
    }
    if (Format == ifTrueColor) {
      std::uint8_t* d = destination.ScanLine(y);
      for (int x = 0; x < w; ++x, d += 3) d[0] = d[1] = d[2] = greys[static_cast<std::size_t>(x)];
    } else {
      for (int x = 0; x < w; ++x) indices[static_cast<std::size_t>(x)] = greyIndex[greys[static_cast<std::size_t>(x)]];
      pixelrows::WriteIndexRow(destination, y, indices.data());
    }
    Progress(y, 0, h);
  }
  Progress(100, 0, 100);
}
