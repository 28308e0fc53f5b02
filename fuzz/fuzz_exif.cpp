// libFuzzer target: the EXIF reader on arbitrary bytes.
#include <cstdint>

#include "image/Exif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TExif exif;
  exif.ReadFromBuffer(data, size);
  return 0;
}
