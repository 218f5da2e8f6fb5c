#include "app/AppCommon.h"

#include <QLineEdit>

#include "platform/UiSeam.h"

namespace smsc {

QString DefaultMainCaption() {
    return DefaultApplicationTitle();
}

void ReportSaveFailure(QWidget* parent, const std::string& path) {
    ShowMessage(parent, QStringLiteral("设置文件保存失败：") + QString::fromStdString(path),
                QStringLiteral("提醒"));
}

void ShowAsPassword(QLineEdit* edit) {
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));  // "*"
}

}  // namespace smsc
