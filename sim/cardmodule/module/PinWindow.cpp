#include "sim/cardmodule/module/PinWindow.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace QuendrySim
{
namespace
{
bool WindowWanted()
{
    const char* value = std::getenv("QUENDRY_SIM_PIN_WINDOW");
    return value && std::strcmp(value, "on") == 0;
}

// The card set's PIN names as the program's user knows the PINs.
std::string SpokenName(const std::string& pinName)
{
    static const std::pair<const char*, const char*> kNames[] = {
        {"SIG", "signature PIN"}, {"ENC", "encryption PIN"}, {"INFOBOX", "Infobox PIN"}};
    for (const auto& [name, spoken] : kNames)
        if (pinName == name)
            return spoken;
    return "PIN " + pinName;
}

std::string PromptOf(const PinQuestion& question)
{
    const std::string pin = SpokenName(question.pinName);
    if (question.kind == DialogKind::Verify)
        return "Log in with the " + pin + ".";
    if (question.kind == DialogKind::Change)
        return "Change the " + pin + ": the old PIN, then the new PIN twice.";
    return "Unblock the " + pin + " with its PUK: the PUK, then the new PIN twice.";
}

std::vector<std::string> FieldsOf(DialogKind kind)
{
    if (kind == DialogKind::Verify)
        return {"PIN"};
    return {kind == DialogKind::Change ? "Old PIN" : "PUK", "New PIN", "New PIN again"};
}

// What keeps the typed values from the card: the user's slip, which costs no try.
std::string ComplaintAbout(DialogKind kind, const std::vector<std::string>& typed)
{
    for (const std::string& value : typed)
        if (value.empty())
            return "Every entry is needed.\n";
    if (kind != DialogKind::Verify && typed[1] != typed[2])
        return "The new PINs differ.\n";
    return "";
}
} // namespace

DialogAnswer AskOnScreen(const PinQuestion& question)
{
    if (!WindowWanted())
        return DialogAnswer::Cancel();
    PinForm form{question.cardLabel, PromptOf(question), FieldsOf(question.kind)};
    for (;;)
    {
        std::optional<std::vector<std::string>> typed = ShowPinForm(form);
        if (!typed || typed->size() != form.fields.size())
            return DialogAnswer::Cancel();
        const std::string complaint = ComplaintAbout(question.kind, *typed);
        if (complaint.empty())
        {
            // The repetition stays here: the card takes the new PIN once.
            typed->resize(std::min<size_t>(typed->size(), 2));
            return DialogAnswer::Enter(std::move(*typed));
        }
        form.prompt = complaint + PromptOf(question);
    }
}
} // namespace QuendrySim
