// TTiffEncoder: wraps one block of already-compressed image data as a
// one-strip little-endian TIFF in memory, so that the TIFF reader can decode
// image data found inside a PDF.
//
// Layout: the 8-byte header ("II", 42, directory offset), the data, then
// the directory at the next even offset, then the values that do not fit
// into an entry (BitsPerSample of a three-sample image).
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/Stream.h"

class TTiffEncoder {
 public:
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  // 1, 4, 8 (one sample) or 24 (three samples of 8 bits).
  int BitsPerPixel = 1;
  // TIFF compression code: 1 none, 2 CCITT RLE, 3 Group 3, 4 Group 4,
  // 32773 PackBits, 32946 Deflate.
  int Compression = 1;
  // PhotometricInterpretation; -1 chooses by bits per pixel: 0 (white is
  // zero) for CCITT data, 1 (black is zero) for other grey data, 2 for RGB.
  int Photometric = -1;
  // T4Options (Group 3 only): bit 0 set for 2-D coding.
  std::uint32_t T4Options = 0;

  // Writes the TIFF at the stream's position. Throws EImagingError
  // "Unsupported bits per pixel, %d" for a depth the wrapper cannot state.
  void Encode(const std::uint8_t* data, std::uint32_t length, TStream& out) const;
};
