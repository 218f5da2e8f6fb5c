// smsclient-cli balance: the login answers, the password sources, and where the service
// address comes from (line, Company_Info.ini, --base-url).
#include "tests/tools/TestCliSupport.h"

using namespace smsc;
using namespace smsc::test;

using CliBalance = CliTest;

TEST_F(CliBalance, LoginAnswers) {
    CliRun ok = demoCli("balance");
    EXPECT_EQ(ok.code, 0);
    EXPECT_EQ(ok.out, "10000\n");
    EXPECT_EQ(ok.err, "");

    ASSERT_EQ(admin({"set-quota", "demo", "0"}), 0);
    EXPECT_EQ(demoCli("balance").out, "0\n");

    CliRun wrong = cli({"balance", "--user", "demo", "--password", "s3cret-pw", "--base-url",
                        m_service->baseUrl()});
    EXPECT_EQ(wrong.code, 1);
    EXPECT_EQ(wrong.err, "您输入的用户名或者密码错误，请重新输入\n");
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err.find("s3cret-pw"), std::string::npos);

    ASSERT_EQ(admin({"set-state", "demo", "disabled"}), 0);
    CliRun disabled = demoCli("balance");
    EXPECT_EQ(disabled.code, 1);
    EXPECT_EQ(disabled.err, "该帐户被停用\n");
}

TEST_F(CliBalance, ChineseUserNameTravelsAsGbk) {
    ASSERT_EQ(admin({"add-user", "演示用户", "口令", "77"}), 0);
    CliRun run = cli({"balance", "--user", "演示用户", "--password", "口令", "--base-url",
                      m_service->baseUrl()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "77\n");
}

TEST_F(CliBalance, UnreachableServiceIsANetworkFailure) {
    const std::string address = m_service->baseUrl();
    m_service->stop();
    CliRun run = cli({"balance", "--user", "demo", "--password", "demo", "--base-url", address});
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.err, "连接服务器超时，请检查网络！\n");
    EXPECT_EQ(run.out, "");
}

TEST_F(CliBalance, PasswordSources) {
    const std::vector<std::string> noPassword{"balance", "--user", "demo", "--base-url",
                                              m_service->baseUrl()};
    CliRun missing = cli(noPassword);
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("SMSCLIENT_PASSWORD"), std::string::npos) << missing.err;

    cli::CliEnvironment env;
    env.password = "demo";
    CliRun fromEnv = cli(noPassword, env);
    EXPECT_EQ(fromEnv.code, 0) << fromEnv.err;
    EXPECT_EQ(fromEnv.out, "10000\n");

    // The option wins over the environment.
    std::vector<std::string> withOption = noPassword;
    withOption.insert(withOption.end(), {"--password", "other"});
    EXPECT_EQ(cli(withOption, env).code, 1);
    env.password = "other";
    withOption.back() = "demo";
    EXPECT_EQ(cli(withOption, env).code, 0);
}

TEST_F(CliBalance, LineAndAddressFromCompanyInfo) {
    // The telecom line points at a recording server answering quota 1, the netcom line at
    // the demo service.
    RecordingServer telecom;
    const std::string telecomUrl = telecom.baseUrl();
    TempFolder data;
    auto writeIni = [&](const std::string& lineIndex) {
        data.writeFile("Company_Info.ini",
                       "[Create_Line]\r\nline_index=" + lineIndex +
                           "\r\nline_name=x\r\n[Service_Url]\r\nTelecom_Url=" + telecomUrl +
                           "\r\nNetcom_Url=" + m_service->baseUrl() + "\r\n");
    };
    auto balance = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{"balance", "--user",     "demo",     "--password",
                                      "demo",    "--data-dir", data.path()};
        args.insert(args.end(), extra.begin(), extra.end());
        return cli(args);
    };
    telecom.setBody("/softweb/login.asp", "3|1");

    writeIni("1");
    EXPECT_EQ(balance({}).out, "10000\n");
    EXPECT_EQ(balance({"--line", "0"}).out, "1\n");
    writeIni("-1");  // -1 stands for the telecom line
    EXPECT_EQ(balance({}).out, "1\n");
    EXPECT_EQ(balance({"--line", "1"}).out, "10000\n");

    // --base-url replaces the chosen line's address; a missing "/" is added.
    std::string bare = m_service->baseUrl();
    bare.pop_back();
    EXPECT_EQ(balance({"--base-url", bare}).out, "10000\n");
    EXPECT_EQ(telecom.requestCount(), 2u);
    EXPECT_EQ(telecom.lastRequest().header("Referer"), telecomUrl);

    // The default data folder comes from the environment; no Company_Info.ini there means
    // no address at all: said plainly, without any request.
    cli::CliEnvironment env;
    env.dataDir = data.path() + "nowhere/";
    CliRun none = cli({"balance", "--user", "demo", "--password", "demo"}, env);
    EXPECT_EQ(none.code, 2);
    EXPECT_NE(none.err.find("没有服务地址"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find(env.dataDir + "Company_Info.ini"), std::string::npos) << none.err;
    EXPECT_EQ(telecom.requestCount(), 2u);
}

TEST(CliBalanceAnswers, UnusualAnswersAreNotSuccess) {
    RecordingServer server;
    auto balance = [&](const std::string& body) {
        server.setBody("/softweb/login.asp", body);
        return RunCliInProcess(
            {"balance", "--user", "u", "--password", "p=1&x", "--base-url", server.baseUrl()});
    };
    CliRun noQuota = balance("3");
    EXPECT_EQ(noQuota.code, 1);
    EXPECT_NE(noQuota.err.find("无法识别"), std::string::npos) << noQuota.err;
    CliRun empty = balance("");
    EXPECT_EQ(empty.code, 1);
    CliRun serviceError = balance(G("error|维护中"));
    EXPECT_EQ(serviceError.code, 1);
    EXPECT_EQ(serviceError.err, "维护中\n");
    // A quota must be digits; anything else is shown, and escape sequences of an answer
    // never reach the terminal.
    for (const std::string answer : {"3|", "3|12a", "3|-5", "3| 12", "3|12\x1b[2J"}) {
        const CliRun odd = balance(answer);
        EXPECT_EQ(odd.code, 1) << answer;
        EXPECT_EQ(odd.out, "") << answer;
        EXPECT_NE(odd.err.find("无法识别"), std::string::npos) << odd.err;
        EXPECT_EQ(odd.err.find('\x1b'), std::string::npos) << odd.err;
    }
    EXPECT_EQ(balance("3|0").out, "0\n");

    // The password travels unescaped, exactly as typed; the login page is posted.
    EXPECT_EQ(server.lastRequest().target, "/softweb/login.asp");
    EXPECT_EQ(server.lastRequest().body, "username=u&password=p=1&x");
}
