#include "recipients/UnrecognisedLinesDialog.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/AtomicFile.h"
#include "platform/FileDialogs.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"

namespace smsc {

UnrecognisedLinesDialog::UnrecognisedLinesDialog(const ImportTally& tally, QWidget* parent)
    : QDialog(parent), m_tally(tally) {
    setObjectName(QStringLiteral("UnrecognisedLinesDialog"));
    setWindowTitle(QStringLiteral("无法识别的行"));
    auto* layout = new QVBoxLayout(this);
    QString caption = QStringFromGbk(ImportSummary(tally));
    if (tally.unrecognised > static_cast<long long>(tally.unrecognisedLines.size()))
        caption += QStringLiteral("（只列出前%1行）").arg(tally.unrecognisedLines.size());
    layout->addWidget(new QLabel(caption, this));
    Lines = new QPlainTextEdit(this);
    Lines->setObjectName(QStringLiteral("Lines"));
    Lines->setReadOnly(true);
    Lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    QStringList lines;
    for (const std::string& line : tally.unrecognisedLines)
        lines << QStringFromGbk(line);
    Lines->setPlainText(lines.join(QLatin1Char('\n')));
    layout->addWidget(Lines);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    SaveButton = new QPushButton(QStringLiteral("保存"), this);
    SaveButton->setObjectName(QStringLiteral("SaveButton"));
    CloseButton = new QPushButton(QStringLiteral("关闭"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    buttons->addWidget(SaveButton);
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);
    connect(SaveButton, &QPushButton::clicked, this, &UnrecognisedLinesDialog::save);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    resize(480, 360);
}

void UnrecognisedLinesDialog::save() {
    const QString name = ChooseFileToSave(this, folder_kind::kTextImport, QStringLiteral("保存"),
                                          QStringLiteral("文本文件(*.txt);;所有文件(*)"),
                                          QStringLiteral("无法识别的行.txt"));
    if (name.isEmpty())
        return;
    if (!WriteFileAtomically(QFile::encodeName(name).toStdString(),
                             UnrecognisedLinesFile(m_tally))) {
        ShowMessage(this, QStringLiteral("保存失败，请检查文件夹是否可写"), QStringLiteral("提醒"));
        return;
    }
    ShowMessage(this, QStringLiteral("保存完毕"), QStringLiteral("提示"));
}

void ReportImportLeftOut(QWidget* parent, const ImportTally& tally) {
    if (!tally.leftOut())
        return;
    const QString summary = QStringFromGbk(ImportSummary(tally));
    if (tally.unrecognised == 0) {
        ShowMessage(parent, summary, QStringLiteral("提示"));
        return;
    }
    if (ShowMessage(parent, summary + QStringLiteral("\r是否查看无法识别的行？"),
                    QStringLiteral("提示"), MsgIcon::Question,
                    MsgButtons::OkCancel) != MsgAnswer::Ok)
        return;
    UnrecognisedLinesDialog dialog(tally, parent);
    Ui().execDialog(&dialog);
}

}  // namespace smsc
