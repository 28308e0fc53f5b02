// libFuzzer target: the Group 4 decoder checked against libtiff. Input:
// width - 1 (2 bytes), rows - 1 (2 bytes), a flags byte, then the payload.
// Flags bit 0: black is one. Bit 1 clear: the payload is coded data, and
// whenever our decoder accepts it and libtiff decodes every row too, both
// must give the same pixels. Bit 1 set: the payload is a page (its bits,
// repeated), which libtiff encodes and our decoder must decode exactly.
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/Group4Decoder.h"

namespace {

constexpr int kMaxWidth = 4096;
constexpr int kMaxRows = 512;
constexpr std::size_t kHeader = 5;

struct Memory {
  std::vector<std::uint8_t> Data;
  std::uint64_t Pos = 0;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<Memory*>(h);
  if (n <= 0 || m->Pos >= m->Data.size()) return 0;
  const std::uint64_t count = std::min<std::uint64_t>(static_cast<std::uint64_t>(n), m->Data.size() - m->Pos);
  std::memcpy(buf, m->Data.data() + m->Pos, count);
  m->Pos += count;
  return static_cast<tmsize_t>(count);
}
tmsize_t MemWrite(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<Memory*>(h);
  if (n < 0) return -1;
  if (m->Pos + static_cast<std::uint64_t>(n) > m->Data.size()) m->Data.resize(m->Pos + static_cast<std::uint64_t>(n));
  std::memcpy(m->Data.data() + m->Pos, buf, static_cast<std::size_t>(n));
  m->Pos += static_cast<std::uint64_t>(n);
  return n;
}
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<Memory*>(h);
  const std::uint64_t base = whence == SEEK_CUR ? m->Pos : whence == SEEK_END ? m->Data.size() : 0;
  m->Pos = base + off;
  return m->Pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<Memory*>(h)->Data.size(); }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

TIFF* Open(Memory& m, const char* mode) {
  return TIFFClientOpen("fuzz", mode, &m, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A one-strip little-endian Group 4 TIFF around the coded data.
std::vector<std::uint8_t> WrapAsTiff(const std::uint8_t* data, std::size_t size, int width, int rows) {
  std::vector<std::uint8_t> out = {'I', 'I', 42, 0};
  Put32(out, 8);
  const std::uint16_t entries = 8;
  const std::uint32_t dataOffset = 8 + 2 + entries * 12 + 4;
  Put16(out, entries);
  auto entry = [&](unsigned tag, unsigned type, std::uint32_t value) {
    Put16(out, tag);
    Put16(out, type);
    Put32(out, 1);
    if (type == 3) {
      Put16(out, value);
      Put16(out, 0);
    } else {
      Put32(out, value);
    }
  };
  entry(256, 4, static_cast<std::uint32_t>(width));
  entry(257, 4, static_cast<std::uint32_t>(rows));
  entry(258, 3, 1);
  entry(259, 3, 4);
  entry(262, 3, 0);
  entry(273, 4, dataOffset);
  entry(278, 4, static_cast<std::uint32_t>(rows));
  entry(279, 4, static_cast<std::uint32_t>(size));
  Put32(out, 0);
  out.insert(out.end(), data, data + size);
  return out;
}

// libtiff's rows (1 = coded black), or empty when it fails on any row.
std::vector<std::uint8_t> LibtiffRows(const std::uint8_t* data, std::size_t size, int width, int rows) {
  Memory m{WrapAsTiff(data, size, width, rows), 0};
  TIFF* tif = Open(m, "r");
  if (!tif) return {};
  const std::size_t rowBytes = static_cast<std::size_t>(width + 7) / 8;
  std::vector<std::uint8_t> out(rowBytes * static_cast<std::size_t>(rows));
  std::vector<std::uint8_t> line(static_cast<std::size_t>(std::max<tmsize_t>(TIFFScanlineSize(tif), 1)));
  bool ok = line.size() >= rowBytes;
  for (int y = 0; ok && y < rows; ++y) {
    ok = TIFFReadScanline(tif, line.data(), static_cast<std::uint32_t>(y)) == 1;
    std::copy_n(line.begin(), rowBytes,
                out.begin() + static_cast<std::ptrdiff_t>(rowBytes * static_cast<std::size_t>(y)));
  }
  TIFFClose(tif);
  if (!ok) out.clear();
  return out;
}

// libtiff's Group 4 strip of a page (rows of rowBytes bytes, 1 = black).
std::vector<std::uint8_t> LibtiffStrip(const std::vector<std::uint8_t>& page, int width, int rows) {
  Memory m;
  TIFF* tif = Open(m, "w");
  if (!tif) std::abort();
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(rows));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(rows));
  const std::size_t rowBytes = static_cast<std::size_t>(width + 7) / 8;
  std::vector<std::uint8_t> line(rowBytes);
  for (int y = 0; y < rows; ++y) {
    std::copy_n(page.begin() + static_cast<std::ptrdiff_t>(rowBytes * static_cast<std::size_t>(y)), rowBytes,
                line.begin());
    if (TIFFWriteScanline(tif, line.data(), static_cast<std::uint32_t>(y), 0) != 1) std::abort();
  }
  TIFFClose(tif);
  m.Pos = 0;
  tif = Open(m, "r");
  if (!tif) std::abort();
  std::vector<std::uint8_t> strip(static_cast<std::size_t>(TIFFGetStrileByteCount(tif, 0)));
  if (TIFFReadRawStrip(tif, 0, strip.data(), static_cast<tmsize_t>(strip.size())) !=
      static_cast<tmsize_t>(strip.size()))
    std::abort();
  TIFFClose(tif);
  return strip;
}

// Encodes the payload's bits as a page with libtiff; ours must decode it.
void CheckEncodedPage(const std::uint8_t* payload, std::size_t size, int width, int rows, bool blackIsOne) {
  if (size == 0) return;
  rows = std::min(rows, 64);  // libtiff's encoder is the slow part
  const std::size_t rowBytes = static_cast<std::size_t>(width + 7) / 8;
  const std::uint8_t lastMask = static_cast<std::uint8_t>(0xFF << ((8 - width % 8) % 8));
  std::vector<std::uint8_t> page(rowBytes * static_cast<std::size_t>(rows));
  for (std::size_t i = 0; i < page.size(); ++i) page[i] = payload[i % size];
  for (int y = 0; y < rows; ++y) page[rowBytes * static_cast<std::size_t>(y) + rowBytes - 1] &= lastMask;
  const std::vector<std::uint8_t> strip = LibtiffStrip(page, width, rows);
  std::vector<std::uint8_t> out(page.size());
  if (!DecodeGroup4(strip.data(), strip.size(), width, rows, out.data(), static_cast<std::ptrdiff_t>(rowBytes),
                    blackIsOne))
    std::abort();  // refused libtiff's own coding
  const std::uint8_t flip = blackIsOne ? 0x00 : 0xFF;
  for (std::size_t i = 0; i < page.size(); ++i)
    if (static_cast<std::uint8_t>(out[i] ^ flip) != page[i]) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  const int width = 1 + (data[0] | data[1] << 8) % kMaxWidth;
  const int rows = 1 + (data[2] | data[3] << 8) % kMaxRows;
  const bool blackIsOne = data[4] & 1;
  const std::uint8_t* coded = data + kHeader;
  const std::size_t codedSize = size - kHeader;
  if (data[4] & 2) {
    CheckEncodedPage(coded, codedSize, width, rows, blackIsOne);
    return 0;
  }

  // Rows with a gap between them: the decoder must not touch the gaps.
  const std::size_t rowBytes = static_cast<std::size_t>(width + 7) / 8;
  const std::size_t step = rowBytes + 3;
  std::vector<std::uint8_t> out(step * static_cast<std::size_t>(rows), 0xA5);
  const bool ok =
      DecodeGroup4(coded, codedSize, width, rows, out.data(), static_cast<std::ptrdiff_t>(step), blackIsOne);
  for (int y = 0; y < rows; ++y)
    for (std::size_t i = rowBytes; i < step; ++i)
      if (out[step * static_cast<std::size_t>(y) + i] != 0xA5) std::abort();
  if (!ok) return 0;

  const std::vector<std::uint8_t> expected = LibtiffRows(coded, codedSize, width, rows);
  if (expected.empty()) return 0;
  const std::uint8_t lastMask = static_cast<std::uint8_t>(0xFF << ((8 - width % 8) % 8));
  const std::uint8_t flip = blackIsOne ? 0x00 : 0xFF;
  for (int y = 0; y < rows; ++y) {
    const std::uint8_t* got = out.data() + step * static_cast<std::size_t>(y);
    const std::uint8_t* want = expected.data() + rowBytes * static_cast<std::size_t>(y);
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const std::uint8_t mask = i + 1 == rowBytes ? lastMask : 0xFF;
      if (((got[i] ^ flip ^ want[i]) & mask) != 0) std::abort();              // differs from libtiff
      if (i + 1 == rowBytes && ((got[i] ^ flip) & ~mask) != 0) std::abort();  // padding not white
    }
  }
  return 0;
}
