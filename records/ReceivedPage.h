#pragma once
// The "收到短信" page: the replies received in a range of days. "记录查询" shows the query
// wait window and arms Timer2; its tick asks "softweb/receive.asp" and fills the four-column
// list. A row opens the reply (the main window hands it to the reply dialog); "记录导出"
// writes the list to a text file. Other parts (the opt-out marks) attach through the hooks.

#include <QDate>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "records/RecordAnswers.h"

class QDateEdit;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace smsc {

class CredentialsSource;
class TForm21;

class ReceivedPage final : public QWidget {
    Q_OBJECT
public:
    explicit ReceivedPage(QWidget* parent = nullptr);
    ~ReceivedPage() override;

    QLabel* HintLabel;
    QDateEdit* DateTimePicker1;  // start
    QDateEdit* DateTimePicker2;  // end
    QPushButton* QueryButton;    // 记录查询
    QTreeWidget* ListView1;      // 时间, 手机号, 联系人名称, 短信内容
    QLabel* CountLabel;          // 共有N条回复记录
    QPushButton* ReplyButton;    // 回复短信
    QPushButton* ExportButton;   // 记录导出
    QTimer* Timer2;              // the main window's query timer, 3000 ms, one-shot

    // ---- what the main window provides ---------------------------------------------------
    void setCredentialsSource(const CredentialsSource* source) { m_credentials = source; }
    void setWaitWindow(TForm21* window) { m_wait = window; }
    // Opens the reply to a row: its record, and whether the reply text starts empty ("回复短信")
    // or keeps what was typed before (a double click).
    using ReplyHandler = std::function<void(const ReceivedRecord& record, bool clearReply)>;
    void setReplyHandler(ReplyHandler handler) { m_reply = std::move(handler); }
    // Called when a query begins (the list is emptied) and after its rows are filled.
    void setQueryHooks(std::function<void()> started, std::function<void()> filled);
    // Puts a widget in the row under the list, after the count and those inserted before.
    void insertBelowList(QWidget* widget, int stretch = 0);
    void setDateRange(const QDate& start, const QDate& end);
    // The address book's name of a number (GBK; empty when the number is not in the book).
    using NameLookup = std::function<std::string(const std::string& number)>;
    void setNameLookup(NameLookup lookup) { m_nameLookup = std::move(lookup); }

    // ---- actions -------------------------------------------------------------------------
    void QueryButtonClick();
    void Timer2Timer();
    void ListView1DblClick();
    void ReplyButtonClick();
    void ExportButtonClick();

    // Fills the list from an answer of status "4". "联系人名称" is the address book's name
    // of the number, or the user name for a number the book does not hold.
    void showRecords(std::vector<ReceivedRecord> records, const std::string& userName);
    const std::vector<ReceivedRecord>& records() const { return m_records; }

private:
    void endQuery(int count);
    void openReply(bool clearReply);

    const CredentialsSource* m_credentials = nullptr;
    TForm21* m_wait = nullptr;
    ReplyHandler m_reply;
    std::function<void()> m_queryStarted;
    std::function<void()> m_queryFilled;
    QHBoxLayout* m_bottomRow = nullptr;
    int m_inserted = 0;  // widgets put after the count
    bool m_placeholderStretch = true;
    std::vector<ReceivedRecord> m_records;  // the rows, in list order
    std::vector<std::string> m_names;       // "联系人名称" of each row
    NameLookup m_nameLookup;
};

}  // namespace smsc
