#include "campaign/CampaignRun.h"

#include <algorithm>
#include <set>

#include "optout/OptOutList.h"
#include "platform/Gbk.h"
#include "sending/MmsSend.h"
#include "sending/SmsSend.h"
#include "platform/TextHelpers.h"

namespace smsc::campaign {
namespace {

// A refusal of the send page: a code with a meaning other than "7" (accepted), "3" (a
// balance, which answers no send) and "error" (the client's own failure answer). Anything
// else may have been taken and charged.
bool isRefusal(const CampaignJournal& journal, const std::string& answer) {
    const std::string code = AnswerCode(answer);
    if (code == "7" || code == "3" || code == "error")
        return false;
    return journal.settings().kind == CampaignKind::Mms ? MmsAnswerMessage(answer).has_value()
                                                        : SmsAnswerMessage(answer).has_value();
}

std::string answerMessage(const CampaignJournal& journal, const std::string& answer) {
    if (AnswerCode(answer) == "3" || AnswerCode(answer) == "7")
        return G("服务器应答不是发送应答：") + answer.substr(0, 200);
    const std::optional<std::string> message = journal.settings().kind == CampaignKind::Mms
                                                   ? MmsAnswerMessage(answer)
                                                   : SmsAnswerMessage(answer);
    return message ? *message : G("服务器应答无法识别：") + answer.substr(0, 200);
}

class Run final {
public:
    Run(CampaignJournal& journal, const CampaignService& service, UnknownPolicy policy,
        const RunObserver& observer)
        : m_journal(journal), m_service(service), m_policy(policy), m_observer(observer) {}

    RunReport run() {
        // A request that was out when the last run ended may or may not have arrived; a
        // refused one goes out again now that its cause may be mended.
        // Journals of earlier versions hold a balance answer to a send as refused: it may
        // have been taken, so it is asked about like any unknown one.
        for (CampaignRequest request : m_journal.requests()) {
            if (request.state == RequestState::Sending ||
                (request.state == RequestState::Refused && !isRefusal(m_journal, request.answer)))
                request.state = RequestState::Unknown;
            else if (request.state == RequestState::Refused)
                request.state = RequestState::Pending;
            else
                continue;
            if (!save(request))
                return journalFailure();
        }
        if (std::optional<RunReport> stop = decideUnknown())
            return *stop;
        for (size_t i = 0; i < m_journal.requests().size(); ++i) {
            if (m_journal.requests()[i].state != RequestState::Pending)
                continue;
            if (m_service.hold)
                if (std::optional<std::string> why = m_service.hold())
                    return RunReport{RunEnd::Held, *why};
            const int batch = m_journal.requests()[i].batch;
            if (batch != m_preparedBatch) {
                m_preparedBatch = batch;
                if (std::optional<RunReport> stop = prepareBatch(batch))
                    return *stop;
                if (m_journal.requests()[i].state != RequestState::Pending)
                    continue;
            }
            if (std::optional<RunReport> stop = send(m_journal.requests()[i]))
                return *stop;
        }
        return {};
    }

    long long optedOut() const { return m_optedOut; }

private:
    bool save(const CampaignRequest& request) { return m_journal.save(request, &m_error); }
    RunReport journalFailure() { return {RunEnd::JournalFailure, G(m_error)}; }

    std::optional<std::string> numbersOf(int batch) {
        if (batch != m_cachedBatch) {
            std::optional<std::string> numbers = m_journal.batchNumberString(batch, &m_error);
            if (!numbers)
                return std::nullopt;
            m_cachedNumbers = std::move(*numbers);
            m_cachedBatch = batch;
        }
        return m_cachedNumbers;
    }

    std::optional<RunReport> decideUnknown() {
        std::vector<CampaignRequest> unknown;
        for (const CampaignRequest& request : m_journal.requests())
            if (request.state == RequestState::Unknown)
                unknown.push_back(request);
        if (unknown.empty())
            return std::nullopt;
        std::set<std::string> claimed;
        for (const CampaignRequest& request : m_journal.requests())
            if (!request.record.empty())
                claimed.insert(request.record);
        const NumbersOfRecord listOf =
            [this](const std::string& id) -> std::optional<std::vector<std::string>> {
            const std::optional<std::string> answer = m_service.numberList(id);
            if (!answer)
                return std::nullopt;
            NumberListAnswer list = ParseNumberListAnswer(*answer);
            if (list.status != RecordStatus::Listed)
                return std::nullopt;
            return std::move(list.numbers);
        };
        // A request that would go out again is first given its settle time, then the records
        // are read afresh: one that was held on the line shows by then.
        bool waited = false;
        while (true) {
            SendRecordsAnswer records;
            records.status = RecordStatus::Malformed;
            if (std::optional<std::string> answer = m_service.records())
                records = ParseSendRecordsAnswer(*answer);
            const long long now = m_service.now();
            std::string undecided;
            std::vector<CampaignRequest> early;
            long long wait = 0;
            for (CampaignRequest request : unknown) {
                std::optional<std::string> numbers = numbersOf(request.batch);
                if (!numbers)
                    return journalFailure();
                std::vector<std::string> others;
                for (const CampaignRequest& r : m_journal.requests())
                    if (r.batch == request.batch && r.id != request.id)
                        others.push_back(r.text);
                const UnknownDecision decision =
                    DecideUnknown(request, SplitNumberString(*numbers), others, records, listOf,
                                  claimed, EarliestArrival(records, now - request.started));
                const bool again =
                    decision.verdict == Verdict::NotSent ||
                    (decision.verdict == Verdict::CannotTell && m_policy == UnknownPolicy::Resend);
                const long long left =
                    waited ? 0 : SettleLeft(request.started, now, m_service.settleSeconds);
                if (again && left > 0) {
                    early.push_back(request);
                    wait = std::max(wait, left);
                    continue;
                }
                if (m_observer.decided)
                    m_observer.decided(request, decision);
                if (decision.verdict == Verdict::Sent) {
                    request.state = RequestState::Accepted;
                    request.record = decision.record;
                    claimed.insert(decision.record);
                } else if (again) {
                    request.state = RequestState::Pending;
                } else if (m_policy == UnknownPolicy::Skip) {
                    request.state = RequestState::Skipped;
                } else {
                    if (!undecided.empty())
                        undecided += '\r';
                    undecided += RequestLabel(m_journal, request) + G("：") + decision.reason;
                    continue;
                }
                if (!save(request))
                    return journalFailure();
            }
            if (!undecided.empty())
                return RunReport{RunEnd::Undecided, undecided};
            if (early.empty())
                return std::nullopt;
            if (!m_service.sleepSecond) {
                std::string message;
                for (const CampaignRequest& request : early) {
                    if (!message.empty())
                        message += '\r';
                    message += RequestLabel(m_journal, request) + G("：请求发出不到") +
                               std::to_string(m_service.settleSeconds) +
                               G("秒，可能仍在途中，发送记录还不能证明它未送达");
                }
                return RunReport{RunEnd::TooRecent, message, 0, wait};
            }
            for (long long second = wait; second > 0; --second) {
                if (m_observer.waiting)
                    m_observer.waiting(early, second);
                m_service.sleepSecond();
            }
            if (m_observer.waiting)
                m_observer.waiting(early, 0);
            waited = true;
            unknown = std::move(early);
        }
    }

    // Before the batch's first request goes out: the numbers now on the opt-out list are
    // left out of it, committed before anything is sent, and a batch with none left is
    // skipped. Once one of its requests went out the batch keeps its numbers: its pieces go
    // to the same numbers, and the send records are compared with what went out.
    std::optional<RunReport> prepareBatch(int batch) {
        const std::vector<CampaignRequest>& requests = m_journal.requests();
        if (std::any_of(requests.begin(), requests.end(), [&](const CampaignRequest& r) {
                return r.batch == batch && r.state != RequestState::Pending;
            }))
            return std::nullopt;
        std::optional<std::string> numbers = numbersOf(batch);
        if (!numbers)
            return journalFailure();
        std::vector<std::string> kept = SplitNumberString(*numbers);
        if (m_service.optOut) {
            const std::optional<OptOutCheck> listed = m_service.optOut();
            if (!listed)
                return RunReport{RunEnd::Refused,
                                 OptOutSendRefusalMessage(OptOutSendRefusal::ListUnreadable)};
            const size_t before = kept.size();
            if (*listed)
                std::erase_if(kept, *listed);
            const long long leftOut = static_cast<long long>(before - kept.size());
            if (leftOut > 0) {
                if (!m_journal.narrowBatch(batch, kept, leftOut, &m_error))
                    return journalFailure();
                m_optedOut += leftOut;
                m_cachedBatch = 0;
            }
        }
        if (!kept.empty())
            return std::nullopt;
        for (size_t i = 0; i < requests.size(); ++i) {
            if (requests[i].batch != batch)
                continue;
            CampaignRequest request = requests[i];
            request.state = RequestState::Skipped;
            request.answer = G("全部在退订名单中");
            if (!save(request))
                return journalFailure();
        }
        return std::nullopt;
    }

    std::optional<RunReport> send(CampaignRequest request) {
        std::optional<std::string> numbers = numbersOf(request.batch);
        if (!numbers)
            return journalFailure();
        request.state = RequestState::Sending;
        request.started = m_service.now();
        request.answer.clear();
        request.record.clear();
        if (!save(request))
            return journalFailure();
        const SendOutcome outcome = m_service.send(request, *numbers);
        if (!outcome.made) {
            request.state = RequestState::Pending;
            request.started = 0;
            return save(request) ? RunReport{RunEnd::Refused, outcome.message} : journalFailure();
        }
        request.answer = outcome.answer;
        if (AnswerCode(outcome.answer) == "7")
            request.state = RequestState::Accepted;
        else if (isRefusal(m_journal, outcome.answer))
            request.state = RequestState::Refused;
        else
            request.state = RequestState::Unknown;
        if (!save(request))
            return journalFailure();
        if (request.state == RequestState::Accepted) {
            const std::vector<std::string> fields = SplitBySeparator(outcome.answer, "|");
            if (fields.size() >= 2 && !fields[1].empty() &&
                fields[1].find_first_not_of("0123456789") == std::string::npos &&
                fields[1].size() <= 18 &&
                !m_journal.setRemainingQuota(std::stoll(fields[1]), &m_error))
                return journalFailure();
        }
        if (m_observer.answered)
            m_observer.answered(request);
        if (request.state == RequestState::Accepted)
            return std::nullopt;
        if (request.state == RequestState::Refused)
            return RunReport{RunEnd::Refused, answerMessage(m_journal, outcome.answer)};
        return RunReport{RunEnd::NetworkFailure, answerMessage(m_journal, outcome.answer)};
    }

    CampaignJournal& m_journal;
    const CampaignService& m_service;
    UnknownPolicy m_policy;
    const RunObserver& m_observer;
    std::string m_error;
    int m_cachedBatch = 0;
    std::string m_cachedNumbers;
    int m_preparedBatch = 0;
    long long m_optedOut = 0;
};

}  // namespace

RunReport RunCampaign(CampaignJournal& journal, const CampaignService& service,
                      UnknownPolicy policy, const RunObserver& observer) {
    Run run(journal, service, policy, observer);
    RunReport report = run.run();
    report.optedOut = run.optedOut();
    return report;
}

long long SettleLeft(long long started, long long now, long long settleSeconds) {
    if (now < started)
        return settleSeconds;
    return std::clamp(started + settleSeconds - now, 0LL, settleSeconds);
}

std::string RequestLabel(const CampaignJournal& journal, const CampaignRequest& request) {
    std::string label = G("第") + std::to_string(request.batch) + G("批（共") +
                        std::to_string(journal.batchCount()) + G("批）");
    if (journal.settings().kind == CampaignKind::Sms)
        label += G("第") + std::to_string(request.piece) + G("条（共") +
                 std::to_string(journal.piecesOf(request.batch)) + G("条）");
    return label;
}

std::vector<std::string> SplitNumberString(const std::string& numbers) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < numbers.size()) {
        size_t bar = numbers.find('|', start);
        if (bar == std::string::npos)
            bar = numbers.size();
        out.push_back(numbers.substr(start, bar - start));
        start = bar + 1;
    }
    return out;
}

long long UnitsCharged(const CampaignJournal& journal) {
    long long units = 0;
    for (const CampaignRequest& request : journal.requests())
        if (request.state == RequestState::Accepted)
            units += request.numbers * journal.settings().perNumber;
    return units;
}

}  // namespace smsc::campaign
