#include "asn1/Base64LineEncoder.h"

#include <openssl/evp.h>

#include <gtest/gtest.h>

namespace
{

ByteVector Counting(size_t length)
{
    ByteVector bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<unsigned char>(i * 37 + 11);
    return bytes;
}

std::string LibcryptoBase64(const ByteVector& bytes)
{
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                       static_cast<int>(bytes.size()));
    text.resize(static_cast<size_t>(length));
    return text;
}

// The text with CR LF inserted after every lineLength characters, as the encoder breaks lines.
std::string Broken(const std::string& text, size_t lineLength)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i += lineLength)
    {
        out += text.substr(i, lineLength);
        if (i + lineLength <= text.size())
            out += "\r\n";
    }
    return out;
}

TEST(Base64LineEncoderTest, AgreesWithLibcryptoForEveryLineMode)
{
    struct Mode
    {
        int32_t lineMode;
        size_t lineLength; // 0: no breaks
    };
    const Mode modes[] = {{0, 0}, {1, 64}, {2, 76}, {-1, 76}, {7, 76}};
    for (const Mode& mode : modes)
    {
        const Base64LineEncoder encoder(mode.lineMode);
        for (size_t length = 0; length <= 300; ++length)
        {
            const std::string plain = LibcryptoBase64(Counting(length));
            const std::string expected =
                mode.lineLength == 0 ? plain : Broken(plain, mode.lineLength);
            ASSERT_EQ(encoder.Encode(Counting(length)), expected)
                << "mode " << mode.lineMode << " length " << length;
        }
    }
}

// The break rule stated outright, apart from the helper above: a full last line ends in CR LF.
TEST(Base64LineEncoderTest, LineBreaksAtTheLineLength)
{
    const std::string line48 = Base64LineEncoder(1).Encode(Counting(48));
    EXPECT_EQ(line48.size(), 66u);
    EXPECT_EQ(line48.substr(64), "\r\n");

    const std::string line49 = Base64LineEncoder(1).Encode(Counting(49));
    EXPECT_EQ(line49.substr(64, 2), "\r\n");
    EXPECT_EQ(line49.size(), 70u);
    EXPECT_EQ(line49.substr(68), "==");

    const std::string line57 = Base64LineEncoder(2).Encode(Counting(57));
    EXPECT_EQ(line57.size(), 78u);
    EXPECT_EQ(line57.substr(76), "\r\n");
}

} // namespace
