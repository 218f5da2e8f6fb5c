#include "app/AppCommon.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QTranslator>

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
    // A line edit reads its password character when its style changes. Under the skin's
    // sheet, a sheet of its own changes the style of a field already polished only, so it is
    // polished first.
    edit->ensurePolished();
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));  // "*"
}

QTranslator* InstallQtTranslations(QCoreApplication& app) {
    // The date pickers and their calendars write their dates the Chinese way too.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

}  // namespace smsc
