#include "image/Group4Decoder.h"

#include <cstring>
#include <memory>

#include "image/Group4Codes.h"

namespace {

constexpr int kWhitePeek = 12;  // longest white code
constexpr int kBlackPeek = 13;  // longest black code
constexpr int kModePeek = 7;    // longest mode code

// The coding modes of a two-dimensional row: kinds 0-6 are the vertical
// modes with a1 = b1 + kind - 3, then pass, horizontal and no valid code.
constexpr int kVerticalKinds = 7;
constexpr int kPass = 7;
constexpr int kHorizontal = 8;
constexpr int kInvalid = 9;

// Direct lookup tables on the next bits of the stream. A run entry holds
// run << 4 | code length (0 = no such code); a mode entry kind << 3 | length.
struct Tables {
  std::uint16_t White[1 << kWhitePeek] = {};
  std::uint16_t Black[1 << kBlackPeek] = {};
  std::uint8_t Modes[1 << kModePeek] = {};

  Tables() {
    for (const TRunCode& c : kWhiteCodes) Add(White, kWhitePeek, c);
    for (const TRunCode& c : kBlackCodes) Add(Black, kBlackPeek, c);
    for (const TRunCode& c : kExtendedMakeUpCodes) {
      Add(White, kWhitePeek, c);
      Add(Black, kBlackPeek, c);
    }
    for (std::uint8_t& m : Modes) m = kInvalid << 3;
    // 0000001 (extensions) and 0000000 (end of line, or an error) stay invalid.
    AddMode(0x1, 1, 3);  // V0
    AddMode(0x3, 3, 4);  // VR1
    AddMode(0x2, 3, 2);  // VL1
    AddMode(0x1, 3, kHorizontal);
    AddMode(0x1, 4, kPass);
    AddMode(0x3, 6, 5);  // VR2
    AddMode(0x2, 6, 1);  // VL2
    AddMode(0x3, 7, 6);  // VR3
    AddMode(0x2, 7, 0);  // VL3
  }

  static void Add(std::uint16_t* table, int peek, const TRunCode& c) {
    const int shift = peek - c.Length;
    const int first = c.Bits << shift;
    for (int i = 0; i < (1 << shift); ++i) table[first + i] = static_cast<std::uint16_t>(c.Run << 4 | c.Length);
  }
  void AddMode(int bits, int length, int kind) {
    const int shift = kModePeek - length;
    for (int i = 0; i < (1 << shift); ++i) Modes[(bits << shift) + i] = static_cast<std::uint8_t>(kind << 3 | length);
  }
};

const Tables& CodeTables() {
  static const Tables tables;
  return tables;
}

// --- painting a row ---------------------------------------------------------------

// A row is painted in 64-bit words holding 64 pixels each, the leftmost in
// the most significant bit, 1 = black. Each change first flips every pixel
// from it to the end of its word; one pass from left to right then carries
// the colour across words, which turns the flips into runs. Flips at the
// row end change only padding bits, which the pass sets white.
inline void FlipFrom(std::uint64_t* words, int position) {
  words[position >> 6] ^= ~std::uint64_t{0} >> (position & 63);
}

// Turns the flips into the row's pixels and writes them out; clears the
// words for the next row. `invert` is all ones when black is 0.
inline void WriteRow(std::uint64_t* words, int wordCount, std::uint64_t lastMask, std::uint8_t* row, int rowBytes,
                     std::uint64_t invert) {
  std::uint64_t carry = 0;  // all ones when the previous word ended black
  for (int i = 0; i < wordCount; ++i) {
    std::uint64_t v = words[i] ^ carry;
    words[i] = 0;
    carry = 0 - (v & 1);
    if (i + 1 < wordCount) {
      v = __builtin_bswap64(v ^ invert);
      std::memcpy(row + 8 * i, &v, 8);
    } else {
      v = __builtin_bswap64((v & lastMask) ^ invert);  // padding bits white
      std::memcpy(row + 8 * i, &v, static_cast<std::size_t>(rowBytes - 8 * i));
    }
  }
  words[wordCount] = 0;
}

// The coded bits, most significant first. Past the end of the data it
// reads zero bytes (no valid code is all zeros); taking more bits than there
// are is detected after each row. The hot loop keeps Bits and Count in
// registers and hands them over for the rarer work below.
struct BitReader {
  const std::uint8_t* Data;
  std::size_t Size;
  std::size_t Pos = 0;     // next byte to load
  std::uint64_t Bits = 0;  // the next bits, left-aligned
  int Count = 0;           // valid bits in Bits
  std::size_t FastEnd;     // below this Pos eight bytes can be loaded at once

  BitReader(const std::uint8_t* data, std::size_t size) : Data(data), Size(size), FastEnd(size >= 8 ? size - 7 : 0) {}

  [[gnu::noinline]] void RefillNearEnd() {
    while (Count <= 56) {
      const std::uint64_t byte = Pos < Size ? Data[Pos] : 0;
      Bits |= byte << (56 - Count);
      ++Pos;
      Count += 8;
    }
  }
  void Refill() {
    if (Count >= 16) return;
    if (Pos < FastEnd) {
      std::uint64_t word;
      std::memcpy(&word, Data + Pos, 8);
      word = __builtin_bswap64(word);
      const int bytes = (63 - Count) >> 3;
      Bits |= word >> Count;
      Pos += static_cast<std::size_t>(bytes);
      Count += bytes * 8;
    } else {
      RefillNearEnd();
    }
  }
  bool Overrun() const {
    return static_cast<std::uint64_t>(Pos) * 8 - static_cast<std::uint64_t>(Count) >
           static_cast<std::uint64_t>(Size) * 8;
  }

  // One run: make-up codes, then a terminating code. -1 on a bad code or a
  // run longer than `width`.
  int ReadRun(const std::uint16_t* table, int peek, int width) {
    int run = 0;
    for (;;) {
      Refill();
      const std::uint16_t entry = table[Bits >> (64 - peek)];
      const int length = entry & 15;
      if (length == 0) return -1;
      Bits <<= length;
      Count -= length;
      const int part = entry >> 4;
      run += part;
      if (run > width) return -1;
      if (part < 64) return run;
    }
  }
  // The two runs of a horizontal step, the first of the colour of a0.
  [[gnu::noinline]] bool ReadRunPair(const Tables& tables, bool black, int width, int& first, int& second) {
    first = ReadRun(black ? tables.Black : tables.White, black ? kBlackPeek : kWhitePeek, width);
    second = ReadRun(black ? tables.White : tables.Black, black ? kWhitePeek : kBlackPeek, width);
    return first >= 0 && second >= 0;
  }
};

}  // namespace

bool DecodeGroup4(const std::uint8_t* data, std::size_t size, int width, int rows, std::uint8_t* firstRow,
                  std::ptrdiff_t rowStep, bool blackIsOne, bool plainOnly) {
  // Wider rows than this are no page (and would overflow the counts below).
  constexpr int kMaxWidth = 1 << 24;
  if (width <= 0 || width > kMaxWidth || rows < 0 || (!data && size > 0) || (!firstRow && rows > 0)) return false;
  if (rows == 0) return true;
  const Tables& tables = CodeTables();

  // Changing elements of the reference and the coding line: positions below
  // width in increasing order (equal pairs for empty runs), then sentinels
  // equal to width so that b1 and b2 never need a bounds check. Steps that
  // move a0 right make at most `width` changes; empty runs are counted so
  // that they cannot make more than as many again.
  const int maxEmptyRuns = width + 2;
  const int maxChanges = width + maxEmptyRuns;
  constexpr int kSentinels = 6;
  const int lineSize = 1 + maxChanges + kSentinels;
  const int wordCount = (width + 63) / 64;
  // One allocation: the flip words of a row (and one for flips at the row
  // end, which touch only padding), then both lines.
  const std::size_t wordBytes = static_cast<std::size_t>(wordCount + 1) * sizeof(std::uint64_t);
  const auto storage = std::make_unique<std::byte[]>(wordBytes + 2 * static_cast<std::size_t>(lineSize) * sizeof(int));
  auto* words = reinterpret_cast<std::uint64_t*>(storage.get());
  int* ref = reinterpret_cast<int*>(storage.get() + wordBytes) + 1;
  int* cur = ref + lineSize;
  ref[-1] = -1;
  cur[-1] = -1;
  for (int i = 0; i < kSentinels; ++i) ref[i] = width;

  BitReader reader{data, size};
  // The reader's state, held in registers by the hot loop.
  std::uint64_t bits = 0;
  int count = 0;
  std::size_t pos = 0;
  const std::size_t fastEnd = reader.FastEnd;
  auto handOver = [&]() {
    reader.Bits = bits;
    reader.Count = count;
    reader.Pos = pos;
  };
  auto takeBack = [&]() {
    bits = reader.Bits;
    count = reader.Count;
    pos = reader.Pos;
  };
  auto refill = [&]() __attribute__((always_inline)) {
    if (pos < fastEnd) {
      std::uint64_t word;
      std::memcpy(&word, data + pos, 8);
      word = __builtin_bswap64(word);
      const int bytes = (63 - count) >> 3;
      bits |= word >> count;
      pos += static_cast<std::size_t>(bytes);
      count += bytes * 8;
    } else {
      handOver();
      reader.RefillNearEnd();
      takeBack();
    }
  };

  const std::uint64_t invert = blackIsOne ? 0 : ~std::uint64_t{0};
  const std::uint64_t lastMask = width % 64 ? ~(~std::uint64_t{0} >> (width % 64)) : ~std::uint64_t{0};
  const int rowBytes = (width + 7) / 8;

  for (int y = 0; y < rows; ++y) {
    // a0 starts on the imaginary white element before the row; 0 serves as
    // well, since a1 may equal a0 and b1 is taken from ref[0] as it is.
    int a0 = 0;
    int bi = 0;  // index of b1 in ref; its parity is the colour of a0 (1 black)
    int b1 = ref[0];
    int n = 0;  // changes found on the coding line
    int emptyRuns = 0;
    while (a0 < width) {
      if (count < 16) refill();
      const unsigned modeEntry = tables.Modes[bits >> (64 - kModePeek)];
      const int kind = static_cast<int>(modeEntry >> 3);
      bits <<= modeEntry & 7;
      count -= static_cast<int>(modeEntry & 7);
      if (kind < kVerticalKinds) [[likely]] {
        // a1 is placed relative to b1 and the colour flips. Like horizontal
        // runs, a vertical step may give an empty run.
        const int delta = kind - 3;
        const int a1 = b1 + delta;
        if (static_cast<unsigned>(a1 - a0) > static_cast<unsigned>(width - a0)) return false;
        if (a1 == a0 && (++emptyRuns > maxEmptyRuns || (plainOnly && n > 0))) return false;
        cur[n] = a1;  // a1 == width is no change; the sentinels overwrite it
        n += a1 < width;
        FlipFrom(words, a1);
        a0 = a1;
        if (a0 < width) {
          // The next b1 has the other parity; it lies left of the old b1
          // only after a step to the left (from index 0 onto the -1).
          bi += (delta >> 31) | 1;
          // Load both candidates at once; more than one step is rare.
          const int near = ref[bi];
          const int far = ref[bi + 2];
          const int step = -static_cast<int>(near <= a0);  // all ones to take the far one
          bi += step & 2;
          b1 = near ^ ((near ^ far) & step);
          while (b1 <= a0) b1 = ref[bi += 2];
        }
      } else if (kind == kPass) {
        const int b2 = ref[bi + 1];
        if (b2 >= width) return false;
        a0 = b2;
        bi += 2;
        b1 = ref[bi];
        // Only empty runs on the reference line can leave b1 at a0 here; at
        // the row start (no change yet) b1 then stays, as libtiff has it.
        if (n > 0)
          while (b1 <= a0) b1 = ref[bi += 2];
      } else if (kind == kHorizontal) {
        handOver();
        int run1, run2;
        const bool ok = reader.ReadRunPair(tables, (bi & 1) != 0, width, run1, run2);
        takeBack();
        const int a1 = a0 + run1;
        const int a2 = a1 + run2;
        if (!ok || a2 > width) return false;
        if (run1 == 0 || run2 == 0) {
          emptyRuns += 2;
          if (emptyRuns > maxEmptyRuns || (plainOnly && (run2 == 0 || n > 0))) return false;
        }
        // Empty runs are kept as pairs of equal changes: some encoders start
        // rows with two of them, and the reference line then has to keep
        // them too.
        if (a1 < width) cur[n++] = a1;
        if (a2 < width) cur[n++] = a2;
        FlipFrom(words, a1);
        FlipFrom(words, a2);
        a0 = a2;
        if (a0 < width)
          while (b1 <= a0) b1 = ref[bi += 2];
      } else {
        return false;  // end of line, extension or no code at all
      }
    }
    handOver();
    if (reader.Overrun()) return false;
    for (int i = 0; i < kSentinels; ++i) cur[n + i] = width;
    WriteRow(words, wordCount, lastMask, firstRow + y * rowStep, rowBytes, invert);
    int* swap = ref;
    ref = cur;
    cur = swap;
  }
  return true;
}
