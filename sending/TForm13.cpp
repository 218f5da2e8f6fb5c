#include "sending/TForm13.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "compliance/Compliance.h"
#include "compliance/ComplianceDialog.h"
#include "platform/ClipPlayer.h"
#include "platform/DataDir.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "service/Credentials.h"
#include "service/ServiceClient.h"
#include "sending/SmsSend.h"
#include "sending/TForm15.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

void remind(QWidget* parent, const QString& text) {
    ShowMessage(parent, text, QStringLiteral("提醒"));
}

}  // namespace

TForm13::TForm13(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm13"));
    setWindowTitle(QStringLiteral("短信回复"));
    setModal(true);
    resize(420, 330);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Label2 = new QLabel(QStringLiteral("回复号码："), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Memo2 = new QPlainTextEdit(this);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setTabChangesFocus(true);  // a typed tab would count as a character of the reply
    auto* note = new QLabel(QStringLiteral("单条中短信息允许发送信息文字总长度为70字  "), this);
    note->setProperty("skinNote", true);  // red, as readable in every skin
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("短信内容："), this));
    layout->addWidget(Memo1, 1);
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(Label2, 1);
    numberRow->addWidget(Label3);
    layout->addLayout(numberRow);
    layout->addWidget(new QLabel(QStringLiteral("回复内容："), this));
    layout->addWidget(Memo2, 1);
    layout->addWidget(note);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);

    connect(Memo2, &QPlainTextEdit::textChanged, this, &TForm13::updateLengthCaption);
    connect(Button1, &QPushButton::clicked, this, &TForm13::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    updateLengthCaption();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

TForm13::~TForm13() = default;

void TForm13::setProgressWindow(TForm15* window) {
    m_progress = window;
    if (m_progress)
        m_progress->setTimer3Handler([this] { ReplyTimerTick(); });
}

std::string TForm13::replyText() const {
    QString text = Memo2->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return GbkFromQString(text);
}

void TForm13::updateLengthCaption() {
    Label3->setText(QStringFromGbk(LengthCaption(replyText())));
}

void TForm13::openReply(const std::string& receivedText, const std::string& number,
                        bool clearReply) {
    QString received = QStringFromGbk(receivedText);
    received.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo1->setPlainText(received);
    m_number = number;
    Label2->setText(QStringLiteral("回复号码：") + QStringFromGbk(number));
    if (clearReply)
        Memo2->clear();
    Memo2->setFocus();
    Ui().execDialog(this);
}

void TForm13::Button1Click() {
    const std::string text = replyText();
    // Blanks, tabs and line breaks alone are empty too: they would be charged as a reply.
    if (TextLength(StripLineBreaks(text)) == 0 || IsBlankText(text)) {
        remind(this, QStringLiteral("要发送的短信内容不能为空！"));
        Memo2->setFocus();
        return;
    }
    // Characters GBK cannot carry would arrive as "?": named and refused.
    if (const std::vector<std::string> chars =
            UnsendableCharacters(Memo2->toPlainText().toStdString());
        !chars.empty()) {
        remind(this, QString::fromStdString(UnsendableMessage("短信内容", chars)));
        Memo2->setFocus();
        return;
    }
    if (TextLength(text) > kSmsLength) {
        remind(this, QStringLiteral("要发送的短信内容长度超过70个字！"));
        Memo2->setFocus();
        return;
    }
    // With [Compliance] set a reply is checked like a notice of the SMS page, and goes out
    // as it would: its signature added, still within one SMS.
    std::string outgoing = text;
    const ComplianceSettings settings = LoadComplianceSettings(DataPath("Company_Info.ini"));
    if (settings.configured) {
        const ComplianceReport report =
            CheckSmsGbk(text, {settings, MessageKind::Notice, LocalMinuteOfDay()},
                        LoadComplianceLists(DataDir()));
        if (!report.outgoing.empty())
            outgoing = report.outgoing;
        if (!report.findings.empty()) {
            ComplianceDialog dialog(this);
            dialog.showReport(report, {StripLineBreaks(outgoing)});
            if (Ui().execDialog(&dialog) != QDialog::Accepted || report.blocks()) {
                Memo2->setFocus();
                return;
            }
        }
        if (TextLength(outgoing) > kSmsLength) {
            remind(this, QStringLiteral("要发送的短信内容长度超过70个字！"));
            Memo2->setFocus();
            return;
        }
    }
    if (!m_progress) {
        remind(this, QStringLiteral("程序文件丢失，请重新安装。"));
        return;
    }
    m_pending = Reply{m_number, outgoing};
    m_progress->show();
    if (!m_progress->Timer3->isActive())
        m_progress->Timer3->start();
}

void TForm13::ReplyTimerTick() {
    if (!m_progress)
        return;
    m_progress->Timer3->stop();
    if (!m_pending)
        return;
    const Reply reply = std::move(*m_pending);
    m_pending.reset();
    const Credentials credentials =
        m_credentials ? m_credentials->currentCredentials() : Credentials{};
    const std::string answer = SendMessage(credentials.context, credentials.userName,
                                           credentials.password, reply.number, reply.text);
    if (const std::optional<std::string> quota = QuotaTextOf(answer); quota && m_quotaHandler)
        m_quotaHandler(QStringFromGbk(*quota));
    m_progress->Animate1->stop();
    m_progress->hide();
    if (const std::optional<std::string> message = SmsAnswerMessage(answer))
        ShowMessage(this, QStringFromGbk(*message), QStringLiteral("提示"));
    if (isVisible())
        done(QDialog::Accepted);
}

}  // namespace smsc
