#include "core/config/Config.h"

#include "core/config/ConfigImpl_Registry.h"

#include <atomic>

namespace
{
std::atomic<ConfigErrorHook> errorHook{nullptr};

std::unique_ptr<Corvane::Config>& InstanceSlot()
{
    static std::unique_ptr<Corvane::Config> instance;
    return instance;
}

struct ValuePair
{
    ConfigId firstId; // view flag 0; firstId + 1 has view flag 1
    const char* valueName;
    const char* subkey;
};

constexpr char kTraceKey[] = "Quendry Client\\Trace";
constexpr char kCardDriverKey[] = "Quendry Card Driver";

// The program's own values, in the order they are registered.
constexpr ValuePair kClientValues[] = {
    {0, "", ConfigKeyName},
    {2, "CheckForUpdates", ConfigKeyName},
    {4, "QuendryViewer", ConfigKeyName},
    {6, "InstallDir", ConfigKeyName},
    {8, "Updateable", ConfigKeyName},
    {10, "Version", ConfigKeyName},
    {27, "Language", ConfigKeyName},
    {14, "LogLevel", kTraceKey},
    {12, "LogMode", kTraceKey},
    {16, "Filename", kTraceKey},
    {18, "DeleteLogfilesAfterXDays", ConfigKeyName},
    {20, "FixIt", ConfigKeyName},
    {22, "CleanCertsOnRefresh", ConfigKeyName},
    {24, "MakeDialogsStayOnTop", ConfigKeyName},
};

// The card driver's values, kept beside the program's own; nothing here reads them.
constexpr ValuePair kCardDriverValues[] = {
    {29, "UseOwnPinDialog", kCardDriverKey},
    {31, "ExternalPinEntry", kCardDriverKey},
    {33, "EnableLogging", kCardDriverKey},
    {35, "DebugOutput", kCardDriverKey},
    {37, "Diagnostics", kCardDriverKey},
    {39, "ExtendedCardAuthentication", kCardDriverKey},
    {41, "IgnoreOsSubVersion", kCardDriverKey},
    {43, "CheckReaderCapabilities", kCardDriverKey},
    {45, "ExclusiveReconnect", kCardDriverKey},
    {47, "PinCachePolicyType", kCardDriverKey},
    {49, "PinCachePolicyInfo", kCardDriverKey},
    {51, "SecurePinEntryRequired", kCardDriverKey},
    {53, "Version", kCardDriverKey},
    {55, "MinimumVersion", kCardDriverKey},
    {57, "EnableLogging", kCardDriverKey},
    {59, "DebugOutput", kCardDriverKey},
};

void RegisterPair(Corvane::Config& config, const ValuePair& pair)
{
    config.Register(pair.firstId, pair.valueName, pair.subkey, 0);
    config.Register(pair.firstId + 1, pair.valueName, pair.subkey, 1);
}

// Registers the card driver's pairs whose ids lie from firstId to lastId.
void RegisterCardDriverIds(Corvane::Config& config, ConfigId firstId, ConfigId lastId)
{
    for (const ValuePair& pair : kCardDriverValues)
        if (pair.firstId >= firstId && pair.firstId + 1 <= lastId)
            RegisterPair(config, pair);
}
} // namespace

namespace Corvane
{
Config::~Config()
{
    Clear();
}

Config* Config::GetInstance()
{
    std::unique_ptr<Config>& instance = InstanceSlot();
    if (!instance)
        instance = std::make_unique<Config>();
    return instance.get();
}

void Config::DestroyInstance()
{
    std::unique_ptr<Config>& instance = InstanceSlot();
    if (!instance)
        return;
    instance->Clear();
    instance->RemoveBackend();
    instance.reset();
}

bool Config::Register(ConfigId id, const std::string& valueName, const std::string& subkey,
                      int32_t viewFlag)
{
    if (!ready_)
        return false;
    entries_[id] = std::make_unique<ConfigEntry>(ConfigEntry{1, subkey, valueName, viewFlag});
    return true;
}

ConfigEntry* Config::GetEntry(ConfigId id)
{
    const auto entry = entries_.find(id);
    if (entry == entries_.end())
    {
        ReportConfigError("config entry is NULL");
        return nullptr;
    }
    return entry->second.get();
}

void Config::Clear()
{
    entries_.clear();
}

void Config::InstallBackend(std::unique_ptr<iConfigImpl> backend)
{
    RemoveBackend();
    backend_ = std::move(backend);
    ready_ = backend_ && backend_->Init();
}

void Config::RemoveBackend()
{
    backend_.reset();
    ready_ = false;
}
} // namespace Corvane

void InitConfiguration()
{
    Corvane::Config* config = Corvane::Config::GetInstance();
    if (!config->IsReady())
        config->InstallBackend(std::make_unique<Corvane::ConfigImpl_Registry>(std::string()));

    for (const ValuePair& pair : kClientValues)
        RegisterPair(*config, pair);
    RegisterCardDriverIds(*config, 29, 46);
    RegisterCardDriverIds(*config, 37, 40); // a second time, with the same values
    RegisterCardDriverIds(*config, 47, 60);
}

void SetConfigErrorHook(ConfigErrorHook hook)
{
    errorHook.store(hook);
}

void ReportConfigError(const std::string& text)
{
    if (ConfigErrorHook hook = errorHook.load())
        hook(text.c_str());
}
