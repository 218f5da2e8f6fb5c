#include "platform/AppTitle.h"

namespace smsc {
namespace {

QString& title() {
    static QString t = DefaultApplicationTitle();
    return t;
}

}  // namespace

QString DefaultApplicationTitle() {
    return QStringLiteral("Zorvane企业短信群发专家");
}

QString ApplicationTitle() {
    return title();
}

void SetApplicationTitle(const QString& t) {
    title() = t;
}

}  // namespace smsc
