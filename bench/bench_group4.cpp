// Decoding the Group 4 strip of the reference A4 page: our decoder beside
// libtiff's scanline loop over the same file in memory.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/Group4Decoder.h"

namespace {

struct MemoryFile {
  const std::vector<std::uint8_t>* Data;
  std::uint64_t Pos = 0;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<MemoryFile*>(h);
  if (n <= 0 || m->Pos >= m->Data->size()) return 0;
  const std::uint64_t count = std::min<std::uint64_t>(static_cast<std::uint64_t>(n), m->Data->size() - m->Pos);
  std::memcpy(buf, m->Data->data() + m->Pos, count);
  m->Pos += count;
  return static_cast<tmsize_t>(count);
}
tmsize_t MemWrite(thandle_t, void*, tmsize_t) { return -1; }
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<MemoryFile*>(h);
  const std::uint64_t base = whence == SEEK_CUR ? m->Pos : whence == SEEK_END ? m->Data->size() : 0;
  m->Pos = base + off;
  return m->Pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemoryFile*>(h)->Data->size(); }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

TIFF* OpenMemory(MemoryFile& file) {
  TIFF* tif = TIFFClientOpen("bench", "r", &file, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
  if (!tif) throw std::runtime_error("TIFFClientOpen failed");
  return tif;
}

struct Page {
  std::vector<std::uint8_t> File;   // the whole TIFF file
  std::vector<std::uint8_t> Strip;  // its one Group 4 strip
  int Width = 0, Height = 0;
};

const Page& ReferencePage(const char* name) {
  static std::map<std::string, Page> pages;
  Page& page = pages[name];
  if (page.File.empty()) {
    const std::string path = std::string(VELTRAX_SHARED_DIR) + "/testdata/bench/" + name;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw std::runtime_error("cannot open " + path);
    std::uint8_t buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) page.File.insert(page.File.end(), buf, buf + n);
    std::fclose(f);
    MemoryFile file{&page.File};
    TIFF* tif = OpenMemory(file);
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    page.Width = static_cast<int>(w);
    page.Height = static_cast<int>(h);
    page.Strip.resize(static_cast<std::size_t>(TIFFGetStrileByteCount(tif, 0)));
    TIFFReadRawStrip(tif, 0, page.Strip.data(), static_cast<tmsize_t>(page.Strip.size()));
    TIFFClose(tif);
  }
  return page;
}

void BM_Group4_Ours(benchmark::State& state, const char* name) {
  const Page& page = ReferencePage(name);
  const int rowBytes = (page.Width + 7) / 8;
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(rowBytes) * page.Height);
  for (auto _ : state) {
    if (!DecodeGroup4(page.Strip.data(), page.Strip.size(), page.Width, page.Height, rows.data(), rowBytes, false))
      state.SkipWithError("decoder refused the page");
    benchmark::DoNotOptimize(rows.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK_CAPTURE(BM_Group4_Ours, a4_feyn, "a4-feyn.tif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Group4_Ours, a4_feyn_skew, "a4-feyn-skew.tif")->Unit(benchmark::kMillisecond);

void BM_Group4_LibtiffScanlines(benchmark::State& state, const char* name) {
  const Page& page = ReferencePage(name);
  TIFFSetWarningHandler(nullptr);
  const int rowBytes = (page.Width + 7) / 8;
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(rowBytes) * page.Height);
  for (auto _ : state) {
    MemoryFile file{&page.File};
    TIFF* tif = OpenMemory(file);
    for (int y = 0; y < page.Height; ++y)
      TIFFReadScanline(tif, rows.data() + static_cast<std::size_t>(y) * rowBytes, static_cast<std::uint32_t>(y));
    TIFFClose(tif);
    benchmark::DoNotOptimize(rows.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK_CAPTURE(BM_Group4_LibtiffScanlines, a4_feyn, "a4-feyn.tif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Group4_LibtiffScanlines, a4_feyn_skew, "a4-feyn-skew.tif")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
