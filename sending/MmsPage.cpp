#include "sending/MmsPage.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include <ctime>
#include <exception>

#include "compliance/Compliance.h"
#include "compliance/ComplianceDialog.h"
#include "compliance/DailyCap.h"
#include "optout/OptOutList.h"
#include "platform/ClipPlayer.h"
#include "platform/DataDir.h"
#include "platform/FileDialogs.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/RecipientPanel.h"
#include "sending/MmsSend.h"
#include "sending/PlanLine.h"
#include "sending/SendPlan.h"
#include "sending/SmsSend.h"
#include "sending/TForm15.h"
#include "platform/TextHelpers.h"
#include "service/Credentials.h"
#include "service/ServiceClient.h"

namespace smsc {
namespace {

void tell(QWidget* parent, const QString& text) {
    ShowMessage(parent, text, QStringLiteral("提示"));
}

void tellGbk(QWidget* parent, const std::string& gbk) {
    tell(parent, QStringFromGbk(gbk));
}

QLabel* redLabel(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setProperty("skinNote", true);  // red, as readable in every skin
    return label;
}

std::string nativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

MmsPage::MmsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MmsPage"));
    m_panel = new RecipientPanel(PanelKind::Mms, this);

    TitleCaption = redLabel(QStringLiteral("彩信标题（最长为30个字符）"),
                            QStringLiteral("TitleCaption"), this);
    LengthLabel = new QLabel(QStringLiteral("当前长度为0字。"), this);
    LengthLabel->setObjectName(QStringLiteral("LengthLabel"));
    Memo2 = new QPlainTextEdit(this);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setTabChangesFocus(true);  // a typed tab would count as a character of the title
    Memo2->setMaximumHeight(60);
    auto* fileLabel = new QLabel(QStringLiteral("彩信文件："), this);
    FileEdit = new QLineEdit(this);
    FileEdit->setObjectName(QStringLiteral("FileEdit"));
    FileEdit->setReadOnly(true);
    BrowseButton = new QPushButton(QStringLiteral("浏览"), this);
    BrowseButton->setObjectName(QStringLiteral("BrowseButton"));
    MakeButton = new QPushButton(QStringLiteral("制作彩信"), this);
    MakeButton->setObjectName(QStringLiteral("MakeButton"));
    CostNoteLabel = redLabel(QString(), QStringLiteral("CostNoteLabel"), this);
    CostNoteLabel->setWordWrap(true);
    BackButton = new QPushButton(QStringLiteral("返回首页"), this);
    BackButton->setObjectName(QStringLiteral("BackButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_panel->createListLayout(), 3);
    m_composition = new QVBoxLayout;
    auto* captionRow = new QHBoxLayout;
    captionRow->addWidget(TitleCaption);
    captionRow->addWidget(LengthLabel);
    captionRow->addStretch(1);
    m_composition->addLayout(captionRow);
    m_composition->addWidget(Memo2);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(FileEdit, 1);
    fileRow->addWidget(BrowseButton);
    fileRow->addWidget(MakeButton);
    m_composition->addLayout(fileRow);
    m_composition->addWidget(CostNoteLabel);
    layout->addLayout(m_composition, 2);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_panel->SendButton);
    buttonRow->addWidget(BackButton);
    layout->addLayout(buttonRow);

    m_plan = new PlanLine(m_panel, [this] { return m_unitsPerMms; });

    connect(Memo2, &QPlainTextEdit::textChanged, this, &MmsPage::titleChanged);
    connect(BrowseButton, &QPushButton::clicked, this, &MmsPage::BrowseClick);
    connect(MakeButton, &QPushButton::clicked, this, &MmsPage::MakeClick);
    connect(m_panel->SendButton, &QPushButton::clicked, this, &MmsPage::Button35Click);
    connect(BackButton, &QPushButton::clicked, this, [this] {
        if (m_backHome)
            m_backHome();
    });
}

MmsPage::~MmsPage() = default;

void MmsPage::setProgressWindow(TForm15* window) {
    m_progress = window;
    if (m_progress)
        m_progress->setTimer2Handler([this] { MmsTimerTick(); });
}

void MmsPage::showCostNote(const QString& note) {
    CostNoteLabel->setText(note);
    if (const std::optional<long long> units = UnitsOfCostNote(GbkFromQString(note))) {
        m_unitsPerMms = *units;
        m_plan->schedule();
    }
}

std::string MmsPage::titleText() const {
    QString text = Memo2->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return GbkFromQString(text);
}

void MmsPage::setTitleText(const std::string& gbk) {
    QString text = QStringFromGbk(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Memo2->setPlainText(text);
}

std::string MmsPage::filePath() const {
    return nativePath(FileEdit->text());
}

void MmsPage::titleChanged() {
    std::string title = titleText();
    if (TextLength(title) > kMaxMmsTitleLength) {
        tell(this, QStringLiteral("彩信标题超过30字，系统将保留前30个文字信息"));
        title = SplitByLength(title, kMaxMmsTitleLength).front();
        {
            const QSignalBlocker blocker(Memo2);
            setTitleText(title);
        }
        Memo2->moveCursor(QTextCursor::End);
    }
    // Line breaks count here (CR LF as two), unlike in the limit.
    LengthLabel->setText(QStringFromGbk(LengthCaption(title)));
}

void MmsPage::BrowseClick() {
    const QString chosen =
        ChooseFileToOpen(this, folder_kind::kMmsFile, QStringLiteral("打开"),
                         QStringLiteral("所有文件(*.*) (* *.*);;emm文件(*.emm) (*.emm)"));
    if (chosen.isEmpty())
        return;
    m_lastChosen = nativePath(chosen);
    // A '"' or a line break in the name would break the file part's header on the wire.
    if (!IsUsableMmsPath(m_lastChosen)) {
        tellGbk(this, MmsRefusalMessage(MmsRefusal::BadFilePath));
        FileEdit->clear();
        return;
    }
    if (FileSizeOf(m_lastChosen) > kMaxMmsFileBytes) {
        tellGbk(this, MmsRefusalMessage(MmsRefusal::FileTooLarge));
        FileEdit->clear();
        return;
    }
    FileEdit->setText(chosen);
}

void MmsPage::MakeClick() {
    // The desktop "open" action (on Linux the handler of Windows programs runs it), and
    // only for a tool that is there: the action may report success for a missing file.
    const QString tool =
        QFile::decodeName(QByteArray::fromStdString(DataPath("Velmaro/MakeEMM.exe")));
    if (QFileInfo(tool).isFile() && Ui().openWithDesktop(tool))
        return;
    tell(this, QStringLiteral("Velmaro制作软件未安装，安装后可以制作彩信"));
}

void MmsPage::Button35Click() {
    m_panel->SetRecipientStatus(QString());
    MmsSendChecks checks;
    checks.verificationOn = m_panel->verificationOn();
    checks.verificationNumber = m_panel->verificationNumber();
    checks.chosenFileSize = m_lastChosen.empty() ? 0 : FileSizeOf(m_lastChosen);
    checks.recipientCount = m_panel->RecipientCount();
    checks.title = titleText();
    checks.filePath = filePath();
    const MmsRefusal refusal = CheckMmsSend(checks);
    if (refusal != MmsRefusal::None) {
        if (refusal == MmsRefusal::TitleTooLong || refusal == MmsRefusal::TitleEmpty)
            Memo2->setFocus();
        tellGbk(this, MmsRefusalMessage(refusal));
        if (refusal == MmsRefusal::VerificationInvalid)
            m_panel->VerifyEdit->clear();
        return;
    }
    // Characters GBK cannot carry would arrive as "?": named and refused.
    if (const std::vector<std::string> chars =
            UnsendableCharacters(Memo2->toPlainText().toStdString());
        !chars.empty()) {
        Memo2->setFocus();
        tell(this, QString::fromStdString(UnsendableMessage("彩信标题", chars)));
        return;
    }
    if (!titleCheckAllowsSend())
        return;
    if (!optOutAllowsSend())
        return;
    if (!m_plan->confirmQuota(this))
        return;
    armProgressWindow();
}

bool MmsPage::titleCheckAllowsSend() {
    // The title's check: words, symbols, links and the hours of the default kind (the
    // content is an opaque file). With [Compliance] set every finding is shown.
    const ComplianceSettings settings = LoadComplianceSettings(DataPath("Company_Info.ini"));
    const ComplianceReport report =
        CheckMmsTitle(Memo2->toPlainText().toStdString(),
                      {settings, settings.defaultKind, LocalMinuteOfDay()},
                      LoadComplianceLists(DataDir(), settings.configured));
    if (!report.blocks() && !(settings.configured && !report.findings.empty()))
        return true;
    ComplianceDialog dialog(this);
    dialog.showReport(report, {StripLineBreaks(report.outgoing)});
    if (Ui().execDialog(&dialog) == QDialog::Accepted && !report.blocks())
        return true;
    Memo2->setFocus();
    return false;
}

bool MmsPage::optOutAllowsSend() {
    const OptOutSendPlan plan = PlanOptOutSend(
        OptOutPath(), m_panel->entries(), m_panel->verificationOn(), m_panel->verificationNumber());
    if (plan.refusal == OptOutSendRefusal::None)
        return true;
    ShowMessage(this, QStringFromGbk(OptOutSendRefusalMessage(plan.refusal)),
                QStringLiteral("提醒"));
    return false;
}

void MmsPage::armProgressWindow() {
    if (!m_progress) {
        tell(this, QStringLiteral("程序文件丢失，请重新安装。"));
        return;
    }
    m_progress->show();
    // A press while the window already waits leaves the armed timer as it is.
    if (!m_progress->Timer2->isActive())
        m_progress->Timer2->start();
}

// Only the MMS timer: an SMS or reply submission armed meanwhile still runs.
void MmsPage::closeProgressWindow() {
    m_progress->Animate1->stop();
    m_progress->Timer2->stop();
    m_progress->hide();
}

void MmsPage::MmsTimerTick() {
    if (!m_progress)
        return;
    m_progress->Timer2->stop();
    if (m_panel->RecipientCount() == 0) {
        closeProgressWindow();
        tell(this, QStringLiteral("要发送彩信的号码为空，请添加发送号码"));
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
    MmsSendOutcome outcome;
    try {
        const std::string numbers = BuildNumberString(capped.entries, m_panel->verificationOn(),
                                                      m_panel->verificationNumber());
        const Credentials credentials =
            m_credentials ? m_credentials->currentCredentials() : Credentials{};
        const std::string title = StripLineBreaks(titleText());
        const std::string wirePath = GbkFromQString(FileEdit->text());
        outcome = RunMmsSend(filePath(), [&](const std::string& bytes) {
            return SendMms(credentials.context, credentials.userName, credentials.password, numbers,
                           title, wirePath, bytes);
        });
    } catch (const std::exception&) {
        closeProgressWindow();
        return;
    }
    if (outcome.refusal != MmsRefusal::None) {
        closeProgressWindow();
        tellGbk(this, MmsRefusalMessage(outcome.refusal));
        return;
    }
    if (const std::optional<std::string> quota = QuotaTextOf(outcome.answer);
        quota && m_quotaHandler)
        m_quotaHandler(QStringFromGbk(*quota));
    std::string historyError;
    const bool recorded = AnswerCode(outcome.answer) != "7" ||
                          RecordDailyCapSend(capped, std::time(nullptr), &historyError);
    closeProgressWindow();
    if (const std::optional<std::string> message = MmsAnswerMessage(outcome.answer))
        tell(this, QStringFromGbk(WithCappedSkipped(WithOptOutSkipped(*message, optOut.skipped),
                                                    capped.leftOut)));
    if (!recorded)
        ShowMessage(this, QString::fromStdString(historyError), QStringLiteral("提醒"));
}

}  // namespace smsc
