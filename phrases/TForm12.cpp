#include "phrases/TForm12.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "platform/DialogPlacement.h"
#include "platform/UiSeam.h"

namespace smsc {

TForm12::TForm12(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm12"));
    setWindowTitle(addCaption());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(360, 200);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(12, 12, 336, 130);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(92, 156, 80, 28);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(190, 156, 80, 28);

    connect(Button1, &QPushButton::clicked, this, &TForm12::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm12::Button2Click);
    CentreOnScreen(this);
}

TForm12::~TForm12() = default;

QString TForm12::addCaption() {
    return QStringLiteral("增加常用短语");
}

QString TForm12::changeCaption() {
    return QStringLiteral("修改常用短语");
}

int TForm12::openDialog(const QString& caption, const QString& text) {
    setWindowTitle(caption);
    Memo1->setPlainText(text);
    Memo1->setFocus();
    return Ui().execDialog(this);
}

bool TForm12::isChangeMode() const {
    return windowTitle() == changeCaption();
}

void TForm12::Button1Click() {
    if (m_write && m_write(isChangeMode(), Memo1->toPlainText()))
        accept();
}

void TForm12::Button2Click() {
    reject();
}

}  // namespace smsc
