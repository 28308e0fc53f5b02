// Word-level helpers for 1-bit rows, shared by the transforms.
//
// A 1-bit row is packed most significant bit first: pixel x is bit
// (7 - x mod 8) of byte x div 8. The helpers move such rows in 64-bit
// words whose bit 63 is the leftmost pixel, so that a word read from a
// row is the row's bytes in big-endian order. Loads and stores never touch
// bytes past the row's stride, which matters for the top row: it lies at the
// end of the pixel buffer.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace bitrows {

inline std::uint64_t ByteSwap(std::uint64_t v) {
#if defined(__GNUC__)
  return __builtin_bswap64(v);
#else
  v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
  v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
  return (v << 32) | (v >> 32);
#endif
}

// 8 bytes of a row starting at byte `byte`, as a word (first byte in bits
// 56-63). Bytes at or past rowBytes read as zero.
inline std::uint64_t LoadWord(const std::uint8_t* row, int byte, int rowBytes) {
  if (byte + 8 <= rowBytes) {
    std::uint64_t v;
    std::memcpy(&v, row + byte, 8);
    if constexpr (std::endian::native == std::endian::little) v = ByteSwap(v);
    return v;
  }
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) {
    v <<= 8;
    if (byte + i < rowBytes) v |= row[byte + i];
  }
  return v;
}

// Stores a word at byte `byte` of a row, dropping bytes at or past rowBytes.
inline void StoreWord(std::uint8_t* row, int byte, int rowBytes, std::uint64_t v) {
  if (byte + 8 <= rowBytes) {
    if constexpr (std::endian::native == std::endian::little) v = ByteSwap(v);
    std::memcpy(row + byte, &v, 8);
    return;
  }
  for (int i = 0; i < 8 && byte + i < rowBytes; ++i) row[byte + i] = static_cast<std::uint8_t>(v >> (56 - 8 * i));
}

// Up to 57 bits of a row starting at pixel `bit`, in the top bits of the
// result (bit 63 = pixel `bit`). Lower bits are unspecified.
inline std::uint64_t LoadBits(const std::uint8_t* row, int bit, int rowBytes) {
  return LoadWord(row, bit >> 3, rowBytes) << (bit & 7);
}

// Mask of the top n bits (0 <= n <= 64).
inline std::uint64_t TopMask(int n) { return n == 0 ? 0 : ~std::uint64_t{0} << (64 - n); }

// Writes the top n bits of v (n <= 64) into a word array at bit position
// `bit` (bit 63 of word 0 = position 0). Always touches the following word
// too (unchanged when nothing spills), so the array needs one spare word.
inline void PutBits(std::uint64_t* words, int bit, int n, std::uint64_t v) {
  const std::uint64_t mask = TopMask(n);
  v &= mask;
  const int w = bit >> 6;
  const int sh = bit & 63;
  words[w] = (words[w] & ~(mask >> sh)) | (v >> sh);
  // Shifting by (64 - sh) in two steps keeps sh = 0 defined (nothing spills).
  const int back = 63 - sh;
  words[w + 1] = (words[w + 1] & ~((mask << 1) << back)) | ((v << 1) << back);
}

// Copies n pixels of a source row starting at srcBit into a word array at
// dstBit (the array needs one spare word past the last pixel).
inline void CopyBits(std::uint64_t* words, int dstBit, const std::uint8_t* src, int srcBit, int n, int srcRowBytes) {
  while (n > 56) {
    PutBits(words, dstBit, 56, LoadBits(src, srcBit, srcRowBytes));
    dstBit += 56;
    srcBit += 56;
    n -= 56;
  }
  PutBits(words, dstBit, n, LoadBits(src, srcBit, srcRowBytes));
}

// Writes a word array (first word leftmost) to a row of rowBytes bytes.
// Pixels at or past `width` are written as 0 so rows keep clean padding.
inline void StoreRow(std::uint8_t* row, int rowBytes, int width, const std::uint64_t* words) {
  const int fullWords = width >> 6;
  for (int w = 0; w < fullWords; ++w) StoreWord(row, w * 8, rowBytes, words[w]);
  const int rest = width & 63;
  int byte = fullWords * 8;
  if (rest) {
    StoreWord(row, byte, rowBytes, words[fullWords] & TopMask(rest));
    byte += 8;
  }
  if (byte < rowBytes) std::memset(row + byte, 0, static_cast<std::size_t>(rowBytes - byte));
}

inline std::uint64_t ReverseBits(std::uint64_t v) {
  v = ByteSwap(v);
  v = ((v >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((v & 0x0F0F0F0F0F0F0F0Full) << 4);
  v = ((v >> 2) & 0x3333333333333333ull) | ((v & 0x3333333333333333ull) << 2);
  v = ((v >> 1) & 0x5555555555555555ull) | ((v & 0x5555555555555555ull) << 1);
  return v;
}

// Transposes a 64 x 64 bit matrix in place: afterwards bit (63 - j) of
// a[i] holds what bit (63 - i) of a[j] held.
inline void Transpose64(std::uint64_t* a) {
  std::uint64_t m = 0x00000000FFFFFFFFull;
  for (int j = 32; j != 0; j >>= 1, m ^= (m << j)) {
    for (int k = 0; k < 64; k = ((k | j) + 1) & ~j) {
      const std::uint64_t t = (a[k] ^ (a[k | j] >> j)) & m;
      a[k] ^= t;
      a[k | j] ^= t << j;
    }
  }
}

}  // namespace bitrows
