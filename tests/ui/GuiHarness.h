#pragma once

#include "tests/platform/ScopedTempFolder.h"

#include <functional>
#include <string>
#include <vector>
#include <wx/modalhook.h>
#include <wx/window.h>

namespace GuiTest
{
// Runs the event loop until the condition holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);
// Runs the event loop for about that long.
void RunFor(int milliseconds);

// Writes a picture of the window as the screen shows it to
// build/<config>/test-artefacts/<name>.png; false on failure, also when the picture is blank.
bool SaveScreenshot(wxWindow* window, const std::string& name);

// Writes the registry hive HKEY_LOCAL_MACHINE into a folder of its own, points the registry
// store at it and registers the configuration table.
class RegistryFixture
{
public:
    // Lines below [HKEY_LOCAL_MACHINE\Software\Corvane GmbH\Quendry Client], e.g.
    // "\"Version\"=\"1.2.3\"".
    explicit RegistryFixture(const std::vector<std::string>& clientValues = {},
                             const std::vector<std::string>& traceValues = {});
    ~RegistryFixture();

private:
    ScopedTempFolder folder;
};

// Answers every modal dialog in place of the user and records it; unexpected ones fail a test
// unless an answer was given.
class ModalAnswerer : public wxModalDialogHook
{
public:
    ModalAnswerer();
    ~ModalAnswerer() override;
    // The next modal dialogs are answered with these ids, in order.
    void Answer(std::vector<int> ids) { answers = std::move(ids); }
    const std::vector<wxString>& Seen() const { return seen; }

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* dialog) override;

private:
    std::vector<int> answers;
    std::vector<wxString> seen;
};
} // namespace GuiTest
