// TPdfGraphic: PDF documents whose pages are full-page images.
//
// Writing: every page is one image XObject drawn over the whole page. A
// 1-bit page is stored as the CCITT Group 4 strip of a one-strip TIFF
// (taken unchanged, no re-coding); every other page as baseline JPEG at
// quality 80 (4-bit grey as 8-bit grey, palette pages as 24-bit colour).
// The page size in points is the pixel size at the image's resolution,
// written with four decimals. All four ways of writing produce the same object
// layout; lines end in CR LF.
//
// Reading: TPDFParser locates the image of a page; JPEG data is decoded by
// the JPEG reader, anything else is wrapped as a one-strip TIFF
// (TTiffEncoder) and decoded by the TIFF reader. The resolution comes from
// the MediaBox (a whole dpi when within 0.5 % of one). GetImageCount
// returns 0 for anything it cannot read, and LoadImageFromStream leaves the
// image unchanged when the page cannot be located; only errors of the image
// decoders, and a document locked by a password (or by an encryption
// this reader does not know), raise.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/CodedPage.h"
#include "image/DibGraphic.h"
#include "image/PdfParser.h"

// One page image, encoded and ready to be written.
struct TPdfPageImage {
  int Width = 0;  // pixels
  int Height = 0;
  double PageWidth = 0;  // points (MediaBox and image scale)
  double PageHeight = 0;
  bool Ccitt = false;     // CCITT Group 4 1-bit data; otherwise JPEG
  bool BlackIs1 = false;  // CCITT: coded white runs are black
  bool Gray = false;      // JPEG with one component
  std::vector<std::uint8_t> Data;
};

// Writes the objects of a PDF document page by page. The one-page layout
// (used by SaveToStream) numbers and orders its objects differently from
// the multi-page layout (append, frames, page sequence).
class TPdfDocumentWriter {
 public:
  // Offsets count from the stream's position at construction.
  TPdfDocumentWriter(TStream& stream, int pageCount, bool onePageLayout);
  ~TPdfDocumentWriter();
  TPdfDocumentWriter(const TPdfDocumentWriter&) = delete;
  TPdfDocumentWriter& operator=(const TPdfDocumentWriter&) = delete;

  // "yyyymmddhhnnss"; the local time of writing unless set before Begin.
  std::string CreationDate;

  // Header, information dictionary and page tree.
  void Begin();
  void AddPage(const TPdfPageImage& page);
  // Catalog, cross-reference table, trailer. Throws when fewer pages were
  // added than announced.
  void Finish();
  std::int64_t BytesWritten() const { return written_; }

 private:
  void Line(const std::string& text);
  void Raw(const void* data, std::size_t size);
  void StartObject(int number);
  void Flush();

  TStream& stream_;
  int pageCount_;
  bool onePage_;
  int pagesAdded_ = 0;
  std::int64_t written_ = 0;
  std::vector<std::int64_t> offsets_;  // by object number; entry 0 unused
  std::string buffer_;
};

// "0.####": up to four decimals, no trailing zeros, "." as the separator.
std::string FormatPdfNumber(double value);
// Literal-string escapes of the information dictionary.
std::string EscapePdfString(const std::string& text);
// Page size in points of a side of pixels at dpi dots per inch.
double PdfPoints(int pixels, int dpi);

class TPdfGraphic : public TDibGraphic {
 public:
  TPdfGraphic();
  ~TPdfGraphic() override;

  const char* ClassName() const override { return "TPdfGraphic"; }
  std::unique_ptr<TDibGraphic> NewInstance() const override;

  // As TDibGraphic's, but all frames come from one parse of the document.
  void LoadFromStream(TStream& stream) override;
  // Writes self as a one-page document.
  void SaveToStream(TStream& stream) override;
  // "%PDF-" at the stream's position (the position is restored).
  bool IsValidFormat(TStream& stream) override;
  int GetImageCount(TStream& stream) override;
  void LoadImageFromStream(TStream& stream, int imageNumber) override;
  // Rebuilds the document in memory with self as a new last page, then
  // writes it over the stream and cuts the stream to its length. An empty
  // stream gets a one-page document. The stream is left untouched when any
  // existing page cannot be read or anything fails.
  void AppendToStream(TStream& stream) override;

  // Every frame of self as one page of a new file (self alone when it has
  // no frames).
  void SaveFramesToPdfFile(const std::string& fileName);

  // Returns page index (0-based) of a page sequence; the graphic stays the
  // caller's.
  using TGetPageEvent = std::function<TDibGraphic*(int index)>;
  // Writes pageCount pages into a new file: each page is fetched with
  // getPage, assigned into workImage and written.
  void SavePagesToPdfFile(TDibGraphic& workImage, const std::string& fileName, int pageCount,
                          const TGetPageEvent& getPage);

  // A page for SavePagesToPdfFile: pixels to encode (copied first), or a
  // page coded already that fits a PDF image (CodedPageFitsPdf).
  struct TPageInput {
    const TDibGraphic* Pixels = nullptr;
    const TCodedPage* Coded = nullptr;
  };
  void SavePagesToPdfFile(const std::string& fileName, int pageCount, const std::function<TPageInput(int)>& getPage);

  // Page imageNumber (1-based) of the document read last (GetImageCount,
  // LoadImageFromStream) as coded data, without decoding it: only a Group 4
  // image that the decoding reader takes as it is (no /Decode array, mask,
  // byte-aligned rows or page rotation). False otherwise, and for a page
  // that cannot be located.
  bool ReadCodedPage(int imageNumber, TCodedPage& page);
  // Whether a coded page goes into a PDF image unchanged: one Group 4
  // strip, or a JPEG stream.
  static bool CodedPageFitsPdf(const TCodedPage& page);
  // The image of such a page as the writer takes it.
  static TPdfPageImage CodedPageImage(const TCodedPage& page);

  TPDFParser& Parser() { return parser_; }

  // Encodes one page image for writing (CCITT Group 4 for 1-bit pages,
  // JPEG otherwise).
  static TPdfPageImage EncodePage(const TDibGraphic& page);

 private:
  TPDFParser parser_;
};

void RegisterPdfFormat();
