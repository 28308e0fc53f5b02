// Rotation of page images.
//
// Geometry (shared by every free-angle rotation here): theta = pi * Angle /
// 180, positive turning the picture clockwise on screen; the source centre
// is (W div 2, H div 2). The destination is the rotated bounding box of the
// four corner pixels (or the source size when the size is kept), and every
// destination pixel takes the nearest source pixel of the inverse turn about
// the two centres, or the fill colour when that lies outside the source.
// Round is round-half-to-even. Quarter turns move pixels without
// resampling.
//
// 1-bit pages have word-level paths (quarter turns by 64 x 64 bit-matrix
// transposes, free angles by copying straight runs of bits); they give
// exactly the pixels of the plain per-pixel definitions.
#pragma once

#include "image/transforms/ImageTransform.h"

class TRotateTransform : public TImageTransform {
 public:
  const char* ClassName() const override { return "TRotateTransform"; }
  // Reports 0 %, turns the source by Angle (quarter turns when Angle is
  // within 0.005 of a whole multiple of 90 at 3 decimals), reports 100 %.
  // An empty source gives an empty destination.
  void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) override;

  // The whole-degree turn in 0..359 that Angle stands for, or -1 for a
  // free angle: Angle counts as whole when |Round(Angle) - Angle at 3
  // decimals| < 0.005.
  static int WholeAngle(double angle);

  double Angle = 90.0;
  TColor32 Color = 0xFFFFFF;  // fill for pixels with no source (0x00RRGGBB)

 protected:
  virtual void Rotate90(const TDibGraphic& source, TDibGraphic& destination);
  virtual void Rotate180(const TDibGraphic& source, TDibGraphic& destination);
  virtual void Rotate270(const TDibGraphic& source, TDibGraphic& destination);
  virtual void RotateAny(const TDibGraphic& source, TDibGraphic& destination);

  // Free-angle rotation with or without the bounding-box growth.
  void RotateFree(const TDibGraphic& source, TDibGraphic& destination, bool keepSize);
};

// Free angles may keep the source size (the corners that turn out are
// lost, the uncovered corners take Color).
class TRotateTransform2 : public TRotateTransform {
 public:
  const char* ClassName() const override { return "TRotateTransform2"; }
  bool KeepSize = false;

 protected:
  void RotateAny(const TDibGraphic& source, TDibGraphic& destination) override;
};

// Quarter turns of 1-bit pages at word level; other formats as inherited.
class TNBRotateTransform : public TRotateTransform {
 public:
  const char* ClassName() const override { return "TNBRotateTransform"; }

 protected:
  void Rotate90(const TDibGraphic& source, TDibGraphic& destination) override;
  void Rotate180(const TDibGraphic& source, TDibGraphic& destination) override;
  void Rotate270(const TDibGraphic& source, TDibGraphic& destination) override;
};

// Turns the image in place by angle degrees (keep: same size, else the
// grown bounding box), filling with white. Nothing happens for an empty
// image or an angle of exactly 0. Shows the busy cursor; copies the image
// into undo first when undo is given.
void RotateImageKeep(TDibGraphic& image, TDibGraphic* undo, bool keep, float angle);

// Free-angle turn of a 1-bit page into destination (grow: bounding box,
// else the source size), filling with white (bit 1); the destination gets
// the source's palette and resolution. Any other source, or an empty one,
// leaves the destination untouched.
void RotateBilevel(const TDibGraphic& source, TDibGraphic& destination, bool grow, double angle);
