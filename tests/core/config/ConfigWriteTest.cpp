#include "tests/core/config/ConfigTestSupport.h"

namespace
{
bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The lines of one key in the export format, from its header to the empty line after it.
std::string Section(const std::string& hive, const std::string& header)
{
    const size_t start = hive.find(header);
    if (start == std::string::npos)
        return std::string();
    return hive.substr(start, hive.find("\r\n\r\n", start) - start + 2);
}

TEST_F(ConfigTest, TypedWritesLandInTheStoreAndReadBack)
{
    ASSERT_TRUE(Backend().SetInteger(Entry(15), -2));
    ASSERT_TRUE(Backend().SetString(Entry(17), "/var/log/q"));
    ASSERT_TRUE(Backend().SetBoolean(Entry(3), true));
    ASSERT_TRUE(Backend().SetBinary(Entry(21), ByteVector{1, 2, 3}));
    ASSERT_TRUE(Backend().SetString(Entry(1), "default"));

    // The values of one key, in whatever order the store keeps them.
    const std::string hive = MachineHive();
    const std::string trace = Section(hive, kTraceSection);
    for (const char* line : {"\"LogLevel\"=dword:fffffffe\r\n", "\"Filename\"=\"/var/log/q\"\r\n"})
        EXPECT_TRUE(Contains(trace, line)) << line;
    const std::string client = Section(hive, kClientSection);
    for (const char* line : {"\"CheckForUpdates\"=dword:00000001\r\n", "\"FixIt\"=hex:01,02,03\r\n",
                             "@=\"default\"\r\n"})
        EXPECT_TRUE(Contains(client, line)) << line;

    int32_t level = 0;
    std::string fileName;
    bool check = false;
    ByteVector fix;
    EXPECT_TRUE(Backend().GetInteger(Entry(15), &level));
    EXPECT_TRUE(Backend().GetString(Entry(17), &fileName));
    EXPECT_TRUE(Backend().GetBoolean(Entry(3), &check));
    EXPECT_TRUE(Backend().GetBinary(Entry(21), &fix));
    EXPECT_EQ(level, -2);
    EXPECT_EQ(fileName, "/var/log/q");
    EXPECT_TRUE(check);
    EXPECT_EQ(fix, (ByteVector{1, 2, 3}));
    EXPECT_TRUE(HookTexts().empty());
}

TEST_F(ConfigTest, TheThirtyTwoBitViewWritesBelowWow6432Node)
{
    ASSERT_TRUE(Backend().SetInteger(Entry(14), 4));
    EXPECT_TRUE(Contains(MachineHive(),
                         "[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Corvane GmbH\\Quendry "
                         "Client\\Trace]\r\n\"LogLevel\"=dword:00000004\r\n"));
    int32_t plain = 0;
    EXPECT_FALSE(Backend().GetInteger(Entry(15), &plain));
}

TEST_F(ConfigTest, RemoveKeyDeletesTheValueOnly)
{
    ASSERT_TRUE(Backend().SetInteger(Entry(15), 1));
    ASSERT_TRUE(Backend().SetInteger(Entry(13), 2));
    EXPECT_TRUE(Backend().RemoveKey(Entry(15)));
    int32_t value = 0;
    EXPECT_FALSE(Backend().GetInteger(Entry(15), &value));
    EXPECT_TRUE(Backend().GetInteger(Entry(13), &value));
    EXPECT_EQ(value, 2);

    HookTexts().clear();
    EXPECT_FALSE(Backend().RemoveKey(Entry(15)));
    EXPECT_EQ(HookTexts(), std::vector<std::string>{"Error RemoveKey 2"});
}

TEST_F(ConfigTest, RemoveKeyOfTheDefaultValueTouchesNothing)
{
    EXPECT_FALSE(Backend().RemoveKey(Entry(1)));
    EXPECT_TRUE(HookTexts().empty());
    // Not even the key was created.
    EXPECT_FALSE(Contains(MachineHive(), "Corvane GmbH"));
}

TEST_F(ConfigTest, RemovePathDeletesTheDeepestKeyOnlyWithoutSubKeys)
{
    ASSERT_TRUE(Backend().SetInteger(Entry(15), 1));
    ASSERT_TRUE(Backend().SetInteger(Entry(3), 1));

    // "Quendry Client" still holds "Trace".
    EXPECT_FALSE(Backend().RemovePath(Entry(3)));
    EXPECT_EQ(HookTexts(), std::vector<std::string>{"Error RemovePath ERROR_ACCESS_DENIED"});

    EXPECT_TRUE(Backend().RemovePath(Entry(15)));
    EXPECT_FALSE(Contains(MachineHive(), "Trace"));
    EXPECT_TRUE(Backend().RemovePath(Entry(3)));
    EXPECT_FALSE(Contains(MachineHive(), "Quendry Client"));
    EXPECT_TRUE(Contains(MachineHive(), "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH]"));

    HookTexts().clear();
    EXPECT_FALSE(Backend().RemovePath(Entry(15)));
    EXPECT_EQ(HookTexts(), std::vector<std::string>{"Error RemovePath 2"});
}
} // namespace
