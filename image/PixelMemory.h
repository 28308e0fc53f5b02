// Memory for pixel buffers.
//
// A scanned page is a megabyte or more, and a correction allocates a few of
// them per page. Touching fresh memory 4 KiB at a time costs a page fault
// each time, which on a virtual machine costs more than the correction
// itself. Large buffers are therefore mapped on their own, faulted in with
// one call, and (from 2 MiB on) marked for the kernel's 2 MiB pages;
// released ones are kept for the next pages. Small buffers (and every
// buffer in sanitizer builds, so that overruns are still caught) come from
// the ordinary heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// size bytes, zero-filled, aligned to 64 bytes; nullptr when the memory
// cannot be had. Release with ReleasePixelMemory and the same size.
std::uint8_t* AllocatePixelMemory(std::size_t size);
void ReleasePixelMemory(std::uint8_t* p, std::size_t size);

struct TPixelMemoryRelease {
  std::size_t Size;  // bytes allocated
  void operator()(std::uint8_t* p) const { ReleasePixelMemory(p, Size); }
};
using TPixelBuffer = std::unique_ptr<std::uint8_t[], TPixelMemoryRelease>;

// An owned block as above; empty when the memory cannot be had.
inline TPixelBuffer MakePixelBuffer(std::size_t size) {
  return TPixelBuffer(AllocatePixelMemory(size), TPixelMemoryRelease{size});
}
