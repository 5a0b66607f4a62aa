// Answers that must fail the request cleanly: refused sizes, cut-off connections, broken
// framing and stalls. Memory stays bounded by the body limit.

#include "HttpTestSupport.h"

#include "core/http/RequestRules.h"

#include <sys/resource.h>

#include <optional>
#include <vector>

using OnlineServicesSim::Drop;
using OnlineServicesSim::Framing;
using OnlineServicesSim::JsonReply;
using OnlineServicesSim::Reply;

namespace
{
constexpr uint64_t kMiB = 1024 * 1024;

Reply WithLength(const std::string& contentLength, const std::string& body = "{}")
{
    Reply reply = JsonReply(body);
    reply.contentLength = contentLength;
    return reply;
}

Reply Huge(Framing framing, uint64_t size)
{
    Reply reply = JsonReply("{");
    reply.framing = framing;
    reply.fillerBytes = size - 1;
    return reply;
}

Reply Dropped(Drop where, Framing framing = Framing::ContentLength, uint64_t after = 0)
{
    Reply reply = JsonReply("{\"member\": \"value of some length\"}");
    reply.framing = framing;
    reply.drop = where;
    reply.dropAfterBodyBytes = after;
    return reply;
}

Reply Raw(const std::string& bytes)
{
    Reply reply;
    reply.raw = bytes;
    return reply;
}

long PeakResidentKiB()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class HttpSizeLimitTest : public SimServerTest
{
};

TEST_F(HttpSizeLimitTest, AnnouncedOrDeliveredBodiesAboveTheLimitAreRefused)
{
    const struct
    {
        const char* name;
        Reply reply;
        // Whether the size text is reported; none: libcurl refuses a negative length itself,
        // before the limit test, WinINet leaves it to it.
        std::optional<bool> sizeReported;
    } cases[] = {
        {"one byte above", WithLength("20971521"), true},
        {"negative", WithLength("-1"), std::nullopt},
        {"wraps to 1 in 32 bits", WithLength("4294967297"), true},
        {"wraps in 64 bits", WithLength("18446744073709551617"), true},
        {"not a number", WithLength("12abc"), true},
        {"chunked, no length", Huge(Framing::Chunked, 21 * kMiB), true},
        {"until close, no length", Huge(Framing::CloseDelimited, 21 * kMiB), true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        server.SetReply("size", c.reply);
        ErrorHookCapture errors;
        const Exchange result = Post(Url("size"), "{}");
        EXPECT_FALSE(result.sent);
        if (c.sizeReported)
        {
            EXPECT_EQ(errors.Saw(LibHttp2::inner::kSizeLimitText), *c.sizeReported);
        }
        EXPECT_TRUE(result.body.empty());
    }
}

TEST_F(HttpSizeLimitTest, AFarLargerChunkedBodyCostsNoMoreThanTheLimit)
{
    server.SetReply("flood", Huge(Framing::Chunked, 400 * kMiB));
    const long before = PeakResidentKiB();
    ErrorHookCapture errors;
    EXPECT_FALSE(Post(Url("flood"), "{}").sent);
    EXPECT_TRUE(errors.Saw(LibHttp2::inner::kSizeLimitText));
    // Unbounded reading would take the whole 400 MiB; the margin covers the vector's growth
    // and a sanitizer's quarantine of the freed buffers.
    EXPECT_LT(PeakResidentKiB() - before, long(5 * LibHttp2::kMaxBodySize / 1024));
}

class HttpConnectionFaultTest : public SimServerTest
{
};

struct FaultCase
{
    const char* name;
    Reply reply;
};

void ExpectEachFailsTheRequest(OnlineServicesSim::LoopbackServer& server,
                               const std::vector<FaultCase>& cases)
{
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        server.SetReply("fault", c.reply);
        ErrorHookCapture errors;
        const Exchange result = Post(server.BaseUrl() + "fault", "{}");
        EXPECT_FALSE(result.sent);
        EXPECT_TRUE(result.body.empty());
        EXPECT_FALSE(ErrorHookCapture::Texts().empty());
    }
}

TEST_F(HttpConnectionFaultTest, CutOffOrMalformedAnswersFailTheRequest)
{
    ExpectEachFailsTheRequest(
        server,
        {
            {"dropped before the answer", Dropped(Drop::BeforeAnswer)},
            {"dropped after the headers", Dropped(Drop::AfterHeaders)},
            {"dropped inside the body", Dropped(Drop::InsideBody, Framing::ContentLength, 5)},
            {"length larger than the body", WithLength("5000")},
            {"status line without a code", Raw("HTTP/1.1 OK\r\nContent-Length: 2\r\n\r\n{}")},
            {"headers never end", Raw("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n")},
        });
}

// Framing that the transport library itself must judge.
TEST_F(HttpConnectionFaultTest, BrokenFramingFailsTheRequest)
{
    ExpectEachFailsTheRequest(
        server,
        {
            {"dropped inside a chunked body", Dropped(Drop::InsideBody, Framing::Chunked, 5)},
            {"no status line at all", Raw("hello there\r\n\r\n{}")},
            {"broken chunk size", Raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                      "zz\r\n{}\r\n0\r\n\r\n")},
            {"headers above their limit",
             Raw("HTTP/1.1 200 OK\r\nX-Fill: " + std::string(LibHttp2::kMaxRawHeaderSize, 'h') +
                 "\r\nContent-Length: 2\r\n\r\n{}")},
        });
}

TEST_F(HttpConnectionFaultTest, AnAnswerLaterThanTheReceiveTimeoutFails)
{
    const struct
    {
        uint32_t receiveTimeoutMs;
        unsigned delayMs;
        bool sent;
    } cases[] = {{1000, 8000, false}, {3000, 300, true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.delayMs);
        LibHttp2::TransportSettings settings;
        settings.receiveTimeoutMs = c.receiveTimeoutMs;
        LibHttp2::SetTransportSettingsForTesting(settings);
        Reply late = JsonReply("{\"late\":true}");
        late.delayMs = c.delayMs;
        server.SetReply("late", late);
        const size_t before = server.Requests().size();
        const Exchange result = Post(Url("late"), "{}");
        EXPECT_EQ(result.sent, c.sent);
        EXPECT_EQ(result.body, c.sent ? "{\"late\":true}" : "");
        // Either way the server got the request: a failure is the wait for the answer.
        EXPECT_EQ(server.Requests().size(), before + 1);
    }
}

TEST_F(HttpConnectionFaultTest, NothingListeningFailsTheSend)
{
    const std::string url = Url("gone");
    server.Stop();
    ErrorHookCapture errors;
    EXPECT_FALSE(Post(url, "{}").sent);
    EXPECT_TRUE(errors.Saw("HttpSendRequest failed"));
}

TEST(HttpContentLengthTest, ParsedAsPlainDecimalWithoutWrapAround)
{
    const struct
    {
        const char* text;
        bool number;
        bool acceptable;
    } cases[] = {{"0", true, true},
                 {"20971520", true, true},
                 {" 20971520 ", true, true},
                 {"20971521", true, false},
                 {"4294967296", true, false},
                 {"4294967297", true, false},
                 {"99999999999999999999999", true, false},
                 {"-1", false, false},
                 {"+5", false, false},
                 {"", false, false},
                 {"0x10", false, false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        uint64_t value = 0;
        EXPECT_EQ(LibHttp2::inner::ParseContentLength(c.text, value), c.number);
        EXPECT_EQ(LibHttp2::inner::ContentLengthAcceptable(c.text), c.acceptable);
    }
}
} // namespace
