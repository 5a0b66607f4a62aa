#pragma once

// The control channel between the Windows tests under Wine and the simulated online services,
// which run as a Linux program: every message is a list of fields, each written as its length
// in decimal, ":" and its bytes, so any byte may travel.

#include "sim/onlineservices/Messages.h"
#include "sim/onlineservices/RenewalScenario.h"
#include "sim/onlineservices/ZmrScenario.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace OnlineServicesSim::remote
{

class FieldWriter
{
public:
    FieldWriter& Put(const std::string& field)
    {
        text.append(std::to_string(field.size())).append(":").append(field);
        return *this;
    }
    FieldWriter& Put(uint64_t number) { return Put(std::to_string(number)); }
    FieldWriter& Put(const Bytes& bytes) { return Put(std::string(bytes.begin(), bytes.end())); }
    // The count, then each item as putItem writes it.
    template <typename Items, typename PutItem>
    FieldWriter& PutEach(const Items& items, PutItem putItem)
    {
        Put(items.size());
        for (const auto& item : items)
            putItem(*this, item);
        return *this;
    }
    FieldWriter& PutHeaders(const HeaderList& headers)
    {
        Put(headers.size());
        for (const auto& [name, value] : headers)
            Put(name).Put(value);
        return *this;
    }
    const std::string& Text() const { return text; }

private:
    std::string text;
};

// Reads fields in order; once a field is missing or malformed every later read gives empty.
class FieldReader
{
public:
    explicit FieldReader(std::string text) : text(std::move(text)) {}

    std::string Take()
    {
        const size_t colon = text.find(':', position);
        if (!ok || colon == std::string::npos || colon == position || colon - position > 19)
            return Fail();
        uint64_t length = 0;
        for (size_t i = position; i < colon; ++i)
        {
            if (text[i] < '0' || text[i] > '9')
                return Fail();
            length = length * 10 + static_cast<uint64_t>(text[i] - '0');
        }
        if (length > text.size() - colon - 1)
            return Fail();
        position = colon + 1 + length;
        return text.substr(colon + 1, length);
    }
    uint64_t TakeNumber()
    {
        const std::string field = Take();
        uint64_t value = 0;
        for (char c : field)
            value = c >= '0' && c <= '9' ? value * 10 + static_cast<uint64_t>(c - '0') : value;
        return value;
    }
    Bytes TakeBytes()
    {
        const std::string field = Take();
        return Bytes(field.begin(), field.end());
    }
    // The count, then each item as takeItem reads it, until a field is missing.
    template <typename TakeItem> void TakeEach(TakeItem takeItem)
    {
        for (uint64_t count = TakeNumber(); ok && count > 0; --count)
            takeItem(*this);
    }
    HeaderList TakeHeaders()
    {
        HeaderList headers;
        for (uint64_t count = TakeNumber(); ok && count > 0; --count)
        {
            std::string name = Take();
            headers.emplace_back(std::move(name), Take());
        }
        return headers;
    }
    bool Ok() const { return ok; }
    bool AtEnd() const { return position == text.size(); }

private:
    std::string Fail()
    {
        ok = false;
        return std::string();
    }

    std::string text;
    size_t position = 0;
    bool ok = true;
};

inline void PutReply(FieldWriter& out, const Reply& reply)
{
    out.Put(static_cast<uint64_t>(reply.status)).Put(reply.reason).Put(reply.body);
    out.Put(reply.fillerBytes).PutHeaders(reply.headers);
    out.Put(static_cast<uint64_t>(reply.framing)).Put(reply.contentLength).Put(reply.raw);
    out.Put(static_cast<uint64_t>(reply.drop)).Put(reply.dropAfterBodyBytes);
    out.Put(reply.delayMs).Put(reply.openSession ? 1 : 0);
}

inline Reply TakeReply(FieldReader& in)
{
    Reply reply;
    reply.status = static_cast<int>(in.TakeNumber());
    reply.reason = in.Take();
    reply.body = in.Take();
    reply.fillerBytes = in.TakeNumber();
    reply.headers = in.TakeHeaders();
    reply.framing = static_cast<Framing>(in.TakeNumber());
    reply.contentLength = in.Take();
    reply.raw = in.Take();
    reply.drop = static_cast<Drop>(in.TakeNumber());
    reply.dropAfterBodyBytes = in.TakeNumber();
    reply.delayMs = static_cast<unsigned>(in.TakeNumber());
    reply.openSession = in.TakeNumber() != 0;
    return reply;
}

inline void PutRequest(FieldWriter& out, const RecordedRequest& request)
{
    out.Put(request.raw).Put(request.head).Put(request.requestLine).Put(request.method);
    out.Put(request.target).Put(request.version).PutHeaders(request.headers).Put(request.body);
    out.Put(request.tls ? 1 : 0).Put(request.complete ? 1 : 0).Put(request.endpoint);
    out.Put(request.sessionId).Put(request.knownSession ? 1 : 0);
}

inline RecordedRequest TakeRequest(FieldReader& in)
{
    RecordedRequest request;
    request.raw = in.Take();
    request.head = in.Take();
    request.requestLine = in.Take();
    request.method = in.Take();
    request.target = in.Take();
    request.version = in.Take();
    request.headers = in.TakeHeaders();
    request.body = in.Take();
    request.tls = in.TakeNumber() != 0;
    request.complete = in.TakeNumber() != 0;
    request.endpoint = in.Take();
    request.sessionId = in.Take();
    request.knownSession = in.TakeNumber() != 0;
    return request;
}

inline void PutText(FieldWriter& out, const std::string& text)
{
    out.Put(text);
}

inline void PutTextPair(FieldWriter& out, const std::pair<const std::string, std::string>& pair)
{
    out.Put(pair.first).Put(pair.second);
}

inline void TakeTextPair(FieldReader& in, std::map<std::string, std::string>& pairs)
{
    std::string name = in.Take();
    pairs[std::move(name)] = in.Take();
}

inline void PutScenario(FieldWriter& out, const RenewalScenario& scenario)
{
    out.Put(scenario.certUpdateFound ? 1 : 0).Put(scenario.newEncCert ? 1 : 0);
    out.Put(scenario.newSigCert ? 1 : 0).Put(scenario.holder);
    out.PutEach(scenario.holderByCin, PutTextPair);
    out.Put(scenario.acosEncryptionKey).Put(scenario.fallbackKey).Put(scenario.cardOsVersion);
    out.PutEach(scenario.cardOsMissingFiles, PutText);
    out.PutEach(scenario.faults,
                [](FieldWriter& item, const std::pair<const std::string, StepFault>& fault)
                {
                    item.Put(fault.first).Put(static_cast<uint64_t>(fault.second.kind));
                    item.Put(fault.second.member);
                });
}

inline RenewalScenario TakeScenario(FieldReader& in)
{
    RenewalScenario scenario;
    scenario.certUpdateFound = in.TakeNumber() != 0;
    scenario.newEncCert = in.TakeNumber() != 0;
    scenario.newSigCert = in.TakeNumber() != 0;
    scenario.holder = in.Take();
    in.TakeEach([&](FieldReader& item) { TakeTextPair(item, scenario.holderByCin); });
    scenario.acosEncryptionKey = in.TakeBytes();
    scenario.fallbackKey = in.TakeBytes();
    scenario.cardOsVersion = in.Take();
    in.TakeEach([&](FieldReader& item) { scenario.cardOsMissingFiles.insert(item.Take()); });
    in.TakeEach(
        [&](FieldReader& item)
        {
            StepFault& fault = scenario.faults[item.Take()];
            fault.kind = static_cast<RenewalFault>(item.TakeNumber());
            fault.member = item.Take();
        });
    return scenario;
}

inline void PutRun(FieldWriter& out, const RenewalRecord& run)
{
    PutScenario(out, run.scenario);
    out.Put(static_cast<uint64_t>(run.cardType)).Put(run.cin).Put(run.csn);
    out.PutEach(run.steps, PutText);
    out.Put(run.signatureCertificate).Put(run.encryptionCertificate).Put(run.done ? 1 : 0);
}

inline RenewalRecord TakeRun(FieldReader& in)
{
    RenewalRecord run;
    run.scenario = TakeScenario(in);
    run.cardType = static_cast<int>(in.TakeNumber());
    run.cin = in.Take();
    run.csn = in.Take();
    in.TakeEach([&](FieldReader& item) { run.steps.push_back(item.Take()); });
    run.signatureCertificate = in.TakeBytes();
    run.encryptionCertificate = in.TakeBytes();
    run.done = in.TakeNumber() != 0;
    return run;
}

inline void PutZmrScenario(FieldWriter& out, const ZmrScenario& scenario)
{
    out.Put(scenario.sessionText);
    out.PutEach(scenario.persons,
                [](FieldWriter& item, const ZmrPerson& person)
                {
                    item.Put(person.commonName).PutEach(person.fields, PutTextPair);
                    item.Put(person.identityLink).Put(person.cin);
                });
}

inline ZmrScenario TakeZmrScenario(FieldReader& in)
{
    ZmrScenario scenario;
    scenario.sessionText = in.Take();
    in.TakeEach(
        [&](FieldReader& item)
        {
            ZmrPerson& person = scenario.persons.emplace_back();
            person.commonName = item.Take();
            item.TakeEach([&](FieldReader& field) { TakeTextPair(field, person.fields); });
            person.identityLink = item.Take();
            person.cin = item.Take();
        });
    return scenario;
}

} // namespace OnlineServicesSim::remote
