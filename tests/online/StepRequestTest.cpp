// The generic step style: PrepareStepRequest, PostStepRequest and GetResponseValue.

#include "OnlineTestSupport.h"

#include "sim/onlineservices/Messages.h"

#include <memory>

namespace
{
using OnlineServicesSim::Drop;
using OnlineServicesSim::Reply;

class StepRequestTest : public OnlineClientTest
{
protected:
    void SetUp() override
    {
        OnlineClientTest::SetUp();
        client = std::make_unique<OnlineServicesClient>();
        OpenSession(*client, "$SESSIONID");
    }

    // One step "CertUpdate/Step" with the given members, answered by reply.
    bool PostStep(const Reply& reply, StepAnswer& answer,
                  const std::vector<std::pair<std::string, std::string>>& members = {})
    {
        server.SetReply("CertUpdate/Step", reply);
        LibHttp2::HTTPClient http;
        rapidjson::Document request;
        if (!client->PrepareStepRequest("CertUpdate", "Step", http, request))
            return false;
        for (const auto& [name, value] : members)
            request.AddMember(rapidjson::Value(name.c_str(), request.GetAllocator()),
                              rapidjson::Value(value.c_str(), request.GetAllocator()),
                              request.GetAllocator());
        return client->PostStepRequest(http, request, answer);
    }

    std::unique_ptr<OnlineServicesClient> client;
};

TEST_F(StepRequestTest, AStepGoesToItsSessionPathWithItsMembersInOrder)
{
    StepAnswer answer;
    ASSERT_TRUE(
        PostStep(Json(""), answer, {{"rndIcc", "01"}, {"rndIfd", "02"}, {"vkDecSm", "03"}}));
    const auto sent = server.Requests().back();
    EXPECT_EQ(sent.requestLine,
              "POST /OnlineServicesTNG/v1/CertUpdate/" + client->GetSessionId() + "/Step HTTP/1.1");
    EXPECT_TRUE(sent.knownSession);
    EXPECT_EQ(sent.body,
              "{\n    \"rndIcc\": \"01\",\n    \"rndIfd\": \"02\",\n    \"vkDecSm\": \"03\"\n}");
}

// A string member padded with blanks past the HTTP client's limit, without a length.
Reply Oversized()
{
    Reply reply = Json("{\"a\": \"b\"}");
    reply.fillerBytes = LibHttp2::kMaxBodySize;
    reply.framing = OnlineServicesSim::Framing::CloseDelimited;
    return reply;
}

TEST_F(StepRequestTest, EveryStatusAndBodyCaseOfTheGenericFrame)
{
    Reply dropped;
    dropped.drop = Drop::InsideBody;
    dropped.body = "{\"a\": \"b\"}";
    dropped.dropAfterBodyBytes = 4;
    const struct
    {
        const char* name;
        Reply reply;
        bool result;
        std::vector<std::string> errors;
    } cases[] = {
        {"empty body", Json(""), true, {}},
        {"empty object", Json("{}"), true, {}},
        {"status 204", Json("", 204), false, {"error in webcall: invalid statuscode=204"}},
        {"status 500",
         Json("{\"a\": \"b\"}", 500),
         false,
         {"error in webcall: invalid statuscode=500"}},
        {"cut off", dropped, false, {"error in webcall"}},
        {"not json", Json("nope"), false, {"error parsing json"}},
        {"array root", Json("[\"a\"]"), false, {"error json root is not an object"}},
        {"number root", Json("5"), false, {"error json root is not an object"}},
        {"blanks only", Json("  "), false, {"error parsing json"}},
        {"above the size limit", Oversized(), false, {"error in webcall"}},
        {"deeply nested root",
         Json(OnlineServicesSim::DeepArrays(300000)),
         false,
         {"error json root is not an object"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        log.Clear();
        StepAnswer answer = {{"stale", "value"}};
        EXPECT_EQ(PostStep(c.reply, answer), c.result);
        EXPECT_EQ(log.Errors(), c.errors);
        EXPECT_TRUE(answer.empty());
    }
}

TEST_F(StepRequestTest, OnlyStringMembersReachTheAnswerTheLaterOfTwoNamesWins)
{
    StepAnswer answer;
    ASSERT_TRUE(PostStep(Json("{\"authIfd\": \"first\", \"n\": null, \"f\": false, \"t\": true, "
                              "\"o\": {\"x\": \"y\"}, \"a\": [\"z\"], \"num\": 7, "
                              "\"authIfd\": \"second\", \"nul\": \"a\\u0000b\"}"),
                         answer));
    const StepAnswer expected = {{"authIfd", "second"}, {"nul", std::string("a\0b", 3)}};
    EXPECT_EQ(answer, expected);
    const std::vector<LogLine> debug = {{"DEBUG", "Added string: authIfd"},
                                        {"DEBUG", "Ignoring member: n, Type: Null"},
                                        {"DEBUG", "Ignoring member: f, Type: False"},
                                        {"DEBUG", "Ignoring member: t, Type: True"},
                                        {"DEBUG", "Ignoring member: o, Type: Object"},
                                        {"DEBUG", "Ignoring member: a, Type: Array"},
                                        {"DEBUG", "Ignoring member: num, Type: Number"},
                                        {"DEBUG", "Added string: authIfd"},
                                        {"DEBUG", "Added string: nul"}};
    EXPECT_EQ(log.At("DEBUG"), debug);
    EXPECT_TRUE(log.Errors().empty());
}

TEST_F(StepRequestTest, GetResponseValueCopiesAPresentMemberAndEmptiesForAnAbsentOne)
{
    const StepAnswer answer = {{"macCp", "CAFE"}, {"empty", ""}};
    const struct
    {
        const char* name;
        bool found;
        const char* value;
    } cases[] = {{"macCp", true, "CAFE"}, {"empty", true, ""}, {"macRb", false, ""}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        log.Clear();
        std::string value = "old";
        EXPECT_EQ(client->GetResponseValue(answer, c.name, value), c.found);
        EXPECT_EQ(value, c.value);
        const std::vector<LogLine> expected =
            c.found ? std::vector<LogLine>{{"DEBUG", std::string(c.name) + "=" + c.value}}
                    : std::vector<LogLine>{};
        EXPECT_EQ(log.Lines(), expected);
    }
}
} // namespace
