#include "ui/ConfigValues.h"

#include "core/config/Config.h"

#include <cstdint>

namespace
{
template <typename T, typename Reader> bool ReadConfigValue(unsigned id, T& value, Reader read)
{
    Corvane::Config* config = Corvane::Config::GetInstance();
    Corvane::iConfigImpl* backend = config->Backend();
    if (backend == nullptr)
        return false;
    const ConfigEntry* entry = config->GetEntry(id);
    return entry != nullptr && read(*backend, entry, value);
}
} // namespace

bool ReadConfigInteger(unsigned id, int& value)
{
    return ReadConfigValue(id, value,
                           [](Corvane::iConfigImpl& backend, const ConfigEntry* entry, int& out)
                           {
                               // A value shorter than four bytes leaves the others as they were.
                               int32_t read = out;
                               if (!backend.GetInteger(entry, &read))
                                   return false;
                               out = read;
                               return true;
                           });
}

bool ReadConfigText(unsigned id, std::string& value)
{
    return ReadConfigValue(
        id, value,
        [](Corvane::iConfigImpl& backend, const ConfigEntry* entry, std::string& out)
        {
            std::string read;
            if (!backend.GetString(entry, &read))
                return false;
            out = read;
            return true;
        });
}
