#include "bench/BenchCards.h"

#include "sim/cardmodule/cardset/CardSet.h"
#include "sim/cardmodule/testsupport/SimEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace QuendryBench
{
namespace
{
// Slot ids from 1; serials "<12-digit card number><4-digit card serial>", unique per card.
bool WriteRepeatedCards(const std::string& path, int cardCount)
{
    QuendrySim::CardSet source;
    if (!QuendrySim::LoadCardSet(QuendrySim::SimEnvironment::TemplatePath(), source))
        return false;
    std::vector<QuendrySim::Card> cards;
    for (const QuendrySim::Slot& slot : source.slots)
        if (slot.card)
            cards.push_back(*slot.card);
    if (cards.empty())
        return false;
    QuendrySim::CardSet set;
    for (int i = 0; i < cardCount; ++i)
    {
        QuendrySim::Slot slot;
        slot.id = static_cast<QuendrySim::Code>(i + 1);
        slot.description = "Quendry Sim Reader " + std::to_string(i + 1);
        slot.card = cards[static_cast<size_t>(i) % cards.size()];
        char serial[32];
        std::snprintf(serial, sizeof serial, "%012d%04d", 100000 + i, i % 10000);
        slot.card->serial = serial;
        set.slots.push_back(std::move(slot));
    }
    return QuendrySim::SaveCardSet(set, path);
}
} // namespace

BenchCards::BenchCards()
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quendry-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
        m_folder = pattern;
}

BenchCards::~BenchCards()
{
    std::error_code ignored;
    if (!m_folder.empty())
        std::filesystem::remove_all(m_folder, ignored);
}

std::string BenchCards::CardSet(int cardCount)
{
    if (m_folder.empty())
        return {};
    const std::string path = m_folder + "/cards" + std::to_string(cardCount) + ".json";
    if (std::filesystem::exists(path) || WriteRepeatedCards(path, cardCount))
        return path;
    return {};
}
} // namespace QuendryBench
