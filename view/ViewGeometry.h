// Zoom and coordinate arithmetic of the image view and its rubber band.
//
// Plain functions without widgets, so the numbers can be checked headless.
// Terms used throughout:
//  - image pixels: pixels of the page (TDibGraphic);
//  - display pixels: pixels of the zoomed copy that is shown, counted from
//    its top-left corner (display = image x zoom / 100, truncated);
//  - zoom: a percentage (100 = one image pixel per display pixel).
// Rectangles are TRect; where a function treats Right/Bottom as inclusive
// it says so.
#pragma once

#include <vector>

#include "image/ImagingTypes.h"

enum TZoomMode { zmOriginalSize, zmFullPage, zmFitWidth, zmFitHeight, zmPercent, zmFitToPage };

// What the zoom of a resizing redraw depends on besides the mode.
struct TZoomInput {
  TZoomMode Mode = zmOriginalSize;
  double ZoomPercent = 100;  // used by zmPercent
  int ImageWidth = 0;
  int ImageHeight = 0;
  int ClientWidth = 0;  // client area (for the fit-to-page modes: with both bars hidden)
  int ClientHeight = 0;
  int VScrollBarWidth = 0;   // extent of a vertical scroll bar
  int HScrollBarHeight = 0;  // extent of a horizontal scroll bar
  bool VScrollBarShown = false;
  bool HScrollBarShown = false;
};

// Zoom in percent for a resizing redraw. Fit-to-page never enlarges; full
// page does. Fit width / fit height leave room for a scroll bar that is not
// shown yet. An empty image gives 100.
double ComputeZoom(const TZoomInput& in);

// Whether the page is shown without scroll bars in this mode.
inline bool ZoomModeHidesScrollBars(TZoomMode mode) { return mode == zmFullPage || mode == zmFitToPage; }

// Displayed size: max(1, trunc(size x zoom / 100)) per axis.
TSize DisplaySize(int imageWidth, int imageHeight, double zoom);

// Offset that centres a display of displaySize in clientSize; 0 when it
// does not fit.
int CenteredOffset(int clientSize, int displaySize);

// Clamps v to lo..hi (hi < lo gives lo).
int ClampInt(int v, int lo, int hi);

// Scales an image coordinate to the display (and back) for one axis:
// trunc(v x to / from). from < 1 gives 0.
int ScaleTrunc(int v, int to, int from);
// trunc(v x to / from + 0.5): rounding used for marked regions.
int ScaleRound(int v, int to, int from);

// Image rectangle (fixed area) framed on the display: every coordinate
// scaled with trunc.
TRect ImageToDisplayRect(const TRect& r, TSize image, TSize display);

// Margin outline for margins in millimetres, in display pixels:
// left = round(ppmX x left / 1000), right = W - round(ppmX x right / 1000),
// likewise vertically, then each coordinate x display / image, truncated.
TRect OutlineDisplayRect(int leftMm, int topMm, int rightMm, int bottomMm, int xPelsPerMeter, int yPelsPerMeter,
                         TSize image, TSize display);

// Positions of count evenly spaced grid lines over a display extent:
// trunc(extent / (count + 1)) x i for i = 1..count.
std::vector<int> GridPositions(int extent, int count);

// Margin in millimetres for a mouse position along one axis:
// round(max(1, position) x 1000 x imagePerDisplay / pelsPerMeter).
// pelsPerMeter <= 0 gives 0.
int MarginFromPosition(int position, double imagePerDisplay, int pelsPerMeter);

// Ruler reading in millimetres of a display position:
// round(pixels / dpi x 25.4 / (zoom / 100)).
int RulerMillimetres(int pixels, int dpi, double zoom);

// Image pixels a page moves for a display movement at a zoom:
// trunc(delta x 100 / zoom).
int DisplayDeltaToImage(int delta, double zoom);

// --- rubber band ------------------------------------------------------------

// Band corners as stored: (X1, Y1) the anchor and (X2, Y2) the moving corner;
// all display pixels, both corners inclusive.
struct TBandCorners {
  int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

// Normalised band (Left <= Right, Top <= Bottom; Right/Bottom inclusive).
TRect NormalizedBand(const TBandCorners& b);

// Image rectangle of a normalised band: left/top = trunc(v x s + 0.5) with
// s = image / display; right = image width - 1 when the band reaches the
// last display column, else trunc(x2 x sx + 0.5); bottom likewise.
TRect BandToImageRect(const TRect& band, TSize image, TSize display);

// Marked region to image pixels: trunc(v x image / display + 0.5) per
// coordinate.
TRect RegionToImageRect(const TRect& region, TSize image, TSize display);

// Rescales a stored display coordinate when the display size changes:
// trunc(v x newSize / oldSize); oldSize < 1 gives 0.
int RescaleCoordinate(int v, int newSize, int oldSize);

// Grab codes of the band and of the view's margin outline.
enum TGrabCode {
  gcTopLeft = 0,
  gcTop = 1,
  gcTopRight = 2,
  gcRight = 3,
  gcBottomRight = 4,
  gcBottom = 5,
  gcBottomLeft = 6,
  gcLeft = 7,
  gcInside = 8,
  gcOutlineTop = 9,
  gcOutlineBottom = 10,
  gcOutlineLeft = 11,
  gcOutlineRight = 12,
  gcOutlineTopLeft = 13,
  gcOutlineTopRight = 14,
  gcOutlineBottomLeft = 15,
  gcOutlineBottomRight = 16,
  gcFreeForm = 17,
  gcNothing = 18
};

// Band movement of a handle: 0 both axes, 1 vertical only, 2 horizontal
// only, 3 move. Throws EImagingError "Invalid GrabHandle,
// GrabHandleToBandMovement" for codes above 8.
int GrabHandleToBandMovement(int code);

// Which part of the band a point is on (corners first, then edges, then
// inside; 18 for nothing). The band is taken as given (not normalised).
int BandHitTest(const TBandCorners& b, int x, int y);

// Which part of the margin outline (display rectangle) a point is on:
// 13..16 within 2 pixels of a corner, 9..12 within 2 pixels of a line and
// within its span, else 18.
int OutlineHitTest(const TRect& outline, int x, int y);

// Margin flags (1 left, 2 top, 4 right, 8 bottom) changed by dragging an
// outline code 9..16; 0 for other codes.
int OutlineGrabFlags(int code);

// Whether segments p1-p2 and p3-p4 cross: both intersection parameters lie
// in 0..1. Parallel segments never cross.
bool SegmentsCross(TPoint p1, TPoint p2, TPoint p3, TPoint p4);

// Whether a new free-form segment from the last point to p may be added:
// it must not cross any existing edge other than the last one (which
// touches it); tested only when there are more than 2 points.
bool FreeFormPointAllowed(const std::vector<TPoint>& points, TPoint p);

// Whether the closing segment (last point -> first point) crosses none of
// the edges other than the first and the last (tested only when there are
// more than 3 points).
bool FreeFormClosingAllowed(const std::vector<TPoint>& points);
