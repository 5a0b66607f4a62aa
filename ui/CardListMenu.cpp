#include "ui/CardListMenu.h"

#include "ui/WindowIds.h"

#include <initializer_list>
#include <wx/intl.h>

namespace
{
const wchar_t* const EncryptionLabel = wxTRANSLATE(L"Geheimhaltungszertifikat");
const wchar_t* const SignatureLabel = wxTRANSLATE(L"Signaturzertifikat");
const wchar_t* const IdentityLinkLabel = wxTRANSLATE(L"Personenbindung");

struct Item
{
    int id; // 0: not offered for this card
    const wchar_t* label;
};

wxMenu* NewSubmenu(std::initializer_list<Item> items)
{
    auto* submenu = new wxMenu;
    for (const Item& item : items)
    {
        if (item.id != 0)
            submenu->Append(item.id, wxGetTranslation(item.label));
    }
    return submenu;
}
} // namespace

std::unique_ptr<wxMenu> CreateCardListMenu(int cardType)
{
    // Only the first ACOS cards have an Infobox PIN; only these families renew online.
    const bool infoboxPin = cardType == 0;
    const bool renewable = cardType == 1 || cardType == 2 || cardType == 7;
    auto menu = std::make_unique<wxMenu>();
    menu->AppendSubMenu(
        NewSubmenu({{ID_MENU_CHANGE_ENC_PIN, EncryptionLabel},
                    {ID_MENU_CHANGE_SIG_PIN, SignatureLabel},
                    {infoboxPin ? ID_MENU_CHANGE_INFOBOX_PIN : 0, IdentityLinkLabel}}),
        _(L"PIN ändern"));
    menu->AppendSubMenu(
        NewSubmenu({{ID_MENU_UNBLOCK_ENC_PIN, EncryptionLabel},
                    {ID_MENU_UNBLOCK_SIG_PIN, SignatureLabel},
                    {infoboxPin ? ID_MENU_UNBLOCK_INFOBOX_PIN : 0, IdentityLinkLabel}}),
        _(L"PIN entsperren"));
    menu->AppendSeparator();
    menu->AppendSubMenu(NewSubmenu({{ID_MENU_SHOW_ENC_CERTIFICATE, EncryptionLabel},
                                    {ID_MENU_SHOW_SIG_CERTIFICATE, SignatureLabel}}),
                        _(L"Zertifikat anzeigen"));
    if (renewable)
        menu->Append(ID_MENU_UPDATE_CERTIFICATES, _(L"Zertifikate ersetzen"));
    menu->Append(ID_MENU_SHOW_INFOBOX, _(L"Infobox anzeigen"));
    menu->AppendSeparator();
    menu->AppendSubMenu(NewSubmenu({{ID_MENU_TEST_ENC_KEY, EncryptionLabel},
                                    {ID_MENU_TEST_SIG_KEY, SignatureLabel}}),
                        _(L"Signatur testen"));
    return menu;
}
