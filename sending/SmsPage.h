#pragma once
// The "短信发送" page: the SMS recipient panel, the message editor with its live length
// caption, and the send: the checks of "发送短信", the split question, and the tick of the
// progress window (TForm15::Timer1) that submits the message with SendMessage.

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "compliance/Compliance.h"
#include "sending/SendSteps.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace smsc {

class ComplianceDialog;
class ComplianceSettingsDialog;
class PlanLine;
class RecipientPanel;
class TForm15;

class SmsPage final : public QWidget {
    Q_OBJECT
public:
    explicit SmsPage(QWidget* parent = nullptr);
    ~SmsPage() override;

    RecipientPanel* panel() const { return m_panel; }
    // The send plan line under the counter.
    PlanLine* plan() const { return m_plan; }

    QPlainTextEdit* Memo1;         // the message
    QLabel* LengthLabel;           // "当前长度为N字"
    QLabel* NoteLabel;             // the red note on the one-SMS length
    QPushButton* PhraseButton;     // "插入短语"
    QPushButton* CampaignsButton;  // "定时任务": the scheduled campaigns' list window
    QPushButton* BackButton;       // "返回首页"

    // "个性短信": one text per row of a table.
    QPushButton* VariableButton;
    // The check before a send, under the message like the plan line under the list.
    QLabel* CheckLabel;             // "发送前检查：…"
    QComboBox* KindBox;             // "短信类型：" 通知 / 营销
    QPushButton* PreviewButton;     // "预览": the text as it goes out
    QPushButton* ComplianceButton;  // "检查设置": the settings of the check
    QTimer* CheckTimer;             // single shot: the check line a moment after typing
    ComplianceDialog* complianceDialog() const { return m_checkDialog.get(); }
    ComplianceSettingsDialog* complianceSettingsDialog() const { return m_settingsDialog.get(); }

    // ---- what the main window provides ---------------------------------------------------
    // The login window's user name, password and line, read at every tick.
    void setCredentialsSource(const CredentialsSource* source) {
        m_steps.setCredentialsSource(source);
    }
    // The progress window; its Timer1 tick runs this page's send driver.
    void setProgressWindow(TForm15* window);
    // Receives "剩余短信N条" after a successful send.
    void setQuotaHandler(QuotaHandler handler) { m_steps.setQuotaHandler(std::move(handler)); }
    void setBackHomeHandler(std::function<void()> h) { m_steps.setBackHomeHandler(std::move(h)); }
    void setInsertPhraseHandler(std::function<void()> handler) {
        m_insertPhrase = std::move(handler);
    }
    // Opens the "个性短信" window (the main window owns it); the button is hidden without.
    void setVariableSmsHandler(std::function<void()> handler);
    // "定时任务" opens the list window through this; without it the button is hidden.
    void setScheduledCampaignsHandler(std::function<void()> handler);

    // ---- the message ---------------------------------------------------------------------
    // The editor's text as GBK with CR LF line ends.
    std::string messageText() const;
    void setMessageText(const std::string& gbk);
    // Adds the text as a new last line of the editor (phrase insertion).
    void appendMessageLine(const QString& line);

    // ---- the check before a send ----------------------------------------------------------
    // The message checked with the settings and lists as last read, the kind chosen on the
    // page and the time now.
    ComplianceReport checkMessage() const;
    // The text the service receives: signature and unsubscription line added as set.
    std::string outgoingText() const;
    // Reads [Compliance] and the lists again (at a send, after the settings dialog);
    // takeDefaultKind: the kind box shows Default_Kind again.
    void reloadCompliance(bool takeDefaultKind = false);
    void refreshCheckLine();
    void PreviewClick();
    void ComplianceSettingsClick();

    // ---- actions -------------------------------------------------------------------------
    // "发送短信": the send checks, then the progress window with its SMS timer armed.
    void Button15Click();
    // The SMS timer's tick: one submission, then the window closes and the answer is shown.
    void SmsTimerTick();

private:
    void updateLengthCaption();

    RecipientPanel* m_panel;
    PlanLine* m_plan;
    SendSteps m_steps;
    std::function<void()> m_insertPhrase;
    std::function<void()> m_variableSms;
    std::function<void()> m_scheduledCampaigns;
    ComplianceSettings m_complianceSettings;
    ComplianceLists m_complianceLists;
    std::unique_ptr<ComplianceDialog> m_checkDialog;
    std::unique_ptr<ComplianceSettingsDialog> m_settingsDialog;
};

}  // namespace smsc
