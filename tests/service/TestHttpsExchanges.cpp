// https base addresses: the server's certificate and host name are checked against the
// system's authorities and those of Company_Info.ini's Ca_File; a server that fails the
// check gets no request at all, and the exchange is a failed one.
#include <gtest/gtest.h>

#include <string>

#include "platform/IniFile.h"
#include "service/ServiceClient.h"
#include "tests/support/TempDataDir.h"
#include "tests/support/TlsServer.h"

using namespace smsc;
using namespace smsc::test;

namespace {

TEST(HttpsExchanges, OnlyACheckedServerGetsTheRequests) {
    TlsServer server;                                // 127.0.0.1 and localhost
    TlsServer elsewhere("DNS:service.example.com");  // a good certificate, for another host
    TlsServer stranger;                              // nobody trusts its maker
    for (TlsServer* s : {&server, &elsewhere}) {
        s->setBody("/softweb/login.asp", "3|25");
        s->setBody("/softweb/send1.asp", "7|24");
        s->setBody("/mms/a.emm", "MMS");
    }
    TempFolder folder;
    folder.writeFile("company-ca.pem", server.certificatePem());
    folder.writeFile("both.pem", server.certificatePem() + elsewhere.certificatePem());
    folder.writeFile("other.pem", stranger.certificatePem());

    const struct {
        const char* name;
        TlsServer* target;
        std::string caFile;  // Ca_File as written in Company_Info.ini
        bool trusted;
    } cases[] = {
        {"system authorities only", &server, "", false},
        {"relative Ca_File names the server's authority", &server, "company-ca.pem", true},
        {"absolute Ca_File", &server, folder.file("company-ca.pem"), true},
        {"another authority", &server, "other.pem", false},
        {"missing Ca_File", &server, "nowhere.pem", false},
        {"trusted, but issued for another host", &elsewhere, "both.pem", false},
    };
    for (const auto& c : cases) {
        const size_t before = c.target->requestCount();
        folder.writeFile("Company_Info.ini", "[Service_Url]\r\nTelecom_Url=" + c.target->baseUrl() +
                                                 "\r\nNetcom_Url=" + c.target->baseUrl() +
                                                 "\r\nDownload_Url=" + c.target->baseUrl() +
                                                 "mms/\r\nCa_File=" + c.caFile + "\r\n");
        ServiceContext ctx;
        ctx.endpoints = LoadServiceEndpoints(folder.file("Company_Info.ini"));
        ctx.lineIndex = 0;
        EXPECT_EQ(Get_balance(ctx, "u", "p"), c.trusted ? "3|25" : FailureAnswer()) << c.name;
        ctx.lineIndex = 1;
        EXPECT_EQ(SendMessage(ctx, "u", "p", "13800000000|", "hi"),
                  c.trusted ? "7|24" : FailureAnswer())
            << c.name;
        const HttpResult download = DownloadFile(ctx, "a.emm");
        EXPECT_EQ(download.ok, c.trusted) << c.name << ": " << download.error;
        EXPECT_EQ(download.body, c.trusted ? "MMS" : "") << c.name;
        EXPECT_EQ(c.target->requestCount() - before, c.trusted ? 3u : 0u) << c.name;
    }
}

}  // namespace
