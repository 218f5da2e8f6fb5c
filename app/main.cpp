// The client: the main window (whose creation opens the login window), then the other
// windows, each created once, then the event loop.
#include <QApplication>

#include "app/TForm1.h"
#include "app/TForm2.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("smsclient"));
    QCoreApplication::setApplicationName(QStringLiteral("smsclient"));
    // Windows are only hidden; the program ends through Exit alone.
    QApplication::setQuitOnLastWindowClosed(false);

    smsc::TForm2 mainWindow;
    mainWindow.createRemainingWindows();
    mainWindow.show();
    mainWindow.loginWindow()->raise();
    mainWindow.loginWindow()->activateWindow();
    return app.exec();
}
