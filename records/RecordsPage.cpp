#include "records/RecordsPage.h"

#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/AtomicFile.h"
#include "platform/FileDialogs.h"
#include "platform/ListViews.h"
#include "platform/Gbk.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "records/RecordUi.h"
#include "records/TForm18.h"
#include "records/TForm20.h"
#include "records/TForm21.h"
#include "service/Credentials.h"
#include "service/ExchangeWait.h"
#include "service/ServiceClient.h"

namespace smsc {
namespace {

QTimer* makeTimer(QObject* owner, const char* name, int interval) {
    auto* timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(interval);
    timer->setSingleShot(true);
    return timer;
}

QPushButton* makeButton(QWidget* parent, const QString& caption, const char* name) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

void tell(QWidget* parent, const QString& text) {
    ShowMessage(parent, text, QStringLiteral("提示"));
}

void reportSaveFailure(QWidget* parent) {
    ShowMessage(parent, QStringLiteral("保存彩信文件失败"), QStringLiteral("提醒"));
}

}  // namespace

RecordsPage::RecordsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RecordsPage"));
    ListView2 = new QTreeWidget(this);
    ListView2->setObjectName(QStringLiteral("ListView2"));
    ListView2->setRootIsDecorated(false);
    ListView2->setUniformRowHeights(true);
    ListView2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView2->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ShowGridRows(ListView2);
    ListView2->setHeaderLabels({QString(), QStringLiteral("提交时间"), QStringLiteral("号码个数"),
                                QStringLiteral("当前状态"), QStringLiteral("信息类别"),
                                QStringLiteral("彩信文件名"), QStringLiteral("短信内容")});
    ListView2->setColumnHidden(0, true);
    const int widths[] = {0, 130, 60, 70, 60, 120, 400};
    for (int i = 1; i < 7; ++i)
        ListView2->setColumnWidth(i, widths[i]);
    // A full date and time, a count up to the cap and the service's MMS file names show whole.
    FitColumns(ListView2,
               {QString(), QStringLiteral("2024-12-31 23:59:59"), QStringLiteral("30000"),
                QString(), QString(), QStringLiteral("20241231235959_123456.emm")});
    ListView2->setContextMenuPolicy(Qt::CustomContextMenu);

    NoteLabel = new QLabel(QStringLiteral("仅 返 回 最 近 500 条 记 录"), this);
    NoteLabel->setObjectName(QStringLiteral("NoteLabel"));
    QueryButton = makeButton(this, QStringLiteral("查询"), "QueryButton");
    NumbersButton = makeButton(this, QStringLiteral("查看发送号码"), "NumbersButton");
    DownloadButton = makeButton(this, QStringLiteral("彩信下载"), "DownloadButton");

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    connect(PopupMenu2->addAction(QStringLiteral("显示发送号码列表")), &QAction::triggered, this,
            &RecordsPage::ShowNumbersClick);
    connect(PopupMenu2->addAction(QStringLiteral("下载该彩信")), &QAction::triggered, this,
            &RecordsPage::DownloadClick);

    Timer3 = makeTimer(this, "Timer3", 3000);
    Timer4 = makeTimer(this, "Timer4", 2000);
    Timer5 = makeTimer(this, "Timer5", 60000);
    HoldWhileExchanging(Timer3);
    HoldWhileExchanging(Timer4);

    m_form18 = new TForm18(this);
    m_form20 = new TForm20(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListView2, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(NoteLabel, 1);
    bottom->addWidget(QueryButton);
    bottom->addWidget(NumbersButton);
    bottom->addWidget(DownloadButton);
    layout->addLayout(bottom);

    connect(QueryButton, &QPushButton::clicked, this, &RecordsPage::QueryButtonClick);
    connect(NumbersButton, &QPushButton::clicked, this, &RecordsPage::ShowNumbersClick);
    connect(DownloadButton, &QPushButton::clicked, this, &RecordsPage::DownloadClick);
    connect(Timer3, &QTimer::timeout, this, &RecordsPage::Timer3Timer);
    connect(Timer4, &QTimer::timeout, this, &RecordsPage::Timer4Timer);
    connect(Timer5, &QTimer::timeout, this, &RecordsPage::Timer5Timer);
    connect(ListView2, &QTreeWidget::itemDoubleClicked, this, &RecordsPage::ListView2DblClick);
    connect(ListView2, &QWidget::customContextMenuRequested, this,
            [this] { PopupMenu2->popup(QCursor::pos()); });
}

RecordsPage::~RecordsPage() = default;

void RecordsPage::hideWait() {
    if (m_wait)
        m_wait->hide();
}

const SendRecord* RecordsPage::selectedRecord() const {
    QTreeWidgetItem* row = FirstSelectedRow(ListView2);
    if (!row)
        return nullptr;
    const int index = ListView2->indexOfTopLevelItem(row);
    return &m_records[static_cast<size_t>(index)];
}

void RecordsPage::QueryButtonClick() {
    QueryButton->setEnabled(false);
    if (m_wait)
        m_wait->show();
    Timer3->start();
    Timer5->start();
}

void RecordsPage::Timer5Timer() {
    Timer5->stop();
    QueryButton->setEnabled(true);
}

void RecordsPage::Timer3Timer() {
    Timer3->stop();
    showRecords({});
    const Credentials c = m_credentials ? m_credentials->currentCredentials() : Credentials{};
    const HttpResult result = QueryConsumerLog(c.context, c.userName, c.password);
    SendRecordsAnswer answer;
    if (result.ok)
        answer = ParseSendRecordsAnswer(result.body);
    if (!result.ok || answer.status == RecordStatus::Malformed) {
        hideWait();
        ReportQueryFailure(this);
        return;
    }
    if (answer.status == RecordStatus::Listed) {
        showRecords(std::move(answer.records));
        hideWait();
        // A record with fewer than seven fields ended the listing.
        if (answer.truncated)
            ReportQueryFailure(this);
        else if (answer.overLimit)
            tell(this, QStringFromGbk(RecordOverLimitMessage(kMaxSendRecords)));
        return;
    }
    hideWait();
    if (const auto message = RecordRefusalMessage(answer.status, answer.argument))
        ShowPlainMessage(this, QStringFromGbk(*message));
}

void RecordsPage::showRecords(std::vector<SendRecord> records) {
    ListView2->clear();
    m_records = std::move(records);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(m_records.size()));
    for (const SendRecord& r : m_records) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, QStringFromGbk(r.id));
        item->setText(1, QStringFromGbk(r.time));
        item->setText(2, QStringFromGbk(r.count));
        item->setText(3, QStringFromGbk(r.state));
        item->setText(4, QStringFromGbk(r.type));
        item->setText(5, QStringFromGbk(r.mmsFile));
        item->setText(6, QStringFromGbk(r.text));
        items.append(item);
    }
    ListView2->addTopLevelItems(items);
}

void RecordsPage::ListView2DblClick() {
    if (const SendRecord* record = selectedRecord())
        m_form20->showText(record->text);
}

void RecordsPage::ShowNumbersClick() {
    if (!selectedRecord()) {
        ShowMessage(this, QStringLiteral("请选择要显示发送号码列表的项"), QStringLiteral("提醒"));
        return;
    }
    if (m_wait)
        m_wait->show();
    Timer4->start();
}

void RecordsPage::Timer4Timer() {
    Timer4->stop();
    m_form18->clearNumbers();
    const Credentials c = m_credentials ? m_credentials->currentCredentials() : Credentials{};
    const SendRecord* record = selectedRecord();
    if (!record) {
        hideWait();
        tell(this, QStringLiteral("请选择要导出号码列表的条目"));
        return;
    }
    const std::string id = record->id;
    const HttpResult result = QueryNumberList(c.context, c.userName, c.password, id);
    NumberListAnswer answer;
    if (result.ok)
        answer = ParseNumberListAnswer(result.body);
    hideWait();
    if (!result.ok || answer.status == RecordStatus::Malformed) {
        ReportQueryFailure(this);
        return;
    }
    if (answer.status == RecordStatus::Listed) {
        if (answer.overLimit)
            tell(this, QStringFromGbk(NumbersOverLimitMessage()));
        m_form18->setNumbers(id, std::move(answer.numbers));
        Ui().execDialog(m_form18);
        return;
    }
    if (const auto message = RecordRefusalMessage(answer.status, answer.argument))
        tell(this, QStringFromGbk(*message));
}

void RecordsPage::DownloadClick() {
    const SendRecord* record = selectedRecord();
    if (!record) {
        tell(this, QStringLiteral("请选择要下载彩信号码列表的条目"));
        return;
    }
    if (!IsMmsRecord(*record)) {
        tell(this, QStringLiteral("该信息为短信文字信息，不是彩信，无法下载！"));
        return;
    }
    // Only the last part of the service's name is used for saving: "../" in it cannot
    // lead out of the chosen folder, and a name with nothing left is refused.
    const std::string name = MmsSaveName(record->mmsFile);
    if (name.empty()) {
        reportSaveFailure(this);
        return;
    }
    // Nor may it lead the request out of the download address.
    if (!IsDownloadableName(record->mmsFile)) {
        tell(this, QStringLiteral("彩信文件名不正确，无法下载"));
        return;
    }
    const Credentials c = m_credentials ? m_credentials->currentCredentials() : Credentials{};
    const HttpResult result = DownloadFile(c.context, record->mmsFile);
    if (!result.ok) {
        ReportQueryFailure(this);
        return;
    }
    if (result.body.empty()) {
        reportSaveFailure(this);
        return;
    }
    // The chosen name is a prefix of the MMS file's own name; the record's id is offered.
    const QString chosen =
        ChooseFileToSave(this, folder_kind::kMmsDownload, QStringLiteral("彩信下载"),
                         QStringLiteral("程序文件(*.* *)"),
                         QStringLiteral("彩信_%1_").arg(FileNamePart(QStringFromGbk(record->id))));
    if (chosen.isEmpty())
        return;
    // The chosen name is a prefix: the MMS file name follows it directly.
    if (!WriteFileAtomically(LocalPath(chosen) + GbkToUtf8(name), result.body))
        reportSaveFailure(this);
}

}  // namespace smsc
