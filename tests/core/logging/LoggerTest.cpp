#include "core/logging/Logger.h"
#include "core/folders/LocalTime.h"
#include "platform/DebugOutput.h"
#include "platform/Thread.h"
#include "tests/core/logging/LogTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <regex>
#include <thread>
#include <utility>

namespace
{
using LibLogging::Logger;
using LibLogging::LogType;

const std::string kTime = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})";

// Collects the debugger output while it lives.
class DebugCapture
{
public:
    DebugCapture()
    {
        platform::SetDebugOutputSink(
            [this](const std::string& text)
            {
                std::lock_guard<std::mutex> lock(mutex_);
                texts_.push_back(text);
            });
    }
    ~DebugCapture() { platform::SetDebugOutputSink({}); }
    std::vector<std::string> Texts()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> texts_;
};

std::string Padded(const std::string& level)
{
    return std::string(13 - level.size(), ' ') + level;
}

TEST(LoggerLayout, EveryTypeWithAndWithoutThreadId)
{
    const struct
    {
        LogType type;
        const char* level;
    } types[] = {
        {LibLogging::LOG_ERROR, "ERROR"},
        {LibLogging::LOG_MESSAGE, "MESSAGE"},
        {LibLogging::LOG_DEBUG, "DEBUG"},
        {LibLogging::LOG_IN_FUNCTION, "IN FUNCTION"},
        {LibLogging::LOG_OUT_FUNCTION, "OUT FUNCTION"},
        {LibLogging::LOG_STACKTRACE, "STACKTRACE"},
        {LibLogging::LOG_WARNING, "WARNING"},
        {static_cast<LogType>(42), "MESSAGE"},
    };
    const std::string threadId = std::to_string(platform::CurrentThreadId());
    for (bool showThreadId : {false, true})
    {
        ScopedTempFolder folder;
        Logger logger(7);
        OpenLogger(logger, folder.File("layout.log"));
        logger.showThreadId = showThreadId;
        for (const auto& t : types)
            logger.Write("", std::string("text of ") + t.level, t.type);
        logger.Write("", "plain text", LibLogging::LOG_PLAIN);
        logger.Write("ctx", "with context", LibLogging::LOG_MESSAGE);
        logger.Write("c", "short context", LibLogging::LOG_MESSAGE);

        const auto lines = ReadLines(folder.File("layout.log"));
        ASSERT_EQ(lines.size(), std::size(types) + 3);
        const std::string thread = showThreadId ? " \\(" + threadId + "\\)" : "";
        for (size_t i = 0; i < std::size(types); ++i)
        {
            const std::regex expected(kTime + Padded(types[i].level) + thread + ": text of " +
                                      types[i].level);
            EXPECT_TRUE(std::regex_match(lines[i], expected)) << lines[i];
        }
        EXPECT_EQ(lines[std::size(types)], ": plain text");
        EXPECT_TRUE(
            std::regex_match(lines[std::size(types) + 1],
                             std::regex(kTime + "      MESSAGE" + thread + ": ctx: with context")));
        EXPECT_TRUE(
            std::regex_match(lines[std::size(types) + 2],
                             std::regex(kTime + "      MESSAGE" + thread + ": short context")));
    }
}

TEST(LoggerLayout, EntryPointsWriteTheirTypesAndInitTurnsTheThreadIdOff)
{
    ScopedTempFolder folder;
    Logger logger(7);
    logger.showThreadId = true;
    logger.Init(folder.File("entry.log"));
    logger.enabled = true;
    logger.Error("e");
    logger.Warning("w");
    logger.Message("m");
    logger.Debug("d");
    const auto lines = ReadLines(folder.File("entry.log"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(19), "        ERROR: e");
    EXPECT_EQ(lines[1].substr(19), "      WARNING: w");
    EXPECT_EQ(lines[2].substr(19), "      MESSAGE: m");
    EXPECT_EQ(lines[3].substr(19), "        DEBUG: d");
}

std::string Numbered(int from, int to)
{
    std::string lines;
    for (int i = from; i <= to; ++i)
        lines += ": line " + std::to_string(i) + "\r\n";
    return lines;
}

TEST(LoggerRotation, AtLines10001And20001)
{
    ScopedTempFolder folder;
    Logger logger(7);
    OpenLogger(logger, folder.File("rot.log"));
    int written = 0;
    auto writeUpTo = [&](int last)
    {
        while (written < last)
            logger.Write("", "line " + std::to_string(++written), LibLogging::LOG_PLAIN);
    };
    writeUpTo(10000);
    EXPECT_EQ(FileNames(folder), std::vector<std::string>{"rot.log"});
    EXPECT_EQ(ReadTextFile(folder.File("rot.log")), Numbered(1, 10000));

    writeUpTo(10001);
    EXPECT_EQ(ReadTextFile(folder.File("rot_0.log")), Numbered(1, 10000));
    EXPECT_EQ(ReadTextFile(folder.File("rot.log")), Numbered(10001, 10001));

    writeUpTo(20000);
    EXPECT_EQ(FileNames(folder), (std::vector<std::string>{"rot.log", "rot_0.log"}));
    writeUpTo(20001);
    EXPECT_EQ(FileNames(folder), (std::vector<std::string>{"rot.log", "rot_0.log", "rot_1.log"}));
    EXPECT_EQ(ReadTextFile(folder.File("rot_0.log")), Numbered(1, 10000));
    EXPECT_EQ(ReadTextFile(folder.File("rot_1.log")), Numbered(10001, 20000));
    EXPECT_EQ(ReadTextFile(folder.File("rot.log")), Numbered(20001, 20001));
}

TEST(LoggerRotation, CopiesOfATxtLogEndInLog)
{
    ScopedTempFolder folder;
    Logger logger(7);
    OpenLogger(logger, folder.File("trace.txt"));
    for (int i = 1; i <= 10001; ++i)
        logger.Write("", "line " + std::to_string(i), LibLogging::LOG_PLAIN);
    EXPECT_EQ(FileNames(folder), (std::vector<std::string>{"trace.txt", "trace_0.log"}));
    EXPECT_EQ(ReadTextFile(folder.File("trace_0.log")), Numbered(1, 10000));
}

TEST(LoggerRotation, FailedCopyKeepsTheLines)
{
    ScopedTempFolder folder;
    Logger logger(7);
    OpenLogger(logger, folder.File("keep.log"));
    // A folder in the copy's place makes the copy fail.
    std::filesystem::create_directory(folder.File("keep_0.log"));
    for (int i = 1; i <= 10001; ++i)
        logger.Write("", "line " + std::to_string(i), LibLogging::LOG_PLAIN);
    EXPECT_EQ(ReadTextFile(folder.File("keep.log")), Numbered(1, 10001));
}

TEST(LoggerPath, LogGoesToTheNamedFileWithHashAAsTheThreadId)
{
    const std::string id = std::to_string(platform::CurrentThreadId());
    const std::pair<std::string, std::string> cases[] = {{"plain", "plain.log"},
                                                         {"trace.txt", "trace.txt"},
                                                         {"t#a-#a", "t" + id + "-" + id + ".log"}};
    for (const auto& [given, file] : cases)
    {
        SCOPED_TRACE(given);
        ScopedTempFolder folder;
        Logger logger(7);
        OpenLogger(logger, folder.File(given));
        EXPECT_EQ(logger.LogPath(), folder.File(file));
        logger.Message("m");
        EXPECT_EQ(FileNames(folder), std::vector<std::string>{file});
        EXPECT_EQ(ReadLines(folder.File(file)).size(), 1u);
    }
}

TEST(LoggerOpen, MovesEarlierFilesAside)
{
    ScopedTempFolder folder;
    WriteTextFile(folder.File("old.log"), "previous run\r\n");
    WriteTextFile(folder.File("old_0.log"), "copy zero\r\n");
    WriteTextFile(folder.File("old_1.log"), "copy one\r\n");
    WriteTextFile(folder.File("old_3.log"), "copy three\r\n");
    Logger logger(7);
    OpenLogger(logger, folder.File("old.log"));

    const std::string stamp = R"(_\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2})";
    const struct
    {
        std::regex name;
        std::string content;
    } expected[] = {
        {std::regex("old.log"), ""},
        {std::regex("old_0" + stamp + "\\.log"), "copy zero\r\n"},
        {std::regex("old_1" + stamp + "\\.log"), "copy one\r\n"},
        {std::regex("old_3.log"), "copy three\r\n"},
        {std::regex("old" + stamp + "\\.log"), "previous run\r\n"},
    };
    const auto names = FileNames(folder);
    ASSERT_EQ(names.size(), std::size(expected));
    for (const auto& e : expected)
    {
        const auto found =
            std::find_if(names.begin(), names.end(),
                         [&](const std::string& n) { return std::regex_match(n, e.name); });
        ASSERT_NE(found, names.end()) << e.content;
        EXPECT_EQ(ReadTextFile(folder.File(*found)), e.content) << *found;
    }
}

TEST(LoggerOpen, AnEarlierFileThatCannotBeCopiedAsideKeepsItsLines)
{
    ScopedTempFolder folder;
    WriteTextFile(folder.File("kept.log"), ": previous run\r\n");
    // Links into a missing folder stand where the copy would go for the next few seconds, so
    // the copy cannot be created.
    const std::time_t now = std::time(nullptr);
    for (std::time_t second = now; second < now + 5; ++second)
    {
        const std::string stamp =
            FormatLocalTime(second, "%Y-%m-%d") + "_" + FormatLocalTime(second, "%H-%M-%S");
        std::filesystem::create_symlink(folder.File("missing/copy"),
                                        folder.File("kept_" + stamp + ".log"));
    }
    Logger logger(7);
    OpenLogger(logger, folder.File("kept.log"));
    logger.Write("", "this run", LibLogging::LOG_PLAIN);
    EXPECT_EQ(ReadTextFile(folder.File("kept.log")), ": previous run\r\n: this run\r\n");
}

TEST(LoggerThreads, FourWritersLoseAndTearNoLine)
{
    constexpr int kThreads = 4;
    constexpr int kLines = 6000;
    ScopedTempFolder folder;
    Logger logger(7);
    OpenLogger(logger, folder.File("mt.log"));
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back(
            [&logger, t]
            {
                for (int i = 0; i < kLines; ++i)
                    logger.Message("writer " + std::to_string(t) + " line " + std::to_string(i));
            });
    for (auto& writer : writers)
        writer.join();

    const std::regex line(kTime + R"(      MESSAGE \(\d+\): writer (\d) line (\d+))");
    std::vector<std::vector<int>> seen(kThreads);
    const struct
    {
        const char* name;
        size_t lines;
    } files[] = {{"mt_0.log", 10000}, {"mt_1.log", 10000}, {"mt.log", 4000}};
    for (const auto& file : files)
    {
        const auto lines = ReadLines(folder.File(file.name));
        EXPECT_EQ(lines.size(), file.lines) << file.name;
        for (const auto& text : lines)
        {
            std::smatch match;
            ASSERT_TRUE(std::regex_match(text, match, line)) << text;
            seen[std::stoi(match[1])].push_back(std::stoi(match[2]));
        }
    }
    for (int t = 0; t < kThreads; ++t)
    {
        ASSERT_EQ(seen[t].size(), static_cast<size_t>(kLines)) << t;
        for (int i = 0; i < kLines; ++i)
            EXPECT_EQ(seen[t][i], i) << "writer " << t;
    }
}

TEST(LoggerDebugOutput, EveryLineGoesToTheDebugger)
{
    DebugCapture capture;
    ScopedTempFolder folder;
    Logger logger(7);
    OpenLogger(logger, folder.File("dbg.log"));
    logger.Error("first");
    logger.Write("", "second", LibLogging::LOG_PLAIN);
    const auto texts = capture.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0] + texts[1], ReadTextFile(folder.File("dbg.log")));
    EXPECT_EQ(texts[1], ": second\r\n");
}

TEST(LoggerDebugOutput, OtherWritersGoOnWhileALineIsWithTheDebugger)
{
    ScopedTempFolder folder;
    const std::string path = folder.File("slow.log");
    Logger logger(7);
    OpenLogger(logger, path);
    bool firstLine = true;
    bool otherWriterGotThrough = false;
    std::thread other;
    // A debugger slow to take the first line: meanwhile a second thread's line reaches the file.
    platform::SetDebugOutputSink(
        [&](const std::string&)
        {
            if (!std::exchange(firstLine, false))
                return;
            other = std::thread([&] { logger.Write("", "second", LibLogging::LOG_PLAIN); });
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (!otherWriterGotThrough && std::chrono::steady_clock::now() < deadline)
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                otherWriterGotThrough = ReadTextFile(path).find(": second") != std::string::npos;
            }
        });
    logger.Write("", "first", LibLogging::LOG_PLAIN);
    other.join();
    platform::SetDebugOutputSink({});
    EXPECT_TRUE(otherWriterGotThrough);
    EXPECT_EQ(ReadTextFile(path), ": first\r\n: second\r\n");
}

TEST(LoggerDisabled, NeverOpenedNotEnabledOrUnopenableWritesNothingAnywhere)
{
    DebugCapture capture;
    ScopedTempFolder folder;
    {
        Logger neverOpened(7);
        neverOpened.enabled = true;
        neverOpened.Error("dropped");
        neverOpened.Write("", "dropped", LibLogging::LOG_PLAIN);

        Logger unopenable(7);
        OpenLogger(unopenable, folder.File("missing/sub/x.log"));
        unopenable.Error("dropped");
    }
    EXPECT_TRUE(FileNames(folder).empty());

    Logger notEnabled(7);
    notEnabled.Init(folder.File("off.log"));
    notEnabled.Error("dropped");
    notEnabled.Debug("dropped");
    EXPECT_EQ(ReadTextFile(folder.File("off.log")), "");
    EXPECT_TRUE(capture.Texts().empty());
}
} // namespace
