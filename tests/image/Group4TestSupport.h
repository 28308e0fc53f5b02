// libtiff as the reference for the Group 4 coder and decoder tests: raw
// strips of real files, and coding and decoding of rows (1 = coded black,
// (width + 7) / 8 bytes a row, rows one after another).
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

inline int RowBytes(int width) { return (width + 7) / 8; }

// Compares rows ignoring padding bits; returns the first differing row or -1.
int FirstDifferentRow(const std::uint8_t* a, const std::uint8_t* b, int width, int rows);
// The raw bytes of a strip or tile, bits reversed for fill order 2.
std::vector<std::uint8_t> RawBytes(TIFF* tif, std::uint32_t index, bool tiled);
// A new one-strip Group 4 TIFF file of the given size, open for writing.
TiffPtr NewGroup4File(const std::string& path, int width, int height);
// A fresh file name in the test's temporary folder.
std::string NewTempFile();
// Encodes rows with libtiff and returns the raw strip.
std::vector<std::uint8_t> EncodeWithLibtiff(const std::vector<std::uint8_t>& rows, int width, int height);
// libtiff's rows for a raw Group 4 strip; empty when libtiff fails on any row.
std::vector<std::uint8_t> DecodeWithLibtiff(std::vector<std::uint8_t> raw, int width, int height);
