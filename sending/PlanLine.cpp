#include "sending/PlanLine.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/RecipientListModel.h"
#include "recipients/RecipientPanel.h"

namespace smsc {
namespace {

// Long enough to let a burst of keys pass, short enough to feel immediate.
constexpr int kRecomputeDelayMs = 150;

}  // namespace

PlanLine::PlanLine(RecipientPanel* panel, std::function<long long()> perNumber)
    : QObject(panel), m_panel(panel), m_perNumber(std::move(perNumber)) {
    setObjectName(QStringLiteral("PlanLine"));
    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("PlanTimer"));
    Timer->setSingleShot(true);
    Timer->setInterval(kRecomputeDelayMs);
    connect(Timer, &QTimer::timeout, this, &PlanLine::refresh);

    QAbstractItemModel* model = panel->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &PlanLine::schedule);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &PlanLine::schedule);
    connect(model, &QAbstractItemModel::modelReset, this, &PlanLine::schedule);
    connect(model, &QAbstractItemModel::dataChanged, this, &PlanLine::schedule);
    connect(panel->VerifyBox, &QCheckBox::toggled, this, &PlanLine::schedule);
    connect(panel->VerifyEdit, &QLineEdit::textChanged, this, &PlanLine::schedule);
    refresh();
}

void PlanLine::setOptOutTest(OptOutTest test) {
    m_optOut = std::move(test);
    schedule();
}

void PlanLine::setRemainingQuota(std::optional<long long> remaining) {
    m_remaining = remaining;
    schedule();
}

void PlanLine::schedule() {
    Timer->start();
}

SendPlanFigures PlanLine::compute() {
    const std::string number = m_panel->verificationNumber();
    return ComputeSendPlan(m_panel->entries(), m_panel->verificationOn() ? &number : nullptr,
                           m_perNumber(), m_carriers ? *m_carriers : m_rulesOnly, m_optOut);
}

void PlanLine::refresh() {
    Timer->stop();
    const SendPlanFigures figures = compute();
    m_panel->PlanLabel->setText(QStringFromGbk(SendPlanText(figures)));
    QLabel* quota = m_panel->PlanQuotaLabel;
    quota->setText(m_remaining ? QStringFromGbk(RemainingQuotaText(*m_remaining)) : QString());
    quota->setStyleSheet(ExceedsQuota(figures, m_remaining) ? QStringLiteral("color: red;")
                                                            : QString());
}

bool PlanLine::confirmQuota(QWidget* parent) {
    const SendPlanFigures figures = compute();
    if (!ExceedsQuota(figures, m_remaining))
        return true;
    return Confirm(parent, QStringFromGbk(QuotaQuestion(figures.units, *m_remaining)),
                   QStringLiteral("提醒"));
}

}  // namespace smsc
