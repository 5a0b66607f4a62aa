#pragma once

#include "token/acPKCS11.h"
#include "ui/ListEntryData.h"

#include <memory>
#include <vector>
#include <wx/string.h>
#include <wx/thread.h>

class MainFrame;

// The card-list worker: reloads the card module, reads every card and posts the completion
// command to its owner. It creates no window.
class RefreshCardThread : public wxThread
{
public:
    RefreshCardThread(MainFrame* owner, Corvane::acPKCS11* token, const wxString& unknownHolder);
    ~RefreshCardThread() override = default;

    // The thread's work without the completion command: reload the module, read the slot list
    // and every card into the results.
    void ReadCardList();

    // The rows in reading order; read only after the thread has been joined.
    const std::vector<std::shared_ptr<ListEntryData>>& Results() const { return results; }

protected:
    ExitCode Entry() override;

private:
    void ReadCards(std::vector<Corvane::TokenSlot*> slots);

    MainFrame* owner;
    Corvane::acPKCS11* token;
    wxString unknownHolder;
    std::vector<std::shared_ptr<ListEntryData>> results;
};
