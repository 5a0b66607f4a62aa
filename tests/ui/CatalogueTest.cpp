// The English catalogue covers exactly the texts the user interface marks for translation.
#include "tests/platform/ScopedTempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>

namespace
{
const std::filesystem::path Source(QUENDRY_SOURCE_DIR);

std::set<std::string> MarkedTexts()
{
    const std::regex marked(R"re((?:\b_|wxTRANSLATE)\(L"([^"]*)"\))re");
    std::set<std::string> texts;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Source / "ui"))
    {
        if (entry.path().extension() != ".cpp")
            continue;
        const std::string code = ReadTextFile(entry.path().string());
        for (std::sregex_iterator match(code.begin(), code.end(), marked), end; match != end;
             ++match)
            texts.insert((*match)[1]);
    }
    return texts;
}

std::set<std::string> CatalogueIds(const std::string& po)
{
    const std::regex id(R"re(^msgid "(.+)"$)re");
    std::set<std::string> ids;
    std::istringstream lines(po);
    std::string line;
    while (std::getline(lines, line))
    {
        std::smatch match;
        if (std::regex_match(line, match, id))
            ids.insert(match[1]);
    }
    return ids;
}
} // namespace

TEST(Catalogue, EnglishTranslatesEveryMarkedTextAndNothingElse)
{
    const std::set<std::string> marked = MarkedTexts();
    ASSERT_GT(marked.size(), 20u);
    EXPECT_EQ(CatalogueIds(ReadTextFile((Source / "ui/i18n/en.po").string())), marked);
    // The unblock failure text is shown untranslated on purpose.
    EXPECT_EQ(marked.count("Fehler beim PIN entsperren!"), 0u);
}
