#pragma once
// The list window "定时任务": the scheduled campaigns of the data folder with their time,
// daily window, progress and state, and 新建 (NewScheduledCampaignDialog), 暂停, 继续 (lifts a
// pause; the campaign is sent when it is due), 取消 (after a question naming the campaign) and
// 刷新. The client's runner, or the systemd timer's run-due, sends; the list follows the
// runner's progress while it is open.

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

#include "campaign/ScheduledCampaigns.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace smsc {

class CampaignRunner;
class NewScheduledCampaignDialog;

class ScheduledCampaignsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ScheduledCampaignsDialog(QWidget* parent = nullptr);
    ~ScheduledCampaignsDialog() override;

    QTreeWidget* ListView;       // 名称, 发送时间, 时段, 进度, 状态
    QPushButton* NewButton;      // 新建
    QPushButton* PauseButton;    // 暂停
    QPushButton* ResumeButton;   // 继续
    QPushButton* CancelButton;   // 取消
    QPushButton* RefreshButton;  // 刷新
    QPushButton* CloseButton;    // 关闭
    QLabel* ProblemLabel;        // what the runner's last look could not do (red); hidden

    // Reads the campaigns afresh and shows the window modally.
    void openDialog();
    // Reads the campaigns afresh, keeping the selected one selected.
    void reload();
    const std::vector<campaign::ScheduledCampaign>& campaigns() const { return m_rows; }

    // The window "新建定时任务" (its source is set by the main window).
    NewScheduledCampaignDialog* newDialog() const { return m_newDialog.get(); }
    // While the window is shown, the list follows the runner's progress.
    void setRunner(CampaignRunner* runner);

    void NewClick();
    void PauseClick();
    void ResumeClick();
    void CancelClick();

private:
    // The selected campaign (the selection, not the current item); null when none.
    const campaign::ScheduledCampaign* selected() const;
    void setState(campaign::ScheduleState state);
    void updateButtons();

    std::vector<campaign::ScheduledCampaign> m_rows;
    std::unique_ptr<NewScheduledCampaignDialog> m_newDialog;
    CampaignRunner* m_runner = nullptr;
};

}  // namespace smsc
