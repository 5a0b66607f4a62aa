#pragma once

#include "core/config/Config.h"
#include "platform/Registry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Corvane
{
// The configuration back end over the registry. Nothing is cached: every call goes to the
// registry, and every failure is reported to the error hook.
class ConfigImpl_Registry : public iConfigImpl
{
public:
    explicit ConfigImpl_Registry(std::string basePath) : iConfigImpl(std::move(basePath)) {}

    bool SetInteger(const ConfigEntry* entry, int32_t value) override;
    bool SetString(const ConfigEntry* entry, const std::string& value) override;
    bool SetBoolean(const ConfigEntry* entry, bool value) override;
    bool SetBinary(const ConfigEntry* entry, const ByteVector& value) override;
    bool GetInteger(const ConfigEntry* entry, int32_t* value) override;
    bool GetString(const ConfigEntry* entry, std::string* value) override;
    bool GetBoolean(const ConfigEntry* entry, bool* value) override;
    bool GetBinary(const ConfigEntry* entry, ByteVector* value) override;
    std::vector<std::string> GetSubKeys(const ConfigEntry* entry,
                                        const std::string& prefix) override;
    bool RemoveKey(const ConfigEntry* entry) override;
    bool RemovePath(const ConfigEntry* entry) override;
    bool Init() override { return true; }
    bool Finish() override { return true; }

    // "Software\[Wow6432Node\]Corvane GmbH\[base path\]subkey\", always ending in a backslash.
    std::string BuildKeyPath(const ConfigEntry* entry) const;

private:
    bool OpenKey(const ConfigEntry* entry, platform::UniqueRegistryKey& key, bool forReading) const;
    bool SetValue(const ConfigEntry* entry, uint32_t type, const unsigned char* data, uint32_t size,
                  const char* errorText);
    bool QueryValue(const ConfigEntry* entry, uint32_t* type, unsigned char* data, uint32_t* size,
                    const char* errorText);
};
} // namespace Corvane

// Joins the non-empty parts with single backslashes; the result always ends in one.
std::string JoinRegistryPath(const std::vector<std::string>& parts);
// Passes text, a blank and the code's name to the error hook when one is set.
void ReportRegistryError(const std::string& text, uint32_t code);
