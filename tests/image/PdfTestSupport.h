// Helpers of the PDF tests: a Group 4 TIFF written by libtiff directly, the
// external checking tools, and PBM / PGM files read back.
#pragma once

#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/DibGraphic.h"
#include "image/Stream.h"

namespace pdftest {

// The bytes of a one-strip CCITT Group 4 TIFF of a 1-bit page (bit 0 =
// black), Photometric 0, written by libtiff; bigEndian writes "MM".
inline std::vector<std::uint8_t> Group4Tiff(const TDibGraphic& page, const std::string& path, bool bigEndian = false) {
  TIFF* tif = TIFFOpen(path.c_str(), bigEndian ? "wb" : "wl");
  if (!tif) return {};
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(page.Width()));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(page.Height()));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(page.Height()));
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(page.BytesPerScanLine()));
  for (int y = 0; y < page.Height(); ++y) {
    const std::uint8_t* src = page.ScanLine(y);
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(~src[i]);
    TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0);
  }
  TIFFClose(tif);
  TMemoryStream m;
  m.LoadFromFile(path);
  return m.Bytes();
}

inline int Run(const std::string& command) { return std::system(command.c_str()); }

inline std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A binary PBM (P4) or PGM (P5) file; pixels row by row as stored.
struct Netpbm {
  int Width = 0, Height = 0, MaxValue = 1;
  bool Bitmap = false;
  std::string Pixels;
};

inline Netpbm ReadNetpbm(const std::string& path) {
  Netpbm out;
  const std::string t = ReadText(path);
  std::size_t p = 0;
  auto token = [&]() {
    while (p < t.size()) {
      if (t[p] == '#') {
        while (p < t.size() && t[p] != '\n') ++p;
      } else if (std::isspace(static_cast<unsigned char>(t[p]))) {
        ++p;
      } else {
        break;
      }
    }
    std::size_t s = p;
    while (p < t.size() && !std::isspace(static_cast<unsigned char>(t[p]))) ++p;
    return t.substr(s, p - s);
  };
  const std::string magic = token();
  out.Bitmap = magic == "P4";
  out.Width = std::atoi(token().c_str());
  out.Height = std::atoi(token().c_str());
  if (!out.Bitmap) out.MaxValue = std::atoi(token().c_str());
  ++p;
  out.Pixels = t.substr(p);
  return out;
}

// Number of pixels where a P5 grey map rendered at scale device pixels per
// image pixel, sampled at the centre of each block and thresholded at 128
// (below = black), differs from the 1-bit page (0 = black); -1 when the
// sizes differ. Sampling block centres keeps the renderer's sub-pixel
// placement of the image out of the comparison.
inline long PgmDifferences(const Netpbm& pgm, const TDibGraphic& page, int scale = 4) {
  if (pgm.Bitmap || pgm.Width != page.Width() * scale || pgm.Height != page.Height() * scale ||
      pgm.Pixels.size() < static_cast<std::size_t>(pgm.Width) * static_cast<std::size_t>(pgm.Height))
    return -1;
  long differences = 0;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) {
      const std::size_t at = static_cast<std::size_t>(y * scale + scale / 2) * static_cast<std::size_t>(pgm.Width) +
                             static_cast<std::size_t>(x * scale + scale / 2);
      const bool pgmBlack = static_cast<unsigned char>(pgm.Pixels[at]) < 128;
      const bool pageBlack = ((page.ScanLine(y)[x / 8] >> (7 - x % 8)) & 1) == 0;
      differences += pgmBlack != pageBlack;
    }
  return differences;
}

}  // namespace pdftest
