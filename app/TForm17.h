#pragma once
// The notice window "系统公告": the service's system notice, read-only, and the tick box
// "以后不再显示" that suppresses an unchanged notice (showNotic/boo in Company_Info.ini).

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace smsc {

class TForm17 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm17(QWidget* parent = nullptr);
    ~TForm17() override;

    QPlainTextEdit* Memo1;
    QCheckBox* CheckBox1;  // "以后不再显示"
    QPushButton* Button1;  // "确定": closes the window

    // Writes boo = "hide" (ticked) or "show" and saves the file; runs on every change of the
    // tick, also one made by the program.
    void CheckBox1Click();
    // Adds the paragraphs (each "    " + piece + "\n\r\n\r", shown as the paragraph and
    // an empty line), unticks the box and shows the window modally, raised and active. With
    // overOnTopWindows it stays above windows kept on top (the login window) while shown.
    void showNotice(const QStringList& lines, bool overOnTopWindows = false);

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace smsc
