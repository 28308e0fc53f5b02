#include "image/TiffDecoder.h"

#include <algorithm>
#include <set>

namespace {
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
}  // namespace

TTiffDecoder::TTiffDecoder(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

std::uint16_t TTiffDecoder::Read16(std::size_t offset) const {
  if (offset > size_ || size_ - offset < 2) throw EImagingError("TIFF data is truncated");
  const std::uint8_t* p = data_ + offset;
  return bigEndian_ ? static_cast<std::uint16_t>((p[0] << 8) | p[1]) : static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t TTiffDecoder::Read32(std::size_t offset) const {
  if (offset > size_ || size_ - offset < 4) throw EImagingError("TIFF data is truncated");
  const std::uint8_t* p = data_ + offset;
  if (bigEndian_) return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

void TTiffDecoder::ReadHeader() {
  if (size_ < 8) throw EImagingError("Not a TIFF header");
  if (data_[0] == 'I' && data_[1] == 'I')
    bigEndian_ = false;
  else if (data_[0] == 'M' && data_[1] == 'M')
    bigEndian_ = true;
  else
    throw EImagingError("Not a TIFF header");
  if (Read16(2) != 42) throw EImagingError("Not a TIFF header");
  firstDirectory_ = Read32(4);
  headerRead_ = true;
}

void TTiffDecoder::ReadDirectory(int n) {
  if (!headerRead_) ReadHeader();
  entries_.clear();
  std::uint32_t offset = firstDirectory_;
  std::set<std::uint32_t> visited;
  for (int i = 0;; ++i) {
    // The chain ends at offset 0; a directory seen before would start a loop.
    if (offset == 0 || !visited.insert(offset).second || offset > size_ || size_ - offset < 2)
      throw EImagingError(FormatMessage("TIFF directory %d not found", n));
    const std::uint16_t count = Read16(offset);
    const std::size_t tableEnd = std::size_t{offset} + 2 + std::size_t{count} * 12;
    if (tableEnd > size_) throw EImagingError(FormatMessage("TIFF directory %d not found", n));
    if (i == n) {
      entries_.reserve(count);
      for (std::uint16_t k = 0; k < count; ++k) {
        const std::size_t e = std::size_t{offset} + 2 + std::size_t{k} * 12;
        TEntry entry;
        entry.Tag = Read16(e);
        entry.Type = Read16(e + 2);
        entry.Count = Read32(e + 4);
        entry.Field = Read32(e + 8);
        entries_.push_back(entry);
      }
      return;
    }
    offset = tableEnd + 4 <= size_ ? Read32(tableEnd) : 0;
  }
}

const TTiffDecoder::TEntry* TTiffDecoder::Find(std::uint16_t tag) const {
  auto it = std::find_if(entries_.begin(), entries_.end(), [tag](const TEntry& e) { return e.Tag == tag; });
  return it == entries_.end() ? nullptr : &*it;
}

bool TTiffDecoder::HasTag(std::uint16_t tag) const { return Find(tag) != nullptr; }

std::uint32_t TTiffDecoder::TagValue(std::uint16_t tag) const {
  const TEntry* e = Find(tag);
  if (!e) throw EImagingError(FormatMessage("TIFF tag %d not found", tag));
  if (e->Count == 1 && e->Type == kTypeShort) {
    // A SHORT sits in the first two bytes of the field, in file order.
    return bigEndian_ ? (e->Field >> 16) : (e->Field & 0xFFFF);
  }
  if (e->Count == 1 && e->Type == kTypeLong) return e->Field;
  return e->Field;
}
