#include "platform/Registry.h"
#include "tests/platform/ScopedEnvironment.h"
#include "tests/platform/ScopedTempFolder.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace
{
using platform::RegistryHive;
using platform::UniqueRegistryKey;
using Bytes = std::vector<unsigned char>;

constexpr RegistryHive kMachine = RegistryHive::LocalMachine;
constexpr char kHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";

Bytes Text(const std::string& text)
{
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

class RegistryTest : public testing::Test
{
protected:
    void SetUp() override { environment_.Set("QUENDRY_REGISTRY_DIR", folder_.Path().string()); }

    std::string StoreFile(const char* hive = "HKEY_LOCAL_MACHINE") const
    {
        return folder_.File(std::string(hive) + ".reg");
    }

    UniqueRegistryKey Create(const std::string& path,
                             uint32_t access = platform::kKeyWrite | platform::kKeyRead,
                             RegistryHive hive = kMachine)
    {
        platform::RegistryHandle handle = nullptr;
        EXPECT_EQ(platform::RegistryCreateKey(hive, path, access, &handle), 0u) << path;
        return UniqueRegistryKey(handle);
    }

    uint32_t Open(const std::string& path, UniqueRegistryKey& key,
                  uint32_t access = platform::kKeyRead, RegistryHive hive = kMachine)
    {
        platform::RegistryHandle handle = nullptr;
        const uint32_t result = platform::RegistryOpenKey(hive, path, access, &handle);
        key.reset(handle);
        return result;
    }

    static uint32_t Set(const UniqueRegistryKey& key, const std::string& name, uint32_t type,
                        const Bytes& data)
    {
        return platform::RegistrySetValue(key.get(), name, type, data.data(),
                                          static_cast<uint32_t>(data.size()));
    }

    // Reads a value whole: first its size, then its data.
    static uint32_t Query(const UniqueRegistryKey& key, const std::string& name, uint32_t& type,
                          Bytes& data)
    {
        uint32_t size = 0;
        uint32_t result = platform::RegistryQueryValue(key.get(), name, &type, nullptr, &size);
        if (result != 0)
            return result;
        data.assign(size, 0xEE);
        result = platform::RegistryQueryValue(key.get(), name, &type, data.data(), &size);
        data.resize(size);
        return result;
    }

    static std::vector<std::string> SubKeyNames(const UniqueRegistryKey& key)
    {
        std::vector<std::string> names;
        for (uint32_t index = 0;; ++index)
        {
            char name[260];
            uint32_t size = sizeof(name);
            const uint32_t result = platform::RegistryEnumKey(key.get(), index, name, &size);
            if (result == platform::kRegistryNoMoreItems)
                return names;
            EXPECT_EQ(result, 0u);
            if (result != 0)
                return names;
            names.emplace_back(name, size);
        }
    }

    ScopedTempFolder folder_;
    ScopedEnvironment environment_;
};

struct TypedValue
{
    const char* name;
    uint32_t type;
    Bytes data;
    const char* line; // as the store writes it
};

// Prints the value's line, so that a listing of the tests is the same in every build.
void PrintTo(const TypedValue& value, std::ostream* os)
{
    *os << value.line;
}

class RegistryValueTypeTest : public RegistryTest, public testing::WithParamInterface<TypedValue>
{
};

TEST_P(RegistryValueTypeTest, StoredInExportFormatAndReadBackExactly)
{
    const TypedValue& value = GetParam();
    {
        UniqueRegistryKey key = Create("Software\\Corvane GmbH\\Quendry Client");
        ASSERT_EQ(Set(key, value.name, value.type, value.data), 0u);
    }
    EXPECT_EQ(ReadTextFile(StoreFile()),
              std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n" +
                  "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH]\r\n\r\n" +
                  "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client]\r\n" + value.line +
                  "\r\n\r\n");

    UniqueRegistryKey key;
    ASSERT_EQ(Open("Software\\Corvane GmbH\\Quendry Client", key), 0u);
    uint32_t type = 0;
    Bytes data;
    ASSERT_EQ(Query(key, value.name, type, data), 0u);
    EXPECT_EQ(type, value.type);
    EXPECT_EQ(data, value.data);
}

INSTANTIATE_TEST_SUITE_P(
    Types, RegistryValueTypeTest,
    testing::Values(
        TypedValue{"Version", platform::kRegSz, Text("1.2.3"), "\"Version\"=\"1.2.3\""},
        TypedValue{"", platform::kRegSz, Text("default"), "@=\"default\""},
        TypedValue{"Path", platform::kRegSz, Text("C:\\Program \"Q\""),
                   "\"Path\"=\"C:\\\\Program \\\"Q\\\"\""},
        TypedValue{"Na\"me\\", platform::kRegSz, Text(""), "\"Na\\\"me\\\\\"=\"\""},
        TypedValue{"LogLevel", platform::kRegDword, {0x0a, 0, 0, 0}, "\"LogLevel\"=dword:0000000a"},
        TypedValue{"Big", platform::kRegDword, {0x78, 0x56, 0x34, 0xf2}, "\"Big\"=dword:f2345678"},
        TypedValue{"Blob", platform::kRegBinary, {0x01, 0x02, 0xff}, "\"Blob\"=hex:01,02,ff"},
        TypedValue{"Empty", platform::kRegBinary, {}, "\"Empty\"=hex:"},
        TypedValue{"Wide",
                   platform::kRegQword,
                   {1, 0, 0, 0, 0, 0, 0, 0x80},
                   "\"Wide\"=hex(b):01,00,00,00,00,00,00,80"},
        // Data the readable forms cannot carry is kept byte for byte.
        TypedValue{"Short", platform::kRegDword, {5, 0}, "\"Short\"=hex(4):05,00"},
        TypedValue{"NoZero", platform::kRegSz, {'a', 'b'}, "\"NoZero\"=hex(1):61,62"},
        TypedValue{"Inner", platform::kRegSz, {'a', 0, 'b', 0}, "\"Inner\"=hex(1):61,00,62,00"},
        TypedValue{"Lines", platform::kRegSz, Text("a\r\nb"), "\"Lines\"=hex(1):61,0d,0a,62,00"},
        TypedValue{"Latin", platform::kRegSz, Text("\xE4"), "\"Latin\"=hex(1):e4,00"},
        TypedValue{"Multi", platform::kRegMultiSz, {'a', 0, 0}, "\"Multi\"=hex(7):61,00,00"}));

TEST_F(RegistryTest, QueryFollowsTheWindowsBufferRules)
{
    UniqueRegistryKey key = Create("Software\\Test");
    ASSERT_EQ(Set(key, "Name", platform::kRegSz, Text("twelve chars")), 0u);

    uint32_t type = 0;
    uint32_t size = 0;
    EXPECT_EQ(platform::RegistryQueryValue(key.get(), "Name", &type, nullptr, &size), 0u);
    EXPECT_EQ(type, platform::kRegSz);
    EXPECT_EQ(size, 13u);

    unsigned char small[4] = {};
    size = sizeof(small);
    EXPECT_EQ(platform::RegistryQueryValue(key.get(), "Name", nullptr, small, &size),
              platform::kRegistryMoreData);
    EXPECT_EQ(size, 13u);

    unsigned char exact[13] = {};
    size = sizeof(exact);
    EXPECT_EQ(platform::RegistryQueryValue(key.get(), "Name", nullptr, exact, &size), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(exact)), "twelve chars");

    EXPECT_EQ(platform::RegistryQueryValue(key.get(), "Missing", &type, nullptr, &size),
              platform::kRegistryNotFound);
    EXPECT_EQ(platform::RegistryQueryValue(key.get(), "Name", nullptr, exact, nullptr),
              platform::kRegistryInvalidParameter);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirFirstSpelling)
{
    {
        UniqueRegistryKey key = Create("Software\\Corvane GmbH");
        ASSERT_EQ(Set(key, "Value", platform::kRegSz, Text("first")), 0u);
        UniqueRegistryKey again = Create("SOFTWARE\\corvane gmbh");
        ASSERT_EQ(Set(again, "VALUE", platform::kRegSz, Text("second")), 0u);
    }
    UniqueRegistryKey key;
    ASSERT_EQ(Open("software\\CORVANE GMBH\\", key), 0u);
    uint32_t type = 0;
    Bytes data;
    ASSERT_EQ(Query(key, "vAlUe", type, data), 0u);
    EXPECT_EQ(data, Text("second"));

    UniqueRegistryKey software;
    ASSERT_EQ(Open("Software", software), 0u);
    EXPECT_EQ(SubKeyNames(software), std::vector<std::string>{"Corvane GmbH"});
    EXPECT_NE(ReadTextFile(StoreFile()).find("\"Value\"=\"second\""), std::string::npos);
}

TEST_F(RegistryTest, MissingKeysAndBadPaths)
{
    UniqueRegistryKey key;
    EXPECT_EQ(Open("Software\\Nowhere", key), platform::kRegistryNotFound);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(Open("\\Software", key), platform::kRegistryBadPathName);
    EXPECT_EQ(Open("Software\\\\Test", key), platform::kRegistryBadPathName);
    platform::RegistryHandle handle = nullptr;
    EXPECT_EQ(platform::RegistryCreateKey(kMachine, "\\Software", platform::kKeyWrite, &handle),
              platform::kRegistryBadPathName);
    EXPECT_FALSE(std::filesystem::exists(StoreFile()));
}

TEST_F(RegistryTest, EnumeratesSubKeysInWindowsOrder)
{
    for (const char* name : {"xyz", "abd", "Abc", "A_B", "AB", "Abc\\Deeper", "trail "})
        Create(std::string("Software\\Test\\") + name);
    UniqueRegistryKey key;
    ASSERT_EQ(Open("Software\\Test", key), 0u);
    // Windows sorts by the upper-case form, so "_" comes after the letters.
    EXPECT_EQ(SubKeyNames(key),
              (std::vector<std::string>{"AB", "Abc", "abd", "A_B", "trail ", "xyz"}));

    char name[3];
    uint32_t size = sizeof(name);
    EXPECT_EQ(platform::RegistryEnumKey(key.get(), 1, name, &size), platform::kRegistryMoreData);
    size = sizeof(name);
    EXPECT_EQ(platform::RegistryEnumKey(key.get(), 0, name, &size), 0u);
    EXPECT_EQ(size, 2u);
    EXPECT_STREQ(name, "AB");
    EXPECT_EQ(platform::RegistryEnumKey(key.get(), 6, name, &size), platform::kRegistryNoMoreItems);
}

TEST_F(RegistryTest, DeletesValuesAndKeysWithoutSubKeys)
{
    UniqueRegistryKey parent = Create("Software\\Test");
    UniqueRegistryKey child = Create("Software\\Test\\Child");
    Create("Software\\Test\\Child\\Grandchild");
    ASSERT_EQ(Set(child, "Value", platform::kRegDword, {1, 0, 0, 0}), 0u);

    EXPECT_EQ(platform::RegistryDeleteValue(child.get(), "VALUE"), 0u);
    EXPECT_EQ(platform::RegistryDeleteValue(child.get(), "Value"), platform::kRegistryNotFound);

    EXPECT_EQ(platform::RegistryDeleteKey(parent.get(), "Child"), platform::kRegistryAccessDenied);
    EXPECT_EQ(platform::RegistryDeleteKey(parent.get(), "Child\\Grandchild"), 0u);
    EXPECT_EQ(platform::RegistryDeleteKey(parent.get(), "Child\\Grandchild"),
              platform::kRegistryNotFound);
    EXPECT_EQ(platform::RegistryDeleteKey(parent.get(), "child"), 0u);

    UniqueRegistryKey gone;
    EXPECT_EQ(Open("Software\\Test\\Child", gone), platform::kRegistryNotFound);
    // A handle outlives its key, as on Windows, but every use of it fails.
    uint32_t size = 0;
    EXPECT_EQ(platform::RegistryQueryValue(child.get(), "Value", nullptr, nullptr, &size),
              platform::kRegistryKeyDeleted);
    EXPECT_EQ(Set(child, "Value", platform::kRegDword, {1, 0, 0, 0}),
              platform::kRegistryKeyDeleted);
}

TEST_F(RegistryTest, HandlesKeepTheRightsTheyWereOpenedWith)
{
    Create("Software\\Test\\Child");
    UniqueRegistryKey reader;
    ASSERT_EQ(Open("Software\\Test", reader, platform::kKeyRead), 0u);
    EXPECT_EQ(Set(reader, "Value", platform::kRegDword, {1, 0, 0, 0}),
              platform::kRegistryAccessDenied);
    EXPECT_EQ(platform::RegistryDeleteValue(reader.get(), "Value"),
              platform::kRegistryAccessDenied);

    UniqueRegistryKey writer = Create("Software\\Test", platform::kKeySetValue);
    char name[16];
    uint32_t size = sizeof(name);
    EXPECT_EQ(platform::RegistryEnumKey(writer.get(), 0, name, &size),
              platform::kRegistryAccessDenied);
    EXPECT_EQ(platform::RegistryQueryValue(writer.get(), "Value", nullptr, nullptr, &size),
              platform::kRegistryAccessDenied);
    EXPECT_EQ(platform::RegistryCloseKey(nullptr), platform::kRegistryInvalidHandle);
}

TEST_F(RegistryTest, AStoreThatCannotBeWrittenOrReadDeniesAccess)
{
    // The folder lies below a regular file, which stops even an administrator.
    const std::string blocker = folder_.File("not-a-folder");
    WriteTextFile(blocker, "x");
    environment_.Set("QUENDRY_REGISTRY_DIR", blocker + "/registry");
    UniqueRegistryKey key;
    EXPECT_EQ(Open("Software", key), platform::kRegistryNotFound);
    platform::RegistryHandle handle = nullptr;
    EXPECT_EQ(platform::RegistryCreateKey(kMachine, "Software\\Test", platform::kKeyWrite, &handle),
              platform::kRegistryAccessDenied);
    EXPECT_EQ(handle, nullptr);

    // A folder in the store file's place cannot be read.
    environment_.Set("QUENDRY_REGISTRY_DIR", folder_.Path().string());
    std::filesystem::create_directory(StoreFile());
    EXPECT_EQ(Open("Software", key), platform::kRegistryAccessDenied);
    EXPECT_EQ(platform::RegistryCreateKey(kMachine, "Software", platform::kKeyWrite, &handle),
              platform::kRegistryAccessDenied);
}

TEST_F(RegistryTest, HivesLiveInTheirOwnFilesTheUserHiveByDefaultInTheConfigurationFolder)
{
    UniqueRegistryKey user =
        Create("Software\\Test", platform::kKeyWrite, RegistryHive::CurrentUser);
    ASSERT_EQ(Set(user, "Who", platform::kRegSz, Text("user")), 0u);
    EXPECT_FALSE(std::filesystem::exists(StoreFile()));
    EXPECT_NE(
        ReadTextFile(StoreFile("HKEY_CURRENT_USER")).find("[HKEY_CURRENT_USER\\Software\\Test]"),
        std::string::npos);
    UniqueRegistryKey machine;
    EXPECT_EQ(Open("Software\\Test", machine), platform::kRegistryNotFound);

    environment_.Unset("QUENDRY_REGISTRY_DIR");
    environment_.Set("XDG_CONFIG_HOME", folder_.File("config"));
    user = Create("Software\\Test", platform::kKeyWrite, RegistryHive::CurrentUser);
    ASSERT_EQ(Set(user, "Who", platform::kRegSz, Text("default")), 0u);
    EXPECT_NE(ReadTextFile(folder_.File("config/quendry/HKEY_CURRENT_USER.reg"))
                  .find("\"Who\"=\"default\""),
              std::string::npos);
}

TEST_F(RegistryTest, NothingIsCachedBetweenOperations)
{
    UniqueRegistryKey reader = Create("Software\\Test");
    UniqueRegistryKey writer = Create("Software\\Test");
    ASSERT_EQ(Set(writer, "Value", platform::kRegSz, Text("written")), 0u);
    uint32_t type = 0;
    Bytes data;
    ASSERT_EQ(Query(reader, "Value", type, data), 0u);
    EXPECT_EQ(data, Text("written"));

    // Another program replacing the file is seen by a handle that is already open.
    WriteTextFile(StoreFile(),
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Test]\n\"Value\"=\"edited\"\n");
    ASSERT_EQ(Query(reader, "Value", type, data), 0u);
    EXPECT_EQ(data, Text("edited"));
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothingAndReadersNeverSeeAHalfFile)
{
    Create("Software\\Test");
    constexpr int kWriters = 4;
    constexpr int kValuesEach = 40;
    std::atomic<bool> writing{true};
    std::atomic<int> badReads{0};
    std::thread reader(
        [&]
        {
            while (writing)
            {
                const std::string text = ReadTextFile(StoreFile());
                if (text.rfind(kHeader, 0) != 0 || text.size() < 4 ||
                    text.compare(text.size() - 4, 4, "\r\n\r\n") != 0)
                    ++badReads;
            }
        });
    std::vector<std::thread> writers;
    for (int writer = 0; writer < kWriters; ++writer)
        writers.emplace_back(
            [&, writer]
            {
                UniqueRegistryKey key = Create("Software\\Test");
                for (int value = 0; value < kValuesEach; ++value)
                    EXPECT_EQ(Set(key, std::to_string(writer) + "-" + std::to_string(value),
                                  platform::kRegDword, {1, 0, 0, 0}),
                              0u);
            });
    for (std::thread& writer : writers)
        writer.join();
    writing = false;
    reader.join();

    EXPECT_EQ(badReads, 0);
    UniqueRegistryKey key;
    ASSERT_EQ(Open("Software\\Test", key), 0u);
    for (int writer = 0; writer < kWriters; ++writer)
        for (int value = 0; value < kValuesEach; ++value)
        {
            uint32_t size = 0;
            EXPECT_EQ(platform::RegistryQueryValue(
                          key.get(), std::to_string(writer) + "-" + std::to_string(value), nullptr,
                          nullptr, &size),
                      0u);
        }
    // The temporary files of the atomic writes are all gone.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()),
                            std::filesystem::directory_iterator()),
              1);
}
} // namespace
