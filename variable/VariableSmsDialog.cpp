#include "variable/VariableSmsDialog.h"

#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>

#include "addressbook/ContactBook.h"
#include "campaign/CampaignJournal.h"
#include "campaign/CampaignLock.h"
#include "campaign/CampaignRun.h"
#include "optout/OptOutList.h"
#include "platform/DataDir.h"
#include "platform/Gbk.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "sending/SendPlan.h"
#include "sending/SmsSend.h"
#include "platform/TextHelpers.h"
#include "service/Credentials.h"
#include "service/ServiceClient.h"

namespace smsc {
namespace {

using namespace smsc::campaign;

// Findings listed at most; the rest are counted in one last line.
constexpr int kListedFindings = 5000;

void tell(QWidget* parent, const QString& text, const QString& caption = QStringLiteral("提示")) {
    ShowMessage(parent, text, caption, MsgIcon::Information);
}

QString g(const std::string& gbk) {
    return QStringFromGbk(gbk);
}

}  // namespace

VariableSmsDialog::VariableSmsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("VariableSmsDialog"));
    setWindowTitle(QStringLiteral("个性短信"));
    resize(760, 640);

    TableEdit = new QLineEdit(this);
    TableEdit->setObjectName(QStringLiteral("TableEdit"));
    TableEdit->setReadOnly(true);
    TableEdit->setPlaceholderText(
        QStringLiteral("Excel表格（.xlsx、.xls、.ods）、.csv或文本文件，第一行是列名"));
    TableButton = new QPushButton(QStringLiteral("选择表格…"), this);
    TableButton->setObjectName(QStringLiteral("TableButton"));
    GroupBox = new QComboBox(this);
    GroupBox->setObjectName(QStringLiteral("GroupBox"));
    GroupBox->setMinimumWidth(140);
    NumberColumnBox = new QComboBox(this);
    NumberColumnBox->setObjectName(QStringLiteral("NumberColumnBox"));
    NumberColumnBox->setMinimumWidth(120);
    EmptyCellBox = new QComboBox(this);
    EmptyCellBox->setObjectName(QStringLiteral("EmptyCellBox"));
    EmptyCellBox->addItems({QStringLiteral("跳过该行"), QStringLiteral("留空")});
    TemplateEdit = new QPlainTextEdit(this);
    TemplateEdit->setObjectName(QStringLiteral("TemplateEdit"));
    TemplateEdit->setPlaceholderText(QStringLiteral("例如：尊敬的{姓名}，您的订单{订单号}已发货"));
    TemplateEdit->setMaximumHeight(90);
    FieldBar = new QWidget(this);
    FieldBar->setObjectName(QStringLiteral("FieldBar"));
    new QHBoxLayout(FieldBar);
    FieldBar->layout()->setContentsMargins(0, 0, 0, 0);
    FindingsList = new QTreeWidget(this);
    FindingsList->setObjectName(QStringLiteral("FindingsList"));
    FindingsList->setHeaderLabels({QStringLiteral("行"), QStringLiteral("问题"),
                                   QStringLiteral("内容"), QStringLiteral("处理")});
    FindingsList->setRootIsDecorated(false);
    FindingsList->setUniformRowHeights(true);
    FindingsList->header()->setStretchLastSection(false);
    FindingsList->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    FindingsList->setColumnWidth(0, 60);
    FindingsList->setColumnWidth(1, 150);
    FindingsList->setColumnWidth(3, 70);
    RowBox = new QSpinBox(this);
    RowBox->setObjectName(QStringLiteral("RowBox"));
    RowBox->setPrefix(QStringLiteral("第"));
    RowBox->setSuffix(QStringLiteral("行"));
    RowBox->setRange(0, 0);
    PreviewEdit = new QPlainTextEdit(this);
    PreviewEdit->setObjectName(QStringLiteral("PreviewEdit"));
    PreviewEdit->setReadOnly(true);
    PreviewEdit->setMaximumHeight(70);
    PreviewLabel = new QLabel(this);
    PreviewLabel->setObjectName(QStringLiteral("PreviewLabel"));
    TotalsLabel = new QLabel(this);
    TotalsLabel->setObjectName(QStringLiteral("TotalsLabel"));
    TotalsLabel->setWordWrap(true);
    NameEdit = new QLineEdit(QStringLiteral("个性短信") + QDateTime::currentDateTime().toString(
                                                              QStringLiteral("yyyyMMdd-HHmmss")),
                             this);
    NameEdit->setObjectName(QStringLiteral("NameEdit"));
    ProgressLabel = new QLabel(this);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    SendButton = new QPushButton(QStringLiteral("发送"), this);
    SendButton->setObjectName(QStringLiteral("SendButton"));
    CloseButton = new QPushButton(QStringLiteral("关闭"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    RefreshTimer = new QTimer(this);
    RefreshTimer->setObjectName(QStringLiteral("RefreshTimer"));
    RefreshTimer->setSingleShot(true);
    RefreshTimer->setInterval(300);

    auto* layout = new QVBoxLayout(this);
    auto* tableRow = new QHBoxLayout;
    tableRow->addWidget(new QLabel(QStringLiteral("表格："), this));
    tableRow->addWidget(TableEdit, 1);
    tableRow->addWidget(TableButton);
    tableRow->addSpacing(16);
    tableRow->addWidget(new QLabel(QStringLiteral("通讯录分组："), this));
    tableRow->addWidget(GroupBox);
    layout->addLayout(tableRow);
    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(new QLabel(QStringLiteral("号码列："), this));
    optionRow->addWidget(NumberColumnBox);
    optionRow->addSpacing(16);
    optionRow->addWidget(new QLabel(QStringLiteral("字段为空时："), this));
    optionRow->addWidget(EmptyCellBox);
    optionRow->addStretch(1);
    layout->addLayout(optionRow);
    layout->addWidget(new QLabel(QStringLiteral("模板（点击列名插入字段）："), this));
    layout->addWidget(FieldBar);
    layout->addWidget(TemplateEdit);
    layout->addWidget(new QLabel(QStringLiteral("检查结果："), this));
    layout->addWidget(FindingsList, 1);
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(new QLabel(QStringLiteral("预览："), this));
    previewRow->addWidget(RowBox);
    previewRow->addWidget(PreviewLabel, 1);
    layout->addLayout(previewRow);
    layout->addWidget(PreviewEdit);
    layout->addWidget(TotalsLabel);
    auto* sendRow = new QHBoxLayout;
    sendRow->addWidget(new QLabel(QStringLiteral("活动名称："), this));
    sendRow->addWidget(NameEdit, 1);
    sendRow->addWidget(ProgressLabel, 1);
    sendRow->addWidget(SendButton);
    sendRow->addWidget(CloseButton);
    layout->addLayout(sendRow);

    connect(TableButton, &QPushButton::clicked, this, &VariableSmsDialog::TableClick);
    connect(GroupBox, &QComboBox::currentIndexChanged, this, &VariableSmsDialog::loadGroup);
    connect(TemplateEdit, &QPlainTextEdit::textChanged, RefreshTimer, qOverload<>(&QTimer::start));
    connect(RefreshTimer, &QTimer::timeout, this, &VariableSmsDialog::refresh);
    connect(NumberColumnBox, &QComboBox::currentIndexChanged, this, &VariableSmsDialog::refresh);
    connect(EmptyCellBox, &QComboBox::currentIndexChanged, this, &VariableSmsDialog::refresh);
    connect(RowBox, &QSpinBox::valueChanged, this, &VariableSmsDialog::showPreview);
    connect(SendButton, &QPushButton::clicked, this, &VariableSmsDialog::SendClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);

    m_settings = LoadComplianceSettings(DataPath("Company_Info.ini"));
    m_lists = LoadComplianceLists(DataDir(), m_settings.configured);
    GroupBox->addItem(QStringLiteral("（不使用）"));
    refresh();
}

VariableSmsDialog::~VariableSmsDialog() = default;

void VariableSmsDialog::openDialog() {
    m_settings = LoadComplianceSettings(DataPath("Company_Info.ini"));
    m_lists = LoadComplianceLists(DataDir(), m_settings.configured);
    loadGroups();
    refresh();
    show();
    raise();
    activateWindow();
}

void VariableSmsDialog::TableClick() {
    const QString path = Ui().openFileName(
        this, QStringLiteral("选择表格"),
        QStringLiteral("表格 (*.xlsx *.xls *.ods *.csv *.txt);;所有文件 (*.* *)"));
    if (!path.isEmpty())
        loadTable(path);
}

bool VariableSmsDialog::loadTable(const QString& path) {
    std::string error;
    std::optional<variable::VariableTable> table =
        variable::ReadVariableTable(path.toStdString(), &error);
    if (!table) {
        ShowMessage(this, g(error), QStringLiteral("提醒"), MsgIcon::Warning);
        return false;
    }
    useTable(std::move(*table), path);
    {
        const QSignalBlocker quiet(GroupBox);
        GroupBox->setCurrentIndex(0);
    }
    return true;
}

void VariableSmsDialog::loadGroups() {
    const QSignalBlocker quiet(GroupBox);
    const QString chosen = GroupBox->currentIndex() > 0 ? GroupBox->currentText() : QString();
    GroupBox->clear();
    m_groups.clear();
    GroupBox->addItem(QStringLiteral("（不使用）"));
    ContactBook book;
    if (!book.load(DataPath("LinkmanBook/Contacts.xml")))
        return;
    // Depth first, as the address book page shows them: "[客户]/[北京]".
    std::vector<std::string> captions;
    std::function<void(const BookNode&)> walk = [&](const BookNode& node) {
        for (const BookNode& child : node.children) {
            if (child.isContact)
                continue;
            captions.push_back(child.caption);
            m_groups.push_back(captions);
            QStringList shown;
            for (const std::string& caption : captions)
                shown << g(caption);
            GroupBox->addItem(shown.join(QLatin1Char('/')));
            walk(child);
            captions.pop_back();
        }
    };
    walk(book.tree());
    if (!chosen.isEmpty())
        GroupBox->setCurrentIndex(std::max(0, GroupBox->findText(chosen)));
}

bool VariableSmsDialog::loadGroup(int index) {
    if (index <= 0 || static_cast<size_t>(index) > m_groups.size())
        return false;
    ContactBook book;
    BookPath node;
    if (!book.load(DataPath("LinkmanBook/Contacts.xml")) ||
        !book.findGroup(m_groups[static_cast<size_t>(index) - 1], &node)) {
        ShowMessage(this, QStringLiteral("无法读取通讯录分组“%1”。").arg(GroupBox->itemText(index)),
                    QStringLiteral("提醒"), MsgIcon::Warning);
        return false;
    }
    useTable(variable::TableFromContacts(book.listContacts(node)),
             QStringLiteral("通讯录分组：") + GroupBox->itemText(index));
    return true;
}

void VariableSmsDialog::useTable(variable::VariableTable table, const QString& shownAs) {
    m_table = std::move(table);
    TableEdit->setText(shownAs);
    {
        const QSignalBlocker quiet(NumberColumnBox);
        NumberColumnBox->clear();
        for (const std::string& header : m_table->headers)
            NumberColumnBox->addItem(g(header));
        NumberColumnBox->setCurrentIndex(variable::FindNumberColumn(m_table->headers));
    }
    rebuildFieldButtons();
    if (m_table->clipped)
        ShowMessage(this,
                    QStringLiteral("表格超过%1行，其余的行没有读入。").arg(variable::kMaxTableRows),
                    QStringLiteral("提醒"), MsgIcon::Warning);
    refresh();
}

void VariableSmsDialog::rebuildFieldButtons() {
    QLayout* bar = FieldBar->layout();
    while (QLayoutItem* item = bar->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (!m_table)
        return;
    for (size_t i = 0; i < m_table->headers.size() && i < 20; ++i) {
        const QString name = g(m_table->headers[i]);
        if (name.isEmpty())
            continue;
        auto* button = new QPushButton(name, FieldBar);
        button->setObjectName(QStringLiteral("FieldButton%1").arg(i));
        connect(button, &QPushButton::clicked, this, [this, name] { insertField(name); });
        bar->addWidget(button);
    }
    static_cast<QHBoxLayout*>(bar)->addStretch(1);
}

void VariableSmsDialog::insertField(const QString& name) {
    TemplateEdit->insertPlainText(QLatin1Char('{') + name + QLatin1Char('}'));
    TemplateEdit->setFocus();
    refresh();
}

variable::PlanOptions VariableSmsDialog::planOptions() {
    variable::PlanOptions options;
    options.numberColumn = GbkFromQString(NumberColumnBox->currentText());
    options.emptyCells = EmptyCellBox->currentIndex() == 1 ? variable::EmptyCellPolicy::LeaveEmpty
                                                           : variable::EmptyCellPolicy::SkipRow;
    auto optOut = std::make_shared<const OptOutList>(OptOutList::Load(OptOutPath()));
    if (optOut->ok() && optOut->size() > 0)
        options.optedOut = [optOut](const std::string& n) { return optOut->contains(n); };
    const CheckContext context{m_settings, m_settings.defaultKind, LocalMinuteOfDay()};
    options.check = [this, context](const std::string& gbk) {
        return CheckSmsGbk(gbk, context, m_lists);
    };
    return options;
}

void VariableSmsDialog::refresh() {
    RefreshTimer->stop();
    m_parsed = variable::ParseTemplate(LineEndsAsCr(GbkFromQString(TemplateEdit->toPlainText())));
    FindingsList->clear();
    m_plan = {};
    if (!m_table) {
        TotalsLabel->setText(QStringLiteral("请先选择表格。"));
        SendButton->setEnabled(false);
        showPreview();
        return;
    }
    if (TemplateEdit->toPlainText().trimmed().isEmpty()) {
        TotalsLabel->setText(QStringLiteral("请填写模板。"));
        SendButton->setEnabled(false);
        showPreview();
        return;
    }
    m_plan = variable::PlanVariableSms(m_parsed, *m_table, planOptions());
    QList<QTreeWidgetItem*> items;
    auto add = [&](const QString& row, const QString& problem, const QString& detail,
                   const QString& action) {
        items.append(new QTreeWidgetItem({row, problem, detail, action}));
    };
    for (const std::string& warning : m_plan.templateWarnings)
        add(QStringLiteral("模板"), QStringLiteral("提醒"), g(warning), QString());
    int listed = 0;
    for (const variable::RowFinding& f : m_plan.findings) {
        if (++listed > kListedFindings)
            break;
        add(QString::number(f.row), g(variable::RowProblemName(f.problem)), g(f.detail),
            f.skipped ? QStringLiteral("不发送") : QStringLiteral("发送"));
    }
    if (listed > kListedFindings)
        add(QString(), QStringLiteral("……"),
            QStringLiteral("还有%1条未列出").arg(m_plan.findings.size() - kListedFindings),
            QString());
    // The check's findings once each, at the first row whose text has them.
    std::map<std::string, std::pair<uint32_t, long long>> checked;
    std::vector<std::pair<std::string, const Finding*>> order;
    for (const variable::TextGroup& group : m_plan.groups)
        for (const Finding& finding : group.findings) {
            auto [it, fresh] = checked.emplace(finding.rule + '\t' + finding.message,
                                               std::make_pair(group.rows.front(), 0LL));
            if (fresh)
                order.emplace_back(it->first, &finding);
            ++it->second.second;
        }
    for (const auto& [key, finding] : order) {
        const auto& [row, texts] = checked[key];
        add(QString::number(row),
            QStringLiteral("发送前检查（%1）")
                .arg(QString::fromUtf8(FindingLevelText(finding->level))),
            QString::fromStdString(finding->message) +
                (texts > 1 ? QStringLiteral("（共%1条内容）").arg(texts) : QString()),
            finding->level == FindingLevel::Error ? QStringLiteral("不能发送") : QString());
    }
    FindingsList->addTopLevelItems(items);

    showTotals();
    if (!m_table->rows.empty()) {
        const QSignalBlocker quiet(RowBox);
        RowBox->setRange(static_cast<int>(m_table->rows.front().row),
                         static_cast<int>(m_table->rows.back().row));
    }
    showPreview();
}

void VariableSmsDialog::setRemainingQuota(std::optional<long long> remaining) {
    m_remaining = remaining;
    if (m_table && !TemplateEdit->toPlainText().trimmed().isEmpty())
        showTotals();
}

void VariableSmsDialog::showTotals() {
    const variable::Totals& t = m_plan.totals;
    if (!m_plan.ok()) {
        TotalsLabel->setText(
            QStringLiteral("<font color=red>%1</font>").arg(g(m_plan.error).toHtmlEscaped()));
        SendButton->setEnabled(false);
        return;
    }
    QString text =
        QStringLiteral("共%1行，发送%2行，不发送%3行；不同内容%4条，请求%5次，预计扣除%6条短信")
            .arg(t.rows)
            .arg(t.sending)
            .arg(t.skipped)
            .arg(t.texts)
            .arg(t.requests)
            .arg(t.units);
    if (m_remaining)
        text += g(RemainingQuotaText(*m_remaining));
    text += QStringLiteral("。");
    if (m_remaining && t.units > *m_remaining)
        text = text.toHtmlEscaped() +
               QStringLiteral("<br><font color=red>%1</font>")
                   .arg(QStringLiteral("预计扣除的%1条超过剩余的%2条，部分短信可能发送失败。")
                            .arg(t.units)
                            .arg(*m_remaining));
    TotalsLabel->setText(text);
    SendButton->setEnabled(!m_sending && t.sending > 0 && t.blockedTexts == 0);
}

void VariableSmsDialog::showPreview() {
    PreviewEdit->clear();
    PreviewLabel->clear();
    if (!m_table || m_table->rows.empty())
        return;
    const auto row = static_cast<uint32_t>(RowBox->value());
    const auto it =
        std::lower_bound(m_table->rows.begin(), m_table->rows.end(), row,
                         [](const variable::TableRow& r, uint32_t n) { return r.row < n; });
    if (it == m_table->rows.end() || it->row != row) {
        PreviewLabel->setText(QStringLiteral("该行为空"));
        return;
    }
    std::string error;
    std::optional<std::string> text = variable::RenderRow(
        m_parsed, *m_table, static_cast<size_t>(it - m_table->rows.begin()), &error);
    if (!text) {
        PreviewLabel->setText(g(error));
        return;
    }
    const CheckContext context{m_settings, m_settings.defaultKind, LocalMinuteOfDay()};
    const ComplianceReport report = CheckSmsGbk(*text, context, m_lists);
    const std::string outgoing = report.outgoing.empty() ? *text : report.outgoing;
    PreviewEdit->setPlainText(g(outgoing));
    QString note = QStringLiteral("%1字，%2条")
                       .arg(TextLength(outgoing))
                       .arg(PieceCount(PlanSmsPieces(outgoing)));
    for (const variable::RowFinding& f : m_plan.findings)
        if (f.row == row && f.skipped)
            note += QStringLiteral("；不发送：") + g(variable::RowProblemName(f.problem));
    PreviewLabel->setText(note);
}

void VariableSmsDialog::SendClick() {
    if (m_sending)
        return;
    const QString name = NameEdit->text().trimmed();
    const std::string nameUtf8 = name.toStdString();
    if (!IsValidCampaignName(nameUtf8)) {
        tell(this, QStringLiteral("活动名称只能是普通的文件名（不含 /、\\、..，不以 . 开头）。"),
             QStringLiteral("提醒"));
        return;
    }
    std::error_code ec;
    if (std::filesystem::exists(JournalPath(DataDir(), nameUtf8), ec)) {
        if (Confirm(
                this,
                QStringLiteral("活动“%1”已存在，是否继续发送它未发完的部分？已发送的不会重复发送。")
                    .arg(name),
                QStringLiteral("提示")))
            runCampaign(nameUtf8, true);
        return;
    }
    refresh();
    if (!m_plan.ok() || m_plan.totals.sending == 0 || m_plan.totals.blockedTexts > 0) {
        tell(this,
             m_plan.ok() ? QStringLiteral("没有可以发送的行，或有内容未通过发送前检查。")
                         : g(m_plan.error),
             QStringLiteral("提醒"));
        return;
    }
    const variable::Totals& t = m_plan.totals;
    QString question = QStringLiteral("将发送%1行，不同内容%2条，请求%3次，预计扣除%4条短信。")
                           .arg(t.sending)
                           .arg(t.texts)
                           .arg(t.requests)
                           .arg(t.units);
    if (m_remaining && t.units > *m_remaining)
        question += QStringLiteral("超过剩余的%1条，部分短信可能发送失败。").arg(*m_remaining);
    if (!Confirm(this, question + QStringLiteral("是否发送？"), QStringLiteral("提示")))
        return;
    runCampaign(nameUtf8, false);
}

void VariableSmsDialog::runCampaign(const std::string& name, bool resume) {
    const Credentials credentials =
        m_credentials ? m_credentials->currentCredentials() : Credentials{};
    const std::string dataDir = DataDir();
    const std::string path = JournalPath(dataDir, name);
    std::error_code ec;
    std::filesystem::create_directories(CampaignFolder(dataDir), ec);
    std::unique_ptr<CampaignLock> folderLock = CampaignLock::LockFolder(CampaignFolder(dataDir));
    if (!folderLock) {
        tell(this, QStringLiteral("无法创建或锁定活动目录。"), QStringLiteral("提醒"));
        return;
    }
    std::string error;
    if (!resume) {
        CampaignSettings settings;
        settings.user = credentials.userName;
        settings.text = m_parsed.ok() ? LineEndsAsCr(GbkFromQString(TemplateEdit->toPlainText()))
                                      : std::string();
        settings.created = static_cast<long long>(std::time(nullptr));
        std::vector<CampaignText> texts;
        texts.reserve(m_plan.groups.size());
        for (const variable::TextGroup& group : m_plan.groups)
            texts.push_back({group.numbers, group.pieces});
        if (!CampaignJournal::WriteNewVariable(path, settings, texts, &error)) {
            tell(this, QString::fromStdString(error), QStringLiteral("提醒"));
            return;
        }
    }
    CampaignLock::Result locked;
    const std::unique_ptr<CampaignLock> held = CampaignLock::Acquire(path, &locked);
    folderLock.reset();
    if (!held) {
        tell(this,
             locked == CampaignLock::Result::Busy
                 ? QStringLiteral("该活动正在另一个进程中发送，同一活动不能同时运行两次。")
                 : QStringLiteral("无法锁定活动记录。"),
             QStringLiteral("提醒"));
        return;
    }
    std::unique_ptr<CampaignJournal> journal = CampaignJournal::Open(path, &error);
    if (!journal) {
        tell(this, QString::fromStdString(error), QStringLiteral("提醒"));
        return;
    }
    if (journal->settings().user != credentials.userName) {
        tell(this,
             QStringLiteral("该活动属于用户 %1，不能用其他帐户继续。")
                 .arg(g(journal->settings().user)),
             QStringLiteral("提醒"));
        return;
    }

    CampaignService service;
    service.send = [&](const CampaignRequest& request, const std::string& numbers) {
        SendOutcome outcome;
        outcome.answer = SendMessage(credentials.context, credentials.userName,
                                     credentials.password, numbers, request.text);
        return outcome;
    };
    service.records = [&]() -> std::optional<std::string> {
        HttpResult r =
            QueryConsumerLog(credentials.context, credentials.userName, credentials.password);
        return r.ok ? std::optional<std::string>(std::move(r.body)) : std::nullopt;
    };
    service.numberList = [&](const std::string& id) -> std::optional<std::string> {
        HttpResult r =
            QueryNumberList(credentials.context, credentials.userName, credentials.password, id);
        return r.ok ? std::optional<std::string>(std::move(r.body)) : std::nullopt;
    };
    service.now = [] { return static_cast<long long>(std::time(nullptr)); };
    // A request given up on may still be on the line for up to its read timeout and more.
    const auto timeout = credentials.context.readTimeoutOverride.value_or(
        PageSpecFor(ServicePage::Send).readTimeout);
    service.settleSeconds = (3 * timeout.count() + 999) / 1000;
    if (!journal->settings().includeOptOut)
        service.optOut = []() -> std::optional<OptOutCheck> {
            auto list = std::make_shared<const OptOutList>(OptOutList::Load(OptOutPath()));
            if (!list->ok())
                return std::nullopt;
            if (list->size() == 0)
                return OptOutCheck{};
            return OptOutCheck([list](const std::string& n) { return list->contains(n); });
        };

    const long long total = static_cast<long long>(journal->requests().size());
    long long numbersSent = 0;
    long long done = 0;
    for (const CampaignRequest& r : journal->requests())
        if (r.state == RequestState::Accepted || r.state == RequestState::Skipped)
            ++done;
    const long long doneBefore = done;
    QElapsedTimer clock;
    clock.start();
    RunObserver observer;
    observer.answered = [&](const CampaignRequest& request) {
        if (request.state == RequestState::Accepted) {
            ++done;
            numbersSent += request.numbers;
        }
        QString text = QStringLiteral("已完成%1/%2个请求，本次发送%3个号码")
                           .arg(done)
                           .arg(total)
                           .arg(numbersSent);
        // Time left from the pace of this run's requests so far.
        if (const long long ran = done - doneBefore; ran > 0 && done < total)
            text += QStringLiteral("，预计还需%1秒")
                        .arg((clock.elapsed() * (total - done) / ran + 999) / 1000);
        ProgressLabel->setText(text);
    };
    m_sending = true;
    SendButton->setEnabled(false);
    ProgressLabel->setText(QStringLiteral("正在发送……"));
    const RunReport report = RunCampaign(*journal, service, UnknownPolicy::Stop, observer);
    m_sending = false;
    SendButton->setEnabled(true);
    const QString quoted = QStringLiteral("“") + QString::fromStdString(name) + QStringLiteral("”");
    if (report.end == RunEnd::Completed) {
        ProgressLabel->setText(QStringLiteral("已全部发送"));
        tell(this, QStringLiteral("个性短信已全部发送到服务器：本次发送%1个号码，共扣除%2条。")
                       .arg(numbersSent)
                       .arg(UnitsCharged(*journal)));
        return;
    }
    ProgressLabel->setText(QStringLiteral("发送暂停"));
    ShowMessage(this,
                g(report.message) +
                    QStringLiteral("\r活动%1已保存，稍后再按“发送”即可继续，已发送的不会重复发送。")
                        .arg(quoted),
                QStringLiteral("提醒"), MsgIcon::Warning);
}

}  // namespace smsc
