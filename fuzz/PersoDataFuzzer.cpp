#include "core/codec/Base64.h"
#include "fuzz/FuzzCheck.h"
#include "online/CertUpdater.h"
#include "online/PersoData.h"
#include "sim/cardmodule/cardset/Hex.h"
#include "sim/cardmodule/testsupport/SimEnvironment.h"
#include "token/acPKCS11.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace
{
constexpr size_t kMacLength = 8;
constexpr int kCardOsType = 7;
const ByteVector kStatusOk = {0x90, 0x00};
const ByteVector kSecureAnswerStart = {0x99, 0x02, 0x90, 0x00, 0x8E, 0x08};

size_t ItemCount(const std::string& list)
{
    if (list.empty())
        return 0;
    size_t count = 1;
    for (char c : list)
        count += c == '|';
    return count;
}

// One command of the lists as the card receives it, with the MAC its answer must carry
// (none for a file selection, whose answer goes unchecked).
struct ListItem
{
    ByteVector command;
    ByteVector mac;
};

std::vector<ListItem> ItemsOf(const PersoData& script)
{
    std::vector<ListItem> items;
    for (const PersoDataEntry& entry : script.Entries())
    {
        if (!entry.fileId.empty())
        {
            ByteVector select = {0x00, 0xA4, 0x00, 0x0C, 0x02};
            select.insert(select.end(), entry.fileId.begin(), entry.fileId.end());
            items.push_back({select, {}});
        }
        if (!entry.command.empty())
            items.push_back({entry.command, entry.mac});
    }
    return items;
}

// The simulated CardOS chip behind the token wrapper, in a card set of its own.
class SimulatedCard
{
public:
    SimulatedCard()
    {
        FUZZ_CHECK(env.Ready());
        Corvane::acPKCS11::SetModuleFile(QuendrySim::SimEnvironment::ModulePath());
        pristine = env.Load();
        std::vector<Corvane::TokenSlot*> slots;
        FUZZ_CHECK(wrapper.GetSlots(slots, true));
        const std::string serial = Card(pristine).serial;
        for (size_t i = 0; i < slots.size(); ++i)
            if (slots[i]->tokenSerial == serial)
                index = static_cast<int>(i);
        FUZZ_CHECK(index >= 0 && wrapper.OpenSession(index));
    }

    // Runs the lists on the card as it was generated, the given commands answered as fixed.
    bool Run(const std::string& commands, const std::string& answers,
             const std::vector<QuendrySim::ApduAnswer>& fixed)
    {
        QuendrySim::CardSet set = pristine;
        Card(set).apdus = fixed;
        FUZZ_CHECK(env.Save(set));
        env.ClearCalls();
        wrapper.Reset();
        CertUpdater updater;
        updater.SetToken(&wrapper, index);
        return updater.SendAPDUList(commands, answers);
    }

    // The commands the card received since the last run, as hexadecimal text.
    std::vector<std::string> Received() const
    {
        std::vector<std::string> apdus;
        for (const QuendrySim::CallRecord& record : env.Calls())
            if (record.function == "C_CardTransmit")
                apdus.push_back(record.Field("apdu"));
        return apdus;
    }

private:
    static QuendrySim::Card& Card(QuendrySim::CardSet& set)
    {
        for (auto& slot : set.slots)
            if (slot.card && slot.card->cardType == kCardOsType)
                return *slot.card;
        std::abort();
    }

    QuendrySim::SimEnvironment env;
    QuendrySim::CardSet pristine;
    Corvane::acPKCS11 wrapper;
    int index = -1;
};

SimulatedCard& Card()
{
    static SimulatedCard card;
    return card;
}

ByteVector SecureAnswer(const ByteVector& mac)
{
    ByteVector answer = kSecureAnswerStart;
    answer.insert(answer.end(), mac.begin(), mac.end());
    answer.insert(answer.end(), kStatusOk.begin(), kStatusOk.end());
    return answer;
}

// Every command answered as a sound card would, the first answer of a command repeating for
// every later use of the same bytes; the number of commands that pass before the first that
// must fail.
size_t PassingWithFixedAnswers(const std::vector<ListItem>& items,
                               std::vector<QuendrySim::ApduAnswer>& fixed)
{
    std::map<ByteVector, ByteVector> answerOf;
    for (const ListItem& item : items)
    {
        const ByteVector answer = item.mac.empty() ? kStatusOk : SecureAnswer(item.mac);
        if (answerOf.emplace(item.command, answer).second)
            fixed.push_back({item.command, answer});
    }
    // Each fixed answer ends in 90 00, all that a file selection expects.
    size_t passing = 0;
    while (passing < items.size() &&
           (items[passing].mac.empty() ||
            answerOf[items[passing].command] == SecureAnswer(items[passing].mac)))
        ++passing;
    return passing;
}

// The script's lists on the card: with the script's first byte odd the chip answers by itself,
// else every command gets its sound answer and the run must end exactly where the first
// command with a reused answer that does not fit fails.
void CheckOnCard(const PersoData& script, const ByteVector& bytes, const std::string& commands,
                 const std::string& answers)
{
    const std::vector<ListItem> items = ItemsOf(script);
    if (items.empty())
        return;
    std::vector<QuendrySim::ApduAnswer> fixed;
    const bool chipAnswers = !bytes.empty() && (bytes[0] & 1);
    const size_t passing = chipAnswers ? items.size() : PassingWithFixedAnswers(items, fixed);
    const bool ok = Card().Run(commands, answers, fixed);
    const std::vector<std::string> received = Card().Received();
    FUZZ_CHECK(received.size() <= items.size());
    for (size_t i = 0; i < received.size(); ++i)
        FUZZ_CHECK(received[i] == QuendrySim::ToHex(items[i].command));
    if (chipAnswers)
        return;
    FUZZ_CHECK(ok == (passing == items.size()));
    FUZZ_CHECK(received.size() == std::min(items.size(), passing + 1));
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
    CheckOnCard(script, Base64().Decode(text), commands, answers);
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
