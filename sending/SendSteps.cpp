#include "sending/SendSteps.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <ctime>

#include "platform/ClipPlayer.h"
#include "platform/DataDir.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/RecipientPanel.h"
#include "sending/PlanLine.h"
#include "sending/SmsSend.h"
#include "sending/TForm15.h"

namespace smsc {

std::string EditorTextGbk(const QPlainTextEdit& editor) {
    QString text = editor.toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return GbkFromQString(text);
}

void SetEditorTextGbk(QPlainTextEdit& editor, const std::string& gbk) {
    QString text = QStringFromGbk(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    editor.setPlainText(text);
}

SendSteps::SendSteps(QWidget* page, PanelKind kind, QTimer* TForm15::*timer)
    : m_page(page), m_panel(new RecipientPanel(kind, page)), m_timer(timer) {}

Credentials SendSteps::credentials() const {
    return m_credentials ? m_credentials->currentCredentials() : Credentials{};
}

QPlainTextEdit* SendSteps::newEditor(const QString& name) const {
    auto* editor = new QPlainTextEdit(m_page);
    editor->setObjectName(name);
    editor->setTabChangesFocus(true);
    return editor;
}

QLabel* SendSteps::newLengthLabel() const {
    auto* label = new QLabel(QStringLiteral("当前长度为0字。"), m_page);
    label->setObjectName(QStringLiteral("LengthLabel"));
    return label;
}

QPushButton* SendSteps::newBackButton() const {
    auto* button = new QPushButton(QStringLiteral("返回首页"), m_page);
    button->setObjectName(QStringLiteral("BackButton"));
    QObject::connect(button, &QPushButton::clicked, m_page, [this] {
        if (m_backHome)
            m_backHome();
    });
    return button;
}

void SendSteps::tell(const QString& text) const {
    ShowMessage(m_page, text, QStringLiteral("提示"));
}

void SendSteps::tellGbk(const std::string& gbk) const {
    tell(QStringFromGbk(gbk));
}

void SendSteps::remind(const QString& text) const {
    ShowMessage(m_page, text, QStringLiteral("提醒"));
}

bool SendSteps::optOutAllowsSend() const {
    const OptOutSendPlan plan = PlanOptOutSend(
        OptOutPath(), m_panel->entries(), m_panel->verificationOn(), m_panel->verificationNumber());
    if (plan.refusal == OptOutSendRefusal::None)
        return true;
    remind(QStringFromGbk(OptOutSendRefusalMessage(plan.refusal)));
    return false;
}

void SendSteps::armProgressWindow() const {
    if (!m_progress) {
        tell(QStringLiteral("程序文件丢失，请重新安装。"));
        return;
    }
    m_progress->show();
    // A press while the window already waits leaves the armed timer as it is.
    if (!(m_progress->*m_timer)->isActive())
        (m_progress->*m_timer)->start();
}

void SendSteps::closeProgressWindow() const {
    m_progress->Animate1->stop();
    (m_progress->*m_timer)->stop();
    m_progress->hide();
}

bool SendSteps::startTick() const {
    if (!m_progress)
        return false;
    (m_progress->*m_timer)->stop();
    return true;
}

std::optional<SendAudience> SendSteps::audience() const {
    // Numbers on the opt-out list are left out (the list itself stays as it is), and so are
    // numbers that already got Max_Per_Number_Per_Day messages today.
    SendAudience audience =
        PlanSendAudience(DataDir(), OptOutPath(), m_panel->entries(), m_panel->verificationOn(),
                         m_panel->verificationNumber(), std::time(nullptr));
    if (audience.optOut.refusal != OptOutSendRefusal::None) {
        closeProgressWindow();
        remind(QStringFromGbk(OptOutSendRefusalMessage(audience.optOut.refusal)));
        return std::nullopt;
    }
    if (!CapAllowsSend(m_page, audience.capped)) {
        closeProgressWindow();
        return std::nullopt;
    }
    return audience;
}

void SendSteps::finishTick(const std::string& answer,
                           const std::optional<std::string>& answerMessage,
                           const SendAudience& audience,
                           const std::optional<std::string>& notice) const {
    if (const std::optional<std::string> quota = QuotaTextOf(answer); quota && m_quotaHandler)
        m_quotaHandler(QStringFromGbk(*quota));
    std::string historyError;
    const bool recorded = RecordAcceptedSend(audience, answer, std::time(nullptr), &historyError);
    closeProgressWindow();
    if (answerMessage)
        tell(QStringFromGbk(WithSkippedLines(*answerMessage, audience)));
    if (notice)
        remind(QStringFromGbk(*notice));
    if (!recorded)
        remind(QString::fromStdString(historyError));
}

}  // namespace smsc
