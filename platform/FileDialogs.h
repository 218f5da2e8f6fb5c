#pragma once
// File dialogs that open where the user last was. Each kind of dialog keeps the folder of the
// file last chosen in it under its own key of section Last_Folder in Company_Info.ini (the
// folder as GBK text, as every stored text); a write touches only that key and happens only
// when the folder changed. A kind never used yet, or whose folder is gone, opens in the home
// folder. Any subsystem names its own kinds: a key in mixed case with underscores.

#include <QString>

#include <string>

class QWidget;

namespace smsc {

inline constexpr const char* kLastFolderSection = "Last_Folder";

// The kinds of this program's dialogs, by key.
namespace folder_kind {
inline constexpr const char* kTextImport = "Text_Import";    // "从文本文件导入/提取"
inline constexpr const char* kExcelImport = "Excel_Import";  // "从EXCEL文件提取"
inline constexpr const char* kMmsFile = "Mms_File";          // the MMS file of a send
inline constexpr const char* kBookBackup = "Book_Backup";    // "通讯录备份", "通讯录恢复"
inline constexpr const char* kReceivedExport = "Received_Export";  // received messages
inline constexpr const char* kNumbersExport = "Numbers_Export";    // a sent-number list
inline constexpr const char* kMmsDownload = "Mms_Download";        // "彩信下载"
}  // namespace folder_kind

// ---- window-free --------------------------------------------------------------------------
// The folder remembered for the kind in the settings file (a native path) while it is still a
// folder; empty otherwise.
std::string RememberedFolder(const std::string& settingsPath, const std::string& kind);
// Remembers the folder of the chosen file (a native path) for the kind. False when nothing
// was stored: a relative path, a folder whose name GBK cannot hold, a failed save. Storing the
// folder already remembered writes nothing (and is true).
bool RememberFolderOf(const std::string& settingsPath, const std::string& kind,
                      const std::string& chosenFile);

// ---- dialogs, through the UI seam, with Company_Info.ini of the data folder ----------------
// Where a dialog of the kind opens: the remembered folder, else the home folder.
QString StartFolder(const std::string& kind);
// Empty when cancelled; a chosen file's folder is remembered for the kind.
QString ChooseFileToOpen(QWidget* parent, const std::string& kind, const QString& caption,
                         const QString& filter);
// suggestedName: the file name offered in the start folder (empty: none).
QString ChooseFileToSave(QWidget* parent, const std::string& kind, const QString& caption,
                         const QString& filter, const QString& suggestedName = QString());

// A text made fit to be part of a suggested file name: letters, digits, '-' and '_' kept,
// at most 40 of them.
QString FileNamePart(const QString& text);

}  // namespace smsc
