#pragma once
// The send plan line of a send page, under the counter: recomputed a moment after the list,
// the message (or the MMS cost) or the verification option changes, so typing never waits
// for it, and computed afresh when "发送短信" / "发送彩信" asks about the quota. Numbers on the
// opt-out list (OptOut.txt of the data folder) count as left out, as the send leaves them.

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lookup/Carriers.h"
#include "sending/SendPlan.h"

class QTimer;
class QWidget;

namespace smsc {

class OptOutList;
class RecipientPanel;
class SendHistory;
struct DailyCapSend;

// Before a send goes out under Max_Per_Number_Per_Day: false after telling the user (caption
// "提醒") that the send history could not be read or that every number has had its share
// today; nothing is sent then.
bool CapAllowsSend(QWidget* parent, const DailyCapSend& send);

class PlanLine final : public QObject {
    Q_OBJECT
public:
    // perNumber gives the units one number costs for the page's message at this moment.
    PlanLine(RecipientPanel* panel, std::function<long long()> perNumber);
    ~PlanLine() override;

    // The segment carriers (shared by both pages); until set, the carrier rules alone.
    void setCarriers(CarrierTable* carriers) { m_carriers = carriers; }
    // The remaining quota while logged in; none offline.
    void setRemainingQuota(std::optional<long long> remaining);
    std::optional<long long> remainingQuota() const { return m_remaining; }

    // Restarts the short wait after which the line is recomputed.
    void schedule();
    // The wait's end (tests call it directly): computes and shows the line.
    void refresh();
    // The figures for the page as it is now.
    SendPlanFigures compute();
    // Before a send, once logged in: when the units exceed the remaining quota, asks
    // "预计扣除M条，超过剩余的Q条…仍要发送吗？" (caption "提醒"); false when the user cancels.
    bool confirmQuota(QWidget* parent);

    QTimer* Timer;  // single shot

private:
    OptOutTest optOutTest();
    // The numbers at Max_Per_Number_Per_Day today, as the plan counts them; empty without a cap.
    OptOutTest cappedTest(const std::vector<std::string>& entries);

    RecipientPanel* m_panel;
    std::function<long long()> m_perNumber;
    CarrierTable* m_carriers = nullptr;
    CarrierTable m_rulesOnly;
    std::optional<long long> m_remaining;
    // The opt-out list (OptOut.txt), read again only when the file changes.
    std::shared_ptr<const OptOutList> m_optOut;
    std::string m_optOutStamp;
    // The send history, opened once a cap applies.
    std::unique_ptr<SendHistory> m_history;
};

}  // namespace smsc
