#pragma once

// The card set of the simulated card module: readers, the cards in them and everything the module
// keeps about them, as plain records. The JSON form is described in sim/cardmodule/README.md.

#include "core/Bytes.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace QuendrySim
{
using Code = unsigned long; // a CK_RV or CK_ULONG value of the native layout

struct Pin
{
    std::string value;
    std::string puk;
    int retries = 3;
    int maxRetries = 3;
    int pukRetries = 10;
    int maxPukRetries = 10;
    int minLength = 4;
    int maxLength = 8;
};

enum class ObjectClass
{
    Data,
    Certificate,
    PrivateKey,
    PublicKey
};

enum class KeyType
{
    None,
    Rsa,
    Ec,
    Dsa
};

struct CardObject
{
    ObjectClass objectClass = ObjectClass::Data;
    std::string label;
    ByteVector id;
    bool isPrivate = false;
    ByteVector value;                // data objects and certificates
    KeyType keyType = KeyType::None; // keys
    ByteVector key;                  // PKCS#8 (private key) or SubjectPublicKeyInfo (public key)
    std::string pin;                 // guards use, and is what the PIN attributes address
    std::string writePin;            // must be logged in before CKA_VALUE is written
    std::string linked;              // label of an object that always holds the same value
    std::map<Code, std::optional<ByteVector>> attributes; // raw overrides; nullopt: unavailable
};

struct CardFile
{
    std::string path; // "3F00/DF71/D001"
    int sfi = 0;      // short file id, 0 for none
    bool isRecordFile = false;
    ByteVector data;
    std::vector<ByteVector> records;
};

struct ApduAnswer
{
    ByteVector command;
    ByteVector response;
};

struct RegisterAnswer
{
    Code operation = 0;
    Code rv = 0;
    ByteVector output;
};

struct Card
{
    int cardType = -1;
    std::string label;
    std::string manufacturer;
    std::string model;
    std::string serial;
    ByteVector atr;
    ByteVector chipId;
    std::string loginPin;
    std::map<std::string, Pin> pins;
    std::vector<CardObject> objects;
    std::vector<CardFile> files;
    std::vector<ApduAnswer> apdus;
    std::vector<RegisterAnswer> registers;

    CardObject* FindObject(const std::string& label);
    Pin* FindPin(const std::string& name);
};

struct Slot
{
    Code id = 0;
    std::string description;
    bool removable = true;
    std::optional<Card> card;
};

struct DialogAnswer
{
    enum class Kind
    {
        Enter,
        Cancel,
        Fail,
        Code
    };
    Kind kind = Kind::Cancel;
    std::vector<std::string> values;
    QuendrySim::Code rv = 0;
    std::string pin; // the name of the PIN it answers; empty: whichever is asked first

    static DialogAnswer Enter(std::vector<std::string> values);
    static DialogAnswer Cancel();
    static DialogAnswer Fail();
    static DialogAnswer Answer(QuendrySim::Code rv);
};

struct Fault
{
    std::string function;
    std::optional<Code> rv;
    int skip = 0;
    std::optional<int> times;
    // Holds each matching call until this file exists in the card set's folder (a plain name,
    // no folder part, not the card set's own), then removes it. The initialiser lets a brace
    // list that stops before it build without warning.
    std::string gate{};
};

struct CardSet
{
    std::string log;
    Code nextHandle = 1;
    std::vector<DialogAnswer> dialog;
    std::vector<Fault> faults;
    std::vector<Slot> slots;

    Slot* FindSlot(Code id);
    Card* FindCardBySerial(const std::string& serial);
};

bool ParseCardSet(const std::string& json, CardSet& out);
// error receives why the text is no card set: the place of a JSON error or the first bad member.
bool ParseCardSet(const std::string& json, CardSet& out, std::string& error);
// What only the card set's place tells about its gates: a held call would delete the card set
// itself, or wait for ever at a folder it cannot take away. error as for ParseCardSet.
bool CheckGates(const CardSet& set, const std::string& cardSetPath, std::string& error);
std::string WriteCardSet(const CardSet& set);
bool LoadCardSet(const std::string& path, CardSet& out);
// Atomic: written to a temporary file beside the target, then renamed over it.
bool SaveCardSet(const CardSet& set, const std::string& path);
} // namespace QuendrySim
