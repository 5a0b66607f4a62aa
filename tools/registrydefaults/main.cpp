// quendry-registry-defaults: adds the demo's log settings that the machine hive lacks, through
// the program's own registry store; every value already there stays as it is.
//   quendry-registry-defaults <registry folder> <log folder>

#include "platform/Registry.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
constexpr char kTraceKey[] = "Software\\Corvane GmbH\\Quendry Client\\Trace";

struct Setting
{
    const char* name;
    uint32_t type;
    std::vector<unsigned char> data;
};

std::vector<unsigned char> Text(const std::string& text)
{
    std::vector<unsigned char> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

// Names compare without regard to case, so a "loglevel" of the user's is kept too.
uint32_t AddIfMissing(platform::RegistryHandle key, const Setting& setting)
{
    uint32_t size = 0;
    const uint32_t found = platform::RegistryQueryValue(key, setting.name, nullptr, nullptr, &size);
    if (found != platform::kRegistryNotFound)
        return found;
    return platform::RegistrySetValue(key, setting.name, setting.type, setting.data.data(),
                                      static_cast<uint32_t>(setting.data.size()));
}

uint32_t AddDefaults(const std::string& logFolder)
{
    const Setting settings[] = {{"LogLevel", platform::kRegDword, {5, 0, 0, 0}},
                                {"Filename", platform::kRegSz, Text(logFolder)}};
    platform::RegistryHandle handle = nullptr;
    uint32_t result =
        platform::RegistryCreateKey(platform::RegistryHive::LocalMachine, kTraceKey,
                                    platform::kKeyRead | platform::kKeyWrite, &handle);
    const platform::UniqueRegistryKey key(handle);
    for (const Setting& setting : settings)
        if (result == platform::kRegistrySuccess)
            result = AddIfMissing(key.get(), setting);
    return result;
}

std::string ResultText(uint32_t result)
{
    if (result == platform::kRegistryAccessDenied)
        return "access denied";
    return "registry error " + std::to_string(result);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fputs("usage: quendry-registry-defaults <registry folder> <log folder>\n", stderr);
        return 2;
    }
    setenv("QUENDRY_REGISTRY_DIR", argv[1], 1);
    const uint32_t result = AddDefaults(argv[2]);
    if (result == platform::kRegistrySuccess)
        return 0;
    std::fprintf(stderr,
                 "%s/HKEY_LOCAL_MACHINE.reg: the demo's log settings cannot be added (%s); the "
                 "file is left as it is. Correct it, or remove it to start with the demo's "
                 "settings.\n",
                 argv[1], ResultText(result).c_str());
    return 1;
}
