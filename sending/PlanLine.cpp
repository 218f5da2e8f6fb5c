#include "sending/PlanLine.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <sys/stat.h>

#include "optout/OptOutList.h"
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

void PlanLine::setRemainingQuota(std::optional<long long> remaining) {
    m_remaining = remaining;
    schedule();
}

void PlanLine::schedule() {
    Timer->start();
}

OptOutTest PlanLine::optOutTest() {
    const std::string path = OptOutPath();
    struct stat st {};
    const std::string stamp = ::stat(path.c_str(), &st) != 0
                                  ? std::string("none")
                                  : std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) +
                                        ":" + std::to_string(st.st_mtim.tv_sec) + "." +
                                        std::to_string(st.st_mtim.tv_nsec);
    if (!m_optOut || stamp != m_optOutStamp) {
        m_optOut = std::make_shared<const OptOutList>(OptOutList::Load(path));
        m_optOutStamp = stamp;
    }
    // A list that cannot be read leaves nothing out here; the send refuses with its message.
    if (!m_optOut->ok() || m_optOut->size() == 0)
        return {};
    return [list = m_optOut](const std::string& entry) { return list->contains(entry); };
}

SendPlanFigures PlanLine::compute() {
    const std::string number = m_panel->verificationNumber();
    return ComputeSendPlan(m_panel->entries(), m_panel->verificationOn() ? &number : nullptr,
                           m_perNumber(), m_carriers ? *m_carriers : m_rulesOnly, optOutTest());
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
