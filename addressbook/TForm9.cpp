#include "addressbook/TForm9.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "addressbook/ContactBook.h"
#include "platform/DialogPlacement.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/PhoneRules.h"
#include "recipients/RecipientPanel.h"
#include "platform/TextHelpers.h"

namespace smsc {
namespace {

const char* const kRowNames[TForm9::kRows] = {"姓名",     "手机号码", "称呼", "邮箱", "地址",
                                              "公司名称", "公司电话", "传真", "邮编"};

void Plain(QWidget* parent, const QString& text) {
    ShowMessage(parent, text, PlainMessageCaption(), MsgIcon::None);
}

}  // namespace

TForm9::TForm9(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm9"));
    setWindowTitle(addCaption());
    setModal(true);
    Label1 = new QLabel(QStringLiteral("单击内容可修改"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setColumnCount(2);
    ListView1->setHeaderLabels({QStringLiteral("名称"), QStringLiteral("内容")});
    ListView1->setColumnWidth(0, 100);
    ListView1->setColumnWidth(1, 300);
    ListView1->setRootIsDecorated(false);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (const char* name : kRowNames)
        new QTreeWidgetItem(ListView1, {QString::fromUtf8(name), QString()});
    Edit1 = new QLineEdit(ListView1->viewport());
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->hide();
    Edit1->installEventFilter(this);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->hide();
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ListView1, 1);
    layout->addWidget(Label2);
    layout->addLayout(buttons);

    connect(ListView1, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { showOverlay(ListView1->indexOfTopLevelItem(item)); });
    connect(Button1, &QPushButton::clicked, this, &TForm9::Button1Click);
    connect(Button2, &QPushButton::clicked, this, [this] {
        Edit1->hide();
        reject();
    });
    setFixedSize(440, 340);
    CentreOnScreen(this);
}

TForm9::~TForm9() = default;

bool TForm9::addMode() const {
    return windowTitle() == addCaption();
}

void TForm9::setValue(int row, const QString& text) {
    if (QTreeWidgetItem* item = ListView1->topLevelItem(row))
        item->setText(1, text);
    // The row being edited shows the new value in the overlay too.
    if (row == m_overlayRow)
        Edit1->setText(text);
}

QString TForm9::value(int row) const {
    const QTreeWidgetItem* item = ListView1->topLevelItem(row);
    return item ? item->text(1) : QString();
}

TForm9::Fields TForm9::values() const {
    Fields fields;
    for (int row = 0; row < kRows; ++row)
        fields[row] = GbkFromQString(value(row));
    return fields;
}

void TForm9::openWith(const QString& caption, const Fields& fields, const std::string& path) {
    for (int row = 0; row < kRows; ++row)
        setValue(row, QStringFromGbk(fields[row]));
    Label2->setText(QStringFromGbk(path));
    Edit1->hide();
    m_overlayRow = -1;
    setWindowTitle(caption);
    showOverlay(0);
    Ui().execDialog(this);
}

void TForm9::openForAdd(const std::string& path) {
    openWith(addCaption(), Fields{}, path);
}

void TForm9::openForEdit(const Fields& fields, const std::string& path) {
    openWith(editCaption(), fields, path);
}

void TForm9::showOverlay(int row) {
    commitOverlay();
    QTreeWidgetItem* item = ListView1->topLevelItem(row);
    if (!item)
        return;
    m_overlayRow = row;
    ListView1->setCurrentItem(item);
    const QRect rect = ListView1->visualItemRect(item);
    Edit1->setGeometry(ListView1->columnViewportPosition(1), rect.top(), ListView1->columnWidth(1),
                       rect.height());
    Edit1->setText(item->text(1));
    Edit1->selectAll();
    Edit1->show();
    Edit1->setFocus();
}

void TForm9::commitOverlay() {
    if (m_overlayRow < 0)
        return;
    const int row = m_overlayRow;
    m_overlayRow = -1;
    setValue(row, Edit1->text());
    // Hiding the focused overlay would pass the focus on by itself (to the next row's).
    if (Edit1->hasFocus())
        ListView1->setFocus();
    Edit1->hide();
}

bool TForm9::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Enter moves on; from the last row it confirms.
            if (m_overlayRow >= 0 && m_overlayRow < kRows - 1)
                showOverlay(m_overlayRow + 1);
            else
                Button1Click();
            return true;
        }
        if (key == Qt::Key_Escape) {
            Button2->click();
            return true;
        }
    }
    // Hiding the overlay never loses what was typed in it. Another window taking the focus
    // for a while (a switch of windows, a menu) keeps the overlay where the typing goes on.
    if (watched == Edit1 && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
            if (QTreeWidgetItem* item = ListView1->topLevelItem(m_overlayRow))
                item->setText(1, Edit1->text());
        } else {
            commitOverlay();
        }
    }
    if (watched == Edit1 && event->type() == QEvent::Leave)
        commitOverlay();
    return QDialog::eventFilter(watched, event);
}

bool TForm9::focusNextPrevChild(bool next) {
    // The order: the nine rows, "确定", "取消", and round again.
    constexpr int kStops = kRows + 2;
    int at = m_overlayRow;
    if (at < 0) {
        if (Button1->hasFocus())
            at = kRows;
        else if (Button2->hasFocus())
            at = kRows + 1;
        else if (QTreeWidgetItem* current = ListView1->currentItem())
            at = ListView1->indexOfTopLevelItem(current);
    }
    at = at < 0 ? (next ? 0 : kStops - 1) : (at + (next ? 1 : kStops - 1)) % kStops;
    if (at < kRows) {
        ListView1->setCurrentItem(ListView1->topLevelItem(at));
        showOverlay(at);
    } else {
        (at == kRows ? Button1 : Button2)->setFocus(Qt::TabFocusReason);
        commitOverlay();
    }
    return true;
}

void TForm9::keyPressEvent(QKeyEvent* event) {
    // Enter on the list edits its current row; on a button it presses that button.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && ListView1->hasFocus() && ListView1->currentItem()) {
        showOverlay(ListView1->indexOfTopLevelItem(ListView1->currentItem()));
        return;
    }
    if (enter && Button2->hasFocus()) {
        Button2->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm9::Button1Click() {
    commitOverlay();
    Fields fields = values();
    // Pasted text may hold control characters (a word processor's line break) that the
    // book's XML cannot carry.
    for (std::string& field : fields)
        field = TrimBlanks(StripXmlControls(field));
    // Brackets would make the contact a group.
    fields[0] = TrimBlanks(RemoveBrackets(fields[0]));
    if (fields[0].empty()) {
        Plain(this, QStringLiteral("姓名不能为空"));
        return;
    }
    if (!IsDigits1To12(fields[1])) {
        Plain(this, QStringLiteral("请输入正确的手机号"));
        return;
    }
    for (const std::string& field : fields) {
        if (ContainsCharacter(field, '|')) {
            ShowMessage(this, QStringLiteral("联系人信息中不能包含“|”字符"),
                        QStringLiteral("提醒"));
            return;
        }
    }
    const std::string path = TrimBlanks(GbkFromQString(Label2->text()));
    if (m_commit && m_commit(addMode(), fields, path))
        accept();
}

}  // namespace smsc
