#pragma once
// "文字短信内容/彩信标题": the full text of one send record, read-only.

#include <QDialog>

#include <string>

class QPlainTextEdit;
class QPushButton;

namespace smsc {

class TForm20 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm20(QWidget* parent = nullptr);
    ~TForm20() override;

    QPlainTextEdit* Memo1;
    QPushButton* Button1;  // 关闭

    // Shows the text (GBK) modally.
    void showText(const std::string& text);
};

}  // namespace smsc
