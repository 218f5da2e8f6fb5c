#include "campaign/JournalService.h"

#include <ctime>
#include <utility>
#include <vector>

#include "campaign/CampaignSchedule.h"
#include "compliance/ComplianceSettings.h"
#include "compliance/SendHistory.h"
#include "optout/OptOutList.h"
#include "sending/MmsSend.h"

namespace smsc::campaign {

JournalService::~JournalService() = default;

std::unique_ptr<JournalService> JournalService::Create(CampaignJournal& journal, RunAccount account,
                                                       JournalServiceSetup setup,
                                                       std::string* error) {
    std::unique_ptr<JournalService> made(
        new JournalService(journal, std::move(account), std::move(setup)));
    JournalService* self = made.get();
    const ComplianceSettings compliance = LoadComplianceSettings(self->m_setup.settingsFile);
    self->m_cap = compliance.configured ? compliance.maxPerNumberPerDay : 0;
    if (self->m_cap > 0 &&
        !(self->m_history = SendHistory::Open(SendHistoryPath(self->m_setup.dataDir), error)))
        return nullptr;

    const CampaignSettings& settings = journal.settings();
    const RunAccount& a = self->m_account;
    CampaignService& service = self->m_service;
    service.send = [&settings, &a](const CampaignRequest& request, const std::string& numbers) {
        SendOutcome outcome;
        if (settings.kind == CampaignKind::Sms) {
            outcome.answer = SendMessage(a.context, a.user, a.password, numbers, request.text);
            return outcome;
        }
        const MmsSendOutcome mms = RunMmsSend(settings.mmsPath, [&](const std::string& bytes) {
            return SendMms(a.context, a.user, a.password, numbers, settings.title,
                           settings.mmsWirePath, bytes);
        });
        outcome.made = mms.refusal == MmsRefusal::None;
        outcome.answer = mms.answer;
        outcome.message = MmsRefusalMessage(mms.refusal);
        return outcome;
    };
    service.records = [&a]() -> std::optional<std::string> {
        HttpResult result = QueryConsumerLog(a.context, a.user, a.password);
        return result.ok ? std::optional<std::string>(std::move(result.body)) : std::nullopt;
    };
    service.numberList = [&a](const std::string& id) -> std::optional<std::string> {
        HttpResult result = QueryNumberList(a.context, a.user, a.password, id);
        return result.ok ? std::optional<std::string>(std::move(result.body)) : std::nullopt;
    };
    service.now = [] { return static_cast<long long>(std::time(nullptr)); };
    // A request the client gave up on after its read timeout may still be on the line:
    // twice that and the same again as a margin.
    const ServicePage page =
        settings.kind == CampaignKind::Sms ? ServicePage::Send : ServicePage::MmsSend;
    const auto timeout = a.context.readTimeoutOverride.value_or(PageSpecFor(page).readTimeout);
    service.settleSeconds = (3 * timeout.count() + 999) / 1000;
    service.hold = [self]() -> std::optional<std::string> {
        std::string ignored;
        self->m_journal.reloadSchedule(&ignored);
        const Due due = WhenDue(self->m_journal.schedule(), self->m_setup.now());
        if (due.waiting == Waiting::Nothing)
            return std::nullopt;
        return WaitingText(self->m_journal.schedule(), due);
    };
    // The list is read afresh before every batch: a customer who unsubscribed after the
    // campaign started gets nothing more, unless the campaign (or this run) was told to send
    // to the listed numbers as well. Numbers that already got Max_Per_Number_Per_Day messages
    // today are left out of the batch, whatever the opt-out choice.
    const bool optOutApplies = !settings.includeOptOut && !self->m_setup.includeOptOut;
    if (!optOutApplies && !self->m_history)
        return made;
    service.optOut = [self, optOutApplies]() -> std::optional<OptOutCheck> {
        std::shared_ptr<const OptOutList> list;
        if (optOutApplies) {
            list = std::make_shared<const OptOutList>(
                OptOutList::Load(OptOutPathIn(self->m_setup.dataDir)));
            if (!list->ok()) {
                if (self->m_setup.problem)
                    self->m_setup.problem(list->errorMessage());
                return std::nullopt;
            }
            if (list->size() == 0)
                list.reset();
        }
        if (!list && !self->m_history)
            return OptOutCheck{};
        const int day = LocalDay(self->m_setup.now());
        return OptOutCheck([self, list, day](const std::string& n) {
            if (list && list->contains(n))
                return true;
            if (!self->m_history)
                return false;
            const std::optional<std::vector<long long>> count = self->m_history->counts(day, {n});
            const bool capped = !count || count->front() >= self->m_cap;
            self->m_capped += capped ? 1 : 0;
            return capped;
        });
    };
    return made;
}

bool JournalService::recordAnswered(const CampaignRequest& request, std::string* error) {
    if (!m_history || request.state != RequestState::Accepted || request.piece != 1)
        return true;
    const std::optional<std::string> numbers = m_journal.batchNumberString(request.batch, error);
    return numbers && m_history->add(LocalDay(m_setup.now()), SplitNumberString(*numbers), error);
}

}  // namespace smsc::campaign
