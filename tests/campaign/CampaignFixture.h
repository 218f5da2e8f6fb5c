#pragma once
// Campaigns against the demo service through a relay on 127.0.0.1 that can lose the
// answers of the send pages (the request reached the service, the client hears nothing),
// answer them with a balance, refuse them before they reach it, fail the record pages, show
// the send records on a clock hours off, or hold one send (before or after the service has
// it) until the test lets it go.

#include <condition_variable>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include <httplib.h>

#include "campaign/CampaignJournal.h"
#include "tests/support/RecordingServer.h"
#include "tests/tools/TestCliSupport.h"

namespace smsc::test {

class ServiceRelay final {
public:
    enum class Sends { Pass, LoseAnswer, Refuse, AnswerBalance, AnswerGarbage };

    explicit ServiceRelay(int targetPort) : m_port(targetPort) {
        m_server.setHandler([this](const RecordedRequest& request) { return relay(request); });
    }
    ~ServiceRelay() { release(); }

    std::string baseUrl() const { return m_server.baseUrl(); }
    void setSends(Sends mode) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sends = mode;
    }
    void setRecordsFail(bool fail) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_recordsFail = fail;
    }
    // Submission times in the send records shifted by this many seconds.
    void setRecordClock(long long shift) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_clockShift = shift;
    }
    // The nth send from now is passed on and its answer held until release(); or, on the
    // line, held before it reaches the service and passed on at release().
    void holdSend(int nth, bool onTheLine = false) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_holdAt = m_sendCount + nth;
        m_holdOnTheLine = onTheLine;
    }
    bool waitUntilHeld(std::chrono::seconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_holding; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    CannedResponse relay(const RecordedRequest& request) {
        const bool send =
            request.target == "/softweb/send1.asp" || request.target == "/softweb/mms_send.asp";
        const bool records = request.target == "/softweb/Consumerlog.asp" ||
                             request.target == "/softweb/numberlist.asp";
        Sends mode;
        bool hold = false;
        bool onTheLine = false;
        long long shift = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            mode = m_sends;
            shift = m_clockShift;
            onTheLine = m_holdOnTheLine;
            if (send)
                hold = ++m_sendCount == m_holdAt;
            if (records && m_recordsFail)
                return {500, "", {}};
        }
        if (send && mode == Sends::Refuse)
            return {500, "", {}};
        if (hold && onTheLine)
            waitForRelease();
        httplib::Client client("127.0.0.1", m_port);
        client.set_read_timeout(60, 0);
        auto answer = client.Post(request.target, request.body, request.header("Content-Type"));
        if (!answer)
            return {502, "", {}};
        if (hold) {
            if (!onTheLine)
                waitForRelease();
            return {500, "", {}};
        }
        if (send && mode == Sends::LoseAnswer)
            return {500, "", {}};
        CannedResponse response;
        response.status = answer->status;
        response.body = answer->body;
        if (send && mode == Sends::AnswerBalance)
            response.body = "3|9999";
        if (send && mode == Sends::AnswerGarbage)
            response.body = "<html><body>Service Unavailable</body></html>";
        if (request.target == "/softweb/Consumerlog.asp" && shift != 0)
            response.body = shiftTimes(response.body, shift);
        return response;
    }

    void waitForRelease() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_holding = true;
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::seconds(120), [this] { return m_released; });
    }

    // Each record's last field, "YYYY-MM-DD HH:MM:SS" local time, moved by shift seconds.
    static std::string shiftTimes(std::string body, long long shift) {
        for (size_t end = body.find("[$$]"); end != std::string::npos;
             end = body.find("[$$]", end + 4)) {
            std::tm tm{};
            if (end < 19 || !strptime(body.substr(end - 19, 19).c_str(), "%Y-%m-%d %H:%M:%S", &tm))
                continue;
            const size_t at = end - 19;
            tm.tm_isdst = -1;
            const std::time_t moved = std::mktime(&tm) + static_cast<std::time_t>(shift);
            localtime_r(&moved, &tm);
            char text[32];
            std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
            body.replace(at, 19, text);
        }
        return body;
    }

    int m_port;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Sends m_sends = Sends::Pass;
    bool m_recordsFail = false;
    long long m_clockShift = 0;
    bool m_holdOnTheLine = false;
    int m_sendCount = 0;
    int m_holdAt = 0;
    bool m_holding = false;
    bool m_released = false;
    RecordingServer m_server;  // last: stopped first, while the members above still live
};

// The demo service with a relay in front and a data folder for the journals.
class CampaignTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        ASSERT_EQ(admin({"set-quota", "demo", "1000000"}), 0);
        relay = std::make_unique<ServiceRelay>(m_service->port());
    }
    void TearDown() override { relay.reset(); }

    // smsclient-cli campaign ACTION NAME ... through the relay, as the demo account.
    CliRun campaign(const std::string& action, const std::string& name,
                    std::vector<std::string> args = {}) {
        std::vector<std::string> all{"campaign", action, name, "--data-dir", dataDir.path()};
        if (action == "start" || action == "resume")
            all.insert(all.end(), {"--password", "demo", "--base-url", relay->baseUrl()});
        if (action == "start")
            all.insert(all.end(), {"--user", "demo"});
        all.insert(all.end(), args.begin(), args.end());
        return cli(all, env);
    }
    // The journal as the command leaves it.
    std::unique_ptr<campaign::CampaignJournal> journal(const std::string& name) {
        std::string error;
        auto opened =
            campaign::CampaignJournal::Open(campaign::JournalPath(dataDir.path(), name), &error);
        EXPECT_TRUE(opened) << error;
        return opened;
    }
    // Requests per state, "pending" ... "skipped".
    std::vector<int> states(const std::string& name) {
        std::vector<int> counts(campaign::kStateCount, 0);
        if (auto j = journal(name))
            for (const auto& r : j->requests())
                ++counts[static_cast<size_t>(r.state)];
        return counts;
    }

    TempFolder dataDir;
    std::unique_ptr<ServiceRelay> relay;
    // Tests that wait for a request to settle shorten the read timeout it is counted from.
    cli::CliEnvironment env;
};

}  // namespace smsc::test
