#include "tests/core/config/ConfigTestSupport.h"

#include <map>
#include <set>

namespace
{
struct TableRow
{
    ConfigId id;
    int32_t viewFlag;
    const char* subkey;
    const char* valueName;
};

constexpr char kClient[] = "Quendry Client";
constexpr char kTrace[] = "Quendry Client\\Trace";

class ConfigTableTest : public ConfigTest, public testing::WithParamInterface<TableRow>
{
};

TEST_P(ConfigTableTest, RegistersTheEntry)
{
    const TableRow& row = GetParam();
    const ConfigEntry* entry = Entry(row.id);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->kind, 1);
    EXPECT_EQ(entry->viewFlag, row.viewFlag);
    EXPECT_EQ(entry->subkey, row.subkey);
    EXPECT_EQ(entry->valueName, row.valueName);
}

INSTANTIATE_TEST_SUITE_P(
    ProgramValues, ConfigTableTest,
    testing::Values(TableRow{0, 0, kClient, ""}, TableRow{1, 1, kClient, ""},
                    TableRow{2, 0, kClient, "CheckForUpdates"},
                    TableRow{3, 1, kClient, "CheckForUpdates"},
                    TableRow{6, 0, kClient, "InstallDir"}, TableRow{7, 1, kClient, "InstallDir"},
                    TableRow{8, 0, kClient, "Updateable"}, TableRow{9, 1, kClient, "Updateable"},
                    TableRow{10, 0, kClient, "Version"}, TableRow{11, 1, kClient, "Version"},
                    TableRow{12, 0, kTrace, "LogMode"}, TableRow{13, 1, kTrace, "LogMode"},
                    TableRow{14, 0, kTrace, "LogLevel"}, TableRow{15, 1, kTrace, "LogLevel"},
                    TableRow{16, 0, kTrace, "Filename"}, TableRow{17, 1, kTrace, "Filename"},
                    TableRow{18, 0, kClient, "DeleteLogfilesAfterXDays"},
                    TableRow{19, 1, kClient, "DeleteLogfilesAfterXDays"},
                    TableRow{20, 0, kClient, "FixIt"}, TableRow{21, 1, kClient, "FixIt"},
                    TableRow{22, 0, kClient, "CleanCertsOnRefresh"},
                    TableRow{23, 1, kClient, "CleanCertsOnRefresh"},
                    TableRow{24, 0, kClient, "MakeDialogsStayOnTop"},
                    TableRow{25, 1, kClient, "MakeDialogsStayOnTop"},
                    TableRow{27, 0, kClient, "Language"}, TableRow{28, 1, kClient, "Language"}));

TEST_F(ConfigTest, IdsFourAndFiveShareOneValueOfTheClientKey)
{
    ASSERT_NE(Entry(4), nullptr);
    ASSERT_NE(Entry(5), nullptr);
    EXPECT_EQ(Entry(4)->subkey, kClient);
    EXPECT_EQ(Entry(4)->valueName, Entry(5)->valueName);
    EXPECT_FALSE(Entry(4)->valueName.empty());
    EXPECT_EQ(Entry(4)->viewFlag, 0);
    EXPECT_EQ(Entry(5)->viewFlag, 1);
}

TEST_F(ConfigTest, TheCardDriverHasSixteenPairsWithFourteenNames)
{
    std::map<std::string, int> pairsPerName;
    const std::string subkey = Entry(29)->subkey;
    EXPECT_NE(subkey, kClient);
    for (ConfigId id = 29; id <= 60; id += 2)
    {
        const ConfigEntry* first = Entry(id);
        const ConfigEntry* second = Entry(id + 1);
        ASSERT_NE(first, nullptr) << id;
        ASSERT_NE(second, nullptr) << id + 1;
        EXPECT_EQ(first->viewFlag, 0) << id;
        EXPECT_EQ(second->viewFlag, 1) << id + 1;
        EXPECT_EQ(first->subkey, subkey) << id;
        EXPECT_EQ(second->subkey, subkey) << id + 1;
        EXPECT_EQ(first->valueName, second->valueName) << id;
        ++pairsPerName[first->valueName];
    }
    EXPECT_EQ(pairsPerName.size(), 14u);
    int namesOfTwoPairs = 0;
    for (const auto& [name, pairs] : pairsPerName)
        namesOfTwoPairs += pairs == 2 ? 1 : 0;
    EXPECT_EQ(namesOfTwoPairs, 2);
}

TEST_F(ConfigTest, OnlyTheTableIsRegistered)
{
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

TEST_F(ConfigTest, RegisteringWithoutBackendIsRefused)
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
    config->Clear();
    EXPECT_EQ(config->GetEntry(1), nullptr);
}

TEST_F(ConfigTest, InitialisingTwiceKeepsTheBackend)
{
    Corvane::iConfigImpl* backend = &Backend();
    InitConfiguration();
    EXPECT_EQ(&Backend(), backend);
    EXPECT_NE(Entry(28), nullptr);
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
