#include "sending/SmsPage.h"

#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <ctime>

#include "compliance/Compliance.h"
#include "compliance/DailyCap.h"
#include "compliance/ComplianceDialog.h"
#include "compliance/ComplianceSettingsDialog.h"
#include "optout/OptOutList.h"
#include "platform/ClipPlayer.h"
#include "platform/DataDir.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/NumberEntries.h"
#include "recipients/PhoneRules.h"
#include "recipients/RecipientPanel.h"
#include "sending/PlanLine.h"
#include "sending/SendPlan.h"
#include "service/Credentials.h"
#include "service/ServiceClient.h"
#include "sending/SmsSend.h"
#include "sending/TForm15.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

void tell(QWidget* parent, const QString& text) {
    ShowMessage(parent, text, QStringLiteral("提示"));
}

// Long enough to let a burst of keys pass, short enough to feel immediate.
constexpr int kCheckDelayMs = 150;

}  // namespace

SmsPage::SmsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SmsPage"));
    m_panel = new RecipientPanel(PanelKind::Sms, this);

    auto* contentLabel = new QLabel(QStringLiteral("短信内容："), this);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    // Tab moves on: a tab typed into the text would count and go out as a character.
    Memo1->setTabChangesFocus(true);
    LengthLabel = new QLabel(QStringLiteral("当前长度为0字。"), this);
    LengthLabel->setObjectName(QStringLiteral("LengthLabel"));
    NoteLabel = new QLabel(
        QStringLiteral("单条中短信息允许发送信息文字总长度为70字，超过将分条发送。  "), this);
    NoteLabel->setObjectName(QStringLiteral("NoteLabel"));
    NoteLabel->setProperty("skinNote", true);  // red, as readable in every skin
    PhraseButton = new QPushButton(QStringLiteral("插入短语"), this);
    PhraseButton->setObjectName(QStringLiteral("PhraseButton"));
    CampaignsButton = new QPushButton(QStringLiteral("定时任务"), this);
    CampaignsButton->setObjectName(QStringLiteral("CampaignsButton"));
    CampaignsButton->hide();
    BackButton = new QPushButton(QStringLiteral("返回首页"), this);
    BackButton->setObjectName(QStringLiteral("BackButton"));
    VariableButton = new QPushButton(QStringLiteral("个性短信"), this);
    VariableButton->setObjectName(QStringLiteral("VariableButton"));
    VariableButton->setToolTip(QStringLiteral("一个模板，按表格每行的内容给每个号码发不同的短信"));
    VariableButton->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_panel->createListLayout(), 3);
    layout->addWidget(contentLabel);
    layout->addWidget(Memo1, 1);
    auto* captionRow = new QHBoxLayout;
    captionRow->addWidget(LengthLabel);
    captionRow->addWidget(NoteLabel, 1);
    layout->addLayout(captionRow);
    CheckLabel = new QLabel(this);
    CheckLabel->setObjectName(QStringLiteral("CheckLabel"));
    CheckLabel->setWordWrap(true);
    KindBox = new QComboBox(this);
    KindBox->setObjectName(QStringLiteral("KindBox"));
    KindBox->addItems({QStringLiteral("通知"), QStringLiteral("营销")});
    PreviewButton = new QPushButton(QStringLiteral("预览"), this);
    PreviewButton->setObjectName(QStringLiteral("PreviewButton"));
    ComplianceButton = new QPushButton(QStringLiteral("检查设置"), this);
    ComplianceButton->setObjectName(QStringLiteral("ComplianceButton"));
    CheckTimer = new QTimer(this);
    CheckTimer->setObjectName(QStringLiteral("CheckTimer"));
    CheckTimer->setSingleShot(true);
    CheckTimer->setInterval(kCheckDelayMs);
    auto* checkRow = new QHBoxLayout;
    checkRow->addWidget(CheckLabel, 1);
    checkRow->addWidget(new QLabel(QStringLiteral("短信类型："), this));
    checkRow->addWidget(KindBox);
    checkRow->addWidget(PreviewButton);
    checkRow->addWidget(ComplianceButton);
    layout->addLayout(checkRow);
    m_checkDialog = std::make_unique<ComplianceDialog>(this);
    m_settingsDialog = std::make_unique<ComplianceSettingsDialog>(this);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(VariableButton);
    buttonRow->addStretch(1);
    buttonRow->addWidget(CampaignsButton);
    buttonRow->addWidget(PhraseButton);
    buttonRow->addWidget(m_panel->SendButton);
    buttonRow->addWidget(BackButton);
    layout->addLayout(buttonRow);

    // The signature and unsubscription line that will be added count toward the pieces.
    m_plan = new PlanLine(m_panel, [this] { return SmsUnitsPerNumber(outgoingText()); });
    reloadCompliance(true);

    connect(Memo1, &QPlainTextEdit::textChanged, this, &SmsPage::updateLengthCaption);
    connect(Memo1, &QPlainTextEdit::textChanged, m_plan, &PlanLine::schedule);
    connect(Memo1, &QPlainTextEdit::textChanged, CheckTimer, qOverload<>(&QTimer::start));
    connect(CheckTimer, &QTimer::timeout, this, &SmsPage::refreshCheckLine);
    connect(KindBox, &QComboBox::currentIndexChanged, this, [this] {
        refreshCheckLine();
        m_plan->schedule();
    });
    connect(PreviewButton, &QPushButton::clicked, this, &SmsPage::PreviewClick);
    connect(ComplianceButton, &QPushButton::clicked, this, &SmsPage::ComplianceSettingsClick);
    connect(m_panel->SendButton, &QPushButton::clicked, this, &SmsPage::Button15Click);
    connect(VariableButton, &QPushButton::clicked, this, [this] {
        if (m_variableSms)
            m_variableSms();
    });
    connect(PhraseButton, &QPushButton::clicked, this, [this] {
        if (m_insertPhrase)
            m_insertPhrase();
    });
    connect(CampaignsButton, &QPushButton::clicked, this, [this] {
        if (m_scheduledCampaigns)
            m_scheduledCampaigns();
    });
    connect(BackButton, &QPushButton::clicked, this, [this] {
        if (m_backHome)
            m_backHome();
    });
}

SmsPage::~SmsPage() = default;

void SmsPage::setScheduledCampaignsHandler(std::function<void()> handler) {
    m_scheduledCampaigns = std::move(handler);
    CampaignsButton->setVisible(static_cast<bool>(m_scheduledCampaigns));
}

void SmsPage::setProgressWindow(TForm15* window) {
    m_progress = window;
    if (m_progress)
        m_progress->setTimer1Handler([this] { SmsTimerTick(); });
}

std::string SmsPage::messageText() const {
    QString text = Memo1->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return GbkFromQString(text);
}

void SmsPage::setMessageText(const std::string& gbk) {
    QString text = QStringFromGbk(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Memo1->setPlainText(text);
}

void SmsPage::appendMessageLine(const QString& line) {
    Memo1->appendPlainText(line);
}

void SmsPage::updateLengthCaption() {
    LengthLabel->setText(QStringFromGbk(LengthCaption(StripLineBreaks(messageText()))));
}

void SmsPage::reloadCompliance(bool takeDefaultKind) {
    m_complianceSettings = LoadComplianceSettings(DataPath("Company_Info.ini"));
    // The user's lists appear in the data folder once the check is set up.
    m_complianceLists = LoadComplianceLists(DataDir(), m_complianceSettings.configured);
    if (takeDefaultKind) {
        const QSignalBlocker quiet(KindBox);
        KindBox->setCurrentIndex(m_complianceSettings.defaultKind == MessageKind::Marketing ? 1
                                                                                            : 0);
    }
    refreshCheckLine();
    m_plan->schedule();
}

ComplianceReport SmsPage::checkMessage() const {
    const CheckContext context{
        m_complianceSettings,
        KindBox->currentIndex() == 1 ? MessageKind::Marketing : MessageKind::Notice,
        LocalMinuteOfDay()};
    return CheckSmsGbk(messageText(), context, m_complianceLists);
}

std::string SmsPage::outgoingText() const {
    const std::string message = messageText();
    if (IsBlankText(message))
        return message;
    ComplianceReport report = checkMessage();
    return report.outgoing.empty() ? message : std::move(report.outgoing);
}

void SmsPage::refreshCheckLine() {
    CheckTimer->stop();
    if (Memo1->toPlainText().isEmpty()) {
        CheckLabel->clear();
        return;
    }
    // Characters GBK cannot carry are lost in messageText(): look at the editor's own text.
    const std::vector<std::string> chars = UnsendableCharacters(Memo1->toPlainText().toStdString());
    ComplianceReport report;
    if (!chars.empty())
        report.findings.push_back(
            {"unsendable", FindingLevel::Error, UnsendableMessage("短信内容", chars), chars});
    else
        report = checkMessage();
    QString line = QString::fromStdString(FindingsSummary(report));
    if (!report.findings.empty())
        line += QStringLiteral("：") + QString::fromStdString(report.findings.front().message) +
                (report.findings.size() > 1 ? QStringLiteral("……") : QString());
    if (report.addedSignature || report.addedUnsubscribe) {
        const std::string& out = report.outgoing;
        line += QStringLiteral("（发出时%1字，%2条）")
                    .arg(TextLength(out))
                    .arg(PieceCount(PlanSmsPieces(out)));
    }
    CheckLabel->setText(line);
    CheckLabel->setStyleSheet(report.blocks() ? QStringLiteral("color: red;") : QString());
}

void SmsPage::PreviewClick() {
    reloadCompliance();
    const ComplianceReport report = checkMessage();
    m_checkDialog->showPreview(report, PlanSmsPieces(outgoingText()).texts);
    Ui().execDialog(m_checkDialog.get());
}

void SmsPage::ComplianceSettingsClick() {
    if (m_settingsDialog->openDialog(DataPath("Company_Info.ini"), DataDir()))
        reloadCompliance(true);
}

void SmsPage::Button15Click() {
    m_panel->SetRecipientStatus(QString());
    if (m_panel->verificationOn()) {
        const std::string number = m_panel->verificationNumber();
        if (number.empty()) {
            tell(this, QStringLiteral("验证号码为空，请输入验证号码！"));
            return;
        }
        if (!IsDigits1To12(number)) {
            tell(this, QStringLiteral("请输入正确的验证号码！"));
            m_panel->VerifyEdit->clear();
            return;
        }
    }
    const int count = m_panel->RecipientCount();
    if (count > kRecipientCap) {
        tell(this, QStringLiteral("发送条数不能超过3万个"));
        return;
    }
    if (count == 0) {
        tell(this, QStringLiteral("发送对象数目为0请添加发送对象"));
        return;
    }
    const std::string message = messageText();
    // Blanks, tabs and line breaks alone are empty too: they would be charged to every number.
    if (TextLength(message) == 0 || IsBlankText(message)) {
        tell(this, QStringLiteral("要发送的短信内容不能为空"));
        return;
    }
    // Characters GBK cannot carry would arrive as "?": named and refused.
    if (const std::vector<std::string> chars =
            UnsendableCharacters(Memo1->toPlainText().toStdString());
        !chars.empty()) {
        tell(this, QString::fromStdString(UnsendableMessage("短信内容", chars)));
        Memo1->setFocus();
        return;
    }
    if (!optOutAllowsSend())
        return;
    // The check before it goes out: with [Compliance] set every finding is shown; without
    // it, only what blocks (nothing does: the two refusals above come first).
    reloadCompliance();
    const ComplianceReport report = checkMessage();
    const std::string outgoing = report.outgoing.empty() ? message : report.outgoing;
    if (report.blocks() || (m_complianceSettings.configured && !report.findings.empty())) {
        m_checkDialog->showReport(report, PlanSmsPieces(outgoing).texts);
        if (Ui().execDialog(m_checkDialog.get()) != QDialog::Accepted || report.blocks()) {
            Memo1->setFocus();
            return;
        }
    }
    if (!FitsOneMessage(outgoing)) {
        const int pieces = PieceCount(PlanSmsPieces(outgoing));
        const QString question =
            QStringLiteral("要发送的短信内容长度超过70个字！将分%1条发送,是否分条发送？")
                .arg(pieces);
        if (!Confirm(this, question, QStringLiteral("提醒"))) {
            Memo1->setFocus();
            return;
        }
    }
    if (!m_plan->confirmQuota(this))
        return;
    m_panel->SetRecipientStatus(QString());
    armProgressWindow();
}

bool SmsPage::optOutAllowsSend() {
    const OptOutSendPlan plan = PlanOptOutSend(
        OptOutPath(), m_panel->entries(), m_panel->verificationOn(), m_panel->verificationNumber());
    if (plan.refusal == OptOutSendRefusal::None)
        return true;
    ShowMessage(this, QStringFromGbk(OptOutSendRefusalMessage(plan.refusal)),
                QStringLiteral("提醒"));
    return false;
}

void SmsPage::armProgressWindow() {
    if (!m_progress) {
        tell(this, QStringLiteral("程序文件丢失，请重新安装。"));
        return;
    }
    m_progress->show();
    // A press while the window already waits leaves the armed timer as it is.
    if (!m_progress->Timer1->isActive())
        m_progress->Timer1->start();
}

void SmsPage::closeProgressWindow() {
    m_progress->Animate1->stop();
    m_progress->Timer1->stop();
    m_progress->hide();
}

void SmsPage::setVariableSmsHandler(std::function<void()> handler) {
    m_variableSms = std::move(handler);
    VariableButton->setVisible(static_cast<bool>(m_variableSms));
}

void SmsPage::SmsTimerTick() {
    if (!m_progress)
        return;
    m_progress->Timer1->stop();
    if (m_panel->RecipientCount() == 0) {
        m_progress->Animate1->stop();
        tell(this, QStringLiteral("要发送的号码为空，请添加发送号码"));
        m_progress->hide();
        return;
    }
    // Numbers on the opt-out list are left out; the list itself stays as it is.
    const OptOutSendPlan optOut = PlanOptOutSend(
        OptOutPath(), m_panel->entries(), m_panel->verificationOn(), m_panel->verificationNumber());
    if (optOut.refusal != OptOutSendRefusal::None) {
        closeProgressWindow();
        ShowMessage(this, QStringFromGbk(OptOutSendRefusalMessage(optOut.refusal)),
                    QStringLiteral("提醒"));
        return;
    }
    // So are numbers that already got Max_Per_Number_Per_Day messages today.
    const DailyCapSend capped =
        CapSend(DataDir(), optOut.entries, std::time(nullptr),
                m_panel->verificationOn() ? m_panel->verificationNumber() : "");
    if (!CapAllowsSend(this, capped)) {
        closeProgressWindow();
        return;
    }
    const std::string numbers =
        BuildNumberString(capped.entries, m_panel->verificationOn(), m_panel->verificationNumber());
    const Credentials credentials =
        m_credentials ? m_credentials->currentCredentials() : Credentials{};
    // The text as it goes out: signature and unsubscription line added as set.
    const SmsPlan plan = PlanSmsPieces(outgoingText());
    const SmsSendResult result = RunSmsSend(plan, [&](const std::string& text) {
        return SendMessage(credentials.context, credentials.userName, credentials.password, numbers,
                           text);
    });
    const std::string& answer = result.lastAnswer();
    std::string historyError;
    const bool recorded =
        AnswerCode(answer) != "7" || RecordDailyCapSend(capped, std::time(nullptr), &historyError);
    if (const std::optional<std::string> quota = QuotaTextOf(answer); quota && m_quotaHandler)
        m_quotaHandler(QStringFromGbk(*quota));
    closeProgressWindow();
    if (const std::optional<std::string> message = SmsAnswerMessage(answer))
        tell(this, QStringFromGbk(WithCappedSkipped(WithOptOutSkipped(*message, optOut.skipped),
                                                    capped.leftOut)));
    if (const std::optional<std::string> notice = UnconfirmedPiecesNotice(plan, result))
        ShowMessage(this, QStringFromGbk(*notice), QStringLiteral("提醒"));
    if (!recorded)
        ShowMessage(this, QString::fromStdString(historyError), QStringLiteral("提醒"));
}

}  // namespace smsc
