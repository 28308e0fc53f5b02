// Pixel-format conversion.
//
// To true colour every pixel keeps its colour. To a palette format the
// target's default palette is used and each colour goes to its nearest
// entry (1-bit: black or white), or, with Dither, Floyd-Steinberg error
// diffusion picks the entries: the error of each pixel, per channel, goes
// 7/16 to the right, 3/16 below left, 5/16 below and 1/16 below right,
// carried in integer sixteenths, and each value is clamped to 0..255 before
// its entry is chosen.
#pragma once

#include "image/transforms/ImageTransform.h"

class TImageFormatTransform : public TImageTransform {
 public:
  const char* ClassName() const override { return "TImageFormatTransform"; }
  // The destination gets Format, the target's default palette and the
  // source's resolution. An empty source gives an empty destination.
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;

  TImageFormat Format = ifTrueColor;
  // Kept for callers; 16- and 256-colour targets use the default palette.
  bool OptimalPalette = true;
  bool Dither = true;
};
