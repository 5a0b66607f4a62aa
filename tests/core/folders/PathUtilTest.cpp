#include "core/folders/PathUtil.h"
#include "tests/platform/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{
struct TextCase
{
    std::string a;
    std::string b;
    std::string expected;
};

TEST(JoinPath, OneSeparatorBetweenFolderAndName)
{
    const TextCase cases[] = {
        {"C:\\a\\", "\\b", "C:\\a\\b"},
        {"C:\\a\\", "b", "C:\\a\\b"},
        {"C:\\a", "b", "C:\\a\\b"},
        {"C:\\a", "\\b", "C:\\a\\b"},
        {"/var/log/", "x", "/var/log/x"},
        {"/var/log/", "/x", "/var/log/x"},
        {"/var/log", "x", "/var/log/x"},
        {"/var/log", "/x", "/var/log/x"},
        {"/mixed\\end", "x", "/mixed\\end\\x"},
        {"C:\\mixed/end", "x", "C:\\mixed/end/x"},
        {"plain", "x", "plain/x"},
        {"plain", "", "plain/"},
        {"", "x", "x"},
        {"", "\\x", "x"},
        {"", "", ""},
        {"a/", "//x", "a//x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JoinPath(c.a, c.b), c.expected) << c.a << " + " << c.b;
}

TEST(ParentFolder, UpToTheLastSeparator)
{
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\a\\b.log", "C:\\a\\"},
        {"C:\\a\\b\\", "C:\\a\\"},
        {"C:\\a", "C:\\"},
        {"name", "name"},
        {"\\", "\\"},
        {"a\\", "a\\"},
        {"/var/log/q", "/var/log/"},
        {"/var/log/q/", "/var/log/"},
        {"/q", "/"},
        {"/", "/"},
        {"a/b\\c", "a/b\\"},
        {"a\\b/c", "a\\b/"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParentFolder(c.first), c.second) << c.first;
}

TEST(EndsWithNoCase, ComparesTheTailIgnoringCase)
{
    const struct
    {
        std::string text;
        std::string suffix;
        bool expected;
    } cases[] = {
        {"C:\\x\\a.LOG", ".log", true}, {"a.log", ".log", true}, {"a.Log", ".LOG", true},
        {"a.lo", ".log", false},        {"log", ".log", false},  {"", ".log", false},
        {"anything", "", true},         {"", "", true},          {"a.log.txt", ".log", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EndsWithNoCase(c.text, c.suffix), c.expected) << c.text << " " << c.suffix;
}

TEST(ReplaceAll, ReplacesEveryOccurrenceOnce)
{
    const struct
    {
        std::string text;
        std::string search;
        std::string replacement;
        std::string expected;
    } cases[] = {
        {"log_#a_#a.log", "#a", "42", "log_42_42.log"},
        {"#a", "#a", "x#ay", "x#ay"},
        {"#a#a", "#a", "#a#a", "#a#a#a#a"},
        {"aaa", "a", "", ""},
        {"abc", "", "x", "abc"},
        {"abc", "d", "x", "abc"},
        {"", "a", "x", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAll(c.text, c.search, c.replacement), c.expected) << c.text;
}

TEST(TimestampedFileName, LocalTimeInTheName)
{
    std::tm moment{};
    moment.tm_year = 2019 - 1900;
    moment.tm_mon = 4;
    moment.tm_mday = 3;
    moment.tm_hour = 14;
    moment.tm_min = 7;
    moment.tm_sec = 9;
    moment.tm_isdst = -1;
    EXPECT_EQ(TimestampedFileNameAt("QuendryCards", "log", std::mktime(&moment)),
              "QuendryCards_2019-05-03-14-07-09.log");

    const std::regex now(R"(QuendryCards_\d{4}-\d{2}-\d{2}-\d{2}-\d{2}-\d{2}\.log)");
    EXPECT_TRUE(std::regex_match(TimestampedFileName("QuendryCards", "log"), now));
}

TEST(ExecutableFolderFromPath, PathsOf260CharactersOrMoreGiveNothing)
{
    const std::string folder = "/opt/" + std::string(240, 'q') + "/";
    const struct
    {
        std::string path;
        std::string expected;
    } cases[] = {
        {"C:\\Program Files\\Quendry\\QuendryCards.exe", "C:\\Program Files\\Quendry\\"},
        {"/usr/bin/quendrycards", "/usr/bin/"},
        {folder + std::string(259 - folder.size(), 'x'), folder},
        {folder + std::string(260 - folder.size(), 'x'), ""},
        {folder + std::string(400, 'x'), ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExecutableFolderFromPath(c.path), c.expected) << c.path.size();
}

// The temporary folder's fallback is tested where it is made, in the platform layer.
TEST(GetAppDataFolder, AppdataThenTheUsersConfigurationFolder)
{
    ScopedEnvironment environment;
    environment.Set("APPDATA", "/q/appdata");
    environment.Set("XDG_CONFIG_HOME", "/q/xdg");
    EXPECT_EQ(GetAppDataFolder(), "/q/appdata");
    environment.Unset("APPDATA");
    EXPECT_EQ(GetAppDataFolder(), "/q/xdg");
    EXPECT_FALSE(GetCommonAppDataFolder().empty());
}
} // namespace
