// The card-list read: the refresh worker's whole read against a bare client of the same module
// that makes only the calls a row needs.
#include "bench/Benchmarks.h"

#include "infobox/InfoboxFS.h"
#include "platform/SharedModule.h"
#include "sim/cardmodule/cardset/CallLog.h"
#include "sim/cardmodule/testsupport/SimEnvironment.h"
#include "slcertificate/slcertificate.h"
#include "token/acPKCS11.h"
#include "ui/RefreshCardThread.h"

#include <cstdlib>
#include <map>
#include <memory>

namespace QuendryBench
{
namespace
{
constexpr CK_ULONG kValueBuffer = 5012;

struct BareRow
{
    std::string cardNumber;
    std::string holder;
    std::string typeName;
    bool identityLink = false;
};

// The value of the first object of that class and label; empty when there is none.
ByteVector ReadValue(const Corvane::ModuleFunctions& f, CK_SESSION_HANDLE session,
                     CK_OBJECT_CLASS objectClass, const std::string& label)
{
    CK_ATTRIBUTE search[] = {
        {CKA_CLASS, &objectClass, sizeof objectClass},
        {CKA_LABEL, const_cast<char*>(label.data()), static_cast<CK_ULONG>(label.size())}};
    CK_OBJECT_HANDLE object = 0;
    CK_ULONG found = 0;
    if (f.C_FindObjectsInit(session, search, 2) != CKR_OK)
        return {};
    const CK_RV rv = f.C_FindObjects(session, &object, 1, &found);
    f.C_FindObjectsFinal(session);
    if (rv != CKR_OK || found == 0)
        return {};
    ByteVector value(kValueBuffer);
    CK_ATTRIBUTE attribute = {CKA_VALUE, value.data(), kValueBuffer};
    if (f.C_GetAttributeValue(session, object, &attribute, 1) != CKR_OK)
        return {};
    value.resize(attribute.ulValueLen);
    return value;
}

bool HasInfoboxEntry(const ByteVector& value)
{
    LibInfobox::InfoboxFS container;
    return LibInfobox::InfoboxFS::HasValidHeader(value) &&
           container.Parse(value, LibInfobox::InfoboxFS::EntriesOffset) &&
           !container.entries.empty();
}

void ReadBareRow(const Corvane::ModuleFunctions& f, CK_SLOT_ID id, std::vector<BareRow>& rows)
{
    CK_TOKEN_INFO token{};
    CK_SLOT_INFO slot{};
    if (f.C_GetTokenInfo(id, &token) != CKR_OK || f.C_GetSlotInfo(id, &slot) != CKR_OK ||
        !(slot.flags & CKF_REMOVABLE_DEVICE))
        return;
    CK_SESSION_HANDLE session = 0;
    if (f.C_OpenSession(id, CKF_SERIAL_SESSION, nullptr, nullptr, &session) != CKR_OK)
        return;
    BareRow row;
    const std::string label(reinterpret_cast<const char*>(token.label), 32);
    const std::string model(reinterpret_cast<const char*>(token.model), 16);
    row.cardNumber.assign(reinterpret_cast<const char*>(token.serialNumber), 16);
    const Corvane::CardTypeRow* type = Corvane::FindCardTypeRow(model, label);
    row.typeName = type ? Corvane::CardTypeDisplayName(type->cardType) : label;
    slcertificate certificate;
    if (DecodeCertificate(ReadValue(f, session, CKO_CERTIFICATE, "C.CH.EKEY"), certificate))
    {
        row.holder = certificate.GetCommonName();
        row.identityLink = !type || !type->infoboxContainer ||
                           HasInfoboxEntry(ReadValue(f, session, CKO_DATA, "INFOBOX"));
    }
    f.C_CloseSession(session);
    rows.push_back(row);
}

std::vector<BareRow> BareRead(const std::string& modulePath)
{
    platform::SharedModule module;
    std::vector<BareRow> rows;
    if (!module.Load(modulePath))
        return rows;
    const Corvane::ModuleFunctions f = Corvane::BindModuleFunctions(module);
    CK_ULONG count = 0;
    if (f.C_Initialize(nullptr) == CKR_OK && f.C_GetSlotList(CK_TRUE, nullptr, &count) == CKR_OK)
    {
        std::vector<CK_SLOT_ID> ids(count);
        if (f.C_GetSlotList(CK_TRUE, ids.data(), &count) == CKR_OK)
            for (CK_SLOT_ID id : ids)
                ReadBareRow(f, id, rows);
    }
    f.C_Finalize(nullptr);
    module.Unload();
    return rows;
}

// The worker's read without its thread: reload, slot list, one row per card.
size_t WrapperRead(Corvane::acPKCS11& token)
{
    RefreshCardThread worker(nullptr, &token, "unbekannt");
    worker.ReadCardList();
    return worker.Results().size();
}

void UseCardSet(BenchCards& cards, int count, bool withLog = false)
{
    setenv("QUENDRY_SIM_CARDS", cards.CardSet(count).c_str(), 1);
    if (withLog)
        setenv("QUENDRY_SIM_LOG", (cards.Folder() + "/calls.log").c_str(), 1);
    else
        unsetenv("QUENDRY_SIM_LOG");
}

// "C_OpenSession 16, ..." from the call log of one read.
std::string CallSummary(const std::vector<QuendrySim::CallRecord>& calls)
{
    std::map<std::string, int> byFunction;
    for (const QuendrySim::CallRecord& call : calls)
        ++byFunction[call.function];
    std::string summary;
    for (const auto& [function, count] : byFunction)
        summary += (summary.empty() ? "" : ", ") + function + " " + std::to_string(count);
    return summary;
}
} // namespace

Registered RegisterCardListBenchmarks(BenchCards& cards)
{
    const std::string module = QuendrySim::SimEnvironment::ModulePath();
    Registered registered;
    for (int count : {8, 64})
    {
        const std::string suffix = "/" + std::to_string(count);
        registered.push_back(benchmark::RegisterBenchmark(
                                 ("cardlist_wrapper" + suffix).c_str(),
                                 [&cards, count, module](benchmark::State& state)
                                 {
                                     UseCardSet(cards, count);
                                     Corvane::acPKCS11::SetModuleFile(module);
                                     Corvane::acPKCS11 token;
                                     for (auto _ : state)
                                         if (WrapperRead(token) != static_cast<size_t>(count))
                                             state.SkipWithError("rows missing");
                                     token.Destroy();
                                 })
                                 ->Unit(benchmark::kMillisecond));
        registered.push_back(benchmark::RegisterBenchmark(
                                 ("cardlist_bare" + suffix).c_str(),
                                 [&cards, count, module](benchmark::State& state)
                                 {
                                     UseCardSet(cards, count);
                                     for (auto _ : state)
                                         if (BareRead(module).size() != static_cast<size_t>(count))
                                             state.SkipWithError("rows missing");
                                 })
                                 ->Unit(benchmark::kMillisecond));
    }
    return registered;
}

// On the CPU clock: the read waits for nothing, and a busy machine stretches wall-clock times
// by whatever else runs.
std::vector<Ratio> CardListRatios()
{
    return {
        {"card-list read 8 cards", "cardlist_wrapper/8", "cardlist_bare/8", 1.3, CpuTime},
        {"card-list read 64 cards", "cardlist_wrapper/64", "cardlist_bare/64", 1.3, CpuTime},
        {"card-list read growth 64/8", "cardlist_wrapper/64", "cardlist_wrapper/8", 9, CpuTime}};
}

void PrintCardListCalls(BenchCards& cards, std::ostream& out)
{
    const std::string module = QuendrySim::SimEnvironment::ModulePath();
    const std::string log = cards.Folder() + "/calls.log";
    UseCardSet(cards, 8, true);
    Corvane::acPKCS11::SetModuleFile(module);
    {
        Corvane::acPKCS11 token;
        std::remove(log.c_str());
        WrapperRead(token);
        const auto calls = QuendrySim::ReadCallLog(log);
        out << "card-list read 8 cards: " << calls.size() << " module calls (" << CallSummary(calls)
            << ")\n";
        token.Destroy();
    }
    std::remove(log.c_str());
    BareRead(module);
    const auto calls = QuendrySim::ReadCallLog(log);
    out << "bare client 8 cards: " << calls.size() << " module calls (" << CallSummary(calls)
        << ")\n";
    UseCardSet(cards, 8);
}
} // namespace QuendryBench
