#include "optout/ReceivedOptOut.h"

#include <algorithm>

#include <QBrush>
#include <QColor>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "optout/OptOutDialog.h"
#include "optout/OptOutKeywords.h"
#include "optout/OptOutList.h"
#include "platform/DataDir.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "records/ReceivedPage.h"

namespace smsc {
namespace {

void Remind(QWidget* parent, const QString& text) {
    ShowMessage(parent, text, QStringLiteral("提醒"));
}

// Dark red text and a tip (the list's own style sheet leaves row backgrounds alone).
void MarkRow(QTreeWidgetItem* item) {
    const QBrush foreground(QColor(0xB0, 0x00, 0x00));
    for (int c = 0; c < item->columnCount(); ++c) {
        item->setForeground(c, foreground);
        item->setToolTip(c, QStringLiteral("退订回复"));
    }
}

}  // namespace

ReceivedOptOut::ReceivedOptOut(QWidget* page, QTreeWidget* list,
                               const std::vector<ReceivedRecord>* records)
    : QObject(page), m_page(page), m_list(list), m_records(records) {
    AddButton = new QPushButton(QStringLiteral("加入退订名单"), page);
    AddButton->setObjectName(QStringLiteral("OptOutAddButton"));
    ListButton = new QPushButton(QStringLiteral("退订名单"), page);
    ListButton->setObjectName(QStringLiteral("OptOutListButton"));
    NoteLabel = new QLabel(page);
    NoteLabel->setObjectName(QStringLiteral("OptOutNoteLabel"));
    NoteLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    connect(AddButton, &QPushButton::clicked, this, &ReceivedOptOut::AddClick);
    connect(ListButton, &QPushButton::clicked, this, &ReceivedOptOut::ListClick);
}

ReceivedOptOut* ReceivedOptOut::attachTo(ReceivedPage* page) {
    auto* part = new ReceivedOptOut(page, page->ListView1, &page->records());
    page->insertBelowList(part->NoteLabel, 1);
    page->insertBelowList(part->AddButton);
    page->insertBelowList(part->ListButton);
    page->setQueryHooks([part] { part->clear(); }, [part] { part->markReplies(); });
    return part;
}

void ReceivedOptOut::clear() {
    m_marks.clear();
    NoteLabel->clear();
}

bool ReceivedOptOut::isMarked(int row) const {
    return row >= 0 && static_cast<size_t>(row) < m_marks.size() &&
           m_marks[static_cast<size_t>(row)];
}

void ReceivedOptOut::reportListError(const std::string& gbkError) {
    if (gbkError == m_reportedError)
        return;
    m_reportedError = gbkError;
    Remind(m_page, QStringFromGbk(gbkError) + QStringLiteral("\r退订号码未能加入退订名单"));
}

void ReceivedOptOut::markReplies() {
    const OptOutSettings settings = ReadOptOutSettings(DataPath("Company_Info.ini"));
    m_marks.assign(m_records->size(), false);
    int marked = 0;
    for (size_t i = 0; i < m_records->size(); ++i) {
        if (!IsOptOutRecord((*m_records)[i], settings.keywords))
            continue;
        m_marks[i] = true;
        ++marked;
        if (QTreeWidgetItem* item = m_list->topLevelItem(static_cast<int>(i)))
            MarkRow(item);
    }
    if (marked == 0) {
        NoteLabel->clear();
        return;
    }
    QString note = QStringLiteral("退订回复%1条").arg(marked);
    if (!settings.autoAdd) {
        NoteLabel->setText(note + QStringLiteral("（未自动加入退订名单）"));
        return;
    }
    const OptOutChange change = AddToOptOutFile(
        OptOutPath(), OptOutNumbersOf(*m_records, settings.keywords), OptOutSource::Reply);
    if (change.failed()) {
        NoteLabel->setText(note + QStringLiteral("，未能加入退订名单"));
        reportListError(change.error);
        return;
    }
    m_reportedError.clear();
    if (change.changed > 0)
        note += QStringLiteral("，新增%1个退订号码").arg(change.changed);
    else
        note += QStringLiteral("，号码均已在退订名单中");
    NoteLabel->setText(note);
}

void ReceivedOptOut::AddClick() {
    if (m_list->topLevelItemCount() == 0) {
        Remind(m_page, QStringLiteral("当前收到短信记录为空，请先查询"));
        return;
    }
    std::vector<int> rows;
    for (QTreeWidgetItem* item : m_list->selectedItems())
        rows.push_back(m_list->indexOfTopLevelItem(item));
    if (rows.empty()) {
        Remind(m_page, QStringLiteral("请选择要加入退订名单的短信"));
        return;
    }
    std::sort(rows.begin(), rows.end());
    std::vector<std::string> numbers;
    for (int row : rows) {
        if (row < 0 || static_cast<size_t>(row) >= m_records->size())
            continue;
        const std::string number =
            OptOutNumberOfSender((*m_records)[static_cast<size_t>(row)].number);
        if (!number.empty() && std::find(numbers.begin(), numbers.end(), number) == numbers.end())
            numbers.push_back(number);
    }
    if (numbers.empty()) {
        Remind(m_page, QStringLiteral("所选短信没有可加入退订名单的号码"));
        return;
    }
    const OptOutChange change = AddToOptOutFile(OptOutPath(), numbers, OptOutSource::Manual);
    if (change.failed()) {
        Remind(m_page, QStringFromGbk(change.error));
        return;
    }
    QString text = QStringLiteral("新增%1个退订号码").arg(change.changed);
    if (change.unchanged > 0)
        text += QStringLiteral("，%1个号码已在退订名单中").arg(change.unchanged);
    ShowMessage(m_page, text, QStringLiteral("提示"));
}

void ReceivedOptOut::ListClick() {
    if (m_dialog)
        m_dialog->openDialog();
}

}  // namespace smsc
