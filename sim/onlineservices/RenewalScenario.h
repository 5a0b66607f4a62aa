#pragma once

// What a test tells the renewal service (RenewalService.h) and what it reads back of each run:
// plain data, the same for the service in-process and for the one a Windows test reaches
// through quendry-sim-control.

#include <map>
#include <set>
#include <string>
#include <vector>

namespace OnlineServicesSim
{

using Bytes = std::vector<unsigned char>;

// A deliberate fault of one step's answer.
enum class RenewalFault
{
    None,
    Status,        // answered 500
    MissingMember, // the member left out
    EmptyValue,    // the member empty
    BadBase64,     // the member no Base64 (or hexadecimal) text
    WrongMac,      // a script whose last answer MAC is not the card's
    CutScript,     // a script cut inside its last entry
    Misdirected,   // authentication data or commands made with another key
    WrongFile      // a script that selects a file the card does not have there
};

struct StepFault
{
    RenewalFault kind = RenewalFault::None;
    std::string member; // empty: the step's first answer member
};

struct RenewalScenario
{
    bool certUpdateFound = true;
    bool newEncCert = true;
    bool newSigCert = true;
    std::string holder = "Quendry Renewed Holder";
    // The register's cards by CIN: they keep their holder's name, and with any named the update
    // check finds no other card. None named: every card renews in the name of holder.
    std::map<std::string, std::string> holderByCin;
    // ACOS: the new encryption key pair (PKCS#8; empty: a new one each run), and the key that
    // AcosNoSM certifies (SubjectPublicKeyInfo; empty: AcosNoSM is refused).
    Bytes acosEncryptionKey;
    Bytes fallbackKey;
    // CardOS: what the server knows of the card's files, which its answers must show: the
    // version record (hexadecimal) and the certificate files it lacks ("C000", "C608", "2F01").
    std::string cardOsVersion = "05030001";
    std::set<std::string> cardOsMissingFiles;
    std::map<std::string, StepFault> faults; // by step name ("Cardos2", "Done")
};

// What a renewal run shows of itself: the scenario it ran under, how far it went, what it issued.
struct RenewalRecord
{
    RenewalScenario scenario;
    int cardType = 0;
    std::string cin;
    std::string csn;
    std::vector<std::string> steps; // the steps answered with 200, in order
    Bytes signatureCertificate;     // DER of what the run issued
    Bytes encryptionCertificate;
    bool done = false;
};

} // namespace OnlineServicesSim
