#pragma once
// The reply dialog "短信回复": the received text, the sender's number as the reply number,
// and a reply of at most 70 characters sent as one SMS. "确定" checks the reply and arms
// the progress window's reply timer (TForm15::Timer3); its tick posts the reply with
// SendMessage, shows the answer and closes the dialog.

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace smsc {

class CredentialsSource;
class TForm15;

class TForm13 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm13(QWidget* parent = nullptr);
    ~TForm13() override;

    QPlainTextEdit* Memo1;  // the received text, read-only
    QLabel* Label2;         // "回复号码：" + number
    QLabel* Label3;         // LengthCaption(reply text)
    QPlainTextEdit* Memo2;  // the reply
    QPushButton* Button1;   // 确定
    QPushButton* Button2;   // 取消

    void setCredentialsSource(const CredentialsSource* source) { m_credentials = source; }
    // The progress window; its Timer3 tick sends the reply.
    void setProgressWindow(TForm15* window);
    // Receives "剩余短信N条" after a successful reply.
    void setQuotaHandler(std::function<void(const QString&)> handler) {
        m_quotaHandler = std::move(handler);
    }

    // Shows the dialog modally for one received message (GBK texts); clearReply empties the
    // reply first ("回复短信"), a double-click keeps it.
    void openReply(const std::string& receivedText, const std::string& number, bool clearReply);

    const std::string& replyNumber() const { return m_number; }
    // The reply as GBK with CR LF line breaks.
    std::string replyText() const;

    // "确定": the checks, then the progress window with its reply timer armed.
    void Button1Click();
    // The reply timer's tick: sends the reply captured at "确定".
    void ReplyTimerTick();

private:
    void updateLengthCaption();

    struct Reply {
        std::string number;
        std::string text;
    };

    const CredentialsSource* m_credentials = nullptr;
    TForm15* m_progress = nullptr;
    std::function<void(const QString&)> m_quotaHandler;
    std::string m_number;
    // What "确定" accepted; the tick sends this, whatever the dialog shows by then.
    std::optional<Reply> m_pending;
};

}  // namespace smsc
