#pragma once

// The wrapper against the simulated card module: a private card set per test, the call log,
// and the check that every session the wrapper opened was closed again.
#include "sim/cardmodule/testsupport/SimEnvironment.h"
#include "token/acPKCS11.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class SimCards : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(env.Ready());
        Corvane::acPKCS11::SetModuleFile(QuendrySim::SimEnvironment::ModulePath());
    }

    void TearDown() override
    {
        // Checked before Destroy: C_Finalize would end forgotten sessions silently.
        const auto unclosed = QuendrySim::UnclosedSessions(env.Calls());
        EXPECT_TRUE(unclosed.empty()) << "sessions left open: " << unclosed.size();
        if (wrapper)
            wrapper->Destroy();
        Corvane::acPKCS11::SetModuleFile("");
    }

    // Changes the card set; the module reads the change before its next call.
    void EditCards(const std::function<void(QuendrySim::CardSet&)>& edit)
    {
        QuendrySim::CardSet set = env.Load();
        edit(set);
        ASSERT_TRUE(env.Save(set));
    }

    // Puts the card of a type back as it was in original, then changes it.
    void ResetCard(const QuendrySim::CardSet& original, int cardType,
                   const std::function<void(QuendrySim::Card&)>& edit)
    {
        QuendrySim::CardSet pristine = original;
        EditCards(
            [&](QuendrySim::CardSet& set)
            {
                CardOfType(set, cardType) = CardOfType(pristine, cardType);
                edit(CardOfType(set, cardType));
            });
    }

    QuendrySim::Card& CardOfType(QuendrySim::CardSet& set, int cardType)
    {
        auto slot = std::find_if(set.slots.begin(), set.slots.end(),
                                 [cardType](const auto& s)
                                 { return s.card && s.card->cardType == cardType; });
        return *slot->card;
    }

    void AddFault(const std::string& function, unsigned long rv, int skip = 0, int times = 1)
    {
        EditCards(
            [&](QuendrySim::CardSet& set)
            {
                QuendrySim::Fault fault;
                fault.function = function;
                fault.rv = rv;
                fault.skip = skip;
                fault.times = times;
                set.faults.push_back(fault);
            });
    }

    void Script(const std::vector<QuendrySim::DialogAnswer>& answers)
    {
        ASSERT_TRUE(env.ScriptDialog(answers));
    }

    // Loads the module and reads every slot.
    void Start()
    {
        wrapper = std::make_unique<Corvane::acPKCS11>();
        ASSERT_TRUE(wrapper->GetSlots(slots, true));
    }

    // Slot-list index of the generated card of a type.
    int IndexOf(int cardType)
    {
        QuendrySim::CardSet set = env.Load();
        const std::string serial = CardOfType(set, cardType).serial;
        for (size_t i = 0; i < slots.size(); ++i)
        {
            if (slots[i]->tokenSerial == serial)
                return static_cast<int>(i);
        }
        return -1;
    }

    void OpenCard(int cardType) { ASSERT_TRUE(wrapper->OpenSession(IndexOf(cardType))); }

    std::vector<QuendrySim::CallRecord> CallsOf(const std::string& function) const
    {
        std::vector<QuendrySim::CallRecord> found;
        for (const auto& record : env.Calls())
        {
            if (record.function == function)
                found.push_back(record);
        }
        return found;
    }

    // The APDUs sent since the log was last cleared, as hexadecimal text.
    std::vector<std::string> SentApdus() const
    {
        std::vector<std::string> apdus;
        for (const auto& record : CallsOf("C_CardTransmit"))
            apdus.push_back(record.Field("apdu"));
        return apdus;
    }

    QuendrySim::SimEnvironment env;
    std::unique_ptr<Corvane::acPKCS11> wrapper;
    std::vector<Corvane::TokenSlot*> slots;
};
