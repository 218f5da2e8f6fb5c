// The opt-out list in the started client against a recording server: the 收到短信 page's
// marks, automatic and manual additions, the list window (from that page and the 通讯录
// page), and the SMS and MMS sends leaving listed numbers out. With SMSC_SCREENSHOT_DIR set,
// the list window and the page are saved there as pictures.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>

#include <sys/stat.h>

#include <cstdlib>

#include "addressbook/ContactsPage.h"
#include "optout/OptOutDialog.h"
#include "optout/OptOutList.h"
#include "optout/ReceivedOptOut.h"
#include "records/ReceivedPage.h"
#include "recipients/RecipientListModel.h"
#include "recipients/RecipientPanel.h"
#include "sending/MmsPage.h"
#include "sending/SmsPage.h"
#include "sending/TForm13.h"
#include "sending/TForm15.h"
#include "tests/records/RecordFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class OptOutWindows : public RecordFixture {
protected:
    ReceivedPage* page() const { return main->receivedPage(); }
    ReceivedOptOut* optOut() const { return main->receivedOptOut(); }
    OptOutDialog* dialog() const { return main->optOutDialog(); }
    std::string listPath() const { return data.file(kOptOutFileName); }
    std::string listFile() const { return fileBytes(listPath()); }
    void writeList(const std::string& utf8) { data.writeFile(kOptOutFileName, G(utf8)); }
    // The list file turned into a folder: it cannot be read.
    void breakList() {
        ::unlink(listPath().c_str());
        ASSERT_EQ(::mkdir(listPath().c_str(), 0755), 0);
    }

    void query(const std::string& utf8Answer) {
        server.setBody("/softweb/receive.asp", G(utf8Answer));
        page()->QueryButton->click();
        page()->Timer2Timer();
    }
    void save(QWidget* widget, const char* name) {
        const char* folder = std::getenv("SMSC_SCREENSHOT_DIR");
        if (folder && *folder) {
            EXPECT_TRUE(widget->grab().save(QString::fromLocal8Bit(folder) + QLatin1Char('/') +
                                            QString::fromLatin1(name)));
        }
    }
    static std::string entry(const char* number, const char* source) {
        return std::string(number) + "\t" + OptOutToday() + "\t" + G(source) + "\r\n";
    }
};

const char* kReplies =
    "4|13900000001*2024-05-01 09:00^TD[$$]13900000002*2024-05-01 09:05^好的，谢谢[$$]"
    "13900000003*2024-05-01 09:10^退订。[$$]13900000001*2024-05-01 09:20^t[$$]";

TEST_F(OptOutWindows, RepliesAreMarkedAndTheirSendersAdded) {
    main->showPage(TForm2::Page::Received);
    query(kReplies);
    ASSERT_EQ(page()->ListView1->topLevelItemCount(), 4);
    EXPECT_EQ(page()->CountLabel->text(), QStringLiteral("共有4条回复记录"));
    const bool marked[] = {true, false, true, true};
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(optOut()->isMarked(row), marked[row]) << row;
        EXPECT_EQ(page()->ListView1->topLevelItem(row)->toolTip(1).isEmpty(), !marked[row]);
    }
    EXPECT_EQ(optOut()->NoteLabel->text(), QStringLiteral("退订回复3条，新增2个退订号码"));
    EXPECT_EQ(listFile(), entry("13900000001", "回复") + entry("13900000003", "回复"));
    EXPECT_TRUE(ui.messages.empty());
    QApplication::processEvents();
    save(main.get(), "received-page-optout.png");

    // Again: nothing new, the file is not written.
    query(kReplies);
    EXPECT_EQ(optOut()->NoteLabel->text(), QStringLiteral("退订回复3条，号码均已在退订名单中"));
    query("4|13900000002*t^你好[$$]");
    EXPECT_EQ(optOut()->NoteLabel->text(), QString());

    // AutoAdd=0: marks only; "加入退订名单" adds the selected rows' senders by hand.
    setCompany("OptOut", "AutoAdd", "0");
    query("4|13900000005*t^STOP[$$]13900000002*t^好的[$$]13900000001*t^嗯[$$]");
    EXPECT_TRUE(optOut()->isMarked(0));
    EXPECT_EQ(optOut()->NoteLabel->text(), QStringLiteral("退订回复1条（未自动加入退订名单）"));
    page()->ListView1->clearSelection();
    optOut()->AddButton->click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("请选择要加入退订名单的短信"));
    page()->ListView1->topLevelItem(1)->setSelected(true);
    page()->ListView1->topLevelItem(2)->setSelected(true);
    optOut()->AddButton->click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("新增1个退订号码，1个号码已在退订名单中"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提示"));
    EXPECT_EQ(listFile(), entry("13900000001", "回复") + entry("13900000003", "回复") +
                              entry("13900000002", "手工"));

    // A reply to a listed number is the user's own choice: it is sent.
    ui.clear();
    server.setBody("/softweb/send1.asp", "7|99");
    selectRow(page()->ListView1, 2);
    ui.onNextDialog([](QDialog* d) {
        auto* reply = qobject_cast<TForm13*>(d);
        reply->Memo2->setPlainText(QStringLiteral("好的，已为您退订"));
        reply->Button1->click();
    });
    page()->ReplyButton->click();
    main->progressWindow()->Timer3Timer();
    EXPECT_NE(server.lastRequest().body.find("name=\"smsnumber\"\r\n\r\n13900000001\r\n"),
              std::string::npos);
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("恭喜\r短信内容已成功发送到服务器")});
}

TEST_F(OptOutWindows, AListThatCannotBeReadIsToldOnceAndKeptAsItIs) {
    breakList();
    query(kReplies);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.lastMessage().text.startsWith(QStringLiteral("退订名单OptOut.txt无法读取")));
    EXPECT_EQ(optOut()->NoteLabel->text(), QStringLiteral("退订回复3条，未能加入退订名单"));
    query(kReplies);
    EXPECT_EQ(ui.messages.size(), 1u);

    dialog()->reload();
    EXPECT_TRUE(dialog()->ErrorLabel->isVisibleTo(dialog()));
    EXPECT_TRUE(
        dialog()->ErrorLabel->text().startsWith(QStringLiteral("退订名单OptOut.txt无法读取")));
    for (QPushButton* b : {dialog()->AddButton, dialog()->DeleteButton, dialog()->ImportButton,
                           dialog()->ExportButton})
        EXPECT_FALSE(b->isEnabled());

    // Sends refuse rather than reach numbers that may have unsubscribed.
    main->Button2Click();
    main->smsPage()->panel()->AddRecipients({"13700000000"});
    main->smsPage()->Memo1->setPlainText(QStringLiteral("你好"));
    ui.clear();
    server.clearRequests();
    main->smsPage()->Button15Click();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("退订名单无法读取，请检查OptOut.txt")});
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    EXPECT_FALSE(main->progressWindow()->Timer1->isActive());
    main->progressWindow()->Timer1Timer();  // an armed tick refuses too
    EXPECT_EQ(server.requestCount(), 0u);
    struct stat st {};
    ASSERT_EQ(::stat(listPath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(OptOutWindows, ListWindowAddsDeletesSearchesImportsAndExports) {
    writeList("13900000001\t2024-05-01\t回复\r\n# 备注\r\n张三\r13900000002\t2024-05-02\t导入\r\n");
    // Reached from the 收到短信 and the 通讯录 pages.
    optOut()->ListButton->click();
    main->contactsPage()->OptOutButton->click();
    ASSERT_EQ(ui.shownDialogs.size(), 2u);
    EXPECT_EQ(ui.shownDialogs[0], dialog());
    EXPECT_EQ(ui.shownDialogs[1], dialog());
    EXPECT_EQ(dialog()->windowTitle(), QStringLiteral("退订名单"));
    EXPECT_EQ(dialog()->CountLabel->text(), QStringLiteral("共有2个退订号码，1行无法识别"));
    save(dialog(), "optout-dialog.png");

    struct AddCase {
        const char* typed;
        const char* message;  // empty: added quietly
    } adds[] = {
        {"", "请输入要加入退订名单的号码！"},
        {"12a", "号码错误，请输入正确的号码！"},
        {"12 34", "号码错误，请输入正确的号码！"},
        {"13900000001", "该号码已在退订名单中"},
        {" 10086 ", ""},
    };
    for (const AddCase& c : adds) {
        SCOPED_TRACE(c.typed);
        ui.clear();
        dialog()->NumberEdit->setText(QString::fromUtf8(c.typed));
        dialog()->AddButton->click();
        EXPECT_EQ(ui.messageTexts(),
                  *c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList{});
    }
    EXPECT_TRUE(dialog()->NumberEdit->text().isEmpty());
    ASSERT_EQ(dialog()->rowCount(), 3);
    EXPECT_EQ(dialog()->rowNumber(2), QStringLiteral("10086"));

    dialog()->SearchEdit->setText(QStringLiteral("0002"));
    EXPECT_EQ(dialog()->rowCount(), 1);
    EXPECT_EQ(dialog()->CountLabel->text(),
              QStringLiteral("共有3个退订号码，1行无法识别，找到1个"));
    dialog()->SearchEdit->clear();

    // Deleting the selected rows after a question.
    ui.clear();
    dialog()->DeleteButton->click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("请选择要删除的号码"));
    QItemSelectionModel* selection = dialog()->ListView->selectionModel();
    const auto select = [&] {
        selection->clearSelection();
        for (int row : {0, 2})
            selection->select(dialog()->ListView->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    select();
    ui.answerNext(MsgAnswer::Cancel);
    dialog()->DeleteButton->click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("确定将选中的2个号码移出退订名单么？"));
    EXPECT_EQ(dialog()->rowCount(), 3);
    select();
    dialog()->DeleteButton->click();
    EXPECT_EQ(listFile(), G("# 备注\r\n张三\r\n13900000002\t2024-05-02\t导入\r\n"));

    // Importing the mobile numbers of a text file.
    files.writeFile("numbers.txt", G("客户13700000001，13700000002；重复13700000001，座机10086"));
    files.writeFile("none.txt", G("没有号码"));
    struct ImportCase {
        std::string file;
        const char* message;
    } imports[] = {
        {files.file("numbers.txt"), "新增2个退订号码"},
        {files.file("numbers.txt"), "新增0个退订号码，2个号码已在退订名单中"},
        {files.file("none.txt"), "文件中没有找到手机号码"},
        {files.file("missing.txt"), "文件无法读取："},
    };
    for (const ImportCase& c : imports) {
        ui.clear();
        ui.chooseFileNext(QString::fromStdString(c.file));
        dialog()->ImportButton->click();
        EXPECT_TRUE(ui.lastMessage().text.startsWith(QString::fromUtf8(c.message)))
            << ui.lastMessage().text.toStdString();
    }
    EXPECT_EQ(dialog()->list().size(), 3u);
    EXPECT_TRUE(dialog()->list().contains("13700000002"));

    // Exporting: GBK, CR LF, ".txt" appended.
    ui.clear();
    ui.chooseFileNext(QString::fromStdString(files.file("导出")));
    dialog()->ExportButton->click();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(fileBytes(files.file("导出.txt")), "13900000002\t2024-05-02\t" + G("导入") + "\r\n" +
                                                     entry("13700000001", "导入") +
                                                     entry("13700000002", "导入"));
    EXPECT_EQ(ui.fileDialogFilters.back(), QStringLiteral("文本文件(*.txt)"));
}

TEST_F(OptOutWindows, SendsLeaveListedNumbersOutAndKeepTheVerificationNumber) {
    const std::string mmsFile = files.file("card.emm");
    files.writeFile("card.emm", "EMM");
    struct Case {
        bool mms;
        std::vector<std::string> entries;
        bool verify;
        std::string sent;  // the number string; empty: nothing sent
        QString message;
    } cases[] = {
        {false,
         {"13800000000", "13900000001", "13700000003", " 13900000002", "13800000000"},
         true,
         "13800000000*13700000003|13800000000*",
         QStringLiteral("恭喜\r短信内容已成功发送到服务器\r已跳过2个退订号码")},
        {false,
         {"13700000003"},
         false,
         "13700000003|",
         QStringLiteral("恭喜\r短信内容已成功发送到服务器")},
        // Entries of "从文本文件导入" holding the separators the service splits at.
        {false,
         {"13900000001|", "13700000003*", "13700000004|13900000002", "13800000000*13700000005"},
         false,
         "13700000003|13700000004|13700000005|",
         QStringLiteral("恭喜\r短信内容已成功发送到服务器\r已跳过3个退订号码")},
        {false,
         {"13900000001", "13800000000"},
         false,
         {},
         QStringLiteral("发送对象均在退订名单中，未发送")},
        {true,
         {"13800000000", "13900000002", "13700000004"},
         true,
         "13800000000*13700000004|",
         QStringLiteral("恭喜\r彩信内容已成功发送到服务器\r已跳过1个退订号码")},
        {true, {"13900000002"}, false, {}, QStringLiteral("发送对象均在退订名单中，未发送")},
    };
    writeList("13900000001\r\n13900000002\r\n13800000000\r\n");
    server.setBody("/softweb/send1.asp", "7|500");
    server.setBody("/softweb/mms_send.asp", "7|400");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent);
        RecipientPanel* panel = c.mms ? main->mmsPage()->panel() : main->smsPage()->panel();
        main->showPage(c.mms ? TForm2::Page::Mms : TForm2::Page::Sms);
        panel->model()->clear();
        panel->VerifyBox->setChecked(c.verify);
        panel->VerifyEdit->setText(QStringLiteral("13800000000"));
        panel->AddRecipients(c.entries);
        panel->UpdateSendButton();
        ui.clear();
        server.clearRequests();
        if (c.mms) {
            main->mmsPage()->setTitleText(G("新品"));
            main->mmsPage()->FileEdit->setText(QString::fromStdString(mmsFile));
            main->mmsPage()->Button35Click();
            if (main->progressWindow()->Timer2->isActive())
                main->progressWindow()->Timer2Timer();
        } else {
            main->smsPage()->Memo1->setPlainText(QStringLiteral("周末八折"));
            main->smsPage()->Button15Click();
            if (main->progressWindow()->Timer1->isActive())
                main->progressWindow()->Timer1Timer();
        }
        EXPECT_EQ(ui.messageTexts(), QStringList{c.message});
        if (c.sent.empty()) {
            EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
            EXPECT_EQ(server.requestCount(), 0u);
        } else {
            ASSERT_EQ(server.requestCount(), 1u);
            const std::string field = c.mms ? "mms_num" : "smsnumber";
            EXPECT_NE(
                server.lastRequest().body.find("name=\"" + field + "\"\r\n\r\n" + c.sent + "\r\n"),
                std::string::npos);
        }
        EXPECT_EQ(panel->entries(), c.entries);  // the recipient list stays as it was
    }
}

}  // namespace
