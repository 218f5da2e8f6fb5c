// Login, password change and the admin commands of the demo service, over HTTP.
#include "tests/tools/DemoServiceFixture.h"

using namespace smsc;
using namespace smsc::test;

using DemoAccounts = DemoServiceTest;

TEST_F(DemoAccounts, LoginCodes) {
    EXPECT_EQ(login(), "3|10000");
    EXPECT_EQ(login("demo", "wrong"), "1");
    EXPECT_EQ(login("nobody", "demo"), "1");
    EXPECT_EQ(login("DEMO", "demo"), "1");

    // The running service reads the account on every request.
    EXPECT_EQ(admin({"set-state", "demo", "disabled"}), 0);
    EXPECT_EQ(login(), "2");
    EXPECT_EQ(login("demo", "wrong"), "1");  // a wrong password is not told "disabled"
    EXPECT_EQ(admin({"set-state", "demo", "enabled"}), 0);
    EXPECT_EQ(admin({"set-quota", "demo", "0"}), 0);
    EXPECT_EQ(login(), "3|0");
}

TEST_F(DemoAccounts, GbkNamesAndLiteralPasswords) {
    ASSERT_EQ(admin({"add-user", "演示用户", "p+1% x", "77"}), 0);
    EXPECT_EQ(login(G("演示用户"), "p+1% x"), "3|77");
    EXPECT_EQ(login("演示用户", "p+1% x"), "1");  // UTF-8 bytes are another name
}

TEST_F(DemoAccounts, RequestsWithoutTheFieldsAreRefused) {
    EXPECT_EQ(form("login.asp", "username=demo").status, 400);
    EXPECT_EQ(form("changepassword.asp", "username=demo&password=demo").status, 400);
    EXPECT_EQ(form("receive.asp", "username=demo&password=demo").status, 400);
    EXPECT_EQ(form("Consumerlog.asp", "").status, 400);
    EXPECT_EQ(form("numberlist.asp", "username=demo&password=demo").status, 400);
    EXPECT_EQ(get("/softweb/login.asp").status, 404);
}

TEST_F(DemoAccounts, PasswordChange) {
    auto change = [this](const std::string& old, const std::string& fresh) {
        return form("changepassword.asp", "username=demo&password=" + old + "&newpassword=" + fresh)
            .body;
    };
    EXPECT_EQ(change("wrong", "new"), "1");
    for (std::string refused :
         {std::string(), std::string(21, 'a'), std::string("a|b"), std::string("a b"),
          std::string("a\tb"), std::string("a=b"), std::string("="), std::string("new&")})
        EXPECT_EQ(change("demo", refused), "4") << refused;
    // "a&b" reaches the service as "a" (the form cuts it); send1.asp would later get "a&b"
    // raw, so the account could log in but never send.
    EXPECT_EQ(form("changepassword.asp", "username=demo&password=demo&newpassword=a&b=c").body,
              "4");
    EXPECT_EQ(login(), "3|10000");  // refusals change nothing

    std::string twentyChinese;
    for (int i = 0; i < 20; ++i)
        twentyChinese += G("密");
    EXPECT_EQ(change("demo", twentyChinese), "5");
    EXPECT_EQ(login("demo", "demo"), "1");
    EXPECT_EQ(login("demo", twentyChinese), "3|10000");

    EXPECT_EQ(admin({"set-state", "demo", "disabled"}), 0);
    EXPECT_EQ(change(twentyChinese, "other"), "2");
}

TEST_F(DemoAccounts, AdminCommandChecksItsArguments) {
    EXPECT_EQ(admin({"set-state", "demo", "off"}), 2);
    EXPECT_EQ(admin({"set-quota", "demo", "-1"}), 2);
    EXPECT_EQ(admin({"set-quota", "demo", "12x"}), 2);
    EXPECT_EQ(admin({"add-user", "x", "y"}), 2);
    EXPECT_EQ(admin({"add-received", "demo", "1391234567a", "hi"}), 2);
    EXPECT_EQ(admin({"add-received", "demo", "139", "hi", "2024-02-30 10:00"}), 2);
    EXPECT_EQ(admin({"set-mms", "maybe"}), 2);
    EXPECT_EQ(admin({"frobnicate"}), 2);
    // Names and passwords the client could not use: it sends them unescaped in form posts,
    // cuts answers at "|" and trims blanks off a body's ends.
    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{{"a&b", "pw"},
                                                                              {"a=b", "pw"},
                                                                              {"a|b", "pw"},
                                                                              {" ab", "pw"},
                                                                              {"ab ", "pw"},
                                                                              {"a\tb", "pw"},
                                                                              {"ab", "p&w"},
                                                                              {"ab", "p=w"},
                                                                              {"ab", "p|w"},
                                                                              {"ab", "pw "},
                                                                              {"ab", " pw"},
                                                                              {"ab", "p\x7Fw"},
                                                                              {"ab", "p\nw"},
                                                                              {"a\xF0\x9F\x98\x80", "pw"},
                                                                              {"ab", "p\xED\x95\x9Cw"},
                                                                              {"a\xFF", "pw"}}) {
        std::ostringstream out, err;
        EXPECT_EQ(demo::RunAdminCommand(
                      {"--data-dir", m_folder.path(), "add-user", bad[0], bad[1], "5"}, out, err),
                  2)
            << bad[0] << " / " << bad[1];
        EXPECT_NE(err.str().find("add-user: the "), std::string::npos) << err.str();
        EXPECT_EQ(login(bad[0], bad[1]), "1");  // not added
    }
    EXPECT_EQ(admin({"add-user", "a b", "p w", "5"}), 0);  // blanks inside are fine
    EXPECT_EQ(login("a b", "p w"), "3|5");

    EXPECT_EQ(admin({"set-quota", "nobody", "5"}), 1);
    EXPECT_EQ(admin({"set-state", "nobody", "enabled"}), 1);
    EXPECT_EQ(admin({"add-user", "demo", "x", "5"}), 1);  // exists already
    EXPECT_EQ(login(), "3|10000");

    std::ostringstream out, err;
    EXPECT_EQ(demo::RunAdminCommand({"--data-dir", m_folder.path() + "missing", "set-mms", "open"},
                                    out, err),
              1);
}

TEST_F(DemoAccounts, StateSurvivesARestartOnTheSameFolder) {
    ASSERT_EQ(sendSms("1|2|3|", "hi"), "7|9997");
    startService();  // same data folder: not seeded again
    EXPECT_EQ(login(), "3|9997");
    EXPECT_NE(form("Consumerlog.asp", "username=demo&password=demo").body, "4|");
}
