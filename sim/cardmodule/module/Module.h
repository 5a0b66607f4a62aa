#pragma once

// The simulated card module behind the exported C_ functions: the card set with its write-back,
// sessions, the per-card runtime state, fault injection and the call log. One instance per loaded
// module; every entry point takes its lock.

#include "sim/cardmodule/cardset/AtomicFile.h"
#include "sim/cardmodule/cardset/CardSet.h"
#include "sim/cardmodule/module/AcosSession.h"
#include "sim/cardmodule/module/CallLogLine.h"
#include "sim/cardmodule/module/CardOsSession.h"
#include "sim/cardmodule/module/PinEngine.h"
#include "sim/cardmodule/module/Pkcs11Extra.h"

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace QuendrySim
{
struct FindState
{
    bool active = false;
    std::vector<CK_OBJECT_HANDLE> results;
    size_t next = 0;
};

struct CryptoOperation
{
    bool active = false;
    CK_OBJECT_HANDLE key = 0;
    CK_MECHANISM_TYPE mechanism = 0;
};

struct Session
{
    CK_SLOT_ID slot = 0;
    CK_FLAGS flags = 0;
    FindState find;
    CryptoOperation sign;
    CryptoOperation verify;
};

// What a reader remembers about its card between calls but never writes back.
struct CardRuntime
{
    std::string currentFolder = "3F00";
    std::string currentFile;
    std::set<std::string> loggedIn;
    ByteVector challenge; // the last GET CHALLENGE, until an authentication uses it
    CardOsSession cardOs;
    AcosSession acos;

    // The card's last session has closed: its login and an ACOS part under way end with it.
    void LastSessionClosed()
    {
        loggedIn.clear();
        acos = AcosSession{};
    }
};

class Module
{
public:
    CK_RV Initialize(CallLogLine& line);
    CK_RV Finalize(CallLogLine& line);

    // Runs one entry point under the lock: the initialisation check, a re-read of a card set
    // changed on disk, the faults of the card set, the body and the log line.
    template <typename Body> CK_RV Call(const char* function, Body body)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        CallLogLine line(function);
        CK_RV rv = Prepare(function);
        if (rv == CKR_OK)
            rv = body(line);
        Log(line, rv);
        return rv;
    }
    template <typename Body> CK_RV CallUninitialized(const char* function, Body body)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        CallLogLine line(function);
        CK_RV rv = body(line);
        Log(line, rv);
        return rv;
    }

    // Slots, tokens and sessions.
    CK_RV GetInfo(CK_INFO* info);
    CK_RV GetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID* list, CK_ULONG* count, CallLogLine& line);
    CK_RV GetSlotInfo(CK_SLOT_ID id, CK_SLOT_INFO* info);
    CK_RV GetTokenInfo(CK_SLOT_ID id, CK_TOKEN_INFO* info);
    CK_RV GetMechanismList(CK_SLOT_ID id, CK_MECHANISM_TYPE* list, CK_ULONG* count);
    CK_RV GetMechanismInfo(CK_SLOT_ID id, CK_MECHANISM_TYPE type, MechanismInfo* info);
    CK_RV OpenSession(CK_SLOT_ID id, CK_FLAGS flags, CK_SESSION_HANDLE* handle);
    CK_RV CloseSession(CK_SESSION_HANDLE handle);
    CK_RV CloseAllSessions(CK_SLOT_ID id);
    CK_RV GetSessionInfo(CK_SESSION_HANDLE handle, CK_SESSION_INFO* info);
    CK_RV Login(CK_SESSION_HANDLE handle, CK_USER_TYPE user, const CK_UTF8CHAR* pin,
                CK_ULONG length);
    CK_RV Logout(CK_SESSION_HANDLE handle);

    // Objects.
    CK_RV FindObjectsInit(CK_SESSION_HANDLE handle, const CK_ATTRIBUTE* tmpl, CK_ULONG count,
                          CallLogLine& line);
    CK_RV FindObjects(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE* objects, CK_ULONG max,
                      CK_ULONG* found);
    CK_RV FindObjectsFinal(CK_SESSION_HANDLE handle);
    CK_RV GetAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object, CK_ATTRIBUTE* tmpl,
                            CK_ULONG count, CallLogLine& line);
    CK_RV SetAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object,
                            const CK_ATTRIBUTE* tmpl, CK_ULONG count, CallLogLine& line);

    // Signatures.
    CK_RV SignInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key,
                   CallLogLine& line);
    CK_RV Sign(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG length, CK_BYTE* signature,
               CK_ULONG* signatureLength);
    CK_RV VerifyInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key,
                     CallLogLine& line);
    CK_RV Verify(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG length,
                 const CK_BYTE* signature, CK_ULONG signatureLength);
    // Multi-part signing and verifying are not performed; the call ends the active operation.
    CK_RV EndWithUnsupportedPart(CK_SESSION_HANDLE handle, bool forSigning);
    // The card has no random number generator.
    CK_RV Random(CK_SESSION_HANDLE handle);

    // Vendor channel.
    CK_RV CardTransmit(CK_SESSION_HANDLE handle, const CK_BYTE* command, CK_ULONG length,
                       CK_BYTE* response, CK_ULONG* responseLength, CallLogLine& line);
    CK_RV CardAttribute(CK_SESSION_HANDLE handle, const char* name, CK_BYTE* buffer,
                        CK_ULONG* length);
    CK_RV Register(CK_SESSION_HANDLE handle, CK_ULONG operation, const CK_BYTE* input,
                   CK_BYTE* output, CK_ULONG outputSize, CallLogLine& line);

private:
    CK_RV Prepare(const char* function);
    CK_RV RefreshFromDisk();
    CK_RV ApplyFaults(const char* function);
    // Writes the card set back; when the file does not take it, the change is undone in memory
    // too, so that no later write carries it to disk.
    bool Save();
    // A handle never given before, also across loads and crashes: handles are reserved on disk
    // in blocks, so only every kHandleBlock-th session rewrites the card set.
    CK_RV NewSessionHandle(CK_SESSION_HANDLE& handle);
    void Log(const CallLogLine& line, CK_RV rv);
    void ResetCardState(CK_SLOT_ID slot);

    // The session and its card; rv tells why there is none.
    struct SessionRef
    {
        CK_RV rv;
        Session* session;
        Card* card;
    };
    struct ObjectRef
    {
        CK_RV rv;
        Session* session;
        Card* card;
        CardObject* object;
    };
    SessionRef SessionOf(CK_SESSION_HANDLE handle);
    ObjectRef ObjectOf(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object);
    CK_RV CryptoInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key,
                     bool forSigning, CallLogLine& line);
    // The PIN dialog of the card: the first queued answer for the PIN, else the window on the
    // screen when it is on. Verify asks for the PIN that guards an object unless it is logged in.
    CK_RV RunPinDialog(DialogKind kind, const Card& card, Pin& pin, const std::string& pinName);
    CK_RV Authorize(CK_SLOT_ID slot, Card& card, const std::string& pinName);
    CK_RV RunPinAttribute(Card& card, CardObject& object, const CK_ATTRIBUTE& attribute);
    CK_RV WriteValue(CK_SLOT_ID slot, Card& card, CardObject& object, const ByteVector& value);
    CK_RV SetPrivate(Card& card, CardObject& object, bool isPrivate);

    std::mutex m_mutex;
    bool m_initialized = false;
    std::string m_path;
    std::string m_logPath;
    FileIdentity m_lastFile;
    CK_SESSION_HANDLE m_nextHandle = 1;
    CardSet m_set;
    CardSet m_saved; // the card set as the file holds it
    std::map<CK_SESSION_HANDLE, Session> m_sessions;
    std::map<CK_SLOT_ID, CardRuntime> m_runtime;
};

Module& TheModule();
CardObject* ObjectOfHandle(Card& card, CK_OBJECT_HANDLE handle);
CK_OBJECT_HANDLE HandleOfObject(const Card& card, const CardObject& object);
} // namespace QuendrySim
