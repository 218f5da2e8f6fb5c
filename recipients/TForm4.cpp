#include "recipients/TForm4.h"

#include <algorithm>
#include <climits>

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/PhoneRules.h"
#include "recipients/RecipientPanel.h"
#include "recipients/UnrecognisedLinesDialog.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

const QString kNote = QStringLiteral("注：每行输入一个手机号码，每个号码回车结尾。");

// The field's text with CR LF line ends, as GBK.
std::string memoText(const QPlainTextEdit* memo) {
    QString text = memo->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return GbkFromQString(text);
}

}  // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("输入短信接收号码"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("短信接收号码："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Label2 = new QLabel(kNote, this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Memo1, 1);
    layout->addWidget(Label2);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(320, 360);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width() + 1) / 2,
             area.y() + (area.height() - height() + 1) / 2);
    }
}

TForm4::~TForm4() = default;

void TForm4::showFor(RecipientPanel* target) {
    m_target = target;
    Label2->setText(kNote);
    Memo1->clear();
    Ui().execDialog(this);
}

void TForm4::Button1Click() {
    const bool filter = Confirm(this, QStringLiteral("是否过滤重复号码？"), QStringLiteral("提醒"));
    // Whatever line ends the text holds (a pasted lone CR included), one line is one piece.
    const std::string text = LineEndsAsCr(memoText(Memo1));
    const std::vector<std::string> pieces =
        filter ? SplitLinesUnique(text, "\r") : SplitBySeparator(text, "\r");
    accept();

    RecipientPanel* panel = m_target;
    if (!panel)
        return;
    panel->Progress->setValue(0);
    panel->Progress->setVisible(true);
    panel->SetRecipientStatus(QStringLiteral("开始导入号码，请稍后........"));
    panel->Progress->setMaximum(static_cast<int>(std::min<size_t>(pieces.size(), INT_MAX)));

    VerificationCopy copy;
    const VerificationState state = panel->readVerification(&copy);
    if (state == VerificationState::BadInterval) {
        // runAddItem refuses such an interval before the dialog opens; this is only a guard.
        panel->Progress->setVisible(false);
        return;
    }
    EntriesToAdd add = TypedNumberEntries(
        pieces, state == VerificationState::On ? std::optional(copy) : std::nullopt);
    panel->AddRecipients(std::move(add.entries));
    panel->StepProgress(add.steps);

    // Repeats dropped by the filter: non-blank lines typed less the non-blank pieces kept.
    const long long typedLines = CountNonBlankLines(text);
    add.tally.duplicates = typedLines - add.tally.lines;
    add.tally.lines = typedLines;

    panel->ShowRecipientCount(false);
    // Only a filter that ran is reported as such (the status used to claim it after 取消 too).
    panel->SetRecipientStatus(filter ? QStringLiteral("导入号码完毕,已过滤重复号码")
                                     : QStringLiteral("导入号码完毕"));
    panel->UpdateSendButton();
    panel->Progress->setVisible(false);
    ReportImportLeftOut(panel->page(), add.tally);
}

}  // namespace smsc
