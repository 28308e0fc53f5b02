// Connected groups of dark pixels and the page-unit conversions.
//
// TNoiseData finds the bounding boxes of the 8-connected groups of dark
// pixels of a page in one top-to-bottom pass:
//  - ifBlackWhite: palette index 0 is dark;
//  - ifTrueColor: grey = round(0.299 R + 0.587 G + 0.114 B) below Threshold
//    is dark, and every other pixel is painted pure white during the scan;
//  - other formats give no boxes and are left unchanged.
// Boxes are inclusive (Right and Bottom belong to the box).
#pragma once

#include <vector>

#include "image/DibGraphic.h"

struct TComponentBox {
  int Left = 0;
  int Top = 0;
  int Right = 0;   // inclusive
  int Bottom = 0;  // inclusive
  friend bool operator==(const TComponentBox&, const TComponentBox&) = default;
};

class TNoiseData {
 public:
  TNoiseData(TDibGraphic& image, int threshold) : image_(image), threshold_(threshold) {}

  void FindComponents();
  // Finished boxes in the order a row-by-row scan finishes them: by last
  // row; boxes that end on the same row from the newest group (the one
  // whose first pixel comes last in reading order) to the oldest.
  const std::vector<TComponentBox>& Finished() const { return finished_; }
  // The box with the largest (Bottom - Top) + (Right - Left); on a tie the
  // first in Finished order. (0,0,0,0) when none.
  TRect LargestComponent() const;

  TDibGraphic& Image() { return image_; }
  int Threshold() const { return threshold_; }

 private:
  TDibGraphic& image_;
  int threshold_;
  std::vector<TComponentBox> finished_;
};

// Grey value round(0.299 R + 0.587 G + 0.114 B) used for darkness.
int GreyOf(int r, int g, int b);

int PixelsToMm(const TDibGraphic& image, int pixels);
TPoint MmToPixels(const TDibGraphic& image, TPoint mm);
// Inner rectangle (left px, top px, width - right px, height - bottom px).
void MarginsToRect(const TDibGraphic& image, int topMm, int bottomMm, TRect& out, int rightMm, int leftMm);
