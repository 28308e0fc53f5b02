// The reference pages of the benchmarks, read once through the program's
// own TIFF reader.
#pragma once

#include <string>

#include "image/TiffGraphic.h"

inline std::string BenchPagePath(const char* name = "a4-feyn.tif") {
  return std::string(VELTRAX_SHARED_DIR) + "/testdata/bench/" + name;
}

// The A4 300 dpi 1-bit reference page (ink = bit 0).
inline TDibGraphic& BenchPage() {
  static TTiffGraphic page;
  if (page.Empty()) page.LoadFromFile(BenchPagePath());
  return page;
}
