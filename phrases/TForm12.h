#pragma once
// The phrase dialog, created once and reused. Its caption is its mode, set by the action
// that opens it: "增加常用短语" or "修改常用短语". "确定" hands the text to the phrase page,
// which keeps the dialog open when the text is too long.

#include <QDialog>

#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace smsc {

class TForm12 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm12(QWidget* parent = nullptr);
    ~TForm12() override;

    static QString addCaption();     // "增加常用短语"
    static QString changeCaption();  // "修改常用短语"

    QPlainTextEdit* Memo1;  // the phrase
    QPushButton* Button1;   // "确定"
    QPushButton* Button2;   // "取消"

    // Writes the text in the mode of the caption; true when the dialog may close.
    void setWriteHandler(std::function<bool(bool changeMode, const QString& text)> handler) {
        m_write = std::move(handler);
    }
    // Sets the caption, puts the text into the field and shows the dialog modally.
    int openDialog(const QString& caption, const QString& text);
    bool isChangeMode() const;
    void Button1Click();
    void Button2Click();

private:
    std::function<bool(bool, const QString&)> m_write;
};

}  // namespace smsc
