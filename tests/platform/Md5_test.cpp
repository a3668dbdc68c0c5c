#include "platform/core/Md5.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

// The test suite of RFC 1321, and lengths around the padding's block edge.
TEST(Md5, DigestsOfTheReferenceSuite) {
  struct Case {
    std::string text;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {std::string(55, 'x'), "04364420e25c512fd958a70738aa8f72"},
      {std::string(56, 'x'), "668a72d5ba17f08e62dabcafad6db14b"},
      {std::string(64, 'x'), "c1bb4f81d892b2d57947682aeb252456"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      {"file:///home/jens/photos/me.png", "c6ee772d9e49320e97ec29a7eb5b1697"},
  };
  for (const Case& c : cases) EXPECT_EQ(Md5Hex(c.text), c.digest) << c.text;
}

}  // namespace
}  // namespace qm
