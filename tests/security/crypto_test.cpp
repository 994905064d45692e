// The platform's crypto and the keys made with it, against values computed by an independent
// tool (python's hashlib and hmac): RFC 3414 A.3's password "maplesyrup" and engine ID, for
// every hash the User-based Security Model uses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoding/bytes.h"
#include "encoding/hex.h"
#include "security/cfb128.h"
#include "security/openssl/openssl_crypto.h"
#include "security/usm_keys.h"
#include "tests/support/test_support.h"

namespace kivostrel {
namespace {

using testing::Hex;

std::string Compact(const std::vector<std::uint8_t>& bytes) {
  return ToHex(bytes, "");
}

TEST(UsmKeysTest, PasswordToKeyAndLocalisation) {
  const OpenSslCrypto crypto;
  const Bytes engine_id = Hex("00 00 00 00 00 00 00 00 00 00 00 02");
  const struct {
    HashAlgorithm algorithm;
    const char* key;
    const char* localised;
  } cases[] = {
      {HashAlgorithm::kMd5, "9FAF3283884E92834EBC9847D8EDD963", "526F5EED9FCCE26F8964C2930787D82B"},
      {HashAlgorithm::kSha1, "9FB5CC0381497B3793528939FF788D5D79145211",
       "6695FEBC9288E36282235FC7151F128497B38F3F"},
      {HashAlgorithm::kSha224, "282A5867EE9AAC639AD59DF9572C7D3AC0FBC13A905B6DF07DBBF00B",
       "0BD8827C6E29F8065E08E09237F177E410F69B90E1782BE682075674"},
      {HashAlgorithm::kSha256, "AB51014D1E077F6017DF2B12BEE5F5AA72993177E9BB569C4DFF5A4CA0B4AFAC",
       "8982E0E549E866DB361A6B625D84CCCC11162D453EE8CE3A6445C2D6776F0F8B"},
      {HashAlgorithm::kSha384,
       "E06ECCDF2C68A06ED034723C9C26E0DB3B669E1E2EFED49150B55377A2E98F383C86FB836857444654B287C93F"
       "51FF64",
       "3B298F16164A11184279D5432BF169E2D2A48307DE02B3D3F7E2B4F36EB6F0455A53689A3937EEA07319A633D2"
       "CCBA78"},
      {HashAlgorithm::kSha512,
       "7E4396DE5AADC77BE853819B98C9406265B3A9C37CC3176569847A4E4F6FBA63DD3A73D04924D31A63F95A601F"
       "9385AF6BE4ED1B37F87D040F7C6ED6F8D38A91",
       "22A5A36CEDFCC085807A128D7BC6C2382167AD6C0DBC5FDFF856740F3D84C099AD1EA87A8DB096714D9788BD54"
       "4047C9021E4229CE27E4C0A69250ADFCFFBB0B"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    ASSERT_TRUE(crypto.Supports(c.algorithm));
    const std::vector<std::uint8_t> key = PasswordToKey(crypto, c.algorithm, "maplesyrup");
    EXPECT_EQ(Compact(key), c.key);
    EXPECT_EQ(key.size(), DigestSize(c.algorithm));
    EXPECT_EQ(Compact(LocalizeKey(crypto, c.algorithm, key, engine_id)), c.localised);
  }
}

TEST(UsmKeysTest, HmacAndRandomBytes) {
  const OpenSslCrypto crypto;
  const std::string text = "The quick brown fox jumps over the lazy dog";
  const Bytes data(text.begin(), text.end());
  const Bytes key{'k', 'e', 'y'};
  EXPECT_EQ(Compact(crypto.Hmac(HashAlgorithm::kMd5, key, data)),
            "80070713463E7749B90C2DC24911E275");
  EXPECT_EQ(Compact(crypto.Hmac(HashAlgorithm::kSha256, key, data)),
            "F7BC83F430538424B13298E6AA6FB143EF4D59A14946175997479DBC2D1A3CD8");
  std::vector<std::uint8_t> a(16), b(16);
  crypto.RandomBytes(a);
  crypto.RandomBytes(b);
  EXPECT_NE(a, b);
  EXPECT_THROW(PasswordToKey(crypto, HashAlgorithm::kSha1, ""), std::invalid_argument);
}

// Against `openssl enc` (aes-128-cfb and aes-256-cfb are CFB with 128-bit feedback, des-cbc
// -nopad through the legacy provider), on 35 octets that do not fill their last block.
TEST(UsmKeysTest, PrivacyCiphers) {
  const OpenSslCrypto crypto;
  const std::string text = "SNMPv3 scoped PDU, 37 octets long!!";
  const Bytes data(text.begin(), text.end());
  const Bytes key = Hex("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
  const Bytes iv = Hex("0F 0E 0D 0C 0B 0A 09 08 07 06 05 04 03 02 01 00");
  Bytes key256 = key;
  key256.insert(key256.end(), key.begin(), key.end());
  const struct {
    const Bytes& key;
    const char* encrypted;
  } cases[] = {
      {key, "73E7B4C2C27F7B9B67708CB9088EC92E440D2965CC27FA3A1691D3B9026CD405ACDEE5"},
      {key256, "E07DD60AFBCC77AF2C0E84EAF1FF2FF4F92B125A13987881DF2CAC256CB9C5B92CC1DB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.encrypted);
    const std::vector<std::uint8_t> encrypted = AesCfb128(crypto, true, c.key, iv, data);
    EXPECT_EQ(Compact(encrypted), c.encrypted);
    EXPECT_EQ(AesCfb128(crypto, false, c.key, iv, encrypted), data);
  }
  const std::string blocks = "0123456789abcdef01234567";
  const Bytes des_data(blocks.begin(), blocks.end());
  const Bytes des_key = Hex("01 23 45 67 89 AB CD EF");
  const Bytes des_iv = Hex("FE DC BA 98 76 54 32 10");
  const std::vector<std::uint8_t> des = crypto.DesCbc(true, des_key, des_iv, des_data);
  EXPECT_EQ(Compact(des), "8372FBE4923796B408403DD2AD8A91CCD78B76AB8BF398E0");
  EXPECT_EQ(crypto.DesCbc(false, des_key, des_iv, des), des_data);
  EXPECT_THROW(crypto.Aes(Hex("00 01")), std::invalid_argument);
  EXPECT_THROW(crypto.DesCbc(true, des_key, des_iv, data), std::invalid_argument);
}

}  // namespace
}  // namespace kivostrel
