#pragma once

#include "ui/ModalState.h"

#include <functional>
#include <gtest/gtest.h>
#include <utility>
#include <wx/dialog.h>
#include <wx/modalhook.h>

namespace GuiTest
{
// Lets every dialog shown modally run its real modal loop and plays a script inside that loop, as
// a user would act on it. A dialog the script leaves open is ended with wxID_ABORT, so a failing
// script never hangs the test.
class ModalScript : public wxModalDialogHook
{
public:
    explicit ModalScript(std::function<void(wxDialog*)> script) : script(std::move(script))
    {
        Register();
    }
    ~ModalScript() override { Unregister(); }
    int Runs() const { return runs; }

protected:
    int Enter(wxDialog* dialog) override
    {
        ++runs;
        dialog->CallAfter(
            [this, dialog]
            {
                script(dialog);
                if (StillOpen(dialog))
                    dialog->EndModal(wxID_ABORT);
            });
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}

private:
    std::function<void(wxDialog*)> script;
    int runs = 0;
};

// Presses a button of the window as a click would.
inline void Click(wxWindow* window, int id)
{
    wxWindow* button = window->FindWindow(id);
    if (button == nullptr)
    {
        ADD_FAILURE() << "no button " << id;
        return;
    }
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}
} // namespace GuiTest
