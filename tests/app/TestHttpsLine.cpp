// The login window and the SMS page on a line whose base address is https, served with a
// self-signed certificate: without the company's authority in Ca_File the exchanges fail
// as an unreachable service does; with it they work.
#include <QPlainTextEdit>

#include "recipients/RecipientPanel.h"
#include "sending/SmsPage.h"
#include "sending/TForm15.h"
#include "tests/app/AppFixture.h"
#include "tests/support/TlsServer.h"

using namespace smsc;
using namespace smsc::test;

namespace {

using HttpsLine = AppFixture;

TEST_F(HttpsLine, LoginAndSendNeedTheCertificateChecked) {
    TlsServer tls;
    tls.setBody("/softweb/login.asp", "3|25");
    tls.setBody("/softweb/send1.asp", "7|24");
    data.writeFile("company-ca.pem", tls.certificatePem());
    pointServiceAt(tls.baseUrl());
    start();
    main->smsPage()->panel()->AddRecipient("13800000001");
    main->smsPage()->Memo1->setPlainText(QStringLiteral("开会"));

    const struct {
        const char* caFile;
        QStringList messages;  // of the login, then of the send
        bool connected;
        size_t requests;
    } cases[] = {
        {"",
         {QStringLiteral("连接服务器超时，请检查网络！"),
          QStringLiteral("发送失败\r连接服务器超时，请检查网络！")},
         false,
         0},
        {"company-ca.pem", {QStringLiteral("恭喜\r短信内容已成功发送到服务器")}, true, 2},
    };
    for (const auto& c : cases) {
        setCompany("Service_Url", "Ca_File", c.caFile);
        ui.clear();
        const size_t before = tls.requestCount();
        login().show();
        login().Edit1->setText(QStringLiteral("u"));
        login().Edit2->setText(QStringLiteral("p"));
        login().Button1Click();
        main->waitWindow()->Timer1Timer();
        EXPECT_EQ(main->isConnected(), c.connected) << c.caFile;

        main->smsPage()->SmsTimerTick();
        EXPECT_EQ(ui.messageTexts().join(QLatin1Char('/')).toStdString(),
                  c.messages.join(QLatin1Char('/')).toStdString())
            << c.caFile;
        EXPECT_EQ(tls.requestCount() - before, c.requests) << c.caFile;
    }
    EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信24条"));
}

}  // namespace
