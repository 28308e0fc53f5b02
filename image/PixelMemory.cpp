#include "image/PixelMemory.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>

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
// From this size on a buffer gets a mapping of its own.
constexpr std::size_t kMappedFrom = std::size_t{512} << 10;

bool Mapped(std::size_t size) { return kUseMappings && size >= kMappedFrom; }

std::size_t MappedLength(std::size_t size) { return (size + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

std::uint8_t* AllocatePixelMemory(std::size_t size) {
  if (size == 0) size = 1;
  if (Mapped(size)) {
    const std::size_t length = MappedLength(size);
    // Over-map by one huge page so the buffer can start on a 2 MiB
    // boundary; the unused ends are returned at once.
    const std::size_t span = length + kHugePage;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw != MAP_FAILED) {
      const auto start = reinterpret_cast<std::uintptr_t>(raw);
      const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
      if (aligned > start) munmap(raw, aligned - start);
      const std::uintptr_t end = start + span;
      if (end > aligned + length) munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
      auto* p = reinterpret_cast<std::uint8_t*>(aligned);
      madvise(p, length, MADV_HUGEPAGE);  // a hint: without it the memory still works
      return p;  // fresh mappings are zero-filled
    }
    return nullptr;
  }
  const std::size_t allocSize = (size + 63) & ~std::size_t{63};
  auto* p = static_cast<std::uint8_t*>(std::aligned_alloc(64, allocSize));
  if (p) std::memset(p, 0, allocSize);
  return p;
}

void ReleasePixelMemory(std::uint8_t* p, std::size_t size) {
  if (!p) return;
  if (size == 0) size = 1;
  if (Mapped(size))
    munmap(p, MappedLength(size));
  else
    std::free(p);
}
