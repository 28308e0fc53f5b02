// TDibGraphic: the one in-memory raster page of the program.
//
// Layout rules every pixel routine relies on:
//  - the buffer is bottom-up: ScanLine(y) = start + (Height - 1 - y) * stride,
//    so row 0 (the top) lies at the highest address;
//  - stride (BytesPerScanLine) pads every row to a multiple of 4 bytes;
//  - 1 bit per pixel is packed most significant bit first; 4 bits: the high
//    nibble is the even pixel; 8 bits: a palette index; 24 bits: B, G, R;
//  - in a 1-bit page index 0 is black (ink) and 1 is white (paper);
//  - colours are exchanged as 0x00RRGGBB.
//
// File formats derive from TDibGraphic and override the five stream
// operations (IsValidFormat, GetImageCount, LoadImageFromStream,
// SaveToStream, AppendToStream). Failures are thrown as EImagingError (or a
// format's own exception), never returned.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/ImagingErrors.h"
#include "image/ImagingTypes.h"
#include "image/PixelMemory.h"
#include "image/Stream.h"

enum TImageFormat : std::uint8_t {
  ifBlackWhite = 0,
  ifGray16 = 1,
  ifGray256 = 2,
  ifColor16 = 3,
  ifColor256 = 4,
  ifTrueColor = 5
};

// "Black and white", "16 shades of gray", ...; throws
// "Internal error: Invalid image format" for other values.
const char* ImageFormatText(TImageFormat format);
int BitsPerPixel(TImageFormat format);
// 1 -> ifBlackWhite, 4 -> ifColor16, 8 -> ifColor256, 16/24/32 -> ifTrueColor;
// any other count throws "Unsupported bit count".
TImageFormat ImageFormatFromBitCount(int bitCount);
// Row size in bytes, padded to 4 bytes.
int BytesPerScanLineFor(int width, int bitsPerPixel);

struct TPaletteEntry {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
  std::uint8_t Flags = 0;
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};
using TPalette = std::vector<TPaletteEntry>;

// The palette NewImage installs for a format when none is given (empty for
// ifTrueColor).
const TPalette& DefaultPalette(TImageFormat format);

// Nearest palette index of a colour, with a 1020-slot cache keyed by
// colour mod 1020. Ties go to the lowest index.
class TRgbToPaletteConverter {
 public:
  explicit TRgbToPaletteConverter(const TPalette* palette);
  int PaletteIndex(TColor32 color);
  std::uint32_t Hits() const { return hits_; }
  std::uint32_t Misses() const { return misses_; }

  static constexpr int CacheSlots = 1020;

 private:
  struct Slot {
    TColor32 Color = 0;
    std::int16_t Index = -1;
  };
  const TPalette* palette_;
  std::vector<Slot> cache_;
  std::uint32_t hits_ = 0;
  std::uint32_t misses_ = 0;
};

class TDibGraphic;
class TCanvas;

// Sender, percent 0..100.
using TImageProgressEvent = std::function<void(TDibGraphic* sender, std::uint8_t percent)>;
using TNotifyEvent = std::function<void(TDibGraphic* sender)>;

class TDibGraphic {
 public:
  TDibGraphic();
  virtual ~TDibGraphic();
  TDibGraphic(const TDibGraphic&) = delete;
  TDibGraphic& operator=(const TDibGraphic&) = delete;

  // Name used in messages ("The %s format does not support multiple images").
  virtual const char* ClassName() const { return "TDibGraphic"; }
  // A new, empty instance of the same class (frames are made this way).
  virtual std::unique_ptr<TDibGraphic> NewInstance() const;

  // --- the image ---------------------------------------------------------
  // Creates a zero-filled pixel buffer. palette: nullptr = the format's
  // default; xDpi / yDpi 0 = the screen's logical resolution.
  void NewImage(int width, int height, TImageFormat format, const TPalette* palette = nullptr, int xDpi = 0,
                int yDpi = 0);
  // Releases the pixels; the image becomes empty (format ifBlackWhite).
  void Clear();
  // Copies size, format, palette, resolution, frame delay and pixels (not
  // the frames). An empty source leaves self empty.
  virtual void Assign(const TDibGraphic& source);

  bool Empty() const { return bits_ == nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Both throw "Dimensions must be change with the NewImage method".
  void SetWidth(int value);
  void SetHeight(int value);
  TImageFormat ImageFormat() const { return format_; }
  int BitCount() const { return BitsPerPixel(format_); }
  int BytesPerScanLine() const { return stride_; }
  std::size_t ImageSize() const { return static_cast<std::size_t>(stride_) * height_; }

  // Row y counted from the top; no range check.
  std::uint8_t* ScanLine(int y) { return bits_ + static_cast<std::ptrdiff_t>(height_ - 1 - y) * stride_; }
  const std::uint8_t* ScanLine(int y) const { return bits_ + static_cast<std::ptrdiff_t>(height_ - 1 - y) * stride_; }
  // Start of the buffer (the bottom row).
  std::uint8_t* Bits() { return bits_; }
  const std::uint8_t* Bits() const { return bits_; }

  // Colour 0x00RRGGBB of a pixel; setting on a palette image stores the
  // nearest palette index.
  TColor32 GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor32 color);
  // Palette index; throws "The image does not have a palette" on ifTrueColor.
  int GetPixelIndex(int x, int y) const;
  void SetPixelIndex(int x, int y, int index);

  const TPalette& Palette() const { return palette_; }
  // Nearest palette index of a colour (through the cached converter);
  // throws "The image does not have a palette" on ifTrueColor.
  int NearestPaletteIndex(TColor32 color);

  // Resolution in dots per inch, stored as pixels per metre.
  int XDotsPerInch() const;
  int YDotsPerInch() const;
  void SetXDotsPerInch(int dpi);
  void SetYDotsPerInch(int dpi);
  int XPelsPerMeter() const { return xPelsPerMeter_; }
  int YPelsPerMeter() const { return yPelsPerMeter_; }
  void SetXPelsPerMeter(int ppm) { xPelsPerMeter_ = ppm; }
  void SetYPelsPerMeter(int ppm) { yPelsPerMeter_ = ppm; }

  // Drawing surface over the pixels (created on first use, rebuilt by NewImage).
  TCanvas& Canvas();

  // --- frames of a multi-page file -----------------------------------------
  int FrameCount() const { return static_cast<int>(frames_.size()); }
  // 1-based; outside 1..FrameCount throws "Frame %d does not exist".
  TDibGraphic& Frame(int n);
  const TDibGraphic& Frame(int n) const;
  // Copies frame n into self and fires OnChange.
  void SelectFrame(int n);
  int CurrentFrame() const { return currentFrame_; }
  void AddFrame(std::unique_ptr<TDibGraphic> frame);
  void ClearFrames();
  bool LoadAllFrames = false;
  bool Animate = false;
  int FrameDelay = 200;
  int ImageToLoad = 1;

  // --- files and streams -------------------------------------------------
  virtual void LoadFromFile(const std::string& fileName);
  virtual void SaveToFile(const std::string& fileName);
  // Loads page ImageToLoad, or every page as frames when LoadAllFrames is
  // set (a one-page file switches LoadAllFrames off and leaves no frames).
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);
  // Signature test from the current position; the position is restored.
  virtual bool IsValidFormat(TStream& stream);
  virtual int GetImageCount(TStream& stream);
  virtual void LoadImageFromStream(TStream& stream, int imageNumber);
  // Throws "The %s format does not support multiple images" here.
  virtual void AppendToStream(TStream& stream);
  // Opens an existing file for reading and writing and appends a page.
  void AppendToFile(const std::string& fileName);

  // --- events and drawing options ---------------------------------------
  TImageProgressEvent OnProgress;
  TNotifyEvent OnChange;
  TNotifyEvent OnAfterDraw;
  int TransparentPixel = 2;
  TColor32 TransparentColor = 0xFFFFFF;
  // Transparent colour from TransparentPixel (corner pixel or
  // TransparentColor); outside 0..4 throws "Invalid TransparentPixel".
  TColor32 TransparentColorInUse() const;

 protected:
  // Reports progress through OnProgress; see ReportProgress().
  int Progress(std::int64_t current, std::int64_t min, int lastPercent, std::int64_t max);
  void Changed();
  // Called at the end of every NewImage (subclasses reset format-dependent
  // settings, e.g. a file format's default compression).
  virtual void ImageCreated() {}

 private:
  TPixelBuffer buffer_;
  std::uint8_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  TImageFormat format_ = ifBlackWhite;
  TPalette palette_;
  int xPelsPerMeter_ = 0;
  int yPelsPerMeter_ = 0;
  std::unique_ptr<TRgbToPaletteConverter> converter_;
  std::unique_ptr<TCanvas> canvas_;
  std::vector<std::unique_ptr<TDibGraphic>> frames_;
  int currentFrame_ = -1;
};

// Progress helper of readers and writers: percent = (current - min) * 100 /
// (max - min), clamped to 0..100 (0 when max <= min). The event is called
// only when percent differs from lastPercent. Returns the percent (0 and no
// call when the event is empty).
int ReportProgress(TDibGraphic* sender, std::int64_t current, std::int64_t min, int lastPercent, std::int64_t max,
                   const TImageProgressEvent& event);

// dpi <-> pixels per metre, rounding halves to even.
int DpiToPelsPerMeter(int dpi);
int PelsPerMeterToDpi(int ppm);
