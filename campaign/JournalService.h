#pragma once
// What a run of a journal sends through: the account's exchanges with the service, the
// schedule looked at before every request (a pause or a cancel written meanwhile by another
// process, or the window closing, stops the run there), the opt-out list read afresh before
// every batch, and Max_Per_Number_Per_Day over the send history. smsclient-cli's campaign
// runs and the client's own runner of due campaigns use it alike. No Qt.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "campaign/CampaignRun.h"
#include "service/ServiceClient.h"

namespace smsc {
class SendHistory;
}

namespace smsc::campaign {

// The account a run sends with (GBK).
struct RunAccount {
    ServiceContext context;
    std::string user;
    std::string password;
};

struct JournalServiceSetup {
    std::string dataDir;         // ends in "/": the opt-out list and the send history
    std::string settingsFile;    // Company_Info.ini: [Compliance] Max_Per_Number_Per_Day
    bool includeOptOut = false;  // this run sends to listed numbers as well
    // The clock of the schedule and of the history's day.
    std::function<long long()> now;
    // Told why the run stops when the opt-out list cannot be read (GBK).
    std::function<void(const std::string& gbk)> problem;
};

class JournalService final {
public:
    // nullptr with *error (UTF-8) when a cap applies and the send history cannot be opened.
    static std::unique_ptr<JournalService> Create(CampaignJournal& journal, RunAccount account,
                                                  JournalServiceSetup setup, std::string* error);
    ~JournalService();
    JournalService(const JournalService&) = delete;
    JournalService& operator=(const JournalService&) = delete;

    CampaignService& service() { return m_service; }
    int cap() const { return m_cap; }
    // Numbers the cap left out of batches so far (counted among RunReport::optedOut).
    long long capped() const { return m_capped; }
    // After a request's outcome: the first piece of an accepted batch counts one more message
    // today for each of its numbers. False with *error (UTF-8) when that was not written.
    bool recordAnswered(const CampaignRequest& request, std::string* error);

private:
    JournalService(CampaignJournal& journal, RunAccount account, JournalServiceSetup setup)
        : m_journal(journal), m_account(std::move(account)), m_setup(std::move(setup)) {}

    CampaignJournal& m_journal;
    RunAccount m_account;
    JournalServiceSetup m_setup;
    CampaignService m_service;
    std::shared_ptr<SendHistory> m_history;
    int m_cap = 0;
    long long m_capped = 0;
};

}  // namespace smsc::campaign
