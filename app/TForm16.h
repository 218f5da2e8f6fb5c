#pragma once
// The password dialog "修改账户密码", opened modally from the main window while connected.
// Its one-shot timer (2000 ms) performs the change while the progress window waits.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace smsc {

class TForm2;

class TForm16 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm16(TForm2* mainWindow);
    ~TForm16() override;

    QLabel* Label1;        // "用户账号："
    QLineEdit* Edit1;      // account, read-only
    QLabel* Label2;        // "旧  密  码："
    QLineEdit* Edit2;      // old password
    QLabel* Label3;        // "新  密  码："
    QLineEdit* Edit3;      // new password
    QLabel* Label4;        // "确认密码："
    QLineEdit* Edit4;      // confirmation
    QPushButton* Button1;  // "确定"
    QPushButton* Button2;  // "取消"
    QTimer* Timer1;

    // Fills the account field from the login window, empties the others and shows the
    // dialog modally.
    int openDialog();
    void Button1Click();  // 确定: the checks, then the timer and the wait indicator
    void Button2Click();  // 取消
    void Timer1Timer();   // ChangePassword and the answer handling

private:
    void setUsable(bool usable);

    TForm2* m_main;
};

}  // namespace smsc
