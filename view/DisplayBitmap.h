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
//  - antiAlias on a 1-bit page that is being shrunk: the anti-alias
//    transform's grey boxes (smoothing never enlarges);
//  - otherwise the resize transform (rows and columns dropped or repeated;
//    true colour pages area-averaged);
//  - invert turns the display into its negative afterwards.
// An empty page leaves display empty.
void BuildDisplayBitmap(const TDibGraphic& page, TDibGraphic& display, int width, int height, bool antiAlias,
                        bool invert);

// A QImage copy of an 8-bit grey or true-colour display bitmap (other
// formats go through their colours pixel by pixel).
QImage DisplayToQImage(const TDibGraphic& display);
