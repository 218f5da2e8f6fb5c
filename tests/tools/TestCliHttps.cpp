// smsclient-cli balance on an https line served with a self-signed certificate: refused as
// a network failure until Company_Info.ini's Ca_File names the certificate's authority.
#include "tests/support/TlsServer.h"
#include "tests/tools/TestCliSupport.h"

using namespace smsc;
using namespace smsc::test;

TEST(CliHttps, BalanceNeedsTheCertificateChecked) {
    TlsServer tls;
    tls.setBody("/softweb/login.asp", "3|25");
    TempFolder data;
    data.writeFile("company-ca.pem", tls.certificatePem());
    const struct {
        std::string caFile;
        int code;
        std::string out, err;
        size_t requests;
    } cases[] = {
        {"", 2, "", "连接服务器超时，请检查网络！\n", 0},
        {"company-ca.pem", 0, "25\n", "", 1},
    };
    for (const auto& c : cases) {
        data.writeFile("Company_Info.ini", "[Service_Url]\r\nTelecom_Url=" + tls.baseUrl() +
                                               "\r\nCa_File=" + c.caFile + "\r\n");
        const size_t before = tls.requestCount();
        const CliRun run = RunCliInProcess(
            {"balance", "--user", "u", "--password", "p", "--data-dir", data.path()});
        EXPECT_EQ(run.code, c.code) << c.caFile;
        EXPECT_EQ(run.out, c.out) << c.caFile;
        EXPECT_EQ(run.err, c.err) << c.caFile;
        EXPECT_EQ(tls.requestCount() - before, c.requests) << c.caFile;
    }
}
