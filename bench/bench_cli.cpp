// smsclient-cli end to end: a send of 30000 numbers from a file through the command-line
// logic, over loopback HTTP, to an in-process demo service that stores every number.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempDataDir.h"
#include "tools/cli/Cli.h"
#include "tools/demo-service/DemoService.h"

namespace {

struct Setup {
    smsc::test::TempFolder serviceData;
    smsc::test::TempFolder files;
    std::unique_ptr<smsc::demo::DemoService> service;
    std::string error;

    explicit Setup(int numbers) {
        smsc::demo::ServiceOptions options;
        options.dataDir = serviceData.path();
        service = std::make_unique<smsc::demo::DemoService>(options);
        if (!service->start(0, &error))
            return;
        service->store()->setQuota("demo", 4'000'000'000'000LL);
        std::string lines;
        for (int i = 0; i < numbers; ++i)
            lines += std::to_string(13900000000LL + i) + "\r\n";
        files.writeFile("numbers.txt", lines);
    }
};

void RunSend(benchmark::State& state, const std::string& text) {
    Setup setup(static_cast<int>(state.range(0)));
    if (!setup.error.empty()) {
        state.SkipWithError(setup.error.c_str());
        return;
    }
    const std::vector<std::string> args{"send",
                                        "--user",
                                        "demo",
                                        "--password",
                                        "demo",
                                        "--base-url",
                                        setup.service->baseUrl(),
                                        "--numbers-file",
                                        setup.files.file("numbers.txt"),
                                        "--text",
                                        text};
    smsc::cli::CliEnvironment env;
    for (auto _ : state) {
        std::ostringstream out, err;
        if (smsc::cli::RunCli(args, out, err, env) != 0) {
            state.SkipWithError(err.str().c_str());
            return;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_CliSendOneSms(benchmark::State& state) {
    RunSend(state, "会议改到下午三点开始，请准时参加。");
}
BENCHMARK(BM_CliSendOneSms)->Arg(30000)->Unit(benchmark::kMillisecond)->UseRealTime();

// 150 characters: three pieces, three requests of 30000 numbers each.
void BM_CliSendThreePieces(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 15; ++i)
        text += "会议改到下午三点开始";
    RunSend(state, text);
}
BENCHMARK(BM_CliSendThreePieces)->Arg(30000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
