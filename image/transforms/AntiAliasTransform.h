// Grey reduction of a 1-bit page for display: each destination pixel is the
// share of white in a box of source pixels, snapped to black or white when
// nearly all of the box is ink or paper.
#pragma once

#include "image/transforms/ImageTransform.h"

class TAntiAliasTransform : public TImageTransform {
 public:
  const char* ClassName() const override { return "TAntiAliasTransform"; }
  // Does nothing for formats other than 1-bit.
  void Apply(TDibGraphic& image) override;
  // 1-bit sources only; any other source leaves the destination untouched.
  // The destination is a 256-grey image of Width x Height (0 = the source's
  // size) with the source's resolution. Box (i, j) covers source columns
  // c(i) .. c(i + 1) - 1 with c(i) = Round(i * source width / Width), the
  // last box reaching the last column and every box at least one column
  // wide, and source rows r(j) .. r(j + 1) (both included) with r(j) =
  // Round(j * source height / Height) and r(Height) = source height - 1.
  // With total pixels and black ink pixels in a box: no ink 255, all ink 0,
  // white < total div 8 gives 0, black < total div 8 gives 255, otherwise
  // white * 255 div total.
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;

  int Width = 0;
  int Height = 0;
};
