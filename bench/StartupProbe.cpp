// A program started by bench_startup: it brings up either the client (its real start-up, data
// in the folder given) or a bare Qt window (a QMainWindow with a few widgets), waits until
// the windows are on screen and painted, prints the monotonic clock in nanoseconds and ends.
// With a third argument it saves the client's main and login windows there as PNGs.
//   smsc_startup_probe client DATA-FOLDER [PNG-FOLDER]
//   smsc_startup_probe bare
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <memory>
#include <string>

#include "app/ClientStart.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "platform/DataDir.h"

namespace {

// Until every window is exposed and the events of its first paint have run.
void settle(std::initializer_list<QWidget*> windows) {
    for (int round = 0; round < 1000; ++round) {
        QCoreApplication::processEvents();
        bool exposed = true;
        for (QWidget* w : windows)
            exposed = exposed && w->windowHandle() && w->windowHandle()->isExposed();
        if (exposed)
            break;
    }
    QCoreApplication::processEvents();
}

int shown() {
    // The steady clock is the system's monotonic clock, the same in every process.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("%lld\n", static_cast<long long>(
                              std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const bool client = argc >= 3 && std::strcmp(argv[1], "client") == 0;
    if (!client && !(argc == 2 && std::strcmp(argv[1], "bare") == 0)) {
        std::fputs("usage: smsc_startup_probe client DATA-FOLDER [PNG-FOLDER] | bare\n", stderr);
        return 2;
    }
    if (client)
        smsc::SetDataDir(argv[2]);
    QApplication app(argc, argv);
    if (!client) {
        QMainWindow window;
        auto* central = new QWidget;
        auto* layout = new QVBoxLayout(central);
        layout->addWidget(new QLabel(QStringLiteral("用户名：")));
        layout->addWidget(new QLineEdit);
        auto* choice = new QComboBox;
        choice->addItems({QStringLiteral("电信"), QStringLiteral("网通")});
        layout->addWidget(choice);
        layout->addWidget(new QTextEdit);
        layout->addWidget(new QPushButton(QStringLiteral("登录")));
        window.setCentralWidget(central);
        window.resize(717, 500);
        window.show();
        settle({&window});
        return shown();
    }
    const std::unique_ptr<smsc::TForm2> mainWindow = smsc::StartClient(app);
    settle({mainWindow.get(), mainWindow->loginWindow()});
    const int code = shown();
    if (argc >= 4) {
        const QString folder = QString::fromLocal8Bit(argv[3]);
        if (!mainWindow->grab().save(folder + QStringLiteral("/main.png")) ||
            !mainWindow->loginWindow()->grab().save(folder + QStringLiteral("/login.png")))
            return 1;
        // Every page, and every other window as it would open.
        for (int page = 1; page < smsc::TForm2::kPageCount; ++page) {
            mainWindow->showPage(static_cast<smsc::TForm2::Page>(page));
            if (!mainWindow->grab().save(folder + QStringLiteral("/page%1.png").arg(page)))
                return 1;
        }
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != mainWindow.get() && window != mainWindow->loginWindow() &&
                !window->objectName().isEmpty())
                window->grab().save(
                    folder + QStringLiteral("/%1-%2-%3.png")
                                 .arg(QString::fromLatin1(window->metaObject()->className()),
                                      window->parentWidget() ? window->parentWidget()->objectName()
                                                             : QString(),
                                      window->objectName()));
    }
    return code;
}
