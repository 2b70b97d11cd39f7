// SHA-256 and RSA-OAEP encryption from the system's crypto library. (That
// the server decrypts what is encrypted here is shown end to end against the
// scripted MySQL server, on Linux and under Wine.)

#include "platform/os/Crypto.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/RsaPublicKey.h"
#include "support/Wire.h"

namespace {

// The published test vectors of SHA-256, whole and in parts.
TEST(Crypto, Sha256) {
  const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(Hex(*platform::Sha256({})),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Hex(*platform::Sha256({Text("abc")})),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const char* const expected = "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1";
  EXPECT_EQ(Hex(*platform::Sha256({Text(twoBlocks)})), expected);
  const std::string_view whole = twoBlocks;
  EXPECT_EQ(Hex(*platform::Sha256({Text(whole.substr(0, 3)), Text({}), Text(whole.substr(3))})),
            expected);
}

TEST(Crypto, RsaOaepEncryption) {
  const std::vector<std::uint8_t> message(20, 'x');
  const auto first = platform::RsaOaepEncrypt(kServerPublicKeyPem, message);
  const auto second = platform::RsaOaepEncrypt(kServerPublicKeyPem, message);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->size(), 256u) << "the modulus of a 2048-bit key";
  EXPECT_NE(*first, *second) << "OAEP padding is random";
  // OAEP with SHA-1 leaves 256 - 2 * 20 - 2 bytes for the message.
  EXPECT_TRUE(platform::RsaOaepEncrypt(kServerPublicKeyPem, std::vector<std::uint8_t>(214)));
  EXPECT_FALSE(platform::RsaOaepEncrypt(kServerPublicKeyPem, std::vector<std::uint8_t>(215)));
  EXPECT_FALSE(platform::RsaOaepEncrypt("not a key", message));
  EXPECT_FALSE(platform::RsaOaepEncrypt(kServerPublicKeyPem.substr(0, 100), message));
}

}  // namespace
