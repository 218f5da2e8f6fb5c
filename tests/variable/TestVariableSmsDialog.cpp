// The "个性短信" window: a table read, a field inserted by its button, the findings and totals
// shown, a row previewed, and the send through a recording loopback server: one request per
// distinct text, the opted-out row in none, and a second press resumes without resending.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

#include <map>
#include <string>

#include "platform/Gbk.h"
#include "service/Credentials.h"
#include "tests/addressbook/BookFixtures.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"
#include "variable/VariableSmsDialog.h"

namespace {

using namespace smsc;
using namespace smsc::test;

const std::string kBoundary = "--------010224093015123";

class FixedCredentials final : public CredentialsSource {
public:
    Credentials credentials;
    Credentials currentCredentials() const override { return credentials; }
};

std::string partValue(const RecordedRequest& request, const std::string& name) {
    const std::string head = "name=\"" + name + "\"\r\n\r\n";
    const size_t at = request.body.find(head);
    if (at == std::string::npos)
        return "<missing>";
    const size_t begin = at + head.size();
    return request.body.substr(begin, request.body.find("\r\n--" + kBoundary, begin) - begin);
}

TEST(VariableSmsDialog, ChecksPreviewsAndSendsEachDistinctTextOnce) {
    TempDataDir data;
    ScriptedUi ui;
    RecordingServer server;
    server.setBody("/softweb/send1.asp", "7|5000");
    FixedCredentials source;
    source.credentials.userName = "user1";
    source.credentials.password = "pw";
    source.credentials.context.endpoints.telecomUrl = server.baseUrl();
    source.credentials.context.lineIndex = 0;
    source.credentials.context.boundaryOverride = kBoundary;
    data.writeFile("OptOut.txt", "13900000004\t2024-01-05\t" + G("回复") + "\r\n");
    data.writeFile("t.csv",
                   "姓名,手机号码,会员等级\r\n王伟,13900000001,金卡\r\n李娜,139-0000-0002,银卡\r\n"
                   "张三,13900000003,金卡\r\n赵六,13900000004,金卡\r\n周七,12345,金卡\r\n");

    VariableSmsDialog dialog;
    dialog.setCredentialsSource(&source);
    ASSERT_TRUE(dialog.loadTable(QString::fromStdString(data.file("t.csv"))));
    dialog.TemplateEdit->setPlainText(QStringLiteral("您好，您的"));
    auto* field = dialog.FieldBar->findChild<QPushButton*>(QStringLiteral("FieldButton2"));
    ASSERT_TRUE(field);
    dialog.TemplateEdit->moveCursor(QTextCursor::End);
    field->click();  // inserts {会员等级} and refreshes
    dialog.TemplateEdit->insertPlainText(QStringLiteral("积分已到账"));
    dialog.refresh();
    EXPECT_EQ(dialog.TemplateEdit->toPlainText(), QStringLiteral("您好，您的{会员等级}积分已到账"));

    QStringList rows;
    for (int i = 0; i < dialog.FindingsList->topLevelItemCount(); ++i)
        rows << dialog.FindingsList->topLevelItem(i)->text(0) + QLatin1Char(':') +
                    dialog.FindingsList->topLevelItem(i)->text(1);
    EXPECT_TRUE(rows.contains(QStringLiteral("5:已退订")))
        << rows.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(rows.contains(QStringLiteral("6:号码无法识别")))
        << rows.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(dialog.TotalsLabel->text().startsWith(
        QStringLiteral("共5行，发送3行，不发送2行；不同内容2条，请求2次，预计扣除3条短信")))
        << dialog.TotalsLabel->text().toStdString();
    dialog.RowBox->setValue(3);
    EXPECT_EQ(dialog.PreviewEdit->toPlainText(), QStringLiteral("您好，您的银卡积分已到账"));
    dialog.grab().save(QStringLiteral("/tmp/variable-sms-dialog.png"));

    ASSERT_TRUE(dialog.SendButton->isEnabled());
    dialog.NameEdit->setText(QStringLiteral("会员"));
    dialog.SendClick();  // the question answers OK
    const auto requests = server.requests();
    std::map<std::string, std::string> sent;  // text → numbers
    for (const RecordedRequest& r : requests)
        if (r.target == "/softweb/send1.asp")
            sent[GbkToUtf8(partValue(r, "smscontent"))] = partValue(r, "smsnumber");
    EXPECT_EQ(sent, (std::map<std::string, std::string>{
                        {"您好，您的金卡积分已到账", "13900000001|13900000003|"},
                        {"您好，您的银卡积分已到账", "13900000002|"}}));
    EXPECT_TRUE(ui.lastMessage().text.contains(QStringLiteral("已全部发送")))
        << ui.lastMessage().text.toStdString();

    // The same name again resumes: everything was accepted, nothing goes out twice.
    server.clearRequests();
    dialog.SendClick();
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_TRUE(ui.lastMessage().text.contains(QStringLiteral("已全部发送")));
}

TEST(VariableSmsDialog, ABrokenTemplateOrUnreadableTableSendsNothing) {
    TempDataDir data;
    ScriptedUi ui;
    VariableSmsDialog dialog;
    EXPECT_FALSE(dialog.loadTable(QString::fromStdString(data.file("missing.xlsx"))));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    EXPECT_FALSE(dialog.SendButton->isEnabled());
    data.writeFile("t.csv", "姓名,手机\r\n王伟,13900000001\r\n");
    ASSERT_TRUE(dialog.loadTable(QString::fromStdString(data.file("t.csv"))));
    dialog.TemplateEdit->setPlainText(QStringLiteral("{姓名"));
    dialog.refresh();
    EXPECT_TRUE(dialog.TotalsLabel->text().contains(QStringLiteral("第1个字符")));
    EXPECT_FALSE(dialog.SendButton->isEnabled());
    dialog.TemplateEdit->setPlainText(QStringLiteral("{金额}元"));
    dialog.refresh();
    EXPECT_TRUE(dialog.TotalsLabel->text().contains(QStringLiteral("{金额}")));
    EXPECT_FALSE(dialog.SendButton->isEnabled());
}

TEST(VariableSmsDialog, TotalsShowTheUnitsAgainstTheRemainingQuota) {
    TempDataDir data;
    ScriptedUi ui;
    data.writeFile("t.csv", "姓名,手机\r\n王伟,13900000001\r\n李娜,13900000002\r\n");
    VariableSmsDialog dialog;
    ASSERT_TRUE(dialog.loadTable(QString::fromStdString(data.file("t.csv"))));
    dialog.TemplateEdit->setPlainText(QStringLiteral("{姓名}您好"));
    dialog.refresh();
    EXPECT_FALSE(dialog.TotalsLabel->text().contains(QStringLiteral("剩余")));  // offline
    dialog.setRemainingQuota(5);
    EXPECT_TRUE(
        dialog.TotalsLabel->text().contains(QStringLiteral("预计扣除2条短信（剩余 5 条）。")))
        << dialog.TotalsLabel->text().toStdString();
    EXPECT_FALSE(dialog.TotalsLabel->text().contains(QStringLiteral("超过")));
    dialog.setRemainingQuota(1);
    EXPECT_TRUE(dialog.TotalsLabel->text().contains(
        QStringLiteral("预计扣除的2条超过剩余的1条，部分短信可能发送失败。")))
        << dialog.TotalsLabel->text().toStdString();
    dialog.grab().save(QStringLiteral("/tmp/variable-sms-quota.png"));
    dialog.NameEdit->setText(QStringLiteral("超额"));
    ui.answerNext(MsgAnswer::Cancel);
    dialog.SendClick();
    EXPECT_TRUE(ui.lastMessage().text.contains(QStringLiteral("超过剩余的1条")))
        << ui.lastMessage().text.toStdString();
}

TEST(VariableSmsDialog, AnAddressBookGroupServesAsTheTable) {
    TempDataDir data;
    ScriptedUi ui;
    data.writeFile("LinkmanBook/Contacts.xml", SampleBook());
    data.writeFile("t.csv", "姓名,手机\r\n王伟,13900000001\r\n");
    VariableSmsDialog dialog;
    dialog.loadGroups();
    QStringList groups;
    for (int i = 0; i < dialog.GroupBox->count(); ++i)
        groups << dialog.GroupBox->itemText(i);
    EXPECT_EQ(groups, (QStringList{QStringLiteral("（不使用）"), QStringLiteral("[客户]"),
                                   QStringLiteral("[客户]/[北京]"), QStringLiteral("[同事]")}));
    dialog.TemplateEdit->setPlainText(QStringLiteral("{姓名}您好"));
    dialog.GroupBox->setCurrentIndex(1);  // [客户] with its subgroup: 李四, 王五
    EXPECT_EQ(dialog.TableEdit->text(), QStringLiteral("通讯录分组：[客户]"));
    EXPECT_EQ(dialog.NumberColumnBox->currentText(), QStringLiteral("手机号码"));
    EXPECT_TRUE(dialog.TotalsLabel->text().startsWith(QStringLiteral("共2行，发送2行")))
        << dialog.TotalsLabel->text().toStdString();
    dialog.RowBox->setValue(2);
    EXPECT_EQ(dialog.PreviewEdit->toPlainText(), QStringLiteral("王五您好"));
    dialog.grab().save(QStringLiteral("/tmp/variable-sms-group.png"));

    // A table file chosen afterwards replaces the group.
    ASSERT_TRUE(dialog.loadTable(QString::fromStdString(data.file("t.csv"))));
    EXPECT_EQ(dialog.GroupBox->currentIndex(), 0);
    EXPECT_TRUE(dialog.TotalsLabel->text().startsWith(QStringLiteral("共1行")));
}

}  // namespace
