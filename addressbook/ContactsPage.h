#pragma once
// The "通讯录" page: the group tree (TreeView1) built from the address book, the contact
// list (ListView4) of the selected node, the group and contact menus, the buttons under
// the list, and the dialogs that add groups and add or change contacts (TForm8, TForm9).
// Menus and actions follow the *selected* node; a right click selects the node under the
// pointer first. Every change is written to the book at once; the tree and the list change
// only after the write succeeded.

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "addressbook/ContactBook.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace smsc {

class CaptionDelegate;
class RecipientCoordinator;
class TForm8;
class TForm9;
class TForm10;

class ContactsPage final : public QWidget {
    Q_OBJECT
public:
    explicit ContactsPage(QWidget* parent = nullptr);
    ~ContactsPage() override;

    QTreeWidget* TreeView1;            // the group tree; gets the focus when the page is entered
    QLabel* ListCaption;               // "通讯录联系信息"
    QTreeWidget* ListView4;            // the contacts of the selected node
    QMenu* PopupMenu3;                 // group menu
    QAction* AddGroupItem;             // "新增分组"
    QAction* RenameGroupItem;          // "重命名分组"
    QAction* DeleteGroupItem;          // "删除分组"
    QAction* AddContactItem;           // "添加联系人"
    QMenu* PopupMenu4;                 // contact menu
    QAction* EditContactItem;          // "修改联系人"
    QAction* DeleteContactItem;        // "删除联系人"
    QPushButton* NewContactButton;     // "新增联系人"
    QPushButton* EditContactButton;    // "修改联系人"
    QPushButton* BackupButton;         // "通讯录备份"
    QPushButton* RestoreButton;        // "通讯录恢复"
    QPushButton* DeleteContactButton;  // "删除联系人", hidden and disabled
    QPushButton* ImportButton;         // "通讯录导入"
    QPushButton* ExportButton;         // "通讯录导出"
    QTimer* RenameTimer;               // a click on the selected node renames it when this fires
    QPushButton* OptOutButton;         // "退订名单": opens the opt-out list window
    QMenu* ListMenu;                   // the contact list's menu
    QAction* EditRowItem;              // "修改"
    QAction* DeleteRowItem;            // "删除"
    QAction* SendSmsItem;              // "发送短信"

    // What "退订名单" opens (the main window's list window).
    void setOptOutHandler(std::function<void()> handler) { m_optOutHandler = std::move(handler); }

    // Start-up step after the main window's other windows: TForm8, TForm9 (and TForm10,
    // installed as the add menus' "从通讯录导入").
    void createDialogs(RecipientCoordinator* recipients);
    TForm8* form8() const { return m_form8; }
    TForm9* form9() const { return m_form9; }
    TForm10* form10() const { return m_form10; }

    ContactBook& book() { return m_book; }
    static std::string bookPath();

    // Creates a missing book, loads it and builds the tree. A book that cannot be read is
    // left untouched: message, empty tree, changes refused.
    void Treev1_Initialization();

    // ---- tree ----------------------------------------------------------------------------
    QTreeWidgetItem* selectedNode() const;
    static BookPath pathOf(const QTreeWidgetItem* item);
    QTreeWidgetItem* itemAt(const BookPath& path) const;
    // The menu for the selected node, prepared; nullptr without a selection.
    QMenu* prepareTreeMenu();
    void showTreeMenu(const QPoint& globalPos);
    // A right click (at a point of the tree's viewport): an edit in progress ends, a pending
    // rename is dropped, and the node under the pointer becomes the selected one, so the
    // menu that follows is its own.
    void selectNodeForMenu(const QPoint& viewportPos);
    // The rename a click on the selected node started, after the double-click time.
    void RenameTimerTimer();
    // The listing of the selected node, from the book in memory (read again only when
    // another program touched the file).
    void listContacts();
    // The selected rows of the contact list, in list order.
    QList<QTreeWidgetItem*> selectedRows() const;
    // A right click on the list: the row under the pointer joins no selection it is not in
    // (it becomes the only selected row); the menu then acts on the selection.
    void selectRowForMenu(const QPoint& viewportPos);
    // The list's menu for the selection, prepared; nullptr without a selected row.
    QMenu* prepareListMenu();
    // The name of the contact with this mobile number (GBK); empty when none.
    std::string nameOfNumber(const std::string& number);

    // ---- actions -------------------------------------------------------------------------
    void addGroupClick();  // "新增分组"
    void addGroup(const std::string& name);
    void renameClick();  // "重命名分组": edit the caption in place
    // An accepted in-place edit of the item's caption.
    void renameNode(QTreeWidgetItem* item, const QString& typed);
    void deleteNode();           // "删除分组", "删除联系人"
    void addContactClick();      // "添加联系人", "新增联系人"
    void editContactFromTree();  // contact menu "修改联系人"
    // Page button "修改联系人", double click, the list's "修改": the selected row or, with
    // none, the contact selected in the tree.
    void editContactFromList();
    // The Delete key and the list's "删除": the selected rows, after one question.
    void deleteRows();
    // The list's "发送短信": the selected rows' mobile numbers, for the SMS list.
    void sendToSms();
    // The editor's confirmed contact; true when it was stored.
    bool storeContact(bool add, const std::array<std::string, 9>& fields, const std::string& path);
    void backupClick();   // "通讯录备份"
    void restoreClick();  // "通讯录恢复"
    // "通讯录导入": into the selected group (or the book), saved once, the result told.
    void importClick();
    // "通讯录导出": the selected node's contacts (the book, a group or one contact) as
    // vCard, or as CSV when the name ends in ".csv".
    void exportClick();

signals:
    // Mobile numbers (GBK, trimmed, in list order) to add to the SMS recipient list.
    void sendSmsRequested(const std::vector<std::string>& numbers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::function<void()> m_optOutHandler;
    // Reloads the book; false (and the message) when it cannot be read.
    // The file is read and compared (readFile) or only looked at: a question or a dialog
    // that follows is checked again, with a read, before anything is written.
    bool reloadBook(bool readFile = true);
    void reportUnreadable();
    // Reloads the book; true when the node still names an element with its caption and
    // kind. Otherwise the tree is rebuilt from the book as it now is and the user told.
    bool reloadAndCheck(const QTreeWidgetItem* item, bool readFile = true);
    void changedElsewhere();
    // Whether the contact the editor was opened for is still at its path.
    bool editTargetHeld() const;
    void reportSaveFailure();
    // Whether the contact is still at the position, under the name (GBK).
    bool contactHeld(const BookPath& path, const std::string& name) const;
    void removeTreeItems(std::vector<BookPath> paths);
    // A change's outcome: true on success; the failure's message otherwise.
    bool changed(BookChange result);
    QTreeWidgetItem* addTreeItem(QTreeWidgetItem* parent, const std::string& caption, bool contact);
    void buildTree();

    ContactBook m_book;
    bool m_filling = false;
    bool m_asking = false;  // a deletion's question is open
    CaptionDelegate* m_captionDelegate = nullptr;
    // Compared, never followed: the node a left press found selected, the node to rename.
    QTreeWidgetItem* m_pressedSelected = nullptr;
    QTreeWidgetItem* m_renamePending = nullptr;
    // The contact the editor was opened for: by the tree node's caption, or by the name in
    // a list row's record.
    BookPath m_editPath;
    std::string m_editName;
    bool m_editByName = false;
    TForm8* m_form8 = nullptr;
    TForm9* m_form9 = nullptr;
    TForm10* m_form10 = nullptr;
};

}  // namespace smsc
