#include "records/RecordUi.h"

#include <QFile>
#include <QTreeWidget>

#include "platform/AppTitle.h"
#include "platform/AtomicFile.h"
#include "platform/FileDialogs.h"
#include "platform/UiSeam.h"
#include "records/RecordAnswers.h"

namespace smsc {

void ReportQueryFailure(QWidget* parent) {
    ShowMessage(parent, QStringLiteral("连接服务器超时，请检查网络！"), QStringLiteral("提示"));
}

void ShowPlainMessage(QWidget* parent, const QString& text) {
    ShowMessage(parent, text, ApplicationTitle(), MsgIcon::None);
}

QTreeWidgetItem* FirstSelectedRow(const QTreeWidget* list) {
    QTreeWidgetItem* first = nullptr;
    int firstIndex = 0;
    for (QTreeWidgetItem* item : list->selectedItems()) {
        const int index = list->indexOfTopLevelItem(item);
        if (index >= 0 && (!first || index < firstIndex)) {
            first = item;
            firstIndex = index;
        }
    }
    return first;
}

std::string LocalPath(const QString& chosen) {
    return QFile::encodeName(chosen).toStdString();
}

bool ExportToTextFile(QWidget* parent, const std::string& bytes, const char* folderKind,
                      const QString& suggestedName) {
    const QString chosen = ChooseFileToSave(parent, folderKind, QStringLiteral("记录导出"),
                                            QStringLiteral("文本文件(*.txt)"), suggestedName);
    if (chosen.isEmpty())
        return false;
    if (!WriteFileAtomically(ExportFileName(LocalPath(chosen)), bytes)) {
        ShowMessage(parent, QStringLiteral("导出失败，请检查文件是否被其他程序使用"),
                    QStringLiteral("提醒"));
        return false;
    }
    return true;
}

}  // namespace smsc
