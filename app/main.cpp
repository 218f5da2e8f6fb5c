// The client: the main window (whose creation opens the login window), then the other
// windows, each created once, then the event loop.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "app/AppCommon.h"
#include "app/TForm1.h"
#include "app/TForm2.h"

int main(int argc, char** argv) {
    // Answered before any window system is needed.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts(SMSC_VERSION);
        return 0;
    }
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("smsclient"));
    QCoreApplication::setApplicationName(QStringLiteral("smsclient"));
    // Ties the windows to the installed menu entry (smsclient.desktop) and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("smsclient"));
    // Qt's own texts in Chinese like the program's (a missing package leaves them English).
    smsc::InstallQtTranslations(app);
    // Windows are only hidden; the program ends through Exit alone.
    QApplication::setQuitOnLastWindowClosed(false);

    smsc::TForm2 mainWindow;
    mainWindow.createRemainingWindows();
    mainWindow.show();
    mainWindow.loginWindow()->raise();
    mainWindow.loginWindow()->activateWindow();
    return app.exec();
}
