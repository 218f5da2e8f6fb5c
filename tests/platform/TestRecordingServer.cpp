// The test server itself must be trustworthy: what it records is what the client sent.
#include <gtest/gtest.h>

#include <httplib.h>

#include "tests/support/RecordingServer.h"

using smsc::test::CannedResponse;
using smsc::test::RecordingServer;

TEST(RecordingServer, RecordsRawBytesAndAnswersCannedBodies) {
    RecordingServer server;
    server.setBody("/softweb/login.asp", "3|100");
    httplib::Client client("127.0.0.1", server.port());
    const std::string body = "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--B--\r\n";
    auto res = client.Post("/softweb/login.asp", body, "multipart/form-data; boundary=B");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, "3|100");
    ASSERT_EQ(server.requestCount(), 1u);
    const auto req = server.lastRequest();
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.target, "/softweb/login.asp");
    EXPECT_EQ(req.body, body);
    EXPECT_EQ(req.header("content-type"), "multipart/form-data; boundary=B");
    EXPECT_FALSE(req.hasHeader("X-Recording-Id"));
    EXPECT_NE(req.raw.find("\r\n\r\n" + body), std::string::npos);
}

TEST(RecordingServer, HandlerSeesTheWholeRequestAndStatusesPassThrough) {
    RecordingServer server;
    server.setHandler([](const smsc::test::RecordedRequest& r) {
        CannedResponse c;
        c.status = r.body == "go" ? 302 : 500;
        c.headers = {{"Location", "/elsewhere"}};
        return c;
    });
    httplib::Client client("127.0.0.1", server.port());
    auto res = client.Post("/x", "go", "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 302);
    auto res2 = client.Post("/x", "no", "text/plain");
    ASSERT_TRUE(res2);
    EXPECT_EQ(res2->status, 500);
    EXPECT_EQ(server.requestCount(), 2u);
}
