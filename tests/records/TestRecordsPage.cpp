// The "发送记录" page against a recording server: the query with its one-minute lockout,
// the listing of records and its failures, the text viewer TForm20, the sent-number list
// TForm18 with its export, and the MMS download.
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>

#include <sys/stat.h>

#include "app/AppCommon.h"
#include "records/ReceivedPage.h"
#include "records/RecordsPage.h"
#include "records/TForm18.h"
#include "records/TForm20.h"
#include "records/TForm21.h"
#include "tests/records/RecordFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

// One record of Consumerlog.asp: the seven fields joined by "[**]", then "[$$]".
std::string Record(const std::vector<std::string>& fields) {
    std::string r;
    for (size_t i = 0; i < fields.size(); ++i)
        r += (i ? "[**]" : "") + fields[i];
    return r + "[$$]";
}

const std::string kSms = Record({"17", "3", "你好", "已提交", "短信", "", "2024-01-05 10:00:00"});
const std::string kMms =
    Record({"18", "2", "标题", "已提交", "彩信", "../up/pic.jpg", "2024-01-05 11:00:00"});

class RecordsPageTest : public RecordFixture {
protected:
    RecordsPage* page() const { return main->recordsPage(); }
    QTreeWidget* list() const { return page()->ListView2; }

    // "查询" with the service answering `answer` (UTF-8), then the query tick.
    void query(const std::string& answer, int status = 200) {
        server.setResponse("/softweb/Consumerlog.asp", Answer(status, G(answer)));
        page()->Timer5Timer();
        page()->QueryButton->click();
        ASSERT_TRUE(page()->Timer3->isActive());
        EXPECT_TRUE(main->queryWaitWindow()->isVisible());
        page()->Timer3Timer();
        EXPECT_FALSE(main->queryWaitWindow()->isVisible());
    }
    // The number list of the row, the service answering `answer`; the script runs inside
    // TForm18.
    void numbers(int row, const std::string& answer, std::function<void(TForm18*)> script = {}) {
        selectRow(list(), row);
        server.setBody("/softweb/numberlist.asp", answer);
        if (script)
            ui.onNextDialog([script](QDialog* d) { script(qobject_cast<TForm18*>(d)); });
        page()->NumbersButton->click();
        ASSERT_TRUE(page()->Timer4->isActive());
        page()->Timer4Timer();
        EXPECT_FALSE(main->queryWaitWindow()->isVisible());
    }
};

TEST_F(RecordsPageTest, QueryListsTheRecordsAndLocksTheButtonForAMinute) {
    EXPECT_EQ(page()->Timer3->interval(), 3000);
    EXPECT_EQ(page()->Timer4->interval(), 2000);
    EXPECT_EQ(page()->Timer5->interval(), 60000);
    for (const char* name : {"Timer3", "Timer4", "Timer5"})
        EXPECT_NE(main->findChild<QTimer*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(page()->NoteLabel->text(), QStringLiteral("仅 返 回 最 近 500 条 记 录"));

    server.setBody("/softweb/Consumerlog.asp", G("4|" + kMms + kSms));
    page()->QueryButton->click();
    EXPECT_FALSE(page()->QueryButton->isEnabled());
    EXPECT_TRUE(page()->Timer5->isActive());
    page()->Timer3Timer();
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.lastRequest().target, "/softweb/Consumerlog.asp");
    EXPECT_EQ(server.lastRequest().body, "username=u1&password=p1");
    EXPECT_EQ(server.lastRequest().header("Referer"), server.baseUrl());
    ASSERT_EQ(list()->topLevelItemCount(), 2);
    EXPECT_TRUE(list()->isColumnHidden(0));
    EXPECT_EQ(list()->headerItem()->text(1), QStringLiteral("提交时间"));
    EXPECT_EQ(rowTexts(list(), 0),
              Cells({"18", "2024-01-05 11:00:00", "2", "已提交", "彩信", "../up/pic.jpg", "标题"}));
    EXPECT_EQ(rowTexts(list(), 1),
              Cells({"17", "2024-01-05 10:00:00", "3", "已提交", "短信", "", "你好"}));
    EXPECT_FALSE(page()->QueryButton->isEnabled());
    page()->Timer5Timer();
    EXPECT_TRUE(page()->QueryButton->isEnabled());

    // Re-enabled after a minute even when the query failed.
    server.setResponse("/softweb/Consumerlog.asp", Answer(500, "x"));
    page()->QueryButton->click();
    page()->Timer3Timer();
    EXPECT_FALSE(page()->QueryButton->isEnabled());
    page()->Timer5Timer();
    EXPECT_TRUE(page()->QueryButton->isEnabled());
    EXPECT_FALSE(page()->Timer5->isActive());
}

TEST_F(RecordsPageTest, AnswersAndTheirMessages) {
    const QString network = QStringLiteral("连接服务器超时，请检查网络！");
    struct Case {
        std::string answer;
        int status;
        int rows;
        QString message;
        QString caption;
    } cases[] = {
        {"4|", 200, 0, {}, {}},
        {"4|" + kSms.substr(0, kSms.size() - 4), 200, 0, {}, {}},
        {"4|" + kSms + kMms, 200, 2, {}, {}},
        // A short record ends the listing; its row shows only the id.
        {"4|" + kSms + "9[**]x[$$]" + kMms, 200, 2, network, QStringLiteral("提示")},
        {"4", 200, 0, network, QStringLiteral("提示")},
        {"4|" + kSms, 404, 0, network, QStringLiteral("提示")},
        {"1|", 200, 0, QStringLiteral("用户名或者密码错误"), ApplicationTitle()},
        {"2", 200, 0, QStringLiteral("帐户被停用"), ApplicationTitle()},
        {"3|5", 200, 0, QStringLiteral("余额不足，当前余额为：5"), ApplicationTitle()},
        {"7|x", 200, 0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        ui.clear();
        query(c.answer, c.status);
        EXPECT_EQ(list()->topLevelItemCount(), c.rows);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(ui.messages.empty());
            continue;
        }
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.lastMessage().text, c.message);
        EXPECT_EQ(ui.lastMessage().caption, c.caption);
        EXPECT_EQ(ui.lastMessage().icon,
                  c.caption == QStringLiteral("提示") ? MsgIcon::Question : MsgIcon::None);
    }
    query("4|" + kSms + "9[**]x[$$]");
    EXPECT_EQ(rowTexts(list(), 1), Cells({"9", "", "", "", "", "", ""}));

    // The full text in TForm20.
    page()->ListView2DblClick();  // nothing selected: nothing
    EXPECT_TRUE(ui.shownDialogs.empty());
    selectRow(list(), 0);
    page()->ListView2DblClick();
    ASSERT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_EQ(ui.shownDialogs[0], page()->textWindow());
    EXPECT_EQ(page()->textWindow()->Memo1->toPlainText(), QStringLiteral("你好"));
    EXPECT_EQ(page()->textWindow()->windowTitle(), QStringLiteral("文字短信内容/彩信标题"));
}

TEST_F(RecordsPageTest, NumberListAndItsExport) {
    query("4|" + kSms + kMms);
    list()->clearSelection();
    ui.clear();
    page()->NumbersButton->click();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("请选择要显示发送号码列表的项")});
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    EXPECT_FALSE(page()->Timer4->isActive());

    server.clearRequests();
    bool shown = false;
    numbers(0, "4|13900000001|13900000002|13900000003|", [&](TForm18* f) {
        shown = true;
        EXPECT_EQ(f->Label1->text(), QStringLiteral("ID号：17"));
        ASSERT_EQ(f->ListBox1->count(), 3);
        EXPECT_EQ(f->ListBox1->item(2)->text(), QStringLiteral("13900000003"));
        for (const char* name : {"out", "out.txt"}) {
            ui.chooseFileNext(QString::fromStdString(files.file(name)));
            f->Button1->click();
            EXPECT_EQ(fileBytes(files.file(name) + ".txt"),
                      G("ID号：17\r\n13900000001\r\n13900000002\r\n13900000003\r\n"));
        }
        // The list's name is offered (".txt" follows), in the folder last exported to.
        ASSERT_EQ(ui.fileDialogStarts.size(), 2u);
        EXPECT_EQ(ui.fileDialogStarts[0], QDir::homePath() + QStringLiteral("/发送号码_17"));
        EXPECT_EQ(ui.fileDialogStarts[1],
                  QString::fromStdString(files.path()) + QStringLiteral("发送号码_17"));
        ASSERT_EQ(::mkdir(files.file("busy.txt").c_str(), 0755), 0);
        ui.chooseFileNext(QString::fromStdString(files.file("busy")));
        f->Button1->click();
        EXPECT_EQ(ui.lastMessage().text, QStringLiteral("导出失败，请检查文件是否被其他程序使用"));
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(server.lastRequest().body, "username=u1&password=p1&id=17");
    EXPECT_EQ(server.lastRequest().header("Referer"), server.baseUrl());

    // "4" alone: an empty window. The menu item does the same as the button.
    ui.clear();
    selectRow(list(), 1);
    server.setBody("/softweb/numberlist.asp", "4");
    page()->PopupMenu2->actions().at(0)->trigger();
    page()->Timer4Timer();
    ASSERT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_EQ(page()->numbersWindow()->ListBox1->count(), 0);
    EXPECT_EQ(page()->numbersWindow()->Label1->text(), QStringLiteral("ID号：18"));

    struct Case {
        std::string answer;
        QString message;
    } cases[] = {
        {"1|", QStringLiteral("用户名或者密码错误")},
        {"2|", QStringLiteral("帐户被停用")},
        {"3|8|", QStringLiteral("余额不足，当前余额为：8")},
        {"", QStringLiteral("连接服务器超时，请检查网络！")},
    };
    for (const Case& c : cases) {
        ui.clear();
        numbers(0, c.answer);
        EXPECT_TRUE(ui.shownDialogs.empty());
        EXPECT_EQ(ui.messageTexts(), QStringList{c.message}) << c.answer;
        EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提示"));
    }

    // The selection went away before the tick.
    ui.clear();
    selectRow(list(), 0);
    page()->NumbersButton->click();
    list()->clearSelection();
    page()->Timer4Timer();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("请选择要导出号码列表的条目")});
}

// At the window's size the columns show an 11-digit sender, a full date and time, a count and
// the service's MMS file names whole; the user can still widen every column.
TEST_F(RecordsPageTest, ColumnsShowNumbersDatesAndFileNamesWhole) {
    query("4|" + Record({"7", "30000", "t", "已提交", "彩信", "20241231235959_123456.emm",
                         "2024-12-31 23:59:59"}));
    ReceivedPage* received = main->receivedPage();
    server.setResponse("/softweb/receive.asp",
                       Answer(200, G("4|13912345678*2024-12-31 23:59:59^你好[$$]")));
    received->QueryButton->click();
    received->Timer2Timer();
    ASSERT_EQ(received->ListView1->topLevelItemCount(), 1);

    struct Case {
        QTreeWidget* list;
        void (TForm2::*open)();
        std::vector<int> columns;  // every column but the text, which takes the rest
    };
    const Case cases[] = {{received->ListView1, &TForm2::Button5Click, {0, 1, 2}},
                          {list(), &TForm2::Button4Click, {1, 2, 3, 4, 5}}};
    main->show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list->objectName().toStdString());
        (main.get()->*c.open)();
        QApplication::processEvents();
        int total = 0;
        for (int column : c.columns) {
            const int width = c.list->columnWidth(column);
            c.list->resizeColumnToContents(column);
            EXPECT_LE(c.list->columnWidth(column), width) << column;  // nothing cut off
            c.list->setColumnWidth(column, width);
            EXPECT_EQ(c.list->header()->sectionResizeMode(column), QHeaderView::Interactive);
            total += width;
        }
        EXPECT_LE(total, c.list->viewport()->width());
    }
}

TEST_F(RecordsPageTest, MmsDownloadSavesUnderTheLastPartOfTheName) {
    const std::string pic("GIF89a\0\x01\x02 bytes", 15);
    std::string asked;
    server.setHandler([&](const RecordedRequest& r) {
        asked = r.target;
        return Answer(200, pic);
    });
    query("4|" + kSms + kMms + Record({"19", "1", "t", "s", "彩信 ", "x.jpg", "t"}) +
          Record({"20", "1", "t", "s", "彩信", "dir/", "t"}) +
          Record({"21", "2", "t", "s", "彩信", "2024/pic.jpg", "t"}));
    ASSERT_EQ(list()->topLevelItemCount(), 5);

    list()->clearSelection();
    page()->DownloadButton->click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("请选择要下载彩信号码列表的条目"));
    for (int row : {0, 2}) {  // "短信", and "彩信 " with a blank
        ui.clear();
        selectRow(list(), row);
        page()->DownloadButton->click();
        EXPECT_EQ(ui.messageTexts(),
                  QStringList{QStringLiteral("该信息为短信文字信息，不是彩信，无法下载！")});
        EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提示"));
    }

    // A name that would leave the download address ("../up/pic.jpg") is not asked for.
    ui.clear();
    selectRow(list(), 1);
    page()->DownloadButton->click();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("彩信文件名不正确，无法下载")});
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提示"));
    EXPECT_EQ(asked, "");

    // Saved under the chosen name followed by the part after the last "/".
    ui.clear();
    selectRow(list(), 4);
    ui.chooseFileNext(QString::fromStdString(files.file("mms_")));
    page()->PopupMenu2->actions().at(1)->trigger();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(asked, "/mms/2024/pic.jpg");  // the address itself is the service's name
    EXPECT_EQ(ui.fileDialogFilters.back(), QStringLiteral("程序文件(*.* *)"));
    EXPECT_EQ(fileBytes(files.file("mms_pic.jpg")), pic);
    EXPECT_EQ(ui.fileDialogStarts.back(), QDir::homePath() + QStringLiteral("/彩信_21_"));

    // Cancelled: nothing saved, nothing said. Unwritable target, empty download, no name
    // and a failed download are reported.
    ui.clear();
    page()->DownloadButton->click();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.fileDialogStarts.back(),
              QString::fromStdString(files.path()) + QStringLiteral("彩信_21_"));
    ASSERT_EQ(::mkdir(files.file("busypic.jpg").c_str(), 0755), 0);
    ui.chooseFileNext(QString::fromStdString(files.file("busy")));
    page()->DownloadButton->click();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("保存彩信文件失败")});
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));

    ui.clear();
    server.setHandler([](const RecordedRequest&) { return Answer(200, ""); });
    page()->DownloadButton->click();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("保存彩信文件失败")});
    EXPECT_TRUE(ui.fileDialogFilters.empty());

    ui.clear();
    server.clearRequests();
    selectRow(list(), 3);
    page()->DownloadButton->click();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("保存彩信文件失败")});
    EXPECT_EQ(server.requestCount(), 0u);

    ui.clear();
    selectRow(list(), 4);
    server.setHandler([](const RecordedRequest&) { return Answer(404, "no"); });
    page()->DownloadButton->click();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("连接服务器超时，请检查网络！")});
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提示"));
}

}  // namespace
