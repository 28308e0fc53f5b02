// Cutting a rectangle out of an image.
#pragma once

#include "image/transforms/ImageTransform.h"

class TCropTransform : public TImageTransform {
 public:
  const char* ClassName() const override { return "TCropTransform"; }
  // The rectangle is (Left, Top, Right, Bottom) with Absolute, else Right
  // and Bottom are margins from the right and bottom edges. An empty
  // rectangle raises "Invalid crop parameters"; a rectangle reaching past
  // the page gives the part inside the page (and one wholly outside it
  // raises the same message). The destination has the source's format,
  // palette and resolution.
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;

  int Top = 0;
  int Left = 0;
  int Bottom = 0;
  int Right = 0;
  bool Absolute = false;
};

// The part of source inside r (clipped to the page) into dest, with the
// source's format, palette and resolution; dest is cleared when nothing of
// r lies on the page. The one crop every caller goes through.
void CropGraphic(const TDibGraphic& source, const TRect& r, TDibGraphic& dest);
