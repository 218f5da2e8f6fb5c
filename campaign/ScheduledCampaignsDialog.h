#pragma once
// The list window "定时任务": the scheduled campaigns of the data folder with their time,
// daily window, progress and state, and 暂停, 继续 (lifts a pause; the timer's run sends the
// campaign when it is due), 取消 (after a question naming the campaign) and 刷新. Campaigns are
// started with smsclient-cli campaign start --at/--window; this window starts none and sends
// nothing itself.

#include <QDialog>

#include <string>
#include <vector>

#include "campaign/ScheduledCampaigns.h"

class QPushButton;
class QTreeWidget;

namespace smsc {

class ScheduledCampaignsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ScheduledCampaignsDialog(QWidget* parent = nullptr);

    QTreeWidget* ListView;       // 名称, 发送时间, 时段, 进度, 状态
    QPushButton* PauseButton;    // 暂停
    QPushButton* ResumeButton;   // 继续
    QPushButton* CancelButton;   // 取消
    QPushButton* RefreshButton;  // 刷新
    QPushButton* CloseButton;    // 关闭

    // Reads the campaigns afresh and shows the window modally.
    void openDialog();
    // Reads the campaigns afresh, keeping the selected one selected.
    void reload();
    const std::vector<campaign::ScheduledCampaign>& campaigns() const { return m_rows; }

    void PauseClick();
    void ResumeClick();
    void CancelClick();

private:
    // The selected campaign (the selection, not the current item); null when none.
    const campaign::ScheduledCampaign* selected() const;
    void setState(campaign::ScheduleState state);
    void updateButtons();

    std::vector<campaign::ScheduledCampaign> m_rows;
};

}  // namespace smsc
