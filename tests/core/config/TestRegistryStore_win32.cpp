#include "tests/core/config/TestRegistryStore.h"

#include "platform/RegistryFormat.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

namespace
{
const char* const kMachineHive = "HKEY_LOCAL_MACHINE";
// Everything the configuration can touch lies below these two keys.
const char* const kMakerKeys[] = {"Software\\Corvane GmbH", "Software\\Wow6432Node\\Corvane GmbH"};

void RemoveMakerKeys()
{
    for (const char* key : kMakerKeys)
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
}

void Require(LONG result, const std::string& what)
{
    if (result != ERROR_SUCCESS)
        throw std::runtime_error(what + " failed with " + std::to_string(result));
}

std::vector<std::string> SplitPath(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end = path.find('\\'); end != std::string::npos; end = path.find('\\', start))
    {
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    parts.push_back(path.substr(start));
    return parts;
}

void ReadValues(HKEY key, platform::regfile::KeyRecord& record)
{
    for (DWORD index = 0;; ++index)
    {
        char name[16384];
        DWORD nameSize = sizeof(name);
        DWORD type = 0;
        DWORD dataSize = 0;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, nullptr, &dataSize) !=
            ERROR_SUCCESS)
            return;
        platform::regfile::ValueRecord value{std::string(name, nameSize), type, {}};
        value.data.resize(dataSize);
        nameSize = sizeof(name);
        Require(RegEnumValueA(key, index, name, &nameSize, nullptr, &type, value.data.data(),
                              &dataSize),
                "reading a value");
        value.data.resize(dataSize);
        record.values.push_back(std::move(value));
    }
}

// Adds the key at path and everything below it.
void ReadTree(const std::string& path, platform::regfile::HiveRecord& hive)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    ReadValues(key, hive.at(platform::regfile::AddKey(hive, SplitPath(path))));
    std::vector<std::string> subKeys;
    for (DWORD index = 0;; ++index)
    {
        char name[256];
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subKeys.emplace_back(name, nameSize);
    }
    RegCloseKey(key);
    for (const auto& subKey : subKeys)
        ReadTree(path + "\\" + subKey, hive);
}
} // namespace

struct TestRegistryStore::Place
{
};

TestRegistryStore::TestRegistryStore()
{
    RemoveMakerKeys();
}

TestRegistryStore::~TestRegistryStore()
{
    RemoveMakerKeys();
}

void TestRegistryStore::WriteMachineHive(const std::string& text)
{
    RemoveMakerKeys();
    const auto hive = platform::regfile::ParseHive(
        "Windows Registry Editor Version 5.00\r\n\r\n" + text, kMachineHive);
    for (const auto& [folded, record] : hive)
    {
        if (folded.empty())
            continue;
        HKEY key = nullptr;
        Require(RegCreateKeyExA(HKEY_LOCAL_MACHINE, record.path.c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr),
                "creating " + record.path);
        for (const auto& value : record.values)
            Require(RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                                   static_cast<DWORD>(value.data.size())),
                    "writing " + value.name);
        RegCloseKey(key);
    }
}

std::string TestRegistryStore::MachineHive() const
{
    platform::regfile::HiveRecord hive = platform::regfile::EmptyHive();
    for (const char* key : kMakerKeys)
        ReadTree(key, hive);
    return platform::regfile::FormatHive(hive, kMachineHive);
}
