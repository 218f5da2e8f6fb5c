#pragma once
// The journal of a campaign: one SQLite file (WAL) per campaign, campaigns/NAME.sqlite in
// the data folder. It holds what the campaign sends (the SMS pieces or the MMS title and
// file), its numbers in batches, and the state of every request: each piece of each batch
// for SMS, each batch for MMS. Every state change is committed before the next request goes
// out, so the journal always tells what may have reached the service. Texts are GBK, paths
// native.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "campaign/CampaignSchedule.h"

struct sqlite3;

namespace smsc::campaign {

// pending → sending → accepted ("7") / refused (any other answer) / unknown (the process
// ended, or the network failed, while the request was out). Skipped: an unknown request the
// user chose not to send again, or a batch whose numbers are all on the opt-out list.
enum class RequestState {
    Pending = 0,
    Sending = 1,
    Accepted = 2,
    Refused = 3,
    Unknown = 4,
    Skipped = 5
};
inline constexpr int kStateCount = 6;

// "pending", "sending", "accepted", "refused", "unknown", "skipped".
const char* StateName(RequestState state);

enum class CampaignKind { Sms, Mms };

// A batch carries at most this many numbers, like one send.
inline constexpr int kMaxBatch = 30000;

struct CampaignSettings {
    CampaignKind kind = CampaignKind::Sms;
    std::string user;         // the account the campaign belongs to
    std::string text;         // SMS: the message as given
    std::string title;        // MMS: the title without line breaks
    std::string mmsPath;      // MMS: the file, a full native path
    std::string mmsWirePath;  // MMS: the same path as GBK, as the file part names it
    int batchSize = kMaxBatch;
    long long perNumber = 1;  // units one number costs per request (an MMS: the cost note's)
    long long created = 0;    // seconds since the epoch
    // Started with --include-optout: numbers on the opt-out list are sent to as well.
    // Journals written before this was kept read as false.
    bool includeOptOut = false;
    // A variable SMS (个性短信): several texts, each to its own numbers; text holds the
    // template. Written as a journal of a later format, which earlier versions refuse
    // rather than misread.
    bool variable = false;
};

// One text of a variable SMS and the numbers it goes to.
struct CampaignText {
    std::vector<std::string> numbers;
    std::vector<std::string> pieceTexts;  // one request per piece and batch
};

struct CampaignRequest {
    long long id = 0;
    int batch = 0;     // from 1
    int piece = 0;     // from 1; an MMS batch has one request
    std::string text;  // the SMS piece as sent (prefix included) or the MMS title
    RequestState state = RequestState::Pending;
    std::string answer;     // the service's last answer, or how an unknown one was decided
    long long started = 0;  // when it last went out, seconds since the epoch; 0 never
    std::string record;     // the send record that proved it accepted, if any
    long long numbers = 0;  // the numbers of its batch
};

class CampaignJournal final {
public:
    ~CampaignJournal();
    CampaignJournal(const CampaignJournal&) = delete;
    CampaignJournal& operator=(const CampaignJournal&) = delete;

    // Writes a new journal: numbers cut into batches of settings.batchSize in order, one
    // request per piece text and batch. The file is written under a temporary name and
    // renamed into place once complete. nullptr with *error (UTF-8) on failure.
    static std::unique_ptr<CampaignJournal> Create(const std::string& path,
                                                   const CampaignSettings& settings,
                                                   const std::vector<std::string>& numbers,
                                                   const std::vector<std::string>& pieceTexts,
                                                   std::string* error);
    // A variable SMS: each text's numbers cut into batches of their own (in order, batches
    // numbered on across the texts), each batch with the requests of its text's pieces.
    static std::unique_ptr<CampaignJournal> CreateVariable(const std::string& path,
                                                           const CampaignSettings& settings,
                                                           const std::vector<CampaignText>& texts,
                                                           std::string* error);
    // The same journals written only, for a caller that opens (and so checks) the journal
    // itself once it holds its lock; false with *error (UTF-8) on failure.
    static bool WriteNew(const std::string& path, const CampaignSettings& settings,
                         const std::vector<std::string>& numbers,
                         const std::vector<std::string>& pieceTexts, std::string* error);
    static bool WriteNewVariable(const std::string& path, const CampaignSettings& settings,
                                 const std::vector<CampaignText>& texts, std::string* error);
    // Opens an existing journal and checks it whole: SQLite's quick check, one request per
    // batch and piece, the batches' counts against their numbers and the campaign's total. A
    // journal opened to Write must take writes as well (a journal that can be read but not
    // written is reported so, not as damaged); one opened to Read is never written, also
    // on a read-only disk. nullptr with *error (UTF-8) when it is missing, damaged or no
    // journal, or cannot be written. Glance reads as Read does, but neither the database's
    // check nor the batches' numbers: for a first look that decides nothing alone, as
    // whether a campaign is due, taken again with the whole check before anything is sent.
    enum class Access { Write, Read, Glance };
    static std::unique_ptr<CampaignJournal> Open(const std::string& path, std::string* error,
                                                 Access access = Access::Write);

    const CampaignSettings& settings() const { return m_settings; }
    long long numberCount() const { return m_numberCount; }
    int batchCount() const { return m_batchCount; }
    int pieceCount() const { return m_pieceCount; }  // the most any batch has
    // The pieces of the batch's text (pieceCount() but for a variable SMS).
    int piecesOf(int batch) const;
    // Every request, in sending order (batch by batch, piece by piece).
    const std::vector<CampaignRequest>& requests() const { return m_requests; }

    // The batch's numbers, each followed by "|": the number string of its requests.
    std::optional<std::string> batchNumberString(int batch, std::string* error) const;

    // Writes the request's state, answer, start time and record (found by its id) and
    // commits; the copy in requests() follows. False with *error on failure.
    bool save(const CampaignRequest& request, std::string* error);

    // Before any of the batch's requests went out: its numbers become kept (in order), and
    // leftOut is added to the numbers the opt-out list has left out, in one commit; the
    // requests' numbers follow. False with *error on failure (nothing changed).
    bool narrowBatch(int batch, const std::vector<std::string>& kept, long long leftOut,
                     std::string* error);
    // Numbers the opt-out list left out of batches before they went out (not those left out
    // when the campaign started).
    long long optedOutLater() const { return m_optedOutLater; }

    // The remaining quota the service last reported ("7|Q"), if any.
    std::optional<long long> remainingQuota() const { return m_remaining; }
    bool setRemainingQuota(long long remaining, std::string* error);

    // When the campaign may send (see CampaignSchedule.h). setSchedule writes it and commits;
    // reloadSchedule reads it afresh, so that a run sees a pause or a cancel another process
    // wrote while it runs. False with *error on failure (the copy stays as it was).
    const CampaignSchedule& schedule() const { return m_schedule; }
    bool setSchedule(const CampaignSchedule& schedule, std::string* error);
    bool reloadSchedule(std::string* error);

private:
    // A text's numbers and pieces where the caller keeps them (a million numbers are not
    // copied to be written).
    struct TextToWrite {
        const std::vector<std::string>* numbers;
        const std::vector<std::string>* pieceTexts;
    };

    CampaignJournal() = default;
    static bool Write(const std::string& path, const CampaignSettings& settings,
                      const std::vector<TextToWrite>& texts, std::string* error);
    static std::unique_ptr<CampaignJournal> OpenAs(const std::string& path, Access access,
                                                   bool immutable, std::string* error);
    bool load(std::string* error);
    bool check(bool whole, std::string* error);

    sqlite3* m_db = nullptr;
    std::string m_path;
    CampaignSettings m_settings;
    long long m_numberCount = 0;
    int m_batchCount = 0;
    int m_pieceCount = 0;
    std::vector<CampaignRequest> m_requests;
    std::optional<long long> m_remaining;
    long long m_optedOutLater = 0;
    CampaignSchedule m_schedule;
};

// ---- names and files --------------------------------------------------------------------

// A campaign name is a plain file name: 1 to 200 bytes of UTF-8, no "/", "\", "..",
// control characters, and not starting with ".".
bool IsValidCampaignName(const std::string& name);
// dataDir + "campaigns/" (dataDir ends in "/" or is empty).
std::string CampaignFolder(const std::string& dataDir);
std::string JournalPath(const std::string& dataDir, const std::string& name);
// The names of the journals in the folder, sorted.
std::vector<std::string> CampaignNames(const std::string& dataDir);

}  // namespace smsc::campaign
