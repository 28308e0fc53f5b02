// Fuzz target of the PDF security handler: key derivation from arbitrary
// /Encrypt values, and stream decryption (AES-256 with values built to
// open, so that arbitrary ciphertext reaches the decryption).
#include <nettle/sha2.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/PdfSecurity.h"

namespace {

struct Reader {
  const std::uint8_t* p;
  std::size_t n;
  std::uint8_t Byte() {
    if (n == 0) return 0;
    --n;
    return *p++;
  }
  std::string Bytes(std::size_t count) {
    count = std::min(count, n);
    std::string s(reinterpret_cast<const char*>(p), count);
    p += count;
    n -= count;
    return s;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, size};
  const std::uint8_t mode = in.Byte();
  TPdfSecurity::TParameters p;
  p.Filter = "Standard";
  p.V = in.Byte() % 7;
  p.R = in.Byte() % 8;
  p.LengthBits = in.Byte() * 2;
  p.P = static_cast<std::int8_t>(in.Byte());
  p.EncryptMetadata = in.Byte() & 1;
  p.StreamMethod = static_cast<TPdfSecurity::TMethod>(in.Byte() % 4);
  const std::size_t stringSize = in.Byte() % 64;
  p.O = in.Bytes(stringSize);
  p.FirstId = in.Bytes(in.Byte() % 32);
  if (mode & 1) {
    // Revision 5 values that open with the empty password.
    p.V = 5;
    p.R = 5;
    const std::string salts = in.Bytes(16);
    if (salts.size() < 16) return 0;
    std::uint8_t hash[32];
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, 8, reinterpret_cast<const std::uint8_t*>(salts.data()));
    sha256_digest(&ctx, 32, hash);
    p.U.assign(reinterpret_cast<const char*>(hash), 32);
    p.U += salts;
    p.UE = in.Bytes(32);
  } else {
    p.U = in.Bytes(stringSize);
    p.UE = in.Bytes(32);
  }
  TPdfSecurity security;
  security.Open(p);
  const std::int64_t number = in.Byte() | (in.Byte() << 8);
  const std::int64_t generation = in.Byte();
  std::vector<std::uint8_t> out;
  security.DecryptStream(number, generation, in.p, in.n, out);
  return 0;
}
