#include "records/TForm20.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/QtText.h"
#include "platform/UiSeam.h"

namespace smsc {

TForm20::TForm20(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm20"));
    setWindowTitle(QStringLiteral("文字短信内容/彩信标题"));
    setModal(true);
    resize(360, 240);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Button1 = new QPushButton(QStringLiteral("关闭"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    layout->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

TForm20::~TForm20() = default;

void TForm20::showText(const std::string& text) {
    QString shown = QStringFromGbk(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo1->setPlainText(shown);
    Ui().execDialog(this);
}

}  // namespace smsc
