#include "image/PpmGraphic.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "image/GraphicRegistry.h"

namespace {

[[noreturn]] void Invalid() { throw EImagingError("Not a valid PPM file"); }

bool IsSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// Reads the images of a stream held in memory; every access is bounds-checked.
class TPpmReader {
 public:
  TPpmReader(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}

  std::size_t Position() const { return pos_; }

  // Whitespace and comments; true when only those remain.
  bool AtEnd() {
    SkipSpace();
    return pos_ >= n_;
  }

  bool AtMagic() const { return pos_ + 1 < n_ && p_[pos_] == 'P' && p_[pos_ + 1] >= '1' && p_[pos_ + 1] <= '6'; }

  // Reads one image into target, or only checks and skips it when target is
  // null. progress is called with the number of rows done.
  template <typename Progress>
  void ReadImage(TDibGraphic* target, Progress&& progress) {
    if (!AtMagic()) Invalid();
    const int kind = p_[pos_ + 1] - '0';
    pos_ += 2;
    if (pos_ < n_ && !IsSpace(p_[pos_]) && p_[pos_] != '#') Invalid();
    const auto width = static_cast<int>(Number(INT_MAX));
    const auto height = static_cast<int>(Number(INT_MAX));
    if (width < 1 || height < 1) Invalid();
    const bool bitmap = kind == 1 || kind == 4;
    const std::uint32_t maxval = bitmap ? 1 : Number(65535);
    if (maxval < 1) Invalid();
    const bool binary = kind >= 4;
    if (binary) {
      // Exactly one whitespace character separates the header from the data.
      if (pos_ >= n_ || !IsSpace(p_[pos_])) Invalid();
      ++pos_;
    }
    const int channels = (kind == 3 || kind == 6) ? 3 : 1;
    const std::uint64_t samples = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * channels;
    const std::uint64_t remaining = n_ - pos_;
    const int sampleBytes = maxval > 255 ? 2 : 1;
    const std::uint64_t rowBytes = bitmap ? (static_cast<std::uint64_t>(width) + 7) / 8
                                          : static_cast<std::uint64_t>(width) * channels * sampleBytes;
    // Refuse sizes the data cannot hold before allocating anything: a binary
    // image needs all its bytes, a plain one at least a character per sample.
    if (binary ? rowBytes * static_cast<std::uint64_t>(height) > remaining : samples > remaining) Invalid();

    std::vector<std::uint8_t> scale;
    if (!bitmap) {
      scale.resize(maxval + 1);
      for (std::uint32_t v = 0; v <= maxval; ++v) scale[v] = static_cast<std::uint8_t>((v * 255 + maxval / 2) / maxval);
    }
    if (target) target->NewImage(width, height, bitmap ? ifBlackWhite : channels == 1 ? ifGray256 : ifTrueColor);

    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = target ? target->ScanLine(y) : nullptr;
      switch (kind) {
        case 1:
          for (int x = 0; x < width; ++x) {
            SkipSpace();
            if (pos_ >= n_ || (p_[pos_] != '0' && p_[pos_] != '1')) Invalid();
            // 1 is black in the file, index 0 is black here.
            if (row && p_[pos_] == '0') row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
            ++pos_;
          }
          break;
        case 4:
          if (row)
            for (std::uint64_t i = 0; i < rowBytes; ++i) row[i] = static_cast<std::uint8_t>(~p_[pos_ + i]);
          pos_ += rowBytes;
          break;
        case 2:
        case 3:
          for (int x = 0; x < width; ++x) {
            std::uint8_t c[3];
            for (int k = 0; k < channels; ++k) c[k] = scale[Number(maxval)];
            StorePixel(row, x, channels, c);
          }
          break;
        default: {
          const std::uint8_t* src = p_ + pos_;
          for (int x = 0; x < width; ++x) {
            std::uint8_t c[3];
            for (int k = 0; k < channels; ++k) {
              std::uint32_t v = *src++;
              if (sampleBytes == 2) v = (v << 8) | *src++;
              if (v > maxval) Invalid();
              c[k] = scale[v];
            }
            StorePixel(row, x, channels, c);
          }
          pos_ += rowBytes;
        }
      }
      progress(y + 1, height);
    }
  }

 private:
  static void StorePixel(std::uint8_t* row, int x, int channels, const std::uint8_t* c) {
    if (!row) return;
    if (channels == 1) {
      row[x] = c[0];
    } else {
      std::uint8_t* q = row + 3 * static_cast<std::ptrdiff_t>(x);
      q[0] = c[2];
      q[1] = c[1];
      q[2] = c[0];
    }
  }

  void SkipSpace() {
    while (pos_ < n_) {
      if (IsSpace(p_[pos_])) {
        ++pos_;
      } else if (p_[pos_] == '#') {
        while (pos_ < n_ && p_[pos_] != '\n' && p_[pos_] != '\r') ++pos_;
      } else {
        break;
      }
    }
  }

  // A decimal number not above max, after whitespace and comments.
  std::uint32_t Number(std::uint32_t max) {
    SkipSpace();
    if (pos_ >= n_ || !IsDigit(p_[pos_])) Invalid();
    std::uint64_t v = 0;
    while (pos_ < n_ && IsDigit(p_[pos_])) {
      v = v * 10 + static_cast<std::uint64_t>(p_[pos_] - '0');
      if (v > max) Invalid();
      ++pos_;
    }
    return static_cast<std::uint32_t>(v);
  }

  const std::uint8_t* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
};

std::vector<std::uint8_t> ReadRest(TStream& stream) {
  const std::int64_t size = stream.Size() - stream.Position();
  std::vector<std::uint8_t> data(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
  if (!data.empty())
    data.resize(static_cast<std::size_t>(stream.Read(data.data(), static_cast<std::int64_t>(data.size()))));
  return data;
}

int Luminance(const TPaletteEntry& e) { return (299 * e.Red + 587 * e.Green + 114 * e.Blue + 500) / 1000; }

void WriteText(TStream& stream, const std::string& s) { stream.Write(s.data(), static_cast<std::int64_t>(s.size())); }

std::unique_ptr<TDibGraphic> CreatePpmGraphic() { return std::make_unique<TPpmGraphic>(); }

constexpr TGraphicClass kPpmGraphicClass{"TPpmGraphic", &CreatePpmGraphic};

}  // namespace

std::unique_ptr<TDibGraphic> TPpmGraphic::NewInstance() const { return std::make_unique<TPpmGraphic>(); }

bool TPpmGraphic::IsValidFormat(TStream& stream) {
  const std::int64_t start = stream.Position();
  std::uint8_t magic[2] = {0, 0};
  const std::int64_t got = stream.Read(magic, 2);
  stream.SetPosition(start);
  return got == 2 && magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '6';
}

int TPpmGraphic::GetImageCount(TStream& stream) {
  const std::int64_t start = stream.Position();
  const std::vector<std::uint8_t> data = ReadRest(stream);
  stream.SetPosition(start);
  TPpmReader reader(data.data(), data.size());
  reader.ReadImage(nullptr, [](int, int) {});
  int count = 1;
  // Later images count only while they are whole; trailing bytes that are
  // not an image are ignored.
  while (!reader.AtEnd() && reader.AtMagic()) {
    try {
      reader.ReadImage(nullptr, [](int, int) {});
    } catch (const EImagingError&) {
      break;
    }
    ++count;
  }
  return count;
}

void TPpmGraphic::LoadImageFromStream(TStream& stream, int imageNumber) {
  const std::int64_t start = stream.Position();
  const std::vector<std::uint8_t> data = ReadRest(stream);
  TPpmReader reader(data.data(), data.size());
  for (int k = 1; k < imageNumber; ++k) {
    reader.ReadImage(nullptr, [](int, int) {});
    if (reader.AtEnd()) Invalid();
  }
  int last = Progress(0, 0, -1, 1);
  // Read into a scratch image so that a damaged file leaves this one as it was.
  TDibGraphic loaded;
  reader.ReadImage(&loaded, [&](int done, int total) { last = Progress(done, 0, last, total); });
  Assign(loaded);
  stream.SetPosition(start + static_cast<std::int64_t>(reader.Position()));
}

void TPpmGraphic::SaveToStream(TStream& stream) {
  if (Empty()) throw EImagingError("Graphic is empty");
  const int width = Width(), height = Height();
  const TImageFormat format = ImageFormat();
  const TPalette& pal = Palette();
  auto colorOf = [&](int index) -> TPaletteEntry {
    return index < static_cast<int>(pal.size()) ? pal[static_cast<std::size_t>(index)] : TPaletteEntry{};
  };
  const std::string size = std::to_string(width) + " " + std::to_string(height) + "\n";
  std::vector<std::uint8_t> out;
  int last = Progress(0, 0, -1, height);

  if (format == ifBlackWhite) {
    WriteText(stream, "P4\n" + size);
    // A 1 in the file is black: invert when index 0 is the darker colour.
    const bool invert = Luminance(colorOf(0)) <= Luminance(colorOf(1));
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;
    const auto tailMask = static_cast<std::uint8_t>(0xFF << ((8 - width % 8) % 8));
    out.resize(rowBytes);
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = ScanLine(y);
      for (std::size_t i = 0; i < rowBytes; ++i) out[i] = invert ? static_cast<std::uint8_t>(~row[i]) : row[i];
      out[rowBytes - 1] &= tailMask;
      stream.Write(out.data(), static_cast<std::int64_t>(rowBytes));
      last = Progress(y + 1, 0, last, height);
    }
    return;
  }

  const bool grey = format == ifGray16 || format == ifGray256;
  WriteText(stream, std::string(grey ? "P5\n" : "P6\n") + size + "255\n");
  const int channels = grey ? 1 : 3;
  out.resize(static_cast<std::size_t>(width) * channels);
  std::array<std::uint8_t, 256> greyOf{};
  for (int i = 0; i < 256; ++i) greyOf[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(Luminance(colorOf(i)));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = ScanLine(y);
    for (int x = 0; x < width; ++x) {
      if (format == ifTrueColor) {
        const std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
        out[3 * static_cast<std::size_t>(x)] = p[2];
        out[3 * static_cast<std::size_t>(x) + 1] = p[1];
        out[3 * static_cast<std::size_t>(x) + 2] = p[0];
        continue;
      }
      const int index =
          (format == ifGray16 || format == ifColor16) ? ((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4)) : row[x];
      if (grey) {
        out[static_cast<std::size_t>(x)] = greyOf[static_cast<std::size_t>(index)];
      } else {
        const TPaletteEntry e = colorOf(index);
        out[3 * static_cast<std::size_t>(x)] = e.Red;
        out[3 * static_cast<std::size_t>(x) + 1] = e.Green;
        out[3 * static_cast<std::size_t>(x) + 2] = e.Blue;
      }
    }
    stream.Write(out.data(), static_cast<std::int64_t>(out.size()));
    last = Progress(y + 1, 0, last, height);
  }
}

void RegisterPpmFormat() {
  RegisterFileFormat("PPM", "Portable Pixelmap", &kPpmGraphicClass);
  RegisterFileFormat("PGM", "Portable Greymap", &kPpmGraphicClass);
  RegisterFileFormat("PBM", "Portable Bitmap", &kPpmGraphicClass);
}
