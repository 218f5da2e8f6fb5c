#include "platform/UiSeam.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSet>
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

// Keeps keys that did not go down while the box was shown from answering it. With the
// server's auto-repeat, a key held down (or left down by a tool that sent its press and died
// before its release) reaches every box that takes the keyboard focus: a release, then a
// press of the same time stamp, over and over; the default button would take the first such
// Return and answer a question the user never saw. A key answers the box only when it went
// down after the box took the focus: auto-repeated presses, and a press that follows a release
// of a key never pressed in this box at the same moment, are dropped.
class FreshKeysOnly final : public QObject {
public:
    explicit FreshKeysOnly(QWidget* box) : m_box(box) { qApp->installEventFilter(this); }
    ~FreshKeysOnly() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
            type != QEvent::ShortcutOverride)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || (widget != m_box && !m_box->isAncestorOf(widget)))
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const int code = key->key();
        if (type == QEvent::KeyRelease) {
            if (!m_down.remove(code)) {
                m_staleRelease.insert(code, key->timestamp());
                return true;
            }
            return false;
        }
        const auto release = m_staleRelease.constFind(code);
        const bool sameMoment = release != m_staleRelease.cend() && key->timestamp() != 0 &&
                                *release == key->timestamp();
        if (key->isAutoRepeat() || sameMoment) {
            event->accept();
            return true;
        }
        if (type == QEvent::KeyPress)
            m_down.insert(code);
        return false;
    }

private:
    QWidget* m_box;
    QSet<int> m_down;                    // pressed while the box was shown, not yet released
    QHash<int, quint64> m_staleRelease;  // release time of keys that went down before
};

class DesktopUi final : public UiSeam {
public:
    MsgAnswer messageBox(QWidget* parent, const QString& text, const QString& caption, MsgIcon icon,
                         MsgButtons buttons) override {
        QMessageBox box(parent);
        // Server texts end up here ("error|" + anything): never read as markup or links.
        box.setTextFormat(Qt::PlainText);
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
        const FreshKeysOnly keyGuard(&box);
        return box.exec() == QMessageBox::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
    QString openFileName(QWidget* parent, const QString& caption, const QString& filter,
                         const QString& startFolder) override {
        return QFileDialog::getOpenFileName(parent, caption, startFolder, filter);
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
    bool endOwnCopies(const std::string& executablePath) override {
        return EndOwnCopies(executablePath);
    }
    int execDialog(QDialog* dialog) override { return dialog->exec(); }
    void quitEventLoop() override { QApplication::quit(); }
};

UiSeam* g_installed = nullptr;

}  // namespace

UiSeam& DesktopUiSeam() {
    static DesktopUi desktop;
    return desktop;
}

UiSeam& Ui() {
    return g_installed ? *g_installed : DesktopUiSeam();
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
