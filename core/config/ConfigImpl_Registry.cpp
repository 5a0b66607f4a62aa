#include "core/config/ConfigImpl_Registry.h"

#include <cctype>
#include <cstring>

namespace
{
constexpr char kMakerKey[] = "Corvane GmbH";
constexpr uint32_t kStringBufferSize = 2048;
constexpr uint32_t kBooleanBufferSize = 256;
constexpr uint32_t kSubKeyNameSize = 260;

platform::RegistryHive HiveOf(const ConfigEntry* entry)
{
    return entry->kind == 1 ? platform::RegistryHive::LocalMachine
                            : platform::RegistryHive::CurrentUser;
}

std::string ToLower(std::string text)
{
    for (char& character : text)
        character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    return text;
}

bool BeginsWithYes(const unsigned char* data)
{
    return std::memcmp(data, "Yes", 3) == 0 || std::memcmp(data, "yes", 3) == 0 ||
           std::memcmp(data, "YES", 3) == 0;
}

const char* CodeName(uint32_t code)
{
    switch (code)
    {
    case platform::kRegistrySuccess:
        return "ERROR_SUCCESS";
    case platform::kRegistryAccessDenied:
        return "ERROR_ACCESS_DENIED";
    default:
        return nullptr;
    }
}
} // namespace

std::string JoinRegistryPath(const std::vector<std::string>& parts)
{
    std::string path;
    for (const std::string& part : parts)
    {
        if (part.empty())
            continue;
        path.append(part[0] == '\\' ? part.substr(1) : part);
        if (path.empty() || path.back() != '\\')
            path.push_back('\\');
    }
    return path;
}

void ReportRegistryError(const std::string& text, uint32_t code)
{
    const char* name = CodeName(code);
    ReportConfigError(text + " " + (name ? std::string(name) : std::to_string(code)));
}

namespace Corvane
{
std::string ConfigImpl_Registry::BuildKeyPath(const ConfigEntry* entry) const
{
    std::vector<std::string> parts = {"Software"};
    if (entry->kind == 1 && entry->viewFlag == 0)
        parts.emplace_back("Wow6432Node");
    parts.emplace_back(kMakerKey);
    parts.push_back(basePath);
    parts.push_back(entry->subkey);
    return JoinRegistryPath(parts);
}

bool ConfigImpl_Registry::OpenKey(const ConfigEntry* entry, platform::UniqueRegistryKey& key,
                                  bool forReading) const
{
    platform::RegistryHandle handle = nullptr;
    const uint32_t code = forReading
                              ? platform::RegistryOpenKey(HiveOf(entry), BuildKeyPath(entry),
                                                          platform::kKeyRead, &handle)
                              : platform::RegistryCreateKey(HiveOf(entry), BuildKeyPath(entry),
                                                            platform::kKeySetValue, &handle);
    if (code != platform::kRegistrySuccess)
    {
        ReportRegistryError(forReading ? "Error RegOpenKeyExA" : "Error RegCreateKeyExA", code);
        return false;
    }
    key.reset(handle);
    return true;
}

bool ConfigImpl_Registry::SetValue(const ConfigEntry* entry, uint32_t type,
                                   const unsigned char* data, uint32_t size, const char* errorText)
{
    platform::UniqueRegistryKey key;
    if (!OpenKey(entry, key, false))
        return false;
    const uint32_t code = platform::RegistrySetValue(key.get(), entry->valueName, type, data, size);
    if (code != platform::kRegistrySuccess)
    {
        ReportRegistryError(errorText, code);
        return false;
    }
    return true;
}

bool ConfigImpl_Registry::QueryValue(const ConfigEntry* entry, uint32_t* type, unsigned char* data,
                                     uint32_t* size, const char* errorText)
{
    platform::UniqueRegistryKey key;
    if (!OpenKey(entry, key, true))
        return false;
    const uint32_t code =
        platform::RegistryQueryValue(key.get(), entry->valueName, type, data, size);
    if (code != platform::kRegistrySuccess)
    {
        ReportRegistryError(errorText, code);
        return false;
    }
    return true;
}

bool ConfigImpl_Registry::SetInteger(const ConfigEntry* entry, int32_t value)
{
    unsigned char bytes[sizeof(value)];
    std::memcpy(bytes, &value, sizeof(value));
    return SetValue(entry, platform::kRegDword, bytes, sizeof(bytes),
                    "Error RegSetValueExA (SetInteger)");
}

bool ConfigImpl_Registry::SetString(const ConfigEntry* entry, const std::string& value)
{
    return SetValue(entry, platform::kRegSz, reinterpret_cast<const unsigned char*>(value.c_str()),
                    static_cast<uint32_t>(value.size() + 1), "Error RegSetValueExA (SetString)");
}

bool ConfigImpl_Registry::SetBoolean(const ConfigEntry* entry, bool value)
{
    const uint32_t number = value ? 1 : 0;
    unsigned char bytes[sizeof(number)];
    std::memcpy(bytes, &number, sizeof(number));
    return SetValue(entry, platform::kRegDword, bytes, sizeof(bytes),
                    "Error RegSetValueExA (SetBoolean)");
}

bool ConfigImpl_Registry::SetBinary(const ConfigEntry* entry, const ByteVector& value)
{
    return SetValue(entry, platform::kRegBinary, value.data(), static_cast<uint32_t>(value.size()),
                    "Error RegSetValueExA (SetBinary)");
}

bool ConfigImpl_Registry::GetInteger(const ConfigEntry* entry, int32_t* value)
{
    // The type is not asked: whatever bytes the value has land in the integer, and a shorter
    // value leaves the integer's remaining bytes as they were.
    unsigned char bytes[sizeof(*value)];
    std::memcpy(bytes, value, sizeof(bytes));
    uint32_t size = sizeof(bytes);
    if (!QueryValue(entry, nullptr, bytes, &size, "Error RegQueryValueExA (GetInteger)"))
        return false;
    std::memcpy(value, bytes, sizeof(bytes));
    return true;
}

bool ConfigImpl_Registry::GetString(const ConfigEntry* entry, std::string* value)
{
    char buffer[kStringBufferSize] = {};
    uint32_t size = sizeof(buffer);
    if (!QueryValue(entry, nullptr, reinterpret_cast<unsigned char*>(buffer), &size,
                    "Error RegQueryValueExA (GetString)"))
        return false;
    // Up to the first zero; a value filling the whole buffer is cut after 2047 characters.
    const size_t length = strnlen(buffer, size < kStringBufferSize ? size : kStringBufferSize - 1);
    value->assign(buffer, length);
    return true;
}

bool ConfigImpl_Registry::GetBoolean(const ConfigEntry* entry, bool* value)
{
    unsigned char buffer[kBooleanBufferSize] = {};
    uint32_t size = sizeof(buffer);
    uint32_t type = platform::kRegNone;
    if (!QueryValue(entry, &type, buffer, &size, "Error RegQueryValueExA (GetBoolean)"))
        return false;
    if (type == platform::kRegDword)
        *value = buffer[0] != 0;
    else if (type == platform::kRegSz)
        *value = BeginsWithYes(buffer);
    return true;
}

bool ConfigImpl_Registry::GetBinary(const ConfigEntry* entry, ByteVector* value)
{
    uint32_t size = 0;
    if (!QueryValue(entry, nullptr, nullptr, &size, "Error RegQueryValueExA (GetBinary (NULL))"))
        return false;
    value->resize(size);
    if (!QueryValue(entry, nullptr, value->data(), &size, "Error RegQueryValueExA (GetBinary)"))
        return false;
    // The value may have shrunk between the two calls.
    value->resize(size);
    return true;
}

std::vector<std::string> ConfigImpl_Registry::GetSubKeys(const ConfigEntry* entry,
                                                         const std::string& prefix)
{
    std::vector<std::string> names;
    platform::UniqueRegistryKey key;
    if (!OpenKey(entry, key, true))
        return names;
    const std::string lowerPrefix = ToLower(prefix);
    for (uint32_t index = 0;; ++index)
    {
        char name[kSubKeyNameSize] = {};
        uint32_t size = sizeof(name);
        if (platform::RegistryEnumKey(key.get(), index, name, &size) != platform::kRegistrySuccess)
            break;
        const std::string subKey(name, size);
        if (lowerPrefix.empty() || ToLower(subKey).compare(0, lowerPrefix.size(), lowerPrefix) == 0)
            names.push_back(subKey);
    }
    return names;
}

bool ConfigImpl_Registry::RemoveKey(const ConfigEntry* entry)
{
    if (entry->valueName.empty())
        return false;
    platform::UniqueRegistryKey key;
    if (!OpenKey(entry, key, false))
        return false;
    const uint32_t code = platform::RegistryDeleteValue(key.get(), entry->valueName);
    if (code != platform::kRegistrySuccess)
    {
        ReportRegistryError("Error RemoveKey", code);
        return false;
    }
    return true;
}

bool ConfigImpl_Registry::RemovePath(const ConfigEntry* entry)
{
    const std::string path = BuildKeyPath(entry);
    const size_t separator =
        path.size() < 2 ? std::string::npos : path.rfind('\\', path.size() - 2);
    if (separator == std::string::npos)
        return false;
    const std::string parentPath = path.substr(0, separator);
    const std::string lastPart = path.substr(separator + 1, path.size() - separator - 2);

    platform::RegistryHandle handle = nullptr;
    uint32_t code =
        platform::RegistryCreateKey(HiveOf(entry), parentPath, platform::kKeySetValue, &handle);
    if (code != platform::kRegistrySuccess)
    {
        ReportRegistryError("Error RegCreateKeyExA", code);
        return false;
    }
    platform::UniqueRegistryKey parent(handle);
    code = platform::RegistryDeleteKey(parent.get(), lastPart);
    if (code != platform::kRegistrySuccess)
    {
        ReportRegistryError("Error RemovePath", code);
        return false;
    }
    return true;
}
} // namespace Corvane
