#include "online/CertUpdater.h"

#include "core/logging/Logger.h"
#include "token/acPKCS11.h"

#include <cctype>

namespace
{
constexpr const char* kSecureAnswerStart = "990290008E08";
constexpr size_t kStatusDigits = 4;
constexpr size_t kStatusObjectDigits = 8;

// Items between "|"; empty items do not count.
std::vector<std::string> SplitList(const std::string& list)
{
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= list.size())
    {
        size_t bar = list.find('|', start);
        if (bar == std::string::npos)
            bar = list.size();
        if (bar > start)
            items.push_back(list.substr(start, bar - start));
        start = bar + 1;
    }
    return items;
}

bool IsHexCommand(const std::string& command)
{
    if (command.empty() || command.size() % 2 != 0)
        return false;
    for (char c : command)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// The MAC at the end of a secure-messaging answer, status word removed or not; false when the
// answer is not one.
bool CheckSecureAnswer(const std::string& answer, const std::string& expectedMac,
                       bool statusRemoved)
{
    const std::string start(kSecureAnswerStart);
    if (answer.size() < start.size())
    {
        GetAppLogger()->Error("apdu response invalid length");
        return false;
    }
    if (answer.compare(0, start.size(), start) != 0)
    {
        GetAppLogger()->Error("apdu response hat keine TLV Struktur");
        return false;
    }
    // Room for the status object and the MAC; the MAC's place is checked by its comparison.
    const size_t tail = statusRemoved ? 0 : kStatusDigits;
    if (answer.size() < kStatusObjectDigits + expectedMac.size())
    {
        GetAppLogger()->Error("apdu response hat ung\xC3\xBCltige L\xC3\xA4nge");
        return false;
    }
    if (answer.compare(answer.size() - tail - expectedMac.size(), expectedMac.size(),
                       expectedMac) != 0)
    {
        GetAppLogger()->Error("apdu mac verify error");
        return false;
    }
    return true;
}
} // namespace

CertUpdater::~CertUpdater() = default;

void CertUpdater::SetToken(Corvane::acPKCS11* wrapper, int32_t index)
{
    token = wrapper;
    slotIndex = index;
}

bool CertUpdater::checkforupdate(int32_t cardType, const std::string& cin, const std::string& csn,
                                 const std::string& encSerial, const std::string& sigSerial,
                                 bool& newEncCertFound, bool& newSigCertFound)
{
    client = std::make_unique<OnlineServicesClient>();
    GetAppLogger()->Message("*** Begin server checkforupdate ***");
    if (client->CertUpdateCheck(cardType, cin, csn, encSerial, sigSerial, newEncCertFound,
                                newSigCertFound))
    {
        GetAppLogger()->Message("*** End server checkforupdate ***");
        return true;
    }
    GetAppLogger()->Message("No update on server for cin/csn: " + cin + "/" + csn +
                            ", encSerial=" + encSerial);
    return false;
}

bool CertUpdater::SendAPDU(const std::string& command, const std::string& expected,
                           std::string& data, CommandInLog shown)
{
    std::string answer;
    if (!token || !IsHexCommand(command) || !token->SendAPDUHex(command, answer) || answer.empty())
    {
        GetAppLogger()->Error("error in SendAPDU");
        return false;
    }
    if (expected.empty())
    {
        data = answer;
        return true;
    }
    if (answer.size() < expected.size())
    {
        GetAppLogger()->Error("length < expected length");
        return false;
    }
    const size_t split = answer.size() - expected.size();
    data = answer.substr(0, split);
    if (answer.compare(split, std::string::npos, expected) == 0)
        return true;
    GetAppLogger()->Error("APDU Error: " + answer.substr(split));
    GetAppLogger()->Error("In data: " + (shown == CommandInLog::Whole
                                             ? command
                                             : OnlineServicesClient::LengthInLog(command)));
    return false;
}

bool CertUpdater::SendAPDUList(const std::string& commands, const std::string& answers,
                               CommandInLog shown)
{
    const std::vector<std::string> commandItems = SplitList(commands);
    const std::vector<std::string> answerItems = SplitList(answers);
    if (commandItems.size() != answerItems.size())
    {
        GetAppLogger()->Error("error apdulist length != resplist length");
        return false;
    }
    for (size_t i = 0; i < commandItems.size(); ++i)
    {
        const size_t semicolon = commandItems[i].find(';');
        const std::string command = commandItems[i].substr(0, semicolon);
        const std::string expected =
            semicolon == std::string::npos ? "" : commandItems[i].substr(semicolon + 1);
        std::string answer;
        if (!SendAPDU(command, expected, answer, shown))
        {
            GetAppLogger()->Error("error sending APDU from persodata");
            return false;
        }
        if (answerItems[i][0] == 'x')
            continue;
        if (!CheckSecureAnswer(answer, answerItems[i], expected.size() >= kStatusDigits))
            return false;
    }
    return true;
}

bool CertUpdater::RunCardCommands(const std::vector<CardCommand>& commands)
{
    for (const CardCommand& command : commands)
    {
        std::string data;
        if (!SendAPDU(command.apdu, command.expected, data))
        {
            GetAppLogger()->Error(command.failure);
            return false;
        }
        if (command.result)
            *command.result = data;
    }
    return true;
}

bool CertUpdater::ServerStep(const char* logName, const std::function<bool()>& call,
                             const std::function<void()>& onFailure)
{
    const std::string name(logName);
    GetAppLogger()->Message("*** Begin server " + name + " ***");
    const bool ok = call();
    if (!ok && onFailure)
        onFailure();
    else if (!ok)
        GetAppLogger()->Message(name + " failed");
    GetAppLogger()->Message("*** End server " + name + " ***");
    return ok;
}

void CertUpdater::Done()
{
    ServerStep(
        "CertUpdateDone", [this] { return client->CertUpdateDone(); },
        [] { GetAppLogger()->Warning("CertUpdateDone failed"); });
}

bool CertUpdater::RunScript(PersoData& script, const char* member, const std::string& text,
                            const char* parseError, const char* runError)
{
    if (!script.Decode(text))
    {
        GetAppLogger()->Error(parseError);
        return false;
    }
    std::string commands;
    std::string answers;
    script.ToApduLists(commands, answers);
    if (!SendAPDUList(commands, answers,
                      OnlineServicesClient::CarriesSecret(member) ? CommandInLog::LengthOnly
                                                                  : CommandInLog::Whole))
    {
        GetAppLogger()->Error(runError);
        return false;
    }
    return true;
}
