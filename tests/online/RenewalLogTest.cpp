// The log file of whole renewals at the highest level: the key, PIN and PUK material that the
// server sends never reaches it, neither whole nor in pieces, as Base64 text or as the bytes it
// decodes to; the members that carry it are named with their length instead.

#include "RenewalFixture.h"

#include "core/codec/Base64.h"
#include "core/codec/ByteCodec.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

namespace
{
constexpr size_t kPiece = 16;
constexpr int kAcosType = 1;

// What the log must never hold, by the test's own judgement rather than the client's list.
const char* const kSecretMembers[] = {"persoData", "persoDataPinPuk", "persoDataKey"};

bool IsSecret(const std::string& member)
{
    return std::find(std::begin(kSecretMembers), std::end(kSecretMembers), member) !=
           std::end(kSecretMembers);
}

using Members = std::vector<std::pair<std::string, std::string>>;

const char* const kEndpoints[] = {
    "CertUpdate",         "CertUpdate/Cardos0", "CertUpdate/Cardos0a", "CertUpdate/Cardos1",
    "CertUpdate/Cardos2", "CertUpdate/Cardos3", "CertUpdate/Cardos4",  "CertUpdate/Cardos5",
    "CertUpdate/Cardos6", "CertUpdate/Cardos7", "CertUpdate/Acos1a",   "CertUpdate/Acos1",
    "CertUpdate/Acos2",   "CertUpdate/Acos3",   "CertUpdate/Acos4",    "CertUpdate/AcosNoSM",
    "CertUpdate/Done"};

// Stands between the client and the simulated server: passes every renewal call on and keeps
// the string members of each answer it brings back, secret or public.
class AnswerRecorder
{
public:
    bool Start(const std::string& target)
    {
        for (const char* endpoint : kEndpoints)
            proxy.SetHandler(endpoint,
                             [this, target](const OnlineServicesSim::RecordedRequest& request,
                                            OnlineServicesSim::Sessions&)
                             { return Forward(target, request); });
        return proxy.StartPlain();
    }
    std::string BaseUrl() const { return proxy.BaseUrl(); }
    // Member names and values, in the order the server sent them.
    Members Secrets() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return secrets;
    }
    Members Public() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return publicMembers;
    }

private:
    OnlineServicesSim::Reply Forward(const std::string& target,
                                     const OnlineServicesSim::RecordedRequest& request)
    {
        LibHttp2::HTTPClient http;
        http.SetUrl(target + request.target.substr(std::strlen(OnlineServicesSim::kBasePath)));
        http.Request().SetMethod(LibHttp2::METHOD_POST);
        http.SetBody(request.body);
        http.AddHeader("Content-Type", "application/json");
        if (!http.Request().SendRequest())
            return Json("{}", 502);
        const ByteVector bytes = http.Request().GetResponseBody();
        const std::string body(bytes.begin(), bytes.end());
        Keep(body);
        return Json(body, http.Request().GetStatusCode());
    }
    void Keep(const std::string& body)
    {
        rapidjson::Document answer;
        answer.Parse(body.data(), body.size());
        if (answer.HasParseError() || !answer.IsObject())
            return;
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& member : answer.GetObject())
            if (member.value.IsString())
                (IsSecret(member.name.GetString()) ? secrets : publicMembers)
                    .emplace_back(member.name.GetString(), member.value.GetString());
    }

    mutable std::mutex mutex;
    Members secrets;
    Members publicMembers;
    // Last, so that it stops before what its handlers fill goes.
    OnlineServicesSim::LoopbackServer proxy;
};

// Every file in the log's folder, rotated copies included, as one text.
std::string LogFiles()
{
    const std::filesystem::path folder =
        std::filesystem::path(GetAppLogger()->LogPath()).parent_path();
    std::stringstream text;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        text << std::ifstream(entry.path(), std::ios::binary).rdbuf();
    return text.str();
}

// A value as Base64 text and as the hexadecimal text of its bytes.
std::vector<std::string> Forms(const std::string& value)
{
    return {value, BytesToHex(Base64().Decode(value), HEX_UPPER | HEX_NO_BLANKS)};
}

// The first piece of the secret, in either form, that the log holds; empty: none. A piece that
// public data holds too (the new key's modulus is in its certificate) is no secret.
std::string LeakedPiece(const std::string& log, const std::string& secret, const Members& open)
{
    std::string known;
    for (const auto& member : open)
        for (const std::string& form : Forms(member.second))
            known += form + "\n";
    for (const std::string& form : Forms(secret))
        for (size_t i = 0; i + kPiece <= form.size(); ++i)
        {
            const std::string piece = form.substr(i, kPiece);
            if (log.find(piece) != std::string::npos && known.find(piece) == std::string::npos)
                return piece;
        }
    return std::string();
}

class RenewalLog : public RenewalFixture
{
protected:
    void SetUp() override
    {
        RenewalFixture::SetUp();
        ASSERT_TRUE(recorder.Start(server.BaseUrl()));
        OnlineServicesClient::SetBaseAddressForTesting(recorder.BaseUrl());
    }

    AnswerRecorder recorder;
};

TEST_F(RenewalLog, NoKeyPinOrPukMaterialOfEitherFamilyReachesTheLogFile)
{
    struct Case
    {
        const char* name;
        int cardType;
        std::vector<std::string> secretMembers; // that the run receives
        bool namedWithLength; // received by generic steps, which log each member they read
        OnlineServicesSim::StepFault keyScriptFault = {};
        std::vector<std::string> commandLines = {}; // the failed commands' "In data" lines
    } const cases[] = {
        {"CardOS", kCardOsType, {"persoDataKey"}, false},
        {"ACOS", kAcosType, {"persoDataPinPuk", "persoDataPinPuk", "persoData"}, true},
        // Its first command, the SELECT of a file the card lacks, fails on its status word.
        {"CardOS, a failed command of the key script",
         kCardOsType,
         {"persoDataKey"},
         false,
         {OnlineServicesSim::RenewalFault::WrongFile, "persoDataKey"},
         {"In data: <14 characters>"}},
    };
    size_t seen = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        OnlineServicesSim::RenewalScenario scenario;
        scenario.faults["Cardos4"] = c.keyScriptFault;
        log.Clear();
        ASSERT_EQ(Renew(scenario, c.cardType), c.commandLines.empty());
        const auto secrets = recorder.Secrets();
        ASSERT_EQ(secrets.size(), seen + c.secretMembers.size());
        const std::string text = LogFiles();
        ASSERT_FALSE(log.Lines().empty());
        ASSERT_NE(text.find(log.Lines().back().second), std::string::npos) << "the run's last line";
        std::vector<std::string> commandLines;
        for (const std::string& error : log.Errors())
            if (error.rfind("In data: ", 0) == 0)
                commandLines.push_back(error);
        EXPECT_EQ(commandLines, c.commandLines);
        for (size_t i = seen; i < secrets.size(); ++i)
        {
            const auto& [name, value] = secrets[i];
            EXPECT_EQ(name, c.secretMembers[i - seen]);
            ASSERT_GE(value.size(), kPiece);
            EXPECT_EQ(LeakedPiece(text, value, recorder.Public()), "") << name;
            const std::string line =
                "DEBUG: " + name + "=<" + std::to_string(value.size()) + " characters>";
            EXPECT_EQ(text.find(line) != std::string::npos, c.namedWithLength) << line;
        }
        seen = secrets.size();
    }
}

// The commands of a script that carries a key are named by their length when one fails.
TEST_F(RenewalLog, AFailedCommandOfAKeyScriptIsNamedByItsLength)
{
    CertUpdater updater;
    OpenCardOs(updater);
    EXPECT_FALSE(updater.SendAPDUList("80010000;9000", "x", CertUpdater::CommandInLog::LengthOnly));
    wrapper->CloseSession();
    const auto errors = log.Errors();
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[1], "In data: <8 characters>");
    EXPECT_EQ(LogFiles().find("80010000"), std::string::npos);
}
} // namespace
