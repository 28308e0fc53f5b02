#include "image/PdfParser.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

namespace {

using sv = std::string_view;
constexpr std::size_t npos = sv::npos;

// Inflated cross-reference and object streams larger than this are refused.
constexpr std::size_t kMaxStructureStream = std::size_t{64} << 20;
// Deepest chain of lookups (indirect lengths inside object streams, ...).
constexpr int kMaxLookupDepth = 32;
// Largest image side the reader accepts.
constexpr int kMaxImageSide = 65535;

bool IsWhite(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }
bool IsDelimiter(char c) {
  switch (c) {
    case '(':
    case ')':
    case '<':
    case '>':
    case '[':
    case ']':
    case '{':
    case '}':
    case '/':
    case '%':
      return true;
    default:
      return false;
  }
}
bool IsRegular(char c) { return !IsWhite(c) && !IsDelimiter(c); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

sv View(const std::vector<std::uint8_t>& v) { return sv(reinterpret_cast<const char*>(v.data()), v.size()); }

std::size_t SkipWhite(sv t, std::size_t p) {
  while (p < t.size() && IsWhite(t[p])) ++p;
  return p;
}

// Line ends and spaces only: what the value reader skips.
std::size_t SkipValueSpace(sv t, std::size_t p) {
  while (p < t.size() && (t[p] == '\n' || t[p] == '\r' || t[p] == ' ')) ++p;
  return p;
}

// Decimal digits at p (at least one, at most 18); end is the first other
// character.
bool ReadDigits(sv t, std::size_t p, std::int64_t& value, std::size_t* end = nullptr) {
  std::size_t q = p;
  std::int64_t v = 0;
  while (q < t.size() && IsDigit(t[q])) {
    if (q - p >= 18) return false;
    v = v * 10 + (t[q] - '0');
    ++q;
  }
  if (q == p) return false;
  value = v;
  if (end) *end = q;
  return true;
}

// Position just after the first occurrence of key that ends at a name
// boundary (a key ending in a space matches anywhere).
std::size_t FindKey(sv text, sv key, std::size_t from = 0) {
  while (from <= text.size()) {
    std::size_t p = text.find(key, from);
    if (p == npos) return npos;
    std::size_t end = p + key.size();
    if (key.back() == ' ' || end >= text.size() || !IsRegular(text[end])) return end;
    from = p + 1;
  }
  return npos;
}

std::size_t SkipLiteralString(sv t, std::size_t i) {
  // t[i] == '('
  int depth = 0;
  while (i < t.size()) {
    char c = t[i];
    if (c == '\\') {
      i += 2;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) return i + 1;
    ++i;
  }
  return t.size();
}

std::size_t SkipHexString(sv t, std::size_t i) {
  std::size_t p = t.find('>', i);
  return p == npos ? t.size() : p + 1;
}

std::size_t SkipComment(sv t, std::size_t i) {
  while (i < t.size() && t[i] != '\n' && t[i] != '\r') ++i;
  return i;
}

// Matches the dictionary that opens with "<<" at pos: its inner text is
// [innerBegin, innerEnd), after is the position behind the closing ">>".
bool MatchDictionary(sv t, std::size_t pos, std::size_t& innerBegin, std::size_t& innerEnd, std::size_t& after) {
  int depth = 0;
  std::size_t i = pos;
  while (i < t.size()) {
    const char c = t[i];
    if (c == '<' && i + 1 < t.size() && t[i + 1] == '<') {
      if (depth++ == 0) innerBegin = i + 2;
      i += 2;
    } else if (c == '>' && i + 1 < t.size() && t[i + 1] == '>') {
      i += 2;
      if (--depth == 0) {
        innerEnd = i - 2;
        after = i;
        return true;
      }
      if (depth < 0) return false;
    } else if (c == '(') {
      i = SkipLiteralString(t, i);
    } else if (c == '<') {
      i = SkipHexString(t, i + 1);
    } else if (c == '%') {
      i = SkipComment(t, i);
    } else {
      if (depth == 0 && !IsWhite(c)) return false;  // no dictionary here
      ++i;
    }
  }
  return false;
}

// Key search that counts only keys of the dictionary's own level.
std::size_t FindKeyTopLevel(sv text, sv key) {
  int dictDepth = 0;
  int arrayDepth = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '<' && i + 1 < text.size() && text[i + 1] == '<') {
      ++dictDepth;
      i += 2;
    } else if (c == '>' && i + 1 < text.size() && text[i + 1] == '>') {
      --dictDepth;
      i += 2;
    } else if (c == '(') {
      i = SkipLiteralString(text, i);
    } else if (c == '<') {
      i = SkipHexString(text, i + 1);
    } else if (c == '[') {
      ++arrayDepth;
      ++i;
    } else if (c == ']') {
      --arrayDepth;
      ++i;
    } else if (c == '/') {
      std::size_t end = i + 1;
      while (end < text.size() && IsRegular(text[end])) ++end;
      if (dictDepth == 0 && arrayDepth == 0 && text.substr(i, end - i) == key) return end;
      i = end;
    } else {
      ++i;
    }
  }
  return npos;
}

// Value reader of the lexical rules: one character after the key is passed
// over, then line ends and spaces, then decimal digits.
bool DigitsAfter(sv text, std::size_t keyEnd, std::int64_t& value, std::size_t* end = nullptr) {
  if (keyEnd == npos || keyEnd >= text.size()) return false;
  std::size_t p = SkipValueSpace(text, keyEnd + 1);
  return ReadDigits(text, p, value, end);
}

bool IntValue(sv text, sv key, std::int64_t& value) { return DigitsAfter(text, FindKey(text, key), value); }

// "N G R" at p (after white space): the referenced object number.
bool ReferenceAt(sv t, std::size_t p, std::int64_t& number) {
  std::size_t q;
  std::int64_t n, g;
  p = SkipWhite(t, p);
  if (!ReadDigits(t, p, n, &q)) return false;
  q = SkipWhite(t, q);
  if (!ReadDigits(t, q, g, &q)) return false;
  q = SkipWhite(t, q);
  if (q >= t.size() || t[q] != 'R' || (q + 1 < t.size() && IsRegular(t[q + 1]))) return false;
  number = n;
  return true;
}

// A signed integer value (the sign and digits right after the key).
bool SignedValue(sv text, sv key, std::int64_t& value) {
  std::size_t p = FindKey(text, key);
  if (p == npos) return false;
  p = SkipWhite(text, p);
  bool negative = false;
  if (p < text.size() && (text[p] == '-' || text[p] == '+')) negative = text[p++] == '-';
  std::int64_t v;
  if (!ReadDigits(text, p, v)) return false;
  value = negative ? -v : v;
  return true;
}

bool BoolValue(sv text, sv key) {
  std::size_t p = FindKey(text, key);
  if (p == npos) return false;
  p = SkipWhite(text, p);
  return text.substr(p, 4) == "true";
}

// Numbers of the array that opens at p ('['), rounded to integers, and the
// targets of "N G R" references inside it.
bool ParseArray(sv t, std::size_t p, std::vector<std::int64_t>& numbers, std::vector<std::int64_t>& refs,
                std::vector<double>* reals = nullptr) {
  if (p >= t.size() || t[p] != '[') return false;
  numbers.clear();
  refs.clear();
  if (reals) reals->clear();
  int depth = 0;
  std::size_t i = p;
  while (i < t.size()) {
    const char c = t[i];
    if (c == '[') {
      ++depth;
      ++i;
    } else if (c == ']') {
      ++i;
      if (--depth == 0) return true;
    } else if (c == '(') {
      i = SkipLiteralString(t, i);
    } else if (c == '<' || c == '>') {
      ++i;
    } else if (c == '%') {
      i = SkipComment(t, i);
    } else if (IsWhite(c)) {
      ++i;
    } else if (c == '/') {
      ++i;
      while (i < t.size() && IsRegular(t[i])) ++i;
    } else {
      std::size_t end = i;
      while (end < t.size() && IsRegular(t[end])) ++end;
      if (end == i) {
        ++i;
        continue;
      }
      sv token = t.substr(i, end - i);
      i = end;
      if (depth != 1) continue;
      if (token == "R") {
        if (numbers.size() >= 2) {
          refs.push_back(numbers[numbers.size() - 2]);
          numbers.resize(numbers.size() - 2);
          if (reals) reals->resize(numbers.size());
        }
        continue;
      }
      // A number: optional sign, digits, optional fraction.
      std::size_t k = 0;
      bool negative = false;
      if (token[k] == '-' || token[k] == '+') negative = token[k++] == '-';
      double v = 0;
      bool any = false;
      while (k < token.size() && IsDigit(token[k])) {
        if (v < 1e15) v = v * 10 + (token[k] - '0');
        ++k;
        any = true;
      }
      if (k < token.size() && token[k] == '.') {
        double scale = 0.1;
        ++k;
        while (k < token.size() && IsDigit(token[k])) {
          v += (token[k] - '0') * scale;
          scale /= 10;
          ++k;
          any = true;
        }
      }
      if (!any || k != token.size()) continue;  // not a number
      if (negative) v = -v;
      numbers.push_back(static_cast<std::int64_t>(std::floor(v + 0.5)));
      if (reals) reals->push_back(v);
    }
  }
  return false;
}

// The name (without the slash) that starts at p, or empty.
sv NameAt(sv t, std::size_t p) {
  if (p >= t.size() || t[p] != '/') return {};
  std::size_t end = p + 1;
  while (end < t.size() && IsRegular(t[end])) ++end;
  return t.substr(p + 1, end - p - 1);
}

// The bytes of the literal "( )" or hex "< >" string at p.
bool StringAt(sv t, std::size_t p, std::string& out) {
  out.clear();
  if (p >= t.size()) return false;
  if (t[p] == '<') {
    int high = -1;
    for (std::size_t i = p + 1; i < t.size(); ++i) {
      const char c = t[i];
      if (c == '>') {
        if (high >= 0) out += static_cast<char>(high << 4);
        return true;
      }
      int v;
      if (IsDigit(c))
        v = c - '0';
      else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
      else if (IsWhite(c))
        continue;
      else
        return false;
      if (high < 0) {
        high = v;
      } else {
        out += static_cast<char>((high << 4) | v);
        high = -1;
      }
    }
    return false;
  }
  if (t[p] != '(') return false;
  int depth = 1;
  for (std::size_t i = p + 1; i < t.size(); ++i) {
    char c = t[i];
    if (c == '\\') {
      if (++i >= t.size()) return false;
      c = t[i];
      switch (c) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case '\r':  // a line continuation
          if (i + 1 < t.size() && t[i + 1] == '\n') ++i;
          break;
        case '\n':
          break;
        default:
          if (c >= '0' && c <= '7') {
            int v = c - '0';
            for (int k = 0; k < 2 && i + 1 < t.size() && t[i + 1] >= '0' && t[i + 1] <= '7'; ++k)
              v = v * 8 + (t[++i] - '0');
            out += static_cast<char>(v & 0xFF);
          } else {
            out += c;
          }
      }
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) return true;
    if (c == '\r') {  // a line end inside the string reads as one line feed
      if (i + 1 < t.size() && t[i + 1] == '\n') ++i;
      c = '\n';
    }
    out += c;
  }
  return false;
}

std::int64_t ReadBigEndian(const std::uint8_t* p, int width) {
  if (width < 1 || width > 4) return 0;
  std::int64_t v = 0;
  for (int i = 0; i < width; ++i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

// --- static helpers -----------------------------------------------------------

bool TPDFParser::Inflate(const std::uint8_t* data, std::size_t size, std::size_t maxOutput,
                         std::vector<std::uint8_t>& out, bool stopAtMax) {
  out.clear();
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(std::min<std::size_t>(size, 0x7FFFFFFF));
  std::vector<std::uint8_t> chunk(1 << 16);
  int rc = Z_OK;
  bool ok = true;
  while (true) {
    z.next_out = chunk.data();
    z.avail_out = static_cast<uInt>(chunk.size());
    rc = inflate(&z, Z_NO_FLUSH);
    std::size_t produced = chunk.size() - z.avail_out;
    if (out.size() + produced > maxOutput) {
      if (stopAtMax)
        out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(maxOutput - out.size()));
      ok = stopAtMax;
      break;
    }
    out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(produced));
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK) {
      // Many writers end their streams early or damage the checksum: keep
      // what was inflated, if anything.
      ok = !out.empty() && (rc == Z_BUF_ERROR || rc == Z_DATA_ERROR);
      break;
    }
    if (produced == 0 && z.avail_in == 0) break;
  }
  inflateEnd(&z);
  if (!ok) out.clear();
  return ok;
}

bool TPDFParser::UnpredictPng(std::vector<std::uint8_t>& data, std::size_t rowBytes, std::size_t bytesPerPixel) {
  if (rowBytes == 0 || bytesPerPixel == 0) return false;
  std::vector<std::uint8_t> prior(rowBytes, 0);
  std::size_t in = 0;
  std::size_t out = 0;
  while (in < data.size()) {
    const std::uint8_t filter = data[in++];
    const std::size_t n = std::min(rowBytes, data.size() - in);
    std::uint8_t* row = data.data() + out;
    // Rows move down by one byte per row as the filter bytes are dropped.
    std::memmove(row, data.data() + in, n);
    in += n;
    switch (filter) {
      case 0:
        break;
      case 1:
        for (std::size_t i = bytesPerPixel; i < n; ++i)
          row[i] = static_cast<std::uint8_t>(row[i] + row[i - bytesPerPixel]);
        break;
      case 2:
        for (std::size_t i = 0; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
        break;
      case 3:
        for (std::size_t i = 0; i < n; ++i) {
          const int left = i >= bytesPerPixel ? row[i - bytesPerPixel] : 0;
          row[i] = static_cast<std::uint8_t>(row[i] + ((left + prior[i]) >> 1));
        }
        break;
      case 4:
        for (std::size_t i = 0; i < n; ++i) {
          const int a = i >= bytesPerPixel ? row[i - bytesPerPixel] : 0;
          const int b = prior[i];
          const int c = i >= bytesPerPixel ? prior[i - bytesPerPixel] : 0;
          const int p = a + b - c;
          const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
          const int pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
          row[i] = static_cast<std::uint8_t>(row[i] + pred);
        }
        break;
      default:
        return false;
    }
    std::memcpy(prior.data(), row, n);
    out += n;
  }
  data.resize(out);
  return true;
}

// --- parsing --------------------------------------------------------------------

void TPDFParser::Reset() {
  data_.clear();
  parsed_ = false;
  lastStream_ = nullptr;
  lastStart_ = -1;
  xref_.clear();
  firstEntry_.clear();
  cache_.clear();
  expandedStreams_.clear();
  root_ = -1;
  failure_ = pfNone;
  security_ = TPdfSecurity{};
  columns_ = predictor_ = 0;
  lookupDepth_ = 0;
  pages_.clear();
  records_.clear();
  recordState_.clear();
}

bool TPDFParser::Parse(TStream& stream) {
  const std::int64_t start = stream.Position();
  const std::int64_t size = stream.Size() - start;
  struct RestorePosition {
    TStream& s;
    std::int64_t p;
    ~RestorePosition() {
      try {
        s.SetPosition(p);
      } catch (...) {
      }
    }
  } restore{stream, start};
  if (size < 0) {
    Reset();
    return false;
  }

  // The same stream object again: keep the parse when the bytes are the
  // same (another stream may live at the same address, or the file may
  // have changed since).
  if (&stream == lastStream_ && start == lastStart_ && size == static_cast<std::int64_t>(data_.size())) {
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::int64_t>(size, 1 << 20)));
    std::int64_t done = 0;
    bool same = true;
    while (same && done < size) {
      const std::int64_t n = std::min<std::int64_t>(size - done, static_cast<std::int64_t>(chunk.size()));
      if (stream.Read(chunk.data(), n) != n ||
          std::memcmp(chunk.data(), data_.data() + done, static_cast<std::size_t>(n)) != 0)
        same = false;
      done += n;
    }
    if (same) return parsed_;
    stream.SetPosition(start);
  }

  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (size > 0 && stream.Read(bytes.data(), size) != size) {
    Reset();
    return false;
  }
  const bool ok = ParseBytes(std::move(bytes));
  lastStream_ = &stream;
  lastStart_ = start;
  return ok;
}

bool TPDFParser::ParseBytes(std::vector<std::uint8_t> bytes) {
  Reset();
  data_ = std::move(bytes);
  ++parseCount_;
  parsed_ = ParseBuffer();
  if (!parsed_) {
    pages_.clear();
    records_.clear();
    recordState_.clear();
  }
  return parsed_;
}

bool TPDFParser::ParseBuffer() {
  const sv buf = View(data_);
  if (buf.substr(0, 5) != "%PDF-") return false;
  std::int64_t offset;
  if (!FindStartXref(offset)) return false;
  if (!ReadXrefChain(offset) || root_ < 0) return false;
  return BuildPageTree();
}

bool TPDFParser::FindStartXref(std::int64_t& offset) const {
  const sv buf = View(data_);
  constexpr sv key = "startxref";
  if (buf.size() < key.size() + 5) return false;
  // From 5 bytes before the end backwards.
  std::size_t p = buf.size() - 5;
  if (p + key.size() > buf.size()) p = buf.size() - key.size();
  for (;;) {
    if (buf.compare(p, key.size(), key) == 0) {
      std::int64_t v;
      if (!DigitsAfter(buf, p + key.size(), v)) return false;
      offset = v;
      return true;
    }
    if (p == 0) return false;
    --p;
  }
}

void TPDFParser::AddEntry(const TXrefEntry& entry) {
  firstEntry_.emplace(entry.ObjectNumber, xref_.size());
  xref_.push_back(entry);
}

bool TPDFParser::ReadXrefChain(std::int64_t offset) {
  const sv buf = View(data_);
  std::unordered_set<std::int64_t> visited;
  std::string newestTrailer;
  for (bool newest = true;; newest = false) {
    if (offset < 0 || offset >= static_cast<std::int64_t>(buf.size())) return false;
    // A /Prev that leads back to a section already read ends the chain.
    if (!visited.insert(offset).second) break;
    std::string trailer;
    const bool classic = buf.substr(static_cast<std::size_t>(offset), 4) == "xref";
    if (!(classic ? ReadClassicTable(offset, trailer) : ReadXrefStream(offset, trailer))) return false;
    std::int64_t v;
    if (root_ < 0 && DigitsAfter(trailer, FindKeyTopLevel(trailer, "/Root"), v)) root_ = v;
    if (newest) newestTrailer = trailer;
    if (!DigitsAfter(trailer, FindKeyTopLevel(trailer, "/Prev"), v)) break;
    offset = v;
  }
  return OpenSecurity(newestTrailer);
}

bool TPDFParser::ReadClassicTable(std::int64_t offset, std::string& trailer) {
  const sv buf = View(data_);
  std::size_t p = static_cast<std::size_t>(offset) + 4;  // after "xref"
  for (;;) {
    p = SkipWhite(buf, p);
    if (p >= buf.size()) return false;
    if (buf.substr(p, 7) == "trailer") break;
    std::int64_t first, count;
    if (!ReadDigits(buf, p, first, &p)) return false;
    p = SkipWhite(buf, p);
    if (!ReadDigits(buf, p, count, &p)) return false;
    for (std::int64_t i = 0; i < count; ++i) {
      p = SkipWhite(buf, p);
      std::int64_t entryOffset;
      if (!ReadDigits(buf, p, entryOffset, &p)) return false;
      // The rest of the line (generation, n/f) is not examined.
      while (p < buf.size() && buf[p] != '\r' && buf[p] != '\n') ++p;
      if (p < buf.size() && buf[p] == '\r') ++p;
      if (p < buf.size() && buf[p] == '\n') ++p;
      AddEntry({first + i, entryOffset, -1});
    }
  }
  p = SkipWhite(buf, p + 7);
  std::size_t b, e, after;
  if (!MatchDictionary(buf, p, b, e, after)) return false;
  trailer.assign(buf.substr(b, e - b));
  return true;
}

bool TPDFParser::ReadXrefStream(std::int64_t offset, std::string& trailer) {
  TCachedObject object;
  if (!ReadDirectObject(offset, -1, object) || object.DictEnd < 0) return false;
  const sv text = object.Text;
  for (sv required : {"/Type", "/XRef", "/Filter", "/FlateDecode", "/DecodeParms"})
    if (text.find(required) == npos) return false;

  std::vector<std::int64_t> w, index, refs;
  if (!ArrayValue(text, "/W", w, refs) || w.size() < 3 || w[0] != 1) return false;
  for (std::size_t i = 1; i < 3; ++i)
    if (w[i] < 0 || w[i] > 32) return false;
  const int w2 = static_cast<int>(w[1]);
  const int w3 = static_cast<int>(w[2]);
  if (!ArrayValue(text, "/Index", index, refs)) index = {0, INT64_MAX};
  if (index.size() % 2 != 0) index.pop_back();

  // Cross-reference streams are never encrypted.
  std::vector<std::uint8_t> data;
  if (!DecodeFlateStream(object, data)) return false;
  const std::size_t entrySize = 1 + static_cast<std::size_t>(w2) + static_cast<std::size_t>(w3);
  if (data.size() % entrySize != 0) return false;

  std::size_t pos = 0;
  for (std::size_t r = 0; r + 1 < index.size() && pos < data.size(); r += 2) {
    const std::int64_t first = index[r];
    const std::int64_t count = index[r + 1];
    for (std::int64_t i = 0; i < count && pos < data.size(); ++i, pos += entrySize) {
      const std::uint8_t* e = data.data() + pos;
      const std::int64_t f2 = ReadBigEndian(e + 1, w2);
      const std::int64_t f3 = ReadBigEndian(e + 1 + w2, w3);
      if (e[0] == 1)
        AddEntry({first + i, f2, -1});
      else if (e[0] == 2)
        AddEntry({first + i, f3, f2});
    }
  }
  trailer = object.Text;
  return true;
}

bool TPDFParser::OpenSecurity(const std::string& trailer) {
  const std::size_t at = FindKeyTopLevel(trailer, "/Encrypt");
  if (at == npos) return true;
  failure_ = pfUnsupportedEncryption;
  // The dictionary inline or as a reference (it is never encrypted itself).
  std::string text;
  std::size_t p = SkipWhite(trailer, at);
  std::size_t b, e, after;
  std::int64_t target;
  if (trailer.compare(p, 2, "<<") == 0 && MatchDictionary(trailer, p, b, e, after)) {
    text = trailer.substr(b, e - b);
  } else if (ReferenceAt(trailer, p, target)) {
    const TCachedObject* object = Lookup(target);
    if (!object) return false;
    text = object->Text;
  } else {
    return false;
  }
  cache_.clear();  // nothing read so far may stay: object streams were still encrypted
  expandedStreams_.clear();

  TPdfSecurity::TParameters parameters;
  auto name = [&](sv dict, sv key) {
    const std::size_t k = FindKeyTopLevel(dict, key);
    return k == npos ? std::string() : std::string(NameAt(dict, SkipWhite(dict, k)));
  };
  auto integer = [&](sv key, std::int64_t& value) {
    const std::size_t k = FindKeyTopLevel(text, key);
    if (k == npos) return false;
    std::size_t q = SkipWhite(text, k);
    const bool negative = q < text.size() && text[q] == '-';
    if (q < text.size() && (text[q] == '-' || text[q] == '+')) ++q;
    if (!ReadDigits(text, q, value)) return false;
    if (negative) value = -value;
    return true;
  };
  auto string = [&](sv key, std::string& value) {
    const std::size_t k = FindKeyTopLevel(text, key);
    if (k != npos) StringAt(text, SkipWhite(text, k), value);
  };
  parameters.Filter = name(text, "/Filter");
  std::int64_t v;
  if (integer("/V", v)) parameters.V = static_cast<int>(std::clamp<std::int64_t>(v, 0, 100));
  if (integer("/R", v)) parameters.R = static_cast<int>(std::clamp<std::int64_t>(v, 0, 100));
  if (integer("/Length", v)) parameters.LengthBits = static_cast<int>(std::clamp<std::int64_t>(v, 0, 4096));
  if (parameters.V == 4 && FindKeyTopLevel(text, "/Length") == npos) parameters.LengthBits = 128;
  if (!integer("/P", v)) return false;
  parameters.P = v;
  {
    const std::size_t k = FindKeyTopLevel(text, "/EncryptMetadata");
    parameters.EncryptMetadata = k == npos || text.compare(SkipWhite(text, k), 5, "false") != 0;
  }
  string("/O", parameters.O);
  string("/U", parameters.U);
  string("/OE", parameters.OE);
  string("/UE", parameters.UE);
  if (parameters.V >= 4) {
    // The stream crypt filter: /Identity unless /StmF names one of /CF.
    const std::string stmF = name(text, "/StmF");
    parameters.StreamMethod = TPdfSecurity::cmIdentity;
    if (!stmF.empty() && stmF != "Identity") {
      const std::string filters = DictValue(text, "/CF");
      const std::size_t k = FindKeyTopLevel(filters, "/" + stmF);
      if (k == npos) return false;
      const std::size_t q = SkipWhite(filters, k);
      if (filters.compare(q, 2, "<<") != 0 || !MatchDictionary(filters, q, b, e, after)) return false;
      const std::string filter = filters.substr(b, e - b);
      const std::string method = name(filter, "/CFM");
      if (method == "V2")
        parameters.StreamMethod = TPdfSecurity::cmRc4;
      else if (method == "AESV2")
        parameters.StreamMethod = TPdfSecurity::cmAesV2;
      else if (method == "AESV3")
        parameters.StreamMethod = TPdfSecurity::cmAesV3;
      else if (method != "None")
        return false;
      std::int64_t bytes;
      if (parameters.V == 4 && IntValue(filter, "/Length", bytes) && bytes >= 5 && bytes <= 16)
        parameters.LengthBits = static_cast<int>(bytes * 8);
    }
  }
  // The first string of /ID.
  const std::size_t id = FindKeyTopLevel(trailer, "/ID");
  if (id != npos) {
    std::size_t q = SkipWhite(trailer, id);
    if (q < trailer.size() && trailer[q] == '[') StringAt(trailer, SkipWhite(trailer, q + 1), parameters.FirstId);
  }
  switch (security_.Open(parameters)) {
    case TPdfSecurity::orOpened:
      failure_ = pfNone;
      return true;
    case TPdfSecurity::orNeedsPassword:
      failure_ = pfNeedsPassword;
      return false;
    default:
      return false;
  }
}

bool TPDFParser::ReadDirectObject(std::int64_t address, std::int64_t number, TCachedObject& out) const {
  const sv buf = View(data_);
  if (address < 0 || address >= static_cast<std::int64_t>(buf.size())) return false;
  std::size_t p = SkipWhite(buf, static_cast<std::size_t>(address));
  std::int64_t n, g;
  if (!ReadDigits(buf, p, n, &p)) return false;
  if (number >= 0 && n != number) return false;
  p = SkipWhite(buf, p);
  if (!ReadDigits(buf, p, g, &p)) return false;
  p = SkipWhite(buf, p);
  if (buf.substr(p, 3) != "obj") return false;
  out.Generation = g;
  p = SkipWhite(buf, p + 3);
  if (buf.substr(p, 2) == "<<") {
    std::size_t b, e, after;
    if (!MatchDictionary(buf, p, b, e, after)) return false;
    out.Text.assign(buf.substr(b, e - b));
    out.DictEnd = static_cast<std::int64_t>(after);
    return true;
  }
  const std::size_t end = buf.find("endobj", p);
  if (end == npos) return false;
  out.Text.assign(buf.substr(p, end - p));
  out.DictEnd = -1;
  return true;
}

bool TPDFParser::StreamDataAddress(std::int64_t dictEnd, std::int64_t& address) const {
  const sv buf = View(data_);
  if (dictEnd < 0 || dictEnd > static_cast<std::int64_t>(buf.size())) return false;
  std::size_t p = SkipWhite(buf, static_cast<std::size_t>(dictEnd));
  if (buf.substr(p, 6) != "stream") return false;
  p += 6;
  // The keyword's line end belongs to it; data bytes that look like white
  // space are data.
  std::size_t q = p;
  while (q < buf.size() && buf[q] == ' ') ++q;
  if (q < buf.size() && buf[q] == '\r') {
    ++q;
    if (q < buf.size() && buf[q] == '\n') ++q;
    p = q;
  } else if (q < buf.size() && buf[q] == '\n') {
    p = q + 1;
  }
  address = static_cast<std::int64_t>(p);
  return true;
}

const TPDFParser::TCachedObject* TPDFParser::Lookup(std::int64_t number) {
  auto cached = cache_.find(number);
  if (cached != cache_.end()) return &cached->second;
  auto it = firstEntry_.find(number);
  if (it == firstEntry_.end() || lookupDepth_ >= kMaxLookupDepth) return nullptr;
  const TXrefEntry entry = xref_[it->second];
  ++lookupDepth_;
  struct Depth {
    int& d;
    ~Depth() { --d; }
  } depth{lookupDepth_};
  if (entry.StreamNumber < 0) {
    TCachedObject object;
    if (!ReadDirectObject(entry.Offset, number, object)) return nullptr;
    return &(cache_[number] = std::move(object));
  }
  if (!ExpandObjectStream(entry.StreamNumber)) return nullptr;
  cached = cache_.find(number);
  return cached == cache_.end() ? nullptr : &cached->second;
}

bool TPDFParser::ObjectText(std::int64_t number, std::string& text) {
  const TCachedObject* object = Lookup(number);
  if (!object) return false;
  text = object->Text;
  return true;
}

bool TPDFParser::DecodeFlateStream(const TCachedObject& object, std::vector<std::uint8_t>& out, std::int64_t number) {
  const std::string text = object.Text;  // a copy: lookups below may grow the cache
  int columns = 0, predictor = 0;
  const std::string parms = DictValue(text, "/DecodeParms");
  std::int64_t v;
  if (IntValue(parms, "/Columns", v) && v > 0 && v < (1 << 24)) {
    columns = static_cast<int>(v);
    if (IntValue(parms, "/Predictor", v) && v < 1000) predictor = static_cast<int>(v);
  }
  columns_ = columns;
  predictor_ = predictor;
  std::int64_t length, address;
  if (!IntOrRef(text, "/Length", length) || !StreamDataAddress(object.DictEnd, address)) return false;
  if (length < 0 || address + length > static_cast<std::int64_t>(data_.size())) return false;
  if (number >= 0 && security_.Active()) {
    std::vector<std::uint8_t> clear;
    if (!security_.DecryptStream(number, object.Generation, data_.data() + address, static_cast<std::size_t>(length),
                                 clear) ||
        !Inflate(clear.data(), clear.size(), kMaxStructureStream, out))
      return false;
  } else if (!Inflate(data_.data() + address, static_cast<std::size_t>(length), kMaxStructureStream, out)) {
    return false;
  }
  if (columns > 0 && predictor >= 10) {
    if (out.size() % (static_cast<std::size_t>(columns) + 1) != 0) return false;
    if (!UnpredictPng(out, static_cast<std::size_t>(columns), 1)) return false;
  }
  return true;
}

bool TPDFParser::ExpandObjectStream(std::int64_t streamNumber) {
  if (!expandedStreams_.emplace(streamNumber, true).second) return false;
  const TCachedObject* objectPtr = Lookup(streamNumber);
  if (!objectPtr || objectPtr->DictEnd < 0) return false;
  const TCachedObject object = *objectPtr;
  const sv text = object.Text;
  for (sv required : {"/Type", "/ObjStm", "/Filter", "/FlateDecode"})
    if (text.find(required) == npos) return false;
  std::int64_t n, first;
  if (!IntOrRef(text, "/N", n) || !IntOrRef(text, "/First", first)) return false;
  std::vector<std::uint8_t> data;
  if (!DecodeFlateStream(object, data, streamNumber)) return false;
  const sv body = View(data);
  if (first < 0 || first > static_cast<std::int64_t>(body.size())) return false;

  std::vector<std::pair<std::int64_t, std::int64_t>> pairs;
  std::size_t p = 0;
  for (std::int64_t k = 0; k < n; ++k) {
    std::int64_t number, offset;
    p = SkipWhite(body, p);
    if (!ReadDigits(body, p, number, &p)) break;
    p = SkipWhite(body, p);
    if (!ReadDigits(body, p, offset, &p)) break;
    pairs.emplace_back(number, offset);
  }
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    // Each object runs from its own offset to the next object's.
    const std::int64_t start = first + pairs[k].second;
    std::int64_t end = k + 1 < pairs.size() ? first + pairs[k + 1].second : static_cast<std::int64_t>(body.size());
    if (start < first || start > static_cast<std::int64_t>(body.size())) continue;
    if (end < start || end > static_cast<std::int64_t>(body.size())) end = static_cast<std::int64_t>(body.size());
    const sv piece = body.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    const std::size_t q = SkipWhite(piece, 0);
    TCachedObject cached;
    std::size_t b, e, after;
    if (piece.substr(q, 2) == "<<" && MatchDictionary(piece, q, b, e, after))
      cached.Text.assign(piece.substr(b, e - b));
    else
      cached.Text.assign(piece.substr(q));
    // Only when the object's first (newest) entry points into this stream.
    auto it = firstEntry_.find(pairs[k].first);
    if (it != firstEntry_.end() && xref_[it->second].StreamNumber == streamNumber)
      cache_.emplace(pairs[k].first, std::move(cached));
  }
  return true;
}

bool TPDFParser::IntOrRef(std::string_view text, std::string_view key, std::int64_t& value) {
  std::size_t end;
  std::int64_t v;
  const std::size_t keyEnd = FindKey(text, key);
  if (!DigitsAfter(text, keyEnd, v, &end)) return false;
  std::int64_t target;
  if (ReferenceAt(text, SkipValueSpace(text, keyEnd + 1), target)) {
    const TCachedObject* object = Lookup(target);
    if (!object) return false;
    const sv t = object->Text;
    return ReadDigits(t, SkipWhite(t, 0), value);
  }
  value = v;
  return true;
}

bool TPDFParser::ArrayValue(std::string_view text, std::string_view key, std::vector<std::int64_t>& numbers,
                            std::vector<std::int64_t>& refs, std::vector<double>* reals) {
  std::size_t p = FindKey(text, key);
  if (p == npos) return false;
  p = SkipWhite(text, p);
  if (p < text.size() && text[p] == '[') return ParseArray(text, p, numbers, refs, reals);
  std::int64_t target;
  if (!ReferenceAt(text, p, target)) return false;
  const TCachedObject* object = Lookup(target);
  if (!object) return false;
  const std::string t = object->Text;
  return ParseArray(t, SkipWhite(t, 0), numbers, refs, reals);
}

std::string TPDFParser::DictValue(std::string_view text, std::string_view key) {
  std::size_t p = FindKey(text, key);
  if (p == npos) return {};
  p = SkipWhite(text, p);
  if (p < text.size() && text[p] == '[') p = SkipWhite(text, p + 1);
  std::size_t b, e, after;
  if (text.substr(p, 2) == "<<") {
    if (!MatchDictionary(text, p, b, e, after)) return {};
    return std::string(text.substr(b, e - b));
  }
  std::int64_t target;
  if (!ReferenceAt(text, p, target)) return {};
  const TCachedObject* object = Lookup(target);
  if (!object) return {};
  const std::string t = object->Text;
  // An indirect array of parameter dictionaries: its first dictionary.
  std::size_t q = SkipWhite(t, 0);
  if (q < t.size() && t[q] == '[') {
    q = SkipWhite(t, q + 1);
    if (t.compare(q, 2, "<<") == 0 && MatchDictionary(t, q, b, e, after)) return t.substr(b, e - b);
    return {};
  }
  return t;
}

int TPDFParser::ColourComponents(std::string_view imageDict) {
  std::size_t p = FindKey(imageDict, "/ColorSpace");
  if (p == npos) return 1;
  p = SkipWhite(imageDict, p);
  std::string value(imageDict.substr(p, std::min<std::size_t>(imageDict.size() - p, 256)));
  std::int64_t target;
  if (ReferenceAt(imageDict, p, target)) {
    const TCachedObject* object = Lookup(target);
    if (!object) return 1;
    value = object->Text;
  }
  const sv v = value;
  const std::size_t q = SkipWhite(v, 0);
  const sv head = v.substr(q, std::min<std::size_t>(v.size() - q, 64));
  auto starts = [&](sv name) {
    std::size_t k = 0;
    if (k < head.size() && head[k] == '[') k = SkipWhite(head, k + 1);
    return NameAt(head, k) == name;
  };
  if (starts("DeviceRGB") || starts("CalRGB")) return 3;
  if (starts("DeviceCMYK")) return 4;
  if (starts("Indexed") || starts("I") || starts("Separation") || starts("DeviceN") || starts("Pattern") ||
      starts("Lab"))
    return -1;
  if (starts("ICCBased")) {
    std::size_t k = SkipWhite(head, head.find("ICCBased") + 8);
    std::int64_t icc, n;
    if (ReferenceAt(head, k, icc)) {
      const TCachedObject* stream = Lookup(icc);
      if (stream && IntValue(stream->Text, "/N", n)) return n == 3 ? 3 : n == 4 ? 4 : n == 1 ? 1 : -1;
    }
    return -1;
  }
  return 1;
}

bool TPDFParser::BuildPageTree() {
  const TCachedObject* catalog = Lookup(root_);
  if (!catalog) return false;
  std::int64_t pagesNumber;
  if (!IntValue(catalog->Text, "/Pages", pagesNumber)) return false;
  const TCachedObject* node = Lookup(pagesNumber);
  if (!node) return false;
  const std::string nodeText = node->Text;
  std::int64_t count;
  if (!IntOrRef(nodeText, "/Count", count) || count < 1) return false;
  std::vector<std::int64_t> numbers, kids;
  if (!ArrayValue(nodeText, "/Kids", numbers, kids)) return false;
  // Descend through first kids until a node lists as many kids as the root
  // counts pages. A node seen before would make the descent loop: such a
  // tree is not supported.
  std::unordered_set<std::int64_t> visited{pagesNumber};
  while (static_cast<std::int64_t>(kids.size()) != count) {
    if (kids.empty()) return false;  // pages spread over several nodes
    const std::int64_t first = kids.front();
    if (!visited.insert(first).second || visited.size() > xref_.size() + 1) return false;
    const TCachedObject* kid = Lookup(first);
    if (!kid) return false;
    const std::string kidText = kid->Text;
    if (!ArrayValue(kidText, "/Kids", numbers, kids)) kids.clear();
  }
  pages_ = kids;
  records_.assign(pages_.size(), TPageRecord{});
  recordState_.assign(pages_.size(), 0);
  return !pages_.empty();
}

const TPDFParser::TPageRecord* TPDFParser::Page(int index) {
  if (!parsed_ || index < 0 || index >= static_cast<int>(pages_.size())) return nullptr;
  const auto i = static_cast<std::size_t>(index);
  if (recordState_[i] == 0) {
    TPageRecord record;
    const bool ok = ReadPageRecord(pages_[i], record);
    records_[i] = record;
    recordState_[i] = ok ? 1 : 2;
  }
  return recordState_[i] == 1 ? &records_[i] : nullptr;
}

bool TPDFParser::ReadPageRecord(std::int64_t pageObject, TPageRecord& record) {
  record.PageObject = pageObject;
  const TCachedObject* page = Lookup(pageObject);
  if (!page) return false;
  const std::string pageText = page->Text;

  // The MediaBox, /Rotate and /Resources are the page's own or those of
  // its nearest ancestor.
  std::vector<std::int64_t> box, refs;
  std::vector<double> realBox;
  if (!ArrayValue(InheritedText(pageText, "/MediaBox"), "/MediaBox", box, refs, &realBox) || realBox.size() != 4)
    return false;
  std::copy(realBox.begin(), realBox.end(), record.MediaBox);
  if (!(realBox[2] - realBox[0] > 0) || !(realBox[3] - realBox[1] > 0)) return false;

  // The XObject dictionary: in the dictionary that holds the resources, or
  // in the resources it refers to.
  std::string holder = InheritedText(pageText, "/Resources");
  if (holder.empty()) holder = pageText;
  std::string resources = holder;
  std::size_t p = FindKey(resources, "/XObject");
  if (p == npos) {
    std::int64_t resNumber;
    const std::size_t r = FindKey(holder, "/Resources");
    if (r == npos || !ReferenceAt(holder, r, resNumber)) return false;
    const TCachedObject* res = Lookup(resNumber);
    if (!res) return false;
    resources = res->Text;
    p = FindKey(resources, "/XObject");
    if (p == npos) return false;
  }
  std::int64_t imageNumber = -1;
  std::string xobjects;
  std::int64_t target;
  p = SkipWhite(resources, p);
  if (ReferenceAt(resources, p, target)) {
    const TCachedObject* x = Lookup(target);
    if (!x) return false;
    if (x->DictEnd >= 0 && x->Text.find("/Image") != std::string::npos && x->Text.find("/Subtype") != std::string::npos)
      imageNumber = target;  // the reference names the image itself
    else
      xobjects = x->Text;
  } else {
    std::size_t b, e, after;
    if (resources.compare(p, 2, "<<") != 0 || !MatchDictionary(resources, p, b, e, after)) return false;
    xobjects = resources.substr(b, e - b);
  }
  if (imageNumber < 0) {
    // Pass over the first name; the number after it is the image object.
    const sv x = xobjects;
    std::size_t q = x.find('/');
    if (q == npos) return false;
    q += 1 + NameAt(x, q).size();
    if (!ReferenceAt(x, q, imageNumber)) return false;
  }

  const TCachedObject* image = Lookup(imageNumber);
  if (!image || image->DictEnd < 0) return false;
  const std::string imageText = image->Text;
  const std::int64_t imageDictEnd = image->DictEnd;
  const std::int64_t imageGeneration = image->Generation;

  std::int64_t v;
  if (SignedValue(InheritedText(pageText, "/Rotate"), "/Rotate", v)) {
    v %= 360;
    if (v < 0) v += 360;
    record.Rotate = (v % 90 == 0) ? static_cast<int>(v) : 0;
  }
  std::int64_t width, height, bpc;
  if (!IntValue(imageText, "/Width", width) || !IntValue(imageText, "/Height", height)) return false;
  if (!IntValue(imageText, "/BitsPerComponent", bpc)) {
    // An image mask has one bit per sample and need not say so.
    if (!BoolValue(imageText, "/ImageMask")) return false;
    bpc = 1;
  }
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return false;
  if (bpc != 1 && bpc != 2 && bpc != 4 && bpc != 8 && bpc != 16) return false;
  record.Width = static_cast<int>(width);
  record.Height = static_cast<int>(height);
  record.BitsPerComponent = static_cast<int>(bpc);
  if (!IntOrRef(imageText, "/Length", record.Length)) return false;
  if (!StreamDataAddress(imageDictEnd, record.DataAddress)) return false;
  if (record.Length < 0 || record.DataAddress + record.Length > static_cast<std::int64_t>(data_.size())) return false;
  record.ImageObject = imageNumber;
  record.ImageGeneration = imageGeneration;
  std::vector<std::uint8_t> clear;
  if (security_.Active()) {
    if (!security_.DecryptStream(imageNumber, imageGeneration, data_.data() + record.DataAddress,
                                 static_cast<std::size_t>(record.Length), clear))
      return false;
    record.Decrypted = true;
    record.StoredLength = record.Length;
    record.Length = static_cast<std::int64_t>(clear.size());
  }

  // The filter: one name, or an array of one name. Chained filters and
  // filters other than the four below cannot be decoded.
  std::vector<sv> filters;
  std::string filterText = imageText;
  std::size_t f = FindKey(filterText, "/Filter");
  if (f != npos) {
    f = SkipWhite(filterText, f);
    if (ReferenceAt(filterText, f, target)) {
      const TCachedObject* fo = Lookup(target);
      if (!fo) return false;
      filterText = fo->Text;
      f = SkipWhite(filterText, 0);
    }
    const sv ft = filterText;
    if (f < ft.size() && ft[f] == '[') {
      std::size_t k = f + 1;
      for (;;) {
        k = SkipWhite(ft, k);
        if (k >= ft.size()) return false;
        if (ft[k] == ']') break;
        const sv name = NameAt(ft, k);
        if (name.empty()) return false;
        filters.push_back(name);
        k += 1 + name.size();
      }
    } else {
      const sv name = NameAt(ft, f);
      if (name.empty()) return false;
      filters.push_back(name);
    }
    // filters point into filterText, which lives until the end of this function
  }
  if (filters.size() > 1) return false;

  record.Adorned = FindKey(imageText, "/Decode") != npos || BoolValue(imageText, "/ImageMask") ||
                   FindKey(imageText, "/Mask") != npos || FindKey(imageText, "/SMask") != npos;
  const int components = ColourComponents(imageText);
  const std::string parms = DictValue(imageText, "/DecodeParms");
  const sv filter = filters.empty() ? sv{} : filters.front();
  if (filter == "DCTDecode" || filter == "DCT") {
    record.Compression = pcJpeg;
    // Four components (and Adobe's inverted CMYK) or a colour transform
    // other than the data's own need more than the data to show alike.
    record.Adorned =
        record.Adorned || (components != 1 && components != 3) || FindKey(parms, "/ColorTransform") != npos;
  } else {
    if (filter.empty())
      record.Compression = pcNone;
    else if (filter == "FlateDecode" || filter == "Fl")
      record.Compression = pcDeflate;
    else if (filter == "RunLengthDecode" || filter == "RL")
      record.Compression = pcPackBits;
    else if (filter == "CCITTFaxDecode" || filter == "CCF")
      record.Compression = pcGroup4;
    else
      return false;  // LZW, JBIG2, JPEG 2000, ASCII filters, ...
    if (components != 1 && components != 3) return false;
  }
  record.BitsPerPixel = record.BitsPerComponent * (components == 3 ? 3 : 1);
  // No page of this program comes near 2 GB of pixels; damaged sizes must
  // not exhaust memory.
  if ((static_cast<std::uint64_t>(record.Width) * static_cast<std::uint64_t>(record.BitsPerPixel) + 7) / 8 *
          static_cast<std::uint64_t>(record.Height) >
      (std::uint64_t{2} << 30))
    return false;

  if (record.Compression == pcGroup4) {
    // CCITT: /K < 0 is Group 4; /K >= 0 is Group 3, which the TIFF reader
    // decodes when the rows are byte-aligned without EOL codes, or when the
    // data carries EOL codes (declared or not).
    std::int64_t k = 0;
    SignedValue(parms, "/K", k);
    record.BlackIs1 = BoolValue(parms, "/BlackIs1");
    record.Adorned = record.Adorned || BoolValue(parms, "/EncodedByteAlign");
    if (record.BitsPerComponent != 1) return false;
    if (k >= 0) {
      const bool byteAlign = BoolValue(parms, "/EncodedByteAlign");
      // An EOL code: at least eleven 0 bits, then a 1 bit (leading fill
      // bits are zeros as well).
      bool startsWithEol = false;
      const std::uint8_t* d = record.Decrypted ? clear.data() : data_.data() + record.DataAddress;
      int zeros = 0;
      for (std::int64_t i = 0; i < std::min<std::int64_t>(record.Length, 64) && !startsWithEol; ++i) {
        bool stop = false;
        for (int bit = 7; bit >= 0; --bit) {
          if ((d[i] >> bit) & 1) {
            startsWithEol = zeros >= 11;
            stop = true;
            break;
          }
          ++zeros;
        }
        if (stop) break;
      }
      if (startsWithEol) {
        record.Compression = pcGroup3;
        record.T4Options = (k > 0 ? 1u : 0u) | (byteAlign ? 4u : 0u);
      } else if (k == 0 && byteAlign) {
        record.Compression = pcCcittRle;
      } else {
        return false;  // Group 3 without EOL codes: no TIFF reader decodes it
      }
    }
  } else if (record.Compression == pcDeflate) {
    std::int64_t pv;
    if (IntValue(parms, "/Predictor", pv) && pv > 1) {
      record.Predictor = static_cast<int>(std::min<std::int64_t>(pv, 100));
      if (IntValue(parms, "/Colors", pv))
        record.PredictorColors = static_cast<int>(std::clamp<std::int64_t>(pv, 1, 32));
      if (IntValue(parms, "/BitsPerComponent", pv))
        record.PredictorBitsPerComponent = static_cast<int>(std::clamp<std::int64_t>(pv, 1, 16));
      if (IntValue(parms, "/Columns", pv))
        record.PredictorColumns = static_cast<int>(std::clamp<std::int64_t>(pv, 1, 1 << 24));
      if (record.Predictor == 2 && !(record.PredictorBitsPerComponent == 8 && record.BitsPerComponent == 8))
        return false;
      if (record.Predictor != 2 && record.Predictor < 10) return false;
    }
  }
  if (record.Compression != pcJpeg && record.BitsPerPixel != 1 && record.BitsPerPixel != 4 &&
      record.BitsPerPixel != 8 && record.BitsPerPixel != 24)
    return false;
  return true;
}

bool TPDFParser::PageImageData(const TPageRecord& page, std::vector<std::uint8_t>& data, int& compression) const {
  compression = page.Compression;
  std::vector<std::uint8_t> clear;
  const std::uint8_t* begin = ImageBytes(page, clear);
  if (!begin) return false;
  if (page.Compression != pcDeflate) {
    if (page.Decrypted)
      data = std::move(clear);
    else
      data.assign(begin, begin + page.Length);
    return true;
  }
  // Flate data is inflated (and un-predicted) here and handed on as
  // uncompressed rows; bytes beyond the image (a padded last row) are
  // dropped.
  const std::size_t imageRow =
      (static_cast<std::size_t>(page.Width) * static_cast<std::size_t>(page.BitsPerPixel) + 7) / 8;
  const std::size_t imageBytes = imageRow * static_cast<std::size_t>(page.Height);
  compression = pcNone;
  if (page.Predictor < 2)
    return Inflate(begin, static_cast<std::size_t>(page.Length), imageBytes, data, true) && data.size() == imageBytes;
  if (page.Predictor == 2) {
    if (!Inflate(begin, static_cast<std::size_t>(page.Length), imageBytes, data, true) || data.size() < imageBytes)
      return false;
    data.resize(imageBytes);
    const std::size_t step = static_cast<std::size_t>(page.BitsPerPixel / 8);
    for (std::size_t y = 0; y < static_cast<std::size_t>(page.Height); ++y) {
      std::uint8_t* row = data.data() + y * imageRow;
      for (std::size_t i = step; i < imageRow; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - step]);
    }
    return true;
  }
  const std::size_t bitsPerPixel =
      static_cast<std::size_t>(page.PredictorColors) * static_cast<std::size_t>(page.PredictorBitsPerComponent);
  const std::size_t rowBytes = (bitsPerPixel * static_cast<std::size_t>(page.PredictorColumns) + 7) / 8;
  const std::size_t pixelBytes = std::max<std::size_t>(1, (bitsPerPixel + 7) / 8);
  if (rowBytes > (std::size_t{64} << 20)) return false;  // no image row comes near this
  // A predictor row need not match an image row (one row of 8-bit
  // "columns" may span several 1-bit image rows): un-predict the whole
  // stream, then cut the image out of it.
  const std::size_t rows = (imageBytes + rowBytes - 1) / rowBytes;
  if (!Inflate(begin, static_cast<std::size_t>(page.Length), rows * (rowBytes + 1), data, true)) return false;
  if (!UnpredictPng(data, rowBytes, pixelBytes) || data.size() < imageBytes) return false;
  data.resize(imageBytes);
  return true;
}

const std::uint8_t* TPDFParser::ImageBytes(const TPageRecord& page, std::vector<std::uint8_t>& clear) const {
  const std::int64_t stored = page.Decrypted ? page.StoredLength : page.Length;
  if (page.Length < 0 || stored < 0 || page.DataAddress < 0 ||
      page.DataAddress + stored > static_cast<std::int64_t>(data_.size()))
    return nullptr;
  const std::uint8_t* begin = data_.data() + page.DataAddress;
  if (!page.Decrypted) return begin;
  // Decrypted on each use: keeping every page's clear data would hold a
  // second copy of the document.
  if (!security_.DecryptStream(page.ImageObject, page.ImageGeneration, begin, static_cast<std::size_t>(stored),
                               clear) ||
      static_cast<std::int64_t>(clear.size()) != page.Length)
    return nullptr;
  return clear.data();
}

std::string TPDFParser::InheritedText(const std::string& pageText, std::string_view key) {
  std::string text = pageText;
  std::unordered_set<std::int64_t> visited;
  // A tree deeper than this is damaged (or loops).
  for (int depth = 0; depth < 64; ++depth) {
    if (FindKeyTopLevel(text, key) != npos) return text;
    std::int64_t parent;
    const std::size_t p = FindKeyTopLevel(text, "/Parent");
    if (p == npos || !ReferenceAt(text, p, parent) || !visited.insert(parent).second) break;
    const TCachedObject* node = Lookup(parent);
    if (!node) break;
    text = node->Text;
  }
  return {};
}
