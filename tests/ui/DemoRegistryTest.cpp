// The demo's registry defaults: the program reads what the script writes, and whatever the user
// put into the hive before stays as it was.
#include "core/config/Config.h"
#include "tests/platform/ScopedTempFolder.h"
#include "ui/ConfigValues.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <tuple>

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

// What the program reads: the log level, the log folder, the language (-1: none) and the version.
using Values = std::tuple<int, std::string, int, std::string>;

TEST(DemoRegistry, MissingValuesAreWrittenAndTheUsersValuesKept)
{
    const std::pair<std::string, Values> cases[] = {
        {"", {5, "/demo/logs", -1, ""}}, // no hive yet
        {kHeader + kClient + "\"Language\"=dword:00000039\r\n\"Version\"=\"9.9\"\r\n\r\n" + kTrace +
             "\"loglevel\"=dword:00000000\r\n",
         {0, "/demo/logs", 57, "9.9"}},
        // A log folder under the client key is not the trace key's.
        {kHeader + kClient + "\"Filename\"=\"/elsewhere\"\r\n", {5, "/demo/logs", -1, ""}},
        {kHeader + kTrace + "\"Filename\"=\"/mine\"\r\n", {5, "/mine", -1, ""}},
    };
    for (const auto& [hive, expected] : cases)
    {
        SCOPED_TRACE(hive);
        ScopedTempFolder folder;
        if (!hive.empty())
            WriteTextFile(folder.File("HKEY_LOCAL_MACHINE.reg"), hive);
        ASSERT_TRUE(RunDefaults(folder));
        const std::string written = ReadAll(folder.File("HKEY_LOCAL_MACHINE.reg"));
        ASSERT_TRUE(RunDefaults(folder));
        EXPECT_EQ(ReadAll(folder.File("HKEY_LOCAL_MACHINE.reg")), written)
            << "a second run changed the hive";

        setenv("QUENDRY_REGISTRY_DIR", folder.Path().string().c_str(), 1);
        Corvane::Config::DestroyInstance();
        InitConfiguration();
        Values read{-1, "", -1, ""};
        EXPECT_TRUE(ReadConfigInteger(kLogLevel, std::get<0>(read)));
        EXPECT_TRUE(ReadConfigText(kFilename, std::get<1>(read)));
        ReadConfigInteger(kLanguage, std::get<2>(read));
        ReadConfigText(kVersion, std::get<3>(read));
        EXPECT_EQ(read, expected);
        Corvane::Config::DestroyInstance();
        unsetenv("QUENDRY_REGISTRY_DIR");
    }
}
} // namespace
