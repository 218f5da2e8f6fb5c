#include "records/TForm18.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/FileDialogs.h"
#include "platform/QtText.h"
#include "records/RecordAnswers.h"
#include "records/RecordUi.h"

namespace smsc {

TForm18::TForm18(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm18"));
    setWindowTitle(QStringLiteral("发送号码列表"));
    setModal(true);
    resize(260, 420);
    Label1 = new QLabel(QStringLiteral("ID号："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListBox1->setUniformItemSizes(true);
    Button1 = new QPushButton(QStringLiteral("记录导出"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("关闭"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ListBox1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TForm18::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

TForm18::~TForm18() = default;

void TForm18::clearNumbers() {
    ListBox1->clear();
    m_numbers.clear();
}

void TForm18::setNumbers(const std::string& recordId, std::vector<std::string> numbers) {
    m_id = recordId;
    m_numbers = std::move(numbers);
    Label1->setText(QStringLiteral("ID号：") + QStringFromGbk(m_id));
    QStringList items;
    items.reserve(static_cast<qsizetype>(m_numbers.size()));
    for (const std::string& n : m_numbers)
        items.append(QStringFromGbk(n));
    ListBox1->clear();
    ListBox1->addItems(items);
}

void TForm18::Button1Click() {
    ExportToTextFile(this, NumberListExportBytes(m_id, m_numbers), folder_kind::kNumbersExport,
                     QStringLiteral("发送号码_") + FileNamePart(QStringFromGbk(m_id)));
}

}  // namespace smsc
