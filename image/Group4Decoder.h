// A fast decoder for CCITT Group 4 (T.6) coded 1-bit pages. It decodes what
// real encoders write exactly as libtiff does, including their empty runs
// (which change the next row's reference line); anything else (coding
// errors, truncated data, uncompressed-mode extensions, runs past the row
// end) makes it return false so that the caller can decode the page another
// way.
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes Group 4 (T.6) coded data of a page `width` pixels wide into `rows`
// rows. Row y is written at firstRow + y * rowStep, (width + 7) / 8 bytes,
// most significant bit first; padding bits of the last byte are set to the
// white value. Black pixels get 1 when blackIsOne, else 0 (white the other).
// Returns true only when every row decoded cleanly; coding errors, data that
// ends before the last row, uncompressed-mode extensions or runs past the row
// end return false (rows already written may hold partial results; the
// caller then falls back). Never reads outside [data, data + size) and never
// writes outside the rows.
//
// plainOnly also refuses empty runs that do not start a row: libtiff reads
// them, other decoders (those of PDF viewers among them) lose the row.
bool DecodeGroup4(const std::uint8_t* data, std::size_t size, int width, int rows, std::uint8_t* firstRow,
                  std::ptrdiff_t rowStep, bool blackIsOne, bool plainOnly = false);
