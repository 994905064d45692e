// The platform's crypto (crypto_platform.h: OpenSSL natively, CNG under Wine and Windows) and the
// keys made with it, against values computed by independent tools: python's hashlib and hmac,
// `openssl enc`. A row of a hash the platform lacks expects the hash reported unsupported and
// every use of it refused.
#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "encoding/bytes.h"
#include "encoding/hex.h"
#include "security/cfb128.h"
#include "security/usm_keys.h"
#include "tests/security/crypto_platform.h"
#include "tests/support/test_support.h"

namespace kivostrel {
namespace {

using testing::Hex;

std::string Compact(std::span<const std::uint8_t> bytes) {
  return ToHex(bytes, "");
}

Bytes Octets(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

class CryptoTest : public ::testing::Test {
 protected:
  const std::unique_ptr<Crypto> crypto_ = crypto_platform::MakeCrypto();
};
using UsmKeysTest = CryptoTest;

// FIPS 180's "abc", and an HMAC under a short key.
TEST_F(CryptoTest, HashesAndHmacs) {
  const Bytes abc = Octets("abc");
  const Bytes fox = Octets("The quick brown fox jumps over the lazy dog");
  const Bytes key = Octets("key");
  const struct {
    HashAlgorithm algorithm;
    const char* digest;
    const char* hmac;
  } cases[] = {
      {HashAlgorithm::kMd5, "900150983CD24FB0D6963F7D28E17F72", "80070713463E7749B90C2DC24911E275"},
      {HashAlgorithm::kSha1, "A9993E364706816ABA3E25717850C26C9CD0D89D",
       "DE7C9B85B8B78AA6BC8A7A36F70A90701C9DB4D9"},
      {HashAlgorithm::kSha224, "23097D223405D8228642A477BDA255B32AADBCE4BDA0B3F7E36C9DA7",
       "88FF8B54675D39B8F72322E65FF945C52D96379988ADA25639747E69"},
      {HashAlgorithm::kSha256, "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD",
       "F7BC83F430538424B13298E6AA6FB143EF4D59A14946175997479DBC2D1A3CD8"},
      {HashAlgorithm::kSha384,
       "CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED1631A8B605A43FF5BED8086072BA1E7CC2358BAECA134"
       "C825A7",
       "D7F4727E2C0B39AE0F1E40CC96F60242D5B7801841CEA6FC592C5D3E1AE50700582A96CF35E1E554995FE4E033"
       "81C237"},
      {HashAlgorithm::kSha512,
       "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A2192992A274FC1A836BA3C23A3"
       "FEEBBD454D4423643CE80E2A9AC94FA54CA49F",
       "B42AF09057BAC1E2D41708E48A902E09B5FF7F12AB428A4FE86653C73DD248FB82F948A549F7B791A5B41915EE"
       "4D1EC3935357E4E2317250D0372AFA2EBEEB3A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.digest);
    if (crypto_platform::Lacks(c.algorithm)) {
      EXPECT_FALSE(crypto_->Supports(c.algorithm));
      EXPECT_THROW(crypto_->Hash(c.algorithm, abc), std::runtime_error);
      EXPECT_THROW(crypto_->Hmac(c.algorithm, key, fox), std::runtime_error);
      continue;
    }
    ASSERT_TRUE(crypto_->Supports(c.algorithm));
    const std::vector<std::uint8_t> digest = crypto_->Hash(c.algorithm, abc);
    EXPECT_EQ(Compact(digest), c.digest);
    EXPECT_EQ(digest.size(), DigestSize(c.algorithm));
    EXPECT_EQ(Compact(crypto_->Hmac(c.algorithm, key, fox)), c.hmac);
  }
}

// An HMAC over parts is the HMAC of their concatenation, whatever the cuts (empty parts too),
// and a prepared key gives the same HMAC however often it is used.
TEST_F(CryptoTest, HmacOfPartsIsTheHmacOfTheirConcatenation) {
  const Bytes fox = Octets("The quick brown fox jumps over the lazy dog");
  const Bytes key = Octets("key");
  const std::span<const std::uint8_t> whole(fox);
  for (const HashAlgorithm algorithm : {HashAlgorithm::kMd5, HashAlgorithm::kSha1,
                                        HashAlgorithm::kSha256, HashAlgorithm::kSha512}) {
    const std::vector<std::uint8_t> expected = crypto_->Hmac(algorithm, key, fox);
    const std::unique_ptr<KeyedHmac> prepared = crypto_->HmacKey(algorithm, key);
    for (const std::size_t cut : {std::size_t{0}, std::size_t{4}, fox.size()}) {
      const std::span<const std::uint8_t> parts[] = {whole.first(cut), {}, whole.subspan(cut)};
      EXPECT_EQ(crypto_->HmacOfParts(algorithm, key, parts), expected) << cut;
      EXPECT_EQ(prepared->OfParts(parts), expected) << cut;
    }
    EXPECT_EQ(crypto_->HmacOfParts(algorithm, key, {}), crypto_->Hmac(algorithm, key, {}));
  }
}

// RFC 3414 A.3's password "maplesyrup" and engine ID, for every hash the User-based Security
// Model uses.
TEST_F(UsmKeysTest, PasswordToKeyAndLocalisation) {
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
    if (crypto_platform::Lacks(c.algorithm)) {
      EXPECT_FALSE(crypto_->Supports(c.algorithm));
      EXPECT_THROW(PasswordToKey(*crypto_, c.algorithm, "maplesyrup"), std::runtime_error);
      continue;
    }
    ASSERT_TRUE(crypto_->Supports(c.algorithm));
    const SecretBytes key = PasswordToKey(*crypto_, c.algorithm, "maplesyrup");
    EXPECT_EQ(Compact(key), c.key);
    EXPECT_EQ(key.size(), DigestSize(c.algorithm));
    EXPECT_EQ(Compact(LocalizeKey(*crypto_, c.algorithm, key, engine_id)), c.localised);
  }
  EXPECT_THROW(PasswordToKey(*crypto_, HashAlgorithm::kSha1, ""), std::invalid_argument);
}

// FIPS 197's example vectors, each block encrypted in place.
TEST_F(CryptoTest, AesBlocks) {
  const struct {
    const char* key;
    const char* encrypted;
  } cases[] = {
      {"000102030405060708090A0B0C0D0E0F", "69C4E0D86A7B0430D8CDB78070B4C55A"},
      {"000102030405060708090A0B0C0D0E0F1011121314151617", "DDA97CA4864CDFE06EAF70A0EC0D7191"},
      {"000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F",
       "8EA2B7CA516745BFEAFC49904B496089"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    Bytes block = Hex("00112233445566778899AABBCCDDEEFF");
    crypto_->Aes(Hex(c.key))->EncryptBlock(block.data(), block.data());
    EXPECT_EQ(Compact(block), c.encrypted);
  }
  for (const char* key :
       {"", "0001", "000102030405060708090A0B0C0D0E", "000102030405060708090A0B0C0D0E0F10"}) {
    SCOPED_TRACE(key);
    EXPECT_THROW(crypto_->Aes(Hex(key)), std::invalid_argument);
  }
}

// Against `openssl enc` (aes-128-cfb and aes-256-cfb are CFB with 128-bit feedback), on 35
// octets that do not fill their last block.
TEST_F(CryptoTest, AesCfb128) {
  const Bytes data = Octets("SNMPv3 scoped PDU, 37 octets long!!");
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
    const std::vector<std::uint8_t> encrypted = AesCfb128(*crypto_, true, c.key, iv, data);
    EXPECT_EQ(Compact(encrypted), c.encrypted);
    EXPECT_EQ(AesCfb128(*crypto_, false, c.key, iv, encrypted), data);
  }
}

// Against `openssl enc -des-cbc -nopad`.
TEST_F(CryptoTest, DesCbc) {
  const Bytes data = Octets("0123456789abcdef01234567");
  const Bytes key = Hex("01 23 45 67 89 AB CD EF");
  const Bytes iv = Hex("FE DC BA 98 76 54 32 10");
  const std::vector<std::uint8_t> encrypted = crypto_->DesCbc(true, key, iv, data);
  EXPECT_EQ(Compact(encrypted), "8372FBE4923796B408403DD2AD8A91CCD78B76AB8BF398E0");
  EXPECT_EQ(crypto_->DesCbc(false, key, iv, encrypted), data);
  EXPECT_TRUE(crypto_->DesCbc(true, key, iv, {}).empty());
  const struct {
    const char* key;
    const char* iv;
    std::size_t size;
  } refused[] = {
      {"01 23 45 67 89 AB CD", "FE DC BA 98 76 54 32 10", 8},
      {"01 23 45 67 89 AB CD EF 01", "FE DC BA 98 76 54 32 10", 8},
      {"01 23 45 67 89 AB CD EF", "FE DC BA 98 76 54 32", 8},
      {"01 23 45 67 89 AB CD EF", "FE DC BA 98 76 54 32 10", 12},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(std::to_string(c.size) + " octets under " + c.key + ", " + c.iv);
    EXPECT_THROW(crypto_->DesCbc(true, Hex(c.key), Hex(c.iv), Bytes(c.size)),
                 std::invalid_argument);
  }
}

TEST_F(CryptoTest, RandomBytes) {
  std::vector<std::uint8_t> a(16), b(16);
  crypto_->RandomBytes(a);
  crypto_->RandomBytes(b);
  EXPECT_NE(a, b);
  crypto_->RandomBytes({});
}

}  // namespace
}  // namespace kivostrel
