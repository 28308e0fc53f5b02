// Darkening and lightening the strokes of a page, in place.
//
// Bilevel pages work on the 3x3 neighbourhood of every pixel:
//  - DarkenStrokes blackens a white pixel when at most `level` of its eight
//    neighbours are white. Every decision is taken from the page as it was
//    before the call (one dilation step): level 0 fills only white pixels
//    enclosed on all sides, level 8 blackens every white pixel.
//  - LightenStrokes whitens a black pixel whose eight neighbours are all
//    black. The scan goes top to bottom, left to right, and sees its own
//    changes, which leaves a regular lattice of white holes inside solid
//    areas (about one pixel in four) while stroke edges stay black.
// True-colour pages shift the HSL lightness of the pixels whose grey value
// is below threshold by level / 100 (up to lighten, down to darken).
// Grey and palette pages are left unchanged.
//
// Regions (page pixels, right/bottom exclusive):
//  - none: the whole page is the working rectangle;
//  - insideRegions set: each region in list order is a working rectangle;
//  - insideRegions clear: the whole page, skipping every pixel that lies in
//    any region (such pixels still count as neighbours).
// Only the interior of a working rectangle changes: its one-pixel frame is
// read but never written, so the page's outermost rows and columns never
// change. Rectangles are clipped to the page first; one with fewer than
// three rows or columns changes nothing.
#pragma once

#include <vector>

#include "image/DibGraphic.h"

// Bilevel pages (other formats are left unchanged).
void DarkenStrokes(TDibGraphic& image, int level, const std::vector<TRect>& regions, bool insideRegions);
void LightenStrokes(TDibGraphic& image, const std::vector<TRect>& regions, bool insideRegions);

// True-colour pages; a bilevel page given here is handled as above (the
// threshold is then not used), other formats are left unchanged.
void DarkenStrokes(TDibGraphic& image, int level, int threshold, bool insideRegions, const std::vector<TRect>& regions);
void LightenStrokes(TDibGraphic& image, int level, int threshold, bool insideRegions,
                    const std::vector<TRect>& regions);
