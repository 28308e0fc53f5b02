#include "image/TiffEncoder.h"

#include <vector>

#include "image/ImagingErrors.h"

namespace {

enum : std::uint16_t { kShort = 3, kLong = 4 };

struct TDirEntry {
  std::uint16_t Tag;
  std::uint16_t Type;
  std::uint32_t Count;
  std::uint32_t Value;  // value (a SHORT sits in the low half) or an offset
};

void Put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

void TTiffEncoder::Encode(const std::uint8_t* data, std::uint32_t length, TStream& out) const {
  std::uint16_t bitsPerSample = 0;
  std::uint16_t samples = 1;
  int photometric = Photometric;
  const bool ccitt = Compression == 2 || Compression == 3 || Compression == 4;
  switch (BitsPerPixel) {
    case 1:
    case 4:
    case 8:
      bitsPerSample = static_cast<std::uint16_t>(BitsPerPixel);
      if (photometric < 0) photometric = ccitt ? 0 : 1;
      break;
    case 24:
      bitsPerSample = 8;
      samples = 3;
      if (photometric < 0) photometric = 2;
      break;
    default:
      throw EImagingError(FormatMessage("Unsupported bits per pixel, %d", BitsPerPixel));
  }

  const std::uint32_t dataOffset = 8;
  std::uint32_t dirOffset = dataOffset + length;
  dirOffset += dirOffset & 1;

  std::vector<TDirEntry> entries;
  entries.push_back({256, kLong, 1, Width});
  entries.push_back({257, kLong, 1, Height});
  entries.push_back({258, kShort, samples, bitsPerSample});  // fixed up below for 3 samples
  entries.push_back({259, kShort, 1, static_cast<std::uint32_t>(Compression)});
  entries.push_back({262, kShort, 1, static_cast<std::uint32_t>(photometric)});
  entries.push_back({266, kShort, 1, 1});
  entries.push_back({273, kLong, 1, dataOffset});
  entries.push_back({277, kShort, 1, samples});
  entries.push_back({278, kLong, 1, Height});
  entries.push_back({279, kLong, 1, length});
  if (Compression == 3) entries.push_back({292, kLong, 1, T4Options});

  const std::uint32_t dirSize = 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
  const std::uint32_t extraOffset = dirOffset + dirSize;
  if (samples == 3) entries[2].Value = extraOffset;

  std::vector<std::uint8_t> head;
  head.reserve(8);
  head.push_back('I');
  head.push_back('I');
  Put16(head, 42);
  Put32(head, dirOffset);
  out.Write(head.data(), static_cast<std::int64_t>(head.size()));
  if (length > 0) out.Write(data, length);

  std::vector<std::uint8_t> dir;
  if ((dataOffset + length) & 1) dir.push_back(0);
  Put16(dir, static_cast<std::uint16_t>(entries.size()));
  for (const TDirEntry& e : entries) {
    Put16(dir, e.Tag);
    Put16(dir, e.Type);
    Put32(dir, e.Count);
    if (e.Type == kShort && e.Count == 1) {
      Put16(dir, static_cast<std::uint16_t>(e.Value));
      Put16(dir, 0);
    } else {
      Put32(dir, e.Value);
    }
  }
  Put32(dir, 0);  // no further directory
  if (samples == 3)
    for (int i = 0; i < 3; ++i) Put16(dir, bitsPerSample);
  out.Write(dir.data(), static_cast<std::int64_t>(dir.size()));
}
