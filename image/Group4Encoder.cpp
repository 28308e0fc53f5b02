#include "image/Group4Encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

struct TCode {
  std::uint16_t Bits;
  std::uint8_t Length;
};

// Terminating codes, run lengths 0..63.
constexpr TCode kWhiteTerminating[64] = {
    {0x35, 8}, {0x07, 6}, {0x07, 4}, {0x08, 4}, {0x0B, 4}, {0x0C, 4}, {0x0E, 4}, {0x0F, 4},
    {0x13, 5}, {0x14, 5}, {0x07, 5}, {0x08, 5}, {0x08, 6}, {0x03, 6}, {0x34, 6}, {0x35, 6},
    {0x2A, 6}, {0x2B, 6}, {0x27, 7}, {0x0C, 7}, {0x08, 7}, {0x17, 7}, {0x03, 7}, {0x04, 7},
    {0x28, 7}, {0x2B, 7}, {0x13, 7}, {0x24, 7}, {0x18, 7}, {0x02, 8}, {0x03, 8}, {0x1A, 8},
    {0x1B, 8}, {0x12, 8}, {0x13, 8}, {0x14, 8}, {0x15, 8}, {0x16, 8}, {0x17, 8}, {0x28, 8},
    {0x29, 8}, {0x2A, 8}, {0x2B, 8}, {0x2C, 8}, {0x2D, 8}, {0x04, 8}, {0x05, 8}, {0x0A, 8},
    {0x0B, 8}, {0x52, 8}, {0x53, 8}, {0x54, 8}, {0x55, 8}, {0x24, 8}, {0x25, 8}, {0x58, 8},
    {0x59, 8}, {0x5A, 8}, {0x5B, 8}, {0x4A, 8}, {0x4B, 8}, {0x32, 8}, {0x33, 8}, {0x34, 8},
};

constexpr TCode kBlackTerminating[64] = {
    {0x37, 10}, {0x02, 3},  {0x03, 2},  {0x02, 2},  {0x03, 3},  {0x03, 4},  {0x02, 4},  {0x03, 5},
    {0x05, 6},  {0x04, 6},  {0x04, 7},  {0x05, 7},  {0x07, 7},  {0x04, 8},  {0x07, 8},  {0x18, 9},
    {0x17, 10}, {0x18, 10}, {0x08, 10}, {0x67, 11}, {0x68, 11}, {0x6C, 11}, {0x37, 11}, {0x28, 11},
    {0x17, 11}, {0x18, 11}, {0xCA, 12}, {0xCB, 12}, {0xCC, 12}, {0xCD, 12}, {0x68, 12}, {0x69, 12},
    {0x6A, 12}, {0x6B, 12}, {0xD2, 12}, {0xD3, 12}, {0xD4, 12}, {0xD5, 12}, {0xD6, 12}, {0xD7, 12},
    {0x6C, 12}, {0x6D, 12}, {0xDA, 12}, {0xDB, 12}, {0x54, 12}, {0x55, 12}, {0x56, 12}, {0x57, 12},
    {0x64, 12}, {0x65, 12}, {0x52, 12}, {0x53, 12}, {0x24, 12}, {0x37, 12}, {0x38, 12}, {0x27, 12},
    {0x28, 12}, {0x58, 12}, {0x59, 12}, {0x2B, 12}, {0x2C, 12}, {0x5A, 12}, {0x66, 12}, {0x67, 12},
};

// Make-up codes, run lengths 64, 128, ..., 2560 (index = length / 64 - 1).
// From 1792 on both colours share the codes.
constexpr TCode kWhiteMakeUp[40] = {
    {0x1B, 5},  {0x12, 5},  {0x17, 6},  {0x37, 7},  {0x36, 8},  {0x37, 8},  {0x64, 8},  {0x65, 8},
    {0x68, 8},  {0x67, 8},  {0xCC, 9},  {0xCD, 9},  {0xD2, 9},  {0xD3, 9},  {0xD4, 9},  {0xD5, 9},
    {0xD6, 9},  {0xD7, 9},  {0xD8, 9},  {0xD9, 9},  {0xDA, 9},  {0xDB, 9},  {0x98, 9},  {0x99, 9},
    {0x9A, 9},  {0x18, 6},  {0x9B, 9},  {0x08, 11}, {0x0C, 11}, {0x0D, 11}, {0x12, 12}, {0x13, 12},
    {0x14, 12}, {0x15, 12}, {0x16, 12}, {0x17, 12}, {0x1C, 12}, {0x1D, 12}, {0x1E, 12}, {0x1F, 12},
};

constexpr TCode kBlackMakeUp[40] = {
    {0x0F, 10}, {0xC8, 12}, {0xC9, 12}, {0x5B, 12}, {0x33, 12}, {0x34, 12}, {0x35, 12}, {0x6C, 13},
    {0x6D, 13}, {0x4A, 13}, {0x4B, 13}, {0x4C, 13}, {0x4D, 13}, {0x72, 13}, {0x73, 13}, {0x74, 13},
    {0x75, 13}, {0x76, 13}, {0x77, 13}, {0x52, 13}, {0x53, 13}, {0x54, 13}, {0x55, 13}, {0x5A, 13},
    {0x5B, 13}, {0x64, 13}, {0x65, 13}, {0x08, 11}, {0x0C, 11}, {0x0D, 11}, {0x12, 12}, {0x13, 12},
    {0x14, 12}, {0x15, 12}, {0x16, 12}, {0x17, 12}, {0x1C, 12}, {0x1D, 12}, {0x1E, 12}, {0x1F, 12},
};

constexpr TCode kPass = {0x1, 4};
constexpr TCode kHorizontal = {0x1, 3};
// Vertical modes by a1 - b1 + 3 (VL3 .. V0 .. VR3).
constexpr TCode kVertical[7] = {{0x02, 7}, {0x02, 6}, {0x02, 3}, {0x1, 1}, {0x03, 3}, {0x03, 6}, {0x03, 7}};
constexpr TCode kEndOfLine = {0x001, 12};

// Collects codes most significant bit first, 32 bits at a time, into the
// output; Reserve makes room before each row so that putting a code never
// checks for space.
class TBitWriter {
 public:
  explicit TBitWriter(std::vector<std::uint8_t>& out) : out_(out), used_(out.size()) {}

  void Reserve(std::size_t bytes) {
    if (out_.size() - used_ < bytes + 8) out_.resize(used_ + std::max(bytes + 8, out_.size() - used_ + (used_ >> 1)));
  }

  __attribute__((always_inline)) void Put(TCode code) {
    acc_ = (acc_ << code.Length) | code.Bits;
    count_ += code.Length;
    if (count_ >= 32) {
      count_ -= 32;
      const auto word = static_cast<std::uint32_t>(acc_ >> count_);
      std::uint8_t* p = out_.data() + used_;
      p[0] = static_cast<std::uint8_t>(word >> 24);
      p[1] = static_cast<std::uint8_t>(word >> 16);
      p[2] = static_cast<std::uint8_t>(word >> 8);
      p[3] = static_cast<std::uint8_t>(word);
      used_ += 4;
    }
  }

  __attribute__((always_inline)) void PutRun(int run, bool black) {
    const TCode* makeUp = black ? kBlackMakeUp : kWhiteMakeUp;
    while (run >= 2560 + 64) {
      Put(makeUp[39]);
      run -= 2560;
    }
    if (run >= 64) {
      Put(makeUp[run / 64 - 1]);
      run &= 63;
    }
    Put(black ? kBlackTerminating[run] : kWhiteTerminating[run]);
  }

  // Pads the last byte with zero bits and cuts the output to its length.
  void Finish() {
    Reserve(8);
    while (count_ >= 8) {
      count_ -= 8;
      out_[used_++] = static_cast<std::uint8_t>(acc_ >> count_);
    }
    if (count_ > 0) out_[used_++] = static_cast<std::uint8_t>(acc_ << (8 - count_));
    count_ = 0;
    out_.resize(used_);
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::size_t used_;
  std::uint64_t acc_ = 0;
  int count_ = 0;
};

std::uint64_t LoadBigEndian(const std::uint8_t* p, std::size_t bytes) {
  std::uint64_t w = 0;
  if (bytes >= 8) {
    std::memcpy(&w, p, 8);
    if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
    return w;
  }
  for (std::size_t i = 0; i < bytes; ++i) w |= static_cast<std::uint64_t>(p[i]) << (56 - 8 * i);
  return w;
}

// Positions where the colour changes along a row (the first pixel that
// differs from its left neighbour; the pixel left of the row is white),
// followed by two marks at `width`. Even entries start black runs.
// Returns the number of changes.
int FindChanges(const std::uint8_t* row, int width, bool blackIsOne, int* changes) {
  const std::size_t bytes = (static_cast<std::size_t>(width) + 7) / 8;
  const std::uint64_t flip = blackIsOne ? 0 : ~std::uint64_t{0};
  std::uint64_t carry = 0;  // colour of the last pixel of the previous word, in bit 63
  int n = 0;
  for (std::size_t offset = 0; offset < bytes; offset += 8) {
    const std::size_t take = std::min<std::size_t>(8, bytes - offset);
    const std::uint64_t w = LoadBigEndian(row + offset, take) ^ flip;
    std::uint64_t t = w ^ ((w >> 1) | carry);
    carry = w << 63;
    const int base = static_cast<int>(offset * 8);
    const int valid = std::min(64, width - base);
    if (valid < 64) t &= ~std::uint64_t{0} << (64 - valid);
    while (t) {
      const int lead = std::countl_zero(t);
      changes[n++] = base + lead;
      t &= ~(std::uint64_t{1} << (63 - lead));
    }
  }
  changes[n] = width;
  changes[n + 1] = width;
  return n;
}

}  // namespace

void EncodeGroup4(const std::uint8_t* firstRow, std::ptrdiff_t rowStep, int width, int rows, bool blackIsOne,
                  std::vector<std::uint8_t>& out) {
  TBitWriter writer(out);
  if (width > 0 && rows > 0) {
    // A row has at most `width` changes, plus the two end marks.
    std::vector<int> buffers(2 * (static_cast<std::size_t>(width) + 2));
    int* reference = buffers.data();
    int* coding = reference + width + 2;
    reference[0] = width;  // the line above the page is white
    reference[1] = width;
    int referenceChanges = 0;
    for (int y = 0; y < rows; ++y) {
      const int changes = FindChanges(firstRow + y * rowStep, width, blackIsOne, coding);
      // Every code of the row consumes a change of either line (a long run
      // adds a make-up per 2560 pixels); 7 bytes cover the largest code.
      writer.Reserve(static_cast<std::size_t>(changes + referenceChanges + 2) * 7 +
                     static_cast<std::size_t>(width / 2560 + 2) * 8);
      int a0 = -1;
      int colour = 0;  // 0 white, 1 black: colour of the run that starts at a0
      int j = 0;       // coding[j] = a1
      int k = 0;       // lower bound of b1's index; reference only grows past a0
      while (a0 < width) {
        while (reference[k] <= a0 && reference[k] < width) ++k;
        // b1 is the first change right of a0 to the colour opposite a0's:
        // even entries turn to black.
        const int b = ((k & 1) == colour) ? k : k + 1;
        const int b1 = reference[b];
        const int b2 = b1 < width ? reference[b + 1] : width;
        const int a1 = coding[j];
        if (b2 < a1) {
          writer.Put(kPass);
          a0 = b2;
        } else if (a1 - b1 <= 3 && b1 - a1 <= 3) {
          writer.Put(kVertical[a1 - b1 + 3]);
          a0 = a1;
          colour ^= 1;
          ++j;
        } else {
          const int a2 = a1 < width ? coding[j + 1] : width;
          writer.Put(kHorizontal);
          writer.PutRun(a1 - std::max(a0, 0), colour != 0);
          writer.PutRun(a2 - a1, colour == 0);
          a0 = a2;
          j += 2;
        }
      }
      std::swap(reference, coding);
      referenceChanges = changes;
    }
  }
  writer.Reserve(8);
  writer.Put(kEndOfLine);
  writer.Put(kEndOfLine);
  writer.Finish();
}
