#include "platform/UiSeam.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

#include "platform/Processes.h"

namespace smsc {
namespace {

// The program's texts break lines with "\r" (as in "恭喜\r短信内容已成功发送到服务器");
// Qt breaks a label's line only at "\n".
QString displayedText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

class DesktopUi final : public UiSeam {
public:
    MsgAnswer messageBox(QWidget* parent, const QString& text, const QString& caption, MsgIcon icon,
                         MsgButtons buttons) override {
        QMessageBox box(parent);
        box.setText(displayedText(text));
        box.setWindowTitle(caption);
        switch (icon) {
            case MsgIcon::None:
                box.setIcon(QMessageBox::NoIcon);
                break;
            case MsgIcon::Question:
                box.setIcon(QMessageBox::Question);
                break;
            case MsgIcon::Information:
                box.setIcon(QMessageBox::Information);
                break;
            case MsgIcon::Warning:
                box.setIcon(QMessageBox::Warning);
                break;
            case MsgIcon::Critical:
                box.setIcon(QMessageBox::Critical);
                break;
        }
        if (buttons == MsgButtons::OkCancel) {
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
        return box.exec() == QMessageBox::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
    QString openFileName(QWidget* parent, const QString& caption, const QString& filter) override {
        return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    }
    QString saveFileName(QWidget* parent, const QString& caption, const QString& filter,
                         const QString& suggestedName) override {
        return QFileDialog::getSaveFileName(parent, caption, suggestedName, filter);
    }
    bool openWithDesktop(const QString& fileOrUrl) override {
        const QUrl url = QFileInfo::exists(fileOrUrl) ? QUrl::fromLocalFile(fileOrUrl)
                                                      : QUrl::fromUserInput(fileOrUrl);
        return QDesktopServices::openUrl(url);
    }
    bool startProgram(const QString& program, const QStringList& arguments) override {
        return QProcess::startDetached(program, arguments);
    }
    bool killProcessesByName(const std::string& name) override { return KillProcessesByName(name); }
    int execDialog(QDialog* dialog) override { return dialog->exec(); }
    void quitEventLoop() override { QApplication::quit(); }
};

UiSeam* g_installed = nullptr;

}  // namespace

UiSeam& Ui() {
    static DesktopUi desktop;
    return g_installed ? *g_installed : desktop;
}

void SetUi(UiSeam* seam) {
    g_installed = seam;
}

MsgAnswer ShowMessage(QWidget* parent, const QString& text, const QString& caption, MsgIcon icon,
                      MsgButtons buttons) {
    return Ui().messageBox(parent, text, caption, icon, buttons);
}

bool Confirm(QWidget* parent, const QString& text, const QString& caption) {
    return Ui().messageBox(parent, text, caption, MsgIcon::Question, MsgButtons::OkCancel) ==
           MsgAnswer::Ok;
}

}  // namespace smsc
