#pragma once
// "个性短信": a table chosen, a template written with its field buttons, every row's
// findings listed, any row previewed as it goes out, the totals, and the send as a campaign
// (each distinct text its own requests; resumable, never twice; one exchange at a time).

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "compliance/Compliance.h"
#include "variable/VariableSms.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;
class QWidget;

namespace smsc {

class CredentialsSource;

class VariableSmsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit VariableSmsDialog(QWidget* parent = nullptr);
    ~VariableSmsDialog() override;

    // The login window's account, read when the send starts.
    void setCredentialsSource(const CredentialsSource* source) { m_credentials = source; }
    // The remaining quota while logged in (none offline): the totals show the units against it.
    void setRemainingQuota(std::optional<long long> remaining);

    QLineEdit* TableEdit;
    QPushButton* TableButton;  // "选择表格…"
    QComboBox* GroupBox;  // "通讯录分组：" a group of LinkmanBook/Contacts.xml as the table
    QComboBox* NumberColumnBox;    // "号码列："
    QComboBox* EmptyCellBox;       // "空单元格：" 跳过该行 / 留空
    QPlainTextEdit* TemplateEdit;  // "模板："
    QWidget* FieldBar;             // one button per column: inserts "{列名}"
    QTreeWidget* FindingsList;     // 行, 问题, 内容, 处理
    QSpinBox* RowBox;              // "预览第N行"
    QPlainTextEdit* PreviewEdit;   // the row's text as it goes out
    QLabel* PreviewLabel;          // "N字，分M条发送"
    QLabel* TotalsLabel;           // rows, texts, requests, units (against the quota)
    QLineEdit* NameEdit;           // the campaign's name
    QLabel* ProgressLabel;         // during the send
    QPushButton* SendButton;       // "发送"
    QPushButton* CloseButton;      // "关闭"
    QTimer* RefreshTimer;          // single shot: the check a moment after typing

    // Reads the check's settings and lists and the address book's groups again and shows the
    // window.
    void openDialog();
    // Reads the table (a message on failure); true when read.
    bool loadTable(const QString& path);
    void TableClick();
    // Lists the address book's groups in GroupBox (only its first item when there is no book).
    void loadGroups();
    // Reads the contacts of GroupBox's item as the table (a message on failure); true when read.
    bool loadGroup(int index);
    // Recomputes the findings, the preview and the totals.
    void refresh();
    void showPreview();
    void SendClick();

    const variable::VariablePlan& plan() const { return m_plan; }

private:
    void useTable(variable::VariableTable table, const QString& shownAs);
    void rebuildFieldButtons();
    // The totals line of the plan as it is, against the remaining quota.
    void showTotals();
    void insertField(const QString& name);
    variable::PlanOptions planOptions();
    // Sends (or resumes) the campaign of that name; the result is shown.
    void runCampaign(const std::string& name, bool resume);

    const CredentialsSource* m_credentials = nullptr;
    std::optional<variable::VariableTable> m_table;
    variable::ParsedTemplate m_parsed;
    variable::VariablePlan m_plan;
    ComplianceSettings m_settings;
    ComplianceLists m_lists;
    std::optional<long long> m_remaining;
    // The captions (GBK, from the book down) of GroupBox's items after the first.
    std::vector<std::vector<std::string>> m_groups;
    bool m_sending = false;
};

}  // namespace smsc
