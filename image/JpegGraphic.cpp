#include "image/JpegGraphic.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <cmath>

#include "image/GraphicRegistry.h"

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
// Rows handed to libjpeg per guarded call (progress is reported between).
constexpr int kRowChunk = 16;

// ---------------------------------------------------------------------------
// Error manager. error_exit formats the message and jumps back to the
// guard that made the libjpeg call.

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  int warnings;
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  err->message[0] = '\0';
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    ++err->warnings;
    ++cinfo->err->num_warnings;
  }
}

void OutputMessage(j_common_ptr) {}

void InitErrorManager(ErrorManager& err) {
  std::memset(&err, 0, sizeof err);
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputMessage;
}

// ---------------------------------------------------------------------------
// Stream access that never throws (it runs inside libjpeg calls).

std::int64_t ReadSome(TStream* stream, void* buffer, std::int64_t count) {
  try {
    return stream->Read(buffer, count);
  } catch (...) {
    return -1;
  }
}

bool WriteAll(TStream* stream, const void* buffer, std::int64_t count) {
  try {
    stream->Write(buffer, count);
    return true;
  } catch (...) {
    return false;
  }
}

void SeekBack(TStream* stream, std::int64_t count) {
  try {
    if (count > 0) stream->Seek(-count, TSeekOrigin::soCurrent);
  } catch (...) {
  }
}

struct SourceManager {
  jpeg_source_mgr pub;
  TStream* stream;
  bool startOfFile;
  bool fakeEnd;
  JOCTET buffer[kBufferSize];
};

void InitSource(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  src->startOfFile = true;
  src->fakeEnd = false;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  std::int64_t n = ReadSome(src->stream, src->buffer, kBufferSize);
  if (n <= 0) {
    if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    // An end-of-image marker lets the decoder finish what it has.
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    src->fakeEnd = true;
    n = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = static_cast<std::size_t>(n);
  src->startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  if (count <= 0) return;
  while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
    count -= static_cast<long>(src->pub.bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  src->pub.next_input_byte += count;
  src->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr cinfo) {
  // Leave the stream just behind the image, as far as it was read ahead.
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  if (!src->fakeEnd) SeekBack(src->stream, static_cast<std::int64_t>(src->pub.bytes_in_buffer));
  src->pub.bytes_in_buffer = 0;
}

struct DestinationManager {
  jpeg_destination_mgr pub;
  TStream* stream;
  JOCTET buffer[kBufferSize];
};

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
  if (!WriteAll(dest->stream, dest->buffer, kBufferSize)) ERREXIT(cinfo, JERR_FILE_WRITE);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
  const std::size_t used = kBufferSize - dest->pub.free_in_buffer;
  if (used > 0 && !WriteAll(dest->stream, dest->buffer, static_cast<std::int64_t>(used)))
    ERREXIT(cinfo, JERR_FILE_WRITE);
}

// ---------------------------------------------------------------------------
// Guards: the only places that call into libjpeg. They hold no C++ objects,
// so the longjmp from ErrorExit skips no destructor.

// Value-initialised (all zero) by make_unique; release libjpeg's memory on
// every path.
struct Decompressor {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  SourceManager src;
  bool created;
  ~Decompressor() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

struct Compressor {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  DestinationManager dest;
  bool created;
  ~Compressor() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

bool GuardCreateDecompress(Decompressor* d) {
  if (setjmp(d->err.jump)) return false;
  jpeg_create_decompress(&d->cinfo);
  d->created = true;
  return true;
}

bool GuardReadHeader(Decompressor* d) {
  if (setjmp(d->err.jump)) return false;
  jpeg_read_header(&d->cinfo, TRUE);
  return true;
}

bool GuardCalcDimensions(Decompressor* d) {
  if (setjmp(d->err.jump)) return false;
  jpeg_calc_output_dimensions(&d->cinfo);
  return true;
}

bool GuardStartDecompress(Decompressor* d) {
  if (setjmp(d->err.jump)) return false;
  jpeg_start_decompress(&d->cinfo);
  return true;
}

bool GuardReadRows(Decompressor* d, JSAMPARRAY rows, JDIMENSION count) {
  if (setjmp(d->err.jump)) return false;
  JDIMENSION done = 0;
  while (done < count) {
    JDIMENSION n = jpeg_read_scanlines(&d->cinfo, rows + done, count - done);
    if (n == 0) return false;
    done += n;
  }
  return true;
}

bool GuardFinishDecompress(Decompressor* d) {
  if (setjmp(d->err.jump)) return false;
  jpeg_finish_decompress(&d->cinfo);
  return true;
}

bool GuardCreateCompress(Compressor* c) {
  if (setjmp(c->err.jump)) return false;
  jpeg_create_compress(&c->cinfo);
  c->created = true;
  return true;
}

bool GuardSetup(Compressor* c, int quality, bool progressive) {
  if (setjmp(c->err.jump)) return false;
  jpeg_set_defaults(&c->cinfo);
  jpeg_set_quality(&c->cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&c->cinfo);
  return true;
}

bool GuardStartCompress(Compressor* c) {
  if (setjmp(c->err.jump)) return false;
  jpeg_start_compress(&c->cinfo, TRUE);
  return true;
}

bool GuardWriteRows(Compressor* c, JSAMPARRAY rows, JDIMENSION count) {
  if (setjmp(c->err.jump)) return false;
  JDIMENSION done = 0;
  while (done < count) {
    JDIMENSION n = jpeg_write_scanlines(&c->cinfo, rows + done, count - done);
    if (n == 0) return false;
    done += n;
  }
  return true;
}

bool GuardFinishCompress(Compressor* c) {
  if (setjmp(c->err.jump)) return false;
  jpeg_finish_compress(&c->cinfo);
  return true;
}

std::unique_ptr<Decompressor> NewDecompressor(TStream& stream) {
  auto d = std::make_unique<Decompressor>();
  InitErrorManager(d->err);
  d->cinfo.err = &d->err.pub;
  if (!GuardCreateDecompress(d.get())) throw EJpegError(d->err.message);
  d->src.stream = &stream;
  d->src.pub.init_source = InitSource;
  d->src.pub.fill_input_buffer = FillInputBuffer;
  d->src.pub.skip_input_data = SkipInputData;
  d->src.pub.resync_to_restart = jpeg_resync_to_restart;
  d->src.pub.term_source = TermSource;
  d->cinfo.src = &d->src.pub;
  return d;
}

std::unique_ptr<Compressor> NewCompressor(TStream& stream) {
  auto c = std::make_unique<Compressor>();
  InitErrorManager(c->err);
  c->cinfo.err = &c->err.pub;
  if (!GuardCreateCompress(c.get())) throw EJpegError(c->err.message);
  c->dest.stream = &stream;
  c->dest.pub.init_destination = InitDestination;
  c->dest.pub.empty_output_buffer = EmptyOutputBuffer;
  c->dest.pub.term_destination = TermDestination;
  c->cinfo.dest = &c->dest.pub;
  return c;
}

int DensityToDpi(int unit, int density) {
  if (unit == 1) return density;
  if (unit == 2) return static_cast<int>(std::nearbyint(density * 2.54));
  return 0;
}

// Adobe CMYK is stored inverted: the stored byte is 255 - ink.
inline std::uint8_t CmykChannel(std::uint8_t stored, std::uint8_t storedBlack) {
  const int ink = 255 - stored;
  const int black = 255 - storedBlack;
  return static_cast<std::uint8_t>(ink + black < 255 ? 255 - (ink + black) : 0);
}

std::unique_ptr<TDibGraphic> CreateJpegGraphic() { return std::make_unique<TJpegGraphic>(); }
const TGraphicClass kJpegGraphicClass{"TJpegGraphic", CreateJpegGraphic};

}  // namespace

TJpegGraphic::TJpegGraphic() = default;
TJpegGraphic::~TJpegGraphic() = default;

std::unique_ptr<TDibGraphic> TJpegGraphic::NewInstance() const { return std::make_unique<TJpegGraphic>(); }

bool TJpegGraphic::IsValidFormat(TStream& stream) {
  const std::int64_t start = stream.Position();
  std::uint8_t head[20] = {};
  const std::int64_t n = stream.Read(head, sizeof head);
  stream.SetPosition(start);
  if (n < 11) return false;
  return head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF && head[3] == 0xE0 &&
         std::memcmp(head + 6, "JFIF\0", 5) == 0;
}

bool TJpegGraphic::PlainJpegData(const std::uint8_t* data, std::size_t size, bool& gray) {
  // Marker segments from the start of image to the first frame header.
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  std::size_t p = 2;
  while (p + 4 <= size) {
    if (data[p] != 0xFF) return false;
    const std::uint8_t marker = data[p + 1];
    if (marker == 0xFF) {  // fill byte
      ++p;
      continue;
    }
    const std::size_t length = (static_cast<std::size_t>(data[p + 2]) << 8) | data[p + 3];
    if (length < 2 || p + 2 + length > size) return false;
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      // A frame header: precision, height, width, components.
      if (marker > 0xC2 || length < 8) return false;
      const int precision = data[p + 4];
      const int components = data[p + 9];
      gray = components == 1;
      return precision == 8 && (components == 1 || components == 3);
    }
    if (marker == 0xDA || marker == 0xD9) return false;  // no frame header first
    p += 2 + length;
  }
  return false;
}

void TJpegGraphic::LoadImageFromStream(TStream& stream, int) {
  int last = Progress(0, 0, -1, 100);
  warnings_ = 0;
  auto d = NewDecompressor(stream);
  jpeg_decompress_struct& cinfo = d->cinfo;
  if (!GuardReadHeader(d.get())) throw EJpegError(d->err.message);

  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
      cinfo.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_RGB:
    case JCS_YCbCr:
      cinfo.out_color_space = JCS_RGB;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo.out_color_space = JCS_CMYK;
      break;
    default:
      throw EJpegError("Unsupported color space");
  }
  if (!GuardCalcDimensions(d.get())) throw EJpegError(d->err.message);
  const bool cmyk = cinfo.out_color_space == JCS_CMYK;
  const int components = cinfo.output_components;
  if (cmyk ? components != 4 : components != 1 && components != 3)
    throw EJpegError("Invalid number of samples, " + std::to_string(components));

  const int xDpi = DensityToDpi(cinfo.density_unit, cinfo.X_density);
  const int yDpi = DensityToDpi(cinfo.density_unit, cinfo.Y_density);
  const int width = static_cast<int>(cinfo.output_width);
  const int height = static_cast<int>(cinfo.output_height);
  NewImage(width, height, components == 1 ? ifGray256 : ifTrueColor, nullptr, xDpi, yDpi);

  if (!GuardStartDecompress(d.get())) throw EJpegError(d->err.message);

  std::vector<JSAMPROW> rows(kRowChunk);
  std::vector<JSAMPLE> cmykRows;
  if (cmyk) cmykRows.resize(static_cast<std::size_t>(width) * 4 * kRowChunk);
  for (int y = 0; y < height; y += kRowChunk) {
    const int count = std::min(kRowChunk, height - y);
    for (int i = 0; i < count; ++i)
      rows[i] = cmyk ? cmykRows.data() + static_cast<std::size_t>(i) * width * 4 : ScanLine(y + i);
    if (!GuardReadRows(d.get(), rows.data(), static_cast<JDIMENSION>(count))) {
      warnings_ = d->err.warnings;
      throw EJpegError(d->err.message[0] ? d->err.message : "JPEG decoding stopped early");
    }
    for (int i = 0; i < count; ++i) {
      std::uint8_t* row = ScanLine(y + i);
      if (cmyk) {
        const JSAMPLE* p = rows[i];
        for (int x = 0; x < width; ++x, p += 4) {
          row[3 * x] = CmykChannel(p[2], p[3]);
          row[3 * x + 1] = CmykChannel(p[1], p[3]);
          row[3 * x + 2] = CmykChannel(p[0], p[3]);
        }
      } else if (components == 3) {
        for (int x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
      }
    }
    last = Progress(y + count, 0, last, height);
  }
  if (!GuardFinishDecompress(d.get())) throw EJpegError(d->err.message);
  warnings_ = d->err.warnings;
  Progress(100, 0, last, 100);
}

void TJpegGraphic::SaveToStream(TStream& stream) {
  const TImageFormat format = ImageFormat();
  if (Empty() || (format != ifGray256 && format != ifTrueColor))
    throw EJpegError("JPEG image must be gray scale or true color");
  int last = Progress(0, 0, -1, 100);
  warnings_ = 0;
  auto c = NewCompressor(stream);
  jpeg_compress_struct& cinfo = c->cinfo;
  const bool colour = format == ifTrueColor;
  const int width = Width();
  const int height = Height();
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = colour ? 3 : 1;
  cinfo.in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
  if (!GuardSetup(c.get(), std::min<int>(JpegQuality, 100), Progressive)) throw EJpegError(c->err.message);
  cinfo.density_unit = 1;
  cinfo.X_density = static_cast<UINT16>(XDotsPerInch());
  cinfo.Y_density = static_cast<UINT16>(YDotsPerInch());
  cinfo.optimize_coding = OptimizeCoding ? TRUE : FALSE;
  if (!GuardStartCompress(c.get())) throw EJpegError(c->err.message);

  std::vector<JSAMPROW> rows(kRowChunk);
  std::vector<JSAMPLE> buffer;
  if (colour) buffer.resize(static_cast<std::size_t>(width) * 3 * kRowChunk);
  for (int y = 0; y < height; y += kRowChunk) {
    const int count = std::min(kRowChunk, height - y);
    for (int i = 0; i < count; ++i) {
      if (colour) {
        // Blue, green, red in memory; red, green, blue for libjpeg.
        JSAMPLE* dst = buffer.data() + static_cast<std::size_t>(i) * width * 3;
        const std::uint8_t* src = ScanLine(y + i);
        for (int x = 0; x < width; ++x) {
          dst[3 * x] = src[3 * x + 2];
          dst[3 * x + 1] = src[3 * x + 1];
          dst[3 * x + 2] = src[3 * x];
        }
        rows[i] = dst;
      } else {
        rows[i] = ScanLine(y + i);
      }
    }
    if (!GuardWriteRows(c.get(), rows.data(), static_cast<JDIMENSION>(count)))
      throw EJpegError(c->err.message[0] ? c->err.message : "JPEG encoding stopped early");
    last = Progress(y + count, 0, last, height);
  }
  if (!GuardFinishCompress(c.get())) throw EJpegError(c->err.message);
  warnings_ = c->err.warnings;
  Progress(100, 0, last, 100);
}

void RegisterJpegFormat() {
  RegisterFileFormat("JPG", "JPEG", &kJpegGraphicClass);
  RegisterFileFormat("JPEG", "JPEG", &kJpegGraphicClass);
}
