// The demo's registry defaults: the program reads what the demo's command writes, whatever the
// user put into the hive before stays as it was, and a hive that cannot be read is left alone.
#include "core/config/Config.h"
#include "tests/platform/RegistryTestFiles.h"
#include "tests/platform/ScopedTempFolder.h"
#include "ui/ConfigValues.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <tuple>

namespace
{
constexpr unsigned kVersion = 11, kLogLevel = 15, kFilename = 17, kLanguage = 28;
const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kClient = "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client]\r\n";
const std::string kTrace =
    "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client\\Trace]\r\n";

// The demo's command on the registry folder; its exit code, with what it said on standard error.
int RunDefaults(const ScopedTempFolder& folder, std::string& said)
{
    const std::string saidFile = folder.File("said");
    const std::string command = "'" QUENDRY_BINARY_DIR "/bin/quendry-registry-defaults' '" +
                                folder.File("registry") + "' /demo/logs 2>'" + saidFile + "'";
    const int status = std::system(command.c_str());
    said = ReadTextFile(saidFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What the program reads: the log level, the log folder, the language (-1: none) and the version.
using Values = std::tuple<int, std::string, int, std::string>;

Values ReadAsTheProgramDoes(const std::string& registry)
{
    setenv("QUENDRY_REGISTRY_DIR", registry.c_str(), 1);
    Corvane::Config::DestroyInstance();
    InitConfiguration();
    Values read{-1, "", -1, ""};
    EXPECT_TRUE(ReadConfigInteger(kLogLevel, std::get<0>(read)));
    EXPECT_TRUE(ReadConfigText(kFilename, std::get<1>(read)));
    ReadConfigInteger(kLanguage, std::get<2>(read));
    ReadConfigText(kVersion, std::get<3>(read));
    Corvane::Config::DestroyInstance();
    unsetenv("QUENDRY_REGISTRY_DIR");
    return read;
}

struct Hive
{
    std::string before; // empty: no hive yet
    Values read;
    std::string after; // empty: not compared
};

TEST(DemoRegistry, MissingValuesAreWrittenAndTheUsersValuesKept)
{
    const std::string software = "[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
                                 "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH]\r\n\r\n";
    const std::string german = kClient + "\"Language\"=dword:00000058\r\n\r\n";
    const std::string defaults = kTrace + "\"LogLevel\"=dword:00000005\r\n"
                                          "\"Filename\"=\"/demo/logs\"\r\n\r\n";
    const Hive cases[] = {
        {"", {5, "/demo/logs", -1, ""}, ""},
        {kHeader + kClient + "\"Language\"=dword:00000039\r\n\"Version\"=\"9.9\"\r\n\r\n" + kTrace +
             "\"loglevel\"=dword:00000000\r\n",
         {0, "/demo/logs", 57, "9.9"},
         ""},
        // A log folder under the client key is not the trace key's.
        {kHeader + kClient + "\"Filename\"=\"/elsewhere\"\r\n", {5, "/demo/logs", -1, ""}, ""},
        {kHeader + kTrace + "\"Filename\"=\"/mine\"\r\n", {5, "/mine", -1, ""}, ""},
        // As the registry editor exports it: it stays UTF-16 with every line it had.
        {Utf16LeFile(kHeader + german),
         {5, "/demo/logs", 88, ""},
         Utf16LeFile(kHeader + software + german + defaults)},
    };
    for (const Hive& hive : cases)
    {
        SCOPED_TRACE(hive.before);
        ScopedTempFolder folder;
        const std::string file = folder.File("registry/HKEY_LOCAL_MACHINE.reg");
        std::filesystem::create_directory(folder.File("registry"));
        if (!hive.before.empty())
            WriteTextFile(file, hive.before);
        std::string said;
        ASSERT_EQ(RunDefaults(folder, said), 0) << said;
        EXPECT_EQ(said, "");
        const std::string written = ReadTextFile(file);
        if (!hive.after.empty())
        {
            EXPECT_EQ(written, hive.after);
        }
        ASSERT_EQ(RunDefaults(folder, said), 0) << said;
        EXPECT_EQ(ReadTextFile(file), written) << "a second run changed the hive";
        EXPECT_EQ(ReadAsTheProgramDoes(folder.File("registry")), hive.read);
    }
}

class DemoRegistryUnreadable : public testing::TestWithParam<UnreadableFile>
{
};

// The demo stops on the command's failure, so the user reads why before the program starts.
TEST_P(DemoRegistryUnreadable, HiveIsLeftAsItWasAndNamedWithTheReason)
{
    ScopedTempFolder folder;
    const std::string file = folder.File("registry/HKEY_LOCAL_MACHINE.reg");
    std::filesystem::create_directory(folder.File("registry"));
    WriteTextFile(file, kHeader + kClient + "\"Language\"=dword:00000058\r\n\r\n");
    GetParam().spoil(file);
    const std::string before = Snapshot(file);
    std::string said;
    {
        const ObeyFileModes obey;
        EXPECT_EQ(RunDefaults(folder, said), 1);
    }
    EXPECT_EQ(Snapshot(file), before);
    EXPECT_EQ(said, file + ": cannot read this file, it is neither used nor changed: " +
                        GetParam().reason + "\n" + file +
                        ": the demo's log settings cannot be added (access denied); the file is "
                        "left as it is. Correct it, or remove it to start with the demo's "
                        "settings.\n");
}

INSTANTIATE_TEST_SUITE_P(Hives, DemoRegistryUnreadable, testing::ValuesIn(SpoiledByTheUser()),
                         [](const testing::TestParamInfo<UnreadableFile>& info)
                         { return info.param.name; });
} // namespace
