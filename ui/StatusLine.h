#pragma once

#include "ui/StatusFader.h"

#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/string.h>
#include <wx/timer.h>

// What a window's status line is made of: its picture and text, the timer and fader that fade
// them out, and the button whose colours the fade runs between.
struct StatusLineParts
{
    wxStaticBitmap* picture;
    wxStaticText* text;
    wxTimer& timer;
    StatusFader& fader;
    wxWindow* colourSource;
};

// Shows the text with the error or the ok picture and gives that picture; an empty text hides
// both and gives none.
wxBitmap SetStatusLine(const StatusLineParts& line, const wxString& text, bool error);
// Starts the fade of the message shown with that picture: the first step at once, the next after
// 1500 ms. Without a valid picture the message stays as it is.
void StartStatusFade(const StatusLineParts& line, const wxBitmap& picture);
// One step of the fade; the last one hides the line and stops the timer.
void StatusFadeStep(const StatusLineParts& line);

// Makes the window one pixel taller and back, so that its sizer lays the status row out again.
void NudgeHeight(wxWindow* window);
// Lets paint and layout events run without dispatching any command.
void YieldForDisplay();
