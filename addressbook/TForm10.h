#pragma once
// "选择要导入的联系人列表": the address book's group tree and the contacts of the selected
// node, from which the selected contacts' mobile numbers go to the recipient list of the
// send page that is shown. It reads the book into its own document and never writes it.

#include <QDialog>

#include <string>
#include <vector>

#include "addressbook/ContactBook.h"

class QPushButton;
class QTreeWidget;

namespace smsc {

class RecipientCoordinator;
class RecipientPanel;

class TForm10 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm10(QWidget* parent = nullptr);
    ~TForm10() override;

    QTreeWidget* TreeView1;  // the group tree, rebuilt on every show
    QTreeWidget* ListView1;  // the contacts, multiple selection
    QPushButton* Button1;    // "全选"
    QPushButton* Button2;    // "取消选择"
    QPushButton* Button3;    // "导入"
    QPushButton* Button4;    // "返回"

    // Becomes the add menus' "从通讯录导入" (after the verification check).
    void install(RecipientCoordinator* recipients);
    // Rebuilds the tree from the book, then shows the dialog modally.
    void openDialog();
    void rebuildTree();
    void listContacts();

    void Button1Click();  // "全选"
    void Button2Click();  // "取消选择": the first selected row
    void Button3Click();  // "导入"

private:
    ContactBook m_book;
    RecipientCoordinator* m_recipients = nullptr;
};

// Appends contacts' mobile numbers to the panel's list as "导入" does: interleaved with the
// verification number when it is on, the progress and status shown, the count updated.
// False (after the message) when the interval is not a whole number.
bool AppendContactNumbers(QWidget* parent, RecipientPanel* panel, std::vector<std::string> numbers);

}  // namespace smsc
