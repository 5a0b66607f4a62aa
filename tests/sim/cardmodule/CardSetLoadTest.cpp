// A card set the module cannot load: what it refuses, and the line it writes to standard error.

#include "ModuleHarness.h"

#include "sim/cardmodule/testsupport/EnvironmentValue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <utility>
#include <vector>

using QuendrySim::SimEnvironment;

namespace
{
const std::string kOwnFileRefused = "member \"gate\": must not name the card set's own file";

struct LoadResult
{
    CK_RV rv;
    std::string errors; // what the module wrote to standard error
};

// C_Initialize of a freshly loaded module. A call held at its gate is let go after a generous
// wait, by making the gate in folder, so that a test that finds it held still ends.
LoadResult InitializeOnce(const std::string& folder, const std::string& gate)
{
    SimTest::LoadedModule module;
    if (!module.Load())
    {
        ADD_FAILURE() << "the module does not load";
        return {CKR_FUNCTION_FAILED, ""};
    }
    testing::internal::CaptureStderr();
    auto call = std::async(std::launch::async, [&module] { return module.Initialize(); });
    if (call.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
    {
        ADD_FAILURE() << "C_Initialize is held at its gate";
        std::ofstream{folder + "/" + gate};
    }
    LoadResult result{call.get(), testing::internal::GetCapturedStderr()};
    if (result.rv == CKR_OK)
        module.Finalize();
    return result;
}

void ExpectRefused(const LoadResult& result, const std::string& cardSetPath,
                   const std::string& reason)
{
    EXPECT_EQ(CKR_GENERAL_ERROR, result.rv);
    EXPECT_NE(std::string::npos, result.errors.find(cardSetPath)) << result.errors;
    EXPECT_NE(std::string::npos, result.errors.find(reason)) << result.errors;
    EXPECT_EQ(1, std::count(result.errors.begin(), result.errors.end(), '\n'))
        << "one line: " << result.errors;
}
} // namespace

TEST(SimCardSetLoad, CardSetThatCannotBeLoadedSaysWhyAndRemovesNothing)
{
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    const QuendrySim::CardSet original = env.Load();
    const std::string outside = env.Folder() + "-outside";
    const std::string sub = env.Folder() + "/sub";
    std::filesystem::create_directory(sub);
    const std::string gateRefused = "member \"gate\": must be a file name in the card set's folder";
    const std::string folderRefused = "member \"gate\": must not name a folder";
    const std::string controlRefused = "member \"gate\": must not hold a control character";
    struct Row
    {
        std::string text;   // the card set; "-": no file at all; "/": a folder in its place
        std::string gate;   // not empty: the generated card set with C_Initialize held at it
        std::string target; // a real file where the gate points, which must stay
        std::string reason;
    } const rows[] = {
        {"{\n  \"log\": \"calls.log\"\n  \"slots\": []\n}\n", "", "",
         "line 3, column 3: Missing a comma or '}' after an object member."},
        {"{\"faults\": [{\"function\": \"C_Sign\", \"rv\": \"six\"}]}", "", "", "member \"rv\""},
        {"-", "", "", "No such file or directory"},
        {"/", "", "", "the file cannot be read"},
        {"", outside, outside, gateRefused},
        {"", "../" + std::filesystem::path(outside).filename().string(), outside, gateRefused},
        {"", "sub/go", sub + "/go", gateRefused},
        {"", "sub\\go", env.Folder() + "/sub\\go", gateRefused},
        {"", ".", "", gateRefused},
        {"", "..", "", gateRefused},
        {"", std::filesystem::path(env.CardSetPath()).filename().string(), "", kOwnFileRefused},
#ifdef _WIN32
        // Windows takes the name in any case.
        {"", "CARDS.JSON", "", kOwnFileRefused},
#endif
        {"", "sub", "", folderRefused},
        {"", "sub", sub + "/go", folderRefused},
        {"", std::string("a\0b", 3), "", controlRefused},
        {"", "\n", "", controlRefused},
        {"", "\x7f", "", controlRefused},
        {"", "go\xC2\x85", "", controlRefused},
        {"", "\xC2\x80go", "", controlRefused},
        {"", "g\xC2\x9Fo", "", controlRefused},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.reason + " " + row.gate);
        std::filesystem::remove_all(env.CardSetPath());
        if (!row.gate.empty())
        {
            QuendrySim::CardSet set = original;
            set.faults = {{"C_Initialize", std::nullopt, 0, 1, row.gate}};
            ASSERT_TRUE(env.Save(set));
            if (!row.target.empty())
                std::ofstream{row.target};
        }
        else if (row.text == "/")
            std::filesystem::create_directory(env.CardSetPath());
        else if (row.text != "-")
            std::ofstream(env.CardSetPath()) << row.text;

        ExpectRefused(InitializeOnce(env.Folder(), row.gate), env.CardSetPath(), row.reason);
        if (!row.gate.empty())
        {
            EXPECT_TRUE(std::filesystem::is_regular_file(env.CardSetPath()))
                << "the card set is gone";
        }
        EXPECT_TRUE(std::filesystem::is_directory(sub)) << "the folder beside it is gone";
        if (!row.target.empty())
        {
            EXPECT_TRUE(std::filesystem::remove(row.target)) << "the gate's target is still there";
        }
    }
}

// A held call removes the gate from the folder of the path the module was given; when that path
// is a link, the gate may name the very file the link leads to.
TEST(SimCardSetLoad, GateOnTheFileBehindALinkIsRefused)
{
#ifdef _WIN32
    GTEST_SKIP() << "the standard library of the Windows build makes no symbolic links";
#endif
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    const QuendrySim::CardSet original = env.Load();
    const std::string gate = std::filesystem::path(env.CardSetPath()).filename().string();
    using Link = std::pair<std::string, std::string>; // made in the folder, and where it leads
    struct Row
    {
        std::vector<Link> links;
        std::string cards;  // what QUENDRY_SIM_CARDS names, in the folder
        std::string target; // not empty: the gate is no card set, and a file there lets it go
    } const rows[] = {
        {{{"alias.json", gate}}, "alias.json", ""},
        {{{"view", "."}, {"alias.json", "view/" + gate}}, "alias.json", ""},
        {{{"view", "."}, {"alias.json", gate}}, "view/alias.json", ""},
        {{{"sub/alias.json", "../" + gate}}, "sub/alias.json", "sub/" + gate},
    };
    std::filesystem::create_directory(env.Folder() + "/sub");
    QuendrySim::CardSet set = original;
    set.faults = {{"C_Initialize", std::nullopt, 0, 1, gate}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.cards + " -> " + row.links.back().second);
        ASSERT_TRUE(env.Save(set));
        for (const auto& [link, to] : row.links)
            std::filesystem::create_symlink(to, env.Folder() + "/" + link);
        if (!row.target.empty())
            std::ofstream{env.Folder() + "/" + row.target};
        const std::string cards = env.Folder() + "/" + row.cards;
        ASSERT_TRUE(QuendrySim::SetEnvironmentValue("QUENDRY_SIM_CARDS", cards));

        const LoadResult result = InitializeOnce(env.Folder(), gate);
        if (row.target.empty())
            ExpectRefused(result, cards, kOwnFileRefused);
        else
        {
            EXPECT_EQ(CKR_OK, result.rv) << result.errors;
            EXPECT_FALSE(std::filesystem::exists(env.Folder() + "/" + row.target))
                << "the held call did not take its gate away";
            // The used-up fault was written through the link into the card set.
            EXPECT_TRUE(std::filesystem::is_symlink(cards)) << "the link was replaced";
            EXPECT_TRUE(env.Load().faults.empty());
        }
        EXPECT_TRUE(std::filesystem::is_regular_file(env.CardSetPath())) << "the card set is gone";
        for (const auto& link : row.links)
            std::filesystem::remove(env.Folder() + "/" + link.first);
        ASSERT_TRUE(QuendrySim::SetEnvironmentValue("QUENDRY_SIM_CARDS", env.CardSetPath()));
    }
}
