#include "ui/StatusLine.h"

#include "ui/art/error.xpm"
#include "ui/art/ok.xpm"

#include <wx/evtloop.h>

namespace
{
constexpr int FadeStartDelayMs = 1500;
constexpr int FadeStepMs = 100;
} // namespace

wxBitmap SetStatusLine(const StatusLineParts& line, const wxString& text, bool error)
{
    if (text.empty())
    {
        line.text->Hide();
        line.picture->Hide();
        return wxNullBitmap;
    }
    const wxBitmap picture(error ? error_xpm : ok_xpm);
    line.text->Show();
    line.picture->Show();
    line.text->SetLabel(text);
    line.picture->ClearBackground();
    line.picture->SetBitmap(picture);
    line.picture->Refresh(true);
    line.picture->Update();
    return picture;
}

void StartStatusFade(const StatusLineParts& line, const wxBitmap& picture)
{
    // Not the control's bitmap: a step of an earlier fade may have replaced it meanwhile.
    if (!picture.IsOk())
        return; // shown without a fade until the next message
    line.fader.Setup(line.colourSource->GetForegroundColour(),
                     line.colourSource->GetBackgroundColour(), picture.ConvertToImage());
    StatusFadeStep(line);
    line.timer.Start(FadeStartDelayMs, wxTIMER_CONTINUOUS);
}

void StatusFadeStep(const StatusLineParts& line)
{
    if (line.fader.Advance())
    {
        line.text->SetForegroundColour(line.fader.GetColour());
        line.text->Refresh(true);
        line.text->Update();
        line.picture->SetBitmap(wxBitmap(line.fader.GetImage()));
        if (line.timer.GetInterval() != FadeStepMs)
            line.timer.Start(FadeStepMs, wxTIMER_CONTINUOUS);
        return;
    }
    line.timer.Stop();
    line.picture->Hide();
    line.text->Hide();
    line.text->SetForegroundColour(line.colourSource->GetForegroundColour());
}

void NudgeHeight(wxWindow* window)
{
    const wxSize size = window->GetSize();
    window->SetSize(wxSize(size.x, size.y + 1));
    window->SetSize(size);
}

void YieldForDisplay()
{
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop != nullptr && !loop->IsYielding())
        loop->YieldFor(wxEVT_CATEGORY_UI);
}
