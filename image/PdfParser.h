// TPDFParser: a small text-level reader for PDF files whose pages are
// full-page images.
//
// It understands exactly what such files need: the header, startxref,
// classic cross-reference tables (with /Prev chains of incremental
// updates), cross-reference streams (Flate, PNG predictors; /Prev chains
// too, mixed with classic tables), object streams, the standard security
// handler with the empty user password (TPdfSecurity), a page tree whose
// pages hang under one node reached through first kids, and, per page, the
// MediaBox, /Rotate and the first image XObject of the page's resources
// (each taken from the nearest ancestor node when the page lacks it). It
// renders nothing.
//
// Common rules:
//  - the whole file is copied into memory once per parse; every scan over
//    it stops at the ends of the buffer, and a scan that reaches an end makes
//    the lookup fail;
//  - nothing here throws for bad input: failures are reported as false /
//    nullptr / 0 pages;
//  - dictionary values are found by searching the dictionary text for the
//    key (first occurrence that ends at a name boundary), skipping one
//    character after it and then line ends and spaces, then reading decimal
//    digits; signs and fractions are not read (612.5 reads as 612). Arrays
//    (/Kids, /W, /Index) read their numbers with fractions, rounded to the
//    nearest integer; the MediaBox keeps its real numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "image/PdfSecurity.h"
#include "image/Stream.h"

class TPDFParser {
 public:
  // One entry of the cross-reference list, in reading order (the newest
  // table first, so the first entry of an object number wins).
  struct TXrefEntry {
    std::int64_t ObjectNumber = 0;
    // Byte offset of a directly stored object; for an object inside an
    // object stream, its index there.
    std::int64_t Offset = 0;
    // Number of the object stream holding the object; -1 when stored
    // directly.
    std::int64_t StreamNumber = -1;
  };

  // Image compression of a page, as TIFF compression codes.
  enum TPageCompression : int {
    pcNone = 1,
    pcCcittRle = 2,  // CCITT Group 3 1-D, rows byte-aligned, no EOL codes
    pcGroup3 = 3,    // CCITT Group 3 with EOL codes (T4Options tells 1-D / 2-D)
    pcGroup4 = 4,
    pcJpeg = 7,
    pcPackBits = 32773,
    pcDeflate = 32946
  };

  struct TPageRecord {
    std::int64_t PageObject = 0;
    double MediaBox[4] = {0, 0, 0, 0};  // x0, y0, x1, y1 in points
    int Width = 0;                      // image pixels
    int Height = 0;
    std::int64_t Length = 0;  // bytes of stream data
    int Compression = pcNone;
    int BitsPerComponent = 0;
    int BitsPerPixel = 0;          // BitsPerComponent, times 3 for RGB
    int Rotate = 0;                // 0, 90, 180 or 270
    std::int64_t DataAddress = 0;  // offset of the stream data in the memory copy
    std::int64_t ImageObject = 0;  // object number and generation of the image
    std::int64_t ImageGeneration = 0;
    // The data is encrypted: StoredLength bytes in the file, Length clear
    // bytes once decrypted (which is done anew on each use).
    bool Decrypted = false;
    std::int64_t StoredLength = 0;
    // Further facts of the image dictionary.
    std::uint32_t T4Options = 0;  // Group 3: bit 0 = 2-D coding, bit 2 = fill bits
    bool BlackIs1 = false;        // CCITT data codes black as 1
    // The image dictionary has a /Decode array, /ImageMask, /Mask or
    // /SMask, byte-aligned CCITT rows, or JPEG data of other than one or
    // three components or with a /ColorTransform: the data alone is not
    // the page.
    bool Adorned = false;
    int Predictor = 0;  // Flate data: 0/1 none, 2 TIFF, >= 10 PNG rows
    int PredictorColors = 1;
    int PredictorBitsPerComponent = 8;
    int PredictorColumns = 1;
  };

  // Parses the stream from its current position to its end (the position
  // is restored). When the same stream object is parsed again and still
  // holds the same bytes, the earlier result is kept without parsing again.
  // Returns true when the page tree yields at least one page.
  bool Parse(TStream& stream);
  // Parses a copy of the bytes (no caching).
  bool ParseBytes(std::vector<std::uint8_t> bytes);
  // Forgets the last parse.
  void Reset();

  // Why the last parse failed, where that is worth telling the user.
  enum TParseFailure { pfNone, pfNeedsPassword, pfUnsupportedEncryption };
  TParseFailure Failure() const { return failure_; }

  bool Parsed() const { return parsed_; }
  int PageCount() const { return parsed_ ? static_cast<int>(pages_.size()) : 0; }
  // The record of page index (0-based), read on first use; nullptr when the
  // page or its image cannot be located or uses a form this reader does not
  // support (chained filters, JBIG2, JPEG 2000, LZW, indexed colours, ...).
  const TPageRecord* Page(int index);
  // The stream data of a page as the image decoder takes it: Flate data is
  // inflated (and un-predicted) here and returned as uncompressed rows
  // (compression set to pcNone); anything else is the stream bytes
  // unchanged. False when the data is damaged or too short.
  bool PageImageData(const TPageRecord& page, std::vector<std::uint8_t>& data, int& compression) const;

  // --- lower-level access, used by the tests ------------------------------
  const std::vector<TXrefEntry>& XrefEntries() const { return xref_; }
  std::int64_t CatalogNumber() const { return root_; }
  // Text of object number's dictionary (or of the object when it has none).
  bool ObjectText(std::int64_t number, std::string& text);
  // Number of parses actually done (a kept parse does not count).
  int ParseCount() const { return parseCount_; }
  const std::vector<std::uint8_t>& Bytes() const { return data_; }
  bool Encrypted() const { return security_.Active(); }

  // Inflates zlib data; false when it is damaged before any output or would
  // grow beyond maxOutput bytes (with stopAtMax: the first maxOutput bytes
  // are kept instead).
  static bool Inflate(const std::uint8_t* data, std::size_t size, std::size_t maxOutput, std::vector<std::uint8_t>& out,
                      bool stopAtMax = false);
  // Undoes PNG row predictors in place: rows of 1 + rowBytes bytes, the
  // first byte the filter type (0 none, 1 Sub, 2 Up, 3 Average, 4 Paeth);
  // bytesPerPixel is the distance to the left neighbour. A last, shorter
  // row is un-predicted as far as it goes. False on an unknown filter type.
  static bool UnpredictPng(std::vector<std::uint8_t>& data, std::size_t rowBytes, std::size_t bytesPerPixel);

 private:
  struct TCachedObject {
    std::string Text;
    std::int64_t DictEnd = -1;  // buffer position after the dictionary; -1 inside an object stream
    std::int64_t Generation = 0;
  };

  bool ParseBuffer();
  bool FindStartXref(std::int64_t& offset) const;
  // Reads the cross-reference sections from offset along their /Prev chain
  // (classic tables and streams mixed), the newest first.
  bool ReadXrefChain(std::int64_t offset);
  bool ReadClassicTable(std::int64_t offset, std::string& trailer);
  bool ReadXrefStream(std::int64_t offset, std::string& trailer);
  // Sets up decryption from the newest trailer's /Encrypt and /ID.
  bool OpenSecurity(const std::string& trailer);
  // The dictionary text of the page or of its nearest ancestor that has
  // key; empty when none has.
  std::string InheritedText(const std::string& pageText, std::string_view key);
  bool BuildPageTree();
  bool ReadPageRecord(std::int64_t pageObject, TPageRecord& record);
  void AddEntry(const TXrefEntry& entry);
  // The clear bytes of a page's image data (Length of them): in the memory
  // copy, or decrypted into clear. Null when they cannot be had.
  const std::uint8_t* ImageBytes(const TPageRecord& page, std::vector<std::uint8_t>& clear) const;

  // Looks up object number; fills the cache. False when it cannot be found.
  const TCachedObject* Lookup(std::int64_t number);
  bool ReadDirectObject(std::int64_t address, std::int64_t number, TCachedObject& out) const;
  bool ExpandObjectStream(std::int64_t streamNumber);
  // Address of the data of the stream whose dictionary ends at dictEnd.
  bool StreamDataAddress(std::int64_t dictEnd, std::int64_t& address) const;
  // Inflated (and un-predicted) data of a Flate stream object (xref and
  // object streams).
  // Object streams are decrypted as the stream of object number first.
  bool DecodeFlateStream(const TCachedObject& object, std::vector<std::uint8_t>& out, std::int64_t number = -1);

  // Integer value of key; an indirect reference is followed to the first
  // integer of the referenced object.
  bool IntOrRef(std::string_view text, std::string_view key, std::int64_t& value);
  // Numbers and reference targets of an array value (followed when the
  // value is an indirect reference).
  bool ArrayValue(std::string_view text, std::string_view key, std::vector<std::int64_t>& numbers,
                  std::vector<std::int64_t>& refs, std::vector<double>* reals = nullptr);
  // Text of a dictionary value: inline "<< >>", the first element of an
  // array, or the referenced object. Empty when absent.
  std::string DictValue(std::string_view text, std::string_view key);
  int ColourComponents(std::string_view imageDict);

  std::vector<std::uint8_t> data_;
  bool parsed_ = false;
  int parseCount_ = 0;
  const TStream* lastStream_ = nullptr;
  std::int64_t lastStart_ = -1;

  std::vector<TXrefEntry> xref_;
  std::unordered_map<std::int64_t, std::size_t> firstEntry_;  // object number -> xref_ index
  std::unordered_map<std::int64_t, TCachedObject> cache_;     // object number -> text
  std::unordered_map<std::int64_t, bool> expandedStreams_;
  std::int64_t root_ = -1;
  TParseFailure failure_ = pfNone;
  TPdfSecurity security_;
  int columns_ = 0;  // /Columns and /Predictor of the last stream that declared them
  int predictor_ = 0;
  int lookupDepth_ = 0;

  std::vector<std::int64_t> pages_;
  std::vector<TPageRecord> records_;
  std::vector<std::uint8_t> recordState_;  // 0 unread, 1 valid, 2 failed
};
