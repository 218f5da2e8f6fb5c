#include "compliance/ComplianceDialog.h"

#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/QtText.h"

namespace smsc {
namespace {

QString utf8(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

ComplianceDialog::ComplianceDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ComplianceDialog"));
    setWindowTitle(QStringLiteral("发送前检查"));
    resize(560, 420);

    SummaryLabel = new QLabel(this);
    SummaryLabel->setObjectName(QStringLiteral("SummaryLabel"));
    FindingsView = new QTreeWidget(this);
    FindingsView->setObjectName(QStringLiteral("FindingsView"));
    FindingsView->setRootIsDecorated(false);
    FindingsView->setHeaderLabels(
        {QStringLiteral("级别"), QStringLiteral("问题"), QStringLiteral("涉及内容")});
    FindingsView->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    FindingsView->setColumnWidth(0, 50);
    FindingsView->setWordWrap(true);
    PreviewLabel = new QLabel(this);
    PreviewLabel->setObjectName(QStringLiteral("PreviewLabel"));
    PreviewEdit = new QPlainTextEdit(this);
    PreviewEdit->setObjectName(QStringLiteral("PreviewEdit"));
    PreviewEdit->setReadOnly(true);
    BackButton = new QPushButton(QStringLiteral("返回修改"), this);
    BackButton->setObjectName(QStringLiteral("BackButton"));
    SendButton = new QPushButton(QStringLiteral("仍然发送"), this);
    SendButton->setObjectName(QStringLiteral("SendButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SummaryLabel);
    layout->addWidget(FindingsView, 1);
    layout->addWidget(PreviewLabel);
    layout->addWidget(PreviewEdit, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SendButton);
    buttons->addWidget(BackButton);
    layout->addLayout(buttons);

    connect(BackButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(SendButton, &QPushButton::clicked, this, &QDialog::accept);
}

void ComplianceDialog::showReport(const ComplianceReport& report,
                                  const std::vector<std::string>& pieces) {
    SummaryLabel->setText(utf8(FindingsSummary(report)));
    SummaryLabel->setStyleSheet(report.blocks() ? QStringLiteral("color: red;") : QString());
    FindingsView->clear();
    for (const Finding& f : report.findings) {
        QString items;
        for (const std::string& item : f.items)
            items += (items.isEmpty() ? QString() : QStringLiteral(" ")) + utf8(item);
        auto* row = new QTreeWidgetItem(FindingsView,
                                        {utf8(FindingLevelText(f.level)), utf8(f.message), items});
        // Where the rule comes from, for the user who wonders why.
        if (const ComplianceRule* rule = FindComplianceRule(f.rule))
            for (int column = 0; column < 3; ++column)
                row->setToolTip(column,
                                utf8(f.message) + QStringLiteral("\n来源：") + utf8(rule->source));
        if (f.level == FindingLevel::Error)
            row->setForeground(0, QBrush(Qt::red));
    }
    QString preview;
    for (const std::string& piece : pieces)
        preview += (preview.isEmpty() ? QString() : QStringLiteral("\n\n")) + QStringFromGbk(piece);
    PreviewEdit->setPlainText(preview);
    QString added;
    if (report.addedSignature)
        added += QStringLiteral("已加签名");
    if (report.addedUnsubscribe)
        added +=
            (added.isEmpty() ? QString() : QStringLiteral("、")) + QStringLiteral("已加退订语");
    PreviewLabel->setText(QStringLiteral("发出的内容（共%1条%2）：")
                              .arg(pieces.size())
                              .arg(added.isEmpty() ? QString() : QStringLiteral("，") + added));
    SendButton->setVisible(!report.blocks());
    SendButton->setEnabled(!report.blocks());
    BackButton->setText(QStringLiteral("返回修改"));
    (report.blocks() ? BackButton : SendButton)->setDefault(true);
}

void ComplianceDialog::showPreview(const ComplianceReport& report,
                                   const std::vector<std::string>& pieces) {
    showReport(report, pieces);
    SendButton->setVisible(false);
    SendButton->setEnabled(false);
    BackButton->setText(QStringLiteral("关闭"));
    BackButton->setDefault(true);
}

}  // namespace smsc
