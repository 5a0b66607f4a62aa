// A card set the module cannot load: what it refuses, and the line it writes to standard error.

#include "ModuleHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>

using QuendrySim::SimEnvironment;

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
        {"", std::filesystem::path(env.CardSetPath()).filename().string(), "",
         "member \"gate\": must not name the card set's own file"},
        {"", "sub", "", folderRefused},
        {"", "sub", sub + "/go", folderRefused},
        {"", std::string("a\0b", 3), "", controlRefused},
        {"", "\n", "", controlRefused},
        {"", "\x7f", "", controlRefused},
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

        SimTest::LoadedModule module;
        ASSERT_TRUE(module.Load());
        testing::internal::CaptureStderr();
        auto call = std::async(std::launch::async, [&module] { return module.Initialize(); });
        if (call.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
        {
            ADD_FAILURE() << "C_Initialize is held at its gate";
            std::ofstream{env.Folder() + "/" + row.gate}; // lets it go, so that the test can end
        }
        const CK_RV rv = call.get();
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(CKR_GENERAL_ERROR, rv);
        if (rv == CKR_OK)
            module.Finalize();
        EXPECT_NE(std::string::npos, errors.find(env.CardSetPath())) << errors;
        EXPECT_NE(std::string::npos, errors.find(row.reason)) << errors;
        EXPECT_EQ(1, std::count(errors.begin(), errors.end(), '\n')) << "one line: " << errors;
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
