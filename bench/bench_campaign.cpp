// Campaign journals: 1,000,000 numbers from a customer export (name, number and city per
// line, some numbers twice) read, extracted, repeats dropped and written into a new journal;
// then what a resume reads before its first request (the journal, its requests and the
// first open batch). Peak memory is the process's (run this benchmark on its own).
// And what "campaign start" does with an office's list of a million numbers (one a line, some
// written with blanks, dashes or +86, some listed twice) before its first request, beside its
// floor: the lines read, their repeats dropped and their numbers stored in SQLite in one
// transaction as the journal stores them, nothing else.
#include <benchmark/benchmark.h>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_set>
#include <vector>

#include "campaign/CampaignJournal.h"
#include "campaign/CampaignNumbers.h"
#include "campaign/DueCampaigns.h"
#include "platform/Gbk.h"
#include "sending/SmsSend.h"
#include "tests/support/TempDataDir.h"

namespace {

constexpr int kNumbers = 1000000;

struct Files {
    smsc::test::TempFolder folder;
    std::string exportPath = folder.file("customers.csv");
    Files() {
        std::ofstream out(exportPath, std::ios::binary);
        const std::string city = smsc::G("北京市朝阳区");
        const std::string name = smsc::G("客户");
        static const long long prefixes[] = {130, 131, 132, 133, 134, 135, 136, 137, 138, 139,
                                             147, 150, 151, 152, 153, 155, 156, 157, 158, 159,
                                             180, 182, 183, 185, 186, 187, 188, 189};
        constexpr long long kPrefixes = std::size(prefixes);
        for (long long i = 0; i < kNumbers + kNumbers / 50; ++i) {  // 2 % listed twice
            const long long k = i % kNumbers;
            const long long n =
                prefixes[k % kPrefixes] * 100000000LL + (k / kPrefixes) * 7919 % 100000000LL;
            out << name << i << "," << n << "," << city << "\r\n";
        }
    }
};

Files& files() {
    static Files f;
    return f;
}

// An office's list: a heading, then 1,000,000 numbers one a line, 2 % of them again further
// down; a tenth written "138 1234 5678", a tenth "138-1234-5678", a tenth "+86 13812345678",
// the odd blank line.
struct OfficeList {
    smsc::test::TempFolder folder;
    std::string path = folder.file("numbers.txt");
    OfficeList() {
        std::ofstream out(path, std::ios::binary);
        out << smsc::G("手机号码") << "\r\n";
        for (long long i = 0; i < kNumbers + kNumbers / 50; ++i) {
            const long long k = i < kNumbers ? i : (i - kNumbers) * 37 % kNumbers;
            static const long long prefixes[] = {130, 133, 135, 136, 138, 139, 150, 151,
                                                 153, 158, 159, 177, 180, 186, 187, 189};
            const std::string n = std::to_string(prefixes[k % std::size(prefixes)] * 100000000LL +
                                                 k * 86969 % 100000000LL);
            switch (k % 10) {
                case 3:
                    out << n.substr(0, 3) << ' ' << n.substr(3, 4) << ' ' << n.substr(7);
                    break;
                case 5:
                    out << n.substr(0, 3) << '-' << n.substr(3, 4) << '-' << n.substr(7);
                    break;
                case 7:
                    out << "+86 " << n;
                    break;
                default:
                    out << n;
            }
            out << (i % 997 == 0 ? "\r\n\r\n" : "\r\n");
        }
    }
};

OfficeList& officeList() {
    static OfficeList list;
    return list;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The whole file in one read, as smsclient-cli reads a numbers file.
std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void create(const std::string& journal, size_t* count,
            const std::string& source = files().exportPath) {
    smsc::campaign::CampaignNumbers collector;
    collector.addText(smsc::TextFileBytesAsGbk(readAll(source)));
    const std::vector<std::string> numbers = collector.take();
    *count = numbers.size();
    smsc::campaign::CampaignSettings settings;
    settings.user = "demo";
    settings.text = smsc::G(
        "尊敬的会员：本周六起全场商品八折，积分翻倍，凭短信到店另有精美礼品相送，"
        "数量有限，送完即止。退订回T");
    std::string error;
    auto created = smsc::campaign::CampaignJournal::Create(
        journal, settings, numbers, smsc::PlanSmsPieces(settings.text).texts, &error);
    if (!created) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
}

void BM_CreateJournalOfAMillion(benchmark::State& state) {
    files();
    const double before = peakMegabytes();
    size_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(files().folder.file("big.sqlite").c_str());
        state.ResumeTiming();
        create(files().folder.file("big.sqlite"), &count);
    }
    state.counters["numbers"] = static_cast<double>(count);
    state.counters["peak_rss_mb"] = peakMegabytes();
    state.counters["peak_rss_before_mb"] = before;
}
BENCHMARK(BM_CreateJournalOfAMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ResumeReadOfAMillion(benchmark::State& state) {
    const std::string path = files().folder.file("resume.sqlite");
    size_t count = 0;
    create(path, &count);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string error;
        auto journal = smsc::campaign::CampaignJournal::Open(path, &error);
        int batch = 0;
        for (const auto& request : journal->requests())
            if (request.state != smsc::campaign::RequestState::Accepted) {
                batch = request.batch;
                break;
            }
        bytes = journal->batchNumberString(batch, &error)->size();
    }
    state.counters["batch_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ResumeReadOfAMillion)->Unit(benchmark::kMillisecond);

// The client's runner looks at every journal of the folder once a minute: a paused campaign
// of a million numbers is looked at and left (not due), as a finished or waiting one is.
void BM_DueLookAtAWaitingMillion(benchmark::State& state) {
    const std::string dataDir = files().folder.path();
    std::filesystem::create_directories(smsc::campaign::CampaignFolder(dataDir));
    const std::string path = smsc::campaign::JournalPath(dataDir, "waiting");
    size_t count = 0;
    create(path, &count);
    std::string error;
    {
        auto journal = smsc::campaign::CampaignJournal::Open(path, &error);
        smsc::campaign::CampaignSchedule paused;
        paused.scheduled = true;
        paused.state = smsc::campaign::ScheduleState::Paused;
        journal->setSchedule(paused, &error);
    }
    for (auto _ : state) {
        smsc::campaign::LockedJournal due;
        if (smsc::campaign::OpenDueCampaign(dataDir, "waiting", [] { return 0LL; }, &due,
                                            &error) != smsc::campaign::DueLook::NotDue)
            state.SkipWithError("the paused campaign was not left alone");
    }
    state.counters["numbers"] = static_cast<double>(count);
}
BENCHMARK(BM_DueLookAtAWaitingMillion)->Unit(benchmark::kMillisecond);

// The floor: the lines read, each line's digits taken as its number (a leading 86 of 13
// dropped), a number seen before dropped, the others joined 30000 to a row in order and
// inserted into one table in one transaction: the batches the start's journal holds.
size_t floorJournal(const std::string& source, const std::string& path) {
    const std::string text = readAll(source);
    std::unordered_set<std::uint64_t> seen;
    seen.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                 "CREATE TABLE batches(id INTEGER PRIMARY KEY, count INTEGER NOT NULL,"
                 " numbers BLOB NOT NULL); BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO batches(id, count, numbers) VALUES (?1, ?2, ?3)", -1,
                       &insert, nullptr);
    std::string joined;
    size_t total = 0;
    int inBatch = 0;
    long long id = 0;
    const auto flush = [&] {
        sqlite3_bind_int64(insert, 1, ++id);
        sqlite3_bind_int64(insert, 2, inBatch);
        sqlite3_bind_blob(insert, 3, joined.data(), static_cast<int>(joined.size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
        joined.clear();
        inBatch = 0;
    };
    char digits[32];
    size_t length = 0;
    for (size_t at = 0; at <= text.size(); ++at) {
        const char c = at < text.size() ? text[at] : '\n';
        if (c >= '0' && c <= '9') {
            if (length < sizeof digits)
                digits[length++] = c;
        } else if (c == '\n') {
            const size_t skip = length == 13 && digits[0] == '8' && digits[1] == '6' ? 2 : 0;
            if (length - skip == 11 &&
                seen.insert(std::stoull(std::string(digits + skip, 11))).second) {
                joined.append(digits + skip, 11);
                joined += '|';
                ++total;
                if (++inBatch == 30000)
                    flush();
            }
            length = 0;
        }
    }
    if (inBatch > 0)
        flush();
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return total;
}

// The floor journal's batches, in order.
std::vector<std::string> floorBatches(const std::string& path) {
    std::vector<std::string> batches;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "SELECT numbers FROM batches ORDER BY id", -1, &select, nullptr);
    while (sqlite3_step(select) == SQLITE_ROW)
        batches.emplace_back(static_cast<const char*>(sqlite3_column_blob(select, 0)),
                             static_cast<size_t>(sqlite3_column_bytes(select, 0)));
    sqlite3_finalize(select);
    sqlite3_close(db);
    return batches;
}

// Whether the start's journal holds the floor's batches.
bool sameBatches(const std::string& journalPath, const std::string& floorPath) {
    std::string error;
    const auto journal =
        smsc::campaign::CampaignJournal::Open(journalPath, &error,
                                              smsc::campaign::CampaignJournal::Access::Read);
    const std::vector<std::string> floor = floorBatches(floorPath);
    if (!journal || journal->batchCount() != static_cast<int>(floor.size()))
        return false;
    for (int batch = 1; batch <= journal->batchCount(); ++batch)
        if (journal->batchNumberString(batch, &error) != floor[static_cast<size_t>(batch - 1)])
            return false;
    return true;
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The start's reading, its repeats dropped and its new journal written, beside the floor;
// runs alternate so that a busy machine weighs on both alike.
void BM_StartOfAMillionOfficeList(benchmark::State& state) {
    const std::string source = officeList().path;
    const std::string journal = officeList().folder.file("start.sqlite");
    const std::string floor = officeList().folder.file("floor.sqlite");
    std::vector<double> starts;
    std::vector<double> floors;
    size_t count = 0;
    size_t floorCount = 0;
    for (auto _ : state) {
        std::remove(journal.c_str());
        std::remove(floor.c_str());
        auto start = std::chrono::steady_clock::now();
        floorCount = floorJournal(source, floor);
        floors.push_back(msSince(start));
        start = std::chrono::steady_clock::now();
        create(journal, &count, source);
        starts.push_back(msSince(start));
        state.SetIterationTime(starts.back() / 1000.0);
        if (floorCount != count) {
            state.SkipWithError("the floor's journal holds other numbers than the start's");
            break;
        }
    }
    if (floorCount == count && !sameBatches(journal, floor))
        state.SkipWithError("the floor's batches differ from the start's journal");
    state.counters["numbers"] = static_cast<double>(count);
    state.counters["floor_numbers"] = static_cast<double>(floorCount);
    state.counters["start_ms"] = median(starts);
    state.counters["floor_ms"] = median(floors);
    state.counters["ratio"] = median(starts) / std::max(median(floors), 1e-9);
}
BENCHMARK(BM_StartOfAMillionOfficeList)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

}  // namespace
