#pragma once
// "新增联系人类型": the name of a new group. The field keeps its text between uses.

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace smsc {

class TForm8 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(QWidget* parent = nullptr);
    ~TForm8() override;

    QLabel* Label1;        // "新增联系人类型："
    QLineEdit* Edit1;      // the name
    QPushButton* Button1;  // "确定"
    QPushButton* Button2;  // "取消"

    // Receives the trimmed GBK name of at least two bytes.
    void setNameHandler(std::function<void(const std::string&)> handler) {
        m_handler = std::move(handler);
    }
    void openDialog();
    // "确定": a name shorter than two bytes adds nothing; the dialog closes either way.
    void Button1Click();

private:
    std::function<void(const std::string&)> m_handler;
};

}  // namespace smsc
