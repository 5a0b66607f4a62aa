#pragma once

#include "core/Bytes.h"

#include <string>
#include <vector>

// One command of a server-prepared script: the file it selects first (empty for none), the
// command APDU and the MAC the card's secure-messaging answer must carry.
struct PersoDataEntry
{
    ByteVector fileId;
    ByteVector command;
    ByteVector mac;
};

// A decoded persodata script: byte 1 the number of entries, then from offset 4 each entry as
// file id (2 bytes, 00 00 for none), command length L (1 byte), the command and an 8-byte MAC.
class PersoData
{
public:
    // Base64 text of the script; an empty text is an empty script. Every entry must lie wholly
    // inside the script.
    bool Decode(const std::string& script);
    bool ParseEntries(const ByteVector& bytes);
    // The command list and the expected-answer list that CertUpdater::SendAPDUList runs.
    void ToApduLists(std::string& commands, std::string& answers) const;

    const std::vector<PersoDataEntry>& Entries() const { return entries; }

private:
    std::vector<PersoDataEntry> entries;
};
