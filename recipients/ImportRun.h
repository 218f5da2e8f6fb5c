#pragma once
// The four bulk-import items of the add menu ("从文本文件导入", "从EXCEL文件提取",
// "从文本文件提取", "从剪切板提取") as runs on the worker pool. Each run gets a fresh
// TThreadsPool (ThreadsMin 1, ThreadsMax 5) with one work item, and its own import lock;
// the worker reads the source (ImportSources.h) and posts every status text, the cap
// refusal or failure, and the entries in batches to the GUI thread, in order. The pool is
// destroyed on the GUI thread once its worker has returned.

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "recipients/ImportSources.h"

namespace smsc {

class RecipientCoordinator;
class RecipientPanel;
class TThreadsPool;

// The file chooser's filter of a file kind (Qt's "Name (*.ext);;..." form); empty for the
// clipboard.
QString ImportFileFilter(ImportKind kind);

class ImportRunner final : public QObject {
    Q_OBJECT
public:
    explicit ImportRunner(RecipientCoordinator* coordinator);
    // A run still going has its pool destroyed here, which waits for the worker.
    ~ImportRunner() override;

    // Installs the four import items as the coordinator's add hooks.
    void installHooks();

    // Starts a run on the panel; runAddItem has checked the verification number and interval.
    // File kinds ask for the file first (cancelled: nothing starts); the clipboard kind reads
    // the clipboard. When the pool gets no worker thread the run is dropped with a message
    // and the window stays enabled.
    void start(ImportKind kind, RecipientPanel* panel);
    bool running() const { return m_run != nullptr; }

    // How the clipboard text is read at the click (GBK); the system clipboard by default.
    void setClipboardReader(std::function<std::string()> reader);
    // Entries per hand-over to the GUI thread.
    void setBatchSize(size_t entries) { m_batchSize = entries == 0 ? 1 : entries; }
    // Called with each run's pool once it is configured, before the work item is queued
    // (tests use it to make the worker's creation fail).
    void setPoolSetup(std::function<void(TThreadsPool&)> setup) { m_poolSetup = std::move(setup); }

signals:
    // The run is over and its pool and lock are gone.
    void runEnded();

private:
    struct Run;
    class PostingEvents;

    // GUI-thread steps, posted by the worker; each ignores a run that is not the current one.
    void applyStatus(uint64_t runId, const std::string& text);
    void applyRefusal(uint64_t runId, SourceRead& read);
    void applyTally(uint64_t runId, const ImportTally& tally);
    void applyFailure(uint64_t runId, ImportFailure failure);
    void applyBeginAdding(uint64_t runId, long long progressMaximum);
    void applyBatch(uint64_t runId, ImportBatch& batch);
    void applyFinished(uint64_t runId);

    Run* currentRun(uint64_t runId) const;

    RecipientCoordinator* m_coordinator;
    std::unique_ptr<Run> m_run;
    uint64_t m_nextRunId = 1;
    size_t m_batchSize = 4096;
    std::function<std::string()> m_clipboardReader;
    std::function<void(TThreadsPool&)> m_poolSetup;
};

// Creates the runner (owned by the coordinator) and installs its hooks.
ImportRunner* InstallImportHooks(RecipientCoordinator* coordinator);

}  // namespace smsc
