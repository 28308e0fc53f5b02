#include "image/TiffGraphic.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <utility>
#include <vector>

#include "image/GraphicRegistry.h"
#include "image/Group4Decoder.h"
#include "image/Group4Encoder.h"
#include "image/ImagingHooks.h"
#include "image/transforms/NegativeTransform.h"
#include "image/transforms/RotateTransform.h"

namespace {

// ---------------------------------------------------------------------------
// libtiff set-up: private tags, silent global handlers.

constexpr std::uint16_t kPrivateTagFirst = TTiffGraphic::FirstPrivateTag;
constexpr int kPrivateTagCount = TTiffGraphic::PrivateTagCount;
// libtiff refuses single allocations above this (damaged files that claim
// enormous strips).
constexpr tmsize_t kMaxLibraryAlloc = tmsize_t{1} << 30;
// Largest whole-page RGBA buffer we are willing to build.
constexpr std::uint64_t kMaxRgbaBytes = std::uint64_t{2} << 30;

TIFFExtendProc previousExtender = nullptr;

const TIFFFieldInfo* PrivateFieldInfo() {
  static char names[kPrivateTagCount][24];
  static TIFFFieldInfo info[kPrivateTagCount];
  static std::once_flag once;
  std::call_once(once, [] {
    for (int i = 0; i < kPrivateTagCount; ++i) {
      std::snprintf(names[i], sizeof names[i], "VeltraxText%d", kPrivateTagFirst + i);
      info[i] = TIFFFieldInfo{static_cast<ttag_t>(kPrivateTagFirst + i),
                              TIFF_VARIABLE,
                              TIFF_VARIABLE,
                              TIFF_ASCII,
                              FIELD_CUSTOM,
                              1,
                              0,
                              names[i]};
    }
  });
  return info;
}

void TagExtender(TIFF* tif) {
  TIFFMergeFieldInfo(tif, PrivateFieldInfo(), kPrivateTagCount);
  if (previousExtender) previousExtender(tif);
}

void EnsureLibrarySetup() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Messages go to the handle's own handlers; whatever libtiff reports
    // without a handle is dropped rather than printed.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    PrivateFieldInfo();
    previousExtender = TIFFSetTagExtender(TagExtender);
  });
}

std::string FormatLibraryMessage(const char* module, const char* fmt, va_list ap) {
  char text[512];
  std::vsnprintf(text, sizeof text, fmt ? fmt : "", ap);
  std::string message;
  if (module && *module) {
    message = module;
    message += ": ";
  }
  message += text;
  return message;
}

int ErrorHandler(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  try {
    if (auto* owner = static_cast<TTiffGraphic*>(user)) owner->LibraryError(FormatLibraryMessage(module, fmt, ap));
  } catch (...) {
  }
  return 1;  // handled: never reaches the global handler
}

int WarningHandler(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  try {
    if (auto* owner = static_cast<TTiffGraphic*>(user)) owner->LibraryWarning(FormatLibraryMessage(module, fmt, ap));
  } catch (...) {
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Client procedures on a TStream. None of them may let an exception pass
// into libtiff.

tmsize_t StreamRead(thandle_t handle, void* buffer, tmsize_t size) {
  try {
    return static_cast<tmsize_t>(static_cast<TStream*>(handle)->Read(buffer, size));
  } catch (...) {
    return -1;
  }
}

tmsize_t StreamWrite(thandle_t handle, void* buffer, tmsize_t size) {
  try {
    static_cast<TStream*>(handle)->Write(buffer, size);
    return size;
  } catch (...) {
    return -1;
  }
}

toff_t StreamSeek(thandle_t handle, toff_t offset, int whence) {
  try {
    TSeekOrigin origin = whence == SEEK_CUR   ? TSeekOrigin::soCurrent
                         : whence == SEEK_END ? TSeekOrigin::soEnd
                                              : TSeekOrigin::soBeginning;
    const auto signedOffset = static_cast<std::int64_t>(offset);
    if (origin == TSeekOrigin::soBeginning && signedOffset < 0) return static_cast<toff_t>(-1);
    return static_cast<toff_t>(static_cast<TStream*>(handle)->Seek(signedOffset, origin));
  } catch (...) {
    return static_cast<toff_t>(-1);
  }
}

int StreamClose(thandle_t) { return 0; }  // the caller owns the stream

toff_t StreamSize(thandle_t handle) {
  try {
    return static_cast<toff_t>(static_cast<TStream*>(handle)->Size());
  } catch (...) {
    return 0;
  }
}

int StreamMap(thandle_t, void**, toff_t*) { return 0; }  // no mapping
void StreamUnmap(thandle_t, void*, toff_t) {}

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TiffHandle OpenTiff(TStream& stream, const char* mode, TTiffGraphic* owner) {
  EnsureLibrarySetup();
  struct OptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
  };
  std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) throw ETiffError("TIFFOpen");
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), ErrorHandler, owner);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), WarningHandler, owner);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxLibraryAlloc);
  TIFF* tif = TIFFClientOpenExt("TTiffGraphic", mode, static_cast<thandle_t>(&stream), StreamRead, StreamWrite,
                                StreamSeek, StreamClose, StreamSize, StreamMap, StreamUnmap, options.get());
  if (!tif) throw ETiffError("TIFFOpen");
  return TiffHandle(tif);
}

// The rest of a stream from its position, as a stream that starts at 0.
std::unique_ptr<TMemoryStream> CopyRest(TStream& stream) {
  const std::int64_t rest = std::max<std::int64_t>(0, stream.Size() - stream.Position());
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(rest));
  if (rest > 0) stream.ReadBuffer(bytes.data(), rest);
  return std::make_unique<TMemoryStream>(std::move(bytes));
}

// ---------------------------------------------------------------------------
// Pixel helpers.

// Negative of a read page, so that white-is-zero data ends up with bit 0 =
// black (palette indices complemented).
void ApplyNegative(TDibGraphic& image) {
  TNegativeTransform negative;
  negative.Apply(image);
}

// Undoes Orientation 3 (stored upside down).
void ApplyHalfTurn(TDibGraphic& image) {
  TNBRotateTransform rotate;
  rotate.Angle = 180;
  rotate.Apply(image);
}

int ResolutionToDpi(float value, bool centimetres) {
  double v = value;
  if (centimetres) v *= 2.54;
  if (!std::isfinite(v) || v <= 0) return 0;
  v = std::nearbyint(v);
  return v > 65535 ? 65535 : static_cast<int>(v);
}

// The whole dpi of the current directory's resolution (0 when unknown).
std::pair<int, int> DirectoryDpi(TIFF* tif) {
  std::uint16_t resolutionUnit = RESUNIT_INCH;
  if (!TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &resolutionUnit)) resolutionUnit = RESUNIT_INCH;
  float xResolution = 0, yResolution = 0;
  if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xResolution)) xResolution = 0;
  if (!TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yResolution)) yResolution = 0;
  const bool centimetres = resolutionUnit == RESUNIT_CENTIMETER;
  return {ResolutionToDpi(xResolution, centimetres), ResolutionToDpi(yResolution, centimetres)};
}

// Palette from a ColorMap of `entries` 16-bit values per channel. Maps whose
// values all fit in a byte are taken as 8-bit; others use the high byte, which
// reads back exactly both maps scaled by 257 and maps scaled by 256.
TPalette PaletteFromColorMap(const std::uint16_t* r, const std::uint16_t* g, const std::uint16_t* b,
                             std::size_t entries, std::size_t step) {
  bool eightBit = true;
  for (std::size_t i = 0; i < entries && eightBit; ++i)
    if (r[i] > 255 || g[i] > 255 || b[i] > 255) eightBit = false;
  TPalette palette;
  for (std::size_t i = 0; i < entries && palette.size() < 256; i += step) {
    TPaletteEntry e;
    e.Red = static_cast<std::uint8_t>(eightBit ? r[i] : r[i] >> 8);
    e.Green = static_cast<std::uint8_t>(eightBit ? g[i] : g[i] >> 8);
    e.Blue = static_cast<std::uint8_t>(eightBit ? b[i] : b[i] >> 8);
    palette.push_back(e);
  }
  return palette;
}

// Stores a row of 0x00RRGGBB-like values (libtiff's packed ABGR) into a
// palette image as the nearest palette index; grey pixels on the default
// grey palettes are mapped directly to the index the nearest search gives.
void StoreRgbaRow(TDibGraphic& image, int y, const std::uint32_t* src) {
  const int w = image.Width();
  std::uint8_t* row = image.ScanLine(y);
  const TImageFormat format = image.ImageFormat();
  if (format == ifTrueColor) {
    for (int x = 0; x < w; ++x) {
      const std::uint32_t v = src[x];
      row[3 * x] = static_cast<std::uint8_t>(TIFFGetB(v));
      row[3 * x + 1] = static_cast<std::uint8_t>(TIFFGetG(v));
      row[3 * x + 2] = static_cast<std::uint8_t>(TIFFGetR(v));
    }
    return;
  }
  const bool defaultPalette = image.Palette() == DefaultPalette(format);
  for (int x = 0; x < w; ++x) {
    const std::uint32_t v = src[x];
    const int r = static_cast<int>(TIFFGetR(v));
    const int g = static_cast<int>(TIFFGetG(v));
    const int b = static_cast<int>(TIFFGetB(v));
    int index;
    if (defaultPalette && r == g && g == b && format == ifBlackWhite)
      index = r >= 128 ? 1 : 0;
    else if (defaultPalette && r == g && g == b && format == ifGray256)
      index = r;
    else if (defaultPalette && r == g && g == b && format == ifGray16)
      index = (r + 8) / 17;
    else
      index = image.NearestPaletteIndex(RgbColor(r, g, b));
    switch (format) {
      case ifBlackWhite: {
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
        if (index)
          row[x >> 3] |= mask;
        else
          row[x >> 3] &= static_cast<std::uint8_t>(~mask);
        break;
      }
      case ifGray16:
      case ifColor16:
        if (x & 1)
          row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & 0xF0) | (index & 0x0F));
        else
          row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & 0x0F) | ((index & 0x0F) << 4));
        break;
      default:
        row[x] = static_cast<std::uint8_t>(index);
        break;
    }
  }
}

// 1-bit samples spread to 4-bit indices (1-bit palette pages).
void ExpandBitsToNibbles(const std::uint8_t* src, std::size_t srcBytes, std::uint8_t* dst, int width) {
  for (int x = 0; x < width; ++x) {
    const std::size_t byte = static_cast<std::size_t>(x) >> 3;
    const int bit = byte < srcBytes ? (src[byte] >> (7 - (x & 7))) & 1 : 0;
    if (x & 1)
      dst[x >> 1] = static_cast<std::uint8_t>((dst[x >> 1] & 0xF0) | bit);
    else
      dst[x >> 1] = static_cast<std::uint8_t>((dst[x >> 1] & 0x0F) | (bit << 4));
  }
}

std::string CurrentDateTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
  return text;
}

const std::uint16_t kTextTags[9] = {TIFFTAG_DOCUMENTNAME, TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_MAKE,
                                    TIFFTAG_MODEL,        TIFFTAG_PAGENAME,         TIFFTAG_SOFTWARE,
                                    TIFFTAG_DATETIME,     TIFFTAG_ARTIST,           TIFFTAG_HOSTCOMPUTER};

std::unique_ptr<TDibGraphic> CreateTiffGraphic() { return std::make_unique<TTiffGraphic>(); }
const TGraphicClass kTiffGraphicClass{"TTiffGraphic", CreateTiffGraphic};

}  // namespace

// ---------------------------------------------------------------------------

const char* TiffCompressionText(TTiffCompression compression) {
  switch (compression) {
    case tcNone:
      return "None";
    case tcPackbits:
      return "Packbits";
    case tcCCITT3_1D:
      return "CCITT Group 3, 1D";
    case tcCCITT3_2D:
      return "CCITT Group 3, 2D";
    case tcCCITT4:
      return "CCITT Group 4";
    case tcZLib:
      return "ZLib";
    case tcJPEG:
      return "JPEG";
    case tcLZW:
      return "LZW";
  }
  return "";
}

int TiffCompressionTag(TTiffCompression compression) {
  switch (compression) {
    case tcNone:
      return COMPRESSION_NONE;
    case tcPackbits:
      return COMPRESSION_PACKBITS;
    case tcCCITT3_1D:
    case tcCCITT3_2D:
      return COMPRESSION_CCITTFAX3;
    case tcCCITT4:
      return COMPRESSION_CCITTFAX4;
    case tcZLib:
      return COMPRESSION_DEFLATE;
    case tcJPEG:
      return COMPRESSION_JPEG;
    case tcLZW:
      return COMPRESSION_LZW;
  }
  return COMPRESSION_NONE;
}

bool TiffCompressionAllowed(TTiffCompression compression, TImageFormat format) {
  switch (format) {
    case ifBlackWhite:
      return compression != tcJPEG;
    case ifGray16:
    case ifColor16:
    case ifColor256:
      return compression == tcNone || compression == tcPackbits || compression == tcZLib || compression == tcLZW;
    case ifGray256:
    case ifTrueColor:
      return compression == tcNone || compression == tcPackbits || compression == tcZLib || compression == tcJPEG ||
             compression == tcLZW;
  }
  return false;
}

TTiffGraphic::TTiffGraphic() {
  for (int i = 0; i < PrivateTagCount; ++i) PrivateTags[i].Tag = static_cast<std::uint16_t>(FirstPrivateTag + i);
  PrivateTags[0].ReadEnabled = true;
  PrivateTags[0].WriteEnabled = true;
}

TTiffGraphic::~TTiffGraphic() = default;

std::unique_ptr<TDibGraphic> TTiffGraphic::NewInstance() const { return std::make_unique<TTiffGraphic>(); }

void TTiffGraphic::Assign(const TDibGraphic& source) {
  TDibGraphic::Assign(source);
  if (const auto* tiff = dynamic_cast<const TTiffGraphic*>(&source)) RowsPerStrip = tiff->RowsPerStrip;
}

void TTiffGraphic::ImageCreated() {
  compression_ = ImageFormat() == ifBlackWhite ? tcCCITT4 : tcPackbits;
  codedStrips_.clear();
}

void TTiffGraphic::SetCompression(TTiffCompression value) {
  if (!TiffCompressionAllowed(value, ImageFormat()))
    throw EImagingError(FormatMessage("%s compression not supported with %s images", TiffCompressionText(value),
                                      ImageFormatText(ImageFormat())));
  if (value != compression_) codedStrips_.clear();
  compression_ = value;
}

const std::string& TTiffGraphic::PrivateTagText(std::uint16_t tag) const {
  static const std::string empty;
  if (tag < FirstPrivateTag || tag >= FirstPrivateTag + PrivateTagCount) return empty;
  return PrivateTags[tag - FirstPrivateTag].Text;
}

bool TTiffGraphic::IsValidFormat(TStream& stream) {
  const std::int64_t start = stream.Position();
  std::uint8_t head[4] = {0, 0, 0, 0};
  const std::int64_t n = stream.Read(head, 4);
  stream.SetPosition(start);
  if (n != 4) return false;
  static const std::uint8_t little[4] = {0x49, 0x49, 0x2A, 0x00};
  static const std::uint8_t big[4] = {0x4D, 0x4D, 0x00, 0x2A};
  return std::memcmp(head, little, 4) == 0 || std::memcmp(head, big, 4) == 0;
}

int TTiffGraphic::GetImageCount(TStream& stream) {
  const std::int64_t start = stream.Position();
  std::unique_ptr<TMemoryStream> copy;
  if (start != 0) copy = CopyRest(stream);
  TStream& source = copy ? static_cast<TStream&>(*copy) : stream;
  int count = 1;
  {
    TiffHandle tif = OpenTiff(source, "r", this);
    while (TIFFReadDirectory(tif.get())) ++count;
  }
  stream.SetPosition(start);
  return count;
}

void TTiffGraphic::LoadImageFromStream(TStream& stream, int imageNumber) {
  int last = Progress(0, 0, -1, 100);
  if (stream.Position() != 0) {
    std::unique_ptr<TMemoryStream> copy = CopyRest(stream);
    ReadPage(*copy, imageNumber, last);
  } else {
    ReadPage(stream, imageNumber, last);
  }
  Progress(100, 0, last, 100);
}

namespace {

// Decodes the Group 4 strips of the current directory with our own decoder
// into the rows of a bilevel image, in libtiff's sample sense (1 = black of
// the code). False when any strip cannot be read or decoded cleanly: the
// caller then decodes the page through libtiff, which also reports why.
bool DecodeGroup4Strips(TIFF* tif, TDibGraphic& image) {
  const int h = image.Height();
  std::uint32_t stripRows = 0;
  if (!TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &stripRows) || stripRows == 0 ||
      stripRows > static_cast<std::uint32_t>(h))
    stripRows = static_cast<std::uint32_t>(h);
  std::uint16_t fillOrder = FILLORDER_MSB2LSB;
  TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fillOrder);
  const std::uint32_t strips = TIFFNumberOfStrips(tif);
  if (static_cast<std::uint64_t>(strips) * stripRows < static_cast<std::uint64_t>(h)) return false;
  const std::ptrdiff_t rowStep = h > 1 ? image.ScanLine(1) - image.ScanLine(0) : 0;
  // A strip cannot be longer than the file: damaged counts get no buffer.
  const std::uint64_t fileSize = TIFFGetSizeProc(tif)(TIFFClientdata(tif));
  std::vector<std::uint8_t> code;
  for (std::uint32_t strip = 0, top = 0; top < static_cast<std::uint32_t>(h); ++strip, top += stripRows) {
    const std::uint64_t size = TIFFRawStripSize64(tif, strip);
    if (size == 0 || size == static_cast<std::uint64_t>(-1) || size > fileSize) return false;
    code.resize(static_cast<std::size_t>(size));
    const tmsize_t got = TIFFReadRawStrip(tif, strip, code.data(), static_cast<tmsize_t>(size));
    if (got <= 0) return false;
    if (fillOrder == FILLORDER_LSB2MSB) TIFFReverseBits(code.data(), got);
    const int rows = static_cast<int>(std::min<std::uint32_t>(stripRows, static_cast<std::uint32_t>(h) - top));
    if (!DecodeGroup4(code.data(), static_cast<std::size_t>(got), image.Width(), rows,
                      image.ScanLine(static_cast<int>(top)), rowStep, true))
      return false;
  }
  return true;
}

}  // namespace

void TTiffGraphic::ReadPage(TStream& stream, int pageNumber, int& last) {
  lastError_.clear();
  lastWarning_.clear();
  // "c": strips stay as the file has them (no splitting of one-strip
  // pages), so that RowsPerStrip is the file's own.
  TiffHandle handle = OpenTiff(stream, "rc", this);
  TIFF* tif = handle.get();
  // A page beyond the last one is an error, not a quiet first page.
  if (pageNumber < 1) throw ETiffError("TIFFSetDirectory");
  if (pageNumber > 1 && !TIFFSetDirectory(tif, static_cast<tdir_t>(pageNumber - 1)))
    throw ETiffError("TIFFSetDirectory");

  std::uint32_t width = 0, height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  std::uint16_t photometric = 0;
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) photometric = 0;
  std::uint16_t compressionTag = COMPRESSION_NONE;
  if (!TIFFGetField(tif, TIFFTAG_COMPRESSION, &compressionTag)) compressionTag = COMPRESSION_NONE;
  const bool ccitt = compressionTag == COMPRESSION_CCITTRLE || compressionTag == COMPRESSION_CCITTFAX3 ||
                     compressionTag == COMPRESSION_CCITTFAX4 || compressionTag == COMPRESSION_CCITTRLEW;
  std::uint16_t bitsPerSample = 0;
  if (!TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bitsPerSample)) {
    if (!ccitt) throw ETiffError("Bits per sample not specified");
    bitsPerSample = 1;
  }
  std::uint16_t samplesPerPixel = 1;
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  if (!TIFFGetField(tif, TIFFTAG_ORIENTATION, &orientation)) orientation = ORIENTATION_TOPLEFT;
  const auto [xDpi, yDpi] = DirectoryDpi(tif);
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) throw ETiffError("TIFFReadDirectory");

  const std::uint64_t scanlineSize = TIFFScanlineSize64(tif);
  const int bytesPerPixel = std::max(1, static_cast<int>(std::nearbyint(static_cast<double>(scanlineSize) / width)));
  const int totalBits = bitsPerSample * bytesPerPixel;

  bool rgbaRoute = compressionTag == COMPRESSION_JPEG || TIFFIsTiled(tif) || photometric == PHOTOMETRIC_SEPARATED ||
                   photometric == PHOTOMETRIC_YCBCR || bitsPerSample > 8 || planar != PLANARCONFIG_CONTIG ||
                   (totalBits != 1 && totalBits != 4 && totalBits != 8 && totalBits != 24);

  // Fax data marked black-is-zero is read as white-is-zero: programs that
  // write it that way mean the usual fax sense.
  bool photometricOverridden = false;
  if (ccitt && photometric == PHOTOMETRIC_MINISBLACK) {
    photometric = PHOTOMETRIC_MINISWHITE;
    photometricOverridden = true;
  }

  TImageFormat format = ifTrueColor;
  bool invert = false;
  bool sixteenBit = false;
  const bool grey = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
  const bool whiteIsZero = photometric == PHOTOMETRIC_MINISWHITE;
  if (bitsPerSample == 1 && grey) {
    format = ifBlackWhite;
    invert = whiteIsZero;
  } else if (bitsPerSample == 4 && grey) {
    format = ifGray16;
    invert = whiteIsZero;
  } else if (bitsPerSample == 8 && grey) {
    format = ifGray256;
    invert = whiteIsZero && !rgbaRoute;
  } else if (photometric == PHOTOMETRIC_PALETTE && bitsPerSample >= 1 && bitsPerSample <= 4) {
    format = ifColor16;
  } else if (photometric == PHOTOMETRIC_PALETTE && bitsPerSample >= 5 && bitsPerSample <= 8) {
    format = ifColor256;
  } else if (bitsPerSample == 16 && photometric == PHOTOMETRIC_PALETTE) {
    format = ifColor256;
    sixteenBit = true;
  } else if (bitsPerSample == 16 && grey) {
    format = ifGray256;
    sixteenBit = true;
    invert = whiteIsZero;
  }
  // True colour is read directly only from plain 8-bit RGB; anything else
  // goes through libtiff's RGBA conversion.
  if (format == ifTrueColor && !(photometric == PHOTOMETRIC_RGB && totalBits == 24)) rgbaRoute = true;
  if (sixteenBit) rgbaRoute = false;
  // The RGBA reader already yields final colours (it applies the file's
  // photometric and orientation); only our own fax-sense rule is left to do.
  if (rgbaRoute) invert = photometricOverridden;

  TTiffCompression compression;
  switch (compressionTag) {
    case COMPRESSION_NONE:
      compression = tcNone;
      break;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
      compression = tcCCITT3_1D;
      break;
    case COMPRESSION_CCITTFAX3: {
      std::uint32_t t4 = 0;
      compression =
          TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &t4) && (t4 & GROUP3OPT_2DENCODING) ? tcCCITT3_2D : tcCCITT3_1D;
      break;
    }
    case COMPRESSION_CCITTFAX4:
      compression = tcCCITT4;
      break;
    case COMPRESSION_LZW:
      compression = tcLZW;
      break;
    case COMPRESSION_JPEG:
      compression = tcJPEG;
      break;
    case COMPRESSION_PACKBITS:
      compression = tcPackbits;
      break;
    case COMPRESSION_DEFLATE:
      compression = tcZLib;
      break;
    default:
      throw ETiffError(FormatMessage("Unsupported compression tag, %d", compressionTag));
  }

  TPalette palette;
  const TPalette* paletteArg = nullptr;
  if (format == ifColor16 || format == ifColor256) {
    std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) && r && g && b) {
      const std::size_t entries = std::size_t{1} << bitsPerSample;
      // 16-bit samples keep their high byte, so index i stands for sample i * 256.
      palette = PaletteFromColorMap(r, g, b, entries, sixteenBit ? 256 : 1);
      paletteArg = &palette;
    }
  }

  std::uint32_t rowsPerStrip = 0;
  if (TIFFIsTiled(tif) || !TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip) || rowsPerStrip == 0)
    rowsPerStrip = DefaultRowsPerStrip;
  else if (rowsPerStrip == 0xFFFFFFFF)
    rowsPerStrip = height;

  NewImage(static_cast<int>(width), static_cast<int>(height), format, paletteArg, xDpi, yDpi);

  std::string* textFields[9] = {&DocumentName, &ImageDescription, &Make,   &Model,       &PageName,
                                &Software,     &DateTime,         &Artist, &HostComputer};
  for (int i = 0; i < 9; ++i) {
    char* text = nullptr;
    if (TIFFGetField(tif, kTextTags[i], &text) && text)
      *textFields[i] = text;
    else
      textFields[i]->clear();
  }
  for (TTiffPrivateTag& tag : PrivateTags) {
    tag.Text.clear();
    if (!tag.ReadEnabled) continue;
    char* text = nullptr;
    if (TIFFGetField(tif, tag.Tag, &text) && text) tag.Text = text;
  }

  const int h = static_cast<int>(height);
  const int w = static_cast<int>(width);
  const std::size_t stride = static_cast<std::size_t>(BytesPerScanLine());
  const std::size_t lineBytes = static_cast<std::size_t>(scanlineSize);
  const bool expandBits = format == ifColor16 && bitsPerSample == 1;
  const bool pixelRows = bytesPerPixel >= 3;
  // Stores one decoded row of samples (as libtiff's scanline read gives it).
  auto storeRow = [&](const std::uint8_t* src, int y) {
    std::uint8_t* row = ScanLine(y);
    if (expandBits) {
      ExpandBitsToNibbles(src, lineBytes, row, w);
    } else if (pixelRows) {
      const int count = static_cast<int>(std::min<std::size_t>(w, lineBytes / bytesPerPixel));
      for (int x = 0; x < count; ++x) {
        const std::uint8_t* p = src + static_cast<std::size_t>(x) * bytesPerPixel;
        if (format == ifTrueColor) {
          row[3 * x] = p[2];
          row[3 * x + 1] = p[1];
          row[3 * x + 2] = p[0];
        } else {
          SetPixel(x, y, RgbColor(p[0], p[1], p[2]));
        }
      }
    } else {
      std::memcpy(row, src, std::min(lineBytes, stride));
    }
  };
  // Tiled pages that a direct read could take row by row if they were in
  // strips: read tile by tile when libtiff's whole-page read refuses them.
  const bool tilesAsRows = TIFFIsTiled(tif) && compressionTag != COMPRESSION_JPEG && planar == PLANARCONFIG_CONTIG &&
                           bitsPerSample <= 8 &&
                           (totalBits == 1 || totalBits == 4 || totalBits == 8 || totalBits == 24) &&
                           (grey || photometric == PHOTOMETRIC_PALETTE || photometric == PHOTOMETRIC_RGB) &&
                           (format != ifTrueColor || (photometric == PHOTOMETRIC_RGB && totalBits == 24));
  bool readTiles = false;
  // Decodes every tile into a band of page rows, then stores the band.
  auto readTileRows = [&] {
    std::uint32_t tileWidth = 0, tileLength = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
    const std::uint64_t tileSize = TIFFTileSize64(tif);
    const std::uint64_t tileRowBytes = TIFFTileRowSize64(tif);
    if (tileWidth == 0 || tileLength == 0 || tileRowBytes == 0 || tileSize < tileRowBytes * tileLength ||
        tileSize > static_cast<std::uint64_t>(kMaxLibraryAlloc) ||
        (static_cast<std::uint64_t>(tileWidth) * static_cast<std::uint64_t>(totalBits)) % 8 != 0 || tileLength > height)
      throw ETiffError("TIFFReadEncodedTile");
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(tileSize));
    std::vector<std::uint8_t> band(static_cast<std::size_t>(tileLength) * lineBytes);
    for (std::uint32_t top = 0; top < height; top += tileLength) {
      const std::uint32_t rows = std::min(tileLength, height - top);
      for (std::uint32_t left = 0; left < width; left += tileWidth) {
        if (TIFFReadEncodedTile(tif, TIFFComputeTile(tif, left, top, 0, 0), tile.data(),
                                static_cast<tmsize_t>(tileSize)) < 0)
          throw ETiffError("TIFFReadEncodedTile");
        const std::size_t offset = static_cast<std::size_t>(static_cast<std::uint64_t>(left) * totalBits / 8);
        if (offset >= lineBytes) continue;
        const std::size_t bytes = std::min<std::size_t>(static_cast<std::size_t>(tileRowBytes), lineBytes - offset);
        for (std::uint32_t r = 0; r < rows; ++r)
          std::memcpy(band.data() + r * lineBytes + offset, tile.data() + r * tileRowBytes, bytes);
      }
      for (std::uint32_t r = 0; r < rows; ++r) storeRow(band.data() + r * lineBytes, static_cast<int>(top + r));
      last = Progress(10 + 80 * static_cast<std::int64_t>(top + rows) / h, 0, last, 100);
    }
  };

  if (rgbaRoute) {
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * height;
    if (pixels * 4 > kMaxRgbaBytes) throw ETiffError("TIFFReadRGBAImage");
    std::vector<std::uint32_t> raster;
    try {
      raster.resize(static_cast<std::size_t>(pixels));
    } catch (const std::bad_alloc&) {
      throw ETiffError("TIFFReadRGBAImage");
    }
    last = Progress(5, 0, last, 100);
    last = Progress(10, 0, last, 100);
    if (TIFFReadRGBAImage(tif, width, height, raster.data(), 1)) {
      last = Progress(80, 0, last, 100);
      // The raster's first row is the bottom of the page.
      for (int i = 0; i < h; ++i) StoreRgbaRow(*this, h - 1 - i, raster.data() + static_cast<std::size_t>(i) * width);
      last = Progress(90, 0, last, 100);
    } else if (tilesAsRows) {
      raster = {};
      readTileRows();
      readTiles = true;
    } else {
      throw ETiffError("TIFFReadRGBAImage");
    }
  } else if (sixteenBit) {
    std::vector<std::uint8_t> line(static_cast<std::size_t>(scanlineSize));
    const std::size_t available = line.size() / 2;
    const std::size_t step = planar == PLANARCONFIG_CONTIG ? std::max<std::size_t>(1, samplesPerPixel) : 1;
    for (int y = 0; y < h; ++y) {
      if (TIFFReadScanline(tif, line.data(), static_cast<std::uint32_t>(y), 0) < 0)
        throw ETiffError("TIFFReadScanline");
      std::uint8_t* row = ScanLine(y);
      for (int x = 0; x < w; ++x) {
        const std::size_t i = static_cast<std::size_t>(x) * step;
        if (i >= available) break;
        std::uint16_t sample;
        std::memcpy(&sample, line.data() + 2 * i, 2);
        row[x] = static_cast<std::uint8_t>(sample >> 8);
      }
      last = Progress(y + 1, 0, last, h);
    }
  } else {
    // Direct routes: rows as libtiff decodes them.
    const bool direct = !expandBits && !pixelRows && lineBytes <= stride;
    if (ccitt && compressionTag == COMPRESSION_CCITTFAX4 && direct && samplesPerPixel == 1 &&
        DecodeGroup4Strips(tif, *this)) {
      last = Progress(h, 0, last, h);
    } else if (ccitt) {
      // Fax pages are decoded row by row, straight into the image when a
      // row fits.
      std::vector<std::uint8_t> line;
      if (!direct) line.resize(lineBytes);
      for (int y = 0; y < h; ++y) {
        std::uint8_t* target = direct ? ScanLine(y) : line.data();
        if (TIFFReadScanline(tif, target, static_cast<std::uint32_t>(y), 0) < 0) throw ETiffError("TIFFReadScanline");
        if (!direct) storeRow(line.data(), y);
        last = Progress(y + 1, 0, last, h);
      }
    } else {
      std::uint32_t stripRows = 0;
      TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &stripRows);
      if (stripRows == 0 || stripRows > height) stripRows = height;
      const std::uint32_t strips = TIFFNumberOfStrips(tif);
      std::vector<std::uint8_t> buffer;
      int y = 0;
      for (std::uint32_t strip = 0; strip < strips && y < h; ++strip) {
        const int rows = static_cast<int>(std::min<std::uint32_t>(stripRows, height - static_cast<std::uint32_t>(y)));
        const std::size_t bytes = static_cast<std::size_t>(rows) * lineBytes;
        if (buffer.size() < bytes) buffer.resize(bytes);
        if (TIFFReadEncodedStrip(tif, strip, buffer.data(), static_cast<tmsize_t>(bytes)) < 0)
          throw ETiffError("TIFFReadEncodedStrip");
        for (int i = 0; i < rows; ++i, ++y) {
          storeRow(buffer.data() + static_cast<std::size_t>(i) * lineBytes, y);
          last = Progress(y + 1, 0, last, h);
        }
      }
    }
  }

  // Tiles read as rows follow the rules of the direct routes: white-is-zero
  // grey is inverted (as the whole-page read would have shown it), and a
  // page stored upside down is turned.
  if (readTiles) invert = grey && whiteIsZero && !sixteenBit;
  if (invert) ApplyNegative(*this);
  if (orientation == ORIENTATION_BOTRIGHT && (!rgbaRoute || readTiles)) ApplyHalfTurn(*this);

  // Set last: the transforms may re-create the image.
  if (TiffCompressionAllowed(compression, ImageFormat())) compression_ = compression;
  RowsPerStrip = rowsPerStrip;
}

// ---------------------------------------------------------------------------

void TTiffGraphic::SaveToStream(TStream& stream) {
  if (stream.Position() != 0) {
    // libtiff addresses the file from offset 0.
    TMemoryStream memory;
    WritePage(memory, "w");
    stream.Write(memory.Memory(), memory.Size());
    return;
  }
  WritePage(stream, "w");
}

void TTiffGraphic::AppendToStream(TStream& stream) {
  if (stream.Size() == 0) {
    SaveToStream(stream);
    return;
  }
  stream.SetPosition(0);
  WritePage(stream, "a");
}

void TTiffGraphic::WritePage(TStream& stream, const char* mode) {
  CheckWritable(nullptr);
  lastError_.clear();
  lastWarning_.clear();
  TiffHandle handle = OpenTiff(stream, mode, this);
  WriteDirectory(handle.get(), nullptr);
}

void TTiffGraphic::CheckWritable(const TCodedPage* coded) const {
  if (coded) {
    if (coded->Kind != TCodedPage::Group4 || coded->BlackIs1 || coded->Width < 1 || coded->Height < 1 ||
        coded->StripRows < 1 ||
        coded->Strips.size() != static_cast<std::size_t>((coded->Height - 1) / coded->StripRows + 1))
      throw EImagingError("The coded page cannot be written into a TIFF file");
  } else if (Empty()) {
    throw EImagingError("Graphic is empty");
  }
  const TImageFormat format = coded ? ifBlackWhite : ImageFormat();
  const TTiffCompression compression = coded ? tcCCITT4 : compression_;
  if (!TiffCompressionAllowed(compression, format))
    throw EImagingError(FormatMessage("%s compression not supported with %s images", TiffCompressionText(compression),
                                      ImageFormatText(format)));
}

void TTiffGraphic::WriteDirectory(TIFF* tif, const TCodedPage* coded) {
  // A coded page is written as this object would write its own Group 4
  // page of that size, resolution and strip layout.
  const TImageFormat format = coded ? ifBlackWhite : ImageFormat();
  const TTiffCompression compression = coded ? tcCCITT4 : compression_;
  const int w = coded ? coded->Width : Width();
  const int h = coded ? coded->Height : Height();
  const std::uint32_t rowsPerStrip = coded ? static_cast<std::uint32_t>(coded->StripRows) : RowsPerStrip;
  const bool lsbFirst = coded ? false : FillOrderLsbFirst;

  auto setInt = [tif](ttag_t tag, std::uint32_t value) {
    if (!TIFFSetField(tif, tag, value)) throw ETiffError("TIFFSetIntField: Tag = " + std::to_string(tag));
  };
  auto setFloat = [tif](ttag_t tag, double value) {
    if (!TIFFSetField(tif, tag, value)) throw ETiffError("TIFFSetFloatField: Tag = " + std::to_string(tag));
  };
  auto setText = [tif](ttag_t tag, const std::string& value) {
    if (!TIFFSetField(tif, tag, value.c_str())) throw ETiffError("TIFFSetField: Tag = " + std::to_string(tag));
  };

  const bool ccitt = compression == tcCCITT3_1D || compression == tcCCITT3_2D || compression == tcCCITT4;
  if (compression == tcCCITT3_1D || compression == tcCCITT3_2D) {
    setInt(TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    setInt(TIFFTAG_GROUP3OPTIONS, compression == tcCCITT3_2D ? 5 : 4);
  } else {
    setInt(TIFFTAG_COMPRESSION, static_cast<std::uint32_t>(TiffCompressionTag(compression)));
  }
  if (compression == tcJPEG)
    setInt(TIFFTAG_ROWSPERSTRIP, 8);
  else if (rowsPerStrip > 0)
    setInt(TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  if (compression == tcJPEG) setInt(TIFFTAG_JPEGQUALITY, JpegQuality);

  setInt(TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);

  const std::string* textFields[9] = {&DocumentName, &ImageDescription, &Make,   &Model,       &PageName,
                                      &Software,     &DateTime,         &Artist, &HostComputer};
  for (int i = 0; i < 9; ++i)
    if (!textFields[i]->empty()) setText(kTextTags[i], *textFields[i]);
  if (DateTime.empty()) setText(TIFFTAG_DATETIME, CurrentDateTimeText());

  setInt(TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  setFloat(TIFFTAG_XRESOLUTION, coded ? PelsPerMeterToDpi(coded->XPelsPerMeter) : XDotsPerInch());
  setFloat(TIFFTAG_YRESOLUTION, coded ? PelsPerMeterToDpi(coded->YPelsPerMeter) : YDotsPerInch());

  setInt(TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(w));
  setInt(TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(h));

  switch (format) {
    case ifBlackWhite:
      setInt(TIFFTAG_BITSPERSAMPLE, 1);
      setInt(TIFFTAG_SAMPLESPERPIXEL, 1);
      setInt(TIFFTAG_PHOTOMETRIC, ccitt ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
      break;
    case ifGray16:
    case ifGray256:
      setInt(TIFFTAG_BITSPERSAMPLE, format == ifGray16 ? 4 : 8);
      setInt(TIFFTAG_SAMPLESPERPIXEL, 1);
      setInt(TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
      break;
    case ifColor16:
    case ifColor256: {
      setInt(TIFFTAG_BITSPERSAMPLE, format == ifColor16 ? 4 : 8);
      setInt(TIFFTAG_SAMPLESPERPIXEL, 1);
      setInt(TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
      const std::size_t entries = format == ifColor16 ? 16 : 256;
      std::vector<std::uint16_t> r(entries, 0), g(entries, 0), b(entries, 0);
      const TPalette& palette = Palette();
      for (std::size_t i = 0; i < entries && i < palette.size(); ++i) {
        r[i] = static_cast<std::uint16_t>(palette[i].Red * 256);
        g[i] = static_cast<std::uint16_t>(palette[i].Green * 256);
        b[i] = static_cast<std::uint16_t>(palette[i].Blue * 256);
      }
      if (!TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data())) throw ETiffError("TIFFSetColormap");
      break;
    }
    case ifTrueColor:
      setInt(TIFFTAG_BITSPERSAMPLE, 8);
      setInt(TIFFTAG_SAMPLESPERPIXEL, 3);
      setInt(TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
      break;
  }

  setInt(TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  setInt(TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  setInt(TIFFTAG_FILLORDER, lsbFirst ? FILLORDER_LSB2MSB : FILLORDER_MSB2LSB);

  int last = Progress(0, 0, -1, 100);
  if (format == ifBlackWhite && compression == tcCCITT4) {
    // Group 4 strips are coded here (or were coded ahead, or came coded)
    // and handed to libtiff as they are.
    const int stripRows = coded ? coded->StripRows : Group4StripRows();
    if (stripRows == h) setInt(TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(h));
    const TCodedLayout layout{w, h, stripRows, FillOrderLsbFirst};
    std::vector<std::vector<std::uint8_t>> ownStrips;
    if (!coded) {
      ownStrips = !codedStrips_.empty() && codedLayout_ == layout ? std::move(codedStrips_) : CodeGroup4Strips();
      codedStrips_.clear();
    }
    const std::vector<std::vector<std::uint8_t>>& strips = coded ? coded->Strips : ownStrips;
    for (std::size_t strip = 0; strip < strips.size(); ++strip) {
      // libtiff only copies the data of a raw strip.
      auto* code = const_cast<std::uint8_t*>(strips[strip].data());
      if (TIFFWriteRawStrip(tif, static_cast<std::uint32_t>(strip), code, static_cast<tmsize_t>(strips[strip].size())) <
          0)
        throw ETiffError("TIFFWriteRawStrip");
      last = Progress(static_cast<int>(std::min<std::size_t>(h, (strip + 1) * stripRows)), 0, last, h);
    }
    if (!TIFFWriteDirectory(tif)) throw ETiffError("TIFFWriteDirectory");
    Progress(100, 0, last, 100);
    return;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(BytesPerScanLine());
  std::vector<std::uint8_t> row(rowBytes);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* src = ScanLine(y);
    if (format == ifBlackWhite && ccitt) {
      // Black is 1 on disk (white-is-zero).
      const std::size_t used = (static_cast<std::size_t>(w) + 7) / 8;
      for (std::size_t i = 0; i < used; ++i) row[i] = static_cast<std::uint8_t>(~src[i]);
    } else if (format == ifTrueColor) {
      for (int x = 0; x < w; ++x) {
        row[3 * x] = src[3 * x + 2];
        row[3 * x + 1] = src[3 * x + 1];
        row[3 * x + 2] = src[3 * x];
      }
    } else {
      std::memcpy(row.data(), src, rowBytes);
    }
    if (TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) < 0) throw ETiffError("TIFFWriteScanLine");
    last = Progress(y + 1, 0, last, h);
  }
  if (!TIFFWriteDirectory(tif)) throw ETiffError("TIFFWriteDirectory");
  Progress(100, 0, last, 100);
}

int TTiffGraphic::Group4StripRows() const {
  const int h = Height();
  return RowsPerStrip > 0 && RowsPerStrip < static_cast<std::uint32_t>(h) ? static_cast<int>(RowsPerStrip) : h;
}

std::vector<std::vector<std::uint8_t>> TTiffGraphic::CodeGroup4Strips() const {
  const int h = Height();
  const int stripRows = Group4StripRows();
  const std::ptrdiff_t rowStep = h > 1 ? ScanLine(1) - ScanLine(0) : 0;
  std::vector<std::vector<std::uint8_t>> strips;
  for (int top = 0; top < h; top += stripRows) {
    std::vector<std::uint8_t>& code = strips.emplace_back();
    EncodeGroup4(ScanLine(top), rowStep, Width(), std::min(stripRows, h - top), false, code);
    if (FillOrderLsbFirst) TIFFReverseBits(code.data(), static_cast<tmsize_t>(code.size()));
  }
  return strips;
}

void TTiffGraphic::CodeStripsAhead() {
  codedStrips_.clear();
  if (Empty() || ImageFormat() != ifBlackWhite || compression_ != tcCCITT4) return;
  codedStrips_ = CodeGroup4Strips();
  codedLayout_ = TCodedLayout{Width(), Height(), Group4StripRows(), FillOrderLsbFirst};
}

// ---------------------------------------------------------------------------

struct TTiffPageWriter::TState {
  TTiffGraphic Relay;  // receives libtiff's messages while a page is written
  TiffHandle Handle;
};

TTiffPageWriter::TTiffPageWriter(TStream& stream) : stream_(stream), state_(std::make_unique<TState>()) {}

TTiffPageWriter::~TTiffPageWriter() = default;

void TTiffPageWriter::Write(TTiffGraphic& tags, const TCodedPage* coded) {
  tags.CheckWritable(coded);
  tags.lastError_.clear();
  tags.lastWarning_.clear();
  if (!state_->Handle) {
    stream_.SetPosition(0);
    state_->Handle = OpenTiff(stream_, stream_.Size() == 0 ? "w" : "a", &state_->Relay);
  }
  state_->Relay.LibraryError("");
  try {
    tags.WriteDirectory(state_->Handle.get(), coded);
  } catch (...) {
    tags.lastError_ = state_->Relay.LastLibraryError();
    state_->Handle.reset();
    throw;
  }
}

void TTiffPageWriter::Finish() {
  if (state_->Handle) {
    // Closing writes what libtiff still holds.
    TIFFFlush(state_->Handle.get());
    state_->Handle.reset();
  }
}

struct TTiffCodedReader::TState {
  TiffHandle Handle;
  int Current = 0;  // directory the handle is on
};

TTiffCodedReader::TTiffCodedReader(TStream& stream) : state_(std::make_unique<TState>()) {
  stream.SetPosition(0);
  state_->Handle = OpenTiff(stream, "rc", nullptr);
}

TTiffCodedReader::~TTiffCodedReader() = default;

bool TTiffCodedReader::Read(int index, TCodedPage& page) {
  TIFF* tif = state_->Handle.get();
  if (index < 0) return false;
  if (index != state_->Current) {
    const bool next = index == state_->Current + 1;
    state_->Current = -1;  // unknown until a directory is read
    if (!(next ? TIFFReadDirectory(tif) : TIFFSetDirectory(tif, static_cast<tdir_t>(index)))) return false;
    state_->Current = index;
  }
  // The cases the decoding reader reads as they are coded.
  std::uint16_t compression = 0, bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG;
  std::uint16_t photometric = PHOTOMETRIC_MINISWHITE, orientation = ORIENTATION_TOPLEFT, fillOrder = FILLORDER_MSB2LSB;
  std::uint32_t width = 0, height = 0, options = 0, stripRows = 0;
  if (!TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression) || compression != COMPRESSION_CCITTFAX4) return false;
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(tif, TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fillOrder);
  TIFFGetField(tif, TIFFTAG_GROUP4OPTIONS, &options);
  if (bits != 1 || samples != 1 || planar != PLANARCONFIG_CONTIG || TIFFIsTiled(tif) ||
      (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK) ||
      orientation == ORIENTATION_BOTRIGHT || (options & GROUP4OPT_UNCOMPRESSED) != 0)
    return false;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) ||
      width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
    return false;
  if (!TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &stripRows) || stripRows == 0 || stripRows > height) stripRows = height;
  const std::uint32_t strips = (height - 1) / stripRows + 1;
  if (TIFFNumberOfStrips(tif) < strips) return false;
  const std::uint64_t fileSize = TIFFGetSizeProc(tif)(TIFFClientdata(tif));

  page.Kind = TCodedPage::Group4;
  page.Width = static_cast<int>(width);
  page.Height = static_cast<int>(height);
  page.StripRows = static_cast<int>(stripRows);
  page.BlackIs1 = false;  // fax data is white-is-zero whatever the page says
  page.Plain = false;
  page.Gray = false;
  const auto [xDpi, yDpi] = DirectoryDpi(tif);
  page.XPelsPerMeter = DpiToPelsPerMeter(std::clamp(xDpi != 0 ? xDpi : ImagingHooks().ScreenDpiX, 0, 65535));
  page.YPelsPerMeter = DpiToPelsPerMeter(std::clamp(yDpi != 0 ? yDpi : ImagingHooks().ScreenDpiY, 0, 65535));
  page.Strips.resize(strips);
  for (std::uint32_t strip = 0; strip < strips; ++strip) {
    const std::uint64_t size = TIFFRawStripSize64(tif, strip);
    if (size == 0 || size == static_cast<std::uint64_t>(-1) || size > fileSize) return false;
    std::vector<std::uint8_t>& code = page.Strips[strip];
    code.resize(static_cast<std::size_t>(size));
    if (TIFFReadRawStrip(tif, strip, code.data(), static_cast<tmsize_t>(size)) != static_cast<tmsize_t>(size))
      return false;
    if (fillOrder == FILLORDER_LSB2MSB) TIFFReverseBits(code.data(), static_cast<tmsize_t>(size));
  }
  return true;
}

void RegisterTiffFormat() {
  RegisterFileFormat("TIF", "TIFF file", &kTiffGraphicClass);
  RegisterFileFormat("TIFF", "TIFF file", &kTiffGraphicClass);
}
