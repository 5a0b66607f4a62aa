// Opening the certificate file with the desktop: the desktop's opener runs with the file, and
// when nothing can open it the log says so and the caller hears of it.
#include "ui/DocumentLauncher.h"
#include "core/logging/Logger.h"
#include "tests/platform/ScopedEnvironment.h"
#include "tests/ui/GuiHarness.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace
{
std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteOpener(const ScopedTempFolder& folder, const std::string& body)
{
    const std::string path = folder.File("xdg-open");
    WriteTextFile(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
}

TEST(DocumentLauncher, TheOpenerGetsTheFileAndAFileNothingOpensIsLoggedAndReported)
{
    // Written aside and renamed into place, so the file is whole once it exists; the search
    // path holds only the opener.
    const std::string recordArgument = "echo \"$1\" > \"${0%/*}/opened.part\" && "
                                       "/bin/mv \"${0%/*}/opened.part\" \"${0%/*}/opened\"";
    const struct
    {
        const char* name;
        std::string opener; // empty: none on the search path
        bool error;
    } cases[] = {{"opener finds no program", recordArgument + "; exit 3", true},
                 {"no opener at all", "", true},
                 {"opener shows the file", recordArgument, false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScopedTempFolder folder;
        ScopedEnvironment environment;
        environment.Set("PATH", folder.Path().string());
        if (!c.opener.empty())
            WriteOpener(folder, c.opener);
        GetAppLogger()->Init(folder.File("run.log"));
        GetAppLogger()->enabled = true;
        const std::string document = folder.File("quendrycards_cert.cer");

        int failures = 0;
        LaunchDocument(document, [&failures] { ++failures; });
        if (!c.opener.empty())
        {
            ASSERT_TRUE(
                GuiTest::WaitUntil([&] { return std::filesystem::exists(folder.File("opened")); }));
            EXPECT_EQ(ReadAll(folder.File("opened")), document + "\n");
        }
        if (c.error)
        {
            EXPECT_TRUE(GuiTest::WaitUntil(
                [&]
                {
                    const std::string log = ReadAll(GetAppLogger()->LogPath());
                    return log.find("ERROR") != std::string::npos &&
                           log.find("no desktop program can open " + document) != std::string::npos;
                }));
            EXPECT_TRUE(GuiTest::WaitUntil([&failures] { return failures == 1; }));
        }
        else
            EXPECT_EQ(failures, 0);
        GetAppLogger()->Destroy();
    }
}
} // namespace
