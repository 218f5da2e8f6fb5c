// The "收到短信" page against a recording server: the query and its request, the listing of
// the records, the codes and failures, the export file, and the reply dialog TForm13 with
// the progress window's reply tick.
#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>

#include <sys/stat.h>

#include "addressbook/ContactsPage.h"
#include "app/AppCommon.h"
#include "records/ReceivedPage.h"
#include "records/TForm21.h"
#include "sending/TForm13.h"
#include "sending/TForm15.h"
#include "tests/records/RecordFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class ReceivedPageTest : public RecordFixture {
protected:
    ReceivedPage* page() const { return main->receivedPage(); }

    // "记录查询" with the service answering `answer` (GBK), then the query tick.
    void query(const std::string& answer, int status = 200) {
        server.setResponse("/softweb/receive.asp", Answer(status, answer));
        page()->QueryButton->click();
        ASSERT_TRUE(page()->Timer2->isActive());
        EXPECT_TRUE(main->queryWaitWindow()->isVisible());
        page()->Timer2Timer();
        EXPECT_FALSE(page()->Timer2->isActive());
        EXPECT_FALSE(main->queryWaitWindow()->isVisible());
    }
    QString count() const { return page()->CountLabel->text(); }
    int rows() const { return page()->ListView1->topLevelItemCount(); }

    // Opens the reply dialog with "回复短信" (or a double-click) on a row and runs the script
    // inside it.
    void reply(int row, bool doubleClick, std::function<void(TForm13*)> script) {
        selectRow(page()->ListView1, row);
        ui.onNextDialog([script](QDialog* d) { script(qobject_cast<TForm13*>(d)); });
        if (doubleClick)
            page()->ListView1DblClick();
        else
            page()->ReplyButton->click();
    }
};

const std::string kTwo =
    G("4|13912345678*2010-10-22 16:29^你好[$$]13800000000*2010-10-23 08:01^再见[$$]");

TEST_F(ReceivedPageTest, QueryPostsTheDatesInTheShortDateFormat) {
    EXPECT_EQ(page()->DateTimePicker1->date(), QDate::currentDate());
    EXPECT_EQ(page()->DateTimePicker2->date(), QDate::currentDate());
    EXPECT_FALSE(page()->Timer2->isActive());
    EXPECT_EQ(page()->Timer2->interval(), 3000);
    EXPECT_EQ(main->findChild<QTimer*>(QStringLiteral("Timer2")), page()->Timer2);
    EXPECT_EQ(main->queryWaitWindow()->windowTitle(), QStringLiteral("查询中，请稍候......"));

    page()->DateTimePicker1->setDate(QDate(2024, 1, 5));
    page()->DateTimePicker2->setDate(QDate(2024, 12, 31));
    server.setBody("/softweb/receive.asp", "4|");
    page()->QueryButton->click();
    const int left = page()->Timer2->remainingTime();
    page()->QueryButton->click();  // does not restart the wait
    EXPECT_LE(page()->Timer2->remainingTime(), left);
    EXPECT_EQ(server.requestCount(), 0u);
    page()->Timer2Timer();

    ASSERT_EQ(server.requestCount(), 1u);
    const RecordedRequest r = server.lastRequest();
    EXPECT_EQ(r.target, "/softweb/receive.asp");
    EXPECT_EQ(r.body, "username=u1&password=p1&startime=01/05/24&endtime=12/31/24");
    EXPECT_EQ(r.header("Referer"), server.baseUrl());
    EXPECT_EQ(count(), QStringLiteral("共有0条回复记录"));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ReceivedPageTest, RecordsBecomeRows) {
    struct Case {
        const char* answer;
        std::vector<QStringList> rows;
    } cases[] = {
        {"4|", {}},
        {"4|13912345678*2010-10-22 16:29^你好[$$]",
         {Cells({"2010-10-22 16:29", "13912345678", "u1", "你好"})}},
        // The text after the last separator is no record.
        {"4|13912345678*t1^a[$$]13800000000*t2^b", {Cells({"t1", "13912345678", "u1", "a"})}},
        // The number ends at the first "*", the time at the first "^" after it.
        {"4|13912345678 * 2010-10-22 16:29 ^ x*y^z|w [$$]",
         {Cells({"2010-10-22 16:29", "13912345678", "u1", "x*y^z|w"})}},
        // Not starting with a digit: an empty row that still counts.
        {"4|x13912345678*t^m[$$]13800000000*t2^n[$$]",
         {Cells({"", "", "", ""}), Cells({"t2", "13800000000", "u1", "n"})}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        query(G(c.answer));
        ASSERT_EQ(rows(), static_cast<int>(c.rows.size()));
        for (size_t i = 0; i < c.rows.size(); ++i)
            EXPECT_EQ(rowTexts(page()->ListView1, static_cast<int>(i)), c.rows[i]);
        EXPECT_EQ(count(), QStringLiteral("共有%1条回复记录").arg(c.rows.size()));
        EXPECT_TRUE(ui.messages.empty());
    }
}

TEST_F(ReceivedPageTest, CodesAndFailures) {
    const QString title = ApplicationTitle();
    struct Case {
        std::string answer;
        int status;
        QString message;  // empty: none
        QString caption;
        MsgIcon icon;
    } cases[] = {
        {"1|", 200, QStringLiteral("用户名或者密码错误"), title, MsgIcon::None},
        {"2", 200, QStringLiteral("帐户被停用"), title, MsgIcon::None},
        {"3|12.5", 200, QStringLiteral("余额不足，当前余额为：12.5"), title, MsgIcon::None},
        {"8|x", 200, QString(), QString(), MsgIcon::None},
        {"4", 200, QStringLiteral("连接服务器超时，请检查网络！"), QStringLiteral("提示"),
         MsgIcon::Question},
        {"4|13912345678*t^m[$$]", 500, QStringLiteral("连接服务器超时，请检查网络！"),
         QStringLiteral("提示"), MsgIcon::Question},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer + " / " + std::to_string(c.status));
        query(kTwo);
        ASSERT_EQ(rows(), 2);
        ui.clear();
        query(c.answer, c.status);
        EXPECT_EQ(rows(), 0);
        EXPECT_EQ(count(), QStringLiteral("共有0条回复记录"));
        if (c.message.isEmpty()) {
            EXPECT_TRUE(ui.messages.empty());
            continue;
        }
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.lastMessage().text, c.message);
        EXPECT_EQ(ui.lastMessage().caption, c.caption);
        EXPECT_EQ(ui.lastMessage().icon, c.icon);
    }
    // Unreachable service.
    pointServiceAt(unreachableBase());
    ui.clear();
    query(kTwo);
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("连接服务器超时，请检查网络！")});
}

TEST_F(ReceivedPageTest, ExportWritesGbkLinesWithTwoSpacesAfterEveryCell) {
    page()->ExportButton->click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("当前收到短信记录为空，请查询后再导出记录！"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));

    query(G("4|13912345678*2010-10-22 16:29^第一行\r\n第二行[$$]abc[$$]"));
    ASSERT_EQ(rows(), 2);
    const std::string expected =
        G("收到短信记录\r\n2010-10-22 16:29  13912345678  u1  第一行\r\n第二行  \r\n        \r\n");
    for (const char* name : {"out", "out.txt"}) {
        ui.chooseFileNext(QString::fromStdString(files.file(name)));
        page()->ExportButton->click();
        EXPECT_EQ(fileBytes(files.file(name) + ".txt"), expected) << name;
    }
    EXPECT_EQ(ui.fileDialogFilters.back(), QStringLiteral("文本文件(*.txt)"));

    // Cancelled: nothing happens. A target that cannot be written is reported.
    ui.clear();
    page()->ExportButton->click();
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(::mkdir(files.file("busy.txt").c_str(), 0755), 0);
    ui.chooseFileNext(QString::fromStdString(files.file("busy")));
    page()->ExportButton->click();
    EXPECT_EQ(ui.messageTexts(),
              QStringList{QStringLiteral("导出失败，请检查文件是否被其他程序使用")});
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
}

TEST_F(ReceivedPageTest, ReplyChecksAndTheBareNumber) {
    page()->ReplyButton->click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("当前收到短信记录为空，请先查询"));
    query(kTwo);
    ui.clear();
    page()->ListView1->clearSelection();
    page()->ReplyButton->click();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("请选择要回复的短信")});
    page()->ListView1DblClick();  // no row: nothing
    EXPECT_TRUE(ui.shownDialogs.empty());

    const QString seventy(70, QChar(0x597D));  // 好
    struct Case {
        QString reply;
        QString refusal;  // empty: sent
        std::string sent;
    } cases[] = {
        {seventy, {}, G(seventy.toStdString())},
        {seventy + QStringLiteral("x"), QStringLiteral("要发送的短信内容长度超过70个字！"), {}},
        {QStringLiteral("\n\n"), QStringLiteral("要发送的短信内容不能为空！"), {}},
        // Deliberate mend: blanks alone are empty as well.
        {QStringLiteral("  \u3000 "), QStringLiteral("要发送的短信内容不能为空！"), {}},
        {QStringLiteral("笑😊"), QStringLiteral("短信内容含有无法发送的字符：😊"), {}},
        {QStringLiteral("a\nb"), {}, "a\r\nb"},
    };
    TForm15* progress = main->progressWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        ui.clear();
        server.clearRequests();
        server.setBody("/softweb/send1.asp", "7|321");
        TForm13* dialog = nullptr;
        reply(1, false, [&](TForm13* d) {
            dialog = d;
            EXPECT_TRUE(d->Memo2->toPlainText().isEmpty());  // "回复短信" empties the reply
            EXPECT_EQ(d->Memo1->toPlainText(), QStringLiteral("再见"));
            EXPECT_EQ(d->Label2->text(), QStringLiteral("回复号码：13800000000"));
            d->Memo2->setPlainText(c.reply);
            d->Button1->click();
            // The tick comes while the dialog is still shown, and closes it after the answer.
            EXPECT_TRUE(d->isVisible());
            if (!progress->Timer3->isActive())
                return;
            EXPECT_TRUE(progress->isVisible());
            progress->Timer3Timer();
            EXPECT_FALSE(d->isVisible());
        });
        ASSERT_NE(dialog, nullptr);
        if (!c.refusal.isEmpty()) {
            EXPECT_EQ(ui.messageTexts(), QStringList{c.refusal});
            EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
            EXPECT_FALSE(progress->Timer3->isActive());
            continue;
        }
        ASSERT_EQ(server.requestCount(), 1u);
        const std::string body = server.lastRequest().body;
        EXPECT_NE(body.find("name=\"smsnumber\"\r\n\r\n13800000000\r\n"), std::string::npos);
        EXPECT_NE(body.find("name=\"smscontent\"\r\n\r\n" + c.sent + "\r\n--"), std::string::npos);
        EXPECT_EQ(ui.messageTexts(),
                  QStringList{QStringLiteral("恭喜\r短信内容已成功发送到服务器")});
        EXPECT_EQ(main->quotaText(), QStringLiteral("剩余短信321条"));
        EXPECT_FALSE(progress->isVisible());
    }
    // The length caption counts line breaks, the limit does not.
    main->replyDialog()->Memo2->setPlainText(QStringLiteral("ab\ncd"));
    EXPECT_EQ(main->replyDialog()->Label3->text(), QStringLiteral("当前长度为6字"));
}

TEST_F(ReceivedPageTest, TheReplyCapturedAtOkSurvivesReopeningOnAnotherRow) {
    query(kTwo);
    TForm15* progress = main->progressWindow();
    reply(0, true, [](TForm13* d) {
        d->Memo2->setPlainText(QStringLiteral("收到，谢谢"));
        d->Button1->click();
    });
    ASSERT_TRUE(progress->Timer3->isActive());

    // A double-click keeps the reply text; "回复短信" on another row empties it.
    reply(1, true, [](TForm13* d) {
        EXPECT_EQ(d->Memo2->toPlainText(), QStringLiteral("收到，谢谢"));
        EXPECT_EQ(d->Label2->text(), QStringLiteral("回复号码：13800000000"));
    });
    reply(1, false, [](TForm13* d) { EXPECT_TRUE(d->Memo2->toPlainText().isEmpty()); });

    server.setBody("/softweb/send1.asp", "error|x");
    pointServiceAt(unreachableBase());
    progress->Timer3Timer();
    EXPECT_EQ(ui.messageTexts().last(), QStringLiteral("发送失败\r连接服务器超时，请检查网络！"));
    pointServiceAt(server.baseUrl());

    reply(0, true, [](TForm13* d) {
        d->Memo2->setPlainText(QStringLiteral("收到，谢谢"));
        d->Button1->click();
    });
    // Opened again on another row, the dialog is still shown when the tick sends the reply
    // captured at "确定", and the tick closes it.
    server.setBody("/softweb/send1.asp", "7|10");
    server.clearRequests();
    reply(1, false, [progress](TForm13* d) {
        progress->Timer3Timer();
        EXPECT_FALSE(d->isVisible());
    });
    ASSERT_EQ(server.requestCount(), 1u);
    const std::string body = server.lastRequest().body;
    EXPECT_NE(body.find("name=\"smsnumber\"\r\n\r\n13912345678\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"smscontent\"\r\n\r\n" + G("收到，谢谢") + "\r\n"),
              std::string::npos);
}

}  // namespace

namespace {

// Deliberate change: "联系人名称" shows the address book's name of a number it holds; a number
// it does not hold keeps the user name. The export writes what the list shows.
TEST_F(ReceivedPageTest, ContactNameColumnShowsTheBookNameDeliberateChange) {
    data.writeFile("LinkmanBook/Contacts.xml",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?><通讯录 备注=\"[通讯录]\"><team "
                   "备注=\"[客户]\"><人员 备注=\"王经理\">王经理|13912345678||||||||0,0</人员>"
                   "</team></通讯录>");
    main->contactsPage()->Treev1_Initialization();
    query(kTwo);
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(page()->ListView1->topLevelItem(0)->text(2), QStringLiteral("王经理"));
    EXPECT_EQ(page()->ListView1->topLevelItem(1)->text(2), QStringLiteral("u1"));
    ui.chooseFileNext(QString::fromStdString(files.file("out")));
    page()->ExportButton->click();
    EXPECT_EQ(fileBytes(files.file("out.txt")),
              G("收到短信记录\r\n2010-10-22 16:29  13912345678  王经理  你好  \r\n"
                "2010-10-23 08:01  13800000000  u1  再见  \r\n"));
    // A contact added to the book names its number at the next query.
    ASSERT_EQ(
        main->contactsPage()->book().addContact({}, G("李四"), G("李四|13800000000||||||||1")),
        BookChange::Ok);
    query(kTwo);
    EXPECT_EQ(page()->ListView1->topLevelItem(1)->text(2), QStringLiteral("李四"));
}

}  // namespace
