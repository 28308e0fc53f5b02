#include "image/PdfSecurity.h"

#include <nettle/aes.h>
#include <nettle/arcfour.h>
#include <nettle/cbc.h>
#include <nettle/md5.h>
#include <nettle/sha2.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The bytes that pad a password to 32 bytes (the whole of it for the empty
// password).
constexpr std::uint8_t kPasswordPad[32] = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                                           0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                                           0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

const std::uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

void Rc4(const std::uint8_t* key, std::size_t keySize, const std::uint8_t* in, std::size_t size, std::uint8_t* out) {
  arcfour_ctx ctx;
  arcfour_set_key(&ctx, keySize, key);
  arcfour_crypt(&ctx, size, out, in);
}

// AES-CBC decryption of whole blocks; key of 16 or 32 bytes.
void AesCbcDecrypt(const std::uint8_t* key, std::size_t keySize, std::uint8_t* iv, const std::uint8_t* in,
                   std::size_t size, std::uint8_t* out) {
  if (keySize == 16) {
    aes128_ctx ctx;
    aes128_set_decrypt_key(&ctx, key);
    cbc_decrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(aes128_decrypt), AES_BLOCK_SIZE, iv, size, out, in);
  } else {
    aes256_ctx ctx;
    aes256_set_decrypt_key(&ctx, key);
    cbc_decrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(aes256_decrypt), AES_BLOCK_SIZE, iv, size, out, in);
  }
}

// The password hash of revisions 5 (one SHA-256) and 6 (the iterated hash
// over SHA-256/384/512 and AES-128), with the empty password: 32 bytes.
std::array<std::uint8_t, 32> PasswordHash(int revision, const std::uint8_t* salt) {
  std::array<std::uint8_t, 64> k{};
  std::size_t kSize = 32;
  {
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, 8, salt);
    sha256_digest(&ctx, 32, k.data());
  }
  if (revision >= 6) {
    std::vector<std::uint8_t> k1, e;
    for (int round = 0;; ++round) {
      // The empty password and no user data: K1 is K repeated 64 times.
      k1.resize(64 * kSize);
      for (std::size_t i = 0; i < 64; ++i) std::memcpy(k1.data() + i * kSize, k.data(), kSize);
      e.resize(k1.size());
      aes128_ctx aes;
      aes128_set_encrypt_key(&aes, k.data());
      std::uint8_t iv[16];
      std::memcpy(iv, k.data() + 16, 16);
      cbc_aes128_encrypt(&aes, iv, k1.size(), e.data(), k1.data());
      // The first 16 bytes as a big number, modulo 3 (256 is 1 modulo 3).
      unsigned sum = 0;
      for (int i = 0; i < 16; ++i) sum += e[static_cast<std::size_t>(i)];
      switch (sum % 3) {
        case 0: {
          sha256_ctx ctx;
          sha256_init(&ctx);
          sha256_update(&ctx, e.size(), e.data());
          sha256_digest(&ctx, 32, k.data());
          kSize = 32;
          break;
        }
        case 1: {
          sha384_ctx ctx;
          sha384_init(&ctx);
          sha384_update(&ctx, e.size(), e.data());
          sha384_digest(&ctx, 48, k.data());
          kSize = 48;
          break;
        }
        default: {
          sha512_ctx ctx;
          sha512_init(&ctx);
          sha512_update(&ctx, e.size(), e.data());
          sha512_digest(&ctx, 64, k.data());
          kSize = 64;
          break;
        }
      }
      if (round >= 63 && static_cast<int>(e.back()) <= round + 1 - 32) break;
    }
  }
  std::array<std::uint8_t, 32> out{};
  std::memcpy(out.data(), k.data(), 32);
  return out;
}

}  // namespace

TPdfSecurity::TOpenResult TPdfSecurity::Open(const TParameters& p) {
  active_ = false;
  key_.clear();
  if (p.Filter != "Standard") return orUnsupported;
  bool ok = false;
  if ((p.V == 1 || p.V == 2 || p.V == 4) && p.R >= 2 && p.R <= 4) {
    method_ = p.V == 4 ? p.StreamMethod : cmRc4;
    if (method_ == cmAesV3) return orUnsupported;
    ok = OpenRc4Revision(p);
  } else if (p.V == 5 && (p.R == 5 || p.R == 6)) {
    method_ = p.StreamMethod == cmIdentity ? cmIdentity : cmAesV3;
    ok = OpenAes256Revision(p);
  } else {
    return orUnsupported;
  }
  if (!ok) return orNeedsPassword;
  active_ = true;
  return orOpened;
}

bool TPdfSecurity::OpenRc4Revision(const TParameters& p) {
  if (p.O.size() < 32 || p.U.size() < 32) return false;
  std::size_t n = 5;
  if (p.R >= 3) n = static_cast<std::size_t>(std::clamp(p.LengthBits, 40, 128) / 8);
  // The file key: MD5 of the padded password, /O, /P, the first /ID string
  // (and four 0xFF bytes when revision 4 leaves the metadata in clear).
  std::uint8_t digest[MD5_DIGEST_SIZE];
  md5_ctx ctx;
  md5_init(&ctx);
  md5_update(&ctx, 32, kPasswordPad);
  md5_update(&ctx, 32, Bytes(p.O));
  const auto permissions = static_cast<std::uint32_t>(p.P);
  const std::uint8_t pBytes[4] = {static_cast<std::uint8_t>(permissions), static_cast<std::uint8_t>(permissions >> 8),
                                  static_cast<std::uint8_t>(permissions >> 16),
                                  static_cast<std::uint8_t>(permissions >> 24)};
  md5_update(&ctx, 4, pBytes);
  md5_update(&ctx, p.FirstId.size(), Bytes(p.FirstId));
  if (p.R >= 4 && !p.EncryptMetadata) {
    const std::uint8_t ff[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    md5_update(&ctx, 4, ff);
  }
  md5_digest(&ctx, MD5_DIGEST_SIZE, digest);
  if (p.R >= 3)
    for (int i = 0; i < 50; ++i) {
      md5_init(&ctx);
      md5_update(&ctx, n, digest);
      md5_digest(&ctx, MD5_DIGEST_SIZE, digest);
    }
  key_.assign(digest, digest + n);

  // The empty user password is right when it reproduces /U.
  if (p.R == 2) {
    std::uint8_t u[32];
    Rc4(key_.data(), n, kPasswordPad, 32, u);
    return std::memcmp(u, p.U.data(), 32) == 0;
  }
  std::uint8_t u[MD5_DIGEST_SIZE];
  md5_init(&ctx);
  md5_update(&ctx, 32, kPasswordPad);
  md5_update(&ctx, p.FirstId.size(), Bytes(p.FirstId));
  md5_digest(&ctx, MD5_DIGEST_SIZE, u);
  std::uint8_t roundKey[16];
  for (int i = 0; i < 20; ++i) {
    for (std::size_t k = 0; k < n; ++k) roundKey[k] = static_cast<std::uint8_t>(key_[k] ^ i);
    Rc4(roundKey, n, u, sizeof u, u);
  }
  return std::memcmp(u, p.U.data(), 16) == 0;
}

bool TPdfSecurity::OpenAes256Revision(const TParameters& p) {
  if (p.U.size() < 48 || p.UE.size() < 32) return false;
  const auto* u = Bytes(p.U);
  const std::array<std::uint8_t, 32> check = PasswordHash(p.R, u + 32);  // validation salt
  if (std::memcmp(check.data(), u, 32) != 0) return false;
  const std::array<std::uint8_t, 32> intermediate = PasswordHash(p.R, u + 40);  // key salt
  std::uint8_t iv[16] = {};
  key_.resize(32);
  AesCbcDecrypt(intermediate.data(), 32, iv, Bytes(p.UE), 32, key_.data());
  return true;
}

bool TPdfSecurity::DecryptStream(std::int64_t number, std::int64_t generation, const std::uint8_t* data,
                                 std::size_t size, std::vector<std::uint8_t>& out) const {
  if (!active_ || method_ == cmIdentity) {
    out.assign(data, data + size);
    return true;
  }
  // The object's key: the file key with the object number and generation
  // (and "sAlT" for AES); AES-256 uses the file key itself.
  std::vector<std::uint8_t> key = key_;
  if (method_ != cmAesV3) {
    const auto num = static_cast<std::uint64_t>(number);
    const auto gen = static_cast<std::uint64_t>(generation);
    const std::uint8_t extra[9] = {static_cast<std::uint8_t>(num),
                                   static_cast<std::uint8_t>(num >> 8),
                                   static_cast<std::uint8_t>(num >> 16),
                                   static_cast<std::uint8_t>(gen),
                                   static_cast<std::uint8_t>(gen >> 8),
                                   's',
                                   'A',
                                   'l',
                                   'T'};
    std::uint8_t digest[MD5_DIGEST_SIZE];
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, key_.size(), key_.data());
    md5_update(&ctx, method_ == cmAesV2 ? 9 : 5, extra);
    md5_digest(&ctx, MD5_DIGEST_SIZE, digest);
    key.assign(digest, digest + std::min<std::size_t>(key_.size() + 5, 16));
  }
  if (method_ == cmRc4) {
    out.resize(size);
    if (size > 0) Rc4(key.data(), key.size(), data, size, out.data());
    return true;
  }
  // AES: a 16-byte IV, then whole blocks, the last one padded with n bytes
  // of value n.
  out.clear();
  if (size == 0) return true;
  if (size < AES_BLOCK_SIZE) return false;
  std::uint8_t iv[AES_BLOCK_SIZE];
  std::memcpy(iv, data, AES_BLOCK_SIZE);
  const std::size_t blocks = (size - AES_BLOCK_SIZE) / AES_BLOCK_SIZE * AES_BLOCK_SIZE;
  out.resize(blocks);
  if (blocks == 0) return true;
  AesCbcDecrypt(key.data(), key.size(), iv, data + AES_BLOCK_SIZE, blocks, out.data());
  const std::uint8_t pad = out.back();
  if (pad >= 1 && pad <= AES_BLOCK_SIZE &&
      std::all_of(out.end() - pad, out.end(), [pad](std::uint8_t b) { return b == pad; }))
    out.resize(out.size() - pad);
  return true;
}
