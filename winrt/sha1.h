#ifndef KESTRUNE_WINRT_SHA1_H_
#define KESTRUNE_WINRT_SHA1_H_

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// SHA-1 (FIPS 180-4), usable in constant expressions so that interface IIDs
// derived from type signatures can be fixed at compile time. Only used to name
// things (RFC 4122 version-5 UUIDs), never for security.

using Sha1Digest = std::array<uint8_t, 20>;

class Sha1 {
 public:
  constexpr void Update(uint8_t byte) {
    block_[block_size_++] = byte;
    ++message_size_;
    if (block_size_ == block_.size()) {
      Compress(state_, block_);
      block_size_ = 0;
    }
  }

  constexpr void Update(std::span<const uint8_t> bytes) {
    for (uint8_t byte : bytes) {
      Update(byte);
    }
  }

  // The bytes of |text| as they are (UTF-8 for signatures).
  constexpr void Update(std::string_view text) {
    for (char c : text) {
      Update(static_cast<uint8_t>(c));
    }
  }

  // The digest of everything fed so far; the hasher itself is left as it was,
  // so more bytes may follow.
  constexpr Sha1Digest Digest() const {
    Sha1 padded = *this;
    const uint64_t bit_count = message_size_ * 8;
    padded.Update(uint8_t{0x80});
    while (padded.block_size_ != 56) {
      padded.Update(uint8_t{0});
    }
    for (int shift = 56; shift >= 0; shift -= 8) {
      padded.Update(static_cast<uint8_t>(bit_count >> shift));
    }
    Sha1Digest digest{};
    for (size_t word = 0; word < 5; ++word) {
      for (size_t byte = 0; byte < 4; ++byte) {
        digest[word * 4 + byte] = static_cast<uint8_t>(padded.state_[word] >> (24 - 8 * byte));
      }
    }
    return digest;
  }

 private:
  static constexpr void Compress(std::array<uint32_t, 5>& state,
                                 const std::array<uint8_t, 64>& block) {
    std::array<uint32_t, 80> w{};
    for (size_t t = 0; t < 16; ++t) {
      w[t] = uint32_t{block[4 * t]} << 24 | uint32_t{block[4 * t + 1]} << 16 |
             uint32_t{block[4 * t + 2]} << 8 | uint32_t{block[4 * t + 3]};
    }
    for (size_t t = 16; t < 80; ++t) {
      w[t] = std::rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (size_t t = 0; t < 80; ++t) {
      uint32_t f = 0;
      uint32_t k = 0;
      if (t < 20) {
        f = (b & c) | (~b & d);
        k = 0x5a827999;
      } else if (t < 40) {
        f = b ^ c ^ d;
        k = 0x6ed9eba1;
      } else if (t < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8f1bbcdc;
      } else {
        f = b ^ c ^ d;
        k = 0xca62c1d6;
      }
      const uint32_t temp = std::rotl(a, 5) + f + e + k + w[t];
      e = d;
      d = c;
      c = std::rotl(b, 30);
      b = a;
      a = temp;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
  }

  std::array<uint32_t, 5> state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
  std::array<uint8_t, 64> block_{};
  size_t block_size_ = 0;
  uint64_t message_size_ = 0;
};

constexpr Sha1Digest Sha1Of(std::string_view bytes) {
  Sha1 hasher;
  hasher.Update(bytes);
  return hasher.Digest();
}

#endif  // KESTRUNE_WINRT_SHA1_H_
