#include "tests/core/config/ConfigTestSupport.h"

#include <cstdint>

namespace
{
TEST_F(ConfigTest, ReadsTheProgramsFourValuesFromAHandWrittenFile)
{
    WriteMachineHive(std::string(kClientSection) +
                     "\"Version\"=\"3.1.4\"\r\n"
                     "\"Language\"=dword:00000039\r\n"
                     "\r\n; logging\r\n" +
                     kTraceSection +
                     "\"LogLevel\"=dword:00000003\r\n"
                     "\"Filename\"=\"/var/log/q\"\r\n");

    std::string version;
    int32_t language = 1;
    int32_t logLevel = 0;
    std::string fileName;
    EXPECT_TRUE(Backend().GetString(Entry(11), &version));
    EXPECT_TRUE(Backend().GetInteger(Entry(28), &language));
    EXPECT_TRUE(Backend().GetInteger(Entry(15), &logLevel));
    EXPECT_TRUE(Backend().GetString(Entry(17), &fileName));
    EXPECT_EQ(version, "3.1.4");
    EXPECT_EQ(language, 57);
    EXPECT_EQ(logLevel, 3);
    EXPECT_EQ(fileName, "/var/log/q");
    EXPECT_TRUE(HookTexts().empty());

    // The 32-bit view's ids look elsewhere and find nothing.
    int32_t otherLevel = 0;
    EXPECT_FALSE(Backend().GetInteger(Entry(14), &otherLevel));
    EXPECT_EQ(otherLevel, 0);
}

TEST_F(ConfigTest, AMissingTraceKeyLeavesLoggingOffAndReportsCodeTwo)
{
    WriteMachineHive(std::string(kClientSection) + "\"Version\"=\"3.1.4\"\r\n");
    int32_t logLevel = 0;
    EXPECT_FALSE(Backend().GetInteger(Entry(15), &logLevel));
    EXPECT_EQ(logLevel, 0);
    EXPECT_EQ(HookTexts(), std::vector<std::string>{"Error RegOpenKeyExA 2"});
}

TEST_F(ConfigTest, AnIdWithoutEntryGivesNullAndTellsTheHook)
{
    EXPECT_EQ(Corvane::Config::GetInstance()->GetEntry(26), nullptr);
    EXPECT_EQ(Corvane::Config::GetInstance()->GetEntry(61), nullptr);
    EXPECT_EQ(HookTexts(),
              (std::vector<std::string>{"config entry is NULL", "config entry is NULL"}));
}

TEST_F(ConfigTest, IntegersCopyTheValuesBytesWhateverItsType)
{
    const char* const kWrongSize = "Error RegQueryValueExA (GetInteger) 234";
    const struct
    {
        const char* line; // the "LogLevel" value as written in the file
        int32_t initial;
        bool succeeds;
        int32_t expected;
        const char* hookText; // nullptr: none
    } cases[] = {
        {"\"LogLevel\"=dword:00000007", 0, true, 7, nullptr},
        {"\"LogLevel\"=dword:ffffffff", 0, true, -1, nullptr},
        // The text "5" and its zero: the bytes 0x35 0x00.
        {"\"LogLevel\"=\"5\"", 0, true, 53, nullptr},
        // A shorter value leaves the remaining bytes as they were.
        {"\"LogLevel\"=hex:01,02", 0x7F7F7F7F, true, 0x7F7F0201, nullptr},
        {"\"LogLevel\"=hex:", 9, true, 9, nullptr},
        {"\"LogLevel\"=hex(b):05,00,00,00,00,00,00,00", 0, false, 0, kWrongSize},
        {"\"LogLevel\"=\"1234\"", 4, false, 4, kWrongSize},
        {"\"OtherName\"=dword:00000007", 0, false, 0, "Error RegQueryValueExA (GetInteger) 2"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        HookTexts().clear();
        WriteMachineHive(std::string(kTraceSection) + c.line + "\r\n");
        int32_t value = c.initial;
        EXPECT_EQ(Backend().GetInteger(Entry(15), &value), c.succeeds);
        EXPECT_EQ(value, c.expected);
        EXPECT_EQ(HookTexts(),
                  c.hookText ? std::vector<std::string>{c.hookText} : std::vector<std::string>{});
    }
}

std::string HexBytes(size_t count, const char* byte)
{
    std::string list;
    for (size_t index = 0; index < count; ++index)
        list.append(index ? "," : "").append(byte);
    return list;
}

TEST_F(ConfigTest, StringsAreReadUpToTheFirstZeroWithin2048Bytes)
{
    const struct
    {
        std::string line; // the "Filename" value as written in the file
        bool succeeds;
        std::string expected;
    } cases[] = {
        {"\"Filename\"=\"C:\\\\Logs\\\\q\"", true, "C:\\Logs\\q"},
        {"\"Filename\"=\"\"", true, ""},
        {"\"Filename\"=\"" + std::string(2047, 'f') + "\"", true, std::string(2047, 'f')},
        {"\"Filename\"=\"" + std::string(2048, 'f') + "\"", false, "default"},
        // 2048 bytes without a zero are cut after 2047.
        {"\"Filename\"=hex(1):" + HexBytes(2048, "66"), true, std::string(2047, 'f')},
        {"\"Filename\"=hex(1):61,62", true, "ab"},
        {"\"Filename\"=hex(1):61,62,00,63,64,00", true, "ab"},
        {"\"Filename\"=dword:00004241", true, "AB"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line.substr(0, 60));
        HookTexts().clear();
        WriteMachineHive(std::string(kTraceSection) + c.line + "\r\n");
        std::string value = "default";
        EXPECT_EQ(Backend().GetString(Entry(17), &value), c.succeeds);
        EXPECT_EQ(value, c.expected);
        EXPECT_EQ(HookTexts(),
                  c.succeeds ? std::vector<std::string>{}
                             : std::vector<std::string>{"Error RegQueryValueExA (GetString) 234"});
    }
}

TEST_F(ConfigTest, BooleansFollowTheTypeOfTheValue)
{
    const struct
    {
        const char* line; // the "CheckForUpdates" value as written in the file
        bool initial;
        bool succeeds;
        bool expected;
    } cases[] = {
        {"\"CheckForUpdates\"=dword:00000001", false, true, true},
        {"\"CheckForUpdates\"=dword:00000000", true, true, false},
        // Only the lowest byte counts.
        {"\"CheckForUpdates\"=dword:00000100", true, true, false},
        {"\"CheckForUpdates\"=\"yes please\"", false, true, true},
        {"\"CheckForUpdates\"=\"Yes\"", false, true, true},
        {"\"CheckForUpdates\"=\"YES\"", false, true, true},
        {"\"CheckForUpdates\"=\"yEs\"", true, true, false},
        {"\"CheckForUpdates\"=\"Y\"", true, true, false},
        {"\"CheckForUpdates\"=\"ye\"", true, true, false},
        {"\"CheckForUpdates\"=\"true\"", true, true, false},
        // Any other type leaves the output as it was.
        {"\"CheckForUpdates\"=hex:01", false, true, false},
        {"\"CheckForUpdates\"=hex:00", true, true, true},
        {"\"CheckForUpdates\"=hex(b):01,00,00,00,00,00,00,00", true, true, true},
        {"\"Other\"=dword:00000001", true, false, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        WriteMachineHive(std::string(kClientSection) + c.line + "\r\n");
        bool value = c.initial;
        EXPECT_EQ(Backend().GetBoolean(Entry(3), &value), c.succeeds);
        EXPECT_EQ(value, c.expected);
    }
}

TEST_F(ConfigTest, BooleansLongerThan256BytesFail)
{
    WriteMachineHive(std::string(kClientSection) + "\"CheckForUpdates\"=\"yes" +
                     std::string(253, 's') + "\"\r\n");
    bool value = false;
    EXPECT_FALSE(Backend().GetBoolean(Entry(3), &value));
    EXPECT_EQ(HookTexts(), std::vector<std::string>{"Error RegQueryValueExA (GetBoolean) 234"});

    WriteMachineHive(std::string(kClientSection) + "\"CheckForUpdates\"=\"yes" +
                     std::string(252, 's') + "\"\r\n");
    EXPECT_TRUE(Backend().GetBoolean(Entry(3), &value));
    EXPECT_TRUE(value);
}

TEST_F(ConfigTest, ReadsBinaryValuesWhole)
{
    WriteMachineHive(std::string(kClientSection) + "\"FixIt\"=hex:00,ff,10\r\n@=hex:\r\n");
    ByteVector value = {9, 9, 9, 9, 9};
    EXPECT_TRUE(Backend().GetBinary(Entry(21), &value));
    EXPECT_EQ(value, (ByteVector{0x00, 0xff, 0x10}));
    EXPECT_TRUE(Backend().GetBinary(Entry(1), &value));
    EXPECT_TRUE(value.empty());

    EXPECT_FALSE(Backend().GetBinary(Entry(25), &value));
    EXPECT_EQ(HookTexts(), std::vector<std::string>{"Error RegQueryValueExA (GetBinary (NULL)) 2"});
}

TEST_F(ConfigTest, SubKeysFilteredByPrefixWithoutCase)
{
    WriteMachineHive("[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client\\Abc]\r\n"
                     "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client\\xyz]\r\n"
                     "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client\\abd]\r\n"
                     "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client\\abd\\deep]\r\n");
    const ConfigEntry* entry = Entry(1);
    EXPECT_EQ(Backend().GetSubKeys(entry, "ab"), (std::vector<std::string>{"Abc", "abd"}));
    EXPECT_EQ(Backend().GetSubKeys(entry, "AB"), (std::vector<std::string>{"Abc", "abd"}));
    EXPECT_EQ(Backend().GetSubKeys(entry, ""), (std::vector<std::string>{"Abc", "abd", "xyz"}));
    EXPECT_TRUE(Backend().GetSubKeys(entry, "abc d").empty());
    EXPECT_TRUE(Backend().GetSubKeys(Entry(0), "").empty());
    EXPECT_EQ(HookTexts(), std::vector<std::string>{"Error RegOpenKeyExA 2"});
}
} // namespace
