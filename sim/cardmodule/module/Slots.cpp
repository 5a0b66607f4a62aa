// Slots, tokens, mechanisms, sessions and the login of the simulated module.

#include "sim/cardmodule/module/Module.h"
#include "sim/cardmodule/module/PinEngine.h"
#include "sim/cardmodule/module/PinWindow.h"

#include <algorithm>
#include <cstring>

namespace QuendrySim
{
namespace
{
template <size_t N> void BlankPadded(CK_UTF8CHAR (&field)[N], const std::string& text)
{
    std::memset(field, ' ', N);
    std::memcpy(field, text.data(), std::min(N, text.size()));
}

bool HasKeyType(const Card& card, KeyType type)
{
    return std::any_of(card.objects.begin(), card.objects.end(),
                       [type](const CardObject& o)
                       { return o.objectClass == ObjectClass::PrivateKey && o.keyType == type; });
}

std::vector<CK_MECHANISM_TYPE> MechanismsOf(const Card& card)
{
    std::vector<CK_MECHANISM_TYPE> mechanisms;
    if (HasKeyType(card, KeyType::Rsa))
        mechanisms.push_back(CKM_RSA_PKCS);
    if (HasKeyType(card, KeyType::Ec))
        mechanisms.push_back(CKM_ECDSA);
    return mechanisms;
}

// The card of an existing slot, or the code that says why there is none.
CK_RV CardInSlot(CardSet& set, CK_SLOT_ID id, const Card*& card)
{
    const Slot* slot = set.FindSlot(id);
    if (!slot)
        return CKR_SLOT_ID_INVALID;
    if (!slot->card)
        return CKR_TOKEN_NOT_PRESENT;
    card = &*slot->card;
    return CKR_OK;
}

CK_RV CopyList(const std::vector<CK_ULONG>& items, CK_ULONG* list, CK_ULONG* count)
{
    if (!count)
        return CKR_ARGUMENTS_BAD;
    const CK_ULONG room = *count;
    *count = static_cast<CK_ULONG>(items.size());
    if (!list)
        return CKR_OK;
    if (room < items.size())
        return CKR_BUFFER_TOO_SMALL;
    std::copy(items.begin(), items.end(), list);
    return CKR_OK;
}
} // namespace

CK_RV Module::GetInfo(CK_INFO* info)
{
    if (!info)
        return CKR_ARGUMENTS_BAD;
    std::memset(info, 0, sizeof *info);
    info->cryptokiVersion = {2, 20};
    BlankPadded(info->manufacturerID, "Quendry Simulation");
    BlankPadded(info->libraryDescription, "Quendry simulated card module");
    info->libraryVersion = {1, 0};
    return CKR_OK;
}

CK_RV Module::GetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID* list, CK_ULONG* count,
                          CallLogLine& line)
{
    std::vector<CK_ULONG> ids;
    for (const auto& slot : m_set.slots)
        if (!tokenPresent || slot.card)
            ids.push_back(slot.id);
    line.AddNumber("present", tokenPresent ? 1 : 0);
    line.AddNumber("count", ids.size());
    return CopyList(ids, list, count);
}

CK_RV Module::GetSlotInfo(CK_SLOT_ID id, CK_SLOT_INFO* info)
{
    const Slot* slot = m_set.FindSlot(id);
    if (!slot)
        return CKR_SLOT_ID_INVALID;
    if (!info)
        return CKR_ARGUMENTS_BAD;
    std::memset(info, 0, sizeof *info);
    BlankPadded(info->slotDescription, slot->description);
    BlankPadded(info->manufacturerID, "Quendry Simulation");
    info->flags = CKF_HW_SLOT | (slot->removable ? CKF_REMOVABLE_DEVICE : 0) |
                  (slot->card ? CKF_TOKEN_PRESENT : 0);
    info->hardwareVersion = {1, 0};
    info->firmwareVersion = {1, 0};
    return CKR_OK;
}

CK_RV Module::GetTokenInfo(CK_SLOT_ID id, CK_TOKEN_INFO* info)
{
    const Card* card = nullptr;
    if (CK_RV rv = CardInSlot(m_set, id, card); rv != CKR_OK)
        return rv;
    if (!info)
        return CKR_ARGUMENTS_BAD;
    std::memset(info, 0, sizeof *info);
    BlankPadded(info->label, card->label);
    BlankPadded(info->manufacturerID, card->manufacturer);
    BlankPadded(info->model, card->model);
    BlankPadded(info->serialNumber, card->serial);
    info->flags =
        CKF_TOKEN_INITIALIZED | CKF_USER_PIN_INITIALIZED | CKF_PROTECTED_AUTHENTICATION_PATH;
    auto sessions = std::count_if(m_sessions.begin(), m_sessions.end(),
                                  [id](const auto& entry) { return entry.second.slot == id; });
    info->ulSessionCount = static_cast<CK_ULONG>(sessions);
    info->ulMaxSessionCount = info->ulMaxRwSessionCount = 0; // no limit
    info->ulMaxPinLen = 8;
    info->ulMinPinLen = 4;
    info->ulTotalPublicMemory = info->ulFreePublicMemory = CK_UNAVAILABLE_INFORMATION;
    info->ulTotalPrivateMemory = info->ulFreePrivateMemory = CK_UNAVAILABLE_INFORMATION;
    info->hardwareVersion = {1, 0};
    info->firmwareVersion = {1, 0};
    std::memset(info->utcTime, ' ', sizeof info->utcTime);
    return CKR_OK;
}

CK_RV Module::GetMechanismList(CK_SLOT_ID id, CK_MECHANISM_TYPE* list, CK_ULONG* count)
{
    const Card* card = nullptr;
    if (CK_RV rv = CardInSlot(m_set, id, card); rv != CKR_OK)
        return rv;
    return CopyList(MechanismsOf(*card), list, count);
}

CK_RV Module::GetMechanismInfo(CK_SLOT_ID id, CK_MECHANISM_TYPE type, MechanismInfo* info)
{
    const Card* card = nullptr;
    if (CK_RV rv = CardInSlot(m_set, id, card); rv != CKR_OK)
        return rv;
    auto mechanisms = MechanismsOf(*card);
    if (std::find(mechanisms.begin(), mechanisms.end(), type) == mechanisms.end())
        return CKR_MECHANISM_INVALID;
    if (!info)
        return CKR_ARGUMENTS_BAD;
    const bool rsa = type == CKM_RSA_PKCS;
    info->ulMinKeySize = rsa ? 1024 : 192;
    info->ulMaxKeySize = rsa ? 4096 : 521;
    info->flags = kMechanismHw | kMechanismSign | kMechanismVerify;
    if (!rsa)
        info->flags |= kMechanismEcFp | kMechanismEcNamedCurve | kMechanismEcUncompressed;
    return CKR_OK;
}

CK_RV Module::OpenSession(CK_SLOT_ID id, CK_FLAGS flags, CK_SESSION_HANDLE* handle)
{
    const Card* card = nullptr;
    if (CK_RV rv = CardInSlot(m_set, id, card); rv != CKR_OK)
        return rv;
    if (!(flags & CKF_SERIAL_SESSION))
        return CKR_SESSION_PARALLEL_NOT_SUPPORTED;
    if (!handle)
        return CKR_ARGUMENTS_BAD;
    CK_SESSION_HANDLE fresh = 0;
    if (CK_RV rv = NewSessionHandle(fresh); rv != CKR_OK)
        return rv;
    Session session;
    session.slot = id;
    session.flags = flags;
    m_sessions[fresh] = session;
    *handle = fresh;
    return CKR_OK;
}

CK_RV Module::CloseSession(CK_SESSION_HANDLE handle)
{
    auto found = m_sessions.find(handle);
    if (found == m_sessions.end())
        return CKR_SESSION_HANDLE_INVALID;
    const CK_SLOT_ID slot = found->second.slot;
    m_sessions.erase(found);
    const bool lastOfSlot = std::none_of(m_sessions.begin(), m_sessions.end(),
                                         [slot](const auto& e) { return e.second.slot == slot; });
    if (lastOfSlot)
        m_runtime[slot].LastSessionClosed();
    return CKR_OK;
}

CK_RV Module::CloseAllSessions(CK_SLOT_ID id)
{
    if (!m_set.FindSlot(id))
        return CKR_SLOT_ID_INVALID;
    for (auto it = m_sessions.begin(); it != m_sessions.end();)
        it = it->second.slot == id ? m_sessions.erase(it) : std::next(it);
    m_runtime[id].LastSessionClosed();
    return CKR_OK;
}

CK_RV Module::GetSessionInfo(CK_SESSION_HANDLE handle, CK_SESSION_INFO* info)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    if (!info)
        return CKR_ARGUMENTS_BAD;
    const bool user = !m_runtime[session->slot].loggedIn.empty();
    const bool rw = session->flags & CKF_RW_SESSION;
    info->slotID = session->slot;
    info->state = rw ? (user ? CKS_RW_USER_FUNCTIONS : CKS_RW_PUBLIC_SESSION)
                     : (user ? CKS_RO_USER_FUNCTIONS : CKS_RO_PUBLIC_SESSION);
    info->flags = session->flags;
    info->ulDeviceError = 0;
    return CKR_OK;
}

CK_RV Module::Login(CK_SESSION_HANDLE handle, CK_USER_TYPE user, const CK_UTF8CHAR* pin,
                    CK_ULONG length)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    if (user != CKU_USER)
        return CKR_USER_TYPE_INVALID;
    CardRuntime& runtime = m_runtime[session->slot];
    if (!runtime.loggedIn.empty())
        return CKR_USER_ALREADY_LOGGED_IN;
    Pin* loginPin = card->FindPin(card->loginPin);
    if (!loginPin)
        return CKR_GENERAL_ERROR;
    if (!pin || length == 0)
        rv = RunPinDialog(DialogKind::Verify, *card, *loginPin, card->loginPin);
    else
    {
        rv = VerifyPin(*loginPin, std::string(reinterpret_cast<const char*>(pin), length));
        if (!Save())
            rv = CKR_DEVICE_ERROR;
    }
    if (rv == CKR_OK)
        runtime.loggedIn.insert(card->loginPin);
    return rv;
}

CK_RV Module::Logout(CK_SESSION_HANDLE handle)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    CardRuntime& runtime = m_runtime[session->slot];
    if (runtime.loggedIn.empty())
        return CKR_USER_NOT_LOGGED_IN;
    runtime.loggedIn.clear();
    return CKR_OK;
}

CK_RV Module::Authorize(CK_SLOT_ID slot, Card& card, const std::string& pinName)
{
    if (pinName.empty() || m_runtime[slot].loggedIn.count(pinName))
        return CKR_OK;
    Pin* pin = card.FindPin(pinName);
    if (!pin)
        return CKR_GENERAL_ERROR;
    return RunPinDialog(DialogKind::Verify, card, *pin, pinName);
}

CK_RV Module::RunPinDialog(DialogKind kind, const Card& card, Pin& pin, const std::string& pinName)
{
    static const char* const kKindNames[] = {"change", "unblock", "verify"};
    CallLogLine line("dialog");
    line.Add("kind", kKindNames[static_cast<int>(kind)]);
    line.Add("pin", pinName);
    CK_RV rv = CKR_PIN_LOCKED;
    // Refused before anything is asked or taken from the queue.
    if (!IsLockedFor(kind, pin))
    {
        std::optional<DialogAnswer> queued = TakeAnswerFor(m_set.dialog, pinName);
        const DialogAnswer answer =
            queued ? std::move(*queued) : AskOnScreen({kind, card.label, pinName});
        line.Add("answer", AnswerName(answer));
        rv = ApplyDialogAnswer(kind, pin, answer);
        if (!Save())
            rv = CKR_DEVICE_ERROR;
    }
    Log(line, rv);
    return rv;
}
} // namespace QuendrySim
