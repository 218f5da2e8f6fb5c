#pragma once
// Campaigns against the demo service through a relay on 127.0.0.1 that can lose the
// answers of the send pages (the request reached the service, the client hears nothing),
// refuse them before they reach it, fail the record pages, or hold one answer back until
// the test lets it go.

#include <condition_variable>
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
    enum class Sends { Pass, LoseAnswer, Refuse };

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
    // The nth send from now is passed on and its answer held until release().
    void holdSend(int nth) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_holdAt = m_sendCount + nth;
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
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            mode = m_sends;
            if (send)
                hold = ++m_sendCount == m_holdAt;
            if (records && m_recordsFail)
                return {500, "", {}};
        }
        if (send && mode == Sends::Refuse)
            return {500, "", {}};
        httplib::Client client("127.0.0.1", m_port);
        client.set_read_timeout(60, 0);
        auto answer = client.Post(request.target, request.body, request.header("Content-Type"));
        if (!answer)
            return {502, "", {}};
        if (hold) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_holding = true;
            m_changed.notify_all();
            m_changed.wait_for(lock, std::chrono::seconds(120), [this] { return m_released; });
            return {500, "", {}};
        }
        if (send && mode == Sends::LoseAnswer)
            return {500, "", {}};
        CannedResponse response;
        response.status = answer->status;
        response.body = answer->body;
        return response;
    }

    int m_port;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Sends m_sends = Sends::Pass;
    bool m_recordsFail = false;
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
        return cli(all);
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
};

}  // namespace smsc::test
