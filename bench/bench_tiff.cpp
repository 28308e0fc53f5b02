// Reading and writing the reference A4 page as CCITT Group 4: TTiffGraphic
// beside libtiff itself (scanline loop on a memory buffer), so the cost of
// our layer over the codec shows directly.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/TiffGraphic.h"

namespace {

const std::string kPage = std::string(VELTRAX_SHARED_DIR) + "/testdata/bench/a4-feyn.tif";

const std::vector<std::uint8_t>& PageFile() {
  static std::vector<std::uint8_t> bytes;
  if (bytes.empty()) {
    TMemoryStream s;
    s.LoadFromFile(kPage);
    bytes = s.Bytes();
  }
  return bytes;
}

// --- a bare memory file for libtiff ------------------------------------------

struct MemoryFile {
  std::vector<std::uint8_t> Data;
  std::uint64_t Pos = 0;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<MemoryFile*>(h);
  if (n <= 0 || m->Pos >= m->Data.size()) return 0;
  const std::uint64_t count = std::min<std::uint64_t>(static_cast<std::uint64_t>(n), m->Data.size() - m->Pos);
  std::memcpy(buf, m->Data.data() + m->Pos, count);
  m->Pos += count;
  return static_cast<tmsize_t>(count);
}
tmsize_t MemWrite(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<MemoryFile*>(h);
  if (m->Pos + static_cast<std::uint64_t>(n) > m->Data.size()) m->Data.resize(m->Pos + static_cast<std::uint64_t>(n));
  std::memcpy(m->Data.data() + m->Pos, buf, static_cast<std::size_t>(n));
  m->Pos += static_cast<std::uint64_t>(n);
  return n;
}
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<MemoryFile*>(h);
  const std::uint64_t base = whence == SEEK_CUR ? m->Pos : whence == SEEK_END ? m->Data.size() : 0;
  m->Pos = base + off;
  return m->Pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemoryFile*>(h)->Data.size(); }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

TIFF* OpenMemory(MemoryFile& file, const char* mode) {
  TIFF* tif = TIFFClientOpen("bench", mode, &file, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
  if (!tif) throw std::runtime_error("TIFFClientOpen failed");
  return tif;
}

// The page as libtiff decodes it (rows of white-is-zero bits).
struct RawPage {
  std::uint32_t Width = 0, Height = 0;
  std::vector<std::uint8_t> Rows;
  std::size_t RowBytes = 0;
};

const RawPage& Raw() {
  static RawPage page;
  if (page.Rows.empty()) {
    MemoryFile file{PageFile(), 0};
    TIFF* tif = OpenMemory(file, "r");
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.Width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.Height);
    page.RowBytes = static_cast<std::size_t>(TIFFScanlineSize(tif));
    page.Rows.resize(page.RowBytes * page.Height);
    for (std::uint32_t y = 0; y < page.Height; ++y) TIFFReadScanline(tif, page.Rows.data() + y * page.RowBytes, y);
    TIFFClose(tif);
  }
  return page;
}

// --- reading -------------------------------------------------------------------

void BM_ReadG4_Libtiff(benchmark::State& state) {
  std::vector<std::uint8_t> line;
  for (auto _ : state) {
    MemoryFile file{PageFile(), 0};
    TIFF* tif = OpenMemory(file, "r");
    std::uint32_t h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    line.resize(static_cast<std::size_t>(TIFFScanlineSize(tif)));
    for (std::uint32_t y = 0; y < h; ++y) TIFFReadScanline(tif, line.data(), y);
    TIFFClose(tif);
    benchmark::DoNotOptimize(line.data());
  }
}
BENCHMARK(BM_ReadG4_Libtiff)->Unit(benchmark::kMillisecond);

void BM_ReadG4_TTiffGraphic(benchmark::State& state) {
  TMemoryStream stream(PageFile());
  TTiffGraphic page;
  for (auto _ : state) {
    stream.SetPosition(0);
    page.LoadFromStream(stream);
    benchmark::DoNotOptimize(page.Bits());
  }
}
BENCHMARK(BM_ReadG4_TTiffGraphic)->Unit(benchmark::kMillisecond);

// --- writing -------------------------------------------------------------------

void BM_WriteG4_Libtiff(benchmark::State& state) {
  const RawPage& raw = Raw();
  std::vector<std::uint8_t> line(raw.RowBytes);
  for (auto _ : state) {
    MemoryFile file;
    TIFF* tif = OpenMemory(file, "w");
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 0x7FFFFFFF);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 300.0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, raw.Width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, raw.Height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    for (std::uint32_t y = 0; y < raw.Height; ++y) {
      std::memcpy(line.data(), raw.Rows.data() + y * raw.RowBytes, raw.RowBytes);
      TIFFWriteScanline(tif, line.data(), y, 0);
    }
    TIFFClose(tif);
    benchmark::DoNotOptimize(file.Data.data());
  }
}
BENCHMARK(BM_WriteG4_Libtiff)->Unit(benchmark::kMillisecond);

void BM_WriteG4_TTiffGraphic(benchmark::State& state) {
  TMemoryStream source(PageFile());
  TTiffGraphic page;
  page.LoadFromStream(source);
  page.SetCompression(tcCCITT4);
  for (auto _ : state) {
    TMemoryStream out;
    page.SaveToStream(out);
    benchmark::DoNotOptimize(out.Memory());
  }
}
BENCHMARK(BM_WriteG4_TTiffGraphic)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
