#include "image/transforms/PixelRows.h"

#include <cstring>
#include <limits>

namespace pixelrows {

TPaletteColours::TPaletteColours(const TPalette& palette) {
  for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
    Red[i] = palette[i].Red;
    Green[i] = palette[i].Green;
    Blue[i] = palette[i].Blue;
  }
}

void ReadIndexRow(const TDibGraphic& image, int y, std::uint8_t* indices) {
  const std::uint8_t* row = image.ScanLine(y);
  const int w = image.Width();
  switch (image.BitCount()) {
    case 1: {
      int x = 0;
      for (; x + 8 <= w; x += 8) {
        const std::uint8_t b = row[x >> 3];
        for (int i = 0; i < 8; ++i) indices[x + i] = (b >> (7 - i)) & 1;
      }
      for (; x < w; ++x) indices[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
      break;
    }
    case 4:
      for (int x = 0; x < w; ++x) indices[x] = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
      break;
    case 8:
      std::memcpy(indices, row, static_cast<std::size_t>(w));
      break;
    default:
      throw EImagingError("The image does not have a palette");
  }
}

void ReadRgbRow(const TDibGraphic& image, const TPaletteColours* colours, int y, std::uint8_t* rgb) {
  const int w = image.Width();
  if (image.ImageFormat() == ifTrueColor) {
    const std::uint8_t* row = image.ScanLine(y);
    for (int x = 0; x < w; ++x, row += 3, rgb += 3) {
      rgb[0] = row[2];
      rgb[1] = row[1];
      rgb[2] = row[0];
    }
    return;
  }
  thread_local std::vector<std::uint8_t> indices;
  indices.resize(static_cast<std::size_t>(w));
  ReadIndexRow(image, y, indices.data());
  for (int x = 0; x < w; ++x, rgb += 3) {
    const std::uint8_t i = indices[static_cast<std::size_t>(x)];
    rgb[0] = colours->Red[i];
    rgb[1] = colours->Green[i];
    rgb[2] = colours->Blue[i];
  }
}

void WriteIndexRow(TDibGraphic& image, int y, const std::uint8_t* indices) {
  std::uint8_t* row = image.ScanLine(y);
  const int w = image.Width();
  switch (image.BitCount()) {
    case 1: {
      const int bytes = (w + 7) / 8;
      for (int b = 0; b < bytes; ++b) {
        std::uint8_t v = 0;
        const int n = std::min(8, w - 8 * b);
        for (int i = 0; i < n; ++i) v = static_cast<std::uint8_t>(v | ((indices[8 * b + i] & 1) << (7 - i)));
        row[b] = v;
      }
      break;
    }
    case 4:
      for (int x = 0; x + 1 < w; x += 2)
        row[x >> 1] = static_cast<std::uint8_t>(((indices[x] & 0x0F) << 4) | (indices[x + 1] & 0x0F));
      if (w & 1) row[w >> 1] = static_cast<std::uint8_t>((indices[w - 1] & 0x0F) << 4);
      break;
    case 8:
      std::memcpy(row, indices, static_cast<std::size_t>(w));
      break;
    default:
      throw EImagingError("The image does not have a palette");
  }
}

bool IsGreyPalette(const TPalette& palette) {
  for (const TPaletteEntry& e : palette)
    if (e.Red != e.Green || e.Green != e.Blue) return false;
  return true;
}

std::vector<std::uint8_t> GreyNearestTable(const TPalette& palette) {
  // |c - v|^2 summed over the channels is sum(c^2) - 2 v S + 3 v^2; the
  // first term is the same for every entry, so S = r + g + b decides.
  std::vector<std::uint8_t> table(766, 0);
  for (int sum = 0; sum <= 765; ++sum) {
    long best = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
      const long v = palette[i].Red;
      const long d = 3 * v * v - 2 * v * sum;
      if (d < best) {
        best = d;
        table[static_cast<std::size_t>(sum)] = static_cast<std::uint8_t>(i);
      }
    }
  }
  return table;
}

}  // namespace pixelrows
