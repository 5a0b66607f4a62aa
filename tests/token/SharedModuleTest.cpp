#include "platform/SharedModule.h"
#include "tests/token/ProbePlace.h"

#include <gtest/gtest.h>

namespace
{
const std::string kProbe = platform::SharedModule::FileName("quendryprobe");
} // namespace

TEST(SharedModule, FileNameFollowsThePlatform)
{
    EXPECT_EQ(kProbe, "libquendryprobe.so");
}

TEST(SharedModule, BareNameIsFoundBesideTheExecutable)
{
    // The probe lies beside the test program only, not on the system's search path.
    platform::SharedModule module;
    ASSERT_TRUE(module.Load(kProbe));
    EXPECT_EQ(ProbePlace(module), "beside");
}

TEST(SharedModule, BareNameFallsBackToTheSystemSearchPath)
{
    platform::SharedModule module;
    ASSERT_TRUE(module.Load("libz.so.1"));
    EXPECT_NE(module.Symbol("zlibVersion"), nullptr);
}

TEST(SharedModule, PathLoadsExactlyThatFile)
{
    platform::SharedModule module;
    ASSERT_TRUE(module.Load(std::string(QUENDRY_PROBE_ELSEWHERE)));
    EXPECT_EQ(ProbePlace(module), "elsewhere");
    // Loading again replaces the first module.
    ASSERT_TRUE(module.Load(kProbe));
    EXPECT_EQ(ProbePlace(module), "beside");
}

TEST(SharedModule, FailuresAndUnload)
{
    platform::SharedModule module;
    for (const std::string& file : {std::string(), std::string("libquendry-no-such-module.so"),
                                    std::string("/nonexistent/libx.so")})
    {
        EXPECT_FALSE(module.Load(file)) << file;
        EXPECT_FALSE(module.IsLoaded());
        EXPECT_EQ(module.Symbol("quendry_probe_place"), nullptr);
    }
    ASSERT_TRUE(module.Load(kProbe));
    EXPECT_EQ(module.Symbol("no_such_symbol"), nullptr);
    module.Unload();
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_EQ(module.Symbol("quendry_probe_place"), nullptr);
}
