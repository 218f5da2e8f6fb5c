#pragma once
// "发送号码列表": the numbers one submission went to, with its record id, and their export
// to a text file.

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace smsc {

class TForm18 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm18(QWidget* parent = nullptr);
    ~TForm18() override;

    QLabel* Label1;         // "ID号：" + record id
    QListWidget* ListBox1;  // the numbers
    QPushButton* Button1;   // 记录导出
    QPushButton* Button2;   // 关闭

    void clearNumbers();
    // Shows the record id and its numbers (GBK).
    void setNumbers(const std::string& recordId, std::vector<std::string> numbers);
    const std::string& recordId() const { return m_id; }
    const std::vector<std::string>& numbers() const { return m_numbers; }

    // "记录导出": "ID号：" + id and the numbers, one per line, to a chosen name + ".txt".
    void Button1Click();

private:
    std::string m_id;
    std::vector<std::string> m_numbers;
};

}  // namespace smsc
