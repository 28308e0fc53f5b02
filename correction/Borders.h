// Border removal, cropping and line extension.
//
// Rectangles are page pixels with Right and Bottom exclusive. A rectangle
// less than one pixel wide or tall makes EraseOutsideRect and CropToRect do
// nothing.
#pragma once

#include "image/DibGraphic.h"

// Paints everything outside rect white (top, left, bottom and right bands);
// the inside is untouched. Any pixel format.
void EraseOutsideRect(TDibGraphic& image, const TRect& rect);

// Replaces the image by its part inside rect (clipped to the page), keeping
// format, palette and resolution. A rectangle wholly outside the page
// throws EImagingError "Invalid crop parameters" and keeps the image.
void CropToRect(TDibGraphic& image, const TRect& rect);

// Repeats the band that holds the largest dark group over the whole image:
// on an image wider than tall the columns of the group's box, side by side
// from column 0; otherwise (square included) the rows of the box, from row
// 0 down. An image without dark pixels is left unchanged. On a true-colour
// image the analysis also paints every pixel that is not dark white.
void ExtendLines(TDibGraphic& image, int threshold);
