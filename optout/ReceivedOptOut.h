#pragma once
// The opt-out list on the 收到短信 page: after a query the replies that unsubscribe are
// marked (their rows in red, with a tip) and, unless [OptOut] AutoAdd is "0", their
// senders are added to the list ("新增N个退订号码" in the note under the list); "加入退订名单"
// adds the senders of the selected rows by hand; "退订名单" opens the list window. The main
// window attaches this part to the page, whose query hooks call it; the specified list, its
// columns and its export are left as they are.

#include <QObject>
#include <QString>

#include <string>
#include <vector>

#include "records/RecordAnswers.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace smsc {

class OptOutDialog;
class ReceivedPage;

class ReceivedOptOut final : public QObject {
    Q_OBJECT
public:
    // The buttons and the note are children of the page, for it to lay out; `records` are
    // the page's rows in list order.
    ReceivedOptOut(QWidget* page, QTreeWidget* list, const std::vector<ReceivedRecord>* records);
    // Made as a child of the page: its note and buttons go under the list, beside the count;
    // a query clears the marks and a filled list is marked.
    static ReceivedOptOut* attachTo(ReceivedPage* page);

    QPushButton* AddButton;   // "加入退订名单"
    QPushButton* ListButton;  // "退订名单"
    QLabel* NoteLabel;        // "退订回复N条，新增M个退订号码"

    void setListWindow(OptOutDialog* dialog) { m_dialog = dialog; }

    // A new query begins: no marks, no note.
    void clear();
    // The rows have been filled from the records.
    void markReplies();
    bool isMarked(int row) const;

    void AddClick();
    void ListClick();

private:
    void reportListError(const std::string& gbkError);

    QWidget* m_page;
    QTreeWidget* m_list;
    const std::vector<ReceivedRecord>* m_records;
    OptOutDialog* m_dialog = nullptr;
    std::vector<bool> m_marks;
    std::string m_reportedError;  // an unreadable list is told once, not after every query
};

}  // namespace smsc
