#include "infobox/InfoboxFS.h"
#include "tests/infobox/TestBytes.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>
#include <vector>

using LibInfobox::InfoboxFS;

namespace
{

struct ExpectedEntry
{
    uint8_t tag;
    uint8_t flags;
    std::string dataHex;
};

struct ParseCase
{
    const char* name;
    std::string valueHex;
    uint32_t offset;
    bool result;
    std::vector<ExpectedEntry> entries;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << c.name;
}

void ExpectEntries(const InfoboxFS& fs, const std::vector<ExpectedEntry>& expected)
{
    ASSERT_EQ(fs.entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE("entry " + std::to_string(i));
        EXPECT_EQ(fs.entries[i]->tag, expected[i].tag);
        EXPECT_EQ(fs.entries[i]->flags, expected[i].flags);
        EXPECT_EQ(fs.entries[i]->data, Hex(expected[i].dataHex));
    }
}

const std::vector<ParseCase> parseCases = {
    {"OneEntryClosedByTagZero", "41494B01 01000300AABBCC 00", 4, true, {{1, 0, "AABBCC"}}},
    {"OneEntryEndingTheValue", "41494B01 01000300AABBCC", 4, true, {{1, 0, "AABBCC"}}},
    {"EmptyAndOneByteEntries",
     "41494B00 02010000 030001 00FF",
     4,
     true,
     {{2, 1, ""}, {3, 0, "FF"}}},
    {"FinalBareHeaderNotListed", "41494B00 01000000", 4, true, {}},
    {"DataRunsPastEnd", "41494B00 01000200AA", 4, false, {}},
    {"EarlierEntryKeptOnOverrun", "41494B00 02000100BB 01000200AA", 4, false, {{2, 0, "BB"}}},
    {"OneTrailingByteIgnored", "41494B00 02000100BB 01", 4, true, {{2, 0, "BB"}}},
    {"DuplicateTagsListed",
     "41494B00 0100010011 0100010022",
     4,
     true,
     {{1, 0, "11"}, {1, 0, "22"}}},
    {"TagZeroStopsBeforeLaterEntries",
     "41494B00 01000100AA 00 02000100BB",
     4,
     true,
     {{1, 0, "AA"}}},
    {"FlagsKeptAsRead", "41494B00 05FF0100AA", 4, true, {{5, 0xFF, "AA"}}},
    {"LengthIsLittleEndian", "41494B00 0700020011 22 00", 4, true, {{7, 0, "1122"}}},
    {"HighLengthByteCounts", "41494B00 07000001 11", 4, false, {}},
    {"OffsetAtEntryInTheMiddle", "41494B00 01000100AA 02000100BB", 9, true, {{2, 0, "BB"}}},
    {"OffsetZeroReadsTheMagicAsEntry", "41494B00 01000100AA", 0, false, {}},
    {"OffsetBeyondValue", "41494B00 01000100AA", 100, true, {}},
    {"OffsetNearWrapAround", "41494B00 01000100AA", 0xFFFFFFFC, true, {}},
    {"OffsetAtMaximum", "41494B00 01000100AA", std::numeric_limits<uint32_t>::max(), true, {}},
};

class InfoboxParse : public testing::TestWithParam<ParseCase>
{
};

TEST_P(InfoboxParse, ListsEntriesAndReportsOverrun)
{
    const ParseCase& c = GetParam();
    InfoboxFS fs;
    EXPECT_EQ(fs.Parse(Hex(c.valueHex), c.offset), c.result);
    ExpectEntries(fs, c.entries);
    ByteVector expectedTags;
    for (const ExpectedEntry& entry : c.entries)
        expectedTags.push_back(entry.tag);
    EXPECT_EQ(fs.GetTags(), expectedTags);
}

INSTANTIATE_TEST_SUITE_P(Containers, InfoboxParse, testing::ValuesIn(parseCases),
                         [](const testing::TestParamInfo<ParseCase>& info)
                         { return std::string(info.param.name); });

TEST(InfoboxHeader, NeedsMagicAndVersionBelowTwo)
{
    const struct
    {
        std::string valueHex;
        bool valid;
    } cases[] = {
        {"", false},         {"41", false},       {"4149", false},
        {"41494B", false},   {"41494B00", true},  {"41494B01", true},
        {"41494B02", false}, {"41494BFF", false}, {"42494B00", false},
        {"41484B00", false}, {"41494A00", false}, {"41494B00 01000100AA", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InfoboxFS::HasValidHeader(Hex(c.valueHex)), c.valid) << c.valueHex;
}

TEST(InfoboxParse, LargestEntryIsComplete)
{
    ByteVector value =
        Join({Hex("41494B00 01 00 FFFF"), ByteVector(65535, 0x5A), Hex("02000100BB")});
    InfoboxFS fs;
    EXPECT_TRUE(fs.Parse(value, InfoboxFS::EntriesOffset));
    ASSERT_EQ(fs.entries.size(), 2u);
    EXPECT_EQ(fs.entries[0]->data, ByteVector(65535, 0x5A));
    EXPECT_EQ(fs.GetTags(), Hex("01 02"));
}

TEST(InfoboxParse, AppendsOnEveryCall)
{
    const ByteVector value = Hex("41494B00 01000100AA 02010000 00");
    InfoboxFS fs;
    EXPECT_TRUE(fs.Parse(value, 4));
    EXPECT_TRUE(fs.Parse(value, 4));
    EXPECT_EQ(fs.GetTags(), Hex("01 02 01 02"));
}

// Every cut of a valid container lists exactly the entries complete within it (but a bare header
// at the very end), and reports an overrun exactly when the cut falls inside an entry's data.
TEST(InfoboxParse, EveryPrefixOfAValidContainer)
{
    const std::vector<ByteVector> entries = {
        Join({Hex("01 00 0300"), Hex("AABBCC")}),
        Hex("02 01 0000"),
        Join({Hex("03 00 C800"), ByteVector(200, 0x33)}),
        Join({Hex("04 00 0100"), Hex("FF")}),
    };
    ByteVector value = Hex("41494B01");
    std::vector<size_t> starts;
    for (const ByteVector& entry : entries)
    {
        starts.push_back(value.size());
        value.insert(value.end(), entry.begin(), entry.end());
    }

    InfoboxFS whole;
    ASSERT_TRUE(whole.Parse(value, 4));
    ASSERT_EQ(whole.entries.size(), entries.size());

    for (size_t cut = 0; cut <= value.size(); ++cut)
    {
        SCOPED_TRACE("prefix length " + std::to_string(cut));
        size_t complete = 0;
        bool overrun = false;
        for (size_t i = 0; i < entries.size() && starts[i] + 4 < cut; ++i)
        {
            overrun = starts[i] + entries[i].size() > cut;
            if (overrun)
                break;
            ++complete;
        }
        InfoboxFS fs;
        EXPECT_EQ(fs.Parse(ByteVector(value.begin(), value.begin() + cut), 4), !overrun);
        ASSERT_EQ(fs.entries.size(), complete);
        for (size_t i = 0; i < complete; ++i)
        {
            EXPECT_EQ(fs.entries[i]->tag, whole.entries[i]->tag);
            EXPECT_EQ(fs.entries[i]->data, whole.entries[i]->data);
        }
    }
}

} // namespace
