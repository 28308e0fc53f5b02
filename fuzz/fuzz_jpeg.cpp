// libFuzzer target: the JPEG reader on arbitrary bytes, and a save of what
// was read.
#include <cstdint>
#include <vector>

#include "image/JpegGraphic.h"

namespace {

// Frames claiming huge sizes only measure the allocator; skip them. Any
// start-of-frame pattern anywhere in the data counts.
bool FramesAreSmall(const std::uint8_t* d, std::size_t size) {
  for (std::size_t i = 0; i + 9 <= size; ++i) {
    if (d[i] != 0xFF || d[i + 1] < 0xC0 || d[i + 1] > 0xCF || d[i + 1] == 0xC4 || d[i + 1] == 0xC8 || d[i + 1] == 0xCC)
      continue;
    const std::uint64_t h = (d[i + 5] << 8) | d[i + 6];
    const std::uint64_t w = (d[i + 7] << 8) | d[i + 8];
    if (w * h > (1u << 20)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!FramesAreSmall(data, size)) return 0;
  TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
  TJpegGraphic graphic;
  graphic.IsValidFormat(stream);
  try {
    graphic.LoadFromStream(stream);
    TMemoryStream out;
    graphic.SaveToStream(out);
  } catch (const std::exception&) {
  }
  return 0;
}
