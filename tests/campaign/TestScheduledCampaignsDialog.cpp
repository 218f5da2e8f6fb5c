// The list window "定时任务" over real journals: what it lists and how, and its pause, go on
// and cancel (after a question) written into the journal.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTreeWidget>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>

#include "campaign/CampaignJournal.h"
#include "campaign/ScheduledCampaignsDialog.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using namespace smsc::campaign;

namespace {

void makeJournal(const std::string& dataDir, const std::string& name, const CampaignSchedule& s) {
    CampaignSettings settings;
    settings.batchSize = 1;
    std::string error;
    auto journal = CampaignJournal::Create(JournalPath(dataDir, name), settings,
                                           {"13900000001", "13900000002"}, {"hello"}, &error);
    ASSERT_TRUE(journal) << error;
    ASSERT_TRUE(journal->setSchedule(s, &error)) << error;
}

ScheduleState stateOf(const std::string& dataDir, const std::string& name) {
    std::string error;
    auto journal = CampaignJournal::Open(JournalPath(dataDir, name), &error);
    return journal ? journal->schedule().state : ScheduleState::Active;
}

QStringList texts(std::initializer_list<const char*> utf8) {
    QStringList out;
    for (const char* t : utf8)
        out << QString::fromUtf8(t);
    return out;
}

QStringList rowTexts(QTreeWidget* view, int row) {
    QStringList out;
    for (int c = 0; c < view->columnCount(); ++c)
        out << view->topLevelItem(row)->text(c);
    return out;
}

}  // namespace

TEST(ScheduledCampaignsDialog, ListsScheduledCampaignsAndChangesTheirState) {
    test::TempDataDir data(false);
    test::ScriptedUi ui;
    std::filesystem::create_directories(CampaignFolder(data.path()));
    const long long at = *ParseLocalTime("2099-01-02 09:30");
    makeJournal(data.path(), "later", {true, at, 9 * 60, 18 * 60, ScheduleState::Active, ""});
    makeJournal(data.path(), "now", {false, 0, -1, -1, ScheduleState::Active, ""});  // not listed
    makeJournal(data.path(), "paused", {true, 0, -1, -1, ScheduleState::Paused, "x"});
    data.writeFile("campaigns/zbroken.sqlite", "not a journal");

    ScheduledCampaignsDialog dialog;
    dialog.reload();
    QTreeWidget* view = dialog.ListView;
    ASSERT_EQ(view->topLevelItemCount(), 3);
    EXPECT_EQ(rowTexts(view, 0).mid(0, 4),
              texts({"later", "2099-01-02 09:30", "09:00-18:00", "0/2（2个号码）"}));
    EXPECT_TRUE(rowTexts(view, 0)[4].startsWith(QStringLiteral("等待发送时间 2099-01-02 09:30")));
    EXPECT_EQ(rowTexts(view, 1), texts({"paused", "-", "-", "0/2（2个号码）", "已暂停：x"}));
    EXPECT_EQ(rowTexts(view, 2), texts({"zbroken", "-", "-", "-", "已损坏"}));

    struct Step {
        int row;
        QPushButton* button;
        bool answer;  // to the cancel question
        const char* name;
        ScheduleState after;
        bool pause, resume, cancel;  // enabled afterwards, the row still selected
    };
    const Step steps[] = {
        {0, dialog.PauseButton, true, "later", ScheduleState::Paused, false, true, true},
        {0, dialog.ResumeButton, true, "later", ScheduleState::Active, true, false, true},
        {1, dialog.CancelButton, false, "paused", ScheduleState::Paused, false, true, true},
        {1, dialog.CancelButton, true, "paused", ScheduleState::Cancelled, false, false, false},
        {2, nullptr, true, "zbroken", ScheduleState::Active, false, false, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        ui.clear();
        view->clearSelection();
        view->topLevelItem(step.row)->setSelected(true);
        if (step.button) {
            ASSERT_TRUE(step.button->isEnabled());
            if (step.button == dialog.CancelButton)
                ui.answerNext(step.answer ? MsgAnswer::Ok : MsgAnswer::Cancel);
            step.button->click();
        }
        EXPECT_EQ(stateOf(data.path(), step.name), step.after);
        ASSERT_EQ(view->selectedItems().size(), 1);
        EXPECT_EQ(view->selectedItems().front()->text(0), QString::fromUtf8(step.name));
        EXPECT_EQ(dialog.PauseButton->isEnabled(), step.pause);
        EXPECT_EQ(dialog.ResumeButton->isEnabled(), step.resume);
        EXPECT_EQ(dialog.CancelButton->isEnabled(), step.cancel);
        if (step.button == dialog.CancelButton) {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_TRUE(ui.messages[0].text.contains(QStringLiteral("“paused”")));
            EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
        } else {
            EXPECT_TRUE(ui.messages.empty());
        }
    }
    EXPECT_TRUE(rowTexts(view, 1)[4].startsWith(QStringLiteral("已取消")));

    if (const char* shot = std::getenv("SMSC_SCREENSHOT_DIR")) {
        dialog.show();
        dialog.grab().save(QString::fromLocal8Bit(shot) + QStringLiteral("/campaigns.png"));
    }
}
