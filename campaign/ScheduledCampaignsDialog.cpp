#include "campaign/ScheduledCampaignsDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <ctime>

#include "campaign/CampaignRunner.h"
#include "campaign/NewScheduledCampaignDialog.h"
#include "compliance/ComplianceSettings.h"
#include "platform/DataDir.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"

namespace smsc {

using campaign::ListedState;
using campaign::ScheduledCampaign;
using campaign::ScheduleState;

ScheduledCampaignsDialog::ScheduledCampaignsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ScheduledCampaignsDialog"));
    setWindowTitle(QStringLiteral("定时任务"));
    ListView = new QTreeWidget(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setRootIsDecorated(false);
    ListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView->setHeaderLabels({QStringLiteral("名称"), QStringLiteral("发送时间"),
                               QStringLiteral("时段"), QStringLiteral("进度"),
                               QStringLiteral("状态")});
    ListView->header()->setStretchLastSection(true);
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    NewButton = button("NewButton", QStringLiteral("新建"));
    PauseButton = button("PauseButton", QStringLiteral("暂停"));
    ResumeButton = button("ResumeButton", QStringLiteral("继续"));
    CancelButton = button("CancelButton", QStringLiteral("取消"));
    RefreshButton = button("RefreshButton", QStringLiteral("刷新"));
    CloseButton = button("CloseButton", QStringLiteral("关闭"));
    auto* note = new QLabel(
        QStringLiteral("到时由本程序（登录后）或系统定时器发送；也可用 smsclient-cli campaign "
                       "start --at/--window 创建。"),
        this);
    note->setWordWrap(true);
    ProblemLabel = new QLabel(this);
    ProblemLabel->setObjectName(QStringLiteral("ProblemLabel"));
    ProblemLabel->setWordWrap(true);
    ProblemLabel->setStyleSheet(QStringLiteral("color: red;"));
    ProblemLabel->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(NewButton);
    buttons->addWidget(PauseButton);
    buttons->addWidget(ResumeButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(RefreshButton);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListView, 1);
    layout->addWidget(note);
    layout->addWidget(ProblemLabel);
    layout->addLayout(buttons);
    resize(720, 360);

    m_newDialog = std::make_unique<NewScheduledCampaignDialog>(this);
    connect(NewButton, &QPushButton::clicked, this, &ScheduledCampaignsDialog::NewClick);
    connect(PauseButton, &QPushButton::clicked, this, &ScheduledCampaignsDialog::PauseClick);
    connect(ResumeButton, &QPushButton::clicked, this, &ScheduledCampaignsDialog::ResumeClick);
    connect(CancelButton, &QPushButton::clicked, this, &ScheduledCampaignsDialog::CancelClick);
    connect(RefreshButton, &QPushButton::clicked, this, &ScheduledCampaignsDialog::reload);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ListView, &QTreeWidget::itemSelectionChanged, this,
            &ScheduledCampaignsDialog::updateButtons);
    updateButtons();
}

ScheduledCampaignsDialog::~ScheduledCampaignsDialog() = default;

void ScheduledCampaignsDialog::setRunner(CampaignRunner* runner) {
    m_runner = runner;
    connect(runner, &CampaignRunner::progressed, this, [this] {
        if (isVisible())
            reload();
    });
}

void ScheduledCampaignsDialog::NewClick() {
    if (m_newDialog->openDialog())
        reload();
}

void ScheduledCampaignsDialog::openDialog() {
    reload();
    Ui().execDialog(this);
}

void ScheduledCampaignsDialog::reload() {
    const ScheduledCampaign* before = selected();
    const QString keep = before ? QString::fromStdString(before->name) : QString();
    m_rows = campaign::ListScheduledCampaigns(DataDir(), std::time(nullptr));
    ListView->clear();
    for (const ScheduledCampaign& row : m_rows) {
        const bool damaged = row.state == ListedState::Damaged;
        const campaign::CampaignSchedule& s = row.schedule;
        QString state = QStringFromGbk(campaign::ListedStateText(row.state));
        if (row.state == ListedState::Waiting && !row.waiting.empty())
            state = QStringFromGbk(row.waiting);  // "等待发送时间 …", "等待发送时段 …"
        else if (row.state == ListedState::Paused && !s.reason.empty())
            state += QStringLiteral("：") + QStringFromGbk(s.reason);
        auto* item = new QTreeWidgetItem(QStringList{
            QString::fromStdString(row.name),
            damaged || s.at <= 0 ? QStringLiteral("-")
                                 : QString::fromStdString(campaign::LocalTimeText(s.at)),
            damaged || !s.hasWindow() ? QStringLiteral("-")
                                      : QString::fromStdString(HoursText(s.windowFrom, s.windowTo)),
            damaged
                ? QStringLiteral("-")
                : QStringLiteral("%1/%2（%3个号码）").arg(row.done).arg(row.total).arg(row.numbers),
            state});
        ListView->addTopLevelItem(item);
        if (!keep.isEmpty() && item->text(0) == keep)
            item->setSelected(true);
    }
    const QString problem = m_runner ? m_runner->problem() : QString();
    ProblemLabel->setText(QStringLiteral("自动发送未能完成：") + problem);
    ProblemLabel->setVisible(!problem.isEmpty());
    for (int column = 0; column + 1 < ListView->columnCount(); ++column)
        ListView->resizeColumnToContents(column);
    updateButtons();
}

const ScheduledCampaign* ScheduledCampaignsDialog::selected() const {
    const QList<QTreeWidgetItem*> items = ListView->selectedItems();
    if (items.isEmpty())
        return nullptr;
    const int row = ListView->indexOfTopLevelItem(items.front());
    return row >= 0 && row < static_cast<int>(m_rows.size()) ? &m_rows[static_cast<size_t>(row)]
                                                             : nullptr;
}

void ScheduledCampaignsDialog::updateButtons() {
    const ScheduledCampaign* row = selected();
    const bool open = row && row->state != ListedState::Damaged &&
                      row->state != ListedState::Cancelled && row->state != ListedState::Done;
    PauseButton->setEnabled(open && row->state != ListedState::Paused);
    ResumeButton->setEnabled(open && row->state == ListedState::Paused);
    CancelButton->setEnabled(open);
}

void ScheduledCampaignsDialog::setState(ScheduleState state) {
    const ScheduledCampaign* row = selected();
    if (!row)
        return;
    std::string error;
    if (!campaign::SetScheduledState(DataDir(), row->name, state, &error))
        ShowMessage(this, QString::fromStdString(error), QStringLiteral("提醒"));
    reload();
}

void ScheduledCampaignsDialog::PauseClick() {
    setState(ScheduleState::Paused);
}

void ScheduledCampaignsDialog::ResumeClick() {
    setState(ScheduleState::Active);
}

void ScheduledCampaignsDialog::CancelClick() {
    const ScheduledCampaign* row = selected();
    if (!row)
        return;
    const QString question =
        QStringLiteral("确定要取消定时任务“%1”吗？取消后不再发送，也不能继续。")
            .arg(QString::fromStdString(row->name));
    if (Confirm(this, question, QStringLiteral("提醒")))
        setState(ScheduleState::Cancelled);
}

}  // namespace smsc
