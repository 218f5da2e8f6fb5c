// The MMS tick while the window waits: the file read once, the number string of a full list
// and the request body, then the whole tick of the page against a loopback service.
#include <benchmark/benchmark.h>

#include <QPlainTextEdit>
#include <QPushButton>

#include <memory>
#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "recipients/RecipientPanel.h"
#include "sending/MmsPage.h"
#include "sending/MmsSend.h"
#include "sending/SmsSend.h"
#include "sending/TForm15.h"
#include "service/Credentials.h"
#include "service/ServiceClient.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

namespace {

std::vector<std::string> numbers(int count) {
    std::vector<std::string> entries;
    for (int i = 0; i < count; ++i)
        entries.push_back(std::to_string(13800000000LL + i));
    return entries;
}

void BM_MmsRequestWithoutNetwork(benchmark::State& state) {
    smsc::test::TempFolder folder;
    folder.writeFile("card.emm", std::string(smsc::kMaxMmsFileBytes, 'E'));
    const std::vector<std::string> entries = numbers(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const smsc::MmsFileBytes file = smsc::ReadMmsFile(folder.file("card.emm"));
        const std::string body = smsc::BuildMultipartBody(
            "--------120824163012345",
            {{"username", "demo"},
             {"password", "demo"},
             {"mms_num", smsc::BuildNumberString(entries, false, {})},
             {"mmstitle", smsc::G("新年快乐")}},
            smsc::MultipartFile{"mmsfile", folder.file("card.emm"), "application/octet-stream"},
            file.bytes);
        benchmark::DoNotOptimize(body.data());
    }
}
BENCHMARK(BM_MmsRequestWithoutNetwork)->Arg(30000)->Unit(benchmark::kMicrosecond);

class FixedCredentials final : public smsc::CredentialsSource {
public:
    smsc::Credentials credentials;
    smsc::Credentials currentCredentials() const override { return credentials; }
};

// The window is frozen for the length of this tick.
void BM_MmsPageTick(benchmark::State& state) {
    smsc::test::RecordingServer server;
    server.setBody("/softweb/mms_send.asp", "7|880");
    smsc::test::ScriptedUi ui;
    smsc::test::TempFolder folder;
    folder.writeFile("card.emm", std::string(smsc::kMaxMmsFileBytes, 'E'));
    FixedCredentials source;
    source.credentials.userName = "demo";
    source.credentials.password = "demo";
    source.credentials.context.endpoints.telecomUrl = server.baseUrl();
    source.credentials.context.lineIndex = 0;

    QWidget host;
    auto* page = new smsc::MmsPage(&host);
    smsc::TForm15 progress;
    page->setCredentialsSource(&source);
    page->setProgressWindow(&progress);
    page->panel()->AddRecipients(numbers(static_cast<int>(state.range(0))));
    page->setTitleText(smsc::G("新年快乐"));
    ui.chooseFileNext(QString::fromStdString(folder.file("card.emm")));
    page->BrowseClick();
    for (auto _ : state) {
        page->MmsTimerTick();
        state.PauseTiming();
        server.clearRequests();
        ui.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MmsPageTick)->Arg(30000)->Unit(benchmark::kMillisecond);

}  // namespace
