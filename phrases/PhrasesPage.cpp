#include "phrases/PhrasesPage.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>

#include <QVBoxLayout>

#include <sys/stat.h>

#include <cstdio>

#include "phrases/PhraseList.h"
#include "phrases/PhraseStore.h"
#include "phrases/TForm11.h"
#include "phrases/TForm12.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

const QString kRemind = QStringLiteral("提醒");
const QString kNote = QStringLiteral("提示");
const QString kCongrats = QStringLiteral("恭喜");

QPushButton* makeButton(const QString& caption, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

}  // namespace

PhrasesPage::PhrasesPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PhrasesPage"));

    TreeView2 = new QTreeWidget(this);
    TreeView2->setObjectName(QStringLiteral("TreeView2"));
    TreeView2->setHeaderHidden(true);
    TreeView2->setRootIsDecorated(false);
    TreeView2->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView2->setFixedWidth(170);
    AddCategoryButton = makeButton(QStringLiteral("++"), QStringLiteral("AddCategoryButton"), this);
    DelCategoryButton = makeButton(QStringLiteral("--"), QStringLiteral("DelCategoryButton"), this);
    ListView5 = new PhraseListView(this);
    ListView5->setObjectName(QStringLiteral("ListView5"));
    AddPhraseButton =
        makeButton(QStringLiteral("增加短语"), QStringLiteral("AddPhraseButton"), this);
    EditPhraseButton =
        makeButton(QStringLiteral("修改短语"), QStringLiteral("EditPhraseButton"), this);
    DelPhraseButton =
        makeButton(QStringLiteral("删除短语"), QStringLiteral("DelPhraseButton"), this);

    auto* left = new QVBoxLayout;
    left->addWidget(TreeView2, 1);
    auto* categoryButtons = new QHBoxLayout;
    categoryButtons->addWidget(AddCategoryButton);
    categoryButtons->addWidget(DelCategoryButton);
    left->addLayout(categoryButtons);
    auto* right = new QVBoxLayout;
    right->addWidget(ListView5, 1);
    auto* phraseButtons = new QHBoxLayout;
    phraseButtons->addStretch(1);
    phraseButtons->addWidget(AddPhraseButton);
    phraseButtons->addWidget(EditPhraseButton);
    phraseButtons->addWidget(DelPhraseButton);
    right->addLayout(phraseButtons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);

    connect(TreeView2, &QTreeWidget::itemSelectionChanged, this, &PhrasesPage::TreeView2Click);
    connect(AddCategoryButton, &QPushButton::clicked, this, &PhrasesPage::AddCategoryClick);
    connect(DelCategoryButton, &QPushButton::clicked, this, &PhrasesPage::DelCategoryClick);
    connect(AddPhraseButton, &QPushButton::clicked, this, &PhrasesPage::AddPhraseClick);
    connect(EditPhraseButton, &QPushButton::clicked, this, &PhrasesPage::EditPhraseClick);
    connect(DelPhraseButton, &QPushButton::clicked, this, &PhrasesPage::DelPhraseClick);
    connect(ListView5, &PhraseListView::listDoubleClicked, this, &PhrasesPage::ListView5DblClick);
}

PhrasesPage::~PhrasesPage() = default;

void PhrasesPage::setDialogs(TForm11* newCategory, TForm12* phrase) {
    m_newCategory = newCategory;
    m_phraseDialog = phrase;
    if (m_newCategory)
        m_newCategory->setCreateHandler(
            [this](const QString& name) { return createCategory(name); });
    if (m_phraseDialog)
        m_phraseDialog->setWriteHandler(
            [this](bool changeMode, const QString& text) { return writePhrase(changeMode, text); });
}

std::string PhrasesPage::categoryPath(const QString& category) const {
    return CategoryPath(PhraseFolder(), GbkFromQString(category));
}

QString PhrasesPage::selectedCategory() const {
    const QList<QTreeWidgetItem*> items = TreeView2->selectedItems();
    return items.isEmpty() ? QString() : items.first()->text(0);
}

QStringList PhrasesPage::categoryNames() const {
    QStringList names;
    for (int i = 0; i < TreeView2->topLevelItemCount(); ++i)
        names << TreeView2->topLevelItem(i)->text(0);
    return names;
}

void PhrasesPage::TabSheetShow() {
    const QSignalBlocker block(TreeView2);
    TreeView2->clear();
    ListView5->clearPhrases();
    const std::vector<std::string> names = EnumerateCategories(PhraseFolder());
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string& name : names)
        items << new QTreeWidgetItem(QStringList{QStringFromGbk(name)});
    TreeView2->addTopLevelItems(items);
    if (!items.isEmpty())
        listPhrases(items.first()->text(0));
    TreeView2->setFocus();
}

void PhrasesPage::TreeView2Click() {
    const QString category = selectedCategory();
    if (!category.isEmpty())
        listPhrases(category);
}

// A missing file (a category removed since it was listed) lists nothing.
void PhrasesPage::listPhrases(const QString& category) {
    ListView5->clearPhrases();
    const CategoryRead read = ReadCategory(categoryPath(category));
    if (read.status == ReadStatus::TooLarge)
        ShowMessage(this, QStringLiteral("该短语类型的文件太大，无法打开"), kRemind);
    ListView5->showPhrases(read.phrases);
}

void PhrasesPage::refillPhrases() {
    const QString category = selectedCategory();
    if (category.isEmpty())
        ListView5->clearPhrases();
    else
        listPhrases(category);
}

void PhrasesPage::AddCategoryClick() {
    if (m_newCategory)
        m_newCategory->openDialog();
}

bool PhrasesPage::createCategory(const QString& text) {
    const std::string name = TrimBlanks(GbkFromQString(text));
    std::vector<std::string> existing;
    for (const QString& other : categoryNames())
        existing.push_back(GbkFromQString(other));
    switch (CheckNewCategoryName(name, existing)) {
        case NameCheck::Empty:
            ShowMessage(m_newCategory, QStringLiteral("短语类型名字不能为空！"), kRemind);
            return false;
        case NameCheck::Unsafe:
            ShowMessage(m_newCategory,
                        QStringLiteral("短语类型名字不能包含\\ / : * ? \" < > | .等字符"), kRemind);
            return false;
        case NameCheck::Duplicate:
            ShowMessage(m_newCategory, QStringLiteral("短语类型名字不能重复，请修改。"), kRemind);
            return false;
        case NameCheck::TooLong:
            ShowMessage(m_newCategory, QStringLiteral("短语类型名字太长，请修改。"), kRemind);
            return false;
        case NameCheck::Ok:
            break;
    }
    if (!CreateCategoryFile(CategoryPath(PhraseFolder(), name))) {
        ShowMessage(m_newCategory,
                    QStringLiteral("创建短语类型失败，找不到phrase文件夹，请创建该文件夹"),
                    kRemind);
        return false;
    }
    // Sorted in with the next rebuild.
    TreeView2->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringFromGbk(name)}));
    return true;
}

void PhrasesPage::DelCategoryClick() {
    const QList<QTreeWidgetItem*> selected = TreeView2->selectedItems();
    if (selected.isEmpty()) {
        ShowMessage(this, QStringLiteral("请选择要删除的短语项！"), kRemind);
        return;
    }
    QTreeWidgetItem* item = selected.first();
    const QString name = item->text(0);
    if (!Confirm(this, QStringLiteral("确定要删除%1短语类型么？").arg(name), kRemind)) {
        TreeView2->setFocus();
        return;
    }
    // The file of the name as listed: a name with blanks around it (a file put there by
    // hand) must not take the file of the trimmed name with it.
    const std::string path = categoryPath(name);
    if (::remove(path.c_str()) != 0) {
        ShowMessage(this, QStringLiteral("删除失败，该文件可能正被其他程序使用"), kNote);
        return;
    }
    {
        // Its phrases go with it.
        const QSignalBlocker block(TreeView2);
        delete item;
        TreeView2->clearSelection();
    }
    ListView5->clearPhrases();
    ShowMessage(this, QStringLiteral("删除成功"), kCongrats);
}

void PhrasesPage::AddPhraseClick() {
    if (selectedCategory().isEmpty() || !m_phraseDialog) {
        ShowMessage(this, QStringLiteral("请选择要修改的短语类型条目！"), kRemind);
        return;
    }
    m_phraseDialog->openDialog(TForm12::addCaption(), QString());
}

void PhrasesPage::openChangeDialog() {
    m_editRow = ListView5->firstSelectedRow();
    m_editPhrase = ListView5->phraseAt(m_editRow);
    m_editBytes = ListView5->gbkPhraseAt(m_editRow);
    if (m_phraseDialog)
        m_phraseDialog->openDialog(TForm12::changeCaption(), m_editPhrase);
}

void PhrasesPage::EditPhraseClick() {
    if (ListView5->firstSelectedRow() < 0) {
        ShowMessage(this, QStringLiteral("请选择要修改的短语内容条目！"), kRemind);
        return;
    }
    openChangeDialog();
}

void PhrasesPage::ListView5DblClick() {
    if (ListView5->firstSelectedRow() < 0) {
        ShowMessage(this, QStringLiteral("请选择要修改的短语条目！"), kNote);
        return;
    }
    openChangeDialog();
}

// The reason a change failed: the folder or the file is missing, or the file is too large,
// cannot be read or written, or no longer holds the phrase at that row.
QString PhrasesPage::changeFailureText(PhraseFailure why) const {
    switch (why) {
        case PhraseFailure::Stale:
            return QStringLiteral("修改短语失败，该短语已被其他程序修改，请重新选择");
        case PhraseFailure::TooLarge:
            return QStringLiteral("修改短语失败，该短语类型的文件太大");
        case PhraseFailure::Unreadable:
            return QStringLiteral("修改短语失败，无法读取该短语类型的文件");
        case PhraseFailure::WriteFailed:
            return QStringLiteral("修改短语失败，无法写入该短语类型的文件");
        case PhraseFailure::Missing:
        case PhraseFailure::None:
            break;
    }
    struct stat st {};
    if (!selectedCategory().isEmpty() && ::stat(PhraseFolder().c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode))
        return QStringLiteral("修改短语失败，找不到该短语类型的文件");
    return QStringLiteral("修改短语失败，找不到phrase文件夹，请创建该文件夹");
}

bool PhrasesPage::writePhrase(bool changeMode, const QString& text) {
    QWidget* dialog = m_phraseDialog ? static_cast<QWidget*>(m_phraseDialog) : this;
    // Written as typed, with the editor's line breaks as CR LF.
    const std::string gbk = ToCrLf(GbkFromQString(text));
    if (!FitsOneMessage(gbk)) {
        ShowMessage(dialog, QStringLiteral("短信短语字数不能超过70个字"), kRemind);
        return false;
    }
    const QString category = selectedCategory();
    if (!changeMode) {
        if (category.isEmpty() || !AppendPhrase(categoryPath(category), gbk))
            ShowMessage(dialog, QStringLiteral("增加短语失败，找不到指定文件"), kRemind);
    } else {
        // The row must still hold the phrase that was opened, or nothing is written.
        PhraseFailure why = PhraseFailure::Missing;
        if (category.isEmpty() || m_editRow < 0 ||
            !ChangePhrase(categoryPath(category), static_cast<size_t>(m_editRow), m_editBytes, gbk,
                          &why))
            ShowMessage(dialog, changeFailureText(why), kRemind);
    }
    refillPhrases();
    return true;
}

void PhrasesPage::DelPhraseClick() {
    const int row = ListView5->firstSelectedRow();
    if (row < 0) {
        ShowMessage(this, QStringLiteral("请选择要删除的短语内容项！"), kRemind);
        return;
    }
    if (!Confirm(this, QStringLiteral("确定要删除该短语内容么？"), kRemind)) {
        ListView5->setFocus();
        return;
    }
    const QString category = selectedCategory();
    PhraseFailure why = PhraseFailure::Missing;
    if (!category.isEmpty() && DeletePhrase(categoryPath(category), static_cast<size_t>(row),
                                            ListView5->gbkPhraseAt(row), &why))
        ShowMessage(this, QStringLiteral("删除成功"), kCongrats);
    else if (why == PhraseFailure::Stale)
        ShowMessage(this, QStringLiteral("删除失败，该短语已被其他程序修改，请重新选择"), kRemind);
    else
        ShowMessage(this, QStringLiteral("删除失败，该文件可能正被其他程序使用"), kRemind);
    refillPhrases();
}

}  // namespace smsc
