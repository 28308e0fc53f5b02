// TTiffGraphic: one page of a single- or multi-page TIFF file.
//
// Reading, counting, writing and appending all go through libtiff opened on
// our own TStream (client procedures; no memory mapping). libtiff's errors
// and warnings are routed to the object doing the work: nothing reaches the
// terminal, and a failing libtiff call becomes an ETiffError whose message
// is "ETiffError " followed by the step that failed.
//
// 1-bit pages always come out with bit 0 = black. Compression and
// RowsPerStrip describe the page last read and are reused when the same
// object is saved again; NewImage resets Compression to the format's
// default (CCITT Group 4 for 1-bit, PackBits otherwise).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/CodedPage.h"
#include "image/DibGraphic.h"

class ETiffError : public std::runtime_error {
 public:
  // step: "TIFFOpen", "TIFFWriteScanLine", ... ; the message gets the
  // class name in front.
  explicit ETiffError(const std::string& step) : std::runtime_error("ETiffError " + step) {}
};

enum TTiffCompression : std::uint8_t {
  tcNone = 0,
  tcPackbits = 1,
  tcCCITT3_1D = 2,
  tcCCITT3_2D = 3,
  tcCCITT4 = 4,
  tcZLib = 5,
  tcJPEG = 6,
  tcLZW = 7
};

// "None", "Packbits", "CCITT Group 3, 1D", ...
const char* TiffCompressionText(TTiffCompression compression);
// Compression tag written for a compression (1, 32773, 3, 3, 4, 32946, 7, 5).
int TiffCompressionTag(TTiffCompression compression);
// Whether a page of this format may be written with this compression.
bool TiffCompressionAllowed(TTiffCompression compression, TImageFormat format);

// A private text tag (40000..40019). Only tags with ReadEnabled are taken
// from a file; WriteEnabled is kept with it but tags are never written.
struct TTiffPrivateTag {
  std::uint16_t Tag = 0;
  bool ReadEnabled = false;
  bool WriteEnabled = false;
  std::string Text;
};

class TTiffGraphic : public TDibGraphic {
 public:
  static constexpr int PrivateTagCount = 20;
  static constexpr std::uint16_t FirstPrivateTag = 40000;
  static constexpr std::uint32_t DefaultRowsPerStrip = 0x7FFFFFFF;

  TTiffGraphic();
  ~TTiffGraphic() override;

  const char* ClassName() const override { return "TTiffGraphic"; }
  std::unique_ptr<TDibGraphic> NewInstance() const override;

  // Copies the image (Compression becomes the new format's default) and,
  // from another TTiffGraphic, its RowsPerStrip.
  void Assign(const TDibGraphic& source) override;

  void SaveToStream(TStream& stream) override;
  bool IsValidFormat(TStream& stream) override;
  int GetImageCount(TStream& stream) override;
  void LoadImageFromStream(TStream& stream, int imageNumber) override;
  void AppendToStream(TStream& stream) override;

  // Throws EImagingError "%s compression not supported with %s images" for
  // a pair the writer cannot produce; the value is kept only when allowed.
  TTiffCompression Compression() const { return compression_; }
  void SetCompression(TTiffCompression value);

  std::uint32_t RowsPerStrip = DefaultRowsPerStrip;
  std::uint8_t JpegQuality = 70;
  bool FillOrderLsbFirst = false;

  std::string DocumentName;      // 269
  std::string ImageDescription;  // 270
  std::string Make;              // 271
  std::string Model;             // 272
  std::string PageName;          // 285
  std::string Software;          // 305
  std::string DateTime;          // 306
  std::string Artist;            // 315
  std::string HostComputer;      // 316

  std::array<TTiffPrivateTag, PrivateTagCount> PrivateTags;
  // Text of a private tag (40000..40019) as last read; empty otherwise.
  const std::string& PrivateTagText(std::uint16_t tag) const;

  // Codes the strips of a Group 4 bilevel page now (nothing for other
  // pages), so that the next save only writes them: worker threads code
  // pages ahead of a single writer. The next save takes them; the pixels,
  // compression, strip rows and fill order must not change in between.
  void CodeStripsAhead();

  // What libtiff last reported while this object worked (for diagnostics;
  // the exception messages stay the fixed step texts).
  const std::string& LastLibraryError() const { return lastError_; }
  const std::string& LastLibraryWarning() const { return lastWarning_; }

  // Called by the libtiff handlers.
  void LibraryError(const std::string& message) { lastError_ = message; }
  void LibraryWarning(const std::string& message) { lastWarning_ = message; }

 protected:
  void ImageCreated() override;

 private:
  // last: the percent reported last, carried on by the page's progress.
  void ReadPage(TStream& stream, int pageNumber, int& last);
  void WritePage(TStream& stream, const char* mode);
  // Throws when the page (self or coded) cannot be written.
  void CheckWritable(const TCodedPage* coded) const;
  // One page (checked with CheckWritable first) into the file open on tif,
  // as a new directory: self's pixels, or a Group 4 page coded already (see
  // TTiffCodedReader) with the tags a page of this object would get.
  void WriteDirectory(struct tiff* tif, const TCodedPage* coded);
  friend class TTiffPageWriter;
  // Rows per Group 4 strip as the page will be written.
  int Group4StripRows() const;
  std::vector<std::vector<std::uint8_t>> CodeGroup4Strips() const;

  TTiffCompression compression_ = tcCCITT4;
  // Strips coded ahead, and the layout they were coded for.
  std::vector<std::vector<std::uint8_t>> codedStrips_;
  struct TCodedLayout {
    int Width = 0, Height = 0, StripRows = 0;
    bool LsbFirst = false;
    bool operator==(const TCodedLayout&) const = default;
  } codedLayout_;
  std::string lastError_;
  std::string lastWarning_;
};

// Writes pages one after another into one stream, after those it holds,
// through one opening of the file: appending each page on its own reads
// the directories of all pages before it again. Each page is written as
// its AppendToStream would write it.
class TTiffPageWriter {
 public:
  explicit TTiffPageWriter(TStream& stream);
  ~TTiffPageWriter();
  TTiffPageWriter(const TTiffPageWriter&) = delete;
  TTiffPageWriter& operator=(const TTiffPageWriter&) = delete;

  // The pixels of `tags`, or the coded page with its tags. After an error
  // no further page can be written: the file is to be discarded.
  void Write(TTiffGraphic& tags, const TCodedPage* coded = nullptr);
  // Closes the file; the stream then holds every page.
  void Finish();

 private:
  struct TState;
  TStream& stream_;
  std::unique_ptr<TState> state_;
};

// Reads the pages of a TIFF file as coded data, without decoding them, best
// in order (each page then costs one directory read). A page is handed out
// only when it is one Group 4 bilevel image in strips that the reader takes
// as it is: not turned, without uncompressed-mode extensions, every strip
// present. Fill order 2 data comes out in the usual bit order. Nothing in
// the data is checked: damaged coding goes out as it came in.
class TTiffCodedReader {
 public:
  // The stream (at position 0) must outlive the reader. Throws ETiffError
  // when the stream is not a TIFF file.
  explicit TTiffCodedReader(TStream& stream);
  ~TTiffCodedReader();
  TTiffCodedReader(const TTiffCodedReader&) = delete;
  TTiffCodedReader& operator=(const TTiffCodedReader&) = delete;

  // Page index (0-based); false when the page cannot be copied that way
  // (or cannot be read: the decoding reader then tells why).
  bool Read(int index, TCodedPage& page);

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

// Registers "TIF" and "TIFF".
void RegisterTiffFormat();
