#pragma once
// A demo service on an ephemeral loopback port with its own data folder, and requests built
// the way the client builds them (raw form bodies, multipart parts with raw GBK values).

#include "platform/Gbk.h"
#include "tests/support/TempDataDir.h"
#include "tools/demo-service/DemoCommandLine.h"
#include "tools/demo-service/DemoService.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace smsc::test {

struct Reply {
    int status = 0;  // 0: no answer at all
    std::string body;
};

struct FilePart {
    std::string path;  // the full path as the client sends it
    std::string bytes;
};

// Multipart body laid out as the client writes it; the boundary has the client's form.
inline std::string ClientMultipart(const std::vector<std::pair<std::string, std::string>>& fields,
                                   const std::optional<FilePart>& file,
                                   const std::string& boundary) {
    std::string body;
    for (const auto& [name, value] : fields)
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
                "\"\r\n\r\n" + value + "\r\n";
    if (file)
        body += "--" + boundary +
                "\r\nContent-Disposition: form-data; name=\"mmsfile\"; filename=\"" + file->path +
                "\"\r\nContent-Type: application/octet-stream\r\n"
                "Content-Transfer-Encoding: binary\r\n\r\n" +
                file->bytes + "\r\n";
    return body + "--" + boundary + "--\r\n";
}

class DemoServiceTest : public ::testing::Test {
protected:
    static constexpr const char* kBoundary = "--------120824163012345";

    void SetUp() override { startService(); }

    void startService(demo::ServiceOptions options = {}) {
        m_service.reset();
        options.dataDir = m_folder.path();
        m_service = std::make_unique<demo::DemoService>(std::move(options));
        std::string error;
        ASSERT_TRUE(m_service->start(0, &error)) << error;
        m_client = std::make_unique<httplib::Client>("127.0.0.1", m_service->port());
        m_client->set_read_timeout(15, 0);
    }

    Reply form(const std::string& page, const std::string& body) {
        auto r =
            m_client->Post(("/softweb/" + page).c_str(), body, "application/x-www-form-urlencoded");
        return r ? Reply{r->status, r->body} : Reply{};
    }
    Reply multipart(const std::string& page,
                    const std::vector<std::pair<std::string, std::string>>& fields,
                    const std::optional<FilePart>& file = std::nullopt) {
        auto r =
            m_client->Post(("/softweb/" + page).c_str(), ClientMultipart(fields, file, kBoundary),
                           (std::string("multipart/form-data; boundary=") + kBoundary).c_str());
        return r ? Reply{r->status, r->body} : Reply{};
    }
    Reply get(const std::string& path) {
        auto r = m_client->Get(path.c_str());
        return r ? Reply{r->status, r->body} : Reply{};
    }

    std::string login(const std::string& user = "demo", const std::string& password = "demo") {
        return form("login.asp", "username=" + user + "&password=" + password).body;
    }
    std::string sendSms(const std::string& numbers, const std::string& text,
                        const std::string& user = "demo", const std::string& password = "demo") {
        return multipart("send1.asp", {{"username", user},
                                       {"password", password},
                                       {"smsnumber", numbers},
                                       {"smscontent", text}})
            .body;
    }
    std::string sendMms(const std::string& numbers, const std::string& title,
                        const std::optional<FilePart>& file, const std::string& user = "demo") {
        return multipart("mms_send.asp",
                         {{"username", user},
                          {"password", "demo"},
                          {"mms_num", numbers},
                          {"mmstitle", title}},
                         file)
            .body;
    }

    // The admin command on this service's data folder; arguments in UTF-8.
    int admin(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", m_folder.path()});
        std::ostringstream out, err;
        return demo::RunAdminCommand(args, out, err);
    }

    // n distinct numbers, each followed by "|".
    static std::string Numbers(int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += std::to_string(13900000000LL + i) + "|";
        return s;
    }

    TempFolder m_folder;
    std::unique_ptr<demo::DemoService> m_service;
    std::unique_ptr<httplib::Client> m_client;
};

}  // namespace smsc::test
