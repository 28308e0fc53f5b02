#include "Group4TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/TestSupport.h"

int FirstDifferentRow(const std::uint8_t* a, const std::uint8_t* b, int width, int rows) {
  const int bytes = RowBytes(width);
  const auto lastMask = static_cast<std::uint8_t>(0xFF << ((8 - width % 8) % 8));
  for (int y = 0; y < rows; ++y) {
    const std::uint8_t* ra = a + static_cast<std::size_t>(y) * bytes;
    const std::uint8_t* rb = b + static_cast<std::size_t>(y) * bytes;
    if (!std::equal(ra, ra + bytes - 1, rb) || ((ra[bytes - 1] ^ rb[bytes - 1]) & lastMask)) return y;
  }
  return -1;
}

std::vector<std::uint8_t> RawBytes(TIFF* tif, std::uint32_t index, bool tiled) {
  const auto size = static_cast<tmsize_t>(TIFFGetStrileByteCount(tif, index));
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(std::max<tmsize_t>(size, 0)));
  if (size > 0) {
    const tmsize_t got =
        tiled ? TIFFReadRawTile(tif, index, raw.data(), size) : TIFFReadRawStrip(tif, index, raw.data(), size);
    raw.resize(static_cast<std::size_t>(std::max<tmsize_t>(got, 0)));
  }
  std::uint16_t fillOrder = FILLORDER_MSB2LSB;
  TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fillOrder);
  if (fillOrder == FILLORDER_LSB2MSB) TIFFReverseBits(raw.data(), static_cast<tmsize_t>(raw.size()));
  return raw;
}

TiffPtr NewGroup4File(const std::string& path, int width, int height) {
  TiffPtr tif(TIFFOpen(path.c_str(), "w"));
  TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
  TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
  TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(height));
  return tif;
}

std::string NewTempFile() {
  static int counter = 0;
  return TestTempDir() + "/g4-" + std::to_string(counter++) + ".tif";
}

std::vector<std::uint8_t> EncodeWithLibtiff(const std::vector<std::uint8_t>& rows, int width, int height) {
  const std::string path = NewTempFile();
  {
    TiffPtr tif = NewGroup4File(path, width, height);
    std::vector<std::uint8_t> line(static_cast<std::size_t>(RowBytes(width)));
    for (int y = 0; y < height; ++y) {
      std::copy_n(rows.begin() + static_cast<std::ptrdiff_t>(y) * RowBytes(width), line.size(), line.begin());
      EXPECT_EQ(TIFFWriteScanline(tif.get(), line.data(), static_cast<std::uint32_t>(y), 0), 1);
    }
  }
  TiffPtr tif(TIFFOpen(path.c_str(), "r"));
  return RawBytes(tif.get(), 0, false);
}

std::vector<std::uint8_t> DecodeWithLibtiff(std::vector<std::uint8_t> raw, int width, int height) {
  const std::string path = NewTempFile();
  TIFFWriteRawStrip(NewGroup4File(path, width, height).get(), 0, raw.data(), static_cast<tmsize_t>(raw.size()));
  TiffPtr tif(TIFFOpen(path.c_str(), "r"));
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(RowBytes(width)) * height);
  std::vector<std::uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tif.get())));
  for (int y = 0; y < height; ++y) {
    if (TIFFReadScanline(tif.get(), line.data(), static_cast<std::uint32_t>(y)) != 1) return {};
    std::copy_n(line.begin(), RowBytes(width), rows.begin() + static_cast<std::ptrdiff_t>(y) * RowBytes(width));
  }
  return rows;
}
