// Group 4 (two-dimensional, no end-of-line codes) coding of 1-bit pages.
//
// Both TIFF pages saved with Group 4 compression and the 1-bit pages of a
// PDF are coded here. The coding line's changing elements are found 64
// pixels at a time from the transition mask of the row, so the cost follows
// the number of colour changes, not the number of pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Codes `rows` rows of a page `width` pixels wide. Row y starts at
// firstRow + y * rowStep, most significant bit first; a set bit is black
// when blackIsOne, white otherwise. Padding bits after the last pixel of a
// row are ignored. The code (ending with the end-of-block mark, padded to a
// whole byte) is appended to out, most significant bit first.
void EncodeGroup4(const std::uint8_t* firstRow, std::ptrdiff_t rowStep, int width, int rows, bool blackIsOne,
                  std::vector<std::uint8_t>& out);
