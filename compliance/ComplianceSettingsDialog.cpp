#include "compliance/ComplianceSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "compliance/Compliance.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"

namespace smsc {

ComplianceSettingsDialog::ComplianceSettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ComplianceSettingsDialog"));
    setWindowTitle(QStringLiteral("发送前检查设置"));
    setMinimumWidth(440);

    SignatureEdit = new QLineEdit(this);
    SignatureEdit->setObjectName(QStringLiteral("SignatureEdit"));
    SignatureEdit->setPlaceholderText(QStringLiteral("【公司简称】"));
    AutoSignatureBox = new QCheckBox(QStringLiteral("短信开头没有签名时自动加上"), this);
    AutoSignatureBox->setObjectName(QStringLiteral("AutoSignatureBox"));
    KindBox = new QComboBox(this);
    KindBox->setObjectName(QStringLiteral("KindBox"));
    KindBox->addItems({QStringLiteral("通知"), QStringLiteral("营销")});
    UnsubscribeEdit = new QLineEdit(this);
    UnsubscribeEdit->setObjectName(QStringLiteral("UnsubscribeEdit"));
    AutoUnsubscribeBox = new QCheckBox(QStringLiteral("营销短信末尾自动加上退订语"), this);
    AutoUnsubscribeBox->setObjectName(QStringLiteral("AutoUnsubscribeBox"));
    HoursEdit = new QLineEdit(this);
    HoursEdit->setObjectName(QStringLiteral("HoursEdit"));
    HoursEdit->setPlaceholderText(QStringLiteral("08:00-21:00"));
    ListsLabel = new QLabel(this);
    ListsLabel->setObjectName(QStringLiteral("ListsLabel"));
    ListsLabel->setWordWrap(true);
    OkButton = new QPushButton(QStringLiteral("确定"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    CancelButton = new QPushButton(QStringLiteral("取消"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("短信签名："), SignatureEdit);
    form->addRow(QString(), AutoSignatureBox);
    form->addRow(QStringLiteral("默认类型："), KindBox);
    form->addRow(QStringLiteral("退订语："), UnsubscribeEdit);
    form->addRow(QString(), AutoUnsubscribeBox);
    form->addRow(QStringLiteral("营销短信发送时段："), HoursEdit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ListsLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    layout->addLayout(buttons);

    connect(OkButton, &QPushButton::clicked, this, &ComplianceSettingsDialog::OkClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool ComplianceSettingsDialog::openDialog(const std::string& companyInfoPath,
                                          const std::string& dataDir) {
    m_path = companyInfoPath;
    m_dataDir = dataDir;
    const ComplianceSettings s = LoadComplianceSettings(companyInfoPath);
    SignatureEdit->setText(QStringFromGbk(s.signature));
    AutoSignatureBox->setChecked(s.autoSignature);
    KindBox->setCurrentIndex(s.defaultKind == MessageKind::Marketing ? 1 : 0);
    UnsubscribeEdit->setText(QStringFromGbk(s.unsubscribeText));
    AutoUnsubscribeBox->setChecked(s.autoUnsubscribe);
    HoursEdit->setText(QString::fromStdString(HoursText(s.hoursFrom, s.hoursTo)));
    ListsLabel->setText(
        QStringLiteral("敏感词表：%1\n短链接网址表：%2\n（GBK文本，每行一个，可自行编辑）")
            .arg(QString::fromStdString(dataDir + kWordsFile),
                 QString::fromStdString(dataDir + kShortLinksFile)));
    return Ui().execDialog(this) == QDialog::Accepted;
}

bool ComplianceSettingsDialog::OkClick() {
    auto refuse = [this](const QString& text, QWidget* field) {
        ShowMessage(this, text, QStringLiteral("提醒"));
        field->setFocus();
        return false;
    };
    ComplianceSettings s;
    const QString signature = SignatureEdit->text().trimmed();
    s.signature = GbkFromQString(signature);
    if (!signature.isEmpty() &&
        (!UnsendableCharacters(signature.toStdString()).empty() || !IsValidSignature(s.signature)))
        return refuse(QStringLiteral("短信签名应为【】括起的2到12个字，如【星河科技】"),
                      SignatureEdit);
    s.autoSignature = AutoSignatureBox->isChecked();
    s.defaultKind = KindBox->currentIndex() == 1 ? MessageKind::Marketing : MessageKind::Notice;
    const QString unsubscribe = UnsubscribeEdit->text().trimmed();
    if (unsubscribe.isEmpty() || !UnsendableCharacters(unsubscribe.toStdString()).empty())
        return refuse(QStringLiteral("退订语不能为空，也不能含有无法发送的字符"), UnsubscribeEdit);
    s.unsubscribeText = GbkFromQString(unsubscribe);
    s.autoUnsubscribe = AutoUnsubscribeBox->isChecked();
    const auto hours = ParseHours(HoursEdit->text().toStdString());
    if (!hours)
        return refuse(QStringLiteral("营销短信发送时段的格式应为08:00-21:00"), HoursEdit);
    s.hoursFrom = hours->first;
    s.hoursTo = hours->second;
    // The daily cap has no field here: it keeps what the file holds.
    s.maxPerNumberPerDay = LoadComplianceSettings(m_path).maxPerNumberPerDay;
    if (!SaveComplianceSettings(m_path, s)) {
        ShowMessage(this, QStringLiteral("设置无法保存，请检查Company_Info.ini是否可写"),
                    QStringLiteral("提示"));
        return false;
    }
    LoadComplianceLists(m_dataDir);  // creates the lists when missing, for the user to edit
    accept();
    return true;
}

}  // namespace smsc
