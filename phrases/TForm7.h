#pragma once
// The insertion dialog "从短信库中插入短语", opened by "插入短语" on the SMS page. Created once
// at start-up, when it lists the categories and the phrases of the category its drop-down
// names ("经典谚语"); it keeps what it last showed. Opening the drop-down refills the
// category names; "确定" or a double click adds the selected phrase to the message editor as
// a new last line.

#include <QComboBox>
#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;

namespace smsc {

class PhraseListView;

// A drop-down that says when its list is about to pop up.
class DropDownComboBox final : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void setDropDownHandler(std::function<void()> handler) { m_dropDown = std::move(handler); }
    void showPopup() override;

private:
    std::function<void()> m_dropDown;
};

class TForm7 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);
    ~TForm7() override;

    QLabel* Label1;               // "选择短语类型："
    DropDownComboBox* ComboBox1;  // category names; its text names the listed category
    PhraseListView* ListView1;    // the phrases
    QPushButton* Button1;         // "确定"
    QPushButton* Button2;         // "取消"

    // Receives the phrase (no line breaks) to add as the message's new last line.
    void setInsertHandler(std::function<void(const QString&)> handler) {
        m_insert = std::move(handler);
    }
    int openDialog();

    void ComboBox1DropDown();  // refills the category names
    void ComboBox1Select();    // lists the chosen category
    void Button1Click();       // 确定
    void Button2Click();       // 取消
    void ListView1DblClick();  // inserts the selected phrase, if any

private:
    void listCategory(const QString& name);
    bool insertSelected();

    std::function<void(const QString&)> m_insert;
};

}  // namespace smsc
