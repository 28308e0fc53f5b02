// Row-level building blocks shared by the correction routines: filling and
// copying pixel ranges of rows as packed bits, whatever the pixel format.
//
// A pixel x of a row with b bits per pixel occupies bits x*b .. x*b+b-1,
// counted from the most significant bit of byte 0; that one rule covers the
// 1-, 4-, 8- and 24-bit layouts, so every helper here works on bit ranges.
// All helpers clip to the images involved; nothing is read or written
// outside a row's pixels (padding bytes are left alone).
#pragma once

#include <cstdint>

#include "image/DibGraphic.h"

namespace rows {

// Sets bits [bitStart, bitStart + bitCount) of row to the matching bits of
// the byte-periodic pattern (bit p takes bit 7 - p % 8 of pattern).
void FillBits(std::uint8_t* row, std::int64_t bitStart, std::int64_t bitCount, std::uint8_t pattern);

// Copies bitCount bits from src (from srcBit) to dst (from dstBit). The two
// ranges must not overlap.
void CopyBits(std::uint8_t* dst, std::int64_t dstBit, const std::uint8_t* src, std::int64_t srcBit,
              std::int64_t bitCount);

// The byte pattern that paints white on this image: the nearest palette
// entry of white repeated (all ones on a normal bilevel page), or 0xFF for
// true colour.
std::uint8_t WhitePattern(TDibGraphic& image);

// Paints r (clipped to the image) white.
void FillWhite(TDibGraphic& image, const TRect& r);
void FillWhite(TDibGraphic& image, const TRect& r, std::uint8_t whitePattern);

// Plain block copy between two images of the same pixel format: the source
// rectangle srcRect is copied with its top-left corner at (x, y) of dest.
// Parts of srcRect outside the source and parts of the target outside dest
// are skipped. Source and destination must be different images.
void CopyRect(TDibGraphic& dest, std::int64_t x, std::int64_t y, const TDibGraphic& source, const TRect& srcRect);

}  // namespace rows
