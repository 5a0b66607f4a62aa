#pragma once

// Card sets for the benchmarks: the generated template's cards repeated to the wanted count, in a
// folder of their own that is removed again.

#include <string>

namespace QuendryBench
{
class BenchCards
{
public:
    BenchCards();
    ~BenchCards();
    BenchCards(const BenchCards&) = delete;
    BenchCards& operator=(const BenchCards&) = delete;

    // The path of a card set with that many cards (made on first use); empty on failure.
    std::string CardSet(int cardCount);
    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
};
} // namespace QuendryBench
