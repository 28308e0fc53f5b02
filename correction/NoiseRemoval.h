// Speck removal: erasing the small groups of dark pixels of a page.
//
// A group (8-connected dark pixels, see TNoiseData) is a speck when its
// bounding box is at most maxWidth wide and at most maxHeight tall (both
// limits inclusive). A speck is erased by painting its whole bounding box
// white, so pixels of other groups inside that box go with it.
//
// Fixed regions (page pixels, right/bottom exclusive) decide which specks
// go: with no regions every speck; with insideRegions clear only specks
// whose box is not wholly inside some region; with insideRegions set only
// specks whose box is wholly inside at least one region.
//
// Bilevel pages: palette index 0 is dark. True-colour pages: grey below
// threshold is dark, and every other pixel of the page is painted pure
// white by the analysis, even when nothing is erased. Grey and palette
// pages are left unchanged.
#pragma once

#include <vector>

#include "image/DibGraphic.h"

void RemoveSpecks(TDibGraphic& image, int maxWidth, int maxHeight, bool insideRegions,
                  const std::vector<TRect>& regions, int threshold);
