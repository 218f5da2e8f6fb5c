#pragma once
// "产生连续接收号码": a run of consecutive numbers from a start number and a count, optionally
// with a fixed last digit, added to the panel the dialog was opened for.

#include <QDialog>
#include <QPointer>

#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace smsc {

class RecipientPanel;

class TForm6 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);
    ~TForm6() override;

    QLabel* Label1;        // "起始号码："
    QLineEdit* Edit1;      // start number, 11 characters
    QLabel* Label2;        // "生成个数："
    QLineEdit* Edit2;      // count, 4 characters
    QCheckBox* CheckBox1;  // "末尾尾数必须是："
    QLineEdit* Edit3;      // last digit, 1 character, disabled at first
    QPushButton* Button1;  // "确定"
    QPushButton* Button2;  // "取消"

    // "按号段添加" after the verification check: shown modally for `target`; `panels` are the
    // send pages' panels, whose send buttons follow their lists afterwards. When the dialog
    // has closed its fields are emptied for the next time.
    void showFor(RecipientPanel* target, std::vector<RecipientPanel*> panels);

    // "确定": the checks, then the numbers.
    void Button1Click();

private:
    void lastDigitBoxToggled(bool on);
    void lastDigitFieldLeft();
    void resetAfterClose();
    // A failure after the checks: the dialog closes without a message.
    void abandon();

    RecipientPanel* m_target = nullptr;
    std::vector<RecipientPanel*> m_panels;
    QPointer<QObject> m_leaveWatcher;
};

}  // namespace smsc
