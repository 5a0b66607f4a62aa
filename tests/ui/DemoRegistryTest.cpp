// The demo's registry defaults: the program reads what the script writes, and whatever the user
// put into the hive before stays as it was.
#include "core/config/Config.h"
#include "tests/platform/ScopedTempFolder.h"
#include "ui/ConfigValues.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace
{
constexpr unsigned kVersion = 11, kLogLevel = 15, kFilename = 17, kLanguage = 28;
const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kClient = "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client]\r\n";
const std::string kTrace =
    "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client\\Trace]\r\n";

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

bool RunDefaults(const ScopedTempFolder& folder)
{
    const std::string command = "bash -c '. \"" QUENDRY_SOURCE_DIR "/scripts/demo-registry.sh\" && "
                                "demo_registry_defaults \"$0\" /demo/logs' '" +
                                folder.File("HKEY_LOCAL_MACHINE.reg") + "'";
    return std::system(command.c_str()) == 0;
}

struct Expected
{
    int logLevel;
    std::string filename;
    int language; // -1: none
    std::string version;
};

TEST(DemoRegistry, MissingValuesAreWrittenAndTheUsersValuesKept)
{
    const struct
    {
        const char* name;
        std::string hive; // empty: no file yet
        Expected expected;
    } cases[] = {
        {"no hive yet", "", {5, "/demo/logs", -1, ""}},
        {"user's client values and log level",
         kHeader + kClient + "\"Language\"=dword:00000039\r\n\"Version\"=\"9.9\"\r\n\r\n" + kTrace +
             "\"loglevel\"=dword:00000000\r\n",
         {0, "/demo/logs", 57, "9.9"}},
        {"user's log folder, no trace key",
         kHeader + kClient + "\"Filename\"=\"/elsewhere\"\r\n",
         {5, "/demo/logs", -1, ""}},
        {"user's log folder",
         kHeader + kTrace + "\"Filename\"=\"/mine\"\r\n",
         {5, "/mine", -1, ""}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScopedTempFolder folder;
        if (!c.hive.empty())
            WriteTextFile(folder.File("HKEY_LOCAL_MACHINE.reg"), c.hive);
        ASSERT_TRUE(RunDefaults(folder));
        const std::string written = ReadAll(folder.File("HKEY_LOCAL_MACHINE.reg"));
        ASSERT_TRUE(RunDefaults(folder));
        EXPECT_EQ(ReadAll(folder.File("HKEY_LOCAL_MACHINE.reg")), written)
            << "a second run changed the hive";

        setenv("QUENDRY_REGISTRY_DIR", folder.Path().c_str(), 1);
        Corvane::Config::DestroyInstance();
        InitConfiguration();
        int logLevel = -1, language = -1;
        std::string filename, version;
        EXPECT_TRUE(ReadConfigInteger(kLogLevel, logLevel));
        EXPECT_TRUE(ReadConfigText(kFilename, filename));
        ReadConfigInteger(kLanguage, language);
        ReadConfigText(kVersion, version);
        EXPECT_EQ(logLevel, c.expected.logLevel);
        EXPECT_EQ(filename, c.expected.filename);
        EXPECT_EQ(language, c.expected.language);
        EXPECT_EQ(version, c.expected.version);
        Corvane::Config::DestroyInstance();
        unsetenv("QUENDRY_REGISTRY_DIR");
    }
}
} // namespace
