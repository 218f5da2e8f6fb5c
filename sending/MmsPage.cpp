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

#include <exception>

#include "compliance/Compliance.h"
#include "compliance/ComplianceDialog.h"
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

MmsPage::MmsPage(QWidget* parent)
    : QWidget(parent), m_steps(this, PanelKind::Mms, &TForm15::Timer2) {
    setObjectName(QStringLiteral("MmsPage"));
    m_panel = m_steps.panel();

    TitleCaption = redLabel(QStringLiteral("彩信标题（最长为30个字符）"),
                            QStringLiteral("TitleCaption"), this);
    LengthLabel = m_steps.newLengthLabel();
    Memo2 = m_steps.newEditor(QStringLiteral("Memo2"));
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
    BackButton = m_steps.newBackButton();

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
}

MmsPage::~MmsPage() = default;

void MmsPage::setProgressWindow(TForm15* window) {
    m_steps.setProgressWindow(window);
    if (window)
        window->setTimer2Handler([this] { MmsTimerTick(); });
}

void MmsPage::showCostNote(const QString& note) {
    CostNoteLabel->setText(note);
    if (const std::optional<long long> units = UnitsOfCostNote(GbkFromQString(note))) {
        m_unitsPerMms = *units;
        m_plan->schedule();
    }
}

std::string MmsPage::titleText() const {
    return EditorTextGbk(*Memo2);
}

void MmsPage::setTitleText(const std::string& gbk) {
    SetEditorTextGbk(*Memo2, gbk);
}

std::string MmsPage::filePath() const {
    return nativePath(FileEdit->text());
}

void MmsPage::titleChanged() {
    std::string title = titleText();
    if (TextLength(title) > kMaxMmsTitleLength) {
        m_steps.tell(QStringLiteral("彩信标题超过30字，系统将保留前30个文字信息"));
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
        m_steps.tellGbk(MmsRefusalMessage(MmsRefusal::BadFilePath));
        FileEdit->clear();
        return;
    }
    if (FileSizeOf(m_lastChosen) > kMaxMmsFileBytes) {
        m_steps.tellGbk(MmsRefusalMessage(MmsRefusal::FileTooLarge));
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
    m_steps.tell(QStringLiteral("Velmaro制作软件未安装，安装后可以制作彩信"));
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
        m_steps.tellGbk(MmsRefusalMessage(refusal));
        if (refusal == MmsRefusal::VerificationInvalid)
            m_panel->VerifyEdit->clear();
        return;
    }
    // Characters GBK cannot carry would arrive as "?": named and refused.
    if (const std::vector<std::string> chars =
            UnsendableCharacters(Memo2->toPlainText().toStdString());
        !chars.empty()) {
        Memo2->setFocus();
        m_steps.tell(QString::fromStdString(UnsendableMessage("彩信标题", chars)));
        return;
    }
    if (!titleCheckAllowsSend())
        return;
    if (!m_steps.optOutAllowsSend())
        return;
    if (!m_plan->confirmQuota(this))
        return;
    m_steps.armProgressWindow();
}

bool MmsPage::titleCheckAllowsSend() {
    // The title's check: words, symbols, links and the hours of the default kind (the
    // content is an opaque file). With [Compliance] set every finding is shown.
    const ComplianceSettings settings = LoadComplianceSettings(DataPath("Company_Info.ini"));
    const ComplianceReport report = CheckMmsTitle(
        Memo2->toPlainText().toStdString(), {settings, settings.defaultKind, LocalMinuteOfDay()},
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

void MmsPage::MmsTimerTick() {
    if (!m_steps.startTick())
        return;
    if (m_panel->RecipientCount() == 0) {
        m_steps.closeProgressWindow();
        m_steps.tell(QStringLiteral("要发送彩信的号码为空，请添加发送号码"));
        return;
    }
    const std::optional<SendAudience> audience = m_steps.audience();
    if (!audience)
        return;
    MmsSendOutcome outcome;
    try {
        const Credentials credentials = m_steps.credentials();
        const std::string title = StripLineBreaks(titleText());
        const std::string wirePath = GbkFromQString(FileEdit->text());
        outcome = RunMmsSend(filePath(), [&](const std::string& bytes) {
            return SendMms(credentials.context, credentials.userName, credentials.password,
                           audience->numbers, title, wirePath, bytes);
        });
    } catch (const std::exception&) {
        m_steps.closeProgressWindow();
        return;
    }
    if (outcome.refusal != MmsRefusal::None) {
        m_steps.closeProgressWindow();
        m_steps.tellGbk(MmsRefusalMessage(outcome.refusal));
        return;
    }
    m_steps.finishTick(outcome.answer, MmsAnswerMessage(outcome.answer), *audience);
}

}  // namespace smsc
