// The view's display bitmap: the page scaled to exactly the displayed size.
//
// A 1-bit page is shown through an 8-bit grey display bitmap (black 0,
// white 255), so that smoothing, inversion and coloured marks all work on
// one format; 8-bit grey pages stay grey; every other format is shown as
// true colour. The page itself is never changed.
#pragma once

#include <QImage>

#include "image/DibGraphic.h"

// Rebuilds display as the page scaled to size:
//  - antiAlias on a 1-bit page that is being shrunk: every display pixel is
//    the grey value of its box of page pixels (the anti-alias rule: mostly
//    black -> 0, mostly white -> 255, else white x 255 / total);
//  - otherwise rows and columns are sampled (dropped or repeated); true
//    colour pages of more than 1024 pixels are area-averaged when shrunk;
//  - invert turns the display into its negative afterwards.
// An empty page leaves display empty.
void BuildDisplayBitmap(const TDibGraphic& page, TDibGraphic& display, int width, int height,
                        bool antiAlias, bool invert);

// The anti-alias box rule applied to a 1-bit page, written into an 8-bit
// grey destination of width x height (exposed for tests and benchmarks).
void AntiAliasToGray(const TDibGraphic& page, TDibGraphic& dest, int width, int height);

// A QImage copy of an 8-bit grey or true-colour display bitmap (other
// formats go through their colours pixel by pixel).
QImage DisplayToQImage(const TDibGraphic& display);

// Copies rectangle r (Right/Bottom exclusive, clipped to the source) of
// source into dest, keeping format, palette and resolution. An empty
// intersection leaves dest empty.
void CropGraphic(const TDibGraphic& source, const TRect& r, TDibGraphic& dest);
