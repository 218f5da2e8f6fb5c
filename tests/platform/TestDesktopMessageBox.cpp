// The desktop message box itself (no scripted seam): what it shows and which keys answer it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <vector>

#include "platform/UiSeam.h"

using namespace smsc;

namespace {

// Runs each step on the shown box in turn (one event-loop pass apart), then, should the box
// still be open, ends it with Cancel; returns the box's answer.
MsgAnswer AskWhile(std::vector<std::function<void(QMessageBox*)>> steps) {
    SetUi(nullptr);
    size_t next = 0;
    QTimer driver;
    driver.setInterval(5);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (next < steps.size()) {
            steps[next++](box);
            return;
        }
        box->button(QMessageBox::Cancel)->click();
    });
    driver.start();
    return ShowMessage(nullptr, QStringLiteral("要发送的短信内容长度超过70个字！"),
                       QStringLiteral("提醒"), MsgIcon::Question, MsgButtons::OkCancel);
}

void SendKey(QMessageBox* box, QEvent::Type type, quint64 timestamp, bool autoRepeat) {
    QWidget* target = box->focusWidget() ? box->focusWidget() : box;
    QKeyEvent event(type, Qt::Key_Return, Qt::NoModifier, QString(QLatin1Char('\r')), autoRepeat);
    event.setTimestamp(timestamp);
    QApplication::sendEvent(target, &event);
}

}  // namespace

TEST(DesktopMessageBox, ShowsServerTextAsPlainText) {
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    const MsgAnswer answer = AskWhile({[&](QMessageBox* box) {
        box->setText(QStringLiteral("error|<a href=\"http://127.0.0.1/\">点这里</a>"));
        format = box->textFormat();
        shown = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
    }});
    EXPECT_EQ(answer, MsgAnswer::Cancel);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_TRUE(shown.contains(QStringLiteral("<a href")));
}

TEST(DesktopMessageBox, AKeyThatWentDownBeforeTheBoxNeverAnswersIt) {
    // A Return held down (or left down) since before the box: the server repeats it as a
    // release and a press of one time stamp, flagged as repeats or not.
    EXPECT_EQ(AskWhile({[](QMessageBox* box) { SendKey(box, QEvent::KeyRelease, 500, false); },
                        [](QMessageBox* box) { SendKey(box, QEvent::KeyPress, 500, false); },
                        [](QMessageBox* box) { SendKey(box, QEvent::KeyRelease, 530, true); },
                        [](QMessageBox* box) { SendKey(box, QEvent::KeyPress, 530, true); }}),
              MsgAnswer::Cancel);
    // A press made while the box is shown answers it, also after such repeats.
    EXPECT_EQ(AskWhile({[](QMessageBox* box) { SendKey(box, QEvent::KeyRelease, 500, false); },
                        [](QMessageBox* box) { SendKey(box, QEvent::KeyPress, 500, true); },
                        [](QMessageBox* box) { SendKey(box, QEvent::KeyPress, 900, false); }}),
              MsgAnswer::Ok);
}
