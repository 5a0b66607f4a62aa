#include "sim/cardmodule/testsupport/SimEnvironment.h"

#include "sim/cardmodule/testsupport/EnvironmentValue.h"

#include <filesystem>
#include <fstream>
#include <random>

namespace QuendrySim
{
namespace
{
std::filesystem::path NewFolder()
{
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        auto folder = base / ("quendry-sim-" + std::to_string(random()) + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error))
            return folder;
    }
    return {};
}
} // namespace

SimEnvironment::SimEnvironment()
{
    const std::filesystem::path folder = NewFolder();
    if (folder.empty())
        return;
    m_folder = folder.string();
    m_cardSet = (folder / "cards.json").string();
    m_log = (folder / "calls.log").string();
    std::error_code error;
    std::filesystem::copy_file(TemplatePath(), m_cardSet, error);
    // A test queues its answers: a PIN window left on in the shell would wait for a user.
    m_ready = !error && SetEnvironmentValue("QUENDRY_SIM_CARDS", m_cardSet) &&
              SetEnvironmentValue("QUENDRY_SIM_LOG", m_log) &&
              SetEnvironmentValue("QUENDRY_SIM_PIN_WINDOW", "off");
}

SimEnvironment::~SimEnvironment()
{
    if (m_folder.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

CardSet SimEnvironment::Load() const
{
    CardSet set;
    LoadCardSet(m_cardSet, set);
    return set;
}

bool SimEnvironment::Save(const CardSet& set) const
{
    return SaveCardSet(set, m_cardSet);
}

bool SimEnvironment::ScriptDialog(const std::vector<DialogAnswer>& answers) const
{
    CardSet set;
    if (!LoadCardSet(m_cardSet, set))
        return false;
    set.dialog.insert(set.dialog.end(), answers.begin(), answers.end());
    return Save(set);
}

std::vector<CallRecord> SimEnvironment::Calls() const
{
    return ReadCallLog(m_log);
}

void SimEnvironment::ClearCalls() const
{
    std::ofstream truncate(m_log, std::ios::trunc);
}

std::string SimEnvironment::ModulePath()
{
    return QUENDRY_SIM_MODULE_PATH;
}
std::string SimEnvironment::NoVendorModulePath()
{
    return QUENDRY_SIM_NOVENDOR_MODULE_PATH;
}
std::string SimEnvironment::NoInitModulePath()
{
    return QUENDRY_SIM_NOINIT_MODULE_PATH;
}
std::string SimEnvironment::TemplatePath()
{
    return QUENDRY_SIM_TEMPLATE_PATH;
}
std::string SimEnvironment::TemplateCaPath()
{
    return QUENDRY_SIM_TEMPLATE_CA_PATH;
}
} // namespace QuendrySim
