// TCanvas: the small raster drawing layer over a TDibGraphic.
//
// Colours are 0x00RRGGBB; on palette images they are mapped to the nearest
// palette entry (so black/white on a 1-bit page become indices 0/1).
// Every operation clips to the image. Coordinates are pixels, rectangles
// exclusive at Right/Bottom. Rectangles whose coordinates lie further than
// 2^29 pixels from the origin are ignored (nothing is drawn), which keeps all
// scaling arithmetic inside 64-bit integers.
//
// Scaled copies map destination pixel i of a span of length dl onto a
// source span of length sl as follows (per axis):
//  - colour-on-colour: the one source pixel floor((2i + 1) * sl / (2 dl));
//  - black-on-white: the source pixels floor(i * sl / dl) up to (excluding)
//    floor((i + 1) * sl / dl), at least one; their colours are ANDed, so on a
//    page with bit 0 = black a thin black line survives any reduction;
//  - halftone: every source pixel overlapping the destination pixel's area,
//    weighted by the overlap; the average is rounded to nearest.
// Source pixels outside the source image do not take part; a destination
// pixel that has none is left unchanged. An unscaled copy (Draw, or equal
// sizes) copies pixels whatever the mode. Between images of the same format
// and palette a copied index stays itself (even where the palette repeats a
// colour); otherwise the colour goes to the nearest destination entry.
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
  smBlackOnWhite,  // dropped pixels are ANDed: black wins (the default)
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
  // Points, turned into pixels at the screen's logical resolution
  // (ImagingHooks().ScreenDpiY), as fonts are everywhere in the program;
  // callers that want a size relative to the page scale the points.
  double SizePt = 12.0;
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
  // A fresh drawing surface shrinks black-on-white, as page placement
  // expects; TDibGraphic drawing and resizing set their mode explicitly.
  TStretchMode StretchMode = TStretchMode::smBlackOnWhite;
  TCopyMode CopyMode = TCopyMode::cmCopy;
  TFontSpec Font;

  // Fills r with the brush colour (CopyMode applies: AND / OR combine the
  // brush's palette index, or its bytes on true colour, with the pixels).
  void FillRect(const TRect& r);
  // Copies the whole source with its top-left at (x, y), converting pixel
  // format (nearest palette entry) and combining with CopyMode. The source
  // may be this canvas's own image.
  void Draw(int x, int y, const TDibGraphic& source);
  // Copies source rectangle srcRect of source onto dest, scaled, with
  // StretchMode and CopyMode.
  void StretchDraw(const TRect& dest, const TDibGraphic& source, const TRect& srcRect);
  void StretchDraw(const TRect& dest, const TDibGraphic& source);
  // Fills the polygon with the brush (even-odd rule: a pixel is filled when
  // its centre is inside) and outlines it with the pen (closed polyline).
  void Polygon(const std::vector<TPoint>& points);
  // Fills the polygon only.
  void FillPolygon(const std::vector<TPoint>& points);
  // Lines through the points in turn, the last point excluded; the pen
  // position ends at the last point.
  void Polyline(const std::vector<TPoint>& points);
  void MoveTo(int x, int y);
  // Line from the pen position to (x, y), excluding the end point; the pen
  // moves to (x, y). Pixels: along the longer axis every step, across it
  // the exact position rounded half up. PenWidth > 1 (at most 256) stamps a
  // square of that size centred on each pixel.
  void LineTo(int x, int y);
  // Frame of r with the pen (one pixel inside r's edges).
  void FrameRect(const TRect& r);

  // Text with its top-left at (x, y) in the pen colour, through the
  // installed text renderer; only glyph pixels (coverage >= 128) are
  // painted. Does nothing when no renderer is installed.
  void TextOut(int x, int y, const std::string& utf8Text);
  // Size of the text as one line; 0 x 0 without a renderer.
  TSize TextExtent(const std::string& utf8Text);

  TPoint PenPos() const { return penPos_; }

 private:
  void Blit(const TRect& dest, const TDibGraphic& source, const TRect& srcRect, TStretchMode mode);
  void Line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, std::uint32_t value);
  std::uint32_t ValueOf(TColor32 color);

  TDibGraphic& image_;
  TPoint penPos_;
};
