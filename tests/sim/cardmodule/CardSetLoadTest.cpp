// A card set the module cannot load: what it refuses, and the line it writes to standard error.

#include "ModuleHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using QuendrySim::SimEnvironment;

namespace
{
// C_Initialize on the card set as it is on disk; errors receives what the module wrote meanwhile.
CK_RV InitializeCapturingErrors(std::string& errors)
{
    SimTest::LoadedModule module;
    if (!module.Load())
        return CKR_FUNCTION_FAILED;
    testing::internal::CaptureStderr();
    const CK_RV rv = module.Initialize();
    errors = testing::internal::GetCapturedStderr();
    if (rv == CKR_OK)
        module.Finalize();
    return rv;
}
} // namespace

TEST(SimCardSetLoad, GateWithAFolderPartIsRefusedAndRemovesNothing)
{
    SimEnvironment env;
    ASSERT_TRUE(env.Ready());
    std::filesystem::create_directory(env.Folder() + "/sub");
    const std::string outside = env.Folder() + "-outside";
    const std::string inside = env.Folder() + "/";
    struct Row
    {
        std::string gate;
        std::string target; // a real file where the gate points, or none
    } const rows[] = {
        {outside, outside},
        {"../" + std::filesystem::path(outside).filename().string(), outside},
        {"sub/go", inside + "sub/go"},
        {"sub\\go", inside + "sub\\go"},
        {".", ""},
        {"..", ""},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.gate);
        if (!row.target.empty())
            std::ofstream{row.target};
        auto set = env.Load();
        // A gate naming a folder would hold its call for ever, so a call never made carries it.
        set.faults = {
            {row.target.empty() ? "C_Sign" : "C_Initialize", std::nullopt, 0, 1, row.gate}};
        ASSERT_TRUE(env.Save(set));
        std::string errors;
        EXPECT_EQ(CKR_GENERAL_ERROR, InitializeCapturingErrors(errors));
        if (!row.target.empty())
        {
            EXPECT_TRUE(std::filesystem::remove(row.target)) << "the gate's target is still there";
        }
    }
}

TEST(SimCardSetLoad, CardSetThatCannotBeLoadedSaysWhyOnStandardError)
{
    struct Row
    {
        const char* text; // nullptr: no file at all; "/": a folder in its place
        const char* reason;
    } const rows[] = {
        {"{\n  \"log\": \"calls.log\"\n  \"slots\": []\n}\n",
         "line 3, column 3: Missing a comma or '}' after an object member."},
        {"{\"faults\": [{\"function\": \"C_Sign\", \"rv\": \"six\"}]}", "member \"rv\""},
        {"{\"faults\": [{\"function\": \"C_Sign\", \"gate\": \"../go\"}]}",
         "member \"gate\": must be a file name in the card set's folder"},
        {nullptr, "No such file or directory"},
        {"/", "the file cannot be read"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.reason);
        SimEnvironment env;
        ASSERT_TRUE(env.Ready());
        std::filesystem::remove(env.CardSetPath());
        if (row.text && std::string(row.text) == "/")
            std::filesystem::create_directory(env.CardSetPath());
        else if (row.text)
            std::ofstream(env.CardSetPath()) << row.text;
        std::string errors;
        EXPECT_EQ(CKR_GENERAL_ERROR, InitializeCapturingErrors(errors));
        EXPECT_NE(std::string::npos, errors.find(env.CardSetPath())) << errors;
        EXPECT_NE(std::string::npos, errors.find(row.reason)) << errors;
        EXPECT_EQ(1, std::count(errors.begin(), errors.end(), '\n')) << "one line: " << errors;
    }
}
