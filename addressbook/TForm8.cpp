#include "addressbook/TForm8.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/DialogPlacement.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "platform/TextHelpers.h"

namespace smsc {

TForm8::TForm8(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm8"));
    setWindowTitle(QStringLiteral("新增联系人类型"));
    setModal(true);
    Label1 = new QLabel(QStringLiteral("新增联系人类型："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* field = new QHBoxLayout;
    field->addWidget(Label1);
    field->addWidget(Edit1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(field);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TForm8::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(300, 110);
    CentreOnScreen(this);
}

TForm8::~TForm8() = default;

void TForm8::openDialog() {
    Edit1->setFocus();
    Ui().execDialog(this);
}

void TForm8::Button1Click() {
    const std::string name = TrimBlanks(GbkFromQString(Edit1->text()));
    accept();
    if (name.size() >= 2 && m_handler)
        m_handler(name);
}

}  // namespace smsc
