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

#include "compliance/Compliance.h"
#include "compliance/ComplianceDialog.h"
#include "compliance/ComplianceSettingsDialog.h"
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

// Long enough to let a burst of keys pass, short enough to feel immediate.
constexpr int kCheckDelayMs = 150;

}  // namespace

SmsPage::SmsPage(QWidget* parent)
    : QWidget(parent), m_steps(this, PanelKind::Sms, &TForm15::Timer1) {
    setObjectName(QStringLiteral("SmsPage"));
    m_panel = m_steps.panel();

    auto* contentLabel = new QLabel(QStringLiteral("短信内容："), this);
    Memo1 = m_steps.newEditor(QStringLiteral("Memo1"));
    LengthLabel = m_steps.newLengthLabel();
    NoteLabel = new QLabel(
        QStringLiteral("单条中短信息允许发送信息文字总长度为70字，超过将分条发送。  "), this);
    NoteLabel->setObjectName(QStringLiteral("NoteLabel"));
    NoteLabel->setProperty("skinNote", true);  // red, as readable in every skin
    PhraseButton = new QPushButton(QStringLiteral("插入短语"), this);
    PhraseButton->setObjectName(QStringLiteral("PhraseButton"));
    CampaignsButton = new QPushButton(QStringLiteral("定时任务"), this);
    CampaignsButton->setObjectName(QStringLiteral("CampaignsButton"));
    CampaignsButton->hide();
    BackButton = m_steps.newBackButton();
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
}

SmsPage::~SmsPage() = default;

void SmsPage::setScheduledCampaignsHandler(std::function<void()> handler) {
    m_scheduledCampaigns = std::move(handler);
    CampaignsButton->setVisible(static_cast<bool>(m_scheduledCampaigns));
}

void SmsPage::setProgressWindow(TForm15* window) {
    m_steps.setProgressWindow(window);
    if (window)
        window->setTimer1Handler([this] { SmsTimerTick(); });
}

std::string SmsPage::messageText() const {
    return EditorTextGbk(*Memo1);
}

void SmsPage::setMessageText(const std::string& gbk) {
    SetEditorTextGbk(*Memo1, gbk);
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
            m_steps.tell(QStringLiteral("验证号码为空，请输入验证号码！"));
            return;
        }
        if (!IsDigits1To12(number)) {
            m_steps.tell(QStringLiteral("请输入正确的验证号码！"));
            m_panel->VerifyEdit->clear();
            return;
        }
    }
    const int count = m_panel->RecipientCount();
    if (count > kRecipientCap) {
        m_steps.tell(QStringLiteral("发送条数不能超过3万个"));
        return;
    }
    if (count == 0) {
        m_steps.tell(QStringLiteral("发送对象数目为0请添加发送对象"));
        return;
    }
    const std::string message = messageText();
    // Blanks, tabs and line breaks alone are empty too: they would be charged to every number.
    if (TextLength(message) == 0 || IsBlankText(message)) {
        m_steps.tell(QStringLiteral("要发送的短信内容不能为空"));
        return;
    }
    // Characters GBK cannot carry would arrive as "?": named and refused.
    if (const std::vector<std::string> chars =
            UnsendableCharacters(Memo1->toPlainText().toStdString());
        !chars.empty()) {
        m_steps.tell(QString::fromStdString(UnsendableMessage("短信内容", chars)));
        Memo1->setFocus();
        return;
    }
    if (!m_steps.optOutAllowsSend())
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
    m_steps.armProgressWindow();
}

void SmsPage::setVariableSmsHandler(std::function<void()> handler) {
    m_variableSms = std::move(handler);
    VariableButton->setVisible(static_cast<bool>(m_variableSms));
}

void SmsPage::SmsTimerTick() {
    if (!m_steps.startTick())
        return;
    if (m_panel->RecipientCount() == 0) {
        // Told while the window still shows, then hidden.
        m_steps.progressWindow()->Animate1->stop();
        m_steps.tell(QStringLiteral("要发送的号码为空，请添加发送号码"));
        m_steps.progressWindow()->hide();
        return;
    }
    const std::optional<SendAudience> audience = m_steps.audience();
    if (!audience)
        return;
    const Credentials credentials = m_steps.credentials();
    // The text as it goes out: signature and unsubscription line added as set.
    const SmsPlan plan = PlanSmsPieces(outgoingText());
    const SmsSendResult result = RunSmsSend(plan, [&](const std::string& text) {
        return SendMessage(credentials.context, credentials.userName, credentials.password,
                           audience->numbers, text);
    });
    const std::string& answer = result.lastAnswer();
    m_steps.finishTick(answer, SmsAnswerMessage(answer), *audience,
                       UnconfirmedPiecesNotice(plan, result));
}

}  // namespace smsc
