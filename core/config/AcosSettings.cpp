#include "core/config/AcosSettings.h"

#include "core/config/ConfigImpl_Registry.h"

#include <cctype>

bool UseAcosCpData()
{
    const ConfigEntry entry{1, ConfigKeyName, "CP", 1};
    Corvane::ConfigImpl_Registry registry("");
    std::string text;
    if (!registry.GetString(&entry, &text) || text.empty())
        return true;
    return std::toupper(static_cast<unsigned char>(text[0])) != 'N';
}
