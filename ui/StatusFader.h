#pragma once

#include <wx/colour.h>
#include <wx/image.h>

// Colour and transparency of the status area, step by step from shown to gone.
class StatusFader
{
public:
    StatusFader() = default;
    ~StatusFader() = default;

    void Setup(wxColour start, wxColour end, wxImage picture);
    wxColour GetColour() const;
    wxImage GetImage() const;

    // Advances one step, never past the last; true while the fade is not finished.
    bool Advance();
    int Step() const { return step; }
    int Steps() const { return steps; }

private:
    int step = 0;
    int steps = 100;
    wxColour startColour;
    wxColour endColour;
    wxImage picture;
};
