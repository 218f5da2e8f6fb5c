#pragma once
// One send page's recipient area: the list, its status line, counter, progress bar, send
// button, the verification-number controls and the buttons under the list, with the
// operations every way of adding numbers uses. The controls are children of the page and
// carry their component names (ListBox1, Label30, Label8, ProgressBar1, Button15, Edit1,
// ComboBox2 on the SMS page; ListBox2, Label32, Label27, ProgressBar2, Button35, Edit8,
// ComboBox3 on the MMS page); the page arranges them, for example with createListLayout().

#include <QObject>
#include <QPointer>
#include <QString>

#include <string>
#include <vector>

#include "recipients/NumberEntries.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace smsc {

class RecipientListModel;

enum class PanelKind { Sms, Mms };

// How a page's verification option reads at one moment.
enum class VerificationState { Off, On, BadInterval };

class RecipientPanel final : public QObject {
    Q_OBJECT
public:
    RecipientPanel(PanelKind kind, QWidget* page);
    ~RecipientPanel() override;

    PanelKind kind() const { return m_kind; }
    QWidget* page() const { return m_page; }
    // The window that imports and clearing disable; the page's window until set.
    void setMainWindow(QWidget* window) { m_mainWindow = window; }
    QWidget* mainWindow() const;

    QListView* List;            // ListBox1 / ListBox2: multi-select, five columns
    QLabel* Status;             // Label30 / Label32
    QLabel* Counter;            // Label8 / Label27
    QProgressBar* Progress;     // ProgressBar1 / ProgressBar2
    QPushButton* SendButton;    // Button15 "发送短信" / Button35 "发送彩信"
    QCheckBox* VerifyBox;       // "插入验证号码"
    QLineEdit* VerifyEdit;      // Edit1 / Edit8
    QLabel* IntervalLabel;      // "验证号码间隔："
    QComboBox* IntervalBox;     // ComboBox2 / ComboBox3
    QPushButton* AddButton;     // "添加接收者"
    QPushButton* DeleteButton;  // "删除"
    QPushButton* ClearButton;   // "全部清空"
    QPushButton* DedupButton;   // "去除重复", beside "全部清空"
    QLabel* PlanLabel;          // the send plan under the counter (set by the page)
    QLabel* PlanQuotaLabel;     // "（剩余 Q 条）" after it, red when the send exceeds it

    // The progress bar, the list, the status and counter line, the buttons under the list
    // and the verification controls, top to bottom. The send button is left to the page.
    QVBoxLayout* createListLayout();

    RecipientListModel* model() const { return m_model; }
    const std::vector<std::string>& entries() const;

    // ---- the shared operations -----------------------------------------------------------
    // Appends the text as given; nothing else changes (no counter, status or button).
    void AddRecipient(const std::string& entry);
    // The same for a whole batch, in order, as one change of the list.
    void AddRecipients(std::vector<std::string> entries);
    int RecipientCount() const;
    // "当前发送" + N + "个对象", with ",已经过滤重复号码" when asked.
    void ShowRecipientCount(bool duplicateNote);
    // Enabled exactly while the list holds an entry.
    void UpdateSendButton();
    void SetRecipientStatus(const QString& text);
    // With "插入验证号码" ticked the field, trimmed, must hold 1 to 12 digits; otherwise the
    // message has been shown and false is returned.
    bool CheckVerificationNumber();
    void StepProgress(long long steps = 1);
    // "全部清空": asks, then empties the list.
    void ClearRecipients();
    // "删除" under the list: nothing on an empty list, a message without a selection, else
    // asks and deletes every selected entry.
    void DeleteSelectedRecipients();
    // "删除" of the list's pop-up menu: asks first; deletes the selection if there is one.
    void DeleteSelectedFromContextMenu();
    // "去除重复": removes every later copy of an entry, keeping the first one and the
    // verification copies (while the option is on), then updates the counter.
    void RemoveDuplicates();

    // ---- the verification option ---------------------------------------------------------
    bool verificationOn() const;
    // The field's text trimmed, as GBK.
    std::string verificationNumber() const;
    QString intervalText() const;
    // Off, or on with the number and interval in `copy`, or on with an interval that is not
    // a whole number.
    VerificationState readVerification(VerificationCopy* copy) const;

    // The nineteen intervals of the interval box, "100" ... "10000".
    static QStringList intervalChoices();

protected:
    // The Delete key on the list deletes the selected entries as "删除" does.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // "添加接收者" was pressed.
    void addMenuRequested();
    // The right mouse button was pressed on the list (global position).
    void listMenuRequested(const QPoint& globalPos);

private:
    void verifyBoxToggled(bool on);
    void verifyFieldLeft();
    bool hasSelection() const;
    void deleteSelection();

    PanelKind m_kind;
    QWidget* m_page;
    QWidget* m_mainWindow = nullptr;
    RecipientListModel* m_model;
    QPointer<QObject> m_leaveWatcher;
};

// Caption of the plain message boxes (no icon): the application title (platform/AppTitle.h).
QString PlainMessageCaption();

}  // namespace smsc
