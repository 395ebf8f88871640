#include "core/objects/SipHash.h"

#include <gtest/gtest.h>

#include <string>

using namespace morvix;

// The published answers of SipHash-2-4 for the key 00 01 ... 0f: the empty message, a message
// of one block and seven bytes left over (00 01 ... 0e), and one of exactly one block. The id
// hash runs the same code with fewer rounds, so these check the block reading, the length
// byte and the rounds.
TEST(SipHashTest, AnswersThePublishedVectorsAndDependsOnItsKey)
{
    SipHash<2, 4>::Key key { 0x0706050403020100ULL, 0x0f0e0d0c0b0a0908ULL };
    SipHash<2, 4> hash(key);
    std::string message;
    for (char byte = 0; byte < 15; ++byte)
        message += byte;
    EXPECT_EQ(hash(""), 0x726fdb47dd0e0e31ULL);
    EXPECT_EQ(hash(message), 0xa129ca6149be45e5ULL);
    EXPECT_EQ(hash(message.substr(0, 8)), 0x93f5f5799a932462ULL);

    IdHash one(processKey());
    IdHash other({ processKey().low + 1, processKey().high });
    EXPECT_NE(one("w1"), other("w1"));
    EXPECT_EQ(one("w1"), IdHash(processKey())("w1")) << "one key for the whole process";
}
