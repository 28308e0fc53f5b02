// Resizing by a stretched copy through the destination's canvas.
#pragma once

#include "image/transforms/ImageTransform.h"

class TResizeTransform : public TImageTransform {
 public:
  const char* ClassName() const override { return "TResizeTransform"; }
  // The destination becomes Width x Height in NewFormat when ChangeFormat
  // is set, else in the source's format (with the source's palette), with
  // the source's resolution, and the whole source is stretched into it:
  // rows and columns dropped or repeated for small or palette sources
  // (fewer than 1025 pixels, or not true colour), area-averaged otherwise.
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;

  int Width = 300;
  int Height = 200;
  bool ChangeFormat = false;
  TImageFormat NewFormat = ifTrueColor;
};
