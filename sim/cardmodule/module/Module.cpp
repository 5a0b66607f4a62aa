#include "sim/cardmodule/module/Module.h"

#include "sim/cardmodule/cardset/AtomicFile.h"
#include "sim/cardmodule/module/ProblemReport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace QuendrySim
{
namespace
{
constexpr CK_SESSION_HANDLE kHandleBlock = 256;

std::string EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string LogPathFor(const std::string& cardSetPath, const std::string& member)
{
    std::string fromEnvironment = EnvironmentValue("QUENDRY_SIM_LOG");
    if (!fromEnvironment.empty() || member.empty())
        return fromEnvironment;
    std::filesystem::path path(member);
    if (path.is_relative())
        path = std::filesystem::path(cardSetPath).parent_path() / path;
    return path.string();
}

// Waits until the gate file exists and takes it away again: each file lets one call through.
// Anything else there, such as a folder made since the load (unlink leaves folders alone), lets
// the call through and stays, so that no call waits for what it can never take away.
void PassGate(const std::string& gate, const std::string& cardSetPath)
{
    // Windows refuses to remove a gate its maker still holds open: that is retried for a while
    // (2 s) before the gate is reported as staying.
    int refusals = 0;
    while (unlink(gate.c_str()) != 0)
    {
        if (errno == EACCES && ++refusals < 400)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (errno != ENOENT)
        {
            ReportProblem(cardSetPath, "the gate " + gate + " stays (" +
                                           std::generic_category().message(errno) +
                                           "); the call goes on");
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// The program above shows only an empty card list, so the one who edited the file learns here
// what is wrong with it. The reason never holds the file's content.
CK_RV CannotLoad(const std::string& path, const std::string& reason)
{
    ReportProblem(path, "cannot load the card set " + path + ": " + reason);
    return CKR_GENERAL_ERROR;
}
} // namespace

Module& TheModule()
{
    static Module module;
    return module;
}

CardObject* ObjectOfHandle(Card& card, CK_OBJECT_HANDLE handle)
{
    if (handle == 0 || handle > card.objects.size())
        return nullptr;
    return &card.objects[handle - 1];
}

CK_OBJECT_HANDLE HandleOfObject(const Card& card, const CardObject& object)
{
    return static_cast<CK_OBJECT_HANDLE>(&object - card.objects.data()) + 1;
}

CK_RV Module::Initialize(CallLogLine& line)
{
    if (m_initialized)
        return CKR_CRYPTOKI_ALREADY_INITIALIZED;
    m_path = EnvironmentValue("QUENDRY_SIM_CARDS");
    m_set = CardSet{};
    m_lastFile = FileIdentity{};
    if (CK_RV rv = RefreshFromDisk(); rv != CKR_OK)
        return rv;
    m_nextHandle = std::max<Code>(m_set.nextHandle, 1);
    m_logPath = LogPathFor(m_path, m_set.log);
    line.Add("cards", m_path);
    CK_RV fault = ApplyFaults("C_Initialize");
    if (fault != CKR_OK)
        return fault;
    m_sessions.clear();
    m_runtime.clear();
    m_initialized = true;
    return CKR_OK;
}

CK_RV Module::Finalize(CallLogLine&)
{
    if (!m_initialized)
        return CKR_CRYPTOKI_NOT_INITIALIZED;
    CK_RV fault = ApplyFaults("C_Finalize");
    m_sessions.clear();
    m_runtime.clear();
    m_initialized = false;
    return fault;
}

CK_RV Module::Prepare(const char* function)
{
    if (!m_initialized)
        return CKR_CRYPTOKI_NOT_INITIALIZED;
    CK_RV rv = RefreshFromDisk();
    return rv == CKR_OK ? ApplyFaults(function) : rv;
}

// The file is read again only when it is another file than the one last read or written, as an
// edit between calls makes it; a call on an unchanged card set costs one stat. After Initialize
// has forgotten the last file, it is always read.
CK_RV Module::RefreshFromDisk()
{
    if (m_path.empty())
        return CKR_OK;
    FileIdentity identity;
    if (!IdentityOf(m_path, identity))
        return CannotLoad(m_path, std::generic_category().message(errno));
    if (identity == m_lastFile)
        return CKR_OK;
    std::string bytes;
    if (!ReadWholeFile(m_path, bytes))
        return CannotLoad(m_path, "the file cannot be read");
    CardSet fresh;
    std::string error;
    if (!ParseCardSet(bytes, fresh, error) || !CheckGates(fresh, m_path, error))
        return CannotLoad(m_path, error);
    m_set = std::move(fresh);
    m_saved = m_set;
    // Taken before the read: a change in between shows as yet another file at the next call.
    m_lastFile = identity;
    // A count raised on disk is honoured; a lower one (a stale copy saved back) is not trusted.
    m_nextHandle = std::max<Code>(m_nextHandle, m_set.nextHandle);
    return CKR_OK;
}

CK_RV Module::ApplyFaults(const char* function)
{
    for (auto fault = m_set.faults.begin(); fault != m_set.faults.end(); ++fault)
    {
        if (fault->function != function)
            continue;
        if (fault->skip > 0)
        {
            --fault->skip;
            Save();
            return CKR_OK;
        }
        const Fault applied = *fault;
        if (fault->times)
        {
            if (--*fault->times <= 0)
                m_set.faults.erase(fault);
            Save();
        }
        // Counted before the call waits, so the file shows a held call. It keeps the lock, as a
        // slow card would keep every other call waiting.
        if (!applied.gate.empty())
            PassGate((std::filesystem::path(m_path).parent_path() / applied.gate).string(), m_path);
        return applied.rv.value_or(CKR_OK);
    }
    return CKR_OK;
}

bool Module::Save()
{
    if (m_path.empty())
        return true;
    FileIdentity written;
    if (!WriteFileAtomically(m_path, WriteCardSet(m_set), &written))
    {
        m_set = m_saved;
        return false;
    }
    m_saved = m_set;
    m_lastFile = written;
    return true;
}

CK_RV Module::NewSessionHandle(CK_SESSION_HANDLE& handle)
{
    const CK_SESSION_HANDLE fresh = m_nextHandle;
    if (fresh >= m_set.nextHandle)
    {
        // Every handle below the count on disk may have been given, so the next load starts above.
        m_set.nextHandle = fresh + kHandleBlock;
        if (!Save())
            return CKR_DEVICE_ERROR;
    }
    m_nextHandle = fresh + 1;
    handle = fresh;
    return CKR_OK;
}

void Module::Log(const CallLogLine& line, CK_RV rv)
{
    std::string path = m_logPath.empty() ? EnvironmentValue("QUENDRY_SIM_LOG") : m_logPath;
    if (path.empty())
        return;
    std::ofstream out(path, std::ios::app | std::ios::binary);
    out << line.Finish(rv);
}

void Module::ResetCardState(CK_SLOT_ID slot)
{
    m_runtime[slot] = CardRuntime{};
}

Module::SessionRef Module::SessionOf(CK_SESSION_HANDLE handle)
{
    auto found = m_sessions.find(handle);
    if (found == m_sessions.end())
        return {CKR_SESSION_HANDLE_INVALID, nullptr, nullptr};
    Slot* slot = m_set.FindSlot(found->second.slot);
    if (!slot || !slot->card)
        return {CKR_DEVICE_REMOVED, &found->second, nullptr};
    return {CKR_OK, &found->second, &*slot->card};
}

Module::ObjectRef Module::ObjectOf(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object)
{
    SessionRef ref = SessionOf(handle);
    if (ref.rv != CKR_OK)
        return {ref.rv, ref.session, ref.card, nullptr};
    CardObject* found = ObjectOfHandle(*ref.card, object);
    return {found ? CKR_OK : CKR_OBJECT_HANDLE_INVALID, ref.session, ref.card, found};
}
} // namespace QuendrySim
