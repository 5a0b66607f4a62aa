#include "core/logging/LogFileNames.h"
#include "tests/core/logging/LogTestSupport.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{
using namespace LibLogging;

TEST(SplitLogName, CutsAtLogTxtOrAShortLastExtension)
{
    const struct
    {
        std::string path;
        std::string stem;
        std::string extension;
    } cases[] = {
        {"a.log", "a", "log"},
        {"C:\\x\\a.log", "C:\\x\\a", "log"},
        {"a.txt", "a", "log"},
        {"a.log.txt", "a", "log"},
        {"a.txt.log", "a.txt", "log"},
        {"x.log.old", "x", "log"},
        {"a.LOG", "a", "log"},
        {"a.ab", "a", "log"},
        {"a.abcd", "a", "log"},
        {"a.abcde", "a.abcde", ""},
        {"a.", "a", "log"},
        {"abc", "abc", ""},
        {".log", "", "log"},
        {"", "", ""},
        {"/var/log/q", "/var/log/q", ""},
    };
    for (const auto& c : cases)
    {
        const LogName name = SplitLogName(c.path);
        EXPECT_EQ(name.stem, c.stem) << c.path;
        EXPECT_EQ(name.extension, c.extension) << c.path;
    }
}

TEST(LogNames, ExtensionNumberAndTimestamp)
{
    EXPECT_EQ(AddLogExtension("a"), "a.log");
    EXPECT_EQ(AddLogExtension("a.abcde"), "a.abcde.log");
    EXPECT_EQ(AddLogExtension("a.txt"), "a.txt");
    EXPECT_EQ(NumberedLogName("a.txt", 0), "a_0.log");
    EXPECT_EQ(NumberedLogName("d\\a.log", 12), "d\\a_12.log");
    EXPECT_TRUE(std::regex_match(TimestampedLogName("d/a_1.log"),
                                 std::regex(R"(d/a_1_\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2}\.log)")));
}

TEST(NextFreeLogName, FirstNameThatDoesNotExist)
{
    ScopedTempFolder folder;
    const std::string name = folder.File("n.log");
    EXPECT_EQ(NextFreeLogName(name), name);
    WriteTextFile(name, "x");
    EXPECT_EQ(NextFreeLogName(name), folder.File("n_0.log"));
    WriteTextFile(folder.File("n_0.log"), "x");
    WriteTextFile(folder.File("n_2.log"), "x");
    EXPECT_EQ(NextFreeLogName(name), folder.File("n_1.log"));
}

TEST(CopyLogFile, CopiesEveryByteAndRemovesOnlyAfterSuccess)
{
    ScopedTempFolder folder;
    const std::string content("line\r\nbare\nnul\0end", 18);
    WriteTextFile(folder.File("src.log"), content);

    EXPECT_TRUE(CopyLogFile(folder.File("src.log"), folder.File("kept.log"), false));
    EXPECT_EQ(ReadTextFile(folder.File("kept.log")), content);
    EXPECT_EQ(ReadTextFile(folder.File("src.log")), content);

    std::filesystem::create_directory(folder.File("blocked.log"));
    EXPECT_FALSE(CopyLogFile(folder.File("src.log"), folder.File("blocked.log"), true));
    EXPECT_TRUE(LogFileExists(folder.File("src.log")));

    EXPECT_FALSE(CopyLogFile(folder.File("absent.log"), folder.File("to.log"), true));
    EXPECT_FALSE(LogFileExists(folder.File("to.log")));

    EXPECT_TRUE(CopyLogFile(folder.File("src.log"), folder.File("moved.log"), true));
    EXPECT_EQ(ReadTextFile(folder.File("moved.log")), content);
    EXPECT_FALSE(LogFileExists(folder.File("src.log")));

    WriteTextFile(folder.File("empty.log"), "");
    EXPECT_TRUE(CopyLogFile(folder.File("empty.log"), folder.File("moved.log"), false));
    EXPECT_EQ(ReadTextFile(folder.File("moved.log")), "");
}
} // namespace
