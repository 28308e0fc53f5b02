#pragma once

#include "image/Canvas.h"

// Renders text through Qt's font engine into a coverage mask for TCanvas.
class TQtTextRenderer : public TTextRenderer {
 public:
  TGlyphMask Render(const TFontSpec& font, const std::string& utf8Text, int dpi) override;
  TSize Extent(const TFontSpec& font, const std::string& utf8Text, int dpi) override;
};
