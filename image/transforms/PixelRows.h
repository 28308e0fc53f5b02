// Row conversions shared by the colour transforms: any format to RGB
// triplets, palette indices back into packed rows, and nearest-palette
// lookups that give exactly the image's own nearest-colour choice.
#pragma once

#include <cstdint>
#include <vector>

#include "image/DibGraphic.h"

namespace pixelrows {

// Colours of a palette image's indices (0..255), black past the palette,
// as the image's GetPixel reports them.
struct TPaletteColours {
  std::uint8_t Red[256] = {};
  std::uint8_t Green[256] = {};
  std::uint8_t Blue[256] = {};
  explicit TPaletteColours(const TPalette& palette);
};

// Row y of image as R, G, B bytes (3 x Width).
void ReadRgbRow(const TDibGraphic& image, const TPaletteColours* colours, int y, std::uint8_t* rgb);

// Palette indices of row y (Width bytes); not for true colour.
void ReadIndexRow(const TDibGraphic& image, int y, std::uint8_t* indices);

// Writes Width palette indices into row y of a 1-, 4- or 8-bit image.
void WriteIndexRow(TDibGraphic& image, int y, const std::uint8_t* indices);

// True when every entry has equal red, green and blue.
bool IsGreyPalette(const TPalette& palette);

// For a grey palette the nearest entry to (r, g, b) depends only on
// r + g + b: table[r + g + b] (0..765) gives it, ties to the lower index as
// the image's converter does.
std::vector<std::uint8_t> GreyNearestTable(const TPalette& palette);

}  // namespace pixelrows
