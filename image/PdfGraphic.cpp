#include "image/PdfGraphic.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <deque>
#include <future>
#include <thread>

#include "image/GraphicRegistry.h"
#include "image/Group4Decoder.h"
#include "image/ImagingHooks.h"
#include "image/TiffDecoder.h"
#include "image/TiffEncoder.h"

#if __has_include("image/TiffGraphic.h") && __has_include("image/JpegGraphic.h")
#define VELTRAX_PDF_CODECS 1
#include "image/JpegGraphic.h"
#include "image/TiffGraphic.h"
#endif
#if __has_include("image/transforms/ImageFormatTransform.h")
#define VELTRAX_PDF_FORMAT_TRANSFORM 1
#include "image/transforms/ImageFormatTransform.h"
#endif
#if __has_include("image/transforms/RotateTransform.h")
#define VELTRAX_PDF_ROTATE_TRANSFORM 1
#include "image/transforms/RotateTransform.h"
#endif

namespace {

constexpr const char* kCrLf = "\r\n";
// Output is handed to the stream in blocks of about this size.
constexpr std::size_t kFlushSize = std::size_t{1} << 20;

std::string Num(std::int64_t v) { return std::to_string(v); }

std::string LocalTimeStamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

constexpr double kMetresPerInch = 0.0254;

// Pixels per metre of pixels spread over points: a whole dpi when the real
// resolution lies within 0.5 % of one (so that 300 stays 300 however the
// writer rounded its page size), otherwise the real resolution.
int PelsPerMeterOfPoints(int pixels, double points) {
  const double dpi = pixels * 72.0 / points;
  if (!std::isfinite(dpi) || dpi <= 0) return DpiToPelsPerMeter(1);
  const double whole = std::nearbyint(dpi);
  if (whole >= 1 && std::abs(dpi - whole) <= 0.005 * whole)
    return DpiToPelsPerMeter(static_cast<int>(std::min(whole, 65535.0)));
  return static_cast<int>(std::clamp(std::nearbyint(dpi / kMetresPerInch), 1.0, 65535.0 / kMetresPerInch));
}

// The size in points of a side of pixels at ppm pixels per metre; a whole
// dpi gives the exact points of that dpi.
double PagePoints(int pixels, int ppm) {
  const int dpi = PelsPerMeterToDpi(ppm);
  if (ppm <= 0 || DpiToPelsPerMeter(dpi) == ppm) return PdfPoints(pixels, dpi);
  return std::clamp(pixels * 72.0 / (ppm * kMetresPerInch), 0.0001, 14400000.0);
}

// A document that is locked says so instead of loading as nothing.
void ThrowIfLocked(const TPDFParser& parser) {
  if (parser.Failure() == TPDFParser::pfNeedsPassword) throw EImagingError("The PDF file is protected by a password");
  if (parser.Failure() == TPDFParser::pfUnsupportedEncryption)
    throw EImagingError("The PDF file is encrypted in a way this program cannot read");
}

#if VELTRAX_PDF_CODECS
// Image data other than JPEG, decoded by the TIFF reader as the one strip
// of a TIFF page.
std::unique_ptr<TDibGraphic> DecodeStrip(int width, int height, int bitsPerPixel, int compression,
                                         std::uint32_t t4Options, const std::vector<std::uint8_t>& data,
                                         bool blackIs1) {
  TTiffEncoder wrapper;
  wrapper.Width = static_cast<std::uint32_t>(width);
  wrapper.Height = static_cast<std::uint32_t>(height);
  wrapper.BitsPerPixel = bitsPerPixel;
  wrapper.Compression = compression;
  wrapper.T4Options = t4Options;
  TMemoryStream ms;
  wrapper.Encode(data.data(), static_cast<std::uint32_t>(data.size()), ms);
  ms.SetPosition(0);
  auto tiff = std::make_unique<TTiffGraphic>();
  tiff->ImageToLoad = 1;
  tiff->LoadFromStream(ms);
  if (blackIs1 && !tiff->Empty() && tiff->ImageFormat() == ifBlackWhite) {
    // The data codes black as 1: the opposite of what the wrapper states.
    for (int y = 0; y < tiff->Height(); ++y) {
      std::uint8_t* row = tiff->ScanLine(y);
      for (int i = 0; i < tiff->BytesPerScanLine(); ++i) row[i] = static_cast<std::uint8_t>(~row[i]);
    }
  }
  return tiff;
}

// Group 4 data goes into the document as it is only when it is coded the
// plain way every reader decodes alike; other data (empty runs that some
// scanners write) is decoded as this program reads it and coded again.
TPdfPageImage PlainGroup4(TPdfPageImage image) {
  std::vector<std::uint8_t> row((static_cast<std::size_t>(image.Width) + 7) / 8);
  if (DecodeGroup4(image.Data.data(), image.Data.size(), image.Width, image.Height, row.data(), 0, false, true))
    return image;
  const auto decoded = DecodeStrip(image.Width, image.Height, 1, TPDFParser::pcGroup4, 0, image.Data, image.BlackIs1);
  if (decoded->Empty()) throw EImagingError("The Group 4 data of a page cannot be decoded");
  image.Data = TPdfGraphic::EncodePage(*decoded).Data;
  image.BlackIs1 = false;
  return image;
}
#endif

// Decodes page number (1-based) of a parsed document into out. False when
// the page or its image cannot be located; decoder errors propagate.
bool DecodePage(TPDFParser& parser, int number, TDibGraphic& out) {
  if (!parser.Parsed() || number < 1 || number > parser.PageCount()) return false;
  const TPDFParser::TPageRecord* record = parser.Page(number - 1);
  if (!record) return false;
  std::vector<std::uint8_t> data;
  int compression = 0;
  // The image is located; data that cannot be unpacked is an error of the
  // page, as a decoder error would be.
  if (!parser.PageImageData(*record, data, compression))
    throw EImagingError(FormatMessage("The image data of page %d is damaged", number));

#if VELTRAX_PDF_CODECS
  std::unique_ptr<TDibGraphic> decoded;
  if (compression == TPDFParser::pcJpeg) {
    auto jpeg = std::make_unique<TJpegGraphic>();
    TMemoryStream ms(std::move(data));
    jpeg->LoadFromStream(ms);
    decoded = std::move(jpeg);
  } else {
    decoded = DecodeStrip(record->Width, record->Height, record->BitsPerPixel, compression, record->T4Options, data,
                          record->BlackIs1);
  }
  if (decoded->Empty()) return false;
#if VELTRAX_PDF_ROTATE_TRANSFORM
  if (record->Rotate != 0) {
    TNBRotateTransform rotate;  // bit-level quarter turns for 1-bit pages
    rotate.Angle = record->Rotate;
    rotate.Apply(*decoded);
  }
#endif
  // Resolution: image pixels over the MediaBox in inches.
  int xPpm = PelsPerMeterOfPoints(record->Width, record->MediaBox[2] - record->MediaBox[0]);
  int yPpm = PelsPerMeterOfPoints(record->Height, record->MediaBox[3] - record->MediaBox[1]);
  if (record->Rotate == 90 || record->Rotate == 270) std::swap(xPpm, yPpm);
  out.Assign(*decoded);
  out.SetXPelsPerMeter(xPpm);
  out.SetYPelsPerMeter(yPpm);
  return true;
#else
  (void)out;
  throw EImagingError("PDF image decoders are not available");
#endif
}

// A page on its way into the document: pixels to encode, or the image
// ready.
struct TPageWork {
  std::shared_ptr<const TDibGraphic> Pixels;
  TPdfPageImage Image;
  bool CheckGroup4 = false;  // see PlainGroup4
};

// Writes count pages into writer in order. The pages are fetched on the
// calling thread (fetch may call back into the caller), and encoded on
// worker threads, a few pages ahead, so that encoding uses every core.
void WritePages(TPdfDocumentWriter& writer, int count, const std::function<TPageWork(int)>& fetch,
                const std::function<void(int)>& written) {
  const std::size_t ahead = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
  std::deque<std::future<TPdfPageImage>> pending;
  int done = 0;
  auto writeOldest = [&] {
    writer.AddPage(pending.front().get());
    pending.pop_front();
    written(++done);
  };
  // On an error the futures still pending wait for their threads when
  // they are destroyed.
  for (int i = 0; i < count; ++i) {
    TPageWork work = fetch(i);
    if (work.Pixels)
      pending.push_back(
          std::async(std::launch::async, [page = std::move(work.Pixels)] { return TPdfGraphic::EncodePage(*page); }));
#if VELTRAX_PDF_CODECS
    else if (work.CheckGroup4)
      pending.push_back(std::async(
          std::launch::async, [image = std::move(work.Image)]() mutable { return PlainGroup4(std::move(image)); }));
#endif
    else
      pending.push_back(
          std::async(std::launch::deferred, [image = std::move(work.Image)]() mutable { return std::move(image); }));
    if (pending.size() >= ahead) writeOldest();
  }
  while (!pending.empty()) writeOldest();
}

const TGraphicClass kPdfClass{"TPdfGraphic",
                              []() -> std::unique_ptr<TDibGraphic> { return std::make_unique<TPdfGraphic>(); }};

}  // namespace

// --- number and text formats --------------------------------------------------

std::string FormatPdfNumber(double value) {
  if (!std::isfinite(value)) return "0";
  const long long scaled = std::llround(value * 10000.0);
  const bool negative = scaled < 0;
  const unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(scaled) : static_cast<unsigned long long>(scaled);
  std::string text = std::to_string(magnitude / 10000);
  unsigned long long fraction = magnitude % 10000;
  if (fraction != 0) {
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04llu", fraction);
    std::string f(digits);
    while (!f.empty() && f.back() == '0') f.pop_back();
    text += "." + f;
  }
  return (negative && magnitude != 0 ? "-" : "") + text;
}

std::string EscapePdfString(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '(':
        out += "\\(";
        break;
      case ')':
        out += "\\)";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

double PdfPoints(int pixels, int dpi) {
  if (dpi <= 0) dpi = ImagingHooks().ScreenDpiX;
  if (dpi <= 0) dpi = 96;
  return std::clamp(static_cast<double>(pixels) * 72.0 / dpi, 0.0001, 14400000.0);
}

// --- writer ---------------------------------------------------------------------

TPdfDocumentWriter::TPdfDocumentWriter(TStream& stream, int pageCount, bool onePageLayout)
    : stream_(stream), pageCount_(pageCount), onePage_(onePageLayout) {
  if (onePage_) pageCount_ = 1;
  offsets_.assign(onePage_ ? 8 : static_cast<std::size_t>(4 + 4 * pageCount_), 0);
}

TPdfDocumentWriter::~TPdfDocumentWriter() = default;

void TPdfDocumentWriter::Flush() {
  if (!buffer_.empty()) {
    stream_.Write(buffer_.data(), static_cast<std::int64_t>(buffer_.size()));
    buffer_.clear();
  }
}

void TPdfDocumentWriter::Line(const std::string& text) {
  buffer_ += text;
  buffer_ += kCrLf;
  written_ += static_cast<std::int64_t>(text.size()) + 2;
  if (buffer_.size() >= kFlushSize) Flush();
}

void TPdfDocumentWriter::Raw(const void* data, std::size_t size) {
  Flush();
  if (size > 0) stream_.Write(data, static_cast<std::int64_t>(size));
  written_ += static_cast<std::int64_t>(size);
}

void TPdfDocumentWriter::StartObject(int number) {
  offsets_[static_cast<std::size_t>(number)] = written_;
  Line(Num(number) + " 0 obj");
}

void TPdfDocumentWriter::Begin() {
  if (CreationDate.empty()) CreationDate = LocalTimeStamp();
  static const char header[] = {'%', 'P', 'D', 'F', '-', '1', '.', '3', '\xFF', '\xFE', '\xFD'};
  buffer_.append(header, sizeof header);
  written_ += sizeof header;
  Line("");

  StartObject(1);
  Line("<</Creator (TPdfGraphic)");
  Line("/CreationDate (" + EscapePdfString("D:" + CreationDate) + ")");
  Line("/Producer (Orvane Veltrax)");
  Line("/Author ()");
  Line("/Title ()");
  Line("/Subject ()");
  Line("/Keywords ()");
  Line(">>");
  Line("endobj");

  StartObject(2);
  Line("<</Type /Pages");
  Line("/Kids [");
  for (int p = 0; p < pageCount_; ++p) Line(Num(onePage_ ? 3 : 4 + 4 * p) + " 0 R");
  Line("]");
  Line("/Count " + Num(pageCount_));
  Line(">>");
  Line("endobj");
}

void TPdfDocumentWriter::AddPage(const TPdfPageImage& page) {
  if (pagesAdded_ >= pageCount_) throw EImagingError("Too many pages for the PDF document");
  const int p = pagesAdded_++;
  const int pageObject = onePage_ ? 3 : 4 + 4 * p;
  const int contentObject = onePage_ ? 6 : 5 + 4 * p;
  const int resourcesObject = onePage_ ? 4 : 6 + 4 * p;
  const int imageObject = onePage_ ? 7 : 7 + 4 * p;
  const std::string w = FormatPdfNumber(page.PageWidth);
  const std::string h = FormatPdfNumber(page.PageHeight);
  const std::string imageName = "/Im" + Num(imageObject);

  StartObject(pageObject);
  Line("<</Type /Page");
  Line("/Parent 2 0 R");
  Line("/Resources " + Num(resourcesObject) + " 0 R");
  Line("/Contents [" + Num(contentObject) + " 0 R]");
  Line("/MediaBox [0 0 " + w + " " + h + "]");
  Line(">>");
  Line("endobj");

  StartObject(resourcesObject);
  Line("<< /XObject << " + imageName + " " + Num(imageObject) + " 0 R >>");
  Line("/Font << >>");
  Line(">>");
  Line("endobj");

  auto writeContent = [&] {
    const std::string content = "q" + std::string(kCrLf) + "1 0 0 1 0 0 cm" + kCrLf + w + " 0 0 " + h + " 0 0 cm" +
                                kCrLf + imageName + " Do" + kCrLf + "Q" + kCrLf;
    StartObject(contentObject);
    Line("<</Length " + Num(static_cast<std::int64_t>(content.size())));
    Line(">>");
    Line("stream");
    buffer_ += content;
    written_ += static_cast<std::int64_t>(content.size());
    Line("");
    Line("endstream");
    Line("endobj");
  };
  auto writeImage = [&] {
    StartObject(imageObject);
    Line("<</Type /XObject");
    Line("/Subtype /Image");
    Line("/Name " + imageName);
    Line("/Width " + Num(page.Width));
    Line("/Height " + Num(page.Height));
    if (page.Ccitt) {
      Line("/BitsPerComponent 1");
      Line("/ColorSpace /DeviceGray");
    } else {
      Line("/BitsPerComponent 8");
      Line(page.Gray ? "/ColorSpace /DeviceGray" : "/ColorSpace /DeviceRGB");
    }
    Line("/Length " + Num(static_cast<std::int64_t>(page.Data.size())));
    if (page.Ccitt)
      Line("/Filter [/CCITTFaxDecode] /DecodeParms[<< /Columns " + Num(page.Width) + " /Rows " + Num(page.Height) +
           " /K -1" + (page.BlackIs1 ? " /BlackIs1 true" : "") + " >>]");
    else
      Line("/Filter /DCTDecode");
    Line(">>");
    Line("stream");
    Raw(page.Data.data(), page.Data.size());
    Line("");
    Line("endstream");
    Line("endobj");
  };
  // The one-page layout writes the image before the content.
  if (onePage_) {
    writeImage();
    writeContent();
  } else {
    writeContent();
    writeImage();
  }
}

void TPdfDocumentWriter::Finish() {
  if (pagesAdded_ != pageCount_) throw EImagingError("The PDF document is missing pages");
  const int catalog = onePage_ ? 5 : 3;
  StartObject(catalog);
  Line("<</Type /Catalog");
  Line("/Pages 2 0 R");
  Line("/PageLayout /SinglePage");
  Line("/PageMode /UseNone");
  Line(">>");
  Line("endobj");

  const std::int64_t xref = written_;
  const std::size_t size = offsets_.size();
  Line("xref");
  Line("0 " + Num(static_cast<std::int64_t>(size)));
  Line("0000000000 65535 f");
  char entry[32];
  for (std::size_t i = 1; i < size; ++i) {
    std::snprintf(entry, sizeof entry, "%010lld 00000 n", static_cast<long long>(offsets_[i]));
    Line(entry);
  }
  Line("trailer");
  Line("<<");
  Line("/Size " + Num(static_cast<std::int64_t>(size)));
  Line("/Root " + Num(catalog) + " 0 R");
  Line("/Info 1 0 R");
  Line(">>");
  Line("startxref");
  Line(Num(xref));
  Line("%%EOF");
  Flush();
}

// --- TPdfGraphic -----------------------------------------------------------------

TPdfGraphic::TPdfGraphic() = default;
TPdfGraphic::~TPdfGraphic() = default;

std::unique_ptr<TDibGraphic> TPdfGraphic::NewInstance() const { return std::make_unique<TPdfGraphic>(); }

TPdfPageImage TPdfGraphic::EncodePage(const TDibGraphic& page) {
  if (page.Empty()) throw EImagingError("Graphic is empty");
  TPdfPageImage out;
  out.Width = page.Width();
  out.Height = page.Height();
  out.PageWidth = PagePoints(page.Width(), page.XPelsPerMeter());
  out.PageHeight = PagePoints(page.Height(), page.YPelsPerMeter());
#if VELTRAX_PDF_CODECS
  if (page.ImageFormat() == ifBlackWhite) {
    // One Group 4 strip written by the TIFF writer, taken over unchanged.
    TTiffGraphic tiff;
    tiff.Assign(page);
    tiff.SetCompression(tcCCITT4);
    tiff.RowsPerStrip = static_cast<std::uint32_t>(page.Height());
    TMemoryStream ms;
    tiff.SaveToStream(ms);
    TTiffDecoder decoder(ms.Memory(), static_cast<std::size_t>(ms.Size()));
    decoder.ReadHeader();
    decoder.ReadDirectory(0);
    const std::uint64_t offset = decoder.TagValue(273);
    const std::uint64_t count = decoder.TagValue(279);
    if (offset + count > static_cast<std::uint64_t>(ms.Size())) throw EImagingError("TIFF strip lies outside the file");
    out.Ccitt = true;
    out.Data.assign(ms.Memory() + offset, ms.Memory() + offset + count);
    return out;
  }
  TDibGraphic converted;
  const TDibGraphic* source = &page;
  const TImageFormat format = page.ImageFormat();
  out.Gray = format == ifGray16 || format == ifGray256;
  if (format == ifGray16 || format == ifColor16 || format == ifColor256) {
#if VELTRAX_PDF_FORMAT_TRANSFORM
    TImageFormatTransform convert;
    convert.Format = format == ifGray16 ? ifGray256 : ifTrueColor;
    convert.ApplyOnDest(page, converted);
    source = &converted;
#else
    throw EImagingError("Image format conversion is not available");
#endif
  }
  TJpegGraphic jpeg;
  jpeg.Assign(*source);
  TMemoryStream ms;
  jpeg.SaveToStream(ms);
  out.Data = std::move(ms.Bytes());
  return out;
#else
  throw EImagingError("PDF image encoders are not available");
#endif
}

void TPdfGraphic::SaveToStream(TStream& stream) {
  TPdfPageImage image = EncodePage(*this);
  Progress(0, 0, -1, 1);
  TPdfDocumentWriter writer(stream, 1, true);
  writer.Begin();
  writer.AddPage(image);
  writer.Finish();
  Progress(1, 0, 0, 1);
}

bool TPdfGraphic::IsValidFormat(TStream& stream) {
  const std::int64_t start = stream.Position();
  char head[5] = {};
  const std::int64_t n = stream.Read(head, 5);
  stream.SetPosition(start);
  return n == 5 && std::memcmp(head, "%PDF-", 5) == 0;
}

int TPdfGraphic::GetImageCount(TStream& stream) {
  try {
    return parser_.Parse(stream) ? parser_.PageCount() : 0;
  } catch (...) {
    parser_.Reset();
    return 0;
  }
}

void TPdfGraphic::LoadImageFromStream(TStream& stream, int imageNumber) {
  bool parsed = false;
  try {
    parsed = parser_.Parse(stream);
  } catch (...) {
    parser_.Reset();
    return;
  }
  if (!parsed) {
    ThrowIfLocked(parser_);
    return;
  }
  int last = Progress(0, 0, -1, 100);
  if (imageNumber < 1 || imageNumber > parser_.PageCount()) return;
  if (!DecodePage(parser_, imageNumber, *this)) return;
  Progress(100, 0, last, 100);
}

void TPdfGraphic::LoadFromStream(TStream& stream) {
  if (!LoadAllFrames) {
    TDibGraphic::LoadFromStream(stream);
    return;
  }
  const std::int64_t start = stream.Position();
  const int count = GetImageCount(stream);
  stream.SetPosition(start);
  if (count == 1) {
    TDibGraphic::LoadFromStream(stream);  // switches LoadAllFrames off
    return;
  }
  if (count == 0) {
    ThrowIfLocked(parser_);
    return;  // not a document this reader can read: unchanged
  }
  // Every frame decoded from this graphic's parse instead of one parse per
  // frame.
  const bool animate = Animate;
  Animate = false;
  ClearFrames();
  try {
    for (int k = 1; k <= count; ++k) {
      auto frame = NewInstance();
      DecodePage(parser_, k, *frame);
      AddFrame(std::move(frame));
    }
    SelectFrame(1);
  } catch (...) {
    Animate = animate;
    throw;
  }
  Animate = animate;
}

void TPdfGraphic::AppendToStream(TStream& stream) {
  TPdfPageImage self = EncodePage(*this);
  TMemoryStream memory;
  int count = 0;
  if (stream.Size() > 0) {
    stream.SetPosition(0);
    count = GetImageCount(stream);
    // Rewriting a file whose pages cannot be read would lose them.
    if (count == 0) throw EImagingError("The PDF file cannot be read, so no page can be appended to it");
  }
  TPdfDocumentWriter writer(memory, count + 1, false);
  writer.Begin();
  int last = Progress(0, 0, -1, count);
  for (int k = 1; k <= count; ++k) {
    TPdfGraphic page;
    if (!DecodePage(parser_, k, page)) throw EImagingError(FormatMessage("Page %d of the PDF file cannot be read", k));
    writer.AddPage(EncodePage(page));
    last = Progress(k, 0, last, count);
  }
  writer.AddPage(self);
  writer.Finish();
  // The target changes only now that the whole new document exists.
  stream.SetPosition(0);
  stream.Write(memory.Memory(), memory.Size());
  stream.SetSize(memory.Size());
  parser_.Reset();
  Progress(100, 0, last, 100);
}

void TPdfGraphic::SaveFramesToPdfFile(const std::string& fileName) {
  const int frames = FrameCount();
  TFileStream file(fileName, TFileMode::fmCreate);
  TPdfDocumentWriter writer(file, std::max(frames, 1), false);
  writer.Begin();
  int last = Progress(0, 0, -1, 100);
  if (frames == 0) {
    writer.AddPage(EncodePage(*this));
    last = Progress(100, 0, last, 100);
  } else {
    // The frames stay where they are while they are encoded.
    WritePages(
        writer, frames,
        [this](int i) {
          return TPageWork{std::shared_ptr<const TDibGraphic>(&Frame(i + 1), [](const TDibGraphic*) {}), {}};
        },
        [&](int k) { last = Progress(k, 0, last, frames); });
  }
  writer.Finish();
}

void TPdfGraphic::SavePagesToPdfFile(TDibGraphic& workImage, const std::string& fileName, int pageCount,
                                     const TGetPageEvent& getPage) {
  if (!getPage) throw EImagingError("No page source for the PDF file");
  SavePagesToPdfFile(fileName, pageCount, [&](int i) {
    TDibGraphic* page = getPage(i);
    if (!page) return TPageInput{};
    workImage.Assign(*page);
    return TPageInput{&workImage, nullptr};
  });
}

void TPdfGraphic::SavePagesToPdfFile(const std::string& fileName, int pageCount,
                                     const std::function<TPageInput(int)>& getPage) {
  if (pageCount < 1) throw EImagingError("A PDF file needs at least one page");
  TFileStream file(fileName, TFileMode::fmCreate);
  TPdfDocumentWriter writer(file, pageCount, false);
  writer.Begin();
  int last = Progress(0, 0, -1, pageCount);
  WritePages(
      writer, pageCount,
      [&](int i) {
        const TPageInput page = getPage(i);
        if (page.Coded)
          return TPageWork{nullptr, CodedPageImage(*page.Coded),
                           page.Coded->Kind == TCodedPage::Group4 && !page.Coded->Plain};
        if (!page.Pixels) throw EImagingError(FormatMessage("Page %d of the PDF file is missing", i + 1));
        // The caller's page may change once the next one is fetched.
        auto copy = std::make_shared<TDibGraphic>();
        copy->Assign(*page.Pixels);
        return TPageWork{std::move(copy), {}};
      },
      [&](int k) { last = Progress(k, 0, last, pageCount); });
  writer.Finish();
}

bool TPdfGraphic::CodedPageFitsPdf(const TCodedPage& page) {
  return page.Width > 0 && page.Height > 0 && page.Strips.size() == 1 &&
         (page.Kind == TCodedPage::Jpeg || page.StripRows >= page.Height);
}

TPdfPageImage TPdfGraphic::CodedPageImage(const TCodedPage& page) {
  if (!CodedPageFitsPdf(page)) throw EImagingError("The coded page cannot be written as one PDF image");
  TPdfPageImage out;
  out.Width = page.Width;
  out.Height = page.Height;
  out.PageWidth = PagePoints(page.Width, page.XPelsPerMeter);
  out.PageHeight = PagePoints(page.Height, page.YPelsPerMeter);
  out.Ccitt = page.Kind == TCodedPage::Group4;
  out.BlackIs1 = out.Ccitt && page.BlackIs1;
  out.Gray = page.Gray;
  out.Data = page.Strips.front();
  return out;
}

bool TPdfGraphic::ReadCodedPage(int imageNumber, TCodedPage& page) {
  if (imageNumber < 1 || imageNumber > parser_.PageCount()) return false;
  const TPDFParser::TPageRecord* record = parser_.Page(imageNumber - 1);
  if (!record || record->Rotate != 0 || record->Adorned) return false;
  const bool jpeg = record->Compression == TPDFParser::pcJpeg;
  if (jpeg ? record->BitsPerPixel != 8 && record->BitsPerPixel != 24
           : record->Compression != TPDFParser::pcGroup4 || record->BitsPerPixel != 1)
    return false;
  std::vector<std::uint8_t> data;
  int compression = 0;
  if (!parser_.PageImageData(*record, data, compression) || data.empty()) return false;
  page.Kind = jpeg ? TCodedPage::Jpeg : TCodedPage::Group4;
  page.Width = record->Width;
  page.Height = record->Height;
  page.StripRows = record->Height;
  page.BlackIs1 = !jpeg && record->BlackIs1;
  page.Plain = true;  // as PDF readers already take it
  page.Gray = record->BitsPerPixel == 8;
  page.XPelsPerMeter = PelsPerMeterOfPoints(record->Width, record->MediaBox[2] - record->MediaBox[0]);
  page.YPelsPerMeter = PelsPerMeterOfPoints(record->Height, record->MediaBox[3] - record->MediaBox[1]);
  page.Strips.assign(1, std::move(data));
  return true;
}

void RegisterPdfFormat() { RegisterFileFormat("PDF", "PDF file", &kPdfClass); }
