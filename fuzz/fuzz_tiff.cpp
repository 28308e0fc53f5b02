// libFuzzer target: the TIFF reader (count, every page up to three, and a
// save of what was read) and the coded-page reader and writer on arbitrary
// bytes.
#include <tiffio.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "image/TiffGraphic.h"

namespace {

// Pages claiming huge sizes only measure the allocator; skip them.
constexpr std::uint64_t kMaxPixels = 1u << 20;

struct Memory {
  const std::uint8_t* Data;
  std::uint64_t Size;
  std::uint64_t Pos;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<Memory*>(h);
  if (n <= 0 || m->Pos >= m->Size) return 0;
  const std::uint64_t count = std::min<std::uint64_t>(static_cast<std::uint64_t>(n), m->Size - m->Pos);
  std::memcpy(buf, m->Data + m->Pos, count);
  m->Pos += count;
  return static_cast<tmsize_t>(count);
}
tmsize_t MemWrite(thandle_t, void*, tmsize_t) { return -1; }
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<Memory*>(h);
  const std::uint64_t base = whence == SEEK_CUR ? m->Pos : whence == SEEK_END ? m->Size : 0;
  m->Pos = base + off;
  return m->Pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<Memory*>(h)->Size; }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

bool PagesAreSmall(const std::uint8_t* data, std::size_t size) {
  Memory m{data, size, 0};
  TIFF* tif = TIFFClientOpen("fuzz", "r", &m, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
  if (!tif) return true;  // our reader must refuse it on its own
  bool small = true;
  int pages = 0;
  do {
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    if (static_cast<std::uint64_t>(w) * h > kMaxPixels) small = false;
  } while (small && ++pages < 4 && TIFFReadDirectory(tif));
  TIFFClose(tif);
  return small;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!PagesAreSmall(data, size)) return 0;
  TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
  TTiffGraphic graphic;
  graphic.IsValidFormat(stream);
  int pages = 1;
  try {
    pages = graphic.GetImageCount(stream);
  } catch (const std::exception&) {
  }
  for (int page = 1; page <= std::min(pages, 3); ++page) {
    try {
      stream.SetPosition(0);
      graphic.ImageToLoad = page;
      graphic.LoadFromStream(stream);
      TMemoryStream out;
      graphic.SaveToStream(out);
    } catch (const std::exception&) {
    }
  }
  // The same pages as coded data, copied into a new file.
  try {
    TTiffCodedReader reader(stream);
    TMemoryStream copy;
    TTiffPageWriter writer(copy);
    TCodedPage page;
    for (int i = 0; i < std::min(pages, 3); ++i)
      if (reader.Read(i, page)) writer.Write(graphic, &page);
    writer.Finish();
  } catch (const std::exception&) {
  }
  return 0;
}
