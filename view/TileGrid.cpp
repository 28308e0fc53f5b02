#include "view/TileGrid.h"

#include <algorithm>
#include <cmath>

#include "image/Canvas.h"
#include "view/DibQImage.h"

namespace {

int CeilDiv(int a, int b) { return b <= 0 ? 1 : std::max(1, (a + b - 1) / b); }

int Round(double v) { return static_cast<int>(std::lround(v)); }

}  // namespace

TTileGrid ComputeTileGrid(int pageWidth, int pageHeight, int clientWidth, int clientHeight, int mode, int boxWidth,
                          int boxHeight) {
  TTileGrid g;
  g.Mode = mode;
  g.ClientWidth = std::max(1, clientWidth);
  g.ClientHeight = std::max(1, clientHeight);
  if (pageWidth <= 0 || pageHeight <= 0) return g;
  g.Scale = pageWidth <= pageHeight ? static_cast<double>(boxHeight - 40) / pageHeight
                                    : static_cast<double>(boxWidth - 40) / pageWidth;
  g.Scale = std::max(g.Scale, 0.0);
  g.OverviewWidth = std::max(1, Round(pageWidth * g.Scale));
  g.OverviewHeight = std::max(1, Round(pageHeight * g.Scale));
  if (mode == tmOneToOne) {
    g.Columns = CeilDiv(pageWidth, g.ClientWidth);
    g.Rows = CeilDiv(pageHeight, g.ClientHeight);
    g.CellWidth = std::max(1, Round(g.ClientWidth * g.Scale));
    g.CellHeight = std::max(1, Round(g.ClientHeight * g.Scale));
  } else if (mode == tmQuarters) {
    g.Columns = g.Rows = 2;
    g.CellWidth = std::max(1, g.OverviewWidth / 2);
    g.CellHeight = std::max(1, g.OverviewHeight / 2);
  } else {
    g.CellWidth = g.OverviewWidth;
    g.CellHeight = g.OverviewHeight;
  }
  return g;
}

TRect TileRect(const TTileGrid& g, int index, int pageWidth, int pageHeight) {
  const TRect whole{0, 0, pageWidth, pageHeight};
  if (g.Mode == tmWhole || index < 0 || index >= g.Count()) return whole;
  const int column = index % g.Columns, row = index / g.Columns;
  TRect r;
  if (g.Mode == tmOneToOne) {
    r.Left = column * g.ClientWidth;
    r.Top = row * g.ClientHeight;
    r.Right = std::min(r.Left + g.ClientWidth, pageWidth);
    r.Bottom = std::min(r.Top + g.ClientHeight, pageHeight);
  } else {
    const int hw = pageWidth / 2, hh = pageHeight / 2;
    r.Left = hw * column;
    r.Top = hh * row;
    r.Right = column == 0 ? hw : pageWidth;
    r.Bottom = row == 0 ? hh : pageHeight;
  }
  return r;
}

TRect OverviewCell(const TTileGrid& g, int index) {
  if (index < 0 || index >= g.Count()) return TRect{};
  const int column = index % g.Columns, row = index / g.Columns;
  return TRect{column * g.CellWidth, row * g.CellHeight, (column + 1) * g.CellWidth, (row + 1) * g.CellHeight};
}

int TileAtOverviewPoint(const TTileGrid& g, int x, int y) {
  if (x < 0 || y < 0 || g.CellWidth <= 0 || g.CellHeight <= 0) return -1;
  const int column = x / g.CellWidth, row = y / g.CellHeight;
  if (column >= g.Columns || row >= g.Rows) return -1;
  return row * g.Columns + column;
}

void FrameImageRect(QImage& image, const TRect& r, QRgb colour) {
  const int left = std::max(r.Left, 0), right = std::min(r.Right, image.width());
  const int top = std::max(r.Top, 0), bottom = std::min(r.Bottom, image.height());
  if (left >= right || top >= bottom) return;
  auto row = [&](int y) { return reinterpret_cast<QRgb*>(image.scanLine(y)); };
  if (r.Top >= 0 && r.Top < image.height()) std::fill(row(r.Top) + left, row(r.Top) + right, colour);
  if (r.Bottom - 1 >= 0 && r.Bottom - 1 < image.height())
    std::fill(row(r.Bottom - 1) + left, row(r.Bottom - 1) + right, colour);
  for (int y = top; y < bottom; ++y) {
    if (r.Left >= 0 && r.Left < image.width()) row(y)[r.Left] = colour;
    if (r.Right - 1 >= 0 && r.Right - 1 < image.width()) row(y)[r.Right - 1] = colour;
  }
}

void BuildOverview(const TDibGraphic& page, const TTileGrid& g, QImage& overview) {
  if (page.Empty() || g.OverviewWidth <= 0 || g.OverviewHeight <= 0) {
    overview = QImage();
    return;
  }
  // Scaled in the page's own format, so a 1-bit page shrinks on bits.
  TDibGraphic scaled;
  scaled.NewImage(g.OverviewWidth, g.OverviewHeight, page.ImageFormat(),
                  page.ImageFormat() == ifTrueColor ? nullptr : &page.Palette());
  TCanvas& canvas = scaled.Canvas();
  canvas.StretchMode = TStretchMode::smBlackOnWhite;
  canvas.CopyMode = TCopyMode::cmCopy;
  canvas.StretchDraw(TRect{0, 0, g.OverviewWidth, g.OverviewHeight}, page);
  overview = DibToQImage(scaled).convertToFormat(QImage::Format_RGB32);
  for (int i = 0; i < g.Count(); ++i) FrameImageRect(overview, OverviewCell(g, i), kOverviewCellColour);
  FrameImageRect(overview, TRect{0, 0, g.OverviewWidth, g.OverviewHeight}, kOverviewCellColour);
}
