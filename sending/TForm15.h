#pragma once
// The progress window "信息发送中，请稍候.....": a small animation (picture\SendSer.avi)
// shown while a send or a password change waits for the service. Its three one-shot timers
// run the SMS, MMS and reply submissions; the send drivers install their tick handlers.

#include <QWidget>

#include <functional>

class QTimer;

namespace smsc {

class ClipPlayer;

class TForm15 final : public QWidget {
    Q_OBJECT
public:
    explicit TForm15(QWidget* parent = nullptr);
    ~TForm15() override;

    ClipPlayer* Animate1;
    QTimer* Timer1;  // SMS send
    QTimer* Timer2;  // MMS send
    QTimer* Timer3;  // reply send

    // Tick handlers: each stops its timer (one-shot) and runs the installed handler.
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();

    void setTimer1Handler(std::function<void()> handler) { m_handlers[0] = std::move(handler); }
    void setTimer2Handler(std::function<void()> handler) { m_handlers[1] = std::move(handler); }
    void setTimer3Handler(std::function<void()> handler) { m_handlers[2] = std::move(handler); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void tick(QTimer* timer, int index);

    std::function<void()> m_handlers[3];
};

}  // namespace smsc
