#pragma once
// The wait window "请稍候" of the login: plays picture\books.avi while its one-shot timer
// (2500 ms) runs the login check.

#include <QWidget>

class QTimer;

namespace smsc {

class ClipPlayer;
class TForm2;

class TForm3 final : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(TForm2* mainWindow);
    ~TForm3() override;

    ClipPlayer* Animate1;
    QTimer* Timer1;

    // Shows the window with its animation and arms the timer; false (nothing shown) when
    // the animation cannot be opened.
    bool startLoginCheck();
    // The login check: Get_balance with the login window's fields and the answer handling.
    void Timer1Timer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void stopWaiting();

    TForm2* m_main;
};

}  // namespace smsc
