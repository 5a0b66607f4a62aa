#include "platform/Registry.h"

#include <windows.h>

namespace platform
{
namespace
{
HKEY HiveKey(RegistryHive hive)
{
    return hive == RegistryHive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HKEY ToHkey(RegistryHandle key)
{
    return reinterpret_cast<HKEY>(key);
}

} // namespace

uint32_t RegistryOpenKey(RegistryHive hive, const std::string& path, uint32_t access,
                         RegistryHandle* key)
{
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(HiveKey(hive), path.c_str(), 0, access, &opened);
    if (result == ERROR_SUCCESS)
        *key = reinterpret_cast<RegistryHandle>(opened);
    return static_cast<uint32_t>(result);
}

uint32_t RegistryCreateKey(RegistryHive hive, const std::string& path, uint32_t access,
                           RegistryHandle* key)
{
    HKEY created = nullptr;
    const LONG result =
        RegCreateKeyExA(HiveKey(hive), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                        nullptr, &created, nullptr);
    if (result == ERROR_SUCCESS)
        *key = reinterpret_cast<RegistryHandle>(created);
    return static_cast<uint32_t>(result);
}

uint32_t RegistrySetValue(RegistryHandle key, const std::string& name, uint32_t type,
                          const unsigned char* data, uint32_t size)
{
    return static_cast<uint32_t>(RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data, size));
}

uint32_t RegistryQueryValue(RegistryHandle key, const std::string& name, uint32_t* type,
                            unsigned char* data, uint32_t* size)
{
    DWORD valueType = 0;
    DWORD valueSize = size ? *size : 0;
    const LONG result = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType, data,
                                         size ? &valueSize : nullptr);
    if (type)
        *type = valueType;
    if (size)
        *size = valueSize;
    return static_cast<uint32_t>(result);
}

uint32_t RegistryEnumKey(RegistryHandle key, uint32_t index, char* name, uint32_t* size)
{
    DWORD nameSize = *size;
    const LONG result =
        RegEnumKeyExA(ToHkey(key), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
    *size = nameSize;
    return static_cast<uint32_t>(result);
}

uint32_t RegistryDeleteValue(RegistryHandle key, const std::string& name)
{
    return static_cast<uint32_t>(RegDeleteValueA(ToHkey(key), name.c_str()));
}

uint32_t RegistryDeleteKey(RegistryHandle key, const std::string& subKey)
{
    return static_cast<uint32_t>(RegDeleteKeyA(ToHkey(key), subKey.c_str()));
}

uint32_t RegistryCloseKey(RegistryHandle key)
{
    return static_cast<uint32_t>(RegCloseKey(ToHkey(key)));
}
} // namespace platform
