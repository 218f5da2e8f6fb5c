#pragma once
// While the client runs it sends the scheduled campaigns that are due itself, with the
// account the user logged in with: a one-shot timer looks every minute, and each look sends
// the next batch of every due campaign. The requests go through the exchange wait like a
// page's, one at a time: a look while a page's exchange runs waits for it (its tick is held,
// or it looks again shortly), and a page's send armed meanwhile goes out after the batch.
// Each campaign is found due and locked exactly as `smsclient-cli campaign run-due` does, so
// the systemd timer's run and the client never send the same batch twice.

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>

#include "campaign/JournalService.h"

class QTimer;

namespace smsc {

class CampaignRunner final : public QObject {
    Q_OBJECT
public:
    static constexpr int kLookMs = 60 * 1000;  // between looks when nothing is left to send
    static constexpr int kSoonMs = 3 * 1000;   // after a batch, or while a page exchanges

    explicit CampaignRunner(QObject* parent = nullptr);

    QTimer* Timer;  // one-shot, armed again after every look

    // The account the user logged in with; none while not logged in (nothing is sent).
    void setAccountSource(std::function<std::optional<campaign::RunAccount>()> source) {
        m_account = std::move(source);
    }
    // The timer's tick: the next batch of every due campaign of the data folder.
    void TimerTick();
    bool running() const { return m_running; }
    // What the last look could not do (a journal that cannot be read or locked, the send
    // history); empty when nothing.
    const QString& problem() const { return m_problem; }

signals:
    // After each batch, its journal closed and its lock let go: the list window shows the
    // progress. (Not sooner: the listing opens and closes the journal file, and closing any
    // descriptor of a file drops this process's locks on it, the open database's included.)
    void progressed();

private:
    // Sends the campaign's next batch; true when something of it is left to send.
    bool runBatch(campaign::CampaignJournal& journal, const campaign::RunAccount& account);

    std::function<std::optional<campaign::RunAccount>()> m_account;
    bool m_running = false;
    QString m_problem;
};

}  // namespace smsc
