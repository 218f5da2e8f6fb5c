#pragma once
// Small things the windows of the shell share: the main window's default caption (also the
// default application title, platform/AppTitle.h) and the report of a settings file that
// could not be saved.

#include <QString>

#include <string>

#include "platform/AppTitle.h"

class QCoreApplication;
class QLineEdit;
class QTranslator;
class QWidget;

namespace smsc {

// The main window's caption until Create_Form_Caption names another.
QString DefaultMainCaption();  // "Zorvane企业短信群发专家"

// "设置文件保存失败：" + path, caption "提醒".
void ReportSaveFailure(QWidget* parent, const std::string& path);

// Makes the field a password field whose characters show as "*". The mask is set on the
// field itself, so that no skin's application-wide style sheet (nor the base style's
// round dot) replaces it.
void ShowAsPassword(QLineEdit* edit);

// Loads Qt's own Simplified-Chinese texts (file dialogs, the editors' menus, standard buttons)
// into the application and makes Chinese the default locale of Qt's widgets (the date
// pickers), whatever the system's language, as the program's own texts are Chinese whatever
// it is. The date sent to the service keeps the computer's own short date format. The texts
// come with Debian's qt6-translations-l10n. Returns the translator (owned by the
// application), or nullptr when the translations are not installed.
QTranslator* InstallQtTranslations(QCoreApplication& app);

}  // namespace smsc
