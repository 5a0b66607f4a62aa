#include "infobox/Personenbindung.h"
#include "core/logging/Logger.h"
#include "tests/infobox/PersonenbindungFields.h"
#include "tests/infobox/TestBytes.h"
#include "tests/platform/ScopedTempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace
{

ByteVector Utf8(const std::string& text)
{
    return Tlv(0x0C, Text(text));
}

ByteVector Record(std::initializer_list<ByteVector> elements)
{
    return Tlv(0x30, Join(elements));
}

const ByteVector personSequence =
    Tlv(0x30,
        Join({Utf8("ZMR-0815"), Utf8("J\xC3\xBCrgen"), Utf8("M\xC3\xBCller"), Utf8("1970-02-03")}));

// A record with every element, long lengths included (0x81 inside, 0x82 outside).
const ByteVector fullRecord = Record({
    Hex("02 01 01"),
    Utf8("urn:template:" + std::string(140, 't')),
    Utf8("second"),
    Utf8("2024-05-06T07:08:09"),
    Tlv(0xA0, personSequence),
    Tlv(0x30, Hex("06 09 2A864886F70D01010B")),
    Tlv(0x03, Join({Hex("00"), ByteVector(130, 0xB1)})),
    Tlv(0xA0, Tlv(0x03, Hex("00 C0C0"))),
    Tlv(0xA1, Tlv(0x03, Hex("00 C1"))),
    Tlv(0xA2, Tlv(0x03, Hex("00 C2C2C2"))),
});

const Fields fullFields = {1,
                           "urn:template:" + std::string(140, 't'),
                           "second",
                           "2024-05-06T07:08:09",
                           "ZMR-0815",
                           "J\xC3\xBCrgen",
                           "M\xC3\xBCller",
                           "1970-02-03",
                           AsText(personSequence),
                           AsText(Hex("06 09 2A864886F70D01010B")),
                           std::string(130, '\xB1'),
                           "\xC0\xC0",
                           "\xC1",
                           "\xC2\xC2\xC2"};

TEST(Personenbindung, FullRecordFieldByField)
{
    ASSERT_EQ(fullRecord[1], 0x82);
    Personenbindung record;
    EXPECT_TRUE(record.parse(fullRecord));
    ExpectFields(record, fullFields);
}

TEST(Personenbindung, FaultsOfTheOuterRecordLeaveEverythingEmpty)
{
    const char* faults[] = {
        "",               // no bytes
        "31 03 02 01 05", // not a SEQUENCE
        "30 10 02 01 01", // record length 16, five octets present
        "30",             // no length octets
        "30 81",          // long form cut off
        "30 82 00",       // long form cut off
        "30 82 01 00 02 01 01",
    };
    for (const char* hex : faults)
    {
        Personenbindung record;
        ASSERT_TRUE(record.parse(fullRecord));
        EXPECT_FALSE(record.parse(Hex(hex))) << hex;
        ExpectFields(record, Fields());
    }
}

struct RecordCase
{
    const char* name;
    ByteVector bytes;
    Fields expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RecordCase& c, std::ostream* os)
{
    *os << c.name;
}

Fields Only(std::initializer_list<std::pair<std::string Fields::*, std::string>> texts,
            int32_t version = 0)
{
    Fields f;
    f.version = version;
    for (const auto& [member, value] : texts)
        f.*member = value;
    return f;
}

const ByteVector shortPerson = Hex("30 0C 0C 01 31 0C 01 41 0C 01 42 0C 01 44");
const ByteVector longFormPerson = Hex("30 81 0C 0C 01 31 0C 01 41 0C 01 42 0C 01 44");

Fields PersonOneABD(const ByteVector& personData)
{
    return Only({{&Fields::personData, AsText(personData)},
                 {&Fields::firstPersonText, "1"},
                 {&Fields::givenName, "A"},
                 {&Fields::familyName, "B"},
                 {&Fields::dateOfBirth, "D"}});
}

const std::vector<RecordCase> recordCases = {
    {"LengthEqualToWholeInputAccepted", Hex("30 09 02 01 05 0C 02 41 42"),
     Only({{&Fields::issuerTemplate, "AB"}}, 5)},
    {"EmptyRecord", Hex("30 00"), Fields()},
    {"OneOctetVersion", Hex("30 03 02 01 05"), Only({}, 5)},
    {"HighestTwoOctetVersion", Hex("30 04 02 02 FF FF"), Only({}, 65535)},
    {"VersionCutOff", Hex("30 02 02 02 01"), Fields()},
    {"FourthHeaderTextNotRead",
     Record({Utf8("T"), Utf8("S"), Utf8("I"), Utf8("X"), Tlv(0xA0, shortPerson)}),
     Only({{&Fields::issuerTemplate, "T"},
           {&Fields::secondHeaderText, "S"},
           {&Fields::issueInstant, "I"}})},
    {"PersonDataShortForm", Record({Tlv(0xA0, shortPerson)}), PersonOneABD(shortPerson)},
    {"PersonDataLongForm", Record({Tlv(0xA0, longFormPerson)}), PersonOneABD(longFormPerson)},
    {"PersonDataNotASequence", Record({Tlv(0xA0, Hex("31 03 0C 01 41"))}),
     Only({{&Fields::personData, AsText(Hex("31 03 0C 01 41"))}})},
    {"PersonTextCutOff", Record({Tlv(0xA0, Hex("30 06 0C 01 41 0C 05 42"))}),
     Only({{&Fields::personData, AsText(Hex("30 06 0C 01 41 0C 05 42"))},
           {&Fields::firstPersonText, "A"}})},
    {"BitStringWithUnusedBitsSkipped",
     Record({Tlv(0x03, Hex("04 F0")), Tlv(0xA1, Tlv(0x03, Hex("00 11")))}),
     Only({{&Fields::taggedBits1, "\x11"}})},
    {"BitStringWithoutContentSkipped", Record({Hex("03 00"), Tlv(0xA2, Tlv(0x03, Hex("00 22")))}),
     Only({{&Fields::taggedBits2, "\x22"}})},
    {"RecordEndsAfterBitString", Record({Tlv(0x03, Hex("00 AB"))}),
     Only({{&Fields::bitString, "\xAB"}})},
    {"TaggedElementWithoutBitString",
     Record({Tlv(0xA0, Hex("04 01 00")), Tlv(0xA1, Tlv(0x03, Hex("00 11")))}),
     Only({{&Fields::personData, AsText(Hex("04 01 00"))}, {&Fields::taggedBits1, "\x11"}})},
    {"TaggedElementsBeyondTheRecordLengthNotRead", Hex("30 02 03 02 00 11 A1 04 03 02 00 22"),
     Only({{&Fields::bitString, "\x11"}})},
    {"HeaderTextRunsPastEnd", Hex("30 07 02 01 01 0C 05 41 42"), Only({}, 1)},
    {"PersonDataRunsPastEnd", Hex("30 06 0C 01 54 A0 81 90 30"),
     Only({{&Fields::issuerTemplate, "T"}})},
    {"LengthOctetsRunPastEnd", Hex("30 04 0C 01 54 30 82 01"),
     Only({{&Fields::issuerTemplate, "T"}})},
    {"BitStringRunsPastEnd", Hex("30 08 0C 01 54 03 82 01 00 00"),
     Only({{&Fields::issuerTemplate, "T"}})},
    {"TaggedBitStringRunsPastEnd", Hex("30 07 03 02 00 11 A0 05 03 04 00"),
     Only({{&Fields::bitString, "\x11"}})},
    {"TaggedLengthRunsPastEnd", Hex("30 05 03 02 00 11 A0 82"),
     Only({{&Fields::bitString, "\x11"}})},
};

class PersonenbindungRecords : public testing::TestWithParam<RecordCase>
{
};

TEST_P(PersonenbindungRecords, ParseFillsWhatIsFound)
{
    Personenbindung record;
    EXPECT_TRUE(record.parse(GetParam().bytes));
    ExpectFields(record, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Records, PersonenbindungRecords, testing::ValuesIn(recordCases),
                         [](const testing::TestParamInfo<RecordCase>& info)
                         { return std::string(info.param.name); });

// The texts of the ERROR lines of a log.
std::vector<std::string> ErrorTexts(const std::string& log)
{
    const std::string marker = "ERROR: ";
    std::vector<std::string> texts;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
    {
        const size_t at = line.find(marker);
        if (at != std::string::npos && !line.empty() && line.back() == '\r')
            texts.push_back(line.substr(at + marker.size(), line.size() - at - marker.size() - 1));
    }
    return texts;
}

// Opens logger 0, which the program never opens, parses, and tells whether the log holds exactly
// the expected error texts.
bool LogsExactly(const ByteVector& bytes, const std::vector<std::string>& expected)
{
    const ScopedTempFolder folder;
    LibLogging::Logger* logger = LibLogging::Logger::GetInstance(0);
    if (!logger)
        return false;
    logger->Init(folder.File("record"));
    logger->enabled = true;
    Personenbindung().parse(bytes);
    const std::string log = ReadTextFile(logger->LogPath());
    const bool asExpected = ErrorTexts(log) == expected;
    if (!asExpected)
        std::fprintf(stderr, "log:\n%s", log.c_str());
    return asExpected;
}

// Run in a child process, so the logger stays closed for every other test; the folder is gone
// before the child exits.
[[noreturn]] void ParseWithLoggerZero(const ByteVector& bytes,
                                      const std::vector<std::string>& expected)
{
    std::exit(LogsExactly(bytes, expected) ? 0 : 1);
}

TEST(PersonenbindungDeathTest, ReportsEachFaultOnLoggerZero)
{
    const std::string noRecord = "Keine Personenbindungsdaten";
    const struct
    {
        const char* hex;
        std::vector<std::string> logged;
    } cases[] = {
        {"", {noRecord}},
        {"31 03 02 01 05", {noRecord}},
        {"30 10 02 01 01", {"Fehler beim Lesen der Personenbindung Lnge passt nicht"}},
        {"30 03 0C 01 54", {"Personenbindung::_doPersonData keine Sequence"}},
        {"30 05 A0 03 30 01 31", {}},
    };
    for (const auto& c : cases)
        EXPECT_EXIT(ParseWithLoggerZero(Hex(c.hex), c.logged), testing::ExitedWithCode(0), "")
            << c.hex;
}

TEST(Personenbindung, DoPersonDataAloneFillsOnlyPersonTexts)
{
    Personenbindung record;
    EXPECT_FALSE(record._doPersonData());
    record.personData = longFormPerson;
    EXPECT_TRUE(record._doPersonData());
    EXPECT_EQ(record.firstPersonText + record.givenName + record.familyName + record.dateOfBirth,
              "1ABD");
    record.clear();
    ExpectFields(record, Fields());
}

TEST(DerReaders, LengthForms)
{
    const struct
    {
        std::string hex;
        uint16_t length;
        size_t next;
    } cases[] = {
        {"05", 5, 1},   {"7F", 127, 1},    {"80", 128, 1},       {"83 01 02 03", 131, 1},
        {"FF", 255, 1}, {"81 C8", 200, 2}, {"82 01 2C", 300, 3}, {"82 FF FF", 65535, 3},
        {"81", 0, 1},   {"82 01", 0, 2},   {"", 0, 0},
    };
    for (const auto& c : cases)
    {
        size_t position = 0;
        EXPECT_EQ(DerReadLength(Hex(c.hex), position), c.length) << c.hex;
        EXPECT_EQ(position, c.next) << c.hex;
    }
}

TEST(DerReaders, StringAndBitStringStayInsideTheInput)
{
    size_t position = 1;
    EXPECT_EQ(DerReadUtf8String(Hex("0C 03 41 42 43 99"), position), "ABC");
    EXPECT_EQ(position, 5u);

    position = 1;
    EXPECT_EQ(DerReadUtf8String(Hex("0C 04 41 42 43"), position), "");
    EXPECT_EQ(position, 5u);

    ByteVector bits = Hex("EE");
    position = 1;
    EXPECT_FALSE(DerReadBitString(Hex("03 02 01 80"), position, bits));
    EXPECT_EQ(position, 4u);
    EXPECT_EQ(bits, Hex("EE"));

    position = 1;
    EXPECT_FALSE(DerReadBitString(Hex("03 03 00 80"), position, bits));
    EXPECT_EQ(position, 4u);
    EXPECT_EQ(bits, Hex("EE"));

    position = 1;
    EXPECT_TRUE(DerReadBitString(Hex("03 01 00"), position, bits));
    EXPECT_TRUE(bits.empty());
}

TEST(Personenbindung, EveryCutOfAValidRecord)
{
    ExpectEveryCutParses(fullRecord, fullFields);
}

} // namespace
