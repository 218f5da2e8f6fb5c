#include "recipients/TForm6.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/FieldFilters.h"
#include "recipients/NumberEntries.h"
#include "recipients/PhoneRules.h"
#include "recipients/RecipientPanel.h"

namespace smsc {
namespace {

QLineEdit* numberField(QWidget* parent, const QString& name, int maxLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    DigitKeyFilter::installOn(edit);
    return edit;
}

}  // namespace

TForm6::TForm6(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("产生连续接收号码"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("起始号码："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = numberField(this, QStringLiteral("Edit1"), 11);
    Label2 = new QLabel(QStringLiteral("生成个数："), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Edit2 = numberField(this, QStringLiteral("Edit2"), 4);
    CheckBox1 = new QCheckBox(QStringLiteral("末尾尾数必须是："), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    Edit3 = numberField(this, QStringLiteral("Edit3"), 1);
    Edit3->setEnabled(false);
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(CheckBox1, 2, 0);
    grid->addWidget(Edit3, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(CheckBox1, &QCheckBox::toggled, this, &TForm6::lastDigitBoxToggled);
    m_leaveWatcher = OnFieldLeft(Edit3, [this] { lastDigitFieldLeft(); });
    connect(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(300, 160);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width() + 1) / 2,
             area.y() + (area.height() - height() + 1) / 2);
    }
}

// The field outlives this part of the dialog; its last focus change must not come back here.
TForm6::~TForm6() {
    delete m_leaveWatcher;
}

void TForm6::showFor(RecipientPanel* target, std::vector<RecipientPanel*> panels) {
    m_target = target;
    m_panels = std::move(panels);
    Ui().execDialog(this);
    resetAfterClose();
}

void TForm6::resetAfterClose() {
    Edit1->clear();
    Edit2->clear();
    Edit3->clear();
    Edit3->setEnabled(true);
    // On the SMS page the box is unticked too (which disables the field again); on the MMS
    // page it keeps its tick.
    if (m_target && m_target->kind() == PanelKind::Sms)
        CheckBox1->setChecked(false);
    CheckBox1->setEnabled(true);
}

void TForm6::lastDigitBoxToggled(bool on) {
    Edit3->setEnabled(on);
    Edit3->clear();
    if (on)
        Edit3->setFocus();
}

void TForm6::lastDigitFieldLeft() {
    if (Edit3->text().isEmpty())
        ShowMessage(this, QStringLiteral("尾数不能为空，请输入号码尾数"), QStringLiteral("提醒"));
}

void TForm6::abandon() {
    if (m_target)
        m_target->Progress->setVisible(false);
    accept();
}

void TForm6::Button1Click() {
    const std::string lastDigit = TrimBlanks(GbkFromQString(Edit3->text()));
    if (CheckBox1->isChecked() && lastDigit.empty()) {
        ShowMessage(this, QStringLiteral("尾数不能为空，请输入号码尾数"), QStringLiteral("提醒"));
        return;
    }
    const std::string start = GbkFromQString(Edit1->text());
    const std::string trimmedStart = TrimBlanks(start);
    if (!IsMobileNumber(trimmedStart)) {
        ShowMessage(this,
                    trimmedStart.empty() ? QStringLiteral("起始号码输入不能为空！")
                                         : QStringLiteral("请输入正确的11位起始号码手机号"),
                    QStringLiteral("提醒"));
        return;
    }
    RecipientPanel* panel = m_target;
    if (!panel) {
        reject();
        return;
    }
    panel->Progress->setValue(0);
    panel->Progress->setVisible(true);
    if (!IsDigits1To12(start)) {
        ShowMessage(this, QStringLiteral("起始号码输入错误，请核对！"), PlainMessageCaption(),
                    MsgIcon::None);
        panel->Progress->setVisible(false);
        return;
    }
    // A count of exactly "0" makes one number.
    const bool zero = Edit2->text() == QStringLiteral("0");
    const std::string countText = zero ? std::string("1") : GbkFromQString(Edit2->text());
    if (!zero && TrimBlanks(countText).empty()) {
        ShowMessage(this, QStringLiteral("生成个数不能为空！"), QStringLiteral("提醒"));
        panel->Progress->setVisible(false);
        return;
    }

    panel->SetRecipientStatus(QStringLiteral("开始导入号码，请稍后........"));
    const std::optional<long long> count = ParseWholeNumber(countText);
    std::optional<std::vector<std::string>> numbers = GenerateNumberRange(
        start, countText,
        CheckBox1->isChecked() ? std::optional<char>(lastDigit[0]) : std::nullopt);
    VerificationCopy copy;
    const VerificationState verification = panel->readVerification(&copy);
    if (!count || !numbers || verification == VerificationState::BadInterval) {
        abandon();
        return;
    }
    panel->Progress->setMaximum(static_cast<int>(std::clamp<long long>(*count, 0, INT_MAX)));
    std::vector<std::string> entries = verification == VerificationState::On
                                           ? InterleaveVerification(*numbers, copy)
                                           : std::move(*numbers);
    const long long steps = static_cast<long long>(entries.size());
    panel->AddRecipients(std::move(entries));
    panel->StepProgress(steps);

    panel->SetRecipientStatus(QStringLiteral("导入号码完毕。"));
    panel->ShowRecipientCount(false);
    panel->Progress->setVisible(false);
    for (RecipientPanel* each : m_panels) {
        if (each)
            each->UpdateSendButton();
    }
    accept();
}

}  // namespace smsc
