#include "addressbook/ContactsPage.h"

#include <QAction>
#include <QDate>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>

#include "addressbook/ContactTransfer.h"
#include "addressbook/TForm10.h"
#include "addressbook/TForm8.h"
#include "addressbook/TForm9.h"
#include "platform/AtomicFile.h"
#include "platform/DataDir.h"
#include "platform/FileDialogs.h"
#include "platform/ListViews.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/RecipientPanel.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

// "通讯录导入" and "通讯录导出" share one remembered folder.
constexpr const char* kContactsFolderKind = "Contacts_Exchange";

constexpr int kCaptionRole = Qt::UserRole;      // the caption as stored in the book
constexpr int kContactRole = Qt::UserRole + 1;  // whether the node is a contact
constexpr int kPathRole = Qt::UserRole;         // a list row: its contact's position now

const QString kWarning = QStringLiteral("提醒");
const QString kNotice = QStringLiteral("提示");
const QString kTooDeep = QStringLiteral("通讯录最多只能添加3个级别的分组！");
const QString kNoBar = QStringLiteral("联系人信息中不能包含“|”字符");

int levelOf(const QTreeWidgetItem* item) {
    int level = 0;
    for (const QTreeWidgetItem* up = item->parent(); up; up = up->parent())
        ++level;
    return level;
}

bool isGroupCaption(const QString& caption) {
    return caption.contains(QLatin1Char(']'));
}

QTreeWidgetItem* makeItem(const BookNode& node) {
    auto* item = new QTreeWidgetItem({QStringFromGbk(node.caption)});
    item->setData(0, kCaptionRole, item->text(0));
    item->setData(0, kContactRole, node.isContact);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<int>(node.children.size()));
    for (const BookNode& child : node.children)
        children.append(makeItem(child));
    item->addChildren(children);
    return item;
}

QTreeWidgetItem* makeRow(const ContactRow& row) {
    QStringList texts;
    texts.reserve(10);
    texts.append(QStringFromGbk(row.caption));
    for (const std::string& cell : row.cells)
        texts.append(QStringFromGbk(cell));
    auto* item = new QTreeWidgetItem(texts);
    item->setData(0, kPathRole, QString::fromStdString(PathText(row.path)));
    return item;
}

BookPath rowPath(const QTreeWidgetItem* row) {
    BookPath path;
    ParsePathText(row->data(0, kPathRole).toString().toStdString(), &path);
    return path;
}

// "[客户]" names the group 客户.
QString groupName(const QString& caption) {
    QString name = caption;
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    return name;
}

}  // namespace

// The in-place editor of a caption. It has no menu of its own: a right click on it ends the
// edit (keeping what was typed, as leaving it does) and opens the node's menu instead.
class CaptionDelegate final : public QStyledItemDelegate {
public:
    CaptionDelegate(QObject* editorFilter, QObject* parent)
        : QStyledItemDelegate(parent), m_filter(editorFilter) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor) {
            editor->setContextMenuPolicy(Qt::NoContextMenu);
            editor->installEventFilter(m_filter);
            m_editor = editor;
        }
        return editor;
    }
    QWidget* editor() const { return m_editor; }
    void finishEditing() {
        if (QWidget* editor = m_editor) {
            m_editor = nullptr;
            emit commitData(editor);
            emit closeEditor(editor);
        }
    }

private:
    QObject* m_filter;
    mutable QPointer<QWidget> m_editor;
};

ContactsPage::ContactsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ContactsPage"));

    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setGeometry(8, 8, 180, 390);
    // A click on the selected node starts the rename after the double-click time, as Qt's own
    // trigger does, but through a timer of ours, which a right click can stop.
    TreeView1->setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_captionDelegate = new CaptionDelegate(this, TreeView1);
    TreeView1->setItemDelegate(m_captionDelegate);
    RenameTimer = new QTimer(this);
    RenameTimer->setObjectName(QStringLiteral("RenameTimer"));
    RenameTimer->setSingleShot(true);
    RenameTimer->setInterval(QApplication::doubleClickInterval());
    connect(RenameTimer, &QTimer::timeout, this, &ContactsPage::RenameTimerTimer);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    // A right click selects the node under the pointer first (Qt would only make it current).
    TreeView1->viewport()->installEventFilter(this);
    setFocusProxy(TreeView1);

    ListCaption = new QLabel(QStringLiteral("通讯录联系信息"), this);
    ListCaption->setObjectName(QStringLiteral("ListCaption"));
    ListCaption->setGeometry(196, 8, 300, 18);

    ListView4 = new QTreeWidget(this);
    ListView4->setObjectName(QStringLiteral("ListView4"));
    ListView4->setGeometry(196, 28, 400, 296);
    ListView4->setRootIsDecorated(false);
    ListView4->setUniformRowHeights(true);
    ListView4->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView4->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView4->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView4->installEventFilter(this);
    ListView4->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView4->setHeaderLabels({QStringLiteral("编号"), QStringLiteral("姓名"),
                                QStringLiteral("手机号码"), QStringLiteral("称呼"),
                                QStringLiteral("邮箱"), QStringLiteral("地址"),
                                QStringLiteral("公司名称"), QStringLiteral("公司电话"),
                                QStringLiteral("传真"), QStringLiteral("邮编")});
    ListView4->header()->setMinimumSectionSize(1);
    ListView4->setColumnWidth(0, 1);
    ShowGridRows(ListView4);
    FitColumns(ListView4, {QString(), QString(), QStringLiteral("13912345678")});

    const auto button = [this](const QString& caption, const QString& name, int x) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setGeometry(x, 366, 90, 28);
        return b;
    };
    NewContactButton =
        button(QStringLiteral("新增联系人"), QStringLiteral("NewContactButton"), 196);
    EditContactButton =
        button(QStringLiteral("修改联系人"), QStringLiteral("EditContactButton"), 298);
    BackupButton = button(QStringLiteral("通讯录备份"), QStringLiteral("BackupButton"), 400);
    RestoreButton = button(QStringLiteral("通讯录恢复"), QStringLiteral("RestoreButton"), 502);
    DeleteContactButton =
        button(QStringLiteral("删除联系人"), QStringLiteral("DeleteContactButton"), 502);
    DeleteContactButton->setEnabled(false);
    DeleteContactButton->hide();
    ImportButton = button(QStringLiteral("通讯录导入"), QStringLiteral("ImportButton"), 400);
    ImportButton->move(400, 332);
    ExportButton = button(QStringLiteral("通讯录导出"), QStringLiteral("ExportButton"), 502);
    ExportButton->move(502, 332);
    // The opt-out list is the main window's; this page only offers the way to it.
    OptOutButton = button(QStringLiteral("退订名单"), QStringLiteral("OptOutButton"), 506);
    OptOutButton->setGeometry(506, 2, 90, 24);
    connect(OptOutButton, &QPushButton::clicked, this, [this] {
        if (m_optOutHandler)
            m_optOutHandler();
    });

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    AddGroupItem = PopupMenu3->addAction(QStringLiteral("新增分组"));
    RenameGroupItem = PopupMenu3->addAction(QStringLiteral("重命名分组"));
    DeleteGroupItem = PopupMenu3->addAction(QStringLiteral("删除分组"));
    AddContactItem = PopupMenu3->addAction(QStringLiteral("添加联系人"));
    PopupMenu4 = new QMenu(this);
    PopupMenu4->setObjectName(QStringLiteral("PopupMenu4"));
    EditContactItem = PopupMenu4->addAction(QStringLiteral("修改联系人"));
    DeleteContactItem = PopupMenu4->addAction(QStringLiteral("删除联系人"));
    ListMenu = new QMenu(this);
    ListMenu->setObjectName(QStringLiteral("ListMenu"));
    EditRowItem = ListMenu->addAction(QStringLiteral("修改"));
    DeleteRowItem = ListMenu->addAction(QStringLiteral("删除"));
    DeleteRowItem->setShortcut(QKeySequence::Delete);
    ListMenu->addSeparator();
    SendSmsItem = ListMenu->addAction(QStringLiteral("发送短信"));

    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, &ContactsPage::listContacts);
    connect(TreeView1, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showTreeMenu(TreeView1->viewport()->mapToGlobal(pos)); });
    connect(TreeView1, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (!m_filling && column == 0)
            renameNode(item, item->text(0));
    });
    connect(ListView4, &QTreeWidget::itemDoubleClicked, this, &ContactsPage::editContactFromList);
    connect(ListView4, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        selectRowForMenu(pos);
        if (QMenu* menu = prepareListMenu())
            menu->popup(ListView4->viewport()->mapToGlobal(pos));
    });
    connect(EditRowItem, &QAction::triggered, this, &ContactsPage::editContactFromList);
    connect(DeleteRowItem, &QAction::triggered, this, &ContactsPage::deleteRows);
    connect(SendSmsItem, &QAction::triggered, this, &ContactsPage::sendToSms);
    connect(AddGroupItem, &QAction::triggered, this, &ContactsPage::addGroupClick);
    connect(RenameGroupItem, &QAction::triggered, this, &ContactsPage::renameClick);
    connect(DeleteGroupItem, &QAction::triggered, this, &ContactsPage::deleteNode);
    connect(AddContactItem, &QAction::triggered, this, &ContactsPage::addContactClick);
    connect(EditContactItem, &QAction::triggered, this, &ContactsPage::editContactFromTree);
    connect(DeleteContactItem, &QAction::triggered, this, &ContactsPage::deleteNode);
    connect(NewContactButton, &QPushButton::clicked, this, &ContactsPage::addContactClick);
    connect(EditContactButton, &QPushButton::clicked, this, &ContactsPage::editContactFromList);
    connect(DeleteContactButton, &QPushButton::clicked, this, &ContactsPage::deleteNode);
    connect(BackupButton, &QPushButton::clicked, this, &ContactsPage::backupClick);
    connect(RestoreButton, &QPushButton::clicked, this, &ContactsPage::restoreClick);
    connect(ImportButton, &QPushButton::clicked, this, &ContactsPage::importClick);
    connect(ExportButton, &QPushButton::clicked, this, &ContactsPage::exportClick);
}

ContactsPage::~ContactsPage() = default;

void ContactsPage::createDialogs(RecipientCoordinator* recipients) {
    if (m_form8)
        return;
    m_form8 = new TForm8(this);
    m_form8->setNameHandler([this](const std::string& name) { addGroup(name); });
    m_form9 = new TForm9(this);
    m_form9->setCommitHandler(
        [this](bool add, const TForm9::Fields& fields, const std::string& path) {
            return storeContact(add, fields, path);
        });
    m_form10 = new TForm10(this);
    if (recipients)
        m_form10->install(recipients);
}

std::string ContactsPage::bookPath() {
    return DataPath("LinkmanBook/Contacts.xml");
}

void ContactsPage::Treev1_Initialization() {
    RenameTimer->stop();
    m_renamePending = nullptr;
    m_filling = true;
    TreeView1->clear();
    m_filling = false;
    ListView4->clear();
    // A missing book (or folder) is created empty so the first contact is not lost; one
    // that exists is never replaced.
    CreateBookIfMissing(bookPath());
    if (!m_book.load(bookPath())) {
        reportUnreadable();
        return;
    }
    buildTree();
}

void ContactsPage::buildTree() {
    m_filling = true;
    QTreeWidgetItem* root = makeItem(m_book.tree());
    TreeView1->addTopLevelItem(root);
    root->setExpanded(true);
    m_filling = false;
}

void ContactsPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A book that could not be read at start-up is tried again when the page is entered.
    if (!m_book.isLoaded() && TreeView1->topLevelItemCount() == 0 &&
        std::filesystem::exists(bookPath()))
        Treev1_Initialization();
}

bool ContactsPage::reloadBook(bool readFile) {
    if (m_book.path() != bookPath() ? m_book.load(bookPath())
        : readFile                  ? m_book.refresh()
                                    : m_book.refreshIfTouched())
        return true;
    reportUnreadable();
    return false;
}

void ContactsPage::reportUnreadable() {
    ShowMessage(this, QStringLiteral("通讯录文件无法读取，请检查LinkmanBook\\Contacts.xml"),
                kWarning);
}

void ContactsPage::reportSaveFailure() {
    ShowMessage(this,
                m_book.declarationsUnwritable()
                    ? QStringLiteral("通讯录保存失败：文件中的文档类型或命名空间声明无法原样写回，"
                                     "修改未保存，文件保持原样")
                    : QStringLiteral("通讯录保存失败，文件可能被其他程序使用"),
                kWarning);
}

bool ContactsPage::reloadAndCheck(const QTreeWidgetItem* item, bool readFile) {
    if (!reloadBook(readFile))
        return false;
    if (m_book.holds(pathOf(item), GbkFromQString(item->data(0, kCaptionRole).toString()),
                     item->data(0, kContactRole).toBool()))
        return true;
    changedElsewhere();
    return false;
}

void ContactsPage::changedElsewhere() {
    m_filling = true;
    TreeView1->clear();
    m_filling = false;
    ListView4->clear();
    buildTree();
    ShowMessage(this, QStringLiteral("通讯录已被其他程序修改，请重新选择"), kWarning);
}

bool ContactsPage::editTargetHeld() const {
    if (!m_editByName)
        return m_book.holds(m_editPath, m_editName, true);
    const std::vector<std::string> parts = SplitBySeparator(m_book.recordAt(m_editPath), "|");
    return m_book.isContact(m_editPath) && !parts.empty() && parts.front() == m_editName;
}

bool ContactsPage::changed(BookChange result) {
    switch (result) {
        case BookChange::Ok:
            return true;
        case BookChange::SaveFailed:
            reportSaveFailure();
            return false;
        case BookChange::NotLoaded:
            reportUnreadable();
            return false;
        case BookChange::Refused:
            return false;
    }
    return false;
}

QTreeWidgetItem* ContactsPage::selectedNode() const {
    const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

BookPath ContactsPage::pathOf(const QTreeWidgetItem* item) {
    BookPath path;
    for (; item && item->parent(); item = item->parent())
        path.insert(path.begin(), item->parent()->indexOfChild(const_cast<QTreeWidgetItem*>(item)));
    return path;
}

QTreeWidgetItem* ContactsPage::itemAt(const BookPath& path) const {
    QTreeWidgetItem* item = TreeView1->topLevelItem(0);
    for (int index : path) {
        if (!item)
            return nullptr;
        item = item->child(index);
    }
    return item;
}

QTreeWidgetItem* ContactsPage::addTreeItem(QTreeWidgetItem* parent, const std::string& caption,
                                           bool contact) {
    BookNode node;
    node.caption = caption;
    node.isContact = contact;
    QTreeWidgetItem* item = makeItem(node);
    m_filling = true;
    parent->addChild(item);
    m_filling = false;
    return item;
}

void ContactsPage::selectNodeForMenu(const QPoint& viewportPos) {
    RenameTimer->stop();
    m_renamePending = nullptr;
    m_captionDelegate->finishEditing();
    QTreeWidgetItem* node = TreeView1->itemAt(viewportPos);
    if (!node || (node->isSelected() && TreeView1->currentItem() == node))
        return;  // on empty space the menu is that of the selected node
    TreeView1->setCurrentItem(node);
    TreeView1->clearSelection();
    node->setSelected(true);
}

void ContactsPage::RenameTimerTimer() {
    RenameTimer->stop();
    QTreeWidgetItem* node = selectedNode();
    if (node && node == m_renamePending)
        TreeView1->editItem(node, 0);
    m_renamePending = nullptr;
}

bool ContactsPage::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                       type == QEvent::MouseButtonDblClick;
    if (watched == ListView4 && type == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        deleteRows();
        return true;
    }
    if (watched == TreeView1->viewport() && mouse) {
        const auto* click = static_cast<QMouseEvent*>(event);
        const QPoint pos = click->position().toPoint();
        if (click->button() == Qt::RightButton) {
            if (type == QEvent::MouseButtonPress)
                selectNodeForMenu(pos);
            return true;
        }
        if (click->button() == Qt::LeftButton) {
            QTreeWidgetItem* node = TreeView1->itemAt(pos);
            if (type == QEvent::MouseButtonPress) {
                RenameTimer->stop();
                m_pressedSelected = node && node->isSelected() ? node : nullptr;
            } else if (type == QEvent::MouseButtonRelease) {
                // A click on the node that was already selected renames it, unless a double
                // click follows.
                if (node && node == m_pressedSelected) {
                    m_renamePending = node;
                    RenameTimer->start();
                }
                m_pressedSelected = nullptr;
            } else {
                RenameTimer->stop();
                m_renamePending = nullptr;
            }
        }
    } else if (watched == m_captionDelegate->editor()) {
        auto* editor = static_cast<QWidget*>(watched);
        if (mouse && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
            return true;  // the menu request that follows does the work
        if (type == QEvent::ContextMenu) {
            const auto* request = static_cast<QContextMenuEvent*>(event);
            selectNodeForMenu(editor->mapTo(TreeView1->viewport(), request->pos()));
            showTreeMenu(request->globalPos());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QMenu* ContactsPage::prepareTreeMenu() {
    const QTreeWidgetItem* node = selectedNode();
    if (!node)
        return nullptr;
    AddGroupItem->setEnabled(true);
    DeleteGroupItem->setEnabled(true);
    if (!isGroupCaption(node->text(0)))
        return PopupMenu4;
    const int level = levelOf(node);
    if (level == 0)
        DeleteGroupItem->setEnabled(false);
    if (level >= 2)
        AddGroupItem->setEnabled(false);
    return PopupMenu3;
}

void ContactsPage::showTreeMenu(const QPoint& globalPos) {
    if (QMenu* menu = prepareTreeMenu())
        menu->popup(globalPos);
}

void ContactsPage::listContacts() {
    ListView4->clear();
    const QTreeWidgetItem* node = selectedNode();
    if (!node)
        return;
    // The book's own path, set by Treev1_Initialization: no look-up of the data folder.
    if (!m_book.refreshIfTouched()) {
        reportUnreadable();
        return;
    }
    QList<QTreeWidgetItem*> rows;
    for (const ContactRow& row : m_book.listContacts(pathOf(node)))
        rows.append(makeRow(row));
    ListView4->addTopLevelItems(rows);
    const QString caption = node->text(0).trimmed();
    for (QTreeWidgetItem* row : rows) {
        if (row->text(1).trimmed() == caption) {
            ListView4->setCurrentItem(
                row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            ListView4->setFocus();
            break;
        }
    }
}

void ContactsPage::addGroupClick() {
    const QTreeWidgetItem* node = selectedNode();
    if (!node || !m_form8)
        return;
    if (levelOf(node) > 2) {
        ShowMessage(this, kTooDeep, PlainMessageCaption(), MsgIcon::None);
        return;
    }
    m_form8->openDialog();
}

void ContactsPage::addGroup(const std::string& name) {
    QTreeWidgetItem* node = selectedNode();
    if (!node || !reloadAndCheck(node) || !changed(m_book.addGroup(pathOf(node), name)))
        return;
    QTreeWidgetItem* item = addTreeItem(node, "[" + StripXmlControls(name) + "]", false);
    node->setExpanded(true);
    if (node->parent()) {
        TreeView1->setCurrentItem(item);
        TreeView1->clearSelection();
        item->setSelected(true);
    }
}

void ContactsPage::renameClick() {
    if (QTreeWidgetItem* node = selectedNode())
        TreeView1->editItem(node, 0);
}

void ContactsPage::renameNode(QTreeWidgetItem* item, const QString& typed) {
    const QString before = item->data(0, kCaptionRole).toString();
    const auto setCaption = [&](const QString& caption) {
        m_filling = true;
        item->setText(0, caption);
        item->setData(0, kCaptionRole, caption);
        m_filling = false;
    };
    if (typed == before)
        return;
    const std::string name = TrimBlanks(RemoveBrackets(StripXmlControls(GbkFromQString(typed))));
    // An empty name keeps the caption; a "|" would shift the fields of a contact's record.
    if (name.empty()) {
        setCaption(before);
        return;
    }
    if (ContainsCharacter(name, '|')) {
        setCaption(before);
        ShowMessage(this, kNoBar, kWarning);
        return;
    }
    const std::string caption = isGroupCaption(before) ? "[" + name + "]" : name;
    // Renamed in the book as it is now, and only when the node still names its element.
    if (!reloadBook()) {
        setCaption(before);
        return;
    }
    if (!m_book.holds(pathOf(item), GbkFromQString(before), item->data(0, kContactRole).toBool())) {
        setCaption(before);
        // Not from inside the item's own change: the tree is rebuilt once it is done.
        QMetaObject::invokeMethod(this, &ContactsPage::changedElsewhere, Qt::QueuedConnection);
        return;
    }
    if (!changed(m_book.rename(pathOf(item), caption))) {
        setCaption(before);
        return;
    }
    setCaption(QStringFromGbk(caption));
    // The list shows the record's name too.
    if (!isGroupCaption(before))
        listContacts();
}

void ContactsPage::deleteNode() {
    RenameTimer->stop();
    m_renamePending = nullptr;
    QTreeWidgetItem* node = selectedNode();
    // The book itself is never deleted.
    if (!node || !node->parent() || m_asking || !reloadAndCheck(node, false))
        return;
    // A group's question names it and what goes with it.
    const QString question = isGroupCaption(node->text(0))
                                 ? QStringLiteral("删除分组“%1”及其%2个联系人？")
                                       .arg(groupName(node->data(0, kCaptionRole).toString()))
                                       .arg(m_book.contactCount(pathOf(node)))
                                 : QStringLiteral("确定删除么？");
    m_asking = true;
    const bool confirmed = Confirm(this, question, kWarning);
    m_asking = false;
    // The question may have been open while another program wrote the book (the tree is
    // then rebuilt and the node gone).
    if (!confirmed || selectedNode() != node || !reloadAndCheck(node))
        return;
    if (!changed(m_book.remove(pathOf(node))))
        return;
    m_filling = true;
    delete node;
    m_filling = false;
    // Later contacts moved up: the list shows their new positions.
    listContacts();
}

void ContactsPage::addContactClick() {
    const QTreeWidgetItem* node = selectedNode();
    if (!node || !m_form9) {
        ShowMessage(this, QStringLiteral("请指定要增加联系人的分组"), kNotice);
        return;
    }
    if (levelOf(node) > 2) {
        ShowMessage(this, kTooDeep, kNotice);
        return;
    }
    if (!isGroupCaption(node->text(0))) {
        ShowMessage(this, QStringLiteral("该分组不能添加联系人"), kNotice);
        return;
    }
    BookPath path = pathOf(node);
    path.push_back(node->childCount());
    m_form9->openForAdd(PathText(path));
}

void ContactsPage::editContactFromTree() {
    const QTreeWidgetItem* node = selectedNode();
    if (!node || !m_form9 || !reloadAndCheck(node, false))
        return;
    const BookPath path = pathOf(node);
    const std::string record = m_book.recordAt(path);
    if (record.empty())
        return;
    const std::vector<std::string> parts = SplitBySeparator(record, "|");
    TForm9::Fields fields;
    for (std::size_t i = 0; i < fields.size() && i < parts.size(); ++i)
        fields[i] = parts[i];
    m_editPath = path;
    m_editName = GbkFromQString(node->data(0, kCaptionRole).toString());
    m_editByName = false;
    // The element's own position, whatever an older installation stored in the record.
    m_form9->openForEdit(fields, PathText(path));
}

void ContactsPage::editContactFromList() {
    const QList<QTreeWidgetItem*> selected = selectedRows();
    const QTreeWidgetItem* node = selectedNode();
    if (selected.isEmpty() && node && node->data(0, kContactRole).toBool()) {
        editContactFromTree();
        return;
    }
    if (selected.isEmpty() || !m_form9) {
        ShowMessage(this, QStringLiteral("请选择通讯录联系信息表中的要修改的项"), kNotice);
        return;
    }
    const QTreeWidgetItem* row = selected.first();
    TForm9::Fields fields;
    for (int i = 0; i < TForm9::kRows; ++i)
        fields[i] = GbkFromQString(row->text(i + 1));
    const std::string pathText = GbkFromQString(row->text(0));
    // The row names its contact by position and name: both must still hold in the book.
    m_editByName = ParsePathText(pathText, &m_editPath);
    m_editName = fields[0];
    if (m_editByName && (!reloadBook(false) || !editTargetHeld())) {
        if (m_book.isLoaded())
            changedElsewhere();
        return;
    }
    m_form9->openForEdit(fields, pathText);
}

bool ContactsPage::storeContact(bool add, const std::array<std::string, 9>& fields,
                                const std::string& pathText) {
    BookPath path;
    if (!ParsePathText(pathText, &path))
        return false;
    const std::string& name = fields[0];
    // The editor was open for a while: the change goes into the book as it is now, and
    // only when the group or the contact is still where it was.
    const auto refuse = [this] {
        if (m_form9)
            m_form9->reject();
        return false;
    };
    if (add) {
        const BookPath parent(path.begin(), path.end() - 1);
        QTreeWidgetItem* group = itemAt(parent);
        if (group ? !reloadAndCheck(group) : !reloadBook())
            return m_book.isLoaded() ? refuse() : false;
        if (!changed(m_book.addContact(parent, name, BuildContactRecord(fields, pathText))))
            return false;
        ContactRow added{PathText(parent), fields, parent};
        added.path.push_back(m_book.childCount(parent) - 1);
        added.caption = PathText(added.path);
        ListView4->addTopLevelItem(makeRow(added));
        if (QTreeWidgetItem* group = itemAt(parent)) {
            QTreeWidgetItem* item = addTreeItem(group, name, true);
            group->setExpanded(true);
            if (path.size() >= 2) {
                TreeView1->clearSelection();
                TreeView1->setCurrentItem(item);
                item->setSelected(true);
            }
        }
        return true;
    }
    if (!reloadBook())
        return false;
    if (path != m_editPath || !editTargetHeld()) {
        changedElsewhere();
        return refuse();
    }
    if (!changed(m_book.rewriteContact(path, name, BuildContactRecord(fields, pathText))))
        return false;
    // The row of the edited contact, wherever the selection went meanwhile.
    const QString pathRole = QString::fromStdString(PathText(path));
    for (int i = 0; i < ListView4->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = ListView4->topLevelItem(i);
        if (row->data(0, kPathRole).toString() != pathRole)
            continue;
        for (int cell = 0; cell < TForm9::kRows; ++cell)
            row->setText(cell + 1, QStringFromGbk(fields[cell]));
    }
    if (QTreeWidgetItem* item = itemAt(path)) {
        m_filling = true;
        item->setText(0, QStringFromGbk(name));
        item->setData(0, kCaptionRole, item->text(0));
        m_filling = false;
    }
    return true;
}

void ContactsPage::backupClick() {
    // ".xml" is added to the chosen name, so the suggestion goes without it.
    const QString chosen = ChooseFileToSave(
        this, folder_kind::kBookBackup, QStringLiteral("通讯录备份"),
        QStringLiteral("所有文件(*.*) (*)"),
        QStringLiteral("通讯录备份_") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    if (chosen.isEmpty())
        return;
    const std::string target = QFile::encodeName(chosen + QStringLiteral(".xml")).toStdString();
    // Read as the loader reads it: a FIFO or a device in its place is no book.
    const std::optional<std::string> bytes = ReadBookFile(bookPath());
    if (bytes && WriteFileAtomically(target, *bytes))
        ShowMessage(this, QStringLiteral("通讯录备份成功"), QStringLiteral("恭喜"));
    else
        ShowMessage(this, QStringLiteral("通讯录备份失败，文件可能被其他程序使用"), kWarning);
}

void ContactsPage::restoreClick() {
    const QString chosen =
        ChooseFileToOpen(this, folder_kind::kBookBackup, QStringLiteral("通讯录恢复"),
                         QStringLiteral("所有文件(*.xml) (*.xml)"));
    if (chosen.isEmpty())
        return;
    const std::optional<std::string> bytes = ReadBookFile(QFile::encodeName(chosen).toStdString());
    // Checked before anything is replaced: a wrong file never destroys the book.
    if (bytes && !IsValidAddressBook(*bytes)) {
        ShowMessage(this, QStringLiteral("通讯录恢复失败，所选文件不是有效的通讯录"), kWarning);
        return;
    }
    // The question names what the backup replaces (a book that cannot be read holds none).
    const bool readable = m_book.path() == bookPath() ? m_book.refresh() : m_book.load(bookPath());
    const int current = readable ? m_book.contactCount({}) : 0;
    if (bytes &&
        !Confirm(this,
                 QStringLiteral("将用备份替换当前通讯录（%1个联系人），是否继续？").arg(current),
                 kWarning))
        return;
    if (!bytes || !WriteFileAtomically(bookPath(), *bytes)) {
        ShowMessage(this, QStringLiteral("通讯录恢复失败，文件可能被其他程序使用"), kWarning);
        return;
    }
    Treev1_Initialization();
    ShowMessage(this, QStringLiteral("通讯录恢复成功"), QStringLiteral("恭喜"));
}

void ContactsPage::importClick() {
    QTreeWidgetItem* node = selectedNode();
    if (!node) {
        ShowMessage(this, QStringLiteral("请指定要导入联系人的分组"), kNotice);
        return;
    }
    if (!isGroupCaption(node->text(0))) {
        ShowMessage(this, QStringLiteral("该分组不能添加联系人"), kNotice);
        return;
    }
    if (levelOf(node) > 2) {
        ShowMessage(this, kTooDeep, kNotice);
        return;
    }
    const QString chosen = ChooseFileToOpen(
        this, kContactsFolderKind, QStringLiteral("通讯录导入"),
        QStringLiteral("通讯录文件(*.vcf *.csv *.xls *.xlsx *.ods);;vCard文件(*.vcf);;"
                       "CSV文件(*.csv);;Excel文件(*.xls *.xlsx *.ods);;所有文件(*)"));
    // The group must still be where the tree shows it.
    if (chosen.isEmpty() || !reloadAndCheck(node))
        return;
    const ContactsRead read = ReadContactsFile(QFile::encodeName(chosen).toStdString());
    if (read.error != ContactReadError::None) {
        ShowMessage(this, QStringFromGbk(ContactReadErrorText(read.error)), kWarning);
        return;
    }
    const BookPath group = pathOf(node);
    const ContactImportResult result = ImportContacts(m_book, group, read.contacts);
    if (result.change == BookChange::Refused) {
        ShowMessage(this,
                    QStringLiteral("导入后通讯录将超过%1MB，没有导入任何联系人")
                        .arg(kMaxBookBytes / (1024 * 1024)),
                    kWarning);
        return;
    }
    if (!changed(result.change))
        return;
    // The tree shows the group's new contacts, the list the group.
    m_filling = true;
    TreeView1->clear();
    m_filling = false;
    buildTree();
    if (QTreeWidgetItem* item = itemAt(group)) {
        for (QTreeWidgetItem* up = item; up; up = up->parent())
            up->setExpanded(true);
        TreeView1->setCurrentItem(item);
        item->setSelected(true);
    }
    ShowMessage(this, QStringFromGbk(ImportResultText(result)), kNotice);
}

void ContactsPage::exportClick() {
    const QTreeWidgetItem* node = selectedNode();
    const BookPath path = node ? pathOf(node) : BookPath{};
    if (node ? !reloadAndCheck(node) : !reloadBook())
        return;
    if (m_book.listContacts(path).empty()) {
        ShowMessage(this, QStringLiteral("没有可导出的联系人"), kNotice);
        return;
    }
    const QString suggested =
        (node && node->parent() ? node->text(0).remove(QLatin1Char('[')).remove(QLatin1Char(']'))
                                : QStringLiteral("通讯录")) +
        QStringLiteral(".vcf");
    QString chosen =
        ChooseFileToSave(this, kContactsFolderKind, QStringLiteral("通讯录导出"),
                         QStringLiteral("vCard文件(*.vcf);;CSV文件(*.csv)"), suggested);
    if (chosen.isEmpty())
        return;
    // A name without its own extension is a vCard file.
    if (!chosen.endsWith(QStringLiteral(".vcf"), Qt::CaseInsensitive) &&
        !chosen.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        chosen += QStringLiteral(".vcf");
    int count = 0;
    if (ExportContacts(m_book, path, QFile::encodeName(chosen).toStdString(), &count))
        ShowMessage(this, QStringLiteral("通讯录导出成功，共导出%1个联系人").arg(count), kNotice);
    else
        ShowMessage(this, QStringLiteral("通讯录导出失败，文件可能被其他程序使用"), kWarning);
}

QList<QTreeWidgetItem*> ContactsPage::selectedRows() const {
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < ListView4->topLevelItemCount(); ++i) {
        if (QTreeWidgetItem* row = ListView4->topLevelItem(i); row->isSelected())
            rows.append(row);
    }
    return rows;
}

void ContactsPage::selectRowForMenu(const QPoint& viewportPos) {
    QTreeWidgetItem* row = ListView4->itemAt(viewportPos);
    if (!row || row->isSelected())
        return;
    ListView4->clearSelection();
    ListView4->setCurrentItem(row);
    row->setSelected(true);
}

QMenu* ContactsPage::prepareListMenu() {
    const int count = static_cast<int>(selectedRows().size());
    if (count == 0)
        return nullptr;
    EditRowItem->setEnabled(count == 1);
    return ListMenu;
}

bool ContactsPage::contactHeld(const BookPath& path, const std::string& name) const {
    if (path.empty() || !m_book.isContact(path))
        return false;
    const std::vector<std::string> parts = SplitBySeparator(m_book.recordAt(path), "|");
    return !parts.empty() && parts.front() == name;
}

void ContactsPage::removeTreeItems(std::vector<BookPath> paths) {
    // Later positions first: the earlier ones still name their nodes.
    std::sort(paths.begin(), paths.end(), std::greater<>());
    m_filling = true;
    for (const BookPath& path : paths)
        delete itemAt(path);
    m_filling = false;
}

void ContactsPage::deleteRows() {
    const QList<QTreeWidgetItem*> rows = selectedRows();
    // One question at a time: the list may change while it is open.
    if (rows.isEmpty() || m_asking)
        return;
    std::vector<BookPath> paths;
    std::vector<std::string> names;
    for (const QTreeWidgetItem* row : rows) {
        paths.push_back(rowPath(row));
        names.push_back(GbkFromQString(row->text(1)));
    }
    const auto held = [&](bool readFile) {
        if (!reloadBook(readFile))
            return false;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (!contactHeld(paths[i], names[i])) {
                changedElsewhere();
                return false;
            }
        }
        return true;
    };
    if (!held(false))
        return;
    const QString question = rows.size() == 1
                                 ? QStringLiteral("删除联系人“%1”？").arg(rows.first()->text(1))
                                 : QStringLiteral("删除选中的%1个联系人？").arg(rows.size());
    m_asking = true;
    const bool confirmed = Confirm(this, question, kWarning);
    m_asking = false;
    // The question may have been open while another program wrote the book.
    if (!confirmed || !held(true) || !changed(m_book.removeContacts(paths)))
        return;
    removeTreeItems(std::move(paths));
    // Later contacts moved up: the list shows their new positions.
    listContacts();
}

void ContactsPage::sendToSms() {
    std::vector<std::string> numbers;
    for (const QTreeWidgetItem* row : selectedRows())
        numbers.push_back(TrimBlanks(GbkFromQString(row->text(2))));
    if (!numbers.empty())
        emit sendSmsRequested(numbers);
}

std::string ContactsPage::nameOfNumber(const std::string& number) {
    if (!m_book.refreshIfTouched())
        return {};
    return m_book.nameOfNumber(number);
}

}  // namespace smsc
