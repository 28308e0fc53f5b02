#include "image/Exif.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Bounded view of the TIFF structure inside the APP1 segment. Every fetch
// checks its range; out-of-range fetches yield nothing.
class TiffView {
 public:
  TiffView(const std::uint8_t* data, std::size_t size, bool bigEndian)
      : data_(data), size_(size), bigEndian_(bigEndian) {}

  bool Has(std::size_t offset, std::size_t count) const { return offset <= size_ && count <= size_ - offset; }
  bool U16(std::size_t offset, std::uint32_t& value) const {
    if (!Has(offset, 2)) return false;
    const std::uint8_t* p = data_ + offset;
    value = bigEndian_ ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0];
    return true;
  }
  bool U32(std::size_t offset, std::uint32_t& value) const {
    if (!Has(offset, 4)) return false;
    const std::uint8_t* p = data_ + offset;
    value = bigEndian_ ? (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3]
                       : (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
    return true;
  }
  const std::uint8_t* At(std::size_t offset) const { return data_ + offset; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  bool bigEndian_;
};

struct Entry {
  std::uint32_t Tag = 0;
  std::uint32_t Type = 0;
  std::uint32_t Count = 0;
  std::size_t ValueOffset = 0;  // where the value itself lies
};

std::size_t TypeSize(std::uint32_t type) {
  switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
      return 1;  // byte, ascii, sbyte, undefined
    case 3:
    case 8:
      return 2;  // short, sshort
    case 4:
    case 9:
    case 11:
      return 4;  // long, slong, float
    case 5:
    case 10:
    case 12:
      return 8;  // rational, srational, double
    default:
      return 0;
  }
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

// Text of an entry: up to its count or the first zero byte.
std::string Text(const TiffView& view, const Entry& e) {
  std::size_t n = e.Count;
  if (!view.Has(e.ValueOffset, n)) return {};
  const auto* p = reinterpret_cast<const char*>(view.At(e.ValueOffset));
  const void* zero = std::memchr(p, 0, n);
  if (zero) n = static_cast<std::size_t>(static_cast<const char*>(zero) - p);
  return TrimRight(std::string(p, n));
}

bool Short(const TiffView& view, const Entry& e, std::uint32_t& value) {
  if (e.Type == 3 || e.Type == 8) return view.U16(e.ValueOffset, value);
  if (e.Type == 4 || e.Type == 9) return view.U32(e.ValueOffset, value);
  if (e.Type == 1 || e.Type == 7) {
    if (!view.Has(e.ValueOffset, 1)) return false;
    value = *view.At(e.ValueOffset);
    return true;
  }
  return false;
}

bool Rational(const TiffView& view, const Entry& e, double& value, bool& valid) {
  std::uint32_t num = 0, den = 0;
  valid = false;
  if (!view.U32(e.ValueOffset, num) || !view.U32(e.ValueOffset + 4, den)) return false;
  if (e.Type == 10) {
    const auto sn = static_cast<std::int32_t>(num);
    const auto sd = static_cast<std::int32_t>(den);
    if (sd == 0) return true;
    value = static_cast<double>(sn) / sd;
  } else {
    if (den == 0) return true;
    value = static_cast<double>(num) / den;
  }
  valid = true;
  return true;
}

int WholeRational(const TiffView& view, const Entry& e) {
  std::uint32_t num = 0, den = 0;
  if (!view.U32(e.ValueOffset, num) || !view.U32(e.ValueOffset + 4, den) || den == 0) return 0;
  const std::uint32_t v = num / den;
  return v > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(v);
}

std::string Fixed(double v, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

}  // namespace

const char* TExif::OrientationName(int value) {
  static const char* const names[] = {"Normal",
                                      "Mirrored",
                                      "Rotated 180",
                                      "Rotated 180, mirrored",
                                      "Rotated 90 left, mirrored",
                                      "Rotated 90 right",
                                      "Rotated 90 right, mirrored",
                                      "Rotated 90 left"};
  return value >= 1 && value <= 8 ? names[value - 1] : "Unknown";
}

const char* TExif::LightSourceName(int value) {
  switch (value) {
    case 0:
      return "Unknown";
    case 1:
      return "Daylight";
    case 2:
      return "Flourescent";
    case 3:
      return "Tungsten";
    case 4:
      return "Flash";
    case 17:
      return "Standard Light A";
    case 18:
      return "Standard Light B";
    case 19:
      return "Standard Light C";
    case 20:
      return "D55";
    case 21:
      return "D65";
    case 22:
      return "D75";
    case 255:
      return "Other";
    default:
      return "Unknown";
  }
}

const char* TExif::FlashName(int value) {
  if ((value & 1) == 0) return "No Flash";
  if (((value >> 3) & 3) == 3) return "Flash (Auto)";
  if (((value >> 1) & 3) == 2) return "Flash No Strobe";
  return "Flash Strobe";
}

void TExif::Clear() { *this = TExif{}; }

void TExif::ReadFromFile(const std::string& fileName) {
  std::unique_ptr<TFileStream> file;
  try {
    file = std::make_unique<TFileStream>(fileName, TFileMode::fmOpenRead);
  } catch (...) {
    return;  // no file, nothing to read
  }
  ReadFromStream(*file);
}

void TExif::ReadFromStream(TStream& stream) {
  Clear();
  try {
    stream.SetPosition(0);
    std::uint8_t head[2];
    if (stream.Read(head, 2) != 2 || head[0] != 0xFF || head[1] != 0xD8) return;
    // Walk the marker segments up to the image data looking for APP1 "Exif".
    for (int segments = 0; segments < 1000; ++segments) {
      std::uint8_t marker[4];
      if (stream.Read(marker, 4) != 4 || marker[0] != 0xFF) return;
      // Fill bytes before a marker.
      while (marker[1] == 0xFF) {
        marker[1] = marker[2];
        marker[2] = marker[3];
        if (stream.Read(marker + 3, 1) != 1) return;
      }
      const int code = marker[1];
      if (code == 0xDA || code == 0xD9) return;  // image data or end: no EXIF
      const int length = (marker[2] << 8) | marker[3];
      if (length < 2) return;
      const std::int64_t payload = length - 2;
      if (code == 0xE1 && payload >= 6) {
        std::vector<std::uint8_t> data(static_cast<std::size_t>(payload));
        const std::int64_t got = stream.Read(data.data(), payload);
        data.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, got)));
        if (data.size() >= 6 && std::memcmp(data.data(), "Exif\0\0", 6) == 0) {
          ExifPresent = true;
          ParseTiff(data.data() + 6, data.size() - 6);
          return;
        }
        if (got != payload) return;
      } else {
        stream.Seek(payload, TSeekOrigin::soCurrent);
        if (stream.Position() > stream.Size()) return;
      }
    }
  } catch (...) {
    // A stream that fails mid-way leaves what was read so far.
  }
}

void TExif::ReadFromBuffer(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> copy(data, data + size);
  TMemoryStream stream(std::move(copy));
  ReadFromStream(stream);
}

void TExif::ParseTiff(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return;
  const bool bigEndian = data[0] == 'M' && data[1] == 'M';
  const TiffView view(data, size, bigEndian);
  std::uint32_t first = 0;
  if (!view.U32(4, first)) return;

  auto readEntry = [&](std::size_t at, Entry& e) {
    std::uint32_t tag = 0, type = 0, count = 0;
    if (!view.U16(at, tag) || !view.U16(at + 2, type) || !view.U32(at + 4, count)) return false;
    e.Tag = tag;
    e.Type = type;
    e.Count = count;
    const std::size_t unit = TypeSize(type);
    const std::uint64_t bytes = static_cast<std::uint64_t>(unit) * count;
    if (bytes <= 4) {
      e.ValueOffset = at + 8;
    } else {
      std::uint32_t offset = 0;
      if (!view.U32(at + 8, offset)) return false;
      e.ValueOffset = offset;
    }
    return true;
  };

  std::uint32_t exifDirectory = 0;
  auto readDirectory = [&](std::uint32_t offset, bool main) {
    std::uint32_t count = 0;
    if (!view.U16(offset, count)) return;
    if (count == 0) count = 100;
    for (std::uint32_t i = 0; i < count; ++i) {
      Entry e;
      if (!readEntry(offset + 2 + static_cast<std::size_t>(i) * 12, e)) return;
      if (e.Tag == 0) return;
      std::uint32_t v = 0;
      double r = 0;
      bool valid = false;
      if (main) {
        switch (e.Tag) {
          case 270:
            ImageDescription = Text(view, e);
            break;
          case 271:
            Make = Text(view, e);
            break;
          case 272:
            Model = Text(view, e);
            break;
          case 305:
            Software = Text(view, e);
            break;
          case 306:
            DateTime = Text(view, e);
            break;
          case 315:
            Artist = Text(view, e);
            break;
          case 33432:
            Copyright = Text(view, e);
            break;
          case 274:
            if (Short(view, e, v)) {
              Orientation = static_cast<int>(v);
              OrientationText = OrientationName(Orientation);
            }
            break;
          case 282:
            XResolution = WholeRational(view, e);
            break;
          case 283:
            YResolution = WholeRational(view, e);
            break;
          case 34665:
            if (Short(view, e, v)) exifDirectory = v;
            break;
          default:
            break;
        }
      } else {
        switch (e.Tag) {
          case 33434:  // exposure time
            if (Rational(view, e, r, valid) && valid && r > 0)
              ExposureTime =
                  r >= 1 ? "1 seconds" : "1/" + std::to_string(static_cast<long>(std::lround(1 / r))) + " seconds";
            break;
          case 33437:  // F number
            if (Rational(view, e, r, valid) && valid) Aperture = "F" + Fixed(r, 1);
            break;
          case 34855:
            if (Short(view, e, v)) IsoSpeed = static_cast<int>(v);
            break;
          case 36864:
            if (view.Has(e.ValueOffset, 4))
              ExifVersion.assign(reinterpret_cast<const char*>(view.At(e.ValueOffset)), 4);
            break;
          case 36867:
            DateTimeOriginal = Text(view, e);
            break;
          case 36868:
            DateTimeDigitized = Text(view, e);
            break;
          case 37380:  // exposure bias
            if (Rational(view, e, r, valid) && valid) ExposureBias = (r > 0 ? "+" : "") + Fixed(r, 1);
            break;
          case 37384:
            if (Short(view, e, v)) {
              LightSource = static_cast<int>(v);
              LightSourceText = LightSourceName(LightSource);
            }
            break;
          case 37385:
            if (Short(view, e, v)) {
              Flash = static_cast<int>(v);
              FlashText = FlashName(Flash);
            }
            break;
          case 37386:
            if (Rational(view, e, r, valid) && valid) FocalLength = Fixed(r, 1) + " mm";
            break;
          case 37510:  // user comment: 8 bytes of character code, then the text
            if (e.Count > 8 && view.Has(e.ValueOffset, e.Count)) {
              Entry text = e;
              text.ValueOffset += 8;
              text.Count -= 8;
              UserComment = Text(view, text);
            }
            break;
          default:
            break;
        }
      }
    }
  };

  readDirectory(first, true);
  if (exifDirectory != 0 && exifDirectory != first) readDirectory(exifDirectory, false);
}
