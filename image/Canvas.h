// TCanvas: the small raster drawing layer over a TDibGraphic.
//
// Colours are 0x00RRGGBB; on palette images they are mapped to the nearest
// palette entry (so black/white on a 1-bit page become indices 0/1).
// Every operation clips to the image. Coordinates are pixels, rectangles
// exclusive at Right/Bottom.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/ImagingTypes.h"

class TDibGraphic;

// How StretchDraw combines source pixels that fall on one destination
// pixel when shrinking.
enum class TStretchMode {
  smColorOnColor,  // rows/columns are dropped (nearest sample)
  smBlackOnWhite,  // dropped pixels are ANDed: black wins
  smHalftone       // area average
};

// How drawn pixels combine with the destination.
enum class TCopyMode {
  cmCopy,  // replace
  cmAnd,   // destination AND source (transparent paste of ink on white)
  cmOr     // destination OR source
};

struct TFontSpec {
  std::string Name = "NanumGothic";
  double SizePt = 12.0;  // points; rendered at the image's vertical dpi
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
};

// Coverage mask of rendered text: Width x Height bytes, 0 = none, 255 = full.
struct TGlyphMask {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Coverage;
};

// Renders text to a coverage mask; the desktop program installs one backed
// by its font engine (see ImagingHooks). dpi is the target resolution.
class TTextRenderer {
 public:
  virtual ~TTextRenderer() = default;
  virtual TGlyphMask Render(const TFontSpec& font, const std::string& utf8Text, int dpi) = 0;
  virtual TSize Extent(const TFontSpec& font, const std::string& utf8Text, int dpi) = 0;
};

class TCanvas {
 public:
  explicit TCanvas(TDibGraphic& image) : image_(image) {}

  TColor32 BrushColor = 0xFFFFFF;
  TColor32 PenColor = 0x000000;
  int PenWidth = 1;
  TStretchMode StretchMode = TStretchMode::smColorOnColor;
  TCopyMode CopyMode = TCopyMode::cmCopy;
  TFontSpec Font;

  // Fills r with the brush colour (CopyMode applies).
  void FillRect(const TRect& r);
  // Copies the whole source with its top-left at (x, y), converting pixel
  // format (nearest palette entry) and combining with CopyMode.
  void Draw(int x, int y, const TDibGraphic& source);
  // Copies source rectangle srcRect of source onto dest, scaled, with
  // StretchMode and CopyMode.
  void StretchDraw(const TRect& dest, const TDibGraphic& source, const TRect& srcRect);
  void StretchDraw(const TRect& dest, const TDibGraphic& source);
  // Fills the polygon with the brush (even-odd rule at pixel centres) and
  // outlines it with the pen.
  void Polygon(const std::vector<TPoint>& points);
  // Fills the polygon only.
  void FillPolygon(const std::vector<TPoint>& points);
  void Polyline(const std::vector<TPoint>& points);
  void MoveTo(int x, int y);
  // Line from the pen position to (x, y), excluding the end point.
  void LineTo(int x, int y);
  // Frame of r with the pen (one pixel inside r's edges).
  void FrameRect(const TRect& r);

  // Text with its top-left at (x, y) in the pen colour, through the
  // installed text renderer; does nothing when none is installed.
  void TextOut(int x, int y, const std::string& utf8Text);
  TSize TextExtent(const std::string& utf8Text);

  TPoint PenPos() const { return penPos_; }

 private:
  TDibGraphic& image_;
  TPoint penPos_;
};
