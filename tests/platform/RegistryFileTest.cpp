#include "platform/Registry.h"
#include "platform/RegistryFormat.h"
#include "tests/platform/RegistryTestFiles.h"
#include "tests/platform/ScopedEnvironment.h"
#include "tests/platform/ScopedTempFolder.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;

// A file as a person might write it: LF and CRLF lines, a byte-order mark, comments, blank lines,
// indentation, values broken over lines, another hive's section, lines that mean nothing.
constexpr char kHandWritten[] =
    "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; the program's settings\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client\\Trace]\r\n"
    "\"LogLevel\"=dword:5\r\n"
    "  \"Filename\" = \"C:\\\\Logs\\\\q\"\n"
    "\"Quoted\"=\"say \\\"hi\\\"\"\n"
    "\"Blob\"=hex:01,02,\\\r\n"
    "    03,04\r\n"
    "\"Wide\"=hex(b):01,00,00,00,\\\n"
    "  00,00,00,00\n"
    "@=\"default\"\n"
    "this line means nothing\n"
    "\"Broken\"=dword:xyz\n"
    "\"Unclosed\"=\"no end\n"
    "\"Trailing\"=\"text\" junk\n"
    "; a comment that looks continued,\\\n"
    "\"AfterComment\"=dword:00000002\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client\n"
    "\"Language\"=dword:00000058\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Other]\n"
    "\"Elsewhere\"=\"user\"\n"
    "[hkey_local_machine\\SOFTWARE\\corvane gmbh\\quendry client\\trace]\n"
    "\"LogMode\"=dword:00000001\n"
    "\"LogLevel\"=dword:00000007\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Deep\\Only\\Leaf]\n"
    "\"Leaf\"=hex(2):25,00\n";

struct Expected
{
    const char* key;
    const char* name;
    std::optional<uint32_t> type; // nullopt: the value must not exist
    Bytes data;
};

// Prints the value's path, so that a listing of the tests is the same in every build.
void PrintTo(const Expected& expected, std::ostream* os)
{
    *os << expected.key << '\\' << expected.name;
}

class RegistryFileTest : public testing::TestWithParam<Expected>
{
protected:
    void SetUp() override
    {
        environment_.Set("QUENDRY_REGISTRY_DIR", folder_.Path().string());
        WriteTextFile(folder_.File("HKEY_LOCAL_MACHINE.reg"), kHandWritten);
    }

    ScopedTempFolder folder_;
    ScopedEnvironment environment_;
};

TEST_P(RegistryFileTest, ReadsTheHandWrittenFile)
{
    const Expected& expected = GetParam();
    platform::RegistryHandle handle = nullptr;
    ASSERT_EQ(platform::RegistryOpenKey(platform::RegistryHive::LocalMachine, expected.key,
                                        platform::kKeyRead, &handle),
              0u);
    platform::UniqueRegistryKey key(handle);
    uint32_t type = 0;
    unsigned char data[64] = {};
    uint32_t size = sizeof(data);
    const uint32_t result =
        platform::RegistryQueryValue(key.get(), expected.name, &type, data, &size);
    if (!expected.type)
    {
        EXPECT_EQ(result, platform::kRegistryNotFound);
        return;
    }
    ASSERT_EQ(result, 0u);
    EXPECT_EQ(type, *expected.type);
    EXPECT_EQ(Bytes(data, data + size), expected.data);
}

const char kTrace[] = "Software\\Corvane GmbH\\Quendry Client\\Trace";

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryFileTest,
    testing::Values(
        // The later section of the same key wins.
        Expected{kTrace, "LogLevel", platform::kRegDword, {7, 0, 0, 0}},
        Expected{kTrace, "LogMode", platform::kRegDword, {1, 0, 0, 0}},
        Expected{kTrace,
                 "Filename",
                 platform::kRegSz,
                 {'C', ':', '\\', 'L', 'o', 'g', 's', '\\', 'q', 0}},
        Expected{kTrace, "Quoted", platform::kRegSz, {'s', 'a', 'y', ' ', '"', 'h', 'i', '"', 0}},
        Expected{kTrace, "Blob", platform::kRegBinary, {1, 2, 3, 4}},
        Expected{kTrace, "Wide", platform::kRegQword, {1, 0, 0, 0, 0, 0, 0, 0}},
        Expected{kTrace, "", platform::kRegSz, {'d', 'e', 'f', 'a', 'u', 'l', 't', 0}},
        Expected{kTrace, "Broken", std::nullopt, {}},
        Expected{kTrace, "Unclosed", std::nullopt, {}},
        Expected{kTrace, "Trailing", std::nullopt, {}},
        Expected{kTrace, "Elsewhere", std::nullopt, {}},
        Expected{kTrace, "AfterComment", platform::kRegDword, {2, 0, 0, 0}},
        // Below a header without its "]": in no key, not even the one before it.
        Expected{kTrace, "Language", std::nullopt, {}},
        Expected{"Software\\Corvane GmbH\\Quendry Client", "Language", std::nullopt, {}},
        Expected{"Software\\Deep\\Only\\Leaf", "Leaf", platform::kRegExpandSz, {0x25, 0}},
        // Keys above a section exist without sections of their own.
        Expected{"Software\\Deep", "Leaf", std::nullopt, {}}));

// Whatever a file holds, its parse is stable: writing it out and reading it again changes nothing.
// Every prefix of the hand-written file is such a file.
TEST(RegistryFormatTest, EveryPrefixParsesAndSurvivesARoundTrip)
{
    const std::string text = kHandWritten;
    for (size_t length = 0; length <= text.size(); ++length)
    {
        const platform::regfile::HiveRecord first =
            platform::regfile::ParseHive(text.substr(0, length), "HKEY_LOCAL_MACHINE");
        const std::string written = platform::regfile::FormatHive(first, "HKEY_LOCAL_MACHINE");
        const std::string rewritten = platform::regfile::FormatHive(
            platform::regfile::ParseHive(written, "HKEY_LOCAL_MACHINE"), "HKEY_LOCAL_MACHINE");
        ASSERT_EQ(rewritten, written) << "prefix of " << length << " bytes";
    }
}

TEST(RegistryFileRewriteTest, AChangeRewritesTheFileInExportFormat)
{
    ScopedTempFolder folder;
    ScopedEnvironment environment;
    environment.Set("QUENDRY_REGISTRY_DIR", folder.Path().string());
    WriteTextFile(folder.File("HKEY_LOCAL_MACHINE.reg"),
                  "; comment\n[HKEY_LOCAL_MACHINE\\Software\\A]\n\"x\"=dword:1\n");

    platform::RegistryHandle handle = nullptr;
    ASSERT_EQ(platform::RegistryCreateKey(platform::RegistryHive::LocalMachine, "Software\\a\\B",
                                          platform::kKeyWrite, &handle),
              0u);
    platform::UniqueRegistryKey key(handle);
    const unsigned char text[] = "v";
    ASSERT_EQ(platform::RegistrySetValue(key.get(), "y", platform::kRegSz, text, sizeof(text)), 0u);

    EXPECT_EQ(ReadTextFile(folder.File("HKEY_LOCAL_MACHINE.reg")),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n\"x\"=dword:00000001\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\A\\B]\r\n\"y\"=\"v\"\r\n\r\n");
}

// Each line that cannot be read is listed by the number it has in the file, continued values
// before it counted line by line; comments, the header and another hive's section are not.
TEST(RegistryFormatTest, ListsEveryUnreadableLineByItsNumber)
{
    std::vector<platform::regfile::NumberedLine> unreadable;
    platform::regfile::ParseHive(kHandWritten, "HKEY_LOCAL_MACHINE", &unreadable);
    std::vector<std::string> listed;
    for (const auto& line : unreadable)
        listed.push_back(std::to_string(line.number) + ": " + line.text);
    EXPECT_EQ(listed, (std::vector<std::string>{
                          "13: this line means nothing", "14: \"Broken\"=dword:xyz",
                          "15: \"Unclosed\"=\"no end", "16: \"Trailing\"=\"text\" junk",
                          "19: [HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client"}));
}

// Lines 1 to 6, none of them worth a word; line 7 is the first of each case's own.
const std::string kTop = "Windows Registry Editor Version 5.00\r\n"
                         "\r\n"
                         "; settings\r\n"
                         "[HKEY_LOCAL_MACHINE\\Q]\r\n"
                         "\"Blob\"=hex:01,\\\r\n"
                         "  02\r\n";

struct ParseCase
{
    const char* name;
    std::string text;
    std::vector<std::string> warned; // "number: line"
    std::vector<std::string> stored; // "key\name" of every value in the hive
};

void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << c.name;
}

// One unreadable line in a readable key: only that line is told, and nothing of it is stored.
ParseCase BadValue(const char* name, const std::string& line)
{
    return ParseCase{name, kTop + line + "\n", {"7: " + line}, {"Q\\Blob"}};
}

class UnreadableLineTest : public testing::TestWithParam<ParseCase>
{
};

TEST_P(UnreadableLineTest, ListsEachUnreadableLineAndStoresNothingOfIt)
{
    std::vector<platform::regfile::NumberedLine> unreadable;
    const platform::regfile::HiveRecord hive =
        platform::regfile::ParseHive(GetParam().text, "HKEY_LOCAL_MACHINE", &unreadable);
    std::vector<std::string> warned;
    for (const auto& line : unreadable)
        warned.push_back(std::to_string(line.number) + ": " + line.text);
    std::vector<std::string> stored;
    for (const auto& [folded, key] : hive)
        for (const auto& value : key.values)
            stored.push_back(key.path + "\\" + value.name);
    EXPECT_EQ(warned, GetParam().warned);
    EXPECT_EQ(stored, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UnreadableLineTest,
    testing::Values(
        BadValue("UnclosedQuote", "\"Language\"=\"de"),
        BadValue("BadDigit", "\"Language\"=dword:0000000x"),
        BadValue("NineDigits", "\"Language\"=dword:123456789"),
        BadValue("BadHexList", "\"Language\"=hex(4):01,234"),
        BadValue("NoEquals", "\"Language\" dword:00000001"),
        // A continued value counts at its first line, and the lines after it keep their numbers.
        ParseCase{"ContinuedValueAndJunk",
                  kTop + "\"Language\"=hex:01,\\\n  0x\nLanguage is German\n",
                  {"7: \"Language\"=hex:01,0x", "9: Language is German"},
                  {"Q\\Blob"}},
        ParseCase{"ValueBeforeAnyHeader",
                  "\"Language\"=dword:00000001\n[HKEY_LOCAL_MACHINE\\Q]\n",
                  {"1: \"Language\"=dword:00000001"},
                  {}},
        // Values below a broken header go nowhere, not into the key before it.
        ParseCase{"BrokenHeader",
                  kTop + "[HKEY_LOCAL_MACHINE\\Q\\Client\n\"Language\"=dword:00000007\n"
                         "[HKEY_LOCAL_MACHINE\\Later]\n\"Language\"=dword:00000009\n",
                  {"7: [HKEY_LOCAL_MACHINE\\Q\\Client"},
                  {"Later\\Language", "Q\\Blob"}},
        ParseCase{"ReadableFile",
                  "REGEDIT4\n\n; comment\n[HKEY_CURRENT_USER\\Other]\n\"Elsewhere\"=dword:zz\n"
                  "nonsense\n" +
                      kTop,
                  {},
                  {"Q\\Blob"}}),
    [](const testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

// Every operation reads the file again; a file's text is told about once, and again once changed.
TEST(RegistryFileWarningTest, TellsEachUnreadableTextOnceWithTheFileAndLine)
{
    ScopedTempFolder folder;
    ScopedEnvironment environment;
    environment.Set("QUENDRY_REGISTRY_DIR", folder.Path().string());
    const std::string path = folder.File("HKEY_LOCAL_MACHINE.reg");
    const std::string badValue = "[HKEY_LOCAL_MACHINE\\Q]\n\"LogLevel\"=dword:0000000x\n";
    const std::string badHeader = "\n[HKEY_LOCAL_MACHINE\\Q\n";
    const std::string readable = "[HKEY_LOCAL_MACHINE\\Q]\n";

    testing::internal::CaptureStderr();
    for (const std::string& text : {badValue, badValue, badHeader, readable, badHeader})
    {
        WriteTextFile(path, text);
        platform::RegistryHandle handle = nullptr;
        EXPECT_EQ(platform::RegistryOpenKey(platform::RegistryHive::LocalMachine, "",
                                            platform::kKeyRead, &handle),
                  0u);
        platform::UniqueRegistryKey key(handle);
    }
    const std::string told = "cannot read this line, it is skipped: ";
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              path + ":2: " + told + "\"LogLevel\"=dword:0000000x\n" + //
                  path + ":2: " + told + "[HKEY_LOCAL_MACHINE\\Q\n" +  //
                  path + ":2: " + told + "[HKEY_LOCAL_MACHINE\\Q\n");
}

// The client's settings as the registry editor exports them: its keys without the ones above.
const std::string kUserExport =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Corvane GmbH]\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Corvane GmbH\\Quendry Client]\r\n"
    "\"Language\"=dword:00000058\r\n"
    "\"Owner\"=\"Jörg Weiß 𝄞\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Corvane GmbH\\Quendry Client\\Trace]\r\n"
    "\"Filename\"=\"C:\\\\Users\\\\Jörg\\\\Logs\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Corvane GmbH\\Quendry Client Tools]\r\n"
    "\"Blob\"=hex:01,02\r\n"
    "\r\n";
const char kClient[] = "Software\\Corvane GmbH\\Quendry Client";

// The export after "Language" was set to English through the store: every line stays where it
// was, and the key above the exported ones is written too.
std::string EnglishExport()
{
    std::string text = kUserExport;
    text.replace(text.find("dword:00000058"), 14, "dword:00000039");
    return text.insert(text.find("[HKEY"), "[HKEY_CURRENT_USER\\Software]\r\n\r\n");
}

struct EncodingCase
{
    const char* name;
    std::string file;
    std::string changed;
};

void PrintTo(const EncodingCase& c, std::ostream* os)
{
    *os << c.name;
}

class RegistryEncodingTest : public testing::TestWithParam<EncodingCase>
{
protected:
    void SetUp() override { environment_.Set("QUENDRY_REGISTRY_DIR", folder_.Path().string()); }

    ScopedTempFolder folder_;
    ScopedEnvironment environment_;
};

Bytes Query(const platform::UniqueRegistryKey& key, const std::string& name)
{
    unsigned char data[64] = {};
    uint32_t size = sizeof(data);
    EXPECT_EQ(platform::RegistryQueryValue(key.get(), name, nullptr, data, &size), 0u) << name;
    return Bytes(data, data + size);
}

// Reads the client's values from the user's hive and sets the language to English.
void SetEnglish()
{
    platform::RegistryHandle handle = nullptr;
    ASSERT_EQ(platform::RegistryOpenKey(platform::RegistryHive::CurrentUser, kClient,
                                        platform::kKeyRead | platform::kKeyWrite, &handle),
              0u);
    platform::UniqueRegistryKey key(handle);
    EXPECT_EQ(Query(key, "Language"), (Bytes{0x58, 0, 0, 0}));
    const std::string owner = "Jörg Weiß 𝄞";
    Bytes ownerText(owner.begin(), owner.end());
    ownerText.push_back(0);
    EXPECT_EQ(Query(key, "Owner"), ownerText);

    const unsigned char english[] = {0x39, 0, 0, 0};
    EXPECT_EQ(platform::RegistrySetValue(key.get(), "Language", platform::kRegDword, english,
                                         sizeof(english)),
              0u);
}

TEST_P(RegistryEncodingTest, ReadsTheFileAndWritesItBackInItsEncodingWithEveryLine)
{
    const std::string path = folder_.File("HKEY_CURRENT_USER.reg");
    WriteTextFile(path, GetParam().file);
    testing::internal::CaptureStderr();
    SetEnglish();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "every line is readable";
    EXPECT_EQ(ReadTextFile(path), GetParam().changed);
}

INSTANTIATE_TEST_SUITE_P(Files, RegistryEncodingTest,
                         testing::Values(EncodingCase{"Utf16LeExport", Utf16LeFile(kUserExport),
                                                      Utf16LeFile(EnglishExport())},
                                         EncodingCase{"Utf8", kUserExport, EnglishExport()}),
                         [](const testing::TestParamInfo<EncodingCase>& info)
                         { return info.param.name; });

// A name that is no UTF-8 text has no UTF-16 form: the change is refused, the file kept.
TEST(RegistryEncodingRefusalTest, ANameThatIsNoTextLeavesAUtf16FileAsItWas)
{
    ScopedTempFolder folder;
    ScopedEnvironment environment;
    environment.Set("QUENDRY_REGISTRY_DIR", folder.Path().string());
    const std::string path = folder.File("HKEY_CURRENT_USER.reg");
    WriteTextFile(path, Utf16LeFile(kUserExport));
    platform::RegistryHandle handle = nullptr;
    ASSERT_EQ(platform::RegistryOpenKey(platform::RegistryHive::CurrentUser, kClient,
                                        platform::kKeyWrite, &handle),
              0u);
    platform::UniqueRegistryKey key(handle);
    const unsigned char one[] = {1, 0, 0, 0};
    EXPECT_EQ(
        platform::RegistrySetValue(key.get(), "Gr\xFC\xDF", platform::kRegDword, one, sizeof(one)),
        platform::kRegistryInvalidParameter);
    EXPECT_EQ(ReadTextFile(path), Utf16LeFile(kUserExport));
}

const std::string kReadable =
    "[HKEY_LOCAL_MACHINE\\Software\\Q]\r\n\"Language\"=dword:00000058\r\n";

class UnreadableStoreFileTest : public testing::TestWithParam<UnreadableFile>
{
};

TEST_P(UnreadableStoreFileTest, IsNamedWithTheReasonOnceAndNeitherReadNorWritten)
{
    ScopedTempFolder folder;
    ScopedEnvironment environment;
    environment.Set("QUENDRY_REGISTRY_DIR", folder.Path().string());
    const std::string path = folder.File("HKEY_LOCAL_MACHINE.reg");
    WriteTextFile(path, kReadable);
    platform::RegistryHandle handle = nullptr;
    ASSERT_EQ(platform::RegistryOpenKey(platform::RegistryHive::LocalMachine, "Software\\Q",
                                        platform::kKeyRead | platform::kKeyWrite, &handle),
              0u);
    platform::UniqueRegistryKey key(handle);
    GetParam().spoil(path);
    const std::string before = Snapshot(path);

    testing::internal::CaptureStderr();
    {
        const ObeyFileModes obey;
        platform::RegistryHandle again = nullptr;
        EXPECT_EQ(platform::RegistryOpenKey(platform::RegistryHive::LocalMachine, "Software\\Q",
                                            platform::kKeyRead, &again),
                  platform::kRegistryAccessDenied);
        uint32_t size = 0;
        EXPECT_EQ(platform::RegistryQueryValue(key.get(), "Language", nullptr, nullptr, &size),
                  platform::kRegistryAccessDenied);
        const unsigned char one[] = {1, 0, 0, 0};
        EXPECT_EQ(platform::RegistrySetValue(key.get(), "Language", platform::kRegDword, one,
                                             sizeof(one)),
                  platform::kRegistryAccessDenied);
        EXPECT_EQ(platform::RegistryCreateKey(platform::RegistryHive::LocalMachine, "Software\\New",
                                              platform::kKeyWrite, &again),
                  platform::kRegistryAccessDenied);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              path + ": cannot read this file, it is neither used nor changed: " +
                  GetParam().reason + "\n");
    EXPECT_EQ(Snapshot(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1)
        << "nothing was left beside it";
}

// The two halves of a UTF-16 surrogate pair, each on its own.
const std::string kFirstHalf = "\x3D\xD8";
const std::string kSecondHalf = "\x1E\xDD";

std::vector<UnreadableFile> UnreadableFiles()
{
    std::vector<UnreadableFile> files = SpoiledByTheUser();
    files.push_back({"FirstHalfAtTheEnd",
                     [](const std::string& path)
                     { WriteTextFile(path, Utf16LeFile(kReadable) + kFirstHalf); },
                     "a broken UTF-16 surrogate pair at byte " +
                         std::to_string(Utf16LeFile(kReadable).size())});
    files.push_back(
        {"FirstHalfBeforeALetter",
         [](const std::string& path)
         { WriteTextFile(path, Utf16LeFile("[") + kFirstHalf + Utf16LeFile("]").substr(2)); },
         "a broken UTF-16 surrogate pair at byte 4"});
    files.push_back({"SecondHalfAlone",
                     [](const std::string& path)
                     { WriteTextFile(path, Utf16LeFile("[") + kSecondHalf); },
                     "a broken UTF-16 surrogate pair at byte 4"});
    return files;
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadableStoreFileTest, testing::ValuesIn(UnreadableFiles()),
                         [](const testing::TestParamInfo<UnreadableFile>& info)
                         { return info.param.name; });
} // namespace
