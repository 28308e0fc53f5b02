// Telling blank pages from pages with content: the share of dark pixels
// that is left inside a rectangle once the specks are gone.
#pragma once

#include "image/DibGraphic.h"

// Percentage (0 .. 100) of the pixels inside `inner` (clipped to the page;
// the whole page when that leaves nothing) that are dark after the groups
// of dark pixels no larger than maxSpeckWidth x maxSpeckHeight are removed
// from a copy of the page. Pages other than black and white are judged on a
// nearest-colour black-and-white copy; true-colour pixels count as dark
// below `threshold` as in speck removal. The page is not changed. An empty
// page gives 0.
double DarkPixelShare(const TDibGraphic& page, const TRect& inner, int maxSpeckWidth, int maxSpeckHeight,
                      int threshold);
