// Page placement: moving or scaling the whole content of a page.
//
// Every routine but FindContentBounds follows one contract: it does nothing
// when the page is empty or no undo image is given (or the undo image is
// the page itself); otherwise it copies the page into the undo image,
// paints the page white and draws the copy back at a new place or size, so
// uncovered areas end up white and the undo image holds the page as it was.
// The pixel format never changes. The busy cursor shows while they run.
//
// Rectangles are page pixels, Right/Bottom exclusive unless said otherwise.
// Integer divisions truncate towards zero.
#pragma once

#include "image/DibGraphic.h"

// The content's box: the first and last rows holding at least rowInk dark
// pixels and the first and last columns holding at least colInk (counted
// over all rows). Right and Bottom are inclusive. Dark is palette index 0
// on bilevel pages (the bits that pad a stored row count as white), grey
// below threshold on other pages. A side where nothing counts stays at 0 on
// bilevel pages (an empty page gives (0, 0, 0, 0)) and at the page edge
// (0, 0, width, height) on other pages.
TRect FindContentBounds(const TDibGraphic& image, int rowInk, int colInk, int threshold);

// Moves the content by (dx, dy). hMode: 0 centre, dx = (width - Right -
// Left) / 2; 1 left edge at hOffset; 2 right edge hOffset from the right
// side; 3 (or any other value) no move. vMode likewise with the rows.
void CenterContent(TDibGraphic& image, TDibGraphic* undo, int hMode, int threshold, int colInk, int rowInk, int vOffset,
                   int vMode, int hOffset);

// Stretches the area content of the page onto target (each axis on its
// own), black winning where pixels are dropped. A degenerate content or
// target leaves the page white.
void FitToMargins(TDibGraphic& image, TDibGraphic* undo, const TRect& content, const TRect& target);

// Re-creates the page at the paper size (pixels, or millimetres converted
// with the page's resolution, rounded half up) with the same format, palette
// and resolution, and either stretches the old page onto it or centres it
// unscaled on white. A size below one pixel does nothing.
void FitToPaper(TDibGraphic& image, TDibGraphic* undo, int paperWidth, int paperHeight, bool inPixels, bool stretch);

// Shifts the page by distance pixels: direction -2 up, 2 down, -1 left,
// 1 right. Distances below 1 and other directions do nothing.
void ShiftImage(TDibGraphic& image, TDibGraphic* undo, int direction, int distance);

// Enlarges (cuts percent of the size off the borders, half on each side,
// and stretches the rest over the page) or reduces (stretches the page into
// the centre area that is percent smaller). The cut is width * percent /
// 100 rounded to nearest, halves to even. Negative percents do nothing.
void ResizeContent(TDibGraphic& image, TDibGraphic* undo, int percent, bool enlarge);

// Keeps only the part inside rect, moved to the middle of the page.
void KeepRectCentred(TDibGraphic& image, TDibGraphic* undo, const TRect& rect);
