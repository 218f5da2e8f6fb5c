#pragma once
// The demo service's state in one SQLite file ("demo-service.sqlite" in the data folder):
// accounts, accepted submissions with their numbers and MMS files, received messages and
// service switches. Every call reads the file afresh, so changes made by the admin
// command of another process show at once. Texts are GBK bytes, stored as blobs.
// Calls are serialised on one connection; a failed statement returns false/nullopt.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace smsc::demo {

inline constexpr const char* kStoreFileName = "demo-service.sqlite";

struct Account {
    std::string name;
    std::string password;
    long long quota = 0;
    bool enabled = true;
};

enum class SubmissionKind { Sms = 0, Mms = 1 };

struct NewSubmission {
    std::string user;
    SubmissionKind kind = SubmissionKind::Sms;
    std::string content;               // SMS text or MMS title
    std::vector<std::string> numbers;  // in the order they came
    std::string mmsExtension;          // "emm", "jpg"... for an MMS
    std::string mmsData;               // the uploaded file bytes
    std::string time;                  // "YYYY-MM-DD HH:MM:SS"
};

struct SubmissionRecord {
    long long id = 0;
    SubmissionKind kind = SubmissionKind::Sms;
    std::string content;
    long long numberCount = 0;
    std::string mmsFile;  // download name, empty for SMS
    std::string time;
};

struct ReceivedMessage {
    std::string sender;
    std::string time;  // "YYYY-MM-DD HH:MM"
    std::string text;
};

enum class SubmitResult { Accepted, QuotaTooLow, Failed };

struct SubmitOutcome {
    SubmitResult result = SubmitResult::Failed;
    long long remainingQuota = 0;
    long long id = 0;
    std::string mmsFile;
};

class DemoStore final {
public:
    // Opens (creating when missing) the store in the folder and seeds it on first use:
    // account "demo"/"demo" with quota 10000 and a few received messages of the last days.
    static std::unique_ptr<DemoStore> Open(const std::string& folder, std::string* error);
    ~DemoStore();
    DemoStore(const DemoStore&) = delete;
    DemoStore& operator=(const DemoStore&) = delete;

    // nullopt when there is no such account; *failed is set when the store cannot be read.
    std::optional<Account> account(const std::string& name, bool* failed = nullptr);
    // False when the account exists already or the write fails.
    bool addAccount(const Account& account);
    // False when there is no such account or the write fails.
    bool setEnabled(const std::string& name, bool enabled);
    bool setQuota(const std::string& name, long long quota);
    bool setPassword(const std::string& name, const std::string& password);

    // Whether the MMS gateway takes submissions (admin switch, open by default).
    bool mmsOpen();
    bool setMmsOpen(bool open);

    // Charges `cost` units and records the submission in one transaction; a quota below
    // the cost leaves everything unchanged.
    SubmitOutcome submit(const NewSubmission& submission, long long cost);

    // The latest submissions of the user, newest first.
    std::optional<std::vector<SubmissionRecord>> latestSubmissions(const std::string& user,
                                                                   int limit);
    // Numbers of one submission of the user; an empty list when it is not theirs.
    std::optional<std::vector<std::string>> submissionNumbers(const std::string& user,
                                                              long long id);
    // Bytes of a stored MMS file by its download name.
    std::optional<std::string> mmsFileData(const std::string& fileName);

    // Received messages of the user whose day lies in [fromDay, toDay] ("YYYY-MM-DD";
    // an empty bound is open), newest first.
    std::optional<std::vector<ReceivedMessage>> received(const std::string& user,
                                                         const std::string& fromDay,
                                                         const std::string& toDay);
    bool addReceived(const std::string& user, const ReceivedMessage& message);

private:
    explicit DemoStore(sqlite3* db);
    bool exec(const char* sql);
    bool seedIfNew(std::string* error);

    sqlite3* m_db;
    std::mutex m_mutex;
};

// Local time as "YYYY-MM-DD HH:MM:SS" (the submission time layout).
std::string LocalTimeText(long long secondsFromNow = 0);

}  // namespace smsc::demo
