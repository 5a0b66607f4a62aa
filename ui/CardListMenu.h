#pragma once

#include <memory>
#include <wx/menu.h>

// The card list's context menu for a card of this type: the card commands, each under the id
// the main window dispatches to the handler of the button it stands for.
std::unique_ptr<wxMenu> CreateCardListMenu(int cardType);
