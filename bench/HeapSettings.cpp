// Linked into every benchmark program. Leptonica (and libtiff) take their
// page-sized buffers from malloc, which maps large blocks afresh each time
// until its own threshold has grown past them; our images come from pixel
// memory and never grow it. Keeping freed blocks in the heap from the start
// gives the libraries the reuse a long-running program settles into, so
// their figures do not include fresh page faults on every call.
#include <malloc.h>

namespace {

const bool heapSet = [] {
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  return true;
}();

}  // namespace
