// TTiffDecoder: a minimal reader of TIFF image directories.
//
// It walks the chain of directories of a TIFF held in memory, loads the
// entry table of one directory and answers the value of a tag. It decodes
// no pixels; the PDF writer uses it to find the single compressed strip of a
// TIFF that libtiff has just written. Every read is checked against the
// buffer, so a damaged TIFF raises an error instead of reading outside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/ImagingErrors.h"

class TTiffDecoder {
 public:
  struct TEntry {
    std::uint16_t Tag = 0;
    std::uint16_t Type = 0;
    std::uint32_t Count = 0;
    std::uint32_t Field = 0;  // the 4-byte value field, in host order
  };

  // The buffer must outlive the decoder.
  TTiffDecoder(const std::uint8_t* data, std::size_t size);

  // Reads the 8-byte header ("II" or "MM", 42); throws on anything else.
  void ReadHeader();
  // Loads the entries of directory n (0-based), following the chain of
  // next-directory offsets. Throws "TIFF directory %d not found".
  void ReadDirectory(int n);
  // Value of a tag of the loaded directory. A single SHORT or LONG is
  // returned as its number; for any other entry the raw 4-byte field.
  // Throws "TIFF tag %d not found".
  std::uint32_t TagValue(std::uint16_t tag) const;
  bool HasTag(std::uint16_t tag) const;
  const std::vector<TEntry>& Entries() const { return entries_; }
  bool BigEndian() const { return bigEndian_; }

 private:
  std::uint16_t Read16(std::size_t offset) const;
  std::uint32_t Read32(std::size_t offset) const;
  const TEntry* Find(std::uint16_t tag) const;

  const std::uint8_t* data_;
  std::size_t size_;
  bool bigEndian_ = false;
  bool headerRead_ = false;
  std::uint32_t firstDirectory_ = 0;
  std::vector<TEntry> entries_;
};
