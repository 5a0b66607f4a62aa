#include "core/logging/AppLogPath.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{
TEST(AppLogPathWindows, TheFolderOrTheFolderOfALogName)
{
    const std::string stamp = R"(QuendryCards_\d{4}-\d{2}-\d{2}-\d{2}-\d{2}-\d{2}\.log)";
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\x\\a.LOG", R"(C:\\x\\)"},
        {"C:\\x\\logs", R"(C:\\x\\logs\\)"},
        {"C:\\x\\logs\\", R"(C:\\x\\logs\\)"},
        {"C:\\x\\q.d", R"(C:\\x\\q\.d\\)"},
    };
    for (const auto& c : cases)
    {
        const std::string path = AppLogPath(c.first);
        EXPECT_TRUE(std::regex_match(path, std::regex(c.second + stamp)))
            << c.first << " -> " << path;
    }
}
} // namespace
