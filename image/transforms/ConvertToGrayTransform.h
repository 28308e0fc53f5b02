// Colour to grey: grey = (R * 299 + G * 587 + B * 114) div 1000 with the
// default weights, written as the colour (grey, grey, grey) in Format.
#pragma once

#include "image/transforms/ImageTransform.h"

class TConvertToGrayTransform : public TImageTransform {
 public:
  const char* ClassName() const override { return "TConvertToGrayTransform"; }
  // The weights are scaled to thousandths (rounded); the grey value is
  // capped at 255 (and at 0 for negative weights). The destination has
  // Format (palette formats take the nearest entry of their default
  // palette) and the source's resolution.
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;

  double RedWeight = 0.299;
  double GreenWeight = 0.587;
  double BlueWeight = 0.114;
  TImageFormat Format = ifTrueColor;
};
