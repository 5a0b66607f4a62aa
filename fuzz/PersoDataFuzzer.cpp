#include "core/codec/Base64.h"
#include "fuzz/FuzzCheck.h"
#include "online/PersoData.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
constexpr size_t kMacLength = 8;

size_t ItemCount(const std::string& list)
{
    if (list.empty())
        return 0;
    size_t count = 1;
    for (char c : list)
        count += c == '|';
    return count;
}

void CheckScript(const std::string& text)
{
    PersoData script;
    if (!script.Decode(text))
    {
        FUZZ_CHECK(script.Entries().empty());
        return;
    }
    size_t items = 0;
    for (const PersoDataEntry& entry : script.Entries())
    {
        FUZZ_CHECK(entry.fileId.empty() || entry.fileId.size() == 2);
        FUZZ_CHECK(entry.command.size() <= 0xFF && entry.mac.size() == kMacLength);
        items += !entry.fileId.empty() + !entry.command.empty();
    }
    std::string commands;
    std::string answers;
    script.ToApduLists(commands, answers);
    // One answer item per command item, none of them empty.
    FUZZ_CHECK(ItemCount(commands) == items && ItemCount(answers) == items);
    FUZZ_CHECK(commands.find("||") == std::string::npos && answers.find("||") == std::string::npos);
    // A second decode of the same script gives the same entries, not twice as many.
    const size_t count = script.Entries().size();
    FUZZ_CHECK(script.Decode(text) && script.Entries().size() == count);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The input as the script's bytes, and as the text the server sent.
    std::string text;
    Base64Encode(ByteVector(data, data + size), text);
    CheckScript(text);
    CheckScript(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
