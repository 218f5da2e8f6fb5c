// Big recipient lists on a shown page: appending an import's 30000 entries and showing the
// count, clearing them, deleting a 10000-entry selection.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "recipients/RecipientListModel.h"
#include "recipients/RecipientPanel.h"
#include "tests/support/ScriptedUi.h"

namespace {

std::vector<std::string> numbers(int count) {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        out.push_back(std::to_string(13800000000LL + 7LL * i));
    return out;
}

// A shown page holding one panel, laid out as on the main window.
struct ShownPanel {
    ShownPanel() : page(std::make_unique<QWidget>()) {
        page->resize(600, 420);
        panel = new smsc::RecipientPanel(smsc::PanelKind::Sms, page.get());
        page->setLayout(panel->createListLayout());
        page->show();
        QApplication::processEvents();
    }
    std::unique_ptr<QWidget> page;
    smsc::RecipientPanel* panel = nullptr;
};

void BM_AppendAndShowCount(benchmark::State& state) {
    ShownPanel shown;
    const std::vector<std::string> source = numbers(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        shown.panel->model()->clear();
        QApplication::processEvents();
        std::vector<std::string> batch = source;
        state.ResumeTiming();

        shown.panel->AddRecipients(std::move(batch));
        shown.panel->ShowRecipientCount(true);
        shown.panel->UpdateSendButton();
        QApplication::processEvents();  // the view lays the entries out and paints
    }
    state.counters["entries"] = static_cast<double>(shown.panel->RecipientCount());
    // Where the view put the last entry: columns to the right, so it was laid out.
    const auto* model = shown.panel->model();
    state.counters["lastX"] = shown.panel->List->visualRect(model->index(model->count() - 1)).x();
}
BENCHMARK(BM_AppendAndShowCount)->Arg(30000)->Unit(benchmark::kMillisecond);

// The same entries through AddRecipient one at a time, for comparison with the batch.
void BM_AppendOneByOne(benchmark::State& state) {
    ShownPanel shown;
    const std::vector<std::string> source = numbers(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        shown.panel->model()->clear();
        QApplication::processEvents();
        state.ResumeTiming();

        for (const std::string& entry : source)
            shown.panel->AddRecipient(entry);
        shown.panel->ShowRecipientCount(true);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_AppendOneByOne)->Arg(30000)->Unit(benchmark::kMillisecond);

void BM_ClearRecipients(benchmark::State& state) {
    smsc::test::ScriptedUi ui;  // answers "确定要全部清空么？" with OK
    ShownPanel shown;
    const std::vector<std::string> source = numbers(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        shown.panel->AddRecipients(source);
        QApplication::processEvents();
        state.ResumeTiming();

        shown.panel->ClearRecipients();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_ClearRecipients)->Arg(30000)->Unit(benchmark::kMillisecond);

// range(1) = 1: every third entry selected (10000 separate ranges); 0: one block.
void BM_DeleteSelection(benchmark::State& state) {
    smsc::test::ScriptedUi ui;
    ShownPanel shown;
    const std::vector<std::string> source = numbers(static_cast<int>(state.range(0)));
    const bool scattered = state.range(1) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        shown.panel->model()->clear();
        shown.panel->AddRecipients(source);
        QItemSelection selection;
        auto* model = shown.panel->model();
        if (scattered) {
            for (int row = 0; row < model->count(); row += 3)
                selection.select(model->index(row), model->index(row));
        } else {
            selection.select(model->index(5000), model->index(14999));
        }
        shown.panel->List->selectionModel()->select(selection, QItemSelectionModel::Select);
        QApplication::processEvents();
        state.ResumeTiming();

        shown.panel->DeleteSelectedRecipients();
        QApplication::processEvents();
    }
    state.counters["left"] = static_cast<double>(shown.panel->RecipientCount());
}
BENCHMARK(BM_DeleteSelection)->Args({30000, 1})->Args({30000, 0})->Unit(benchmark::kMillisecond);

}  // namespace
