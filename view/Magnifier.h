// The magnifier: a block of the page at full resolution (one page pixel per
// screen pixel) centred on an image point, with a blue cross through it.
//
// For a target of w x h pixels and image point (x, y), with hw = w / 2 and
// hh = h / 2 (truncated), target pixel (i, j) shows page pixel
// (x - hw + 1 + i, y - hh + 1 + j); the cross lines lie on column hw - 1 and
// row hh - 1, so they pass through the page pixel (x, y) itself. Target
// pixels whose page pixel lies off the page are white. Works on every pixel
// format; an empty page gives a white target with the cross.
#pragma once

#include <QImage>

#include "image/DibGraphic.h"

// The cross colour (blue).
constexpr QRgb kMagnifierPen = 0xFF0000FF;

// Top-left page pixel shown for a target of width x height.
TPoint MagnifierOrigin(int width, int height, int x, int y);

// Draws into target (any size; converted to Format_RGB32 when it is not).
void DrawMagnifier(const TDibGraphic& page, int x, int y, QImage& target);
