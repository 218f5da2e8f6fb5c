// "新建定时任务": what the window refuses and how it says so, and what it creates (numbers of
// the SMS page, several in one entry among them, or of a file; the schedule; the marketing
// hours when no window is given).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cstdlib>
#include <optional>

#include "campaign/CampaignJournal.h"
#include "campaign/NewScheduledCampaignDialog.h"
#include "platform/Gbk.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using namespace smsc::campaign;

TEST(NewScheduledCampaignDialog, RefusesWhatCannotBeSentAndCreatesTheScheduledCampaign) {
    test::TempDataDir data(false);
    test::ScriptedUi ui;
    data.writeFile("numbers.txt", "13900000011\r\nnot a number\r\n13900000012\r\n13900000011\r\n");
    std::optional<std::string> user = std::string("demo");
    NewScheduledCampaignDialog dialog;
    bool blocked = false;
    dialog.setSource({[] {
                          return std::vector<std::string>{"13900000001|13900000002", "13900000003"};
                      },
                      [] { return G("年末盘点通知"); }, [] { return true; }, [&] { return user; },
                      [&] { return blocked; }});
    ui.onNextDialog([](QDialog*) {});
    dialog.openDialog();
    EXPECT_EQ(dialog.PageNumbersButton->text(), QStringLiteral("短信发送页的号码（3个）"));
    EXPECT_TRUE(dialog.PageNumbersButton->isChecked());
    EXPECT_EQ(dialog.TextView->toPlainText(), QStringLiteral("年末盘点通知"));
    EXPECT_TRUE(dialog.MarketingBox->isChecked());
    if (const char* shot = std::getenv("SMSC_SCREENSHOT_DIR")) {
        dialog.show();
        dialog.grab().save(QString::fromLocal8Bit(shot) + QStringLiteral("/new-campaign.png"));
    }

    // A text the check before a send blocks is not scheduled either.
    blocked = true;
    dialog.NameEdit->setText(QStringLiteral("年末"));
    dialog.CreateButton->click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.startsWith(QStringLiteral("短信内容未通过发送前检查")));
    blocked = false;

    struct Case {
        const char* name;
        const char* at;
        const char* window;
        const char* file;  // nullptr: the page's numbers
        bool loggedIn;
        const char* message;  // the start of what the user is told
        long long numbers;    // created: its numbers; 0: refused
    };
    const Case cases[] = {
        {"", "2099-01-02 09:00", "", nullptr, true, "任务名称只能是", 0},
        {"../x", "2099-01-02 09:00", "", nullptr, true, "任务名称只能是", 0},
        {"年末", "2099-01-02 9:00", "", nullptr, true, "发送时间的格式", 0},
        {"年末", "2099-01-02 09:00", "8-21", nullptr, true, "发送时段的格式", 0},
        {"年末", "2099-01-02 09:00", "", "missing.txt", true, "无法读取号码文件", 0},
        {"年末", "2099-01-02 09:00", "", nullptr, false, "请先登录服务器", 0},
        {"年末", "2099-01-02 09:00", "", nullptr, true, "定时任务“年末”已创建：3个号码", 3},
        {"年末", "2099-01-02 09:00", "", nullptr, true, "定时任务“年末”已经存在", 0},
        {"文件", "2099-01-03 10:30", "09:00-12:00", "numbers.txt", true,
         "定时任务“文件”已创建：2个号码", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.message);
        ui.clear();
        user = c.loggedIn ? std::optional<std::string>("demo") : std::nullopt;
        dialog.NameEdit->setText(QString::fromUtf8(c.name));
        dialog.AtEdit->setText(QString::fromUtf8(c.at));
        dialog.WindowEdit->setText(QString::fromUtf8(c.window));
        (c.file ? dialog.FileNumbersButton : dialog.PageNumbersButton)->setChecked(true);
        dialog.FileEdit->setText(c.file ? QString::fromStdString(data.path() + c.file) : QString());
        dialog.CreateButton->click();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_TRUE(ui.messages[0].text.startsWith(QString::fromUtf8(c.message)))
            << ui.messages[0].text.toStdString();
        EXPECT_EQ(ui.messages[0].caption,
                  c.numbers ? QStringLiteral("提示") : QStringLiteral("提醒"));
        // A file that left lines out says so, as an import does; the page's numbers do not.
        EXPECT_EQ(ui.messages[0].text.endsWith(
                      QStringLiteral("\n号码文件读取4行：添加2个，重复1个，无法识别1个")),
                  c.numbers && c.file);
        if (!c.numbers)
            continue;
        std::string error;
        const auto journal = CampaignJournal::Open(JournalPath(data.path(), c.name), &error);
        ASSERT_TRUE(journal) << error;
        EXPECT_EQ(journal->numberCount(), c.numbers);
        EXPECT_EQ(journal->settings().user, "demo");
        const CampaignSchedule& s = journal->schedule();
        EXPECT_TRUE(s.scheduled);
        EXPECT_EQ(LocalTimeText(s.at), c.at);
        // No window given to a marketing text: the marketing hours, 08:00-21:00 by default.
        EXPECT_EQ(s.windowFrom, *c.window ? 9 * 60 : 8 * 60);
        EXPECT_EQ(s.windowTo, *c.window ? 12 * 60 : 21 * 60);
    }
}
