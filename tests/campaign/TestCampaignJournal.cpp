// The campaign journal: names, batches and requests as written, state changes that survive
// reopening, files that are no journal, and the lock that keeps a second run out.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "campaign/CampaignJournal.h"
#include "campaign/CampaignLock.h"
#include "campaign/CampaignRun.h"
#include "campaign/DueCampaigns.h"
#include "platform/Gbk.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using namespace smsc::campaign;

namespace {

std::vector<std::string> numbers(int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(std::to_string(13900000000LL + i));
    return out;
}

TEST(CampaignNames, OnlyPlainFileNames) {
    const struct {
        std::string name;
        bool valid;
    } cases[] = {
        {"客户通知", true},
        {"spring-2024_v2", true},
        {"a b", true},
        {std::string(200, 'x'), true},
        {std::string(201, 'x'), false},
        {"", false},
        {"a/b", false},
        {"..", false},
        {"a..b", false},
        {".hidden", false},
        {"a\\b", false},
        {"a\nb", false},
        {"a\tb", false},
        {std::string("a\x7f"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidCampaignName(c.name), c.valid) << c.name;
}

TEST(CampaignJournalFile, BatchesRequestsAndStatesSurviveReopening) {
    test::TempFolder folder;
    const std::string path = folder.file("c.sqlite");
    CampaignSettings settings;
    settings.user = "demo";
    settings.text = G("通知");
    settings.batchSize = 3;
    std::string error;
    const std::vector<std::string> pieces{G("（1/2）前"), G("（2/2）后")};
    auto journal = CampaignJournal::Create(path, settings, numbers(7), pieces, &error);
    ASSERT_TRUE(journal) << error;
    EXPECT_EQ(journal->batchCount(), 3);
    EXPECT_EQ(journal->pieceCount(), 2);
    EXPECT_EQ(journal->numberCount(), 7);
    ASSERT_EQ(journal->requests().size(), 6u);
    std::vector<std::pair<int, int>> order;
    for (const CampaignRequest& r : journal->requests())
        order.emplace_back(r.batch, r.piece);
    EXPECT_EQ(order,
              (std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {2, 1}, {2, 2}, {3, 1}, {3, 2}}));
    EXPECT_EQ(journal->requests()[5].numbers, 1);
    EXPECT_EQ(journal->requests()[1].text, pieces[1]);
    EXPECT_EQ(journal->batchNumberString(2, &error), "13900000003|13900000004|13900000005|");

    CampaignRequest request = journal->requests()[2];
    request.state = RequestState::Unknown;
    request.answer = "error|x";
    request.started = 1700000000;
    request.record = "42";
    ASSERT_TRUE(journal->save(request, &error)) << error;
    ASSERT_TRUE(journal->setRemainingQuota(9993, &error)) << error;
    journal.reset();

    journal = CampaignJournal::Open(path, &error);
    ASSERT_TRUE(journal) << error;
    const CampaignRequest& reread = journal->requests()[2];
    EXPECT_EQ(reread.state, RequestState::Unknown);
    EXPECT_EQ(reread.answer, "error|x");
    EXPECT_EQ(reread.started, 1700000000);
    EXPECT_EQ(reread.record, "42");
    EXPECT_EQ(journal->remainingQuota(), 9993);
    EXPECT_EQ(journal->settings().text, G("通知"));
    EXPECT_EQ(RequestLabel(*journal, reread), G("第2批（共3批）第1条（共2条）"));

    // A batch holds at most 30000 numbers; a refused journal leaves no file behind.
    settings.batchSize = 30001;
    EXPECT_FALSE(
        CampaignJournal::Create(folder.file("d.sqlite"), settings, numbers(2), pieces, &error));
    EXPECT_FALSE(std::filesystem::exists(folder.file("d.sqlite")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("d.sqlite.part")));
}

TEST(CampaignJournalFile, FilesThatAreNoJournalAreRefused) {
    test::TempFolder folder;
    folder.writeFile("text.sqlite", "not a database at all");
    folder.writeFile("empty.sqlite", "");
    std::string error;
    for (const char* name : {"text.sqlite", "empty.sqlite", "missing.sqlite"}) {
        error.clear();
        EXPECT_FALSE(CampaignJournal::Open(folder.file(name), &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
}

TEST(CampaignJournalFile, AJournalWhosePartsDisagreeIsDamaged) {
    test::TempFolder folder;
    CampaignSettings settings;
    settings.batchSize = 3;
    std::string error;
    const char* const damages[] = {
        "DELETE FROM requests",
        "DELETE FROM requests WHERE id = 4",
        "UPDATE requests SET piece = 1 WHERE id = 2",
        "INSERT INTO requests(batch, piece, text, state) VALUES (1, 1, 'a', 0)",
        "UPDATE requests SET text = 'x' WHERE id = 3",
        "DELETE FROM batches WHERE id = 3",
        "UPDATE batches SET count = 2 WHERE id = 1",
        "UPDATE batches SET numbers = '13900000000|' WHERE id = 2",
        // As many numbers as counted, but not all of them digits.
        "UPDATE batches SET numbers = '13900000000|1390000000x|13900000002|' WHERE id = 1",
        "UPDATE batches SET numbers = X'31337C31337C3133E97C' WHERE id = 2",
        "UPDATE campaign SET value = '8' WHERE CAST(key AS TEXT) = 'numbers'",
    };
    for (const char* damage : damages) {
        const std::string path = JournalPath(folder.path(), "c");
        std::filesystem::remove(path);
        std::filesystem::create_directories(CampaignFolder(folder.path()));
        CampaignSchedule due;
        due.scheduled = true;
        auto created = CampaignJournal::Create(path, settings, numbers(7), {"a", "b"}, &error);
        ASSERT_TRUE(created && created->setSchedule(due, &error)) << error;
        created.reset();
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, damage, nullptr, nullptr, nullptr), SQLITE_OK) << damage;
        sqlite3_close(db);
        for (const auto access : {CampaignJournal::Access::Write, CampaignJournal::Access::Read}) {
            EXPECT_FALSE(CampaignJournal::Open(path, &error, access)) << damage;
            EXPECT_NE(error.find("活动记录已损坏"), std::string::npos) << damage << error;
        }
        // The due look's first glance reads no numbers; the whole check under the lock
        // still refuses the campaign before anything is sent.
        LockedJournal opened;
        error.clear();
        EXPECT_EQ(OpenDueCampaign(
                      folder.path(), "c", [] { return 0LL; }, &opened, &error),
                  DueLook::Failed)
            << damage;
        EXPECT_TRUE(!opened.journal && !error.empty()) << damage;
    }
}

TEST(CampaignLockFile, ASecondRunIsKeptOutUnderEveryNameOfTheJournal) {
    test::TempFolder folder;
    const std::string path = folder.file("c.sqlite");
    folder.writeFile("c.sqlite", "");
    std::filesystem::create_symlink("c.sqlite", folder.file("link.sqlite"));
    CampaignLock::Result result;
    auto first = CampaignLock::Acquire(path, &result);
    ASSERT_TRUE(first);
    EXPECT_TRUE(CampaignLock::IsHeld(path));
    for (const std::string& name : {path, folder.file("link.sqlite")}) {
        EXPECT_FALSE(CampaignLock::Acquire(name, &result));
        EXPECT_EQ(result, CampaignLock::Result::Busy);
    }
    EXPECT_FALSE(CampaignLock::Acquire(folder.file("none.sqlite"), &result));
    EXPECT_EQ(result, CampaignLock::Result::Missing);
    first.reset();
    EXPECT_FALSE(CampaignLock::IsHeld(path));
    EXPECT_TRUE(CampaignLock::Acquire(path, &result));
    EXPECT_EQ(result, CampaignLock::Result::Acquired);
}

}  // namespace
