#include "recipients/ImportRun.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMetaObject>
#include <QProgressBar>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <mutex>

#include "platform/FileDialogs.h"
#include "platform/QtText.h"
#include "platform/Sync.h"
#include "platform/UiSeam.h"
#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientPanel.h"
#include "recipients/uThreadPool/uThreadPool.h"

namespace smsc {
namespace {

using Item = RecipientCoordinator::AddItem;

QString failureText(ImportFailure failure) {
    switch (failure) {
        case ImportFailure::TextFileUnreadable:
            return QStringLiteral("读取文件失败，请检查文件是否存在或被其他程序使用");
        case ImportFailure::SpreadsheetUnreadable:
            return QStringLiteral("无法读取该电子表格文件，请确认文件格式");
    }
    return {};
}

std::string readSystemClipboard() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? GbkFromQString(clipboard->text()) : std::string();
}

}  // namespace

QString ImportFileFilter(ImportKind kind) {
    switch (kind) {
        case ImportKind::TextFileImport:
        case ImportKind::TextFileExtract:
            return QStringLiteral("文本文件(*.txt)");
        case ImportKind::ExcelExtract:
            return QStringLiteral(
                "Excel文件(*.xls *.xlsx *.ods);;文本文件(*.xls);;OpenDocument表格(*.ods);;"
                "CSV文件(*.csv);;所有文件(*.* *)");
        case ImportKind::ClipboardExtract:
            break;
    }
    return {};
}

// One import run: its panel, its lock and its pool. Created and destroyed on the GUI thread.
struct ImportRunner::Run {
    uint64_t id = 0;
    ImportKind kind = ImportKind::TextFileImport;
    RecipientPanel* panel = nullptr;
    // Set on the GUI thread when the refusal or a failure step has ended the run: the
    // completion step is skipped.
    bool ended = false;
    std::optional<VerificationCopy> verification;
    std::optional<ImportTally> tally;  // what the worker reported once it had added
    // Created before the pool and destroyed after it.
    std::unique_ptr<CriticalSection> lock;
    std::unique_ptr<TThreadsPool> pool;

    ~Run() {
        pool.reset();
        lock.reset();
    }
};

// The worker's side: every event becomes one queued call on the runner, so the GUI thread
// applies them in the order they were produced.
class ImportRunner::PostingEvents final : public ImportEvents {
public:
    PostingEvents(ImportRunner* runner, uint64_t runId) : m_runner(runner), m_runId(runId) {}

    void status(const std::string& text) override {
        post([runner = m_runner, id = m_runId, text] { runner->applyStatus(id, text); });
    }
    void refuseOverCap(SourceRead read) override {
        auto shared = std::make_shared<SourceRead>(std::move(read));
        post([runner = m_runner, id = m_runId, shared] { runner->applyRefusal(id, *shared); });
    }
    void tally(const ImportTally& tally) override {
        post([runner = m_runner, id = m_runId, tally] { runner->applyTally(id, tally); });
    }
    void failed(ImportFailure failure) override {
        post([runner = m_runner, id = m_runId, failure] { runner->applyFailure(id, failure); });
    }
    void beginAdding(long long progressMaximum) override {
        post([runner = m_runner, id = m_runId, progressMaximum] {
            runner->applyBeginAdding(id, progressMaximum);
        });
    }
    void addBatch(ImportBatch batch) override {
        auto shared = std::make_shared<ImportBatch>(std::move(batch));
        post([runner = m_runner, id = m_runId, shared] { runner->applyBatch(id, *shared); });
    }

private:
    template <class F>
    void post(F&& step) {
        QMetaObject::invokeMethod(m_runner, std::forward<F>(step), Qt::QueuedConnection);
    }

    ImportRunner* m_runner;
    uint64_t m_runId;
};

ImportRunner::ImportRunner(RecipientCoordinator* coordinator)
    : QObject(coordinator), m_coordinator(coordinator), m_clipboardReader(readSystemClipboard) {
    setObjectName(QStringLiteral("ImportRunner"));
}

ImportRunner::~ImportRunner() {
    // The worker may still post to this object while the pool waits for it; those calls
    // are dropped with the object.
    m_run.reset();
}

void ImportRunner::installHooks() {
    const std::pair<Item, ImportKind> items[] = {
        {Item::TextFileImport, ImportKind::TextFileImport},
        {Item::ExcelExtract, ImportKind::ExcelExtract},
        {Item::TextFileExtract, ImportKind::TextFileExtract},
        {Item::ClipboardExtract, ImportKind::ClipboardExtract},
    };
    for (const auto& [item, kind] : items) {
        m_coordinator->setAddHook(
            item, [this, kind = kind](RecipientPanel* panel) { start(kind, panel); });
    }
}

void ImportRunner::setClipboardReader(std::function<std::string()> reader) {
    m_clipboardReader = reader ? std::move(reader) : readSystemClipboard;
}

void ImportRunner::start(ImportKind kind, RecipientPanel* panel) {
    if (!panel || m_run)
        return;
    QWidget* window = m_coordinator->mainWindow();

    // The interval is read now, while the window is still the user's; the run keeps it.
    // runAddItem has already refused an interval that is no whole number.
    VerificationCopy copy;
    const VerificationState verification = panel->readVerification(&copy);
    if (verification == VerificationState::BadInterval)
        return;

    std::string payload;
    if (kind == ImportKind::ClipboardExtract) {
        payload = m_clipboardReader();
    } else {
        const QString name = ChooseFileToOpen(
            window,
            kind == ImportKind::ExcelExtract ? folder_kind::kExcelImport : folder_kind::kTextImport,
            QStringLiteral("打开"), ImportFileFilter(kind));
        if (name.isEmpty())
            return;
        payload = QFile::encodeName(name).toStdString();
    }

    auto run = std::make_unique<Run>();
    run->id = m_nextRunId++;
    run->kind = kind;
    run->panel = panel;
    if (verification == VerificationState::On)
        run->verification = copy;
    run->lock = std::make_unique<CriticalSection>();
    run->pool = std::make_unique<TThreadsPool>(window);
    TThreadsPool& pool = *run->pool;
    pool.SetThreadsMax(5);
    pool.SetThreadsMin(1);

    const uint64_t runId = run->id;
    CriticalSection* lock = run->lock.get();
    const std::optional<VerificationCopy> verificationCopy =
        verification == VerificationState::On ? std::optional(copy) : std::nullopt;
    const size_t batchSize = m_batchSize;
    pool.OnProcessRequest = [this, runId, kind, lock, verificationCopy, batchSize](
                                TThreadsPool&, TWorkItem& item, TProcessorThread&) {
        // The file and spreadsheet workers hold the run's lock from first to last step.
        std::unique_lock<CriticalSection> hold(*lock, std::defer_lock);
        if (kind != ImportKind::ClipboardExtract)
            hold.lock();
        PostingEvents events(this, runId);
        RunImport({kind, item.Payload, verificationCopy}, events, batchSize);
    };
    pool.OnQueueEmpty = [this, runId](TThreadsPool&, TEmptyKind emptyKind) {
        if (emptyKind != ekProcessingFinished)
            return;
        QMetaObject::invokeMethod(
            this, [this, runId] { applyFinished(runId); }, Qt::QueuedConnection);
    };

    if (m_poolSetup)
        m_poolSetup(pool);

    auto item = std::make_unique<TWorkItem>(std::move(payload));
    m_run = std::move(run);
    if (!pool.AddRequest(item, true)) {
        m_run.reset();
        return;
    }
    // The pool queues the item even when it could not create its worker (logged only); with
    // no thread nothing would ever end the run, so it is dropped before the window is disabled.
    if (pool.ThreadCount() == 0) {
        m_run.reset();
        ShowMessage(panel->page(), QStringLiteral("无法启动导入，请稍后重试"),
                    QStringLiteral("提醒"));
        return;
    }
    m_coordinator->BeginImport(panel);
}

ImportRunner::Run* ImportRunner::currentRun(uint64_t runId) const {
    return m_run && m_run->id == runId ? m_run.get() : nullptr;
}

void ImportRunner::applyStatus(uint64_t runId, const std::string& text) {
    if (Run* run = currentRun(runId))
        run->panel->SetRecipientStatus(QStringFromGbk(text));
}

void ImportRunner::applyRefusal(uint64_t runId, SourceRead& read) {
    Run* run = currentRun(runId);
    if (!run)
        return;
    run->ended = true;
    // The question may run a nested event loop that ends the run meanwhile: nothing of the
    // run is touched after it.
    RecipientPanel* panel = run->panel;
    const ImportKind kind = run->kind;
    const std::optional<VerificationCopy> verification = run->verification;
    const long long fit = CandidatesUnderCap(verification);
    const long long found =
        std::max<long long>(read.numbersInSource, static_cast<long long>(read.candidates.size()));
    if (!m_coordinator->OfferFirstUnderCap(panel, kind == ImportKind::ClipboardExtract, found,
                                           fit)) {
        m_coordinator->RefuseOverCap(panel);
        return;
    }
    read.candidates.resize(static_cast<size_t>(fit));
    ImportTally tally = std::move(read.tally);
    AddPlan plan = BuildAddPlan(kind, std::move(read.candidates), verification);
    tally.added = plan.candidatesAdded;
    panel->AddRecipients(std::move(plan.entries));
    m_coordinator->FinishImport(panel, tally);
}

void ImportRunner::applyTally(uint64_t runId, const ImportTally& tally) {
    if (Run* run = currentRun(runId))
        run->tally = tally;
}

void ImportRunner::applyFailure(uint64_t runId, ImportFailure failure) {
    Run* run = currentRun(runId);
    if (!run)
        return;
    run->ended = true;
    RecipientPanel* panel = run->panel;
    m_coordinator->stopActivityTimer();
    panel->Progress->setVisible(false);
    m_coordinator->mainWindow()->setEnabled(true);
    const QString text = failureText(failure);
    panel->SetRecipientStatus(text);
    ShowMessage(panel->page(), text, QStringLiteral("提醒"));
}

void ImportRunner::applyBeginAdding(uint64_t runId, long long progressMaximum) {
    Run* run = currentRun(runId);
    if (!run)
        return;
    m_coordinator->stopActivityTimer();
    QProgressBar* bar = run->panel->Progress;
    bar->setMaximum(static_cast<int>(std::clamp<long long>(progressMaximum, 0, INT32_MAX)));
    bar->setValue(0);
}

void ImportRunner::applyBatch(uint64_t runId, ImportBatch& batch) {
    Run* run = currentRun(runId);
    if (!run)
        return;
    if (!batch.entries.empty())
        run->panel->AddRecipients(std::move(batch.entries));
    if (batch.progressSteps > 0)
        run->panel->StepProgress(batch.progressSteps);
}

void ImportRunner::applyFinished(uint64_t runId) {
    Run* run = currentRun(runId);
    if (!run)
        return;
    if (!run->ended) {
        // Also after a clipboard run that failed before adding, which left the timer on.
        m_coordinator->stopActivityTimer();
        RecipientPanel* panel = run->panel;
        const std::optional<ImportTally> tally = std::move(run->tally);
        // The worker has returned: the pool can go, then the lock, before a message about
        // what was left out waits for the user.
        m_run.reset();
        emit runEnded();
        if (tally)
            m_coordinator->FinishImport(panel, *tally);
        else
            m_coordinator->FinishImport(panel);
        return;
    }
    // The worker has returned: the pool can go, then the lock.
    m_run.reset();
    emit runEnded();
}

ImportRunner* InstallImportHooks(RecipientCoordinator* coordinator) {
    auto* runner = new ImportRunner(coordinator);
    runner->installHooks();
    return runner;
}

}  // namespace smsc
