#include "app/AppCommon.h"

#include "platform/UiSeam.h"

namespace smsc {
namespace {

QString& title() {
    static QString t = DefaultMainCaption();
    return t;
}

}  // namespace

QString DefaultMainCaption() {
    return QStringLiteral("Zorvane企业短信群发专家");
}

QString ApplicationTitle() {
    return title();
}

void SetApplicationTitle(const QString& t) {
    title() = t;
}

void ReportSaveFailure(QWidget* parent, const std::string& path) {
    ShowMessage(parent, QStringLiteral("设置文件保存失败：") + QString::fromStdString(path),
                QStringLiteral("提醒"));
}

}  // namespace smsc
