#pragma once
// "新建定时任务": a scheduled SMS campaign from the window. The name, the numbers (the SMS
// page's recipient list or a file), the message (the SMS page's text as it goes out), the
// time "YYYY-MM-DD HH:MM", the daily window HH:MM-HH:MM and whether it is marketing; created
// by the same step as smsclient-cli campaign start --at.

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace smsc {

// What the SMS page and the login give the dialog (GBK).
struct NewCampaignSource {
    std::function<std::vector<std::string>()> entries;  // the recipient list's entries
    std::function<std::string()> text;                  // the message as it goes out
    std::function<bool()> marketing;                    // the page's kind is 营销
    std::function<std::optional<std::string>()> user;   // the logged-in user; none: offline
    std::function<bool()> blocked;  // the check before a send blocks the message
};

class NewScheduledCampaignDialog final : public QDialog {
    Q_OBJECT
public:
    explicit NewScheduledCampaignDialog(QWidget* parent = nullptr);

    QLineEdit* NameEdit;
    QRadioButton* PageNumbersButton;  // "短信发送页的号码（N个）"
    QRadioButton* FileNumbersButton;  // "号码文件："
    QLineEdit* FileEdit;
    QPushButton* BrowseButton;  // "浏览…"
    QPlainTextEdit* TextView;   // the message, read only
    QLineEdit* AtEdit;          // "YYYY-MM-DD HH:MM"
    QLineEdit* WindowEdit;      // "HH:MM-HH:MM", empty: any time (marketing: its hours)
    QCheckBox* MarketingBox;    // "营销短信"
    QPushButton* CreateButton;  // "创建"
    QPushButton* CloseButton;   // "取消"

    void setSource(NewCampaignSource source) { m_source = std::move(source); }
    // Fills the fields from the SMS page and shows the dialog modally; true when a campaign
    // was created.
    bool openDialog();
    void BrowseClick();
    // Checks the fields and creates the campaign; the dialog closes when it was created.
    void CreateClick();

private:
    // The numbers chosen, repeats dropped; none after telling the user why. For a file,
    // *fileSummary (GBK) says what it gave and left when it left anything.
    std::optional<std::vector<std::string>> numbers(std::string* fileSummary);
    void refuse(const QString& text);

    NewCampaignSource m_source;
};

}  // namespace smsc
