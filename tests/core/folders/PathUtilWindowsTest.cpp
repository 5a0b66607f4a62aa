// Paths on Windows: only the backslash separates, and the shell knows the users' folders.

#include "core/folders/PathUtil.h"
#include "tests/platform/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace
{
TEST(WindowsPaths, JoinAndParentKnowOnlyTheBackslash)
{
    const struct
    {
        std::string folder;
        std::string name;
        std::string joined;
    } joins[] = {
        {"C:\\a", "b", "C:\\a\\b"}, {"C:\\a\\", "\\b", "C:\\a\\b"},
        {"C:\\a/", "b", "C:\\a/b"}, {"C:\\a", "/b", "C:\\a\\b"},
        {"plain", "", "plain\\"},   {"C:\\mixed/end", "x", "C:\\mixed/end\\x"},
        {"", "\\x", "x"},
    };
    for (const auto& c : joins)
        EXPECT_EQ(JoinPath(c.folder, c.name), c.joined) << c.folder << " + " << c.name;

    const std::pair<std::string, std::string> parents[] = {
        {"C:\\a\\b.log", "C:\\a\\"},
        {"C:\\a\\b\\", "C:\\a\\"},
        {"a\\b/c", "a\\"},
        {"C:/a/b", "C:/a/b"},
        {"\\", "\\"},
    };
    for (const auto& c : parents)
        EXPECT_EQ(ParentFolder(c.first), c.second) << c.first;
}

TEST(WindowsPaths, ExecutableFolderWithinThe260CharacterBuffer)
{
    const std::string folder = "C:\\" + std::string(240, 'q') + "\\";
    EXPECT_EQ(ExecutableFolderFromPath(folder + std::string(259 - folder.size(), 'x')), folder);
    EXPECT_EQ(ExecutableFolderFromPath(folder + std::string(260 - folder.size(), 'x')), "");
}

TEST(WindowsPaths, AppDataFromTheEnvironmentThenFromTheShell)
{
    ScopedEnvironment environment;
    environment.Set("APPDATA", "D:\\Roaming");
    EXPECT_EQ(GetAppDataFolder(), "D:\\Roaming");
    environment.Unset("APPDATA");
    const std::string shellFolder = GetAppDataFolder();
    EXPECT_EQ(shellFolder.rfind("C:\\", 0), 0u) << shellFolder;
    EXPECT_NE(shellFolder, "D:\\Roaming");
    const std::string common = GetCommonAppDataFolder();
    EXPECT_EQ(common.rfind("C:\\", 0), 0u) << common;
    EXPECT_NE(common, shellFolder);
}
} // namespace
