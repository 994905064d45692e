#include "security/cfb128.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace kivostrel {

std::vector<std::uint8_t> AesCfb128(const Crypto& crypto, bool encrypt,
                                    std::span<const std::uint8_t> key,
                                    std::span<const std::uint8_t> iv,
                                    std::span<const std::uint8_t> data) {
  if (iv.size() != BlockEncryptor::kBlockSize) {
    throw std::invalid_argument("a CFB128 IV has 16 octets");
  }
  return AesCfb128(*crypto.Aes(key), encrypt, iv, data);
}

std::vector<std::uint8_t> AesCfb128(BlockEncryptor& aes, bool encrypt,
                                    std::span<const std::uint8_t> iv,
                                    std::span<const std::uint8_t> data) {
  constexpr std::size_t kBlock = BlockEncryptor::kBlockSize;
  if (iv.size() != kBlock) throw std::invalid_argument("a CFB128 IV has 16 octets");
  std::array<std::uint8_t, kBlock> feedback;
  std::copy(iv.begin(), iv.end(), feedback.begin());
  std::vector<std::uint8_t> out(data.size());
  for (std::size_t at = 0; at < data.size(); at += kBlock) {
    std::array<std::uint8_t, kBlock> stream;
    aes.EncryptBlock(feedback.data(), stream.data());
    const std::size_t n = std::min(kBlock, data.size() - at);
    for (std::size_t i = 0; i < n; ++i) {
      out[at + i] = static_cast<std::uint8_t>(data[at + i] ^ stream[i]);
      // The next block's input is this block's ciphertext.
      feedback[i] = encrypt ? out[at + i] : data[at + i];
    }
  }
  return out;
}

}  // namespace kivostrel
