#include "token/Digest.h"
#include "token/HexText.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace Corvane;

namespace
{
const ByteVector kAbc = {'a', 'b', 'c'};

std::string Hex(const ByteVector& bytes)
{
    std::string text;
    BinData2HexStr(bytes, text);
    return text;
}
} // namespace

// Published test vectors for "abc" (FIPS 180, RFC 1320, RFC 1321, the RIPEMD-160 authors).
TEST(ComputeDigest, EveryAlgorithmGivesItsTestVector)
{
    struct Case
    {
        int algorithm;
        unsigned length;
        std::string digest;
    };
    const Case cases[] = {
        {HASH_SHA1, 20, "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        {HASH_RIPEMD160, 20, "8EB208F7E05D987A9B044A8E98C6B087F15A0BFC"},
        {HASH_SHA224, 28, "23097D223405D8228642A477BDA255B32AADBCE4BDA0B3F7E36C9DA7"},
        {HASH_SHA256, 32, "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {HASH_SHA512, 64,
         "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A2192992A274FC1A836BA3C23"
         "A3FEEBBD454D4423643CE80E2A9AC94FA54CA49F"},
        {HASH_MD5, 16, "900150983CD24FB0D6963F7D28E17F72"},
        {HASH_MD4, 16, "A448017AAF21D8525FC10AE87AA6729D"},
        {HASH_SHA384, 48,
         "CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED1631A8B605A43FF5BED8086072BA1E7CC2358BAECA1"
         "34C825A7"},
    };
    for (const Case& item : cases)
    {
        unsigned length = 0;
        EXPECT_NE(GetDigestMd(item.algorithm, length), nullptr) << item.algorithm;
        EXPECT_EQ(length, item.length) << item.algorithm;
        ByteVector prefix = {0x01};
        ASSERT_TRUE(ComputeDigest(kAbc, prefix, item.algorithm)) << item.algorithm;
        EXPECT_EQ(Hex(prefix), "01" + item.digest) << item.algorithm;
    }
}

TEST(ComputeDigest, RefusesUnknownAlgorithmsAndEmptyInput)
{
    for (int algorithm : {7, 9, -1, 100})
    {
        unsigned length = 99;
        EXPECT_EQ(GetDigestMd(algorithm, length), nullptr) << algorithm;
        ByteVector output;
        EXPECT_FALSE(ComputeDigest(kAbc, output, algorithm)) << algorithm;
        EXPECT_TRUE(output.empty());
    }
    ByteVector output;
    EXPECT_FALSE(ComputeDigest(ByteVector(), output, HASH_SHA256));
    EXPECT_TRUE(output.empty());
}

// The first use loads the crypto providers; many threads at once must all get MD4.
TEST(ComputeDigest, FirstUseFromManyThreads)
{
    std::vector<std::thread> threads;
    std::vector<std::string> results(8);
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back(
            [&results, i]
            {
                ByteVector output;
                if (ComputeDigest(kAbc, output, HASH_MD4))
                    results[i] = Hex(output);
            });
    for (std::thread& thread : threads)
        thread.join();
    for (const std::string& result : results)
        EXPECT_EQ(result, "A448017AAF21D8525FC10AE87AA6729D");
}
