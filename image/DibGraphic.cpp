#include "image/DibGraphic.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image/Canvas.h"
#include "image/ImagingHooks.h"

namespace {

// Larger pixel buffers are refused as out of resources: no page of this
// program comes near it, and damaged files must not exhaust memory.
constexpr std::size_t kMaxImageBytes = std::size_t{2} << 30;

TPalette MakeGreyPalette(int count, int step) {
  TPalette p(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    auto v = static_cast<std::uint8_t>(i * step);
    p[static_cast<std::size_t>(i)] = {v, v, v, 0};
  }
  return p;
}

constexpr std::uint32_t kVga16[16] = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
                                      0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};

TPaletteEntry EntryOf(std::uint32_t rgb) {
  return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb), 0};
}

std::uint8_t Widen6(int c) { return static_cast<std::uint8_t>(c * 4 + c / 16); }

TPalette MakeVga16() {
  TPalette p;
  for (auto c : kVga16) p.push_back(EntryOf(c));
  return p;
}

// The VGA default 256-colour palette: 16 text colours, 16 greys, 9 groups of
// 24 hues (3 brightness x 3 saturation levels), 8 blacks.
TPalette MakeVga256() {
  TPalette p = MakeVga16();
  constexpr int greys[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};
  for (int g : greys) p.push_back({Widen6(g), Widen6(g), Widen6(g), 0});
  constexpr int levels[9][5] = {{0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63},
                                {0, 7, 14, 21, 28},  {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
                                {0, 4, 8, 12, 16},   {8, 10, 12, 14, 16},  {11, 12, 13, 15, 16}};
  constexpr int hueR[24] = {0, 1, 2, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  constexpr int hueG[24] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 2, 1};
  constexpr int hueB[24] = {4, 4, 4, 4, 4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 4, 4, 4};
  for (const auto& l : levels)
    for (int h = 0; h < 24; ++h) p.push_back({Widen6(l[hueR[h]]), Widen6(l[hueG[h]]), Widen6(l[hueB[h]]), 0});
  for (int i = 0; i < 8; ++i) p.push_back({0, 0, 0, 0});
  return p;
}

}  // namespace

const char* ImageFormatText(TImageFormat format) {
  switch (format) {
    case ifBlackWhite:
      return "Black and white";
    case ifGray16:
      return "16 shades of gray";
    case ifGray256:
      return "256 shades of gray";
    case ifColor16:
      return "16 color";
    case ifColor256:
      return "256 color";
    case ifTrueColor:
      return "True color";
  }
  throw EImagingError("Internal error: Invalid image format");
}

int BitsPerPixel(TImageFormat format) {
  switch (format) {
    case ifBlackWhite:
      return 1;
    case ifGray16:
    case ifColor16:
      return 4;
    case ifGray256:
    case ifColor256:
      return 8;
    case ifTrueColor:
      return 24;
  }
  throw EImagingError("Internal error: Invalid image format");
}

TImageFormat ImageFormatFromBitCount(int bitCount) {
  switch (bitCount) {
    case 1:
      return ifBlackWhite;
    case 4:
      return ifColor16;
    case 8:
      return ifColor256;
    case 16:
    case 24:
    case 32:
      return ifTrueColor;
    default:
      throw EImagingError("Unsupported bit count");
  }
}

int BytesPerScanLineFor(int width, int bitsPerPixel) {
  return static_cast<int>(((static_cast<std::int64_t>(width) * bitsPerPixel + 31) & ~std::int64_t{31}) / 8);
}

const TPalette& DefaultPalette(TImageFormat format) {
  static const TPalette bw = MakeGreyPalette(2, 255);
  static const TPalette g16 = MakeGreyPalette(16, 17);
  static const TPalette g256 = MakeGreyPalette(256, 1);
  static const TPalette c16 = MakeVga16();
  static const TPalette c256 = MakeVga256();
  static const TPalette none;
  switch (format) {
    case ifBlackWhite:
      return bw;
    case ifGray16:
      return g16;
    case ifGray256:
      return g256;
    case ifColor16:
      return c16;
    case ifColor256:
      return c256;
    case ifTrueColor:
      return none;
  }
  throw EImagingError("Internal error: Invalid image format");
}

int DpiToPelsPerMeter(int dpi) { return static_cast<int>(std::nearbyint(dpi * 39.37007874015748)); }

int PelsPerMeterToDpi(int ppm) { return static_cast<int>(std::nearbyint(ppm / 39.37007874015748)); }

int ReportProgress(TDibGraphic* sender, std::int64_t current, std::int64_t min, int lastPercent, std::int64_t max,
                   const TImageProgressEvent& event) {
  if (!event) return 0;
  int percent = 0;
  if (max > min) percent = static_cast<int>(std::clamp<std::int64_t>((current - min) * 100 / (max - min), 0, 100));
  if (percent != lastPercent) event(sender, static_cast<std::uint8_t>(percent));
  return percent;
}

// --- TRgbToPaletteConverter -------------------------------------------------

TRgbToPaletteConverter::TRgbToPaletteConverter(const TPalette* palette) : palette_(palette), cache_(CacheSlots) {}

int TRgbToPaletteConverter::PaletteIndex(TColor32 color) {
  Slot& slot = cache_[color % CacheSlots];
  if (slot.Index >= 0 && slot.Color == color) {
    ++hits_;
    return slot.Index;
  }
  ++misses_;
  int best = 0;
  if (palette_ && !palette_->empty()) {
    const int r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
    int bestDistance = 0x7FFFFFFF;
    for (std::size_t i = 0; i < palette_->size(); ++i) {
      const TPaletteEntry& e = (*palette_)[i];
      int dr = e.Red - r, dg = e.Green - g, db = e.Blue - b;
      int d = dr * dr + dg * dg + db * db;
      if (d < bestDistance) {
        bestDistance = d;
        best = static_cast<int>(i);
        if (d == 0) break;
      }
    }
  }
  slot.Color = color;
  slot.Index = static_cast<std::int16_t>(best);
  return best;
}

// --- TDibGraphic ------------------------------------------------------------

TDibGraphic::TDibGraphic() = default;
TDibGraphic::~TDibGraphic() = default;

std::unique_ptr<TDibGraphic> TDibGraphic::NewInstance() const { return std::make_unique<TDibGraphic>(); }

void TDibGraphic::Clear() {
  buffer_.reset();
  bits_ = nullptr;
  width_ = height_ = stride_ = 0;
  format_ = ifBlackWhite;
  palette_.clear();
  converter_.reset();
  canvas_.reset();
  xPelsPerMeter_ = yPelsPerMeter_ = 0;
}

void TDibGraphic::NewImage(int width, int height, TImageFormat format, const TPalette* palette, int xDpi, int yDpi) {
  // Validate before releasing: the palette may be our own.
  const int bpp = BitsPerPixel(format);
  TPalette newPalette;
  if (format != ifTrueColor) {
    newPalette = (palette && !palette->empty()) ? *palette : DefaultPalette(format);
    if (newPalette.size() > 256) newPalette.resize(256);
  }
  Clear();
  if (width <= 0 || height <= 0) throw EImagingError("Out of resources");
  const int stride = BytesPerScanLineFor(width, bpp);
  const std::size_t size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
  if (size / static_cast<std::size_t>(height) != static_cast<std::size_t>(stride) || size > kMaxImageBytes)
    throw EImagingError("Out of resources");
  buffer_ = MakePixelBuffer(size);
  if (!buffer_) throw EImagingError("Out of resources");
  std::uint8_t* p = buffer_.get();
  bits_ = p;
  width_ = width;
  height_ = height;
  stride_ = stride;
  format_ = format;
  palette_ = std::move(newPalette);
  if (format != ifTrueColor) converter_ = std::make_unique<TRgbToPaletteConverter>(&palette_);
  SetXDotsPerInch(xDpi != 0 ? xDpi : ImagingHooks().ScreenDpiX);
  SetYDotsPerInch(yDpi != 0 ? yDpi : ImagingHooks().ScreenDpiY);
  ImageCreated();
}

void TDibGraphic::Assign(const TDibGraphic& source) {
  if (&source == this) return;
  if (source.Empty()) {
    Clear();
    return;
  }
  NewImage(source.width_, source.height_, source.format_, &source.palette_, 0, 0);
  xPelsPerMeter_ = source.xPelsPerMeter_;
  yPelsPerMeter_ = source.yPelsPerMeter_;
  FrameDelay = source.FrameDelay;
  std::memcpy(bits_, source.bits_, ImageSize());
}

void TDibGraphic::SetWidth(int) { throw EImagingError("Dimensions must be change with the NewImage method"); }
void TDibGraphic::SetHeight(int) { throw EImagingError("Dimensions must be change with the NewImage method"); }

TColor32 TDibGraphic::GetPixel(int x, int y) const {
  if (format_ == ifTrueColor) {
    const std::uint8_t* p = ScanLine(y) + 3 * static_cast<std::ptrdiff_t>(x);
    return RgbColor(p[2], p[1], p[0]);
  }
  const int index = GetPixelIndex(x, y);
  if (index >= static_cast<int>(palette_.size())) return 0;
  const TPaletteEntry& e = palette_[static_cast<std::size_t>(index)];
  return RgbColor(e.Red, e.Green, e.Blue);
}

void TDibGraphic::SetPixel(int x, int y, TColor32 color) {
  if (format_ == ifTrueColor) {
    std::uint8_t* p = ScanLine(y) + 3 * static_cast<std::ptrdiff_t>(x);
    p[0] = static_cast<std::uint8_t>(BlueOf(color));
    p[1] = static_cast<std::uint8_t>(GreenOf(color));
    p[2] = static_cast<std::uint8_t>(RedOf(color));
    return;
  }
  SetPixelIndex(x, y, converter_->PaletteIndex(color));
}

int TDibGraphic::GetPixelIndex(int x, int y) const {
  const std::uint8_t* row = ScanLine(y);
  switch (format_) {
    case ifBlackWhite:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case ifGray16:
    case ifColor16:
      return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    case ifGray256:
    case ifColor256:
      return row[x];
    case ifTrueColor:
      break;
  }
  throw EImagingError("The image does not have a palette");
}

void TDibGraphic::SetPixelIndex(int x, int y, int index) {
  std::uint8_t* row = ScanLine(y);
  switch (format_) {
    case ifBlackWhite: {
      const auto mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
      if (index & 1)
        row[x >> 3] |= mask;
      else
        row[x >> 3] &= static_cast<std::uint8_t>(~mask);
      return;
    }
    case ifGray16:
    case ifColor16: {
      std::uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (index & 0x0F))
                  : static_cast<std::uint8_t>((b & 0x0F) | ((index & 0x0F) << 4));
      return;
    }
    case ifGray256:
    case ifColor256:
      row[x] = static_cast<std::uint8_t>(index);
      return;
    case ifTrueColor:
      break;
  }
  throw EImagingError("The image does not have a palette");
}

int TDibGraphic::NearestPaletteIndex(TColor32 color) {
  if (format_ == ifTrueColor || !converter_) throw EImagingError("The image does not have a palette");
  return converter_->PaletteIndex(color);
}

int TDibGraphic::XDotsPerInch() const { return PelsPerMeterToDpi(xPelsPerMeter_); }
int TDibGraphic::YDotsPerInch() const { return PelsPerMeterToDpi(yPelsPerMeter_); }
void TDibGraphic::SetXDotsPerInch(int dpi) { xPelsPerMeter_ = DpiToPelsPerMeter(std::clamp(dpi, 0, 65535)); }
void TDibGraphic::SetYDotsPerInch(int dpi) { yPelsPerMeter_ = DpiToPelsPerMeter(std::clamp(dpi, 0, 65535)); }

TCanvas& TDibGraphic::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TCanvas>(*this);
  return *canvas_;
}

// --- frames -----------------------------------------------------------------

TDibGraphic& TDibGraphic::Frame(int n) {
  if (n < 1 || n > FrameCount()) throw EImagingError(FormatMessage("Frame %d does not exist", n));
  return *frames_[static_cast<std::size_t>(n - 1)];
}

const TDibGraphic& TDibGraphic::Frame(int n) const {
  if (n < 1 || n > FrameCount()) throw EImagingError(FormatMessage("Frame %d does not exist", n));
  return *frames_[static_cast<std::size_t>(n - 1)];
}

void TDibGraphic::SelectFrame(int n) {
  TDibGraphic& frame = Frame(n);
  Assign(frame);
  currentFrame_ = n;
  Changed();
}

void TDibGraphic::AddFrame(std::unique_ptr<TDibGraphic> frame) { frames_.push_back(std::move(frame)); }

void TDibGraphic::ClearFrames() {
  frames_.clear();
  currentFrame_ = -1;
}

void TDibGraphic::Changed() {
  if (OnChange) OnChange(this);
}

// --- streams ------------------------------------------------------------------

void TDibGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, TFileMode::fmOpenRead);
  LoadFromStream(stream);
}

void TDibGraphic::SaveToFile(const std::string& fileName) {
  TFileStream stream(fileName, TFileMode::fmCreate);
  SaveToStream(stream);
}

void TDibGraphic::LoadFromStream(TStream& stream) {
  const bool animate = Animate;
  Animate = false;
  struct RestoreAnimate {
    TDibGraphic& g;
    bool value;
    ~RestoreAnimate() { g.Animate = value; }
  } restore{*this, animate};

  if (LoadAllFrames) {
    const std::int64_t start = stream.Position();
    const int count = GetImageCount(stream);
    stream.SetPosition(start);
    if (count == 1) {
      LoadAllFrames = false;
    } else {
      ClearFrames();
      for (int k = 1; k <= count; ++k) {
        auto frame = NewInstance();
        stream.SetPosition(start);
        frame->LoadImageFromStream(stream, k);
        frames_.push_back(std::move(frame));
      }
      SelectFrame(1);
      return;
    }
  }
  LoadImageFromStream(stream, ImageToLoad);
}

void TDibGraphic::SaveToStream(TStream&) {}

bool TDibGraphic::IsValidFormat(TStream&) { return false; }

int TDibGraphic::GetImageCount(TStream&) { return 1; }

void TDibGraphic::LoadImageFromStream(TStream&, int) {}

void TDibGraphic::AppendToStream(TStream&) {
  throw EImagingError(FormatMessage("The %s format does not support multiple images", ClassName()));
}

void TDibGraphic::AppendToFile(const std::string& fileName) {
  TFileStream stream(fileName, TFileMode::fmOpenReadWrite);
  AppendToStream(stream);
}

TColor32 TDibGraphic::TransparentColorInUse() const {
  switch (TransparentPixel) {
    case 0:
      return GetPixel(0, 0);
    case 1:
      return GetPixel(width_ - 1, 0);
    case 2:
      return GetPixel(0, height_ - 1);
    case 3:
      return GetPixel(width_ - 1, height_ - 1);
    case 4:
      return TransparentColor;
    default:
      throw EImagingError("Invalid TransparentPixel");
  }
}

int TDibGraphic::Progress(std::int64_t current, std::int64_t min, int lastPercent, std::int64_t max) {
  return ReportProgress(this, current, min, lastPercent, max, OnProgress);
}
