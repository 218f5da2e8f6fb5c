#include "app/ClientStart.h"

#include <QApplication>

#include "app/AppCommon.h"
#include "app/AppSettings.h"
#include "app/Skins.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "platform/DataDir.h"
#include "platform/IniFile.h"
#include "service/ExchangeWait.h"

namespace smsc {

std::unique_ptr<TForm2> StartClient(QApplication& app) {
    QCoreApplication::setOrganizationName(QStringLiteral("smsclient"));
    QCoreApplication::setApplicationName(QStringLiteral("smsclient"));
    // Ties the windows to the installed menu entry (cn.smsclient.client.desktop) and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("cn.smsclient.client"));
    // Qt's own texts in Chinese like the program's (a missing package leaves them English).
    InstallQtTranslations(app);
    // Windows are only hidden; the program ends through Exit alone.
    QApplication::setQuitOnLastWindowClosed(false);
    // Requests run on a worker thread; the windows keep painting while they wait.
    InstallExchangeWait();

    // The skin the login window's show would apply, applied before any window is built: every
    // widget is styled once as it is made, instead of all of them again when the login window
    // shows (its show then finds the skin in place).
    if (const std::optional<int> skin =
            ReadShowSettings(IniFile(DataPath(kCompanyInfoFile))).skinIndex)
        ApplySkin(*skin);

    auto mainWindow = std::make_unique<TForm2>();
    mainWindow->createRemainingWindows();
    mainWindow->show();
    mainWindow->loginWindow()->raise();
    mainWindow->loginWindow()->activateWindow();
    return mainWindow;
}

}  // namespace smsc
