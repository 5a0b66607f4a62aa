#pragma once

#include "core/config/Config.h"
#include "core/config/ConfigImpl_Registry.h"
#include "tests/core/config/TestRegistryStore.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Every test gets its own registry store and a fresh configuration; the error hook's texts are
// collected.
class ConfigTest : public testing::Test
{
protected:
    void SetUp() override
    {
        HookTexts().clear();
        SetConfigErrorHook(&CollectHookText);
        Corvane::Config::DestroyInstance();
        InitConfiguration();
    }

    void TearDown() override
    {
        SetConfigErrorHook(nullptr);
        Corvane::Config::DestroyInstance();
    }

    void WriteMachineHive(const std::string& text) { store_.WriteMachineHive(text); }
    std::string MachineHive() const { return store_.MachineHive(); }

    static Corvane::iConfigImpl& Backend() { return *Corvane::Config::GetInstance()->Backend(); }
    static const ConfigEntry* Entry(ConfigId id)
    {
        return Corvane::Config::GetInstance()->GetEntry(id);
    }

    static std::vector<std::string>& HookTexts()
    {
        static std::vector<std::string> texts;
        return texts;
    }

    TestRegistryStore store_;

private:
    static void CollectHookText(const char* text) { HookTexts().emplace_back(text); }
};

inline constexpr char kClientSection[] =
    "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client]\r\n";
inline constexpr char kTraceSection[] =
    "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client\\Trace]\r\n";
