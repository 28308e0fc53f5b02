// A page's image as it is coded in its file, for copying into another file
// without decoding and coding it again. The readers hand out a page only
// where copying its data reproduces exactly the pixels they would decode.
#pragma once

#include <cstdint>
#include <vector>

struct TCodedPage {
  enum TKind : std::uint8_t { Group4, Jpeg };
  TKind Kind = Group4;
  int Width = 0;  // pixels
  int Height = 0;
  // The resolution the page's reader gives the decoded page.
  int XPelsPerMeter = 0;
  int YPelsPerMeter = 0;
  // Group 4: the strips from the top, StripRows rows each (the last may
  // have fewer), bits of each byte most significant first. JPEG: the whole
  // stream in one element.
  std::vector<std::vector<std::uint8_t>> Strips;
  int StripRows = 0;
  // Group 4: the coded "white" runs are black pixels.
  bool BlackIs1 = false;
  // Group 4: the data is known to decode alike in every reader (it is a
  // PDF image's); else a PDF writer checks it first.
  bool Plain = false;
  // JPEG: one colour component.
  bool Gray = false;
};
