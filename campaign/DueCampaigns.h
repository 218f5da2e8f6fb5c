#pragma once
// Scheduled campaigns, started and sent: the step that writes a new journal, locks it and
// sets the schedule it starts on (smsclient-cli campaign start and the window's "新建"), and
// the look at a campaign that finds it due and takes its lock (smsclient-cli campaign
// run-due and the client's own runner). The lock of the journal is the one every process
// takes, so the systemd timer's run-due and the client never send the same batch twice.
// No Qt.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "campaign/CampaignJournal.h"
#include "campaign/CampaignLock.h"
#include "campaign/CampaignRun.h"
#include "campaign/CampaignSchedule.h"

namespace smsc {
struct ComplianceSettings;
}

namespace smsc::campaign {

// The schedule a campaign starts on: the time and the window as given; a marketing text
// given a time and no window keeps to the marketing hours of [Compliance].
CampaignSchedule StartSchedule(std::optional<long long> at,
                               std::optional<std::pair<int, int>> window, bool marketing,
                               const ComplianceSettings& compliance);

// A journal and its lock. The lock is declared first so that it outlives the journal: its
// descriptor is closed only once the database is.
struct LockedJournal {
    std::unique_ptr<CampaignLock> held;
    std::unique_ptr<CampaignJournal> journal;
};

struct StartedJournal : LockedJournal {
    enum class Result { Started, Taken, Failed, NotLocked } result = Result::Failed;
    CampaignLock::Result lock = CampaignLock::Result::Failed;  // NotLocked: why
    std::string error;                                         // Failed: why (UTF-8)
};

// A name taken by anything, a dangling link included (a new journal would replace it).
bool CampaignNameTaken(const std::string& dataDir, const std::string& name);

// Under the campaigns folder's lock: the name checked again, the journal written by create,
// its own lock taken before the folder's is let go; then opened and given the schedule
// (when it is scheduled).
StartedJournal CreateLockedJournal(const std::string& dataDir, const std::string& name,
                                   const std::function<bool(std::string* error)>& create,
                                   const CampaignSchedule& schedule);

// A plain SMS campaign: the numbers (repeats dropped) and settings.text, the message as it
// goes out, cut into its pieces; written, locked and scheduled as above.
StartedJournal StartSmsCampaign(const std::string& dataDir, const std::string& name,
                                const CampaignSettings& settings,
                                const std::vector<std::string>& numbers,
                                const CampaignSchedule& schedule);

// Every request accepted or skipped.
bool IsFinished(const CampaignJournal& journal);

enum class DueLook { NotDue, Opened, Failed };
// A scheduled, unfinished campaign that is due now and that no run holds: its lock taken
// (looked at again under it) and opened into *out. Failed: *error (UTF-8) says why.
DueLook OpenDueCampaign(const std::string& dataDir, const std::string& name,
                        const std::function<long long()>& now, LockedJournal* out,
                        std::string* error);

// After a run of a due campaign: a refusal or an undecided request pauses it with the reason,
// to wait for the user instead of being tried again every minute. False with *error when
// that could not be written.
bool PauseAfterDueRun(CampaignJournal& journal, RunEnd end, std::string* error);

}  // namespace smsc::campaign
