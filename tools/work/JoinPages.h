// Two page images side by side: the left image without trimLeft columns at
// its right edge, then the right image without trimRight columns at its
// left edge; used to rebuild spreads from half pages.
#pragma once

#include <string>
#include <vector>

#include "image/DibGraphic.h"
#include "tools/work/DocumentFiles.h"

// A trim edit box's text as a number of columns: anything that is not a
// whole number counts as 0.
int ParseTrim(const std::string& text);

// out = left's first W(left) - trimLeft columns, then right from column
// trimRight on; left's height, format, palette and resolution; a taller
// right image is cut, below a shorter one the page keeps palette index 0.
// Throws when the trims leave no column.
void JoinPair(const TDibGraphic& left, const TDibGraphic& right, int trimLeft, int trimRight, TDibGraphic& out);
// A page `width` wide for an image without partner: its first
// W(left) - trimLeft columns, white to the right.
void LonePage(const TDibGraphic& left, int trimLeft, int width, TDibGraphic& out);

// Joins the list's entries in pairs of one folder (a multi-page file's pages
// among themselves) into files named like the right-hand entry under the
// run's save folder, which must be set.
void JoinFiles(const std::vector<TToolEntry>& entries, int trimLeft, int trimRight, TToolRun& run);
