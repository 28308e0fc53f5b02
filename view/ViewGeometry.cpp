#include "view/ViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "image/ImagingErrors.h"

double ComputeZoom(const TZoomInput& in) {
  if (in.ImageWidth <= 0 || in.ImageHeight <= 0) return 100;
  const double w = in.ImageWidth;
  const double h = in.ImageHeight;
  switch (in.Mode) {
    case zmFullPage:
    case zmFitToPage: {
      double zoom = std::min(in.ClientWidth / w, in.ClientHeight / h) * 100;
      if (in.Mode == zmFitToPage && zoom > 100) zoom = 100;
      return zoom;
    }
    case zmFitWidth: {
      int client = in.ClientWidth;
      if (!in.VScrollBarShown) client -= in.VScrollBarWidth;
      return client / w * 100;
    }
    case zmFitHeight: {
      int client = in.ClientHeight;
      if (!in.HScrollBarShown) client -= in.HScrollBarHeight;
      return client / h * 100;
    }
    case zmPercent:
      return in.ZoomPercent;
    case zmOriginalSize:
      break;
  }
  return 100;
}

TSize DisplaySize(int imageWidth, int imageHeight, double zoom) {
  auto axis = [zoom](int size) {
    // The tiny addend keeps a zoom computed as client / size x 100 from
    // landing one pixel short through rounding (606 / 2480 x 100 x 2480 / 100).
    const double v = std::trunc(size * zoom / 100 + 1e-7);
    if (!(v >= 1)) return 1;  // also catches NaN
    return v > 1e9 ? 1000000000 : static_cast<int>(v);
  };
  return TSize{axis(imageWidth), axis(imageHeight)};
}

int CenteredOffset(int clientSize, int displaySize) {
  const int offset = (clientSize - displaySize) / 2;  // C++ division truncates
  return offset > 0 ? offset : 0;
}

int ClampInt(int v, int lo, int hi) {
  if (v > hi) v = hi;
  if (v < lo) v = lo;
  return v;
}

int ScaleTrunc(int v, int to, int from) {
  if (from < 1) return 0;
  return static_cast<int>(static_cast<long long>(v) * to / from);
}

int ScaleRound(int v, int to, int from) {
  if (from < 1) return 0;
  return static_cast<int>(std::trunc(static_cast<double>(v) * to / from + 0.5));
}

TRect ImageToDisplayRect(const TRect& r, TSize image, TSize display) {
  return TRect{ScaleTrunc(r.Left, display.Width, image.Width), ScaleTrunc(r.Top, display.Height, image.Height),
               ScaleTrunc(r.Right, display.Width, image.Width), ScaleTrunc(r.Bottom, display.Height, image.Height)};
}

namespace {

int MmToPelsRounded(int pelsPerMeter, int mm) {
  return static_cast<int>(std::lround(static_cast<double>(pelsPerMeter) * mm / 1000.0));
}

}  // namespace

TRect OutlineDisplayRect(int leftMm, int topMm, int rightMm, int bottomMm, int xPelsPerMeter, int yPelsPerMeter,
                         TSize image, TSize display) {
  const TRect inImage{MmToPelsRounded(xPelsPerMeter, leftMm), MmToPelsRounded(yPelsPerMeter, topMm),
                      image.Width - MmToPelsRounded(xPelsPerMeter, rightMm),
                      image.Height - MmToPelsRounded(yPelsPerMeter, bottomMm)};
  return ImageToDisplayRect(inImage, image, display);
}

std::vector<int> GridPositions(int extent, int count) {
  std::vector<int> positions;
  if (count <= 0) return positions;
  const int step = extent / (count + 1);
  positions.reserve(count);
  for (int i = 1; i <= count; ++i) positions.push_back(step * i);
  return positions;
}

int MarginFromPosition(int position, double imagePerDisplay, int pelsPerMeter) {
  if (pelsPerMeter <= 0) return 0;
  return static_cast<int>(std::lround(std::max(1, position) * 1000.0 * imagePerDisplay / pelsPerMeter));
}

int RulerMillimetres(int pixels, int dpi, double zoom) {
  if (dpi <= 0 || zoom <= 0) return 0;
  return static_cast<int>(std::lround(pixels / static_cast<double>(dpi) * 25.4 / (zoom / 100)));
}

int DisplayDeltaToImage(int delta, double zoom) {
  if (zoom <= 0) return 0;
  return static_cast<int>(std::trunc(delta * 100 / zoom));
}

TRect NormalizedBand(const TBandCorners& b) {
  return TRect{std::min(b.X1, b.X2), std::min(b.Y1, b.Y2), std::max(b.X1, b.X2), std::max(b.Y1, b.Y2)};
}

TRect BandToImageRect(const TRect& band, TSize image, TSize display) {
  const double sx = display.Width > 0 ? static_cast<double>(image.Width) / display.Width : 0;
  const double sy = display.Height > 0 ? static_cast<double>(image.Height) / display.Height : 0;
  auto conv = [](int v, double s) { return static_cast<int>(std::trunc(v * s + 0.5)); };
  TRect r;
  r.Left = conv(band.Left, sx);
  r.Top = conv(band.Top, sy);
  r.Right = band.Right >= display.Width - 1 ? image.Width - 1 : conv(band.Right, sx);
  r.Bottom = band.Bottom >= display.Height - 1 ? image.Height - 1 : conv(band.Bottom, sy);
  return r;
}

TRect RegionToImageRect(const TRect& region, TSize image, TSize display) {
  return TRect{
      ScaleRound(region.Left, image.Width, display.Width), ScaleRound(region.Top, image.Height, display.Height),
      ScaleRound(region.Right, image.Width, display.Width), ScaleRound(region.Bottom, image.Height, display.Height)};
}

int RescaleCoordinate(int v, int newSize, int oldSize) {
  if (oldSize < 1) return 0;
  return static_cast<int>(std::trunc(static_cast<double>(v) * newSize / oldSize));
}

int GrabHandleToBandMovement(int code) {
  switch (code) {
    case gcTopLeft:
    case gcTopRight:
    case gcBottomRight:
    case gcBottomLeft:
      return 0;
    case gcTop:
    case gcBottom:
      return 1;
    case gcRight:
    case gcLeft:
      return 2;
    case gcInside:
      return 3;
    default:
      throw EImagingError("Invalid GrabHandle, GrabHandleToBandMovement");
  }
}

int BandHitTest(const TBandCorners& b, int x, int y) {
  auto near = [](int a, int c) { return std::abs(a - c) < 4; };
  if (near(x, b.X2) && near(y, b.Y2)) return gcBottomRight;
  if (near(x, b.X1) && near(y, b.Y1)) return gcTopLeft;
  if (near(x, b.X2) && near(y, b.Y1)) return gcTopRight;
  if (near(x, b.X1) && near(y, b.Y2)) return gcBottomLeft;
  const bool inX = x >= std::min(b.X1, b.X2) && x <= std::max(b.X1, b.X2);
  const bool inY = y >= std::min(b.Y1, b.Y2) && y <= std::max(b.Y1, b.Y2);
  if (near(y, b.Y1) && inX) return gcTop;
  if (near(y, b.Y2) && inX) return gcBottom;
  if (near(x, b.X1) && inY) return gcLeft;
  if (near(x, b.X2) && inY) return gcRight;
  if (x >= std::min(b.X1, b.X2) + 4 && x <= std::max(b.X1, b.X2) - 4 && inY) return gcInside;
  return gcNothing;
}

int OutlineHitTest(const TRect& o, int x, int y) {
  auto near = [](int a, int c) { return std::abs(a - c) <= 2; };
  if (near(x, o.Left) && near(y, o.Top)) return gcOutlineTopLeft;
  if (near(x, o.Right) && near(y, o.Top)) return gcOutlineTopRight;
  if (near(x, o.Left) && near(y, o.Bottom)) return gcOutlineBottomLeft;
  if (near(x, o.Right) && near(y, o.Bottom)) return gcOutlineBottomRight;
  const bool inX = x >= o.Left && x <= o.Right;
  const bool inY = y >= o.Top && y <= o.Bottom;
  if (near(x, o.Left) && inY) return gcOutlineLeft;
  if (near(x, o.Right) && inY) return gcOutlineRight;
  if (near(y, o.Top) && inX) return gcOutlineTop;
  if (near(y, o.Bottom) && inX) return gcOutlineBottom;
  return gcNothing;
}

int OutlineGrabFlags(int code) {
  switch (code) {
    case gcOutlineTop:
      return 2;
    case gcOutlineBottom:
      return 8;
    case gcOutlineLeft:
      return 1;
    case gcOutlineRight:
      return 4;
    case gcOutlineTopLeft:
      return 3;
    case gcOutlineTopRight:
      return 6;
    case gcOutlineBottomLeft:
      return 9;
    case gcOutlineBottomRight:
      return 12;
    default:
      return 0;
  }
}

bool SegmentsCross(TPoint p1, TPoint p2, TPoint p3, TPoint p4) {
  const double d1x = p2.X - p1.X, d1y = p2.Y - p1.Y;
  const double d2x = p4.X - p3.X, d2y = p4.Y - p3.Y;
  const double denom = d1x * d2y - d1y * d2x;
  if (denom == 0) return false;
  const double ex = p3.X - p1.X, ey = p3.Y - p1.Y;
  const double t = (ex * d2y - ey * d2x) / denom;
  const double u = (ex * d1y - ey * d1x) / denom;
  return t >= 0 && t <= 1 && u >= 0 && u <= 1;
}

bool FreeFormPointAllowed(const std::vector<TPoint>& points, TPoint p) {
  const std::size_t n = points.size();
  if (n <= 2) return true;
  const TPoint last = points[n - 1];
  // Edges 0..n-3; edge n-2 ends at the last point and touches the new one.
  for (std::size_t i = 0; i + 2 < n; ++i)
    if (SegmentsCross(last, p, points[i], points[i + 1])) return false;
  return true;
}

bool FreeFormClosingAllowed(const std::vector<TPoint>& points) {
  const std::size_t n = points.size();
  if (n <= 3) return true;
  const TPoint last = points[n - 1];
  const TPoint first = points[0];
  // The first edge starts at the first point and the last edge ends at the
  // last point; both touch the closing segment.
  for (std::size_t i = 1; i + 2 < n; ++i)
    if (SegmentsCross(last, first, points[i], points[i + 1])) return false;
  return true;
}
