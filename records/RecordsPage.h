#pragma once
// The "发送记录" page: the account's latest submissions from "softweb/Consumerlog.asp"
// ("查询", at most once a minute: Timer3 queries, Timer5 re-enables the button), the full
// text of a row (TForm20), the numbers of the selected submission (Timer4,
// "softweb/numberlist.asp", TForm18) and the download of its MMS file.

#include <QWidget>

#include <string>
#include <vector>

#include "records/RecordAnswers.h"

class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace smsc {

class CredentialsSource;
class TForm18;
class TForm20;
class TForm21;

class RecordsPage final : public QWidget {
    Q_OBJECT
public:
    explicit RecordsPage(QWidget* parent = nullptr);
    ~RecordsPage() override;

    QTreeWidget*
        ListView2;  // hidden id, 提交时间, 号码个数, 当前状态, 信息类别, 彩信文件名, 短信内容
    QLabel* NoteLabel;            // 仅 返 回 最 近 500 条 记 录
    QPushButton* QueryButton;     // 查询
    QPushButton* NumbersButton;   // 查看发送号码
    QPushButton* DownloadButton;  // 彩信下载
    QMenu* PopupMenu2;            // 显示发送号码列表, 下载该彩信
    QTimer* Timer3;               // query, 3000 ms, one-shot
    QTimer* Timer4;               // number list, 2000 ms, one-shot
    QTimer* Timer5;               // re-enables "查询", 60000 ms, one-shot

    TForm18* numbersWindow() const { return m_form18; }
    TForm20* textWindow() const { return m_form20; }

    void setCredentialsSource(const CredentialsSource* source) { m_credentials = source; }
    void setWaitWindow(TForm21* window) { m_wait = window; }

    void QueryButtonClick();
    void Timer3Timer();
    void Timer5Timer();
    void ListView2DblClick();
    // "查看发送号码" and "显示发送号码列表".
    void ShowNumbersClick();
    void Timer4Timer();
    // "彩信下载" and "下载该彩信".
    void DownloadClick();

    // Fills the list (a truncated answer's last record shows only its id).
    void showRecords(std::vector<SendRecord> records);
    const std::vector<SendRecord>& records() const { return m_records; }

private:
    void hideWait();
    const SendRecord* selectedRecord() const;

    const CredentialsSource* m_credentials = nullptr;
    TForm21* m_wait = nullptr;
    TForm18* m_form18;
    TForm20* m_form20;
    std::vector<SendRecord> m_records;  // the rows, in list order
};

}  // namespace smsc
