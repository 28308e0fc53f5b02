#include "image/PixelMemory.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUseMappings = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kUseMappings = false;
#else
constexpr bool kUseMappings = true;
#endif
#else
constexpr bool kUseMappings = true;
#endif

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kPage = 4096;
// From this size on a buffer gets a mapping of its own.
constexpr std::size_t kMappedFrom = std::size_t{512} << 10;

bool Mapped(std::size_t size) { return kUseMappings && size >= kMappedFrom; }

// Whole 4 KiB pages: nothing is wasted on rounding.
std::size_t MappedLength(std::size_t size) { return (size + kPage - 1) & ~(kPage - 1); }

// Released mappings kept for the next pages: unmapping and mapping again
// would fault the memory in afresh and make every thread flush its
// address translations.
class TMappingCache {
 public:
  std::uint8_t* Take(std::size_t length) {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < count_; ++i)
      if (entries_[i].Length == length) {
        std::uint8_t* p = entries_[i].Memory;
        bytes_ -= length;
        entries_[i] = entries_[--count_];
        return p;
      }
    return nullptr;
  }
  bool Keep(std::uint8_t* p, std::size_t length) {
    std::lock_guard lock(mutex_);
    if (count_ == kSlots || bytes_ + length > kMaxBytes) return false;
    entries_[count_++] = TEntry{p, length};
    bytes_ += length;
    return true;
  }

 private:
  // A few page images' worth; large colour pages are simply unmapped.
  static constexpr int kSlots = 8;
  static constexpr std::size_t kMaxBytes = std::size_t{64} << 20;
  struct TEntry {
    std::uint8_t* Memory;
    std::size_t Length;
  };
  std::mutex mutex_;
  TEntry entries_[kSlots] = {};
  int count_ = 0;
  std::size_t bytes_ = 0;
};

TMappingCache& MappingCache() {
  static TMappingCache* cache = new TMappingCache;  // lives to the end of the process
  return *cache;
}

}  // namespace

std::uint8_t* AllocatePixelMemory(std::size_t size) {
  if (size == 0) size = 1;
  if (Mapped(size)) {
    const std::size_t length = MappedLength(size);
    if (std::uint8_t* kept = MappingCache().Take(length)) {
      std::memset(kept, 0, size);
      return kept;
    }
    // Buffers of 2 MiB and more start on a 2 MiB boundary, so that their
    // whole 2 MiB stretches can be huge pages; the rest of the over-mapped
    // span is returned at once.
    const std::size_t align = length >= kHugePage ? kHugePage : kPage;
    const std::size_t span = length + align - kPage;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + align - 1) & ~(align - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const std::uintptr_t end = start + span;
    if (end > aligned + length) munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
    auto* p = reinterpret_cast<std::uint8_t*>(aligned);
    // Hints only; without them the memory works the same. Faulting the
    // whole buffer in one call spares one fault per 4 KiB page.
    if (length >= kHugePage) madvise(p, length, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    madvise(p, length, MADV_POPULATE_WRITE);
#endif
    return p;  // fresh mappings are zero-filled
  }
  const std::size_t allocSize = (size + 63) & ~std::size_t{63};
  auto* p = static_cast<std::uint8_t*>(std::aligned_alloc(64, allocSize));
  if (p) std::memset(p, 0, allocSize);
  return p;
}

void ReleasePixelMemory(std::uint8_t* p, std::size_t size) {
  if (!p) return;
  if (size == 0) size = 1;
  if (Mapped(size)) {
    if (!MappingCache().Keep(p, MappedLength(size))) munmap(p, MappedLength(size));
  } else {
    std::free(p);
  }
}
