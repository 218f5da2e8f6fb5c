#pragma once
// The contact editor: nine rows "姓名" ... "邮编" with one value cell each, an overlay field
// that edits the clicked row's value, and a hidden label with the contact's position path.
// The caption is the mode: "添加联系人信息" adds, "修改联系人信息" rewrites.
// It reads as a form: it opens editing "姓名"; Tab and Shift+Tab move through the rows and
// the two buttons in order, Enter moves to the next row and confirms from the last one,
// Esc cancels.

#include <QDialog>

#include <array>
#include <functional>
#include <string>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace smsc {

class TForm9 final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRows = 9;
    using Fields = std::array<std::string, kRows>;  // GBK

    explicit TForm9(QWidget* parent = nullptr);
    ~TForm9() override;

    QLabel* Label1;          // "单击内容可修改"
    QTreeWidget* ListView1;  // "名称" / "内容", nine rows
    QLineEdit* Edit1;        // the overlay field
    QLabel* Label2;          // hidden: the position path
    QPushButton* Button1;    // "确定"
    QPushButton* Button2;    // "取消"

    static QString addCaption() { return QStringLiteral("添加联系人信息"); }
    static QString editCaption() { return QStringLiteral("修改联系人信息"); }
    bool addMode() const;

    // The checked contact: add mode, the nine trimmed values, the trimmed path. The
    // handler returns true when the contact was stored; the editor then closes.
    using CommitHandler =
        std::function<bool(bool add, const Fields& fields, const std::string& path)>;
    void setCommitHandler(CommitHandler handler) { m_commit = std::move(handler); }

    // The open actions: fill the rows and the path, set the mode, show modally.
    void openForAdd(const std::string& path);
    void openForEdit(const Fields& fields, const std::string& path);

    void setValue(int row, const QString& text);
    QString value(int row) const;
    Fields values() const;

    // A click on a row: the overlay over that row's value, with the focus.
    void showOverlay(int row);
    // The overlay's text becomes its row's value and the overlay hides.
    void commitOverlay();
    // "确定": name, mobile number and "|" checks, then the handler.
    void Button1Click();
    // The row the overlay edits; -1 when it is hidden.
    int overlayRow() const { return m_overlayRow; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openWith(const QString& caption, const Fields& fields, const std::string& path);

    CommitHandler m_commit;
    int m_overlayRow = -1;
};

}  // namespace smsc
