#include "tests/core/config/ConfigTestSupport.h"

#include <algorithm>
#include <map>
#include <set>

namespace
{
constexpr char kClient[] = "Quendry Client";
constexpr char kTrace[] = "Quendry Client\\Trace";

// Each stored value has a pair of ids: the first for the 32-bit view, the next for the 64-bit one.
void ExpectPair(ConfigId firstId, const std::string& subkey, const std::string& valueName)
{
    SCOPED_TRACE(firstId);
    for (ConfigId id : {firstId, firstId + 1})
    {
        const ConfigEntry* entry = Corvane::Config::GetInstance()->GetEntry(id);
        ASSERT_NE(entry, nullptr) << id;
        EXPECT_EQ(entry->kind, 1);
        EXPECT_EQ(entry->viewFlag, id == firstId ? 0 : 1);
        EXPECT_EQ(entry->subkey, subkey);
        EXPECT_EQ(entry->valueName, valueName);
    }
}

TEST_F(ConfigTest, TheTableRegistersThirtyPairsAndNothingElse)
{
    const struct
    {
        ConfigId firstId;
        const char* subkey;
        const char* valueName;
    } programPairs[] = {
        {0, kClient, ""},
        {2, kClient, "CheckForUpdates"},
        {6, kClient, "InstallDir"},
        {8, kClient, "Updateable"},
        {10, kClient, "Version"},
        {12, kTrace, "LogMode"},
        {14, kTrace, "LogLevel"},
        {16, kTrace, "Filename"},
        {18, kClient, "DeleteLogfilesAfterXDays"},
        {20, kClient, "FixIt"},
        {22, kClient, "CleanCertsOnRefresh"},
        {24, kClient, "MakeDialogsStayOnTop"},
        {27, kClient, "Language"},
    };
    for (const auto& pair : programPairs)
        ExpectPair(pair.firstId, pair.subkey, pair.valueName);
    // Ids 4 and 5 share one value of the client key whose name is not listed here.
    ASSERT_NE(Entry(4), nullptr);
    EXPECT_FALSE(Entry(4)->valueName.empty());
    ExpectPair(4, kClient, Entry(4)->valueName);

    // The card driver's sixteen pairs live in a key of their own and use fourteen names.
    ASSERT_NE(Entry(29), nullptr);
    const std::string driverKey = Entry(29)->subkey;
    EXPECT_NE(driverKey, kClient);
    std::map<std::string, int> pairsPerName;
    for (ConfigId id = 29; id <= 60; id += 2)
    {
        ASSERT_NE(Entry(id), nullptr) << id;
        ExpectPair(id, driverKey, Entry(id)->valueName);
        ++pairsPerName[Entry(id)->valueName];
    }
    EXPECT_EQ(pairsPerName.size(), 14u);
    EXPECT_EQ(std::count_if(pairsPerName.begin(), pairsPerName.end(),
                            [](const auto& name) { return name.second == 2; }),
              2);

    std::set<ConfigId> registered;
    for (ConfigId id = 0; id <= 100; ++id)
        if (Corvane::Config::GetInstance()->GetEntry(id))
            registered.insert(id);
    EXPECT_EQ(registered.size(), 60u);
    EXPECT_EQ(registered.count(26), 0u);
    EXPECT_EQ(*registered.rbegin(), 60u);
}

TEST_F(ConfigTest, RegisteringAnIdTwiceKeepsTheLaterEntry)
{
    Corvane::Config* config = Corvane::Config::GetInstance();
    EXPECT_TRUE(config->Register(37, "First", "Sub", 0));
    EXPECT_TRUE(config->Register(37, "Second", "Other", 1));
    const ConfigEntry* entry = config->GetEntry(37);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->valueName, "Second");
    EXPECT_EQ(entry->subkey, "Other");
    EXPECT_EQ(entry->viewFlag, 1);
}

TEST_F(ConfigTest, RegisteringWithoutBackendIsRefusedAndInitialisingTwiceKeepsTheBackend)
{
    Corvane::Config::DestroyInstance();
    Corvane::Config* config = Corvane::Config::GetInstance();
    EXPECT_EQ(config->Backend(), nullptr);
    EXPECT_FALSE(config->IsReady());
    EXPECT_FALSE(config->Register(1, "Name", kClient, 1));
    EXPECT_EQ(config->GetEntry(1), nullptr);

    InitConfiguration();
    EXPECT_TRUE(config->IsReady());
    EXPECT_NE(config->GetEntry(1), nullptr);
    // A second initialisation keeps the backend.
    Corvane::iConfigImpl* backend = config->Backend();
    InitConfiguration();
    EXPECT_EQ(config->Backend(), backend);
    config->Clear();
    EXPECT_EQ(config->GetEntry(1), nullptr);
}

TEST(ConfigKeyPathTest, BuildsThePathOfEachView)
{
    Corvane::ConfigImpl_Registry plain((std::string()));
    const ConfigEntry trace64{1, kTrace, "LogLevel", 1};
    const ConfigEntry trace32{1, kTrace, "LogLevel", 0};
    const ConfigEntry user{0, kTrace, "LogLevel", 0};
    EXPECT_EQ(plain.BuildKeyPath(&trace64), "Software\\Corvane GmbH\\Quendry Client\\Trace\\");
    EXPECT_EQ(plain.BuildKeyPath(&trace32),
              "Software\\Wow6432Node\\Corvane GmbH\\Quendry Client\\Trace\\");
    // The 32-bit view only exists below the local machine.
    EXPECT_EQ(plain.BuildKeyPath(&user), "Software\\Corvane GmbH\\Quendry Client\\Trace\\");

    Corvane::ConfigImpl_Registry based("\\Base");
    EXPECT_EQ(based.BuildKeyPath(&trace64),
              "Software\\Corvane GmbH\\Base\\Quendry Client\\Trace\\");
}

struct JoinCase
{
    std::vector<std::string> parts;
    const char* expected;
};

// Prints the parts, so that a listing of the tests is the same in every build.
void PrintTo(const JoinCase& join, std::ostream* os)
{
    *os << testing::PrintToString(join.parts);
}

class JoinRegistryPathTest : public testing::TestWithParam<JoinCase>
{
};

TEST_P(JoinRegistryPathTest, JoinsWithSingleBackslashes)
{
    EXPECT_EQ(JoinRegistryPath(GetParam().parts), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Parts, JoinRegistryPathTest,
                         testing::Values(JoinCase{{}, ""}, JoinCase{{"", ""}, ""},
                                         JoinCase{{"a"}, "a\\"}, JoinCase{{"a", "", "b"}, "a\\b\\"},
                                         JoinCase{{"\\a", "b\\"}, "a\\b\\"},
                                         JoinCase{{"a\\", "\\b"}, "a\\b\\"}, JoinCase{{"\\"}, "\\"},
                                         JoinCase{{"\\\\a"}, "\\a\\"}));

TEST_F(ConfigTest, RegistryErrorsNameTheirCode)
{
    ReportRegistryError("Text", 0);
    ReportRegistryError("Text", 5);
    ReportRegistryError("Text", 2);
    ReportRegistryError("Text", 4294967295u);
    SetConfigErrorHook(nullptr);
    ReportRegistryError("Dropped", 2);
    EXPECT_EQ(HookTexts(),
              (std::vector<std::string>{"Text ERROR_SUCCESS", "Text ERROR_ACCESS_DENIED", "Text 2",
                                        "Text 4294967295"}));
}
} // namespace
