#pragma once
// What the record windows share: the message of a failed query, the plain boxes of the
// service's refusals, the first selected row of a list, and the ".txt" export.

#include <QString>

#include <string>

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace smsc {

// "连接服务器超时，请检查网络！", caption "提示".
void ReportQueryFailure(QWidget* parent);

// A plain box (no icon) with the application title as caption.
void ShowPlainMessage(QWidget* parent, const QString& text);

// The first selected row in list order; nullptr when none is selected.
QTreeWidgetItem* FirstSelectedRow(const QTreeWidget* list);

// Asks for a name with the "文本文件(*.txt)" filter (in the folder last used for the kind of
// export, offering the suggested name, which goes without ".txt") and writes the bytes
// atomically to it with ".txt" appended. A failed write is reported
// ("导出失败，请检查文件是否被其他程序使用", caption "提醒"). True when a file was written.
bool ExportToTextFile(QWidget* parent, const std::string& bytes, const char* folderKind,
                      const QString& suggestedName);

// A file name chosen in a dialog, as the local (UTF-8) path.
std::string LocalPath(const QString& chosen);

}  // namespace smsc
