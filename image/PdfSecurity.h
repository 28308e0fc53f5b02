// TPdfSecurity: the standard security handler of PDF files, for documents
// that open with the empty user password (an owner password only restricts
// printing or editing, and viewers open such files without asking).
//
// Supported: RC4 with 40 to 128-bit keys (revisions 2 and 3), crypt filters
// of revision 4 (RC4 or AES-128), and AES-256 (revisions 5 and 6). Only
// stream data is decrypted: the reader uses no strings of the document.
// The ciphers and hashes are nettle's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TPdfSecurity {
 public:
  // How streams are encrypted (the method of the stream crypt filter).
  enum TMethod { cmIdentity, cmRc4, cmAesV2, cmAesV3 };

  // The values of an /Encrypt dictionary that the handler needs; the strings
  // are raw bytes (escapes and hex already undone).
  struct TParameters {
    std::string Filter;  // "Standard"
    int V = 0;
    int R = 0;
    int LengthBits = 40;
    std::int64_t P = 0;
    bool EncryptMetadata = true;
    TMethod StreamMethod = cmRc4;
    std::string O, U, OE, UE;
    std::string FirstId;  // first string of the trailer's /ID
  };

  enum TOpenResult { orOpened, orNeedsPassword, orUnsupported };

  // Derives the file key with the empty user password and checks it
  // against /U.
  TOpenResult Open(const TParameters& parameters);
  bool Active() const { return active_; }

  // Decrypts the data of the stream of object (number, generation). False
  // when the data cannot be decrypted (AES data shorter than its IV).
  bool DecryptStream(std::int64_t number, std::int64_t generation, const std::uint8_t* data, std::size_t size,
                     std::vector<std::uint8_t>& out) const;

 private:
  bool OpenRc4Revision(const TParameters& p);
  bool OpenAes256Revision(const TParameters& p);

  bool active_ = false;
  TMethod method_ = cmIdentity;
  std::vector<std::uint8_t> key_;
};
