// The tile grid of the full-screen editor: the page cut into tiles that are
// shown one at a time, and the overview map of the tiles.
//
// Modes: 0 whole page, 1 "1:1" (tiles of the tile view's client size, one
// page pixel per screen pixel), 2 "4등분" (four quarters). Tiles are
// numbered row by row: index = row x columns + column.
#pragma once

#include <QImage>

#include "image/DibGraphic.h"

enum TTileMode { tmWhole = 0, tmOneToOne = 1, tmQuarters = 2 };

struct TTileGrid {
  int Mode = tmWhole;
  int Columns = 1;
  int Rows = 1;
  double Scale = 0;       // overview pixels per page pixel
  int OverviewWidth = 0;  // the page scaled by Scale, rounded
  int OverviewHeight = 0;
  int CellWidth = 0;  // one tile on the overview
  int CellHeight = 0;
  int ClientWidth = 0;  // the tile view's client size the grid was made for
  int ClientHeight = 0;
  int Count() const { return Columns * Rows; }
};

// The grid for a page shown in a tile view of client size clientWidth x
// clientHeight, with the overview drawn into a box of boxWidth x boxHeight
// (20 pixels of margin all round). The overview scale fits the page's
// longer side: (box height - 40) / page height for a page not wider than
// high, else (box width - 40) / page width. Columns and rows round up in
// "1:1" and are 2 x 2 in "4등분"; the whole mode gives one tile.
TTileGrid ComputeTileGrid(int pageWidth, int pageHeight, int clientWidth, int clientHeight, int mode, int boxWidth,
                          int boxHeight);

// Tile index of the page in page pixels (Right/Bottom exclusive). "1:1":
// columns of the client width from the left, rows of the client height from
// the top; "4등분": halves of the page (the right and bottom halves take the
// odd pixel). Every tile lies on the page, and the tiles together cover it.
// The whole mode, or an index outside the grid, gives the whole page.
TRect TileRect(const TTileGrid& grid, int index, int pageWidth, int pageHeight);

// The tile whose overview cell holds (x, y) (overview pixels), or -1.
int TileAtOverviewPoint(const TTileGrid& grid, int x, int y);

// Overview cell of a tile on the overview bitmap.
TRect OverviewCell(const TTileGrid& grid, int index);

// The overview bitmap: the page scaled to OverviewWidth x OverviewHeight
// (black on white: a dark pixel wins the pixels it stands for), every cell
// framed in blue and the whole bitmap framed in blue. Format_RGB32.
void BuildOverview(const TDibGraphic& page, const TTileGrid& grid, QImage& overview);

// Frames r (one pixel inside its edges) in colour, clipped to the image.
void FrameImageRect(QImage& image, const TRect& r, QRgb colour);

constexpr QRgb kOverviewCellColour = 0xFF0000FF;     // blue
constexpr QRgb kOverviewCurrentColour = 0xFFFF0000;  // red
