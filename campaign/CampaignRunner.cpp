#include "campaign/CampaignRunner.h"

#include <QTimer>

#include <ctime>
#include <memory>

#include "campaign/DueCampaigns.h"
#include "platform/DataDir.h"
#include "platform/Gbk.h"
#include "platform/QtText.h"
#include "service/ExchangeWait.h"

namespace smsc {

using namespace smsc::campaign;

namespace {

long long Now() {
    return static_cast<long long>(std::time(nullptr));
}

}  // namespace

CampaignRunner::CampaignRunner(QObject* parent) : QObject(parent) {
    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("CampaignTimer"));
    Timer->setSingleShot(true);
    Timer->setInterval(kLookMs);
    connect(Timer, &QTimer::timeout, this, &CampaignRunner::TimerTick);
    HoldWhileExchanging(Timer);
}

void CampaignRunner::TimerTick() {
    if (m_running)
        return;
    if (ExchangeInFlight()) {  // a page's exchange (or its answer's box) goes first
        Timer->start(kSoonMs);
        return;
    }
    const std::optional<RunAccount> account = m_account ? m_account() : std::nullopt;
    if (!account) {
        Timer->start(kLookMs);
        return;
    }
    m_running = true;
    m_problem.clear();
    bool more = false;
    const std::string dataDir = DataDir();
    for (const std::string& name : CampaignNames(dataDir)) {
        {
            LockedJournal due;
            std::string error;
            const DueLook look = OpenDueCampaign(dataDir, name, Now, &due, &error);
            if (look == DueLook::Failed)
                m_problem = QString::fromStdString(error);
            // A campaign of another account waits for its own login (or for run-due).
            if (look != DueLook::Opened || due.journal->settings().user != account->user)
                continue;
            more = runBatch(*due.journal, *account) || more;
        }
        emit progressed();  // the lock let go: listed as it now stands
    }
    m_running = false;
    Timer->start(more ? kSoonMs : kLookMs);
}

bool CampaignRunner::runBatch(CampaignJournal& journal, const RunAccount& account) {
    JournalServiceSetup setup;
    setup.dataDir = DataDir();
    setup.settingsFile = DataPath("Company_Info.ini");
    setup.now = Now;
    setup.problem = [this](const std::string& gbk) { m_problem = QStringFromGbk(gbk); };
    std::string error;
    const std::unique_ptr<JournalService> run =
        JournalService::Create(journal, account, setup, &error);
    if (!run) {
        m_problem = QString::fromStdString(error);
        return false;
    }
    CampaignService service = run->service();
    // Stops before the first request of the next batch: a page's send armed meanwhile, and
    // the other campaigns, go next.
    const auto scheduleHold = service.hold;
    int batch = 0;
    service.hold = [&]() -> std::optional<std::string> {
        if (std::optional<std::string> why = scheduleHold())
            return why;
        for (const CampaignRequest& r : journal.requests()) {
            if (r.state != RequestState::Pending)
                continue;
            if (batch == 0)
                batch = r.batch;
            if (r.batch != batch)
                return G("本批已发送");
            break;
        }
        return std::nullopt;
    };
    RunObserver observer;
    observer.answered = [&](const CampaignRequest& request) {
        std::string historyError;
        if (!run->recordAnswered(request, &historyError))
            m_problem = QString::fromStdString(historyError);
    };
    const RunReport report = RunCampaign(journal, service, UnknownPolicy::Stop, observer);
    if (!PauseAfterDueRun(journal, report.end, &error))
        m_problem = QString::fromStdString(error);
    return report.end == RunEnd::Held && !IsFinished(journal) &&
           WhenDue(journal.schedule(), Now()).waiting == Waiting::Nothing;
}

}  // namespace smsc
