// The PIN window on Windows: a dialog of the module's own, laid out in memory, modal on the
// calling thread.

#include "sim/cardmodule/module/PinWindow.h"

#include "platform/Utf8.h"

#include <windows.h>

namespace QuendrySim
{
namespace
{
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kPromptId = 100;
constexpr WORD kFirstEntryId = 200;

// Layout in dialog units.
constexpr int kMargin = 7;
constexpr int kWidth = 240;
constexpr int kPromptHeight = 24;
constexpr int kRowHeight = 18;
constexpr int kLabelWidth = 70;
constexpr int kEntryHeight = 14;
constexpr int kButtonWidth = 50;

struct Box
{
    int x, y, width, height;
};

// A dialog template as DialogBoxIndirectParam reads it: a sequence of words in which every item
// starts on a DWORD boundary.
class DialogTemplate
{
public:
    DialogTemplate(const std::wstring& title, int width, int height)
    {
        AddDword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION |
                 WS_SYSMENU);
        AddDword(0);
        m_words.push_back(0); // the item count, raised by each item
        AddBox({0, 0, width, height});
        m_words.push_back(0); // no menu
        m_words.push_back(0); // the standard dialog class
        AddText(title);
        m_words.push_back(8); // points
        AddText(L"MS Shell Dlg");
    }

    void AddItem(WORD classAtom, DWORD style, const Box& place, WORD id, const std::wstring& text)
    {
        if (m_words.size() % 2 != 0)
            m_words.push_back(0);
        AddDword(style | WS_CHILD | WS_VISIBLE);
        AddDword(0);
        AddBox(place);
        m_words.push_back(id);
        m_words.push_back(0xFFFF);
        m_words.push_back(classAtom);
        AddText(text);
        m_words.push_back(0); // no creation data
        ++m_words[kItemCountWord];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    static constexpr size_t kItemCountWord = 4;

    void AddDword(DWORD value)
    {
        m_words.push_back(LOWORD(value));
        m_words.push_back(HIWORD(value));
    }
    void AddBox(const Box& box)
    {
        for (int value : {box.x, box.y, box.width, box.height})
            m_words.push_back(static_cast<WORD>(value));
    }
    void AddText(const std::wstring& text)
    {
        m_words.insert(m_words.end(), text.begin(), text.end());
        m_words.push_back(0);
    }

    std::vector<WORD> m_words;
};

std::wstring Wide(const std::string& text)
{
    std::wstring wide;
    platform::Utf8ToWide(text, wide);
    return wide;
}

std::string Utf8(const std::wstring& wide)
{
    const int length = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, text.data(), size, nullptr, nullptr);
    return text;
}

// The prompt, one labelled masked entry per field, then OK and Cancel.
DialogTemplate LayOut(const PinForm& form)
{
    const int rows = static_cast<int>(form.fields.size());
    const int buttonsTop = kMargin + kPromptHeight + rows * kRowHeight + 4;
    DialogTemplate dialog(Wide(form.title), kWidth, buttonsTop + kEntryHeight + kMargin);
    dialog.AddItem(kStaticClass, SS_LEFT,
                   Box{kMargin, kMargin, kWidth - 2 * kMargin, kPromptHeight - 4}, kPromptId,
                   Wide(form.prompt));
    for (int row = 0; row < rows; ++row)
    {
        const int top = kMargin + kPromptHeight + row * kRowHeight;
        const WORD entryId = static_cast<WORD>(kFirstEntryId + row);
        dialog.AddItem(kStaticClass, SS_LEFT, Box{kMargin, top + 3, kLabelWidth, 8}, 0,
                       Wide(form.fields[static_cast<size_t>(row)]));
        const int left = kMargin + kLabelWidth + 4;
        dialog.AddItem(kEditClass, ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP,
                       Box{left, top, kWidth - kMargin - left, kEntryHeight}, entryId, L"");
    }
    const int cancelLeft = kWidth - kMargin - kButtonWidth;
    dialog.AddItem(kButtonClass, BS_DEFPUSHBUTTON | WS_TABSTOP,
                   Box{cancelLeft - 4 - kButtonWidth, buttonsTop, kButtonWidth, kEntryHeight}, IDOK,
                   L"OK");
    dialog.AddItem(kButtonClass, BS_PUSHBUTTON | WS_TABSTOP,
                   Box{cancelLeft, buttonsTop, kButtonWidth, kEntryHeight}, IDCANCEL, L"Cancel");
    return dialog;
}

struct FormState
{
    size_t fields = 0;
    std::vector<std::string> typed;
};

std::string EntryText(HWND dialog, int id)
{
    HWND entry = GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(entry)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(entry, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

INT_PTR CALLBACK FormProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
    {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE; // the first entry takes the focus
    }
    if (message != WM_COMMAND || (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL))
        return FALSE;
    if (LOWORD(wParam) == IDOK)
    {
        auto* state = reinterpret_cast<FormState*>(GetWindowLongPtrW(dialog, DWLP_USER));
        for (size_t field = 0; field < state->fields; ++field)
            state->typed.push_back(EntryText(dialog, static_cast<int>(kFirstEntryId + field)));
    }
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
}

// The module's own instance, whatever loaded it.
HINSTANCE ThisModule()
{
    static const int kAnchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&kAnchor), &module);
    return module;
}
} // namespace

std::optional<std::vector<std::string>> ShowPinForm(const PinForm& form)
{
    const DialogTemplate dialog = LayOut(form);
    FormState state;
    state.fields = form.fields.size();
    // Owned by the caller's active window, which the dialog disables while it is shown.
    const INT_PTR result = DialogBoxIndirectParamW(ThisModule(), dialog.Get(), GetActiveWindow(),
                                                   FormProcedure, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK)
        return std::nullopt;
    return state.typed;
}
} // namespace QuendrySim
