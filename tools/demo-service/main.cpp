// smsclient-demo-service: the local stand-in for the bulk-messaging web service.
#include "platform/Gbk.h"
#include "tools/demo-service/DemoCommandLine.h"
#include "tools/demo-service/DemoService.h"

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <langinfo.h>
#include <pthread.h>

namespace fs = std::filesystem;
using namespace smsc::demo;

namespace {

constexpr size_t kMaxNoticeBytes = 1024 * 1024;

// A fresh folder under the system's temporary folder; empty on failure.
std::string MakeTempFolder() {
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "smsclient-demo-XXXXXX").string();
    if (ec || !mkdtemp(pattern.data()))
        return {};
    return pattern;
}

// The date order of the host's date format. The client runs on this machine, and its short
// date format follows the same locale settings (LC_TIME).
DateOrder HostDateOrder() {
    const char* current = std::setlocale(LC_TIME, nullptr);
    const std::string previous = current ? current : "C";
    std::setlocale(LC_TIME, "");
    std::optional<DateOrder> order = DateOrderFromFormat(nl_langinfo(D_FMT));
    std::setlocale(LC_TIME, previous.c_str());
    return order.value_or(kFallbackDateOrder);
}

int Serve(const CommandLine& cl) {
    ServiceOptions options;
    options.forbiddenWords = ParseForbiddenWords(cl.forbiddenWords);
    options.dateOrder = cl.dateOrder ? *cl.dateOrder : HostDateOrder();
    if (!cl.noticeFile.empty()) {
        std::string error;
        auto notice = ReadNoticeFile(cl.noticeFile, kMaxNoticeBytes, &error);
        if (!notice) {
            std::cerr << "smsclient-demo-service: " << error << "\n";
            return 1;
        }
        for (const std::string& warning : NoticeFileWarnings(*notice))
            std::cerr << "smsclient-demo-service: warning: " << warning << " (" << cl.noticeFile
                      << ")\n";
        options.notice = *notice;
    }

    std::string tempFolder;
    if (cl.dataDir.empty()) {
        tempFolder = MakeTempFolder();
        if (tempFolder.empty()) {
            std::cerr << "cannot create a temporary data folder\n";
            return 1;
        }
        options.dataDir = tempFolder;
    } else {
        std::error_code ec;
        fs::create_directories(cl.dataDir, ec);
        options.dataDir = cl.dataDir;
    }
    auto removeTemp = [&tempFolder] {
        std::error_code ec;
        if (!tempFolder.empty())
            fs::remove_all(tempFolder, ec);
    };

    // Signals are taken by sigtimedwait below; the server threads inherit the blocked mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    int exitCode = 0;
    {
        DemoService service(options);
        std::string error;
        if (!service.start(cl.port, &error)) {
            std::cerr << "smsclient-demo-service: " << error << "\n";
            removeTemp();
            return 1;
        }
        std::cout << service.port() << std::endl;
        std::cout << "smsclient-demo-service: " << service.baseUrl() << " (data folder "
                  << options.dataDir << (tempFolder.empty() ? ")" : ", removed at exit)")
                  << std::endl;
        std::cout << "smsclient-demo-service: all-number dates read as "
                  << DateOrderName(options.dateOrder)
                  << (cl.dateOrder ? " (--date-order)" : " (the host's date format)") << std::endl;
        while (true) {
            timespec wait{0, 200 * 1000 * 1000};
            if (sigtimedwait(&signals, nullptr, &wait) > 0)
                break;
            if (!service.running()) {
                std::cerr << "smsclient-demo-service: the server stopped unexpectedly\n";
                exitCode = 1;
                break;
            }
        }
        service.stop();
    }
    removeTemp();
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "admin")
        return RunAdminCommand({args.begin() + 1, args.end()}, std::cout, std::cerr);
    std::string error;
    auto cl = ParseCommandLine(args, &error);
    if (!cl) {
        std::cerr << "smsclient-demo-service: " << error << "\n(see --help)\n";
        return 2;
    }
    if (cl->help) {
        std::cout << HelpText();
        return 0;
    }
    return Serve(*cl);
}
