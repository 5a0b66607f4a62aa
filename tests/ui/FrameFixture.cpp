#include "tests/ui/FrameFixture.h"

#include "ui/WindowIds.h"

#include <filesystem>
#include <fstream>

namespace
{
const char* const GateFile = "gate";
} // namespace

void FrameFixture::SetUp()
{
    registry = std::make_unique<GuiTest::RegistryFixture>();
    Corvane::acPKCS11::SetModuleFile(sim.ModulePath());
    cards = sim.Load();
    allCards = cards;
}

void FrameFixture::TearDown()
{
    CloseFrame();
    Corvane::acPKCS11::SetModuleFile("");
}

void FrameFixture::SaveCards()
{
    ASSERT_TRUE(sim.Save(cards));
}

void FrameFixture::KeepCardTypes(const std::vector<int>& types)
{
    cards.slots.clear();
    for (int type : types)
    {
        for (const QuendrySim::Slot& slot : allCards.slots)
        {
            if (slot.card && slot.card->cardType == type)
                cards.slots.push_back(slot);
        }
    }
    SaveCards();
}

void FrameFixture::HoldNextCall(const std::string& function)
{
    // A gate opened earlier that no call took would let this call through at once.
    std::filesystem::remove(sim.Folder() + "/" + GateFile);
    QuendrySim::Fault fault;
    fault.function = function;
    fault.times = 1;
    fault.gate = GateFile;
    cards.faults.push_back(fault);
    SaveCards();
}

void FrameFixture::OpenGate()
{
    std::ofstream{sim.Folder() + "/" + GateFile};
}

MainFrame* FrameFixture::OpenFrame(bool waitForCards)
{
    frame = new MainFrame();
    frame->Show();
    if (waitForCards)
    {
        EXPECT_TRUE(WaitForRefresh());
    }
    return frame;
}

bool FrameFixture::WaitForRefresh(int timeoutMs)
{
    return GuiTest::WaitUntil(
        [this] { return !frame->StartupTimer().IsRunning() && !frame->IsRefreshing(); }, timeoutMs);
}

void FrameFixture::CloseFrame()
{
    if (frame == nullptr)
        return;
    OpenGate(); // the window waits for a worker held at the gate
    delete frame;
    frame = nullptr;
}

long FrameFixture::RowOfType(int cardType) const
{
    wxListCtrl* list = frame->CardList();
    for (long row = 0; row < list->GetItemCount(); ++row)
    {
        if (static_cast<int>(static_cast<long>(list->GetItemData(row))) == cardType)
            return row;
    }
    return -1;
}

void FrameFixture::SelectRow(long row)
{
    frame->CardList()->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    GuiTest::RunFor(20);
}

void FrameFixture::Press(int id)
{
    wxWindow* button = frame->FindWindow(id);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->IsEnabled()) << "button " << id << " is disabled";
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

int FrameFixture::CallsOf(const std::string& function) const
{
    int count = 0;
    for (const auto& call : sim.Calls())
        count += call.function == function;
    return count;
}

std::vector<int> FrameFixture::ControlsNotIn(bool enabled) const
{
    std::vector<int> others;
    for (int id = ID_RELOAD_CARDS; id <= ID_TEST_SIG_KEY; ++id)
    {
        if (frame->FindWindow(id)->IsEnabled() != enabled)
            others.push_back(id);
    }
    if (frame->CardList()->IsEnabled() != enabled)
        others.push_back(ID_CARD_LIST);
    return others;
}

wxString FrameFixture::StatusText() const
{
    return frame->StatusText()->IsShown() ? frame->StatusText()->GetLabel() : wxString();
}

bool FrameFixture::StatusShowsError() const
{
    const wxImage picture = frame->StatusPicture()->GetBitmap().ConvertToImage();
    // Just inside the top of the disc: red for an error, green for success.
    const int x = 16, y = 4;
    return picture.GetRed(x, y) > picture.GetGreen(x, y);
}
