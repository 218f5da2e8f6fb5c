#pragma once
// The login window. It lives (hidden) for the whole run and is the one owner of what every
// request needs: the user name, the password and the network line, read from its fields
// at the moment a request is built. Its one-shot timer runs the notice check once, a second
// after its creation.

#include <QWidget>

#include <chrono>
#include <memory>
#include <optional>

#include "service/Credentials.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QTimer;

namespace smsc {

class IniFile;
class LinkLabel;
class TForm2;

class TForm1 final : public QWidget, public CredentialsSource {
    Q_OBJECT
public:
    // Runs the login window's creation: opens the settings files, hides the line chooser,
    // centres the window, sets the captions and lays out the contact block.
    explicit TForm1(TForm2* mainWindow);
    ~TForm1() override;

    QWidget* Panel1;
    QLabel* Banner;
    QLabel* Label1;        // "用户名："
    QLineEdit* Edit1;      // user name
    QLabel* Label2;        // "密    码："
    QLineEdit* Edit2;      // password, shown as "*"
    QCheckBox* CheckBox1;  // "是否记住用户名和密码"
    QPushButton* Button1;  // "登录"
    QPushButton* Button2;  // "网络选择"
    QPushButton* Button3;  // "关于"
    QComboBox* ComboBox1;  // line: 0 telecom, 1 netcom
    QTextEdit* Memo1;      // contact block
    QLabel* Label3;        // "网址："
    LinkLabel* Label4;     // the link
    QTimer* Timer1;        // notice check, 1000 ms, once

    // ---- actions -----------------------------------------------------------------------
    void Button1Click();  // 登录
    void Button2Click();  // 网络选择: show or hide the line drop-down
    void Button3Click();  // 关于
    // Remember: stores or forgets the login; runs on every change of the tick, also a tick
    // set by the program.
    void CheckBox1Click();
    // A line chosen by the user: stored in Create_Line.
    void ComboBox1Select(int index);
    void Label4Click();  // opens the link
    void Timer1Timer();  // the notice check
    // The show steps (link, skin, line; then the remembered login); run on every show.
    void FormShow();

    // Shows the window above all other windows with the focus (start-up, reconnect).
    void showOnTop();
    // Closing: hide, main window offline (close box, network failure during login).
    void closeToOffline();
    // After a password change: untick the remember flag and forget the stored login.
    void forgetLogin();

    // ---- the session -------------------------------------------------------------------
    Credentials currentCredentials() const override;
    // Tests shorten the read timeouts of the requests made with these credentials.
    void setReadTimeoutOverride(std::optional<std::chrono::milliseconds> timeout) {
        m_timeoutOverride = timeout;
    }

    bool lineChooserShown() const { return m_lineShown; }
    // How far the contact block's unused part moved the window up (0..120 pixels).
    int contactShift() const { return m_contactShift; }

protected:
    // Enter in the user name or the password field presses "登录".
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void relayout();
    void setStaysOnTop(bool onTop);
    void showLoginMessage(const QString& text);

    TForm2* m_main;
    std::unique_ptr<IniFile> m_companyInfo;
    std::unique_ptr<IniFile> m_noticeInfo;
    bool m_lineShown = true;
    int m_contactShift = 0;
    bool m_changingFlags = false;
    std::optional<std::chrono::milliseconds> m_timeoutOverride;
};

}  // namespace smsc
