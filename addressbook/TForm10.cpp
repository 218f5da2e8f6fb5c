#include "addressbook/TForm10.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "addressbook/ContactsPage.h"
#include "platform/DialogPlacement.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/NumberEntries.h"
#include "recipients/NumberReader.h"
#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientPanel.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

void Plain(QWidget* parent, const QString& text) {
    ShowMessage(parent, text, PlainMessageCaption(), MsgIcon::None);
}

QTreeWidgetItem* makeItem(const BookNode& node) {
    auto* item = new QTreeWidgetItem({QStringFromGbk(node.caption)});
    QList<QTreeWidgetItem*> children;
    for (const BookNode& child : node.children)
        children.append(makeItem(child));
    item->addChildren(children);
    return item;
}

}  // namespace

TForm10::TForm10(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm10"));
    setWindowTitle(QStringLiteral("选择要导入的联系人列表"));
    setModal(true);
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The sixth column shows the company name under this caption.
    ListView1->setHeaderLabels({QStringLiteral("编号"), QStringLiteral("姓名"),
                                QStringLiteral("手机号码"), QStringLiteral("称呼"),
                                QStringLiteral("邮箱"), QStringLiteral("地址"),
                                QStringLiteral("公司地址"), QStringLiteral("公司电话"),
                                QStringLiteral("传真"), QStringLiteral("邮编")});
    ListView1->header()->setMinimumSectionSize(1);
    ListView1->setColumnWidth(0, 1);
    for (int column = 1; column < 10; ++column)
        ListView1->setColumnWidth(column, 100);

    const auto button = [this](const QString& caption, const QString& name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        return b;
    };
    Button1 = button(QStringLiteral("全选"), QStringLiteral("Button1"));
    Button2 = button(QStringLiteral("取消选择"), QStringLiteral("Button2"));
    Button3 = button(QStringLiteral("导入"), QStringLiteral("Button3"));
    Button4 = button(QStringLiteral("返回"), QStringLiteral("Button4"));
    auto* lists = new QHBoxLayout;
    lists->addWidget(TreeView1, 1);
    lists->addWidget(ListView1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {Button1, Button2, Button3, Button4})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);

    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, &TForm10::listContacts);
    connect(Button1, &QPushButton::clicked, this, &TForm10::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm10::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm10::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &QDialog::reject);
    resize(640, 420);
    CentreOnScreen(this);
}

TForm10::~TForm10() = default;

void TForm10::install(RecipientCoordinator* recipients) {
    m_recipients = recipients;
    recipients->setAddHook(RecipientCoordinator::AddItem::AddressBook,
                           [this](RecipientPanel*) { openDialog(); });
}

void TForm10::openDialog() {
    rebuildTree();
    Ui().execDialog(this);
}

void TForm10::rebuildTree() {
    TreeView1->clear();
    ListView1->clear();
    if (!m_book.load(ContactsPage::bookPath())) {
        ShowMessage(this, QStringLiteral("通讯录文件无法读取，请检查LinkmanBook\\Contacts.xml"),
                    QStringLiteral("提醒"));
        return;
    }
    QTreeWidgetItem* root = makeItem(m_book.tree());
    TreeView1->addTopLevelItem(root);
    root->setExpanded(true);
}

void TForm10::listContacts() {
    ListView1->clear();
    const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
    if (selected.isEmpty() || !m_book.reload())
        return;
    QList<QTreeWidgetItem*> rows;
    for (const ContactRow& row : m_book.listContacts(ContactsPage::pathOf(selected.first()))) {
        QStringList texts{QStringFromGbk(row.caption)};
        for (const std::string& cell : row.cells)
            texts.append(QStringFromGbk(cell));
        rows.append(new QTreeWidgetItem(texts));
    }
    ListView1->addTopLevelItems(rows);
}

void TForm10::Button1Click() {
    ListView1->selectAll();
    ListView1->setFocus();
}

void TForm10::Button2Click() {
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = ListView1->topLevelItem(i);
        if (row->isSelected()) {
            row->setSelected(false);
            return;
        }
    }
    Plain(this, QStringLiteral("请选择要取消的选中项"));
}

void TForm10::Button3Click() {
    RecipientPanel* panel = m_recipients ? m_recipients->ActivePanel() : nullptr;
    if (!panel) {
        accept();
        return;
    }
    const bool sms = panel->kind() == PanelKind::Sms;
    std::vector<std::string> numbers;
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = ListView1->topLevelItem(i);
        if (row->isSelected()) {
            // A mobile number written with blanks, dashes or +86 goes in as its 11 digits;
            // anything else as it stands.
            std::string number = TrimBlanks(GbkFromQString(row->text(2)));
            numbers.push_back(ReadMobileNumber(number).value_or(number));
        }
    }
    if (numbers.empty()) {
        Plain(this, sms ? QStringLiteral("没有要导入的号码，请选择要导入的联系人")
                        : QStringLiteral("没有要导入的号码，请选择要导入的项"));
        return;
    }
    if (AppendContactNumbers(this, panel, std::move(numbers)))
        accept();
}

bool AppendContactNumbers(QWidget* parent, RecipientPanel* panel,
                          std::vector<std::string> numbers) {
    const int selectedRows = static_cast<int>(numbers.size());
    VerificationCopy copy;
    const VerificationState state = panel->readVerification(&copy);
    if (state == VerificationState::BadInterval) {
        Plain(parent, QStringLiteral("没有要导入的号码，请选择要导入的联系人"));
        return false;
    }
    // No recipient cap here: the send refuses an oversized list with its own message.
    std::vector<std::string> entries =
        state == VerificationState::On ? InterleaveVerification(numbers, copy) : std::move(numbers);
    panel->Progress->setRange(0, selectedRows);
    panel->Progress->setValue(0);
    panel->Progress->show();
    panel->SetRecipientStatus(QStringLiteral("开始导入号码，请稍后........"));
    panel->AddRecipients(std::move(entries));
    panel->Progress->setValue(selectedRows);
    panel->ShowRecipientCount(false);
    panel->UpdateSendButton();
    panel->Progress->hide();
    panel->SetRecipientStatus(QStringLiteral("号码导入完毕"));
    return true;
}

}  // namespace smsc
