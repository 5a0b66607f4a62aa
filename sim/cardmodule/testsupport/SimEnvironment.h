#pragma once

// A private copy of the generated card set for one test: its own folder, the environment that
// points the simulated module at it, and helpers to script the PIN dialog and read the call log.

#include "sim/cardmodule/cardset/CallLog.h"
#include "sim/cardmodule/cardset/CardSet.h"

#include <string>
#include <vector>

namespace QuendrySim
{
class SimEnvironment
{
public:
    // Copies the template card set into a new folder and sets QUENDRY_SIM_CARDS and
    // QUENDRY_SIM_LOG for this process; turns the PIN window off (QUENDRY_SIM_PIN_WINDOW).
    SimEnvironment();
    ~SimEnvironment();
    SimEnvironment(const SimEnvironment&) = delete;
    SimEnvironment& operator=(const SimEnvironment&) = delete;

    bool Ready() const { return m_ready; }
    const std::string& Folder() const { return m_folder; }
    const std::string& CardSetPath() const { return m_cardSet; }
    const std::string& LogPath() const { return m_log; }

    // An empty card set when the file cannot be read.
    CardSet Load() const;
    bool Save(const CardSet& set) const;
    // Appends answers to the dialog queue.
    bool ScriptDialog(const std::vector<DialogAnswer>& answers) const;
    std::vector<CallRecord> Calls() const;
    void ClearCalls() const;

    static std::string ModulePath();
    static std::string NoVendorModulePath();
    static std::string NoInitModulePath();
    static std::string TemplatePath();
    static std::string TemplateCaPath();

private:
    bool m_ready = false;
    std::string m_folder;
    std::string m_cardSet;
    std::string m_log;
};
} // namespace QuendrySim
