#pragma once

// What a CardOS card keeps between commands: the secure-messaging session that a mutual
// authentication opened, the folder it was opened in, and a key arriving in chained commands.

#include "core/Bytes.h"
#include "sim/testkeys/SecureMessaging.h"

#include <string>

namespace QuendrySim
{
struct CardOsSession
{
    bool open = false;
    std::string folder; // "3F00", "3F00/DF01", ...
    SimKeys::SmChannel channel;
    ByteVector keyParts;
};
} // namespace QuendrySim
