// The phrase library: a category of 10000 phrases listed on the page, one change or
// deletion in it (read, change, atomic write), and a folder of 200 categories enumerated
// and shown.
#include <benchmark/benchmark.h>

#include <QTreeWidget>

#include <filesystem>
#include <string>

#include "phrases/PhraseList.h"
#include "phrases/PhraseStore.h"
#include "phrases/PhrasesPage.h"
#include "platform/DataDir.h"
#include "platform/Gbk.h"
#include "tests/support/TempDataDir.h"

namespace {

using smsc::test::TempDataDir;

// 10000 phrases of 20 to 60 characters, GBK, CR LF.
std::string BigCategory() {
    const std::string zi = smsc::G("祝您节日快乐");
    std::string file;
    for (int i = 0; i < 10000; ++i) {
        file += std::to_string(i) + " ";
        for (int k = 0; k < 3 + i % 8; ++k)
            file += zi;
        file += "\r\n";
    }
    return file;
}

void BM_ListCategoryOf10000(benchmark::State& state) {
    TempDataDir data(false);
    std::filesystem::create_directory(data.file("phrase"));
    data.writeFile("phrase/big.txt", BigCategory());
    smsc::PhrasesPage page;
    page.TabSheetShow();
    QTreeWidgetItem* item = page.TreeView2->topLevelItem(0);
    for (auto _ : state) {
        item->setSelected(false);
        item->setSelected(true);  // picking the category reads and lists it
        benchmark::DoNotOptimize(page.ListView5->count());
    }
    if (page.ListView5->count() != 10000)
        state.SkipWithError("not listed");
}
BENCHMARK(BM_ListCategoryOf10000)->Unit(benchmark::kMillisecond);

void BM_ChangeOneOf10000(benchmark::State& state) {
    smsc::test::TempFolder folder;
    const std::string path = folder.file("big.txt");
    folder.writeFile("big.txt", BigCategory());
    const std::string before = "5000 " + smsc::G("祝您节日快乐祝您节日快乐祝您节日快乐");
    const std::string after = smsc::G("会议改期，另行通知");
    bool flip = false;
    for (auto _ : state) {
        const bool ok = flip ? smsc::ChangePhrase(path, 5000, after, before)
                             : smsc::ChangePhrase(path, 5000, before, after);
        if (!ok)
            state.SkipWithError("change failed");
        flip = !flip;
    }
}
BENCHMARK(BM_ChangeOneOf10000)->Unit(benchmark::kMillisecond);

void BM_DeleteOneOf10000(benchmark::State& state) {
    smsc::test::TempFolder folder;
    const std::string path = folder.file("big.txt");
    const std::string file = BigCategory();
    const std::string phrase = "5000 " + smsc::G("祝您节日快乐祝您节日快乐祝您节日快乐");
    for (auto _ : state) {
        state.PauseTiming();
        folder.writeFile("big.txt", file);
        state.ResumeTiming();
        if (!smsc::DeletePhrase(path, 5000, phrase))
            state.SkipWithError("delete failed");
    }
}
BENCHMARK(BM_DeleteOneOf10000)->Unit(benchmark::kMillisecond);

void BM_ShowFolderOf200(benchmark::State& state) {
    TempDataDir data(false);
    std::filesystem::create_directory(data.file("phrase"));
    for (int i = 0; i < 200; ++i)
        data.writeFile("phrase/" + std::string(i % 2 ? "类" : "Cat") + std::to_string(i) + ".txt",
                       smsc::G("一句短语\r\n另一句\r\n"));
    smsc::PhrasesPage page;
    for (auto _ : state) {
        page.TabSheetShow();
        benchmark::DoNotOptimize(page.TreeView2->topLevelItemCount());
    }
    if (page.TreeView2->topLevelItemCount() != 200)
        state.SkipWithError("not all listed");
}
BENCHMARK(BM_ShowFolderOf200)->Unit(benchmark::kMillisecond);

}  // namespace
