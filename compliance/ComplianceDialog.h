#pragma once
// "发送前检查": the findings of the check before a send (level, what, the offending characters
// or words) and the text as it will go out, signature and unsubscription line included, in
// the pieces the service receives. 返回修改 goes back to the editor; 仍然发送 is there only
// when nothing blocks. The same window previews the text ("预览", only 关闭).

#include <QDialog>

#include <string>
#include <vector>

#include "compliance/Compliance.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace smsc {

class ComplianceDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ComplianceDialog(QWidget* parent = nullptr);

    QLabel* SummaryLabel;         // "发送前检查：N个错误，M个提醒"
    QTreeWidget* FindingsView;    // 级别, 问题, 涉及内容
    QLabel* PreviewLabel;         // "发出的内容（共N条）："
    QPlainTextEdit* PreviewEdit;  // the pieces, one per paragraph
    QPushButton* BackButton;      // 返回修改 (关闭 in a preview)
    QPushButton* SendButton;      // 仍然发送

    // Fills the window for a send: pieces are the texts of the requests (GBK).
    void showReport(const ComplianceReport& report, const std::vector<std::string>& pieces);
    // The same, for a look only: no 仍然发送, 返回修改 reads 关闭.
    void showPreview(const ComplianceReport& report, const std::vector<std::string>& pieces);
};

}  // namespace smsc
