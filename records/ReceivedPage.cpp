#include "records/ReceivedPage.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/FileDialogs.h"
#include "platform/ListViews.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "records/RecordUi.h"
#include "records/TForm21.h"
#include "service/Credentials.h"
#include "service/ExchangeWait.h"
#include "service/ServiceClient.h"

namespace smsc {
namespace {

QDateEdit* makeDatePicker(QWidget* parent, const QString& name) {
    auto* picker = new QDateEdit(QDate::currentDate(), parent);
    picker->setObjectName(name);
    picker->setCalendarPopup(true);
    return picker;
}

std::string shortDate(const QDate& date) {
    return ShortDateText(date.year(), date.month(), date.day());
}

}  // namespace

ReceivedPage::ReceivedPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ReceivedPage"));
    HintLabel = new QLabel(
        QStringLiteral("请选择要查询的时间段，然后点[记录查询]按钮查询相应时间段内的回复短信"),
        this);
    HintLabel->setObjectName(QStringLiteral("HintLabel"));
    HintLabel->setProperty("skinNote", true);  // red, as readable in every skin
    DateTimePicker1 = makeDatePicker(this, QStringLiteral("DateTimePicker1"));
    DateTimePicker2 = makeDatePicker(this, QStringLiteral("DateTimePicker2"));
    QueryButton = new QPushButton(QStringLiteral("记录查询"), this);
    QueryButton->setObjectName(QStringLiteral("QueryButton"));

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ShowGridRows(ListView1);
    ListView1->setHeaderLabels({QStringLiteral("时间"), QStringLiteral("手机号"),
                                QStringLiteral("联系人名称"), QStringLiteral("短信内容")});
    const int widths[] = {120, 80, 80, 1000};
    for (int i = 0; i < 4; ++i)
        ListView1->setColumnWidth(i, widths[i]);
    // A full date and time and an 11-digit number (or one with the country code) show whole.
    FitColumns(ListView1,
               {QStringLiteral("2024-12-31 23:59:59"), QStringLiteral("+8613912345678")});

    CountLabel = new QLabel(QStringLiteral("共有0条回复记录"), this);
    CountLabel->setObjectName(QStringLiteral("CountLabel"));
    ReplyButton = new QPushButton(QStringLiteral("回复短信"), this);
    ReplyButton->setObjectName(QStringLiteral("ReplyButton"));
    ExportButton = new QPushButton(QStringLiteral("记录导出"), this);
    ExportButton->setObjectName(QStringLiteral("ExportButton"));

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(3000);
    Timer2->setSingleShot(true);
    HoldWhileExchanging(Timer2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(HintLabel);
    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(new QLabel(QStringLiteral("时间范围："), this));
    rangeRow->addWidget(DateTimePicker1);
    rangeRow->addWidget(new QLabel(QStringLiteral("------"), this));
    rangeRow->addWidget(DateTimePicker2);
    rangeRow->addWidget(QueryButton);
    rangeRow->addStretch(1);
    layout->addLayout(rangeRow);
    layout->addWidget(ListView1, 1);
    m_bottomRow = new QHBoxLayout;
    m_bottomRow->addWidget(CountLabel);
    m_bottomRow->addStretch(1);  // until a hook's widget takes the room
    m_bottomRow->addWidget(ReplyButton);
    m_bottomRow->addWidget(ExportButton);
    layout->addLayout(m_bottomRow);

    connect(QueryButton, &QPushButton::clicked, this, &ReceivedPage::QueryButtonClick);
    connect(Timer2, &QTimer::timeout, this, &ReceivedPage::Timer2Timer);
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, &ReceivedPage::ListView1DblClick);
    connect(ReplyButton, &QPushButton::clicked, this, &ReceivedPage::ReplyButtonClick);
    connect(ExportButton, &QPushButton::clicked, this, &ReceivedPage::ExportButtonClick);
}

ReceivedPage::~ReceivedPage() = default;

void ReceivedPage::setQueryHooks(std::function<void()> started, std::function<void()> filled) {
    m_queryStarted = std::move(started);
    m_queryFilled = std::move(filled);
}

void ReceivedPage::insertBelowList(QWidget* widget, int stretch) {
    if (stretch > 0 && m_placeholderStretch) {
        // The widget takes the room the placeholder stretch held (it follows the inserted ones).
        delete m_bottomRow->takeAt(1 + m_inserted);
        m_placeholderStretch = false;
    }
    m_bottomRow->insertWidget(1 + m_inserted++, widget, stretch);
}

void ReceivedPage::setDateRange(const QDate& start, const QDate& end) {
    DateTimePicker1->setDate(start);
    DateTimePicker2->setDate(end);
}

void ReceivedPage::QueryButtonClick() {
    // A second press while the query waits does not start another one.
    if (Timer2->isActive())
        return;
    Timer2->start();
    if (m_wait)
        m_wait->show();
}

void ReceivedPage::endQuery(int count) {
    CountLabel->setText(QStringLiteral("共有%1条回复记录").arg(count));
    if (m_wait)
        m_wait->hide();
}

void ReceivedPage::Timer2Timer() {
    Timer2->stop();
    ListView1->clear();
    m_records.clear();
    if (m_queryStarted)
        m_queryStarted();
    const Credentials c = m_credentials ? m_credentials->currentCredentials() : Credentials{};
    const HttpResult result =
        QueryReceived(c.context, c.userName, c.password, shortDate(DateTimePicker1->date()),
                      shortDate(DateTimePicker2->date()));
    ReceivedAnswer answer;
    if (result.ok)
        answer = ParseReceivedAnswer(result.body);
    if (!result.ok || answer.status == RecordStatus::Malformed) {
        endQuery(0);
        ReportQueryFailure(this);
        return;
    }
    if (answer.status == RecordStatus::Listed) {
        showRecords(std::move(answer.records), c.userName);
        endQuery(static_cast<int>(m_records.size()));
        if (m_queryFilled)
            m_queryFilled();
        if (answer.overLimit)
            ShowMessage(this, QStringFromGbk(RecordOverLimitMessage(kMaxReceivedRecords)),
                        QStringLiteral("提示"));
        return;
    }
    endQuery(0);
    if (const auto message = RecordRefusalMessage(answer.status, answer.argument))
        ShowPlainMessage(this, QStringFromGbk(*message));
}

void ReceivedPage::showRecords(std::vector<ReceivedRecord> records, const std::string& userName) {
    ListView1->clear();
    m_records = std::move(records);
    m_names.clear();
    m_names.reserve(m_records.size());
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(m_records.size()));
    for (const ReceivedRecord& r : m_records) {
        auto* item = new QTreeWidgetItem;
        std::string name = r.matched && m_nameLookup ? m_nameLookup(r.number) : std::string();
        m_names.push_back(name.empty() ? userName : std::move(name));
        if (r.matched) {
            item->setText(0, QStringFromGbk(r.time));
            item->setText(1, QStringFromGbk(r.number));
            item->setText(2, QStringFromGbk(m_names.back()));
            item->setText(3, QStringFromGbk(r.text));
        }
        items.append(item);
    }
    ListView1->addTopLevelItems(items);
}

void ReceivedPage::openReply(bool clearReply) {
    QTreeWidgetItem* row = FirstSelectedRow(ListView1);
    if (!row)
        return;
    const ReceivedRecord& r = m_records[static_cast<size_t>(ListView1->indexOfTopLevelItem(row))];
    if (m_reply)
        m_reply(r, clearReply);
}

void ReceivedPage::ListView1DblClick() {
    openReply(false);
}

void ReceivedPage::ReplyButtonClick() {
    if (ListView1->topLevelItemCount() == 0) {
        ShowMessage(this, QStringLiteral("当前收到短信记录为空，请先查询"), QStringLiteral("提醒"));
        return;
    }
    if (!FirstSelectedRow(ListView1)) {
        ShowMessage(this, QStringLiteral("请选择要回复的短信"), QStringLiteral("提醒"));
        return;
    }
    openReply(true);
}

void ReceivedPage::ExportButtonClick() {
    if (ListView1->topLevelItemCount() == 0) {
        ShowMessage(this, QStringLiteral("当前收到短信记录为空，请查询后再导出记录！"),
                    QStringLiteral("提醒"));
        return;
    }
    ExportToTextFile(
        this, ReceivedExportBytes(m_records, m_names), folder_kind::kReceivedExport,
        QStringLiteral("收到短信_") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
}

}  // namespace smsc
