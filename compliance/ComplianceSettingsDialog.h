#pragma once
// "发送前检查设置": the section [Compliance] of Company_Info.ini, the signature, the kind a
// message has unless chosen otherwise, the unsubscription line and the marketing hours.
// 确定 checks the values, writes the section (no other key) and creates the word and
// short-link lists of the data folder when missing, so they can be edited.

#include <QDialog>

#include <string>

#include "compliance/ComplianceSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace smsc {

class ComplianceSettingsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ComplianceSettingsDialog(QWidget* parent = nullptr);

    QLineEdit* SignatureEdit;       // "短信签名："
    QCheckBox* AutoSignatureBox;    // "短信开头没有签名时自动加上"
    QComboBox* KindBox;             // "默认类型：" 通知 / 营销
    QLineEdit* UnsubscribeEdit;     // "退订语："
    QCheckBox* AutoUnsubscribeBox;  // "营销短信末尾自动加上退订语"
    QLineEdit* HoursEdit;           // "营销短信发送时段：" HH:MM-HH:MM
    QLabel* ListsLabel;             // where the lists are
    QPushButton* OkButton;          // 确定
    QPushButton* CancelButton;      // 取消

    // Reads the section of the file and shows the window modally; true when saved.
    bool openDialog(const std::string& companyInfoPath, const std::string& dataDir);
    // 确定: checks, writes, closes. False (with the message shown) when nothing was written.
    bool OkClick();

private:
    std::string m_path;
    std::string m_dataDir;
};

}  // namespace smsc
