#include "image/transforms/NegativeTransform.h"

#include <cstring>
#include <vector>

namespace {

void InvertBytes(std::uint8_t* p, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t v;
    std::memcpy(&v, p + i, 8);
    v = ~v;
    std::memcpy(p + i, &v, 8);
  }
  for (; i < n; ++i) p[i] = static_cast<std::uint8_t>(~p[i]);
}

}  // namespace

void TNegativeTransform::Apply(TDibGraphic& image) {
  Progress(0, 0, 100);
  if (!image.Empty()) {
    switch (image.ImageFormat()) {
      case ifBlackWhite:
      case ifGray16:  // 15 - v is v with its four bits inverted
      case ifGray256:
        InvertBytes(image.Bits(), image.ImageSize());
        break;
      case ifTrueColor:
        for (int y = 0; y < image.Height(); ++y)
          InvertBytes(image.ScanLine(y), static_cast<std::size_t>(image.Width()) * 3);
        break;
      case ifColor16:
      case ifColor256: {
        // The palette only changes through NewImage: rebuild the image with
        // the inverted palette around the same pixels.
        TPalette inverted = image.Palette();
        for (TPaletteEntry& e : inverted) {
          e.Red = static_cast<std::uint8_t>(255 - e.Red);
          e.Green = static_cast<std::uint8_t>(255 - e.Green);
          e.Blue = static_cast<std::uint8_t>(255 - e.Blue);
        }
        TDibGraphic rebuilt;
        rebuilt.NewImage(image.Width(), image.Height(), image.ImageFormat(), &inverted, 0, 0);
        rebuilt.SetXPelsPerMeter(image.XPelsPerMeter());
        rebuilt.SetYPelsPerMeter(image.YPelsPerMeter());
        rebuilt.FrameDelay = image.FrameDelay;
        std::memcpy(rebuilt.Bits(), image.Bits(), image.ImageSize());
        image.Assign(rebuilt);
        break;
      }
    }
  }
  Progress(100, 0, 100);
}

void TNegativeTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
  if (&source != &destination) destination.Assign(source);
  Apply(destination);
}
