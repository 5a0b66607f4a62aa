// The simulated server seen from a client nobody here wrote (cpp-httplib): scripts, call
// numbers, sessions and framing.

#include "sim/onlineservices/LoopbackServer.h"
#include "sim/onlineservices/ScriptFile.h"

#include <httplib.h>

#include <gtest/gtest.h>

namespace
{
using OnlineServicesSim::Framing;
using OnlineServicesSim::JsonReply;
using OnlineServicesSim::Reply;

const std::string kBase = OnlineServicesSim::kBasePath;

class SimServerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.StartPlain()); }

    httplib::Result Post(const std::string& path, const std::string& body = "{}")
    {
        httplib::Client client("127.0.0.1", server.Port());
        return client.Post((kBase + path).c_str(), body, "application/json");
    }

    OnlineServicesSim::LoopbackServer server;
};

TEST_F(SimServerTest, AScriptFromJsonAnswersPerEndpointAndPerCall)
{
    const std::string script = R"({
        "ZmrSession": {"every": {"json": {"sessionid": "$SESSIONID", "toBeSigned": "t"},
                                 "openSession": true}},
        "CertUpdate/Done": {"every": {"body": "{}"},
                            "calls": {"2": {"status": 500, "body": "second call",
                                            "headers": [["X-Call", "2"]]},
                                      "3": {"framing": "chunked", "body": "third"}}}
    })";
    std::string error;
    ASSERT_TRUE(server.LoadScript(script, error)) << error;

    const auto opened = Post("ZmrSession");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->status, 200);
    const auto idAt = opened->body.find("\"sessionid\":\"") + 13;
    const std::string id = opened->body.substr(idAt, opened->body.find('"', idAt) - idAt);
    EXPECT_EQ(id.size(), 32u);

    const struct
    {
        std::string session;
        int status;
        std::string body;
        bool known;
    } calls[] = {{id, 200, "{}", true},
                 {id, 500, "second call", true},
                 {"unknown", 200, "third", false},
                 {"", 200, "{}", false}};
    for (const auto& call : calls)
    {
        const auto answer = Post("CertUpdate/" + call.session + "/Done");
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, call.status);
        EXPECT_EQ(answer->body, call.body);
        EXPECT_EQ(server.Requests().back().endpoint, "CertUpdate/Done");
        EXPECT_EQ(server.Requests().back().sessionId, call.session);
        EXPECT_EQ(server.Requests().back().knownSession, call.known);
    }
    EXPECT_EQ(server.Requests()[2].headers.size(), server.Requests()[1].headers.size());
}

TEST(SimScriptTest, EveryReplyMemberOfAScriptReachesTheReply)
{
    const std::string text = R"({"e": {"calls": {"7": {
        "status": 503, "reason": "Busy", "deepArrays": 3, "fillerBytes": 21000000,
        "headers": [["X-A", "1"], ["X-A", "2"]], "framing": "close", "contentLength": "-1",
        "raw": "HTTP/1.1 200\r\n", "drop": "inside-body", "dropAfterBodyBytes": 9,
        "delayMs": 250, "openSession": true}}}})";
    OnlineServicesSim::Script script;
    std::string error;
    ASSERT_TRUE(OnlineServicesSim::ParseScript(text, script, error)) << error;
    ASSERT_EQ(script.count("e"), 1u);
    EXPECT_FALSE(script["e"].everyCall);
    ASSERT_EQ(script["e"].calls.count(7), 1u);
    const Reply& reply = script["e"].calls[7];
    EXPECT_EQ(reply.status, 503);
    EXPECT_EQ(reply.reason, "Busy");
    EXPECT_EQ(reply.body, "[[[]]]");
    EXPECT_EQ(reply.fillerBytes, 21000000u);
    EXPECT_EQ(reply.headers, (OnlineServicesSim::HeaderList{{"X-A", "1"}, {"X-A", "2"}}));
    EXPECT_EQ(reply.framing, Framing::CloseDelimited);
    EXPECT_EQ(reply.contentLength, "-1");
    EXPECT_EQ(reply.raw, "HTTP/1.1 200\r\n");
    EXPECT_EQ(reply.drop, OnlineServicesSim::Drop::InsideBody);
    EXPECT_EQ(reply.dropAfterBodyBytes, 9u);
    EXPECT_EQ(reply.delayMs, 250u);
    EXPECT_TRUE(reply.openSession);
}

TEST_F(SimServerTest, BrokenScriptsAreRefusedWithAReason)
{
    const char* scripts[] = {"not json",
                             "[]",
                             R"({"a": 5})",
                             R"({"a": {"every": {"status": "x"}}})",
                             R"({"a": {"every": {"framing": "sideways"}}})",
                             R"({"a": {"calls": {"0": {}}}})",
                             R"({"a": {"calls": {"1x": {}}}})",
                             R"({"a": {"calls": {"-1": {}}}})",
                             R"({"a": {"calls": {"4294967297": {}}}})",
                             R"({"a": {"unknown": {}}})",
                             R"({"a": {"every": {"headers": [["only name"]]}}})"};
    for (const char* script : scripts)
    {
        SCOPED_TRACE(script);
        std::string error;
        EXPECT_FALSE(server.LoadScript(script, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(SimServerTest, UnscriptedEndpointsAnswer404AndHandlersSeeTheirSession)
{
    const auto missing = Post("Nothing/here");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);

    Reply opening = JsonReply("{\"sessionid\": \"$SESSIONID\"}");
    opening.openSession = true;
    server.SetReply("CertUpdate", opening);
    server.SetHandler(
        "CertUpdate/Acos1",
        [](const OnlineServicesSim::RecordedRequest& request, OnlineServicesSim::Sessions& sessions)
        {
            OnlineServicesSim::Session* session = sessions.Find(request.sessionId);
            if (session == nullptr)
                return JsonReply("{}", 403);
            session->values["seen"] += "x";
            return JsonReply("{\"seen\": \"" + session->values["seen"] + "\"}");
        });
    const auto opened = Post("CertUpdate");
    ASSERT_TRUE(opened);
    const std::string id = opened->body.substr(opened->body.find(": \"") + 3, 32);
    EXPECT_EQ(Post("CertUpdate/" + id + "/Acos1")->body, "{\"seen\": \"x\"}");
    EXPECT_EQ(Post("CertUpdate/" + id + "/Acos1")->body, "{\"seen\": \"xx\"}");
    EXPECT_EQ(Post("CertUpdate/forged/Acos1")->status, 403);
}

TEST_F(SimServerTest, EachFramingDeliversTheSameBodyToAnIndependentClient)
{
    for (Framing framing : {Framing::ContentLength, Framing::Chunked, Framing::CloseDelimited})
    {
        Reply reply = JsonReply("{\"x\":");
        reply.fillerBytes = 300000;
        reply.framing = framing;
        server.SetReply("framed", reply);
        const auto answer = Post("framed");
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->body.size(), 300005u);
        EXPECT_EQ(answer->body.substr(0, 5), "{\"x\":");
    }
}

TEST_F(SimServerTest, RequestsAreRecordedByteForByte)
{
    server.SetReply("rec", JsonReply("{}"));
    const std::string body = "{\"\xC4\": 1}";
    ASSERT_TRUE(Post("rec?x=1", body));
    const auto request = server.Requests().at(0);
    EXPECT_EQ(request.requestLine, "POST " + kBase + "rec?x=1 HTTP/1.1");
    EXPECT_EQ(request.endpoint, "rec");
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(request.raw, request.head + body);
    EXPECT_EQ(request.head.rfind(request.requestLine + "\r\n", 0), 0u);
    bool typed = false;
    for (const auto& [name, value] : request.headers)
        typed = typed || (name == "Content-Type" && value == "application/json");
    EXPECT_TRUE(typed);
}

TEST(SimTlsServerTest, AnIndependentTlsClientTrustsTheTestCaAndNothingElse)
{
    OnlineServicesSim::LoopbackServer server;
    ASSERT_TRUE(server.StartTls());
    server.SetReply("secure", JsonReply("{\"ok\":true}"));
    httplib::SSLClient trusting("127.0.0.1", server.Port());
    trusting.set_ca_cert_path(server.CaFile().c_str());
    trusting.enable_server_certificate_verification(true);
    const auto answer = trusting.Post((kBase + "secure").c_str(), "{}", "application/json");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->body, "{\"ok\":true}");
    EXPECT_TRUE(server.Requests().at(0).tls);

    Reply closing = JsonReply("{\"closed\":true}");
    closing.framing = Framing::CloseDelimited;
    server.SetReply("closing", closing);
    const auto closed = trusting.Post((kBase + "closing").c_str(), "{}", "application/json");
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->body, "{\"closed\":true}");

    OnlineServicesSim::LoopbackServer other;
    ASSERT_TRUE(other.StartTls());
    httplib::SSLClient doubting("127.0.0.1", server.Port());
    doubting.set_ca_cert_path(other.CaFile().c_str());
    doubting.enable_server_certificate_verification(true);
    EXPECT_FALSE(doubting.Post((kBase + "secure").c_str(), "{}", "application/json"));
}
} // namespace
