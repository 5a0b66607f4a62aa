#include "sim/onlineservices/ZmrService.h"

#include "platform/Cp1252.h"
#include "platform/Utf8.h"
#include "sim/onlineservices/TestPki.h"

#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/rand.h>
#include <openssl/x509.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <ctime>
#include <memory>

namespace OnlineServicesSim
{
namespace
{
using Bytes = std::vector<unsigned char>;
using Members = std::vector<std::pair<std::string, std::string>>;

struct Pkcs7Deleter
{
    void operator()(PKCS7* p7) const { PKCS7_free(p7); }
};
using Pkcs7Ptr = std::unique_ptr<PKCS7, Pkcs7Deleter>;

constexpr const char* kPersonKey = "person";
constexpr const char* kRegisterTextKey = "registerText";

std::string Text(const rapidjson::Value& value)
{
    return std::string(value.GetString(), value.GetStringLength());
}

Reply JsonObject(const Members& members, int status = 200)
{
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    for (const auto& [name, value] : members)
    {
        writer.Key(name.c_str());
        writer.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
    }
    writer.EndObject();
    return JsonReply(std::string(buffer.GetString(), buffer.GetSize()), status);
}

Reply Refuse(int status, const std::string& reason)
{
    return JsonObject({{"error", reason}}, status);
}

// The string members of a JSON object body; false when the body is no such object or lacks one.
bool ReadStrings(const std::string& body, const std::vector<const char*>& names,
                 std::vector<std::string>& values)
{
    rapidjson::Document document;
    document.Parse(body.data(), body.size());
    if (document.HasParseError() || !document.IsObject())
        return false;
    values.clear();
    for (const char* name : names)
    {
        const auto member = document.FindMember(name);
        if (member == document.MemberEnd() || !member->value.IsString())
            return false;
        values.push_back(Text(member->value));
    }
    return true;
}

// Base64 in one line, as the client sends it: anything else is refused.
bool DecodeBase64(const std::string& text, Bytes& out)
{
    if (text.empty() || text.size() % 4 != 0)
        return false;
    out.resize(text.size() / 4 * 3);
    const int length =
        EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
    if (length < 0)
        return false;
    const size_t padding = text.compare(text.size() - 2, 2, "==") == 0 ? 2 : text.back() == '=';
    out.resize(static_cast<size_t>(length) - padding);
    return true;
}

std::string CommonName(X509* certificate)
{
    X509_NAME* name = X509_get_subject_name(certificate);
    const int index = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
    unsigned char* utf8 = nullptr;
    const int length =
        index < 0 ? -1
                  : ASN1_STRING_to_UTF8(&utf8,
                                        X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
    if (length < 0)
        return std::string();
    std::string text(reinterpret_cast<char*>(utf8), static_cast<size_t>(length));
    OPENSSL_free(utf8);
    return text;
}

// Verifies PKCS#7 signed data (Base64) against the one signer's certificate inside it: the
// signature must hold and the signed content must be expected. Gives the signer's common name.
bool VerifySignedRequest(const std::string& base64, const std::string& expected,
                         std::string& signerName, std::string& reason)
{
    Bytes der;
    const unsigned char* cursor = nullptr;
    Pkcs7Ptr p7;
    if (DecodeBase64(base64, der))
    {
        cursor = der.data();
        p7.reset(d2i_PKCS7(nullptr, &cursor, static_cast<long>(der.size())));
    }
    if (!p7 || cursor != der.data() + der.size() || !PKCS7_type_is_signed(p7.get()))
    {
        reason = "no PKCS#7 signed data";
        return false;
    }
    STACK_OF(X509)* signers = PKCS7_get0_signers(p7.get(), nullptr, 0);
    const bool oneSigner = signers != nullptr && sk_X509_num(signers) == 1;
    signerName = oneSigner ? CommonName(sk_X509_value(signers, 0)) : std::string();
    sk_X509_free(signers);
    BioPtr content(BIO_new(BIO_s_mem()));
    if (!oneSigner || !content ||
        PKCS7_verify(p7.get(), nullptr, nullptr, nullptr, content.get(),
                     PKCS7_NOVERIFY | PKCS7_BINARY) != 1)
    {
        reason = "signature invalid";
        return false;
    }
    const char* bytes = nullptr;
    const long length = BIO_get_mem_data(content.get(), &bytes);
    if (std::string(bytes, static_cast<size_t>(length)) != expected)
    {
        reason = "signed content differs";
        return false;
    }
    return true;
}

// The bytes the holder signs for a register text: Windows-1252; empty when it has no such form.
std::string Cp1252Of(const std::string& utf8)
{
    std::wstring wide;
    std::string narrow;
    if (!platform::Utf8ToWide(utf8, wide) || !platform::WideToCp1252(wide, narrow))
        return std::string();
    return narrow;
}

Bytes Tlv(unsigned char tag, const Bytes& content)
{
    const size_t n = content.size();
    Bytes out;
    out.reserve(n + 4);
    out.push_back(tag);
    if (n >= 0x100)
    {
        out.push_back(0x82);
        out.push_back(static_cast<unsigned char>(n >> 8));
    }
    else if (n >= 0x80)
        out.push_back(0x81);
    out.push_back(static_cast<unsigned char>(n & 0xFF));
    for (unsigned char byte : content)
        out.push_back(byte);
    return out;
}

Bytes Utf8String(const std::string& text)
{
    return Tlv(0x0C, Bytes(text.begin(), text.end()));
}

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        for (unsigned char byte : part)
            out.push_back(byte);
    return out;
}

Bytes RandomBytes(size_t count)
{
    Bytes bytes(count);
    RAND_bytes(bytes.data(), static_cast<int>(count));
    return bytes;
}

std::string FieldOf(const ZmrPerson& person, const std::string& name)
{
    const auto found = person.fields.find(name);
    return found == person.fields.end() ? std::string() : found->second;
}

// A compact identity-link record for the person, issued now.
std::string MadeIdentityLink(const ZmrPerson& person)
{
    char issued[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc = {};
    gmtime_r(&now, &utc);
    std::strftime(issued, sizeof issued, "%Y-%m-%dT%H:%M:%SZ", &utc);
    const Bytes personData = Tlv(0x30, Joined({Utf8String("urn:quendry:zmr:" + person.cin),
                                               Utf8String(FieldOf(person, "GivenName")),
                                               Utf8String(FieldOf(person, "FamilyName")),
                                               Utf8String(FieldOf(person, "DateOfBirth"))}));
    const Bytes record =
        Tlv(0x30, Joined({Tlv(0x02, {0x01}), Utf8String("http://idl.quendry.example/template/1"),
                          Utf8String("urn:quendry:idl:compact"), Utf8String(issued),
                          Tlv(0xA0, personData), Tlv(0x30, Tlv(0x04, RandomBytes(20))),
                          Tlv(0x03, Joined({{0x00}, RandomBytes(64)}))}));
    std::string base64(4 * ((record.size() + 2) / 3), '\0');
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&base64[0]), record.data(),
                    static_cast<int>(record.size()));
    return base64;
}

class ZmrHandlers
{
public:
    explicit ZmrHandlers(const ZmrScenario& scenario) : scenario(scenario) {}

    Reply OpenSession(const RecordedRequest& request, Sessions& sessions) const
    {
        std::vector<std::string> values;
        if (!ReadStrings(request.body, {"lang"}, values) ||
            (values[0] != "DE" && values[0] != "EN"))
            return Refuse(400, "lang must be DE or EN");
        const std::string id = sessions.Open("ZmrSession");
        Session* session = sessions.Find(id);
        session->values["lang"] = values[0];
        session->values["toBeSigned"] = scenario.sessionText;
        return JsonObject({{"sessionid", id}, {"toBeSigned", scenario.sessionText}});
    }

    Reply Search(const RecordedRequest& request, Sessions& sessions) const
    {
        Session* session = OwnSession(request, sessions);
        if (session == nullptr)
            return Refuse(404, "unknown session");
        std::vector<std::string> values;
        if (!ReadStrings(request.body, {"ZmrSearchReq"}, values))
            return Refuse(400, "ZmrSearchReq missing");
        std::string signerName;
        std::string reason;
        if (!VerifySignedRequest(values[0], session->values["toBeSigned"], signerName, reason))
            return Refuse(400, reason);
        for (size_t index = 0; index < scenario.persons.size(); ++index)
        {
            const ZmrPerson& person = scenario.persons[index];
            if (!person.commonName.empty() && person.commonName != signerName)
                continue;
            session->values[kPersonKey] = std::to_string(index);
            session->values[kRegisterTextKey] = FieldOf(person, "toBeSigned");
            Members answer;
            for (const std::string& name : ZmrRegisterMembers())
                answer.emplace_back(name, FieldOf(person, name));
            return JsonObject(answer);
        }
        return Refuse(404, "no register entry for " + signerName);
    }

    Reply Download(const RecordedRequest& request, Sessions& sessions) const
    {
        Session* session = OwnSession(request, sessions);
        if (session == nullptr)
            return Refuse(404, "unknown session");
        if (session->values.count(kPersonKey) == 0)
            return Refuse(403, "no register search in this session");
        std::vector<std::string> values;
        if (!ReadStrings(request.body, {"ToBeSignedData", "SignedData"}, values))
            return Refuse(400, "ToBeSignedData or SignedData missing");
        const std::string expected = Cp1252Of(session->values[kRegisterTextKey]);
        if (expected.empty())
            return Refuse(500, "the register text has no Windows-1252 form");
        if (values[0] != expected)
            return Refuse(400, "ToBeSignedData is not the register text");
        std::string signerName;
        std::string reason;
        if (!VerifySignedRequest(values[1], expected, signerName, reason))
            return Refuse(400, reason);
        const ZmrPerson& person = scenario.persons.at(std::stoul(session->values[kPersonKey]));
        const std::string link =
            person.identityLink.empty() ? MadeIdentityLink(person) : person.identityLink;
        return JsonObject({{"InfoboxData", link}, {"cin", person.cin}});
    }

private:
    // A session of this service; a renewal's session id is unknown here.
    static Session* OwnSession(const RecordedRequest& request, Sessions& sessions)
    {
        Session* session = sessions.Find(request.sessionId);
        return session != nullptr && session->resource == "ZmrSession" ? session : nullptr;
    }

    const ZmrScenario scenario;
};

bool ReadPerson(const rapidjson::Value& value, ZmrPerson& person, std::string& error)
{
    if (!value.IsObject())
    {
        error = "a person must be an object";
        return false;
    }
    for (const auto& member : value.GetObject())
    {
        const std::string name = Text(member.name);
        if (name == "register" && member.value.IsObject())
        {
            for (const auto& field : member.value.GetObject())
            {
                if (!field.value.IsString())
                {
                    error = "register member " + Text(field.name) + " must be a text";
                    return false;
                }
                person.fields[Text(field.name)] = Text(field.value);
            }
        }
        else if (member.value.IsString() && name == "commonName")
            person.commonName = Text(member.value);
        else if (member.value.IsString() && name == "identityLink")
            person.identityLink = Text(member.value);
        else if (member.value.IsString() && name == "cin")
            person.cin = Text(member.value);
        else
        {
            error = "bad person member \"" + name + "\"";
            return false;
        }
    }
    return true;
}
} // namespace

const std::vector<std::string>& ZmrRegisterMembers()
{
    static const std::vector<std::string> members = {
        "ZmrSearchResp", "GivenName",      "FamilyName", "DateOfBirth", "PlaceOfBirth",
        "StreetName",    "BuildingNumber", "sUnit",      "PostalCode",  "Municipality",
        "DoorNumber",    "Locality",       "toBeSigned"};
    return members;
}

bool ParseZmrScenario(const std::string& jsonText, ZmrScenario& scenario, std::string& error)
{
    rapidjson::Document document;
    document.Parse(jsonText.data(), jsonText.size());
    if (document.HasParseError() || !document.IsObject())
    {
        error = "a scenario must be a JSON object";
        return false;
    }
    const auto text = document.FindMember("sessionText");
    if (text != document.MemberEnd() && text->value.IsString())
        scenario.sessionText = Text(text->value);
    const auto persons = document.FindMember("persons");
    if (persons == document.MemberEnd() || !persons->value.IsArray())
    {
        error = "\"persons\" must be an array";
        return false;
    }
    for (const auto& value : persons->value.GetArray())
    {
        scenario.persons.emplace_back();
        if (!ReadPerson(value, scenario.persons.back(), error))
            return false;
    }
    return true;
}

void AddZmrService(Server& server, const ZmrScenario& scenario)
{
    auto handlers = std::make_shared<const ZmrHandlers>(scenario);
    server.SetHandler("ZmrSession", [handlers](const RecordedRequest& request, Sessions& sessions)
                      { return handlers->OpenSession(request, sessions); });
    server.SetHandler("ZmrSession/ZmrSearch",
                      [handlers](const RecordedRequest& request, Sessions& sessions)
                      { return handlers->Search(request, sessions); });
    server.SetHandler("ZmrSession/ZmrGetInfobox",
                      [handlers](const RecordedRequest& request, Sessions& sessions)
                      { return handlers->Download(request, sessions); });
}

} // namespace OnlineServicesSim
