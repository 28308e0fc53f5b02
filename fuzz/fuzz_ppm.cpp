// Feeds arbitrary bytes to the PPM reader; whatever loads must save and load
// back to the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/PpmGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream input(std::vector<std::uint8_t>(data, data + size));
  TPpmGraphic image;
  try {
    image.LoadFromStream(input);
  } catch (const EImagingError&) {
    return 0;
  }
  TMemoryStream saved;
  image.SaveToStream(saved);
  saved.SetPosition(0);
  TPpmGraphic again;
  again.LoadFromStream(saved);
  if (again.Width() != image.Width() || again.Height() != image.Height() || again.ImageFormat() != image.ImageFormat())
    std::abort();
  return 0;
}
