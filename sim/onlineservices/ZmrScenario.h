#pragma once

// What a test tells the identity-link service (ZmrService.h): plain data, the same for the
// service in-process and for the one a Windows test reaches through quendry-sim-control.

#include <map>
#include <string>
#include <vector>

namespace OnlineServicesSim
{

// One person the simulated register knows.
struct ZmrPerson
{
    // The common name of the signer certificate this entry answers; empty answers any.
    std::string commonName;
    // The register search's members by name (UTF-8), toBeSigned among them; a member not given
    // is answered empty.
    std::map<std::string, std::string> fields;
    // Base64 of the identity-link record; empty: one is made from the register fields.
    std::string identityLink;
    std::string cin;
};

struct ZmrScenario
{
    std::string sessionText = "Ich beantrage die Suche im Zentralen Melderegister "
                              "(ZMR) f\xC3\xBCr meine Personenbindung.";
    std::vector<ZmrPerson> persons;
};

} // namespace OnlineServicesSim
