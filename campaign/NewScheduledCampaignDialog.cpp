#include "campaign/NewScheduledCampaignDialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <ctime>

#include "campaign/CampaignNumbers.h"
#include "campaign/DueCampaigns.h"
#include "compliance/Compliance.h"
#include "compliance/ComplianceSettings.h"
#include "optout/OptOutList.h"
#include "platform/DataDir.h"
#include "platform/Gbk.h"
#include "platform/QtText.h"
#include "platform/TextHelpers.h"
#include "platform/UiSeam.h"
#include "recipients/ImportSources.h"
#include "recipients/ImportTally.h"
#include "recipients/PhoneRules.h"

namespace smsc {

using namespace smsc::campaign;

NewScheduledCampaignDialog::NewScheduledCampaignDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("NewScheduledCampaignDialog"));
    setWindowTitle(QStringLiteral("新建定时任务"));
    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    NameEdit = named(new QLineEdit(this), "NameEdit");
    PageNumbersButton = named(new QRadioButton(this), "PageNumbersButton");
    FileNumbersButton =
        named(new QRadioButton(QStringLiteral("号码文件："), this), "FileNumbersButton");
    FileEdit = named(new QLineEdit(this), "FileEdit");
    BrowseButton = named(new QPushButton(QStringLiteral("浏览…"), this), "BrowseButton");
    TextView = named(new QPlainTextEdit(this), "TextView");
    TextView->setReadOnly(true);
    AtEdit = named(new QLineEdit(this), "AtEdit");
    AtEdit->setPlaceholderText(QStringLiteral("YYYY-MM-DD HH:MM"));
    WindowEdit = named(new QLineEdit(this), "WindowEdit");
    WindowEdit->setPlaceholderText(QStringLiteral("HH:MM-HH:MM"));
    MarketingBox = named(new QCheckBox(QStringLiteral("营销短信"), this), "MarketingBox");
    CreateButton = named(new QPushButton(QStringLiteral("创建"), this), "CreateButton");
    CloseButton = named(new QPushButton(QStringLiteral("取消"), this), "CloseButton");
    for (QPushButton* b : {BrowseButton, CreateButton, CloseButton})
        b->setAutoDefault(false);

    auto* file = new QHBoxLayout;
    file->addWidget(FileNumbersButton);
    file->addWidget(FileEdit, 1);
    file->addWidget(BrowseButton);
    auto* numbers = new QVBoxLayout;
    numbers->addWidget(PageNumbersButton);
    numbers->addLayout(file);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("任务名称："), NameEdit);
    form->addRow(QStringLiteral("发送号码："), numbers);
    form->addRow(QStringLiteral("短信内容："), TextView);
    form->addRow(QStringLiteral("发送时间："), AtEdit);
    form->addRow(QStringLiteral("发送时段："), WindowEdit);
    form->addRow(QString(), MarketingBox);
    auto* note = new QLabel(
        QStringLiteral("发送时段留空则全天可发；营销短信留空时按检查设置中的营销时段发送。"), this);
    note->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CreateButton);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addLayout(buttons);
    resize(520, 420);

    connect(BrowseButton, &QPushButton::clicked, this, &NewScheduledCampaignDialog::BrowseClick);
    connect(CreateButton, &QPushButton::clicked, this, &NewScheduledCampaignDialog::CreateClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool NewScheduledCampaignDialog::openDialog() {
    const std::vector<std::string> entries =
        m_source.entries ? m_source.entries() : std::vector<std::string>{};
    const qsizetype count = static_cast<qsizetype>(SplitAtNumberSeparators(entries).size());
    PageNumbersButton->setText(QStringLiteral("短信发送页的号码（%1个）").arg(count));
    (count > 0 ? PageNumbersButton : FileNumbersButton)->setChecked(true);
    TextView->setPlainText(QStringFromGbk(m_source.text ? m_source.text() : std::string()));
    MarketingBox->setChecked(m_source.marketing && m_source.marketing());
    if (AtEdit->text().isEmpty()) {
        // The next full hour, a time the user only has to check.
        const std::time_t hour = (std::time(nullptr) / 3600 + 1) * 3600;
        AtEdit->setText(QString::fromStdString(LocalTimeText(static_cast<long long>(hour))));
    }
    return Ui().execDialog(this) == QDialog::Accepted;
}

void NewScheduledCampaignDialog::BrowseClick() {
    const QString path = Ui().openFileName(this, QStringLiteral("选择号码文件"),
                                           QStringLiteral("文本文件 (*.txt);;所有文件 (* *.*)"));
    if (path.isEmpty())
        return;
    FileEdit->setText(path);
    FileNumbersButton->setChecked(true);
}

void NewScheduledCampaignDialog::refuse(const QString& text) {
    ShowMessage(this, text, QStringLiteral("提醒"));
}

std::optional<std::vector<std::string>> NewScheduledCampaignDialog::numbers(
    std::string* fileSummary) {
    CampaignNumbers numbers;
    if (PageNumbersButton->isChecked()) {
        // An entry holding several numbers ("a|b") is each of them.
        for (std::string& n : SplitAtNumberSeparators(
                 m_source.entries ? m_source.entries() : std::vector<std::string>{}))
            if (IsDigits1To12(n))
                numbers.addNumber(std::move(n));
    } else {
        const std::string path = FileEdit->text().toStdString();
        std::optional<std::string> bytes =
            path.empty() ? std::nullopt : ReadWholeFile(path, kMaxTextFileBytes);
        if (!bytes) {
            refuse(QStringLiteral("无法读取号码文件：%1").arg(FileEdit->text()));
            return std::nullopt;
        }
        const ImportTally tally = numbers.addText(TextFileBytesAsGbk(std::move(*bytes)));
        if (tally.leftOut())
            *fileSummary = ImportSummary(tally);
    }
    if (numbers.size() == 0) {
        refuse(QStringFromGbk(G("发送对象数目为0请添加发送对象")));
        return std::nullopt;
    }
    return numbers.take();
}

void NewScheduledCampaignDialog::CreateClick() {
    const std::string name = NameEdit->text().trimmed().toStdString();
    if (name.empty() || !IsValidCampaignName(name)) {
        refuse(QStringLiteral("任务名称只能是普通的文件名（不含 /、\\、..，不以 . 开头）。"));
        NameEdit->setFocus();
        return;
    }
    const std::string dataDir = DataDir();
    if (CampaignNameTaken(dataDir, name)) {
        refuse(
            QStringLiteral("定时任务“%1”已经存在，请换一个名称。").arg(NameEdit->text().trimmed()));
        return;
    }
    const std::optional<long long> at = ParseLocalTime(AtEdit->text().trimmed().toStdString());
    if (!at) {
        refuse(QStringLiteral("发送时间的格式应为“YYYY-MM-DD HH:MM”，例如 2026-12-10 09:00。"));
        AtEdit->setFocus();
        return;
    }
    const std::string windowText = WindowEdit->text().trimmed().toStdString();
    const std::optional<std::pair<int, int>> window =
        windowText.empty() ? std::nullopt : ParseHours(windowText);
    if (!windowText.empty() && !window) {
        refuse(QStringLiteral("发送时段的格式应为“HH:MM-HH:MM”，例如 08:00-21:00。"));
        WindowEdit->setFocus();
        return;
    }
    const std::string text = m_source.text ? m_source.text() : std::string();
    if (TextLength(text) == 0 || IsBlankText(text)) {
        refuse(QStringFromGbk(G("要发送的短信内容不能为空")));
        return;
    }
    if (m_source.blocked && m_source.blocked()) {
        refuse(QStringLiteral("短信内容未通过发送前检查，请先在短信发送页修改。"));
        return;
    }
    const std::optional<std::string> user = m_source.user ? m_source.user() : std::nullopt;
    if (!user) {
        refuse(QStringLiteral("请先登录服务器，定时任务用登录的帐户发送。"));
        return;
    }
    std::string fileSummary;
    const std::optional<std::vector<std::string>> chosen = numbers(&fileSummary);
    if (!chosen)
        return;

    CampaignSettings settings;
    settings.user = *user;
    settings.text = text;
    settings.created = static_cast<long long>(std::time(nullptr));
    const ComplianceSettings compliance = LoadComplianceSettings(dataDir + "Company_Info.ini");
    const CampaignSchedule schedule =
        StartSchedule(at, window, MarketingBox->isChecked(), compliance);
    const StartedJournal started = StartSmsCampaign(dataDir, name, settings, *chosen, schedule);
    if (started.result != StartedJournal::Result::Started) {
        refuse(started.result == StartedJournal::Result::Taken
                   ? QStringLiteral("定时任务“%1”已经存在，请换一个名称。")
                         .arg(QString::fromStdString(name))
                   : QStringLiteral("无法创建定时任务：%1")
                         .arg(QString::fromStdString(started.error)));
        return;
    }
    QString done = QStringLiteral("定时任务“%1”已创建：%2个号码，分%3批，将于%4开始发送")
                       .arg(QString::fromStdString(name))
                       .arg(chosen->size())
                       .arg(started.journal->batchCount())
                       .arg(QString::fromStdString(LocalTimeText(*at)));
    if (schedule.hasWindow())
        done += QStringLiteral("（每天%1）")
                    .arg(QString::fromStdString(HoursText(schedule.windowFrom, schedule.windowTo)));
    done += QStringLiteral("。");
    // What the file gave and what it left, as an import says it.
    if (!fileSummary.empty())
        done += QStringLiteral("\n号码文件") + QStringFromGbk(fileSummary);
    ShowMessage(this, done, QStringLiteral("提示"));
    NameEdit->clear();
    accept();
}

}  // namespace smsc
