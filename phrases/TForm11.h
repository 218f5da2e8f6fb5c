#pragma once
// The new-category dialog "新增短语类型", created once and reused; "++" on the phrase page
// empties its field and shows it modally. "确定" hands the name to the page, which keeps
// the dialog open when the name is refused.

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace smsc {

class TForm11 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm11(QWidget* parent = nullptr);
    ~TForm11() override;

    QLabel* Label1;        // "新增短语类型："
    QLineEdit* Edit1;      // the name
    QPushButton* Button1;  // "确定"
    QPushButton* Button2;  // "取消"

    // Creates the category named by the field; true when the dialog may close.
    void setCreateHandler(std::function<bool(const QString&)> handler) {
        m_create = std::move(handler);
    }
    // Empties the field and shows the dialog modally.
    int openDialog();
    void Button1Click();
    void Button2Click();

private:
    std::function<bool(const QString&)> m_create;
};

}  // namespace smsc
