#pragma once

// The attribute values of a card object: raw overrides of the card set first, then what follows
// from the object's class, value and key.

#include "sim/cardmodule/cardset/CardSet.h"
#include "token/Pkcs11Types.h"

#include <optional>

namespace QuendrySim
{
enum class AttributeState
{
    Available,
    Unavailable,
    Sensitive
};

AttributeState AttributeValue(const CardObject& object, CK_ATTRIBUTE_TYPE type, ByteVector& out);
ByteVector UlongBytes(CK_ULONG value);
bool MatchesTemplate(const CardObject& object, const CK_ATTRIBUTE* tmpl, CK_ULONG count);
// The Infobox container lists the "0xNN" object that holds data, with bit 0 of the entry's flags
// equal to the object's CKA_PRIVATE.
void SyncContainerEntry(Card& card, const CardObject& entryObject);
} // namespace QuendrySim
