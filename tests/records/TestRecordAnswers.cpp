// The record answers without windows: answers made to inflate (a small gzip decodes to tens
// of megabytes of separators) are parsed within a small multiple of their size and cut at
// what the service can list; the name an MMS download is saved under.
#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include "platform/Gbk.h"
#include "records/RecordAnswers.h"

using namespace smsc;

// Every allocation of this program is counted, so that a test can read the peak of the
// bytes held while it runs.
namespace {
std::atomic<size_t> g_held{0};
std::atomic<size_t> g_peak{0};

void* Counted(size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    const size_t now = g_held += malloc_usable_size(p);
    size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
    return p;
}

void Uncounted(void* p) {
    if (p) {
        g_held -= malloc_usable_size(p);
        std::free(p);
    }
}

// The most the call held beyond what was held before it.
size_t PeakBytesOf(const std::function<void()>& call) {
    const size_t before = g_held.load();
    g_peak = before;
    call();
    return g_peak.load() - before;
}
}  // namespace

void* operator new(size_t size) {
    return Counted(size);
}
void* operator new[](size_t size) {
    return Counted(size);
}
void operator delete(void* p) noexcept {
    Uncounted(p);
}
void operator delete[](void* p) noexcept {
    Uncounted(p);
}
void operator delete(void* p, size_t) noexcept {
    Uncounted(p);
}
void operator delete[](void* p, size_t) noexcept {
    Uncounted(p);
}

namespace {

std::string Repeated(const std::string& head, const std::string& piece, size_t times) {
    std::string s = head;
    s.reserve(head.size() + piece.size() * times);
    for (size_t i = 0; i < times; ++i)
        s += piece;
    return s;
}

TEST(RecordAnswers, InflatedAnswersStayWithinASmallMultipleOfTheirSize) {
    struct Case {
        const char* what;
        std::string answer;
        // Parses and returns (pieces listed, whether the answer was cut).
        std::function<std::pair<size_t, bool>(const std::string&)> parse;
        size_t listed;
        bool cut = true;
    };
    auto numbers = [](const std::string& a) {
        const NumberListAnswer r = ParseNumberListAnswer(a);
        return std::make_pair(r.numbers.size(), r.overLimit);
    };
    auto received = [](const std::string& a) {
        const ReceivedAnswer r = ParseReceivedAnswer(a);
        return std::make_pair(r.records.size(), r.overLimit);
    };
    auto sent = [](const std::string& a) {
        const SendRecordsAnswer r = ParseSendRecordsAnswer(a);
        return std::make_pair(r.records.size(), r.overLimit);
    };
    const size_t many = 2'000'000;
    const Case cases[] = {
        {"numbers: only separators", Repeated("4", "|", many), numbers, kMaxListedNumbers},
        {"numbers: real ones", Repeated("4|", "13900000000|", many / 6), numbers,
         kMaxListedNumbers},
        {"numbers: exactly the most", Repeated("4|", "13900000000|", kMaxListedNumbers), numbers,
         kMaxListedNumbers, false},
        {"received: only separators", Repeated("4|", "[$$]", many), received, kMaxReceivedRecords},
        {"received: records", Repeated("4|", "13912345678*2024-01-05 16:29^ok[$$]", many / 16),
         received, kMaxReceivedRecords},
        // The first record, without seven fields, ends the listing.
        {"send records: only separators", Repeated("4|", "[$$]", many), sent, 1, false},
        {"send records: field separators", Repeated("4|", "[**][**][**][**][**][**][$$]", many / 8),
         sent, kMaxSendRecords},
        {"send records: exactly the most",
         Repeated("4|", "1[**]2[**]t[**]s[**]y[**]f[**]d[$$]", kMaxSendRecords), sent,
         kMaxSendRecords, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::pair<size_t, bool> result;
        const size_t peak = PeakBytesOf([&] { result = c.parse(c.answer); });
        EXPECT_EQ(result.first, c.listed);
        EXPECT_EQ(result.second, c.cut);
        EXPECT_LE(peak, 2 * c.answer.size() + (4u << 20)) << "answer " << c.answer.size();
    }
    EXPECT_EQ(RecordOverLimitMessage(kMaxSendRecords),
              G("服务器返回的记录超过500条，只列出前500条"));
    EXPECT_EQ(NumbersOverLimitMessage(), G("服务器返回的号码超过30000个，只列出前30000个"));
}

TEST(RecordAnswers, TheSavedNameIsTheLastPartOfTheServiceName) {
    const std::string lead = G("淺琝");  // both end in the byte of "\"
    struct Case {
        std::string service;
        std::string saved;
    } cases[] = {
        {"pic.gif", "pic.gif"},
        {"../up/pic.gif", "pic.gif"},
        {"a\\b\\pic.gif", "pic.gif"},
        {lead + ".emm", lead + ".emm"},
        {"x/" + lead + ".emm", lead + ".emm"},
        {"x\\" + lead, lead},
        {"..", ""},
        {"up/", ""},
        {std::string("a\0b", 3), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MmsSaveName(c.service), c.saved) << c.service;
}

}  // namespace
