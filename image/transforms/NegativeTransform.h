// Negative of an image: every pixel's colour replaced by its complement.
#pragma once

#include "image/transforms/ImageTransform.h"

class TNegativeTransform : public TImageTransform {
 public:
  const char* ClassName() const override { return "TNegativeTransform"; }
  // In place: 1-bit and 256-grey rows are inverted bit- and byte-wise,
  // 16-grey rows nibble-wise (15 - value), 16- and 256-colour images by
  // inverting the palette entries, true colour per component.
  void Apply(TDibGraphic& image) override;
  // Copies the source into the destination and inverts the copy.
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;
};
