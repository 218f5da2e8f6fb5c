#include "sending/PlanLine.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <sys/stat.h>

#include <ctime>
#include <unordered_set>

#include "compliance/DailyCap.h"
#include "optout/OptOutList.h"
#include "platform/DataDir.h"
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

PlanLine::~PlanLine() = default;

bool CapAllowsSend(QWidget* parent, const DailyCapSend& send) {
    QString text;
    if (!send.error.empty())
        text = QString::fromStdString(send.error) + QStringLiteral("，未发送。");
    else if (send.entries.empty() && send.leftOut > 0)
        text = QStringLiteral("所有号码今天均已达每日上限，未发送。");
    else
        return true;
    ShowMessage(parent, text, QStringLiteral("提醒"));
    return false;
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

OptOutTest PlanLine::cappedTest(const std::vector<std::string>& entries) {
    const int cap = DailyCapIn(DataDir());
    if (cap <= 0)
        return {};
    std::string error;
    if (!m_history && !(m_history = SendHistory::Open(SendHistoryPath(DataDir()), &error)))
        return {};  // the send refuses with its message
    const std::vector<std::string> numbers = SplitAtNumberSeparators(entries);
    const std::optional<std::vector<long long>> counts =
        m_history->counts(LocalDay(std::time(nullptr)), numbers);
    if (!counts)
        return {};
    auto atCap = std::make_shared<std::unordered_set<std::string>>();
    for (size_t i = 0; i < numbers.size(); ++i)
        if ((*counts)[i] >= cap)
            atCap->insert(numbers[i]);
    if (atCap->empty())
        return {};
    return [atCap](const std::string& entry) { return atCap->count(entry) > 0; };
}

SendPlanFigures PlanLine::compute() {
    const std::string number = m_panel->verificationNumber();
    const std::vector<std::string> entries = m_panel->entries();
    return ComputeSendPlan(entries, m_panel->verificationOn() ? &number : nullptr, m_perNumber(),
                           m_carriers ? *m_carriers : m_rulesOnly, optOutTest(),
                           cappedTest(entries));
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
