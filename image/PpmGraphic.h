// TPpmGraphic: the portable bitmap, greymap and pixmap formats (P1 to P6),
// for exchanging pages with other scanning tools.
//
// Reading: P1/P4 become ifBlackWhite (a 1 in the file is black, stored as
// index 0 of the usual black/white palette), P2/P5 become ifGray256 and
// P3/P6 ifTrueColor; samples are scaled from the file's maxval (1..65535,
// two bytes per binary sample above 255) to 0..255, rounded. Comments are
// accepted wherever whitespace is. Several images in one stream are pages
// (GetImageCount, ImageToLoad). Anything malformed or cut short throws
// EImagingError "Not a valid PPM file" and leaves the image as it was;
// reading never goes past the data.
// The files carry no resolution, so loaded pages take the screen's.
//
// Writing: ifBlackWhite -> P4, ifGray16 / ifGray256 -> P5, the colour
// formats -> P6, all with maxval 255 and the palette's colours.
#pragma once

#include <memory>

#include "image/DibGraphic.h"

class TPpmGraphic : public TDibGraphic {
 public:
  const char* ClassName() const override { return "TPpmGraphic"; }
  std::unique_ptr<TDibGraphic> NewInstance() const override;

  void SaveToStream(TStream& stream) override;
  // True when the stream starts with "P1" .. "P6".
  bool IsValidFormat(TStream& stream) override;
  // Number of well-formed images one after another in the stream.
  int GetImageCount(TStream& stream) override;
  void LoadImageFromStream(TStream& stream, int imageNumber) override;
};
