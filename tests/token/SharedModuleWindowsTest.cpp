// Loading the card module's stand-in with LoadLibrary: beside the program first, then the
// system's folders; a path loads exactly that file.

#include "platform/SharedModule.h"
#include "tests/token/ProbePlace.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>

namespace
{
const std::string kProbe = platform::SharedModule::FileName("quendryprobe");

TEST(SharedModuleWindows, BareNamesBesideTheProgramThenInTheSystemFolders)
{
    EXPECT_EQ(kProbe, "quendryprobe.dll");
    platform::SharedModule module;
    ASSERT_TRUE(module.Load(kProbe));
    EXPECT_EQ(ProbePlace(module), "beside");

    ASSERT_TRUE(module.Load("kernel32.dll"));
    EXPECT_NE(module.Symbol("GetCurrentThreadId"), nullptr);
    EXPECT_EQ(module.Symbol("quendry_probe_place"), nullptr);
}

TEST(SharedModuleWindows, APathLoadsExactlyThatFileWhicheverSeparatorItUses)
{
    const std::string elsewhere = QUENDRY_PROBE_ELSEWHERE;
    std::string backslashed = elsewhere;
    for (char& c : backslashed)
        c = c == '/' ? '\\' : c;
    for (const std::string& path : {elsewhere, backslashed})
    {
        SCOPED_TRACE(path);
        platform::SharedModule module;
        ASSERT_TRUE(module.Load(path));
        EXPECT_EQ(ProbePlace(module), "elsewhere");
        ASSERT_TRUE(module.Load(kProbe));
        EXPECT_EQ(ProbePlace(module), "beside");
    }
}

TEST(SharedModuleWindows, FailuresLeaveNothingLoaded)
{
    // A file that is no module at all fails without an error box that would wait for a user.
    char folder[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    const std::string broken = std::string(folder) + "quendry-broken-module.dll";
    std::ofstream(broken, std::ios::binary) << "MZ and nothing after it";
    platform::SharedModule module;
    for (const std::string& file : {std::string(), std::string("quendry-no-such-module.dll"),
                                    std::string("C:\\nonexistent\\quendryprobe.dll"), broken})
    {
        SCOPED_TRACE(file);
        EXPECT_FALSE(module.Load(file));
        EXPECT_FALSE(module.IsLoaded());
        EXPECT_EQ(module.Symbol("quendry_probe_place"), nullptr);
    }
    ASSERT_TRUE(module.Load(kProbe));
    EXPECT_EQ(module.Symbol("no_such_symbol"), nullptr);
    module.Unload();
    EXPECT_EQ(module.Symbol("quendry_probe_place"), nullptr);
    DeleteFileA(broken.c_str());
}
} // namespace
