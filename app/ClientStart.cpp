#include "app/ClientStart.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include "app/AppCommon.h"
#include "app/AppSettings.h"
#include "app/Skins.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "platform/DataDir.h"
#include "platform/IniFile.h"
#include "service/ExchangeWait.h"

namespace smsc {
namespace {

// Qt asks every new widget to be styled at the next pass of the event loop. A widget of a
// window that is not on screen (the dialogs, menus and progress windows made at start-up) is
// styled when its window is first shown instead, as showing a window styles all of it; until
// then nobody sees it.
class StyleWhenShown final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::PolishRequest && watched->isWidgetType()) {
            const QWidget* window = static_cast<QWidget*>(watched)->window();
            if (!window->isVisible())
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

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

    app.installEventFilter(new StyleWhenShown(&app));

    auto mainWindow = std::make_unique<TForm2>();
    // Shown before the other windows are made: showing it styles all it holds, and the
    // windows it owns are styled when they are first opened.
    mainWindow->show();
    mainWindow->createRemainingWindows();
    mainWindow->loginWindow()->raise();
    mainWindow->loginWindow()->activateWindow();
    return mainWindow;
}

}  // namespace smsc
