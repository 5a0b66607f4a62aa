#pragma once

#include "core/Bytes.h"
#include "infobox/InfoboxFS.h"
#include "token/acPKCS11.h"

#include <cstdint>
#include <string>
#include <vector>

// Which Infobox entries a card holds: the container entries of "INFOBOX" or the three fixed data
// objects. Shared by the card-list worker (only the flag) and the Infobox dialog (the lines); it
// touches no window, so it may run on the worker thread.
class InfoboxEntryList
{
public:
    InfoboxEntryList(Corvane::acPKCS11& token, int slotIndex, int cardType);

    // The value of the card's data object with that label; out is empty when the value counts
    // as empty (its first 128 bytes are zero). The wrapper's current session is closed at the end.
    bool ReadDataObject(std::string label, ByteVector& out);
    // The lines of the container object "INFOBOX"; true also for a container without entries.
    bool ListInfoboxEntries();
    // Reads the card information and lists the entries by the card's kind; true when there is one.
    bool LoadEntries();
    // The same on card information the caller has just read for this card.
    bool LoadEntries(const Corvane::CardInfo& info);
    // The first container entry with that tag, as last read; null when there is none.
    const LibInfobox::InfoboxFSEntry* ContainerEntry(uint8_t tag) const;
    // Stores the data object of that container entry again with its private flag turned over
    // (set when bit 0 of the entry's flags is clear), with the value read last or, when that is
    // empty, read afresh. True when the card took it.
    bool ToggleEntryPrivate(uint8_t tag);

    const std::vector<std::string>& Entries() const { return entries; }
    bool ContainerMode() const { return containerMode; }
    int CardType() const { return cardType; }
    const Corvane::CardInfo& Info() const { return cardInfo; }
    const ByteVector& CurrentEntryBytes() const { return currentEntryBytes; }
    const LibInfobox::InfoboxFS& Container() const { return container; }

    // "01 PERSONENBINDUNG", "02 RFU1", "0a RFU2" ...
    static std::string EntryLine(uint8_t tag);
    // The data object of a container entry: "0x01" for tag 1, "0x0a" for tag 10.
    static std::string DataObjectLabel(uint8_t tag);

    static constexpr unsigned long ValueBufferSize = 5012;

private:
    bool FindDataObject(const std::string& label, CK_OBJECT_HANDLE& object);
    bool ReadValue(CK_OBJECT_HANDLE object, bool withPrivate, ByteVector& out);
    bool WriteValue(CK_OBJECT_HANDLE object, bool makePrivate);

    Corvane::acPKCS11& token;
    int slotIndex;
    int cardType;
    Corvane::CardInfo cardInfo;
    LibInfobox::InfoboxFS container;
    bool containerMode = false;
    ByteVector currentEntryBytes;
    std::vector<std::string> entries;
};
