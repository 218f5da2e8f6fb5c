#pragma once
// "输入短信接收号码": numbers typed one per line, added to the panel the dialog was opened for,
// with the page's verification number interleaved.

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace smsc {

class RecipientPanel;

class TForm4 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
    ~TForm4() override;

    QLabel* Label1;         // "短信接收号码："
    QPlainTextEdit* Memo1;  // the numbers
    QLabel* Label2;         // the note
    QPushButton* Button1;   // "确定"
    QPushButton* Button2;   // "取消"

    // "手工输入号码" after the verification check: note set, field emptied, shown modally;
    // the numbers go to `target`.
    void showFor(RecipientPanel* target);

    // "确定": asks whether to filter repeated lines, closes, adds the valid numbers.
    void Button1Click();

private:
    RecipientPanel* m_target = nullptr;
};

}  // namespace smsc
