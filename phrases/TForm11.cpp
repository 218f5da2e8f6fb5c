#include "phrases/TForm11.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/DialogPlacement.h"
#include "platform/UiSeam.h"

namespace smsc {

TForm11::TForm11(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm11"));
    setWindowTitle(QStringLiteral("新增短语类型"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(300, 110);

    Label1 = new QLabel(QStringLiteral("新增短语类型："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 20, 96, 24);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(112, 20, 170, 24);
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(62, 66, 80, 28);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(160, 66, 80, 28);

    connect(Button1, &QPushButton::clicked, this, &TForm11::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm11::Button2Click);
    CentreOnScreen(this);
}

TForm11::~TForm11() = default;

int TForm11::openDialog() {
    Edit1->clear();
    return Ui().execDialog(this);
}

void TForm11::Button1Click() {
    if (m_create && m_create(Edit1->text()))
        accept();
}

void TForm11::Button2Click() {
    reject();
}

}  // namespace smsc
