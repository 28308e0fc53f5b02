// The status line of an image view:
// "(X:%d Y:%d)mm (X:%d Y:%d)px %s(%d/%d, %d/%d) 크기: %d x %d"
#pragma once

#include <QString>

#include "image/DibGraphic.h"

struct TStatusLineData {
  int X = 0;  // point in image pixels
  int Y = 0;
  QString FileName;  // shown without its folder
  int Frame = 1;     // current frame (from 1) of the source view
  int FrameCount = 1;
  int EntryPosition = 0;  // current list entry (from 1)
  int EntryCount = 0;
};

// Empty for an empty image.
QString FormatStatusLine(const TDibGraphic& image, const TStatusLineData& data);

// Pixels to whole millimetres, truncated; 0 below a resolution of 1 px/m.
int PixelsToMmTruncated(int pixels, int pelsPerMeter);
