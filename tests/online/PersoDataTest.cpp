// Decoding persodata scripts and the command lists made from them.

#include "online/PersoData.h"
#include "core/codec/Base64.h"

#include <gtest/gtest.h>

namespace
{
const ByteVector kMac = {1, 2, 3, 4, 5, 6, 7, 8};

ByteVector Script(unsigned count, std::initializer_list<ByteVector> entries)
{
    ByteVector bytes = {0x00, static_cast<unsigned char>(count), 0x00, 0x00};
    for (const ByteVector& entry : entries)
        bytes.insert(bytes.end(), entry.begin(), entry.end());
    return bytes;
}

ByteVector Entry(ByteVector fileId, ByteVector command, ByteVector mac = kMac)
{
    ByteVector entry = fileId;
    entry.push_back(static_cast<unsigned char>(command.size()));
    entry.insert(entry.end(), command.begin(), command.end());
    entry.insert(entry.end(), mac.begin(), mac.end());
    return entry;
}

std::string Text(const ByteVector& bytes)
{
    std::string text;
    Base64Encode(bytes, text);
    return text;
}

TEST(PersoDataTest, ScriptsBecomeCommandAndAnswerLists)
{
    const ByteVector command = {0x0C, 0xD6, 0x00, 0x00};
    ByteVector cutMac = Script(1, {Entry({0, 0}, command)});
    cutMac.resize(cutMac.size() - 5);
    ByteVector cutCommand = Script(1, {Entry({0, 0}, command)});
    cutCommand.resize(4 + 2 + 1 + 2);
    const struct
    {
        const char* name;
        std::string text;
        bool result;
        std::string commands;
        std::string answers;
    } cases[] = {
        {"no entries", Text(Script(0, {})), true, "", ""},
        {"command without a file", Text(Script(1, {Entry({0, 0}, command)})), true, "0CD60000",
         "0102030405060708"},
        {"file without a command", Text(Script(1, {Entry({0x2F, 0x02}, {})})), true,
         "00A4000C022F02;9000", "x"},
        {"file and command",
         Text(Script(2, {Entry({0xC0, 0x00}, command), Entry({0, 0}, {0x0C, 0xDA})})), true,
         "00A4000C02C000;9000|0CD60000|0CDA", "x|0102030405060708|0102030405060708"},
        {"MAC cut to 3 bytes", Text(cutMac), false, "", ""},
        {"command cut", Text(cutCommand), false, "", ""},
        {"more entries promised than held", Text(Script(2, {Entry({0, 0}, command)})), false, "",
         ""},
        {"a single byte", Text({0x01}), false, "", ""},
        {"not Base64", "AAEA*AAA", false, "", ""},
        {"empty text", "", true, "", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        PersoData script;
        ASSERT_TRUE(script.Decode(Text(Script(1, {Entry({0x11, 0x11}, command)}))));
        EXPECT_EQ(script.Decode(c.text), c.result);
        std::string commands = "old";
        std::string answers = "old";
        script.ToApduLists(commands, answers);
        EXPECT_EQ(commands, c.commands) << "the list is emptied first";
        EXPECT_EQ(answers, c.answers);
    }
}
} // namespace
