#include "image/Group4Encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "image/Group4Codes.h"

namespace {

struct TCode {
  std::uint16_t Bits;
  std::uint8_t Length;
};

// Codes by run length: terminating codes for 0..63, make-up codes for 64,
// 128, ..., 2560 (index = length / 64 - 1).
struct TRunTable {
  TCode Terminating[64];
  TCode MakeUp[40];
};

template <std::size_t N>
constexpr TRunTable MakeRunTable(const TRunCode (&codes)[N]) {
  TRunTable table{};
  auto put = [&table](const TRunCode& c) {
    const TCode code{c.Bits, c.Length};
    if (c.Run < 64)
      table.Terminating[c.Run] = code;
    else
      table.MakeUp[c.Run / 64 - 1] = code;
  };
  for (const TRunCode& c : codes) put(c);
  for (const TRunCode& c : kExtendedMakeUpCodes) put(c);
  return table;
}

constexpr TRunTable kWhite = MakeRunTable(kWhiteCodes);
constexpr TRunTable kBlack = MakeRunTable(kBlackCodes);

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
    const TRunTable& table = black ? kBlack : kWhite;
    while (run >= 2560 + 64) {
      Put(table.MakeUp[39]);
      run -= 2560;
    }
    if (run >= 64) {
      Put(table.MakeUp[run / 64 - 1]);
      run &= 63;
    }
    Put(table.Terminating[run]);
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
