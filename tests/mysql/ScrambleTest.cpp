#include <gtest/gtest.h>

#include <string>

#include "mysql/uMysqlNewPassword.h"
#include "mysql/umysqlsha1.h"
#include "support/Wire.h"

using namespace mysql;

namespace {

TEST(Sha1, Fips180Vectors) {
  struct Case {
    std::string input;
    const char* digest;
  } cases[] = {
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(Sha1({Text(c.input)})), c.digest) << c.input.size();
}

TEST(Sha1, InputInPiecesOfEveryBlockBoundary) {
  const std::string text(130, 'q');
  const std::string whole = Hex(Sha1({Text(text)}));
  for (std::size_t split : {1u, 55u, 56u, 63u, 64u, 65u, 128u}) {
    TSha1Context context;
    sha1Reset(context);
    sha1Input(context, Text(text).data(), split);
    sha1Input(context, Text(text).data() + split, text.size() - split);
    std::uint8_t digest[20];
    sha1Result(context, digest);
    EXPECT_EQ(Hex(digest), whole) << split;
  }
}

TEST(Sha1, ContextStateRules) {
  TSha1Context context;
  sha1Reset(context);
  sha1Input(context, Text("abc").data(), 3);
  std::uint8_t first[20], again[20];
  sha1Result(context, first);
  sha1Result(context, again);
  EXPECT_EQ(Hex(again), Hex(first)) << "a repeated result repeats the digest";

  sha1Input(context, Text("d").data(), 1);
  EXPECT_TRUE(context.Corrupted) << "input after the result corrupts the context";
  std::uint8_t untouched[20] = {};
  EXPECT_FALSE(sha1Result(context, untouched));
  EXPECT_EQ(Hex(untouched), std::string(40, '0')) << "a corrupted context writes nothing";
}

// A missing buffer is a caller's slip that must never end the host's process.
TEST(Sha1, AbsentBuffersAreHarmless) {
  const std::string abc = Hex(Sha1({Text("abc")}));
  TSha1Context context;
  sha1Reset(context);
  sha1Input(context, Text("abc").data(), 3);
  sha1Input(context, nullptr, 0);
  EXPECT_FALSE(sha1Result(context, nullptr)) << "no place for the digest";
  std::uint8_t digest[20] = {};
  ASSERT_TRUE(sha1Result(context, digest)) << "an empty input and a missing output change nothing";
  EXPECT_EQ(Hex(digest), abc);

  sha1Reset(context);
  sha1Input(context, Text("abc").data(), 3);
  sha1Input(context, nullptr, 5);
  EXPECT_TRUE(context.Corrupted) << "announced bytes that are not there";
  std::uint8_t untouched[20] = {};
  EXPECT_FALSE(sha1Result(context, untouched));
  EXPECT_EQ(Hex(untouched), std::string(40, '0'));
}

TEST(OldPassword, HashPasswordPublishedValues) {
  struct Case {
    std::string password;
    std::uint32_t h0, h1;
  } cases[] = {
      {"", 0x50305735, 0x12345671},
      {"abc", 0x7CD2B594, 0x2BE28759},
      {"a b\tc", 0x7CD2B594, 0x2BE28759},                    // spaces and tabs are left out
      {std::string("abc\0def", 7), 0x7CD2B594, 0x2BE28759},  // ends at the first 0 byte
      {"old-Pass2", 0x1bda0587, 0x3a3fd369},  // the server's stored hash of the test account
  };
  for (const auto& c : cases) {
    const auto h = HashPassword(c.password);
    EXPECT_EQ(h[0], c.h0) << c.password;
    EXPECT_EQ(h[1], c.h1) << c.password;
  }
  // Only spaces and tabs are skipped: other control characters count.
  EXPECT_NE(HashPassword("a\nbc"), HashPassword("abc"));
  EXPECT_NE(HashPassword("a\rbc"), HashPassword("abc"));
}

TEST(OldPassword, RandomGeneratorStaysInRange) {
  TRandStruct rand;
  RandInit(rand, 0xFFFFFFFF, 0xFFFFFFFE);
  EXPECT_LT(rand.Seed1, 0x3FFFFFFFu);
  for (int i = 0; i < 1000; ++i) {
    const double r = RandNext(rand);
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
  }
}

TEST(OldPassword, ScrambleOldShape) {
  const std::string s = ScrambleOld("12345678", "secret");
  ASSERT_EQ(s.size(), 8u);
  // Each character is 64..94 XOR one value below 31: printable, never 0.
  for (const char c : s) EXPECT_TRUE(c >= 32 && c < 127) << int(c);
  EXPECT_EQ(ScrambleOld("12345678", "secret"), s) << "deterministic";
  EXPECT_NE(ScrambleOld("12345679", "secret"), s);
  EXPECT_EQ(ScrambleOld("1234567890", "secret"), s) << "only 8 message bytes count";
  EXPECT_EQ(ScrambleOld("1234", "secret").size(), 4u);
  EXPECT_EQ(ScrambleOld("12345678", ""), "");
  EXPECT_EQ(ScrambleOld("", "secret"), "");
}

TEST(NewPassword, Scramble41MatchesItsDefinition) {
  const std::string seed = "abcdefghijklmnopqrst";
  const std::string password = "native-Pass1";
  const TSha1Digest s1 = Sha1({Text(password)});
  const TSha1Digest s2 = Sha1({s1});
  // The server stores SHA1(SHA1(password)); this one is the fixture account's.
  EXPECT_EQ(Hex(s2), "904bb6f2df1988b1f5f958e5070d54bb3d8d2215");

  const TSha1Digest scrambled = Scramble41(Text(seed), password);
  TSha1Digest check;
  XorBytes(scrambled.data(), s1.data(), check.size(), check.data());
  EXPECT_EQ(Hex(check), Hex(Sha1({Text(seed), s2})));
  EXPECT_EQ(Scramble41(Text(seed), password), scrambled);
  EXPECT_NE(Scramble41(Text("abcdefghijklmnopqrsX"), password), scrambled);
  // Seed bytes past the 20th do not count; a short seed is padded with zeros.
  EXPECT_EQ(Scramble41(Text(seed + "tail"), password), scrambled);
  EXPECT_EQ(Scramble41(Text("short"), password),
            Scramble41(Text(std::string("short") + std::string(15, '\0')), password));
}

TEST(NewPassword, XorBytesInPlace) {
  std::uint8_t a[3] = {0x0F, 0xF0, 0xAA};
  const std::uint8_t b[3] = {0xFF, 0xFF, 0xAA};
  XorBytes(a, b, 3, a);
  EXPECT_EQ(Hex(a), "f00f00");
}

TEST(NewPassword, SecondStepAnswers) {
  std::array<std::uint8_t, 24> reply{};
  for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<std::uint8_t>(i * 7 + 1);

  const TSha1Digest b = HashPasswordSha1("pa ss\tword");
  EXPECT_EQ(b, Sha1({Text("password")}));
  const TSha1Digest answer = SecondStepSha1("pa ss\tword", reply);
  // answer XOR b XOR reply[4..23] must give SHA1(reply[0..3] + b).
  TSha1Digest check;
  XorBytes(answer.data(), b.data(), 20, check.data());
  XorBytes(check.data(), reply.data() + 4, 20, check.data());
  EXPECT_EQ(check, Sha1({std::span(reply).first(4), b}));

  const auto h = HashPassword("oldpw");
  const std::uint8_t words[8] = {std::uint8_t(h[0] >> 24), std::uint8_t(h[0] >> 16),
                                 std::uint8_t(h[0] >> 8),  std::uint8_t(h[0]),
                                 std::uint8_t(h[1] >> 24), std::uint8_t(h[1] >> 16),
                                 std::uint8_t(h[1] >> 8),  std::uint8_t(h[1])};
  EXPECT_EQ(HashOldPasswordSha1("oldpw"), Sha1({words}));

  reply[0] = '*';
  const TSha1Digest old = SecondStepOldHash("oldpw", reply);
  std::size_t nonZero = 0;
  for (std::size_t i = 0; i < old.size(); ++i)
    if (old[i] != 0) nonZero = i + 1;
  EXPECT_LE(nonZero, 8u) << "the scramble and its 0 byte fill at most 9 bytes";
  TSha1Digest x;
  XorBytes(HashOldPasswordSha1("oldpw").data(), reply.data() + 4, 20, x.data());
  const std::string expected =
      ScrambleOld(std::string_view(reinterpret_cast<const char*>(x.data()), 8), "oldpw");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(old.data()), expected.size()), expected);
}

}  // namespace
