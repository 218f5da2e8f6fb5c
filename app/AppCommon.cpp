#include "app/AppCommon.h"

#include "platform/UiSeam.h"

namespace smsc {

QString DefaultMainCaption() {
    return DefaultApplicationTitle();
}

void ReportSaveFailure(QWidget* parent, const std::string& path) {
    ShowMessage(parent, QStringLiteral("设置文件保存失败：") + QString::fromStdString(path),
                QStringLiteral("提醒"));
}

}  // namespace smsc
