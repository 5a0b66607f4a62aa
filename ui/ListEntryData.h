#pragma once

#include <wx/string.h>

// One row of the card list, built by the card-list worker and shared with the main window.
struct ListEntryData
{
    wxString cardNumber;
    wxString holder;
    wxString cardTypeName;
    bool identityLink = false;
    int cardType = -1;
};
