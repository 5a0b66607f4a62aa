#include "sim/cardmodule/cardset/CardSet.h"

namespace QuendrySim
{
CardObject* Card::FindObject(const std::string& wanted)
{
    for (auto& object : objects)
        if (object.label == wanted)
            return &object;
    return nullptr;
}

Pin* Card::FindPin(const std::string& name)
{
    auto found = pins.find(name);
    return found == pins.end() ? nullptr : &found->second;
}

DialogAnswer DialogAnswer::Enter(std::vector<std::string> values)
{
    DialogAnswer answer;
    answer.kind = Kind::Enter;
    answer.values = std::move(values);
    return answer;
}

DialogAnswer DialogAnswer::Cancel()
{
    return DialogAnswer{};
}

DialogAnswer DialogAnswer::Fail()
{
    DialogAnswer answer;
    answer.kind = Kind::Fail;
    return answer;
}

DialogAnswer DialogAnswer::Answer(QuendrySim::Code rv)
{
    DialogAnswer answer;
    answer.kind = Kind::Code;
    answer.rv = rv;
    return answer;
}

Slot* CardSet::FindSlot(Code id)
{
    for (auto& slot : slots)
        if (slot.id == id)
            return &slot;
    return nullptr;
}

Card* CardSet::FindCardBySerial(const std::string& serial)
{
    for (auto& slot : slots)
        if (slot.card && slot.card->serial == serial)
            return &*slot.card;
    return nullptr;
}
} // namespace QuendrySim
