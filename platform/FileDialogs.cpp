#include "platform/FileDialogs.h"

#include <QDir>
#include <QFile>

#include <filesystem>
#include <optional>

#include "platform/DataDir.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "platform/UiSeam.h"

namespace smsc {
namespace {

namespace fs = std::filesystem;

std::string settingsPath() {
    return DataPath("Company_Info.ini");
}

// The folder as stored: GBK, and only when GBK gives back exactly the same name.
std::optional<std::string> storedForm(const std::string& folder) {
    const std::string gbk = Utf8ToGbk(folder);
    if (GbkToUtf8(gbk) != folder)
        return std::nullopt;
    return gbk;
}

}  // namespace

std::string RememberedFolder(const std::string& settingsPath, const std::string& kind) {
    const IniFile ini(settingsPath);
    const std::optional<std::string> stored = ini.value(kLastFolderSection, kind);
    if (!stored || stored->empty())
        return {};
    const std::string folder = GbkToUtf8(*stored);
    std::error_code error;
    if (folder.front() != '/' || !fs::is_directory(folder, error))
        return {};
    return folder;
}

bool RememberFolderOf(const std::string& settingsPath, const std::string& kind,
                      const std::string& chosenFile) {
    const fs::path chosen(chosenFile);
    if (kind.empty() || !chosen.is_absolute())
        return false;
    const std::string folder = chosen.parent_path().string();
    const std::optional<std::string> stored = storedForm(folder);
    if (!stored)
        return false;
    IniFile ini(settingsPath);
    if (ini.value(kLastFolderSection, kind) == *stored)
        return true;
    return ini.write(kLastFolderSection, kind, *stored);
}

QString StartFolder(const std::string& kind) {
    const std::string folder = RememberedFolder(settingsPath(), kind);
    return folder.empty() ? QDir::homePath() : QFile::decodeName(QByteArray::fromStdString(folder));
}

QString ChooseFileToOpen(QWidget* parent, const std::string& kind, const QString& caption,
                         const QString& filter) {
    const QString chosen = Ui().openFileName(parent, caption, filter, StartFolder(kind));
    // Not remembering a folder is no reason to bother the user: a failure is left quiet.
    if (!chosen.isEmpty())
        RememberFolderOf(settingsPath(), kind, QFile::encodeName(chosen).toStdString());
    return chosen;
}

QString ChooseFileToSave(QWidget* parent, const std::string& kind, const QString& caption,
                         const QString& filter, const QString& suggestedName) {
    QString start = StartFolder(kind);
    if (!suggestedName.isEmpty())
        start = QDir(start).filePath(suggestedName);
    const QString chosen = Ui().saveFileName(parent, caption, filter, start);
    if (!chosen.isEmpty())
        RememberFolderOf(settingsPath(), kind, QFile::encodeName(chosen).toStdString());
    return chosen;
}

QString FileNamePart(const QString& text) {
    QString part;
    for (const QChar c : text) {
        if (part.size() == 40)
            break;
        if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            part += c;
    }
    return part;
}

}  // namespace smsc
