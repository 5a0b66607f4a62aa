#pragma once

// A register scenario for the identity-link road: a person whose register text carries umlauts
// and an ampersand, and an identity-link record the card must end up holding byte for byte.

#include "core/Bytes.h"
#include "core/codec/Base64.h"
#include "sim/onlineservices/ZmrService.h"

#include <string>

namespace ZmrTest
{
// UTF-8; every character has a Windows-1252 form.
inline const std::string kRegisterText =
    "Name: J\xC3\xB6rg Wei\xC3\x9F, geboren am 01.02.1970 in Sankt P\xC3\xB6lten\n"
    "Meldeadresse: Hauptstra\xC3\x9F"
    "e 5/2/7, 1010 Wien\n"
    "Stammzahl & Personenbindung f\xC3\xBCr die Karte";
inline const std::wstring kRegisterTextWide =
    L"Name: J\u00F6rg Wei\u00DF, geboren am 01.02.1970 in Sankt P\u00F6lten\n"
    L"Meldeadresse: Hauptstra\u00DFe 5/2/7, 1010 Wien\n"
    L"Stammzahl & Personenbindung f\u00FCr die Karte";

// A compact record of 203 bytes: a SEQUENCE, as the card takes it.
inline ByteVector IdentityRecord()
{
    ByteVector record = {0x30, 0x81, 0xC8};
    for (int i = 0; i < 200; ++i)
        record.push_back(static_cast<unsigned char>(i * 7 + 3));
    return record;
}

inline std::string Base64Of(const ByteVector& bytes)
{
    std::string text;
    Base64Encode(bytes, text);
    return text;
}

// Answers any signer with the given card identification number.
inline OnlineServicesSim::ZmrScenario Scenario(const std::string& cin)
{
    OnlineServicesSim::ZmrPerson person;
    person.cin = cin;
    person.identityLink = Base64Of(IdentityRecord());
    person.fields = {{"ZmrSearchResp", "OK"},       {"GivenName", "J\xC3\xB6rg"},
                     {"FamilyName", "Wei\xC3\x9F"}, {"DateOfBirth", "1970-02-01"},
                     {"Municipality", "Wien"},      {"toBeSigned", kRegisterText}};
    OnlineServicesSim::ZmrScenario scenario;
    scenario.persons.push_back(person);
    return scenario;
}
} // namespace ZmrTest
