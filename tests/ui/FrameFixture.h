#pragma once

#include "sim/cardmodule/cardset/CardSet.h"
#include "sim/cardmodule/testsupport/SimEnvironment.h"
#include "tests/ui/GuiHarness.h"
#include "ui/MainFrame.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// The real main window against the simulated card module with a card set of the test's own.
class FrameFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Stores the changed card set; the module reads it at its next call.
    void SaveCards();
    // Keeps only the cards of these types, in this order of slots.
    void KeepCardTypes(const std::vector<int>& types);
    // Holds the next call of the function in the module until OpenGate (CloseFrame opens it
    // too), so a state such as "during a refresh" lasts as long as the test needs. The call must
    // be a worker's: the module stays locked meanwhile, and the test's own thread opens the gate.
    void HoldNextCall(const std::string& function);
    void OpenGate();

    // Opens the window and waits until the start-up refresh is done.
    MainFrame* OpenFrame(bool waitForCards = true);
    bool WaitForRefresh(int timeoutMs = 20000);
    void CloseFrame();

    long RowOfType(int cardType) const;
    void SelectRow(long row);
    void Press(int id);
    // How often the module saw that function.
    int CallsOf(const std::string& function) const;
    size_t CallCount() const { return sim.Calls().size(); }
    // The ids of the command buttons, the reload button and the list not in that state.
    std::vector<int> ControlsNotIn(bool enabled) const;

    // The status line's text and whether its picture is the red one.
    wxString StatusText() const;
    bool StatusShowsError() const;

    QuendrySim::SimEnvironment sim;
    QuendrySim::CardSet cards;    // changed before the window is opened or between commands
    QuendrySim::CardSet allCards; // the generated set: one card of every type
    std::unique_ptr<GuiTest::RegistryFixture> registry;
    MainFrame* frame = nullptr;
};
