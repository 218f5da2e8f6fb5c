#pragma once
// The steps of a send page after its own checks, one implementation for the SMS and the MMS
// page: the opt-out refusal when the send button is pressed, arming and closing the progress
// window with the page's timer, and the tick's common part: the opt-out list and the daily cap
// applied to the numbers of that moment, the credentials read, and after the answer the quota
// handed on, the day's history written, the window closed and the answer told. It also makes
// what both pages have: the recipient panel, the editor, the length caption, the back button.

#include <QString>

#include <functional>
#include <optional>
#include <string>

#include "recipients/RecipientPanel.h"
#include "sending/SendAudience.h"
#include "service/Credentials.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QWidget;

namespace smsc {

class TForm15;

// A page's editor text as GBK with CR LF line ends (Qt editors give LF), and back.
std::string EditorTextGbk(const QPlainTextEdit& editor);
void SetEditorTextGbk(QPlainTextEdit& editor, const std::string& gbk);

// Receives "剩余短信N条" after a send the service answered with the quota.
using QuotaHandler = std::function<void(const QString&)>;

class SendSteps {
public:
    // Makes the page's recipient panel of that kind. timer: the progress window's timer that
    // runs the page's tick (&TForm15::Timer1 for SMS, &TForm15::Timer2 for MMS); boxes open
    // over page.
    SendSteps(QWidget* page, PanelKind kind, QTimer* TForm15::*timer);
    SendSteps(const SendSteps&) = delete;  // the back button's handler holds this
    SendSteps& operator=(const SendSteps&) = delete;

    RecipientPanel* panel() const { return m_panel; }

    TForm15* progressWindow() const { return m_progress; }
    void setProgressWindow(TForm15* window) { m_progress = window; }
    void setCredentialsSource(const CredentialsSource* source) { m_credentials = source; }
    void setQuotaHandler(QuotaHandler handler) { m_quotaHandler = std::move(handler); }
    // The login window's credentials at this moment (empty without a source).
    Credentials credentials() const;
    void setBackHomeHandler(std::function<void()> handler) { m_backHome = std::move(handler); }

    // ---- the widgets both pages have, made on the page in the page's order ----------------
    // The message or title editor, named: a tab moves on (typed, it would count and go out).
    QPlainTextEdit* newEditor(const QString& name) const;
    // "当前长度为0字。", named LengthLabel.
    QLabel* newLengthLabel() const;
    // "返回首页", named BackButton: runs the back-home handler.
    QPushButton* newBackButton() const;

    void tell(const QString& text) const;  // caption "提示"
    void tellGbk(const std::string& gbk) const;
    void remind(const QString& text) const;  // caption "提醒"

    // The opt-out list at the send checks: false (after the message) when it cannot be read
    // or names every recipient.
    bool optOutAllowsSend() const;
    // Shows the progress window and starts the page's timer unless it already waits.
    void armProgressWindow() const;
    // Hides the window and stops only the page's timer: another submission armed meanwhile
    // still runs.
    void closeProgressWindow() const;

    // The start of a tick: the page's timer stopped (it is one-shot). False without a window.
    bool startTick() const;
    // The numbers the tick sends to; nothing (after closing the window and telling why when
    // the opt-out list or the daily cap refuses) when nothing goes out.
    std::optional<SendAudience> audience() const;
    // The end of a tick: the quota handed on, an accepted send recorded, the window closed,
    // answerMessage told with the skipped numbers, then notice, then a failed history write.
    void finishTick(const std::string& answer, const std::optional<std::string>& answerMessage,
                    const SendAudience& audience,
                    const std::optional<std::string>& notice = std::nullopt) const;

private:
    QWidget* m_page;
    RecipientPanel* m_panel;
    QTimer* TForm15::*m_timer;
    TForm15* m_progress = nullptr;
    const CredentialsSource* m_credentials = nullptr;
    QuotaHandler m_quotaHandler;
    std::function<void()> m_backHome;
};

}  // namespace smsc
