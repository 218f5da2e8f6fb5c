// Bulk imports end to end, offscreen: from the chosen file to the list filled and the main
// window enabled again, through the worker pool and the batched hand-over. Also the
// spreadsheet readers alone. Sources of 30000 distinct mobile numbers; the "Office" ones are
// a name list (name, number, company) shaped as an office program saves it, the same data as
// .xlsx, .ods and .csv, so their times compare (the target: .xlsx within 3 × the .csv).
#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "recipients/ImportRun.h"
#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientListModel.h"
#include "recipients/RecipientPanel.h"
#include "recipients/SpreadsheetReader.h"
#include "tests/recipients/SpreadsheetFixtures.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"
#include "tests/support/TextEncodings.h"

namespace {

using namespace smsc;
using Item = RecipientCoordinator::AddItem;

constexpr int kNumbers = 30000;

long long numberAt(int i) {
    return 13800000000LL + 7LL * i;
}

test::TempFolder& folder() {
    static test::TempFolder instance;
    return instance;
}

// The source files, written once: as saved on Windows (CR LF) and on Linux (LF).
std::string writeTextFile(const std::string& name, const std::string& lineEnd) {
    std::string text;
    for (int i = 0; i < kNumbers; ++i)
        text += std::to_string(numberAt(i)) + (i + 1 < kNumbers ? lineEnd : "");
    folder().writeFile(name, text);
    return folder().file(name);
}
const std::string& textFile() {
    static const std::string path = writeTextFile("numbers.txt", "\r\n");
    return path;
}
const std::string& lfTextFile() {
    static const std::string path = writeTextFile("numbers-lf.txt", "\n");
    return path;
}
// As Excel saves a column as "Unicode 文本": UTF-16 behind its mark, a heading, CR LF.
const std::string& unicodeTextFile() {
    static const std::string path = [] {
        std::string text = "手机号码";
        for (int i = 0; i < kNumbers; ++i)
            text += "\r\n" + std::to_string(numberAt(i));
        folder().writeFile("numbers-unicode.txt", test::Utf16File(text));
        return folder().file("numbers-unicode.txt");
    }();
    return path;
}

test::FixtureSheet numberSheet() {
    test::FixtureSheet sheet;
    sheet.reserve(kNumbers);
    for (int i = 0; i < kNumbers; ++i)
        sheet.push_back(test::FixtureCell::num(static_cast<uint32_t>(i + 1), 1,
                                               static_cast<double>(numberAt(i))));
    return sheet;
}

const std::string& xlsxFile() {
    static const std::string path = [] {
        const std::string p = folder().file("numbers.xlsx");
        test::WriteXlsx(p, {numberSheet()});
        return p;
    }();
    return path;
}

const std::string& xlsFile() {
    static const std::string path = [] {
        const std::string p = folder().file("numbers.xls");
        test::WriteXls(p, {numberSheet()});
        return p;
    }();
    return path;
}

const std::vector<test::NameListRow>& officeList() {
    static const std::vector<test::NameListRow> list = test::OfficeNameList(kNumbers);
    return list;
}
const std::string& officeXlsx() {
    static const std::string path = [] {
        const std::string p = folder().file("names.xlsx");
        test::WriteOfficeXlsx(p, officeList());
        return p;
    }();
    return path;
}
const std::string& officeOds() {
    static const std::string path = [] {
        const std::string p = folder().file("names.ods");
        test::WriteOfficeOds(p, officeList());
        return p;
    }();
    return path;
}
const std::string& officeCsv() {
    static const std::string path = [] {
        folder().writeFile("names.csv", test::OfficeNameListCsv(officeList()));
        return folder().file("names.csv");
    }();
    return path;
}

// A main window stand-in with the SMS panel shown and the import items installed.
struct Window {
    Window() {
        host = std::make_unique<QWidget>();
        page = new QWidget(host.get());
        sms = new RecipientPanel(PanelKind::Sms, page);
        page->setLayout(sms->createListLayout());
        coordinator = new RecipientCoordinator(host.get());
        coordinator->setPanels(sms, nullptr);
        coordinator->setActivePanelSource([this] { return sms; });
        runner = InstallImportHooks(coordinator);
        host->resize(800, 600);
        host->show();
    }

    // One run to its end; returns the entries in the list.
    size_t import(Item item, const std::string& file) {
        sms->model()->clear();
        ui.chooseFileNext(QString::fromStdString(file));
        QEventLoop loop;
        QObject::connect(runner, &ImportRunner::runEnded, &loop, &QEventLoop::quit);
        coordinator->runAddItem(item);
        if (runner->running())
            loop.exec();
        return sms->entries().size();
    }

    test::ScriptedUi ui;
    std::unique_ptr<QWidget> host;
    QWidget* page = nullptr;
    RecipientPanel* sms = nullptr;
    RecipientCoordinator* coordinator = nullptr;
    ImportRunner* runner = nullptr;
};

void endToEnd(benchmark::State& state, Item item, const std::string& file) {
    Window window;
    for (auto _ : state) {
        const size_t added = window.import(item, file);
        if (added != kNumbers || !window.host->isEnabled()) {
            state.SkipWithError("the import did not fill the list");
            break;
        }
    }
}

void BM_TextFileImport(benchmark::State& state) {
    endToEnd(state, Item::TextFileImport, textFile());
}
void BM_TextFileImportLf(benchmark::State& state) {
    endToEnd(state, Item::TextFileImport, lfTextFile());
}
void BM_TextFileExtract(benchmark::State& state) {
    endToEnd(state, Item::TextFileExtract, textFile());
}
void BM_TextFileExtractUnicode(benchmark::State& state) {
    endToEnd(state, Item::TextFileExtract, unicodeTextFile());
}
void BM_ExcelExtractXlsx(benchmark::State& state) {
    endToEnd(state, Item::ExcelExtract, xlsxFile());
}
void BM_ExcelExtractXls(benchmark::State& state) {
    endToEnd(state, Item::ExcelExtract, xlsFile());
}
void BM_ExcelExtractOfficeXlsx(benchmark::State& state) {
    endToEnd(state, Item::ExcelExtract, officeXlsx());
}
void BM_ExcelExtractOfficeCsv(benchmark::State& state) {
    endToEnd(state, Item::ExcelExtract, officeCsv());
}
BENCHMARK(BM_TextFileImport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextFileImportLf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextFileExtract)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextFileExtractUnicode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExcelExtractXlsx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExcelExtractXls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExcelExtractOfficeXlsx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExcelExtractOfficeCsv)->Unit(benchmark::kMillisecond);

void readerOnly(benchmark::State& state, const std::string& file) {
    for (auto _ : state) {
        const auto numbers = ReadSpreadsheetNumbers(file);
        if (!numbers || numbers->size() != kNumbers) {
            state.SkipWithError("the reader did not find every number");
            break;
        }
    }
}
void BM_ReadXlsx(benchmark::State& state) {
    readerOnly(state, xlsxFile());
}
void BM_ReadXls(benchmark::State& state) {
    readerOnly(state, xlsFile());
}
void BM_ReadOfficeXlsx(benchmark::State& state) {
    readerOnly(state, officeXlsx());
}
void BM_ReadOfficeOds(benchmark::State& state) {
    readerOnly(state, officeOds());
}
void BM_ReadOfficeCsv(benchmark::State& state) {
    readerOnly(state, officeCsv());
}
BENCHMARK(BM_ReadXlsx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadOfficeXlsx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadOfficeOds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadOfficeCsv)->Unit(benchmark::kMillisecond);

}  // namespace
