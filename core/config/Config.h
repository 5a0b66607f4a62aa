#pragma once

#include "core/Bytes.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

using ConfigId = uint32_t;

// The key below the maker's key that holds the program's own values.
inline constexpr char ConfigKeyName[] = "Quendry Client";

// Where one configuration value lives.
struct ConfigEntry
{
    int32_t kind = 1;      // 1: HKEY_LOCAL_MACHINE, else HKEY_CURRENT_USER
    std::string subkey;    // below the maker's key, e.g. "Quendry Client\Trace"
    std::string valueName; // empty: the key's default value
    int32_t viewFlag = 1;  // 0: "Wow6432Node" after "Software"; 1: the plain path
};

namespace Corvane
{
// The back end that reads and writes configuration values.
class iConfigImpl
{
public:
    explicit iConfigImpl(std::string basePath) : basePath(std::move(basePath)) {}
    virtual ~iConfigImpl() = default;
    iConfigImpl(const iConfigImpl&) = delete;
    iConfigImpl& operator=(const iConfigImpl&) = delete;

    virtual bool SetInteger(const ConfigEntry* entry, int32_t value) = 0;
    virtual bool SetString(const ConfigEntry* entry, const std::string& value) = 0;
    virtual bool SetBoolean(const ConfigEntry* entry, bool value) = 0;
    virtual bool SetBinary(const ConfigEntry* entry, const ByteVector& value) = 0;
    virtual bool GetInteger(const ConfigEntry* entry, int32_t* value) = 0;
    virtual bool GetString(const ConfigEntry* entry, std::string* value) = 0;
    virtual bool GetBoolean(const ConfigEntry* entry, bool* value) = 0;
    virtual bool GetBinary(const ConfigEntry* entry, ByteVector* value) = 0;
    virtual std::vector<std::string> GetSubKeys(const ConfigEntry* entry,
                                                const std::string& prefix) = 0;
    // Removes the entry's value.
    virtual bool RemoveKey(const ConfigEntry* entry) = 0;
    // Removes the entry's deepest key.
    virtual bool RemovePath(const ConfigEntry* entry) = 0;
    virtual bool Init() = 0;
    virtual bool Finish() = 0;

protected:
    // Inserted into every key path after the maker's key when not empty.
    std::string basePath;
};

// The process-wide configuration: the table of entries and the back end that reads them.
class Config
{
public:
    Config() = default;
    virtual ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // The one instance, created empty (no back end, not ready) on the first call.
    static Config* GetInstance();
    // Frees the instance, its entries and its back end; the next GetInstance starts afresh.
    static void DestroyInstance();

    // Registers an entry of kind 1, replacing one with the same id; false while not ready.
    bool Register(ConfigId id, const std::string& valueName, const std::string& subkey,
                  int32_t viewFlag);
    // Null (reported to the error hook) when no entry has the id.
    ConfigEntry* GetEntry(ConfigId id);
    void Clear();

    // Replaces the back end; ready becomes the result of its Init.
    void InstallBackend(std::unique_ptr<iConfigImpl> backend);
    void RemoveBackend();
    iConfigImpl* Backend() const { return backend_.get(); }
    bool IsReady() const { return ready_; }

private:
    std::map<ConfigId, std::unique_ptr<ConfigEntry>> entries_;
    std::unique_ptr<iConfigImpl> backend_;
    bool ready_ = false;
};
} // namespace Corvane

// Installs the registry back end (once) and registers the program's whole table.
void InitConfiguration();

// Receives the text of every configuration failure; nullptr removes the hook.
using ConfigErrorHook = void (*)(const char* text);
void SetConfigErrorHook(ConfigErrorHook hook);
// Passes the text to the hook when one is set.
void ReportConfigError(const std::string& text);
